#include "lightning_b.h"

#include "common/random.h"
#include "easel/easel.h"

namespace lightning_b {

using camera3d::DrawLine3D;
using camera3d::DrawWireSphere;

Model model;

void Start() {
  int16_t driver = 3, mode = 6;  // 256 colours, 800 x 600
  EaselOpen(driver, mode, "FULGER");
  model.page = 0;
  camera3d::CameraInit(model.camera, kCameraStart, kCameraStep);
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

bool Frame() {
  camera3d::CameraNavigate(model.camera, kDragButtons, kPitchSign, camera3d::Pointer::kSigned);
  EaselSetDrawPage(model.page);
  model.page = static_cast<int16_t>(1 - model.page);
  EaselSetShowPage(model.page);
  EaselClear();

  model.terminalA = {-2, 0, 0};
  model.terminalB = {2, 0, 0};
  EaselSetLineStyle(0, 0, kThickness);

  EaselSetColor(EaselColors[127]);  // grey
  DrawWireSphere(model.camera, model.terminalA, kSphereRadius);
  DrawWireSphere(model.camera, model.terminalB, kSphereRadius);
  DrawLine3D(model.camera, model.terminalA, model.terminalA + kRod);
  DrawLine3D(model.camera, model.terminalB, model.terminalB + kRod);

  EaselSetColor(EaselColors[253]);  // yellow
  MakeBolt(model.terminalA, model.terminalB, model.bolt);
  for (int k = 0; k < kBoltSegments; ++k)
    DrawLine3D(model.camera, model.bolt[k], model.bolt[k + 1]);

  return (EaselAsyncKeyState(EaselVkEscape) & 0x8000) == 0;
}

void End() {
  EaselClose();
}

}  // namespace lightning_b
