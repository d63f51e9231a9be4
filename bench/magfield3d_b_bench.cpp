// magfield3d_b frames on the headless backend: frames per second, and where a frame's time
// goes between the field (8096 tracers x 8 poles), the projection of its ~13,300 segments
// (eye coordinates, near-plane cut, perspective, 16-bit clip, rounding) and rasterising them.
//
//   BM_Frame        whole frames, nothing measured inside: the frame rate.
//   BM_FrameSplit   whole frames with the library's draw timing on, plus a field pass and a
//                   projection pass over the same frame's segments timed on their own, all
//                   in the program thread's CPU time (steady on a busy machine):
//                   field_ms + project_ms + raster_ms + rest_ms = frame_ms. raster_ms is the
//                   share of the frame's wall time spent inside the drawing calls (lock,
//                   rasteriser, page bookkeeping), applied to its CPU time.
//   BM_Field        the field pass alone.
//   BM_Project      the projection pass alone (nothing drawn).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <numbers>

#include "core.h"
#include "easel/easel.h"
#include "magfield3d_b.h"
#include "program_bench.h"

namespace {

using camera3d::Vec3;
namespace mf = magfield3d_b;

struct Segment {
  Vec3 a, b;
};
constexpr int kSphereSegments = 21 * 21;
constexpr int kHatchSegments = 41 * 41;
constexpr int kSegments = mf::kTracers + mf::kPoles * kSphereSegments + kHatchSegments;
Segment segments[kSegments];  // one frame's segments, gathered outside the timed passes

void Open() {
  static bool started = false;
  if (started) return;
  setenv("EASEL_BACKEND", "headless", 1);
  mf::Start();
  started = true;
}

// The segments the next frame draws, in scene coordinates (the tracers' strokes from the
// field as it stands now).
void GatherSegments() {
  int n = 0;
  double scale = mf::model.segmentScale;
  for (const mf::Tracer& t : mf::model.tracers) {
    const Vec3 p{t.x, t.y, t.z};
    Vec3 b;
    mf::Field(p, b);
    const double length = std::sqrt(camera3d::Dot(b, b));
    if (length != 0) scale = mf::kHalfStroke / length;
    segments[n++] = {p - scale * b, p + scale * b};
  }
  constexpr double pi = std::numbers::pi;
  for (const mf::SpacePole& pole : mf::model.spacePoles) {
    const Vec3 c{pole.x, pole.y, pole.z};
    for (int m = 0; m <= 20; ++m) {
      const double theta = m * pi / 20;
      auto point = [&](int k) {
        const double phi = k * pi / 10;
        return c + mf::kPoleRadius * Vec3{std::cos(theta) * std::sin(phi),
                                          std::sin(theta) * std::sin(phi), std::cos(phi)};
      };
      for (int k = 1; k <= 21; ++k) segments[n++] = {point(k), point(k - 1)};
    }
  }
  for (int a = -20; a <= 20; ++a) {
    for (int b = -20; b <= 20; ++b) {
      segments[n++] = {{static_cast<double>(a), static_cast<double>(b), -20},
                       {a + 1.0, b + 1.0, -20}};
    }
  }
}

double FieldPass() {
  double sum = 0;
  for (const mf::Tracer& t : mf::model.tracers) {
    Vec3 b;
    mf::Field({t.x, t.y, t.z}, b);
    sum += std::sqrt(camera3d::Dot(b, b));
  }
  return sum;
}

int ProjectPass() {
  const double maxX = EaselMaxX(), maxY = EaselMaxY();
  int sum = 0;
  for (const Segment& s : segments) {
    camera3d::ScreenSegment out;
    if (!camera3d::ProjectSegment(mf::model.camera, s.a, s.b, maxX, maxY, out) ||
        !camera3d::ClipToCoordinateRange(out)) {
      continue;
    }
    sum += EaselCoord(out.x1) + EaselCoord(out.y1) + EaselCoord(out.x2) + EaselCoord(out.y2);
  }
  return sum;
}

double ThreadCpuMs() {
  return program_bench::ThreadCpuNs() / 1e6;
}

double WallMs() {
  return static_cast<double>(easel::NowNs()) / 1e6;
}

void BM_Frame(benchmark::State& state) {
  Open();
  for (auto _ : state) benchmark::DoNotOptimize(mf::Frame());
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Frame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FrameSplit(benchmark::State& state) {
  Open();
  easel::Stats& stats = easel::GetStats();
  double frame = 0, field = 0, project = 0, raster = 0;
  for (auto _ : state) {
    state.PauseTiming();
    GatherSegments();
    const double f0 = ThreadCpuMs();
    benchmark::DoNotOptimize(FieldPass());
    const double f1 = ThreadCpuMs();
    benchmark::DoNotOptimize(ProjectPass());
    const double f2 = ThreadCpuMs();
    field += f1 - f0;
    project += f2 - f1;
    stats.Reset();
    stats.enabled = true;
    state.ResumeTiming();

    const double c0 = ThreadCpuMs(), w0 = WallMs();
    benchmark::DoNotOptimize(mf::Frame());
    const double c1 = ThreadCpuMs(), w1 = WallMs();

    state.PauseTiming();
    stats.enabled = false;
    frame += c1 - c0;
    raster += (c1 - c0) * (static_cast<double>(stats.drawNs.load()) / 1e6) / (w1 - w0);
    state.ResumeTiming();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["frame_ms"] = frame / n;
  state.counters["field_ms"] = field / n;
  state.counters["project_ms"] = project / n;
  state.counters["raster_ms"] = raster / n;
  state.counters["rest_ms"] = (frame - field - project - raster) / n;
  state.counters["segments"] = kSegments;
}
BENCHMARK(BM_FrameSplit)->Unit(benchmark::kMillisecond);

void BM_Field(benchmark::State& state) {
  Open();
  for (auto _ : state) benchmark::DoNotOptimize(FieldPass());
}
BENCHMARK(BM_Field)->Unit(benchmark::kMillisecond);

void BM_Project(benchmark::State& state) {
  Open();
  GatherSegments();
  for (auto _ : state) benchmark::DoNotOptimize(ProjectPass());
  state.counters["segments_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kSegments, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Project)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
