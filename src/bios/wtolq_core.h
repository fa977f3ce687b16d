// The connection to the Velorin BiosManager WMI provider in ROOT\velorin, and one operation
// per provider method. Every operation returns 1 on success and 0 on failure, prints its own
// diagnostic line on failure, and hands the provider's answers back through out-parameters.
#pragma once

#include "com/com_handles.h"

#include <array>
#include <cstddef>
#include <cstdint>

// Rows of the method-name table; the index into methodNames and inSignatures.
enum MethodRow : int {
    ROW_GET_REVISION = 0,
    ROW_GET = 1,
    ROW_SET = 2,
    ROW_SAVE = 3,
    ROW_SET_PASSWORD = 4,
    ROW_ENUM_SETTING = 5,
    ROW_GET_STRING = 6,
    ROW_LOAD_DEFAULT = 7,
    METHOD_ROW_COUNT = 8,
};

// Out-parameter text buffers, in UTF-16 units including the terminator.
constexpr size_t SET_TEXT_UNITS = 10;
constexpr size_t ENUM_ITEM_CODE_UNITS = 10;
constexpr size_t ENUM_DATA_UNITS = 30;
constexpr size_t GET_STRING_ITEM_CODE_UNITS = 30;
constexpr size_t GET_STRING_NAME_UNITS = 51;    // index text "0": the item's name
constexpr size_t GET_STRING_OPTION_UNITS = 21;  // any other index: an option's text

constexpr size_t RAW_CALL_DATA_BYTES = 16;

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
    virtual int Reserved();

    int GetRevision(uint16_t& revision);
    int Set(uint16_t itemCode, const wchar_t* value, uint16_t& retCode,
            wchar_t (&itemCodeText)[SET_TEXT_UNITS], wchar_t (&dataText)[SET_TEXT_UNITS]);
    int Save(uint16_t& retCode);
    int SetPassword(const wchar_t* password, uint16_t& retCode);
    int EnumSetting(uint16_t index, uint16_t& retCode,
                    wchar_t (&itemCodeText)[ENUM_ITEM_CODE_UNITS],
                    wchar_t (&dataText)[ENUM_DATA_UNITS]);
    // `dataText` takes up to 50 units after the index text "0" and up to 20 otherwise.
    int GetString(uint16_t itemCode, const wchar_t* index, uint16_t& retCode,
                  wchar_t (&itemCodeText)[GET_STRING_ITEM_CODE_UNITS],
                  wchar_t (&dataText)[GET_STRING_NAME_UNITS]);

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
    // Set while this object holds a CoInitializeEx that Uninit must balance.
    bool comInitialized_ = false;
};

// Creates the WMI locator (CoCreateInstance of CLSID_WbemLocator). A seam of its own so that
// a build can take its locator from elsewhere.
HRESULT CreateWbemLocator(IWbemLocator** locator);
