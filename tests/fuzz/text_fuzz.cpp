// libFuzzer target for text output: any bytes, any style, size, direction and justification,
// coordinates anywhere. Checks that nothing is ever written outside a page.
//
// Two checks per input:
//   1. EaselTextAt on a real (headless) window: the pages must keep their size and storage;
//      AddressSanitizer catches any write past their ends.
//   2. The same text drawn by text::DrawOn onto small 8-bit and 32-bit surfaces that sit
//      inside larger buffers: a write that wraps into a neighbouring row or misses the
//      surface lands in the guard band around it and is caught exactly.
//
// Input layout (little-endian 16-bit fields): font, direction, size, x, y; one byte each for
// the horizontal and vertical justification (taken as signed, so out-of-range values occur),
// the guarded surface's width and height; the rest is the text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "backend/headless/headless.h"
#include "core.h"
#include "easel/easel.h"
#include "text.h"

namespace {

constexpr size_t kHeader = 14;
constexpr int kMaxSide = 64;
// Larger than any glyph the guarded check draws, so a wrapped write stays in the guard.
constexpr int kGuard = 320;
constexpr int kGuardedMaxCell = 200;

bool OpenOnce() {
  setenv("EASEL_BACKEND", "headless", 1);
  easel::headless::SetDesktop(1920, 1080, 32);
  int16_t driver = 3, mode = 1;  // 320 x 200: small pages keep each input cheap
  EaselOpen(driver, mode, "text fuzz");
  return EaselResult() == 0;
}

template <typename T>
struct Guarded {
  static constexpr T kSentinel = static_cast<T>(0xA5A5A5A5u);
  int pitch = kMaxSide + 2 * kGuard;
  std::vector<T> buffer;
  Guarded() : buffer(static_cast<size_t>(pitch) * static_cast<size_t>(pitch), kSentinel) {}

  // The guard keeps its sentinel between inputs (a broken guard stops the run), so only the
  // last surface needs resetting: to sentinel, then the new surface to 0.
  easel::raster::Surface<T> Prepare(int w, int h) {
    T* origin = buffer.data() + static_cast<size_t>(kGuard) * pitch + kGuard;
    for (int y = 0; y < kMaxSide; ++y)
      std::fill(origin + y * pitch, origin + y * pitch + kMaxSide, kSentinel);
    for (int y = 0; y < h; ++y) std::fill(origin + y * pitch, origin + y * pitch + w, T{0});
    return {origin, w, h, pitch};
  }

  // Row by row with memcmp: an instrumented per-pixel loop would cost more than the drawing.
  bool GuardIntact(int w, int h) const {
    const std::vector<T> sentinel(static_cast<size_t>(pitch), kSentinel);
    auto same = [&](const T* p, int count) {
      return count <= 0 ||
             std::memcmp(p, sentinel.data(), static_cast<size_t>(count) * sizeof(T)) == 0;
    };
    for (int y = 0; y < pitch; ++y) {
      const T* row = buffer.data() + static_cast<size_t>(y) * pitch;
      if (y >= kGuard && y < kGuard + h) {
        if (!same(row, kGuard) || !same(row + kGuard + w, pitch - kGuard - w)) return false;
      } else if (!same(row, pitch)) {
        return false;
      }
    }
    return true;
  }
};

int16_t Int16(const uint8_t* p) {
  return static_cast<int16_t>(p[0] | p[1] << 8);
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

bool open = false;

}  // namespace

// fontconfig keeps its loaded configuration behind offset-encoded pointers that a leak check
// cannot follow, so while the configuration is alive (freed at exit) the per-input leak check
// would report it after any input that caches something.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\n";
}

// Opening here, before the inputs run, keeps the font system's one-time set-up out of the
// per-input leak checks.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  open = OpenOnce();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Guarded<uint8_t> guarded8;
  static Guarded<uint32_t> guarded32;
  if (!open || size < kHeader) return 0;

  const int16_t font = Int16(data), direction = Int16(data + 2), textSize = Int16(data + 4);
  const int16_t x = Int16(data + 6), y = Int16(data + 8);
  const auto alignH = static_cast<int16_t>(static_cast<int8_t>(data[10]));
  const auto alignV = static_cast<int16_t>(static_cast<int8_t>(data[11]));
  const int w = data[12] % (kMaxSide + 1), h = data[13] % (kMaxSide + 1);
  char text[300];
  const size_t n = std::min(size - kHeader, sizeof text - 1);
  std::memcpy(text, data + kHeader, n);
  text[n] = 0;

  easel::Library& lib = easel::Lib();
  const uint8_t* pages[easel::kPages];
  for (int p = 0; p < easel::kPages; ++p) pages[p] = lib.pages8[p].data();
  const size_t pageSize = static_cast<size_t>(lib.width) * static_cast<size_t>(lib.height);

  EaselSetDrawPage(static_cast<int16_t>(data[12] & 3));
  EaselSetColor(data[13]);
  EaselSetTextStyle(font, direction, textSize);
  EaselSetTextAlign(alignH, alignV);
  EaselTextAt(x, y, text);
  for (int p = 0; p < easel::kPages; ++p) {
    Check(lib.pages8[p].size() == pageSize && lib.pages8[p].data() == pages[p]);
  }

  // The guarded surfaces: the same text at a size whose glyphs fit inside the guard band.
  const auto cell = static_cast<uint16_t>(textSize);
  if (cell > kGuardedMaxCell) {
    EaselSetTextStyle(font, direction, static_cast<int16_t>(cell % kGuardedMaxCell));
  }
  // Coordinates near the surface, where clipping decides; far ones were covered above.
  const int gx = x % (kMaxSide * 3), gy = y % (kMaxSide * 3);
  easel::text::DrawOn(guarded8.Prepare(w, h), gx, gy, text, 0xFF);
  Check(guarded8.GuardIntact(w, h));
  easel::text::DrawOn(guarded32.Prepare(w, h), gx, gy, text, 0xFFFFFFu);
  Check(guarded32.GuardIntact(w, h));
  return 0;
}
