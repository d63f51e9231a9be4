// magnets: the poles and the buttons that move them, the field, the first frame's pattern, the
// particles' restarts, strokes and steps, page order, keys, and input that must not break it.
#include "magnets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "../unit/test_support.h"
#include "backend/headless/headless.h"
#include "common/random.h"
#include "core.h"
#include "easel/easel.h"

namespace {

using easel::test::PagePixel;
using magnets::model;
using magnets::Particle;

constexpr uint32_t kLightBlueIndex = 102, kGreyIndex = 7;  // under driver 3

class Magnets : public ::testing::Test {
 protected:
  void SetUp() override {
    easel::headless::SetDesktop(1280, 1024, 24);
    magnets::Start();
    ASSERT_EQ(EaselResult(), 0);
    Mouse(easel::MsgKind::kMouseMove, 0, 0, 0);  // no button left held by an earlier test
    RandomSeedWith(31);
  }
  void TearDown() override { magnets::End(); }

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

  static void Key(easel::MsgKind kind, int code, int vk = 0) {
    easel::Message m;
    m.kind = kind;
    m.code = code;
    m.vk = vk;
    easel::headless::Inject(m);
    easel::headless::Sync();
  }

  static void SetPoles(double nx, double ny, double sx, double sy) {
    model.northX = nx;
    model.northY = ny;
    model.southX = sx;
    model.southY = sy;
    magnets::ComputeAxis();
  }
};

TEST_F(Magnets, TheFirstFrameSetsTheDefaultMagnetAndDrawsOnlyThePattern) {
  EXPECT_EQ(easel::headless::Window().title, "FUNCTIONAREA MAGNETILOR");
  EXPECT_EQ(model.northX, 0);
  EXPECT_EQ(model.started, 0);
  ASSERT_TRUE(magnets::Frame());
  EXPECT_DOUBLE_EQ(model.northX, 599.25);
  EXPECT_DOUBLE_EQ(model.northY, 0.499 * 599);
  EXPECT_DOUBLE_EQ(model.southX, 599.25);
  EXPECT_DOUBLE_EQ(model.southY, 0.501 * 599);
  EXPECT_DOUBLE_EQ(model.axisX, 0);
  EXPECT_DOUBLE_EQ(model.axisY, -1);  // north on top
  EXPECT_EQ(model.started, 1);
  EXPECT_EQ(model.particles[0].x, 0);        // not scattered yet
  const int32_t drawn = RandomInt(1000000);  // nor was any random number drawn
  RandomSeedWith(31);
  EXPECT_EQ(drawn, RandomInt(1000000));
  RandomSeedWith(4);
  ASSERT_TRUE(magnets::Frame());  // now they are scattered, x before y, and moved on
  RandomSeedWith(4);
  const double x0 = RandomInt(799), y0 = RandomInt(599);
  EXPECT_NEAR(std::hypot(model.particles[0].x - x0, model.particles[0].y - y0), 1.28, 1e-9);
}

TEST_F(Magnets, TheLeftButtonAloneMovesNorthAndEveryStateFromTwoUpMovesSouth) {
  const struct {
    int32_t buttons;
    bool north, south;
  } cases[] = {
      {0, false, false}, {1, true, false},  {2, false, true},  {3, false, true},
      {4, false, true},  {8, false, true},  {9, false, true},  {16, false, true},
      {17, false, true}, {10, false, true}, {31, false, true},
  };
  for (const auto& c : cases) {
    SetPoles(100, 100, 200, 200);
    magnets::PlacePoles(c.buttons, 333, 444);
    EXPECT_EQ(model.northX == 333 && model.northY == 444, c.north) << c.buttons;
    EXPECT_EQ(model.southX == 333 && model.southY == 444, c.south) << c.buttons;
    EXPECT_EQ(model.northX, c.north ? 333 : 100) << c.buttons;
    EXPECT_EQ(model.southX, c.south ? 333 : 200) << c.buttons;
  }
  // The north pole taken to column 0 puts both poles back at their defaults a frame later.
  SetPoles(100, 100, 200, 200);
  magnets::PlacePoles(1, 0, 50);
  EXPECT_EQ(model.northX, 0);
  magnets::PlacePoles(0, 0, 50);
  EXPECT_DOUBLE_EQ(model.northX, 599.25);
  EXPECT_DOUBLE_EQ(model.southY, 0.501 * 599);
}

TEST_F(Magnets, TheFieldLeavesNorthForSouthAndAPoleOnThePointAddsNothing) {
  SetPoles(300, 300, 500, 300);
  const struct {
    const char* what;
    double x, y, bx, by;
  } cases[] = {
      {"between the poles", 400, 300, 1.0 / 100 + 1.0 / 100, 0},
      {"beyond north", 200, 300, -1.0 / 100 + 1.0 / 300, 0},
      {"beyond south", 600, 300, 1.0 / 300 - 1.0 / 100, 0},
      {"above the middle", 400, 200, 100.0 / 20000 + 100.0 / 20000, 0},
      {"on the north pole", 300, 300, 1.0 / 200, 0},
      {"on the south pole", 500, 300, 1.0 / 200, 0},
  };
  for (const auto& c : cases) {
    double bx = 9, by = 9;
    magnets::Field(c.x, c.y, bx, by);
    EXPECT_NEAR(bx, c.bx, 1e-12) << c.what;
    EXPECT_NEAR(by, c.by, 1e-12) << c.what;
  }
  SetPoles(400, 300, 400, 300);  // one spot: nothing anywhere
  EXPECT_EQ(model.axisX, 0);
  EXPECT_EQ(model.axisY, 0);
  double bx = 9, by = 9;
  magnets::Field(400, 300, bx, by);
  EXPECT_EQ(bx, 0);
  EXPECT_EQ(by, 0);
}

TEST_F(Magnets, ThePatternsStrokesAreTwiceAsLongOnTheAxisAsBroadside) {
  SetPoles(400, 250, 400, 350);
  EaselClear();
  magnets::DrawPattern();
  // Broadside at (656, 300): 6 pixels straight down, the head grey.
  for (int y = 300; y <= 305; ++y) EXPECT_EQ(PagePixel(0, 656, y), kLightBlueIndex) << y;
  EXPECT_EQ(PagePixel(0, 656, 306), kGreyIndex);
  EXPECT_EQ(PagePixel(0, 656, 307), 0u);
  // On the axis at (400, 556): 12 pixels straight up toward the south pole.
  for (int y = 545; y <= 556; ++y) EXPECT_EQ(PagePixel(0, 400, y), kLightBlueIndex) << y;
  EXPECT_EQ(PagePixel(0, 400, 544), kGreyIndex);
  EXPECT_EQ(PagePixel(0, 400, 543), 0u);
  // 31 circles of 48 strokes; each head is grey unless a later stroke crossed it.
  int heads = 0;
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) heads += PagePixel(0, x, y) == kGreyIndex;
  }
  EXPECT_GT(heads, 400);

  // Both poles on one spot: no field, no strokes, no undefined arithmetic.
  SetPoles(400, 300, 400, 300);
  EaselClear();
  magnets::DrawPattern();
  EXPECT_EQ(easel::test::CountSet(0, 0, 0, 799, 599), 0);
}

TEST_F(Magnets, OnlyParticlesBeyondACornerRestartOnTheBorder) {
  const struct {
    double x, y;
    bool beyond;
  } corners[] = {
      {0, 0, true},      {799, 599, true},  {-5, -5, true},   {900, 700, true},
      {0, 300, false},   {-5, 300, false},  {400, -9, false}, {800, 300, false},
      {400, 700, false}, {799, 598, false}, {NAN, 0, false},
  };
  for (const auto& c : corners) {
    EXPECT_EQ(magnets::BeyondCorner(c.x, c.y), c.beyond) << c.x << "," << c.y;
  }
  const struct {
    double t, x, y;
  } border[] = {
      {0, 0, 0},    {798.5, 798.5, 0},  {799, 0, 599},  {1597.5, 798.5, 599},
      {1598, 0, 0}, {2196.5, 0, 598.5}, {2197, 799, 0}, {2513.604, 799, 316.604},
  };
  for (const auto& b : border) {
    double x = -1, y = -1;
    magnets::BorderPoint(b.t, x, y);
    EXPECT_NEAR(x, b.x, 1e-9) << b.t;
    EXPECT_NEAR(y, b.y, 1e-9) << b.t;
  }

  // In a frame: one draw of 900 picks the place; the particle then steps along the field.
  SetPoles(400, 250, 400, 350);
  for (uint32_t seed : {1u, 2u, 3u}) {
    RandomSeedWith(seed);
    const double t = 2.0 * (799 + 599) * RandomInt(900) / 1000;
    double x, y;
    magnets::BorderPoint(t, x, y);
    RandomSeedWith(seed);
    model.particles[7] = Particle{-30, 650};
    magnets::MoveParticle(7);
    EXPECT_NEAR(std::hypot(model.particles[7].x - x, model.particles[7].y - y), 1.28, 1e-9);
  }
  // Off one edge only: no restart, it keeps following its field line.
  model.particles[7] = Particle{-30, 300};
  magnets::MoveParticle(7);
  EXPECT_NEAR(std::hypot(model.particles[7].x + 30, model.particles[7].y - 300), 1.28, 1e-9);
}

TEST_F(Magnets, ParticlesReachingTheSouthPoleRestartBesideTheNorthPole) {
  SetPoles(400, 250, 400, 350);
  for (uint32_t seed : {5u, 6u, 7u, 8u}) {
    RandomSeedWith(seed);
    const double phi = RandomInt(900) * 2 * std::numbers::pi / 1000;
    ASSERT_LT(phi, 0.9 * 2 * std::numbers::pi);
    RandomSeedWith(seed);
    model.particles[3] = Particle{410, 345};  // within 16 pixels of the south pole
    magnets::MoveParticle(3);
    const double x = 400 + 16 * std::cos(phi), y = 250 + 16 * std::sin(phi);
    EXPECT_NEAR(std::hypot(model.particles[3].x - x, model.particles[3].y - y), 1.28, 1e-9);
  }
  // 16 pixels away is not yet captured.
  model.particles[3] = Particle{400, 334};
  magnets::MoveParticle(3);
  EXPECT_NEAR(model.particles[3].y, 335.28, 1e-9);

  // Beyond a corner and captured in the same frame (a south pole out there): both restarts
  // happen, one draw each, and the north pole's ring wins.
  SetPoles(400, 250, -5, -5);
  RandomSeedWith(9);
  RandomInt(900);
  const double phi = RandomInt(900) * 2 * std::numbers::pi / 1000;
  const int32_t next = RandomInt(1000000);
  RandomSeedWith(9);
  model.particles[3] = Particle{-4, -4};
  magnets::MoveParticle(3);
  EXPECT_NEAR(std::hypot(model.particles[3].x - 400 - 16 * std::cos(phi),
                         model.particles[3].y - 250 - 16 * std::sin(phi)),
              1.28, 1e-9);
  EXPECT_EQ(RandomInt(1000000), next);
}

TEST_F(Magnets, EachParticleIsASixteenPixelStrokeInItsOwnPaletteColour) {
  SetPoles(200, 100, 200, 500);
  const struct {
    int i;
    uint32_t colour;
  } cases[] = {{0, 1}, {1, 2}, {253, 254}, {254, 255}, {255, 1}, {1000, 236}};
  for (const auto& c : cases) {
    EaselClear();
    model.particles[c.i] = Particle{400, 300};  // broadside: the field runs straight down
    magnets::MoveParticle(c.i);
    for (int y = 292; y <= 308; ++y) EXPECT_EQ(PagePixel(0, 400, y), c.colour) << c.i << "@" << y;
    EXPECT_EQ(PagePixel(0, 400, 291), 0u);
    EXPECT_EQ(PagePixel(0, 400, 309), 0u);
    EXPECT_DOUBLE_EQ(model.particles[c.i].x, 400);
    EXPECT_NEAR(model.particles[c.i].y, 301.28, 1e-12);
  }
  // With both poles on one spot the field vanishes: the particle stays, its stroke a dot.
  SetPoles(300, 300, 300, 300);
  EaselClear();
  model.particles[5] = Particle{500, 320};
  magnets::MoveParticle(5);
  EXPECT_EQ(model.particles[5].x, 500);
  EXPECT_EQ(model.particles[5].y, 320);
  EXPECT_EQ(PagePixel(0, 500, 320), 6u);
  EXPECT_EQ(easel::test::CountSet(0, 0, 0, 799, 599), 1);
  // Exactly on the north pole: only the south pole pulls.
  SetPoles(300, 300, 300, 400);
  model.particles[5] = Particle{300, 300};
  magnets::MoveParticle(5);
  EXPECT_DOUBLE_EQ(model.particles[5].x, 300);
  EXPECT_NEAR(model.particles[5].y, 301.28, 1e-12);
}

TEST_F(Magnets, FramesAreShownAsSoonAsDrawnWithLabelsAndAPause) {
  easel::Stats& stats = easel::GetStats();
  ASSERT_TRUE(magnets::Frame());  // the pattern, onto page 0, which is then cleared
  EXPECT_EQ(easel::test::CountSet(0, 0, 0, 799, 599), 0);
  stats.Reset();
  stats.enabled = true;
  ASSERT_TRUE(magnets::Frame());  // particles, drawn into page 0 and shown
  stats.enabled = false;
  EXPECT_GE(stats.sleepNs.load(), 4'000'000u);
  easel::headless::Sync();
  EXPECT_EQ(easel::test::CountSet(1, 0, 0, 799, 599), 0);  // cleared for the next frame
  int white = 0, coloured = 0;
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      const uint32_t c = easel::headless::ScreenPixel(x, y);
      white += c == 0xFCFCFC && x > 580 && x < 610 && y > 270 && y < 305;
      coloured += c != 0;
    }
  }
  EXPECT_GT(white, 10);  // "N" and "S" at the magnet
  EXPECT_GT(coloured, 1001 * 8);
}

TEST_F(Magnets, OnlyEscapeEndsNotTheCloseBox) {
  const struct {
    const char* what;
    easel::MsgKind kind;
    int code, vk;
    bool runs;
  } cases[] = {
      {"the close box", easel::MsgKind::kCloseRequest, 0, 0, true},
      {"a letter", easel::MsgKind::kChar, 'x', 0, true},
      {"an arrow key", easel::MsgKind::kKeyDown, 0, EaselVkDown, true},
      {"Escape", easel::MsgKind::kChar, 27, 0, false},
  };
  for (const auto& c : cases) {
    Key(c.kind, c.code, c.vk);
    EXPECT_EQ(magnets::Frame(), c.runs) << c.what;
    EXPECT_FALSE(EaselKeyHit()) << c.what;  // a special key's two codes both consumed
  }
}

TEST_F(Magnets, HostileInputNeverBreaksTheModel) {
  // Wheel events carry screen coordinates: poles can be put anywhere in 16 bits, on top of
  // each other, on particles.
  const int positions[] = {0, 1, 399, 799, 800, 32767, 32768, 65535, -1, 70000};
  for (int buttons = 0; buttons < 8; ++buttons) {
    for (int mods = 0; mods < 8; ++mods) {
      const int p = positions[(buttons * 8 + mods) % 10];
      const int q = positions[(buttons * 3 + mods * 7) % 10];
      Mouse(easel::MsgKind::kMouseWheel, p, q, buttons, mods);
      ASSERT_TRUE(magnets::Frame());
      Mouse(easel::MsgKind::kMouseMove, (p & 0xFFFF) % 800, (q & 0xFFFF) % 600, buttons, mods);
      ASSERT_TRUE(magnets::Frame());
    }
  }
  for (const Particle& p : model.particles) ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
  ASSERT_TRUE(std::isfinite(model.scale));
  for (int k = 0; k < 200; ++k) {
    easel::Message m;
    m.kind = k % 2 ? easel::MsgKind::kChar : easel::MsgKind::kKeyDown;
    m.code = 32 + k % 200;  // no Escape among them
    // Every key but PrintScreen, which would save a screenshot into the working directory.
    m.vk = k % 256 == EaselVkSnapshot ? 'A' : k % 256;
    m.mods = k % 8;
    easel::headless::Inject(m);
  }
  easel::headless::Sync();
  for (int frame = 0; frame < 40; ++frame) ASSERT_TRUE(magnets::Frame());
  Key(easel::MsgKind::kChar, 27);
  EXPECT_FALSE(magnets::Frame());
}

}  // namespace
