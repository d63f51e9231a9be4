// Colours, drawing state and the flat primitives.
//
// Each primitive converts its colour to a pixel value, takes graphicsLock, draws into the
// draw page with the rasteriser and, in direct mode, asks for a repaint so the window shows
// it at once.
#include <algorithm>
#include <array>

#include "core.h"
#include "easel/easel.h"
#include "text.h"

namespace easel {
namespace {

uint32_t namedColours[256] = {};

raster::Pen CurrentPen() {
  const Library& lib = Lib();
  raster::Pen pen;
  switch (lib.lineStyle) {
    case 0:
      pen.style = raster::PenStyle::kSolid;
      break;
    case 1:
      pen.style = raster::PenStyle::kDot;
      break;
    case 2:
      pen.style = raster::PenStyle::kDashDot;
      break;
    case 3:
      pen.style = raster::PenStyle::kDash;
      break;
    case 4:
      pen.style = raster::PenStyle::kDashDotDot;
      break;
    default:
      pen.style = raster::PenStyle::kNull;
      break;  // 5 walks its pattern itself; 6 null
  }
  pen.thickness = lib.thickness;
  return pen;
}

// Runs draw(surface) on the draw page with the right pixel type, under graphicsLock.
template <typename Draw>
void OnDrawPage(Draw draw) {
  Library& lib = Lib();
  Stats& stats = GetStats();
  const bool timed = stats.enabled.load(std::memory_order_relaxed);
  const uint64_t start = timed ? NowNs() : 0;
  {
    std::lock_guard lock(lib.graphicsLock);
    if (lib.paletteMode) {
      draw(DrawSurface8());
    } else {
      draw(DrawSurface32());
    }
  }
  DrewOnPage();
  if (timed) {
    stats.drawNs.fetch_add(NowNs() - start, std::memory_order_relaxed);
    stats.drawCalls.fetch_add(1, std::memory_order_relaxed);
  }
}

template <typename T>
raster::Brush<T> BrushAs(const raster::Brush<uint32_t>& b) {
  raster::Brush<T> out;
  out.kind = b.kind;
  std::copy(std::begin(b.rows), std::end(b.rows), std::begin(out.rows));
  out.opaque = b.opaque;
  out.fg = static_cast<T>(b.fg);
  out.bg = static_cast<T>(b.bg);
  return out;
}

void LoadPalette() {
  Library& lib = Lib();
  palette::Rgb pal[256];
  const int n = palette::DefaultPalette(lib.driver, pal);
  {
    std::lock_guard lock(lib.graphicsLock);
    for (int i = 0; i < 256; ++i) {
      lib.colourTable[i] = i < n ? pal[i] : palette::Rgb{};
      lib.screenLut[i] = palette::ToScreen(lib.colourTable[i]);
    }
    // Pages hold indices modulo the palette size; the table repeats the palette so that any
    // byte displays as its entry.
    for (int i = n; i < 256 && n > 0; ++i) lib.screenLut[i] = lib.screenLut[i % n];
    for (int i = 0; i < 256; ++i)
      namedColours[i] = static_cast<uint32_t>(palette::Nearest(pal, n, palette::kNamed[i]));
  }
  lib.paletteSize = n;
  RequestRepaint();
}

}  // namespace

void SetDrawingDefaults() {
  Library& lib = Lib();
  if (lib.paletteMode) {
    LoadPalette();
  } else {
    for (int i = 0; i < 256; ++i) namedColours[i] = palette::ToValue(palette::kNamed[i]);
  }
  lib.lineStyle = 0;
  lib.linePattern = 0;
  lib.thickness = 1;
  EaselSetColor(namedColours[250]);
  EaselSetBkColor(namedColours[12]);
  // The user pattern: all bits set, in white on the background colour.
  std::fill(std::begin(lib.userPattern), std::end(lib.userPattern), uint8_t{0xFF});
  lib.userBrush.kind = raster::BrushKind::kPattern;
  std::copy(std::begin(lib.userPattern), std::end(lib.userPattern), std::begin(lib.userBrush.rows));
  lib.userBrush.opaque = true;
  lib.userBrush.fg = PixelValue(namedColours[250]);
  lib.userBrush.bg = PixelValue(lib.bkColour);
  EaselSetFillStyle(8, namedColours[250]);
  EaselSetFillStyle(1, namedColours[250]);
  text::SetDefaults();
  lib.cpX = lib.cpY = 0;
}

}  // namespace easel

using easel::Lib;
using easel::Library;

const uint32_t (&EaselColors)[256] = easel::namedColours;

uint32_t EaselRgb(int16_t r, int16_t g, int16_t b) {
  const uint32_t value = (static_cast<uint32_t>(static_cast<uint16_t>(r)) & 0xFFu) |
                         static_cast<uint32_t>(static_cast<uint16_t>(g)) << 8 |
                         (static_cast<uint32_t>(static_cast<uint16_t>(b)) & 0xFFu) << 16;
  const Library& lib = Lib();
  if (!lib.paletteMode || lib.paletteSize == 0) return value;
  std::lock_guard lock(Lib().graphicsLock);
  return static_cast<uint32_t>(
      easel::palette::Nearest(lib.colourTable, lib.paletteSize, easel::palette::FromValue(value)));
}

uint32_t EaselMaxColor() {
  const Library& lib = Lib();
  return lib.paletteMode ? static_cast<uint32_t>(lib.paletteSize - 1) : 16777215u;
}

void EaselSetColor(uint32_t colour) {
  Library& lib = Lib();
  lib.colour = colour;
  easel::BeginOperation();
}

void EaselSetBkColor(uint32_t colour) {
  if (!easel::BeginOperation()) return;
  Lib().bkColour = colour;
}

void EaselSetLineStyle(int16_t style, uint16_t pattern, int16_t thickness) {
  if (!easel::BeginOperation()) return;
  if (style < 0 || style > 6) {
    Lib().result.store(-7, std::memory_order_relaxed);
    return;
  }
  Library& lib = Lib();
  std::lock_guard lock(lib.graphicsLock);
  lib.lineStyle = style;
  lib.linePattern = pattern;
  lib.thickness = thickness;
}

void EaselSetFillStyle(int16_t pattern, uint32_t colour) {
  if (!easel::BeginOperation()) return;
  if (pattern < 0 || pattern > 9) {
    Lib().result.store(-7, std::memory_order_relaxed);
    return;
  }
  Library& lib = Lib();
  if (pattern == 0) colour = lib.bkColour;
  easel::raster::Brush<uint32_t> brush;
  switch (pattern) {
    case 0:
    case 1:
      brush.kind = easel::raster::BrushKind::kSolid;
      brush.fg = easel::PixelValue(colour);
      break;
    case 8:
      brush = lib.userBrush;
      break;
    case 9:
      brush.kind = easel::raster::BrushKind::kHollow;
      break;
    default:  // 2..7: hatch lines in the colour, gaps keep what is there
      brush.kind = easel::raster::BrushKind::kPattern;
      std::copy(std::begin(easel::raster::kHatchRows[pattern - 2]),
                std::end(easel::raster::kHatchRows[pattern - 2]), std::begin(brush.rows));
      brush.opaque = false;
      brush.fg = easel::PixelValue(colour);
      break;
  }
  std::lock_guard lock(lib.graphicsLock);
  lib.fillPattern = pattern;
  lib.fillColour = colour;
  lib.brush = brush;
}

void EaselPixel(int16_t x, int16_t y, uint32_t colour) {
  if (!easel::BeginOperation()) return;
  const uint32_t c = easel::PixelValue(colour);
  easel::OnDrawPage([&](const auto& s) {
    using T = std::remove_pointer_t<decltype(s.pixels)>;
    easel::raster::Pixel(s, x, y, static_cast<T>(c));
  });
}

void EaselLine(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  if (!easel::BeginOperation()) return;
  Library& lib = Lib();
  lib.cpX = x1;
  lib.cpY = y1;
  const uint32_t c = easel::PixelValue(lib.colour);
  easel::raster::Pen pen = easel::CurrentPen();
  if (lib.lineStyle == 5) {
    // The pattern walk: bit (counter mod 16) of the pattern decides each pixel, end excluded.
    pen.style = easel::raster::PenStyle::kMask;
    pen.mask = lib.linePattern;
    pen.thickness = 1;
  }
  const bool setEnd = lib.lineStyle != 5 && lib.thickness == 1;
  easel::OnDrawPage([&](const auto& s) {
    using T = std::remove_pointer_t<decltype(s.pixels)>;
    easel::raster::Line(s, x1, y1, x2, y2, pen, static_cast<T>(c), nullptr);
    // A thin pen stops before the end pixel; the line still covers both end points.
    if (setEnd) easel::raster::Pixel(s, x2, y2, static_cast<T>(c));
  });
  lib.cpX = x2;
  lib.cpY = y2;
}

void EaselCircle(int16_t x, int16_t y, uint16_t r) {
  if (!easel::BeginOperation()) return;
  const uint32_t c = easel::PixelValue(Lib().colour);
  const easel::raster::Pen pen = easel::CurrentPen();
  easel::OnDrawPage([&](const auto& s) {
    using T = std::remove_pointer_t<decltype(s.pixels)>;
    easel::raster::Circle(s, x, y, r, pen, static_cast<T>(c));
  });
}

void EaselRect(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  if (!easel::BeginOperation()) return;
  const int left = std::min(x1, x2), right = std::max(x1, x2);
  const int top = std::min(y1, y2), bottom = std::max(y1, y2);
  const uint32_t c = easel::PixelValue(Lib().colour);
  const easel::raster::Pen pen = easel::CurrentPen();
  easel::OnDrawPage([&](const auto& s) {
    using T = std::remove_pointer_t<decltype(s.pixels)>;
    const T p = static_cast<T>(c);
    if (left == right && top == bottom) {
      easel::raster::Pixel(s, left, top, p);
      return;
    }
    // A closed outline: each side stops before its end, where the next side starts.
    easel::raster::DashState dash;
    easel::raster::Line(s, left, top, right, top, pen, p, &dash);
    easel::raster::Line(s, right, top, right, bottom, pen, p, &dash);
    easel::raster::Line(s, right, bottom, left, bottom, pen, p, &dash);
    easel::raster::Line(s, left, bottom, left, top, pen, p, &dash);
  });
}

void EaselBar(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  if (!easel::BeginOperation()) return;
  const easel::raster::Brush<uint32_t> brush = Lib().brush;
  easel::OnDrawPage([&](const auto& s) {
    using T = std::remove_pointer_t<decltype(s.pixels)>;
    easel::raster::FillRect(s, x1, y1, x2, y2, easel::BrushAs<T>(brush));
  });
}

void EaselClear() {
  if (!easel::BeginOperation()) return;
  Library& lib = Lib();
  lib.cpX = lib.cpY = 0;
  const uint32_t c = easel::PixelValue(lib.bkColour);
  easel::OnDrawPage([&](const auto& s) {
    using T = std::remove_pointer_t<decltype(s.pixels)>;
    easel::raster::Fill(s, static_cast<T>(c));
  });
}
