// lightning_a: the camera and its input, the bolt, ending on Escape, and the OpenGL picture
// (on SDL's offscreen driver), including its agreement with the flat lightning's camera.
#include "lightning_a.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "backend/headless/headless.h"
#include "camera3d/camera.h"
#include "common/random.h"
#include "easel/easel.h"

namespace {

using easel::Message;
using easel::MsgKind;
using lightning_a::model;

void Send(MsgKind kind, int x, int y, int buttons, int mods = 0) {
  Message m;
  m.kind = kind;
  m.x = x;
  m.y = y;
  m.buttons = buttons;
  m.mods = mods;
  easel::headless::Inject(m);
  easel::headless::Sync();
}

void Key(int vk, bool down) {
  Message m;
  m.kind = down ? MsgKind::kKeyDown : MsgKind::kKeyUp;
  m.vk = vk;
  easel::headless::Inject(m);
  easel::headless::Sync();
}

class LightningA : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("EASEL_BACKEND", "headless", 1);
    easel::headless::SetDesktop(1280, 1024, 24);
    lightning_a::Start();
    ASSERT_EQ(EaselMaxX(), 799);
    Send(MsgKind::kMouseMove, 0, 0, 0);
  }
  void TearDown() override { lightning_a::End(); }
};

TEST_F(LightningA, StartsOnTheMinusZAxisWithTheSceneUpsideDown) {
  EXPECT_EQ(easel::headless::Window().title, "FULGER");
  EXPECT_EQ(EaselResult(), -9);  // the headless backend has no OpenGL; the program runs on
  EXPECT_EQ(model.yaw, 0);
  EXPECT_EQ(model.pitch, 180);
  EXPECT_EQ(model.distance, 4);
  const lightning_a::View v = lightning_a::CameraView(0, 180, 4);
  EXPECT_NEAR(v.eye.x, 0, 1e-12);
  EXPECT_NEAR(v.eye.y, 0, 1e-12);
  EXPECT_NEAR(v.eye.z, -4, 1e-12);
  EXPECT_NEAR(v.up.x, 0, 1e-12);
  EXPECT_NEAR(v.up.y, -1, 1e-12);  // scene +y runs down the screen
  EXPECT_NEAR(v.up.z, 0, 1e-12);
}

TEST_F(LightningA, WithoutInputTheViewTurnsAFractionOfADegreeEachFrame) {
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(lightning_a::Frame());
  EXPECT_NEAR(model.yaw, 0.15, 1e-12);
  EXPECT_EQ(model.pitch, 180);
  EXPECT_EQ(model.distance, 4);
}

TEST_F(LightningA, TheLeftButtonAloneOrbitsOneDegreePerPixel) {
  const struct {
    const char* name;
    int buttons, mods;
    bool turns;
  } cases[] = {
      {"left", easel::kMouseLeft, 0, true},
      {"left with Shift", easel::kMouseLeft, easel::kModShift, false},
      {"left with Ctrl", easel::kMouseLeft, easel::kModCtrl, false},
      {"left and right", easel::kMouseLeft | easel::kMouseRight, 0, false},
      {"right", easel::kMouseRight, 0, false},
      {"none", 0, 0, false},
  };
  for (const auto& c : cases) {
    model.yaw = 0;
    model.pitch = 180;
    model.mouseX = model.mouseY = 0;
    // The first frame turns by the whole pointer position: the previous one starts at 0.
    Send(MsgKind::kMouseMove, 100, 50, c.buttons, c.mods);
    ASSERT_TRUE(lightning_a::Frame());
    Send(MsgKind::kMouseMove, 130, 40, c.buttons, c.mods);
    ASSERT_TRUE(lightning_a::Frame());
    const double turn = 2 * lightning_a::kAutoTurn;
    EXPECT_NEAR(model.yaw, turn + (c.turns ? 130 : 0), 1e-9) << c.name;
    EXPECT_EQ(model.pitch, 180 + (c.turns ? 40 : 0)) << c.name;
    EXPECT_EQ(model.prevMouseX, 100) << c.name;
    EXPECT_EQ(model.mouseX, 130) << c.name;
  }
}

TEST_F(LightningA, UpAndDownArrowsZoomWhileHeldAndOtherKeysDoNothing) {
  const struct {
    int vk;
    double perFrame;
  } cases[] = {
      {EaselVkUp, -0.001}, {EaselVkDown, 0.001}, {EaselVkLeft, 0},
      {EaselVkRight, 0},   {EaselVkSpace, 0},    {'A', 0},
  };
  for (const auto& c : cases) {
    model.distance = 4;
    model.pitch = 180;
    Key(c.vk, true);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(lightning_a::Frame());
    Key(c.vk, false);
    ASSERT_TRUE(lightning_a::Frame());
    EXPECT_NEAR(model.distance, 4 + 5 * c.perFrame, 1e-12) << c.vk;
    EXPECT_EQ(model.pitch, 180) << c.vk;
  }
}

TEST_F(LightningA, TheCameraStopsShortOfTheOrigin) {
  model.distance = 0.0025;
  Key(EaselVkUp, true);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(lightning_a::Frame());
  Key(EaselVkUp, false);
  EXPECT_EQ(model.distance, lightning_a::kMinDistance);
  EXPECT_GT(lightning_a::kMinDistance * lightning_a::kNearFactor, 0);
  Key(EaselVkDown, true);
  ASSERT_TRUE(lightning_a::Frame());
  EXPECT_NEAR(model.distance, 0.002, 1e-15);
}

TEST_F(LightningA, TheBoltJoinsTheTerminalCentresThroughFreshSmallKinks) {
  const struct {
    int32_t n;
    double kink;
  } kinks[] = {{0, 0.075}, {500, 0}, {999, -0.07485}, {250, 0.0375}};
  for (const auto& k : kinks) EXPECT_NEAR(lightning_a::Kink(k.n), k.kink, 1e-15) << k.n;

  lightning_a::Vec3 first[lightning_a::kBoltSegments + 1];
  for (int frame = 0; frame < 3; ++frame) {
    ASSERT_TRUE(lightning_a::Frame());
    const auto& bolt = model.bolt;
    EXPECT_EQ(bolt[0].x, -2);
    EXPECT_EQ(bolt[0].y, 0);
    EXPECT_EQ(bolt[0].z, 0);
    EXPECT_EQ(bolt[15].x, 2);
    EXPECT_EQ(bolt[15].y, 0);
    EXPECT_EQ(bolt[15].z, 0);
    for (int k = 1; k < 15; ++k) {
      EXPECT_NEAR(bolt[k].x, -2 + 4.0 * k / 15, 1e-15);
      EXPECT_GE(bolt[k].y, -0.07485 - 1e-15);
      EXPECT_LE(bolt[k].y, 0.075);
      EXPECT_GE(bolt[k].z, -0.07485 - 1e-15);
      EXPECT_LE(bolt[k].z, 0.075);
    }
    if (frame == 0) std::copy(std::begin(bolt), std::end(bolt), first);
  }
  int moved = 0;
  for (int k = 1; k < 15; ++k) moved += first[k].y != model.bolt[k].y;
  EXPECT_GT(moved, 10);
}

TEST_F(LightningA, EveryRunShowsTheSameBoltsBecauseNothingSeeds) {
  // Start does not seed: after reseeding with the generator's default seed, the first bolt is
  // made of that sequence's draws in order, y then z for each inner point.
  lightning_a::End();
  RandomSeedWith(5489);
  lightning_a::Start();
  ASSERT_TRUE(lightning_a::Frame());
  RandomSeedWith(5489);
  for (int k = 1; k < 15; ++k) {
    const double y = lightning_a::Kink(RandomInt(1000));
    const double z = lightning_a::Kink(RandomInt(1000));
    EXPECT_EQ(model.bolt[k].y, y) << k;
    EXPECT_EQ(model.bolt[k].z, z) << k;
  }
}

TEST_F(LightningA, EscapeHeldEndsTheProgram) {
  Key('Q', true);
  ASSERT_TRUE(lightning_a::Frame());
  Key(EaselVkEscape, true);
  EXPECT_FALSE(lightning_a::Frame());
  Key(EaselVkEscape, false);
  Key('Q', false);
}

// ---- The OpenGL picture --------------------------------------------------------------------

struct Picture {
  std::vector<unsigned char> rgb = std::vector<unsigned char>(800 * 600 * 3);
  // (r, g, b) at window pixel (x, y), top-left origin.
  uint32_t At(int x, int y) const {
    const size_t i = 3 * (static_cast<size_t>(599 - y) * 800 + static_cast<size_t>(x));
    return static_cast<uint32_t>(rgb[i]) << 16 | static_cast<uint32_t>(rgb[i + 1]) << 8 |
           rgb[i + 2];
  }
};

Picture ReadPicture() {
  Picture p;
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, p.rgb.data());
  return p;
}

struct Blob {
  int count = 0;
  double cx = 0, cy = 0;
  int x0 = 800, x1 = -1, y0 = 600, y1 = -1;
};

// The pixels of one colour within columns [xa, xb).
Blob Find(const Picture& p, uint32_t colour, int xa = 0, int xb = 800) {
  Blob b;
  for (int y = 0; y < 600; ++y) {
    for (int x = xa; x < xb; ++x) {
      if (p.At(x, y) != colour) continue;
      ++b.count;
      b.cx += x;
      b.cy += y;
      b.x0 = std::min(b.x0, x), b.x1 = std::max(b.x1, x);
      b.y0 = std::min(b.y0, y), b.y1 = std::max(b.y1, y);
    }
  }
  if (b.count) b.cx /= b.count, b.cy /= b.count;
  return b;
}

constexpr uint32_t kRed = 0xFF0000, kGrey = 0x666666, kYellow = 0xFFFF00;

// The program in a real SDL window with OpenGL (SDL's offscreen driver: no X server needed).
class LightningAOpenGL : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("EASEL_BACKEND", "sdl2", 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    lightning_a::Start();
    if (std::string(EaselBackendName()).rfind("sdl2", 0) != 0) {
      GTEST_SKIP() << "built without the SDL2 backend";
    }
    ASSERT_EQ(EaselResult(), 0);
  }
  void TearDown() override {
    lightning_a::End();
    unsetenv("SDL_VIDEODRIVER");
  }
  // One frame drawn at exactly this yaw (the frame adds its automatic turn first).
  static Picture FrameAt(double yaw, double pitch) {
    model.yaw = yaw - lightning_a::kAutoTurn;
    model.pitch = pitch;
    EXPECT_TRUE(lightning_a::Frame());
    return ReadPicture();
  }
};

// Where the frame's matrices put a scene point, in pixel coordinates (top-left origin, the
// centre of the window at 399.5, 299.5 like the flat camera's).
lightning_a::Vec3 Project(lightning_a::Vec3 p) {
  GLdouble modelview[16], projection[16];
  GLint viewport[4];
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetIntegerv(GL_VIEWPORT, viewport);
  GLdouble x, y, z;
  gluProject(p.x, p.y, p.z, modelview, projection, viewport, &x, &y, &z);
  return {x - 0.5, 599.5 - y, z};
}

TEST_F(LightningAOpenGL, TheStartViewShowsRedTerminalsOnGreyRodsJoinedByAYellowBolt) {
  const Picture p = FrameAt(0, 180);
  // Terminal A (scene x = -2) left of the centre, B right; both on the middle row. The aspect
  // 1.1 on a 4:3 window stretches the spheres sideways.
  const Blob a = Find(p, kRed, 0, 400), b = Find(p, kRed, 400, 800);
  const double focalX = 400 / std::tan(50 * std::numbers::pi / 180) / 1.1;
  const double focalY = 300 / std::tan(50 * std::numbers::pi / 180);
  EXPECT_NEAR(a.cx, 399.5 - focalX * 2 / 4, 1);
  EXPECT_NEAR(b.cx, 399.5 + focalX * 2 / 4, 1);
  EXPECT_NEAR(a.cy, 299.5, 1);
  EXPECT_NEAR(b.cy, 299.5, 1);
  // Seen 2 units off the axis at depth 4, a sphere spans the tangents of its edges across.
  const double centre = std::atan(2.0 / 4), edge = std::asin(0.15 / std::sqrt(20.0));
  for (const Blob& s : {a, b}) {
    EXPECT_NEAR(s.x1 - s.x0 + 1, focalX * (std::tan(centre + edge) - std::tan(centre - edge)), 2);
    EXPECT_NEAR(s.y1 - s.y0 + 1, 2 * focalY * std::tan(edge) / std::cos(centre), 2);
  }
  // The rods run down from the spheres, 15 pixels wide, past the bottom edge.
  for (const Blob& s : {a, b}) {
    const Blob rod = Find(p, kGrey, static_cast<int>(s.cx) - 20, static_cast<int>(s.cx) + 20);
    EXPECT_NEAR(rod.cx, s.cx, 1);
    EXPECT_NEAR(rod.x1 - rod.x0 + 1, 15, 1);
    EXPECT_GE(rod.y0, 300);
    EXPECT_LE(rod.y0, s.y1);
    EXPECT_EQ(rod.y1, 599);
  }
  // The bolt crosses between them close to the middle row, one pixel wide.
  const Blob bolt = Find(p, kYellow);
  EXPECT_GT(bolt.count, 280);
  EXPECT_GE(bolt.x0, a.x0);
  EXPECT_LE(bolt.x1, b.x1);
  EXPECT_GE(bolt.y0, 299 - 6);
  EXPECT_LE(bolt.y1, 300 + 6);
  // Nothing else.
  EXPECT_EQ(Find(p, kRed).count + Find(p, kGrey).count + bolt.count + Find(p, 0).count, 800 * 600);
}

TEST_F(LightningAOpenGL, MatchesTheFlatLightningAtACameraPlacedToAgree) {
  // The flat camera sees from (0, 0, -D) along +z, right +x, down +y when it starts at
  // (0, -D, 0). Its focal length is 399.5 pixels on both axes; this program's is
  // 400 cot(50 deg) / 1.1 across and 300 cot(50 deg) down. D makes the two agree across.
  const double cot50 = 1 / std::tan(50 * std::numbers::pi / 180);
  const double d = 399.5 * 4 * lightning_a::kAspect / (400 * cot50);
  camera3d::Camera flat;
  camera3d::CameraInit(flat, {0, -d, 0}, 0.05);
  auto flatPoint = [&](lightning_a::Vec3 q) {
    camera3d::ScreenSegment s;
    EXPECT_TRUE(camera3d::ProjectSegment(flat, {q.x, q.y, q.z}, {q.x, q.y, q.z}, 799, 599, s));
    return lightning_a::Vec3{s.x1, s.y1, 0};
  };

  const Picture p = FrameAt(0, 180);
  const Blob a = Find(p, kRed, 0, 400), b = Find(p, kRed, 400, 800);
  const lightning_a::Vec3 fa = flatPoint(lightning_a::kTerminalA);
  const lightning_a::Vec3 fb = flatPoint(lightning_a::kTerminalB);
  EXPECT_NEAR(a.cx, fa.x, 1);
  EXPECT_NEAR(a.cy, fa.y, 1);
  EXPECT_NEAR(b.cx, fb.x, 1);
  EXPECT_NEAR(b.cy, fb.y, 1);

  // Off the middle row they cannot agree: this program squeezes heights to 300 * 1.1 / 400
  // of the flat camera's, so a point one unit down a rod lands 13 pixels higher.
  const lightning_a::Vec3 rod = {-2, 1, 0};
  const lightning_a::Vec3 g = Project(rod), f = flatPoint(rod);
  EXPECT_NEAR(g.x, f.x, 0.5);
  EXPECT_NEAR((g.y - 299.5) / (f.y - 299.5), 300 * lightning_a::kAspect / 400, 1e-6);
  EXPECT_NEAR(f.y - g.y, 13.4, 0.5);
}

TEST_F(LightningAOpenGL, TheUpVectorGivesTheViewOfTheVerticalAndStaysWholeOverTheTop) {
  auto lookAt = [](double yaw, double pitch, bool vertical, double(&m)[16]) {
    const lightning_a::View v = lightning_a::CameraView(yaw, pitch, 4);
    const double up = std::cos(pitch * std::numbers::pi / 180);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (vertical) {
      gluLookAt(v.eye.x, v.eye.y, v.eye.z, 0, 0, 0, 0, up, 0);
    } else {
      gluLookAt(v.eye.x, v.eye.y, v.eye.z, 0, 0, 0, v.up.x, v.up.y, v.up.z);
    }
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
  };
  const struct {
    double yaw, pitch;
  } views[] = {{0, 180}, {30, 10}, {200, -45}, {75, 135}, {10, 89}, {10, 91}, {350, -89}};
  for (const auto& c : views) {
    double vertical[16], ours[16];
    lookAt(c.yaw, c.pitch, true, vertical);
    lookAt(c.yaw, c.pitch, false, ours);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(ours[i], vertical[i], 1e-5) << c.yaw << "," << c.pitch;
  }
  // Straight above and below: the limit of the views beside it, not a collapsed matrix.
  for (double pitch : {90.0, -90.0, 270.0}) {
    double at[16], beside[16];
    lookAt(30, pitch, false, at);
    lookAt(30, pitch - 1e-4, false, beside);
    for (int i = 0; i < 16; ++i) {
      EXPECT_TRUE(std::isfinite(at[i]));
      EXPECT_NEAR(at[i], beside[i], 1e-5) << pitch << " [" << i << "]";
    }
    EXPECT_NEAR(at[0] * at[0] + at[4] * at[4] + at[8] * at[8], 1, 1e-6)
        << pitch;  // GLU works in floats
  }
  // And the picture from straight above still shows both terminals, side by side.
  const Picture p = FrameAt(0, 90);
  const Blob a = Find(p, kRed, 0, 400), b = Find(p, kRed, 400, 800);
  EXPECT_GT(a.count, 50);
  EXPECT_GT(b.count, 50);
  EXPECT_NEAR(a.cy, b.cy, 1);
}

}  // namespace
