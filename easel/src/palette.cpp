#include "palette.h"

#include <array>

namespace easel::palette {
namespace {

constexpr Rgb kText[16] = {
    {0, 0, 0},     {0, 0, 168},     {0, 168, 0},    {0, 168, 168},   {168, 0, 0},   {168, 0, 168},
    {168, 84, 0},  {168, 168, 168}, {84, 84, 84},   {84, 84, 252},   {84, 252, 84}, {84, 252, 252},
    {252, 84, 84}, {252, 84, 252},  {252, 252, 84}, {252, 252, 252},
};

constexpr uint8_t kGreys[16] = {0,   20,  32,  44,  56,  68,  80,  96,
                                112, 128, 144, 160, 180, 200, 224, 252};

// Nine runs of 24 hues; each run walks the colour wheel blue -> magenta -> red -> yellow ->
// green -> cyan at five levels L0 < L1 < L2 < L3 < L4.
constexpr uint8_t kRunLevels[9][5] = {
    {0, 64, 124, 188, 252}, {124, 156, 188, 220, 252}, {180, 196, 216, 232, 252},
    {0, 28, 56, 84, 112},   {56, 68, 84, 96, 112},     {80, 88, 96, 104, 112},
    {0, 16, 32, 48, 64},    {32, 40, 48, 56, 64},      {44, 48, 52, 60, 64},
};
// Per hue of a run: the level index of red, green and blue.
constexpr uint8_t kRunShape[24][3] = {
    {0, 0, 4}, {1, 0, 4}, {2, 0, 4}, {3, 0, 4}, {4, 0, 4}, {4, 0, 3}, {4, 0, 2}, {4, 0, 1},
    {4, 0, 0}, {4, 1, 0}, {4, 2, 0}, {4, 3, 0}, {4, 4, 0}, {3, 4, 0}, {2, 4, 0}, {1, 4, 0},
    {0, 4, 0}, {0, 4, 1}, {0, 4, 2}, {0, 4, 3}, {0, 4, 4}, {0, 3, 4}, {0, 2, 4}, {0, 1, 4},
};

constexpr std::array<Rgb, 256> MakeVga() {
  std::array<Rgb, 256> p{};
  for (int i = 0; i < 16; ++i) p[i] = kText[i];
  for (int i = 0; i < 16; ++i) p[16 + i] = Rgb{kGreys[i], kGreys[i], kGreys[i]};
  for (int run = 0; run < 9; ++run) {
    for (int h = 0; h < 24; ++h) {
      const uint8_t* l = kRunLevels[run];
      p[32 + run * 24 + h] = Rgb{l[kRunShape[h][0]], l[kRunShape[h][1]], l[kRunShape[h][2]]};
    }
  }
  return p;  // 248..255 stay black
}
constexpr std::array<Rgb, 256> kVga = MakeVga();

// The named colours. Ten have fixed places that programs rely on; the other entries hold a
// 6 x 6 x 6 colour cube followed by a grey ramp, so every palette region has a name near it.
constexpr std::array<Rgb, 256> MakeNamed() {
  std::array<Rgb, 256> n{};
  constexpr int kFixed[] = {12, 15, 59, 105, 122, 127, 142, 207, 250, 253};
  constexpr Rgb kFixedRgb[] = {{0, 0, 0},       {0, 0, 255},     {84, 84, 84},  {0, 128, 0},
                               {173, 216, 230}, {168, 168, 168}, {255, 0, 255}, {255, 0, 0},
                               {255, 255, 255}, {255, 255, 0}};
  bool fixed[256] = {};
  for (int k = 0; k < 10; ++k) fixed[kFixed[k]] = true;
  int generated = 0;
  for (int i = 0; i < 256; ++i) {
    if (fixed[i]) continue;
    if (generated < 216) {
      const int g = generated;
      n[i] = Rgb{static_cast<uint8_t>(g / 36 * 51), static_cast<uint8_t>(g / 6 % 6 * 51),
                 static_cast<uint8_t>(g % 6 * 51)};
    } else {
      const int level = (generated - 216 + 1) * 255 / 31;
      n[i] = Rgb{static_cast<uint8_t>(level), static_cast<uint8_t>(level),
                 static_cast<uint8_t>(level)};
    }
    ++generated;
  }
  for (int k = 0; k < 10; ++k) n[kFixed[k]] = kFixedRgb[k];
  return n;
}

}  // namespace

constinit const std::array<Rgb, 256> kNamed = MakeNamed();

int DefaultPalette(int driver, Rgb (&out)[256]) {
  switch (driver) {
    case 1:
      out[0] = Rgb{0, 0, 0};
      out[1] = Rgb{255, 255, 255};
      return 2;
    case 2:
      for (int i = 0; i < 16; ++i) out[i] = kText[i];
      return 16;
    case 3:
      for (int i = 0; i < 256; ++i) out[i] = kVga[i];
      return 256;
    default:
      return 0;
  }
}

int Nearest(const Rgb* pal, int n, Rgb colour) {
  int best = 0;
  int bestDistance = 1 << 30;
  for (int i = 0; i < n; ++i) {
    const int dr = pal[i].r - colour.r, dg = pal[i].g - colour.g, db = pal[i].b - colour.b;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

}  // namespace easel::palette
