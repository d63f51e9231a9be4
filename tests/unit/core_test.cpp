// The window, its thread and the pages, on the headless backend.
#include <dirent.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>

#include "test_support.h"

namespace easel {
namespace {

class Closed : public ::testing::Test {
 protected:
  void SetUp() override { headless::SetDesktop(1920, 1080, 32); }
  void TearDown() override {
    if (Lib().open.load()) EaselClose();
  }
};

struct OpenCase {
  int16_t driver, mode;
  int desktopW, desktopH;
  int16_t result;
  bool framed;
  int clientW, clientH;
};

TEST_F(Closed, OpenChecksModeBeforeDriverAndSizesTheWindow) {
  const OpenCase cases[] = {
      {3, 6, 1920, 1080, 0, true, 800, 600},
      {3, 4, 1920, 1080, 0, true, 640, 480},
      {3, 1, 1920, 1080, 0, true, 320, 200},
      {3, 8, 1920, 1080, 0, true, 1280, 1024},
      {5, 6, 1920, 1080, -2, false, 0, 0},   // bad driver, good mode
      {5, 99, 1920, 1080, -3, false, 0, 0},  // bad mode wins over the bad driver
      {3, 99, 1920, 1080, -3, false, 0, 0},
      {3, 6, 800, 600, 0, false, 800, 600},  // no room for the frame: a frameless pop-up
      {3, 6, 640, 480, -3, false, 0, 0},     // no room at all
      {3, 12, 1024, 768, 0, false, 1024, 768},
      {3, 11, 1024, 768, 0, true, 1024 - 6, 768 - 25},
      {1, 6, 1920, 1080, 0, true, 800, 600},
      {2, 6, 1920, 1080, 0, true, 800, 600},
      {9, 6, 1920, 1080, 0, true, 800, 600},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "driver " << c.driver << " mode " << c.mode << " on "
                                    << c.desktopW << "x" << c.desktopH);
    headless::SetDesktop(c.desktopW, c.desktopH, 32);
    int16_t driver = c.driver, mode = c.mode;
    EaselOpen(driver, mode, "x");
    EXPECT_EQ(EaselResult(), c.result);
    const headless::WindowInfo w = headless::Window();
    EXPECT_EQ(w.exists, c.result == 0);
    if (c.result == 0) {
      EXPECT_EQ(w.framed, c.framed);
      EXPECT_EQ(w.width, c.clientW);
      EXPECT_EQ(w.height, c.clientH);
      EXPECT_EQ(EaselMaxX(), c.clientW - 1);
      EXPECT_EQ(EaselMaxY(), c.clientH - 1);
      EaselClose();
      EXPECT_EQ(EaselResult(), 0);
    }
  }
}

TEST_F(Closed, WindowIsCentredAndCaptioned) {
  headless::SetDesktop(1280, 1024, 24);
  int16_t driver = 3, mode = 6;
  EaselOpen(driver, mode, "GAURA NEAGRA");
  const headless::WindowInfo w = headless::Window();
  EXPECT_EQ(w.title, "GAURA NEAGRA");
  EXPECT_EQ(w.x, (1280 - 806) / 2);
  EXPECT_EQ(w.y, (1024 - 625) / 2);
  EaselClose();

  EaselOpen(driver, mode, "");
  EXPECT_EQ(headless::Window().title, "easel 1.1");
  EaselClose();

  // Captions are Windows-1252: the window system gets them as UTF-8.
  EaselOpen(driver, mode, "CAMP \xC2\x80");
  EXPECT_EQ(headless::Window().title, "CAMP \xC3\x82\xE2\x82\xAC");
}

TEST_F(Closed, DriverZeroDetectsTrueColourAndLetsTheSystemPlaceTheWindow) {
  int16_t driver = 0, mode = 6;
  EaselOpen(driver, mode, "x");
  EXPECT_EQ(EaselResult(), 0);
  EXPECT_EQ(driver, 9);
  EXPECT_EQ(mode, 10);
  EXPECT_TRUE(headless::Window().systemPlaced);
  EXPECT_EQ(EaselMaxColor(), 16777215u);
  EXPECT_EQ(EaselRgb(255, 255, 255), 16777215u);
}

TEST_F(Closed, SecondOpenFailsAndLeavesTheWindowAlone) {
  int16_t driver = 3, mode = 6;
  EaselOpen(driver, mode, "first");
  int16_t driver2 = 3, mode2 = 4;
  EaselOpen(driver2, mode2, "second");
  EXPECT_EQ(EaselResult(), -10);
  EXPECT_EQ(headless::Window().title, "first");
  EXPECT_EQ(EaselMaxX(), 799);
}

TEST_F(Closed, FailedWindowReportsMinusFourAndLeavesNoThread) {
  headless::FailNextWindow();
  int16_t driver = 3, mode = 6;
  EaselOpen(driver, mode, "x");
  EXPECT_EQ(EaselResult(), -4);
  EXPECT_FALSE(Lib().open.load());
  EXPECT_FALSE(Lib().windowThread.joinable());
  EaselOpen(driver, mode, "x");  // the next try works
  EXPECT_EQ(EaselResult(), 0);
}

TEST_F(Closed, EveryOperationReportsMinusOneWhileClosed) {
  struct Op {
    const char* name;
    void (*call)();
  };
  const Op ops[] = {
      {"close", [] { EaselClose(); }},
      {"draw page", [] { EaselSetDrawPage(1); }},
      {"show page", [] { EaselSetShowPage(1); }},
      {"colour", [] { EaselSetColor(3); }},
      {"bk colour", [] { EaselSetBkColor(3); }},
      {"line style", [] { EaselSetLineStyle(1, 0, 1); }},
      {"fill style", [] { EaselSetFillStyle(1, 1); }},
      {"pixel", [] { EaselPixel(1, 1, 1); }},
      {"line", [] { EaselLine(1, 1, 5, 5); }},
      {"circle", [] { EaselCircle(10, 10, 5); }},
      {"rect", [] { EaselRect(1, 1, 5, 5); }},
      {"bar", [] { EaselBar(1, 1, 5, 5); }},
      {"clear", [] { EaselClear(); }},
  };
  for (const Op& op : ops) {
    SCOPED_TRACE(op.name);
    op.call();
    EXPECT_EQ(EaselResult(), -1);
  }
  EXPECT_EQ(EaselReadKey(), 0);  // returns at once instead of waiting
}

class Pages : public test::Window {};

TEST_F(Pages, OutOfRangePagesSelectPageZero) {
  for (int16_t p : {int16_t{7}, int16_t{-1}, int16_t{4}, int16_t{32767}}) {
    EaselSetDrawPage(2);
    EaselSetDrawPage(p);
    EXPECT_EQ(EaselResult(), 0);
    EXPECT_EQ(Lib().drawPage.load(), 0) << p;
    EaselSetShowPage(3);
    EaselSetShowPage(p);
    EXPECT_EQ(Lib().showPage.load(), 0) << p;
  }
}

// What reaches the window and when: the headless screen holds the last repaint.
TEST_F(Pages, DirectDrawingShowsAtOnceAndHiddenPagesWaitUntilShown) {
  const uint32_t white = 0xFCFCFC;
  headless::Sync();
  EXPECT_EQ(headless::ScreenPixel(10, 10), 0u);  // a fresh window is black

  // Draw page = shown page with update on: each primitive reaches the window.
  EaselPixel(10, 10, EaselColors[250]);
  headless::Sync();
  EXPECT_EQ(headless::ScreenPixel(10, 10), white);

  // A hidden page stays invisible until it is shown.
  EaselSetDrawPage(1);
  EaselPixel(20, 20, EaselColors[250]);
  headless::Sync();
  EXPECT_EQ(headless::ScreenPixel(20, 20), 0u);
  EaselSetShowPage(1);
  headless::Sync();
  EXPECT_EQ(headless::ScreenPixel(20, 20), white);
  EXPECT_EQ(headless::ScreenPixel(10, 10), 0u);

  // Update off: drawing into the shown page waits for the next repaint.
  EaselUpdate(0);
  EaselPixel(30, 30, EaselColors[250]);
  headless::Sync();
  EXPECT_EQ(headless::ScreenPixel(30, 30), 0u);
  EaselUpdate(2);
  headless::Sync();
  EXPECT_EQ(headless::ScreenPixel(30, 30), white);

  // Update on again repaints; update on while on does nothing, not even a repaint.
  EaselUpdate(0);
  EaselPixel(31, 30, EaselColors[250]);
  EaselUpdate(1);
  headless::Sync();
  EXPECT_EQ(headless::ScreenPixel(31, 30), white);
  const uint64_t before = headless::RepaintCount();
  EaselUpdate(1);
  EaselUpdate(7);
  headless::Sync();
  EXPECT_EQ(headless::RepaintCount(), before);
}

TEST_F(Pages, DoubleBufferedFramesShowOneFrameLate) {
  int16_t page = 0;
  for (int frame = 0; frame < 3; ++frame) {
    EaselSetDrawPage(page);
    page = static_cast<int16_t>(1 - page);
    EaselSetShowPage(page);
    EaselClear();
    EaselPixel(static_cast<int16_t>(100 + frame), 100, EaselColors[250]);
    headless::Sync();
    // The shown page is the one drawn in the previous frame (blank in the first).
    for (int f = 0; f <= frame; ++f) {
      const bool expected = f == frame - 1;
      EXPECT_EQ(headless::ScreenPixel(100 + f, 100) != 0, expected) << frame << " " << f;
    }
  }
}

TEST_F(Pages, CloseBoxQueuesAKeyAndKeepsTheWindowOpen) {
  headless::Inject(Message{MsgKind::kCloseRequest});
  headless::Sync();
  EXPECT_TRUE(EaselKeyHit());
  EXPECT_EQ(EaselReadKey(), 0);
  EXPECT_EQ(EaselReadKey(), 107);
  EXPECT_TRUE(headless::Window().exists);
  EaselPixel(1, 1, 15);
  EXPECT_EQ(EaselResult(), 0);
}

TEST_F(Pages, CloseWhileRepaintsAndInputArriveNeitherHangsNorCrashes) {
  for (int i = 0; i < 50; ++i) {
    for (int k = 0; k < 20; ++k) {
      headless::Inject(Message{MsgKind::kMouseMove, 0, 0, 0, k, k});
      EaselSetShowPage(static_cast<int16_t>(k & 1));
      EaselLine(0, 0, 799, static_cast<int16_t>(k));
    }
    EaselClose();
    EXPECT_EQ(EaselResult(), 0);
    Open();
  }
}

int CountEntries(const char* dir) {
  int n = 0;
  if (DIR* d = opendir(dir)) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

TEST_F(Closed, TwoHundredOpenCloseCyclesLeakNothing) {
  int16_t driver = 3, mode = 6;
  EaselOpen(driver, mode, "warm-up");
  EaselClose();
  const int threads = CountEntries("/proc/self/task");
  const int fds = CountEntries("/proc/self/fd");
  [[maybe_unused]] const long rss = ResidentKb();
  for (int i = 0; i < 200; ++i) {
    EaselOpen(driver, mode, "cycle");
    ASSERT_EQ(EaselResult(), 0);
    EaselClear();
    EaselCircle(400, 300, 100);
    EaselClose();
    ASSERT_EQ(EaselResult(), 0);
  }
  EXPECT_EQ(CountEntries("/proc/self/task"), threads);
  EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // Four 800x600 pages are about 1.9 MB: a leak of one window's pages per cycle would show.
  // (The sanitizers keep freed memory and shadow pages; the leak checker covers this there.)
  EXPECT_LT(ResidentKb() - rss, 4096);
#endif
}

// Opens a window and leaves the process without EaselClose.
[[noreturn]] void OpenAndExit() {
  setenv("EASEL_BACKEND", "headless", 1);
  int16_t driver = 3;
  int16_t mode = 6;
  EaselOpen(driver, mode, "left open");
  if (EaselResult() != 0) std::_Exit(3);
  std::exit(0);  // the library closes the window and joins its thread on the way out
}

TEST(ProgramExit, AWindowLeftOpenIsClosedAtExit) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(OpenAndExit(), testing::ExitedWithCode(0), "");
}

TEST(Coord, RoundsHalvesToEvenAndClampsToSixteenBits) {
  struct Case {
    double in;
    int16_t out;
  };
  const Case cases[] = {
      {0.5, 0},
      {1.5, 2},
      {2.5, 2},
      {-0.5, 0},
      {-1.5, -2},
      {399.5, 400},
      {299.49, 299},
      {32767.4, 32767},
      {40000.0, 32767},
      {-40000.0, -32768},
      {1e300, 32767},
      {-1e300, -32768},
      {HUGE_VAL, 32767},
      {-HUGE_VAL, -32768},
      {std::nan(""), -32768},
  };
  for (const Case& c : cases) EXPECT_EQ(EaselCoord(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace easel
