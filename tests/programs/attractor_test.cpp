// attractor: the lone-button direction, the ring around the pointer, the separation passes,
// drawing one frame late, and input that must not break it.
#include "attractor.h"

#include <gtest/gtest.h>

#include <cmath>

#include "../unit/test_support.h"
#include "backend/headless/headless.h"
#include "common/random.h"
#include "easel/easel.h"

namespace {

using attractor::Ball;
using attractor::model;

constexpr uint32_t kWhite = 0xFCFCFC;

class Attractor : public ::testing::Test {
 protected:
  void SetUp() override {
    easel::headless::SetDesktop(1280, 1024, 24);
    attractor::Start();
    ASSERT_EQ(EaselResult(), 0);
    RandomSeedWith(11);
  }
  void TearDown() override { attractor::End(); }

  // Every ball on a grid 20 pixels apart, far below the window, so that nothing touches and
  // only the balls a test places itself take part.
  static void ParkAll() {
    for (int k = 0; k < attractor::kBalls; ++k) {
      model.balls[k] = Ball{20.0 * (k % 40), 5000.0 + 20.0 * (k / 40)};
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

  static void ExpectAllFinite() {
    for (const Ball& b : model.balls) {
      ASSERT_TRUE(std::isfinite(b.x) && std::isfinite(b.y));
    }
  }
};

TEST_F(Attractor, StartsWithWholePixelPositionsInsideTheWindow) {
  EXPECT_EQ(easel::headless::Window().title, "ATRACTOR");
  EXPECT_EQ(model.direction, 0);
  for (const Ball& b : model.balls) {
    EXPECT_EQ(b.x, std::floor(b.x));
    EXPECT_EQ(b.y, std::floor(b.y));
    EXPECT_TRUE(b.x >= 0 && b.x <= 798 && b.y >= 0 && b.y <= 598);
  }
}

TEST(AttractorDirection, OnlyALoneButtonChoosesIt) {
  const struct {
    uint32_t buttons;
    int32_t before, after;
  } cases[] = {
      {1, 0, 1},   {1, -1, 1},  {2, 0, -1},   {2, 1, -1},    // left alone, right alone
      {3, 1, 1},   {3, -1, -1}, {3, 0, 0},                   // both buttons
      {8, -1, -1}, {9, 0, 0},   {17, -1, -1}, {10, 1, 1},    // Shift, Ctrl with a button
      {0, 1, 1},   {0, -1, -1}, {4, 1, 1},    {31, -1, -1},  // none, middle, everything
  };
  for (const auto& c : cases) {
    EXPECT_EQ(attractor::DirectionFor(c.buttons, c.before), c.after)
        << "buttons " << c.buttons << " from " << c.before;
  }
}

TEST_F(Attractor, ThePointerMovesOnlyBallsInsideTheOpenRing) {
  const struct {
    double dx, dy;  // ball relative to the pointer
    double mx, my;  // its move when attracted
  } cases[] = {
      {10, 0, 0, 0},
      {10.5, 0, -1, 0},
      {0, -99.5, 0, 1},
      {100, 0, 0, 0},
      {-5, 0, 0, 0},
      {0, 0, 0, 0},
      {150, 0, 0, 0},
      {30, 40, -0.6, -0.8},
      {std::nextafter(10.0, 11.0), 0, -1, 0},
      {0, std::nextafter(100.0, 0.0), 0, -1},
  };
  // The pointer at the origin, so that offsets one unit in the last place off a limit stay exact.
  const double px = 0, py = 0;
  for (int direction : {1, -1, 0}) {
    ParkAll();
    int k = 0;
    for (const auto& c : cases) model.balls[k++] = Ball{px + c.dx, py + c.dy};
    attractor::PullToward(px, py, direction);
    k = 0;
    for (const auto& c : cases) {
      const Ball& b = model.balls[k++];
      EXPECT_DOUBLE_EQ(b.x, px + c.dx + direction * c.mx) << "case " << k << " dir " << direction;
      EXPECT_DOUBLE_EQ(b.y, py + c.dy + direction * c.my) << "case " << k << " dir " << direction;
    }
  }
}

TEST_F(Attractor, OverlappingPairsStepOnePixelApartEach) {
  const struct {
    double dx, dy;  // second ball relative to the first, at the origin
    double ux, uy;  // the first ball's move (the second moves the opposite way)
  } cases[] = {
      {5, 0, -1, 0},
      {0, -2, 0, 1},
      {3, 4, -0.6, -0.8},
      {6, 0, 0, 0},
      {0, 6, 0, 0},
      {0, -6, 0, 0},  // exactly touching: apart
      {std::nextafter(6.0, 0.0), 0, -1, 0},
      {-7, 0.5, 0, 0},
  };
  for (const auto& c : cases) {
    ParkAll();
    model.balls[0] = Ball{0, 0};
    model.balls[1] = Ball{c.dx, c.dy};
    attractor::SeparatePass();
    EXPECT_DOUBLE_EQ(model.balls[0].x, c.ux) << c.dx << "," << c.dy;
    EXPECT_DOUBLE_EQ(model.balls[0].y, c.uy) << c.dx << "," << c.dy;
    EXPECT_DOUBLE_EQ(model.balls[1].x, c.dx - c.ux) << c.dx << "," << c.dy;
    EXPECT_DOUBLE_EQ(model.balls[1].y, c.dy - c.uy) << c.dx << "," << c.dy;
  }
}

TEST_F(Attractor, LaterPairsInAPassSeeTheMovedPositions) {
  // 0 and 1 overlap and part; that brings 1 within reach of 2, which it would not be from
  // where it started.
  ParkAll();
  model.balls[0] = Ball{0, 0};
  model.balls[1] = Ball{5, 0};
  model.balls[2] = Ball{11.5, 0};
  attractor::SeparatePass();
  EXPECT_DOUBLE_EQ(model.balls[0].x, -1);
  EXPECT_DOUBLE_EQ(model.balls[1].x, 5);
  EXPECT_DOUBLE_EQ(model.balls[2].x, 12.5);
}

TEST_F(Attractor, SeparationMatchesTheDirectDistanceTestOnDenseCrowds) {
  // The pass skips far pairs early and compares squared distances; on crowds packed tight
  // enough that most balls touch, it must move every ball exactly as the plain rule does:
  // d = sqrt(dx^2 + dy^2), push when d < 6.
  for (uint32_t seed : {1u, 2u, 3u}) {
    RandomSeedWith(seed);
    Ball reference[attractor::kBalls];
    for (int k = 0; k < attractor::kBalls; ++k) {
      model.balls[k] = Ball{300 + RandomInt(60) + RandomReal(), 200.0 + RandomInt(60)};
      reference[k] = model.balls[k];
    }
    for (int pass = 0; pass < attractor::kSeparationPasses; ++pass) {
      attractor::SeparatePass();
      for (int i = 0; i < attractor::kBalls - 1; ++i) {
        for (int j = i + 1; j < attractor::kBalls; ++j) {
          double dx = reference[j].x - reference[i].x, dy = reference[j].y - reference[i].y;
          const double d = std::sqrt(dx * dx + dy * dy);
          if (d < 6) {
            dx = d == 0 ? 1 : dx / d;
            dy = d == 0 ? 0 : dy / d;
            reference[i].x -= dx;
            reference[i].y -= dy;
            reference[j].x += dx;
            reference[j].y += dy;
          }
        }
      }
    }
    for (int k = 0; k < attractor::kBalls; ++k) {
      ASSERT_EQ(model.balls[k].x, reference[k].x) << "seed " << seed << " ball " << k;
      ASSERT_EQ(model.balls[k].y, reference[k].y) << "seed " << seed << " ball " << k;
    }
  }
}

TEST_F(Attractor, CoincidentBallsArePartedWithoutNaN) {
  ParkAll();
  model.balls[7] = Ball{200, 200};
  model.balls[8] = Ball{200, 200};
  attractor::SeparatePass();
  EXPECT_DOUBLE_EQ(model.balls[7].x, 199);
  EXPECT_DOUBLE_EQ(model.balls[8].x, 201);
  EXPECT_DOUBLE_EQ(model.balls[7].y, 200);
  EXPECT_DOUBLE_EQ(model.balls[8].y, 200);

  // The whole crowd on one spot spreads out over a few frames and stays finite.
  for (Ball& b : model.balls) b = Ball{400, 300};
  for (int frame = 0; frame < 20; ++frame) ASSERT_TRUE(attractor::Frame());
  ExpectAllFinite();
  int stillStacked = 0;
  for (const Ball& b : model.balls) stillStacked += b.x == 400 && b.y == 300;
  EXPECT_LE(stillStacked, 1);
}

TEST_F(Attractor, WithoutMouseInputBallsOnlySeparate) {
  // A crowd that touches nowhere stays exactly where it is, pointer or not: the mouse values
  // are 0 before the first event, and buttons 0 move nothing.
  ParkAll();
  for (int k = 0; k < 40; ++k) model.balls[k].y = 50;  // a row inside the ring of (0, 0)
  const attractor::Model before = model;
  for (int frame = 0; frame < 3; ++frame) ASSERT_TRUE(attractor::Frame());
  for (int k = 0; k < attractor::kBalls; ++k) {
    EXPECT_EQ(model.balls[k].x, before.balls[k].x);
    EXPECT_EQ(model.balls[k].y, before.balls[k].y);
  }
}

TEST_F(Attractor, ButtonsHeldAcrossFramesPullPushOrKeepTheLastChoice) {
  ParkAll();
  model.balls[0] = Ball{450, 300};  // 50 to the right of the pointer
  model.balls[1] = Ball{405, 300};  // inside the dead centre of the ring
  using easel::MsgKind;

  // Shift alone before any button: no direction yet, nothing moves.
  Mouse(MsgKind::kMouseMove, 400, 300, 0, easel::kModShift);
  ASSERT_EQ(EaselMouseButtons(), 8);
  attractor::Frame();
  EXPECT_DOUBLE_EQ(model.balls[0].x, 450);

  Mouse(MsgKind::kMouseDown, 400, 300, easel::kMouseLeft);
  attractor::Frame();
  attractor::Frame();  // still held: the last event still reports the button
  EXPECT_DOUBLE_EQ(model.balls[0].x, 448);
  EXPECT_DOUBLE_EQ(model.balls[1].x, 405);

  // Shift with the button (9), then both buttons (3): the attraction goes on.
  Mouse(MsgKind::kMouseMove, 400, 300, easel::kMouseLeft, easel::kModShift);
  attractor::Frame();
  Mouse(MsgKind::kMouseDown, 400, 300, easel::kMouseLeft | easel::kMouseRight);
  attractor::Frame();
  EXPECT_DOUBLE_EQ(model.balls[0].x, 446);

  // Right alone repels; both again keep repelling; release stops.
  Mouse(MsgKind::kMouseUp, 400, 300, easel::kMouseRight);
  attractor::Frame();
  Mouse(MsgKind::kMouseDown, 400, 300, easel::kMouseLeft | easel::kMouseRight);
  attractor::Frame();
  EXPECT_DOUBLE_EQ(model.balls[0].x, 448);
  EXPECT_EQ(model.direction, -1);
  Mouse(MsgKind::kMouseUp, 400, 300, 0);
  attractor::Frame();
  EXPECT_DOUBLE_EQ(model.balls[0].x, 448);
  EXPECT_DOUBLE_EQ(model.balls[1].x, 405);
}

TEST_F(Attractor, BallsAreDrawnAtLastFramesPlacesAndShownAFrameLater) {
  ParkAll();
  model.balls[0] = Ball{100, 100};
  Mouse(easel::MsgKind::kMouseDown, 150, 100, easel::kMouseLeft);

  ASSERT_TRUE(attractor::Frame());  // draws page 0 with the ball at 100, then pulls it to 101
  easel::headless::Sync();
  for (int x = 0; x < 800; x += 5) ASSERT_EQ(easel::headless::ScreenPixel(x, 100), 0u);
  EXPECT_DOUBLE_EQ(model.balls[0].x, 101);
  EXPECT_EQ(easel::test::Picture(0, 96, 96, 104, 104),
            ".........\n"
            "...###...\n"
            "..#...#..\n"
            ".#.....#.\n"
            ".#.....#.\n"
            ".#.....#.\n"
            "..#...#..\n"
            "...###...\n"
            ".........\n");  // a ring of radius 3 around (100, 100)

  ASSERT_TRUE(attractor::Frame());  // shows page 0
  easel::headless::Sync();
  EXPECT_EQ(easel::headless::ScreenPixel(97, 100), kWhite);
  EXPECT_EQ(easel::headless::ScreenPixel(98, 100), 0u);
  ASSERT_TRUE(attractor::Frame());  // shows page 1, drawn with the ball at 101
  easel::headless::Sync();
  EXPECT_EQ(easel::headless::ScreenPixel(97, 100), 0u);
  EXPECT_EQ(easel::headless::ScreenPixel(98, 100), kWhite);
}

TEST_F(Attractor, AKeyOrTheCloseBoxEndsTheFrameLoop) {
  for (int kind = 0; kind < 2; ++kind) {
    if (kind == 1) {
      attractor::End();
      attractor::Start();
    }
    ASSERT_TRUE(attractor::Frame());
    easel::Message m;
    m.kind = kind == 0 ? easel::MsgKind::kCloseRequest : easel::MsgKind::kChar;
    m.code = 'q';
    easel::headless::Inject(m);
    easel::headless::Sync();
    EXPECT_FALSE(attractor::Frame());
  }
}

TEST_F(Attractor, HostileInputNeverBreaksTheModel) {
  // Wheel events carry screen coordinates, so the pointer can be anywhere in 16 bits; every
  // button and modifier combination, a flood of keys, and frames in between.
  const int positions[] = {0, 1, 399, 799, 800, 32767, 32768, 65535, -1, 70000};
  for (Ball& b : model.balls) b = Ball{400, 300};  // coincident too
  for (int buttons = 0; buttons < 8; ++buttons) {
    for (int mods = 0; mods < 8; ++mods) {
      const int p = positions[(buttons * 8 + mods) % 10];
      const int q = positions[(buttons * 3 + mods * 7) % 10];
      Mouse(easel::MsgKind::kMouseWheel, p, q, buttons, mods);
      attractor::Frame();
      Mouse(easel::MsgKind::kMouseMove, (p & 0xFFFF) % 800, (q & 0xFFFF) % 600, buttons, mods);
      attractor::Frame();
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
  EXPECT_FALSE(attractor::Frame());
  ExpectAllFinite();
}

}  // namespace
