// The SMBIOS walk over the largest sample table (a broken Hyper-V table of 17,307 bytes).
#include "bios/smbios_reader.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace velorin::tool::bench {

namespace {

constexpr char kLargestTable[] = VELORIN_SMBIOS_TESTDATA "/hyperv_gen1_vm_broken.bin";

void BM_FindSmbiosStructure(benchmark::State& state) {
    std::ifstream file(kLargestTable, std::ios::binary);
    const std::vector<uint8_t> table((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    if (table.empty()) {
        state.SkipWithError("sample SMBIOS table missing");
        return;
    }
    std::vector<uint8_t> structure(SMBIOS_TABLE_CAPACITY);
    for (auto _ : state) {
        uint32_t capacity = static_cast<uint32_t>(structure.size());
        benchmark::DoNotOptimize(
            FindSmbiosStructureIn(table.data(), table.size(), structure.data(), capacity));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * table.size()));
}
BENCHMARK(BM_FindSmbiosStructure);

}  // namespace

}  // namespace velorin::tool::bench
