// pursuit's frame, headless: frames per second and where a frame's time goes, with all ten
// missiles in flight chasing a pointer that circles the middle of the window. Every frame
// draws each missile ten times with its hundred-point trail: about 10,400 primitives.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

#include "backend/headless/headless.h"
#include "core.h"
#include "program_bench.h"
#include "pursuit.h"

namespace {

// The pointer on its circle; sync waits until the window thread has recorded it (needed for
// the clicks, which must be seen by the next frame; left out while timing).
void Pointer(int frame, int buttons, bool sync) {
  easel::Message m;
  m.kind = buttons ? easel::MsgKind::kMouseDown : easel::MsgKind::kMouseMove;
  m.x = 400 + static_cast<int>(std::lround(200 * std::cos(frame * 0.02)));
  m.y = 300 + static_cast<int>(std::lround(200 * std::sin(frame * 0.02)));
  m.buttons = buttons;
  easel::headless::Inject(m);
  if (sync) easel::headless::Sync();
}

void Frames(benchmark::State& state) {
  setenv("EASEL_BACKEND", "headless", 1);
  pursuit::Start();
  // Ten clicks along the circle, then a while of chasing before the figures are taken.
  int frame = 0;
  for (; frame < 20; ++frame) {
    Pointer(frame * 10, frame % 2 == 0 ? easel::kMouseLeft : 0, true);
    pursuit::Frame();
  }
  for (; frame < 200; ++frame) {
    Pointer(frame, 0, true);
    pursuit::Frame();
  }
  const program_bench::FrameFigures f = program_bench::TimeFrames(state, [&] {
    if (frame % 4 == 0) Pointer(frame, 0, false);
    pursuit::Frame();
    ++frame;
  });
  pursuit::End();
  program_bench::ReportWallSplit(state, f, program_bench::Pauses::kCounted);
  state.counters["draws_per_frame"] = f.PerFrame(f.drawCalls);
}

BENCHMARK(Frames)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
