// binarystars' frame, headless: frames per second and where a frame's time goes. The program
// pauses 10 ms a frame, so the unpaused rate shows what the machine could do; gravity between
// all 22 bodies is 462 pulls a frame.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "binarystars.h"
#include "core.h"
#include "program_bench.h"

namespace {

void Frames(benchmark::State& state) {
  setenv("EASEL_BACKEND", "headless", 1);
  binarystars::Start();
  const program_bench::FrameFigures f = program_bench::TimeFrames(state, binarystars::Frame);
  binarystars::End();
  program_bench::ReportWallSplit(state, f, program_bench::Pauses::kLeftOut);
}

// Gravity alone: every body's pull on every other.
void Gravity(benchmark::State& state) {
  setenv("EASEL_BACKEND", "headless", 1);
  binarystars::Start();
  for (auto _ : state) {
    binarystars::Gravity();
    benchmark::DoNotOptimize(binarystars::model.bodies[0].vx);
  }
  binarystars::End();
}

BENCHMARK(Frames)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(Gravity)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
