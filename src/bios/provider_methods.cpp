// The BiosManager methods the tool uses, each a row of data for the one runner
// (bios/method_runner.h).
#include "bios/wtolq_core.h"

#include "bios/method_runner.h"

namespace {

// Save and GetString report a failed attempt with the line of Set: the field's scripts match
// the lines as they stand, so the name is kept.
constexpr wchar_t kExecSetFailure[] =
    L"ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=Set(), hr=%08X\n";

constexpr ParamSpec kInItemCode{L"inItemCode", ParamKind::Number,
                                L"ERROR:: WTOLQ Call:: WTOLQ Put() - InParam 'inItemCode', "
                                L"hr=%08X\n"};
constexpr ParamSpec kInSetData{
    L"inSetData", ParamKind::Text,
    L"ERROR:: WTOLQ Call:: WTOLQ Put() - InParam 'inSetData', hr=%08X\n"};
constexpr ParamSpec kInPassword{
    L"Password", ParamKind::Text,
    L"ERROR:: WTOLQ Call:: WTOLQ Put() - InParam 'Password', hr=%08X\n"};
constexpr const wchar_t* kInIndexFailure =
    L"ERROR:: WTOLQ Call:: WTOLQ Put() - InParam 'inIndex', hr=%08X\n";
constexpr ParamSpec kInIndexNumber{L"inIndex", ParamKind::Number, kInIndexFailure};
constexpr ParamSpec kInIndexText{L"inIndex", ParamKind::Text, kInIndexFailure};

constexpr ParamSpec kOutRetCode{
    L"RetCode", ParamKind::Number,
    L"ERROR:: WTOLQ Call:: WTOLQ Set() - OutParam 'RetCode', hr=%08X\n"};
constexpr ParamSpec kOutItemCode{L"ItemCode", ParamKind::Text,
                                 L"ERROR:: WTOLQ Call:: WTOLQ Set() - OutParam 'ItemCode', "
                                 L"hr=%08X\n"};
constexpr ParamSpec kOutData{L"Data", ParamKind::Text,
                             L"ERROR:: WTOLQ Call:: WTOLQ Set() - OutParam 'Data', hr=%08X\n"};

// GetRevision reports a failed Get of its Revision as 'outData', and SetPassword spells its
// method "Setpassword()": kept as the field's scripts expect them.
constexpr MethodSpec kGetRevisionMethod{
    ROW_GET_REVISION,
    0,
    {},
    L"ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=GetRevision, hr=%08X\n",
    1,
    {{L"Revision", ParamKind::Number,
      L"ERROR:: WTOLQ Call:: WTOLQ Get() - OutParam 'outData', hr=%08X\n"}}};
constexpr MethodSpec kSetMethod{ROW_SET,         2, {kInItemCode, kInSetData},
                                kExecSetFailure, 3, {kOutRetCode, kOutItemCode, kOutData}};
constexpr MethodSpec kSaveMethod{
    ROW_SAVE,
    0,
    {},
    kExecSetFailure,
    1,
    {{L"RetCode", ParamKind::Number,
      L"ERROR:: WTOLQ Call:: WTOLQ Save() - OutParam 'RetCode', hr=%08X\n"}}};
constexpr MethodSpec kSetPasswordMethod{
    ROW_SET_PASSWORD,
    1,
    {kInPassword},
    L"ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=Setpassword(), hr=%08X\n",
    1,
    {kOutRetCode}};
constexpr MethodSpec kEnumSettingMethod{
    ROW_ENUM_SETTING,
    1,
    {kInIndexNumber},
    L"ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=EnumSetting(), hr=%08X\n",
    3,
    {kOutRetCode, kOutItemCode, kOutData}};
constexpr MethodSpec kGetStringMethod{ROW_GET_STRING,  2, {kInItemCode, kInIndexText},
                                      kExecSetFailure, 3, {kOutRetCode, kOutItemCode, kOutData}};

}  // namespace

int WTolqCore::GetRevision(uint16_t& revision) {
    const OutSlot out[] = {NumberOut(revision)};
    return RunProviderMethod(*this, kGetRevisionMethod, nullptr, out);
}

int WTolqCore::Set(uint16_t itemCode, const wchar_t* value, uint16_t& retCode,
                   wchar_t (&itemCodeText)[SET_TEXT_UNITS], wchar_t (&dataText)[SET_TEXT_UNITS]) {
    const InValue in[] = {NumberIn(itemCode), TextIn(value)};
    const OutSlot out[] = {NumberOut(retCode), TextOut(itemCodeText), TextOut(dataText)};
    return RunProviderMethod(*this, kSetMethod, in, out);
}

int WTolqCore::Save(uint16_t& retCode) {
    const OutSlot out[] = {NumberOut(retCode)};
    return RunProviderMethod(*this, kSaveMethod, nullptr, out);
}

int WTolqCore::SetPassword(const wchar_t* password, uint16_t& retCode) {
    const InValue in[] = {TextIn(password)};
    const OutSlot out[] = {NumberOut(retCode)};
    return RunProviderMethod(*this, kSetPasswordMethod, in, out);
}

int WTolqCore::EnumSetting(uint16_t index, uint16_t& retCode,
                           wchar_t (&itemCodeText)[ENUM_ITEM_CODE_UNITS],
                           wchar_t (&dataText)[ENUM_DATA_UNITS]) {
    const InValue in[] = {NumberIn(index)};
    const OutSlot out[] = {NumberOut(retCode), TextOut(itemCodeText), TextOut(dataText)};
    return RunProviderMethod(*this, kEnumSettingMethod, in, out);
}

int WTolqCore::GetString(uint16_t itemCode, const wchar_t* index, uint16_t& retCode,
                         wchar_t (&itemCodeText)[GET_STRING_ITEM_CODE_UNITS],
                         wchar_t (&dataText)[GET_STRING_DATA_UNITS]) {
    const InValue in[] = {NumberIn(itemCode), TextIn(index)};
    const OutSlot out[] = {NumberOut(retCode), TextOut(itemCodeText), TextOut(dataText)};
    return RunProviderMethod(*this, kGetStringMethod, in, out);
}
