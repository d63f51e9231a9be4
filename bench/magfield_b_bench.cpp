// magfield_b's frame, headless: frames per second and where a frame's time goes, once the 8192
// tracers have spread over the field of a fixed set of poles.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>

#include "common/random.h"
#include "core.h"
#include "magfield_b.h"

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
  magfield_b::Start();
  RandomSeedWith(1);
  magfield_b::PlacePoles();
  // A few hundred frames first, so the tracers have left their common start and spread out.
  for (int frame = 0; frame < 300; ++frame) magfield_b::Frame();
  easel::Stats& stats = easel::GetStats();
  stats.Reset();
  stats.enabled = true;
  const uint64_t start = easel::NowNs();
  const double cpuStart = ThreadCpuNs();
  double frames = 0;
  for (auto _ : state) {
    magfield_b::Frame();
    ++frames;
  }
  const auto total = static_cast<double>(easel::NowNs() - start);
  const double cpu = ThreadCpuNs() - cpuStart;
  stats.enabled = false;
  magfield_b::End();
  const auto draw = static_cast<double>(stats.drawNs.load());
  const auto paints = static_cast<double>(stats.paints.load());
  state.counters["fps"] = frames * 1e9 / total;
  // Model and drawing share the program thread's CPU time as they share its wall-clock time.
  state.counters["cpu_us"] = cpu / 1e3 / frames;
  state.counters["fps_cpu"] = frames * 1e9 / cpu;
  state.counters["model_us"] = cpu * (total - draw) / total / 1e3 / frames;
  state.counters["draw_us"] = cpu * draw / total / 1e3 / frames;
  state.counters["draw_calls"] = static_cast<double>(stats.drawCalls.load()) / frames;
  state.counters["present_us"] =
      paints > 0 ? static_cast<double>(stats.paintNs.load()) / 1e3 / paints : 0;
  state.counters["presents_per_frame"] = paints / frames;
}

// The same frames with the library's timing switched off: its two clock reads a primitive cost
// a noticeable share of a frame of 8192 short lines.
void FramesUntimed(benchmark::State& state) {
  setenv("EASEL_BACKEND", "headless", 1);
  magfield_b::Start();
  RandomSeedWith(1);
  magfield_b::PlacePoles();
  for (int frame = 0; frame < 300; ++frame) magfield_b::Frame();
  const uint64_t start = easel::NowNs();
  const double cpuStart = ThreadCpuNs();
  double frames = 0;
  for (auto _ : state) {
    magfield_b::Frame();
    ++frames;
  }
  const auto total = static_cast<double>(easel::NowNs() - start);
  const double cpu = ThreadCpuNs() - cpuStart;
  magfield_b::End();
  state.counters["fps"] = frames * 1e9 / total;
  state.counters["fps_cpu"] = frames * 1e9 / cpu;
  state.counters["cpu_us"] = cpu / 1e3 / frames;
}

BENCHMARK(Frames)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(FramesUntimed)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
