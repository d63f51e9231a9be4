// magfield_a: the ring at start, wall mirrors, overlap separation, forces, the field strokes,
// dragging, what a frame draws, and input that must not break it.
#include "magfield_a.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "../unit/test_support.h"
#include "backend/headless/headless.h"
#include "easel/easel.h"

namespace {

using easel::test::PagePixel;
using magfield_a::model;
using magfield_a::Pole;

constexpr uint32_t kGreyIndex = 7, kWhiteIndex = 15, kRedIndex = 40;  // under driver 3

class MagfieldA : public ::testing::Test {
 protected:
  void SetUp() override {
    easel::headless::SetDesktop(1280, 1024, 24);
    magfield_a::Start();
    ASSERT_EQ(EaselResult(), 0);
    Mouse(easel::MsgKind::kMouseMove, 0, 0, 0);  // no button left held by an earlier test
  }
  void TearDown() override { magfield_a::End(); }

  // Every pole at rest, without charge, far apart on a row far outside the window, so that
  // only the poles a test places itself take part in fields, forces, overlaps and searches.
  static void ParkAll() {
    for (int k = 0; k < magfield_a::kPoles; ++k) {
      model.poles[k] = Pole{1e6 + 1000 * k, 1e6, 0, 0, 0, 0, 0};
    }
  }
  // The same on a row near the bottom of the window, for whole frames (which pull anything
  // outside back in).
  static void ParkOnBottomRow() {
    for (int k = 0; k < magfield_a::kPoles; ++k) {
      model.poles[k] = Pole{60.0 + 70 * k, 540, 0, 0, 0, 0, 0};
    }
  }

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

  static void ExpectAllFiniteAndInside() {
    for (const Pole& p : model.poles) {
      ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.vx) &&
                  std::isfinite(p.vy) && std::isfinite(p.ax) && std::isfinite(p.ay));
      // Overlaps may push a disc a little past an edge after its bounce, never far.
      ASSERT_TRUE(p.x >= -50 && p.x <= 850 && p.y >= -50 && p.y <= 650) << p.x << "," << p.y;
    }
  }
};

TEST_F(MagfieldA, StartsOnARingOfAlternatingChargesJustClearOfEachOther) {
  EXPECT_EQ(easel::headless::Window().title, "CAMP MAGNETIC");
  EXPECT_EQ(model.selected, -1);
  for (int i = 0; i < magfield_a::kPoles; ++i) {
    const Pole& p = model.poles[i];
    const double theta = 2 * std::numbers::pi * i / 10;
    EXPECT_DOUBLE_EQ(p.x, 399.5 + 22 * 10 / 3.0 * std::cos(theta));
    EXPECT_DOUBLE_EQ(p.y, 299.5 + 22 * 10 / 3.0 * std::sin(theta));
    EXPECT_EQ(p.charge, i % 2 == 0 ? 1 : -1);
    EXPECT_EQ(p.vx, 0);
    EXPECT_EQ(p.ax, 0);
    const Pole& next = model.poles[(i + 1) % 10];
    EXPECT_GT(std::hypot(next.x - p.x, next.y - p.y), 44);  // no overlap at the start
    EXPECT_LT(std::hypot(next.x - p.x, next.y - p.y), 46);
  }
}

TEST(MagfieldAReal, MinAndMaxGiveTheSecondOnATie) {
  EXPECT_EQ(magfield_a::MinReal(1, 2), 1);
  EXPECT_EQ(magfield_a::MinReal(2, 1), 1);
  EXPECT_EQ(magfield_a::MaxReal(1, 2), 2);
  EXPECT_EQ(magfield_a::MaxReal(2, 1), 2);
  // Which zero comes back shows which argument was taken.
  EXPECT_TRUE(std::signbit(magfield_a::MinReal(0.0, -0.0)));
  EXPECT_TRUE(std::signbit(magfield_a::MaxReal(0.0, -0.0)));
}

TEST(MagfieldABounce, EdgesMirrorTheOvershootAndTurnTheDiscInwards) {
  const struct {
    const char* what;
    Pole before;
    double x, y, vx, vy;
  } cases[] = {
      {"inside", {400, 300, -5, 7, 0, 0, 1}, 400, 300, -5, 7},
      {"on the left limit", {22, 300, -5, 0, 0, 0, 1}, 22, 300, -5, 0},
      {"past the left", {20, 300, -5, 3, 0, 0, 1}, 24, 300, 5, 3},
      {"past the left, moving right", {20, 300, 5, 0, 0, 0, 1}, 24, 300, 5, 0},
      {"past the top", {300, 12.5, 1, -9, 0, 0, 1}, 300, 31.5, 1, 9},
      {"past the right", {780, 300, 6, 0, 0, 0, 1}, 774, 300, -6, 0},
      {"past the bottom", {300, 578, 0, 2, 0, 0, 1}, 300, 576, 0, -2},
      {"past a corner", {10, 590, -3, 4, 0, 0, 1}, 34, 564, 3, -4},
      // Overshoots wider than the window: mirroring alone would leave the disc outside.
      {"far past the left", {-5000, 300, -9e5, 0, 0, 0, 1}, 22, 300, 9e5, 0},
      {"far past the right", {9000, 300, 9e5, 0, 0, 0, 1}, 777, 300, -9e5, 0},
      {"far past the bottom", {300, 70000, 0, -1, 0, 0, 1}, 300, 577, 0, -1},
      {"far past the top", {300, -1e9, 0, -1, 0, 0, 1}, 300, 22, 0, 1},
  };
  for (const auto& c : cases) {
    Pole p = c.before;
    magfield_a::Bounce(p, 799, 599);
    EXPECT_DOUBLE_EQ(p.x, c.x) << c.what;
    EXPECT_DOUBLE_EQ(p.y, c.y) << c.what;
    EXPECT_DOUBLE_EQ(p.vx, c.vx) << c.what;
    EXPECT_DOUBLE_EQ(p.vy, c.vy) << c.what;
  }
}

TEST_F(MagfieldA, OverlappingDiscsPartSymmetricallyUntilTheyTouch) {
  const struct {
    const char* what;
    double dx, dy;  // pole 1 relative to pole 0
    double move;    // how far each moves apart along the line of centres
    double kick;    // the size of each velocity change along that line, before the limit
    double vy;      // pole 0 starts with (10, -vy), pole 1 with (-30, vy)
  } cases[] = {
      {"along x", 40, 0, 2, 200, 20},
      {"on a 3-4-5 diagonal", -24, 32, 2, 200, 20},
      {"deep, velocities limited to 4096", 0, 2, 21, 2100, 3000},
      {"just touching: nothing", 44, 0, 0, 0, 5000},  // no overlap, so no limit either
      {"apart: nothing", 0, -50, 0, 0, 20},
  };
  for (const auto& c : cases) {
    ParkAll();
    model.poles[0] = Pole{300, 300, 10, -c.vy, 0, 0, 1};
    model.poles[1] = Pole{300 + c.dx, 300 + c.dy, -30, c.vy, 0, 0, -1};
    magfield_a::Separate(0);
    const double d = std::hypot(c.dx, c.dy), nx = c.dx / d, ny = c.dy / d;
    const Pole &a = model.poles[0], &b = model.poles[1];
    EXPECT_NEAR(a.x, 300 - c.move * nx, 1e-9) << c.what;
    EXPECT_NEAR(a.y, 300 - c.move * ny, 1e-9) << c.what;
    EXPECT_NEAR(b.x, 300 + c.dx + c.move * nx, 1e-9) << c.what;
    EXPECT_NEAR(b.y, 300 + c.dy + c.move * ny, 1e-9) << c.what;
    if (c.move > 0) {
      EXPECT_NEAR(std::hypot(b.x - a.x, b.y - a.y), 44, 1e-9) << c.what;
    }
    const double limit = c.move > 0 ? 4096 : 1e9;
    EXPECT_NEAR(a.vx, std::clamp(10 - c.kick * nx, -limit, limit), 1e-9) << c.what;
    EXPECT_NEAR(a.vy, std::clamp(-c.vy - c.kick * ny, -limit, limit), 1e-9) << c.what;
    EXPECT_NEAR(b.vx, std::clamp(-30 + c.kick * nx, -limit, limit), 1e-9) << c.what;
    EXPECT_NEAR(b.vy, std::clamp(c.vy + c.kick * ny, -limit, limit), 1e-9) << c.what;
  }
  // Centres on the very same spot: parted along x, still symmetric, nothing undefined.
  ParkAll();
  model.poles[3] = Pole{300, 300, 0, 0, 0, 0, 1};
  model.poles[7] = Pole{300, 300, 0, 0, 0, 0, 1};
  magfield_a::Separate(3);
  EXPECT_DOUBLE_EQ(model.poles[3].x, 278);
  EXPECT_DOUBLE_EQ(model.poles[7].x, 322);
  EXPECT_DOUBLE_EQ(model.poles[3].vx, -2200);
  EXPECT_DOUBLE_EQ(model.poles[7].vx, 2200);
  EXPECT_DOUBLE_EQ(model.poles[3].y, 300);
}

TEST_F(MagfieldA, LaterOverlapsInASweepSeeTheMovedPositions) {
  // Pole 0 pushes pole 1 onto pole 2, which it did not touch before: when pole 1 is separated
  // in its own turn, it then parts from pole 2 as well.
  ParkAll();
  model.poles[0] = Pole{300, 300, 0, 0, 0, 0, 1};
  model.poles[1] = Pole{340, 300, 0, 0, 0, 0, 1};
  model.poles[2] = Pole{385, 300, 0, 0, 0, 0, 1};
  magfield_a::Separate(0);
  EXPECT_DOUBLE_EQ(model.poles[1].x, 342);
  EXPECT_DOUBLE_EQ(model.poles[2].x, 385);
  magfield_a::Separate(1);
  EXPECT_DOUBLE_EQ(model.poles[1].x, 341.5);
  EXPECT_DOUBLE_EQ(model.poles[2].x, 385.5);
}

TEST_F(MagfieldA, LikePolesRepelAndUnlikePolesAttractByTheInverseSquare) {
  const struct {
    double charge0, charge1;
    double dx, dy;    // pole 1 relative to pole 0
    double ax0, ay0;  // pole 0's acceleration
  } cases[] = {
      {1, -1, 100, 0, 25e6 / 1e4 / 9, 0},    // attracted toward pole 1
      {1, 1, 100, 0, -25e6 / 1e4 / 9, 0},    // pushed away
      {-1, -1, 0, -50, 0, 25e6 / 2500 / 9},  // pushed away, downwards
      {1, -1, 30, 40, 25e6 / 2500 / 9 * 0.6, 25e6 / 2500 / 9 * 0.8},
      {1, -1, 0, 0, 0, 0},  // one spot: no direction, no force
  };
  for (const auto& c : cases) {
    ParkAll();
    model.poles[0] = Pole{300, 300, 0, 0, 0, 0, c.charge0};
    model.poles[1] = Pole{300 + c.dx, 300 + c.dy, 0, 0, 0, 0, c.charge1};
    magfield_a::ComputeForces();
    EXPECT_NEAR(model.poles[0].ax, c.ax0, 1e-9) << c.dx << "," << c.dy;
    EXPECT_NEAR(model.poles[0].ay, c.ay0, 1e-9) << c.dx << "," << c.dy;
    EXPECT_NEAR(model.poles[1].ax, -c.ax0, 1e-9) << c.dx << "," << c.dy;  // equal and opposite
    EXPECT_NEAR(model.poles[1].ay, -c.ay0, 1e-9) << c.dx << "," << c.dy;
    EXPECT_EQ(model.poles[5].ax, 0);  // uncharged poles feel nothing
  }
}

TEST_F(MagfieldA, FieldStrokesPointTowardPlusPolesAndAwayFromMinusPoles) {
  const struct {
    double charge;
    double px, py;  // grid point; the pole is at (200, 300)
    double sx, sy;
  } cases[] = {
      {1, 232, 300, -8, 0},
      {-1, 232, 300, 8, 0},
      {1, 200, 400, 0, -8},
      {-1, 176, 268, -4.8, -6.4},
  };
  for (const auto& c : cases) {
    ParkAll();
    model.poles[4] = Pole{200, 300, 0, 0, 0, 0, c.charge};
    double sx = 0, sy = 0;
    ASSERT_TRUE(magfield_a::FieldStroke(c.px, c.py, sx, sy));
    EXPECT_NEAR(sx, c.sx, 1e-12) << c.charge << " at " << c.px << "," << c.py;
    EXPECT_NEAR(sy, c.sy, 1e-12) << c.charge << " at " << c.px << "," << c.py;
  }
}

TEST_F(MagfieldA, APoleOnTheGridPointAddsNothingAndACancelledFieldDrawsNothing) {
  ParkAll();
  model.poles[0] = Pole{240, 304, 0, 0, 0, 0, -1};
  model.poles[6] = Pole{300, 250, 0, 0, 0, 0, 1};
  double sx = 0, sy = 0, alone_x = 0, alone_y = 0;
  model.poles[2] = Pole{256, 272, 0, 0, 0, 0, 1};  // exactly on the grid point
  ASSERT_TRUE(magfield_a::FieldStroke(256, 272, sx, sy));
  model.poles[2].charge = 0;
  ASSERT_TRUE(magfield_a::FieldStroke(256, 272, alone_x, alone_y));
  EXPECT_EQ(sx, alone_x);
  EXPECT_EQ(sy, alone_y);

  // Two equal poles the same distance either side: the field cancels exactly.
  ParkAll();
  model.poles[0] = Pole{100, 300, 0, 0, 0, 0, 1};
  model.poles[1] = Pole{164, 300, 0, 0, 0, 0, 1};
  EXPECT_FALSE(magfield_a::FieldStroke(132, 300, sx, sy));
  ParkAll();  // no charge anywhere
  EXPECT_FALSE(magfield_a::FieldStroke(16, 16, sx, sy));
}

TEST_F(MagfieldA, APressTakesTheNearestPoleAndTheDragSteersItOneFrameAhead) {
  ParkAll();
  model.poles[3] = Pole{100, 100, 0, 0, 0, 0, 1};
  model.poles[6] = Pole{700, 500, 0, 0, 0, 0, -1};
  model.poles[8] = Pole{700, 500, 0, 0, 0, 0, 1};  // a tie with pole 6: the lower index wins
  EXPECT_EQ(magfield_a::NearestPole(0, 0), 3);     // no distance limit
  EXPECT_EQ(magfield_a::NearestPole(65535, 65535), 6);

  magfield_a::Drag(120, 130, 1);  // the press picks; the velocity waits for the next frame
  EXPECT_EQ(model.selected, 3);
  EXPECT_EQ(model.poles[3].vx, 0);
  magfield_a::Drag(120, 130, 1);
  EXPECT_DOUBLE_EQ(model.poles[3].vx, 2000);
  EXPECT_DOUBLE_EQ(model.poles[3].vy, 3000);
  magfield_a::Drag(650, 480, 1);  // a drag goes on with the same pole, wherever the pointer
  EXPECT_EQ(model.selected, 3);
  EXPECT_DOUBLE_EQ(model.poles[3].vx, 55000);

  // Anything but the left button alone lets go and leaves velocities as they are.
  for (uint32_t buttons : {0u, 2u, 3u, 4u, 5u, 8u, 9u, 16u, 17u, 25u, 31u}) {
    magfield_a::Drag(650, 480, 1);
    ASSERT_EQ(model.selected, 3);
    model.poles[3].vx = 7;
    magfield_a::Drag(650, 480, buttons);
    EXPECT_EQ(model.selected, -1) << buttons;
    EXPECT_EQ(model.poles[3].vx, 7) << buttons;
    magfield_a::Drag(700, 510, 1);  // picks again: now pole 6 is the nearest
    EXPECT_EQ(model.selected, 6) << buttons;
    magfield_a::Drag(0, 0, buttons);
    magfield_a::Drag(100, 100, 1);
    ASSERT_EQ(model.selected, 3);
  }
}

TEST_F(MagfieldA, ADraggedPoleReachesThePointerInAFewFrames) {
  Mouse(easel::MsgKind::kMouseDown, 650, 100, easel::kMouseLeft);
  magfield_a::Frame();  // picks
  const int picked = model.selected;
  ASSERT_GE(picked, 0);
  EXPECT_EQ(picked, magfield_a::NearestPole(650, 100));
  for (int frame = 0; frame < 20; ++frame) magfield_a::Frame();
  EXPECT_NEAR(model.poles[picked].x, 650, 3);
  EXPECT_NEAR(model.poles[picked].y, 100, 3);
  Mouse(easel::MsgKind::kMouseMove, 650, 100, easel::kMouseLeft, easel::kModShift);
  magfield_a::Frame();
  EXPECT_EQ(model.selected, -1);
}

TEST_F(MagfieldA, AFrameDrawsStrokesTenOutlinesAndLabelsThenShowsItAFrameLater) {
  // At rest and far apart, each pole's ten outlines coincide.
  ParkOnBottomRow();
  model.poles[0] = Pole{200, 200, 0, 0, 0, 0, 1};
  model.poles[1] = Pole{600, 400, 0, 0, 0, 0, -1};
  ASSERT_TRUE(magfield_a::Frame());  // draws page 0, shows page 1
  EXPECT_DOUBLE_EQ(model.poles[0].x, 200);
  EXPECT_EQ(PagePixel(0, 222, 200), kWhiteIndex);  // the outlines' right edges
  EXPECT_EQ(PagePixel(0, 622, 400), kRedIndex);
  EXPECT_EQ(PagePixel(0, 223, 200), 0u);
  // The grid point (16, 16) starts a grey stroke; so does (784, 592).
  EXPECT_EQ(PagePixel(0, 16, 16), kGreyIndex);
  EXPECT_EQ(PagePixel(0, 784, 592), kGreyIndex);

  // The label sits inside the disc, bottom of the text at y + 10: "1" is narrower than "-1".
  const auto extent = [](int cx, int cy, uint32_t colour) {
    int left = 1000, right = -1, top = 1000, bottom = -1;
    for (int y = cy - 18; y <= cy + 18; ++y) {
      for (int x = cx - 18; x <= cx + 18; ++x) {
        const bool inDisc = (x - cx) * (x - cx) + (y - cy) * (y - cy) < 19 * 19;
        if (!inDisc || PagePixel(0, x, y) != colour) continue;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
    return std::array<int, 4>{left, right, top, bottom};
  };
  const auto one = extent(200, 200, kWhiteIndex), minusOne = extent(600, 400, kRedIndex);
  EXPECT_GT(one[1], one[0]);
  EXPECT_LE(one[3], 210);
  EXPECT_GE(one[2], 200 - 18);
  EXPECT_GT(minusOne[1] - minusOne[0], one[1] - one[0] + 4);
  EXPECT_LE(minusOne[3], 410);

  ASSERT_TRUE(magfield_a::Frame());  // shows page 0
  easel::headless::Sync();
  EXPECT_EQ(easel::headless::ScreenPixel(222, 200), 0xFCFCFCu);
  EXPECT_EQ(easel::headless::ScreenPixel(622, 400), 0xFC0000u);
  EXPECT_EQ(easel::headless::ScreenPixel(16, 16), 0xA8A8A8u);
}

TEST_F(MagfieldA, AMovingDiscLeavesATrailOfOutlines) {
  ParkOnBottomRow();
  model.poles[0] = Pole{300, 300, 1000, 0, 0, 0, 1};  // one pixel a substep, slowing a little
  ASSERT_TRUE(magfield_a::Frame());
  int leftEdges = 0;
  for (int x = 270; x < 300; ++x) leftEdges += PagePixel(0, x, 300) == kWhiteIndex;
  EXPECT_GE(leftEdges, 9);  // ten outlines, a pixel apart (two may round together)
  EXPECT_NEAR(model.poles[0].x, 310, 0.2);
}

TEST_F(MagfieldA, AnyKeyOrTheCloseBoxEnds) {
  for (easel::MsgKind kind :
       {easel::MsgKind::kCloseRequest, easel::MsgKind::kChar, easel::MsgKind::kKeyDown}) {
    magfield_a::End();
    magfield_a::Start();
    ASSERT_TRUE(magfield_a::Frame());
    easel::Message m;
    m.kind = kind;
    m.code = 'q';
    m.vk = EaselVkUp;
    easel::headless::Inject(m);
    easel::headless::Sync();
    EXPECT_FALSE(magfield_a::Frame());
  }
}

TEST_F(MagfieldA, HostileInputNeverBreaksTheModel) {
  // Wheel events carry screen coordinates, so the pointer can be anywhere in 16 bits. A pole
  // dragged toward a pointer far outside is flung at enormous speed; it must stay in the window.
  const int positions[] = {0, 1, 399, 799, 800, 32767, 32768, 65535, -1, 70000};
  for (int k = 0; k < 10; ++k) {
    Mouse(easel::MsgKind::kMouseWheel, positions[k], positions[9 - k], easel::kMouseLeft);
    for (int frame = 0; frame < 30; ++frame) magfield_a::Frame();
    ExpectAllFiniteAndInside();
  }
  for (int buttons = 0; buttons < 8; ++buttons) {
    for (int mods = 0; mods < 8; ++mods) {
      const int p = positions[(buttons * 8 + mods) % 10];
      const int q = positions[(buttons * 3 + mods * 7) % 10];
      Mouse(easel::MsgKind::kMouseWheel, p, q, buttons, mods);
      magfield_a::Frame();
      Mouse(easel::MsgKind::kMouseMove, (p & 0xFFFF) % 800, (q & 0xFFFF) % 600, buttons, mods);
      magfield_a::Frame();
      ExpectAllFiniteAndInside();
    }
  }
  for (int k = 0; k < 200; ++k) {
    easel::Message m;
    m.kind = k % 2 ? easel::MsgKind::kChar : easel::MsgKind::kKeyDown;
    m.code = k % 256;
    // Every key but PrintScreen, which would save a screenshot into the working directory.
    m.vk = k % 256 == EaselVkSnapshot ? 'A' : k % 256;
    m.mods = k % 8;
    easel::headless::Inject(m);
  }
  easel::headless::Sync();
  EXPECT_FALSE(magfield_a::Frame());
  ExpectAllFiniteAndInside();
}

}  // namespace
