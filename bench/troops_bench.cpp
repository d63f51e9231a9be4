// troops' frame, headless: frames per second and where a frame's time goes, with the whole
// crowd selected and marching after a pointer that circles the middle of the window while the
// right button is held. Separation compares every pair of the 256 soldiers twice a frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

#include "backend/headless/headless.h"
#include "core.h"
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

void Report(benchmark::State& state, uint64_t start, double frames) {
  const auto total = static_cast<double>(easel::NowNs() - start);
  easel::Stats& stats = easel::GetStats();
  stats.enabled = false;
  const auto draw = static_cast<double>(stats.drawNs.load());
  const auto paints = static_cast<double>(stats.paints.load());
  state.counters["fps"] = frames * 1e9 / total;
  state.counters["model_us"] = (total - draw) / 1e3 / frames;
  state.counters["draw_us"] = draw / 1e3 / frames;
  state.counters["draw_calls"] = static_cast<double>(stats.drawCalls.load()) / frames;
  state.counters["present_us"] =
      paints > 0 ? static_cast<double>(stats.paintNs.load()) / 1e3 / paints : 0;
  state.counters["presents_per_frame"] = paints / frames;
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
  easel::Stats& stats = easel::GetStats();
  stats.Reset();
  stats.enabled = true;
  const uint64_t start = easel::NowNs();
  double frames = 0;
  for (auto _ : state) {
    if (frame % 8 == 0) Pointer(frame, easel::kMouseRight);
    troops::Frame();
    ++frame;
    ++frames;
  }
  Report(state, start, frames);
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
