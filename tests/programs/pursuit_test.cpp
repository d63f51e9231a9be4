// pursuit: launching, steering without wrap-around, the governor, the shared trail counter,
// the per-pass retargeting, what a frame draws, and input that must not break it.
#include "pursuit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "../unit/test_support.h"
#include "backend/headless/headless.h"
#include "common/bearing.h"
#include "easel/easel.h"

namespace {

using pursuit::kTurnStep;
using pursuit::Missile;
using pursuit::model;
constexpr double kPi = std::numbers::pi;

class Pursuit : public ::testing::Test {
 protected:
  void SetUp() override {
    easel::headless::SetDesktop(1280, 1024, 24);
    pursuit::Start();
    ASSERT_EQ(EaselResult(), 0);
  }
  void TearDown() override { pursuit::End(); }

  static void Mouse(easel::MsgKind kind, int x, int y, int buttons, int mods = 0) {
    easel::Message m;
    m.kind = kind;
    m.x = x;
    m.y = y;
    m.buttons = buttons;
    m.mods = mods;
    easel::headless::Inject(m);
    easel::headless::Sync();
  }

  static int ActiveCount() {
    int n = 0;
    for (const Missile& m : model.missiles) n += m.active;
    return n;
  }

  static void ExpectAllFinite() {
    for (int i = 0; i < pursuit::kMissiles; ++i) {
      const Missile& m = model.missiles[i];
      for (double v : {m.x, m.y, m.vx, m.vy, m.heading, m.targetX, m.targetY}) {
        ASSERT_TRUE(std::isfinite(v)) << "missile " << i;
      }
      for (const pursuit::Point& p : model.trail[i]) ASSERT_TRUE(std::isfinite(p.x + p.y));
    }
  }
};

TEST_F(Pursuit, StartsWithTheCaptionAndNothingInFlight) {
  EXPECT_EQ(easel::headless::Window().title, "RACHETE DE URMARIRE");
  EXPECT_EQ(ActiveCount(), 0);
  EXPECT_EQ(model.updateCount, 0);
  EXPECT_EQ(model.page, 0);
}

TEST_F(Pursuit, TrailFadesFromBrightGreenToNearlyBlack) {
  // (100 - k) * 255 / 100, rounded half to even: 25.5 -> 26, 76.5 -> 76, 127.5 -> 128.
  const struct {
    int k;
    int16_t green;
  } cases[] = {{0, 255}, {1, 252}, {2, 250}, {30, 178}, {50, 128}, {70, 76}, {90, 26}, {99, 3}};
  for (const auto& c : cases) {
    EXPECT_EQ(pursuit::TrailGreen(c.k), c.green) << "k " << c.k;
    EXPECT_EQ(model.trailColours[c.k], EaselRgb(0, c.green, 0)) << "k " << c.k;
  }
}

TEST_F(Pursuit, LaunchTakesTheLowestInactiveMissileAndKeepsItsTargetAndTrail) {
  model.missiles[0].active = 1;
  model.missiles[1].active = 1;
  model.missiles[3].active = 1;
  model.missiles[2] = Missile{1, 2, 3, 4, 5, 60, 70, 0};
  model.trail[2][5] = pursuit::Point{8, 9};
  EXPECT_EQ(pursuit::Launch(120, 340), 2);
  const Missile& m = model.missiles[2];
  EXPECT_EQ(m.active, 1);
  EXPECT_EQ(m.x, 120);
  EXPECT_EQ(m.y, 340);
  EXPECT_EQ(m.vx, 0);
  EXPECT_EQ(m.vy, 1);
  EXPECT_EQ(m.heading, 0);
  EXPECT_EQ(m.targetX, 60);
  EXPECT_EQ(m.targetY, 70);
  EXPECT_EQ(model.trail[2][5].x, 8);
  EXPECT_EQ(pursuit::Launch(0, 0), 4);

  for (Missile& each : model.missiles) each.active = 1;
  const pursuit::Model before = model;
  EXPECT_EQ(pursuit::Launch(5, 5), -1);
  for (int i = 0; i < pursuit::kMissiles; ++i) EXPECT_EQ(model.missiles[i].x, before.missiles[i].x);
}

TEST(PursuitSteering, TurnsTwoDegreesTowardTheBearingWithoutWrapping) {
  const struct {
    double heading, bearing, expected;
  } cases[] = {
      {0, 1, kTurnStep},
      {1, 0, 1 - kTurnStep},
      {0.5, 0.5, 0.5},
      {0, 3 * kPi / 2, kTurnStep},  // straight up is reached the long way, through pi
      {3 * kPi / 2 - 0.01, -kPi / 2 + 0.01, 3 * kPi / 2 - 0.01 - kTurnStep},
      {7, 1, 7 - kTurnStep},  // no reduction to one turn
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(pursuit::Steer(c.heading, c.bearing), c.expected)
        << c.heading << " -> " << c.bearing;
  }
}

TEST(PursuitGovernor, SlowsAboveTheLimitAndCreepsUpAtOrBelowIt) {
  const struct {
    double vx, vy;  // before the update, heading 0 and bearing 0 (no turn)
    double factor;  // applied after the thrust of 0.1 along +x
  } cases[] = {
      {0, 1, 1.001},       // a fresh launch
      {20, 0, 0.8},        // far above: loses a fifth
      {9.9, 0, 1.001},     // reaches exactly 10 after thrust: at the limit, still speeds up
      {0, 10, 0.8},        // 0.1^2 + 10^2 is just above 100
      {-10.05, 0, 1.001},  // thrust along +x brings it back under the limit
  };
  for (const auto& c : cases) {
    Missile m{100, 200, c.vx, c.vy, 0, 0, 0, 1};
    pursuit::Fly(m, 0);
    EXPECT_DOUBLE_EQ(m.x, 100 + c.vx * pursuit::kDt);
    EXPECT_DOUBLE_EQ(m.y, 200 + c.vy * pursuit::kDt);
    EXPECT_DOUBLE_EQ(m.vx, (c.vx + 0.1) * c.factor) << c.vx << "," << c.vy;
    EXPECT_DOUBLE_EQ(m.vy, c.vy * c.factor) << c.vx << "," << c.vy;
  }

  // Far above the limit it loses 20 % per update until at or below it, then stays near it.
  Missile m{0, 0, 300, 0, 0, 0, 0, 1};
  int updates = 0;
  while (m.vx * m.vx + m.vy * m.vy > 100) {
    pursuit::Fly(m, 0);
    ++updates;
  }
  EXPECT_EQ(updates, 16);  // 300 * 0.8^16 is about 8.4 with the thrust added on the way
  for (int k = 0; k < 500; ++k) pursuit::Fly(m, 0);
  EXPECT_NEAR(std::hypot(m.vx, m.vy), 10, 2.5);
}

TEST_F(Pursuit, OnlyAChangeToTheLeftButtonAloneLaunches) {
  using easel::MsgKind;
  const int left = easel::kMouseLeft, right = easel::kMouseRight;
  const struct {
    MsgKind kind;
    int buttons, mods;
    int active;  // missiles in flight after the frame
  } steps[] = {
      {MsgKind::kMouseDown, left, 0, 1},                 // press
      {MsgKind::kMouseMove, left, 0, 1},                 // held: no second launch
      {MsgKind::kMouseUp, 0, 0, 1},                      // release
      {MsgKind::kMouseDown, left, easel::kModShift, 1},  // Shift+left (9)
      {MsgKind::kMouseUp, 0, 0, 1},                      //
      {MsgKind::kMouseDown, left, easel::kModCtrl, 1},   // Ctrl+left (17)
      {MsgKind::kMouseMove, left, 0, 2},                 // Ctrl let go: now exactly 1
      {MsgKind::kMouseDown, left | right, 0, 2},         // both buttons (3)
      {MsgKind::kMouseUp, left, 0, 3},                   // right let go: 3 -> 1
      {MsgKind::kMouseUp, 0, 0, 3},                      //
      {MsgKind::kMouseDown, right, 0, 3},                // right alone
      {MsgKind::kMouseDown, easel::kMouseMiddle, 0, 3},  // middle alone
  };
  int n = 0;
  for (const auto& s : steps) {
    Mouse(s.kind, 300 + 10 * n, 200, s.buttons, s.mods);
    ASSERT_TRUE(pursuit::Frame());
    EXPECT_EQ(ActiveCount(), s.active) << "step " << n;
    ++n;
  }
  for (int k = 0; k < 10; ++k) {
    Mouse(MsgKind::kMouseDown, 500, 400, left);
    pursuit::Frame();
    Mouse(MsgKind::kMouseUp, 500, 400, 0);
    pursuit::Frame();
  }
  EXPECT_EQ(ActiveCount(), pursuit::kMissiles);  // the eleventh press and later are ignored
}

TEST_F(Pursuit, AMissileLaunchedUnderThePointerFirstTurnsTowardStraightUp) {
  // The target equals the launch point: bearing 3pi/2 (dx = 0, dy = 0). Every later bearing
  // stays above the heading during the first frame, so it turns ten steps clockwise.
  Mouse(easel::MsgKind::kMouseDown, 400, 300, easel::kMouseLeft);
  ASSERT_TRUE(pursuit::Frame());
  const Missile& m = model.missiles[0];
  EXPECT_NEAR(m.heading, 10 * kTurnStep, 1e-12);
  EXPECT_EQ(m.targetX, 400);
  EXPECT_EQ(m.targetY, 300);
  // It started at the pointer: the first update moved it by its launch velocity (0, 1) * dt,
  // and that first position is the one the trail took.
  EXPECT_EQ(model.trail[0][1].x, 400);
  EXPECT_DOUBLE_EQ(model.trail[0][1].y, 300.1);
  EXPECT_GT(m.x, 400);  // thrust to the right, fall downward
  EXPECT_GT(m.y, 300);
}

TEST_F(Pursuit, PassJRetargetsOnlyMissileJ) {
  // Missile 1 still steers at last frame's target in pass 0: straight below it, where its
  // heading already points, so it does not turn. From pass 1 on it steers at the pointer to
  // its right and turns anticlockwise, nine steps in all, not ten.
  Missile& m = model.missiles[1];
  m = Missile{400, 300, 0, 0, kPi / 2, 400, 500, 1};
  Mouse(easel::MsgKind::kMouseMove, 700, 300, 0);
  ASSERT_TRUE(pursuit::Frame());
  EXPECT_NEAR(m.heading, kPi / 2 - 9 * kTurnStep, 1e-12);
  for (const Missile& each : model.missiles) {
    EXPECT_EQ(each.targetX, 700);
    EXPECT_EQ(each.targetY, 300);
  }
}

TEST_F(Pursuit, CrossingAboveTheMissileMakesItTurnTheLongWayRound) {
  // Heading just short of straight up, pointer just to the left above: bearing under 3pi/2.
  // When the pointer crosses to the right, the bearing drops to just over -pi/2, and the
  // missile turns back down through pi rather than the few degrees across.
  Missile& m = model.missiles[0];
  m = Missile{400, 300, 0, 0, 3 * kPi / 2 - 0.02, 399, 100, 1};
  pursuit::UpdateMissile(0, 399, 100);
  const double before = m.heading;
  m.targetX = 401;
  EXPECT_LT(BearingOf(m.targetX - m.x, m.targetY - m.y), 0);
  for (int k = 0; k < 5; ++k) pursuit::UpdateMissile(0, 401, 100);
  EXPECT_NEAR(m.heading, before - 5 * kTurnStep, 1e-12);
}

TEST_F(Pursuit, TrailsShiftOnMultiplesOfFifteenOfTheSharedCount) {
  // One missile: its trail takes a new point on updates 0, 15, 30, ...
  pursuit::Launch(400, 300);
  double shifted[3][2];
  for (int u = 0; u <= 30; ++u) {
    pursuit::UpdateMissile(0, 400, 300);
    if (u % 15 == 0) {
      shifted[u / 15][0] = model.missiles[0].x;
      shifted[u / 15][1] = model.missiles[0].y;
    }
    EXPECT_EQ(model.trail[0][0].x, model.missiles[0].x);
    EXPECT_LT(model.updateCount, pursuit::kTrailEvery);
  }
  for (int s = 0; s < 3; ++s) {
    EXPECT_EQ(model.trail[0][3 - s].x, shifted[s][0]) << "sample " << s;
    EXPECT_EQ(model.trail[0][3 - s].y, shifted[s][1]) << "sample " << s;
  }
  EXPECT_EQ(model.trail[0][4].x, 0);

  // Three missiles updated in turn: only missile 0 ever lands on a multiple of 15, so the
  // others' trails never shift and keep (0, 0) behind their newest point.
  pursuit::Start();
  for (int i = 0; i < 3; ++i) pursuit::Launch(100 + 100 * i, 300);
  for (int frame = 0; frame < 6; ++frame) ASSERT_TRUE(pursuit::Frame());
  EXPECT_NE(model.trail[0][4].x, 0);
  for (int i = 1; i < 3; ++i) {
    EXPECT_EQ(model.trail[i][0].x, model.missiles[i].x);
    EXPECT_EQ(model.trail[i][1].x, 0) << "missile " << i;
  }
}

TEST_F(Pursuit, AFrameDrawsBodyTrailLinesAndMarkerOnTheHiddenPage) {
  using easel::test::PagePixel;
  Mouse(easel::MsgKind::kMouseMove, 400, 300, 0);
  ASSERT_TRUE(pursuit::Frame());  // nothing in flight: no marker either
  EXPECT_EQ(easel::test::CountSet(0, 380, 280, 420, 320), 0);

  Mouse(easel::MsgKind::kMouseDown, 400, 300, easel::kMouseLeft);
  ASSERT_TRUE(pursuit::Frame());  // draws page 1
  auto count = [](uint32_t colour) {
    int n = 0;
    for (int y = 250; y < 350; ++y)
      for (int x = 350; x < 450; ++x) n += PagePixel(1, x, y) == colour;
    return n;
  };
  EXPECT_GT(count(EaselColors[207]), 10);  // heading, red
  EXPECT_GT(count(EaselColors[253]), 10);  // bearing, yellow
  EXPECT_GT(count(model.trailColours[0]), 5);
  EXPECT_EQ(PagePixel(1, 410, 300), EaselColors[122]);  // the marker, light blue, drawn last
  EXPECT_EQ(PagePixel(1, 400, 290), EaselColors[122]);
  // The unwritten trail entries lie at the top-left corner; the newest of them on top.
  EXPECT_EQ(PagePixel(1, 3, 0), model.trailColours[2]);
  EXPECT_EQ(PagePixel(1, 0, 3), model.trailColours[2]);

  ASSERT_TRUE(pursuit::Frame());  // shows page 1
  easel::headless::Sync();
  EXPECT_EQ(easel::headless::ScreenPixel(410, 300), 0xB4D8FCu);  // light blue as shown
}

TEST_F(Pursuit, AKeyOrTheCloseBoxEndsTheFrameLoop) {
  for (easel::MsgKind kind : {easel::MsgKind::kCloseRequest, easel::MsgKind::kChar}) {
    pursuit::End();
    pursuit::Start();
    ASSERT_TRUE(pursuit::Frame());
    easel::Message m;
    m.kind = kind;
    m.code = 27;
    easel::headless::Inject(m);
    easel::headless::Sync();
    EXPECT_FALSE(pursuit::Frame());
  }
}

TEST_F(Pursuit, HostileInputNeverBreaksTheModel) {
  // Wheel events carry screen coordinates, so the pointer, and with it launches and targets,
  // can be anywhere in 16 bits; every button and modifier combination; a flood of keys.
  const int positions[] = {0, 1, 399, 799, 800, 32767, 32768, 65535, -1, 70000};
  for (int k = 0; k < 10; ++k) {  // ten launches, most of them far outside the window
    Mouse(easel::MsgKind::kMouseWheel, positions[k], positions[9 - k], easel::kMouseLeft);
    pursuit::Frame();
    Mouse(easel::MsgKind::kMouseWheel, positions[9 - k], positions[k], 0);
    pursuit::Frame();
  }
  EXPECT_EQ(ActiveCount(), pursuit::kMissiles);
  EXPECT_NEAR(model.missiles[7].x, 65535, 100);  // launched there, flown a little since
  for (int buttons = 0; buttons < 8; ++buttons) {
    for (int mods = 0; mods < 8; ++mods) {
      const int p = positions[(buttons * 8 + mods) % 10];
      const int q = positions[(buttons * 3 + mods * 7) % 10];
      Mouse(easel::MsgKind::kMouseWheel, p, q, buttons, mods);
      pursuit::Frame();
      Mouse(easel::MsgKind::kMouseMove, (p & 0xFFFF) % 800, (q & 0xFFFF) % 600, buttons, mods);
      pursuit::Frame();
      Mouse(easel::MsgKind::kMouseUp, 5, 5, 0);
      pursuit::Frame();
      ExpectAllFinite();
    }
  }
  for (int k = 0; k < 200; ++k) {
    easel::Message m;
    m.kind = k % 2 ? easel::MsgKind::kChar : easel::MsgKind::kKeyDown;
    m.code = k % 256;
    m.vk = k % 256;
    m.mods = k % 8;
    easel::headless::Inject(m);
  }
  easel::headless::Sync();
  EXPECT_FALSE(pursuit::Frame());
  ExpectAllFinite();
}

}  // namespace
