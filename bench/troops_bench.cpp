// troops' frame, headless: frames per second and where a frame's time goes, with the whole
// crowd selected and marching after a pointer that circles the middle of the window while the
// right button is held. Separation compares every pair of the 256 soldiers twice a frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

#include "backend/headless/headless.h"
#include "core.h"
#include "program_bench.h"
#include "troops.h"

namespace {

void Pointer(int frame, int buttons) {
  easel::Message m;
  m.kind = easel::MsgKind::kMouseMove;
  m.x = 400 + static_cast<int>(std::lround(150 * std::cos(frame * 0.01)));
  m.y = 300 + static_cast<int>(std::lround(150 * std::sin(frame * 0.01)));
  m.buttons = buttons;
  easel::headless::Inject(m);
  easel::headless::Sync();
}

void Frames(benchmark::State& state) {
  setenv("EASEL_BACKEND", "headless", 1);
  troops::Start();
  for (troops::Soldier& s : troops::model.soldiers) s.selected = 1;
  int frame = 0;
  // The crowd sets off before the figures are taken.
  for (; frame < 300; ++frame) {
    if (frame % 8 == 0) Pointer(frame, easel::kMouseRight);
    troops::Frame();
  }
  const program_bench::FrameFigures f = program_bench::TimeFrames(state, [&] {
    if (frame % 8 == 0) Pointer(frame, easel::kMouseRight);
    troops::Frame();
    ++frame;
  });
  program_bench::ReportWallSplit(state, f, program_bench::Pauses::kCounted);
  state.counters["draw_calls"] = f.PerFrame(f.drawCalls);
  troops::End();
}

// The pairwise part alone, on a crowd packed in a 100-pixel square where most soldiers
// overlap some neighbour.
void Separation(benchmark::State& state) {
  setenv("EASEL_BACKEND", "headless", 1);
  troops::Start();
  for (int i = 0; i < troops::kSoldiers; ++i) {
    troops::Soldier& s = troops::model.soldiers[i];
    s.x = s.targetX = 350 + 6.25 * (i % 16);
    s.y = s.targetY = 250 + 6.25 * (i / 16);
    s.vx = 1;
  }
  for (auto _ : state) {
    troops::Separate();
    benchmark::DoNotOptimize(troops::model.soldiers[0].x);
  }
  troops::End();
}

BENCHMARK(Frames)->Unit(benchmark::kMicrosecond)->MinTime(3);
BENCHMARK(Separation)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
