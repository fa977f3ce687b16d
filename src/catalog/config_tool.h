// ConfigTool: the one tool object of a run. It owns the provider connection and the settings
// catalogue (items, options, current values) loaded from the firmware; the commands of the
// tool are its operations. They are declared here and defined beside the code they belong
// to: the catalogue, export and password operations in src/catalog, the input reader, the set
// engine and the check engine in src/apply.
#pragma once

#include "bios/wtolq_core.h"
#include "report/text_conversion.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velorin::tool {

// A list of byte strings in the order added, held in one buffer: an entry costs its bytes and
// four more, so a file that names millions of unknown items stays within bounded memory.
class TextList {
  public:
    void push_back(std::string_view text);
    void clear();
    size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    std::string_view operator[](size_t index) const;

  private:
    std::string bytes_;
    std::vector<uint32_t> ends_;
};

class ConfigLines;

// The supervisor password presented to the provider. `result` is the tool's own code where the
// provider never saw the password or its call failed (RC_INVALID_PASSWORD_LENGTH,
// RC_WRONG_PASSWORD for a text with a NUL, RC_INTERNAL_ERROR); otherwise it is RC_SUCCESS and
// `answer` is the provider's answer in the tool's terms (ResultOfProviderAnswer), which each
// caller reads in its own way.
struct PasswordCheck {
    int result = RC_SUCCESS;
    std::optional<ResultCode> answer;
};

// Option text to option index (1-based, in the order the firmware lists the options).
using OptionTable = std::map<std::string, int>;

// The current option index that the enumeration gave, by item code, for the items whose
// current value and options are read later. The first item enumerated with a code answers
// for it, as in the catalogue's tables.
using CurrentIndexTable = std::map<int, uint16_t>;

class ConfigTool {
  public:
    // Creates the WTolqCore and calls its Init; a failed Init shows at the first provider call.
    ConfigTool();

    // Catalogue (src/catalog). LoadCatalogue reads every item whole, in the provider's order.
    // A command that compares only some items reads in two steps instead: every item's name,
    // then the current value and options of the items it compares, where the option walk's
    // answer at the current index stands for the current value. Each returns RC_SUCCESS or
    // RC_INTERNAL_ERROR with the failure printed.
    int LoadCatalogue();
    int LoadItemNames(CurrentIndexTable& currentIndexes);
    int LoadItemDetails(const CurrentIndexTable& currentIndexes, const std::set<int>& itemCodes);
    // The lower-case tables serve /i alone, so only a command with /i builds them.
    void IndexLowerCase();
    OptionTable LowerCaseOptionsOf(int itemCode) const;
    int ExportConfig(bool singleItem, bool toFile, std::string fileName, std::string itemName);

    // Password operations (src/catalog)
    PasswordCheck CheckSupervisorPassword(const std::wstring& password);
    int VerifySupervisorPassword(const std::wstring& password);
    int ChangePassword(bool supervisor, std::string_view currentPassword, const char* newPassword);

    // Input reader and set engine (src/apply)
    void ShowWrongInput();
    int SetItem(int itemCode, int optionIndex);
    std::pair<std::string, std::string> DescribeSetting(int itemCode, int optionIndex);
    int ApplyConfigFile(const ConfigLines& lines, bool force);
    int ApplySingleItem(std::string itemName, std::string itemValue);

    // Check engine (src/apply): compares with the catalogue and changes nothing. Each returns
    // RC_SUCCESS when every checked item matches, RC_SETTINGS_DIFFER with the number of
    // differing items, or the input's failure (6 or 9 from a file, 7 or 8 typed).
    int CheckConfigFile(const ConfigLines& lines, bool force, uint32_t& differingCount);
    int CheckSingleItem(std::string itemName, std::string itemValue, uint32_t& differingCount);

    std::unique_ptr<WTolqCore> core;
    std::map<std::string, int> itemCodeByName;
    std::map<std::string, int> itemCodeByLowerName;
    std::map<int, OptionTable> optionsByItem;
    std::map<int, OptionTable> lowerOptionsByItem;
    std::map<int, std::string> currentValueByItem;
    // The current option's index, for an item whose option list holds it: an option whose text
    // an earlier option already holds is missing from the OptionTable, and may still be the
    // current one.
    std::map<int, int> currentIndexByItem;
    TextList wrongDescriptions;
    TextList wrongOptions;
    int supervisorPasswordItem = 0x3000;
    int userPasswordItem = 0x3001;
    std::string itemMarker = "+++";
};

// Text as the catalogue holds it: each UTF-16 unit becomes its low 8 bits, and '?' where those
// are a control character (0x00 to 0x1F, 0x7F).
std::string NarrowText(const wchar_t* text);

}  // namespace velorin::tool
