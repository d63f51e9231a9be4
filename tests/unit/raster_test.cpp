// Pixel-exact tests of the rasteriser. Each primitive is checked against an independent
// reference (an unclipped walk, a brute-force distance test, or a small picture) on surfaces
// embedded in a guard buffer, so any write outside the surface is caught as well.
#include "raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace easel::raster {
namespace {

using i64 = int64_t;
__extension__ typedef __int128 i128;

// A surface inside a larger buffer: kGuard pixels of margin on every side and a pitch wider
// than the row, all filled with a sentinel that drawing must never touch.
template <typename T>
class Canvas {
 public:
  static constexpr int kGuard = 6;
  static constexpr T kSentinel = static_cast<T>(0xA5A5A5A5u);

  Canvas(int w, int h, T background = 0)
      : pitch_(w + 2 * kGuard + 3),
        buf_(static_cast<size_t>(h + 2 * kGuard) * static_cast<size_t>(pitch_), kSentinel) {
    s_.pixels = buf_.data() + kGuard * pitch_ + kGuard;
    s_.width = w;
    s_.height = h;
    s_.pitch = pitch_;
    Clear(background);
  }

  const Surface<T>& s() const { return s_; }
  T at(int x, int y) const { return s_.pixels[y * pitch_ + x]; }
  void set(int x, int y, T c) { s_.pixels[y * pitch_ + x] = c; }
  void Clear(T c) {
    for (int y = 0; y < s_.height; ++y)
      for (int x = 0; x < s_.width; ++x) set(x, y, c);
  }
  bool GuardIntact() const {
    for (int row = 0; row < s_.height + 2 * kGuard; ++row) {
      for (int col = 0; col < pitch_; ++col) {
        const bool inside =
            row >= kGuard && row < kGuard + s_.height && col >= kGuard && col < kGuard + s_.width;
        if (!inside && buf_[static_cast<size_t>(row) * pitch_ + col] != kSentinel) return false;
      }
    }
    return true;
  }
  // '#' for pixels that differ from the background, '.' otherwise; one line per row.
  std::string Picture(T background = 0) const {
    std::string out;
    for (int y = 0; y < s_.height; ++y) {
      for (int x = 0; x < s_.width; ++x) out += at(x, y) != background ? '#' : '.';
      out += '\n';
    }
    return out;
  }
  int Count(T c) const {
    int n = 0;
    for (int y = 0; y < s_.height; ++y)
      for (int x = 0; x < s_.width; ++x) n += at(x, y) == c;
    return n;
  }

 private:
  int pitch_;
  std::vector<T> buf_;
  Surface<T> s_;
};

using Canvas8 = Canvas<uint8_t>;

// A picture written as a raw string, one row per line, in the Picture() format: blank lines
// and leading spaces are dropped so pictures can be indented with the code.
std::string Pic(const char* text) {
  std::string out, line;
  for (const char* p = text;; ++p) {
    if (*p == '\n' || *p == '\0') {
      const size_t start = line.find_first_not_of(' ');
      if (start != std::string::npos) (out += line.substr(start)) += '\n';
      line.clear();
      if (*p == '\0') break;
    } else {
      line += *p;
    }
  }
  return out;
}

// First mismatching pixel of two canvases, for readable failures.
template <typename T>
::testing::AssertionResult SameSurface(const Canvas<T>& got, const Canvas<T>& want) {
  for (int y = 0; y < got.s().height; ++y) {
    for (int x = 0; x < got.s().width; ++x) {
      if (got.at(x, y) != want.at(x, y)) {
        return ::testing::AssertionFailure()
               << "pixel (" << x << ", " << y << ") is " << int(got.at(x, y)) << ", expected "
               << int(want.at(x, y));
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------------------------------------
// References.

// The on/off runs of each dashed style, built independently of the implementation's tables.
bool RefOn(const Pen& pen, i64 counter) {
  static constexpr int kDot[] = {3, 3, 0}, kDash[] = {18, 6, 0}, kDashDot[] = {9, 6, 3, 6, 0},
                       kDashDotDot[] = {9, 3, 3, 3, 3, 3, 0};
  const int* runs = kDot;
  switch (pen.style) {
    case PenStyle::kSolid:
      return true;
    case PenStyle::kNull:
      return false;
    case PenStyle::kMask:
      return (pen.mask >> (counter % 16)) & 1;
    case PenStyle::kDot:
      break;
    case PenStyle::kDash:
      runs = kDash;
      break;
    case PenStyle::kDashDot:
      runs = kDashDot;
      break;
    case PenStyle::kDashDotDot:
      runs = kDashDotDot;
      break;
  }
  int period = 0;
  for (const int* r = runs; *r; ++r) period += *r;
  i64 pos = counter % period;
  for (int i = 0;; ++i) {
    if (pos < runs[i]) return i % 2 == 0;
    pos -= runs[i];
  }
}

// The unclipped incremental walk: every step from (x1, y1) up to, not including, (x2, y2).
template <typename F>
void RefWalk(i64 x1, i64 y1, i64 x2, i64 y2, F plot) {
  const i64 dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
  const i64 sx = x2 >= x1 ? 1 : -1, sy = y2 >= y1 ? 1 : -1;
  i64 x = x1, y = y1;
  if (dx >= dy) {
    i64 d = 2 * dy - dx;
    for (i64 i = 0; i < dx; ++i) {
      plot(i, x, y);
      if (d > 0) {
        y += sy;
        d -= 2 * dx;
      }
      d += 2 * dy;
      x += sx;
    }
  } else {
    i64 d = 2 * dx - dy;
    for (i64 i = 0; i < dy; ++i) {
      plot(i, x, y);
      if (d > 0) {
        x += sx;
        d -= 2 * dy;
      }
      d += 2 * dx;
      y += sy;
    }
  }
}

i128 FloorDiv(i128 a, i128 b) {
  i128 q = a / b;
  if (a % b != 0 && ((a < 0) != (b < 0))) --q;
  return q;
}

// The same walk for any int end points, evaluated per visible column (or row) from the closed
// form of the error term; used where the walk itself would be billions of steps.
template <typename F>
void RefWalkClosedForm(i64 x1, i64 y1, i64 x2, i64 y2, int w, int h, F plot) {
  const i64 dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
  const i64 sx = x2 >= x1 ? 1 : -1, sy = y2 >= y1 ? 1 : -1;
  if (dx >= dy) {
    for (i64 x = 0; x < w; ++x) {
      const i64 i = (x - x1) * sx;
      if (i < 0 || i >= dx) continue;
      const i64 y = y1 + sy * static_cast<i64>(FloorDiv(i128(2) * dy * i + dx - 1, i128(2) * dx));
      if (y >= 0 && y < h) plot(i, x, y);
    }
  } else {
    for (i64 y = 0; y < h; ++y) {
      const i64 i = (y - y1) * sy;
      if (i < 0 || i >= dy) continue;
      const i64 x = x1 + sx * static_cast<i64>(FloorDiv(i128(2) * dx * i + dy - 1, i128(2) * dy));
      if (x >= 0 && x < w) plot(i, x, y);
    }
  }
}

// Pixel centre (x, y) within t/2 of segment A-B, by projecting onto the segment.
bool InCapsule(i64 x, i64 y, i64 ax, i64 ay, i64 bx, i64 by, i64 t) {
  const i128 dx = bx - ax, dy = by - ay, wx = x - ax, wy = y - ay;
  const i128 tt = i128(t) * t;
  const i128 l2 = dx * dx + dy * dy, dot = wx * dx + wy * dy;
  if (dot <= 0) return 4 * (wx * wx + wy * wy) <= tt;
  if (dot >= l2) return 4 * (i128(x - bx) * (x - bx) + i128(y - by) * (y - by)) <= tt;
  const i128 cross = wx * dy - wy * dx;
  return 4 * cross * cross <= tt * l2;
}

// The incremental midpoint circle, with dash counters running clockwise from the top pixel,
// each octant continuing where the previous one ended.
template <typename F>
void RefCircle(i64 cx, i64 cy, i64 r, const Pen& pen, F plot) {
  if (r == 0) {
    if (RefOn(pen, 0)) plot(cx, cy);
    return;
  }
  std::vector<std::pair<i64, i64>> pts;
  for (i64 x = 0, y = r, d = 1 - r; x <= y; ++x) {
    pts.push_back({x, y});
    if (d < 0) {
      d += 2 * x + 3;
    } else {
      d += 2 * (x - y) + 5;
      --y;
    }
  }
  const i64 n = static_cast<i64>(pts.size());
  for (int o = 0; o < 8; ++o) {
    for (i64 j = 0; j < n; ++j) {
      const auto [x, y] = pts[static_cast<size_t>(j)];
      if (!RefOn(pen, o * n + ((o & 1) ? n - 1 - j : j))) continue;
      static constexpr int kSx[8] = {1, 1, 1, 1, -1, -1, -1, -1};
      static constexpr int kSy[8] = {-1, -1, 1, 1, 1, 1, -1, -1};
      const bool swap = o == 1 || o == 2 || o == 5 || o == 6;
      plot(cx + kSx[o] * (swap ? y : x), cy + kSy[o] * (swap ? x : y));
    }
  }
}

bool InAnnulus(i64 x, i64 y, i64 cx, i64 cy, i64 r, i64 t) {
  const i128 d4 = 4 * (i128(x - cx) * (x - cx) + i128(y - cy) * (y - cy));
  const i128 outer = i128(2 * r + t) * (2 * r + t), inner = 2 * r - t;
  return d4 <= outer && (inner <= 0 || d4 >= inner * inner);
}

// Draws a reference pixel set onto a canvas, keeping only visible pixels.
template <typename T>
auto Plotter(Canvas<T>& c, T colour) {
  return [&c, colour](i64 x, i64 y) {
    if (x >= 0 && y >= 0 && x < c.s().width && y < c.s().height)
      c.set(static_cast<int>(x), static_cast<int>(y), colour);
  };
}

// Pens worth trying against a reference: solid, every dash and two masks.
std::vector<Pen> ThinPens() {
  return {{PenStyle::kSolid, 0, 1},    {PenStyle::kDot, 0, 1},        {PenStyle::kDash, 0, 1},
          {PenStyle::kDashDot, 0, 1},  {PenStyle::kDashDotDot, 0, 1}, {PenStyle::kMask, 0xB3C5, 1},
          {PenStyle::kMask, 0x0001, 0}};
}

// ---------------------------------------------------------------------------------------------
// Thin lines.

TEST(ThinLine, StartsAtFirstPointAndStopsBeforeLast) {
  struct Case {
    int x1, y1, x2, y2;
  };
  const Case cases[] = {{10, 10, 20, 10}, {10, 10, 0, 10},  {10, 10, 10, 20}, {10, 10, 10, 0},
                        {10, 10, 17, 13}, {10, 10, 3, 13},  {10, 10, 13, 17}, {10, 10, 13, 3},
                        {10, 10, 2, 2},   {10, 10, 18, 18}, {10, 10, 11, 10}, {10, 10, 9, 11}};
  for (const Case& k : cases) {
    Canvas8 c(24, 24);
    Line<uint8_t>(c.s(), k.x1, k.y1, k.x2, k.y2, Pen{}, 1, nullptr);
    SCOPED_TRACE(::testing::Message() << k.x1 << "," << k.y1 << " -> " << k.x2 << "," << k.y2);
    EXPECT_EQ(c.at(k.x1, k.y1), 1);
    EXPECT_EQ(c.at(k.x2, k.y2), 0);
    EXPECT_EQ(c.Count(1), std::max(std::abs(k.x2 - k.x1), std::abs(k.y2 - k.y1)));
  }
}

// dx = 8, dy = 3: step 4 lies exactly half way between rows and keeps the start's row.
TEST(ThinLine, HalfStepsStayOnTheStartSide) {
  Canvas8 forward(10, 4), reverse(10, 4);
  Line<uint8_t>(forward.s(), 0, 0, 8, 3, Pen{}, 1, nullptr);
  Line<uint8_t>(reverse.s(), 9, 3, 1, 0, Pen{}, 1, nullptr);
  EXPECT_EQ(forward.Picture(), Pic(R"(
      ##........
      ..###.....
      .....##...
      .......#..
    )"));
  EXPECT_EQ(reverse.Picture(), Pic(R"(
      ..#.......
      ...##.....
      .....###..
      ........##
    )"));
}

TEST(ThinLine, ZeroLengthDrawsNothingAndLeavesTheDashWhereItWas) {
  Canvas8 c(8, 8);
  DashState dash{5};
  Line<uint8_t>(c.s(), 3, 3, 3, 3, Pen{PenStyle::kDot, 0, 1}, 1, &dash);
  EXPECT_EQ(c.Count(1), 0);
  EXPECT_EQ(dash.counter % 48, 5);
}

// The strong test: clipping computes the first and last visible step in closed form; the
// pixels must be exactly those of the unclipped walk that fall on the surface, for every pen.
TEST(ThinLine, ClippedWalkMatchesUnclippedWalk) {
  std::mt19937_64 rng(20240611);
  const int w = 37, h = 23;
  const std::vector<Pen> pens = ThinPens();
  auto coord = [&](int kind, int extent) -> int {
    switch (kind) {
      case 0:
        return std::uniform_int_distribution<int>(-40, extent + 40)(rng);
      case 1:
        return std::uniform_int_distribution<int>(-3000, 3000)(rng);
      default:
        return std::uniform_int_distribution<int>(-98304, 98304)(rng);
    }
  };
  for (int iter = 0; iter < 4000; ++iter) {
    const int kind1 = iter % 3, kind2 = (iter / 3) % 3;
    const int x1 = coord(kind1, w), y1 = coord(kind1, h);
    const int x2 = coord(kind2, w), y2 = coord(kind2, h);
    // A second segment continuing from the first, so the dash must carry across.
    const int x3 = coord(0, w), y3 = coord(0, h);
    const Pen pen = pens[static_cast<size_t>(iter) % pens.size()];
    const int start = static_cast<int>(rng() % 48);

    Canvas8 got(w, h), want(w, h);
    DashState dash{start};
    Line<uint8_t>(got.s(), x1, y1, x2, y2, pen, 7, &dash);
    Line<uint8_t>(got.s(), x2, y2, x3, y3, pen, 9, &dash);

    i64 counter = start;
    i64 steps = 0;
    RefWalk(x1, y1, x2, y2, [&](i64 i, i64 x, i64 y) {
      if (RefOn(pen, counter + i)) Plotter(want, uint8_t{7})(x, y);
      steps = i + 1;
    });
    counter += steps;
    RefWalk(x2, y2, x3, y3, [&](i64 i, i64 x, i64 y) {
      if (RefOn(pen, counter + i)) Plotter(want, uint8_t{9})(x, y);
    });
    ASSERT_TRUE(SameSurface(got, want))
        << "line " << x1 << "," << y1 << " -> " << x2 << "," << y2 << " -> " << x3 << "," << y3
        << " pen " << int(pen.style) << " start " << start;
    ASSERT_TRUE(got.GuardIntact());
  }
}

// End points beyond 2^30 take the wide-arithmetic clip; check it against the closed form per
// visible column, on lines aimed through the surface from anywhere in the int range.
TEST(ThinLine, HugeCoordinatesMatchClosedForm) {
  std::mt19937_64 rng(77);
  const int w = 29, h = 31;
  auto clampInt = [](i64 v) { return static_cast<int>(std::clamp<i64>(v, INT_MIN, INT_MAX)); };
  for (int iter = 0; iter < 3000; ++iter) {
    const i64 px = static_cast<i64>(rng() % w), py = static_cast<i64>(rng() % h);
    const int x1 = static_cast<int>(static_cast<uint32_t>(rng()));
    const int y1 = iter % 2 ? static_cast<int>(static_cast<uint32_t>(rng()))
                            : static_cast<int>(rng() % 2001) - 1000;
    const int x2 = clampInt(2 * px - x1 + static_cast<i64>(rng() % 7) - 3);
    const int y2 = clampInt(2 * py - y1 + static_cast<i64>(rng() % 7) - 3);
    const Pen pen = ThinPens()[static_cast<size_t>(iter) % 7];
    Canvas8 got(w, h), want(w, h);
    Line<uint8_t>(got.s(), x1, y1, x2, y2, pen, 1, nullptr);
    RefWalkClosedForm(x1, y1, x2, y2, w, h, [&](i64 i, i64 x, i64 y) {
      if (RefOn(pen, i)) want.set(static_cast<int>(x), static_cast<int>(y), 1);
    });
    ASSERT_TRUE(SameSurface(got, want)) << "line " << x1 << "," << y1 << " -> " << x2 << "," << y2;
    ASSERT_TRUE(got.GuardIntact());
  }
  // The full diagonal of the int range is the surface's own diagonal.
  Canvas8 c(16, 16);
  Line<uint8_t>(c.s(), INT_MIN, INT_MIN, INT_MAX, INT_MAX, Pen{}, 1, nullptr);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(c.at(i, i), 1) << i;
  EXPECT_EQ(c.Count(1), 16);
}

// A solid thin line with both end points on the surface is walked from both ends at once, with
// no clipping. Compare it with the reference walk in every direction up to 12 steps from a
// point, and on random lines of every length, most on the surface and some across its edges,
// for both pixel types; the dash counter must still advance by the steps walked.
template <typename T>
void SolidLinesMatchTheWalk(uint64_t seed) {
  const int w = 61, h = 47;
  const T colour = static_cast<T>(0x5A5A5A5Au);
  std::mt19937_64 rng(seed);
  auto check = [&](int x1, int y1, int x2, int y2) -> ::testing::AssertionResult {
    const int start = static_cast<int>(rng() % 48);
    Canvas<T> got(w, h), want(w, h);
    DashState dash{start};
    Line<T>(got.s(), x1, y1, x2, y2, Pen{}, colour, &dash);
    auto plot = Plotter(want, colour);
    i64 steps = 0;
    RefWalk(x1, y1, x2, y2, [&](i64 i, i64 x, i64 y) {
      plot(x, y);
      steps = i + 1;
    });
    auto result = SameSurface(got, want);
    if (result && !got.GuardIntact()) result = ::testing::AssertionFailure() << "guard written";
    if (result && dash.counter != (start + steps) % 48)
      result = ::testing::AssertionFailure() << "dash counter " << dash.counter;
    return result << " line " << x1 << "," << y1 << " -> " << x2 << "," << y2;
  };
  for (int dy = -12; dy <= 12; ++dy) {
    for (int dx = -12; dx <= 12; ++dx) ASSERT_TRUE(check(30, 23, 30 + dx, 23 + dy));
  }
  auto near = [&](int extent) { return static_cast<int>(rng() % (extent + 4)) - 2; };
  for (int iter = 0; iter < 4000; ++iter) {
    const int x1 = near(w), y1 = near(h);
    if (iter % 2) {
      ASSERT_TRUE(check(x1, y1, near(w), near(h)));
    } else {
      const int reach = 1 + static_cast<int>(rng() % 6);
      ASSERT_TRUE(check(x1, y1, x1 + static_cast<int>(rng() % (2 * reach + 1)) - reach,
                        y1 + static_cast<int>(rng() % (2 * reach + 1)) - reach));
    }
  }
}

TEST(ThinLine, SolidLinesOnTheSurfaceMatchTheWalkEightBit) {
  SolidLinesMatchTheWalk<uint8_t>(5);
}
TEST(ThinLine, SolidLinesOnTheSurfaceMatchTheWalkTrueColour) {
  SolidLinesMatchTheWalk<uint32_t>(6);
}

TEST(ThinLine, DashPatternsAlongAStraightRun) {
  struct Case {
    Pen pen;
    const char* first48;
  };
  const Case cases[] = {
      {{PenStyle::kSolid, 0, 1}, "################################################"},
      {{PenStyle::kDot, 0, 1}, "###...###...###...###...###...###...###...###..."},
      {{PenStyle::kDash, 0, 1}, "##################......##################......"},
      {{PenStyle::kDashDot, 0, 1}, "#########......###......#########......###......"},
      {{PenStyle::kDashDotDot, 0, 1}, "#########...###...###...#########...###...###..."},
      {{PenStyle::kMask, 0x00F5, 1}, "#.#.####........#.#.####........#.#.####........"},
      {{PenStyle::kNull, 0, 1}, "................................................"},
  };
  for (const Case& k : cases) {
    Canvas8 c(50, 1);
    Line<uint8_t>(c.s(), 0, 0, 48, 0, k.pen, 1, nullptr);
    EXPECT_EQ(c.Picture().substr(0, 48), k.first48) << "style " << int(k.pen.style);
  }
}

TEST(ThinLine, MaskRestartsOnEachCallUnlessTheCallerCarriesIt) {
  const Pen pen{PenStyle::kMask, 0x0003, 1};  // first two pixels of every 16
  Canvas8 fresh(40, 2), carried(40, 2);
  Line<uint8_t>(fresh.s(), 0, 0, 10, 0, pen, 1, nullptr);
  Line<uint8_t>(fresh.s(), 10, 0, 30, 0, pen, 1, nullptr);
  DashState dash;
  Line<uint8_t>(carried.s(), 0, 0, 10, 0, pen, 1, &dash);
  Line<uint8_t>(carried.s(), 10, 0, 30, 0, pen, 1, &dash);
  EXPECT_EQ(fresh.Picture(), Pic(R"(
      ##........##..............##............
      ........................................
    )"));
  EXPECT_EQ(carried.Picture(), Pic(R"(
      ##..............##......................
      ........................................
    )"));
}

// ---------------------------------------------------------------------------------------------
// Wide lines.

TEST(WideLine, ThreePixelHorizontalLineHasRoundedSquareEnds) {
  Canvas8 c(32, 20);
  Line<uint8_t>(c.s(), 10, 10, 20, 10, Pen{PenStyle::kSolid, 0, 3}, 1, nullptr);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 32; ++x) {
      const bool in = y >= 9 && y <= 11 && x >= 9 && x <= 21;
      EXPECT_EQ(c.at(x, y), in ? 1 : 0) << x << "," << y;
    }
  }
}

// A zero-length segment is a disk; distance exactly t/2 is inside.
TEST(WideLine, DiskPicturesIncludeExactTies) {
  struct Case {
    int t;
    std::string picture;
  };
  const Case cases[] = {
      {2, Pic(R"(
          .......
          .......
          ...#...
          ..###..
          ...#...
          .......
          .......
        )")},
      {3, Pic(R"(
          .......
          .......
          ..###..
          ..###..
          ..###..
          .......
          .......
        )")},
      {4, Pic(R"(
          .......
          ...#...
          ..###..
          .#####.
          ..###..
          ...#...
          .......
        )")},
      {5, Pic(R"(
          .......
          ..###..
          .#####.
          .#####.
          .#####.
          ..###..
          .......
        )")},
      {6, Pic(R"(
          ...#...
          .#####.
          .#####.
          #######
          .#####.
          .#####.
          ...#...
        )")},
  };
  for (const Case& k : cases) {
    Canvas8 c(7, 7);
    Line<uint8_t>(c.s(), 3, 3, 3, 3, Pen{PenStyle::kSolid, 0, k.t}, 1, nullptr);
    EXPECT_EQ(c.Picture(), k.picture) << "thickness " << k.t;
  }
}

TEST(WideLine, MatchesDistanceToSegment) {
  std::mt19937_64 rng(4242);
  const int w = 41, h = 29;
  std::uniform_int_distribution<int> cx(-25, w + 25), cy(-25, h + 25), th(2, 14);
  for (int iter = 0; iter < 2500; ++iter) {
    const int x1 = cx(rng), y1 = cy(rng);
    int x2 = cx(rng), y2 = cy(rng);
    if (iter % 10 == 0) x2 = x1;  // vertical
    if (iter % 10 == 1) y2 = y1;  // horizontal
    if (iter % 10 == 2) x2 = x1, y2 = y1;
    const int t = iter % 50 == 3 ? 1000 : th(rng);
    Canvas8 got(w, h), want(w, h);
    Line<uint8_t>(got.s(), x1, y1, x2, y2, Pen{PenStyle::kSolid, 0, t}, 1, nullptr);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (InCapsule(x, y, x1, y1, x2, y2, t)) want.set(x, y, 1);
    ASSERT_TRUE(SameSurface(got, want))
        << "line " << x1 << "," << y1 << " -> " << x2 << "," << y2 << " t " << t;
    ASSERT_TRUE(got.GuardIntact());
  }
}

// End points beyond 2^24 take the 128-bit row arithmetic.
TEST(WideLine, HugeCoordinatesMatchDistanceToSegment) {
  std::mt19937_64 rng(99);
  const int w = 23, h = 19;
  for (int iter = 0; iter < 1500; ++iter) {
    const i64 px = static_cast<i64>(rng() % w), py = static_cast<i64>(rng() % h);
    const int span = 1 << (24 + iter % 6);
    const int x1 = static_cast<int>(static_cast<i64>(rng() % (2 * i64{span})) - span);
    const int y1 = static_cast<int>(static_cast<i64>(rng() % (2 * i64{span})) - span);
    const int x2 = static_cast<int>(2 * px - x1 + static_cast<i64>(rng() % 41) - 20);
    const int y2 = static_cast<int>(2 * py - y1 + static_cast<i64>(rng() % 41) - 20);
    const int t = 2 + static_cast<int>(rng() % 30);
    Canvas8 got(w, h), want(w, h);
    Line<uint8_t>(got.s(), x1, y1, x2, y2, Pen{PenStyle::kSolid, 0, t}, 1, nullptr);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (InCapsule(x, y, x1, y1, x2, y2, t)) want.set(x, y, 1);
    ASSERT_TRUE(SameSurface(got, want))
        << "line " << x1 << "," << y1 << " -> " << x2 << "," << y2 << " t " << t;
  }
}

TEST(WideLine, IsAlwaysSolidAndLeavesTheDashAlone) {
  Canvas8 solid(40, 12), dashed(40, 12);
  Line<uint8_t>(solid.s(), 2, 3, 37, 8, Pen{PenStyle::kSolid, 0, 4}, 1, nullptr);
  DashState dash{11};
  Line<uint8_t>(dashed.s(), 2, 3, 37, 8, Pen{PenStyle::kDashDot, 0, 4}, 1, &dash);
  EXPECT_TRUE(SameSurface(dashed, solid));
  EXPECT_EQ(dash.counter, 11);
  Canvas8 none(40, 12);
  Line<uint8_t>(none.s(), 2, 3, 37, 8, Pen{PenStyle::kNull, 0, 4}, 1, nullptr);
  EXPECT_EQ(none.Count(1), 0);
}

// ---------------------------------------------------------------------------------------------
// Circles.

TEST(Circle, SpansExactlyCentrePlusMinusRadius) {
  for (int r : {1, 2, 3, 7, 10, 31}) {
    Canvas8 c(120, 120);
    Circle<uint8_t>(c.s(), 60, 60, r, Pen{}, 1);
    int xmin = 999, xmax = -1, ymin = 999, ymax = -1;
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 120; ++x)
        if (c.at(x, y)) {
          xmin = std::min(xmin, x), xmax = std::max(xmax, x);
          ymin = std::min(ymin, y), ymax = std::max(ymax, y);
        }
    EXPECT_EQ(xmin, 60 - r);
    EXPECT_EQ(xmax, 60 + r);
    EXPECT_EQ(ymin, 60 - r);
    EXPECT_EQ(ymax, 60 + r);
    EXPECT_EQ(c.at(60 - r, 60), 1);
    EXPECT_EQ(c.at(60 + r, 60), 1);
    EXPECT_EQ(c.at(60, 60 - r), 1);
    EXPECT_EQ(c.at(60, 60 + r), 1);
  }
  Canvas8 c(200, 200);
  Circle<uint8_t>(c.s(), 100, 100, 10, Pen{}, 1);
  EXPECT_EQ(c.at(90, 100), 1);
  EXPECT_EQ(c.at(110, 100), 1);
  EXPECT_EQ(c.at(89, 100), 0);
  EXPECT_EQ(c.at(111, 100), 0);
}

TEST(Circle, SmallRadiiPictures) {
  Canvas8 c(7, 7);
  Circle<uint8_t>(c.s(), 3, 3, 3, Pen{}, 1);
  EXPECT_EQ(c.Picture(), Pic(R"(
                ..###..
                .#...#.
                #.....#
                #.....#
                #.....#
                .#...#.
                ..###..
              )"));
  Canvas8 zero(5, 5);
  Circle<uint8_t>(zero.s(), 2, 2, 0, Pen{}, 1);
  EXPECT_EQ(zero.Picture(), Pic(R"(
      .....
      .....
      ..#..
      .....
      .....
    )"));
  Canvas8 negative(5, 5);
  Circle<uint8_t>(negative.s(), 2, 2, -3, Pen{}, 1);
  EXPECT_EQ(negative.Count(1), 0);
}

// Small circles on the surface are walked incrementally, clipped ones row by row from the
// closed form of the walk. Both must give the incremental walk's pixels, for every radius.
TEST(Circle, EveryPathMatchesTheIncrementalWalkUpTo400) {
  for (int r = 0; r <= 400; ++r) {
    const int size = 2 * r + 3;
    struct Placement {
      int w, h, cx, cy;
    };
    const Placement places[] = {
        {size, size, r + 1, r + 1},                // wholly inside: incremental
        {size, size, r - 1, r + 2},                // crosses the left edge: row by row
        {r + 2, r / 2 + 3, r / 2 + 1, r / 3 + 1},  // clipped on all four sides
        {size, 5, r + 1, -r + 2},                  // only the bottom rows
    };
    for (const Placement& p : places) {
      Canvas8 got(p.w, p.h), want(p.w, p.h);
      Circle<uint8_t>(got.s(), p.cx, p.cy, r, Pen{}, 1);
      RefCircle(p.cx, p.cy, r, Pen{}, Plotter(want, uint8_t{1}));
      ASSERT_TRUE(SameSurface(got, want)) << "r " << r << " centre " << p.cx << "," << p.cy;
      ASSERT_TRUE(got.GuardIntact());
    }
  }
}

TEST(Circle, DashesFollowTheOctantWalkOnEveryPath) {
  std::mt19937_64 rng(5);
  const std::vector<Pen> pens = ThinPens();
  for (int iter = 0; iter < 1500; ++iter) {
    const int r = static_cast<int>(rng() % 60);
    const bool inside = iter % 2 == 0;
    const int w = inside ? 2 * r + 5 : 40, h = inside ? 2 * r + 4 : 30;
    const int cx = inside ? r + 2 : static_cast<int>(rng() % 80) - 20;
    const int cy = inside ? r + 1 : static_cast<int>(rng() % 70) - 20;
    const Pen pen = pens[static_cast<size_t>(iter) % pens.size()];
    Canvas8 got(w, h), want(w, h);
    Circle<uint8_t>(got.s(), cx, cy, r, pen, 1);
    RefCircle(cx, cy, r, pen, Plotter(want, uint8_t{1}));
    ASSERT_TRUE(SameSurface(got, want))
        << "r " << r << " centre " << cx << "," << cy << " pen " << int(pen.style);
  }
}

TEST(Circle, HugeRadiusCostsOnlyTheVisibleRows) {
  // Centred on the page, radius 65535: nothing shows.
  Canvas8 page(80, 60);
  Circle<uint8_t>(page.s(), 40, 30, 65535, Pen{}, 1);
  EXPECT_EQ(page.Count(1), 0);
  // The top of the same circle grazing the page, against the full walk; solid and dotted.
  for (const Pen& pen : {Pen{}, Pen{PenStyle::kDashDotDot, 0, 1}}) {
    Canvas8 got(80, 60), want(80, 60);
    Circle<uint8_t>(got.s(), 37, 65535 + 20, 65535, pen, 1);
    RefCircle(37, 65535 + 20, 65535, pen, Plotter(want, uint8_t{1}));
    EXPECT_GT(want.Count(1), 0);
    EXPECT_TRUE(SameSurface(got, want));
  }
  // A centre far to the left with the right edge crossing the page.
  Canvas8 got(80, 60), want(80, 60);
  Circle<uint8_t>(got.s(), -90000, 31, 90040, Pen{}, 1);
  RefCircle(-90000, 31, 90040, Pen{}, Plotter(want, uint8_t{1}));
  EXPECT_GT(want.Count(1), 0);
  EXPECT_TRUE(SameSurface(got, want));
}

// A surface that lies wholly inside the ring is skipped without walking; one-pixel surfaces on
// each ring pixel (the closest a visible pixel can be to the centre) and on the pixel just
// inside it check the edge of that shortcut, for thin and wide pens.
TEST(Circle, OnePixelSurfacesAtTheRingsInnerEdge) {
  for (int r = 1; r <= 120; ++r) {
    std::vector<std::pair<i64, i64>> ring;
    RefCircle(0, 0, r, Pen{}, [&](i64 x, i64 y) { ring.push_back({x, y}); });
    for (const auto& [x, y] : ring) {
      for (int inward = 0; inward <= 1; ++inward) {
        const i64 px = x - inward * (x > 0) + inward * (x < 0);
        const i64 py = y - inward * (y > 0) + inward * (y < 0);
        const bool onRing =
            std::find(ring.begin(), ring.end(), std::make_pair(px, py)) != ring.end();
        Canvas8 c(1, 1);
        Circle<uint8_t>(c.s(), static_cast<int>(-px), static_cast<int>(-py), r, Pen{}, 1);
        ASSERT_EQ(c.at(0, 0), onRing ? 1 : 0) << "r " << r << " at " << px << "," << py;
        for (int t : {2, 3, 6}) {
          Canvas8 w(1, 1);
          Circle<uint8_t>(w.s(), static_cast<int>(-px), static_cast<int>(-py), r,
                          Pen{PenStyle::kSolid, 0, t}, 1);
          ASSERT_EQ(w.at(0, 0), InAnnulus(px, py, 0, 0, r, t) ? 1 : 0)
              << "r " << r << " t " << t << " at " << px << "," << py;
        }
      }
    }
  }
}

TEST(Circle, WidePenDrawsTheAnnulus) {
  Canvas8 pic(11, 11);
  Circle<uint8_t>(pic.s(), 5, 5, 4, Pen{PenStyle::kSolid, 0, 3}, 1);
  EXPECT_EQ(pic.Picture(), Pic(R"(
                ...#####...
                ..#######..
                .#########.
                ####...####
                ###.....###
                ###.....###
                ###.....###
                ####...####
                .#########.
                ..#######..
                ...#####...
              )"));
  std::mt19937_64 rng(31);
  for (int iter = 0; iter < 1500; ++iter) {
    const int w = 37, h = 27;
    const int cx = static_cast<int>(rng() % 90) - 25, cy = static_cast<int>(rng() % 80) - 25;
    const int r = static_cast<int>(rng() % 40), t = 2 + static_cast<int>(rng() % 12);
    const Pen pen{iter % 3 ? PenStyle::kSolid : PenStyle::kDot, 0, t};  // wide: always solid
    Canvas8 got(w, h), want(w, h);
    Circle<uint8_t>(got.s(), cx, cy, r, pen, 1);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (InAnnulus(x, y, cx, cy, r, t)) want.set(x, y, 1);
    ASSERT_TRUE(SameSurface(got, want)) << "centre " << cx << "," << cy << " r " << r << " t " << t;
    ASSERT_TRUE(got.GuardIntact());
  }
}

// ---------------------------------------------------------------------------------------------
// Rectangles and fills.

TEST(FillRect, InclusiveWithCornersInAnyOrder) {
  const int corners[][4] = {{2, 1, 5, 3}, {5, 3, 2, 1}, {5, 1, 2, 3}, {2, 3, 5, 1}};
  for (const auto& k : corners) {
    Canvas8 c(8, 5);
    Brush<uint8_t> b;
    b.fg = 1;
    FillRect<uint8_t>(c.s(), k[0], k[1], k[2], k[3], b);
    EXPECT_EQ(c.Picture(), Pic(R"(
        ........
        ..####..
        ..####..
        ..####..
        ........
      )"));
  }
}

TEST(FillRect, ClipsToTheSurface) {
  struct Case {
    int x1, y1, x2, y2, count;
  };
  const Case cases[] = {
      {-5, -5, 2, 1, 3 * 2}, {6, 3, 100, 100, 2 * 2}, {INT_MIN, INT_MIN, INT_MAX, INT_MAX, 8 * 5},
      {-9, 0, -1, 4, 0},     {0, 5, 7, 9, 0},         {3, 2, 3, 2, 1}};
  for (const Case& k : cases) {
    Canvas8 c(8, 5);
    Brush<uint8_t> b;
    b.fg = 1;
    FillRect<uint8_t>(c.s(), k.x1, k.y1, k.x2, k.y2, b);
    EXPECT_EQ(c.Count(1), k.count) << k.x1 << "," << k.y1 << " " << k.x2 << "," << k.y2;
    EXPECT_TRUE(c.GuardIntact());
  }
}

TEST(FillRect, PatternsAlignToTheSurfaceOrigin) {
  Brush<uint8_t> b;
  b.kind = BrushKind::kPattern;
  const uint8_t rows[8] = {0x80, 0x41, 0x22, 0x14, 0x08, 0x00, 0xFF, 0x5A};
  std::copy(rows, rows + 8, b.rows);
  b.fg = 1;
  b.bg = 2;
  for (bool opaque : {true, false}) {
    b.opaque = opaque;
    Canvas8 c(30, 25, 9);
    FillRect<uint8_t>(c.s(), 27, 22, 3, 5, b);
    for (int y = 0; y < 25; ++y) {
      for (int x = 0; x < 30; ++x) {
        uint8_t want = 9;
        if (x >= 3 && x <= 27 && y >= 5 && y <= 22) {
          const bool set = (rows[y % 8] >> (7 - x % 8)) & 1;
          want = set ? 1 : (opaque ? 2 : 9);
        }
        ASSERT_EQ(c.at(x, y), want) << x << "," << y << (opaque ? " opaque" : " transparent");
      }
    }
  }
}

TEST(FillRect, HatchesHaveTheirDocumentedGeometry) {
  using Rule = bool (*)(int, int);
  const Rule rules[6] = {
      [](int, int y) { return y % 8 == 0; },
      [](int x, int) { return x % 8 == 0; },
      [](int x, int y) { return x % 8 == 0 || y % 8 == 0; },
      [](int x, int y) { return (x + y) % 8 == 7; },
      [](int x, int y) { return (x - y + 64) % 8 == 0; },
      [](int x, int y) { return (x + y) % 8 == 7 || (x - y + 64) % 8 == 0; },
  };
  for (int i = 0; i < 6; ++i) {
    Brush<uint8_t> b;
    b.kind = BrushKind::kPattern;
    std::copy(kHatchRows[i], kHatchRows[i] + 8, b.rows);
    b.fg = 1;
    Canvas8 c(20, 20);
    FillRect<uint8_t>(c.s(), 0, 0, 19, 19, b);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) ASSERT_EQ(c.at(x, y), rules[i](x, y) ? 1 : 0) << i;
  }
}

TEST(FillRect, HollowBrushFillsNothing) {
  Canvas8 c(8, 8, 3);
  Brush<uint8_t> b;
  b.kind = BrushKind::kHollow;
  b.fg = 1;
  FillRect<uint8_t>(c.s(), 0, 0, 7, 7, b);
  EXPECT_EQ(c.Count(3), 64);
}

TEST(Fill, SetsEveryPixelAndNoPadding) {
  Canvas<uint32_t> c(13, 7);
  Fill<uint32_t>(c.s(), 0x123456u);
  EXPECT_EQ(c.Count(0x123456u), 13 * 7);
  EXPECT_TRUE(c.GuardIntact());
  uint8_t packed[6 * 4];
  Fill<uint8_t>(Surface8{packed, 6, 4, 6}, 4);
  EXPECT_TRUE(std::all_of(packed, packed + 24, [](uint8_t v) { return v == 4; }));
}

// ---------------------------------------------------------------------------------------------
// Conversion to RGB.

// Both conversion paths (ToRgb may take a vector path on this processor), across widths that
// hit every block size and tail, table entries using all four bytes, and pitches wider than
// the rows whose padding must stay untouched.
TEST(ToRgb, EightBitGoesThroughTheTableForEveryWidth) {
  uint32_t lut[256];
  for (uint32_t i = 0; i < 256; ++i) lut[i] = i * 2654435761u;
  using Convert = void (*)(const Surface8&, const uint32_t(&)[256], uint32_t*, int);
  const Convert paths[] = {&ToRgb, &ToRgbPortable};
  const int widths[] = {0,  1,  2,  3,  7,   8,   9,   15,  16,  17,
                        21, 63, 64, 65, 100, 127, 128, 129, 255, 800};
  for (int path = 0; path < 2; ++path) {
    const Convert convert = paths[path];
    for (int w : widths) {
      const int h = 3, srcPitch = w + 5, dstPitch = w + 7;
      std::vector<uint8_t> src(static_cast<size_t>(srcPitch * h));
      for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 37 + 11);
      std::vector<uint32_t> dst(static_cast<size_t>(dstPitch * h), 0xDEADBEEFu);
      convert(Surface8{src.data(), w, h, srcPitch}, lut, dst.data(), dstPitch);
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < dstPitch; ++x) {
          const uint32_t want =
              x < w ? lut[src[static_cast<size_t>(y * srcPitch + x)]] : 0xDEADBEEFu;
          ASSERT_EQ(dst[static_cast<size_t>(y * dstPitch + x)], want)
              << (path == 0 ? "ToRgb" : "ToRgbPortable") << " width " << w << ": " << x << "," << y;
        }
      }
    }
  }
}

TEST(ToRgb, TrueColourSwapsRedAndBlue) {
  const uint32_t src[2 * 3] = {0x00112233u, 0x00FF0000u, 0x000000FFu,
                               0x0000FF00u, 0x00ABCDEFu, 0x00000000u};
  uint32_t dst[2 * 4];
  std::fill(dst, dst + 8, 0xDEADBEEFu);
  ToRgb(Surface32{const_cast<uint32_t*>(src), 3, 2, 3}, dst, 4);
  const uint32_t want[8] = {0x00332211u, 0x000000FFu, 0x00FF0000u, 0xDEADBEEFu,
                            0x0000FF00u, 0x00EFCDABu, 0x00000000u, 0xDEADBEEFu};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(dst[i], want[i]) << i;
}

// ---------------------------------------------------------------------------------------------
// Robustness.

TEST(Robustness, EmptySurfacesAndNegativeSizesDoNothing) {
  Brush<uint8_t> solid;
  solid.fg = 1;
  for (const Surface8& s :
       {Surface8{}, Surface8{nullptr, 0, 10, 0}, Surface8{nullptr, 10, 0, 10}}) {
    Pixel<uint8_t>(s, 0, 0, 1);
    Line<uint8_t>(s, -5, -5, 5, 5, Pen{}, 1, nullptr);
    Line<uint8_t>(s, -5, -5, 5, 5, Pen{PenStyle::kSolid, 0, 5}, 1, nullptr);
    Circle<uint8_t>(s, 0, 0, 3, Pen{}, 1);
    Circle<uint8_t>(s, 0, 0, 3, Pen{PenStyle::kSolid, 0, 3}, 1);
    FillRect<uint8_t>(s, 0, 0, 5, 5, solid);
    Fill<uint8_t>(s, 1);
    uint32_t lut[256] = {};
    ToRgb(s, lut, nullptr, 0);
  }
  // Thickness zero or negative is a thin pen.
  Canvas8 thin(20, 6), negative(20, 6);
  Line<uint8_t>(thin.s(), 1, 1, 18, 4, Pen{}, 1, nullptr);
  Line<uint8_t>(negative.s(), 1, 1, 18, 4, Pen{PenStyle::kSolid, 0, -7}, 1, nullptr);
  EXPECT_TRUE(SameSurface(negative, thin));
}

// Arbitrary, often extreme, arguments for every primitive: nothing outside the surface changes.
template <typename T>
void ExtremeInputsStayInside(uint64_t seed) {
  std::mt19937_64 rng(seed);
  const int extremes[] = {INT_MIN, INT_MIN + 1, -98304, -65536, -32768,      -1,
                          0,       1,           2,      3,      15,          16,
                          17,      32767,       65535,  98304,  INT_MAX - 1, INT_MAX};
  auto any = [&]() -> int {
    switch (rng() % 3) {
      case 0:
        return extremes[rng() % std::size(extremes)];
      case 1:
        return static_cast<int>(rng() % 41) - 12;
      default:
        return static_cast<int>(static_cast<uint32_t>(rng()));
    }
  };
  const PenStyle styles[] = {PenStyle::kSolid, PenStyle::kDot,        PenStyle::kDashDot,
                             PenStyle::kDash,  PenStyle::kDashDotDot, PenStyle::kMask,
                             PenStyle::kNull};
  for (int iter = 0; iter < 20000; ++iter) {
    Canvas<T> c(1 + static_cast<int>(rng() % 17), 1 + static_cast<int>(rng() % 13));
    const T colour = static_cast<T>(0x5A5A5A5Au);
    Pen pen{styles[rng() % 7], static_cast<uint16_t>(rng()), 1};
    switch (rng() % 4) {
      case 0:
        pen.thickness = any();
        break;
      case 1:
        pen.thickness = 2 + static_cast<int>(rng() % 9);
        break;
      default:
        break;
    }
    DashState dash{any()};
    Brush<T> brush;
    brush.kind = static_cast<BrushKind>(rng() % 3);
    for (uint8_t& row : brush.rows) row = static_cast<uint8_t>(rng());
    brush.opaque = rng() % 2;
    brush.fg = colour;
    brush.bg = static_cast<T>(0x3C3C3C3Cu);
    const int a = any(), b = any(), x = any(), y = any(), r = any();
    switch (iter % 5) {
      case 0:
        Pixel<T>(c.s(), a, b, colour);
        break;
      case 1:
        Line<T>(c.s(), a, b, x, y, pen, colour, rng() % 2 ? &dash : nullptr);
        break;
      case 2:
        Circle<T>(c.s(), a, b, r, pen, colour);
        break;
      case 3:
        FillRect<T>(c.s(), a, b, x, y, brush);
        break;
      default:
        Fill<T>(c.s(), colour);
        break;
    }
    ASSERT_TRUE(c.GuardIntact()) << "iteration " << iter << " args " << a << " " << b << " " << x
                                 << " " << y << " r " << r << " t " << pen.thickness;
  }
}

TEST(Robustness, ExtremeInputsWriteNothingOutsideEightBit) {
  ExtremeInputsStayInside<uint8_t>(1);
}
TEST(Robustness, ExtremeInputsWriteNothingOutsideTrueColour) {
  ExtremeInputsStayInside<uint32_t>(2);
}

}  // namespace
}  // namespace easel::raster
