// The OpenGL binding: context selection, buffer swaps, the bitmap context's way into the draw
// page, the no-OpenGL path and context lifetime.
//
// Real OpenGL runs on SDL's offscreen driver (EGL on Mesa, no X server). What needs a real
// double-buffered window (a frame staying invisible until the swap) runs under a private Xvfb
// and reads the window back through Xlib, independently of the library.
#include <GL/gl.h>
#include <GL/glext.h>
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "backend/headless/headless.h"
#include "capture.h"
#include "core.h"
#include "easel/easel.h"
#include "palette.h"

// Last: Xlib defines macros (None, Bool, Status) that clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using easel::Lib;

uint32_t PagePixel(int page, int x, int y) {
  easel::Library& lib = Lib();
  std::lock_guard lock(lib.graphicsLock);
  const size_t i = static_cast<size_t>(y) * static_cast<size_t>(lib.width) + static_cast<size_t>(x);
  return lib.paletteMode ? lib.pages8[page][i] : lib.pages32[page][i];
}

// OpenGL drawing in window pixel coordinates (origin top-left, like the pages).
void PixelProjection() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 800, 600, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void FillRect(int x0, int y0, int x1, int y1, float r, float g, float b) {
  glColor3f(r, g, b);
  glBegin(GL_QUADS);
  glVertex2i(x0, y0);
  glVertex2i(x1, y0);
  glVertex2i(x1, y1);
  glVertex2i(x0, y1);
  glEnd();
}

// The current context's pixel at window coordinates (top-left origin).
uint32_t GLPixel(int x, int y) {
  unsigned char p[4] = {};
  glReadPixels(x, 599 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
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

// ---- No OpenGL -----------------------------------------------------------------------------

class GLHeadless : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("EASEL_BACKEND", "headless", 1);
    easel::headless::SetDesktop(1920, 1080, 32);
  }
  void TearDown() override {
    if (Lib().open.load()) EaselClose();
  }
};

TEST_F(GLHeadless, WithoutOpenGLSelectFailsAndUpdateNowRepaintsFromTheShownPage) {
  EaselGLSelect(true);
  EXPECT_EQ(EaselResult(), -1);  // no window yet

  int16_t driver = 3, mode = 6;
  EaselOpen(driver, mode, "GL");
  // The memory-only backend has no OpenGL at all: the open itself succeeds.
  ASSERT_EQ(EaselResult(), 0);
  easel::headless::Sync();  // the repaints that opening asked for are done
  EaselGLSelect(true);
  EXPECT_EQ(EaselResult(), -9);
  EaselGLSelect(false);
  EXPECT_EQ(EaselResult(), -9);

  // Flat drawing still works, and "update now" repaints from the shown page.
  EaselUpdate(0);
  EaselSetColor(EaselColors[250]);
  EaselLine(10, 20, 60, 20);
  easel::headless::Sync();
  EXPECT_EQ(easel::headless::ScreenPixel(30, 20), 0u);
  const uint64_t before = easel::headless::RepaintCount();
  EaselUpdate(2);
  EXPECT_EQ(EaselResult(), 0);
  easel::headless::Sync();
  EXPECT_GT(easel::headless::RepaintCount(), before);
  EXPECT_EQ(easel::headless::ScreenPixel(30, 20), 0xFCFCFCu);

  EaselClose();
  EaselGLSelect(false);
  EXPECT_EQ(EaselResult(), -1);
  EaselUpdate(2);
  EXPECT_EQ(EaselResult(), -1);
}

// ---- SDL's offscreen driver ----------------------------------------------------------------

// A real SDL window on the offscreen driver, with OpenGL through EGL.
class GLOffscreen : public ::testing::Test {
 protected:
  static void UseOffscreenDriver() {
    setenv("EASEL_BACKEND", "sdl2", 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
  }
  void SetUp() override {
    UseOffscreenDriver();
    Open(3);
  }
  void Open(int16_t driverWanted) {
    int16_t driver = driverWanted, mode = 6;
    EaselOpen(driver, mode, "GL");
    if (std::string(EaselBackendName()).rfind("sdl2", 0) != 0) {
      GTEST_SKIP() << "built without the SDL2 backend";
    }
    ASSERT_EQ(std::string(EaselBackendName()), "sdl2:offscreen");
    ASSERT_EQ(EaselResult(), 0) << "no OpenGL on SDL's offscreen driver";
  }
  void TearDown() override {
    if (Lib().open.load()) EaselClose();
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("SDL_VIDEO_EGL_DRIVER");
  }
};

TEST_F(GLOffscreen, AfterOpenTheBitmapContextIsCurrent) {
  ASSERT_NE(glGetString(GL_VERSION), nullptr);  // some context is current on this thread
  GLint framebuffer = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
  EXPECT_NE(framebuffer, 0) << "the bitmap context renders into its framebuffer object";
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 800);
  EXPECT_EQ(viewport[3], 600);

  EaselGLSelect(true);
  EXPECT_EQ(EaselResult(), 0);
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
  EXPECT_EQ(framebuffer, 0) << "the window context draws on the window";
  GLint depthBits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  EXPECT_GE(depthBits, 16);
}

TEST_F(GLOffscreen, WindowContextDrawingNeverTouchesThePages) {
  EaselGLSelect(true);
  PixelProjection();
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  FillRect(100, 100, 200, 200, 0, 1, 0);
  glFlush();
  EaselUpdate(2);
  EXPECT_EQ(EaselResult(), 0);
  EXPECT_EQ(GLPixel(150, 150), 0x00FF00u);
  EXPECT_EQ(GLPixel(10, 10), 0xFF0000u);
  EaselSetShowPage(0);  // a sync point: nothing of the window context reaches a page
  for (int page = 0; page < 4; ++page) {
    EXPECT_EQ(PagePixel(page, 150, 150), 0u);
    EXPECT_EQ(PagePixel(page, 10, 10), 0u);
  }
}

TEST_F(GLOffscreen, CapturedWindowFramesAreTheBackBufferTopRowFirst) {
  const std::string sums = ::testing::TempDir() + "gl_window_frames.sums";
  easel::capture::Settings settings;
  settings.checksums = sums;
  easel::capture::Configure(settings);
  EaselGLSelect(true);
  PixelProjection();
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  FillRect(100, 50, 300, 90, 0, 1, 0);  // near the top: a flipped read-back shows it low
  glFlush();
  EaselUpdate(2);
  easel::capture::Configure(easel::capture::Settings{});

  easel::capture::Picture expected;
  expected.indexed = false;
  expected.width = 800;
  expected.height = 600;
  expected.pixels.assign(800 * 600, 0x0000FFu);  // 0x00BBGGRR
  for (int y = 50; y < 90; ++y)
    for (int x = 100; x < 300; ++x) expected.pixels[static_cast<size_t>(y * 800 + x)] = 0x00FF00u;
  char line[64];
  std::snprintf(line, sizeof line, "1 %016llx",
                static_cast<unsigned long long>(easel::capture::Checksum(expected)));
  std::ifstream in(sums);
  std::string got;
  std::getline(in, got);
  EXPECT_EQ(got, line) << "one frame, the swapped window's pixels";
}

// Each sync point lays the bitmap context's drawing over the draw page of that moment.
struct SyncCase {
  const char* name;
  void (*sync)();
  int landsOn;  // the page that receives the drawing
};

const SyncCase kSyncCases[] = {
    {"SetShowPage", [] { EaselSetShowPage(0); }, 0},
    {"SetShowPageOfAnotherPage", [] { EaselSetShowPage(2); }, 0},
    {"UpdateNow", [] { EaselUpdate(2); }, 0},
    {"UpdateOn",
     [] {
       EaselUpdate(0);
       EaselUpdate(1);
     },
     0},
    {"SetDrawPage", [] { EaselSetDrawPage(1); }, 0},
    {"SelectWindowContext", [] { EaselGLSelect(true); }, 0},
    {"SelectBitmapAgain", [] { EaselGLSelect(false); }, 0},
};

void PrintTo(const SyncCase& c, std::ostream* os) {
  *os << c.name;
}

class GLSyncPoint : public GLOffscreen, public ::testing::WithParamInterface<SyncCase> {};

TEST_P(GLSyncPoint, BitmapDrawingReachesTheDrawPageAsNearestPaletteEntries) {
  const uint32_t white = EaselColors[250];
  EaselSetColor(white);
  EaselLine(0, 300, 799, 300);  // flat drawing before OpenGL starts
  EaselGLSelect(false);
  ASSERT_EQ(EaselResult(), 0);

  PixelProjection();
  glDisable(GL_DEPTH_TEST);
  FillRect(100, 100, 200, 200, 1, 0, 0);           // a palette colour
  FillRect(300, 100, 400, 200, 0.3f, 0.6f, 0.9f);  // between palette entries
  FillRect(500, 250, 600, 350, 0, 0, 1);           // over the flat line
  glFlush();
  const uint32_t between = GLPixel(350, 150);
  const uint32_t betweenIndex =
      EaselRgb(static_cast<int16_t>(between >> 16), static_cast<int16_t>(between >> 8 & 0xFF),
               static_cast<int16_t>(between & 0xFF));
  EaselLine(0, 500, 799, 500);  // flat drawing after OpenGL, where OpenGL drew nothing

  EXPECT_EQ(PagePixel(0, 150, 150), 0u) << "nothing reaches the page before a sync point";
  GetParam().sync();
  const int page = GetParam().landsOn;
  EXPECT_EQ(PagePixel(page, 150, 150), EaselRgb(255, 0, 0));
  EXPECT_EQ(PagePixel(page, 350, 150), betweenIndex);
  EXPECT_NE(betweenIndex, EaselRgb(255, 0, 0));
  EXPECT_EQ(PagePixel(page, 550, 300), EaselRgb(0, 0, 255)) << "OpenGL drew over the line";
  EXPECT_EQ(PagePixel(page, 100, 300), white) << "flat drawing OpenGL left alone stays";
  EXPECT_EQ(PagePixel(page, 100, 500), white) << "flat drawing after OpenGL stays";
  EXPECT_EQ(PagePixel(page, 250, 150), 0u);
  // The rectangle's edges land where OpenGL put them: columns 100..199, rows 100..199.
  EXPECT_EQ(PagePixel(page, 99, 150), 0u);
  EXPECT_EQ(PagePixel(page, 100, 150), EaselRgb(255, 0, 0));
  EXPECT_EQ(PagePixel(page, 199, 199), EaselRgb(255, 0, 0));
  EXPECT_EQ(PagePixel(page, 150, 200), 0u);
  for (int other = 1; other < 4; ++other) EXPECT_EQ(PagePixel(other, 150, 150), 0u) << other;
}

INSTANTIATE_TEST_SUITE_P(Each, GLSyncPoint, ::testing::ValuesIn(kSyncCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(GLOffscreen, BitmapContextDrawsOverWhatTheDrawPageHolds) {
  EaselSetColor(EaselColors[250]);
  EaselBar(10, 10, 50, 50);
  EaselGLSelect(false);
  EXPECT_EQ(GLPixel(30, 30), 0xFCFCFCu) << "the page is loaded when the context is selected";
  EXPECT_EQ(GLPixel(70, 30), 0u);

  // Changing the draw page carries the drawing to the old page and loads the new one.
  PixelProjection();
  FillRect(100, 10, 140, 50, 0, 1, 0);
  EaselSetDrawPage(1);
  EXPECT_EQ(PagePixel(0, 120, 30), EaselRgb(0, 255, 0));
  EXPECT_EQ(PagePixel(1, 120, 30), 0u);
  EXPECT_EQ(GLPixel(30, 30), 0u);
  EXPECT_EQ(GLPixel(120, 30), 0u);

  // An unchanged repaint of the same picture after a flat clear still lands: the page, not
  // the previous picture, is what OpenGL draws over.
  EaselSetDrawPage(0);
  FillRect(100, 10, 140, 50, 0, 1, 0);
  EaselSetShowPage(0);
  EaselClear();
  EXPECT_EQ(PagePixel(0, 120, 30), 0u);
  EaselSetShowPage(0);
  FillRect(100, 10, 140, 50, 0, 1, 0);
  EaselSetShowPage(0);
  EXPECT_EQ(PagePixel(0, 120, 30), EaselRgb(0, 255, 0));
}

TEST_F(GLOffscreen, SyncPointsLeaveTheProgramsOpenGLStateAlone) {
  EaselGLSelect(false);
  GLuint mine = 0;
  glGenTextures(1, &mine);
  glBindTexture(GL_TEXTURE_2D, mine);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, 17);
  glPixelTransferf(GL_RED_SCALE, 0.5f);
  PixelProjection();
  FillRect(0, 0, 10, 10, 1, 1, 1);
  EaselSetShowPage(0);
  EXPECT_EQ(PagePixel(0, 5, 5), EaselRgb(255, 255, 255)) << "the program's red scale is not used";
  GLint value = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
  EXPECT_EQ(value, static_cast<GLint>(mine));
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
  EXPECT_EQ(value, 1);
  glGetIntegerv(GL_PACK_ROW_LENGTH, &value);
  EXPECT_EQ(value, 17);
  GLfloat scale = 0;
  glGetFloatv(GL_RED_SCALE, &scale);
  EXPECT_EQ(scale, 0.5f);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  glDeleteTextures(1, &mine);
}

TEST_F(GLOffscreen, UntilTheProgramSelectsTheBitmapContextNothingIsCopied) {
  // The selection made by EaselOpen keeps the context current but costs flat programs
  // nothing: its drawing is not copied into the pages.
  PixelProjection();
  FillRect(100, 100, 200, 200, 1, 0, 0);
  EaselSetShowPage(0);
  EXPECT_EQ(PagePixel(0, 150, 150), 0u);
}

TEST_F(GLOffscreen, TrueColourPagesTakeTheExactColours) {
  EaselClose();
  Open(9);
  EaselGLSelect(false);
  PixelProjection();
  FillRect(100, 100, 200, 200, 0.3f, 0.6f, 0.9f);
  const uint32_t rgb = GLPixel(150, 150);
  EXPECT_NE(rgb, 0u);
  EaselSetShowPage(0);
  // Pages hold 0x00BBGGRR.
  EXPECT_EQ(PagePixel(0, 150, 150), (rgb & 0xFF) << 16 | (rgb & 0xFF00) | rgb >> 16);
}

TEST(GLWithoutDriver, OpenReportsMinus9AndFlatDrawingWorks) {
  setenv("EASEL_BACKEND", "sdl2", 1);
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("SDL_VIDEO_EGL_DRIVER", "/nonexistent/libEGL.so", 1);
  int16_t driver = 3, mode = 6;
  EaselOpen(driver, mode, "GL");
  const int16_t result = EaselResult();
  const std::string backend = EaselBackendName();
  EaselGLSelect(true);
  const int16_t select = EaselResult();
  EaselSetColor(EaselColors[250]);
  EaselLine(0, 0, 99, 0);
  const uint32_t pixel = PagePixel(0, 50, 0);
  EaselUpdate(2);
  const int16_t update = EaselResult();
  EaselClose();
  unsetenv("SDL_VIDEO_EGL_DRIVER");
  unsetenv("SDL_VIDEODRIVER");
  if (backend.rfind("sdl2", 0) != 0) GTEST_SKIP() << "built without the SDL2 backend";
  EXPECT_EQ(result, -9);
  EXPECT_EQ(select, -9);
  EXPECT_EQ(pixel, EaselColors[250]);
  EXPECT_EQ(update, 0);
}

TEST(GLLifetime, HundredOpenCloseCyclesLeaveNothingBehind) {
  setenv("EASEL_BACKEND", "sdl2", 1);
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  auto cycle = [] {
    int16_t driver = 3, mode = 6;
    EaselOpen(driver, mode, "GL");
    if (EaselResult() != 0) return false;
    EaselGLSelect(true);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glFlush();
    EaselUpdate(2);
    EaselGLSelect(false);
    PixelProjection();
    FillRect(0, 0, 10, 10, 1, 0, 0);
    EaselSetShowPage(0);
    EaselClose();
    return EaselResult() == 0;
  };
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(cycle()) << EaselResult();
  if (std::string(EaselBackendName()).rfind("sdl2", 0) != 0) {
    GTEST_SKIP() << "built without the SDL2 backend";
  }
  const int threads = CountEntries("/proc/self/task"), fds = CountEntries("/proc/self/fd");
  [[maybe_unused]] const long rss = ResidentKb();
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(cycle()) << "cycle " << i << ": " << EaselResult();
  EXPECT_EQ(glGetString(GL_VERSION), nullptr) << "a context is still current after close";
  EXPECT_LE(CountEntries("/proc/self/task"), threads);
  EXPECT_LE(CountEntries("/proc/self/fd"), fds);
#if !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
  // (A sanitizer's shadow memory grows with every address touched; it has its own leak check.)
  EXPECT_LT(ResidentKb() - rss, 16384) << "a window's contexts and buffers are kept";
#endif
  unsetenv("SDL_VIDEODRIVER");
}

// ---- A real double-buffered window under Xvfb ----------------------------------------------

// libX11 through dlopen: the tests read the screen without linking the window system.
struct Xlib {
  void* handle = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
  template <typename F>
  F Get(const char* name) const {
    return handle ? reinterpret_cast<F>(dlsym(handle, name)) : nullptr;
  }
  decltype(&XOpenDisplay) openDisplay = Get<decltype(&XOpenDisplay)>("XOpenDisplay");
  decltype(&XCloseDisplay) closeDisplay = Get<decltype(&XCloseDisplay)>("XCloseDisplay");
  decltype(&XDefaultScreen) defaultScreen = Get<decltype(&XDefaultScreen)>("XDefaultScreen");
  decltype(&XRootWindow) rootWindow = Get<decltype(&XRootWindow)>("XRootWindow");
  decltype(&XQueryTree) queryTree = Get<decltype(&XQueryTree)>("XQueryTree");
  decltype(&XFetchName) fetchName = Get<decltype(&XFetchName)>("XFetchName");
  decltype(&XFree) xfree = Get<decltype(&XFree)>("XFree");
  decltype(&XGetImage) getImage = Get<decltype(&XGetImage)>("XGetImage");
  decltype(&XSync) sync = Get<decltype(&XSync)>("XSync");
  ~Xlib() {
    if (handle) dlclose(handle);
  }
  bool ok() const { return handle && openDisplay && getImage && queryTree && fetchName; }
};

// A private Xvfb for one test, found on PATH; its display number is chosen by the server.
class PrivateXServer {
 public:
  PrivateXServer() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
             "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    char buf[16] = {};
    size_t got = 0;
    while (got < sizeof buf - 1) {
      const ssize_t n = read(fds[0], buf + got, sizeof buf - 1 - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
      if (buf[got - 1] == '\n') break;
    }
    close(fds[0]);
    if (got > 0 && buf[got - 1] == '\n') display_.assign(":").append(buf, got - 1);
  }
  ~PrivateXServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

class GLXvfb : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x_.ok()) GTEST_SKIP() << "libX11 not available";
    if (server_.display().empty()) GTEST_SKIP() << "Xvfb not available";
    setenv("EASEL_BACKEND", "sdl2", 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("DISPLAY", server_.display().c_str(), 1);
    int16_t driver = 3, mode = 6;
    EaselOpen(driver, mode, "GL XVFB");
    ASSERT_EQ(std::string(EaselBackendName()), "sdl2:x11");
    ASSERT_EQ(EaselResult(), 0);
    display_ = x_.openDisplay(server_.display().c_str());
    ASSERT_NE(display_, nullptr);
    window_ = FindWindow(x_.rootWindow(display_, x_.defaultScreen(display_)));
    ASSERT_NE(window_, 0u);
  }
  void TearDown() override {
    if (Lib().open.load()) EaselClose();
    if (display_) x_.closeDisplay(display_);
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("DISPLAY");
  }

  Window FindWindow(Window parent) {
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!x_.queryTree(display_, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
      char* name = nullptr;
      if (x_.fetchName(display_, children[i], &name) && name) {
        if (std::string(name) == "GL XVFB") found = children[i];
        x_.xfree(name);
      }
      if (!found) found = FindWindow(children[i]);
    }
    if (children) x_.xfree(children);
    return found;
  }

  // The window's pixel as the X server shows it (0x00RRGGBB).
  uint32_t ScreenPixel(int x, int y) {
    XImage* image = x_.getImage(display_, window_, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xFFFFFFFFu;
    const uint32_t pixel = static_cast<uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFFu;
    XDestroyImage(image);
    return pixel;
  }

  // Waits up to a second for the screen to show a colour at (x, y).
  bool ScreenShows(int x, int y, uint32_t colour) {
    for (int i = 0; i < 100; ++i) {
      if (ScreenPixel(x, y) == colour) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  Xlib x_;
  PrivateXServer server_;
  Display* display_ = nullptr;
  Window window_ = 0;
};

TEST_F(GLXvfb, AFrameShowsOnlyAtUpdateNowAndSelectingBackRepaintsThePage) {
  // The page shows a white bar; wait for the first repaint to reach the screen.
  EaselSetColor(EaselColors[250]);
  EaselBar(0, 0, 799, 99);
  ASSERT_TRUE(ScreenShows(400, 50, 0xFCFCFC));

  EaselGLSelect(true);
  ASSERT_EQ(EaselResult(), 0);
  PixelProjection();
  glClearColor(0, 0, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  FillRect(300, 200, 500, 400, 1, 0, 0);
  glFlush();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(ScreenPixel(400, 300), 0u) << "the frame is in the back buffer";
  EXPECT_EQ(ScreenPixel(400, 50), 0xFCFCFCu);

  EaselUpdate(2);
  EXPECT_EQ(EaselResult(), 0);
  EXPECT_TRUE(ScreenShows(400, 300, 0xFF0000));
  EXPECT_TRUE(ScreenShows(400, 50, 0x0000FF));

  // Back on the bitmap context, "update now" repaints the window from the shown page.
  EaselGLSelect(false);
  EaselUpdate(2);
  EXPECT_TRUE(ScreenShows(400, 50, 0xFCFCFC));
  EXPECT_TRUE(ScreenShows(400, 300, 0));
}

}  // namespace
