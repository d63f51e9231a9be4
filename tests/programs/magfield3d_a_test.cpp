// magfield3d_a: placement, the field and its captures, rebirth, tracer steps and colours, the
// camera and its input, ending on Escape, and the OpenGL picture (on SDL's offscreen driver).
#include "magfield3d_a.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "backend/headless/headless.h"
#include "common/random.h"
#include "easel/easel.h"

namespace {

using easel::Message;
using easel::MsgKind;
using magfield3d_a::model;
using magfield3d_a::SpacePole;
using magfield3d_a::Vec3;

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

double Distance(Vec3 a, SpacePole b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                   (a.z - b.z) * (a.z - b.z));
}

// A dipole: +1 at the origin (pole 0) and -1 at (10, 0, 0) (pole 7), with poles 1..6 as three
// +1/-1 pairs on shared places far away, whose fields cancel.
void PlaceDipole() {
  model.spacePoles[0] = {0, 0, 0, 1};
  const Vec3 pairs[] = {{-15, 15, 15}, {15, -15, -15}, {-15, -15, 15}};
  for (int k = 0; k < 3; ++k) {
    model.spacePoles[1 + 2 * k] = {pairs[k].x, pairs[k].y, pairs[k].z, 1};
    model.spacePoles[2 + 2 * k] = {pairs[k].x, pairs[k].y, pairs[k].z, -1};
  }
  model.spacePoles[7] = {10, 0, 0, -1};
  magfield3d_a::FindPositivePoles();
}

class MagField3dA : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("EASEL_BACKEND", "headless", 1);
    easel::headless::SetDesktop(1280, 1024, 24);
    magfield3d_a::Start();
    ASSERT_EQ(EaselMaxX(), 799);
    Send(MsgKind::kMouseMove, 0, 0, 0);
  }
  void TearDown() override { magfield3d_a::End(); }
};

TEST_F(MagField3dA, StartPlacesEverythingOnTheLatticeAndListsThePositivePoles) {
  EXPECT_EQ(easel::headless::Window().title, "CAMP MAGNETIC IN 3D");
  EXPECT_EQ(model.yaw, 0);
  EXPECT_EQ(model.pitch, 0);
  EXPECT_EQ(model.distance, 50);
  auto onLattice = [](double v) { return v == std::floor(v) && v >= -20 && v <= 19; };
  for (const auto& t : model.tracers) {
    ASSERT_TRUE(onLattice(t.x) && onLattice(t.y) && onLattice(t.z)) << t.x << t.y << t.z;
  }
  int positives = 0;
  for (int k = 0; k < magfield3d_a::kPoles; ++k) {
    const SpacePole& p = model.spacePoles[k];
    EXPECT_TRUE(onLattice(p.x) && onLattice(p.y) && onLattice(p.z));
    EXPECT_TRUE(p.charge == 1 || p.charge == -1);
    if (p.charge > 0) {
      EXPECT_EQ(model.positivePoles[positives++], k);
    }
  }
  EXPECT_EQ(model.positiveCount, positives);
  EXPECT_GE(model.positiveCount, 1);
}

TEST_F(MagField3dA, StartSeedsTheGeneratorSoRunsDiffer) {
  const auto first = model.tracers[0];
  const auto second = model.tracers[1];
  magfield3d_a::End();
  magfield3d_a::Start();  // at least one 10 ms poll later: another seed
  EXPECT_FALSE(first.x == model.tracers[0].x && first.y == model.tracers[0].y &&
               first.z == model.tracers[0].z && second.x == model.tracers[1].x &&
               second.y == model.tracers[1].y && second.z == model.tracers[1].z);
}

TEST_F(MagField3dA, WithoutAPositivePolePoleZeroBecomesTheSourceOfEveryRebirth) {
  for (SpacePole& p : model.spacePoles) p.charge = -1;
  magfield3d_a::FindPositivePoles();
  EXPECT_EQ(model.spacePoles[0].charge, 1);
  EXPECT_EQ(model.positiveCount, 1);
  EXPECT_EQ(model.positivePoles[0], 0);
  for (int i = 0; i < 200; ++i) {
    magfield3d_a::Tracer t{};
    magfield3d_a::Rebirth(t);
    EXPECT_NEAR(Distance({t.x, t.y, t.z}, model.spacePoles[0]), 0.5, 1e-12);
    EXPECT_GE(t.z - model.spacePoles[0].z, -0.5);
    EXPECT_LE(t.z - model.spacePoles[0].z, 0.499 + 1e-12);
  }
}

TEST_F(MagField3dA, TheFieldPointsFromPositiveToNegativePolesAndCapturesNearNegativeOnes) {
  PlaceDipole();
  const struct {
    const char* name;
    Vec3 p;
    bool captured;
    Vec3 b;
  } cases[] = {
      // Midway: each pole gives 1/(8 * 5) along +x.
      {"midway", {5, 0, 0}, false, {0.05, 0, 0}},
      {"off the axis", {5, 5, 0}, false, {(5.0 / 50 + 5.0 / 50) / 8, (5.0 / 50 - 5.0 / 50) / 8, 0}},
      // At the +1 centre its own term is skipped; the -1 pole 10 away is left.
      {"at the +1 centre", {0, 0, 0}, false, {0.1 / 8, 0, 0}},
      // At or near the -1 centre: captured with the field of the poles before it.
      {"at the -1 centre", {10, 0, 0}, true, {0.1 / 8, 0, 0}},
      {"just inside the limit", {9.01, 0, 0}, true, {9.01 / (9.01 * 9.01) / 8, 0, 0}},
      {"on the limit", {9, 0, 0}, false, {(1.0 / 9 + 1.0) / 8, 0, 0}},
      // The cube test comes first: no field at all.
      {"beyond the cube", {20.5, 0, 0}, true, {0, 0, 0}},
      {"below the cube", {0, -20.001, 0}, true, {0, 0, 0}},
      {"on the cube's face", {0, 20, 0}, false, {10.0 / 500 / 8, (20.0 / 400 - 20.0 / 500) / 8, 0}},
  };
  for (const auto& c : cases) {
    Vec3 b{9, 9, 9};
    EXPECT_EQ(magfield3d_a::Field(c.p, b), c.captured) << c.name;
    EXPECT_NEAR(b.x, c.b.x, 1e-12) << c.name;
    EXPECT_NEAR(b.y, c.b.y, 1e-12) << c.name;
    EXPECT_NEAR(b.z, c.b.z, 1e-12) << c.name;
  }
}

TEST_F(MagField3dA, ATracerDrawsAQuarterUnitAlongTheFieldThenMovesTenTimesIt) {
  PlaceDipole();
  model.tracers[5] = {5, 0, 0};
  const magfield3d_a::Segment s = magfield3d_a::StepTracer(5);
  EXPECT_NEAR(s.from.x, 4.875, 1e-12);
  EXPECT_NEAR(s.to.x, 5.125, 1e-12);
  EXPECT_EQ(s.from.y, 0);
  EXPECT_EQ(s.to.z, 0);
  EXPECT_NEAR(model.tracers[5].x, 5.5, 1e-12);
  EXPECT_NEAR(model.segmentScale, 0.125 / 0.05, 1e-12);
}

TEST_F(MagField3dA, ACapturedTracerDrawsAtItsOldPlaceAndMovesOnFromItsRebirth) {
  PlaceDipole();
  const struct {
    const char* name;
    Vec3 p;
    Vec3 partial;  // the field it was captured with
  } cases[] = {
      {"at a -1 pole", {10, 0, 0}, {0.1 / 8, 0, 0}},
      {"out of the cube", {21, 3, 4}, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    model.segmentScale = 3;
    model.tracers[9] = {c.p.x, c.p.y, c.p.z};
    RandomSeedWith(11);
    const magfield3d_a::Segment s = magfield3d_a::StepTracer(9);
    RandomSeedWith(11);
    magfield3d_a::Tracer reborn{};
    magfield3d_a::Rebirth(reborn);
    const double length = std::hypot(c.partial.x, c.partial.y, c.partial.z);
    const double scale = length != 0 ? 0.125 / length : 3;  // kept from the tracer before
    EXPECT_EQ(model.segmentScale, scale) << c.name;
    EXPECT_NEAR(s.from.x, c.p.x - scale * c.partial.x, 1e-12) << c.name;
    EXPECT_NEAR(s.to.x, c.p.x + scale * c.partial.x, 1e-12) << c.name;
    EXPECT_EQ(s.from.y, c.p.y) << c.name;
    EXPECT_NEAR(model.tracers[9].x, reborn.x + 10 * c.partial.x, 1e-12) << c.name;
    EXPECT_EQ(model.tracers[9].y, reborn.y) << c.name;
    EXPECT_EQ(model.tracers[9].z, reborn.z) << c.name;
    EXPECT_NEAR(Distance({reborn.x, reborn.y, reborn.z}, model.spacePoles[0]), 0.5, 1e-12);
  }
}

TEST_F(MagField3dA, TracerColoursCycleRedEvery72AndGreenEvery80) {
  const struct {
    int i;
    float r, g;
  } cases[] = {
      {0, 0.25f, 0.5f},
      {1, 0.5f, 129 / 256.0f},
      {2, 0.75f, 130 / 256.0f},
      {3, 1.0f, 131 / 256.0f},
      {71, 4608 / 256.0f, 199 / 256.0f},
      {72, 0.25f, 200 / 256.0f},
      {79, 2.0f, 207 / 256.0f},
      {80, 2.25f, 0.5f},
  };
  for (const auto& c : cases) {
    const magfield3d_a::Colour colour = magfield3d_a::TracerColour(c.i);
    EXPECT_EQ(colour.r, c.r) << c.i;
    EXPECT_EQ(colour.g, c.g) << c.i;
    EXPECT_EQ(colour.b, 0.25f) << c.i;
  }
}

TEST_F(MagField3dA, TheLeftButtonAloneOrbitsOneDegreePerPixel) {
  const struct {
    const char* name;
    int buttons, mods;
    bool turns;
  } cases[] = {
      {"left", easel::kMouseLeft, 0, true},
      {"left with Shift", easel::kMouseLeft, easel::kModShift, false},
      {"left with Ctrl", easel::kMouseLeft, easel::kModCtrl, false},
      {"left and middle", easel::kMouseLeft | easel::kMouseMiddle, 0, false},
      {"right", easel::kMouseRight, 0, false},
  };
  for (const auto& c : cases) {
    model.yaw = model.pitch = 0;
    model.prevMouseX = model.prevMouseY = 0;
    // The first frame turns by the whole pointer position: the previous one starts at 0.
    Send(MsgKind::kMouseMove, 200, 70, c.buttons, c.mods);
    ASSERT_TRUE(magfield3d_a::Frame());
    Send(MsgKind::kMouseMove, 190, 90, c.buttons, c.mods);
    ASSERT_TRUE(magfield3d_a::Frame());
    EXPECT_EQ(model.yaw, c.turns ? 190 : 0) << c.name;
    EXPECT_EQ(model.pitch, c.turns ? 90 : 0) << c.name;
    EXPECT_EQ(model.prevMouseX, 190) << c.name;
    EXPECT_EQ(model.prevMouseY, 90) << c.name;
  }
}

TEST_F(MagField3dA, ArrowsZoomAndTurnWhileHeldAndOtherKeysDoNothing) {
  const struct {
    int vk;
    double distance, yaw;  // per frame
  } cases[] = {
      {EaselVkUp, -0.3, 0}, {EaselVkDown, 0.3, 0}, {EaselVkLeft, 0, -1},
      {EaselVkRight, 0, 1}, {'A', 0, 0},           {EaselVkSpace, 0, 0},
  };
  for (const auto& c : cases) {
    model.distance = 50;
    model.yaw = model.pitch = 0;
    Key(c.vk, true);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(magfield3d_a::Frame());
    Key(c.vk, false);
    ASSERT_TRUE(magfield3d_a::Frame());
    EXPECT_NEAR(model.distance, 50 + 4 * c.distance, 1e-12) << c.vk;
    EXPECT_EQ(model.yaw, 4 * c.yaw) << c.vk;
    EXPECT_EQ(model.pitch, 0) << c.vk;
  }
  // All four at once act together.
  model.distance = 50;
  for (int vk : {EaselVkUp, EaselVkDown, EaselVkLeft, EaselVkRight}) Key(vk, true);
  ASSERT_TRUE(magfield3d_a::Frame());
  for (int vk : {EaselVkUp, EaselVkDown, EaselVkLeft, EaselVkRight}) Key(vk, false);
  EXPECT_NEAR(model.distance, 50, 1e-12);
  EXPECT_EQ(model.yaw, 0);
}

TEST_F(MagField3dA, TheCameraStopsShortOfTheOriginAndEscapeEnds) {
  model.distance = 0.7;
  Key(EaselVkUp, true);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(magfield3d_a::Frame());
  Key(EaselVkUp, false);
  EXPECT_EQ(model.distance, magfield3d_a::kMinDistance);
  Key(EaselVkEscape, true);
  EXPECT_FALSE(magfield3d_a::Frame());
  Key(EaselVkEscape, false);
}

// ---- The OpenGL picture --------------------------------------------------------------------

struct Picture {
  std::vector<unsigned char> rgb = std::vector<unsigned char>(800 * 600 * 3);
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

// Where the frame's matrices put a scene point, in pixels (top-left origin).
Vec3 Project(Vec3 p) {
  GLdouble modelview[16], projection[16];
  GLint viewport[4];
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetIntegerv(GL_VIEWPORT, viewport);
  GLdouble x, y, z;
  gluProject(p.x, p.y, p.z, modelview, projection, viewport, &x, &y, &z);
  return {x, 600 - y, z};
}

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kGrey = 0x808080;

class MagField3dAOpenGL : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("EASEL_BACKEND", "sdl2", 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    magfield3d_a::Start();
    if (std::string(EaselBackendName()).rfind("sdl2", 0) != 0) {
      GTEST_SKIP() << "built without the SDL2 backend";
    }
    ASSERT_EQ(EaselResult(), 0);
    RandomSeedWith(3);
    magfield3d_a::PlaceScene();
  }
  void TearDown() override {
    magfield3d_a::End();
    unsetenv("SDL_VIDEODRIVER");
  }
};

TEST_F(MagField3dAOpenGL, TheFrameShowsColouredPolesTracersAndTheGreyFloor) {
  ASSERT_TRUE(magfield3d_a::Frame());
  const Picture p = ReadPicture();
  // Every pole shows as a disc of its colour around its centre (about 6 pixels in radius),
  // unless a nearer pole covers it; tracers born on its surface may cross it.
  int seen = 0;
  for (const SpacePole& pole : model.spacePoles) {
    const Vec3 at = Project({pole.x, pole.y, pole.z});
    bool covered = false;
    for (const SpacePole& other : model.spacePoles) {
      const Vec3 o = Project({other.x, other.y, other.z});
      covered |= &other != &pole && o.z < at.z && std::hypot(o.x - at.x, o.y - at.y) < 12;
    }
    const bool inside = at.x >= 6 && at.x < 794 && at.y >= 6 && at.y < 594 && at.z < 1;
    if (covered || !inside) continue;
    ++seen;
    int own = 0, other = 0;
    for (int dy = -3; dy <= 3; ++dy) {
      for (int dx = -3; dx <= 3; ++dx) {
        const uint32_t c = p.At(static_cast<int>(at.x) + dx, static_cast<int>(at.y) + dy);
        own += c == (pole.charge > 0 ? kRed : kBlue);
        other += c == (pole.charge > 0 ? kBlue : kRed);
      }
    }
    EXPECT_GT(own, 20) << pole.x << "," << pole.y << "," << pole.z;
    EXPECT_EQ(other, 0) << pole.x << "," << pole.y << "," << pole.z;
  }
  EXPECT_GE(seen, 4);
  // The floor: grey strokes only below its far edge, and plenty of them.
  const double farEdge = Project({0, -20, -20}).y;
  int grey = 0, tracer = 0, above = 0;
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      const uint32_t c = p.At(x, y);
      if (c == kGrey) {
        ++grey;
        above += y < farEdge - 2;
      }
      // Tracers: blue 0.25, green from 0.5 up.
      const uint32_t g = c >> 8 & 0xFF;
      tracer += (c & 0xFF) == 64 && g >= 128 && g <= 207;
    }
  }
  EXPECT_GT(grey, 3000);
  EXPECT_EQ(above, 0);
  EXPECT_GT(tracer, 3000);
}

TEST_F(MagField3dAOpenGL, TheUpVectorGivesTheViewOfTheVerticalAndStaysWholeOverTheTop) {
  auto lookAt = [](double yaw, double pitch, bool vertical, double(&m)[16]) {
    const magfield3d_a::View v = magfield3d_a::CameraView(yaw, pitch, 50);
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
  const magfield3d_a::View start = magfield3d_a::CameraView(0, 0, 50);
  EXPECT_EQ(start.eye.z, 50);
  EXPECT_EQ(start.up.y, 1);
  const struct {
    double yaw, pitch;
  } views[] = {{0, 0}, {30, 10}, {200, -45}, {75, 135}, {10, 89}, {10, 91}, {350, -89}};
  for (const auto& c : views) {
    double vertical[16], ours[16];
    lookAt(c.yaw, c.pitch, true, vertical);
    lookAt(c.yaw, c.pitch, false, ours);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(ours[i], vertical[i], 1e-4) << c.yaw << "," << c.pitch;
  }
  for (double pitch : {90.0, -90.0, 450.0}) {
    double at[16], beside[16];
    lookAt(30, pitch, false, at);
    lookAt(30, pitch - 1e-4, false, beside);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(at[i], beside[i], 1e-3) << pitch << " [" << i << "]";
  }
  // Straight above the origin the poles are still drawn.
  model.pitch = 90;
  ASSERT_TRUE(magfield3d_a::Frame());
  const Picture p = ReadPicture();
  int poles = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) poles += p.At(x, y) == kRed || p.At(x, y) == kBlue;
  EXPECT_GT(poles, 100);
}

}  // namespace
