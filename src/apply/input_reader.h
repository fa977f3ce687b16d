// Reading a configuration file for /set and /check, validating it against the catalogue, and
// matching an item and value typed on the command line. Nothing here calls the firmware.
#pragma once

#include "catalog/config_tool.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t MAX_LINE_LENGTH = 255;

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

std::vector<std::string> ReadLines(const std::string& fileName);
bool InputFileExists(const std::string& fileName);
ParsedConfig ParseConfigLines(ConfigTool& tool, const std::vector<std::string>& lines, bool force);
// A command's result heading, printed before the file is read so that it also stands above
// the file's errors, then the file read and validated by ParseConfigLines.
ParsedConfig ReadConfigFile(ConfigTool& tool, const char* heading, const std::string& fileName,
                            bool force);
TypedSetting MatchTypedSetting(ConfigTool& tool, const std::string& itemText,
                               const std::string& valueText);
