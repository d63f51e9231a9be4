#include "capture.h"

#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "core.h"
#include "tape.h"

namespace easel::capture {

namespace detail {
std::atomic<int> state{0};
}  // namespace detail

namespace {

constexpr int kUnset = 0, kOff = 1, kOn = 2;
constexpr int kMinDelayCs = 2;  // viewers show shorter GIF delays as a tenth of a second

void Warn(const std::string& message) {
  std::fprintf(stderr, "easel: %s\n", message.c_str());
}

// ---- PNG ------------------------------------------------------------------------------------

// The libpng calls, apart so that the jump back on an error crosses no object with a destructor.
bool EncodePng(std::FILE* file, const Picture& p, png_bytep* rows, png_colorp colours) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(p.width), static_cast<png_uint_32>(p.height), 8,
               p.indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (p.indexed) png_set_PLTE(png, info, colours, 256);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

// ---- What is being captured (program thread) ------------------------------------------------

struct State {
  Settings settings;
  uint64_t frame = 0;
  std::FILE* checksums = nullptr;
  size_t nextPng = 0;  // index into settings.pngFrames
  Picture last;        // the last frame shown, for pngLast
  bool haveLast = false;
  GifWriter gif;
  bool gifFailed = false;
  uint64_t gifTaken = 0;  // frames handed to the GIF (the held one included)
  Picture held;           // the newest frame, written once the next one gives its delay
  bool haveHeld = false;
  uint64_t heldAt = 0;  // when it was shown (ns)
  int lastDelay = kMinDelayCs;
  bool exitHook = false;
};

State& Capture() {
  static State& state = *new State;  // never destroyed: exit handlers still use it
  return state;
}

std::string FramePath(uint64_t frame) {
  char name[64];
  std::snprintf(name, sizeof name, "-%06" PRIu64 ".png", frame);
  return Capture().settings.pngDir + "/" + tape::ProgramName() + name;
}

void SavePng(const std::string& path, const Picture& picture) {
  std::string error;
  if (!WritePng(path, picture, &error)) Warn("cannot write " + path + ": " + error);
}

void GifAdd(const Picture& picture, int delayCs) {
  State& s = Capture();
  std::string error;
  if (!s.gif.Add(picture, delayCs, &error)) {
    Warn("cannot write " + s.settings.gif + ": " + error);
    s.gifFailed = true;
  }
}

void GifClose() {
  State& s = Capture();
  if (s.haveHeld && s.gif.open()) GifAdd(s.held, s.lastDelay);
  s.haveHeld = false;
  std::string error;
  if (s.gif.open() && !s.gif.Close(&error)) Warn("cannot write " + s.settings.gif + ": " + error);
}

void TakeGifFrame(const Picture& picture) {
  State& s = Capture();
  const uint64_t now = NowNs();
  if (s.gifTaken == 0) {
    std::string error;
    if (!picture.indexed) {
      Warn("EASEL_CAPTURE_GIF: only palette pages can be written as GIF frames");
      s.gifFailed = true;
      return;
    }
    if (!s.gif.Open(s.settings.gif, picture, &error)) {
      Warn("cannot write " + s.settings.gif + ": " + error);
      s.gifFailed = true;
      return;
    }
  }
  if (s.haveHeld) {
    // Rounded to centiseconds; replays run at no particular pace, so they get a fixed delay.
    const int delay =
        s.settings.fixedDelay
            ? kMinDelayCs
            : static_cast<int>(std::lround(static_cast<double>(now - s.heldAt) / 1e7));
    s.lastDelay = std::clamp(delay, kMinDelayCs, 65535);
    GifAdd(s.held, s.lastDelay);
  }
  s.held = picture;
  s.haveHeld = true;
  s.heldAt = now;
  if (++s.gifTaken == s.settings.gifFrames) GifClose();
}

void AtExit() {
  Finish();
}

void SetupFromEnvironment() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (detail::state.load(std::memory_order_relaxed) != kUnset) return;  // set by a test
    Settings s;
    auto env = [](const char* name) {
      const char* v = std::getenv(name);
      return std::string(v ? v : "");
    };
    s.checksums = env("EASEL_CHECKSUMS");
    s.pngDir = env("EASEL_CAPTURE_PNG");
    s.gif = env("EASEL_CAPTURE_GIF");
    const std::string frames = env("EASEL_CAPTURE_FRAMES");
    if (frames.empty()) {
      s.pngLast = true;
    } else if (!ParseFrames(frames, &s.pngFrames, &s.pngLast)) {
      Warn("EASEL_CAPTURE_FRAMES=" + frames +
           ": expected frame numbers and \"last\", "
           "separated by commas; the valid ones are used");
    }
    const std::string count = env("EASEL_CAPTURE_GIF_FRAMES");
    if (!count.empty()) {
      char* end = nullptr;
      const unsigned long long n = std::strtoull(count.c_str(), &end, 10);
      if (*end == 0 && n > 0) {
        s.gifFrames = n;
      } else {
        Warn("EASEL_CAPTURE_GIF_FRAMES=" + count + ": not a frame count; 200 frames are written");
      }
    }
    s.fixedDelay = tape::Replaying();
    Configure(s);
  });
}

}  // namespace

uint64_t Fnv1a(const void* data, size_t size, uint64_t hash) {
  const auto* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) {
    hash ^= p[i];
    hash *= 0x100000001b3ull;
  }
  return hash;
}

bool ShownPicture(Picture* out) {
  Library& lib = Lib();
  std::lock_guard lock(lib.graphicsLock);
  const int page = lib.showPage.load(std::memory_order_relaxed);
  const size_t n = static_cast<size_t>(lib.width) * static_cast<size_t>(lib.height);
  out->width = lib.width;
  out->height = lib.height;
  out->indexed = lib.paletteMode;
  if (lib.paletteMode) {
    if (lib.pages8[page].size() != n || n == 0) return false;
    out->indices = lib.pages8[page];
    out->pixels.clear();
    std::copy(std::begin(lib.colourTable), std::end(lib.colourTable), out->palette);
  } else {
    if (lib.pages32[page].size() != n || n == 0) return false;
    out->pixels = lib.pages32[page];
    out->indices.clear();
    std::fill(std::begin(out->palette), std::end(out->palette), palette::Rgb{});
  }
  return true;
}

namespace {

uint64_t HashPalette(const palette::Rgb* pal, uint64_t hash) {
  for (int i = 0; i < 256; ++i) {
    const uint8_t rgb[3] = {pal[i].r, pal[i].g, pal[i].b};
    hash = Fnv1a(rgb, 3, hash);
  }
  return hash;
}

uint64_t HashPixels32(const uint32_t* pixels, size_t n) {
  uint64_t hash = kFnvOffset;
  for (size_t i = 0; i < n; ++i) {
    const uint32_t v = pixels[i];
    const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                              static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    hash = Fnv1a(bytes, 4, hash);
  }
  return hash;
}

// The checksum of the shown page, hashed where it lies.
bool ShownChecksum(uint64_t* out) {
  Library& lib = Lib();
  std::lock_guard lock(lib.graphicsLock);
  const int page = lib.showPage.load(std::memory_order_relaxed);
  const size_t n = static_cast<size_t>(lib.width) * static_cast<size_t>(lib.height);
  if (lib.paletteMode) {
    if (lib.pages8[page].size() != n || n == 0) return false;
    *out = HashPalette(lib.colourTable, Fnv1a(lib.pages8[page].data(), n));
  } else {
    if (lib.pages32[page].size() != n || n == 0) return false;
    *out = HashPixels32(lib.pages32[page].data(), n);
  }
  return true;
}

}  // namespace

uint64_t Checksum(const Picture& p) {
  if (p.indexed) return HashPalette(p.palette, Fnv1a(p.indices.data(), p.indices.size()));
  return HashPixels32(p.pixels.data(), p.pixels.size());
}

bool WritePng(const std::string& path, const Picture& p, std::string* error) {
  const auto w = static_cast<size_t>(p.width), h = static_cast<size_t>(p.height);
  if (w == 0 || h == 0 || (p.indexed ? p.indices.size() : p.pixels.size()) != w * h) {
    *error = "no picture";
    return false;
  }
  std::vector<uint8_t> rgb;
  std::vector<png_bytep> rows(h);
  png_color colours[256];
  if (p.indexed) {
    for (size_t y = 0; y < h; ++y) rows[y] = const_cast<png_bytep>(p.indices.data() + y * w);
    for (int i = 0; i < 256; ++i)
      colours[i] = png_color{p.palette[i].r, p.palette[i].g, p.palette[i].b};
  } else {
    rgb.resize(3 * w * h);
    for (size_t i = 0; i < w * h; ++i) {
      const palette::Rgb c = palette::FromValue(p.pixels[i]);
      rgb[3 * i] = c.r, rgb[3 * i + 1] = c.g, rgb[3 * i + 2] = c.b;
    }
    for (size_t y = 0; y < h; ++y) rows[y] = rgb.data() + 3 * y * w;
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    *error = std::strerror(errno);
    return false;
  }
  bool ok = EncodePng(file, p, rows.data(), colours);
  ok = std::fclose(file) == 0 && ok;
  if (!ok) {
    *error = "libpng could not write the picture";
    std::remove(path.c_str());
  }
  return ok;
}

// ---- GIF ------------------------------------------------------------------------------------

namespace {

std::string GifError(int code) {
  const char* text = GifErrorString(code);
  return text ? text : "giflib error " + std::to_string(code);
}

ColorMapObject* MakeColourMap(const palette::Rgb* pal) {
  GifColorType colours[256];
  for (int i = 0; i < 256; ++i) colours[i] = GifColorType{pal[i].r, pal[i].g, pal[i].b};
  return GifMakeMapObject(256, colours);
}

bool SamePalette(const Picture& a, const Picture& b) {
  return std::equal(std::begin(a.palette), std::end(a.palette), std::begin(b.palette));
}

}  // namespace

GifWriter::~GifWriter() {
  std::string ignored;
  Close(&ignored);
}

bool GifWriter::Open(const std::string& path, const Picture& first, std::string* error) {
  Close(error);
  if (!first.indexed || first.width <= 0 || first.height <= 0 || first.width > 65535 ||
      first.height > 65535) {
    *error = "not a palette picture of a size GIF can hold";
    return false;
  }
  int code = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &code);
  if (!gif) {
    *error = GifError(code);
    return false;
  }
  gif_ = gif;
  global_ = first;
  haveLast_ = false;
  EGifSetGifVersion(gif, true);
  ColorMapObject* map = MakeColourMap(first.palette);
  bool ok = map && EGifPutScreenDesc(gif, first.width, first.height, 8, 0, map) == GIF_OK;
  GifFreeMapObject(map);
  // Loop forever.
  static const GifByteType kApp[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  static const GifByteType kLoop[] = {1, 0, 0};
  ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
       EGifPutExtensionBlock(gif, sizeof kApp, kApp) == GIF_OK &&
       EGifPutExtensionBlock(gif, sizeof kLoop, kLoop) == GIF_OK &&
       EGifPutExtensionTrailer(gif) == GIF_OK;
  if (!ok) {
    *error = GifError(gif->Error);
    std::string ignored;
    Close(&ignored);
  }
  return ok;
}

bool GifWriter::Add(const Picture& p, int delayCs, std::string* error) {
  auto* gif = static_cast<GifFileType*>(gif_);
  if (!gif) {
    *error = "not open";
    return false;
  }
  if (!p.indexed || p.width != global_.width || p.height != global_.height) {
    *error = "the frame's size or kind differs from the first frame's";
    return false;
  }
  // The rectangle that differs from the canvas; all of it when the palette changed.
  const int w = p.width;
  int left = 0, top = 0, right = w - 1, bottom = p.height - 1;
  if (haveLast_ && SamePalette(p, last_)) {
    left = w, top = p.height, right = -1, bottom = -1;
    for (int y = 0; y < p.height; ++y) {
      const uint8_t* a = p.indices.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
      const uint8_t* b = last_.indices.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
      if (std::memcmp(a, b, static_cast<size_t>(w)) == 0) continue;
      top = std::min(top, y);
      bottom = y;
      int x0 = 0, x1 = w - 1;
      while (a[x0] == b[x0]) ++x0;
      while (a[x1] == b[x1]) --x1;
      left = std::min(left, x0);
      right = std::max(right, x1);
    }
    if (right < 0) left = top = right = bottom = 0;  // unchanged: one pixel, for the delay
  }
  GraphicsControlBlock gcb;
  gcb.DisposalMode = DISPOSE_DO_NOT;
  gcb.UserInputFlag = false;
  gcb.DelayTime = std::clamp(delayCs, 0, 65535);
  gcb.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  EGifGCBToExtension(&gcb, extension);
  ColorMapObject* local = SamePalette(p, global_) ? nullptr : MakeColourMap(p.palette);
  if (!local && gif->Image.ColorMap) {
    // giflib drops the previous frame's table here without freeing it.
    GifFreeMapObject(gif->Image.ColorMap);
    gif->Image.ColorMap = nullptr;
  }
  bool ok =
      EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
      EGifPutImageDesc(gif, left, top, right - left + 1, bottom - top + 1, false, local) == GIF_OK;
  GifFreeMapObject(local);
  for (int y = top; ok && y <= bottom; ++y) {
    auto* row = const_cast<GifPixelType*>(p.indices.data() +
                                          static_cast<size_t>(y) * static_cast<size_t>(w) +
                                          static_cast<size_t>(left));
    ok = EGifPutLine(gif, row, right - left + 1) == GIF_OK;
  }
  if (!ok) {
    *error = GifError(gif->Error);
    return false;
  }
  last_ = p;
  haveLast_ = true;
  return true;
}

bool GifWriter::Close(std::string* error) {
  auto* gif = static_cast<GifFileType*>(gif_);
  if (!gif) return true;
  gif_ = nullptr;
  int code = 0;
  if (EGifCloseFile(gif, &code) != GIF_OK) {
    *error = GifError(code);
    return false;
  }
  return true;
}

// ---- Settings and hooks ---------------------------------------------------------------------

bool ParseFrames(const std::string& text, std::vector<uint64_t>* frames, bool* last) {
  frames->clear();
  *last = false;
  bool ok = true;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(start, end - start);
    item.erase(0, item.find_first_not_of(' '));
    item.erase(item.find_last_not_of(' ') + 1);
    char* stop = nullptr;
    const unsigned long long n = std::strtoull(item.c_str(), &stop, 10);
    if (item == "last") {
      *last = true;
    } else if (!item.empty() && item[0] != '-' && *stop == 0 && n > 0) {
      frames->push_back(n);
    } else {
      ok = false;
    }
    start = end + 1;
  }
  std::sort(frames->begin(), frames->end());
  frames->erase(std::unique(frames->begin(), frames->end()), frames->end());
  return ok;
}

void Configure(const Settings& settings) {
  Finish();
  State& s = Capture();
  s.settings = settings;
  const bool on = !settings.checksums.empty() || !settings.pngDir.empty() || !settings.gif.empty();
  if (!settings.checksums.empty()) {
    s.checksums = std::fopen(settings.checksums.c_str(), "w");
    if (s.checksums) {
      setvbuf(s.checksums, nullptr, _IOLBF, 0);  // complete lines even if the program is killed
    } else {
      Warn("cannot write " + settings.checksums + ": " + std::strerror(errno));
    }
  }
  if (on && !s.exitHook) {
    std::atexit(AtExit);
    s.exitHook = true;
  }
  detail::state.store(on ? kOn : kOff, std::memory_order_relaxed);
}

void Finish() {
  State& s = Capture();
  if (s.checksums) std::fclose(s.checksums);
  s.checksums = nullptr;
  GifClose();
  if (s.haveLast) SavePng(FramePath(s.frame), s.last);
  s.settings = Settings{};
  s.frame = 0;
  s.nextPng = 0;
  s.last = Picture{};
  s.haveLast = s.gifFailed = false;
  s.gifTaken = 0;
  s.held = Picture{};
  s.heldAt = 0;
  s.lastDelay = kMinDelayCs;
  if (detail::state.load(std::memory_order_relaxed) == kOn) {
    detail::state.store(kOff, std::memory_order_relaxed);
  }
}

namespace {

// One more frame: its checksum, PNG and GIF frame as the settings ask. given is the frame's
// picture when the caller has it (an OpenGL window frame); otherwise the shown page is read,
// and copied only when a picture is wanted.
void TakeFrame(Picture* given) {
  State& s = Capture();
  ++s.frame;
  if (s.checksums) {
    uint64_t sum = 0;
    const bool have = given ? (sum = Checksum(*given), true) : ShownChecksum(&sum);
    if (have) std::fprintf(s.checksums, "%" PRIu64 " %016" PRIx64 "\n", s.frame, sum);
  }
  const std::vector<uint64_t>& frames = s.settings.pngFrames;
  while (s.nextPng < frames.size() && frames[s.nextPng] < s.frame) ++s.nextPng;
  const bool pngNow =
      !s.settings.pngDir.empty() && s.nextPng < frames.size() && frames[s.nextPng] == s.frame;
  const bool pngLast = !s.settings.pngDir.empty() && s.settings.pngLast;
  const bool gifNow = !s.settings.gif.empty() && !s.gifFailed && s.gifTaken < s.settings.gifFrames;
  if (!pngNow && !pngLast && !gifNow) return;
  Picture picture;
  if (given) {
    picture = std::move(*given);
  } else if (!ShownPicture(&picture)) {
    return;
  }
  if (pngNow) SavePng(FramePath(s.frame), picture);
  if (gifNow) TakeGifFrame(picture);
  if (pngLast) {
    s.last = std::move(picture);
    s.haveLast = true;
  }
}

}  // namespace

void detail::Shown() {
  if (state.load(std::memory_order_relaxed) == kUnset) SetupFromEnvironment();
  if (state.load(std::memory_order_relaxed) != kOn) return;
  TakeFrame(nullptr);
}

bool Capturing() {
  if (detail::state.load(std::memory_order_relaxed) == kUnset) SetupFromEnvironment();
  return detail::state.load(std::memory_order_relaxed) == kOn;
}

void OnWindowFrame(Picture&& frame) {
  if (Capturing()) TakeFrame(&frame);
}

void PrintScreen() {
  // Nobody presses keys in a headless window: only tests that name a directory want pictures.
  const char* dir = std::getenv("EASEL_SCREENSHOT_DIR");
  if (Lib().backend == &kHeadlessBackend && !(dir && *dir)) return;
  Picture picture;
  if (!ShownPicture(&picture)) return;
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  char millis[8];
  std::snprintf(millis, sizeof millis, "-%03d", static_cast<int>(ms.count()));
  const std::string path = std::string(dir && *dir ? dir : ".") + "/easel-" + tape::ProgramName() +
                           "-" + stamp + millis + ".png";
  std::string error;
  if (WritePng(path, picture, &error)) {
    Warn("screenshot saved to " + path);
  } else {
    Warn("cannot save a screenshot to " + path + ": " + error);
  }
}

}  // namespace easel::capture
