#include "apply/report_lines.h"

#include "report/console.h"

#include <iostream>

namespace velorin::tool {

namespace {

const std::string* FirstKeyWithValue(const std::map<std::string, int>& table, int value) {
    for (const auto& [key, mapped] : table) {
        if (mapped == value) return &key;
    }
    return nullptr;
}

std::string FirstKeyOrEmpty(const std::map<std::string, int>& table, int value) {
    const std::string* key = FirstKeyWithValue(table, value);
    return key == nullptr ? std::string() : *key;
}

bool IsCurrentIndex(const ConfigTool& tool, int itemCode, int optionIndex) {
    const auto current = tool.currentIndexByItem.find(itemCode);
    return current != tool.currentIndexByItem.end() && current->second == optionIndex;
}

}  // namespace

// The current option may be missing from the table when an earlier option holds its text;
// its text is then the current value.
std::string OptionTextOf(const ConfigTool& tool, int itemCode, int optionIndex) {
    const auto options = tool.optionsByItem.find(itemCode);
    const std::string* text = options == tool.optionsByItem.end()
                                  ? nullptr
                                  : FirstKeyWithValue(options->second, optionIndex);
    if (text != nullptr) return *text;
    return IsCurrentIndex(tool, itemCode, optionIndex) ? CurrentValueOf(tool, itemCode)
                                                       : std::string();
}

int ChooseOption(const ConfigTool& tool, int itemCode, const std::string& optionText,
                 int optionIndex) {
    if (optionText != CurrentValueOf(tool, itemCode)) return optionIndex;
    const auto current = tool.currentIndexByItem.find(itemCode);
    return current == tool.currentIndexByItem.end() ? optionIndex : current->second;
}

std::pair<std::string, std::string> ConfigTool::DescribeSetting(int itemCode, int optionIndex) {
    return {FirstKeyOrEmpty(itemCodeByName, itemCode), OptionTextOf(*this, itemCode, optionIndex)};
}

// emplace keeps the first name in the map's order for a code that several names carry.
SettingTexts::SettingTexts(const ConfigTool& tool) : tool_(tool) {
    for (const auto& [name, itemCode] : tool.itemCodeByName) nameByCode_.emplace(itemCode, name);
}

std::pair<std::string, std::string> SettingTexts::Describe(const SettingChoice& choice) const {
    const auto name = nameByCode_.find(choice.itemCode);
    return {name == nameByCode_.end() ? std::string() : name->second,
            OptionTextOf(tool_, choice.itemCode, choice.optionIndex)};
}

const std::string& CurrentValueOf(const ConfigTool& tool, int itemCode) {
    static const std::string none;
    const auto current = tool.currentValueByItem.find(itemCode);
    return current == tool.currentValueByItem.end() ? none : current->second;
}

void PrintTotals(std::initializer_list<ReportCounter> counters) {
    uint64_t total = 0;
    for (const ReportCounter& counter : counters) total += counter.count;
    std::cout << "Total " << total << " Items\n";
    for (const ReportCounter& counter : counters) {
        std::cout << counter.label << counter.count << '\n';
    }
    FlushOutput();
}

}  // namespace velorin::tool
