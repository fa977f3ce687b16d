// The stand-in's own cost per provider call, apart from the tool: the whole platform road of
// one GetString, and the simulated machine's answer alone. Both should not grow with the
// number of items.
#include "bench_machines.h"
#include "sim/machine.h"
#include "standin_calls.h"

#include <benchmark/benchmark.h>

namespace velorin::tool::bench {
namespace {

void BM_StandinGetString(benchmark::State& state) {
    const int items = static_cast<int>(state.range(0));
    InstallMachine(items);
    const ConfigTool tool;  // only its connection is used
    const wchar_t* const indexes[] = {L"0", L"1", L"5", L"9"};
    int n = 0;
    for (auto _ : state) {
        if (!RawGetString(*tool.core, ItemCode(n % items), indexes[n % 4])) {
            state.SkipWithError("stand-in call failed");
        }
        ++n;
    }
}
BENCHMARK(BM_StandinGetString)->Arg(100)->Arg(10000);

void BM_MachineExecuteGetString(benchmark::State& state) {
    const int items = static_cast<int>(state.range(0));
    InstallMachine(items);
    sim::Machine& machine = sim::Machine::Current();
    const char16_t* const indexes[] = {u"0", u"1", u"5", u"9"};
    int n = 0;
    for (auto _ : state) {
        const sim::Params in = {{"inItemCode", sim::Value::OfNumber(ItemCode(n % items))},
                                {"inIndex", sim::Value::OfText(indexes[n % 4])}};
        benchmark::DoNotOptimize(machine.Execute("GetString", in));
        ++n;
    }
}
BENCHMARK(BM_MachineExecuteGetString)->Arg(100)->Arg(10000);

}  // namespace
}  // namespace velorin::tool::bench
