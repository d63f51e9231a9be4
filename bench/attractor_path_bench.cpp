// attractor_path's frame, headless: frames per second and where a frame's time goes, summing
// every term of the gradient (first argument 1) or skipping the far ones (0). The second
// argument 1 fills the field to its limits, 3000 walls and 150 particles spread over the
// window, 150 x 3151 terms a frame; 0 keeps the start field (237 walls, 10 particles).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "attractor_path.h"
#include "backend/headless/headless.h"
#include "common/random.h"
#include "core.h"
#include "program_bench.h"

namespace {

using attractor_path::model;

// Walls wherever the rules allow them, particles anywhere inside the edge walls.
void FillToTheLimits() {
  RandomSeedWith(1);
  while (model.wallCount < attractor_path::kWallLimit) {
    const double x = 20 + RandomInt(760), y = 20 + RandomInt(560);
    attractor_path::TryAddWall(x, y);
  }
  while (model.particleCount < attractor_path::kParticleLimit) {
    const double x = 30 + RandomInt(740), y = 30 + RandomInt(540);
    attractor_path::TryAddParticle(x, y);
  }
}

void Frames(benchmark::State& state) {
  setenv("EASEL_BACKEND", "headless", 1);
  attractor_path::summation = state.range(0) ? attractor_path::Summation::kEveryTerm
                                             : attractor_path::Summation::kSkipNegligible;
  attractor_path::Start();
  if (state.range(1)) FillToTheLimits();
  // A few frames first, so the particles are on their way rather than where they were put.
  for (int frame = 0; frame < 20; ++frame) attractor_path::Frame();
  const program_bench::FrameFigures f = program_bench::TimeFrames(state, attractor_path::Frame);
  attractor_path::End();
  attractor_path::summation = attractor_path::Summation::kSkipNegligible;
  program_bench::ReportWallSplit(state, f, program_bench::Pauses::kCounted);
}

BENCHMARK(Frames)
    ->Args({1, 1})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({0, 0})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
