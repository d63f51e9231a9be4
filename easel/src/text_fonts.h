// Fonts for text output: which face file draws a family, sized faces ("styles") and their
// rendered glyphs, all cached.
//
// fontconfig finds the face files; FreeType scales and renders them as one-bit (unantialiased)
// bitmaps, already turned by the text direction. A style is one (family, weight, italic,
// direction, cell height); it keeps the glyphs it has rendered, per 8-bit character, so
// drawing the same labels every frame renders nothing and allocates nothing.
//
// Everything here runs on the program thread only (the text operations); nothing is shared
// with the window thread.
#ifndef EASEL_TEXT_FONTS_H
#define EASEL_TEXT_FONTS_H

#include <cstdint>
#include <string>
#include <vector>

struct FT_SizeRec_;

namespace easel::text {

// The largest character cell drawn, in pixels: bigger requests are drawn at this height. It
// covers a 4K desktop; beyond it glyph bitmaps would cost megabytes each.
constexpr int kMaxCellHeight = 2048;

// One character of one style.
struct Glyph {
  bool hasMetrics = false;
  bool hasBitmap = false;
  int32_t advance = 0;  // along the text direction, 1/64 pixel
  // The ink box around the origin on the page (x right, y down), whole pixels, half-open
  // [left, right) x [top, bottom); empty when left >= right. It encloses the bitmap.
  int32_t boxLeft = 0, boxTop = 0, boxRight = 0, boxBottom = 0;
  // The bitmap, once rendered: its top-left pixel relative to the origin (y down), one bit
  // per pixel, bit 7 of a byte leftmost, rows rowBytes apart.
  int32_t left = 0, top = 0, width = 0, rows = 0, rowBytes = 0;
  uint32_t offset = 0;  // into Style::bits
};

struct StyleKey {
  int slot = 0;        // font table slot 0..14
  int weightStep = 0;  // weight 400 + 300 * step
  bool italic = false;
  int direction = 0;  // degrees counter-clockwise, 0..359
  int height = 16;    // character cell in pixels, 1..kMaxCellHeight
  bool operator==(const StyleKey&) const = default;
};

struct Face;  // a loaded face file (text_fonts.cpp)

struct Style {
  StyleKey key;
  std::string faceFile;          // the file that draws it
  int ascent = 0, descent = 0;   // pixels above and below the baseline; they add up to the cell
  int underlineTop = 1;          // first underline row, in pixels below the baseline
  int underlineThickness = 1;    // pixels
  double cosA = 1, sinA = 0;     // of the direction
  bool syntheticBold = false;    // no bold face: outlines are thickened
  bool syntheticItalic = false;  // no italic face: outlines are slanted

  // Owned by text_fonts.cpp.
  Face* face = nullptr;
  FT_SizeRec_* size = nullptr;
  long matrix[4] = {};  // 16.16 transform: xx, xy, yx, yy
  long embolden = 0;    // outline growth for synthetic bold, 1/64 pixel
  uint64_t lastUse = 0;
  Glyph glyphs[256];
  std::vector<uint8_t> bits;  // the bitmaps of the rendered glyphs
};

// Whether a family can be drawn: its own face or a close substitute that fontconfig resolves
// to a scalable face file. *faceFamily receives the family actually used.
bool ResolveFamily(const char* family, std::string* faceFamily);

// The style for key, from the cache or built now with faces of faceFamily; null when no face
// can be loaded. keep is never evicted to make room (the style in use).
Style* FindStyle(const StyleKey& key, const std::string& faceFamily, const Style* keep);

// Character c of the style: its metrics, and its bitmap too when withBitmap.
const Glyph& GlyphOf(Style& style, uint8_t c, bool withBitmap);

// Frees every style, face and the FreeType instance.
void ReleaseFonts();

}  // namespace easel::text

#endif  // EASEL_TEXT_FONTS_H
