// /check: compares the chosen settings with the values the catalogue read at the start of the
// run. It sets nothing and needs no password; reading the items it compares is its only use
// of the provider.
#include "apply/input_reader.h"
#include "apply/report_lines.h"

#include "report/console.h"

#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

namespace velorin::tool {

namespace {

constexpr char CHECK_HEADING[] = "======================Check Command Result==================\n";

// The texts of a differing entry are looked up when its line is printed: a file may name one
// item millions of times, and a copy of its current value (up to 1,000 bytes) per entry would
// take gigabytes.
void PrintDifferingItems(const ConfigTool& tool, const SettingTexts& texts,
                         const std::vector<SettingChoice>& differing) {
    if (differing.empty()) return;
    std::cout << "Differing Item\n";
    for (const SettingChoice& choice : differing) {
        const auto [name, option] = texts.Describe(choice);
        std::cout << '\t' << name << " : " << CurrentValueOf(tool, choice.itemCode) << " -> "
                  << option << '\n';
    }
}

// An item named twice is compared twice. Choices that matched nothing (left out under /f)
// count as not checked.
int CompareWithCatalogue(const ConfigTool& tool, const std::vector<SettingChoice>& choices,
                         uint32_t& differingCount) {
    const SettingTexts texts(tool);
    std::vector<SettingChoice> differing;
    uint32_t matchingCount = 0;
    uint32_t notCheckedCount = 0;
    for (const SettingChoice& choice : choices) {
        if (!IsChosen(choice)) {
            ++notCheckedCount;
        } else if (OptionTextOf(tool, choice.itemCode, choice.optionIndex) ==
                   CurrentValueOf(tool, choice.itemCode)) {
            ++matchingCount;
        } else {
            differing.push_back(choice);
        }
    }
    differingCount = static_cast<uint32_t>(differing.size());
    PrintDifferingItems(tool, texts, differing);
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

}  // namespace velorin::tool
