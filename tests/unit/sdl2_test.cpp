// The SDL2 backend's message loop, on SDL's dummy video driver (no display, no OpenGL).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "backend/backend.h"

namespace easel {
namespace {

// A window of the SDL2 backend, driven by the test thread as the window thread would drive it.
class Sdl2Window : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("EASEL_BACKEND", "sdl2", 1);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    backend_ = ChooseBackend();
    if (std::string(backend_->name) != "sdl2") GTEST_SKIP() << "built without the SDL2 backend";
    WindowDesc desc;
    desc.title = "test";
    desc.width = 320;
    desc.height = 200;
    int width = 0, height = 0;
    ASSERT_TRUE(backend_->CreateWindow(desc, &width, &height));
    open_ = true;
  }
  void TearDown() override {
    if (open_) backend_->DestroyWindow();
    unsetenv("SDL_VIDEODRIVER");
    setenv("EASEL_BACKEND", "headless", 1);
  }

  const Backend* backend_ = nullptr;
  bool open_ = false;
};

// A program that shows pages faster than they are painted has a wake pending whenever the
// window thread comes back for its next message. Were the wake handed out before what the
// window system has already delivered, that thread would paint back to back and never read a
// key or a click for as long as the program ran.
TEST_F(Sdl2Window, DeliveredEventsComeBeforeAPendingWake) {
  // Showing the new window queued an event of its own (an expose); then a page is shown.
  backend_->Wake();
  Message m;
  backend_->WaitMessage(&m);
  EXPECT_EQ(m.kind, MsgKind::kExpose) << "the wake came before the window system's event";
  // The wake is not lost: it follows the delivered events.
  for (int i = 0; i < 16 && m.kind != MsgKind::kWake; ++i) backend_->WaitMessage(&m);
  EXPECT_EQ(m.kind, MsgKind::kWake);
}

}  // namespace
}  // namespace easel
