// magnets' frame, headless: frames per second and where a frame's time goes, once the 1001
// particles flow between the default poles.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "common/random.h"
#include "core.h"
#include "magnets.h"
#include "program_bench.h"

namespace {

void Frames(benchmark::State& state) {
  setenv("EASEL_BACKEND", "headless", 1);
  magnets::Start();
  RandomSeedWith(1);
  for (int frame = 0; frame < 100; ++frame) magnets::Frame();  // past the pattern
  const program_bench::FrameFigures f = program_bench::TimeFrames(state, magnets::Frame);
  magnets::End();
  // The program pauses 4 ms a frame.
  program_bench::ReportCpuSplit(state, f, program_bench::Pauses::kLeftOut);
}

BENCHMARK(Frames)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
