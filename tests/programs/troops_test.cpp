// troops: walking, separation, drag selection, formation orders, drawing, bad input, ending.
#include "troops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "../unit/test_support.h"
#include "common/random.h"

namespace {

using easel::MsgKind;
using easel::test::PagePixel;
using troops::model;
using troops::Soldier;

constexpr int kYellow = 253, kRed = 207, kGreen = 105;

class Troops : public ::testing::Test {
 protected:
  void SetUp() override {
    easel::headless::SetDesktop(1280, 1024, 24);
    troops::Start();
    ASSERT_EQ(EaselResult(), 0);
    Mouse(MsgKind::kMouseMove, 0, 0, 0);  // no button held from an earlier test
  }
  void TearDown() override { troops::End(); }

  // Every soldier standing still far below the window, 20 pixels from its neighbours, so a
  // test can place the few it looks at without the crowd pushing them about.
  static void ParkAll() {
    for (int i = 0; i < troops::kSoldiers; ++i) Place(i, 20.0 * (i % 32), 5000 + 20.0 * (i / 32));
  }
  static Soldier& Place(int i, double x, double y) {
    Soldier& s = model.soldiers[i];
    s.x = s.targetX = x;
    s.y = s.targetY = y;
    s.vx = s.vy = 0;
    s.moving = s.selected = 0;
    return s;
  }
  static void Mouse(MsgKind kind, int x, int y, int buttons, int mods = 0) {
    easel::Message m;
    m.kind = kind;
    m.x = x;
    m.y = y;
    m.buttons = buttons;
    m.mods = mods;
    easel::headless::Inject(m);
    easel::headless::Sync();
  }
  static std::vector<int> Selected() {
    std::vector<int> out;
    for (int i = 0; i < troops::kSoldiers; ++i)
      if (model.soldiers[i].selected == 1) out.push_back(i);
    return out;
  }
};

TEST_F(Troops, StartsWithStandingSoldiersInTheCentralSquare) {
  EXPECT_EQ(easel::headless::Window().title, "MISCARI DE TRUPE");
  EXPECT_EQ(EaselMaxX(), 799);
  for (const Soldier& s : model.soldiers) {
    // Half-pixel positions: the square is centred on 399.5, 299.5.
    EXPECT_EQ(s.x - 0.5, std::floor(s.x));
    EXPECT_GE(s.x, 199.5);
    EXPECT_LE(s.x, 598.5);
    EXPECT_GE(s.y, 99.5);
    EXPECT_LE(s.y, 498.5);
    EXPECT_EQ(s.targetX, s.x);
    EXPECT_EQ(s.targetY, s.y);
    EXPECT_EQ(s.present, 1);
    EXPECT_EQ(s.radius, 4);
    EXPECT_EQ(s.moving, 0);
    EXPECT_EQ(s.selected, 0);
  }
}

TEST_F(Troops, WalkStepsOnePixelAndStopsOnlyWithinATenthOfAPixel) {
  const struct {
    const char* name;
    double targetX, targetY;
    int32_t moving, present;
    double x, y;  // after one walk
    int32_t movingAfter;
  } cases[] = {
      {"along x", 10, 0, 1, 1, 1, 0, 1},
      {"diagonal 3-4-5", 3, 4, 1, 1, 0.6, 0.8, 1},
      {"overshoots a close target", 0.5, 0, 1, 1, 1, 0, 1},
      {"within a tenth: stops where it is", 0.05, 0, 1, 1, 0, 0, 0},
      {"not moving: stands", 10, 0, 0, 1, 0, 0, 0},
      {"not present: skipped", 10, 0, 1, 0, 0, 0, 1},
      {"present flag other than 1: skipped", 10, 0, 1, 2, 0, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ParkAll();
    Soldier& s = Place(0, 0, 0);
    s.targetX = c.targetX;
    s.targetY = c.targetY;
    s.moving = c.moving;
    s.present = c.present;
    troops::Walk();
    EXPECT_NEAR(s.x, c.x, 1e-12);
    EXPECT_NEAR(s.y, c.y, 1e-12);
    EXPECT_EQ(s.moving, c.movingAfter);
    if (c.movingAfter == 1 && c.present == 1) {
      EXPECT_NEAR(std::hypot(s.vx, s.vy), 1, 1e-12);
    }
  }
}

TEST_F(Troops, PushApartFollowsTheHighestIndexedOverlapNotTheSum) {
  ParkAll();
  Place(0, 100, 100);
  Place(1, 105, 100);  // overlaps, pushes left
  Place(2, 100, 106);  // overlaps too, pushes up: the higher index decides
  Place(3, 300, 300);
  Place(4, 300, 300);  // exactly on top of 3: no direction, no push
  troops::Separate();
  EXPECT_EQ(model.soldiers[0].x, 100);
  EXPECT_EQ(model.soldiers[0].y, 99);
  EXPECT_EQ(model.soldiers[3].x, 300);
  EXPECT_EQ(model.soldiers[4].y, 300);
  for (const Soldier& s : model.soldiers) EXPECT_EQ(s.moving, 1);
  // Soldier 1 is pushed after 0 moved: from 2 (highest), not from 0.
  const double dx = 100 - 105, dy = 106 - 100, d = std::sqrt(dx * dx + dy * dy);
  EXPECT_DOUBLE_EQ(model.soldiers[1].x, 105 - dx / d);
  EXPECT_DOUBLE_EQ(model.soldiers[1].y, 100 - dy / d);
  // Parked soldiers 20 pixels apart do not touch.
  EXPECT_EQ(model.soldiers[100].x, 20.0 * (100 % 32));
}

TEST_F(Troops, StepAsideIsAtRightAnglesToTheNeighboursLastStep) {
  const struct {
    const char* name;
    double neighbourX, neighbourVx, neighbourVy;
    double x, y;  // soldier 0 after separation
  } cases[] = {
      // Pushed from 106 to 99, then 7 pixels from a neighbour stepping down: aside by 1/7.
      {"neighbour stepping down", 106, 0, 1, 99 + 1.0 / 7, 100},
      {"neighbour stepping right", 106, 1, 0, 99, 100 - 1.0 / 7},
      {"pushed out of reach: no step aside", 107.5, 0, 1, 99, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ParkAll();
    Place(0, 100, 100);
    Soldier& n = Place(1, c.neighbourX, 100);
    n.vx = c.neighbourVx;
    n.vy = c.neighbourVy;
    troops::Separate();
    EXPECT_DOUBLE_EQ(model.soldiers[0].x, c.x);
    EXPECT_DOUBLE_EQ(model.soldiers[0].y, c.y);
  }
}

TEST_F(Troops, TheFirstFramePushesOverlapsApartBeforeAnyoneWalks) {
  ParkAll();
  Place(0, 100, 100);
  Place(1, 104, 100);
  EXPECT_TRUE(troops::Frame());
  EXPECT_EQ(model.soldiers[0].x, 99);
  EXPECT_EQ(model.soldiers[1].x, 105);
  EXPECT_EQ(model.soldiers[0].moving, 1);
  // From the second frame on they walk back toward their places and jostle again.
  EXPECT_TRUE(troops::Frame());
  EXPECT_NE(model.soldiers[0].y, 100);
  EXPECT_NEAR(model.soldiers[0].x, 99, 1e-9);
  EXPECT_EQ(model.soldiers[0].vx, 1);
}

TEST_F(Troops, ADragSelectsTheSoldiersInsideItEdgesIncluded) {
  const struct {
    const char* name;
    int fromX, fromY, toX, toY;
  } drags[] = {{"top-left to bottom-right", 100, 100, 200, 150},
               {"bottom-right to top-left", 200, 150, 100, 100},
               {"bottom-left to top-right", 100, 150, 200, 100}};
  for (const auto& drag : drags) {
    SCOPED_TRACE(drag.name);
    ParkAll();
    Place(0, 100, 100);               // corner
    Place(1, 200, 150);               // opposite corner
    Place(2, 150, 125);               // inside
    Place(3, 99.5, 125);              // half a pixel left of the edge
    Place(4, 150, 150.5);             // half a pixel below
    Place(5, 200, 100);               // corner
    Place(6, 400, 400).selected = 1;  // an old selection is replaced
    Mouse(MsgKind::kMouseDown, drag.fromX, drag.fromY, 1);
    EXPECT_TRUE(troops::Frame());
    Mouse(MsgKind::kMouseMove, 150, 140, 1);
    EXPECT_TRUE(troops::Frame());
    // While the button is held, the rectangle is drawn in yellow and nothing is selected yet.
    const int drawn = model.page;
    Mouse(MsgKind::kMouseMove, drag.toX, drag.toY, 1);
    EXPECT_TRUE(troops::Frame());
    EXPECT_EQ(PagePixel(drawn, 150, drag.fromY), EaselColors[kYellow]);
    EXPECT_EQ(PagePixel(drawn, drag.fromX, 130), EaselColors[kYellow]);
    EXPECT_EQ(Selected(), std::vector<int>{6});
    Mouse(MsgKind::kMouseUp, drag.toX, drag.toY, 0);
    EXPECT_TRUE(troops::Frame());
    EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2, 5}));
    EXPECT_EQ(model.dragging, 0);
  }
}

TEST_F(Troops, AClickWithoutMovingSelectsOnlyWhatIsExactlyUnderThePointer) {
  ParkAll();
  Place(0, 300, 300);
  Place(1, 320, 300);
  for (const auto& [x, expected] :
       {std::pair{300, std::vector<int>{0}}, std::pair{321, std::vector<int>{}}}) {
    Mouse(MsgKind::kMouseDown, x, 300, 1);
    troops::Frame();
    Mouse(MsgKind::kMouseUp, x, 300, 0);
    troops::Frame();
    EXPECT_EQ(Selected(), expected) << x;
  }
}

TEST_F(Troops, OnlyTheLeftButtonAloneFromNoButtonsStartsADrag) {
  const struct {
    const char* name;
    int before;  // buttons held in the frame before (-1: none)
    int buttons, mods;
    bool drags;
  } cases[] = {
      {"left", -1, 1, 0, true},
      {"left with shift", -1, 1, easel::kModShift, false},
      {"left with ctrl", -1, 1, easel::kModCtrl, false},
      {"left and right", -1, 3, 0, false},
      {"left while right was held", 2, 3, 0, false},
      {"right let go while left is held", 3, 1, 0, false},
      {"middle", -1, 4, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ParkAll();
    Place(0, 150, 150);
    Mouse(MsgKind::kMouseMove, 300, 300, 0);
    troops::Frame();
    if (c.before >= 0) {
      Mouse(MsgKind::kMouseDown, 100, 100, c.before);
      troops::Frame();
    }
    Mouse(MsgKind::kMouseDown, 100, 100, c.buttons, c.mods);
    troops::Frame();
    EXPECT_EQ(model.dragging, c.drags ? 1 : 0);
    Mouse(MsgKind::kMouseMove, 200, 200, c.buttons, c.mods);
    troops::Frame();
    Mouse(MsgKind::kMouseUp, 200, 200, 0);
    troops::Frame();
    EXPECT_EQ(Selected(), c.drags ? std::vector<int>{0} : std::vector<int>{});
  }
}

TEST_F(Troops, FormationPlacesAreRowsOfSidePlusOneAroundThePointer) {
  const struct {
    const char* name;
    std::vector<int> selected;
    std::vector<troops::Point> targets;  // relative to the pointer
  } cases[] = {
      {"one", {7}, {{-9, -9}}},
      {"two", {3, 200}, {{-9, -9}, {9, -9}}},
      {"four: a row of three and one",
       {1, 2, 50, 255},
       {{-18, -18}, {0, -18}, {18, -18}, {-18, 0}}},
      {"ten: side 3, rows of four",
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
       {{-27, -27},
        {-9, -27},
        {9, -27},
        {27, -27},
        {-27, -9},
        {-9, -9},
        {9, -9},
        {27, -9},
        {-27, 9},
        {-9, 9}}},
  };
  const double mx = 400, my = 300;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ParkAll();
    for (int i : c.selected) model.soldiers[i].selected = 1;
    troops::Order(mx, my);
    for (size_t k = 0; k < c.selected.size(); ++k) {
      const Soldier& s = model.soldiers[c.selected[k]];
      EXPECT_EQ(s.targetX, mx + c.targets[k].x) << k;
      EXPECT_EQ(s.targetY, my + c.targets[k].y) << k;
      EXPECT_EQ(s.moving, 1);
      EXPECT_EQ(s.selected, 1);  // an order keeps the selection
    }
    // The others keep standing where they are.
    EXPECT_EQ(model.soldiers[100].targetX, model.soldiers[100].x);
    EXPECT_EQ(model.soldiers[100].moving, 0);
  }
  // With nothing selected there are no places to give out: nothing changes.
  ParkAll();
  const troops::Model before = model;
  troops::Order(mx, my);
  for (int i = 0; i < troops::kSoldiers; ++i) {
    EXPECT_EQ(model.soldiers[i].targetX, before.soldiers[i].targetX);
    EXPECT_EQ(model.soldiers[i].moving, 0);
  }
}

TEST_F(Troops, HoldingTheRightButtonAloneDragsThePlacesAlongWithThePointer) {
  ParkAll();
  Soldier& s = Place(0, 100, 100);
  s.selected = 1;
  Mouse(MsgKind::kMouseDown, 300, 300, 2);
  troops::Frame();
  EXPECT_EQ(s.targetX, 291);
  EXPECT_EQ(s.targetY, 291);
  Mouse(MsgKind::kMouseMove, 400, 350, 2);
  troops::Frame();
  EXPECT_EQ(s.targetX, 391);
  EXPECT_EQ(s.targetY, 341);
  // The walk comes before the order in a frame: this step still went toward the old place.
  EXPECT_DOUBLE_EQ(s.x, 100 + std::sqrt(0.5));
  EXPECT_DOUBLE_EQ(s.y, 100 + std::sqrt(0.5));
  // Right with Shift, or right and left together, is not an order.
  Mouse(MsgKind::kMouseMove, 500, 500, 2, easel::kModShift);
  troops::Frame();
  Mouse(MsgKind::kMouseDown, 500, 500, 3);
  troops::Frame();
  EXPECT_EQ(s.targetX, 391);
  Mouse(MsgKind::kMouseUp, 500, 500, 0);
  troops::Frame();
  EXPECT_EQ(s.targetX, 391);
  EXPECT_EQ(s.selected, 1);
}

TEST_F(Troops, DrawsBodiesSelectionRingsAndLinesToTheTargets) {
  ParkAll();
  Soldier& a = Place(0, 100, 100);
  a.selected = 1;
  a.targetY = 160;
  Place(1, 200, 100);
  const int drawn = model.page;
  EXPECT_TRUE(troops::Frame());
  EXPECT_EQ(PagePixel(drawn, 104, 100), EaselColors[kYellow]);  // body, radius 4
  EXPECT_EQ(PagePixel(drawn, 100, 100), EaselColors[kGreen]);   // the line starts inside it
  EXPECT_EQ(PagePixel(drawn, 102, 100), 0u);
  EXPECT_EQ(PagePixel(drawn, 106, 100), EaselColors[kRed]);  // selection ring, radius 6
  EXPECT_EQ(PagePixel(drawn, 100, 140), EaselColors[kGreen]);
  EXPECT_EQ(PagePixel(drawn, 100, 160), EaselColors[kGreen]);  // the line reaches the target
  EXPECT_EQ(PagePixel(drawn, 196, 100), EaselColors[kYellow]);
  EXPECT_EQ(PagePixel(drawn, 206, 100), 0u);  // not selected: no ring
  // A soldier on its target still has its (zero-length) line: the centre pixel is green.
  EXPECT_EQ(PagePixel(drawn, 200, 100), EaselColors[kGreen]);
  // The frame after shows this page; the next draw page was cleared first.
  EXPECT_EQ(model.page, 1 - drawn);
  EXPECT_TRUE(troops::Frame());
  easel::headless::Sync();
  EXPECT_EQ(easel::headless::ScreenPixel(206, 100), 0u);
  EXPECT_EQ(easel::headless::ScreenPixel(196, 100), 0xFCFC00u);
  // Each page is cleared before it is drawn again: a soldier that moved leaves nothing behind.
  Place(1, 300, 100);
  EXPECT_TRUE(troops::Frame());
  EXPECT_EQ(model.page, 1 - drawn);
  EXPECT_EQ(PagePixel(drawn, 196, 100), 0u);
  EXPECT_EQ(PagePixel(drawn, 296, 100), EaselColors[kYellow]);
}

TEST_F(Troops, AnyMouseStateAndPositionKeepsEveryoneFinite) {
  std::mt19937 gen(1234);
  auto pick = [&](int n) { return static_cast<int>(gen() % static_cast<unsigned>(n)); };
  const MsgKind kinds[] = {MsgKind::kMouseMove, MsgKind::kMouseDown, MsgKind::kMouseUp,
                           MsgKind::kMouseWheel};
  // Everyone selected, so orders send the whole crowd wherever the pointer says.
  for (Soldier& s : model.soldiers) s.selected = 1;
  for (int frame = 0; frame < 300; ++frame) {
    for (int n = pick(3); n > 0; --n) {
      const MsgKind kind = kinds[pick(4)];
      // The wheel carries screen coordinates: any 16-bit position reaches the program.
      const bool far = kind == MsgKind::kMouseWheel;
      const int x = far ? pick(65536) : pick(800), y = far ? pick(65536) : pick(600);
      Mouse(kind, x, y, pick(8), pick(8));
    }
    ASSERT_TRUE(troops::Frame());
    for (const Soldier& s : model.soldiers)
      ASSERT_TRUE(std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.targetX) &&
                  std::isfinite(s.targetY) && std::isfinite(s.vx) && std::isfinite(s.vy))
          << "frame " << frame;
  }
  // A left button released outside the window is never seen: the drag goes on, to the far
  // corner of the 16-bit range.
  Mouse(MsgKind::kMouseDown, 10, 10, 0);
  troops::Frame();
  Mouse(MsgKind::kMouseDown, 10, 10, 1);
  troops::Frame();
  Mouse(MsgKind::kMouseWheel, 65535, 65535, 1);
  EXPECT_TRUE(troops::Frame());
  EXPECT_EQ(model.dragging, 1);
  EXPECT_EQ(PagePixel(1 - model.page, 400, 10), EaselColors[kYellow]);
}

TEST_F(Troops, AnyKeyOrTheCloseBoxEndsTheProgram) {
  const struct {
    const char* name;
    MsgKind kind;
    int vk, code, repeat;
  } cases[] = {{"a letter", MsgKind::kChar, 0, 'a', 1},
               {"an arrow key (two codes)", MsgKind::kKeyDown, EaselVkUp, 0, 1},
               {"the close box", MsgKind::kCloseRequest, 0, 0, 1},
               {"a flood of keys", MsgKind::kChar, 0, 'x', 100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(troops::Frame());
    easel::Message m;
    m.kind = c.kind;
    m.vk = c.vk;
    m.code = c.code;
    for (int i = 0; i < c.repeat; ++i) easel::headless::Inject(m);
    easel::headless::Sync();
    EXPECT_FALSE(troops::Frame());
    troops::End();
    troops::Start();
  }
}

}  // namespace
