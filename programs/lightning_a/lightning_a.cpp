#include "lightning_a.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/random.h"
#include "easel/easel.h"

namespace lightning_a {

Model model;

namespace {

bool Held(int vk) {
  return (EaselAsyncKeyState(vk) & 0x8000) != 0;
}

void Vertex(Vec3 p) {
  glVertex3d(p.x, p.y, p.z);
}

Vec3 Plus(Vec3 a, Vec3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}

void Sphere(Vec3 centre) {
  glColor3f(1, 0, 0);
  glPushMatrix();
  glTranslatef(static_cast<float>(centre.x), static_cast<float>(centre.y),
               static_cast<float>(centre.z));
  gluSphere(model.quadric, kSphereRadius, kSphereDetail, kSphereDetail);
  glPopMatrix();
}

void Rod(Vec3 from) {
  glBegin(GL_LINES);
  Vertex(from);
  Vertex(Plus(from, kRod));
  glEnd();
}

}  // namespace

void Start() {
  int16_t driver = 3, mode = 6;  // 256 colours, 800 x 600
  EaselOpen(driver, mode, "FULGER");
  EaselGLSelect(true);
  model.distance = kStartDistance;
  model.yaw = kStartYaw;
  model.pitch = kStartPitch;
  model.mouseX = model.mouseY = model.prevMouseX = model.prevMouseY = 0;
  model.quadric = gluNewQuadric();
}

void Steer(uint16_t mouseX, uint16_t mouseY, uint16_t buttons, bool nearer, bool farther) {
  model.prevMouseX = model.mouseX;
  model.prevMouseY = model.mouseY;
  model.mouseX = static_cast<int16_t>(mouseX);
  model.mouseY = static_cast<int16_t>(mouseY);
  if (buttons == kOrbitButtons) {
    model.yaw += model.mouseX - model.prevMouseX;
    model.pitch += model.mouseY - model.prevMouseY;
  }
  if (nearer) model.distance = std::max(model.distance - kZoomStep, kMinDistance);
  if (farther) model.distance += kZoomStep;
}

View CameraView(double yaw, double pitch, double distance) {
  const double y = yaw * std::numbers::pi / 180, p = pitch * std::numbers::pi / 180;
  const double sy = std::sin(y), cy = std::cos(y), sp = std::sin(p), cp = std::cos(p);
  View v;
  v.eye = {distance * sy * cp, distance * sp, distance * cy * cp};
  v.up = {-sy * sp, cp, -cy * sp};
  return v;
}

double Kink(int32_t n) {
  return (0.5 - n / 1000.0) * kKink;
}

void MakeBolt(Vec3 a, Vec3 b, Vec3 (&points)[kBoltSegments + 1]) {
  points[0] = a;
  for (int k = 1; k < kBoltSegments; ++k) {
    const double y = Kink(RandomInt(1000));
    const double z = Kink(RandomInt(1000));
    points[k] = {a.x + (b.x - a.x) * k / kBoltSegments, a.y + y, a.z + z};
  }
  points[kBoltSegments] = b;
}

void DrawScene() {
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

  Sphere(model.terminalA);
  Sphere(model.terminalB);

  glLineWidth(kRodWidth);
  glColor3f(0.4f, 0.4f, 0.4f);
  Rod(model.terminalA);
  Rod(model.terminalB);
  glLineWidth(1);

  for (int k = 0; k < kBoltSegments; ++k) {
    glColor3f(1, 1, 0);
    glBegin(GL_LINES);
    Vertex(model.bolt[k]);
    Vertex(model.bolt[k + 1]);
    glEnd();
  }
}

bool Frame() {
  model.yaw += kAutoTurn;
  Steer(EaselMouseX(), EaselMouseY(), EaselMouseButtons(), Held(EaselVkUp), Held(EaselVkDown));
  model.terminalA = kTerminalA;
  model.terminalB = kTerminalB;
  MakeBolt(model.terminalA, model.terminalB, model.bolt);
  DrawScene();
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

}  // namespace lightning_a
