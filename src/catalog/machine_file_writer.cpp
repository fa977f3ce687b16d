#include "catalog/machine_file_writer.h"

#include "catalog/file_access.h"

#include <cstdio>
#include <vector>

namespace velorin::tool {

namespace {

constexpr char SMBIOS_SUFFIX[] = ".smbios";
constexpr char HEADING[] =
    "# A Velorin machine as its provider answered, captured by VelorinBiosConfigTool /capture.\n"
    "# Passwords cannot be read and are not captured: this machine has none set.\n";

#ifdef _WIN32
constexpr char FOLDER_SEPARATORS[] = "/\\";
#else
constexpr char FOLDER_SEPARATORS[] = "/";
#endif

std::string Hex(unsigned value, int digits) {
    char text[8];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string Decimal(unsigned value) { return std::to_string(value); }

std::string FileNameOf(const std::string& path) {
    const size_t separator = path.find_last_of(FOLDER_SEPARATORS);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// A file name's bytes stay as they are (UTF-8 reads back as the same name); only the
// characters of the syntax itself are escaped.
std::string QuotedFileName(const std::string& name) {
    std::string quoted = "\"";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') quoted += '\\';
        if (byte < 0x20 || byte == 0x7F) {
            quoted += "\\x" + Hex(byte, 2);
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

std::string OptionLine(const CapturedOption& option) {
    std::string line = "  option " + QuotedMachineText(option.text);
    if (option.retCode == PROVIDER_RET_NOT_SELECTABLE) {
        line += " readonly";
    } else if (option.retCode != PROVIDER_RET_DONE) {
        line += " retcode=" + Decimal(option.retCode);
    }
    return line + '\n';
}

std::string ItemLines(const CapturedItem& item) {
    std::string lines = "item 0x" + Hex(item.code, 4) + ' ' + QuotedMachineText(item.name) +
                        " current " + Decimal(item.current) + '\n';
    for (const CapturedOption& option : item.options) lines += OptionLine(option);
    if (!item.hasOptions) lines += "  value " + QuotedMachineText(item.value) + '\n';
    return lines;
}

std::string SmbiosLines(const CapturedMachine& machine, const std::string& smbiosFileName) {
    std::string lines = machine.smbiosPublished
                            ? "smbios-file " + QuotedFileName(smbiosFileName) + '\n'
                            : std::string("smbios none\n");
    return lines + "smbios-version " + Decimal(machine.smbiosMajorVersion) + '.' +
           Decimal(machine.smbiosMinorVersion) + '\n';
}

}  // namespace

std::string QuotedMachineText(const std::wstring& text) {
    std::string quoted = "\"";
    for (const wchar_t unit : text) {
        const auto value = static_cast<unsigned>(unit) & 0xFFFFu;
        if (value == '"' || value == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(value);
        } else if (value >= 0x20 && value < 0x7F) {
            quoted += static_cast<char>(value);
        } else if (value <= 0xFF) {
            quoted += "\\x" + Hex(value, 2);
        } else {
            quoted += "\\u" + Hex(value, 4);
        }
    }
    return quoted + '"';
}

std::string MachineFileText(const CapturedMachine& machine, const std::string& smbiosFileName) {
    std::string text = HEADING;
    text += "revision " + Decimal(machine.revision) + '\n';
    text += SmbiosLines(machine, smbiosFileName);
    text += '\n';
    for (const CapturedItem& item : machine.items) text += ItemLines(item);
    return text;
}

bool WriteMachineFiles(const CapturedMachine& machine, const std::string& path) {
    const std::string smbiosPath = path + SMBIOS_SUFFIX;
    std::vector<FileContents> files;
    if (machine.smbiosPublished) files.push_back({smbiosPath, machine.smbiosTable});
    files.push_back({path, MachineFileText(machine, FileNameOf(smbiosPath))});
    return ReplaceFilesContents(files);
}

}  // namespace velorin::tool
