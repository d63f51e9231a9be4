// blackhole's frame, headless: frames per second and where a frame's time goes.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "blackhole.h"
#include "core.h"

namespace {

void Frames(benchmark::State& state) {
  setenv("EASEL_BACKEND", "headless", 1);
  blackhole::Start();
  easel::Stats& stats = easel::GetStats();
  stats.Reset();
  stats.enabled = true;
  const uint64_t start = easel::NowNs();
  double frames = 0;
  for (auto _ : state) {
    blackhole::Frame();
    ++frames;
  }
  const auto total = static_cast<double>(easel::NowNs() - start);
  stats.enabled = false;
  blackhole::End();
  const auto draw = static_cast<double>(stats.drawNs.load());
  const auto sleep = static_cast<double>(stats.sleepNs.load());
  const auto paints = static_cast<double>(stats.paints.load());
  state.counters["fps"] = frames * 1e9 / total;
  // Without the program's 10 ms pause: what the machine could do.
  state.counters["fps_unpaused"] = frames * 1e9 / (total - sleep);
  state.counters["model_us"] = (total - draw - sleep) / 1e3 / frames;
  state.counters["draw_us"] = draw / 1e3 / frames;
  state.counters["present_us"] =
      paints > 0 ? static_cast<double>(stats.paintNs.load()) / 1e3 / paints : 0;
  state.counters["presents_per_frame"] = paints / frames;
}

BENCHMARK(Frames)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
