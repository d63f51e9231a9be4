// Text output: the font table, the text style and justification, and drawing text.
//
// A text is laid out along its direction from the baseline origin that the justification
// gives: each glyph's origin is the sum of the advances before it, rounded to a pixel per
// glyph (exact for upright text, whose hinted advances are whole pixels). Glyph bitmaps are
// one bit per pixel and drawn in the drawing colour where a bit is set; the rest of the page
// is left alone (transparent background). Underlining is a band along the baseline as long as
// the text's advance, at the face's underline position.
//
// Justification and the current position: the point (x, y) is a pixel corner, as the page
// sees it. Left puts the text's start on it, right its end, centre its middle; top puts the
// cell's top there (the cell covers the rows y .. y + height - 1), bottom the cell's bottom
// edge (rows y - height .. y - 1), baseline the baseline. Afterwards the current position is
// the end of the text along its direction: the point plus the advance for left, plus half
// of it for centre, the point itself for right, so text drawn next from the current position
// follows on without a gap or overlap.
//
// Cost: the glyph cache of text_fonts.h makes a repeated label cost its blits; the layout
// uses fixed buffers, so drawing allocates nothing once its glyphs are cached.
#include "text.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

#include "core.h"
#include "easel/easel.h"
#include "text_fonts.h"

namespace easel::text {
namespace {

constexpr int kSlots = 15;
constexpr size_t kNameLength = 31;
constexpr int kMaxChars = 255;  // longer texts are cut here
constexpr int kDefaultHeight = 16;

struct Slot {
  std::string name;  // the family as the program knows it; empty: a free slot
  std::string face;  // the family that draws it (the same name or a substitute)
};

struct State {
  Slot slots[kSlots];
  int16_t font = 0, direction = 0, size = kDefaultHeight;
  int16_t alignH = 0, alignV = 0;
  bool underline = false;
  Style* style = nullptr;  // null until a style has been set on this window
};

// Never destroyed, like the fonts: closing a window left open at program exit uses it.
State& S() {
  static State& state = *new State;
  return state;
}

// Stores a family in the first free slot; false when it is not installed or no slot is free.
bool InstallFamily(const char* family) {
  State& st = S();
  std::string face;
  if (!ResolveFamily(family, &face)) return false;
  for (Slot& slot : st.slots) {
    if (slot.name.empty()) {
      slot.name = std::string(family).substr(0, kNameLength);
      slot.face = face;
      return true;
    }
  }
  return false;
}

// The cell height a size argument asks for: 1..5 are multiples of 8 (1 gives 8, 2 gives 16),
// 0 the default 16, larger values pixels, all taken as unsigned.
int CellHeight(int16_t size) {
  const auto u = static_cast<uint16_t>(size);
  if (u == 0) return kDefaultHeight;
  if (u <= 5) return u * 8;
  return std::min<int>(u, kMaxCellHeight);
}

int64_t ToPixel(double v) {
  return static_cast<int64_t>(std::floor(v + 0.5));
}

// One text laid out: which glyphs, where along the text, and where the text starts. The
// program thread's only one, so drawing needs no allocation.
struct Layout {
  int count = 0;
  uint8_t chars[kMaxChars] = {};
  int64_t pen[kMaxChars] = {};  // offset of each glyph along the text, 1/64 pixel
  double width = 0;             // the advance of the whole text, pixels
  double ox = 0, oy = 0;        // the baseline origin of the first glyph, page coordinates
  double ux = 1, uy = 0;        // one pixel along the text
  double dx = 0, dy = 1;        // one pixel down the text (towards the descent)
  Point end;                    // the current position after the text
};

Layout& L() {
  static Layout layout;
  return layout;
}

void Prepare(Layout& l, Style& s, int x, int y, const char* text, int alignH, int alignV) {
  l.count = 0;
  int64_t pen = 0;
  for (const char* p = text; p && *p && l.count < kMaxChars; ++p) {
    const auto c = static_cast<uint8_t>(*p);
    const Glyph& g = GlyphOf(s, c, false);
    l.chars[l.count] = c;
    l.pen[l.count] = pen;
    pen += g.advance;
    ++l.count;
  }
  l.width = static_cast<double>(pen) / 64.0;
  // The page's y axis points down, the direction turns counter-clockwise as seen on it.
  l.ux = s.cosA;
  l.uy = -s.sinA;
  l.dx = s.sinA;
  l.dy = s.cosA;
  const double along = alignH == 1 ? l.width / 2 : alignH == 2 ? l.width : 0.0;
  const double down = alignV == 0 ? s.ascent : alignV == 1 ? -s.descent : 0.0;
  l.ox = x - along * l.ux + down * l.dx;
  l.oy = y - along * l.uy + down * l.dy;
  const double rest = l.width - along;
  l.end.x = static_cast<int32_t>(ToPixel(x + rest * l.ux));
  l.end.y = static_cast<int32_t>(ToPixel(y + rest * l.uy));
}

int64_t GlyphX(const Layout& l, int i) {
  return ToPixel(l.ox + static_cast<double>(l.pen[i]) / 64.0 * l.ux);
}
int64_t GlyphY(const Layout& l, int i) {
  return ToPixel(l.oy + static_cast<double>(l.pen[i]) / 64.0 * l.uy);
}

bool Visible(const Glyph& g, int64_t gx, int64_t gy, int width, int height) {
  return g.boxLeft < g.boxRight && gx + g.boxRight > 0 && gx + g.boxLeft < width &&
         gy + g.boxBottom > 0 && gy + g.boxTop < height;
}

// Renders the bitmaps of the glyphs that will show, before the page is locked.
void Prerender(const Layout& l, Style& s, int width, int height) {
  for (int i = 0; i < l.count; ++i) {
    const Glyph& g = s.glyphs[l.chars[i]];
    if (!g.hasBitmap && Visible(g, GlyphX(l, i), GlyphY(l, i), width, height)) {
      GlyphOf(s, l.chars[i], true);
    }
  }
}

template <typename T>
void Blit(const raster::Surface<T>& s, const Style& style, const Glyph& g, int64_t gx, int64_t gy,
          T c) {
  const int64_t x0 = gx + g.left, y0 = gy + g.top;
  const int64_t r0 = std::max<int64_t>(0, -y0), r1 = std::min<int64_t>(g.rows, s.height - y0);
  const int64_t c0 = std::max<int64_t>(0, -x0), c1 = std::min<int64_t>(g.width, s.width - x0);
  if (r0 >= r1 || c0 >= c1) return;
  const uint8_t* bits = style.bits.data() + g.offset;
  for (int64_t r = r0; r < r1; ++r) {
    const uint8_t* row = bits + r * g.rowBytes;
    T* out = s.pixels + (y0 + r) * s.pitch + x0;
    for (int64_t col = c0; col < c1;) {
      const uint8_t byte = row[col >> 3];
      if (byte == 0) {
        col = (col | 7) + 1;
        continue;
      }
      if (byte & (0x80 >> (col & 7))) out[col] = c;
      ++col;
    }
  }
}

// Fills the pixels whose centres lie inside a convex quadrilateral, clipped to the surface.
template <typename T>
void FillQuad(const raster::Surface<T>& s, const double (&px)[4], const double (&py)[4], T c) {
  const double minY = std::min({py[0], py[1], py[2], py[3]});
  const double maxY = std::max({py[0], py[1], py[2], py[3]});
  const double first = std::max(std::ceil(minY - 0.5), 0.0);
  const double last = std::min(std::ceil(maxY - 0.5) - 1, s.height - 1.0);
  if (!(first <= last)) return;
  for (auto y = static_cast<int64_t>(first); y <= static_cast<int64_t>(last); ++y) {
    const double yc = static_cast<double>(y) + 0.5;
    double xl = std::numeric_limits<double>::infinity(), xr = -xl;
    for (int i = 0; i < 4; ++i) {
      const int j = (i + 1) % 4;
      if (py[i] == py[j] || yc < std::min(py[i], py[j]) || yc > std::max(py[i], py[j])) continue;
      const double x = px[i] + (yc - py[i]) * (px[j] - px[i]) / (py[j] - py[i]);
      xl = std::min(xl, x);
      xr = std::max(xr, x);
    }
    const double left = std::max(std::ceil(xl - 0.5), 0.0);
    const double right = std::min(std::ceil(xr - 0.5) - 1, s.width - 1.0);
    if (!(left <= right)) continue;
    T* row = s.pixels + y * s.pitch;
    std::fill(row + static_cast<int64_t>(left), row + static_cast<int64_t>(right) + 1, c);
  }
}

template <typename T>
void Draw(const raster::Surface<T>& s, const Layout& l, Style& style, bool underline, T c) {
  for (int i = 0; i < l.count; ++i) {
    const int64_t gx = GlyphX(l, i), gy = GlyphY(l, i);
    if (!Visible(style.glyphs[l.chars[i]], gx, gy, s.width, s.height)) continue;
    Blit(s, style, GlyphOf(style, l.chars[i], true), gx, gy, c);
  }
  if (underline && l.count > 0) {
    // From the first glyph's pixel origin, so the band lines up with the glyphs.
    const double ox = static_cast<double>(ToPixel(l.ox)), oy = static_cast<double>(ToPixel(l.oy));
    const double top = style.underlineTop, bottom = top + style.underlineThickness;
    const double px[4] = {ox + top * l.dx, ox + top * l.dx + l.width * l.ux,
                          ox + bottom * l.dx + l.width * l.ux, ox + bottom * l.dx};
    const double py[4] = {oy + top * l.dy, oy + top * l.dy + l.width * l.uy,
                          oy + bottom * l.dy + l.width * l.uy, oy + bottom * l.dy};
    FillQuad(s, px, py, c);
  }
}

template <typename T>
Point DrawOnSurface(const raster::Surface<T>& s, int x, int y, const char* text, T c) {
  State& st = S();
  if (!st.style) return {x, y};
  Layout& l = L();
  Prepare(l, *st.style, x, y, text, st.alignH, st.alignV);
  if (s.pixels && s.width > 0 && s.height > 0) {
    Prerender(l, *st.style, s.width, s.height);
    Draw(s, l, *st.style, st.underline, c);
  }
  return l.end;
}

}  // namespace

bool InstallStandardFamilies() {
  State& st = S();
  for (Slot& slot : st.slots) slot = Slot{};
  st.style = nullptr;
  for (const char* family : {"Courier New", "MS Sans Serif", "Times New Roman", "Arial"}) {
    if (!InstallFamily(family)) return false;
  }
  return true;
}

void SetDefaults() {
  EaselSetTextStyle(0, 0, kDefaultHeight);
  EaselSetTextAlign(0, 0);
}

void Release() {
  State& st = S();
  st.style = nullptr;
  ReleaseFonts();
}

StyleInfo CurrentStyle() {
  const State& st = S();
  StyleInfo info;
  info.font = st.font;
  info.direction = st.direction;
  info.size = st.size;
  info.alignH = st.alignH;
  info.alignV = st.alignV;
  if (st.style) {
    info.hasFont = true;
    info.cellHeight = st.style->key.height;
    info.ascent = st.style->ascent;
    info.descent = st.style->descent;
    info.faceFile = st.style->faceFile;
    info.syntheticBold = st.style->syntheticBold;
    info.syntheticItalic = st.style->syntheticItalic;
  }
  return info;
}

std::string SlotName(int slot) {
  return slot >= 0 && slot < kSlots ? S().slots[slot].name : "";
}
std::string SlotFace(int slot) {
  return slot >= 0 && slot < kSlots ? S().slots[slot].face : "";
}

Point DrawOn(const raster::Surface8& s, int x, int y, const char* text, uint8_t colour) {
  return DrawOnSurface(s, x, y, text, colour);
}

Point DrawOn(const raster::Surface32& s, int x, int y, const char* text, uint32_t colour) {
  return DrawOnSurface(s, x, y, text, colour);
}

}  // namespace easel::text

using easel::Lib;
using easel::Library;

void EaselSetTextStyle(int16_t font, int16_t direction, int16_t size) {
  if (!easel::BeginOperation()) return;
  easel::text::State& st = easel::text::S();
  const auto word = static_cast<uint16_t>(font);
  const int slot = word & 0xF;
  if (slot >= easel::text::kSlots || st.slots[slot].name.empty()) {
    Lib().result.store(-6, std::memory_order_relaxed);
    return;
  }
  easel::text::StyleKey key;
  key.slot = slot;
  key.weightStep = (word >> 4) & 0xF;
  key.italic = (word >> 12) != 0;
  key.direction = (direction % 360 + 360) % 360;
  key.height = easel::text::CellHeight(size);
  easel::text::Style* style = easel::text::FindStyle(key, st.slots[slot].face, st.style);
  if (!style) {
    // The slot's face file could not be loaded: as unusable as an empty slot.
    Lib().result.store(-6, std::memory_order_relaxed);
    return;
  }
  st.style = style;
  st.underline = ((word >> 8) & 0xF) != 0;
  st.font = font;
  st.direction = direction;
  st.size = size;
}

void EaselSetTextAlign(int16_t h, int16_t v) {
  if (!easel::BeginOperation()) return;
  if (h < 0 || h > 2 || v < 0 || v > 2) {
    Lib().result.store(-7, std::memory_order_relaxed);
    return;
  }
  easel::text::State& st = easel::text::S();
  st.alignH = h;
  st.alignV = v;
}

void EaselTextAt(int16_t x, int16_t y, const char* text) {
  Library& lib = Lib();
  lib.cpX = x;
  lib.cpY = y;
  if (!easel::BeginOperation()) return;
  easel::text::State& st = easel::text::S();
  if (!st.style) return;  // the window never got its text defaults
  easel::Stats& stats = easel::GetStats();
  const bool timed = stats.enabled.load(std::memory_order_relaxed);
  const uint64_t start = timed ? easel::NowNs() : 0;

  easel::text::Layout& l = easel::text::L();
  easel::text::Prepare(l, *st.style, x, y, text, st.alignH, st.alignV);
  // The page size is fixed while the window is open.
  easel::text::Prerender(l, *st.style, lib.width, lib.height);
  const uint32_t c = easel::PixelValue(lib.colour);
  {
    std::lock_guard lock(lib.graphicsLock);
    if (lib.paletteMode) {
      easel::text::Draw(easel::DrawSurface8(), l, *st.style, st.underline, static_cast<uint8_t>(c));
    } else {
      easel::text::Draw(easel::DrawSurface32(), l, *st.style, st.underline, c);
    }
  }
  easel::DrewOnPage();
  lib.cpX = l.end.x;
  lib.cpY = l.end.y;
  if (timed) {
    stats.drawNs.fetch_add(easel::NowNs() - start, std::memory_order_relaxed);
    stats.drawCalls.fetch_add(1, std::memory_order_relaxed);
  }
}
