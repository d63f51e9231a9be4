// attractor's frame, headless: frames per second and where a frame's time goes, with the
// left button held and the pointer circling the middle of the window, so the ring pulls and
// the separation passes have a dense disc to work on.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

#include "attractor.h"
#include "backend/headless/headless.h"
#include "common/random.h"
#include "core.h"
#include "program_bench.h"

namespace {

void MovePointer(int frame) {
  easel::Message m;
  m.kind = easel::MsgKind::kMouseMove;
  m.x = 400 + static_cast<int>(std::lround(60 * std::cos(frame * 0.01)));
  m.y = 300 + static_cast<int>(std::lround(60 * std::sin(frame * 0.01)));
  m.buttons = easel::kMouseLeft;
  easel::headless::Inject(m);
}

void Frames(benchmark::State& state) {
  setenv("EASEL_BACKEND", "headless", 1);
  attractor::Start();
  RandomSeedWith(1);
  for (attractor::Ball& b : attractor::model.balls) {
    b.x = RandomInt(799);
    b.y = RandomInt(599);
  }
  // A few hundred frames first, so the balls near the pointer have gathered into a disc.
  for (int frame = 0; frame < 300; ++frame) {
    MovePointer(frame);
    attractor::Frame();
  }
  int frame = 300;
  const program_bench::FrameFigures f = program_bench::TimeFrames(state, [&] {
    if (frame % 4 == 0) MovePointer(frame);
    attractor::Frame();
    ++frame;
  });
  attractor::End();
  program_bench::ReportWallSplit(state, f, program_bench::Pauses::kCounted);
}

// One separation pass over a crowd packed into a small square: the O(n^2) heart of a frame.
void SeparationPass(benchmark::State& state) {
  RandomSeedWith(2);
  for (attractor::Ball& b : attractor::model.balls) {
    b.x = 300 + RandomInt(120);
    b.y = 200 + RandomInt(120);
  }
  for (auto _ : state) {
    attractor::SeparatePass();
    benchmark::DoNotOptimize(attractor::model.balls[0].x);
  }
}

BENCHMARK(Frames)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(SeparationPass)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
