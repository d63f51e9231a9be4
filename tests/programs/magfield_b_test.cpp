// magfield_b: pole placement, the field and its capture rule, rebirth, stroke shades, the mouse
// and keys, page order, the cached shades against a plain frame, and input that must not
// break it.
#include "magfield_b.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <mutex>
#include <numbers>
#include <vector>

#include "../unit/test_support.h"
#include "backend/headless/headless.h"
#include "common/random.h"
#include "core.h"
#include "easel/easel.h"

namespace {

using easel::test::PagePixel;
using magfield_b::model;
using magfield_b::Pole;
using magfield_b::Tracer;

constexpr uint32_t kYellowIndex = 44, kWhiteIndex = 15;  // under driver 3

class MagfieldB : public ::testing::Test {
 protected:
  void SetUp() override {
    easel::headless::SetDesktop(1280, 1024, 24);
    magfield_b::Start();
    ASSERT_EQ(EaselResult(), 0);
    RandomSeedWith(21);
    Mouse(easel::MsgKind::kMouseMove, 0, 0, 0);  // no button left held by an earlier test
  }
  void TearDown() override { magfield_b::End(); }

  // Every pole without charge, far outside the window: only the poles a test places take part.
  static void ParkPoles() {
    for (int k = 0; k < magfield_b::kPoles; ++k)
      model.poles[k] = Pole{100000 + 1000 * k, 100000, 0};
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

  static void Key(easel::MsgKind kind, int code, int vk = 0) {
    easel::Message m;
    m.kind = kind;
    m.code = code;
    m.vk = vk;
    easel::headless::Inject(m);
    easel::headless::Sync();
  }

  static int CountSet(int page) { return easel::test::CountSet(page, 0, 0, 799, 599); }
};

TEST_F(MagfieldB, StartsWithSeededPolesAndEveryTracerAtTheOrigin) {
  EXPECT_EQ(easel::headless::Window().title, "CAMP MAGNETIC");
  for (const Tracer& t : model.tracers) ASSERT_TRUE(t.x == 0 && t.y == 0);
  // Three draws a pole, in this order: x, y, then the charge (0 becomes -1).
  RandomSeedWith(5);
  magfield_b::PlacePoles();
  RandomSeedWith(5);
  int positives = 0;
  for (const Pole& p : model.poles) {
    EXPECT_EQ(p.x, RandomInt(799));
    EXPECT_EQ(p.y, RandomInt(599));
    EXPECT_EQ(p.charge, RandomInt(2) == 0 ? -1 : 1);
    positives += p.charge == 1;
  }
  EXPECT_EQ(model.positiveCount, positives);
}

TEST_F(MagfieldB, ThePlusPolesAreListedInOrderWithZerosAfterThem) {
  const struct {
    const char* charges;  // '+' or '-' for poles 0..14
    int count;
    int32_t list[4];
  } cases[] = {
      {"-+--+----------", 2, {1, 4, 0, 0}},  {"+--------------", 1, {0, 0, 0, 0}},
      {"--------------+", 1, {14, 0, 0, 0}}, {"---------------", 0, {0, 0, 0, 0}},
      {"+++------------", 3, {0, 1, 2, 0}},
  };
  for (const auto& c : cases) {
    for (int32_t& k : model.positivePoles) k = 99;  // left over from before
    for (int k = 0; k < magfield_b::kPoles; ++k)
      model.poles[k].charge = c.charges[k] == '+' ? 1 : -1;
    magfield_b::FindPositivePoles();
    EXPECT_EQ(model.positiveCount, c.count) << c.charges;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(model.positivePoles[k], c.list[k]) << c.charges;
    for (int k = 4; k <= magfield_b::kPoles; ++k) EXPECT_EQ(model.positivePoles[k], 0) << c.charges;
  }
}

TEST_F(MagfieldB, TheNearestPoleIsFoundInWholePixelsWithoutOverflow) {
  ParkPoles();
  model.poles[2] = Pole{0, 0, 1};
  model.poles[5] = Pole{65535, 65535, -1};
  model.poles[9] = Pole{300, 200, 1};
  model.poles[11] = Pole{300, 200, -1};  // a tie with pole 9: the lower index wins
  EXPECT_EQ(magfield_b::NearestPole(0, 0), 2);
  EXPECT_EQ(magfield_b::NearestPole(65535, 60000), 5);  // squares beyond 32 bits
  EXPECT_EQ(magfield_b::NearestPole(299, 201), 9);
  EXPECT_EQ(magfield_b::NearestPole(60000, 0), 9);
}

TEST_F(MagfieldB, TheFieldLeavesPlusPolesReachesMinusPolesAndCapturesWithin16Pixels) {
  const struct {
    const char* what;
    double x, y;
    bool captured;
    double bx, by;
  } cases[] = {
      {"beside the +1 pole", 130, 140, false, 30.0 / 2500 - 30.0 / 26500,
       40.0 / 2500 + 160.0 / 26500},
      {"on the +1 pole: it adds nothing", 100, 100, false, 0, 1.0 / 200},
      {"16 pixels from the -1 pole: not yet", 100, 316, false, 0, 216.0 / 46656 - 1.0 / 16},
      {"just inside 16 pixels", 100, 315.99, true, 0, 0},
      {"on the -1 pole", 100, 300, true, 0, 0},
  };
  ParkPoles();
  model.poles[3] = Pole{100, 100, 1};
  model.poles[7] = Pole{100, 300, -1};
  for (const auto& c : cases) {
    double bx = 7, by = 7;
    EXPECT_EQ(magfield_b::Field(c.x, c.y, bx, by), c.captured) << c.what;
    if (c.captured) continue;
    EXPECT_NEAR(bx, c.bx, 1e-12) << c.what;
    EXPECT_NEAR(by, c.by, 1e-12) << c.what;
  }
}

TEST_F(MagfieldB, TracersBeyondTheMarginAreOut) {
  const struct {
    double x, y;
    bool out;
  } cases[] = {
      {-10, -10, false}, {809, 609, false}, {400, 300, false},
      {-10.01, 0, true}, {809.01, 0, true}, {0, -10.01, true},
      {0, 609.01, true}, {NAN, 300, true},  {400, INFINITY, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(magfield_b::IsOut(Tracer{c.x, c.y}), c.out) << c.x << "," << c.y;
  }
}

TEST_F(MagfieldB, RebirthDrawsThePoleThenTheAngleAndPlacesTheTracer15PixelsOut) {
  ParkPoles();
  model.poles[4] = Pole{200, 150, 1};
  model.poles[6] = Pole{600, 450, 1};
  model.poles[8] = Pole{50, 50, -1};
  magfield_b::FindPositivePoles();
  for (uint32_t seed : {1u, 2u, 3u, 4u}) {
    RandomSeedWith(seed);
    Tracer t{-100, -100};
    magfield_b::Rebirth(t);
    RandomSeedWith(seed);
    const Pole& p = model.poles[model.positivePoles[RandomInt(2)]];
    const double theta = RandomInt(1000) * 2 * std::numbers::pi / 1000;
    EXPECT_DOUBLE_EQ(t.x, p.x + 15 * std::cos(theta));
    EXPECT_DOUBLE_EQ(t.y, p.y + 15 * std::sin(theta));
    EXPECT_NEAR(std::hypot(t.x - p.x, t.y - p.y), 15, 1e-9);
  }
}

TEST_F(MagfieldB, OutOrCapturedTracersAreRebornUndrawnAndMayBeCapturedAgain) {
  ParkPoles();
  model.poles[0] = Pole{100, 100, 1};
  model.poles[1] = Pole{110, 100, -1};  // within 16 pixels of much of the +1 pole's ring
  magfield_b::FindPositivePoles();
  EaselClear();
  for (int i = 0; i < 2; ++i) model.tracers[i] = Tracer{i == 0 ? -50.0 : 105.0, 100};
  RandomSeedWith(8);
  magfield_b::StepTracer(0);  // out
  magfield_b::StepTracer(1);  // captured
  EXPECT_EQ(CountSet(0), 0);  // neither is drawn
  for (int i = 0; i < 2; ++i) {
    EXPECT_NEAR(std::hypot(model.tracers[i].x - 100, model.tracers[i].y - 100), 15, 1e-9);
  }
  // Next to the +1 pole and still within reach of the -1 pole: captured once more.
  double bx, by;
  EXPECT_TRUE(magfield_b::Field(115, 100, bx, by));
  EXPECT_FALSE(magfield_b::Field(85, 100, bx, by));
}

TEST_F(MagfieldB, WithEveryPoleNegativeTracersKeepFallingBackOntoPoleZero) {
  for (int k = 0; k < magfield_b::kPoles; ++k) model.poles[k] = Pole{50 + 50 * k, 300, -1};
  magfield_b::FindPositivePoles();
  ASSERT_EQ(model.positiveCount, 0);
  for (Tracer& t : model.tracers) t = Tracer{-100, -100};  // every tracer out at once
  ASSERT_TRUE(magfield_b::Frame());                        // all reborn around pole 0
  for (const Tracer& t : model.tracers) {
    ASSERT_NEAR(std::hypot(t.x - 50, t.y - 300), 15, 1e-9);
  }
  ASSERT_TRUE(magfield_b::Frame());  // captured at once, reborn again: no stroke, only labels
  int other = 0;
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      const uint32_t c = PagePixel(0, x, y);
      other += c != 0 && c != kWhiteIndex;
    }
  }
  EXPECT_EQ(other, 0);
  EXPECT_GT(CountSet(0), 15 * 5);  // fifteen "-" labels
  // Space has no +1 pole to gather the tracers on: it leaves them where they are.
  const Tracer before = model.tracers[77];
  Key(easel::MsgKind::kChar, ' ');
  ASSERT_TRUE(magfield_b::Frame());
  EXPECT_NEAR(std::hypot(model.tracers[77].x - 50, model.tracers[77].y - 300), 15, 1e-9);
  EXPECT_FALSE(model.tracers[77].x == before.x && model.tracers[77].y == before.y);
}

TEST_F(MagfieldB, AStrokeIsTenPixelsAlongTheFieldAndTheTracerStepsOn) {
  // A +1 and a -1 pole on one row: the field along the row points from the first to the second.
  ParkPoles();
  model.poles[0] = Pole{400, 300, 1};
  model.poles[1] = Pole{700, 300, -1};
  EaselClear();
  model.tracers[0] = Tracer{430, 300};
  model.tracers[1] = Tracer{600, 300};
  magfield_b::StepTracer(0);
  magfield_b::StepTracer(1);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(model.tracers[i].y, 300);
  EXPECT_NEAR(model.tracers[0].x, 431.28, 1e-12);
  EXPECT_NEAR(model.tracers[1].x, 601.28, 1e-12);
  for (int x : {425, 430, 435, 595, 605}) EXPECT_NE(PagePixel(0, x, 300), 0u) << x;
  for (int x : {424, 436, 594, 606}) EXPECT_EQ(PagePixel(0, x, 300), 0u) << x;
  EXPECT_EQ(easel::test::CountSet(0, 0, 0, 799, 599), 22);

  // Where the field cancels there is no direction: neither drawn nor moved.
  model.poles[1] = Pole{500, 300, 1};
  EaselClear();
  model.tracers[2] = Tracer{450, 300};
  magfield_b::StepTracer(2);
  EXPECT_EQ(model.tracers[2].x, 450);
  EXPECT_EQ(model.tracers[2].y, 300);
  EXPECT_EQ(CountSet(0), 0);
}

TEST_F(MagfieldB, StrokeShadesFallWithTheFieldAndTheGreenSpillsIntoBlueAbove255) {
  EXPECT_EQ(magfield_b::ShadeLevel(51), 255);
  EXPECT_EQ(magfield_b::ShadeLevel(0.1), 0);       // 0.5 rounds to even
  EXPECT_EQ(magfield_b::ShadeLevel(0.3), 2);       // 1.5 too
  EXPECT_EQ(magfield_b::ShadeLevel(1e12), 32767);  // a vanishing field: held to 16 bits
  EXPECT_EQ(magfield_b::ShadeColour(255), kYellowIndex);
  // 256 puts green 0 and blue 1: next to black, so the stroke disappears.
  EXPECT_EQ(magfield_b::ShadeColour(256), 0u);
  EXPECT_EQ(EaselRgb(256, 256, 0), 0u);
  for (int16_t v : {0, 1, 25, 100, 200, 255, 256, 300, 511, 4000, 32767}) {
    EXPECT_EQ(magfield_b::ShadeColour(v), EaselRgb(v, v, 0)) << v;
    EXPECT_EQ(model.shades[v], EaselRgb(v, v, 0)) << v;  // remembered
  }

  // A single +1 pole: the level is 25 times the distance. Yellow at 10.2 pixels, gone at 10.24.
  ParkPoles();
  model.poles[0] = Pole{400, 300, 1};
  const struct {
    double distance;
    uint32_t colour;
  } cases[] = {{10.2, kYellowIndex}, {10.24, 0}, {12, magfield_b::ShadeColour(300)}};
  for (const auto& c : cases) {
    EaselClear();
    model.tracers[0] = Tracer{400 + c.distance, 300};
    magfield_b::StepTracer(0);
    for (int x = 396; x <= 404; ++x) {
      EXPECT_EQ(PagePixel(0, x + static_cast<int>(c.distance), 300), c.colour) << c.distance;
    }
  }
}

TEST_F(MagfieldB, AnyButtonOrModifierPullsTheNearestPoleToThePointer) {
  ParkPoles();
  model.poles[2] = Pole{100, 100, 1};
  model.poles[6] = Pole{700, 500, -1};
  Mouse(easel::MsgKind::kMouseMove, 150, 130, 0);
  magfield_b::Frame();
  EXPECT_EQ(model.poles[2].x, 100);  // no button: nothing moves
  const struct {
    int buttons, mods;
  } states[] = {{easel::kMouseLeft, 0}, {easel::kMouseRight, 0}, {easel::kMouseMiddle, 0},
                {0, easel::kModShift},  {0, easel::kModCtrl},    {3, easel::kModShift}};
  int x = 150;
  for (const auto& s : states) {
    Mouse(easel::MsgKind::kMouseMove, x, 130, s.buttons, s.mods);
    magfield_b::Frame();
    EXPECT_EQ(model.poles[2].x, x) << s.buttons << "/" << s.mods;  // keeps following
    EXPECT_EQ(model.poles[2].y, 130);
    x += 40;
  }
  EXPECT_EQ(model.poles[6].x, 700);
  Mouse(easel::MsgKind::kMouseMove, 690, 520, easel::kMouseLeft);
  magfield_b::Frame();
  EXPECT_EQ(model.poles[6].x, 690);  // now the nearest is pole 6
}

TEST_F(MagfieldB, SpaceGathersTheTracersOnThePlusPolesInTurn) {
  ParkPoles();
  model.poles[1] = Pole{100, 100, 1};
  model.poles[5] = Pole{300, 200, -1};
  model.poles[9] = Pole{500, 400, 1};
  model.poles[12] = Pole{700, 100, 1};
  magfield_b::FindPositivePoles();
  magfield_b::GatherTracers();
  const int32_t xs[] = {100, 500, 700};
  for (int i = 0; i < magfield_b::kTracers; ++i) {
    ASSERT_EQ(model.tracers[i].x, xs[i % 3]) << i;
  }
  // On a pole's own centre its term is left out, so the tracer still has a way to go.
  Key(easel::MsgKind::kChar, ' ');
  ASSERT_TRUE(magfield_b::Frame());
  for (const Tracer& t : model.tracers) ASSERT_TRUE(std::isfinite(t.x) && std::isfinite(t.y));
  EXPECT_NEAR(std::hypot(model.tracers[0].x - 100, model.tracers[0].y - 100), 1.28, 1e-9);
}

TEST_F(MagfieldB, OnlyEscapeEndsAndEachFrameReadsOneKeyInFull) {
  const struct {
    const char* what;
    easel::MsgKind kind;
    int code, vk;
    bool runs;
  } cases[] = {
      {"a letter", easel::MsgKind::kChar, 'a', 0, true},
      {"an arrow key, both codes", easel::MsgKind::kKeyDown, 0, EaselVkUp, true},
      {"the close box, both codes", easel::MsgKind::kCloseRequest, 0, 0, true},
      {"Escape", easel::MsgKind::kChar, 27, 0, false},
  };
  for (const auto& c : cases) {
    Key(c.kind, c.code, c.vk);
    EXPECT_EQ(magfield_b::Frame(), c.runs) << c.what;
    EXPECT_FALSE(EaselKeyHit()) << c.what;
  }
  // One key a frame: Escape behind a letter ends the frame after.
  Key(easel::MsgKind::kChar, 'b');
  Key(easel::MsgKind::kChar, 27);
  EXPECT_TRUE(magfield_b::Frame());
  EXPECT_FALSE(magfield_b::Frame());
}

TEST_F(MagfieldB, EachFrameIsShownRightAfterItIsDrawn) {
  ParkPoles();
  model.poles[0] = Pole{200, 200, 1};
  ASSERT_TRUE(magfield_b::Frame());  // drawn into page 0; page 1, still blank, is shown
  easel::headless::Sync();
  EXPECT_GT(easel::test::CountSet(0, 190, 180, 210, 210), 5);  // the "+"
  EXPECT_EQ(easel::headless::ScreenPixel(200, 200), 0u);
  int white = 0;
  ASSERT_TRUE(magfield_b::Frame());  // drawn into page 0 again, and shown
  easel::headless::Sync();
  for (int y = 180; y <= 210; ++y) {
    for (int x = 190; x <= 210; ++x) white += easel::headless::ScreenPixel(x, y) == 0xFCFCFC;
  }
  EXPECT_GT(white, 5);
  ASSERT_TRUE(magfield_b::Frame());  // drawn into page 1, and shown
  EXPECT_GT(easel::test::CountSet(1, 190, 180, 210, 210), 5);
}

// A frame written plainly, one shade lookup per stroke: what the program must match.
void PlainFrame() {
  EaselClear();
  if (EaselMouseButtons() != 0) {
    const int32_t mx = EaselMouseX(), my = EaselMouseY();
    int nearest = 0;
    double best = 1e32;
    for (int k = 0; k < magfield_b::kPoles; ++k) {
      const int64_t dx = mx - model.poles[k].x, dy = my - model.poles[k].y;
      if (static_cast<double>(dx * dx + dy * dy) < best) {
        best = static_cast<double>(dx * dx + dy * dy);
        nearest = k;
      }
    }
    model.poles[nearest].x = mx;
    model.poles[nearest].y = my;
  }
  uint8_t key = 0;
  if (EaselKeyHit()) {
    key = EaselReadKey();
    if (key == 0) key = EaselReadKey();
  }
  if (key == ' ' && model.positiveCount > 0) {
    for (int i = 0; i < magfield_b::kTracers; ++i) {
      const Pole& p = model.poles[model.positivePoles[i % model.positiveCount]];
      model.tracers[i] = Tracer{static_cast<double>(p.x), static_cast<double>(p.y)};
    }
  }
  for (Tracer& t : model.tracers) {
    bool lost = !(t.x >= -10 && t.x <= 809 && t.y >= -10 && t.y <= 609);
    double bx = 0, by = 0;
    for (int k = 0; k < magfield_b::kPoles && !lost; ++k) {
      const Pole& p = model.poles[k];
      const double dx = t.x - p.x, dy = t.y - p.y, d2 = dx * dx + dy * dy;
      if (p.charge == -1 && d2 < 256) lost = true;
      if (!lost && d2 != 0) {
        bx += p.charge * dx / d2;
        by += p.charge * dy / d2;
      }
    }
    if (lost) {
      const Pole& p = model.poles[model.positivePoles[RandomInt(model.positiveCount)]];
      const double theta = RandomInt(1000) * 2 * std::numbers::pi / 1000;
      t = Tracer{p.x + 15 * std::cos(theta), p.y + 15 * std::sin(theta)};
      continue;
    }
    const double b = std::sqrt(bx * bx + by * by);
    if (b == 0) continue;
    const double f = 5 / b;
    const int16_t v = EaselCoord(5 * f);
    EaselSetColor(EaselRgb(v, v, 0));
    EaselLine(EaselCoord(t.x - f * bx), EaselCoord(t.y - f * by), EaselCoord(t.x + f * bx),
              EaselCoord(t.y + f * by));
    t.x += 1.28 / b * bx;
    t.y += 1.28 / b * by;
  }
  EaselSetColor(EaselColors[250]);
  EaselSetTextStyle(0, 0, 3);
  EaselSetTextAlign(1, 1);
  for (const Pole& p : model.poles) {
    EaselTextAt(EaselCoord(p.x), EaselCoord(p.y + 10), p.charge == 1 ? "+" : "-");
  }
  EaselSetDrawPage(model.page);
  model.page = static_cast<int16_t>(1 - model.page);
  EaselSetShowPage(model.page);
}

uint64_t PageChecksum(int page) {
  easel::Library& lib = easel::Lib();
  std::lock_guard lock(lib.graphicsLock);
  uint64_t h = 1469598103934665603u;  // FNV-1a
  for (uint8_t c : lib.pages8[page]) h = (h ^ c) * 1099511628211u;
  return h;
}

TEST_F(MagfieldB, TheProgramDrawsTheSameFramesAsAPlainFrame) {
  // The same start, the same input at the same frames: the pages and the tracers must agree
  // frame by frame, through drags, a gathering, strokes of every shade and many rebirths.
  RandomSeedWith(1234);
  magfield_b::PlacePoles();
  static magfield_b::Model start;
  std::memcpy(&start, &model, sizeof model);
  const auto input = [](int frame) {
    if (frame == 40) Mouse(easel::MsgKind::kMouseDown, 300, 250, easel::kMouseLeft);
    if (frame > 40 && frame < 50)
      Mouse(easel::MsgKind::kMouseMove, 300 + 20 * (frame - 40), 250, 1);
    if (frame == 50) Mouse(easel::MsgKind::kMouseUp, 480, 250, 0);
    if (frame == 60) Key(easel::MsgKind::kChar, ' ');
    if (frame == 70) Key(easel::MsgKind::kKeyDown, 0, EaselVkLeft);
    if (frame == 75) Mouse(easel::MsgKind::kMouseMove, 10, 590, 0, easel::kModShift);
    if (frame == 76) Mouse(easel::MsgKind::kMouseMove, 10, 590, 0);
  };
  std::vector<uint64_t> sums[2];
  std::vector<double> positions[2];
  for (int run = 0; run < 2; ++run) {
    std::memcpy(&model, &start, sizeof model);
    for (int16_t page : {1, 0}) {
      EaselSetDrawPage(page);
      EaselClear();
    }
    EaselSetShowPage(0);
    Mouse(easel::MsgKind::kMouseMove, 0, 0, 0);
    RandomSeedWith(99);
    for (int frame = 0; frame < 100; ++frame) {
      input(frame);
      if (run == 0) {
        ASSERT_TRUE(magfield_b::Frame());
      } else {
        PlainFrame();
      }
      sums[run].push_back(PageChecksum(0));
      sums[run].push_back(PageChecksum(1));
      if (frame % 10 == 9) {
        for (int i = 0; i < magfield_b::kTracers; i += 97) {
          positions[run].push_back(model.tracers[i].x);
          positions[run].push_back(model.tracers[i].y);
        }
      }
    }
  }
  EXPECT_EQ(sums[0], sums[1]);
  EXPECT_EQ(positions[0], positions[1]);
  EXPECT_NE(sums[0][0], sums[0][2]);  // the frames do differ from one another
}

TEST_F(MagfieldB, HostileInputNeverBreaksTheModel) {
  // Wheel events carry screen coordinates: a pole can be pulled anywhere in 16 bits.
  const int positions[] = {0, 1, 399, 799, 800, 32767, 32768, 65535, -1, 70000};
  for (int buttons = 0; buttons < 8; ++buttons) {
    for (int mods = 0; mods < 8; ++mods) {
      const int p = positions[(buttons * 8 + mods) % 10];
      const int q = positions[(buttons * 3 + mods * 7) % 10];
      Mouse(easel::MsgKind::kMouseWheel, p, q, buttons, mods);
      ASSERT_TRUE(magfield_b::Frame());
    }
  }
  for (const Pole& p : model.poles)
    ASSERT_TRUE(p.x >= 0 && p.x <= 65535 && p.y >= 0 && p.y <= 65535);
  Key(easel::MsgKind::kChar, ' ');
  ASSERT_TRUE(magfield_b::Frame());
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
  for (int frame = 0; frame < 40; ++frame) ASSERT_TRUE(magfield_b::Frame());
  for (const Tracer& t : model.tracers) ASSERT_TRUE(std::isfinite(t.x) && std::isfinite(t.y));
  Key(easel::MsgKind::kChar, 27);
  int frames = 0;
  while (magfield_b::Frame() && frames < 40) ++frames;
  EXPECT_LT(frames, 40);  // the keys left in the queue are read one a frame, then Escape
}

}  // namespace
