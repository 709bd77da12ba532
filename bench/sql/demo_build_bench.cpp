// Time to build a demo practice with payxref-db's generator through the
// engine's builder (one transaction per table, prepared appends). The goal
// is 1 000 000 transactions well under a minute; run with
// --benchmark_filter and a larger argument to see the full size.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "tools/commands.h"

namespace {

void BM_BuildDemoPractice(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "payxref_demo_build_bench";
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(folder);
        state.ResumeTiming();
        payxref::db::BuildDemo(folder.string(), {state.range(0), 1});
    }
    std::filesystem::remove_all(folder);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildDemoPractice)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
