// blackhole's frame, headless: frames per second and where a frame's time goes.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "blackhole.h"
#include "core.h"
#include "program_bench.h"

namespace {

void Frames(benchmark::State& state) {
  setenv("EASEL_BACKEND", "headless", 1);
  blackhole::Start();
  const program_bench::FrameFigures f = program_bench::TimeFrames(state, blackhole::Frame);
  blackhole::End();
  program_bench::ReportWallSplit(state, f, program_bench::Pauses::kLeftOut);
}

BENCHMARK(Frames)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
