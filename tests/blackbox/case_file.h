// The sections of a black-box case file, shared by the runners that read them: each section
// opens with a line "=== KIND ARGUMENT" and holds the lines up to the next one; "\xHH" in a
// text line stands for the byte HH. In a machine section a line "@NAME" stands for the shared
// machine file NAME.machine, byte for byte: no machine-file statement starts with "@".
#pragma once

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace casefile {

inline std::string Unescape(const std::string& line) {
    std::string out;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 3 < line.size() && line[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(line[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(line[i + 3]))) {
            out += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += line[i];
        }
    }
    return out;
}

struct Section {
    std::string kind;
    std::string argument;  // the rest of the header line
    std::vector<std::string> lines;
};

inline std::vector<Section> SplitSections(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<Section> sections;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("=== ", 0) == 0) {
            std::istringstream header(line.substr(4));
            Section section;
            header >> section.kind;
            std::getline(header >> std::ws, section.argument);
            sections.push_back(section);
        } else if (!sections.empty()) {
            sections.back().lines.push_back(line);
        }
    }
    return sections;
}

// The whole file as bytes; false when it cannot be opened.
inline bool ReadWholeFile(const std::filesystem::path& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) return false;
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return true;
}

// The whole file, empty when it cannot be opened.
inline std::string ReadFile(const std::filesystem::path& path) {
    std::string text;
    ReadWholeFile(path, text);
    return text;
}

inline void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// The machine file a machine section describes, with each "@NAME" line replaced by the shared
// machine `sharedFolder`/NAME.machine; `missing` receives the names that have no such file.
inline std::string MachineText(const Section& section, const std::string& sharedFolder,
                               std::vector<std::string>& missing) {
    std::string text;
    for (const std::string& line : section.lines) {
        std::string shared;
        if (line.rfind('@', 0) != 0) {
            text += Unescape(line) + "\n";
        } else if (ReadWholeFile(sharedFolder + "/" + line.substr(1) + ".machine", shared)) {
            text += shared;
        } else {
            missing.push_back(line.substr(1));
        }
    }
    return text;
}

// A case's name as a test name: every character but letters and digits becomes '_'.
inline std::string TestIdOf(std::string name) {
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    }
    return name;
}

}  // namespace casefile
