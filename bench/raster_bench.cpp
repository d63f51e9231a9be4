// The rasteriser against SDL2's software renderer, drawing the same workloads in the same run.
//
// Our side draws on an 800x600 8-bit page; the peer is SDL_CreateSoftwareRenderer over an
// 800x600 ARGB8888 surface, driven per primitive as a program would drive it: set the colour,
// issue the call. Workloads come from a fixed seed, so both sides draw identical primitives.
// At the end the run prints each peer's time as a multiple of ours.
//
//   W1   8192 lines of 10 px              SDL_RenderDrawLine per line
//        (and W1/W2 through the public calls too, "OursApi": EaselSetColor and EaselLine per
//        line on a hidden 800x600 8-bit page of a headless window, end pixel included as in
//        SDL; this is what a program pays per line, locks and all)
//   W1p3 the same lines with a 3-px pen   SDL: three parallel lines (offset across the major
//                                         axis) plus one SDL_RenderDrawPoints call with the
//                                         3x3 blocks at both ends, which is what the round
//                                         3-px cap covers
//   W2   13,300 lines of 2..40 px         SDL_RenderDrawLine per line
//   W3   10,000 circles of radius 3       SDL: the same midpoint points computed per circle,
//                                         one SDL_RenderDrawPoints per circle
//   W4   11,000 single pixels             SDL_RenderDrawPoint per pixel
//   clear one page                        SDL_RenderClear
//   page -> 32-bit RGB                    ours ToRgb; a plain per-pixel table loop; SDL's blit
//                                         of a paletted INDEX8 surface to ARGB8888
// The worst cases (ours only) put huge coordinates beside a normal 800-px line.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "backend/headless/headless.h"
#include "easel/easel.h"
#include "raster.h"

namespace {

using namespace easel::raster;

constexpr int kW = 800, kH = 600;

struct Prim {
  int x1, y1, x2, y2;
  uint8_t colour;
};

struct Palette {
  uint32_t rgb[256];  // 0x00RRGGBB
  SDL_Color sdl[256];
  Palette() {
    std::mt19937 rng(7);
    for (int i = 0; i < 256; ++i) {
      rgb[i] = rng() & 0xFFFFFFu;
      sdl[i] = {static_cast<uint8_t>(rgb[i] >> 16), static_cast<uint8_t>(rgb[i] >> 8),
                static_cast<uint8_t>(rgb[i]), 255};
    }
  }
};
const Palette& Pal() {
  static const Palette p;
  return p;
}

// Lines starting on the page whose major extent is `lo`..`hi` pixels, kept on the page.
std::vector<Prim> MakeLines(int count, int lo, int hi, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<Prim> out;
  out.reserve(static_cast<size_t>(count));
  while (static_cast<int>(out.size()) < count) {
    const int len = std::uniform_int_distribution<int>(lo, hi)(rng);
    const int minor = std::uniform_int_distribution<int>(-len, len)(rng);
    const int sign = rng() % 2 ? 1 : -1;
    int dx = sign * len, dy = minor;
    if (rng() % 2) std::swap(dx, dy);
    const int x1 = std::uniform_int_distribution<int>(1, kW - 2)(rng);
    const int y1 = std::uniform_int_distribution<int>(1, kH - 2)(rng);
    const int x2 = x1 + dx, y2 = y1 + dy;
    if (x2 < 1 || x2 > kW - 2 || y2 < 1 || y2 > kH - 2) continue;
    out.push_back({x1, y1, x2, y2, static_cast<uint8_t>(rng())});
  }
  return out;
}

std::vector<Prim> MakePoints(int count, int margin, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<Prim> out(static_cast<size_t>(count));
  for (Prim& p : out) {
    p.x1 = std::uniform_int_distribution<int>(margin, kW - 1 - margin)(rng);
    p.y1 = std::uniform_int_distribution<int>(margin, kH - 1 - margin)(rng);
    p.colour = static_cast<uint8_t>(rng());
  }
  return out;
}

const std::vector<Prim>& W1() {
  static const auto v = MakeLines(8192, 10, 10, 1);
  return v;
}
const std::vector<Prim>& W2() {
  static const auto v = MakeLines(13300, 2, 40, 2);
  return v;
}
const std::vector<Prim>& W3() {
  static const auto v = MakePoints(10000, 3, 3);
  return v;
}
const std::vector<Prim>& W4() {
  static const auto v = MakePoints(11000, 0, 4);
  return v;
}

// Our page.
struct Page {
  std::vector<uint8_t> pixels = std::vector<uint8_t>(kW * kH);
  Surface8 s{pixels.data(), kW, kH, kW};
};

// SDL's software renderer over a 32-bit surface.
struct Peer {
  SDL_Surface* surface = nullptr;
  SDL_Renderer* renderer = nullptr;
  Peer() {
    surface = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 32, SDL_PIXELFORMAT_ARGB8888);
    renderer = surface ? SDL_CreateSoftwareRenderer(surface) : nullptr;
  }
  ~Peer() {
    if (renderer) SDL_DestroyRenderer(renderer);
    if (surface) SDL_FreeSurface(surface);
  }
  bool ok(benchmark::State& state) const {
    if (!renderer) state.SkipWithError(SDL_GetError());
    return renderer != nullptr;
  }
  void Colour(uint8_t index) const {
    const SDL_Color& c = Pal().sdl[index];
    SDL_SetRenderDrawColor(renderer, c.r, c.g, c.b, 255);
  }
  // Completes any queued commands so their cost falls inside the timed loop.
  void Finish() const {
    SDL_RenderFlush(renderer);
    benchmark::DoNotOptimize(surface->pixels);
    benchmark::ClobberMemory();
  }
};

// Keeps the drawing from being optimised away.
void Done(const Page& page) {
  benchmark::DoNotOptimize(page.pixels.data());
  benchmark::ClobberMemory();
}

void Items(benchmark::State& state, size_t perIteration) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(perIteration));
}

// ---- W1 / W2: thin lines ----------------------------------------------------------------------

void OurLines(benchmark::State& state, const std::vector<Prim>& lines, int thickness) {
  Page page;
  const Pen pen{PenStyle::kSolid, 0, thickness};
  for (auto _ : state) {
    for (const Prim& l : lines)
      Line<uint8_t>(page.s, l.x1, l.y1, l.x2, l.y2, pen, l.colour, nullptr);
    Done(page);
  }
  Items(state, lines.size());
}

void PeerLines(benchmark::State& state, const std::vector<Prim>& lines) {
  Peer peer;
  if (!peer.ok(state)) return;
  for (auto _ : state) {
    for (const Prim& l : lines) {
      peer.Colour(l.colour);
      SDL_RenderDrawLine(peer.renderer, l.x1, l.y1, l.x2, l.y2);
    }
    peer.Finish();
  }
  Items(state, lines.size());
}

// A 3-px round pen as an SDL program would fake it: three parallel lines and the end blocks.
void PeerLines3(benchmark::State& state, const std::vector<Prim>& lines) {
  Peer peer;
  if (!peer.ok(state)) return;
  SDL_Point caps[18];
  for (auto _ : state) {
    for (const Prim& l : lines) {
      peer.Colour(l.colour);
      const bool xMajor = std::abs(l.x2 - l.x1) >= std::abs(l.y2 - l.y1);
      for (int o = -1; o <= 1; ++o) {
        const int ox = xMajor ? 0 : o, oy = xMajor ? o : 0;
        SDL_RenderDrawLine(peer.renderer, l.x1 + ox, l.y1 + oy, l.x2 + ox, l.y2 + oy);
      }
      int n = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          caps[n++] = {l.x1 + dx, l.y1 + dy};
          caps[n++] = {l.x2 + dx, l.y2 + dy};
        }
      SDL_RenderDrawPoints(peer.renderer, caps, n);
    }
    peer.Finish();
  }
  Items(state, lines.size());
}

// One headless window for the process, 256 colours at 800x600, drawing on page 1 while page 0
// is shown, as a double-buffered program does: no repaint runs beside the timed loop.
bool ApiWindow(benchmark::State& state) {
  static const bool open = [] {
    setenv("EASEL_BACKEND", "headless", 1);
    easel::headless::SetDesktop(1920, 1080, 32);
    int16_t driver = 3, mode = 6;
    EaselOpen(driver, mode, "raster bench");
    if (EaselResult() != 0) return false;
    EaselSetDrawPage(1);
    EaselSetShowPage(0);
    return EaselMaxX() == kW - 1 && EaselMaxY() == kH - 1;
  }();
  if (!open) state.SkipWithError("no headless 800x600 window");
  return open;
}

void ApiLines(benchmark::State& state, const std::vector<Prim>& lines) {
  if (!ApiWindow(state)) return;
  for (auto _ : state) {
    for (const Prim& l : lines) {
      EaselSetColor(l.colour);
      EaselLine(static_cast<int16_t>(l.x1), static_cast<int16_t>(l.y1), static_cast<int16_t>(l.x2),
                static_cast<int16_t>(l.y2));
    }
    benchmark::ClobberMemory();
  }
  Items(state, lines.size());
}

void BM_W1_Lines10_Ours(benchmark::State& s) {
  OurLines(s, W1(), 1);
}
void BM_W1_Lines10_Sdl(benchmark::State& s) {
  PeerLines(s, W1());
}
void BM_W1p3_Lines10Pen3_Ours(benchmark::State& s) {
  OurLines(s, W1(), 3);
}
void BM_W1p3_Lines10Pen3_Sdl(benchmark::State& s) {
  PeerLines3(s, W1());
}
void BM_W2_Lines2to40_Ours(benchmark::State& s) {
  OurLines(s, W2(), 1);
}
void BM_W2_Lines2to40_Sdl(benchmark::State& s) {
  PeerLines(s, W2());
}
void BM_W1_Lines10_OursApi(benchmark::State& s) {
  ApiLines(s, W1());
}
void BM_W2_Lines2to40_OursApi(benchmark::State& s) {
  ApiLines(s, W2());
}

// ---- W3: circles ------------------------------------------------------------------------------

void BM_W3_Circles3_Ours(benchmark::State& state) {
  Page page;
  const auto& circles = W3();
  for (auto _ : state) {
    for (const Prim& c : circles) Circle<uint8_t>(page.s, c.x1, c.y1, 3, Pen{}, c.colour);
    Done(page);
  }
  Items(state, circles.size());
}

// The midpoint circle's points, as a program drawing circles with SDL computes them.
int MidpointPoints(int cx, int cy, int r, SDL_Point* out) {
  int n = 0;
  for (int x = 0, y = r, d = 1 - r; x <= y; ++x) {
    out[n++] = {cx + x, cy - y};
    out[n++] = {cx + y, cy - x};
    out[n++] = {cx + y, cy + x};
    out[n++] = {cx + x, cy + y};
    out[n++] = {cx - x, cy + y};
    out[n++] = {cx - y, cy + x};
    out[n++] = {cx - y, cy - x};
    out[n++] = {cx - x, cy - y};
    if (d < 0) {
      d += 2 * x + 3;
    } else {
      d += 2 * (x - y) + 5;
      --y;
    }
  }
  return n;
}

void BM_W3_Circles3_Sdl(benchmark::State& state) {
  Peer peer;
  if (!peer.ok(state)) return;
  const auto& circles = W3();
  SDL_Point pts[64];
  for (auto _ : state) {
    for (const Prim& c : circles) {
      peer.Colour(c.colour);
      SDL_RenderDrawPoints(peer.renderer, pts, MidpointPoints(c.x1, c.y1, 3, pts));
    }
    peer.Finish();
  }
  Items(state, circles.size());
}

// ---- W4: pixels -------------------------------------------------------------------------------

void BM_W4_Pixels_Ours(benchmark::State& state) {
  Page page;
  const auto& pixels = W4();
  for (auto _ : state) {
    for (const Prim& p : pixels) Pixel<uint8_t>(page.s, p.x1, p.y1, p.colour);
    Done(page);
  }
  Items(state, pixels.size());
}

void BM_W4_Pixels_Sdl(benchmark::State& state) {
  Peer peer;
  if (!peer.ok(state)) return;
  const auto& pixels = W4();
  for (auto _ : state) {
    for (const Prim& p : pixels) {
      peer.Colour(p.colour);
      SDL_RenderDrawPoint(peer.renderer, p.x1, p.y1);
    }
    peer.Finish();
  }
  Items(state, pixels.size());
}

// ---- clear ------------------------------------------------------------------------------------

void BM_Clear_Ours(benchmark::State& state) {
  Page page;
  uint8_t c = 0;
  for (auto _ : state) {
    Fill<uint8_t>(page.s, ++c);
    Done(page);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kW * kH);
}

void BM_Clear_Sdl(benchmark::State& state) {
  Peer peer;
  if (!peer.ok(state)) return;
  uint8_t c = 0;
  for (auto _ : state) {
    peer.Colour(++c);
    SDL_RenderClear(peer.renderer);
    peer.Finish();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kW * kH * 4);
}

// ---- page -> RGB ------------------------------------------------------------------------------

struct Conversion {
  Page page;
  std::vector<uint32_t> rgb = std::vector<uint32_t>(kW * kH);
  uint32_t lut[256];
  Conversion() {
    std::mt19937 rng(11);
    for (uint8_t& p : page.pixels) p = static_cast<uint8_t>(rng());
    std::copy(Pal().rgb, Pal().rgb + 256, lut);
  }
};

void BM_ToRgb_Ours(benchmark::State& state) {
  Conversion cv;
  for (auto _ : state) {
    ToRgb(cv.page.s, cv.lut, cv.rgb.data(), kW);
    benchmark::DoNotOptimize(cv.rgb.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kW * kH);
}

// The reference: one table look-up per pixel.
void BM_ToRgb_PlainLoop(benchmark::State& state) {
  Conversion cv;
  for (auto _ : state) {
    const uint8_t* in = cv.page.pixels.data();
    uint32_t* out = cv.rgb.data();
    for (int i = 0; i < kW * kH; ++i) out[i] = cv.lut[in[i]];
    benchmark::DoNotOptimize(cv.rgb.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kW * kH);
}

void BM_ToRgb_Sdl(benchmark::State& state) {
  Conversion cv;
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(cv.page.pixels.data(), kW, kH, 8, kW,
                                                        SDL_PIXELFORMAT_INDEX8);
  SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormatFrom(cv.rgb.data(), kW, kH, 32, kW * 4,
                                                        SDL_PIXELFORMAT_ARGB8888);
  if (!src || !dst || SDL_SetPaletteColors(src->format->palette, Pal().sdl, 0, 256) != 0) {
    state.SkipWithError(SDL_GetError());
  } else {
    for (auto _ : state) {
      SDL_BlitSurface(src, nullptr, dst, nullptr);
      benchmark::DoNotOptimize(cv.rgb.data());
      benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kW * kH);
  }
  if (src) SDL_FreeSurface(src);
  if (dst) SDL_FreeSurface(dst);
}

// ---- worst cases ------------------------------------------------------------------------------

void Worst(benchmark::State& state, int x1, int y1, int x2, int y2, int thickness) {
  Page page;
  const Pen pen{PenStyle::kSolid, 0, thickness};
  for (auto _ : state) {
    Line<uint8_t>(page.s, x1, y1, x2, y2, pen, 1, nullptr);
    Done(page);
  }
}
void WorstCircle(benchmark::State& state, int cx, int cy, int r, int thickness) {
  Page page;
  const Pen pen{PenStyle::kSolid, 0, thickness};
  for (auto _ : state) {
    Circle<uint8_t>(page.s, cx, cy, r, pen, 1);
    Done(page);
  }
}

void BM_Worst_Line800(benchmark::State& s) {
  Worst(s, 0, 100, 800, 500, 1);
}
void BM_Worst_LineFullRange(benchmark::State& s) {
  Worst(s, -32768, -32768, 32767, 32767, 1);
}
void BM_Worst_Line800Pen3(benchmark::State& s) {
  Worst(s, 0, 100, 800, 500, 3);
}
void BM_Worst_LineFullRangePen3(benchmark::State& s) {
  Worst(s, -32768, -32768, 32767, 32767, 3);
}
void BM_Worst_Circle290(benchmark::State& s) {
  WorstCircle(s, 400, 300, 290, 1);
}
void BM_Worst_CircleR65535Centred(benchmark::State& s) {
  WorstCircle(s, 400, 300, 65535, 1);
}
void BM_Worst_CircleR65535Grazing(benchmark::State& s) {
  WorstCircle(s, 400, 300 + 65535 - 100, 65535, 1);
}
void BM_Worst_CircleR65535CentredPen3(benchmark::State& s) {
  WorstCircle(s, 400, 300, 65535, 3);
}

#define EASEL_BENCH(fn) BENCHMARK(fn)->Unit(benchmark::kMicrosecond)
EASEL_BENCH(BM_W1_Lines10_Ours);
EASEL_BENCH(BM_W1_Lines10_Sdl);
EASEL_BENCH(BM_W1_Lines10_OursApi);
EASEL_BENCH(BM_W1p3_Lines10Pen3_Ours);
EASEL_BENCH(BM_W1p3_Lines10Pen3_Sdl);
EASEL_BENCH(BM_W2_Lines2to40_Ours);
EASEL_BENCH(BM_W2_Lines2to40_Sdl);
EASEL_BENCH(BM_W2_Lines2to40_OursApi);
EASEL_BENCH(BM_W3_Circles3_Ours);
EASEL_BENCH(BM_W3_Circles3_Sdl);
EASEL_BENCH(BM_W4_Pixels_Ours);
EASEL_BENCH(BM_W4_Pixels_Sdl);
EASEL_BENCH(BM_Clear_Ours);
EASEL_BENCH(BM_Clear_Sdl);
EASEL_BENCH(BM_ToRgb_Ours);
EASEL_BENCH(BM_ToRgb_PlainLoop);
EASEL_BENCH(BM_ToRgb_Sdl);
EASEL_BENCH(BM_Worst_Line800);
EASEL_BENCH(BM_Worst_LineFullRange);
EASEL_BENCH(BM_Worst_Line800Pen3);
EASEL_BENCH(BM_Worst_LineFullRangePen3);
EASEL_BENCH(BM_Worst_Circle290);
EASEL_BENCH(BM_Worst_CircleR65535Centred);
EASEL_BENCH(BM_Worst_CircleR65535Grazing);
EASEL_BENCH(BM_Worst_CircleR65535CentredPen3);

// Prints, after the usual table, every peer's time over ours: "BM_<workload>_<side>" pairs
// share <workload>, and "Ours" is the denominator. CPU time is used: both sides are single
// threaded, and it is steadier than wall time on a shared machine. With repetitions, the best
// run of each side counts.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration || r.error_occurred) continue;
      const std::string name = r.benchmark_name();
      const double t = r.GetAdjustedCPUTime();
      auto it = best_.find(name);
      if (it == best_.end() || t < it->second) best_[name] = t;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-28s %-12s %12s %12s %9s\n", "workload (CPU time)", "peer", "ours (us)",
                "peer (us)", "peer/ours");
    for (const auto& [name, ours] : best_) {
      const size_t cut = name.rfind("_Ours");
      if (cut == std::string::npos || name.find('_', cut + 1) != std::string::npos) continue;
      const std::string workload = name.substr(0, cut);
      // "_Ours" is the rasteriser alone; "_OursApi" and the like are other ways of ours.
      const std::string label = workload.substr(3) + name.substr(cut + 5);
      for (const auto& [other, t] : best_) {
        if (other.rfind(workload + "_", 0) != 0) continue;
        const std::string peer = other.substr(workload.size() + 1);
        if (peer.rfind("Ours", 0) == 0 || peer.find('_') != std::string::npos) continue;
        std::printf("%-28s %-12s %12.2f %12.2f %8.2fx\n", label.c_str(), peer.c_str(), ours, t,
                    t / ours);
      }
    }
  }

 private:
  std::map<std::string, double> best_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
