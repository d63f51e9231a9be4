// lightning_a's frames through the SDL backend's OpenGL (llvmpipe on Mesa without a GPU):
// frames per second as the program runs them, and where a frame's time goes.
//
// Runs on the X server named by DISPLAY, or on SDL's offscreen driver when there is none (the
// swap then costs next to nothing: no picture leaves the process).
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "core.h"
#include "easel/easel.h"
#include "lightning_a.h"
#include "program_bench.h"

namespace {

using lightning_a::model;

bool StartWithOpenGL(benchmark::State& state) {
  return program_bench::StartWithOpenGL(state, lightning_a::Start, lightning_a::End);
}

// The program's own loop: Frame() draws, flushes and swaps.
void Program(benchmark::State& state) {
  if (!StartWithOpenGL(state)) return;
  const program_bench::FrameFigures f = program_bench::TimeFrames(
      state, lightning_a::Frame, program_bench::LibraryTiming::kOff, [] { glFinish(); });
  state.counters["fps"] = f.frames * 1e9 / f.wallNs;
  lightning_a::End();
}

// The same frame in phases, with the renderer drained between them: the model (camera and
// bolt), issuing the immediate-mode calls, rasterising them, and the buffer swap.
void Phases(benchmark::State& state) {
  if (!StartWithOpenGL(state)) return;
  uint64_t modelNs = 0, callsNs = 0, rasterNs = 0, swapNs = 0;
  double frames = 0;
  for (auto _ : state) {
    const uint64_t t0 = easel::NowNs();
    model.yaw += lightning_a::kAutoTurn;
    lightning_a::Steer(EaselMouseX(), EaselMouseY(), EaselMouseButtons(), false, false);
    model.terminalA = lightning_a::kTerminalA;
    model.terminalB = lightning_a::kTerminalB;
    lightning_a::MakeBolt(model.terminalA, model.terminalB, model.bolt);
    const uint64_t t1 = easel::NowNs();
    lightning_a::DrawScene();
    const uint64_t t2 = easel::NowNs();
    glFinish();
    const uint64_t t3 = easel::NowNs();
    EaselUpdate(2);
    glFinish();
    const uint64_t t4 = easel::NowNs();
    modelNs += t1 - t0, callsNs += t2 - t1, rasterNs += t3 - t2, swapNs += t4 - t3;
    ++frames;
  }
  const auto us = [&](uint64_t ns) { return static_cast<double>(ns) / 1e3 / frames; };
  state.counters["model_us"] = us(modelNs);
  state.counters["calls_us"] = us(callsNs);
  state.counters["raster_us"] = us(rasterNs);
  state.counters["swap_us"] = us(swapNs);
  state.counters["fps"] = frames * 1e9 / static_cast<double>(modelNs + callsNs + rasterNs + swapNs);
  lightning_a::End();
}

BENCHMARK(Program)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(Phases)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
