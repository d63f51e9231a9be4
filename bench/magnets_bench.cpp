// magnets' frame, headless: frames per second and where a frame's time goes, once the 1001
// particles flow between the default poles.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>

#include "common/random.h"
#include "core.h"
#include "magnets.h"

namespace {

// The program thread's CPU time: on a busy machine wall-clock figures mostly measure the wait
// for a core.
double ThreadCpuNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

void Frames(benchmark::State& state) {
  setenv("EASEL_BACKEND", "headless", 1);
  magnets::Start();
  RandomSeedWith(1);
  for (int frame = 0; frame < 100; ++frame) magnets::Frame();  // past the pattern
  easel::Stats& stats = easel::GetStats();
  stats.Reset();
  stats.enabled = true;
  const uint64_t start = easel::NowNs();
  const double cpuStart = ThreadCpuNs();
  double frames = 0;
  for (auto _ : state) {
    magnets::Frame();
    ++frames;
  }
  const auto total = static_cast<double>(easel::NowNs() - start);
  const double cpu = ThreadCpuNs() - cpuStart;
  stats.enabled = false;
  magnets::End();
  const auto draw = static_cast<double>(stats.drawNs.load());
  const auto sleep = static_cast<double>(stats.sleepNs.load());
  const auto paints = static_cast<double>(stats.paints.load());
  state.counters["fps"] = frames * 1e9 / total;
  // Without the program's 4 ms pause: what the machine could do.
  state.counters["fps_unpaused"] = frames * 1e9 / (total - sleep);
  state.counters["fps_cpu"] = frames * 1e9 / cpu;
  state.counters["cpu_us"] = cpu / 1e3 / frames;
  // Model and drawing share the program thread's CPU time as they share its waking time.
  state.counters["model_us"] = cpu * (total - sleep - draw) / (total - sleep) / 1e3 / frames;
  state.counters["draw_us"] = cpu * draw / (total - sleep) / 1e3 / frames;
  state.counters["draw_calls"] = static_cast<double>(stats.drawCalls.load()) / frames;
  state.counters["present_us"] =
      paints > 0 ? static_cast<double>(stats.paintNs.load()) / 1e3 / paints : 0;
  state.counters["presents_per_frame"] = paints / frames;
}

BENCHMARK(Frames)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
