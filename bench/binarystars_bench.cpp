// binarystars' frame, headless: frames per second and where a frame's time goes. The program
// pauses 10 ms a frame, so the unpaused rate shows what the machine could do; gravity between
// all 22 bodies is 462 pulls a frame.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "binarystars.h"
#include "core.h"

namespace {

void Frames(benchmark::State& state) {
  setenv("EASEL_BACKEND", "headless", 1);
  binarystars::Start();
  easel::Stats& stats = easel::GetStats();
  stats.Reset();
  stats.enabled = true;
  const uint64_t start = easel::NowNs();
  double frames = 0;
  for (auto _ : state) {
    binarystars::Frame();
    ++frames;
  }
  const auto total = static_cast<double>(easel::NowNs() - start);
  stats.enabled = false;
  binarystars::End();
  const auto draw = static_cast<double>(stats.drawNs.load());
  const auto sleep = static_cast<double>(stats.sleepNs.load());
  const auto paints = static_cast<double>(stats.paints.load());
  state.counters["fps"] = frames * 1e9 / total;
  state.counters["fps_unpaused"] = frames * 1e9 / (total - sleep);
  state.counters["model_us"] = (total - draw - sleep) / 1e3 / frames;
  state.counters["draw_us"] = draw / 1e3 / frames;
  state.counters["present_us"] =
      paints > 0 ? static_cast<double>(stats.paintNs.load()) / 1e3 / paints : 0;
  state.counters["presents_per_frame"] = paints / frames;
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
