// magfield_a's frame, headless: frames per second and where a frame's time goes, with one pole
// dragged round a circle so that the poles keep moving, colliding and bouncing.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

#include "backend/headless/headless.h"
#include "core.h"
#include "magfield_a.h"
#include "program_bench.h"

namespace {

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
  int frame = 0;
  const program_bench::FrameFigures f = program_bench::TimeFrames(state, [&] {
    if (frame % 4 == 0) MovePointer(frame);
    magfield_a::Frame();
    ++frame;
  });
  magfield_a::End();
  program_bench::ReportCpuSplit(state, f, program_bench::Pauses::kCounted);
}

BENCHMARK(Frames)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
