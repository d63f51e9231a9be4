// Colours and primitives through the library's API, checked on the pages.
#include "palette.h"
#include "test_support.h"

namespace easel {
namespace {

using test::CountSet;
using test::PagePixel;
using test::Picture;

TEST(Palette, DefaultPaletteEntries) {
  palette::Rgb p[256];
  ASSERT_EQ(palette::DefaultPalette(3, p), 256);
  const struct {
    int index;
    palette::Rgb rgb;
  } cases[] = {
      {0, {0, 0, 0}},        {1, {0, 0, 168}},       {6, {168, 84, 0}},     {15, {252, 252, 252}},
      {16, {0, 0, 0}},       {23, {96, 96, 96}},     {31, {252, 252, 252}}, {32, {0, 0, 252}},
      {36, {252, 0, 252}},   {40, {252, 0, 0}},      {44, {252, 252, 0}},   {55, {0, 64, 252}},
      {56, {124, 124, 252}}, {102, {180, 216, 252}}, {120, {0, 112, 0}},    {247, {44, 48, 64}},
      {248, {0, 0, 0}},      {255, {0, 0, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(p[c.index], c.rgb) << c.index;
  ASSERT_EQ(palette::DefaultPalette(2, p), 16);
  ASSERT_EQ(palette::DefaultPalette(1, p), 2);
  EXPECT_EQ(p[1], (palette::Rgb{255, 255, 255}));
  EXPECT_EQ(palette::DefaultPalette(9, p), 0);
}

class Draw : public test::Window {};

TEST_F(Draw, NamedColoursGiveTheirPaletteIndices) {
  const struct {
    int name;
    uint32_t index;
  } cases[] = {{12, 0},  {15, 32},  {59, 8},   {105, 120}, {122, 102},
               {127, 7}, {142, 36}, {207, 40}, {250, 15},  {253, 44}};
  for (const auto& c : cases) EXPECT_EQ(EaselColors[c.name], c.index) << c.name;
}

TEST_F(Draw, RgbFindsTheNearestEntryAndSpillsGreenIntoBlue) {
  EXPECT_EQ(EaselRgb(255, 255, 255), 15u);
  EXPECT_EQ(EaselRgb(0, 0, 0), 0u);
  EXPECT_EQ(EaselRgb(255, 0, 0), 40u);
  EXPECT_EQ(EaselRgb(256 + 255, 0, 0), 40u);  // red keeps its low 8 bits
  EXPECT_EQ(EaselMaxColor(), 255u);
  EaselClose();
  // With no palette the raw value shows the spill: green 300 is green 44 and blue 1.
  EXPECT_EQ(EaselRgb(0, 300, 0), 0x012C00u);
  EXPECT_EQ(EaselRgb(1, 2, 3), 0x030201u);
  int16_t driver = 3, mode = 6;
  EaselOpen(driver, mode, "x");
  const palette::Rgb spill{0, 44, 1};
  palette::Rgb p[256];
  palette::DefaultPalette(3, p);
  EXPECT_EQ(EaselRgb(0, 300, 0), static_cast<uint32_t>(palette::Nearest(p, 256, spill)));
}

TEST_F(Draw, ColourValuesWrapModuloThePaletteSize) {
  EaselSetColor(256);
  EaselPixel(5, 5, 257);
  EXPECT_EQ(PagePixel(0, 5, 5), 1u);
  EaselSetColor(EaselColors[250] + 256);
  EaselLine(0, 0, 3, 0);
  EXPECT_EQ(PagePixel(0, 2, 0), 15u);
}

TEST_F(Draw, CircleSpansExactlyTwoRadiiPlusOne) {
  EaselCircle(100, 100, 10);
  EXPECT_NE(PagePixel(0, 90, 100), 0u);
  EXPECT_NE(PagePixel(0, 110, 100), 0u);
  EXPECT_NE(PagePixel(0, 100, 90), 0u);
  EXPECT_NE(PagePixel(0, 100, 110), 0u);
  EXPECT_EQ(CountSet(0, 0, 0, 89, 200), 0);
  EXPECT_EQ(CountSet(0, 111, 0, 200, 200), 0);
  EXPECT_EQ(CountSet(0, 0, 0, 200, 89), 0);
  EXPECT_EQ(CountSet(0, 0, 111, 200, 200), 0);
  EXPECT_EQ(PagePixel(0, 100, 100), 0u);  // not filled
}

TEST_F(Draw, ThinLinesCoverBothEndsAndWidePensGiveTheEndsRoundCaps) {
  EaselLine(10, 10, 20, 10);
  EXPECT_EQ(Picture(0, 9, 9, 21, 11),
            ".............\n"
            ".###########.\n"
            ".............\n");
  EaselClear();
  EaselSetLineStyle(0, 0, 3);
  EaselLine(10, 10, 20, 10);
  EXPECT_EQ(Picture(0, 8, 8, 22, 12),
            "...............\n"
            ".#############.\n"
            ".#############.\n"
            ".#############.\n"
            "...............\n");
  // A zero thickness pen is thin but does not add the end pixel.
  EaselClear();
  EaselSetLineStyle(0, 0, 0);
  EaselLine(10, 10, 20, 10);
  EXPECT_EQ(PagePixel(0, 19, 10), 15u);
  EXPECT_EQ(PagePixel(0, 20, 10), 0u);
}

TEST_F(Draw, InvisiblePenStillSetsTheEndPixelOfAThinLine) {
  EaselSetLineStyle(6, 0, 1);
  EaselLine(10, 10, 20, 10);
  EXPECT_EQ(CountSet(0, 0, 0, 30, 30), 1);
  EXPECT_EQ(PagePixel(0, 20, 10), 15u);
  EaselCircle(50, 50, 5);
  EaselRect(60, 60, 70, 70);
  EXPECT_EQ(CountSet(0, 40, 40, 80, 80), 0);
}

TEST_F(Draw, PatternStyleWalksItsBitsAndSkipsTheEnd) {
  EaselSetLineStyle(5, 0b0000000000000101, 3);  // thickness plays no part
  EaselLine(0, 0, 20, 0);
  // Bits 0 and 2 of every 16: pixels 0, 2, 16, 18; pixel 20 is the excluded end.
  EXPECT_EQ(Picture(0, 0, 0, 20, 0), "#.#.............#.#..\n");
}

TEST_F(Draw, RectanglesAreClosedOutlinesWithCornersInAnyOrder) {
  EaselRect(5, 5, 5, 5);
  EXPECT_EQ(CountSet(0, 0, 0, 40, 40), 1);
  EXPECT_NE(PagePixel(0, 5, 5), 0u);
  EaselClear();
  EaselRect(10, 10, 14, 13);
  const std::string expected = Picture(0, 9, 9, 15, 14);
  EXPECT_EQ(expected,
            ".......\n"
            ".#####.\n"
            ".#...#.\n"
            ".#...#.\n"
            ".#####.\n"
            ".......\n");
  EaselClear();
  EaselRect(14, 13, 10, 10);
  EXPECT_EQ(Picture(0, 9, 9, 15, 14), expected);
  EaselClear();
  EaselRect(10, 10, 10, 14);  // a degenerate rectangle is its whole side
  EXPECT_EQ(CountSet(0, 10, 10, 10, 14), 5);
}

TEST_F(Draw, BarsAreInclusiveAndPatternZeroUsesTheBackgroundColour) {
  EaselBar(12, 11, 10, 10);
  EXPECT_EQ(CountSet(0, 0, 0, 40, 40), 6);
  EXPECT_EQ(PagePixel(0, 12, 11), 15u);

  EaselSetBkColor(EaselColors[122]);
  EaselSetFillStyle(0, EaselColors[207]);
  EaselBar(20, 20, 21, 21);
  EXPECT_EQ(PagePixel(0, 20, 20), EaselColors[122]);
  // Changing the background later does not change the chosen fill.
  EaselSetBkColor(EaselColors[12]);
  EaselBar(30, 30, 30, 30);
  EXPECT_EQ(PagePixel(0, 30, 30), EaselColors[122]);

  EaselSetFillStyle(9, 3);  // hollow
  EaselBar(0, 0, 799, 599);
  EXPECT_EQ(PagePixel(0, 40, 40), 0u);

  EaselSetFillStyle(8, 3);  // the user pattern: all set, white
  EaselBar(40, 40, 41, 41);
  EXPECT_EQ(PagePixel(0, 40, 40), 15u);
}

TEST_F(Draw, HatchGapsKeepWhatWasThere) {
  EaselSetFillStyle(1, 4);
  EaselBar(0, 0, 15, 15);
  EaselSetFillStyle(2, 2);
  EaselBar(0, 0, 15, 15);
  int hatched = 0, kept = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) (PagePixel(0, x, y) == 2 ? hatched : kept) += 1;
  EXPECT_GT(hatched, 0);
  EXPECT_GT(kept, 0);
  EXPECT_EQ(hatched + kept, 256);
  EXPECT_EQ(CountSet(0, 16, 0, 40, 40), 0);
}

TEST_F(Draw, ClearKeepsTheFillStyleAndHomesThePosition) {
  EaselSetFillStyle(2, 4);
  EaselLine(10, 10, 30, 30);
  EaselSetBkColor(1);
  EaselClear();
  EXPECT_EQ(PagePixel(0, 799, 599), 1u);
  EXPECT_EQ(Lib().fillPattern, 2);
  EXPECT_EQ(Lib().fillColour, 4u);
  EXPECT_EQ(Lib().cpX, 0);
  EXPECT_EQ(Lib().cpY, 0);
}

TEST_F(Draw, BadStylesAreRefusedAndChangeNothing) {
  EaselSetLineStyle(0, 0, 3);
  EaselSetLineStyle(7, 0, 1);
  EXPECT_EQ(EaselResult(), -7);
  EaselSetLineStyle(-1, 0, 1);
  EXPECT_EQ(EaselResult(), -7);
  EXPECT_EQ(Lib().thickness, 3);
  EaselSetFillStyle(1, 3);
  EaselSetFillStyle(10, 4);
  EXPECT_EQ(EaselResult(), -7);
  EaselSetFillStyle(-1, 4);
  EXPECT_EQ(EaselResult(), -7);
  EaselBar(0, 0, 0, 0);
  EXPECT_EQ(PagePixel(0, 0, 0), 3u);
}

TEST_F(Draw, ExtremeCoordinatesWriteOnlyInsideThePage) {
  const uint8_t* begin = Lib().pages8[0].data();
  const size_t size = Lib().pages8[0].size();
  (void)begin;
  EaselSetLineStyle(0, 0, 3);
  EaselLine(-32768, -32768, 32767, 32767);
  EaselSetLineStyle(0, 0, 1);
  EaselLine(-32768, 300, 32767, 300);
  EaselCircle(400, 300, 65535);
  EaselCircle(-32768, -32768, 65535);
  EaselRect(-32768, -32768, 32767, 32767);
  EaselBar(-32768, -32768, -1, -1);
  EXPECT_EQ(Lib().pages8[0].size(), size);
  // The diagonal crosses the page through its top-left corner.
  EXPECT_NE(PagePixel(0, 0, 0), 0u);
  EXPECT_NE(PagePixel(0, 599, 599), 0u);
  EXPECT_NE(PagePixel(0, 400, 300), 0u);
}

TEST(TrueColour, PixelsAreStoredAsRgbValues) {
  headless::SetDesktop(1920, 1080, 32);
  int16_t driver = 9, mode = 6;
  EaselOpen(driver, mode, "rgb");
  ASSERT_EQ(EaselResult(), 0);
  EXPECT_EQ(EaselColors[207], 0x0000FFu);
  EaselPixel(3, 3, EaselRgb(10, 20, 30));
  EXPECT_EQ(PagePixel(0, 3, 3), 0x1E140Au);
  headless::Sync();
  EXPECT_EQ(headless::ScreenPixel(3, 3), 0x0A141Eu);
  EaselClose();
}

}  // namespace
}  // namespace easel
