// Flat lightning: a flickering spark between two terminals in 3D, drawn with easel's lines
// through the flat camera. Two grey wire spheres 4 units apart on the x axis stand on rods;
// a yellow bolt of 15 segments with fresh random kinks joins their centres every frame. The
// arrow keys, "A" and "Z" fly the camera, a right-button drag turns it; Escape held ends.
// The generator is never seeded, so every run shows the same bolts.
#ifndef PROGRAMS_LIGHTNING_B_H
#define PROGRAMS_LIGHTNING_B_H

#include <cstdint>

#include "camera3d/camera.h"

namespace lightning_b {

using camera3d::Vec3;

constexpr Vec3 kCameraStart{0, 5, 0};
constexpr double kCameraStep = 0.05;
constexpr uint16_t kDragButtons = 2;  // the right button alone
constexpr int kPitchSign = +1;        // dragging down looks down
constexpr double kSphereRadius = 0.15;
constexpr Vec3 kRod{0, 5, 0};  // from each terminal centre
constexpr int16_t kThickness = 3;
constexpr int kBoltSegments = 15;
constexpr double kKink = 0.15;  // an inner point moves up to about half this in y and z

struct Model {
  camera3d::Camera camera;
  int16_t page;  // the page drawn into this frame
  Vec3 terminalA, terminalB;
  Vec3 bolt[kBoltSegments + 1];  // the last bolt drawn, from terminalA to terminalB
};
extern Model model;

void Start();  // opens the window and sets the camera up
bool Frame();  // one frame; false once Escape is held
void End();    // closes the window

// The kink of an inner bolt point along one axis for a random draw n in 0..999.
double Kink(int32_t n);
// A new bolt from a to b: straight in x, each inner point kinked in y then z (two draws).
void MakeBolt(Vec3 a, Vec3 b, Vec3 (&points)[kBoltSegments + 1]);

}  // namespace lightning_b

#endif  // PROGRAMS_LIGHTNING_B_H
