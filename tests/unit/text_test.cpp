// Text output through the library's API, checked on the pages.
#include "text.h"

#include <unistd.h>

#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "test_support.h"
#include "text_fonts.h"

// Counts the program thread's allocations while a test asks for it.
namespace {
thread_local bool countAllocations = false;
thread_local size_t allocations = 0;
}  // namespace

// These replace the global operators; GCC cannot see that the memory free() releases came
// from the malloc() in operator new below, and warns when it inlines them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t n) {
  if (countAllocations) ++allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  std::free(p);
}
#pragma GCC diagnostic pop

namespace easel {
namespace {

using test::Picture;

// The bounding box of the set pixels of a page region (empty when count is 0).
struct Ink {
  int count = 0;
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive
  int firstX = -1, firstY = -1;  // the first set pixel in reading order
  int Width() const { return right - left + 1; }
  int Height() const { return bottom - top + 1; }
};

Ink InkOf(int page, int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1) {
  Library& lib = Lib();
  std::lock_guard lock(lib.graphicsLock);
  if (x1 < 0) x1 = lib.width - 1;
  if (y1 < 0) y1 = lib.height - 1;
  Ink ink;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const size_t i =
          static_cast<size_t>(y) * static_cast<size_t>(lib.width) + static_cast<size_t>(x);
      const uint32_t p = lib.paletteMode ? lib.pages8[page][i] : lib.pages32[page][i];
      if (!p) continue;
      if (ink.count++ == 0) {
        ink.firstX = x;
        ink.firstY = y;
      }
      ink.left = std::min(ink.left, x);
      ink.right = std::max(ink.right, x);
      ink.top = std::min(ink.top, y);
      ink.bottom = std::max(ink.bottom, y);
    }
  }
  return ink;
}

// How many pixels of each value a page region holds.
std::map<uint32_t, int> ColoursOf(int page, int x0, int y0, int x1, int y1) {
  std::map<uint32_t, int> out;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) ++out[test::PagePixel(page, x, y)];
  return out;
}

class Text : public test::Window {
 protected:
  // Draws one text on a cleared draw page 0 and answers its ink.
  Ink Draw(int x, int y, const char* text) {
    EaselClear();
    EaselTextAt(static_cast<int16_t>(x), static_cast<int16_t>(y), text);
    EXPECT_EQ(EaselResult(), 0);
    return InkOf(0);
  }
};

TEST_F(Text, StandardFamiliesFillTheFirstFourSlotsWithRealFaces) {
  const char* names[] = {"Courier New", "MS Sans Serif", "Times New Roman", "Arial"};
  for (int slot = 0; slot < 4; ++slot) {
    EXPECT_EQ(text::SlotName(slot), names[slot]);
    EXPECT_FALSE(text::SlotFace(slot).empty()) << names[slot];
  }
  for (int slot = 4; slot < 15; ++slot) EXPECT_EQ(text::SlotName(slot), "") << slot;
  // Each standard family is drawn by a face of its own kind: four distinct faces, and
  // "MS Sans Serif" not by whatever default face the font system falls back to for Arial.
  std::vector<std::string> files;
  for (int slot = 0; slot < 4; ++slot) {
    EaselSetTextStyle(static_cast<int16_t>(slot), 0, 16);
    ASSERT_EQ(EaselResult(), 0);
    files.push_back(text::CurrentStyle().faceFile);
    EXPECT_EQ(access(files.back().c_str(), R_OK), 0) << files.back();
  }
  for (size_t i = 0; i < files.size(); ++i)
    for (size_t j = i + 1; j < files.size(); ++j) EXPECT_NE(files[i], files[j]);
  // Courier New keeps a fixed pitch: "iii" and "WWW" advance alike.
  EaselSetTextStyle(0, 0, 16);
  EaselTextAt(0, 0, "iii");
  const int narrow = Lib().cpX;
  EaselTextAt(0, 0, "WWW");
  EXPECT_EQ(Lib().cpX, narrow);
  EXPECT_GT(narrow, 0);
}

TEST_F(Text, DefaultsAfterOpen) {
  const text::StyleInfo info = text::CurrentStyle();
  EXPECT_EQ(info.font, 0);
  EXPECT_EQ(info.direction, 0);
  EXPECT_EQ(info.size, 16);
  EXPECT_EQ(info.cellHeight, 16);
  EXPECT_EQ(info.alignH, 0);
  EXPECT_EQ(info.alignV, 0);
  EXPECT_TRUE(info.hasFont);
  // White, with the cell's top-left pixel at the point.
  const Ink ink = Draw(10, 20, "Mg");
  EXPECT_GE(ink.left, 10);
  EXPECT_LE(ink.left, 12);
  EXPECT_GE(ink.top, 20);
  EXPECT_LE(ink.bottom, 20 + 15);
  const std::map<uint32_t, int> colours = ColoursOf(0, 0, 0, 100, 100);
  EXPECT_EQ(colours.size(), 2u);
  EXPECT_EQ(colours.count(EaselColors[250]), 1u);
}

TEST_F(Text, FontWordSelectsWeightItalicAndSlot) {
  EaselSetTextStyle(3, 0, 16);
  const std::string arial = text::CurrentStyle().faceFile;
  EaselSetTextStyle(0, 0, 16);
  const std::string courier = text::CurrentStyle().faceFile;

  const struct {
    int16_t font;
    const std::string* plain;
    bool bold, italic;
  } cases[] = {
      {0x13, &arial, true, false},      // bold Arial
      {0x1000, &courier, false, true},  // italic Courier New
      {0x1013, &arial, true, true},
      {0x23, &arial, true, false},     // heavier steps still select a bold face
      {0x0103, &arial, false, false},  // underline does not change the face
      {0x0F03, &arial, false, false},
      {static_cast<int16_t>(0xF000), &courier, false, true},  // any italic nibble but 0
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "font word 0x" << std::hex << c.font);
    EaselSetTextStyle(c.font, 0, 16);
    ASSERT_EQ(EaselResult(), 0);
    const text::StyleInfo info = text::CurrentStyle();
    EXPECT_EQ(info.font, c.font);
    if (!c.bold && !c.italic) {
      EXPECT_EQ(info.faceFile, *c.plain);
      continue;
    }
    EXPECT_NE(info.faceFile, *c.plain);
    if (c.bold) {
      EXPECT_NE(info.faceFile.find("Bold"), std::string::npos) << info.faceFile;
    }
    if (c.italic) {
      EXPECT_NE(info.faceFile.find("Italic"), std::string::npos) << info.faceFile;
    }
  }
  // Bold ink is heavier than regular ink for the same text.
  EaselSetTextStyle(3, 0, 24);
  const int regular = Draw(100, 100, "Weight").count;
  EaselSetTextStyle(0x13, 0, 24);
  EXPECT_GT(Draw(100, 100, "Weight").count, regular * 5 / 4);
}

TEST_F(Text, EmptySlotOrSlot15KeepsThePreviousFont) {
  EaselSetTextStyle(0x13, 0, 24);
  const text::StyleInfo before = text::CurrentStyle();
  const Ink ink = Draw(100, 100, "Keep");
  const int16_t fonts[] = {4, 14, 15, 0x1F, 0x1114, -1};
  for (int16_t font : fonts) {
    SCOPED_TRACE(font);
    EaselSetTextStyle(font, 90, 3);
    EXPECT_EQ(EaselResult(), -6);
    const text::StyleInfo after = text::CurrentStyle();
    EXPECT_EQ(after.font, before.font);
    EXPECT_EQ(after.faceFile, before.faceFile);
    EXPECT_EQ(after.cellHeight, before.cellHeight);
    EXPECT_EQ(after.direction, 0);
    const Ink again = Draw(100, 100, "Keep");
    EXPECT_EQ(again.count, ink.count);
    EXPECT_EQ(again.right, ink.right);
  }
}

TEST_F(Text, SizeIsTheCellHeight) {
  const struct {
    int16_t size;
    int cell;
  } cases[] = {{1, 8},
               {2, 16},
               {3, 24},
               {5, 40},
               {6, 6},
               {0, 16},
               {100, 100},
               {-1, text::kMaxCellHeight},
               {-32768, text::kMaxCellHeight}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.size);
    EaselSetTextStyle(3, 0, c.size);
    ASSERT_EQ(EaselResult(), 0);
    const text::StyleInfo info = text::CurrentStyle();
    EXPECT_EQ(info.size, c.size);
    EXPECT_EQ(info.cellHeight, c.cell);
    EXPECT_EQ(info.ascent + info.descent, c.cell);
    EXPECT_GT(info.ascent, info.descent);
  }
  // Accented capitals and descenders fill the cell, and never leave it.
  for (int16_t size : {3, 5, 6, 100}) {
    for (int16_t slot : {0, 1, 2, 3}) {
      SCOPED_TRACE(testing::Message() << "size " << size << " slot " << slot);
      EaselSetTextStyle(slot, 0, size);
      const int cell = text::CurrentStyle().cellHeight;
      const Ink ink = Draw(10, 100, "\xC9\xC5gjy|");
      EXPECT_GE(ink.top, 100);
      EXPECT_LE(ink.bottom, 100 + cell - 1);
      EXPECT_GE(ink.Height(), cell * 7 / 10);
    }
  }
}

TEST_F(Text, JustificationPlacesTheCellAroundThePoint) {
  EaselSetTextStyle(3, 0, 2);
  const text::StyleInfo info = text::CurrentStyle();
  EaselTextAt(0, 0, "HgH");
  const int width = Lib().cpX;  // the advance of the text
  ASSERT_GT(width, 20);

  // Ink bounds expected per justification, as (lowest, highest) for each edge.
  struct Range {
    int lo, hi;
  };
  const struct {
    int16_t h, v;
    Range left, right, top, bottom;
  } cases[] = {
      // Left/top: the cell's top-left pixel is the point.
      {0,
       0,
       {400, 402},
       {400 + width - 4, 400 + width - 1},
       {300, 300 + info.ascent - 1},
       {300 + info.ascent, 300 + 15}},
      // Centre/bottom, the justification the programs use: centred on x, cell bottom on y.
      {1,
       1,
       {400 - width / 2, 400 - width / 2 + 2},
       {400 + width / 2 - 4, 400 + width / 2},
       {284, 300 - info.descent - 1},
       {300 - info.descent, 299}},
      // Right/baseline: the text ends at x, the capitals stand on the row above y.
      {2,
       2,
       {400 - width, 400 - width + 2},
       {396, 399},
       {300 - info.ascent, 299},
       {300, 300 + info.descent - 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "justification " << c.h << ", " << c.v);
    EaselSetTextAlign(c.h, c.v);
    ASSERT_EQ(EaselResult(), 0);
    const Ink ink = Draw(400, 300, "HgH");
    EXPECT_GE(ink.left, c.left.lo);
    EXPECT_LE(ink.left, c.left.hi);
    EXPECT_GE(ink.right, c.right.lo);
    EXPECT_LE(ink.right, c.right.hi);
    EXPECT_GE(ink.top, c.top.lo);
    EXPECT_LE(ink.top, c.top.hi);
    EXPECT_GE(ink.bottom, c.bottom.lo);
    EXPECT_LE(ink.bottom, c.bottom.hi);
  }
  // Centred: the ink is balanced about x.
  EaselSetTextAlign(1, 1);
  const Ink ink = Draw(400, 300, "HgH");
  EXPECT_LE(std::abs((400 - ink.left) - (ink.right + 1 - 400)), 2);
  // The capitals of baseline text stand exactly on the row above the point.
  EaselSetTextAlign(0, 2);
  EXPECT_EQ(Draw(400, 300, "H").bottom, 299);
}

TEST_F(Text, BadJustificationChangesNothing) {
  EaselSetTextAlign(1, 1);
  const int16_t bad[][2] = {{3, 0}, {0, 3}, {-1, 1}, {1, -1}, {2, 5}, {7, 7}};
  for (const auto& b : bad) {
    EaselSetTextAlign(b[0], b[1]);
    EXPECT_EQ(EaselResult(), -7) << b[0] << ", " << b[1];
    EXPECT_EQ(text::CurrentStyle().alignH, 1);
    EXPECT_EQ(text::CurrentStyle().alignV, 1);
  }
}

TEST_F(Text, TheCurrentPositionEndsAtTheFarEndOfTheText) {
  EaselSetTextStyle(0, 0, 16);  // fixed pitch: every character advances alike
  EaselTextAt(100, 50, "A");
  const int advance = Lib().cpX - 100;
  ASSERT_GT(advance, 0);
  const struct {
    int16_t h, v, direction;
    int x, y;
  } cases[] = {
      {0, 0, 0, 100 + 4 * advance, 50},
      {1, 1, 0, 100 + 2 * advance, 50},
      {2, 2, 0, 100, 50},
      {0, 1, 90, 100, 50 - 4 * advance},
      {0, 2, 180, 100 - 4 * advance, 50},
      {1, 0, 270, 100, 50 + 2 * advance},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.h << ", " << c.v << " at " << c.direction);
    EaselSetTextStyle(0, c.direction, 16);
    EaselSetTextAlign(c.h, c.v);
    EaselTextAt(100, 50, "AAAA");
    EXPECT_EQ(Lib().cpX, c.x);
    EXPECT_EQ(Lib().cpY, c.y);
  }
  // Texts stop after 255 characters.
  EaselSetTextStyle(0, 0, 16);
  EaselSetTextAlign(0, 0);
  const std::string longText(300, 'A');
  EaselTextAt(-10000, 50, longText.c_str());
  EXPECT_EQ(Lib().cpX, -10000 + 255 * advance);
}

TEST_F(Text, TextsAtOnePointOverlapWhateverTheCurrentPosition) {
  EaselTextAt(100, 100, "AB");
  const std::string once = Picture(0, 90, 90, 160, 130);
  EaselTextAt(100, 100, "AB");  // the first text moved the current position; the point wins
  EXPECT_EQ(Picture(0, 90, 90, 160, 130), once);
  EaselLine(0, 0, 5, 5);  // neither do other primitives' positions matter
  EaselTextAt(100, 100, "AB");
  EXPECT_EQ(Picture(0, 90, 90, 160, 130), once);
}

TEST_F(Text, DrawsInTheDrawingColourOverATransparentBackground) {
  EaselSetBkColor(EaselColors[15]);
  EaselClear();
  EaselBar(120, 90, 125, 130);  // something under the text that must show through its gaps
  EaselSetColor(EaselColors[207]);
  EaselTextAt(100, 100, "Red");
  const std::map<uint32_t, int> colours = ColoursOf(0, 95, 95, 160, 130);
  EXPECT_GT(colours.at(EaselColors[207]), 20);
  EXPECT_GT(colours.at(EaselColors[15]), 100);
  EXPECT_GT(colours.at(EaselColors[250]), 10);  // the bar's white between the strokes
  EXPECT_EQ(colours.size(), 3u);
  // Colour values wrap modulo the palette size, as for the primitives.
  EaselClear();
  EaselSetColor(256 + 4);
  EaselTextAt(100, 100, "X");
  const std::map<uint32_t, int> wrapped = ColoursOf(0, 95, 95, 160, 130);
  EXPECT_GT(wrapped.count(4), 0u);
  EXPECT_EQ(wrapped.size(), 2u);
}

TEST_F(Text, RotationTurnsTheTextCounterClockwise) {
  EaselSetTextAlign(0, 2);  // left, baseline: the text starts at the point on its baseline
  EaselSetTextStyle(3, 0, 24);
  const Ink flat = Draw(400, 300, "HHHHHH");
  ASSERT_GT(flat.Width(), 3 * flat.Height());
  struct Box {
    int left, top, right, bottom;  // where the ink must lie
  };
  const struct {
    int16_t direction;
    Box box;
  } cases[] = {
      {0, {400, 300 - 24, 400 + 200, 299}},
      {90, {400 - 24, 300 - 200, 399, 299}},   // vertical, reading upward, tops to the left
      {450, {400 - 24, 300 - 200, 399, 299}},  // the same turn
      {180, {400 - 200, 300, 399, 300 + 24}},  // upside down, to the left
      {270, {400, 300, 400 + 24, 300 + 200}},  // reading downward, tops to the right
      {-90, {400, 300, 400 + 24, 300 + 200}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "direction " << c.direction);
    EaselSetTextStyle(3, c.direction, 24);
    ASSERT_EQ(EaselResult(), 0);
    const Ink ink = Draw(400, 300, "HHHHHH");
    EXPECT_GE(ink.left, c.box.left);
    EXPECT_LE(ink.right, c.box.right);
    EXPECT_GE(ink.top, c.box.top);
    EXPECT_LE(ink.bottom, c.box.bottom);
    const bool vertical = c.direction % 180 != 0;
    // The turned string is the flat one turned: its extents swap, within hinting's pixel.
    EXPECT_NEAR(vertical ? ink.Height() : ink.Width(), flat.Width(), 2);
    EXPECT_NEAR(vertical ? ink.Width() : ink.Height(), flat.Height(), 2);
    EXPECT_NEAR(ink.count, flat.count, flat.count / 10);
  }
  // At 90 degrees the first character is the lowest: drawing only it inks the bottom end.
  EaselSetTextStyle(3, 90, 24);
  const Ink all = Draw(400, 300, "HHHHHH");
  const Ink first = Draw(400, 300, "H");
  EXPECT_EQ(first.bottom, all.bottom);
  EXPECT_LT(all.top, first.top - flat.Width() / 2);
  // An oblique direction lies between: 45 degrees rises to the right.
  EaselSetTextStyle(3, 45, 24);
  const Ink oblique = Draw(400, 300, "HHHHHH");
  EXPECT_NEAR(oblique.Width(), flat.Width() * 0.71 + flat.Height() * 0.71, 4);
  EXPECT_NEAR(oblique.Height(), flat.Width() * 0.71 + flat.Height() * 0.71, 4);
  EXPECT_LT(oblique.top, 300 - flat.Width() / 2);
  EXPECT_LE(oblique.bottom, 300 + 24);
  EXPECT_GE(oblique.left, 400 - 24);
}

TEST_F(Text, UnderlineRunsUnderTheWholeText) {
  EaselSetTextAlign(0, 2);
  EaselSetTextStyle(3, 0, 24);
  EaselClear();
  EaselTextAt(100, 100, "a b");
  const int end = Lib().cpX;
  const std::string plain = Picture(0, 90, 80, 160, 110);
  EaselSetTextStyle(0x103, 0, 24);
  EaselClear();
  EaselTextAt(100, 100, "a b");
  // Every column under the text's advance gets ink below the baseline, the gap too.
  for (int x = 100; x < end; ++x) {
    bool below = false;
    for (int y = 100; y < 100 + text::CurrentStyle().descent; ++y)
      below |= test::PagePixel(0, x, y) != 0;
    EXPECT_TRUE(below) << x;
  }
  EXPECT_EQ(test::PagePixel(0, 99, 101), 0u);
  EXPECT_EQ(test::PagePixel(0, end, 101) | test::PagePixel(0, end, 102), 0u);
  EXPECT_NE(Picture(0, 90, 80, 160, 110), plain);
  // Turned by 90 degrees the underline turns too: a column right of the point. Any underline
  // nibble but 0 underlines.
  EaselSetTextStyle(0x803, 90, 24);
  EaselClear();
  EaselTextAt(100, 300, "a b");
  const int top = Lib().cpY;
  for (int y = top; y < 300; ++y) {
    bool beside = false;
    for (int x = 100; x < 100 + text::CurrentStyle().descent; ++x)
      beside |= test::PagePixel(0, x, y) != 0;
    EXPECT_TRUE(beside) << y;
  }
}

TEST_F(Text, HiddenPageStaysInvisibleUntilShown) {
  EaselSetTextStyle(3, 0, 3);
  EaselSetColor(EaselColors[250]);
  EaselSetDrawPage(1);  // showing page 0
  EaselTextAt(100, 100, "Hidden");
  const Ink ink = InkOf(1);
  ASSERT_GT(ink.count, 0);
  headless::Sync();
  auto screenInk = [&] {
    int n = 0;
    for (int y = ink.top; y <= ink.bottom; ++y)
      for (int x = ink.left; x <= ink.right; ++x) n += headless::ScreenPixel(x, y) != 0;
    return n;
  };
  EXPECT_EQ(screenInk(), 0);
  EaselSetShowPage(1);
  headless::Sync();
  EXPECT_EQ(screenInk(), ink.count);
  // Drawing into the shown page with update on reaches the screen without a page flip.
  EaselSetColor(EaselColors[207]);
  EaselTextAt(100, 200, "Direct");
  headless::Sync();
  const Ink direct = InkOf(1, 0, 190);
  ASSERT_GT(direct.count, 0);
  EXPECT_EQ(headless::ScreenPixel(direct.firstX, direct.firstY), 0xFC0000u);
}

TEST_F(Text, Windows1252CharactersRenderAsTheirLetters) {
  EaselSetTextStyle(3, 0, 3);
  EaselClear();
  EaselTextAt(10, 10, "?");
  const std::string question = Picture(0, 0, 0, 40, 40);
  EaselClear();
  EaselTextAt(10, 10, "\x81");  // unassigned: the face's missing-character glyph
  const std::string missing = Picture(0, 0, 0, 40, 40);
  for (int c = 128; c < 256; ++c) {
    // Five places are unassigned in the set; A0 is the no-break space.
    if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D || c == 0xA0) continue;
    const char s[2] = {static_cast<char>(c), 0};
    EaselClear();
    EaselTextAt(10, 10, s);
    EXPECT_GT(test::CountSet(0, 0, 0, 40, 40), 0) << c;
    EXPECT_NE(Picture(0, 0, 0, 40, 40), question) << c;
    EXPECT_NE(Picture(0, 0, 0, 40, 40), missing) << c;
  }
  // A few letters by shape: the euro sign and E-acute are wider than 'I', and the
  // diaeresis sits above the x-height of 'a'.
  EaselSetTextAlign(0, 2);
  const Ink a = Draw(10, 100, "a");
  const Ink aUmlaut = Draw(10, 100, "\xE4");
  EXPECT_LT(aUmlaut.top, a.top - 2);
  EXPECT_EQ(aUmlaut.bottom, a.bottom);
  EXPECT_GT(Draw(10, 100, "\x80").Width(), Draw(10, 100, "I").Width());
}

TEST_F(Text, FarOffTextWritesNothing) {
  const size_t size = Lib().pages8[0].size();
  const uint8_t* data = Lib().pages8[0].data();
  const int16_t far[] = {-32768, -20000, 20000, 32767};
  for (int16_t direction : {0, 45, 90, 180, 270}) {
    for (int16_t textSize : {2, -1}) {
      EaselSetTextStyle(0x1113, direction, textSize);
      for (int16_t x : far) {
        for (int16_t y : far) {
          for (int16_t h = 0; h <= 2; ++h) {
            EaselSetTextAlign(h, 1);
            EaselTextAt(x, y, "Far off");
            EaselTextAt(x, 300, "Far off");
            EaselTextAt(400, y, "Far off");
          }
        }
      }
    }
  }
  EXPECT_EQ(Lib().pages8[0].size(), size);
  EXPECT_EQ(Lib().pages8[0].data(), data);
  EXPECT_EQ(InkOf(0).count, 0);
}

// A surface inside a larger buffer: any write outside the surface lands in the guard band.
template <typename T>
struct Guarded {
  static constexpr int kGuard = 96;
  static constexpr T kSentinel = static_cast<T>(0xA5A5A5A5u);
  int width, height, pitch;
  std::vector<T> buffer;
  raster::Surface<T> surface;
  Guarded(int w, int h) : width(w), height(h), pitch(w + 2 * kGuard) {
    buffer.assign(static_cast<size_t>(pitch) * static_cast<size_t>(h + 2 * kGuard), kSentinel);
    surface = {buffer.data() + kGuard * pitch + kGuard, w, h, pitch};
    Clear();
  }
  void Clear() {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) surface.pixels[y * pitch + x] = 0;
  }
  bool GuardIntact() const {
    for (int y = 0; y < height + 2 * kGuard; ++y) {
      for (int x = 0; x < pitch; ++x) {
        const bool inside = y >= kGuard && y < kGuard + height && x >= kGuard && x < kGuard + width;
        if (!inside && buffer[static_cast<size_t>(y) * pitch + x] != kSentinel) return false;
      }
    }
    return true;
  }
  int Set() const {
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) n += surface.pixels[y * pitch + x] != 0;
    return n;
  }
};

TEST_F(Text, TextAcrossTheEdgesIsClippedToTheSurface) {
  Guarded<uint8_t> s8(40, 30);
  Guarded<uint32_t> s32(40, 30);
  int inked = 0, draws = 0;
  for (int16_t direction : {0, 30, 90, 180, 270}) {
    EaselSetTextStyle(0x1113, direction, 3);  // bold italic underlined, 24 pixels
    for (int16_t h = 0; h <= 2; ++h) {
      for (int16_t v = 0; v <= 2; ++v) {
        EaselSetTextAlign(h, v);
        for (int x : {-30, -5, 0, 20, 39, 40, 60}) {
          for (int y : {-20, -3, 0, 15, 29, 30, 45}) {
            s8.Clear();
            text::DrawOn(s8.surface, x, y, "Wg\xC9_", 7);
            text::DrawOn(s32.surface, x, y, "Wg\xC9_", 0xFFFFFFu);
            ASSERT_TRUE(s8.GuardIntact()) << x << "," << y << " dir " << direction;
            ASSERT_TRUE(s32.GuardIntact()) << x << "," << y << " dir " << direction;
            inked += s8.Set() > 0;
            ++draws;
          }
        }
      }
    }
  }
  EXPECT_GT(inked, draws / 3);  // the cases do reach into the surface
}

TEST_F(Text, TrueColourPagesStoreTheRgbValue) {
  EaselClose();
  int16_t driver = 9, mode = 6;
  EaselOpen(driver, mode, "rgb");
  ASSERT_EQ(EaselResult(), 0);
  EaselSetColor(EaselRgb(10, 20, 30));
  EaselTextAt(100, 100, "RGB");
  const Ink ink = InkOf(0);
  ASSERT_GT(ink.count, 10);
  EXPECT_EQ(test::PagePixel(0, ink.firstX, ink.firstY), 0x1E140Au);
}

TEST_F(Text, ManyStylesAndReopeningKeepTheCacheSound) {
  auto drawn = [&] {
    EaselSetTextStyle(2, 0, 3);
    Draw(50, 50, "Cache");
    return Picture(0, 40, 40, 140, 90);
  };
  const std::string original = drawn();
  // More styles than the cache keeps, each drawn, then back to the first.
  for (int16_t size = 6; size < 6 + 48; ++size) {
    EaselSetTextStyle(static_cast<int16_t>(size % 4), static_cast<int16_t>(size * 7), size);
    Draw(50, 50, "Cache");
  }
  EXPECT_EQ(drawn(), original);
  // Huge glyphs in bulk: the bitmaps of one style can outgrow the cache budget.
  EaselSetTextStyle(1, 0, 2000);
  for (int c = 33; c < 127; c += 16) {
    const char s[] = {static_cast<char>(c), static_cast<char>(c + 5), static_cast<char>(c + 10), 0};
    Draw(-100, -100, s);
  }
  EaselClose();
  int16_t driver = 3, mode = 6;
  EaselOpen(driver, mode, "again");
  ASSERT_EQ(EaselResult(), 0);
  EXPECT_EQ(drawn(), original);
}

TEST_F(Text, RepeatedLabelsAllocateNothing) {
  // Into a page not shown: the repaint requests of direct drawing are the backend's business.
  EaselSetDrawPage(1);
  EaselSetTextStyle(3, 0, 2);
  EaselSetTextAlign(1, 1);
  EaselTextAt(400, 300, "Particule: 1234  Viteza: 56.78");
  EaselSetTextStyle(0x1110, 30, 3);
  EaselTextAt(400, 300, "Particule: 1234  Viteza: 56.78");
  allocations = 0;
  countAllocations = true;
  for (int i = 0; i < 100; ++i) {
    EaselSetTextStyle(3, 0, 2);
    EaselTextAt(400, 300, "Particule: 1234  Viteza: 56.78");
    EaselSetTextStyle(0x1110, 30, 3);
    EaselTextAt(400, 300, "Particule: 1234  Viteza: 56.78");
  }
  countAllocations = false;
  EXPECT_EQ(allocations, 0u);
}

TEST(TextClosed, OperationsReportTheWindowIsNotOpen) {
  if (Lib().open.load()) EaselClose();
  EaselSetTextStyle(3, 0, 2);
  EXPECT_EQ(EaselResult(), -1);
  EaselSetTextAlign(1, 1);
  EXPECT_EQ(EaselResult(), -1);
  EaselTextAt(10, 10, "closed");
  EXPECT_EQ(EaselResult(), -1);
  EaselTextAt(10, 10, nullptr);
  EXPECT_EQ(EaselResult(), -1);
}

// Opens a window with a font configuration that has no fonts at all; exits 0 when the open
// reports -5 with the window left open and text drawing does nothing.
void OpenWithoutFonts() {
  char path[] = "/tmp/easel-nofonts-XXXXXX";
  const int fd = mkstemp(path);
  const char config[] = "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
  if (fd < 0 || write(fd, config, sizeof config - 1) < 0) std::_Exit(2);
  close(fd);
  setenv("FONTCONFIG_FILE", path, 1);
  headless::SetDesktop(1920, 1080, 32);
  int16_t driver = 3, mode = 6;
  EaselOpen(driver, mode, "no fonts");
  bool ok = EaselResult() == -5 && Lib().open.load();
  EaselSetTextStyle(0, 0, 16);
  ok = ok && EaselResult() == -6;
  EaselTextAt(10, 10, "nothing");
  ok = ok && EaselResult() == 0 && InkOf(0).count == 0;
  EaselClose();
  unlink(path);
  std::_Exit(ok ? 0 : 1);
}

TEST(TextFonts, MissingFamilyLeavesTheWindowOpenWithMinus5) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(OpenWithoutFonts(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace easel
