// The rasteriser. See raster.h for the pixel rules; this file explains how they are met.
//
// Everything clips before it walks: a thin line computes its first and last visible step in
// closed form (a solid one wholly on the surface skips that and walks from both ends), wide lines
// and circles go row by row over the visible rows only. Integer arithmetic is exact everywhere;
// where a square of a coordinate appears the code works in 64 bits, and in 128 bits when the inputs
// are large enough that 64 could overflow (any int is accepted: the fast 64-bit path covers every
// coordinate a program can produce).
#include "raster.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <initializer_list>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

namespace easel::raster {

namespace {

using i64 = int64_t;
__extension__ typedef __int128 i128;

// ---------------------------------------------------------------------------------------------
// Integer helpers.

template <typename W>
W FloorDiv(W a, W b) {  // b != 0
  W q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

template <typename W>
W CeilDiv(W a, W b) {  // b != 0
  W q = a / b;
  if ((a % b != 0) && ((a < 0) == (b < 0))) ++q;
  return q;
}

// floor(sqrt(n)) for n >= 0, exact: a floating estimate corrected by integer comparisons.
template <typename W>
W ISqrt(W n) {
  if (n <= 0) return 0;
  W s = static_cast<W>(std::sqrt(static_cast<double>(n)));
  while (s > 0 && s * s > n) --s;
  while ((s + 1) * (s + 1) <= n) ++s;
  return s;
}

// The smallest s >= 0 with s * s >= n.
template <typename W>
W CeilSqrt(W n) {
  if (n <= 0) return 0;
  W s = ISqrt(n);
  return s * s == n ? s : s + 1;
}

template <typename T>
inline std::ptrdiff_t Offset(const Surface<T>& s, i64 x, i64 y) {
  return static_cast<std::ptrdiff_t>(y) * s.pitch + static_cast<std::ptrdiff_t>(x);
}

template <typename T>
inline bool Empty(const Surface<T>& s) {
  return s.pixels == nullptr || s.width <= 0 || s.height <= 0;
}

// Fills columns x0..x1 of row y, both already inside the surface. Wide pens produce many
// short spans, which are stored directly (overlapping stores) rather than through memset.
template <typename T>
inline void Span(const Surface<T>& s, i64 y, i64 x0, i64 x1, T c) {
  T* p = s.pixels + Offset(s, x0, y);
  const size_t n = static_cast<size_t>(x1 - x0 + 1);
  if constexpr (sizeof(T) == 1) {
    if (n <= 16) {
      if (n >= 8) {
        const uint64_t v = c * uint64_t{0x0101010101010101};
        std::memcpy(p, &v, 8);
        std::memcpy(p + n - 8, &v, 8);
      } else if (n >= 4) {
        const uint32_t v = c * uint32_t{0x01010101};
        std::memcpy(p, &v, 4);
        std::memcpy(p + n - 4, &v, 4);
      } else {
        p[0] = c;
        p[n / 2] = c;
        p[n - 1] = c;
      }
      return;
    }
    std::memset(p, c, n);
  } else {
    std::fill(p, p + n, c);
  }
}

// Clips x0..x1 (any values) to the surface and fills it.
template <typename T>
inline void ClippedSpan(const Surface<T>& s, i64 y, i64 x0, i64 x1, T c) {
  x0 = std::max<i64>(x0, 0);
  x1 = std::min<i64>(x1, s.width - 1);
  if (x0 <= x1) Span(s, y, x0, x1, c);
}

// The largest squared distance from (cx, cy) to a pixel centre of the surface (at a corner).
template <typename T>
i128 FarthestCorner2(const Surface<T>& s, i64 cx, i64 cy) {
  const i128 dx = std::max(cx, s.width - 1 - cx), dy = std::max(cy, s.height - 1 - cy);
  return dx * dx + dy * dy;
}

// ---------------------------------------------------------------------------------------------
// Dash patterns. Every pattern's period divides 48, so a counter kept modulo 48 gives the same
// on/off sequence as an unbounded one and never overflows.

constexpr int kDashPeriod = 48;

struct DashTable {
  bool on[kDashPeriod];
};

constexpr DashTable MakeRuns(std::initializer_list<int> runs) {
  DashTable t{};
  int i = 0;
  while (i < kDashPeriod) {
    bool draw = true;
    for (int run : runs) {
      for (int k = 0; k < run; ++k) t.on[i++] = draw;
      draw = !draw;
    }
  }
  return t;
}

constexpr DashTable kDotTable = MakeRuns({3, 3});
constexpr DashTable kDashTable = MakeRuns({18, 6});
constexpr DashTable kDashDotTable = MakeRuns({9, 6, 3, 6});
constexpr DashTable kDashDotDotTable = MakeRuns({9, 3, 3, 3, 3, 3});

DashTable MaskTable(uint16_t mask) {
  DashTable t{};
  for (int i = 0; i < kDashPeriod; ++i) t.on[i] = ((mask >> (i % 16)) & 1) != 0;
  return t;
}

// The on/off table of a thin pen, or null for a solid one. kNull is handled by the callers.
const DashTable* PatternOf(const Pen& pen, DashTable& maskStorage) {
  switch (pen.style) {
    case PenStyle::kDot:
      return &kDotTable;
    case PenStyle::kDashDot:
      return &kDashDotTable;
    case PenStyle::kDash:
      return &kDashTable;
    case PenStyle::kDashDotDot:
      return &kDashDotDotTable;
    case PenStyle::kMask:
      maskStorage = MaskTable(pen.mask);
      return &maskStorage;
    case PenStyle::kSolid:
    case PenStyle::kNull:
      break;
  }
  return nullptr;
}

inline int Phase(i64 counter) {
  i64 m = counter % kDashPeriod;
  return static_cast<int>(m < 0 ? m + kDashPeriod : m);
}

// ---------------------------------------------------------------------------------------------
// Thin lines.
//
// The walk from (x1, y1) takes n = max(|dx|, |dy|) steps along the major axis and stops before
// the end pixel. At step i the minor offset is
//     k(i) = floor((2 * dmin * i + dmaj - 1) / (2 * dmaj)),
// which is exactly what the incremental form produces with the error term
//     D(i) = 2 * dmin * (i + 1) - dmaj - 2 * dmaj * k(i)
// (step the minor axis after pixel i when D(i) > 0). Clipping solves k(i) against the surface
// bounds for the first and last visible step, then walks only between them.

struct ThinWalk {
  i64 first = 0, last = -1;  // visible steps, inclusive; empty when last < first
  i64 k0 = 0;                // minor offset at step `first`
  i64 d0 = 0;                // error term at step `first`
};

// Steps i of a walk where major coordinate m1 + sm * i lies in [0, extent - 1].
inline void MajorRange(i64 m1, int sm, i64 extent, i64& lo, i64& hi) {
  if (sm > 0) {
    lo = -m1;
    hi = extent - 1 - m1;
  } else {
    lo = m1 - (extent - 1);
    hi = m1;
  }
}

// W is the integer type wide enough for 2 * dmaj * dmin: i64 when both are below 2^30.
template <typename W>
ThinWalk ClipThin(i64 m1, i64 n1, i64 dmaj, i64 dmin, int sm, int sn, i64 majExtent,
                  i64 minExtent) {
  ThinWalk w;
  i64 lo, hi;
  MajorRange(m1, sm, majExtent, lo, hi);
  lo = std::max<i64>(lo, 0);
  hi = std::min<i64>(hi, dmaj - 1);
  if (lo > hi) return w;

  i64 klo, khi;
  MajorRange(n1, sn, minExtent, klo, khi);
  klo = std::max<i64>(klo, 0);
  khi = std::min<i64>(khi, dmin);
  if (klo > khi) return w;
  if (dmin > 0) {
    const W a = dmaj, b = dmin;
    // Smallest i with k(i) >= klo and largest with k(i) <= khi.
    const W ilo = CeilDiv<W>(2 * a * klo - a + 1, 2 * b);
    const W ihi = FloorDiv<W>(2 * a * (W(khi) + 1) - a, 2 * b);
    if (ilo > lo) lo = ilo > hi ? hi + 1 : static_cast<i64>(ilo);
    if (ihi < hi) hi = ihi < lo ? lo - 1 : static_cast<i64>(ihi);
    if (lo > hi) return w;
  }
  w.first = lo;
  w.last = hi;
  const W k0 = FloorDiv<W>(2 * W(dmin) * lo + dmaj - 1, 2 * W(dmaj));
  w.k0 = static_cast<i64>(k0);
  w.d0 = static_cast<i64>(2 * W(dmin) * (W(lo) + 1) - dmaj - 2 * W(dmaj) * k0);
  return w;
}

// A solid line with both end points on the surface, so nothing to clip: steps 0..n-1
// (n = dmaj >= 1) from p, where majStep and minStep move one pixel along the major and minor
// axes. It is walked from both ends at once, step 0 forwards and step n-1 backwards, each walk
// taking (n + 1) / 2 steps; when n is odd they meet on the middle pixel and both set it. The
// two walks share nothing, so the processor overlaps their steps.
//
// Walking backwards uses the error term of the forward walk. D(i) always lies in
// (2 dmin - 2 dmaj, 2 dmin]; a minor step after pixel i leaves D(i + 1) <= 4 dmin - 2 dmaj and
// no minor step leaves it above, so going back from step i the minor axis steps back exactly
// when D(i) <= 4 dmin - 2 dmaj. The last step has k(n - 1) = dmin, less one when 2 dmin >= n,
// and so D(n - 1) = dmaj * (2 dmin - 1 - 2 k(n - 1)).
//
// Each walk keeps its error term biased so that it is negative exactly when the minor axis
// steps (forwards -D, backwards D - (4 dmin - 2 dmaj) - 1), and takes the step through the
// sign mask rather than a branch: the minor steps of a short line follow no pattern a branch
// predictor could learn, and compilers turn a plain condition here back into a jump.
template <typename T>
void SolidInsideLine(T* p, std::ptrdiff_t majStep, std::ptrdiff_t minStep, i64 dmaj, i64 dmin,
                     T c) {
  const i64 twoMaj = 2 * dmaj, twoMin = 2 * dmin;
  const i64 kEnd = dmin - (twoMin >= dmaj ? 1 : 0);
  // Offsets from p rather than pointers: the backward walk ends one step before the start,
  // which may lie outside the surface.
  std::ptrdiff_t a = 0;
  i64 ea = dmaj - twoMin;
  std::ptrdiff_t b =
      static_cast<std::ptrdiff_t>(dmaj - 1) * majStep + static_cast<std::ptrdiff_t>(kEnd) * minStep;
  i64 eb = dmaj * (twoMin - 1 - 2 * kEnd) - (2 * twoMin - twoMaj) - 1;
  for (i64 m = (dmaj + 1) / 2; m > 0; --m) {
    p[a] = c;
    p[b] = c;
    const i64 ma = ea >> 63, mb = eb >> 63;  // all ones where the minor axis steps
    a += majStep + (static_cast<std::ptrdiff_t>(ma) & minStep);
    b -= majStep + (static_cast<std::ptrdiff_t>(mb) & minStep);
    // Subtracting first keeps the masked add alone on the path from one term to the next.
    ea -= twoMin;
    eb -= twoMin;
    ea += ma & twoMaj;
    eb += mb & twoMaj;
  }
}

template <typename T>
void ThinLine(const Surface<T>& s, int x1, int y1, int x2, int y2, const DashTable* pattern, T c,
              DashState* dash) {
  const i64 dx = std::abs(i64{x2} - x1), dy = std::abs(i64{y2} - y1);
  const int sx = x2 >= x1 ? 1 : -1, sy = y2 >= y1 ? 1 : -1;
  const bool xMajor = dx >= dy;
  const i64 dmaj = xMajor ? dx : dy, dmin = xMajor ? dy : dx;
  const i64 n = dmaj;  // steps walked, the end pixel excluded
  const i64 startCounter = dash ? dash->counter : 0;
  if (dash) dash->counter = Phase(startCounter + n);
  if (n == 0 || Empty(s)) return;

  const i64 m1 = xMajor ? x1 : y1, n1 = xMajor ? y1 : x1;
  const int sm = xMajor ? sx : sy, sn = xMajor ? sy : sx;
  const i64 majExtent = xMajor ? s.width : s.height, minExtent = xMajor ? s.height : s.width;

  ThinWalk w;
  const bool inside = x1 >= 0 && x1 < s.width && y1 >= 0 && y1 < s.height && x2 >= 0 &&
                      x2 < s.width && y2 >= 0 && y2 < s.height;
  if (inside) {  // a convex surface holds every pixel between two inside end points
    w.first = 0;
    w.last = n - 1;
    w.k0 = 0;
    w.d0 = 2 * dmin - dmaj;
  } else if (dmaj < (i64{1} << 30)) {
    w = ClipThin<i64>(m1, n1, dmaj, dmin, sm, sn, majExtent, minExtent);
  } else {
    w = ClipThin<i128>(m1, n1, dmaj, dmin, sm, sn, majExtent, minExtent);
  }
  if (w.last < w.first) return;

  const i64 mStart = m1 + sm * w.first, nStart = n1 + sn * w.k0;
  std::ptrdiff_t off = xMajor ? Offset(s, mStart, nStart) : Offset(s, nStart, mStart);
  const std::ptrdiff_t majStep = xMajor ? sm : std::ptrdiff_t{sm} * s.pitch;
  const std::ptrdiff_t minStep = xMajor ? std::ptrdiff_t{sn} * s.pitch : sn;
  const i64 twoMaj = 2 * dmaj, twoMin = 2 * dmin;
  i64 d = w.d0;
  i64 count = w.last - w.first + 1;
  T* px = s.pixels;
  // The minor step is taken with conditional moves: its pattern is irregular, so a branch
  // would mispredict on most short lines.
  if (!pattern) {
    for (; count > 0; --count) {
      px[off] = c;
      const bool minor = d > 0;
      off += majStep + (minor ? minStep : 0);
      d += twoMin - (minor ? twoMaj : 0);
    }
  } else {
    int phase = Phase(startCounter + w.first);
    for (; count > 0; --count) {
      if (pattern->on[phase]) px[off] = c;
      if (++phase == kDashPeriod) phase = 0;
      const bool minor = d > 0;
      off += majStep + (minor ? minStep : 0);
      d += twoMin - (minor ? twoMaj : 0);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Wide lines: the capsule of pixel centres within t/2 of the segment A-B.
//
// A point is in the capsule exactly when it is in the disk around A, the disk around B, or the
// slab { 0 <= (Q-A).d <= |d|^2, |(Q-A) x d| <= t/2 |d| }. Each piece meets a row in an interval
// of integers computed exactly; the capsule is convex, so the row's pixels are one span from
// the lowest to the highest of these. The slab's four bounds are floors and ceilings of linear
// functions of the row, stepped from row to row without dividing; the disks' half widths are
// integer square roots, read from a constant table for pens up to 64 pixels.

// floor((n + k * b) / c) for k = 0, 1, 2, ...; c > 0, with b = bq * c + br divided beforehand.
template <typename W>
struct FloorSteps {
  W q = 0, r = 0, bq = 0, br = 0, c = 1;
  void Start(W n, W stepQ, W stepR, W divisor) {
    c = divisor;
    q = FloorDiv(n, c);
    r = n - q * c;
    bq = stepQ;
    br = stepR;
  }
  void Next() {
    q += bq;
    r += br;
    if (r >= c) {
      r -= c;
      ++q;
    }
  }
};

// The u with a * u in [lo0 + k * step, hi0 + k * step] on row k.
template <typename W>
class Band {
 public:
  Band(W a, W lo0, W hi0, W step) : a_(a), l_(lo0), h_(hi0), s_(step) {
    if (a == 0) return;
    // Both bounds become floors over c = |a|, the lower one negated (ceil(x / c) is
    // -floor(-x / c)). For a > 0: u <= floor(hi / c) and -u <= floor(-lo / c); for a < 0:
    // u <= floor(-lo / c) and -u <= floor(hi / c). The two numerators step by +b and -b, so
    // one division serves both steps.
    const W c = a < 0 ? -a : a;
    const W b = a > 0 ? step : -step;
    const W bq = FloorDiv(b, c), br = b - bq * c;
    hi_.Start(a > 0 ? hi0 : -lo0, bq, br, c);
    lo_.Start(a > 0 ? -lo0 : hi0, -bq - (br != 0 ? 1 : 0), br != 0 ? c - br : 0, c);
  }
  // Narrows [lo, hi] to this row's solutions and moves to the next row.
  void Row(W& lo, W& hi) {
    if (a_ != 0) {
      lo = std::max(lo, -lo_.q);
      hi = std::min(hi, hi_.q);
      lo_.Next();
      hi_.Next();
    } else {
      if (l_ > 0 || h_ < 0) hi = lo - 1;
      l_ += s_;
      h_ += s_;
    }
  }

 private:
  W a_;
  FloorSteps<W> lo_, hi_;  // lo_ holds the lower bound negated
  W l_, h_, s_;            // a == 0: the row qualifies when l <= 0 <= h
};

// Disk half widths for pens up to 64 pixels: kDiskHalf[t][v] = max h with 4 h^2 <= t^2 - 4 v^2,
// for 0 <= v <= t/2. A constant table, so the common pens need no square roots per line.
constexpr int kDiskTable = 64;
struct DiskHalfTable {
  uint8_t h[kDiskTable + 1][kDiskTable / 2 + 1];
};
constexpr DiskHalfTable MakeDiskHalfTable() {
  DiskHalfTable d{};
  for (int t = 0; t <= kDiskTable; ++t) {
    for (int v = 0; v <= t / 2; ++v) {
      int h = 0;
      while (4 * (h + 1) * (h + 1) <= t * t - 4 * v * v) ++h;
      d.h[t][v] = static_cast<uint8_t>(h);
    }
  }
  return d;
}
constexpr DiskHalfTable kDiskHalf = MakeDiskHalfTable();

// W must hold t^2, 4 v^2, v |d| and |d|^2 for every row drawn; the slab half width jMax
// (largest j with 4 j^2 <= t^2 |d|^2) is computed in 128 bits by the caller.
template <typename W, typename T>
void WideLineRows(const Surface<T>& s, i64 ax, i64 ay, i64 bx, i64 by, i64 t, i64 y0, i64 y1,
                  W jMax, T c) {
  const W dx = bx - ax, dy = by - ay;
  const W l2 = dx * dx + dy * dy;
  const W tt = W(t) * t;
  const i64 half = t / 2;
  // Disk half widths by |row offset|: 4 h^2 <= t^2 - 4 v^2.
  const uint8_t* table = t <= kDiskTable ? kDiskHalf.h[t] : nullptr;
  auto diskHalf = [&](i64 v) -> i64 {
    if (v < 0) v = -v;
    return table ? table[v] : static_cast<i64>(ISqrt<W>((tt - 4 * W(v) * v) / 4));
  };
  const W v0 = W(y0) - ay;
  Band<W> c1(dy, v0 * dx - jMax, v0 * dx + jMax, dx);  // |u dy - v dx| <= jMax
  Band<W> c2(dx, -v0 * dy, l2 - v0 * dy, -dy);         // 0 <= u dx + v dy <= l2
  const bool slab = l2 > 0;
  const W uMin = W(-ax) - 1, uMax = W(s.width) - ax;  // a little beyond the visible columns
  for (i64 y = y0; y <= y1; ++y) {
    W lo = uMax, hi = uMin;  // empty
    const i64 va = y - ay, vb = y - by;
    if (va >= -half && va <= half) {
      const i64 h = diskHalf(va);
      lo = -h;
      hi = h;
    }
    if (vb >= -half && vb <= half) {
      const i64 h = diskHalf(vb);
      lo = std::min(lo, dx - h);
      hi = std::max(hi, dx + h);
    }
    if (slab) {
      W slo = uMin, shi = uMax;
      c1.Row(slo, shi);
      c2.Row(slo, shi);
      if (slo <= shi) {
        lo = std::min(lo, slo);
        hi = std::max(hi, shi);
      }
    }
    const W xl = std::max<W>(W(ax) + lo, 0), xr = std::min<W>(W(ax) + hi, W(s.width) - 1);
    if (xl <= xr) Span(s, y, static_cast<i64>(xl), static_cast<i64>(xr), c);
  }
}

template <typename T>
void WideLine(const Surface<T>& s, int x1, int y1, int x2, int y2, int thickness, T c) {
  if (Empty(s)) return;
  const i64 t = thickness;
  const i64 half = t / 2;  // |v| <= t/2 for integer v
  const i64 y0 = std::max<i64>(std::min(y1, y2) - half, 0);
  const i64 yEnd = std::min<i64>(i64{std::max(y1, y2)} + half, s.height - 1);
  if (y0 > yEnd) return;
  const i64 dx = i64{x2} - x1, dy = i64{y2} - y1;
  const i128 l2 = i128(dx) * dx + i128(dy) * dy;
  // Slab half width: the largest j with 4 j^2 <= t^2 |d|^2 (64 bits when that cannot overflow).
  const i128 jMax = (t < (i64{1} << 15) && l2 < (i128{1} << 32))
                        ? ISqrt<i64>(t * t * static_cast<i64>(l2) / 4)
                        : ISqrt<i128>(i128(t) * t * l2 / 4);
  // 64 bits suffice while coordinates and thickness stay below 2^29; 2^24 leaves room.
  constexpr i64 kSmall = i64{1} << 24;
  auto small = [&](i64 v) { return v > -kSmall && v < kSmall; };
  if (small(x1) && small(y1) && small(x2) && small(y2) && t < kSmall) {
    WideLineRows<i64>(s, x1, y1, x2, y2, t, y0, yEnd, static_cast<i64>(jMax), c);
  } else {
    WideLineRows<i128>(s, x1, y1, x2, y2, t, y0, yEnd, jMax, c);
  }
}

// ---------------------------------------------------------------------------------------------
// Circles.
//
// The thin circle is the midpoint circle: starting at (0, r) with decision 1 - r, stepping x
// and, when the decision is not negative, y. In the first octant (x <= y) the y it reaches at
// column x is
//     y(x) = max { y : x^2 + y (y - 1) < r^2 },
// so the octant ends at xEnd = max { x : 2 x^2 - x < r^2 }. Small circles wholly on the surface
// are walked incrementally; all others go row by row over the visible rows, which keeps a
// radius of 65535 or a centre far away as cheap as the part that shows.
//
// Dashes run clockwise (y down) from the top pixel, octant after octant, each octant walked
// from where the previous one ended: octant o holds counters o * (xEnd + 1) + 0..xEnd. Pixels
// shared by two octants (on the axes and diagonals) are drawn when either octant draws them.

// max { y >= 0 : y (y - 1) < k }, for k >= 1.
inline i64 MaxYBelow(i64 k) {
  i64 y = static_cast<i64>(std::sqrt(static_cast<double>(k))) + 1;
  while (y > 1 && y * (y - 1) >= k) --y;
  while ((y + 1) * y < k) ++y;
  return y;
}

// max { x >= 0 : 2 x^2 - x < r2 }, for r2 >= 1.
inline i64 OctantEnd(i64 r2) {
  i64 x = static_cast<i64>(std::sqrt(static_cast<double>(r2) / 2.0));
  while (x > 0 && 2 * x * x - x >= r2) --x;
  while (2 * (x + 1) * (x + 1) - (x + 1) < r2) ++x;
  return x;
}

// Draws one octant pixel with its dash counter, clipping it.
template <typename T>
struct CirclePlot {
  const Surface<T>& s;
  const DashTable* pattern;
  i64 cx, cy, xEnd;
  T c;

  // Octant o, first-octant parameter x: counter along the clockwise walk.
  i64 Counter(int o, i64 x) const { return o * (xEnd + 1) + ((o & 1) ? xEnd - x : x); }
  bool On(int o, i64 x) const { return !pattern || pattern->on[Phase(Counter(o, x))]; }

  void Point(int o, i64 x, i64 px, i64 py) const {
    if (px < 0 || px >= s.width || py < 0 || py >= s.height) return;
    if (On(o, x)) s.pixels[Offset(s, px, py)] = c;
  }
  // Octant o's pixels for parameters x in [xlo, xhi] on row py at column cx + sign * x.
  void Run(int o, i64 xlo, i64 xhi, int sign, i64 py) const {
    if (py < 0 || py >= s.height || xlo > xhi) return;
    // Visible x: 0 <= cx + sign * x <= width - 1.
    i64 vlo, vhi;
    if (sign > 0) {
      vlo = -cx;
      vhi = s.width - 1 - cx;
    } else {
      vlo = cx - (s.width - 1);
      vhi = cx;
    }
    xlo = std::max(xlo, vlo);
    xhi = std::min(xhi, vhi);
    if (xlo > xhi) return;
    if (!pattern) {
      const i64 a = cx + sign * xlo, b = cx + sign * xhi;
      Span(s, py, std::min(a, b), std::max(a, b), c);
      return;
    }
    for (i64 x = xlo; x <= xhi; ++x) {
      if (On(o, x)) s.pixels[Offset(s, cx + sign * x, py)] = c;
    }
  }
};

template <typename T>
void ThinCircle(const Surface<T>& s, int cxi, int cyi, int ri, const DashTable* pattern, T c) {
  const i64 cx = cxi, cy = cyi, r = ri;
  if (r == 0) {
    if (cx >= 0 && cx < s.width && cy >= 0 && cy < s.height && (!pattern || pattern->on[0])) {
      s.pixels[Offset(s, cx, cy)] = c;
    }
    return;
  }
  const i64 r2 = r * r;
  // Every pixel of the circle has x^2 + y^2 >= r^2 - r (from the definition of y(x)): a
  // surface wholly nearer the centre than that lies inside the ring and shows none of it.
  if (FarthestCorner2(s, cx, cy) < r2 - r) return;
  const bool inside = cx - r >= 0 && cx + r < s.width && cy - r >= 0 && cy + r < s.height;
  if (inside && !pattern) {
    T* px = s.pixels;
    for (i64 x = 0, y = r, d = 1 - r; x <= y; ++x) {
      px[Offset(s, cx + x, cy - y)] = c;
      px[Offset(s, cx + y, cy - x)] = c;
      px[Offset(s, cx + y, cy + x)] = c;
      px[Offset(s, cx + x, cy + y)] = c;
      px[Offset(s, cx - x, cy + y)] = c;
      px[Offset(s, cx - y, cy + x)] = c;
      px[Offset(s, cx - y, cy - x)] = c;
      px[Offset(s, cx - x, cy - y)] = c;
      if (d < 0) {
        d += 2 * x + 3;
      } else {
        d += 2 * (x - y) + 5;
        --y;
      }
    }
    return;
  }
  const i64 xEnd = OctantEnd(r2);
  const CirclePlot<T> plot{s, pattern, cx, cy, xEnd, c};
  if (inside) {  // dashed: the same walk, each pixel with its counter
    for (i64 x = 0, y = r, d = 1 - r; x <= xEnd; ++x) {
      plot.Point(0, x, cx + x, cy - y);
      plot.Point(1, x, cx + y, cy - x);
      plot.Point(2, x, cx + y, cy + x);
      plot.Point(3, x, cx + x, cy + y);
      plot.Point(4, x, cx - x, cy + y);
      plot.Point(5, x, cx - y, cy + x);
      plot.Point(6, x, cx - y, cy - x);
      plot.Point(7, x, cx - x, cy - y);
      if (d < 0) {
        d += 2 * x + 3;
      } else {
        d += 2 * (x - y) + 5;
        --y;
      }
    }
    return;
  }

  // Row by row: a row at distance a from the centre holds the octant-0/3/4/7 pixels whose
  // y(x) = a (a run of x) and the octant-1/2/5/6 pixels with x = a (one each side).
  const i64 rowLo = std::max<i64>(cy - r, 0), rowHi = std::min<i64>(cy + r, s.height - 1);
  for (i64 py = rowLo; py <= rowHi; ++py) {
    const i64 a = py < cy ? cy - py : py - cy;
    const bool above = py < cy;
    const bool below = py > cy;
    // Run: r^2 - a(a+1) <= x^2 <= r^2 - a^2 + a - 1, and x <= xEnd.
    const i64 top = r2 - a * a + a - 1;
    if (top >= 0) {
      const i64 xlo = CeilSqrt<i64>(r2 - a * (a + 1));
      const i64 xhi = std::min(ISqrt<i64>(top), xEnd);
      if (xlo <= xhi) {
        if (!below) {
          plot.Run(0, xlo, xhi, +1, py);
          plot.Run(7, xlo, xhi, -1, py);
        }
        if (!above) {
          plot.Run(3, xlo, xhi, +1, py);
          plot.Run(4, xlo, xhi, -1, py);
        }
      }
    }
    if (a <= xEnd) {
      const i64 yy = MaxYBelow(r2 - a * a);
      if (!below) {
        plot.Point(1, a, cx + yy, py);
        plot.Point(6, a, cx - yy, py);
      }
      if (!above) {
        plot.Point(2, a, cx + yy, py);
        plot.Point(5, a, cx - yy, py);
      }
    }
  }
}

// Wide circles: the annulus of pixel centres with r - t/2 <= distance <= r + t/2, i.e.
// (2r - t)^2 <= 4 d^2 <= (2r + t)^2 (the inner bound only when 2r > t). Two spans per row.
template <typename T>
void WideCircle(const Surface<T>& s, int cxi, int cyi, int ri, int ti, T c) {
  const i64 cx = cxi, cy = cyi, r = ri, t = ti;
  const i128 outer = i128(2 * r + t) * (2 * r + t);
  const i64 inner2r = 2 * r - t;
  const i128 inner = inner2r > 0 ? i128(inner2r) * inner2r : 0;
  if (4 * FarthestCorner2(s, cx, cy) < inner) return;  // the surface lies inside the hole
  const i64 reach = (2 * r + t) / 2;
  const i64 rowLo = std::max<i64>(cy - reach, 0), rowHi = std::min<i64>(cy + reach, s.height - 1);
  for (i64 py = rowLo; py <= rowHi; ++py) {
    const i128 v = py - cy;
    const i128 mo = outer - 4 * v * v;
    if (mo < 0) continue;
    const i64 ho = static_cast<i64>(ISqrt<i128>(mo / 4));                        // |u| <= ho
    const i128 mi = inner - 4 * v * v;                                           // 4 u^2 >= mi
    const i64 hi = mi > 0 ? static_cast<i64>(CeilSqrt<i128>((mi + 3) / 4)) : 0;  // |u| >= hi
    if (hi > ho) continue;
    if (hi == 0) {
      ClippedSpan(s, py, cx - ho, cx + ho, c);
    } else {
      ClippedSpan(s, py, cx - ho, cx - hi, c);
      ClippedSpan(s, py, cx + hi, cx + ho, c);
    }
  }
}

}  // namespace

// -----------------------------------------------------------------------------------------------
// Hatches, one 8x8 cell each; bit 7 of a row is its leftmost pixel and cells align to the
// surface origin. Horizontal: row 0. Vertical: column 0. Rising (/): pixels with x + y = 7
// (mod 8). Falling (\): pixels with x = y (mod 8). The crosses are the unions.
const uint8_t kHatchRows[6][8] = {
    {0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // horizontal
    {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},  // vertical
    {0xFF, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},  // cross
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // rising diagonal
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // falling diagonal
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // diagonal cross
};

namespace {

template <typename T>
inline bool OnSurface(const Surface<T>& s, int x, int y) {
  return x >= 0 && x < s.width && y >= 0 && y < s.height;
}

// Every pen and any end points: clipped thin lines, patterns and wide pens. Kept out of Line so
// that the common case there stays a short function.
template <typename T>
[[gnu::noinline]] void AnyLine(const Surface<T>& s, int x1, int y1, int x2, int y2, const Pen& pen,
                               T c, DashState* dash) {
  if (pen.style == PenStyle::kNull) return;
  if (pen.thickness > 1) {
    WideLine(s, x1, y1, x2, y2, pen.thickness, c);
    return;
  }
  DashTable mask;
  ThinLine(s, x1, y1, x2, y2, PatternOf(pen, mask), c, dash);
}

}  // namespace

template <typename T>
void Line(const Surface<T>& s, int x1, int y1, int x2, int y2, const Pen& pen, T c,
          DashState* dash) {
  // The common case: a solid thin pen with both end points on the surface (which is convex, so
  // it holds every pixel between them) needs neither clipping nor a pattern.
  if (pen.style == PenStyle::kSolid && pen.thickness <= 1 && s.pixels != nullptr &&
      OnSurface(s, x1, y1) && OnSurface(s, x2, y2)) {
    // Directions and axes are picked with masks: they are as random as the lines, and a
    // mispredicted branch would cost more than a short line's whole walk.
    const i64 dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
    const i64 xMajor = -i64{dx >= dy};  // all ones when x is the major axis
    const i64 dmaj = dy ^ ((dx ^ dy) & xMajor), dmin = dx + dy - dmaj;
    if (dash) dash->counter = Phase(dash->counter + dmaj);
    if (dmaj == 0) return;
    const i64 left = -i64{x2 < x1}, up = -i64{y2 < y1};
    const i64 stepX = 1 | left, stepY = (i64{s.pitch} ^ up) - up;
    const i64 majStep = stepY ^ ((stepX ^ stepY) & xMajor), minStep = stepX + stepY - majStep;
    SolidInsideLine(s.pixels + Offset(s, x1, y1), static_cast<std::ptrdiff_t>(majStep),
                    static_cast<std::ptrdiff_t>(minStep), dmaj, dmin, c);
    return;
  }
  AnyLine(s, x1, y1, x2, y2, pen, c, dash);
}

template <typename T>
void Circle(const Surface<T>& s, int cx, int cy, int r, const Pen& pen, T c) {
  if (Empty(s) || r < 0 || pen.style == PenStyle::kNull) return;
  if (pen.thickness > 1) {
    WideCircle(s, cx, cy, r, pen.thickness, c);
    return;
  }
  DashTable mask;
  ThinCircle(s, cx, cy, r, PatternOf(pen, mask), c);
}

template <typename T>
void FillRect(const Surface<T>& s, int x1, int y1, int x2, int y2, const Brush<T>& brush) {
  if (Empty(s) || brush.kind == BrushKind::kHollow) return;
  const i64 xl = std::max<i64>(std::min(x1, x2), 0);
  const i64 xr = std::min<i64>(std::max(x1, x2), s.width - 1);
  const i64 yt = std::max<i64>(std::min(y1, y2), 0);
  const i64 yb = std::min<i64>(std::max(y1, y2), s.height - 1);
  if (xl > xr || yt > yb) return;
  if (brush.kind == BrushKind::kSolid) {
    for (i64 y = yt; y <= yb; ++y) Span(s, y, xl, xr, brush.fg);
    return;
  }
  for (i64 y = yt; y <= yb; ++y) {
    const unsigned bits = brush.rows[y & 7];
    T* row = s.pixels + Offset(s, 0, y);
    if (brush.opaque) {
      T cell[8];
      for (int i = 0; i < 8; ++i) cell[i] = ((bits >> (7 - i)) & 1) ? brush.fg : brush.bg;
      for (i64 x = xl; x <= xr; ++x) row[x] = cell[x & 7];
    } else if (bits != 0) {
      for (i64 x = xl; x <= xr; ++x) {
        if ((bits >> (7 - (x & 7))) & 1) row[x] = brush.fg;
      }
    }
  }
}

template <typename T>
void Fill(const Surface<T>& s, T c) {
  if (Empty(s)) return;
  if (s.pitch == s.width) {
    const size_t n = static_cast<size_t>(s.width) * static_cast<size_t>(s.height);
    if constexpr (sizeof(T) == 1) {
      std::memset(s.pixels, c, n);
    } else {
      std::fill(s.pixels, s.pixels + n, c);
    }
    return;
  }
  for (i64 y = 0; y < s.height; ++y) Span(s, y, 0, s.width - 1, c);
}

// Eight source pixels per step: one 64-bit load of indices, and the table entries paired into
// 64-bit stores. This halves the memory operations of the one-pixel-at-a-time loop.
void ToRgbPortable(const Surface8& src, const uint32_t (&lut)[256], uint32_t* dst, int dstPitch) {
  if (Empty(src) || dst == nullptr) return;
  const size_t w = static_cast<size_t>(src.width);
  for (i64 y = 0; y < src.height; ++y) {
    const uint8_t* in = src.pixels + Offset(src, 0, y);
    uint32_t* out = dst + static_cast<std::ptrdiff_t>(y) * dstPitch;
    size_t x = 0;
    for (; x + 8 <= w; x += 8) {
      uint64_t v;
      std::memcpy(&v, in + x, 8);
      uint64_t o[4];
      for (int i = 0; i < 4; ++i) {
        o[i] = uint64_t{lut[v & 0xFF]} | (uint64_t{lut[(v >> 8) & 0xFF]} << 32);
        v >>= 16;
      }
      std::memcpy(out + x, o, sizeof o);
    }
    for (; x < w; ++x) out[x] = lut[in[x]];
  }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define EASEL_RASTER_VBMI 1
// 64 pixels per step with AVX-512 VBMI byte permutes. The table is split into four byte planes
// (one per byte of the 32-bit entries), each held in four registers; a plane lookup is two
// two-register permutes (indices 0..127 and 128..255) and a blend on the index's top bit. The
// four looked-up planes are then interleaved into 32-bit pixels by unpacking, which works
// within 128-bit lanes; permuting the indices beforehand makes the unpacked pixels come out in
// order. Rows end with masked loads and stores.
#define EASEL_VBMI_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// Looks up 64 indices in the four planes t and leaves their 32-bit pixels, in order, in out.
EASEL_VBMI_TARGET inline void VbmiBlock(const __m512i (&t)[4][4], __m512i perm, __m512i idx,
                                        __m512i (&out)[4]) {
  // The zero-masking form with every lane selected: the plain form trips a false
  // "maybe uninitialized" warning in GCC 12's own header.
  idx = _mm512_maskz_permutexvar_epi8(~__mmask64{0}, perm, idx);
  const __mmask64 high = _mm512_movepi8_mask(idx);
  __m512i b[4];
  for (int p = 0; p < 4; ++p) {
    const __m512i lo = _mm512_permutex2var_epi8(t[p][0], idx, t[p][1]);
    const __m512i hi = _mm512_permutex2var_epi8(t[p][2], idx, t[p][3]);
    b[p] = _mm512_mask_blend_epi8(high, lo, hi);
  }
  const __m512i w01lo = _mm512_unpacklo_epi8(b[0], b[1]), w01hi = _mm512_unpackhi_epi8(b[0], b[1]);
  const __m512i w23lo = _mm512_unpacklo_epi8(b[2], b[3]), w23hi = _mm512_unpackhi_epi8(b[2], b[3]);
  out[0] = _mm512_unpacklo_epi16(w01lo, w23lo);
  out[1] = _mm512_unpackhi_epi16(w01lo, w23lo);
  out[2] = _mm512_unpacklo_epi16(w01hi, w23hi);
  out[3] = _mm512_unpackhi_epi16(w01hi, w23hi);
}

EASEL_VBMI_TARGET void ToRgbVbmi(const Surface8& src, const uint32_t (&lut)[256], uint32_t* dst,
                                 int dstPitch) {
  alignas(64) uint8_t planes[4][256];
  for (int i = 0; i < 256; ++i) {
    for (int p = 0; p < 4; ++p) planes[p][i] = static_cast<uint8_t>(lut[i] >> (8 * p));
  }
  __m512i t[4][4];
  for (int p = 0; p < 4; ++p) {
    for (int q = 0; q < 4; ++q) t[p][q] = _mm512_load_si512(planes[p] + 64 * q);
  }
  // Byte L*16 + k*4 + j of the permuted indices is pixel k*16 + L*4 + j.
  alignas(64) uint8_t order[64];
  for (int l = 0; l < 4; ++l)
    for (int k = 0; k < 4; ++k)
      for (int j = 0; j < 4; ++j)
        order[l * 16 + k * 4 + j] = static_cast<uint8_t>(k * 16 + l * 4 + j);
  const __m512i perm = _mm512_load_si512(order);

  const size_t w = static_cast<size_t>(src.width);
  for (i64 y = 0; y < src.height; ++y) {
    const uint8_t* in = src.pixels + Offset(src, 0, y);
    uint32_t* out = dst + static_cast<std::ptrdiff_t>(y) * dstPitch;
    size_t x = 0;
    __m512i px[4];
    for (; x + 64 <= w; x += 64) {
      VbmiBlock(t, perm, _mm512_loadu_si512(in + x), px);
      for (int k = 0; k < 4; ++k) _mm512_storeu_si512(out + x + 16 * k, px[k]);
    }
    if (x < w) {
      const size_t n = w - x;  // 1..63
      VbmiBlock(t, perm, _mm512_maskz_loadu_epi8(_cvtu64_mask64((uint64_t{1} << n) - 1), in + x),
                px);
      for (size_t k = 0; k < 4 && 16 * k < n; ++k) {
        const size_t m = std::min<size_t>(16, n - 16 * k);
        _mm512_mask_storeu_epi32(out + x + 16 * k, static_cast<__mmask16>((1u << m) - 1), px[k]);
      }
    }
  }
}
#endif

void ToRgb(const Surface8& src, const uint32_t (&lut)[256], uint32_t* dst, int dstPitch) {
  if (Empty(src) || dst == nullptr) return;
#ifdef EASEL_RASTER_VBMI
  static const bool vbmi = __builtin_cpu_supports("avx512vbmi") &&
                           __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512f");
  if (vbmi) {
    ToRgbVbmi(src, lut, dst, dstPitch);
    return;
  }
#endif
  ToRgbPortable(src, lut, dst, dstPitch);
}

void ToRgb(const Surface32& src, uint32_t* dst, int dstPitch) {
  if (Empty(src) || dst == nullptr) return;
  const size_t w = static_cast<size_t>(src.width);
  for (i64 y = 0; y < src.height; ++y) {
    const uint32_t* in = src.pixels + Offset(src, 0, y);
    uint32_t* out = dst + static_cast<std::ptrdiff_t>(y) * dstPitch;
    for (size_t x = 0; x < w; ++x) {
      const uint32_t p = in[x];
      out[x] = ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
    }
  }
}

#define EASEL_RASTER_INSTANTIATE(T)                                                        \
  template void Line<T>(const Surface<T>&, int, int, int, int, const Pen&, T, DashState*); \
  template void Circle<T>(const Surface<T>&, int, int, int, const Pen&, T);                \
  template void FillRect<T>(const Surface<T>&, int, int, int, int, const Brush<T>&);       \
  template void Fill<T>(const Surface<T>&, T);

EASEL_RASTER_INSTANTIATE(uint8_t)
EASEL_RASTER_INSTANTIATE(uint32_t)

#undef EASEL_RASTER_INSTANTIATE

}  // namespace easel::raster
