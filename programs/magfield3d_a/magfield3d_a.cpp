#include "magfield3d_a.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/random.h"
#include "easel/easel.h"

namespace magfield3d_a {

Model model;

namespace {

bool Held(int vk) {
  return (EaselAsyncKeyState(vk) & 0x8000) != 0;
}

double RandomCoordinate() {
  return RandomInt(2 * static_cast<int32_t>(kCube)) - kCube;
}

bool OutsideCube(Vec3 p) {
  return p.x < -kCube || p.x > kCube || p.y < -kCube || p.y > kCube || p.z < -kCube || p.z > kCube;
}

void DrawPoles() {
  for (const SpacePole& pole : model.spacePoles) {
    if (pole.charge > 0) {
      glColor3f(1, 0, 0);
    } else {
      glColor3f(0, 0, 1);
    }
    glPushMatrix();
    glTranslatef(static_cast<float>(pole.x), static_cast<float>(pole.y),
                 static_cast<float>(pole.z));
    gluSphere(model.quadric, kPoleRadius, kSphereDetail, kSphereDetail);
    glPopMatrix();
  }
}

void DrawFloor() {
  glColor3f(0.5f, 0.5f, 0.5f);
  glBegin(GL_LINES);
  for (int a = -kHatch; a <= kHatch; ++a) {
    for (int b = -kHatch; b <= kHatch; ++b) {
      glVertex3d(a, -kCube, b);
      glVertex3d(a + 1, -kCube, b + 1);
    }
  }
  glEnd();
}

}  // namespace

void Start() {
  int16_t driver = 3, mode = 6;  // 256 colours, 800 x 600
  EaselOpen(driver, mode, "CAMP MAGNETIC IN 3D");
  RandomSeed();
  EaselGLSelect(true);
  model.yaw = 0;
  model.pitch = 0;
  model.distance = kStartDistance;
  model.prevMouseX = model.prevMouseY = 0;
  model.segmentScale = 0;
  PlaceScene();
  model.quadric = gluNewQuadric();
}

void PlaceScene() {
  for (Tracer& t : model.tracers) {
    t.x = RandomCoordinate();
    t.y = RandomCoordinate();
    t.z = RandomCoordinate();
  }
  for (SpacePole& pole : model.spacePoles) {
    pole.x = RandomCoordinate();
    pole.y = RandomCoordinate();
    pole.z = RandomCoordinate();
    pole.charge = RandomInt(2) == 0 ? -1 : 1;
  }
  FindPositivePoles();
}

void FindPositivePoles() {
  model.positiveCount = 0;
  for (int k = 0; k < kPoles; ++k) {
    if (model.spacePoles[k].charge > 0) model.positivePoles[model.positiveCount++] = k;
  }
  if (model.positiveCount == 0) {
    model.spacePoles[0].charge = 1;
    model.positivePoles[0] = 0;
    model.positiveCount = 1;
  }
}

bool Field(Vec3 p, Vec3& b) {
  b = {0, 0, 0};
  if (OutsideCube(p)) return true;
  bool captured = false;
  for (const SpacePole& pole : model.spacePoles) {
    const Vec3 d{p.x - pole.x, p.y - pole.y, p.z - pole.z};
    const double s2 = d.x * d.x + d.y * d.y + d.z * d.z;
    if (pole.charge < 0 && s2 < kCaptureLimit) {
      captured = true;
      break;
    }
    if (s2 != 0) {
      const double k = pole.charge / s2;
      b = {b.x + k * d.x, b.y + k * d.y, b.z + k * d.z};
    }
  }
  b = {b.x / kFieldDivisor, b.y / kFieldDivisor, b.z / kFieldDivisor};
  return captured;
}

void Rebirth(Tracer& t) {
  const SpacePole& pole = model.spacePoles[model.positivePoles[RandomInt(model.positiveCount)]];
  const double zo =
      RandomInt(static_cast<int32_t>(std::lround(2 * kPoleRadius * 1000))) / 1000.0 - 0.5;
  const double phi = RandomInt(1000) * 2 * std::numbers::pi / 1000;
  const double rho = std::sqrt(kPoleRadius * kPoleRadius - zo * zo);
  t.x = pole.x + rho * std::cos(phi);
  t.y = pole.y + rho * std::sin(phi);
  t.z = pole.z + zo;
}

Segment StepTracer(int i) {
  Tracer& t = model.tracers[i];
  const Vec3 p{t.x, t.y, t.z};
  Vec3 b;
  if (Field(p, b)) Rebirth(t);
  const double length = std::sqrt(b.x * b.x + b.y * b.y + b.z * b.z);
  if (length != 0) model.segmentScale = kHalfSegment / length;
  const double s = model.segmentScale;
  const Segment segment{{p.x - s * b.x, p.y - s * b.y, p.z - s * b.z},
                        {p.x + s * b.x, p.y + s * b.y, p.z + s * b.z}};
  t.x += kMoveFactor * b.x;
  t.y += kMoveFactor * b.y;
  t.z += kMoveFactor * b.z;
  return segment;
}

Colour TracerColour(int i) {
  return {static_cast<float>((64 + 64 * (i % 72)) / 256.0),
          static_cast<float>((128 + i % 80) / 256.0), 0.25f};
}

void Steer(uint16_t mouseX, uint16_t mouseY, uint16_t buttons, bool up, bool down, bool left,
           bool right) {
  if (buttons == kOrbitButtons) {
    model.yaw += mouseX - model.prevMouseX;
    model.pitch += mouseY - model.prevMouseY;
  }
  if (up) model.distance = std::max(model.distance - kZoomStep, kMinDistance);
  if (down) model.distance += kZoomStep;
  if (left) model.yaw -= kTurnStep;
  if (right) model.yaw += kTurnStep;
  model.prevMouseX = mouseX;
  model.prevMouseY = mouseY;
}

View CameraView(double yaw, double pitch, double distance) {
  const double y = yaw * std::numbers::pi / 180, p = pitch * std::numbers::pi / 180;
  const double sy = std::sin(y), cy = std::cos(y), sp = std::sin(p), cp = std::cos(p);
  View v;
  v.eye = {-distance * sy * cp, distance * sp, distance * cy * cp};
  v.up = {sy * sp, cp, -cy * sp};
  return v;
}

void DrawFrame() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(kFieldOfView, kAspect, model.distance * kNearFactor, model.distance * kFarFactor);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  glLoadIdentity();
  const View v = CameraView(model.yaw, model.pitch, model.distance);
  gluLookAt(v.eye.x, v.eye.y, v.eye.z, 0, 0, 0, v.up.x, v.up.y, v.up.z);

  for (int i = 0; i < kTracers; ++i) {
    const Segment s = StepTracer(i);
    const Colour c = TracerColour(i);
    glColor3f(c.r, c.g, c.b);
    glBegin(GL_LINES);
    glVertex3d(s.from.x, s.from.y, s.from.z);
    glVertex3d(s.to.x, s.to.y, s.to.z);
    glEnd();
  }
  DrawPoles();
  DrawFloor();
}

bool Frame() {
  Steer(EaselMouseX(), EaselMouseY(), EaselMouseButtons(), Held(EaselVkUp), Held(EaselVkDown),
        Held(EaselVkLeft), Held(EaselVkRight));
  DrawFrame();
  glFlush();
  EaselUpdate(2);
  return !Held(EaselVkEscape);
}

void End() {
  EaselGLSelect(false);
  EaselClose();
  gluDeleteQuadric(model.quadric);
  model.quadric = nullptr;
}

}  // namespace magfield3d_a
