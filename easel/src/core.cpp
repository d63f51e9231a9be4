// The window, its thread and the pages.
//
// EaselOpen starts the window thread and polls every 10 ms until the window exists; the
// window thread creates the window and the pages, then serves backend messages until
// EaselClose asks it to end, which EaselClose also awaits by polling every 10 ms. Showing a
// page only asks for a repaint; the window thread copies the shown page to the screen under
// graphicsLock, so the program thread never copies pixels to the screen itself.
#include "core.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "capture.h"
#include "cp1252.h"
#include "easel/easel.h"
#include "gl.h"
#include "keyboard.h"
#include "mouse.h"
#include "tape.h"
#include "text.h"

namespace easel {
namespace {

// The frame a window system puts around a framed client area, counted once for sizing:
// two dialog-frame borders across, two borders and a caption bar down.
constexpr int kFrameX = 2 * 3;
constexpr int kFrameY = 2 * 3 + 19;

constexpr int kPollMs = 10;

struct ModeSize {
  int width, height;
};

// The client size a mode asks for; mode 10 leaves it to the window system (0 x 0).
ModeSize ClientSizeFor(int mode, const DesktopInfo& desk) {
  switch (mode) {
    case 1:
      return {320, 200};
    case 2:
      return {640, 200};
    case 3:
      return {640, 350};
    case 4:
      return {640, 480};
    case 5:
      return {720, 350};
    case 6:
      return {800, 600};
    case 7:
      return {1024, 768};
    case 8:
      return {1280, 1024};
    case 10:
      return {0, 0};
    case 11:
      return {desk.width - kFrameX, desk.height - kFrameY};
    case 12:
      return {desk.width, desk.height};
    case 13:
      return {0, 0};  // a custom size that nothing sets
    default:
      return {65535, 65535};
  }
}

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// ---- Window thread -------------------------------------------------------------------------

void CreatePages(int width, int height) {
  Library& lib = Lib();
  std::lock_guard lock(lib.graphicsLock);
  lib.width = width;
  lib.height = height;
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (int p = 0; p < kPages; ++p) {
    if (lib.paletteMode) {
      lib.pages8[p].assign(n, 0);
      lib.pages32[p].clear();
    } else {
      lib.pages32[p].assign(n, 0);
      lib.pages8[p].clear();
    }
  }
  for (auto& c : lib.colourTable) c = palette::Rgb{};
  for (auto& c : lib.screenLut) c = 0;
}

void FreePages() {
  Library& lib = Lib();
  std::lock_guard lock(lib.graphicsLock);
  for (int p = 0; p < kPages; ++p) {
    std::vector<uint8_t>().swap(lib.pages8[p]);
    std::vector<uint32_t>().swap(lib.pages32[p]);
  }
}

// Copies the shown page to the window.
void Paint() {
  Library& lib = Lib();
  Stats& stats = GetStats();
  const bool timed = stats.enabled.load(std::memory_order_relaxed);
  const uint64_t start = timed ? NowNs() : 0;
  Frame frame;
  {
    std::lock_guard lock(lib.graphicsLock);
    if (!lib.backend->LockFrame(&frame)) return;
    const int page = lib.showPage.load(std::memory_order_relaxed);
    const int w = std::min(frame.width, lib.width), h = std::min(frame.height, lib.height);
    if (lib.paletteMode) {
      raster::Surface8 src{lib.pages8[page].data(), w, h, lib.width};
      raster::ToRgb(src, lib.screenLut, frame.pixels, frame.pitch);
    } else {
      raster::Surface32 src{lib.pages32[page].data(), w, h, lib.width};
      raster::ToRgb(src, frame.pixels, frame.pitch);
    }
  }
  lib.backend->UnlockFrame();
  if (timed) {
    stats.paintNs.fetch_add(NowNs() - start, std::memory_order_relaxed);
    stats.paints.fetch_add(1, std::memory_order_relaxed);
  }
}

void Dispatch(const Message& m) {
  switch (m.kind) {
    case MsgKind::kKeyDown:
      keyboard::OnKeyDown(m.vk, m.mods);
      break;
    case MsgKind::kKeyUp:
      keyboard::OnKeyUp(m.vk);
      break;
    case MsgKind::kChar:
      keyboard::OnChar(m.code, m.mods);
      break;
    case MsgKind::kCloseRequest:
      keyboard::OnCloseRequest();
      break;
    case MsgKind::kMouseMove:
    case MsgKind::kMouseDown:
    case MsgKind::kMouseUp:
    case MsgKind::kMouseWheel:
      mouse::OnMessage(m);
      break;
    case MsgKind::kExpose:
      Paint();
      break;
    case MsgKind::kWake:
      if (Lib().repaintPending.exchange(false, std::memory_order_relaxed)) Paint();
      break;
  }
}

// One priority step above normal, so repaints and input keep up with a busy program. Lowering
// the nice value needs a privilege most users lack; the thread then runs at normal priority,
// which is fine: it sleeps in WaitMessage most of the time.
void RaiseThreadPriority() {
  const auto tid = static_cast<id_t>(gettid());
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, tid);
  if (errno == 0) setpriority(PRIO_PROCESS, tid, nice - 1);
}

void WindowThread(WindowDesc desc, std::string title) {
  Library& lib = Lib();
  RaiseThreadPriority();
  desc.title = title.c_str();
  int clientWidth = 0, clientHeight = 0;
  if (!lib.backend->CreateWindow(desc, &clientWidth, &clientHeight)) {
    lib.result.store(-4, std::memory_order_relaxed);
    lib.threadRunning.store(false, std::memory_order_release);
    return;
  }
  lib.maxX.store(clientWidth - 1, std::memory_order_relaxed);
  lib.maxY.store(clientHeight - 1, std::memory_order_relaxed);
  CreatePages(clientWidth, clientHeight);
  mouse::Reset(clientWidth, clientHeight);
  keyboard::Reset();
  lib.open.store(true, std::memory_order_release);

  Message m;
  while (!lib.closePosted.load(std::memory_order_acquire)) {
    lib.backend->WaitMessage(&m);
    Dispatch(m);
  }

  keyboard::ReleaseAll();
  FreePages();
  lib.backend->DestroyWindow();
  lib.threadRunning.store(false, std::memory_order_release);
}

// ---- Program exit --------------------------------------------------------------------------

// A program that ends without EaselClose still closes its window. Registered on the first
// open: it runs before the destructors of every static that existed then (the library state,
// the key and mouse queues). State created later, such as font caches, must therefore never
// be destroyed at exit.
void CloseAtExit() {
  if (Lib().open.load(std::memory_order_relaxed)) EaselClose();
}

}  // namespace

Library& Lib() {
  static Library library;
  return library;
}

Stats& GetStats() {
  static Stats stats;
  return stats;
}

uint64_t NowNs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

bool BeginOperation() {
  Library& lib = Lib();
  if (!lib.open.load(std::memory_order_relaxed)) {
    lib.result.store(-1, std::memory_order_relaxed);
    return false;
  }
  lib.result.store(0, std::memory_order_relaxed);
  return true;
}

void RequestRepaint() {
  Library& lib = Lib();
  if (!lib.repaintPending.exchange(true, std::memory_order_relaxed)) lib.backend->Wake();
}

void DrewOnPage() {
  if (Lib().direct.load(std::memory_order_relaxed)) RequestRepaint();
}

uint32_t PixelValue(uint32_t colour) {
  const Library& lib = Lib();
  if (lib.paletteMode) {
    return lib.paletteSize > 0 ? colour % static_cast<uint32_t>(lib.paletteSize) : 0;
  }
  return colour & 0xFFFFFFu;
}

raster::Surface8 DrawSurface8() {
  Library& lib = Lib();
  return {lib.pages8[lib.drawPage.load(std::memory_order_relaxed)].data(), lib.width, lib.height,
          lib.width};
}

raster::Surface32 DrawSurface32() {
  Library& lib = Lib();
  return {lib.pages32[lib.drawPage.load(std::memory_order_relaxed)].data(), lib.width, lib.height,
          lib.width};
}

}  // namespace easel

using easel::Lib;
using easel::Library;

void EaselOpen(int16_t& driver, int16_t& mode, const char* caption) {
  Library& lib = Lib();
  lib.result.store(0, std::memory_order_relaxed);
  if (lib.open.load(std::memory_order_relaxed)) {
    lib.result.store(-10, std::memory_order_relaxed);
    return;
  }
  if (driver == 0) {
    driver = 9;
    mode = 10;
  }

  // The desktop is read at every open, so a screen changed between runs is seen.
  lib.backend = easel::tape::ChooseBackend();
  easel::DesktopInfo desk;
  if (!lib.backend->QueryDesktop(&desk)) desk = easel::DesktopInfo{};
  easel::tape::Desktop(&desk);  // recorded, or the recorded one during a replay

  // The mode is tested before the driver.
  const auto [width, height] = easel::ClientSizeFor(mode, desk);
  easel::WindowDesc desc;
  desc.width = width;
  desc.height = height;
  desc.systemPlaced = mode == 10;
  int outerWidth = mode == 10 ? 0 : width + easel::kFrameX;
  int outerHeight = mode == 10 ? 0 : height + easel::kFrameY;
  if (outerWidth <= desk.width && outerHeight <= desk.height) {
    desc.framed = true;
  } else if (width <= desk.width && height <= desk.height) {
    outerWidth = width;
    outerHeight = height;
    desc.framed = false;
  } else {
    lib.result.store(-3, std::memory_order_relaxed);
    return;
  }

  int bits;
  switch (driver) {
    case 1:
      bits = 1;
      break;
    case 2:
      bits = 4;
      break;
    case 3:
      bits = 8;
      break;
    case 9:
      bits = desk.bitsPerPixel;
      break;
    default:
      lib.result.store(-2, std::memory_order_relaxed);
      return;
  }
  lib.driver = driver;
  lib.mode = mode;
  lib.bitsPerPixel = bits;
  lib.paletteMode = driver != 9;
  lib.colourCount = lib.paletteMode ? 1 << bits : 0;
  lib.paletteSize = 0;

  // Centred on the desktop (the division truncates toward zero).
  desc.x = (desk.width - outerWidth) / 2;
  desc.y = (desk.height - outerHeight) / 2;
  std::string title(caption ? caption : "");
  if (title.size() > 255) title.resize(255);
  if (title.empty()) title = "easel 1.1";

  static bool exitHookInstalled = false;
  if (!exitHookInstalled) {
    std::atexit(easel::CloseAtExit);
    exitHookInstalled = true;
  }

  lib.closePosted.store(false, std::memory_order_relaxed);
  lib.repaintPending.store(false, std::memory_order_relaxed);
  lib.threadRunning.store(true, std::memory_order_relaxed);
  lib.windowThread = std::thread(easel::WindowThread, desc, easel::Cp1252ToUtf8(title.c_str()));
  do {
    easel::SleepMs(easel::kPollMs);
  } while (!lib.open.load(std::memory_order_acquire) &&
           lib.result.load(std::memory_order_relaxed) == 0);
  if (!lib.open.load(std::memory_order_acquire)) {
    // The thread failed and has ended (or is ending): collect it.
    lib.windowThread.join();
    return;
  }

  lib.showPage.store(0, std::memory_order_relaxed);
  lib.updateOn.store(true, std::memory_order_relaxed);
  EaselSetDrawPage(0);
  if (!easel::text::InstallStandardFamilies()) {
    // The window stays open, without its drawing defaults.
    lib.result.store(-5, std::memory_order_relaxed);
    return;
  }
  easel::SetDrawingDefaults();
  easel::gl::CreateContexts();  // -9 when the window system gives no OpenGL
}

void EaselClose() {
  Library& lib = Lib();
  if (!easel::BeginOperation()) return;
  lib.open.store(false, std::memory_order_relaxed);
  easel::gl::ReleaseContexts();
  easel::text::Release();
  lib.closePosted.store(true, std::memory_order_release);
  lib.backend->Wake();
  while (lib.threadRunning.load(std::memory_order_acquire)) easel::SleepMs(easel::kPollMs);
  lib.windowThread.join();
  lib.paletteMode = false;
}

int16_t EaselMaxX() {
  return static_cast<int16_t>(Lib().maxX.load(std::memory_order_relaxed));
}
int16_t EaselMaxY() {
  return static_cast<int16_t>(Lib().maxY.load(std::memory_order_relaxed));
}

static uint16_t PageIndex(int16_t p) {
  const auto u = static_cast<uint16_t>(p);
  return u < easel::kPages ? u : uint16_t{0};
}

static void RecomputeDirect() {
  Library& lib = Lib();
  lib.direct.store(lib.drawPage.load(std::memory_order_relaxed) ==
                           lib.showPage.load(std::memory_order_relaxed) &&
                       lib.updateOn.load(std::memory_order_relaxed),
                   std::memory_order_relaxed);
}

void EaselSetDrawPage(int16_t page) {
  Library& lib = Lib();
  if (!easel::BeginOperation()) return;
  easel::gl::FlushBitmap();  // OpenGL drawing belongs to the page it was drawn on
  {
    std::lock_guard lock(lib.graphicsLock);
    lib.drawPage.store(PageIndex(page), std::memory_order_relaxed);
  }
  RecomputeDirect();
  easel::gl::LoadBitmap();
}

void EaselSetShowPage(int16_t page) {
  Library& lib = Lib();
  if (!easel::BeginOperation()) return;
  easel::gl::FlushBitmap();
  easel::gl::LoadBitmap();
  lib.showPage.store(PageIndex(page), std::memory_order_relaxed);
  RecomputeDirect();
  easel::RequestRepaint();
  easel::capture::OnShow();
}

void EaselUpdate(int16_t how) {
  Library& lib = Lib();
  switch (how) {
    case 0:
      if (lib.updateOn.load(std::memory_order_relaxed)) {
        lib.updateOn.store(false, std::memory_order_relaxed);
        lib.direct.store(false, std::memory_order_relaxed);
      }
      break;
    case 1:
      if (!lib.updateOn.load(std::memory_order_relaxed)) {
        lib.updateOn.store(true, std::memory_order_relaxed);
        EaselSetShowPage(static_cast<int16_t>(lib.showPage.load(std::memory_order_relaxed)));
      }
      break;
    case 2:
      if (!easel::gl::SwapIfWindowSelected()) {
        EaselSetShowPage(static_cast<int16_t>(lib.showPage.load(std::memory_order_relaxed)));
      }
      break;
    default:
      break;
  }
}

void EaselSleep(uint16_t ms) {
  // A program that draws straight onto the shown page never shows one: its pauses end its
  // frames, for the checksums and captures.
  if (Lib().direct.load(std::memory_order_relaxed)) easel::capture::OnShow();
  if (easel::tape::SkipSleep()) return;
  easel::Stats& stats = easel::GetStats();
  if (!stats.enabled.load(std::memory_order_relaxed)) return easel::SleepMs(ms);
  const uint64_t start = easel::NowNs();
  easel::SleepMs(ms);
  stats.sleepNs.fetch_add(easel::NowNs() - start, std::memory_order_relaxed);
}

int16_t EaselResult() {
  return Lib().result.load(std::memory_order_relaxed);
}

// Every value read from outside goes through the tape: recorded, or served during a replay.
using easel::tape::Kind;

bool EaselKeyHit() {
  return easel::tape::Read<bool>(Kind::kKeyHit, easel::keyboard::Hit);
}

uint8_t EaselReadKey() {
  return easel::tape::Read<uint8_t>(Kind::kReadKey, [] {
    if (!Lib().open.load(std::memory_order_relaxed)) return uint8_t{0};
    uint8_t code = 0;
    while (!easel::keyboard::Take(&code)) easel::SleepMs(easel::kPollMs);
    return code;
  });
}

uint16_t EaselMouseButtons() {
  return easel::tape::Read<uint16_t>(Kind::kMouseButtons, easel::mouse::Buttons);
}
uint16_t EaselMouseX() {
  return easel::tape::Read<uint16_t>(Kind::kMouseX, easel::mouse::X);
}
uint16_t EaselMouseY() {
  return easel::tape::Read<uint16_t>(Kind::kMouseY, easel::mouse::Y);
}

int16_t EaselAsyncKeyState(int vk) {
  return easel::tape::Read<int16_t>(
      Kind::kAsyncKey, [vk] { return easel::keyboard::AsyncState(vk); }, vk);
}

uint32_t EaselTickCount() {
  return easel::tape::Read<uint32_t>(Kind::kTick, [] {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  });
}

const char* EaselBackendName() {
  static thread_local std::string name;
  const easel::Backend* b = Lib().backend ? Lib().backend : easel::ChooseBackend();
  name = b->name;
  if (Lib().open.load(std::memory_order_relaxed)) name += std::string(":") + b->DriverName();
  return name.c_str();
}

int16_t EaselCoord(double v) {
  if (std::isnan(v)) return INT16_MIN;
  if (v <= INT16_MIN) return INT16_MIN;
  if (v >= INT16_MAX) return INT16_MAX;
  // The default rounding mode rounds halves to even.
  return static_cast<int16_t>(std::nearbyint(v));
}
