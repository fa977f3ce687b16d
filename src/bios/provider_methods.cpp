// The BiosManager methods the tool uses, each a row of data for the one runner
// (bios/method_runner.h).
#include "bios/wtolq_core.h"

#include "bios/method_runner.h"

namespace velorin::tool {

namespace {

// Save and GetString report a failed attempt with the line of Set: the field's scripts match
// the lines as they stand, so the name is kept.
constexpr wchar_t EXEC_SET_FAILURE[] =
    L"ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=Set(), hr=%08X\n";

constexpr ParamSpec IN_ITEM_CODE{L"inItemCode", ParamKind::Number,
                                 L"ERROR:: WTOLQ Call:: WTOLQ Put() - InParam 'inItemCode', "
                                 L"hr=%08X\n"};
constexpr ParamSpec IN_SET_DATA{
    L"inSetData", ParamKind::Text,
    L"ERROR:: WTOLQ Call:: WTOLQ Put() - InParam 'inSetData', hr=%08X\n"};
constexpr ParamSpec IN_PASSWORD{
    L"Password", ParamKind::Text,
    L"ERROR:: WTOLQ Call:: WTOLQ Put() - InParam 'Password', hr=%08X\n"};
constexpr const wchar_t* IN_INDEX_FAILURE =
    L"ERROR:: WTOLQ Call:: WTOLQ Put() - InParam 'inIndex', hr=%08X\n";
constexpr ParamSpec IN_INDEX_NUMBER{L"inIndex", ParamKind::Number, IN_INDEX_FAILURE};
constexpr ParamSpec IN_INDEX_TEXT{L"inIndex", ParamKind::Text, IN_INDEX_FAILURE};

constexpr ParamSpec OUT_RET_CODE{
    L"RetCode", ParamKind::Number,
    L"ERROR:: WTOLQ Call:: WTOLQ Set() - OutParam 'RetCode', hr=%08X\n"};
constexpr ParamSpec OUT_ITEM_CODE{L"ItemCode", ParamKind::Text,
                                  L"ERROR:: WTOLQ Call:: WTOLQ Set() - OutParam 'ItemCode', "
                                  L"hr=%08X\n"};
constexpr ParamSpec OUT_DATA{L"Data", ParamKind::Text,
                             L"ERROR:: WTOLQ Call:: WTOLQ Set() - OutParam 'Data', hr=%08X\n"};

// GetRevision reports a failed Get of its Revision as 'outData', and SetPassword spells its
// method "Setpassword()": kept as the field's scripts expect them.
constexpr MethodSpec GET_REVISION_METHOD{
    ROW_GET_REVISION,
    0,
    {},
    L"ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=GetRevision, hr=%08X\n",
    1,
    {{L"Revision", ParamKind::Number,
      L"ERROR:: WTOLQ Call:: WTOLQ Get() - OutParam 'outData', hr=%08X\n"}}};
constexpr MethodSpec SET_METHOD{ROW_SET,          2, {IN_ITEM_CODE, IN_SET_DATA},
                                EXEC_SET_FAILURE, 3, {OUT_RET_CODE, OUT_ITEM_CODE, OUT_DATA}};
constexpr MethodSpec SAVE_METHOD{
    ROW_SAVE,
    0,
    {},
    EXEC_SET_FAILURE,
    1,
    {{L"RetCode", ParamKind::Number,
      L"ERROR:: WTOLQ Call:: WTOLQ Save() - OutParam 'RetCode', hr=%08X\n"}}};
constexpr MethodSpec SET_PASSWORD_METHOD{
    ROW_SET_PASSWORD,
    1,
    {IN_PASSWORD},
    L"ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=Setpassword(), hr=%08X\n",
    1,
    {OUT_RET_CODE}};
constexpr MethodSpec ENUM_SETTING_METHOD{
    ROW_ENUM_SETTING,
    1,
    {IN_INDEX_NUMBER},
    L"ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=EnumSetting(), hr=%08X\n",
    3,
    {OUT_RET_CODE, OUT_ITEM_CODE, OUT_DATA}};
constexpr MethodSpec GET_STRING_METHOD{
    ROW_GET_STRING,   2, {IN_ITEM_CODE, IN_INDEX_TEXT},
    EXEC_SET_FAILURE, 3, {OUT_RET_CODE, OUT_ITEM_CODE, OUT_DATA}};

}  // namespace

int WTolqCore::GetRevision(uint16_t& revision) {
    const OutSlot out[] = {NumberOut(revision)};
    return RunProviderMethod(*this, GET_REVISION_METHOD, nullptr, out);
}

int WTolqCore::Set(uint16_t itemCode, const wchar_t* value, uint16_t& retCode,
                   wchar_t (&itemCodeText)[SET_TEXT_UNITS], wchar_t (&dataText)[SET_TEXT_UNITS]) {
    const InValue in[] = {NumberIn(itemCode), TextIn(value)};
    const OutSlot out[] = {NumberOut(retCode), TextOut(itemCodeText), TextOut(dataText)};
    return RunProviderMethod(*this, SET_METHOD, in, out);
}

int WTolqCore::Save(uint16_t& retCode) {
    const OutSlot out[] = {NumberOut(retCode)};
    return RunProviderMethod(*this, SAVE_METHOD, nullptr, out);
}

int WTolqCore::SetPassword(const wchar_t* password, uint16_t& retCode) {
    const InValue in[] = {TextIn(password)};
    const OutSlot out[] = {NumberOut(retCode)};
    return RunProviderMethod(*this, SET_PASSWORD_METHOD, in, out);
}

int WTolqCore::EnumSetting(uint16_t index, uint16_t& retCode,
                           wchar_t (&itemCodeText)[ENUM_ITEM_CODE_UNITS],
                           wchar_t (&dataText)[ENUM_DATA_UNITS]) {
    const InValue in[] = {NumberIn(index)};
    const OutSlot out[] = {NumberOut(retCode), TextOut(itemCodeText), TextOut(dataText)};
    return RunProviderMethod(*this, ENUM_SETTING_METHOD, in, out);
}

int WTolqCore::GetString(uint16_t itemCode, const wchar_t* index, uint16_t& retCode,
                         wchar_t (&itemCodeText)[GET_STRING_ITEM_CODE_UNITS],
                         wchar_t (&dataText)[GET_STRING_DATA_UNITS]) {
    const InValue in[] = {NumberIn(itemCode), TextIn(index)};
    const OutSlot out[] = {NumberOut(retCode), TextOut(itemCodeText), TextOut(dataText)};
    return RunProviderMethod(*this, GET_STRING_METHOD, in, out);
}

}  // namespace velorin::tool
