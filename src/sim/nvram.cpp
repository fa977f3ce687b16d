#include "sim/nvram.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "sim/file_lock.h"
#include "sim/statement.h"
#include "sim/text_syntax.h"

namespace velorin::sim {
namespace {

namespace fs = std::filesystem;

bool ParseNvramLine(const std::vector<Token>& tokens, SavedChanges* saved, std::string* error) {
    Statement s;
    if (!Statement::Split(tokens, &s)) return Fail(error, "expected a statement name");
    if (s.name == "supervisor-password" || s.name == "user-password") {
        Text password;
        if (!Shape(s, 1, s.name + " \"TEXT\"", error) ||
            !TextOf(*s.positional[0], &password, error)) {
            return false;
        }
        (s.name == "user-password" ? saved->userPassword : saved->supervisorPassword) = password;
        return true;
    }
    if (s.name != "setting") return Fail(error, "unknown statement \"" + s.name + "\"");
    uint32_t code = 0;
    uint32_t option = 0;
    if (!Shape(s, 2, "setting CODE N", error) ||
        !NumberOf(*s.positional[0], 0xFFFF, &code, error) ||
        !NumberOf(*s.positional[1], kMaxCurrentOption, &option, error)) {
        return false;
    }
    saved->settings[static_cast<uint16_t>(code)] = option;
    return true;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
    std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return !out.fail();
}

bool MergeUnderLock(const std::string& path, const SavedChanges& changes) {
    ExclusiveFileLock lock(path);
    SavedChanges merged;
    std::string error;
    if (!lock.Locked() || !LoadNvram(path, &merged, &error)) return false;
    merged.Merge(changes);
    std::string temporary = TemporaryNameBeside(path);
    if (WriteTextFile(temporary, FormatNvram(merged)) && ReplaceFileAtomically(temporary, path)) {
        return true;
    }
    std::error_code ignored;
    fs::remove(fs::u8path(temporary), ignored);
    return false;
}

}  // namespace

bool LoadNvram(const std::string& path, SavedChanges* saved, std::string* error) {
    std::error_code ec;
    if (!fs::exists(fs::u8path(path), ec) && !ec) return true;
    std::string text;
    if (!ReadWholeFile(path, &text)) {
        *error = path + ":0: cannot read the saved settings";
        return false;
    }
    return ParseNvram(text, path, saved, error);
}

bool ParseNvram(std::string_view text, const std::string& path, SavedChanges* saved,
                std::string* error) {
    return ForEachStatement(text, path, error,
                            [&](const std::vector<Token>& tokens, std::string* what) {
                                return ParseNvramLine(tokens, saved, what);
                            });
}

std::string FormatNvram(const SavedChanges& saved) {
    std::string text = "# Saved setup changes; delete this file to reset the machine.\n";
    if (saved.supervisorPassword) {
        text += "supervisor-password " + QuoteText(*saved.supervisorPassword) + "\n";
    }
    if (saved.userPassword) text += "user-password " + QuoteText(*saved.userPassword) + "\n";
    for (const auto& [code, option] : saved.settings) {
        char line[40];
        std::snprintf(line, sizeof line, "setting 0x%04X %u\n", static_cast<unsigned>(code),
                      static_cast<unsigned>(option));
        text += line;
    }
    return text;
}

bool SaveToNvram(const std::string& path, const SavedChanges& changes) {
    std::error_code ignored;
    fs::path parent = fs::u8path(path).parent_path();
    if (!parent.empty()) fs::create_directories(parent, ignored);
    return MergeUnderLock(path, changes);
}

}  // namespace velorin::sim
