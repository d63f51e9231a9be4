// magfield_a's frame, headless: frames per second and where a frame's time goes, with one pole
// dragged round a circle so that the poles keep moving, colliding and bouncing.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

#include "backend/headless/headless.h"
#include "core.h"
#include "magfield_a.h"

namespace {

// The program thread's CPU time: on a busy machine wall-clock figures mostly measure the wait
// for a core.
double ThreadCpuNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

void MovePointer(int frame) {
  easel::Message m;
  m.kind = easel::MsgKind::kMouseMove;
  m.x = 400 + static_cast<int>(std::lround(200 * std::cos(frame * 0.02)));
  m.y = 300 + static_cast<int>(std::lround(200 * std::sin(frame * 0.02)));
  m.buttons = easel::kMouseLeft;
  easel::headless::Inject(m);
}

void Frames(benchmark::State& state) {
  setenv("EASEL_BACKEND", "headless", 1);
  magfield_a::Start();
  easel::Stats& stats = easel::GetStats();
  stats.Reset();
  stats.enabled = true;
  const uint64_t start = easel::NowNs();
  const double cpuStart = ThreadCpuNs();
  double frames = 0;
  int frame = 0;
  for (auto _ : state) {
    if (frame % 4 == 0) MovePointer(frame);
    magfield_a::Frame();
    ++frame;
    ++frames;
  }
  const auto total = static_cast<double>(easel::NowNs() - start);
  const double cpu = ThreadCpuNs() - cpuStart;
  stats.enabled = false;
  magfield_a::End();
  const auto draw = static_cast<double>(stats.drawNs.load());
  const auto paints = static_cast<double>(stats.paints.load());
  state.counters["fps"] = frames * 1e9 / total;
  state.counters["fps_cpu"] = frames * 1e9 / cpu;
  state.counters["cpu_us"] = cpu / 1e3 / frames;
  // Model and drawing share the program thread's CPU time as they share its wall-clock time.
  state.counters["model_us"] = cpu * (total - draw) / total / 1e3 / frames;
  state.counters["draw_us"] = cpu * draw / total / 1e3 / frames;
  state.counters["draw_calls"] = static_cast<double>(stats.drawCalls.load()) / frames;
  state.counters["present_us"] =
      paints > 0 ? static_cast<double>(stats.paintNs.load()) / 1e3 / paints : 0;
  state.counters["presents_per_frame"] = paints / frames;
}

BENCHMARK(Frames)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
