// magfield3d_b: start-up, the field and its capture rules, rebirth, colours, the drawn frame,
// steering and ending.
#include "magfield3d_b.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <set>

#include "../unit/test_support.h"
#include "backend/headless/headless.h"
#include "common/random.h"
#include "easel/easel.h"

namespace {

using camera3d::Vec3;
using easel::Message;
using easel::MsgKind;
using easel::test::PagePixel;
using magfield3d_b::model;
using magfield3d_b::SpacePole;
using magfield3d_b::Tracer;

constexpr uint32_t kRed = 40, kBlue = 32, kDarkGrey = 8;  // palette indices of named colours

class MagField3dB : public ::testing::Test {
 protected:
  void SetUp() override {
    easel::headless::SetDesktop(1280, 1024, 24);
    magfield3d_b::Start();
    ASSERT_EQ(EaselResult(), 0);
    Send(MsgKind::kMouseMove, 0, 0, 0);
  }
  void TearDown() override { magfield3d_b::End(); }

  static void Send(MsgKind kind, int x, int y, int buttons, int mods = 0) {
    Message m;
    m.kind = kind;
    m.x = x;
    m.y = y;
    m.buttons = buttons;
    m.mods = mods;
    easel::headless::Inject(m);
    easel::headless::Sync();
  }
  static void Key(int vk, bool down) {
    Message m;
    m.kind = down ? MsgKind::kKeyDown : MsgKind::kKeyUp;
    m.vk = vk;
    easel::headless::Inject(m);
    easel::headless::Sync();
  }
  // Puts pole 0 at `first` with charge `charge` and parks the other seven as +1 poles at
  // `parked`: a tracer there skips their terms, so only pole 0 acts on it.
  static void OnePole(Vec3 first, int32_t charge, Vec3 parked) {
    model.spacePoles[0] = {first.x, first.y, first.z, charge};
    for (int k = 1; k < magfield3d_b::kPoles; ++k) {
      model.spacePoles[k] = {parked.x, parked.y, parked.z, 1};
    }
    magfield3d_b::FindPositivePoles();
  }
  static double DistanceToNearestPositivePole(const Tracer& t) {
    double best = INFINITY;
    for (int j = 0; j < model.positiveCount; ++j) {
      const SpacePole& p = model.spacePoles[model.positivePoles[j]];
      best = std::min(best, std::hypot(t.x - p.x, t.y - p.y, t.z - p.z));
    }
    return best;
  }
};

TEST_F(MagField3dB, StartsWithWholeCoordinatesInTheCubeAndItsCamera) {
  EXPECT_EQ(easel::headless::Window().title, "CAMP MAGNETIC IN 3D");
  const camera3d::Camera& c = model.camera;
  EXPECT_NEAR(c.position.y, 40, 1e-12);
  EXPECT_NEAR(c.position.z, 10, 1e-12);
  EXPECT_NEAR(c.forward.x, 0, 1e-12);
  EXPECT_NEAR(c.forward.y, -0.9701425, 1e-7);
  EXPECT_NEAR(c.forward.z, -0.2425356, 1e-7);
  EXPECT_NEAR(c.right.x, -1, 1e-12);
  EXPECT_NEAR(c.down.y, 0.2425356, 1e-7);
  EXPECT_NEAR(c.down.z, -0.9701425, 1e-7);
  EXPECT_EQ(c.step, 0.5);
  EXPECT_EQ(model.segmentScale, 0);

  for (const Tracer& t : model.tracers) {
    for (double v : {t.x, t.y, t.z}) {
      ASSERT_EQ(v, std::floor(v));
      ASSERT_GE(v, -20);
      ASSERT_LE(v, 19);
    }
  }
  int previous = -1;
  for (int j = 0; j < model.positiveCount; ++j) {
    EXPECT_GT(model.positivePoles[j], previous);  // ascending
    previous = model.positivePoles[j];
    EXPECT_EQ(model.spacePoles[previous].charge, 1);
  }
  int positives = 0;
  for (const SpacePole& p : model.spacePoles) {
    EXPECT_TRUE(p.charge == 1 || p.charge == -1);
    positives += p.charge == 1;
    EXPECT_EQ(p.x, std::floor(p.x));
    EXPECT_GE(p.z, -20);
    EXPECT_LE(p.z, 19);
  }
  EXPECT_EQ(model.positiveCount, positives);
}

TEST_F(MagField3dB, ListsPositivePolesAndMakesPoleZeroPositiveWhenThereIsNone) {
  const struct {
    const char* name;
    int32_t charges[8];
    int32_t count;
    int32_t list[8];
  } cases[] = {
      {"mixed", {-1, 1, -1, 1, 1, -1, -1, 1}, 4, {1, 3, 4, 7}},
      {"all positive", {1, 1, 1, 1, 1, 1, 1, 1}, 8, {0, 1, 2, 3, 4, 5, 6, 7}},
      {"only the last", {-1, -1, -1, -1, -1, -1, -1, 1}, 1, {7}},
      {"all negative", {-1, -1, -1, -1, -1, -1, -1, -1}, 1, {0}},
  };
  for (const auto& c : cases) {
    for (int k = 0; k < 8; ++k) model.spacePoles[k].charge = c.charges[k];
    magfield3d_b::FindPositivePoles();
    ASSERT_EQ(model.positiveCount, c.count) << c.name;
    for (int j = 0; j < c.count; ++j) EXPECT_EQ(model.positivePoles[j], c.list[j]) << c.name;
  }
  EXPECT_EQ(model.spacePoles[0].charge, 1);  // the all-negative case turned pole 0
  for (int k = 1; k < 8; ++k) EXPECT_EQ(model.spacePoles[k].charge, -1);

  // Every tracer is then reborn on pole 0.
  for (int i = 0; i < 50; ++i) {
    Tracer t{30, 0, 0};
    magfield3d_b::Rebirth(t);
    const SpacePole& p = model.spacePoles[0];
    EXPECT_NEAR(std::hypot(t.x - p.x, t.y - p.y, t.z - p.z), 0.5, 1e-12);
  }
}

TEST_F(MagField3dB, FieldPointsAwayFromPlusAndTowardsMinusOverEight) {
  const Vec3 p{2, 0, 0};
  const struct {
    const char* name;
    Vec3 pole;
    int32_t charge;
    bool captured;
    Vec3 field;
  } cases[] = {
      // One term (charge / s^2) d / 8 with d = p - pole.
      {"plus at distance 2", {0, 0, 0}, 1, false, {0.5 / 8, 0, 0}},
      {"minus at distance 2", {0, 0, 0}, -1, false, {-0.5 / 8, 0, 0}},
      {"plus very close", {2, 0, 0.5}, 1, false, {0, 0, -2.0 / 8}},
      {"minus at squared distance 1.0 is not captured", {2, 1, 0}, -1, false, {0, 1.0 / 8, 0}},
      {"minus at squared distance 0.81", {2, 0.9, 0}, -1, true, {0, 0, 0}},
      {"minus at the tracer", {2, 0, 0}, -1, true, {0, 0, 0}},
      {"plus at the tracer is skipped", {2, 0, 0}, 1, false, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    OnePole(c.pole, c.charge, p);
    Vec3 b{9, 9, 9};
    EXPECT_EQ(magfield3d_b::Field(p, b), c.captured) << c.name;
    EXPECT_NEAR(b.x, c.field.x, 1e-15) << c.name;
    EXPECT_NEAR(b.y, c.field.y, 1e-15) << c.name;
    EXPECT_NEAR(b.z, c.field.z, 1e-15) << c.name;
  }
}

TEST_F(MagField3dB, TheCubeTestComesFirstAndCatchesWhatIsNotANumber) {
  OnePole({0, 0, 0}, 1, {5, 5, 5});
  const struct {
    Vec3 p;
    bool captured;
  } cases[] = {
      {{20, -20, 20}, false}, {{20.001, 0, 0}, true}, {{0, -20.5, 0}, true},
      {{0, 0, 25}, true},     {{NAN, 0, 0}, true},    {{0, INFINITY, 0}, true},
  };
  for (const auto& c : cases) {
    Vec3 b{9, 9, 9};
    EXPECT_EQ(magfield3d_b::Field(c.p, b), c.captured) << c.p.x << "," << c.p.y << "," << c.p.z;
    if (c.captured) {
      EXPECT_EQ(b.x, 0);
      EXPECT_EQ(b.y, 0);
      EXPECT_EQ(b.z, 0);
    }
  }
  // Outside the cube even right next to a -1 pole: no field at all.
  OnePole({20, 0, 0}, -1, {0, 0, 0});
  Vec3 b;
  EXPECT_TRUE(magfield3d_b::Field({20.1, 0, 0}, b));
  EXPECT_EQ(b.x, 0);
}

TEST_F(MagField3dB, ACaptureKeepsThePartialFieldOfTheEarlierPoles) {
  const Vec3 p{0, 0, 0};
  model.spacePoles[0] = {4, 0, 0, 1};                               // term (1/16) (-4, 0, 0)
  model.spacePoles[1] = {0, 2, 0, 1};                               // term (1/4) (0, -2, 0)
  model.spacePoles[2] = {0, 0, 0.5, -1};                            // captures
  for (int k = 3; k < 8; ++k) model.spacePoles[k] = {-6, 0, 0, 1};  // never reached
  magfield3d_b::FindPositivePoles();
  Vec3 b;
  ASSERT_TRUE(magfield3d_b::Field(p, b));
  EXPECT_DOUBLE_EQ(b.x, -0.25 / 8);
  EXPECT_DOUBLE_EQ(b.y, -0.5 / 8);
  EXPECT_DOUBLE_EQ(b.z, 0);

  // In the frame: the stroke is drawn at the old place along that field, and the tracer
  // starts again on a positive pole, then moves by 10 times the same field.
  model.tracers[0] = {p.x, p.y, p.z};
  RandomSeedWith(11);
  Tracer reborn{};
  magfield3d_b::Rebirth(reborn);
  RandomSeedWith(11);
  magfield3d_b::StepTracer(0);
  const Tracer& t = model.tracers[0];
  EXPECT_DOUBLE_EQ(t.x, reborn.x + 10 * b.x);
  EXPECT_DOUBLE_EQ(t.y, reborn.y + 10 * b.y);
  EXPECT_DOUBLE_EQ(t.z, reborn.z + 10 * b.z);
  EXPECT_DOUBLE_EQ(model.segmentScale, 0.125 / std::hypot(b.x, b.y, b.z));
}

TEST_F(MagField3dB, ATracerOutsideTheCubeIsRebornWithoutFieldAndKeepsTheScale) {
  OnePole({0, 0, 0}, 1, {5, 5, 5});
  model.segmentScale = 0.3;
  model.tracers[5] = {25, 0, 0};
  magfield3d_b::StepTracer(5);
  EXPECT_EQ(model.segmentScale, 0.3);
  EXPECT_NEAR(DistanceToNearestPositivePole(model.tracers[5]), 0.5, 1e-12);  // not moved on
  // A zero-length stroke: one pixel, at the old place, in the tracer's colour.
  camera3d::ScreenSegment s;
  ASSERT_TRUE(camera3d::ProjectSegment(model.camera, {25, 0, 0}, {25, 0, 0}, 799, 599, s));
  EXPECT_EQ(
      PagePixel(0, static_cast<int>(std::nearbyint(s.x1)), static_cast<int>(std::nearbyint(s.y1))),
      magfield3d_b::TracerColour(5));
  EXPECT_EQ(easel::test::CountSet(0, 0, 0, 799, 599), 1);

  // A tracer inside moves by 10 B and sets the scale from its field.
  model.tracers[6] = {2, 0, 0};
  OnePole({0, 0, 0}, 1, {2, 0, 0});
  magfield3d_b::StepTracer(6);
  EXPECT_DOUBLE_EQ(model.tracers[6].x, 2 + 10 * 0.5 / 8);
  EXPECT_DOUBLE_EQ(model.segmentScale, 0.125 / (0.5 / 8));
}

TEST_F(MagField3dB, RebirthPutsTracersOnAPositivePoleSphere) {
  for (uint32_t seed : {1u, 2u, 3u, 77u, 12345u}) {
    RandomSeedWith(seed);
    const int32_t pick = RandomInt(model.positiveCount);
    const int32_t n = RandomInt(1000);
    RandomInt(1000);
    const int32_t next = RandomInt(1000);
    RandomSeedWith(seed);
    Tracer t{};
    magfield3d_b::Rebirth(t);
    const SpacePole& p = model.spacePoles[model.positivePoles[pick]];
    EXPECT_NEAR(std::hypot(t.x - p.x, t.y - p.y, t.z - p.z), 0.5, 1e-12) << seed;
    EXPECT_NEAR(t.z - p.z, n / 1000.0 - 0.5, 1e-12) << seed;
    EXPECT_EQ(RandomInt(1000), next) << seed;  // three draws, no more
  }
}

TEST_F(MagField3dB, TracerColoursComeFromTheWrappedRedByte) {
  const struct {
    int i;
    int16_t red, green;
  } cases[] = {
      {0, 64, 128},  {1, 128, 129}, {2, 192, 130}, {3, 0, 131},  {4, 64, 132},   {71, 0, 199},
      {72, 64, 200}, {79, 0, 207},  {80, 64, 128}, {83, 0, 131}, {8095, 0, 143},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(magfield3d_b::TracerColour(c.i), EaselRgb(c.red, c.green, 64)) << c.i;
  }
  for (int i = 0; i < magfield3d_b::kTracers; ++i) {
    ASSERT_EQ(model.tracerColours[i % 80], magfield3d_b::TracerColour(i)) << i;
  }
  std::set<uint32_t> firstFour;
  for (int i = 0; i < 4; ++i) firstFour.insert(magfield3d_b::TracerColour(i));
  EXPECT_EQ(firstFour.size(), 4u);  // neighbours differ
}

TEST_F(MagField3dB, AFrameShowsPolesHatchingAndTracers) {
  // A red pole above the centre, the seven others blue and to its left.
  OnePole({0, 0, 10}, 1, {-10, 0, 10});
  for (int k = 1; k < 8; ++k) model.spacePoles[k].charge = -1;
  magfield3d_b::FindPositivePoles();
  ASSERT_TRUE(magfield3d_b::Frame());  // drawn on page 0, which is then cleared
  EXPECT_EQ(model.page, 1);
  EXPECT_EQ(easel::test::CountSet(0, 0, 0, 799, 599), 0);
  ASSERT_TRUE(magfield3d_b::Frame());  // drawn on page 0 and shown
  EXPECT_EQ(model.page, 0);
  // (0, 0, 10) projects to (399.5, 199.6); (-10, 0, 10) to (502.5, 199.6); about 5 pixels.
  auto count = [](uint32_t colour, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) n += PagePixel(0, x, y) == colour;
    return n;
  };
  EXPECT_GT(count(kRed, 393, 193, 406, 206), 10);
  EXPECT_EQ(count(kRed, 0, 0, 799, 599), count(kRed, 393, 193, 406, 206));
  EXPECT_GT(count(kBlue, 496, 193, 509, 206), 10);
  // The hatching of the face z = -20 fills the lower part of the view.
  EXPECT_GT(count(kDarkGrey, 0, 400, 799, 599), 5000);
  EXPECT_EQ(count(kDarkGrey, 0, 0, 799, 380), 0);
  // Tracers in their colours.
  std::set<uint32_t> tracerColours(std::begin(model.tracerColours), std::end(model.tracerColours));
  int tracerPixels = 0;
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 800; ++x) tracerPixels += tracerColours.count(PagePixel(0, x, y)) > 0;
  EXPECT_GT(tracerPixels, 1000);
  easel::headless::Sync();  // the second frame is on the screen
  int shownRed = 0;
  for (int y = 193; y <= 206; ++y)
    for (int x = 393; x <= 406; ++x) shownRed += easel::headless::ScreenPixel(x, y) == 0xFC0000;
  EXPECT_GT(shownRed, 10);
}

TEST_F(MagField3dB, LeftDragAloneTurnsAndDraggingDownLooksUp) {
  const struct {
    const char* name;
    int buttons, mods;
    bool turns;
  } cases[] = {
      {"left", easel::kMouseLeft, 0, true},
      {"right", easel::kMouseRight, 0, false},
      {"left with Shift", easel::kMouseLeft, easel::kModShift, false},
      {"left with Ctrl", easel::kMouseLeft, easel::kModCtrl, false},
      {"left and right", easel::kMouseLeft | easel::kMouseRight, 0, false},
  };
  for (const auto& c : cases) {
    camera3d::CameraInit(model.camera, magfield3d_b::kCameraStart, magfield3d_b::kCameraStep);
    const camera3d::Camera before = model.camera;
    Send(MsgKind::kMouseMove, 0, 64, c.buttons, c.mods);
    ASSERT_TRUE(magfield3d_b::Frame());
    // Pitch -0.25: forward turns away from down.
    const double want = c.turns ? std::cos(0.25) * before.forward.z - std::sin(0.25) * before.down.z
                                : before.forward.z;
    EXPECT_NEAR(model.camera.forward.z, want, 1e-12) << c.name;
    if (c.turns) {
      EXPECT_GT(model.camera.forward.z, before.forward.z + 0.2) << c.name;  // looks up
    }
  }
}

TEST_F(MagField3dB, HeldKeysFlyAndEscapeHeldEnds) {
  const Vec3 start = model.camera.position;
  Key('A', true);
  ASSERT_TRUE(magfield3d_b::Frame());
  Key('A', false);
  EXPECT_NEAR(model.camera.position.y, start.y - 0.5 * model.camera.down.y, 1e-12);
  EXPECT_NEAR(model.camera.position.z, start.z - 0.5 * model.camera.down.z, 1e-12);

  Message typed;
  typed.kind = MsgKind::kChar;
  typed.code = 'x';
  easel::headless::Inject(typed);
  Key('X', true);
  const Vec3 now = model.camera.position;
  ASSERT_TRUE(magfield3d_b::Frame());
  EXPECT_EQ(model.camera.position.z, now.z);
  EXPECT_TRUE(EaselKeyHit());  // typed keys stay unread
  Key(EaselVkEscape, true);
  EXPECT_FALSE(magfield3d_b::Frame());
}

}  // namespace
