// magfield_b's frame, headless: frames per second and where a frame's time goes, once the 8192
// tracers have spread over the field of a fixed set of poles.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "common/random.h"
#include "core.h"
#include "magfield_b.h"
#include "program_bench.h"

namespace {

// The program with a fixed set of poles, after a few hundred frames, so the tracers have left
// their common start and spread out.
void StartSpread() {
  setenv("EASEL_BACKEND", "headless", 1);
  magfield_b::Start();
  RandomSeedWith(1);
  magfield_b::PlacePoles();
  for (int frame = 0; frame < 300; ++frame) magfield_b::Frame();
}

void Frames(benchmark::State& state) {
  StartSpread();
  const program_bench::FrameFigures f = program_bench::TimeFrames(state, magfield_b::Frame);
  magfield_b::End();
  program_bench::ReportCpuSplit(state, f, program_bench::Pauses::kCounted);
}

// The same frames with the library's timing switched off: its two clock reads a primitive cost
// a noticeable share of a frame of 8192 short lines.
void FramesUntimed(benchmark::State& state) {
  StartSpread();
  const program_bench::FrameFigures f =
      program_bench::TimeFrames(state, magfield_b::Frame, program_bench::LibraryTiming::kOff);
  magfield_b::End();
  program_bench::ReportRates(state, f);
}

BENCHMARK(Frames)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(FramesUntimed)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
