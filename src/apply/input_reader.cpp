#include "apply/input_reader.h"

#include "app/console.h"

#include <fstream>
#include <iostream>
#include <string>

namespace {

using Traits = std::char_traits<char>;

bool IsEnd(int ch) { return Traits::eq_int_type(ch, Traits::eof()); }

// Splits a byte stream into lines of at most MAX_LINE_LENGTH bytes. The file is read in binary
// mode so that LF-only and CR LF files read alike on every platform; the CR of a CR LF pair is
// dropped here, as a Windows text-mode stream would drop it.
class LineSource {
  public:
    explicit LineSource(std::streambuf& buffer) : buffer_(buffer) {}

    // Fills `line` with the next line. Returns false when the read met the end of the file,
    // which makes this line the last one.
    bool Next(std::string& line) {
        line.clear();
        bool textEnded = false;  // a NUL ends the text; the bytes after it are still consumed
        for (size_t count = 0; count < MAX_LINE_LENGTH; ++count) {
            const int ch = NextByte();
            if (IsEnd(ch)) return false;
            if (ch == '\n') return true;
            textEnded = textEnded || ch == '\0';
            if (!textEnded) line.push_back(static_cast<char>(ch));
        }
        return SkipRestOfLine();
    }

  private:
    int NextByte() {
        const int ch = buffer_.sbumpc();
        if (ch == '\r' && buffer_.sgetc() == '\n') return buffer_.sbumpc();
        return ch;
    }

    // A line longer than the limit keeps its first bytes; the rest of it is passed over so
    // that memory stays bounded however long the line is.
    bool SkipRestOfLine() {
        for (;;) {
            const int ch = buffer_.sbumpc();
            if (IsEnd(ch)) return false;
            if (ch == '\n') return true;
        }
    }

    std::streambuf& buffer_;
};

bool BeginsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// The name on an item line: after the marker, up to an opening parenthesis, untrimmed.
std::string ItemName(const std::string& line, size_t nameStart) {
    if (line.size() <= nameStart) return {};
    const size_t parenthesis = line.find('(', nameStart);
    return line.substr(
        nameStart, parenthesis == std::string::npos ? std::string::npos : parenthesis - nameStart);
}

// One pass over the lines of a configuration file. Every non-empty line between blocks must
// be an item line; each block yields one choice, also when its name or option matched nothing,
// so that the report can list every entry that would not be set.
class ConfigParser {
  public:
    ConfigParser(ConfigTool& tool, const std::vector<std::string>& lines, bool force)
        : tool_(tool), lines_(lines), force_(force) {}

    ParsedConfig Run() {
        while (position_ < lines_.size()) {
            const std::string& line = lines_[position_];
            if (line.empty()) {
                ++position_;
                continue;
            }
            if (!BeginsWith(line, tool_.itemMarker)) {
                ReportFormatError(line);
                if (!force_) return Refused(RC_INVALID_INPUT_FILE_FORMAT);
            }
            ReadBlock(ItemName(line, tool_.itemMarker.size()));
        }
        return Conclude();
    }

  private:
    void ReportFormatError(const std::string& line) const {
        std::cout << "wrong input format in line " << position_ + 1 << "-> " << line << std::endl;
    }

    void ReadBlock(const std::string& name) {
        ++position_;
        const auto item = tool_.itemCodeByName.find(name);
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
            const std::string& line = lines_[position_];
            if (line.empty()) {
                ++position_;
                break;
            }
            const bool starred = line[0] == '*';
            const std::string body = starred ? line.substr(1) : line;
            const auto option = starred ? options.find(body) : options.end();
            if (option != options.end()) optionIndex = option->second;
            if (BeginsWith(body, tool_.itemMarker)) break;
            ++position_;
        }
        parsed_.choices.push_back({itemCode, optionIndex});
        if (optionIndex == -1) RecordUnmatched(tool_.wrongOptions, name);
    }

    void SkipUnknownBlock(const std::string& name) {
        parsed_.choices.push_back({-1, -1});
        RecordUnmatched(tool_.wrongDescriptions, name);
        while (position_ < lines_.size() && !lines_[position_].empty() &&
               !BeginsWith(lines_[position_], tool_.itemMarker)) {
            ++position_;
        }
    }

    void RecordUnmatched(std::vector<std::string>& list, const std::string& name) {
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
    const std::vector<std::string>& lines_;
    const bool force_;
    size_t position_ = 0;
    ParsedConfig parsed_{RC_SUCCESS, {}, 0};
};

}  // namespace

std::vector<std::string> ReadLines(const std::string& fileName) {
    std::vector<std::string> lines;
    std::ifstream file(fileName, std::ios::binary);
    if (!file.is_open()) return lines;
    LineSource source(*file.rdbuf());
    std::string line;
    line.reserve(MAX_LINE_LENGTH);
    bool more = true;
    while (more) {
        more = source.Next(line);
        lines.push_back(line);
    }
    return lines;
}

bool InputFileExists(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    return file.is_open() && !IsEnd(file.rdbuf()->sgetc());
}

ParsedConfig ParseConfigLines(ConfigTool& tool, const std::vector<std::string>& lines, bool force) {
    return ConfigParser(tool, lines, force).Run();
}

ParsedConfig ReadConfigFile(ConfigTool& tool, const char* heading, const std::string& fileName,
                            bool force) {
    ConsolePrint("%s", heading);
    return ParseConfigLines(tool, ReadLines(fileName), force);
}

TypedSetting MatchTypedSetting(ConfigTool& tool, const std::string& itemText,
                               const std::string& valueText) {
    const auto item = tool.itemCodeByLowerName.find(LowerAscii(itemText));
    if (item == tool.itemCodeByLowerName.end()) {
        tool.wrongDescriptions.push_back(itemText);
        tool.ShowWrongInput();
        return {RC_TARGET_ITEM_NOT_FOUND, -1, -1};
    }
    const OptionTable& options = tool.lowerOptionsByItem[item->second];
    const auto option = options.find(LowerAscii(valueText));
    if (option == options.end()) {
        tool.wrongOptions.push_back(valueText);
        tool.ShowWrongInput();
        return {RC_TARGET_OPTION_NOT_FOUND, item->second, -1};
    }
    return {RC_SUCCESS, item->second, option->second};
}

void ConfigTool::ShowWrongInput() {
    const struct {
        const std::vector<std::string>& entries;
        const char* verdict;
    } sections[] = {
        {wrongDescriptions, " -> wrong description"},
        {wrongOptions, " -> wrong option, no options match input"},
    };
    std::cout << "\nWrong Input" << std::endl;
    for (const auto& section : sections) {
        for (const std::string& entry : section.entries) {
            std::cout << entry << section.verdict << std::endl;
        }
    }
    std::cout << std::endl;
}
