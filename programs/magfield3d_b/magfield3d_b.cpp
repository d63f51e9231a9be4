#include "magfield3d_b.h"

#include <cmath>
#include <numbers>

#include "common/random.h"
#include "easel/easel.h"

namespace magfield3d_b {

using camera3d::DrawLine3D;

Model model;

namespace {
double RandomCoordinate() {
  return RandomInt(2 * static_cast<int32_t>(kCube)) - kCube;
}
Vec3 PositionOf(const Tracer& t) {
  return {t.x, t.y, t.z};
}
Vec3 CentreOf(const SpacePole& p) {
  return {p.x, p.y, p.z};
}
}  // namespace

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

uint32_t TracerColour(int i) {
  return EaselRgb(static_cast<int16_t>(64 * (i % 72) + 64), static_cast<int16_t>(128 + i % 80), 64);
}

void Start() {
  int16_t driver = 3, mode = 6;  // 256 colours, 800 x 600
  EaselOpen(driver, mode, "CAMP MAGNETIC IN 3D");
  model.page = 0;
  RandomSeed();
  camera3d::CameraInit(model.camera, kCameraStart, kCameraStep);
  model.positiveCount = 0;
  model.segmentScale = 0;
  for (Tracer& t : model.tracers) {
    t.x = RandomCoordinate();
    t.y = RandomCoordinate();
    t.z = RandomCoordinate();
  }
  for (SpacePole& p : model.spacePoles) {
    p.x = RandomCoordinate();
    p.y = RandomCoordinate();
    p.z = RandomCoordinate();
    p.charge = RandomInt(2) == 0 ? -1 : 1;
  }
  FindPositivePoles();
  // The colour depends on i only through i mod 80 (the red byte repeats every 4 tracers), and
  // the palette never changes while the window is open: look each one up once.
  for (int i = 0; i < 80; ++i) model.tracerColours[i] = TracerColour(i);
}

bool Field(Vec3 p, Vec3& b) {
  b = {0, 0, 0};
  // Written so that a coordinate that is not a number counts as outside too.
  const auto inside = [](double v) { return v >= -kCube && v <= kCube; };
  if (!inside(p.x) || !inside(p.y) || !inside(p.z)) return true;
  bool captured = false;
  for (const SpacePole& pole : model.spacePoles) {
    const Vec3 d = p - CentreOf(pole);
    const double s2 = camera3d::Dot(d, d);
    if (pole.charge < 0 && s2 < kCaptureLimit) {
      captured = true;
      break;
    }
    if (s2 != 0) b = b + (pole.charge / s2) * d;
  }
  b = b / kFieldDivisor;
  return captured;
}

void Rebirth(Tracer& t) {
  const SpacePole& pole = model.spacePoles[model.positivePoles[RandomInt(model.positiveCount)]];
  const double zo = RandomInt(static_cast<int32_t>(2 * kPoleRadius * 1000)) / 1000.0 - 0.5;
  const double phi = RandomInt(1000) * 2 * std::numbers::pi / 1000;
  const double rho = std::sqrt(kPoleRadius * kPoleRadius - zo * zo);
  t.x = pole.x + rho * std::cos(phi);
  t.y = pole.y + rho * std::sin(phi);
  t.z = pole.z + zo;
}

void StepTracer(int i) {
  Tracer& t = model.tracers[i];
  const Vec3 p = PositionOf(t);
  Vec3 b;
  if (Field(p, b)) Rebirth(t);
  const double length = std::sqrt(camera3d::Dot(b, b));
  if (length != 0) model.segmentScale = kHalfStroke / length;
  EaselSetColor(model.tracerColours[i % 80]);
  DrawLine3D(model.camera, p - model.segmentScale * b, p + model.segmentScale * b);
  t.x += kMoveFactor * b.x;
  t.y += kMoveFactor * b.y;
  t.z += kMoveFactor * b.z;
}

bool Frame() {
  for (int i = 0; i < kTracers; ++i) StepTracer(i);

  for (const SpacePole& pole : model.spacePoles) {
    EaselSetColor(pole.charge > 0 ? EaselColors[207] : EaselColors[15]);  // red, blue
    camera3d::DrawWireSphere(model.camera, CentreOf(pole), kPoleRadius);
  }

  EaselSetColor(EaselColors[59]);  // dark grey
  for (int a = -kHatch; a <= kHatch; ++a) {
    for (int b = -kHatch; b <= kHatch; ++b) {
      DrawLine3D(model.camera, {static_cast<double>(a), static_cast<double>(b), -kCube},
                 {a + 1.0, b + 1.0, -kCube});
    }
  }

  camera3d::CameraNavigate(model.camera, kDragButtons, kPitchSign, camera3d::Pointer::kUnsigned);
  EaselSetDrawPage(model.page);
  model.page = static_cast<int16_t>(1 - model.page);
  EaselSetShowPage(model.page);
  EaselClear();
  return (EaselAsyncKeyState(EaselVkEscape) & 0x8000) == 0;
}

void End() {
  EaselClose();
}

}  // namespace magfield3d_b
