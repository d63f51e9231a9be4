// What the program benches share: a program's frames run in the benchmark loop and timed by the
// wall clock and by the program thread's CPU time, with the library's own figures (time inside
// the drawing calls and their number, the program's pauses, the presents to the screen)
// collected alongside and reported per frame as counters.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "core.h"
#include "easel/easel.h"

namespace program_bench {

// The program thread's CPU time: on a busy machine wall-clock figures mostly measure the wait
// for a core.
inline double ThreadCpuNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

// The figures of one benchmark loop over the program's frames, in nanoseconds and counts.
struct FrameFigures {
  double frames = 0;
  double wallNs = 0, cpuNs = 0;
  double drawNs = 0, drawCalls = 0, sleepNs = 0, paintNs = 0, paints = 0;

  double PerFrame(double count) const { return count / frames; }
};

// Whether the library times its drawing calls, pauses and presents during the loop; its two
// clock reads a primitive cost a noticeable share of a frame of many short lines.
enum class LibraryTiming { kOn, kOff };

// Runs the benchmark loop with `frame` as one frame of the program; `finish` runs after the last
// frame, before the clocks stop (to drain a renderer, say).
template <typename Frame, typename Finish>
FrameFigures TimeFrames(benchmark::State& state, Frame frame, LibraryTiming timing, Finish finish) {
  easel::Stats& stats = easel::GetStats();
  const bool timed = timing == LibraryTiming::kOn;
  if (timed) {
    stats.Reset();
    stats.enabled = true;
  }
  const uint64_t start = easel::NowNs();
  const double cpuStart = ThreadCpuNs();
  for (auto _ : state) frame();
  finish();
  FrameFigures f;
  f.wallNs = static_cast<double>(easel::NowNs() - start);
  f.cpuNs = ThreadCpuNs() - cpuStart;
  f.frames = static_cast<double>(state.iterations());
  if (timed) {
    stats.enabled = false;
    f.drawNs = static_cast<double>(stats.drawNs.load());
    f.drawCalls = static_cast<double>(stats.drawCalls.load());
    f.sleepNs = static_cast<double>(stats.sleepNs.load());
    f.paintNs = static_cast<double>(stats.paintNs.load());
    f.paints = static_cast<double>(stats.paints.load());
  }
  return f;
}

template <typename Frame>
FrameFigures TimeFrames(benchmark::State& state, Frame frame,
                        LibraryTiming timing = LibraryTiming::kOn) {
  return TimeFrames(state, frame, timing, [] {});
}

// Whether the program's own pauses (EaselSleep) count as part of a frame's model time or are
// left out of it, with the frame rate without them reported as fps_unpaused.
enum class Pauses { kCounted, kLeftOut };

// Frames per second by the wall clock and by the program thread's CPU time, and that CPU time
// per frame.
inline void ReportRates(benchmark::State& state, const FrameFigures& f) {
  state.counters["fps"] = f.frames * 1e9 / f.wallNs;
  state.counters["fps_cpu"] = f.frames * 1e9 / f.cpuNs;
  state.counters["cpu_us"] = f.cpuNs / 1e3 / f.frames;
}

// How long a present to the screen takes, and how many a frame sees.
inline void ReportPresents(benchmark::State& state, const FrameFigures& f) {
  state.counters["present_us"] = f.paints > 0 ? f.paintNs / 1e3 / f.paints : 0;
  state.counters["presents_per_frame"] = f.PerFrame(f.paints);
}

// The wall-clock time the program is awake, with its pauses left out or not.
inline double AwakeNs(const FrameFigures& f, Pauses pauses) {
  return pauses == Pauses::kLeftOut ? f.wallNs - f.sleepNs : f.wallNs;
}

// Where a frame's wall-clock time goes: the drawing calls, and the model as the rest.
inline void ReportWallSplit(benchmark::State& state, const FrameFigures& f, Pauses pauses) {
  const double awake = AwakeNs(f, pauses);
  state.counters["fps"] = f.frames * 1e9 / f.wallNs;
  if (pauses == Pauses::kLeftOut) state.counters["fps_unpaused"] = f.frames * 1e9 / awake;
  state.counters["model_us"] = (awake - f.drawNs) / 1e3 / f.frames;
  state.counters["draw_us"] = f.drawNs / 1e3 / f.frames;
  ReportPresents(state, f);
}

// Where a frame's CPU time goes: model and drawing share the program thread's CPU time as they
// share its waking wall-clock time.
inline void ReportCpuSplit(benchmark::State& state, const FrameFigures& f, Pauses pauses) {
  const double awake = AwakeNs(f, pauses);
  ReportRates(state, f);
  if (pauses == Pauses::kLeftOut) state.counters["fps_unpaused"] = f.frames * 1e9 / awake;
  state.counters["model_us"] = f.cpuNs * (awake - f.drawNs) / awake / 1e3 / f.frames;
  state.counters["draw_us"] = f.cpuNs * f.drawNs / awake / 1e3 / f.frames;
  state.counters["draw_calls"] = f.PerFrame(f.drawCalls);
  ReportPresents(state, f);
}

// Opens the program's window on the SDL backend's OpenGL; when there is none the benchmark is
// skipped and false returned. The label names the backend in use.
template <typename Start, typename End>
bool StartWithOpenGL(benchmark::State& state, Start start, End end) {
  setenv("EASEL_BACKEND", "sdl2", 1);
  start();
  if (EaselResult() != 0) {
    state.SkipWithError("no OpenGL window");
    end();
    return false;
  }
  state.SetLabel(EaselBackendName());
  return true;
}

}  // namespace program_bench
