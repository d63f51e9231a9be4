// Text output: the font table, the text style and justification, and drawing text.
#ifndef EASEL_TEXT_H
#define EASEL_TEXT_H

#include <cstdint>
#include <string>

#include "raster.h"

namespace easel::text {

// Step of EaselOpen: fills the font table with the four standard families, in order.
// False when one is missing (the library then reports -5).
bool InstallStandardFamilies();
// The text defaults of a freshly opened window: style (0, 0, 16), justification (0, 0).
void SetDefaults();
// The window is going away: release fonts and faces.
void Release();

// ---- For the project's tests and tools ----------------------------------------------------

// What the text operations currently use.
struct StyleInfo {
  int16_t font = 0, direction = 0, size = 0;  // as last set successfully
  int16_t alignH = 0, alignV = 0;
  bool hasFont = false;  // a face is loaded (false before the defaults are set)
  int cellHeight = 0;    // pixels: ascent + descent
  int ascent = 0, descent = 0;
  std::string faceFile;  // the face file drawing the text
  bool syntheticBold = false, syntheticItalic = false;
};
StyleInfo CurrentStyle();

// The family a font table slot names ("" for a free slot) and the family drawing it.
std::string SlotName(int slot);
std::string SlotFace(int slot);

// Draws text with the current style, justification and underline onto any surface, exactly
// as EaselTextAt draws onto the draw page, and answers where the current position ends.
// Nothing is drawn outside the surface.
struct Point {
  int32_t x = 0, y = 0;
};
Point DrawOn(const raster::Surface8& s, int x, int y, const char* text, uint8_t colour);
Point DrawOn(const raster::Surface32& s, int x, int y, const char* text, uint32_t colour);

}  // namespace easel::text

#endif  // EASEL_TEXT_H
