// Capture: checksums, PNG and GIF read back with libpng and giflib and compared with the pages
// pixel for pixel and colour for colour, and Print Screen staying out of the key queue.
#include "capture.h"

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using easel::capture::Picture;
using easel::palette::Rgb;

fs::path FreshDir(const std::string& name) {
  const fs::path dir =
      fs::path(::testing::TempDir()) / ("capture_test_" + std::to_string(getpid()) + "_" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::vector<fs::path> Files(const fs::path& dir) {
  std::vector<fs::path> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

// A PNG as libpng reads it back, without any transformation.
struct Png {
  bool ok = false;
  int colorType = -1, bitDepth = 0;
  int width = 0, height = 0;
  std::vector<Rgb> plte;
  std::vector<uint8_t> data;  // rows of samples
};

// The libpng calls, apart so that the jump back on an error crosses no object with a destructor.
bool DecodePng(std::FILE* f, Png* out) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, f);
  png_read_info(png, info);
  out->width = static_cast<int>(png_get_image_width(png, info));
  out->height = static_cast<int>(png_get_image_height(png, info));
  out->colorType = png_get_color_type(png, info);
  out->bitDepth = png_get_bit_depth(png, info);
  png_colorp plte = nullptr;
  int n = 0;
  if (png_get_PLTE(png, info, &plte, &n)) {
    for (int i = 0; i < n; ++i) out->plte.push_back(Rgb{plte[i].red, plte[i].green, plte[i].blue});
  }
  const size_t rowBytes = png_get_rowbytes(png, info);
  out->data.resize(rowBytes * static_cast<size_t>(out->height));
  std::vector<png_bytep> rows(static_cast<size_t>(out->height));
  for (size_t y = 0; y < rows.size(); ++y) rows[y] = out->data.data() + y * rowBytes;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

Png ReadPng(const fs::path& path) {
  Png out;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  out.ok = DecodePng(f, &out);
  std::fclose(f);
  return out;
}

// Expects an indexed PNG holding exactly this picture and palette.
void ExpectPngIs(const fs::path& path, const Picture& pic) {
  const Png png = ReadPng(path);
  ASSERT_TRUE(png.ok) << path;
  ASSERT_EQ(png.width, pic.width);
  ASSERT_EQ(png.height, pic.height);
  if (pic.indexed) {
    EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_PALETTE);
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.plte, std::vector<Rgb>(std::begin(pic.palette), std::end(pic.palette)));
    EXPECT_TRUE(png.data == pic.indices) << "pixels differ";
  } else {
    EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_RGB);
    std::vector<uint8_t> rgb;
    for (uint32_t v : pic.pixels) {
      const Rgb c = easel::palette::FromValue(v);
      rgb.insert(rgb.end(), {c.r, c.g, c.b});
    }
    EXPECT_TRUE(png.data == rgb) << "pixels differ";
  }
}

Picture Shown() {
  Picture p;
  EXPECT_TRUE(easel::capture::ShownPicture(&p));
  return p;
}

// Draws frame n of a small animation on the draw page and shows it.
void DrawFrame(int16_t n) {
  const int16_t page = static_cast<int16_t>(n % 2);
  EaselSetDrawPage(page);
  EaselClear();
  for (int i = 0; i < 256; i += 1) EaselPixel(static_cast<int16_t>(i), 3, EaselColors[i]);
  EaselSetColor(EaselColors[(n * 37) % 256]);
  EaselCircle(static_cast<int16_t>(100 + 5 * n), 120, 30);
  EaselSetFillStyle(1, EaselColors[253]);
  EaselBar(static_cast<int16_t>(10 + n), 200, static_cast<int16_t>(40 + n), 230);
  EaselSetShowPage(page);
}

class Capture : public easel::test::Window {
 protected:
  void TearDown() override {
    easel::capture::Configure(easel::capture::Settings{});
    Window::TearDown();
  }
};

TEST(CaptureHash, IsSixtyFourBitFnv1a) {
  EXPECT_EQ(easel::capture::Fnv1a("", 0), 0xcbf29ce484222325ull);
  EXPECT_EQ(easel::capture::Fnv1a("a", 1), 0xaf63dc4c8601ec8cull);
  EXPECT_EQ(easel::capture::Fnv1a("foobar", 6), 0x85944171f73967e8ull);
}

TEST(CaptureFrames, ListsParse) {
  struct Case {
    const char* text;
    bool ok;
    std::vector<uint64_t> frames;
    bool last;
  };
  const Case cases[] = {
      {"10,50,200", true, {10, 50, 200}, false},
      {"200, 10 ,10", true, {10, 200}, false},
      {"last", true, {}, true},
      {"5,last", true, {5}, true},
      {"x,3", false, {3}, false},
      {"0", false, {}, false},
      {"-4", false, {}, false},
      {"7,", false, {7}, false},
  };
  for (const Case& c : cases) {
    std::vector<uint64_t> frames;
    bool last = false;
    EXPECT_EQ(easel::capture::ParseFrames(c.text, &frames, &last), c.ok) << c.text;
    EXPECT_EQ(frames, c.frames) << c.text;
    EXPECT_EQ(last, c.last) << c.text;
  }
}

TEST_F(Capture, ChecksumsNameEveryShownFrame) {
  const fs::path dir = FreshDir("sums");
  easel::capture::Settings s;
  s.checksums = (dir / "sums").string();
  easel::capture::Configure(s);
  std::vector<uint64_t> expected;
  for (int16_t n : {0, 1, 0, 2}) {  // frames 1 and 3 show the same picture
    DrawFrame(n);
    expected.push_back(easel::capture::Checksum(Shown()));
  }
  EaselUpdate(2);  // shows the page again: a frame too
  expected.push_back(expected.back());
  easel::capture::Finish();

  std::ifstream in(dir / "sums");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    char want[64];
    std::snprintf(want, sizeof want, "%zu %016llx", i + 1,
                  static_cast<unsigned long long>(expected[i]));
    EXPECT_EQ(lines[i], want);
  }
  EXPECT_EQ(expected[0], expected[2]);
  EXPECT_NE(expected[0], expected[1]);
  EXPECT_NE(expected[1], expected[3]);
}

TEST_F(Capture, PausesEndTheFramesOfDirectDrawingOnly) {
  const fs::path dir = FreshDir("pauses");
  easel::capture::Settings s;
  s.checksums = (dir / "sums").string();
  easel::capture::Configure(s);
  EaselSetDrawPage(0);
  EaselSetShowPage(0);  // frame 1
  EaselPixel(5, 5, EaselColors[15]);
  EaselSleep(0);  // drawing on the shown page: frame 2
  EaselSleep(0);  // frame 3
  EaselSetDrawPage(1);
  EaselSleep(0);  // drawing off screen: no frame
  easel::capture::Finish();
  std::ifstream in(dir / "sums");
  std::vector<std::string> frames;
  for (std::string frame, sum; in >> frame >> sum;) frames.push_back(frame);
  EXPECT_EQ(frames, (std::vector<std::string>{"1", "2", "3"}));
}

TEST_F(Capture, ChecksumsCoverThePalette) {
  DrawFrame(0);
  Picture p = Shown();
  const uint64_t before = easel::capture::Checksum(p);
  p.palette[200].g ^= 1;  // an entry no pixel uses still counts
  EXPECT_NE(easel::capture::Checksum(p), before);
}

TEST_F(Capture, PngFramesHoldThePageAndPaletteExactly) {
  const fs::path dir = FreshDir("png");
  easel::capture::Settings s;
  s.pngDir = dir.string();
  s.pngFrames = {2, 4};
  s.pngLast = true;
  easel::capture::Configure(s);
  std::vector<Picture> shown;
  for (int16_t n = 1; n <= 5; ++n) {
    DrawFrame(n);
    shown.push_back(Shown());
  }
  easel::capture::Finish();
  const std::vector<fs::path> files = Files(dir);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].filename(), "capture_test-000002.png");
  EXPECT_EQ(files[1].filename(), "capture_test-000004.png");
  EXPECT_EQ(files[2].filename(), "capture_test-000005.png");  // the last frame
  ExpectPngIs(files[0], shown[1]);
  ExpectPngIs(files[1], shown[3]);
  ExpectPngIs(files[2], shown[4]);
}

TEST_F(Capture, TrueColourPagesBecomeRgbPngs) {
  EaselClose();
  Open(9, 4);  // true colour, 640 x 480
  DrawFrame(3);
  const Picture p = Shown();
  ASSERT_FALSE(p.indexed);
  const fs::path dir = FreshDir("rgb");
  std::string error;
  ASSERT_TRUE(easel::capture::WritePng((dir / "a.png").string(), p, &error)) << error;
  ExpectPngIs(dir / "a.png", p);
}

// A GIF decoded as a viewer shows it: after each frame, the canvas of indices and the colours
// on the screen (each frame's pixels coloured by its own table, the rest left as they were).
struct Gif {
  bool ok = false;
  std::vector<Rgb> global;
  std::vector<std::vector<uint8_t>> canvases;
  std::vector<std::vector<Rgb>> screens;
  std::vector<bool> localTable;
  std::vector<int> delays;
};

std::vector<Rgb> Colours(const Picture& p) {
  std::vector<Rgb> out;
  for (uint8_t i : p.indices) out.push_back(p.palette[i]);
  return out;
}

std::vector<Rgb> Table(const ColorMapObject* map) {
  std::vector<Rgb> out;
  for (int i = 0; map && i < map->ColorCount; ++i) {
    out.push_back(Rgb{map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
  }
  return out;
}

Gif ReadGif(const fs::path& path) {
  Gif out;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) return out;
  if (DGifSlurp(gif) != GIF_OK) {
    DGifCloseFile(gif, &error);
    return out;
  }
  out.global = Table(gif->SColorMap);
  const size_t size = static_cast<size_t>(gif->SWidth) * static_cast<size_t>(gif->SHeight);
  std::vector<uint8_t> canvas(size);
  std::vector<Rgb> screen(size);
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    const GifImageDesc& d = image.ImageDesc;
    const std::vector<Rgb> table = d.ColorMap ? Table(d.ColorMap) : out.global;
    for (int y = 0; y < d.Height; ++y) {
      for (int x = 0; x < d.Width; ++x) {
        const size_t at = static_cast<size_t>(d.Top + y) * static_cast<size_t>(gif->SWidth) +
                          static_cast<size_t>(d.Left + x);
        canvas[at] = image.RasterBits[static_cast<size_t>(y) * static_cast<size_t>(d.Width) +
                                      static_cast<size_t>(x)];
        screen[at] = table.at(canvas[at]);
      }
    }
    out.canvases.push_back(canvas);
    out.screens.push_back(screen);
    out.localTable.push_back(d.ColorMap != nullptr);
    GraphicsControlBlock gcb;
    DGifSavedExtensionToGCB(gif, i, &gcb);
    out.delays.push_back(gcb.DelayTime);
  }
  DGifCloseFile(gif, &error);
  out.ok = true;
  return out;
}

TEST_F(Capture, GifFramesAreThePagesInThePalettesOwnColours) {
  const fs::path dir = FreshDir("gif");
  easel::capture::Settings s;
  s.gif = (dir / "a.gif").string();
  s.gifFrames = 12;
  s.fixedDelay = true;
  easel::capture::Configure(s);
  std::vector<Picture> shown;
  for (int16_t n = 0; n < 15; ++n) {
    DrawFrame(n % 6 == 5 ? int16_t{4} : n);  // frame 6 repeats frame 5: an unchanged frame
    shown.push_back(Shown());
  }
  easel::capture::Finish();

  const Gif gif = ReadGif(dir / "a.gif");
  ASSERT_TRUE(gif.ok);
  const std::vector<Rgb> palette(std::begin(shown[0].palette), std::end(shown[0].palette));
  EXPECT_EQ(gif.global, palette);
  ASSERT_EQ(gif.canvases.size(), 12u);
  for (size_t i = 0; i < gif.canvases.size(); ++i) {
    EXPECT_TRUE(gif.canvases[i] == shown[i].indices) << "frame " << i + 1;
    EXPECT_TRUE(gif.screens[i] == Colours(shown[i])) << "frame " << i + 1;
    EXPECT_FALSE(gif.localTable[i]) << "frame " << i + 1;
    EXPECT_EQ(gif.delays[i], 2) << "frame " << i + 1;
  }
}

TEST_F(Capture, GifFramesOfAChangedPaletteCarryTheirOwnColours) {
  DrawFrame(1);
  const Picture a = Shown();
  Picture b = a;
  b.indices[5] = 9;  // a one-pixel change
  Picture c = b;
  for (Rgb& colour : c.palette) colour.r = static_cast<uint8_t>(255 - colour.r);
  const fs::path path = FreshDir("palette") / "p.gif";
  easel::capture::GifWriter writer;
  std::string error;
  ASSERT_TRUE(writer.Open(path.string(), a, &error)) << error;
  const Picture* expected[] = {&a, &b, &c, &b};
  for (const Picture* p : expected) ASSERT_TRUE(writer.Add(*p, 7, &error)) << error;
  ASSERT_TRUE(writer.Close(&error)) << error;

  const Gif gif = ReadGif(path);
  ASSERT_TRUE(gif.ok);
  ASSERT_EQ(gif.canvases.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(gif.canvases[i] == expected[i]->indices) << "frame " << i + 1;
    EXPECT_TRUE(gif.screens[i] == Colours(*expected[i])) << "frame " << i + 1;
    EXPECT_EQ(gif.delays[i], 7);
  }
}

class PrintScreen : public Capture {
 protected:
  void SetUp() override {
    dir_ = FreshDir("shots");
    setenv("EASEL_SCREENSHOT_DIR", dir_.c_str(), 1);
    Capture::SetUp();
  }
  void TearDown() override {
    Capture::TearDown();
    unsetenv("EASEL_SCREENSHOT_DIR");
  }
  static void Key(easel::MsgKind kind, int vk) {
    easel::Message m;
    m.kind = kind;
    m.vk = vk;
    easel::headless::Inject(m);
    easel::headless::Sync();
  }
  fs::path dir_;
};

TEST_F(PrintScreen, SavesTheShownPageAndPutsNothingInTheKeyQueue) {
  DrawFrame(1);
  DrawFrame(2);  // page 0 shown, page 1 holds another picture
  const Picture shown = Shown();
  Key(easel::MsgKind::kKeyDown, EaselVkSnapshot);
  Key(easel::MsgKind::kKeyDown, EaselVkSnapshot);  // auto-repeat: no second picture
  EXPECT_FALSE(EaselKeyHit());
  std::vector<fs::path> files = Files(dir_);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].filename().string().rfind("easel-capture_test-", 0), 0u) << files[0];
  ExpectPngIs(files[0], shown);

  Key(easel::MsgKind::kKeyUp, EaselVkSnapshot);
  usleep(2000);  // the names differ by the millisecond
  Key(easel::MsgKind::kKeyDown, EaselVkSnapshot);
  EXPECT_EQ(Files(dir_).size(), 2u);
  EXPECT_FALSE(EaselKeyHit());
  Key(easel::MsgKind::kKeyDown, 'Z');
  easel::Message ch;
  ch.kind = easel::MsgKind::kChar;
  ch.code = 'z';
  easel::headless::Inject(ch);
  easel::headless::Sync();
  ASSERT_TRUE(EaselKeyHit());  // other keys still reach the program
  EXPECT_EQ(EaselReadKey(), 'z');
}

}  // namespace
