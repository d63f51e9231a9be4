// Capture: page checksums, PNG screenshots and GIF animations straight from the pages.
//
// Palette pages are written as they are: an indexed PNG whose PLTE is the 256-entry palette,
// and a GIF whose global colour table is that palette, so no colour is approximated. Chosen by
// environment variables, read once at the first shown page:
//   EASEL_CHECKSUMS=path        one line per shown page: "<frame> <16 hex digits>", the 64-bit
//                               FNV-1a of the page's pixels followed by the palette
//   EASEL_CAPTURE_PNG=dir       dir/<program>-<frame>.png of the frames in EASEL_CAPTURE_FRAMES
//                               ("10,50,200", "last" for the last frame shown; default "last")
//   EASEL_CAPTURE_GIF=path      an animation of the first EASEL_CAPTURE_GIF_FRAMES (default 200)
//                               shown pages
// Frames are counted from 1 at every EaselSetShowPage (EaselUpdate(2) shows through it) and at
// every EaselUpdate(2) that swaps an OpenGL window context; those frames are the window's
// pixels read back before the swap, written as true-colour PNGs (no GIF: they have no palette).
// A program drawing straight onto the shown page (direct mode) ends a frame at each EaselSleep.
//
// Print Screen (a key the key table does not have, so no program sees it) saves the shown page
// as easel-<program>-<date>-<time>.png in $EASEL_SCREENSHOT_DIR or the current directory (on
// the headless backend only when EASEL_SCREENSHOT_DIR is set). It runs on the window thread:
// the page is copied under the graphics lock and written after.
#ifndef EASEL_CAPTURE_H
#define EASEL_CAPTURE_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "palette.h"

namespace easel::capture {

// ---- Hooks ----------------------------------------------------------------------------------

namespace detail {
extern std::atomic<int> state;  // 0 not yet set up, 1 off, 2 on
void Shown();
}  // namespace detail

// A page was shown (program thread, after EaselSetShowPage has done its work).
inline void OnShow() {
  if (detail::state.load(std::memory_order_relaxed) != 1) detail::Shown();
}
// Whether frames are being captured; an OpenGL window frame is read back only then.
bool Capturing();
// An OpenGL window frame, read back just before the swap that shows it, counts as a shown
// frame of its own (program thread).
struct Picture;
void OnWindowFrame(Picture&& frame);
// Print Screen went down in the window (window thread).
void PrintScreen();
// Completes what is being written (GIF, checksums, the "last" PNG). Runs at exit; idempotent.
void Finish();

// ---- Pictures, for the hooks and the project's tests ----------------------------------------

constexpr uint64_t kFnvOffset = 0xcbf29ce484222325ull;
uint64_t Fnv1a(const void* data, size_t size, uint64_t hash = kFnvOffset);

// A copy of a page and the palette it is shown with.
struct Picture {
  int width = 0, height = 0;
  bool indexed = true;
  std::vector<uint8_t> indices;  // indexed: width * height palette indices
  std::vector<uint32_t> pixels;  // true colour: 0x00BBGGRR
  palette::Rgb palette[256];
};

// The shown page (takes the graphics lock); false when there is no page.
bool ShownPicture(Picture* out);
// The checksum EASEL_CHECKSUMS writes: FNV-1a over the pixels (indices, or 4 little-endian
// bytes each), then, for palette pages, the 256 palette entries as r, g, b.
uint64_t Checksum(const Picture& picture);

bool WritePng(const std::string& path, const Picture& picture, std::string* error);

// An animated GIF of palette pictures of one size, looping forever. Each frame after the
// first holds only the rectangle that changed; a frame whose palette differs from the first
// one's carries its own colour table and is written whole.
class GifWriter {
 public:
  GifWriter() = default;
  GifWriter(const GifWriter&) = delete;
  GifWriter& operator=(const GifWriter&) = delete;
  ~GifWriter();
  bool Open(const std::string& path, const Picture& first, std::string* error);
  bool Add(const Picture& picture, int delayCs, std::string* error);
  bool Close(std::string* error);
  bool open() const { return gif_ != nullptr; }

 private:
  void* gif_ = nullptr;  // GifFileType
  Picture global_;       // its palette is the global colour table
  Picture last_;         // the canvas after the last frame
  bool haveLast_ = false;
};

// ---- Settings -------------------------------------------------------------------------------

struct Settings {
  std::string checksums;  // path, or empty
  std::string pngDir;     // directory, or empty
  std::vector<uint64_t> pngFrames;
  bool pngLast = false;
  std::string gif;  // path, or empty
  uint64_t gifFrames = 200;
  bool fixedDelay = false;  // 2 cs per GIF frame (replays) instead of the time between shows
};

// "10,50,200", "last": the frames to capture, sorted; false when an entry is not a frame.
bool ParseFrames(const std::string& text, std::vector<uint64_t>* frames, bool* last);

// Starts capturing with these settings (frames counted from 1 again), or stops when all are
// empty; what was being captured before is finished first.
void Configure(const Settings& settings);

}  // namespace easel::capture

#endif  // EASEL_CAPTURE_H
