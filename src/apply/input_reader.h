// Reading a configuration file for /set and /check, validating it against the catalogue, and
// matching an item and value typed on the command line. Nothing here calls the firmware.
#pragma once

#include "catalog/config_tool.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace velorin::tool {

constexpr size_t MAX_LINE_LENGTH = 255;
// The largest configuration file that /set reads. An export of a full catalogue is far
// smaller; the bound keeps a file of any content within a fixed amount of memory.
constexpr size_t MAX_INPUT_FILE_BYTES = size_t{16} << 20;

// The lines of a configuration file. The file's bytes are held once and each line is found
// from where it starts, so a file of millions of short lines costs four bytes per line.
class ConfigLines {
  public:
    struct Line {
        std::string_view text;  // at most MAX_LINE_LENGTH bytes, up to a NUL, without the end
        bool whole;             // false when the line was longer than MAX_LINE_LENGTH bytes
    };

    ConfigLines() = default;
    // A file of 0 bytes is one empty line; a final line feed starts one more, empty, line.
    explicit ConfigLines(std::string bytes);

    size_t size() const { return starts_.size(); }
    Line operator[](size_t index) const;

  private:
    std::string bytes_;
    std::vector<uint32_t> starts_;
};

enum class InputFileStatus {
    Read,
    NotFound,  // missing, empty, not a regular file, or not readable to its end
    TooLarge,  // more than MAX_INPUT_FILE_BYTES
};

struct InputFile {
    InputFileStatus status;
    ConfigLines lines;  // the file's lines when it was read
};

// What one item block of a configuration file chose; -1 marks what matched nothing.
struct SettingChoice {
    int32_t itemCode;
    int32_t optionIndex;
};

// False for a choice that matched nothing, which is left out and counted instead.
inline bool IsChosen(const SettingChoice& choice) {
    return choice.itemCode != -1 && choice.optionIndex != -1;
}

struct ParsedConfig {
    int result;  // RC_SUCCESS, RC_INVALID_INPUT_FILE_FORMAT or RC_WRONG_DESCRIPTION
    std::vector<SettingChoice> choices;
    uint32_t failedCount;
};

struct TypedSetting {
    int result;  // RC_SUCCESS, RC_TARGET_ITEM_NOT_FOUND or RC_TARGET_OPTION_NOT_FOUND
    int itemCode;
    int optionIndex;
};

// Reads the configuration file once: the check that it can be used and the lines it holds come
// from the same bytes.
InputFile ReadInputFile(const std::string& fileName);
ParsedConfig ParseConfigLines(ConfigTool& tool, const ConfigLines& lines, bool force);
// The items that the file's item lines name, read before the file is parsed: what a /check of
// it compares is among them.
std::set<int> NamedItemCodes(const ConfigTool& tool, const ConfigLines& lines);
TypedSetting MatchTypedSetting(ConfigTool& tool, const std::string& itemText,
                               const std::string& valueText);

}  // namespace velorin::tool
