// magfield3d_a's frames through the SDL backend's OpenGL (llvmpipe on Mesa without a GPU):
// frames per second as the program runs them, and where a frame's time goes.
//
// Runs on the X server named by DISPLAY, or on SDL's offscreen driver when there is none (the
// swap then costs next to nothing: no picture leaves the process).
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "common/random.h"
#include "core.h"
#include "easel/easel.h"
#include "magfield3d_a.h"
#include "program_bench.h"

namespace {

using magfield3d_a::model;

bool StartWithOpenGL(benchmark::State& state) {
  if (!program_bench::StartWithOpenGL(state, magfield3d_a::Start, magfield3d_a::End)) return false;
  RandomSeedWith(1);  // the same scene in every run
  magfield3d_a::PlaceScene();
  return true;
}

// The program's own loop: Frame() steps the tracers, draws, flushes and swaps.
void Program(benchmark::State& state) {
  if (!StartWithOpenGL(state)) return;
  const program_bench::FrameFigures f = program_bench::TimeFrames(
      state, magfield3d_a::Frame, program_bench::LibraryTiming::kOff, [] { glFinish(); });
  state.counters["fps"] = f.frames * 1e9 / f.wallNs;
  magfield3d_a::End();
}

// The tracers' model alone: 8096 field sums over 8 poles, rebirths and moves.
void Model(benchmark::State& state) {
  if (!StartWithOpenGL(state)) return;
  for (auto _ : state) {
    for (int i = 0; i < magfield3d_a::kTracers; ++i) {
      benchmark::DoNotOptimize(magfield3d_a::StepTracer(i));
    }
  }
  magfield3d_a::End();
}

// A frame in phases, with the renderer drained between them: the model interleaved with its
// immediate-mode calls (one glBegin/glEnd pair per tracer, the spheres and the floor),
// rasterising them, and the buffer swap. The model's own share is the Model benchmark.
void Phases(benchmark::State& state) {
  if (!StartWithOpenGL(state)) return;
  uint64_t drawNs = 0, rasterNs = 0, swapNs = 0;
  double frames = 0;
  for (auto _ : state) {
    const uint64_t t0 = easel::NowNs();
    magfield3d_a::DrawFrame();
    const uint64_t t1 = easel::NowNs();
    glFinish();
    const uint64_t t2 = easel::NowNs();
    EaselUpdate(2);
    glFinish();
    const uint64_t t3 = easel::NowNs();
    drawNs += t1 - t0, rasterNs += t2 - t1, swapNs += t3 - t2;
    ++frames;
  }
  const auto us = [&](uint64_t ns) { return static_cast<double>(ns) / 1e3 / frames; };
  state.counters["model_and_calls_us"] = us(drawNs);
  state.counters["raster_us"] = us(rasterNs);
  state.counters["swap_us"] = us(swapNs);
  state.counters["fps"] = frames * 1e9 / static_cast<double>(drawNs + rasterNs + swapNs);
  magfield3d_a::End();
}

BENCHMARK(Program)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(Model)->Unit(benchmark::kMicrosecond)->MinTime(2);
BENCHMARK(Phases)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
