// galaxies: the unseeded disc, the four laws of motion, erasing and redrawing in star order,
// the keys that move on through the kinds, and input that must not break it.
#include "galaxies.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <thread>

#include "../unit/test_support.h"
#include "backend/headless/headless.h"
#include "common/random.h"
#include "easel/easel.h"

namespace {

using galaxies::model;
using galaxies::Star;

constexpr uint32_t kWhiteIndex = 15;
constexpr uint32_t kDefaultSeed = 5489;  // the generator's state when nobody seeds it

class Galaxies : public ::testing::Test {
 protected:
  void SetUp() override {
    easel::headless::SetDesktop(1280, 1024, 24);
    RandomSeedWith(kDefaultSeed);
    galaxies::Start();
    ASSERT_EQ(EaselResult(), 0);
  }
  void TearDown() override { galaxies::End(); }

  static void Char(int code) {
    easel::Message m;
    m.kind = easel::MsgKind::kChar;
    m.code = code;
    easel::headless::Inject(m);
    easel::headless::Sync();
  }
  static void Up() {
    easel::Message m;
    m.kind = easel::MsgKind::kKeyDown;
    m.vk = EaselVkUp;  // 0, 72
    easel::headless::Inject(m);
    easel::headless::Sync();
  }

  static Star At(int32_t radius, double angle, uint32_t colour) {
    Star s{radius, angle, 0, 0, colour};
    s.px = 399 + static_cast<int32_t>(std::nearbyint(radius * std::cos(angle)));
    s.py = 299 + static_cast<int32_t>(std::nearbyint(radius * std::sin(angle)));
    return s;
  }

  static std::string LabelBox() { return easel::test::Picture(0, 0, 0, 200, 20); }

  static void ExpectAllOnScreen() {
    for (int i = 0; i < galaxies::kStars; ++i) {
      const Star& s = model.stars[i];
      ASSERT_TRUE(s.radius >= 1 && s.radius <= 250) << i << ": " << s.radius;
      ASSERT_TRUE(std::isfinite(s.angle)) << i;
      ASSERT_TRUE(s.px >= 149 && s.px <= 649 && s.py >= 49 && s.py <= 549) << i;
    }
  }
};

TEST_F(Galaxies, StartDrawsTheDiscAndTheFirstLabel) {
  EXPECT_EQ(easel::headless::Window().title, "TIPURI DE GALAXII");
  EXPECT_EQ(model.centreX, 399);
  EXPECT_EQ(model.centreY, 299);
  EXPECT_EQ(model.kind, 1);
  // Each star: radius 1..240, an angle in [0, 2 pi), its rounded pixel and a colour 9..15.
  // Where stars share a pixel, the later one's colour is on the page.
  auto last = std::make_unique<int[]>(800 * 600);
  for (int i = 0; i < 800 * 600; ++i) last[i] = -1;
  for (int i = 0; i < galaxies::kStars; ++i) {
    const Star& s = model.stars[i];
    ASSERT_TRUE(s.radius >= 1 && s.radius <= 240) << i;
    ASSERT_TRUE(s.angle >= 0 && s.angle < 2 * std::numbers::pi) << i;
    ASSERT_TRUE(s.colour >= 9 && s.colour <= 15) << i;
    const Star placed = At(s.radius, s.angle, s.colour);
    ASSERT_EQ(s.px, placed.px) << i;
    ASSERT_EQ(s.py, placed.py) << i;
    last[s.py * 800 + s.px] = i;
  }
  int starPixels = 0;
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      const int i = last[y * 800 + x];
      if (i < 0) continue;
      ++starPixels;
      ASSERT_EQ(easel::test::PagePixel(0, x, y), model.stars[i].colour) << x << "," << y;
    }
  }
  EXPECT_GT(starPixels, 4000);
  // The label in the default colour, white, in the top-left corner; no star reaches it.
  int white = 0;
  for (int y = 0; y <= 20; ++y)
    for (int x = 0; x <= 200; ++x) white += easel::test::PagePixel(0, x, y) == kWhiteIndex;
  EXPECT_GT(white, 30);
  // The stars were drawn on the shown page: the window shows them without a page flip.
  easel::headless::Sync();
  const Star& s = model.stars[galaxies::kStars - 1];
  const uint32_t rgb[] = {0x5454FC, 0x54FC54, 0x54FCFC, 0xFC5454, 0xFC54FC, 0xFCFC54, 0xFCFCFC};
  EXPECT_EQ(easel::headless::ScreenPixel(s.px, s.py), rgb[s.colour - 9]);
}

TEST_F(Galaxies, TheDiscComesFromTheUnseededGeneratorTheSameEveryRun) {
  // Start never reseeds: from the default state it draws radius, angle and colour per star,
  // in that order, and a later run (a later tick) shows the very same disc.
  RandomSeedWith(kDefaultSeed);
  for (int i = 0; i < galaxies::kStars; ++i) {
    const int32_t radius = RandomInt(240) + 1;
    const double angle = RandomReal() * 2 * std::numbers::pi;
    const uint32_t colour = static_cast<uint32_t>(RandomInt(7) + 9);
    const Star& s = model.stars[i];
    ASSERT_TRUE(s.radius == radius && s.angle == angle && s.colour == colour) << i;
  }
  auto first = std::make_unique<galaxies::Model>(model);
  galaxies::End();
  std::this_thread::sleep_for(std::chrono::milliseconds(15));
  RandomSeedWith(kDefaultSeed);
  galaxies::Start();
  for (int i = 0; i < galaxies::kStars; ++i) {
    const Star& a = first->stars[i];
    const Star& b = model.stars[i];
    ASSERT_TRUE(a.radius == b.radius && a.angle == b.angle && a.px == b.px && a.py == b.py &&
                a.colour == b.colour)
        << i;
  }
}

TEST(GalaxiesMotion, EachKindMovesAStarByItsLaw) {
  model.centreX = 399;
  model.centreY = 299;
  const double pi = std::numbers::pi;
  const struct {
    int32_t kind, radius;
    double angle;
    int32_t radiusAfter;
    double angleAfter;
  } cases[] = {
      {1, 100, 0, 100, pi / 100},  // rigid: the same turn at every radius
      {1, 1, 0, 1, pi / 100},
      {2, 1, 0, 1, 5},  // 5 pixels of arc: 5 radians at radius 1
      {2, 240, 1, 240, 1 + 5.0 / 240},
      {3, 7, 0.5, 5, 0.5 + 1},  // inflow first, then the turn at the new radius
      {3, 6, 0.5, 4, 0.5 + 1.25},
      {3, 5, 0.5, 240, 0.5 + 5.0 / 240},  // re-enters at the rim, same angle
      {3, 4, 0.5, 240, 0.5 + 5.0 / 240},
      {3, 1, 9, 240, 9 + 5.0 / 240},
      {4, 100, 3, 98, 3 + 5.0 / 98},  // still falling: keeps its path
  };
  for (const auto& c : cases) {
    Star s{c.radius, c.angle, 0, 0, 9};
    galaxies::MoveStar(s, c.kind);
    EXPECT_EQ(s.radius, c.radiusAfter) << "kind " << c.kind << " radius " << c.radius;
    EXPECT_DOUBLE_EQ(s.angle, c.angleAfter) << "kind " << c.kind << " radius " << c.radius;
    EXPECT_EQ(s.px, 399 + std::nearbyint(s.radius * std::cos(s.angle)));
    EXPECT_EQ(s.py, 299 + std::nearbyint(s.radius * std::sin(s.angle)));
  }
  // In "Galaxia 4" a star at the centre re-enters at radius 250 on the arc [0, 2) radians; a
  // falling star draws no random number.
  for (int32_t radius : {5, 4, 1}) {
    RandomSeedWith(77);
    const double arc = RandomReal() * 2;
    RandomSeedWith(77);
    Star s{radius, 123.0, 0, 0, 9};
    galaxies::MoveStar(s, 4);
    EXPECT_EQ(s.radius, 250);
    EXPECT_EQ(s.angle, arc + 5.0 / 250);
  }
  RandomSeedWith(78);
  Star falling{50, 1, 0, 0, 9};
  galaxies::MoveStar(falling, 4);
  const double next = RandomReal();
  RandomSeedWith(78);
  EXPECT_EQ(next, RandomReal());
}

TEST_F(Galaxies, AStepErasesAndRedrawsEachStarInTurn) {
  // Star 0 moves onto the pixel star 1 last drew; star 1's erase then wipes star 0's new dot.
  // Every other star waits far away, all on one pixel.
  for (Star& s : model.stars) s = At(200, 4, 11);
  model.stars[0] = At(100, 0, 13);
  const Star moved0 = At(100, std::numbers::pi / 100, 13);  // (499, 302)
  model.stars[1] = At(50, 2, 12);
  model.stars[1].px = moved0.px;
  model.stars[1].py = moved0.py;
  const int oldX = model.stars[0].px, oldY = model.stars[0].py;
  const Star parked = model.stars[2];
  galaxies::Step(1);
  EXPECT_EQ(easel::test::PagePixel(0, oldX, oldY), 0u);            // star 0's old dot erased
  EXPECT_EQ(easel::test::PagePixel(0, moved0.px, moved0.py), 0u);  // erased by star 1
  EXPECT_EQ(model.stars[0].px, moved0.px);
  EXPECT_EQ(easel::test::PagePixel(0, model.stars[1].px, model.stars[1].py), 12u);
  EXPECT_EQ(easel::test::PagePixel(0, parked.px, parked.py), 0u);  // the crowd moved on
  EXPECT_EQ(easel::test::PagePixel(0, model.stars[2].px, model.stars[2].py), 11u);
}

TEST_F(Galaxies, AKeyMovesOnAndAKeyDuringTheFourthEnds) {
  const std::string first = LabelBox();
  EXPECT_TRUE(galaxies::Frame());
  EXPECT_EQ(model.kind, 1);

  Char('x');
  EXPECT_TRUE(galaxies::Frame());  // a step of "Galaxia 1", then the key: on to the second
  EXPECT_EQ(model.kind, 2);
  EXPECT_FALSE(EaselKeyHit());
  const std::string second = LabelBox();
  EXPECT_NE(second, first);
  // The bar cleared the old label first: the box looks like "Galaxia 2" on a blank page.
  EaselSetDrawPage(2);
  EaselClear();
  EaselTextAt(1, 1, "Galaxia 2");
  EaselSetDrawPage(0);
  EXPECT_EQ(second, easel::test::Picture(2, 0, 0, 200, 20));

  // A two-code key: the 0 ends "Galaxia 2", the 72 ends "Galaxia 3" after one step.
  Up();
  EXPECT_TRUE(galaxies::Frame());
  EXPECT_EQ(model.kind, 3);
  EXPECT_TRUE(EaselKeyHit());
  const int32_t radius = model.stars[0].radius;
  EXPECT_TRUE(galaxies::Frame());
  EXPECT_EQ(model.kind, 4);
  EXPECT_EQ(model.stars[0].radius, radius > 5 ? radius - 2 : 240);  // that one step fell
  EXPECT_NE(LabelBox(), second);

  EXPECT_TRUE(galaxies::Frame());
  Char(27);
  EXPECT_FALSE(galaxies::Frame());
  EXPECT_TRUE(EaselKeyHit());  // the last key is left unread
}

TEST_F(Galaxies, TwoCodeKeysSkipAKind) {
  // The close box (0, 107) in "Galaxia 1" leads to "Galaxia 3"; an arrow key there ends the
  // program after one step of "Galaxia 4".
  easel::Message close;
  close.kind = easel::MsgKind::kCloseRequest;
  easel::headless::Inject(close);
  easel::headless::Sync();
  EXPECT_TRUE(galaxies::Frame());
  EXPECT_EQ(model.kind, 2);
  EXPECT_TRUE(galaxies::Frame());
  EXPECT_EQ(model.kind, 3);
  EXPECT_FALSE(EaselKeyHit());
  Up();
  EXPECT_TRUE(galaxies::Frame());
  EXPECT_EQ(model.kind, 4);
  EXPECT_FALSE(galaxies::Frame());
}

TEST_F(Galaxies, LongRunsOfEveryKindStayOnTheScreenAndFormOneArm) {
  for (int32_t kind = 1; kind <= 4; ++kind) {
    for (int step = 0; step < 150; ++step) {
      for (Star& s : model.stars) galaxies::MoveStar(s, kind);
    }
    ExpectAllOnScreen();
  }
  // After 150 steps of "Galaxia 4" every star has fallen in and re-entered at least once;
  // those near the rim re-entered lately, on the arc from 0 to 2 radians plus a few steps.
  int nearRim = 0;
  for (const Star& s : model.stars) {
    if (s.radius < 220) continue;
    ++nearRim;
    EXPECT_TRUE(s.angle >= 0 && s.angle < 2.4) << s.radius << " " << s.angle;
  }
  EXPECT_GT(nearRim, 300);
}

TEST_F(Galaxies, HostileInputNeverBreaksIt) {
  // The mouse means nothing to this program, wherever it is and whatever is held.
  for (int buttons = 0; buttons < 8; ++buttons) {
    easel::Message m;
    m.kind = easel::MsgKind::kMouseWheel;
    m.x = buttons * 9000;
    m.y = 65535 - buttons;
    m.buttons = buttons;
    m.mods = buttons % 4;
    easel::headless::Inject(m);
  }
  easel::headless::Sync();
  EXPECT_TRUE(galaxies::Frame());
  EXPECT_EQ(model.kind, 1);
  // A flood of keys: one code per kind, so four frames end it.
  for (int k = 0; k < 200; ++k) {
    easel::Message m;
    m.kind = k % 2 ? easel::MsgKind::kChar : easel::MsgKind::kKeyDown;
    m.code = k % 256;
    m.vk = k % 256 == EaselVkSnapshot ? 'Q' : k % 256;  // Print Screen saves a picture file
    m.mods = k % 8;
    easel::headless::Inject(m);
  }
  easel::headless::Sync();
  int frames = 1;
  while (galaxies::Frame()) ASSERT_LT(++frames, 6);
  EXPECT_EQ(frames, 4);
  EXPECT_EQ(model.kind, 4);
  ExpectAllOnScreen();
}

}  // namespace
