// Colour tables: the default palettes, the 256 named colours and the nearest-entry lookup.
#ifndef EASEL_PALETTE_H
#define EASEL_PALETTE_H

#include <array>
#include <cstdint>

namespace easel::palette {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Fills out[0..n-1] with the default palette of a palette driver (1: 2 entries, 2: 16,
// 3: 256) and returns n; 0 for other drivers.
int DefaultPalette(int driver, Rgb (&out)[256]);

// The fixed RGB colour behind each of the 256 named colours.
extern const std::array<Rgb, 256> kNamed;

// The index of the entry of pal[0..n-1] nearest to colour (squared RGB distance; the lowest
// index wins ties). n must be at least 1.
int Nearest(const Rgb* pal, int n, Rgb colour);

// 0x00BBGGRR colour value <-> Rgb.
constexpr Rgb FromValue(uint32_t v) {
  return Rgb{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16)};
}
constexpr uint32_t ToValue(Rgb c) {
  return static_cast<uint32_t>(c.r) | static_cast<uint32_t>(c.g) << 8 |
         static_cast<uint32_t>(c.b) << 16;
}
// Rgb -> 0x00RRGGBB, the order frames are presented in.
constexpr uint32_t ToScreen(Rgb c) {
  return static_cast<uint32_t>(c.r) << 16 | static_cast<uint32_t>(c.g) << 8 |
         static_cast<uint32_t>(c.b);
}

}  // namespace easel::palette

#endif  // EASEL_PALETTE_H
