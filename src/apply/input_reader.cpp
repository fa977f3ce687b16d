#include "apply/input_reader.h"
#include "apply/report_lines.h"

#include "catalog/file_access.h"
#include "report/console.h"

#include <algorithm>
#include <iostream>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

namespace velorin::tool {

namespace {

bool BeginsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The name on an item line: after the marker, up to an opening parenthesis, untrimmed.
std::string ItemName(std::string_view line, size_t nameStart) {
    if (line.size() <= nameStart) return {};
    return std::string(line.substr(nameStart, line.find('(', nameStart) - nameStart));
}

// One pass over the lines of a configuration file. Every non-empty line between blocks must
// be an item line; each block yields one choice, also when its name or option matched nothing,
// so that the report can list every entry that would not be set.
class ConfigParser {
  public:
    ConfigParser(ConfigTool& tool, const ConfigLines& lines, bool force)
        : tool_(tool), lines_(lines), force_(force) {}

    ParsedConfig Run() {
        while (position_ < lines_.size()) {
            const ConfigLines::Line line = lines_[position_];
            if (line.text.empty()) {
                ++position_;
                continue;
            }
            if (!BeginsWith(line.text, tool_.itemMarker)) {
                ReportFormatError(line.text);
                if (!force_) return Refused(RC_INVALID_INPUT_FILE_FORMAT);
            }
            ReadBlock(ItemName(line.text, tool_.itemMarker.size()), line.whole);
        }
        return Conclude();
    }

  private:
    void ReportFormatError(std::string_view line) const {
        std::cout << "wrong input format in line " << position_ + 1 << "-> " << line << '\n';
    }

    // A line cut at the length limit lost the end of its text, so it names nothing: the cut
    // text could be another item's whole name or another option's whole text.
    void ReadBlock(const std::string& name, bool wholeLine) {
        ++position_;
        const auto item = wholeLine ? tool_.itemCodeByName.find(name) : tool_.itemCodeByName.end();
        if (item == tool_.itemCodeByName.end()) {
            SkipUnknownBlock(name);
        } else {
            ReadOptionLines(name, item->second);
        }
    }

    // Ends at an empty line (consumed) or at the next item line (left for the caller). The
    // last starred line that names an option wins.
    void ReadOptionLines(const std::string& name, int itemCode) {
        const OptionTable& options = tool_.optionsByItem[itemCode];
        int optionIndex = -1;
        while (position_ < lines_.size()) {
            const ConfigLines::Line line = lines_[position_];
            if (line.text.empty()) {
                ++position_;
                break;
            }
            const bool starred = line.text[0] == '*';
            const std::string_view body = starred ? line.text.substr(1) : line.text;
            const auto option =
                starred && line.whole ? options.find(std::string(body)) : options.end();
            if (option != options.end()) {
                optionIndex = ChooseOption(tool_, itemCode, option->first, option->second);
            }
            if (BeginsWith(body, tool_.itemMarker)) break;
            ++position_;
        }
        parsed_.choices.push_back({itemCode, optionIndex});
        if (optionIndex == -1) RecordUnmatched(tool_.wrongOptions, name);
    }

    void SkipUnknownBlock(const std::string& name) {
        parsed_.choices.push_back({-1, -1});
        RecordUnmatched(tool_.wrongDescriptions, name);
        while (position_ < lines_.size() && !lines_[position_].text.empty() &&
               !BeginsWith(lines_[position_].text, tool_.itemMarker)) {
            ++position_;
        }
    }

    void RecordUnmatched(TextList& list, const std::string& name) {
        list.push_back(name);
        ++parsed_.failedCount;
    }

    ParsedConfig Conclude() {
        if (parsed_.failedCount == 0) return parsed_;
        if (force_) {
            ConsolePrint("Wrong description or input is included\n");
            tool_.ShowWrongInput();
            return parsed_;
        }
        ConsolePrint("Wrong description or input is included in inputFile\n");
        tool_.ShowWrongInput();
        ConsolePrint("if you want to force setting , enter force option\n");
        return Refused(RC_WRONG_DESCRIPTION);
    }

    // A refused file leaves no choice behind, so nothing of it can be set.
    ParsedConfig Refused(int result) {
        parsed_.result = result;
        parsed_.choices.clear();
        return parsed_;
    }

    ConfigTool& tool_;
    const ConfigLines& lines_;
    const bool force_;
    size_t position_ = 0;
    ParsedConfig parsed_{RC_SUCCESS, {}, 0};
};

}  // namespace

ConfigLines::ConfigLines(std::string bytes) : bytes_(std::move(bytes)) {
    // Offsets are 32 bits; the reader never holds more than MAX_INPUT_FILE_BYTES.
    if (bytes_.size() > std::numeric_limits<uint32_t>::max()) bytes_.clear();
    starts_.reserve(static_cast<size_t>(std::count(bytes_.begin(), bytes_.end(), '\n')) + 1);
    starts_.push_back(0);
    for (size_t at = bytes_.find('\n'); at != std::string::npos; at = bytes_.find('\n', at + 1)) {
        starts_.push_back(static_cast<uint32_t>(at + 1));
    }
}

// A line ends at its line feed, which is not part of it; a carriage return directly before the
// line feed is dropped, as a Windows text-mode stream would drop it. Only the first
// MAX_LINE_LENGTH bytes are kept, and a NUL ends the text.
ConfigLines::Line ConfigLines::operator[](size_t index) const {
    const size_t begin = starts_[index];
    size_t end = index + 1 < starts_.size() ? starts_[index + 1] - 1 : bytes_.size();
    if (index + 1 < starts_.size() && end > begin && bytes_[end - 1] == '\r') --end;
    std::string_view text(bytes_.data() + begin, std::min(end - begin, MAX_LINE_LENGTH));
    const bool whole = end - begin <= MAX_LINE_LENGTH;
    return {text.substr(0, text.find('\0')), whole};
}

InputFile ReadInputFile(const std::string& fileName) {
    std::string bytes;
    switch (ReadRegularFile(fileName, MAX_INPUT_FILE_BYTES, bytes)) {
        case FileReadOutcome::Read:
            if (bytes.empty()) break;
            return {InputFileStatus::Read, ConfigLines(std::move(bytes))};
        case FileReadOutcome::TooLarge:
            return {InputFileStatus::TooLarge, {}};
        case FileReadOutcome::Unreadable:
            break;
    }
    return {InputFileStatus::NotFound, {}};
}

ParsedConfig ParseConfigLines(ConfigTool& tool, const ConfigLines& lines, bool force) {
    return ConfigParser(tool, lines, force).Run();
}

std::set<int> NamedItemCodes(const ConfigTool& tool, const ConfigLines& lines) {
    std::set<int> itemCodes;
    for (size_t i = 0; i < lines.size(); ++i) {
        const ConfigLines::Line line = lines[i];
        if (!line.whole || !BeginsWith(line.text, tool.itemMarker)) continue;
        const auto item = tool.itemCodeByName.find(ItemName(line.text, tool.itemMarker.size()));
        if (item != tool.itemCodeByName.end()) itemCodes.insert(item->second);
    }
    return itemCodes;
}

// The lower-case index is built on the first use; its option tables cover only what the
// catalogue had read then, so the item's own options are lower-cased here.
TypedSetting MatchTypedSetting(ConfigTool& tool, const std::string& itemText,
                               const std::string& valueText) {
    if (tool.itemCodeByLowerName.empty()) tool.IndexLowerCase();
    const auto item = tool.itemCodeByLowerName.find(LowerAscii(itemText));
    if (item == tool.itemCodeByLowerName.end()) {
        tool.wrongDescriptions.push_back(itemText);
        tool.ShowWrongInput();
        return {RC_TARGET_ITEM_NOT_FOUND, -1, -1};
    }
    const OptionTable options = tool.LowerCaseOptionsOf(item->second);
    const auto option = options.find(LowerAscii(valueText));
    if (option == options.end()) {
        tool.wrongOptions.push_back(valueText);
        tool.ShowWrongInput();
        return {RC_TARGET_OPTION_NOT_FOUND, item->second, -1};
    }
    const std::string optionText = OptionTextOf(tool, item->second, option->second);
    return {RC_SUCCESS, item->second, ChooseOption(tool, item->second, optionText, option->second)};
}

void ConfigTool::ShowWrongInput() {
    const struct {
        const TextList& entries;
        const char* verdict;
    } sections[] = {
        {wrongDescriptions, " -> wrong description"},
        {wrongOptions, " -> wrong option, no options match input"},
    };
    std::cout << "\nWrong Input\n";
    for (const auto& section : sections) {
        for (size_t i = 0; i < section.entries.size(); ++i) {
            std::cout << section.entries[i] << section.verdict << '\n';
        }
    }
    std::cout << '\n';
    FlushOutput();
}

}  // namespace velorin::tool
