// The connection to the Velorin BiosManager WMI provider in ROOT\velorin, and one operation
// per provider method. Every operation returns 1 on success and 0 on failure, prints its own
// diagnostic line on failure, and hands the provider's answers back through out-parameters.
#pragma once

#include "com/com_handles.h"
#include "report/console.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace velorin::tool {

// The provider's RetCode values that the tool tells apart, by what they mean to it.
inline constexpr uint16_t PROVIDER_RET_DONE = 0;
inline constexpr uint16_t PROVIDER_RET_NOT_SELECTABLE = 7;  // read only through this interface
inline constexpr uint16_t PROVIDER_RET_NO_SUPERVISOR_PASSWORD = 10;  // Set: one must be set first
// The provider's internal error; from Save: nothing was saved.
inline constexpr uint16_t PROVIDER_RET_FAILED = 12;
// GetString: on an option index, the last option; on the current value, no option list.
inline constexpr uint16_t PROVIDER_RET_LIST_END = 14;

// A provider's answer to a password (SetPassword, or the Set of a password item) as the tool's
// result code: the one place where the two number spaces meet. The provider gives its codes 1
// to 12 there the meaning of the tool's codes of the same number (2 not authorised, 10 no
// supervisor password, 11 bad length, 12 internal error), and 0 is success; any other answer
// means nothing to the tool, and gives nothing.
std::optional<ResultCode> ResultOfProviderAnswer(uint16_t retCode);

// Rows of the method-name table, in its order (0 to 7); the index into methodNames and
// inSignatures.
enum MethodRow : int {
    ROW_GET_REVISION,
    ROW_GET,
    ROW_SET,
    ROW_SAVE,
    ROW_SET_PASSWORD,
    ROW_ENUM_SETTING,
    ROW_GET_STRING,
    ROW_LOAD_DEFAULT,
    METHOD_ROW_COUNT,
};

// Out-parameter text buffers, in UTF-16 units including the terminator.
inline constexpr size_t SET_TEXT_UNITS = 10;
inline constexpr size_t ENUM_ITEM_CODE_UNITS = 10;
inline constexpr size_t ENUM_DATA_UNITS = 30;
inline constexpr size_t GET_STRING_ITEM_CODE_UNITS = 30;
// An item's name, an option's text or a current value: texts are kept whole up to 1,000 units,
// since two options cut to a shorter length could no longer be told apart.
inline constexpr size_t GET_STRING_DATA_UNITS = 1001;

inline constexpr size_t RAW_CALL_DATA_BYTES = 16;

class WTolqCore {
  public:
    WTolqCore() = default;
    virtual ~WTolqCore();
    WTolqCore(const WTolqCore&) = delete;
    WTolqCore& operator=(const WTolqCore&) = delete;

    virtual int Init();
    virtual void Uninit();
    // The raw request through a DataBuffer object; `output` may be null.
    virtual int Call(uint16_t header, uint16_t subfunction,
                     const uint8_t (&input)[RAW_CALL_DATA_BYTES], uint8_t* output);
    // The fourth operation of the interface, which returns 0 and does nothing else. Nothing
    // calls it, but it stays so that the interface keeps its four operations in their order.
    virtual int Reserved();

    int GetRevision(uint16_t& revision);
    int Set(uint16_t itemCode, const wchar_t* value, uint16_t& retCode,
            wchar_t (&itemCodeText)[SET_TEXT_UNITS], wchar_t (&dataText)[SET_TEXT_UNITS]);
    int Save(uint16_t& retCode);
    int SetPassword(const wchar_t* password, uint16_t& retCode);
    int EnumSetting(uint16_t index, uint16_t& retCode,
                    wchar_t (&itemCodeText)[ENUM_ITEM_CODE_UNITS],
                    wchar_t (&dataText)[ENUM_DATA_UNITS]);
    int GetString(uint16_t itemCode, const wchar_t* index, uint16_t& retCode,
                  wchar_t (&itemCodeText)[GET_STRING_ITEM_CODE_UNITS],
                  wchar_t (&dataText)[GET_STRING_DATA_UNITS]);

    uint32_t ownsCom = 1;
    ComPtr<IWbemLocator> locator;
    ComPtr<IWbemServices> services;
    ComPtr<IWbemClassObject> biosManagerClass;
    std::array<ComPtr<IWbemClassObject>, METHOD_ROW_COUNT> inSignatures;
    ComPtr<IEnumWbemClassObject> instanceEnum;
    std::array<UniqueBstr, METHOD_ROW_COUNT> methodNames;
    UniqueBstr className;
    UniqueBstr instancePath;

  private:
    // Held while this object has a CoInitializeEx that Uninit must balance.
    std::optional<ComApartment> apartment_;
};

// Creates the WMI locator (CoCreateInstance of CLSID_WbemLocator). A seam of its own so that
// a build can take its locator from elsewhere.
HRESULT CreateWbemLocator(IWbemLocator** locator);

}  // namespace velorin::tool
