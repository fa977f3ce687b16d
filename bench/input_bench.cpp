// Reading and validating configuration files of 100 to 10,000 item blocks.
#include "apply/input_reader.h"
#include "bench_machines.h"
#include "report/console.h"

#include <benchmark/benchmark.h>

namespace velorin::tool::bench {
namespace {

void BM_ReadAndParseConfig(benchmark::State& state) {
    const int blocks = static_cast<int>(state.range(0));
    InstallMachine(blocks);
    const auto tool = LoadedTool();
    const std::string path = TempPath("input-" + std::to_string(blocks) + ".txt");
    WriteFile(path, ConfigText(blocks));
    for (auto _ : state) {
        const ParsedConfig parsed = ParseConfigLines(*tool, ReadInputFile(path).lines, false);
        if (parsed.result != RC_SUCCESS || parsed.choices.size() != static_cast<size_t>(blocks)) {
            state.SkipWithError("generated file rejected");
        }
    }
    state.counters["per_block"] = benchmark::Counter(
        blocks, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReadAndParseConfig)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velorin::tool::bench
