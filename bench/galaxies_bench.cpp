// galaxies' step, headless: steps per second with the program's 60 ms pause and without it,
// and where a step's time goes, for each law of motion (the argument, 1..4).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "core.h"
#include "galaxies.h"
#include "program_bench.h"

namespace {

void Frames(benchmark::State& state) {
  setenv("EASEL_BACKEND", "headless", 1);
  galaxies::Start();
  galaxies::model.kind = static_cast<int32_t>(state.range(0));
  const program_bench::FrameFigures f = program_bench::TimeFrames(state, galaxies::Frame);
  galaxies::End();
  program_bench::ReportWallSplit(state, f, program_bench::Pauses::kLeftOut);
}

BENCHMARK(Frames)->DenseRange(1, 4)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

BENCHMARK_MAIN();
