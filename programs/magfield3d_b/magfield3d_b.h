// Magnetic field in 3D, drawn flat: eight poles (red wire spheres +1, blue -1) at random in a
// cube, and 8096 tracers drifting along their field, each drawn as a short stroke along the
// local field. Tracers leave the positive poles and are taken back when they reach a negative
// pole or leave the cube, to start again on a random positive pole. Dark grey diagonal strokes
// hatch the cube's face z = -20. The arrow keys, "A" and "Z" fly the camera, a left-button
// drag turns it; Escape held ends.
#ifndef PROGRAMS_MAGFIELD3D_B_H
#define PROGRAMS_MAGFIELD3D_B_H

#include <cstdint>

#include "camera3d/camera.h"

namespace magfield3d_b {

using camera3d::Vec3;

constexpr Vec3 kCameraStart{0, 10, -40};
constexpr double kCameraStep = 0.5;
constexpr uint16_t kDragButtons = 1;  // the left button alone
constexpr int kPitchSign = -1;        // dragging down looks up
constexpr int kPoles = 8;
constexpr int kTracers = 8096;
constexpr double kPoleRadius = 0.5;
constexpr double kCaptureLimit = 2 * kPoleRadius;  // squared distance to a -1 pole
constexpr double kCube = 20;                       // the cube spans -kCube..kCube
constexpr double kFieldDivisor = 8;
constexpr double kMoveFactor = 10;
constexpr double kHalfStroke = 0.125;
constexpr int kHatch = 20;  // strokes from -kHatch to kHatch each way, in the plane z = -20

struct SpacePole {
  double x, y, z;
  int32_t charge;  // +1 or -1
};

struct Tracer {
  double x, y, z;
};

struct Model {
  camera3d::Camera camera;
  int16_t page;  // the page drawn into this frame
  SpacePole spacePoles[kPoles];
  Tracer tracers[kTracers];
  int32_t positivePoles[kPoles];  // indices of the +1 poles, ascending
  int32_t positiveCount;          // at least 1
  double segmentScale;            // kept from one tracer to the next when the field is zero
  uint32_t tracerColours[80];     // the tracer colours, which repeat every 80 tracers
};
extern Model model;

void Start();  // opens the window, seeds, places tracers and poles
bool Frame();  // one frame; false once Escape is held
void End();    // closes the window

// Lists the +1 poles in model.positivePoles; when there is none, pole 0 becomes +1.
void FindPositivePoles();
// The field at p, divided by kFieldDivisor, into b. True when p is captured: outside the cube
// (tested first, b stays 0) or within the capture limit of a -1 pole (b then holds the field
// of the poles before that one).
bool Field(Vec3 p, Vec3& b);
// A captured tracer starts again on the sphere of a random positive pole (three draws).
void Rebirth(Tracer& t);
// The colour of tracer i, as EaselRgb gives it: red 64 (i mod 72) + 64 keeps its low byte.
uint32_t TracerColour(int i);
// One tracer's frame: field, rebirth, stroke along the field, move.
void StepTracer(int i);

}  // namespace magfield3d_b

#endif  // PROGRAMS_MAGFIELD3D_B_H
