// libFuzzer target for the rasteriser: arbitrary surfaces, coordinates, pens and brushes fed to
// every primitive on a surface inside a guard buffer. Any write outside the surface traps, and
// so does a thin or wide line whose pixels differ from a plain reference (the unclipped walk;
// the distance to the segment).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "raster.h"

namespace {

using namespace easel::raster;
using i64 = int64_t;
__extension__ typedef __int128 i128;

class Input {
 public:
  Input(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool empty() const { return p_ == end_; }
  uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
    return v;
  }
  // Mostly small values near the surface, sometimes anything at all.
  int Coord() {
    const uint8_t kind = Byte();
    if (kind < 160) return static_cast<int>(Byte()) - 100;
    if (kind < 224) return static_cast<int>(static_cast<int16_t>(U32() & 0xFFFF)) * 3;
    return static_cast<int>(U32());
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

template <typename T>
struct Guarded {
  static constexpr int kGuard = 4;
  static constexpr T kSentinel = static_cast<T>(0xC3C3C3C3u);
  int w, h, pitch;
  std::vector<T> buf;
  Surface<T> s;
  Guarded(int width, int height)
      : w(width),
        h(height),
        pitch(width + 2 * kGuard + 1),
        buf(static_cast<size_t>((height + 2 * kGuard) * pitch), kSentinel) {
    s = Surface<T>{buf.data() + kGuard * pitch + kGuard, w, h, pitch};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) s.pixels[y * pitch + x] = 0;
  }
  void CheckGuard() const {
    for (int row = 0; row < h + 2 * kGuard; ++row)
      for (int col = 0; col < pitch; ++col) {
        const bool inside = row >= kGuard && row < kGuard + h && col >= kGuard && col < kGuard + w;
        if (!inside && buf[static_cast<size_t>(row * pitch + col)] != kSentinel) __builtin_trap();
      }
  }
  T At(int x, int y) const { return s.pixels[y * pitch + x]; }
};

// The unclipped walk, for lines short enough to walk.
template <typename T>
void CheckThinLine(int x1, int y1, int x2, int y2, int w, int h) {
  Guarded<T> got(w, h);
  Line<T>(got.s, x1, y1, x2, y2, Pen{}, 1, nullptr);
  std::vector<uint8_t> want(static_cast<size_t>(w * h), 0);
  const i64 dx = std::llabs(i64{x2} - x1), dy = std::llabs(i64{y2} - y1);
  const i64 sx = x2 >= x1 ? 1 : -1, sy = y2 >= y1 ? 1 : -1;
  const bool xMajor = dx >= dy;
  const i64 n = xMajor ? dx : dy, dmin = xMajor ? dy : dx;
  i64 x = x1, y = y1, d = 2 * dmin - n;
  for (i64 i = 0; i < n; ++i) {
    if (x >= 0 && y >= 0 && x < w && y < h) want[static_cast<size_t>(y * w + x)] = 1;
    if (d > 0) {
      (xMajor ? y : x) += xMajor ? sy : sx;
      d -= 2 * n;
    }
    d += 2 * dmin;
    (xMajor ? x : y) += xMajor ? sx : sy;
  }
  for (int yy = 0; yy < h; ++yy)
    for (int xx = 0; xx < w; ++xx)
      if ((got.At(xx, yy) != 0) != (want[static_cast<size_t>(yy * w + xx)] != 0)) __builtin_trap();
}

// Pixel centres within t/2 of the segment, by projection onto it.
template <typename T>
void CheckWideLine(int x1, int y1, int x2, int y2, int t, int w, int h) {
  Guarded<T> got(w, h);
  Line<T>(got.s, x1, y1, x2, y2, Pen{PenStyle::kSolid, 0, t}, 1, nullptr);
  const i128 dx = i64{x2} - x1, dy = i64{y2} - y1, tt = i128(t) * t, l2 = dx * dx + dy * dy;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const i128 wx = i64{x} - x1, wy = i64{y} - y1, dot = wx * dx + wy * dy;
      bool in;
      if (dot <= 0) {
        in = 4 * (wx * wx + wy * wy) <= tt;
      } else if (dot >= l2) {
        const i128 ex = i64{x} - x2, ey = i64{y} - y2;
        in = 4 * (ex * ex + ey * ey) <= tt;
      } else {
        const i128 cross = wx * dy - wy * dx;
        in = 4 * cross * cross <= tt * l2;
      }
      if ((got.At(x, y) != 0) != in) __builtin_trap();
    }
}

template <typename T>
void Run(Input& in) {
  const int w = in.Byte() % 41, h = in.Byte() % 41;
  Guarded<T> g(w, h);
  DashState dash{static_cast<int>(in.U32())};
  for (int op = 0; op < 16 && !in.empty(); ++op) {
    const uint8_t kind = in.Byte();
    Pen pen;
    pen.style = static_cast<PenStyle>(in.Byte() % 7);
    pen.mask = static_cast<uint16_t>(in.U32());
    const uint8_t tk = in.Byte();
    pen.thickness = tk < 128 ? 1 : (tk < 240 ? tk % 12 : in.Coord());
    const T colour = static_cast<T>(in.U32() | 1);
    const int a = in.Coord(), b = in.Coord(), c = in.Coord(), d = in.Coord();
    switch (kind % 8) {
      case 0:
        Pixel<T>(g.s, a, b, colour);
        break;
      case 1:
        Line<T>(g.s, a, b, c, d, pen, colour, (kind & 8) ? &dash : nullptr);
        break;
      case 2:
        Circle<T>(g.s, a, b, c, pen, colour);
        break;
      case 3: {
        Brush<T> brush;
        brush.kind = static_cast<BrushKind>(in.Byte() % 3);
        for (uint8_t& r : brush.rows) r = in.Byte();
        brush.opaque = in.Byte() & 1;
        brush.fg = colour;
        brush.bg = static_cast<T>(in.U32());
        FillRect<T>(g.s, a, b, c, d, brush);
        break;
      }
      case 4:
        Fill<T>(g.s, colour);
        break;
      case 5:
        if (std::llabs(i64{c} - a) + std::llabs(i64{d} - b) < 200000 && w > 0 && h > 0)
          CheckThinLine<T>(a, b, c, d, w, h);
        break;
      case 6:
        if (w > 0 && h > 0 && std::llabs(a) < (1 << 28) && std::llabs(b) < (1 << 28) &&
            std::llabs(c) < (1 << 28) && std::llabs(d) < (1 << 28))
          CheckWideLine<T>(a, b, c, d, 2 + in.Byte() % 40, w, h);
        break;
      default: {
        if (w > 0 && h > 0) {
          uint32_t lut[256];
          for (uint32_t i = 0; i < 256; ++i) lut[i] = i * 0x01010101u;
          std::vector<uint32_t> out(static_cast<size_t>(w * h));
          if constexpr (sizeof(T) == 1) {
            ToRgb(g.s, lut, out.data(), w);
          } else {
            ToRgb(g.s, out.data(), w);
          }
        }
        break;
      }
    }
    g.CheckGuard();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  if (in.Byte() & 1) {
    Run<uint32_t>(in);
  } else {
    Run<uint8_t>(in);
  }
  return 0;
}
