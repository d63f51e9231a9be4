// camera3d: set-up, flying and turning, the near-plane cut, projection, clipping to the
// 16-bit range and wire spheres.
#include <algorithm>
#include <cmath>

#include "camera3d/camera.h"
#include "test_support.h"

namespace camera3d {
namespace {

using easel::Message;
using easel::MsgKind;

void ExpectNear(Vec3 got, Vec3 want, const char* what, double tolerance = 1e-7) {
  EXPECT_NEAR(got.x, want.x, tolerance) << what;
  EXPECT_NEAR(got.y, want.y, tolerance) << what;
  EXPECT_NEAR(got.z, want.z, tolerance) << what;
}

void ExpectOrthonormal(const Camera& c) {
  EXPECT_NEAR(Dot(c.right, c.right), 1, 1e-12);
  EXPECT_NEAR(Dot(c.down, c.down), 1, 1e-12);
  EXPECT_NEAR(Dot(c.forward, c.forward), 1, 1e-12);
  EXPECT_NEAR(Dot(c.right, c.down), 0, 1e-12);
  EXPECT_NEAR(Dot(c.right, c.forward), 0, 1e-12);
  EXPECT_NEAR(Dot(c.down, c.forward), 0, 1e-12);
}

TEST(CameraInit, LooksAtTheOriginFromTheTurnedStartPoint) {
  const double r = std::sqrt(1700.0);
  const struct {
    const char* name;
    Vec3 start;
    double step;
    Vec3 position, forward, right, down;
  } cases[] = {
      {"lightning", {0, 5, 0}, 0.05, {0, 0, 5}, {0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
      {"magnetic field",
       {0, 10, -40},
       0.5,
       {0, 40, 10},
       {0, -40 / r, -10 / r},
       {-1, 0, 0},
       {0, 10 / r, -40 / r}},
      {"off every axis",
       {3, 4, 12},
       1,
       {3, -12, 4},
       {-3 / 13.0, 12 / 13.0, -4 / 13.0},
       {-4 / 5.0, 0, 3 / 5.0},
       {36 / 65.0, 25 / 65.0, 48 / 65.0}},
  };
  for (const auto& c : cases) {
    Camera cam;
    cam.prevMouseX = cam.prevMouseY = 99;
    CameraInit(cam, c.start, c.step);
    ExpectNear(cam.position, c.position, c.name, 1e-12);
    ExpectNear(cam.forward, c.forward, c.name, 1e-12);
    ExpectNear(cam.right, c.right, c.name, 1e-12);
    ExpectNear(cam.down, c.down, c.name, 1e-12);
    EXPECT_EQ(cam.step, c.step) << c.name;
    EXPECT_EQ(cam.prevMouseX, 0) << c.name;
    EXPECT_EQ(cam.prevMouseY, 0) << c.name;
    // The origin is straight ahead.
    EXPECT_NEAR(Dot(cam.right, Vec3{0, 0, 0} - cam.position), 0, 1e-12) << c.name;
    EXPECT_NEAR(Dot(cam.down, Vec3{0, 0, 0} - cam.position), 0, 1e-12) << c.name;
  }
  Camera cam;
  CameraInit(cam, {0, 10, -40}, 0.5);
  EXPECT_NEAR(cam.forward.y, -0.9701425, 1e-7);
  EXPECT_NEAR(cam.forward.z, -0.2425356, 1e-7);
}

TEST(CameraInit, StartsOnTheZAxisOrAtTheOriginGiveAUsableCamera) {
  const Vec3 starts[] = {{0, 0, 7}, {0, 0, -3}, {0, 0, 0}};
  for (const Vec3& start : starts) {
    Camera cam;
    CameraInit(cam, start, 1);
    ExpectNear(cam.right, {-1, 0, 0}, "right");
    ExpectOrthonormal(cam);
  }
  Camera cam;
  CameraInit(cam, {0, 0, 7}, 1);
  ExpectNear(cam.position, {0, -7, 0}, "position");
  ExpectNear(cam.forward, {0, 1, 0}, "forward");  // towards the origin
}

// The lightning start camera: (x, y, z) lands at (399.5 - 399.5 x / (5 - z),
// 299.5 + 399.5 y / (5 - z)) on an 800 x 600 surface.
Camera LightningCamera() {
  Camera cam;
  CameraInit(cam, {0, 5, 0}, 0.05);
  return cam;
}

TEST(Projection, MapsScenePointsWithOneFactorForBothAxes) {
  const Camera cam = LightningCamera();
  const Vec3 points[] = {{0, 0, 0}, {-2, 0, 0}, {2, 0, 0}, {1.5, -2, 3}, {-4, 7, -20}, {0, 1, 4}};
  for (const Vec3& p : points) {
    ScreenSegment s;
    ASSERT_TRUE(ProjectSegment(cam, p, {0, 0, 0}, 799, 599, s));
    EXPECT_NEAR(s.x1, 399.5 - 399.5 * p.x / (5 - p.z), 1e-9);
    EXPECT_NEAR(s.y1, 299.5 + 399.5 * p.y / (5 - p.z), 1e-9);
    EXPECT_DOUBLE_EQ(s.x2, 399.5);
    EXPECT_DOUBLE_EQ(s.y2, 299.5);
  }
  ScreenSegment s;
  ASSERT_TRUE(ProjectSegment(cam, {-2, 0, 0}, {2, 0, 0}, 799, 599, s));
  EXPECT_NEAR(s.x1, 559.3, 1e-9);  // scene +x is screen-left
  EXPECT_NEAR(s.x2, 239.7, 1e-9);
}

TEST(Projection, CutsSegmentsExactlyAtDepthOne) {
  const Camera cam = LightningCamera();  // depth is 5 - z
  const struct {
    const char* name;
    Vec3 p1, p2;
    bool drawn;
    ScreenSegment want;
  } cases[] = {
      // u runs from 1 (depth 0.5) to -3 (depth 3): the cut at t = 0.2 has u = 0.2, depth 1.
      {"first end behind", {-1, 0, 4.5}, {3, 0, 2}, true, {399.5 + 399.5 * 0.2, 299.5, 0, 299.5}},
      {"second end behind", {3, 0, 2}, {-1, 0, 4.5}, true, {0, 299.5, 399.5 + 399.5 * 0.2, 299.5}},
      {"v is cut too",
       {0, 2, 4.5},
       {0, -2, 2.5},
       true,
       {399.5, 299.5 + 399.5, 399.5, 299.5 - 319.6}},
      {"depth exactly 1 is in front", {1, 1, 4}, {0, 0, 4}, true, {0, 699, 399.5, 299.5}},
      {"both ends at depth 1", {-1, 0, 4}, {1, 0, 4}, true, {799, 299.5, 0, 299.5}},
      {"both behind", {0, 0, 4.5}, {1, 1, 4.01}, false, {}},
      {"both behind the eye", {0, 0, 6}, {0, 0, 9}, false, {}},
  };
  for (const auto& c : cases) {
    ScreenSegment s{};
    ASSERT_EQ(ProjectSegment(cam, c.p1, c.p2, 799, 599, s), c.drawn) << c.name;
    if (!c.drawn) continue;
    EXPECT_NEAR(s.x1, c.want.x1, 1e-9) << c.name;
    EXPECT_NEAR(s.y1, c.want.y1, 1e-9) << c.name;
    EXPECT_NEAR(s.x2, c.want.x2, 1e-9) << c.name;
    EXPECT_NEAR(s.y2, c.want.y2, 1e-9) << c.name;
  }
}

TEST(Projection, ClipsToThe16BitRangeAlongTheLine) {
  const struct {
    const char* name;
    ScreenSegment in;
    bool kept;
    ScreenSegment want;
  } cases[] = {
      {"inside stays exact", {-32768, 32767, 0.25, -5.5}, true, {-32768, 32767, 0.25, -5.5}},
      {"second end beyond x", {0, 0, 65534, 32767}, true, {0, 0, 32767, 16383.5}},
      {"first end beyond y", {100, -100000, 100, 100}, true, {100, -32768, 100, 100}},
      {"both ends beyond, crossing",
       {-100000, -50000, 100000, 50000},
       true,
       {-32768, -16384, 32767, 16383.5}},
      {"wholly outside", {40000, 0, 50000, 10}, false, {}},
      {"outside past a corner", {-40000, 30000, -30000, 40000}, false, {}},
      {"not a number", {NAN, 0, 1, 1}, false, {}},
      {"infinite", {0, 0, INFINITY, 1}, false, {}},
  };
  for (const auto& c : cases) {
    ScreenSegment s = c.in;
    ASSERT_EQ(ClipToCoordinateRange(s), c.kept) << c.name;
    if (!c.kept) continue;
    // Both ends in range and on the original line.
    for (double v : {s.x1, s.y1, s.x2, s.y2}) {
      EXPECT_GE(v, -32768) << c.name;
      EXPECT_LE(v, 32767) << c.name;
    }
    EXPECT_NEAR(s.x1, c.want.x1, 1e-6) << c.name;
    EXPECT_NEAR(s.y1, c.want.y1, 1e-6) << c.name;
    EXPECT_NEAR(s.x2, c.want.x2, 1e-6) << c.name;
    EXPECT_NEAR(s.y2, c.want.y2, 1e-6) << c.name;
    const double cross =
        (s.x1 - c.in.x1) * (c.in.y2 - c.in.y1) - (s.y1 - c.in.y1) * (c.in.x2 - c.in.x1);
    EXPECT_NEAR(cross / std::hypot(c.in.x2 - c.in.x1, c.in.y2 - c.in.y1), 0, 1e-6) << c.name;
  }
}

// Drawing and steering need a window: the pages, the mouse and the held keys.
class CameraWindow : public easel::test::Window {
 protected:
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
  void SetUp() override {
    Window::SetUp();
    Send(MsgKind::kMouseMove, 0, 0, 0);
    EaselSetColor(EaselColors[250]);
  }
  static int Count() { return easel::test::CountSet(0, 0, 0, 799, 599); }
};

TEST_F(CameraWindow, LongLinesKeepTheirDirectionOnThePage) {
  // From the centre to a point on the near plane 1000 units off the axis: projected far
  // beyond the 16-bit range, with slope 1/2.
  const Camera cam = LightningCamera();
  DrawLine3D(cam, {0, 0, 0}, {-1000, 500, 4});
  int n = 0;
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      if (!easel::test::PagePixel(0, x, y)) continue;
      ++n;
      EXPECT_NEAR(y, 299.5 + (x - 399.5) / 2, 1.0) << x << "," << y;
    }
  }
  EXPECT_GE(n, 399);  // from x = 400 to the right edge
  EXPECT_TRUE(easel::test::PagePixel(0, 799, 500) || easel::test::PagePixel(0, 799, 499));
}

TEST_F(CameraWindow, DrawsNothingBehindTheNearPlaneAndRoundsTheCentreToAPixel) {
  const Camera cam = LightningCamera();
  DrawLine3D(cam, {0, 0, 4.5}, {3, 3, 4.2});
  DrawWireSphere(cam, {0, 0, 6}, 0.5);
  EXPECT_EQ(Count(), 0);
  DrawLine3D(cam, {0, 0, 0}, {0, 0, 0});  // projects to (399.5, 299.5)
  EXPECT_EQ(Count(), 1);
  EXPECT_NE(easel::test::PagePixel(0, 400, 300), 0u);
}

TEST_F(CameraWindow, RoundsHalfPixelsToEven) {
  // Eye at the origin looking along +z: at depth 399.5 a unit of u or v is one pixel.
  Camera cam{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 1, 0, 0};
  DrawLine3D(cam, {1, 1, 399.5}, {1, 1, 399.5});      // (400.5, 300.5)
  DrawLine3D(cam, {2, 2, 399.5}, {2, 2, 399.5});      // (401.5, 301.5)
  DrawLine3D(cam, {-2, -3, 399.5}, {-2, -3, 399.5});  // (397.5, 296.5)
  EXPECT_EQ(Count(), 3);
  EXPECT_NE(easel::test::PagePixel(0, 400, 300), 0u);
  EXPECT_NE(easel::test::PagePixel(0, 402, 302), 0u);
  EXPECT_NE(easel::test::PagePixel(0, 398, 296), 0u);
}

TEST_F(CameraWindow, AWireSphereIs441SegmentsAroundItsCentre) {
  const Camera cam = LightningCamera();
  easel::Stats& stats = easel::GetStats();
  stats.Reset();
  stats.enabled = true;
  DrawWireSphere(cam, {-2, 0, 0}, 0.15);
  stats.enabled = false;
  EXPECT_EQ(stats.drawCalls.load(), 441u);
  // Centre at (559.3, 299.5), about 12 pixels across each way.
  int minX = 800, maxX = -1, minY = 600, maxY = -1;
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      if (!easel::test::PagePixel(0, x, y)) continue;
      minX = std::min(minX, x);
      maxX = std::max(maxX, x);
      minY = std::min(minY, y);
      maxY = std::max(maxY, y);
    }
  }
  EXPECT_NEAR(minX, 559 - 12, 1);
  EXPECT_NEAR(maxX, 559 + 12, 1);
  EXPECT_NEAR(minY, 300 - 12, 1);
  EXPECT_NEAR(maxY, 300 + 12, 1);
}

TEST_F(CameraWindow, AWireSphereIsItsMeridianSegmentsDrawnOneByOne) {
  // Meridian m at theta = m pi/20, point k at phi = k pi/10, sides drawn from P_k to P_k-1;
  // a sphere cut by the near plane and seen from an oblique camera.
  Camera cam;
  CameraInit(cam, {0, 10, -40}, 0.5);
  const Vec3 centres[] = {{3, 2, -1}, cam.position + 1.2 * cam.forward};
  for (const Vec3& c : centres) {
    const double r = 0.7;
    EaselSetDrawPage(1);
    EaselClear();
    EaselSetDrawPage(0);
    EaselClear();
    DrawWireSphere(cam, c, r);
    EaselSetDrawPage(1);
    const double pi = std::acos(-1.0);
    for (int m = 0; m <= 20; ++m) {
      const double theta = m * pi / 20;
      auto at = [&](int k) {
        const double phi = k * pi / 10;
        return c + r * Vec3{std::cos(theta) * std::sin(phi), std::sin(theta) * std::sin(phi),
                            std::cos(phi)};
      };
      for (int k = 1; k <= 21; ++k) DrawLine3D(cam, at(k), at(k - 1));
    }
    EXPECT_GT(easel::test::CountSet(0, 0, 0, 799, 599), 20);
    EXPECT_EQ(easel::test::Picture(0, 0, 0, 799, 599), easel::test::Picture(1, 0, 0, 799, 599));
  }
}

TEST_F(CameraWindow, HeldKeysMoveAlongTheAxesInTableOrder) {
  const struct {
    int vk;
    double f, d, r;  // multiples of step along forward, down and right
  } cases[] = {
      {EaselVkUp, 1, 0, 0},     {EaselVkDown, -1, 0, 0}, {'A', 0, -1, 0},
      {'Z', 0, 1, 0},           {EaselVkLeft, 0, 0, -1}, {EaselVkRight, 0, 0, 1},
      {EaselVkEscape, 0, 0, 0}, {'Q', 0, 0, 0},          {EaselVkSpace, 0, 0, 0},
  };
  for (const auto& c : cases) {
    Camera cam;
    CameraInit(cam, {0, 10, -40}, 0.5);
    const Camera before = cam;
    Key(c.vk, true);
    CameraNavigate(cam, 1, -1, Pointer::kUnsigned);
    CameraNavigate(cam, 1, -1, Pointer::kUnsigned);  // acts every frame while held
    Key(c.vk, false);
    CameraNavigate(cam, 1, -1, Pointer::kUnsigned);
    const Vec3 want = before.position + 2 * c.f * 0.5 * before.forward +
                      2 * c.d * 0.5 * before.down + 2 * c.r * 0.5 * before.right;
    ExpectNear(cam.position, want, "key", 1e-12);
  }

  // All held together: each acts once per frame, in the order up, down, A, Z, left, right.
  Camera cam;
  CameraInit(cam, {0, 10, -40}, 0.5);
  const Camera b = cam;
  for (int vk : {int{EaselVkUp}, int{'Z'}, int{EaselVkRight}, int{EaselVkLeft}}) Key(vk, true);
  CameraNavigate(cam, 1, -1, Pointer::kUnsigned);
  Vec3 want = b.position + 0.5 * b.forward;
  want = want + 0.5 * b.down;
  want = want - 0.5 * b.right;
  want = want + 0.5 * b.right;
  EXPECT_EQ(cam.position.x, want.x);
  EXPECT_EQ(cam.position.y, want.y);
  EXPECT_EQ(cam.position.z, want.z);
}

// The turned forward axis for yaw and pitch from the given axes.
Vec3 Turned(const Camera& c, double yaw, double pitch) {
  return std::sin(yaw) * std::cos(pitch) * c.right + std::sin(pitch) * c.down +
         std::cos(yaw) * std::cos(pitch) * c.forward;
}

TEST_F(CameraWindow, DragsTurnOnlyOnTheExactButtonValue) {
  const struct {
    const char* name;
    uint16_t drag;
    int buttons, mods;
    bool turns;
  } cases[] = {
      {"left for a left drag", 1, easel::kMouseLeft, 0, true},
      {"right for a right drag", 2, easel::kMouseRight, 0, true},
      {"right for a left drag", 1, easel::kMouseRight, 0, false},
      {"left with Shift", 1, easel::kMouseLeft, easel::kModShift, false},
      {"left with Ctrl", 1, easel::kMouseLeft, easel::kModCtrl, false},
      {"left and right", 1, easel::kMouseLeft | easel::kMouseRight, 0, false},
      {"right and middle", 2, easel::kMouseRight | easel::kMouseMiddle, 0, false},
      {"no button", 1, 0, 0, false},
  };
  for (const auto& c : cases) {
    Send(MsgKind::kMouseMove, 100, 100, 0);
    Camera cam = LightningCamera();
    CameraNavigate(cam, c.drag, +1, Pointer::kSigned);  // the pointer rests at (100, 100)
    const Camera before = cam;
    Send(MsgKind::kMouseMove, 164, 132, c.buttons, c.mods);
    CameraNavigate(cam, c.drag, +1, Pointer::kSigned);
    EXPECT_EQ(cam.prevMouseX, 164) << c.name;
    EXPECT_EQ(cam.prevMouseY, 132) << c.name;
    const Vec3 want = c.turns ? Turned(before, 0.25, 0.125) : before.forward;
    ExpectNear(cam.forward, want, c.name, 1e-12);
    ExpectOrthonormal(cam);
  }
}

TEST_F(CameraWindow, TurnsByPointerMotionFromThePreviousFrame) {
  Camera cam = LightningCamera();
  // The first frame compares with (0, 0): a drag already under way turns by the full
  // coordinates, a button held at (0, 0) turns nothing.
  Send(MsgKind::kMouseDown, 0, 0, easel::kMouseRight);
  CameraNavigate(cam, 2, +1, Pointer::kSigned);
  ExpectNear(cam.forward, {0, 0, -1}, "no motion yet", 0);
  Send(MsgKind::kMouseMove, 32, 64, easel::kMouseRight);
  Camera before = cam;
  CameraNavigate(cam, 2, +1, Pointer::kSigned);
  ExpectNear(cam.forward, Turned(before, 0.125, 0.25), "first drag");
  EXPECT_GT(cam.forward.y, 0);  // dragging down looks down (scene +y is screen-down)
  EXPECT_LT(cam.forward.x, 0);  // dragging right looks towards scene -x, screen right

  // Holding still turns nothing.
  before = cam;
  CameraNavigate(cam, 2, +1, Pointer::kSigned);
  ExpectNear(cam.forward, before.forward, "held still", 1e-15);

  // Moves without the button still update the previous position: the next drag starts there.
  Send(MsgKind::kMouseMove, 300, 200, 0);
  CameraNavigate(cam, 2, +1, Pointer::kSigned);
  Send(MsgKind::kMouseMove, 310, 180, easel::kMouseRight);
  before = cam;
  CameraNavigate(cam, 2, +1, Pointer::kSigned);
  ExpectNear(cam.forward, Turned(before, 10 / 256.0, -20 / 256.0), "second drag");

  // A negative pitch sign turns the other way.
  Camera up = LightningCamera();
  up.prevMouseX = 310;
  up.prevMouseY = 150;
  CameraNavigate(up, 2, -1, Pointer::kSigned);
  ExpectNear(up.forward, Turned(LightningCamera(), 0, -30 / 256.0), "pitch sign");
  EXPECT_LT(up.forward.y, 0);
}

TEST_F(CameraWindow, PointerCoordinatesAreReadSignedOrUnsigned) {
  // A wheel event carries screen coordinates, here left of and above the screen's origin:
  // the library keeps them as 16-bit values 65526 and 65516.
  Message wheel;
  wheel.kind = MsgKind::kMouseWheel;
  wheel.x = -10;
  wheel.y = -20;
  wheel.wheel = 120;
  easel::headless::Inject(wheel);
  easel::headless::Sync();
  Camera s = LightningCamera(), u = LightningCamera();
  CameraNavigate(s, 1, +1, Pointer::kSigned);
  CameraNavigate(u, 1, +1, Pointer::kUnsigned);
  EXPECT_EQ(s.prevMouseX, -10);
  EXPECT_EQ(s.prevMouseY, -20);
  EXPECT_EQ(u.prevMouseX, 65526);
  EXPECT_EQ(u.prevMouseY, 65516);
  Send(MsgKind::kMouseMove, 6, 12, easel::kMouseLeft);
  const Camera s0 = s, u0 = u;
  CameraNavigate(s, 1, +1, Pointer::kSigned);
  CameraNavigate(u, 1, +1, Pointer::kUnsigned);
  ExpectNear(s.forward, Turned(s0, 16 / 256.0, 32 / 256.0), "signed");
  ExpectNear(u.forward, Turned(u0, (6 - 65526) / 256.0, (12 - 65516) / 256.0), "unsigned");
}

TEST_F(CameraWindow, AxesAreMadeOrthonormalOnEveryCall) {
  Camera cam = LightningCamera();
  cam.right = {-2, 0.001, 0};  // drifted: too long, and down no longer square to it
  cam.down = {0.3, 5, 0};
  CameraNavigate(cam, 1, +1, Pointer::kSigned);  // no key, no drag
  const double n = std::hypot(2.0, 0.001);
  ExpectNear(cam.right, {-2 / n, 0.001 / n, 0}, "right", 1e-15);
  ExpectNear(cam.forward, {0, 0, -1}, "forward", 0);
  ExpectNear(cam.down, Cross(cam.forward, cam.right), "down", 0);
  EXPECT_NEAR(Dot(cam.down, cam.down), 1, 1e-15);
  EXPECT_NEAR(Dot(cam.down, cam.right), 0, 1e-15);

  // Many turns keep square axes square.
  cam = LightningCamera();
  for (int i = 0; i < 200; ++i) {
    Send(MsgKind::kMouseMove, (i * 37) % 800, (i * 91) % 600, easel::kMouseLeft);
    CameraNavigate(cam, 1, +1, Pointer::kSigned);
  }
  ExpectOrthonormal(cam);
}

}  // namespace
}  // namespace camera3d
