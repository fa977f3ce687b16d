#include "apply/report_lines.h"

#include <iostream>

namespace {

std::string FirstKeyWithValue(const std::map<std::string, int>& table, int value) {
    for (const auto& [key, mapped] : table) {
        if (mapped == value) return key;
    }
    return {};
}

std::string OptionTextOf(const ConfigTool& tool, int itemCode, int optionIndex) {
    const auto options = tool.optionsByItem.find(itemCode);
    return options == tool.optionsByItem.end() ? std::string()
                                               : FirstKeyWithValue(options->second, optionIndex);
}

}  // namespace

std::pair<std::string, std::string> ConfigTool::DescribeSetting(int itemCode, int optionIndex) {
    return {FirstKeyWithValue(itemCodeByName, itemCode),
            OptionTextOf(*this, itemCode, optionIndex)};
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
    std::cout << "Total " << total << " Items" << std::endl;
    for (const ReportCounter& counter : counters) {
        std::cout << counter.label << counter.count << std::endl;
    }
}
