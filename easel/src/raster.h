// The rasteriser: pure functions over a pixel surface, with no library state.
//
// Pixels are uint8_t (palette indices) or uint32_t (true-colour 0x00BBGGRR); every function is
// a template instantiated for both. Coordinates are plain ints and may lie anywhere: each
// function clips to the surface before walking, so the cost follows the visible part and
// nothing outside the surface is ever written. A surface may be empty (width or height 0).
//
// Pixel rules:
//   - Line: thin pens walk from (x1, y1) towards (x2, y2) and stop before the end pixel; the
//     caller sets it when it wants it. Wide pens (thickness > 1) fill every pixel whose centre
//     lies within thickness/2 of the segment: round ends, and round joins when segments meet.
//   - Circle(cx, cy, r) with a thin pen is the midpoint circle and spans exactly cx - r .. cx + r
//     and cy - r .. cy + r (r = 0 is one pixel, r < 0 nothing); with a wide pen it is the
//     annulus of pixel centres within thickness/2 of the circle.
//   - Distances exactly thickness/2 count as inside.
//   - FillRect fills both corners inclusive, corners in any order.
//   - Brush patterns are 8x8 and aligned to the surface origin.
#ifndef EASEL_RASTER_H
#define EASEL_RASTER_H

#include <cstddef>
#include <cstdint>

namespace easel::raster {

template <typename T>
struct Surface {
  T* pixels = nullptr;
  int width = 0, height = 0;
  int pitch = 0;  // in pixels
};
using Surface8 = Surface<uint8_t>;
using Surface32 = Surface<uint32_t>;

// A pen: how lines, rectangle outlines and circles are stroked.
//   kSolid draws every pixel; kDot..kDashDotDot are on/off runs starting "on" (dot 3,3;
//   dash 18,6; dash-dot 9,6,3,6; dash-dot-dot 9,3,3,3,3,3); kMask draws the pixel when
//   bit (counter mod 16) of mask is set. The counter advances once per walked pixel, drawn or
//   not, and starts at 0 on each Line call unless the caller passes a DashState. kNull draws
//   nothing. Dashes apply to thin pens only: a wide pen is always solid.
//   On a circle the counter starts at 0 at the top pixel and runs clockwise (y down), octant
//   after octant, each octant walked from where the previous one ended; a pixel shared by two
//   octants (on an axis or a diagonal) is drawn when either draws it.
enum class PenStyle : uint8_t { kSolid, kDot, kDashDot, kDash, kDashDotDot, kMask, kNull };
struct Pen {
  PenStyle style = PenStyle::kSolid;
  uint16_t mask = 0;  // kMask only
  int thickness = 1;  // <= 1 is a thin (one-pixel) pen
};

// Where a dash pattern stands along a run of connected segments (a rectangle outline keeps
// one going round all four sides). Start each independent line with a fresh value. Line keeps
// the counter reduced modulo 48, a multiple of every pattern's period, so it never overflows.
struct DashState {
  int counter = 0;
};

// A brush: how bars are filled.
//   kSolid fills with fg. kPattern uses the 8 rows (bit 7 of a row is its leftmost pixel):
//   set bits take fg; clear bits take bg when opaque and keep the old pixel otherwise.
//   kHollow fills nothing.
enum class BrushKind : uint8_t { kSolid, kPattern, kHollow };
template <typename T>
struct Brush {
  BrushKind kind = BrushKind::kSolid;
  uint8_t rows[8] = {};
  bool opaque = false;
  T fg = 0, bg = 0;
};

// The hatch rows for fill patterns 2..7 (horizontal, vertical, cross, rising diagonal,
// falling diagonal, diagonal cross); index 0..5. Within each 8x8 cell the horizontal line is
// row 0, the vertical line column 0, the rising diagonal (/) the pixels with x + y = 7 and the
// falling one (\) those with x = y (all mod 8); the crosses are unions.
extern const uint8_t kHatchRows[6][8];

// Defined here: it is called once per line for the end pixel, and a call would cost more than
// the store.
template <typename T>
inline void Pixel(const Surface<T>& s, int x, int y, T c) {
  if (s.pixels == nullptr || x < 0 || y < 0 || x >= s.width || y >= s.height) return;
  s.pixels[static_cast<std::ptrdiff_t>(y) * s.pitch + x] = c;
}

// One segment. dash may be null for a fresh pattern.
template <typename T>
void Line(const Surface<T>& s, int x1, int y1, int x2, int y2, const Pen& pen, T c,
          DashState* dash);

template <typename T>
void Circle(const Surface<T>& s, int cx, int cy, int r, const Pen& pen, T c);

template <typename T>
void FillRect(const Surface<T>& s, int x1, int y1, int x2, int y2, const Brush<T>& brush);

// Sets every pixel of the surface to c.
template <typename T>
void Fill(const Surface<T>& s, T c);

// Converts an 8-bit surface to 32-bit pixels through a 256-entry table. dstPitch is in pixels.
// On x86-64 processors with AVX-512 VBMI this uses byte-permute instructions (several times
// the speed); elsewhere it runs ToRgbPortable, which is exposed so tests can check both.
void ToRgb(const Surface8& src, const uint32_t (&lut)[256], uint32_t* dst, int dstPitch);
void ToRgbPortable(const Surface8& src, const uint32_t (&lut)[256], uint32_t* dst, int dstPitch);
// Converts a true-colour surface (0x00BBGGRR) to 0x00RRGGBB.
void ToRgb(const Surface32& src, uint32_t* dst, int dstPitch);

}  // namespace easel::raster

#endif  // EASEL_RASTER_H
