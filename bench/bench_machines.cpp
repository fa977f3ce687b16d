#include "bench_machines.h"

#include "bios/smbios_reader.h"
#include "report/console.h"
#include "sim/machine.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace velorin::tool::bench {

namespace {

std::string Numbered(const char* format, int a, int b = 0) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

int CurrentOption(int item) { return 1 + item % kOptionsPerItem; }

}  // namespace

std::string MachineText(int items) {
    std::string text = "manufacturer \"Velorin Corporation\"\nsupervisor-password \"admin\"\n";
    for (int i = 0; i < items; ++i) {
        text += Numbered("item 0x%04X ", ItemCode(i)) + Numbered("\"Setting %05d\" ", i) +
                Numbered("current %d\n", CurrentOption(i));
        for (int j = 1; j <= kOptionsPerItem; ++j) {
            text += Numbered("  option \"Choice %d of %05d\"\n", j, i);
        }
    }
    return text;
}

std::string ConfigText(int blocks) {
    std::string text;
    for (int i = 0; i < blocks; ++i) {
        text += Numbered("+++Setting %05d\r\n", i);
        const int chosen = CurrentOption(i) % kOptionsPerItem + 1;
        for (int j = 1; j <= kOptionsPerItem; ++j) {
            if (j == chosen) text += '*';
            text += Numbered("Choice %d of %05d\r\n", j, i);
        }
        text += "\r\n";
    }
    return text;
}

void InstallMachine(int items) {
    std::string error;
    sim::Machine::SetCurrent(sim::Machine::Parse(MachineText(items), "bench", "", &error));
    if (!error.empty()) throw std::runtime_error("generated machine rejected: " + error);
    ProcessSmbiosCache().loaded = false;
}

std::unique_ptr<ConfigTool> LoadedTool() {
    auto tool = std::make_unique<ConfigTool>();
    if (tool->LoadCatalogue() != RC_SUCCESS) throw std::runtime_error("catalogue load failed");
    return tool;
}

void ClearCatalogue(ConfigTool& tool) {
    tool.itemCodeByName.clear();
    tool.itemCodeByLowerName.clear();
    tool.optionsByItem.clear();
    tool.lowerOptionsByItem.clear();
    tool.currentValueByItem.clear();
}

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

std::string TempPath(const std::string& name) {
    std::filesystem::create_directories(VELORIN_BENCH_TMP);
    return std::string(VELORIN_BENCH_TMP) + "/" + name;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace velorin::tool::bench
