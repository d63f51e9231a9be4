// Shared helpers for the unit tests: a headless window per test and page inspection.
#ifndef TESTS_UNIT_TEST_SUPPORT_H
#define TESTS_UNIT_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include "backend/headless/headless.h"
#include "core.h"
#include "easel/easel.h"

namespace easel::test {

// Opens a headless window for one test (driver 3, mode 6 unless asked otherwise) and closes
// it afterwards, whatever the test did.
class Window : public ::testing::Test {
 protected:
  void Open(int16_t driver = 3, int16_t mode = 6) {
    headless::SetDesktop(1920, 1080, 32);
    EaselOpen(driver, mode, "test");
    ASSERT_EQ(EaselResult(), 0);
  }
  void SetUp() override { Open(); }
  void TearDown() override {
    if (Lib().open.load()) EaselClose();
  }
};

// A pixel of a page as stored (palette index, or 0x00BBGGRR in true colour).
inline uint32_t PagePixel(int page, int x, int y) {
  Library& lib = Lib();
  std::lock_guard lock(lib.graphicsLock);
  const size_t i = static_cast<size_t>(y) * static_cast<size_t>(lib.width) + static_cast<size_t>(x);
  return lib.paletteMode ? lib.pages8[page][i] : lib.pages32[page][i];
}

// The page drawn as text: '.' for background (0), '#' for anything else, over a region.
inline std::string Picture(int page, int x0, int y0, int x1, int y1) {
  std::string out;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) out += PagePixel(page, x, y) ? '#' : '.';
    out += '\n';
  }
  return out;
}

inline int CountSet(int page, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) n += PagePixel(page, x, y) != 0;
  return n;
}

}  // namespace easel::test

#endif  // TESTS_UNIT_TEST_SUPPORT_H
