// The catalogue load and the export against generated machines of 100 to 10,000 items.
#include "bench_machines.h"
#include "bios/smbios_reader.h"
#include "report/console.h"
#include "standin_calls.h"

#include <benchmark/benchmark.h>

namespace velorin::tool::bench {
namespace {

using benchmark::Counter;

Counter PerUnit(int64_t units) {
    return Counter(static_cast<double>(units),
                   Counter::kIsIterationInvariantRate | Counter::kInvert);
}

// The tool's own cost per provider call is what a load costs per call beyond the stand-in's
// cost for the same call, measured right after on the same machine.
void ReportToolShare(benchmark::State& state, double loadSeconds, const ConfigTool& tool,
                     int items) {
    const int64_t calls = ProviderCallsToLoad(items) * static_cast<int64_t>(state.iterations());
    const double standin = StandinSecondsPerCall(*tool.core, items, 20000);
    state.counters["standin_ns_per_call"] = standin * 1e9;
    state.counters["tool_ns_per_call"] = (loadSeconds / static_cast<double>(calls) - standin) * 1e9;
}

void BM_LoadCatalogue(benchmark::State& state) {
    const int items = static_cast<int>(state.range(0));
    InstallMachine(items);
    ConfigTool tool;
    double loadSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ClearCatalogue(tool);
        ProcessSmbiosCache().loaded = false;
        state.ResumeTiming();
        const double start = CpuSeconds();
        if (tool.LoadCatalogue() != RC_SUCCESS) state.SkipWithError("catalogue load failed");
        loadSeconds += CpuSeconds() - start;
    }
    state.counters["per_item"] = PerUnit(items);
    state.counters["per_call"] = PerUnit(ProviderCallsToLoad(items));
    ReportToolShare(state, loadSeconds, tool, items);
}
BENCHMARK(BM_LoadCatalogue)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ExportConfigToFile(benchmark::State& state) {
    const int items = static_cast<int>(state.range(0));
    InstallMachine(items);
    const auto tool = LoadedTool();
    const std::string path = TempPath("export.txt");
    for (auto _ : state) {
        if (tool->ExportConfig(false, true, path, "") != RC_SUCCESS) {
            state.SkipWithError("export failed");
        }
    }
    state.counters["per_item"] = PerUnit(items);
}
BENCHMARK(BM_ExportConfigToFile)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velorin::tool::bench
