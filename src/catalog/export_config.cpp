#include "catalog/config_tool.h"
#include "catalog/file_access.h"
#include "report/console.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace velorin::tool {

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

// Standard output may be a file on a full disk or a closed pipe: the listing is the command's
// whole result, so a listing that did not get out is a failure.
bool WriteListing(const std::string& text) {
    std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
    std::cout.flush();
    const bool flushed = std::fflush(stdout) == 0;
    return flushed && !std::cout.fail() && std::ferror(stdout) == 0;
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
    if (!toFile) return WriteListing(text) ? RC_SUCCESS : RC_INTERNAL_ERROR;
    if (ReplaceFileContents(fileName, WithCrLf(text))) return RC_SUCCESS;
    ConsolePrint("can't write the output file %s\n", fileName.c_str());
    return RC_INTERNAL_ERROR;
}

}  // namespace velorin::tool
