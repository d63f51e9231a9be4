// The library's one instance: window, pages, colours and drawing state, shared by the core's
// modules (core.cpp: window and pages; draw.cpp: colours and primitives).
//
// Threads: fields read by both threads without a lock are relaxed atomics. Pages, the colour
// table and the presentation table are guarded by graphicsLock. Everything else belongs to
// the program thread.
#ifndef EASEL_CORE_H
#define EASEL_CORE_H

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "backend/backend.h"
#include "palette.h"
#include "raster.h"

namespace easel {

constexpr int kPages = 4;

struct Library {
  // Shared between the threads without a lock.
  std::atomic<bool> open{false};
  std::atomic<int16_t> result{0};
  std::atomic<int32_t> maxX{0}, maxY{0};
  std::atomic<uint16_t> drawPage{0}, showPage{0};
  std::atomic<bool> updateOn{false}, direct{false};
  std::atomic<bool> repaintPending{false};  // a repaint was asked for and not yet made
  std::atomic<bool> closePosted{false};     // EaselClose asked the window thread to end
  std::atomic<bool> threadRunning{false};

  // Program thread; fixed while a window thread runs (it reads them).
  const Backend* backend = nullptr;
  std::thread windowThread;
  int16_t driver = -1, mode = 0;
  bool paletteMode = false;
  int bitsPerPixel = 0;
  int colourCount = 0;
  int paletteSize = 0;

  // Guarded by graphicsLock.
  std::recursive_mutex graphicsLock;
  int width = 0, height = 0;              // page size
  std::vector<uint8_t> pages8[kPages];    // palette modes
  std::vector<uint32_t> pages32[kPages];  // true colour, 0x00BBGGRR
  palette::Rgb colourTable[256];          // the palette as the pages display it
  uint32_t screenLut[256] = {};           // colourTable as 0x00RRGGBB

  // Drawing state (program thread).
  uint32_t colour = 0, bkColour = 0;
  int16_t lineStyle = 0, thickness = 1;
  uint16_t linePattern = 0;
  int16_t fillPattern = 1;
  uint32_t fillColour = 0;
  uint8_t userPattern[8] = {};
  raster::Brush<uint32_t> brush;      // colours already converted to pixel values
  raster::Brush<uint32_t> userBrush;  // the user pattern image, built at open
  int32_t cpX = 0, cpY = 0;           // current position
};

Library& Lib();

// Where the time goes, for the frame benchmarks: off unless switched on (two clock reads per
// primitive are not free). Nanoseconds and counts since the last Reset.
struct Stats {
  std::atomic<bool> enabled{false};
  std::atomic<uint64_t> drawNs{0}, drawCalls{0};  // primitives, program thread
  std::atomic<uint64_t> paintNs{0}, paints{0};    // page -> screen, window thread
  std::atomic<uint64_t> sleepNs{0};               // EaselSleep
  void Reset() { drawNs = drawCalls = paintNs = paints = sleepNs = 0; }
};
Stats& GetStats();
uint64_t NowNs();

// Sets the result code and returns whether the window is open (-1 when it is not).
bool BeginOperation();
// Asks the window thread to repaint the whole window (coalesced).
void RequestRepaint();
// After a drawing operation: in direct mode the window shows it at once.
void DrewOnPage();

// A colour value as the pixel value stored in the pages: a palette index modulo the palette
// size, or a 24-bit RGB value in true colour.
uint32_t PixelValue(uint32_t colour);

// The draw page as a surface; the caller holds graphicsLock.
raster::Surface8 DrawSurface8();
raster::Surface32 DrawSurface32();

// The drawing defaults of a freshly opened window (draw.cpp).
void SetDrawingDefaults();

}  // namespace easel

#endif  // EASEL_CORE_H
