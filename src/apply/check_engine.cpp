// /check: compares the chosen settings with the values the catalogue read at the start of the
// run. It sets nothing and needs no password; the catalogue load is its only provider call.
#include "apply/input_reader.h"
#include "apply/report_lines.h"

#include "app/report/console.h"

#include <cstdint>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr char CHECK_HEADING[] = "======================Check Command Result==================\n";

struct DifferingSetting {
    std::string name;
    std::string currentValue;
    std::string chosenOption;
};

void PrintDifferingItems(const std::vector<DifferingSetting>& differing) {
    if (differing.empty()) return;
    std::cout << "Differing Item" << std::endl;
    for (const DifferingSetting& setting : differing) {
        std::cout << '\t' << setting.name << " : " << setting.currentValue << " -> "
                  << setting.chosenOption << std::endl;
    }
}

// An item named twice is compared twice. Choices that matched nothing (left out under /f)
// count as not checked.
int CompareWithCatalogue(const ConfigTool& tool, const std::vector<SettingChoice>& choices,
                         uint32_t& differingCount) {
    const SettingTexts texts(tool);
    std::vector<DifferingSetting> differing;
    uint32_t matchingCount = 0;
    uint32_t notCheckedCount = 0;
    for (const SettingChoice& choice : choices) {
        if (!IsChosen(choice)) {
            ++notCheckedCount;
            continue;
        }
        auto [name, option] = texts.Describe(choice);
        const std::string& current = CurrentValueOf(tool, choice.itemCode);
        if (option == current) {
            ++matchingCount;
        } else {
            differing.push_back({std::move(name), current, std::move(option)});
        }
    }
    differingCount = static_cast<uint32_t>(differing.size());
    PrintDifferingItems(differing);
    PrintTotals({
        {"\tItems matching : ", matchingCount},
        {"\tItems differing : ", differingCount},
        {"\tItems not checked : ", notCheckedCount},
    });
    return differingCount == 0 ? RC_SUCCESS : RC_SETTINGS_DIFFER;
}

}  // namespace

int ConfigTool::CheckConfigFile(const ConfigLines& lines, bool force, uint32_t& differingCount) {
    differingCount = 0;
    ConsolePrint("%s", CHECK_HEADING);
    const ParsedConfig parsed = ParseConfigLines(*this, lines, force);
    if (parsed.result != RC_SUCCESS) return parsed.result;
    return CompareWithCatalogue(*this, parsed.choices, differingCount);
}

int ConfigTool::CheckSingleItem(std::string itemName, std::string itemValue,
                                uint32_t& differingCount) {
    differingCount = 0;
    const TypedSetting typed = MatchTypedSetting(*this, itemName, itemValue);
    if (typed.result != RC_SUCCESS) return typed.result;
    ConsolePrint("%s", CHECK_HEADING);
    return CompareWithCatalogue(*this, {{typed.itemCode, typed.optionIndex}}, differingCount);
}
