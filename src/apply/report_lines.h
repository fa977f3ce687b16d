// What the set report and the check report share: the catalogue's texts for a chosen setting,
// the value an item had at the start of the run, and the totals block.
#pragma once

#include "apply/input_reader.h"

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>

namespace velorin::tool {

// The item name and option text of chosen settings, as DescribeSetting gives them. The names
// by code are gathered once, so a file of many blocks does not scan the catalogue per block.
class SettingTexts {
  public:
    explicit SettingTexts(const ConfigTool& tool);
    std::pair<std::string, std::string> Describe(const SettingChoice& choice) const;

  private:
    const ConfigTool& tool_;
    std::map<int, std::string> nameByCode_;
};

// The catalogue keeps the values read at start, so an item named twice is compared both times
// with the value it had before the run. Empty for an item the catalogue does not hold.
const std::string& CurrentValueOf(const ConfigTool& tool, int itemCode);

// The text of an option as the catalogue holds it; empty when the item has no such option.
std::string OptionTextOf(const ConfigTool& tool, int itemCode, int optionIndex);

// The option meant by a text of the item's OptionTable, which gave `optionIndex`. Options
// with equal texts (or texts that narrow to the same bytes) are one entry of the table, which
// holds the first of them; when the text is the current option's, the current option is
// meant. Setting the first would change the item while the report says nothing changed.
int ChooseOption(const ConfigTool& tool, int itemCode, const std::string& optionText,
                 int optionIndex);

struct ReportCounter {
    const char* label;
    uint32_t count;
};

// "Total N Items" with N the sum of the counters, then one line per counter; the totals end
// a report, so they flush what it wrote.
void PrintTotals(std::initializer_list<ReportCounter> counters);

}  // namespace velorin::tool
