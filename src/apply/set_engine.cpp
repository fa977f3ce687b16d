#include "apply/input_reader.h"
#include "apply/report_lines.h"

#include "report/console.h"

#include <cstdint>
#include <iostream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace velorin::tool {

namespace {

constexpr char RESULT_HEADING[] = "======================Set Command Result==================\n";
constexpr char SINGLE_ITEM_FOOTER[] = "==========================================\n";

using SettingList = std::vector<std::pair<std::string, std::string>>;

struct SetReport {
    SettingList changedItems;
    std::vector<bool> superseded;  // by index of changedItems: a later set of the item won
    std::unordered_map<int, size_t> changedLineOf;  // item code -> its line in changedItems
    SettingList skippedItems;
    uint32_t changedCount = 0;
    uint32_t unchangedCount = 0;
    uint32_t skippedCount = 0;
    uint32_t failedCount = 0;  // the entries that matched nothing and the failed sets
    uint32_t failedSets = 0;   // the failed sets alone: they make the command fail
};

// A set fails when the call failed or the firmware gave a RetCode it does not document as
// done, read only or stopped for a missing password.
bool IsFailedSet(int retCode) {
    return retCode != PROVIDER_RET_DONE && retCode != PROVIDER_RET_NOT_SELECTABLE &&
           retCode != PROVIDER_RET_NO_SUPERVISOR_PASSWORD;
}

bool IsCurrentValue(const ConfigTool& tool, int itemCode, const std::string& optionText) {
    return optionText == CurrentValueOf(tool, itemCode);
}

// The firmware ends with the option of an item's last successful set, so an earlier changed
// line of the same item no longer tells what is saved: it is struck and its entry counted as
// not changed. The last set is compared with the value the item had at the start.
void RecordDone(const ConfigTool& tool, int itemCode, std::pair<std::string, std::string> setting,
                SetReport& report) {
    const auto earlier = report.changedLineOf.find(itemCode);
    if (earlier != report.changedLineOf.end()) {
        report.superseded[earlier->second] = true;
        report.changedLineOf.erase(earlier);
        --report.changedCount;
        ++report.unchangedCount;
    }
    if (IsCurrentValue(tool, itemCode, setting.second)) {
        ++report.unchangedCount;
        return;
    }
    ++report.changedCount;
    report.changedLineOf[itemCode] = report.changedItems.size();
    report.changedItems.push_back(std::move(setting));
    report.superseded.push_back(false);
}

// Returns false when the firmware has no supervisor password, which stops the whole run.
bool ApplyChoice(ConfigTool& tool, const SettingTexts& texts, const SettingChoice& choice,
                 SetReport& report) {
    std::pair<std::string, std::string> setting = texts.Describe(choice);
    switch (tool.SetItem(choice.itemCode, choice.optionIndex)) {
        case PROVIDER_RET_DONE:
            RecordDone(tool, choice.itemCode, std::move(setting), report);
            return true;
        case PROVIDER_RET_NOT_SELECTABLE:
            ++report.skippedCount;
            report.skippedItems.push_back(std::move(setting));
            return true;
        case PROVIDER_RET_NO_SUPERVISOR_PASSWORD:
            return false;
        default:
            ++report.failedCount;
            ++report.failedSets;
            return true;
    }
}

// Keeps the changed lines that name what the firmware ends with, in the order of their sets.
void DropSupersededLines(SetReport& report) {
    size_t kept = 0;
    for (size_t index = 0; index < report.changedItems.size(); ++index) {
        if (report.superseded[index]) continue;
        if (kept != index) report.changedItems[kept] = std::move(report.changedItems[index]);
        ++kept;
    }
    report.changedItems.resize(kept);
}

void PrintSettingLists(const SetReport& report) {
    const struct {
        const char* heading;
        const SettingList& entries;
    } lists[] = {
        {"Changed Item ", report.changedItems},
        {"Skipped Item(Below items are skipeed because option is not selectable with this "
         "interface, Read Only value)",
         report.skippedItems},
    };
    for (const auto& list : lists) {
        if (list.entries.empty()) continue;
        std::cout << list.heading << '\n';
        for (const auto& [name, option] : list.entries) {
            std::cout << '\t' << name << " -> " << option << '\n';
        }
    }
}

void PrintSetTotals(const SetReport& report) {
    PrintTotals({
        {"\tItems changed successfully : ", report.changedCount},
        {"\tItems not changed : ", report.unchangedCount},
        {"\tItems skipped by property : ", report.skippedCount},
        {"\tItems failed to set : ", report.failedCount},
    });
}

std::string SingleItemOutcome(int retCode, const std::string& optionText, bool wasCurrent) {
    if (retCode == PROVIDER_RET_DONE) {
        return wasCurrent ? "No change\n" : "Successfully set to " + optionText + "\n";
    }
    if (retCode == PROVIDER_RET_NOT_SELECTABLE) {
        return "Failed to set to " + optionText +
               ", this option is not selectable with this interface, Read Only Value\n";
    }
    return "Failed to set to " + optionText + "\n";
}

}  // namespace

int ConfigTool::SetItem(int itemCode, int optionIndex) {
    const std::string digits = std::to_string(optionIndex);
    std::wstring setData;
    for (const char digit : digits) setData.push_back(static_cast<wchar_t>(digit));
    uint16_t retCode = 0xFFFF;
    wchar_t itemCodeText[SET_TEXT_UNITS] = {};
    wchar_t dataText[SET_TEXT_UNITS] = {};
    if (!core->Set(static_cast<uint16_t>(itemCode & 0xFFFF), setData.c_str(), retCode, itemCodeText,
                   dataText)) {
        ConsolePrint("Set call failed\n");
        return PROVIDER_RET_FAILED;  // counted as the firmware's own failure
    }
    return retCode;
}

int ConfigTool::ApplyConfigFile(const ConfigLines& lines, bool force) {
    ConsolePrint("%s", RESULT_HEADING);
    const ParsedConfig parsed = ParseConfigLines(*this, lines, force);
    if (parsed.result != RC_SUCCESS) return parsed.result;

    SetReport report;
    report.failedCount = parsed.failedCount;
    const SettingTexts texts(*this);
    for (const SettingChoice& choice : parsed.choices) {
        if (!IsChosen(choice)) continue;  // counted as failed
        if (!ApplyChoice(*this, texts, choice, report)) {
            ConsolePrint("Please Set Supervisor password\n");
            return RC_NO_SUPERVISOR_PASSWORD;
        }
    }
    DropSupersededLines(report);
    PrintSettingLists(report);
    PrintSetTotals(report);
    return report.failedSets == 0 ? RC_SUCCESS : RC_INTERNAL_ERROR;
}

int ConfigTool::ApplySingleItem(std::string itemName, std::string itemValue) {
    const TypedSetting typed = MatchTypedSetting(*this, itemName, itemValue);
    if (typed.result != RC_SUCCESS) return typed.result;

    ConsolePrint("%s", RESULT_HEADING);
    const int retCode = SetItem(typed.itemCode, typed.optionIndex);
    if (retCode == PROVIDER_RET_NO_SUPERVISOR_PASSWORD) {
        ConsolePrint("Please Set Supervisor password\n");
        return RC_NO_SUPERVISOR_PASSWORD;
    }
    const auto [name, optionText] = DescribeSetting(typed.itemCode, typed.optionIndex);
    const std::string block =
        "Item : " + name + "\n" +
        SingleItemOutcome(retCode, optionText, IsCurrentValue(*this, typed.itemCode, optionText)) +
        SINGLE_ITEM_FOOTER;
    std::cout << block;
    FlushOutput();
    return IsFailedSet(retCode) ? RC_INTERNAL_ERROR : RC_SUCCESS;
}

}  // namespace velorin::tool
