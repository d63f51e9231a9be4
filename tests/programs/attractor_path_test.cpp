// attractor_path: the start field, the wall and particle rules, the descent step, the fast
// gradient against the plain sum, keys, drawing and input that must not break it.
#include "attractor_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../unit/test_support.h"
#include "backend/headless/headless.h"
#include "common/random.h"
#include "easel/easel.h"

namespace {

using attractor_path::Bump;
using attractor_path::Gradient;
using attractor_path::model;
using attractor_path::Summation;

constexpr uint32_t kRedIndex = 40, kWhiteIndex = 15, kLightBlueIndex = 102, kMagentaIndex = 36;

class AttractorPath : public ::testing::Test {
 protected:
  void SetUp() override {
    easel::headless::SetDesktop(1280, 1024, 24);
    attractor_path::summation = Summation::kSkipNegligible;
    attractor_path::Start();
    ASSERT_EQ(EaselResult(), 0);
    // The last mouse event outlives a window: start every test from the state of a fresh
    // process, the pointer at (0, 0) with no button.
    Mouse(easel::MsgKind::kMouseMove, 0, 0, 0);
  }
  void TearDown() override {
    attractor_path::End();
    attractor_path::summation = Summation::kSkipNegligible;
  }

  // An empty field: the attractor at (x, y), no walls, no particles.
  static void Clear(double x, double y) {
    model.attractors[0] = Bump{x, y, attractor_path::kAttractorSteepness, 1};
    model.wallCount = 0;
    model.particleCount = 0;
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

  static void Char(int code) {
    easel::Message m;
    m.kind = easel::MsgKind::kChar;
    m.code = code;
    easel::headless::Inject(m);
    easel::headless::Sync();
  }

  static void KeyDown(int vk) {
    easel::Message m;
    m.kind = easel::MsgKind::kKeyDown;
    m.vk = vk;
    easel::headless::Inject(m);
    easel::headless::Sync();
  }

  static void ExpectAllFinite() {
    for (int i = 0; i < model.particleCount; ++i) {
      ASSERT_TRUE(std::isfinite(model.particles[i].x) && std::isfinite(model.particles[i].y))
          << "particle " << i;
    }
  }
};

// A cheap fingerprint of a whole page.
uint64_t PageChecksum(int page) {
  easel::Library& lib = easel::Lib();
  std::lock_guard lock(lib.graphicsLock);
  uint64_t h = 1469598103934665603ull;
  for (uint8_t v : lib.pages8[page]) h = (h ^ v) * 1099511628211ull;
  return h;
}

// Particle j's descent step on the plain sum.
void Descend(int j) {
  Bump& p = model.particles[j];
  attractor_path::StepDownhill(p, attractor_path::FieldGradient(p.x, p.y));
}

bool SameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameBump(const Bump& a, const Bump& b) {
  return SameBits(a.x, b.x) && SameBits(a.y, b.y) && SameBits(a.steepness, b.steepness) &&
         SameBits(a.height, b.height);
}

// Two model states alike in every counted entry, bit for bit.
void ExpectSameModel(const attractor_path::Model& a, const attractor_path::Model& b) {
  ASSERT_EQ(a.attractorCount, b.attractorCount);
  ASSERT_EQ(a.wallCount, b.wallCount);
  ASSERT_EQ(a.particleCount, b.particleCount);
  EXPECT_EQ(a.page, b.page);
  EXPECT_STREQ(a.label, b.label);
  for (int i = 0; i < a.attractorCount; ++i)
    EXPECT_TRUE(SameBump(a.attractors[i], b.attractors[i]));
  for (int i = 0; i < a.wallCount; ++i) EXPECT_TRUE(SameBump(a.walls[i], b.walls[i])) << i;
  for (int i = 0; i < a.particleCount; ++i) {
    EXPECT_TRUE(SameBump(a.particles[i], b.particles[i]))
        << "particle " << i << ": " << a.particles[i].x << "," << a.particles[i].y << " vs "
        << b.particles[i].x << "," << b.particles[i].y;
  }
}

TEST_F(AttractorPath, StartBuildsTheAttractorTheWallsAndTheClump) {
  EXPECT_EQ(easel::headless::Window().title, "CALEA CEA MAI SCURTA CATRE ATRACTOR");
  ASSERT_EQ(model.attractorCount, 1);
  EXPECT_EQ(model.attractors[0].x, 399.5);
  EXPECT_EQ(model.attractors[0].y, 299.5);
  EXPECT_EQ(model.attractors[0].steepness, 1e-5);
  EXPECT_EQ(model.attractors[0].height, 1);

  ASSERT_EQ(model.wallCount, 237);
  const double a = 1 / 56.25;
  int w = 0;
  for (int i = 1; i <= 39; ++i) {  // bottom, then top, at x = 20, 40, ..., 780
    EXPECT_EQ(model.walls[w].x, 20.0 * i);
    EXPECT_EQ(model.walls[w++].y, 599 - a);
    EXPECT_EQ(model.walls[w].x, 20.0 * i);
    EXPECT_EQ(model.walls[w++].y, a);
  }
  for (int i = 1; i <= 29; ++i) {  // left, then right, at y = 20, 40, ..., 580
    EXPECT_EQ(model.walls[w].x, a);
    EXPECT_EQ(model.walls[w++].y, 20.0 * i);
    EXPECT_EQ(model.walls[w].x, 799 - a);
    EXPECT_EQ(model.walls[w++].y, 20.0 * i);
  }
  ASSERT_EQ(w, 136);
  for (int i = 0; i < 237; ++i) {
    EXPECT_EQ(model.walls[i].steepness, a) << i;
    EXPECT_EQ(model.walls[i].height, i < 136 ? 15 : 2) << i;
  }
  for (int i = 136; i < 237; ++i) {
    const Bump& b = model.walls[i];
    EXPECT_TRUE(b.x == std::floor(b.x) && b.x >= 0 && b.x <= 783) << i << ": " << b.x;
    EXPECT_TRUE(b.y == std::floor(b.y) && b.y >= 0 && b.y <= 598) << i << ": " << b.y;
  }

  ASSERT_EQ(model.particleCount, 10);
  for (int i = 0; i < 10; ++i) {
    const Bump& p = model.particles[i];
    EXPECT_EQ(p.steepness, 0.01);
    EXPECT_EQ(p.height, 20);
    EXPECT_TRUE(p.x - 0.5 == std::floor(p.x) && p.x >= 399.5 && p.x <= 403.5) << p.x;
    EXPECT_TRUE(p.y - 0.5 == std::floor(p.y) && p.y >= 299.5 && p.y <= 303.5) << p.y;
  }
}

TEST_F(AttractorPath, StartDrawsScatteredWallsThenParticlesFromTheTickSeed) {
  // The generator is seeded from the tick count at start; one tick between before and after
  // must replay every draw in order: x then y for each wall, then x then y for each particle.
  attractor_path::End();
  const uint32_t before = EaselTickCount();
  attractor_path::Start();
  const uint32_t after = EaselTickCount();
  int matches = 0;
  for (uint32_t tick = before; tick <= after; ++tick) {
    RandomSeedWith(tick);
    bool same = true;
    for (int i = 136; i < 237 && same; ++i) {
      const double x = RandomInt(784), y = RandomInt(599);
      same = model.walls[i].x == x && model.walls[i].y == y;
    }
    for (int i = 0; i < 10 && same; ++i) {
      const double x = 399.5 + RandomInt(5), y = 299.5 + RandomInt(5);
      same = model.particles[i].x == x && model.particles[i].y == y;
    }
    matches += same;
  }
  EXPECT_EQ(matches, 1) << "ticks " << before << ".." << after;
}

TEST_F(AttractorPath, TheFirstFrameDrawsEverythingAndShowsItOneFrameLater) {
  ASSERT_TRUE(attractor_path::Frame());  // draws page 0, shows page 1 (blank)
  easel::headless::Sync();
  for (int x = 0; x < 800; x += 7) ASSERT_EQ(easel::headless::ScreenPixel(x, 300), 0u);
  EXPECT_EQ(std::string(model.label), "  Ziduri=237 ; Particule=10");

  // Edge walls: red rings of radius 15, e.g. around (20, 0) and (780, 599) and (0, 300).
  EXPECT_EQ(easel::test::PagePixel(0, 20, 15), kRedIndex);
  EXPECT_EQ(easel::test::PagePixel(0, 765, 599), kRedIndex);
  EXPECT_EQ(easel::test::PagePixel(0, 15, 300), kRedIndex);
  // The attractor: a white dot of radius 1 inside a light blue ring of radius 25, around
  // (400, 300) (399.5 and 299.5 round to even). The particles lie within 22 pixels of it.
  int ring = 0;
  for (int y = 270; y <= 330; ++y) {
    for (int x = 370; x <= 430; ++x) {
      const double d = std::hypot(x - 400, y - 300);
      ring += d > 23 && d < 27 && easel::test::PagePixel(0, x, y) == kLightBlueIndex;
    }
  }
  EXPECT_GT(ring, 100);  // most of a circle 2 * 25 + 1 pixels across
  EXPECT_EQ(easel::test::PagePixel(0, 400, 299), kWhiteIndex);
  EXPECT_GT(easel::test::CountSet(0, 375, 275, 425, 325), 100);
  // The label at the pointer, (0, 0) before any mouse event, in magenta.
  int magenta = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 250; ++x) magenta += easel::test::PagePixel(0, x, y) == kMagentaIndex;
  EXPECT_GT(magenta, 60);

  ASSERT_TRUE(attractor_path::Frame());  // shows page 0
  easel::headless::Sync();
  EXPECT_EQ(easel::headless::ScreenPixel(765, 599), 0xFC0000u);
}

TEST_F(AttractorPath, WallRulesMeasureFromTheAttractorAndFromWallCentres) {
  Clear(100, 100);
  model.walls[0] = Bump{300, 300, attractor_path::kWallSteepness, 2};
  model.wallCount = 1;
  const struct {
    double x, y;
    bool added;
  } cases[] = {
      {130, 100, false},  // exactly 30 from the attractor
      {118, 124, false},  // 18, 24: exactly 30
      {100, 100, false},     {130.5, 100, true},
      {119, 124, true},      {300, 300, false},  // on a wall
      {307, 300, false},                         // 7 from it
      {307.5, 300, true},                        // exactly 7.5 does not block
      {304.5, 306, true},                        // 4.5, 6: exactly 7.5
      {304.5, 305.9, false}, {std::nextafter(307.5, 0.0), 300, false},
  };
  for (const auto& c : cases) {
    model.wallCount = 1;
    EXPECT_EQ(attractor_path::TryAddWall(c.x, c.y), c.added) << c.x << "," << c.y;
    ASSERT_EQ(model.wallCount, c.added ? 2 : 1);
    if (c.added) {
      const Bump& w = model.walls[1];
      EXPECT_TRUE(w.x == c.x && w.y == c.y && w.height == 5 && w.steepness == 1 / 56.25);
    }
  }
  // Any earlier wall blocks, not only the first.
  model.wallCount = 1;
  ASSERT_TRUE(attractor_path::TryAddWall(500, 500));
  EXPECT_FALSE(attractor_path::TryAddWall(505, 500));
}

TEST_F(AttractorPath, TablesStopAtTheirLimits) {
  Clear(-1000, -1000);
  for (int i = 0; i < 3000; ++i) {
    ASSERT_TRUE(attractor_path::TryAddWall(10.0 * (i % 60), 10.0 * (i / 60))) << i;
  }
  EXPECT_FALSE(attractor_path::TryAddWall(5000, 5000));
  EXPECT_EQ(model.wallCount, 3000);
  for (int i = 0; i < 150; ++i) ASSERT_TRUE(attractor_path::TryAddParticle(7, 8));
  EXPECT_FALSE(attractor_path::TryAddParticle(7, 8));
  EXPECT_EQ(model.particleCount, 150);
  const Bump& p = model.particles[149];
  EXPECT_TRUE(p.x == 7 && p.y == 8 && p.steepness == 0.0064 && p.height == 25);
}

TEST_F(AttractorPath, OnlyALoneButtonAddsAndAHeldButtonKeepsActing) {
  // Every combination of the three buttons, Shift and Ctrl, held at a free spot for 2 frames.
  for (int buttons = 0; buttons < 8; ++buttons) {
    for (int mods = 0; mods < 4; ++mods) {
      Clear(100, 100);
      Mouse(easel::MsgKind::kMouseMove, 500, 400, buttons, mods);
      attractor_path::Frame();
      attractor_path::Frame();
      const int state = EaselMouseButtons();
      SCOPED_TRACE("buttons " + std::to_string(state));
      // The left button alone: one wall, and the next frame is blocked by it.
      EXPECT_EQ(model.wallCount, state == 1 ? 1 : 0);
      // The right button alone: one particle a frame, all on the same point at first.
      EXPECT_EQ(model.particleCount, state == 2 ? 2 : 0);
    }
  }
  // A drag leaves walls wherever the pointer is at least 7.5 from every wall.
  Clear(100, 100);
  for (int x = 300; x <= 340; x += 2) {
    Mouse(easel::MsgKind::kMouseMove, x, 400, easel::kMouseLeft);
    attractor_path::Frame();
  }
  ASSERT_EQ(model.wallCount, 6);  // 300, 308, 316, 324, 332, 340
  for (int i = 0; i < 6; ++i) EXPECT_EQ(model.walls[i].x, 300 + 8 * i);
}

TEST_F(AttractorPath, DescentStepsOnePixelAlongTheSteeperAxis) {
  const struct {
    double px, py;  // particle, with only the attractor at (400, 300)
    double mx, my;  // its move
  } cases[] = {
      {300, 300, 1, 0},     {400, 250, 0, 1},     {430, 340, -0.75, -1},
      {360, 330, 1, -0.75}, {400.005, 300, 0, 0},  // slope below the dead band: stays
      {400, 300, 0, 0},                            // on the attractor: no slope at all
      {30000, 300, 0, 0},  // so far that the well's exponential is exactly 0
  };
  for (const auto& c : cases) {
    Clear(400, 300);
    model.particles[0] = Bump{c.px, c.py, 0.01, 20};
    model.particleCount = 1;
    Descend(0);
    EXPECT_DOUBLE_EQ(model.particles[0].x, c.px + c.mx) << c.px << "," << c.py;
    EXPECT_DOUBLE_EQ(model.particles[0].y, c.py + c.my) << c.px << "," << c.py;
  }
  // Just outside the dead band it moves the full pixel, however gentle the slope.
  Clear(400, 300);
  model.particles[0] = Bump{400.02, 300, 0.01, 20};
  model.particleCount = 1;
  const Gradient g = attractor_path::FieldGradient(400.02, 300);
  ASSERT_GT(g.x, 1e-7);
  ASSERT_LT(g.x, 1e-6);
  Descend(0);
  EXPECT_DOUBLE_EQ(model.particles[0].x, 399.02);
}

TEST_F(AttractorPath, HillsPushAndTheSweepUpdatesInPlace) {
  // A wall just right of a particle pushes it left, against the attractor's pull.
  Clear(600, 300);
  model.walls[0] = Bump{310, 300, attractor_path::kWallSteepness, 15};
  model.wallCount = 1;
  model.particles[0] = Bump{300, 300, 0.01, 20};
  model.particleCount = 1;
  Descend(0);
  EXPECT_EQ(model.particles[0].x, 299);

  // Two particles on one spot: the first sees the second's hill flat (distance 0) and follows
  // the attractor; the second then sees the first at its new place and is pushed away from it.
  // A simultaneous update would have moved both the same way.
  Clear(400, 300);
  model.particles[0] = Bump{300, 300, 0.0064, 25};
  model.particles[1] = Bump{300, 300, 0.0064, 25};
  model.particleCount = 2;
  Descend(0);
  Descend(1);
  EXPECT_EQ(model.particles[0].x, 301);
  EXPECT_EQ(model.particles[1].x, 299);
  EXPECT_EQ(model.particles[0].y, 300);
  EXPECT_EQ(model.particles[1].y, 300);
}

TEST_F(AttractorPath, TheStartClumpSpreadsIntoALooseClusterAroundTheAttractor) {
  for (int frame = 0; frame < 300; ++frame) ASSERT_TRUE(attractor_path::Frame());
  ExpectAllFinite();
  double nearest = 1e9;
  for (int i = 0; i < 10; ++i) {
    const Bump& p = model.particles[i];
    EXPECT_LT(std::hypot(p.x - 399.5, p.y - 299.5), 150) << i;
    for (int j = 0; j < i; ++j) {
      nearest =
          std::min(nearest, std::hypot(p.x - model.particles[j].x, p.y - model.particles[j].y));
    }
  }
  EXPECT_GT(nearest, 10);
}

// A field at the limits: 3000 walls (edge rows, random strokes, dense blocks) and 150
// particles, some coinciding, some on the attractor's axes.
void FillToTheLimits(uint32_t seed) {
  RandomSeedWith(seed);
  Bump& attractor = model.attractors[0];
  attractor = Bump{399.5, 299.5, 1e-5, 1};
  model.wallCount = 237;  // keep the start walls
  while (model.wallCount < 2950) {
    const double x = RandomInt(800), y = RandomInt(600);
    if (y < 480 || y > 520) attractor_path::TryAddWall(x, y);  // a free band for a stroke
  }
  model.particleCount = 0;
  while (model.particleCount < 140) {
    const int kind = RandomInt(4);
    const double x = kind == 0 ? 399.5 : RandomInt(700) + 50 + RandomReal();
    const double y = kind == 1 ? 299.5 : RandomInt(500) + 50 + RandomReal();
    attractor_path::TryAddParticle(x, y);
    if (kind == 2) attractor_path::TryAddParticle(x, y);
  }
}

TEST_F(AttractorPath, FastGradientEqualsThePlainSumBitForBit) {
  for (uint32_t seed : {1u, 2u}) {
    FillToTheLimits(seed);
    int probes = 0;
    auto check = [&](double x, double y) {
      const Gradient slow = attractor_path::FieldGradient(x, y);
      const Gradient fast = attractor_path::FastFieldGradient(x, y);
      ++probes;
      ASSERT_TRUE(SameBits(slow.x, fast.x) && SameBits(slow.y, fast.y))
          << "at " << x << "," << y << ": " << slow.x << " vs " << fast.x << ", " << slow.y
          << " vs " << fast.y;
    };
    for (int i = 0; i < model.particleCount; ++i) check(model.particles[i].x, model.particles[i].y);
    for (int i = 0; i < 400; ++i) check(RandomInt(900) - 50 + RandomReal(), RandomInt(700) - 50);
    for (int i = 0; i < 50; ++i) check(399.5, RandomInt(600));  // no pull along x
    // Walls far outside the window share the border cells with the walls at the edges.
    const double far[][2] = {{2000, 300}, {65535, 65535}, {810, 610}, {3000, 40}};
    for (const auto& w : far) ASSERT_TRUE(attractor_path::TryAddWall(w[0], w[1]));
    for (const auto& w : far) {
      for (int i = 0; i < 20; ++i) check(w[0] + RandomInt(200) - 100, w[1] + RandomInt(200) - 100);
    }
    EXPECT_EQ(probes, model.particleCount + 450 + 80);
  }
}

TEST_F(AttractorPath, FastGradientKeepsFarTermsWhereTheSumIsTiny) {
  // On the attractor's vertical axis its pull has no x part, so the x sum is made only of
  // far hills: one wall 90 pixels to the right gives a minute but nonzero push that the fast
  // sum must not lose.
  Clear(400, 300);
  model.walls[0] = Bump{490, 350, attractor_path::kWallSteepness, 15};
  model.wallCount = 1;
  const Gradient slow = attractor_path::FieldGradient(400, 350);
  const Gradient fast = attractor_path::FastFieldGradient(400, 350);
  ASSERT_NE(slow.x, 0);
  EXPECT_LT(std::fabs(slow.x), 1e-25);
  EXPECT_TRUE(SameBits(slow.x, fast.x));
  EXPECT_TRUE(SameBits(slow.y, fast.y));
}

TEST_F(AttractorPath, FramesAtTheLimitsAreTheSameWithEitherSum) {
  // The same field and the same input, once summing every term and once skipping the far
  // ones: every page drawn and the final model must be identical.
  FillToTheLimits(3);
  auto start = std::make_unique<attractor_path::Model>(model);
  struct Run {
    std::vector<uint64_t> pages;
    std::unique_ptr<attractor_path::Model> end;
  };
  auto run = [&](Summation summation) {
    attractor_path::summation = summation;
    model = *start;
    Mouse(easel::MsgKind::kMouseMove, 0, 0, 0);  // the last event outlives a window
    Run r;
    for (int frame = 0; frame < 24; ++frame) {
      // Walls drawn along a stroke, particles dropped, the attractor moved: the same input
      // at the same frames in both runs.
      if (frame == 2) Mouse(easel::MsgKind::kMouseDown, 120, 500, easel::kMouseLeft);
      if (frame > 2 && frame < 12) Mouse(easel::MsgKind::kMouseMove, 120 + 9 * frame, 500, 1);
      if (frame == 12) Mouse(easel::MsgKind::kMouseDown, 650, 120, easel::kMouseRight);
      if (frame == 18) {
        Mouse(easel::MsgKind::kMouseUp, 600, 450, 0);
        Char('a');
      }
      const int drawn = model.page;
      EXPECT_TRUE(attractor_path::Frame());
      r.pages.push_back(PageChecksum(drawn));
    }
    Mouse(easel::MsgKind::kMouseUp, 0, 0, 0);
    r.end = std::make_unique<attractor_path::Model>(model);
    return r;
  };
  const Run plain = run(Summation::kEveryTerm);
  const Run fast = run(Summation::kSkipNegligible);
  EXPECT_EQ(plain.pages, fast.pages);
  ExpectSameModel(*plain.end, *fast.end);
  // The input did reach the model: a stroke of walls, six particles, the attractor moved.
  EXPECT_GT(plain.end->wallCount, start->wallCount);
  EXPECT_EQ(plain.end->particleCount, start->particleCount + 6);
  EXPECT_EQ(plain.end->attractors[0].x, 600);
  EXPECT_EQ(plain.end->attractors[0].y, 450);
}

TEST(AttractorPathLabel, CountsWithoutPadding) {
  const struct {
    int32_t walls, particles;
    const char* text;
  } cases[] = {
      {237, 10, "  Ziduri=237 ; Particule=10"},
      {0, 0, "  Ziduri=0 ; Particule=0"},
      {3000, 150, "  Ziduri=3000 ; Particule=150"},
  };
  for (const auto& c : cases) {
    model.wallCount = c.walls;
    model.particleCount = c.particles;
    attractor_path::BuildLabel();
    EXPECT_STREQ(model.label, c.text);
  }
}

TEST_F(AttractorPath, TheLabelFollowsThePointer) {
  Mouse(easel::MsgKind::kMouseMove, 500, 400, 0);
  const int drawn = model.page;
  attractor_path::Frame();
  int near = 0, corner = 0;
  for (int y = 400; y < 420; ++y)
    for (int x = 500; x < 750; ++x) near += easel::test::PagePixel(drawn, x, y) == kMagentaIndex;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 250; ++x) corner += easel::test::PagePixel(drawn, x, y) == kMagentaIndex;
  EXPECT_GT(near, 60);
  EXPECT_EQ(corner, 0);
}

TEST_F(AttractorPath, KeysMoveTheAttractorOrEndOnlyOnEscape) {
  Mouse(easel::MsgKind::kMouseMove, 650, 120, 0);
  const struct {
    int code;  // a character, or -vk for a special key
    bool running;
    double ax, ay;  // the attractor afterwards
  } cases[] = {
      {'A', true, 399.5, 299.5},  // upper case does nothing
      {' ', true, 399.5, 299.5},
      {-EaselVkUp, true, 399.5, 299.5},  // 0, 72: both codes go in one frame
      {'a', true, 650, 120},
      {27, false, 650, 120},
  };
  for (const auto& c : cases) {
    if (c.code < 0) {
      KeyDown(-c.code);
    } else {
      Char(c.code);
    }
    EXPECT_EQ(attractor_path::Frame(), c.running) << c.code;
    EXPECT_FALSE(EaselKeyHit()) << c.code;
    EXPECT_EQ(model.attractors[0].x, c.ax) << c.code;
    EXPECT_EQ(model.attractors[0].y, c.ay) << c.code;
  }
  // The close box queues 0, 107: ignored like any other key.
  easel::Message close;
  close.kind = easel::MsgKind::kCloseRequest;
  easel::headless::Inject(close);
  easel::headless::Sync();
  EXPECT_TRUE(attractor_path::Frame());
  EXPECT_FALSE(EaselKeyHit());
}

TEST_F(AttractorPath, HostileInputNeverBreaksTheModel) {
  // Wheel events carry screen coordinates, so the pointer can be anywhere in 16 bits: walls,
  // particles and the attractor land far outside the window, and the label with them.
  const int positions[] = {0, 1, 399, 799, 800, 32767, 32768, 65535, -1, 70000};
  for (int buttons = 0; buttons < 8; ++buttons) {
    for (int mods = 0; mods < 4; ++mods) {
      const int p = positions[(buttons * 4 + mods) % 10];
      const int q = positions[(buttons * 3 + mods * 7) % 10];
      Mouse(easel::MsgKind::kMouseWheel, p, q, buttons, mods);
      if ((buttons + mods) % 3 == 0) Char('a');
      ASSERT_TRUE(attractor_path::Frame());
      ExpectAllFinite();
    }
  }
  for (int i = 0; i < 150; ++i) {
    Mouse(easel::MsgKind::kMouseWheel, positions[i % 10], positions[(i * 7) % 10], 2, 0);
    ASSERT_TRUE(attractor_path::Frame());
  }
  EXPECT_EQ(model.particleCount, 150);
  ExpectAllFinite();
  // A flood of keys: the queue keeps the last 31 codes; one key a frame until Escape.
  for (int k = 0; k < 200; ++k) {
    easel::Message m;
    m.kind = k % 2 ? easel::MsgKind::kChar : easel::MsgKind::kKeyDown;
    m.code = k % 256 == 27 ? 'x' : k % 256;
    m.vk = k % 256 == EaselVkSnapshot ? 'Q' : k % 256;  // Print Screen saves a picture file
    m.mods = k % 8;
    easel::headless::Inject(m);
  }
  easel::headless::Sync();
  int frames = 0;
  while (EaselKeyHit() && frames < 40) {
    attractor_path::Frame();
    ++frames;
  }
  EXPECT_LE(frames, 31);
  ExpectAllFinite();
}

}  // namespace
