// binarystars: the random start, Newton's pull, the integration order, the star pair's orbit,
// thick rings on flipping pages, coincident bodies and ending.
#include "binarystars.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "../unit/test_support.h"
#include "common/random.h"

namespace {

using binarystars::Body;
using binarystars::model;
using easel::test::PagePixel;

constexpr int kYellow = 253;

class Binarystars : public ::testing::Test {
 protected:
  void SetUp() override {
    easel::headless::SetDesktop(1280, 1024, 24);
    binarystars::Start();
    ASSERT_EQ(EaselResult(), 0);
  }
  void TearDown() override { binarystars::End(); }

  // Planets far out of the way (a billion pixels apart), at rest.
  static void SendPlanetsAway() {
    for (int i = binarystars::kStars; i < binarystars::kBodies; ++i) {
      Body& p = model.bodies[i];
      p.x = 1e9 * i;
      p.y = -1e9 * i;
      p.vx = p.vy = 0;
    }
  }
  static bool AllFinite() {
    return std::all_of(std::begin(model.bodies), std::end(model.bodies), [](const Body& b) {
      return std::isfinite(b.x) && std::isfinite(b.y) && std::isfinite(b.vx) && std::isfinite(b.vy);
    });
  }
};

TEST_F(Binarystars, Opens640By480WithTheStarsAndTwentyRandomPlanets) {
  EXPECT_EQ(easel::headless::Window().title, "FIZICA SISTEMELOR SOLARE BINARE");
  EXPECT_EQ(EaselMaxX(), 639);
  EXPECT_EQ(EaselMaxY(), 479);
  const Body& a = model.bodies[0];
  const Body& b = model.bodies[1];
  EXPECT_EQ(a.mass, 2872550111222.0);
  EXPECT_EQ(b.mass, a.mass);
  EXPECT_EQ(a.x, 320);
  EXPECT_EQ(a.y, 240);
  EXPECT_EQ(a.vx, 2);
  EXPECT_EQ(a.vy, 0);
  EXPECT_EQ(b.x, 320);
  EXPECT_EQ(b.y, 200);
  EXPECT_EQ(b.vx, -2);
  EXPECT_EQ(a.colour, EaselColors[kYellow]);
  EXPECT_EQ(b.colour, EaselColors[kYellow]);
  for (int i = binarystars::kStars; i < binarystars::kBodies; ++i) {
    const Body& p = model.bodies[i];
    EXPECT_EQ(p.x, std::floor(p.x));
    EXPECT_GE(p.x, 0);
    EXPECT_LE(p.x, 638);
    EXPECT_GE(p.y, 0);
    EXPECT_LE(p.y, 478);
    EXPECT_EQ(std::fmod(p.mass - 100000, 9000), 0);
    EXPECT_GE(p.mass, 100000);
    EXPECT_LE(p.mass, 991000);
    for (double v : {p.vx, p.vy}) {
      EXPECT_GE(v, -0.99);
      EXPECT_LE(v, 1);
    }
    EXPECT_GE(p.colour, 1u);
    EXPECT_LE(p.colour, 12u);
  }
}

TEST_F(Binarystars, PlanetsDrawXYMassVxVyColourInThatOrder) {
  RandomSeedWith(11);
  binarystars::ScatterPlanets();
  RandomSeedWith(11);
  for (int i = binarystars::kStars; i < binarystars::kBodies; ++i) {
    const Body& p = model.bodies[i];
    EXPECT_EQ(p.x, RandomInt(639));
    EXPECT_EQ(p.y, RandomInt(479));
    EXPECT_EQ(p.mass, 100000 + 9000 * RandomInt(100));
    EXPECT_EQ(p.vx, 1 - RandomInt(200) / 100.0);
    EXPECT_EQ(p.vy, 1 - RandomInt(200) / 100.0);
    EXPECT_EQ(p.colour, static_cast<uint32_t>(RandomInt(12) + 1));
  }
}

TEST_F(Binarystars, PullIsNewtonsLawAlongTheLineBetweenTheBodies) {
  const double G = 6.672e-11, star = binarystars::kStarMass, planet = 991000;
  const struct {
    const char* name;
    double mass, otherMass, dx, dy;
  } cases[] = {
      {"planet pulled by a star, 3-4-5", planet, star, 3, 4},
      {"star pulled by a planet", star, planet, -40, 0},
      {"star pulled by the other star", star, star, 0, -40},
      {"planet pulled by a planet far off", 100000, planet, 300, -400},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Body a{c.mass, 100, 100, 0, 0, 1};
    const Body b{c.otherMass, 100 + c.dx, 100 + c.dy, 0, 0, 1};
    binarystars::Pull(a, b);
    const double d = std::hypot(c.dx, c.dy), dv = G * c.otherMass / (d * d);
    EXPECT_NEAR(a.vx, dv * c.dx / d, 1e-12 * dv);
    EXPECT_NEAR(a.vy, dv * c.dy / d, 1e-12 * dv);
    EXPECT_EQ(a.x, 100);  // only the velocity changes
  }
  // The stars' combined G * mass is about 383.3; a planet pulls at most 3.5e-7 as hard.
  EXPECT_NEAR(G * 2 * star, 383.3, 0.05);
  EXPECT_LT(planet / star, 3.5e-7);
}

TEST_F(Binarystars, VelocitiesComeFromLastFramesPositionsThenBodiesMoveAtTheNewOnes) {
  const binarystars::Model before = model;
  EXPECT_TRUE(binarystars::Frame());
  for (int i = 0; i < binarystars::kBodies; ++i) {
    SCOPED_TRACE(i);
    Body expected = before.bodies[i];
    for (int j = 0; j < binarystars::kBodies; ++j)
      if (j != i) binarystars::Pull(expected, before.bodies[j]);
    const Body& b = model.bodies[i];
    EXPECT_EQ(b.vx, expected.vx);
    EXPECT_EQ(b.vy, expected.vy);
    EXPECT_EQ(b.x, before.bodies[i].x + expected.vx);
    EXPECT_EQ(b.y, before.bodies[i].y + expected.vy);
  }
  EXPECT_NE(model.bodies[0].vy, 0);  // the stars did pull on each other
}

TEST_F(Binarystars, TheStarsAloneFormABoundPairThatClosesTo40Pixels) {
  SendPlanetsAway();
  const Body &a = model.bodies[0], &b = model.bodies[1];
  double closest = 1e9, farthest = 0, separation = 40;
  int returns = 0;  // passes back within 41 pixels after having been far apart
  bool wasFar = false;
  for (int step = 0; step < 2000; ++step) {
    binarystars::Gravity();
    for (Body& body : model.bodies) binarystars::Move(body);
    separation = std::hypot(a.x - b.x, a.y - b.y);
    closest = std::min(closest, separation);
    farthest = std::max(farthest, separation);
    if (separation > 150) wasFar = true;
    if (wasFar && separation < 41) {
      ++returns;
      wasFar = false;
    }
    // Equal masses and opposite velocities: the centre of mass stays put.
    ASSERT_NEAR((a.x + b.x) / 2, 320, 1e-6);
    ASSERT_NEAR((a.y + b.y) / 2, 220, 1e-6);
  }
  EXPECT_GT(closest, 39.9);
  EXPECT_LE(closest, 40);
  EXPECT_GT(farthest, 150);
  EXPECT_LT(farthest, 250);  // bound: it never flies apart
  EXPECT_EQ(returns, 4);     // one orbit takes about 437 frames
}

TEST_F(Binarystars, DrawsThickRingsAndShowsEachFrameWhenItIsDone) {
  // Everything at rest and far apart, so nothing moves by as much as half a pixel.
  model.bodies[0].x = 100;
  model.bodies[0].y = 100;
  model.bodies[1].x = 400;
  model.bodies[1].y = 100;
  for (int i = 0; i < binarystars::kBodies; ++i) {
    Body& body = model.bodies[i];
    body.vx = body.vy = 0;
    if (i >= binarystars::kStars) {
      body.x = 40 + 25 * i;
      body.y = 350;
      body.colour = 10;
    }
  }
  // The first frame draws into page 0 (which held the start-up picture) and shows the empty
  // page 1; from the second frame on, each frame shows the page it has just drawn.
  EXPECT_TRUE(binarystars::Frame());
  easel::headless::Sync();
  EXPECT_EQ(easel::headless::ScreenPixel(108, 100), 0u);
  const uint32_t yellow = EaselColors[kYellow];
  for (int x : {107, 108, 109, 91, 92, 93}) EXPECT_EQ(PagePixel(0, x, 100), yellow) << x;
  for (int x : {100, 105, 111}) EXPECT_EQ(PagePixel(0, x, 100), 0u) << x;  // a ring, 3 wide
  EXPECT_EQ(PagePixel(0, 100, 108), yellow);
  EXPECT_EQ(PagePixel(0, 328, 240), 0u);  // the start-up picture was cleared
  const int px = 40 + 25 * 5;             // planet 5: a ring of radius 4 in its own colour
  for (int x : {px - 5, px - 4, px - 3, px + 3, px + 4, px + 5})
    EXPECT_EQ(PagePixel(0, x, 350), 10u) << x;
  EXPECT_EQ(PagePixel(0, px, 350), 0u);

  EXPECT_TRUE(binarystars::Frame());
  easel::headless::Sync();
  EXPECT_EQ(easel::headless::ScreenPixel(108, 100), 0xFCFC00u);
  EXPECT_EQ(easel::headless::ScreenPixel(100, 100), 0u);
  EXPECT_EQ(easel::headless::ScreenPixel(px + 4, 350), 0x54FC54u);  // light green
}

TEST_F(Binarystars, CoincidentOrOverflowingPairsLeaveVelocitiesAlone) {
  const double star = binarystars::kStarMass;
  const struct {
    const char* name;
    double dx, dy;
  } cases[] = {
      {"same spot", 0, 0},
      {"squared distance underflows to 0", 1e-170, 0},
      {"force overflows", 0, 1e-160},
      {"so far apart the squared distance overflows", 1e200, 1e200},
      {"a body lost at infinity", INFINITY, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Near the origin, where such tiny offsets survive being added to a position.
    Body a{star, 0, 0, 1.5, -2, 1};
    const Body b{star, c.dx, c.dy, 0, 0, 1};
    binarystars::Pull(a, b);
    EXPECT_EQ(a.vx, 1.5);
    EXPECT_EQ(a.vy, -2);
  }
  // All 22 bodies on one spot: frames go on, the bodies fly apart on their own velocities.
  for (Body& b : model.bodies) {
    b.x = 200;
    b.y = 200;
  }
  const binarystars::Model before = model;
  EXPECT_TRUE(binarystars::Frame());
  for (int i = 0; i < binarystars::kBodies; ++i) {
    EXPECT_EQ(model.bodies[i].vx, before.bodies[i].vx) << i;
    EXPECT_EQ(model.bodies[i].vy, before.bodies[i].vy) << i;
  }
  for (int frame = 0; frame < 5; ++frame) EXPECT_TRUE(binarystars::Frame());
  EXPECT_TRUE(AllFinite());
}

TEST_F(Binarystars, AnyKeyOrTheCloseBoxEndsTheProgram) {
  const struct {
    const char* name;
    easel::MsgKind kind;
    int vk, code, repeat;
  } cases[] = {{"a letter", easel::MsgKind::kChar, 0, 'q', 1},
               {"an arrow key (two codes)", easel::MsgKind::kKeyDown, EaselVkLeft, 0, 1},
               {"the close box", easel::MsgKind::kCloseRequest, 0, 0, 1},
               {"a flood of keys", easel::MsgKind::kChar, 0, 'z', 200}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(binarystars::Frame());
    easel::Message m;
    m.kind = c.kind;
    m.vk = c.vk;
    m.code = c.code;
    for (int i = 0; i < c.repeat; ++i) easel::headless::Inject(m);
    // The mouse plays no part: a button storm changes nothing.
    easel::Message click;
    click.kind = easel::MsgKind::kMouseDown;
    click.buttons = 7;
    easel::headless::Inject(click);
    easel::headless::Sync();
    EXPECT_FALSE(binarystars::Frame());
    EXPECT_TRUE(AllFinite());
    binarystars::End();
    binarystars::Start();
  }
}

}  // namespace
