// The OpenGL binding (see gl.h): context selection, buffer swaps and the bitmap context's
// sync points.
//
// The backend makes the contexts; this file decides which one is current and moves the bitmap
// context's pixels to and from the draw page with plain OpenGL 1.1 texture calls, saving and
// restoring every piece of OpenGL state it touches so the program's own state is undisturbed.
// Creating the contexts needs no saving of the floating-point control state here: on the
// platforms we build for it is per thread and the drivers leave it alone.
#include "gl.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "capture.h"
#include "core.h"
#include "easel/easel.h"
#include "palette.h"

namespace easel::gl {
namespace {

// Nearest palette entries of recently seen colours. OpenGL pictures without lighting or
// smoothing hold few distinct colours, so a small direct-mapped table answers almost every
// pixel without a search of the palette.
class NearestCache {
 public:
  void Clear() { entries_.fill(Entry{}); }
  uint8_t Lookup(uint32_t value, const palette::Rgb* pal, int n) {
    Entry& e = entries_[(value * 2654435761u) >> (32 - kBits)];
    if (e.value != value) {
      e.value = value;
      e.index = static_cast<uint8_t>(palette::Nearest(pal, n, palette::FromValue(value)));
    }
    return e.index;
  }

 private:
  static constexpr int kBits = 12;
  struct Entry {
    uint32_t value = 0xFFFFFFFFu;  // never a 24-bit colour value
    uint8_t index = 0;
  };
  std::array<Entry, 1 << kBits> entries_;
};

struct State {
  bool available = false;       // both contexts were made at the last open
  bool windowSelected = false;  // the last EaselGLSelect chose the window context
  bool exist = false;           // the contexts exist (from open to close)
  GLContext current = GLContext::kNone;
  bool bitmapInUse = false;  // the program selected the bitmap context itself
  unsigned texture = 0;
  int width = 0, height = 0;
  // RGBA bytes, texture row 0 (the bottom of the picture) first.
  std::vector<uint8_t> loaded;  // the texture as last loaded from the page
  std::vector<uint8_t> drawn;   // the texture as read back at a sync point
  NearestCache nearest;
};

State& S() {
  static State state;
  return state;
}

bool BitmapSyncing() {
  const State& s = S();
  return s.exist && s.current == GLContext::kBitmap && s.bitmapInUse;
}

// Pixel transfer as OpenGL starts: no colour maps, scales 1, biases 0.
void DefaultPixelTransfer() {
  glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
  for (GLenum scale : {GL_RED_SCALE, GL_GREEN_SCALE, GL_BLUE_SCALE, GL_ALPHA_SCALE}) {
    glPixelTransferf(scale, 1.0f);
  }
  for (GLenum bias : {GL_RED_BIAS, GL_GREEN_BIAS, GL_BLUE_BIAS, GL_ALPHA_BIAS}) {
    glPixelTransferf(bias, 0.0f);
  }
}

// Tightly packed rows for both directions of transfer.
void DefaultPixelStore() {
  for (GLenum name : {GL_PACK_ROW_LENGTH, GL_PACK_SKIP_ROWS, GL_PACK_SKIP_PIXELS,
                      GL_UNPACK_ROW_LENGTH, GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS}) {
    glPixelStorei(name, 0);
  }
  for (GLenum name :
       {GL_PACK_SWAP_BYTES, GL_PACK_LSB_FIRST, GL_UNPACK_SWAP_BYTES, GL_UNPACK_LSB_FIRST}) {
    glPixelStorei(name, GL_FALSE);
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

// Runs transfer() with the bitmap texture bound and default pixel state, then puts the
// program's texture binding and pixel state back.
template <typename Transfer>
void WithBitmapTexture(Transfer transfer) {
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPushAttrib(GL_PIXEL_MODE_BIT);
  DefaultPixelStore();
  DefaultPixelTransfer();
  glBindTexture(GL_TEXTURE_2D, S().texture);
  transfer();
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
  glPopAttrib();
  glPopClientAttrib();
}

// Makes a context current under graphicsLock, so a switch never overlaps a page copy.
bool MakeCurrent(GLContext which) {
  Library& lib = Lib();
  std::lock_guard lock(lib.graphicsLock);
  const bool ok = lib.backend->GLMakeCurrent(which);
  // Selecting a context resets the viewport, which leaves the current position at its origin.
  lib.cpX = lib.cpY = 0;
  return ok;
}

// EaselGLSelect; explicit: the program asked for it (EaselOpen's own selection is not).
void Select(bool useWindow, bool explicitly) {
  Library& lib = Lib();
  if (!BeginOperation()) return;
  State& s = S();
  if (!s.available) {
    lib.result.store(-9, std::memory_order_relaxed);
    return;
  }
  FlushBitmap();  // what the bitmap context drew belongs to the page before the switch
  const GLContext which = useWindow ? GLContext::kWindow : GLContext::kBitmap;
  s.windowSelected = useWindow;
  if (!MakeCurrent(which)) {
    s.current = GLContext::kNone;
    s.windowSelected = false;
    lib.result.store(-9, std::memory_order_relaxed);
    return;
  }
  s.current = which;
  if (!useWindow && explicitly) s.bitmapInUse = true;
  LoadBitmap();
}

}  // namespace

void CreateContexts() {
  Library& lib = Lib();
  State& s = S();
  s.available = s.windowSelected = s.exist = s.bitmapInUse = false;
  s.current = GLContext::kNone;
  // A backend without OpenGL (the headless one) is not a failure of this window: the program
  // hears of it from EaselGLSelect.
  if (lib.backend->GLCreateContexts == nullptr) return;
  {
    std::lock_guard lock(lib.graphicsLock);
    s.width = lib.width;
    s.height = lib.height;
  }
  if (!lib.backend->GLCreateContexts(s.width, s.height, &s.texture)) {
    lib.result.store(-9, std::memory_order_relaxed);
    return;
  }
  s.exist = s.available = true;
  const size_t bytes = 4 * static_cast<size_t>(s.width) * static_cast<size_t>(s.height);
  s.loaded.assign(bytes, 0);
  s.drawn.assign(bytes, 0);
  Select(false, false);
}

void ReleaseContexts() {
  State& s = S();
  if (!s.exist) return;
  Library& lib = Lib();
  {
    std::lock_guard lock(lib.graphicsLock);
    lib.backend->GLDeleteContexts();
  }
  s.exist = s.bitmapInUse = false;
  s.current = GLContext::kNone;
  std::vector<uint8_t>().swap(s.loaded);
  std::vector<uint8_t>().swap(s.drawn);
}

namespace {

// The window context's back buffer, top row first, as a true-colour picture (0x00BBGGRR).
capture::Picture ReadBackBuffer(int width, int height) {
  capture::Picture p;
  p.indexed = false;
  p.width = width;
  p.height = height;
  const auto w = static_cast<size_t>(width), h = static_cast<size_t>(height);
  p.pixels.resize(w * h);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, p.pixels.data());
  // OpenGL reads bottom row first: swap the rows in place.
  for (size_t y = 0; y < h / 2; ++y) {
    std::swap_ranges(&p.pixels[y * w], &p.pixels[y * w] + w, &p.pixels[(h - 1 - y) * w]);
  }
  for (uint32_t& v : p.pixels) v &= 0x00FFFFFFu;  // alpha is not shown
  return p;
}

}  // namespace

bool SwapIfWindowSelected() {
  State& s = S();
  if (!s.exist || !s.windowSelected || s.current != GLContext::kWindow) return false;
  if (!BeginOperation()) return true;
  if (capture::Capturing()) capture::OnWindowFrame(ReadBackBuffer(s.width, s.height));
  // No lock: the swap touches only the window context's buffers.
  Lib().backend->GLSwapWindow();
  return true;
}

void FlushBitmap() {
  if (!BitmapSyncing()) return;
  State& s = S();
  WithBitmapTexture(
      [&] { glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, s.drawn.data()); });

  Library& lib = Lib();
  bool changed = false;
  {
    std::lock_guard lock(lib.graphicsLock);
    const int page = lib.drawPage.load(std::memory_order_relaxed);
    const int w = s.width, h = s.height;
    s.nearest.Clear();
    for (int y = 0; y < h; ++y) {
      const size_t row = static_cast<size_t>(h - 1 - y) * static_cast<size_t>(w);
      for (int x = 0; x < w; ++x) {
        const uint8_t* d = &s.drawn[4 * (row + static_cast<size_t>(x))];
        const uint8_t* l = &s.loaded[4 * (row + static_cast<size_t>(x))];
        if (d[0] == l[0] && d[1] == l[1] && d[2] == l[2]) continue;  // untouched by OpenGL
        const uint32_t value = palette::ToValue(palette::Rgb{d[0], d[1], d[2]});
        const size_t i = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
        if (lib.paletteMode) {
          if (lib.paletteSize > 0) {
            lib.pages8[page][i] = s.nearest.Lookup(value, lib.colourTable, lib.paletteSize);
          }
        } else {
          lib.pages32[page][i] = value;
        }
        changed = true;
      }
    }
  }
  if (changed) DrewOnPage();
}

void LoadBitmap() {
  if (!BitmapSyncing()) return;
  State& s = S();
  Library& lib = Lib();
  {
    std::lock_guard lock(lib.graphicsLock);
    const int page = lib.drawPage.load(std::memory_order_relaxed);
    const int w = s.width, h = s.height;
    for (int y = 0; y < h; ++y) {
      uint8_t* out = &s.loaded[4 * static_cast<size_t>(h - 1 - y) * static_cast<size_t>(w)];
      const size_t row = static_cast<size_t>(y) * static_cast<size_t>(w);
      for (int x = 0; x < w; ++x, out += 4) {
        const palette::Rgb c =
            lib.paletteMode ? lib.colourTable[lib.pages8[page][row + static_cast<size_t>(x)]]
                            : palette::FromValue(lib.pages32[page][row + static_cast<size_t>(x)]);
        out[0] = c.r;
        out[1] = c.g;
        out[2] = c.b;
        out[3] = 255;
      }
    }
  }
  WithBitmapTexture([&] {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, s.width, s.height, GL_RGBA, GL_UNSIGNED_BYTE,
                    s.loaded.data());
  });
}

}  // namespace easel::gl

void EaselGLSelect(bool useWindow) {
  easel::gl::Select(useWindow, true);
}

#if defined(__SANITIZE_THREAD__)
// Mesa's software rasteriser is not instrumented and hands work to its own threads through
// fences ThreadSanitizer cannot see, so it reports races inside the driver on every context.
// Those reports say nothing about this library or the programs; races in our code still show.
extern "C" const char* __tsan_default_suppressions() {
  return "race:swrast_dri.so\n";
}
#endif
