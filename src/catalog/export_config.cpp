#include "app/report/console.h"
#include "catalog/config_tool.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace {

// Blocks go out by item code, names of a shared code byte by byte.
std::vector<std::pair<int, std::string>> ItemsByCode(const std::map<std::string, int>& byName) {
    std::vector<std::pair<int, std::string>> items;
    for (const auto& [name, itemCode] : byName) items.emplace_back(itemCode, name);
    std::sort(items.begin(), items.end());
    return items;
}

std::vector<const OptionTable::value_type*> OptionsByIndex(const OptionTable& table) {
    std::vector<const OptionTable::value_type*> options;
    for (const auto& option : table) options.push_back(&option);
    std::stable_sort(options.begin(), options.end(),
                     [](const auto* a, const auto* b) { return a->second < b->second; });
    return options;
}

void AppendBlock(std::string& text, const std::string& marker, const std::string& name,
                 const OptionTable& options, const std::string& currentValue) {
    text += marker + name + '\n';
    for (const auto* option : OptionsByIndex(options)) {
        if (option->first == currentValue) text += '*';
        text += option->first + '\n';
    }
    text += '\n';
}

// The file is written in binary mode with explicit CR LF so that it holds the same bytes
// whichever platform wrote it.
std::string WithCrLf(const std::string& text) {
    std::string converted;
    converted.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\n') converted += '\r';
        converted += c;
    }
    return converted;
}

// A name beside the target (so the rename stays on one file system) that holds no file yet.
std::string TemporaryNameFor(const std::string& fileName) {
    std::error_code ignored;
    std::string candidate = fileName + ".tmp";
    for (int n = 1; std::filesystem::exists(candidate, ignored); ++n) {
        candidate = fileName + ".tmp" + std::to_string(n);
    }
    return candidate;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

// Writes beside the target and renames over it, so a failed write never costs the old file.
// std::filesystem::rename replaces an existing file on Windows too, unlike std::rename.
bool ReplaceFileContents(const std::string& fileName, const std::string& text) {
    const std::string temporary = TemporaryNameFor(fileName);
    std::error_code error;
    if (WriteWholeFile(temporary, WithCrLf(text))) {
        std::filesystem::rename(temporary, fileName, error);
        if (!error) return true;
    }
    std::filesystem::remove(temporary, error);
    return false;
}

}  // namespace

int ConfigTool::ExportConfig(bool singleItem, bool toFile, std::string fileName,
                             std::string itemName) {
    const std::string wanted = LowerAscii(std::move(itemName));
    std::string text;
    bool produced = false;
    for (const auto& [itemCode, name] : ItemsByCode(itemCodeByName)) {
        if (singleItem && LowerAscii(name) != wanted) continue;
        AppendBlock(text, itemMarker, name, optionsByItem[itemCode], currentValueByItem[itemCode]);
        produced = true;
    }
    if (!produced) {
        ConsolePrint("can't find the item %s, pleae check\n", wanted.c_str());
        return RC_TARGET_ITEM_NOT_FOUND;
    }
    if (!toFile) {
        std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
        std::cout.flush();
        return RC_SUCCESS;
    }
    if (ReplaceFileContents(fileName, text)) return RC_SUCCESS;
    ConsolePrint("can't write the output file %s\n", fileName.c_str());
    return RC_INTERNAL_ERROR;
}
