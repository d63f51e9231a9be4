// Magnetic field in 3D through OpenGL: eight poles (red spheres +1, blue -1) at random in a
// cube, and 8096 tracers drifting along their field, each drawn as a short segment along the
// local field. Tracers leave the positive poles and are taken back when they reach a negative
// pole or leave the cube, to start again on a random positive pole. Grey diagonal strokes hatch
// the floor of the cube. The camera orbits the origin: a left-button drag or the left and
// right arrows turn it, the up and down arrows move it nearer and farther. Escape held ends.
#ifndef PROGRAMS_MAGFIELD3D_A_H
#define PROGRAMS_MAGFIELD3D_A_H

#include <cstdint>

struct GLUquadric;

namespace magfield3d_a {

struct Vec3 {
  double x, y, z;
};

constexpr int kPoles = 8;
constexpr int kTracers = 8096;
constexpr double kCube = 20;  // the cube spans -kCube..kCube on each axis
constexpr double kPoleRadius = 0.5;
constexpr int kSphereDetail = 30;                  // slices and stacks
constexpr double kCaptureLimit = 2 * kPoleRadius;  // squared distance to a -1 pole
constexpr double kFieldDivisor = 8;
constexpr double kMoveFactor = 10;
constexpr double kHalfSegment = 0.125;
constexpr int kHatch = 20;  // floor strokes from -kHatch to kHatch each way, in y = -kCube

constexpr double kStartDistance = 50;
constexpr double kZoomStep = 0.3;      // per frame while an arrow key is held
constexpr double kTurnStep = 1;        // degrees per frame while an arrow key is held
constexpr double kMinDistance = 0.3;   // the camera stops short of the origin
constexpr uint16_t kOrbitButtons = 1;  // the left button alone turns the view
constexpr double kFieldOfView = 55;    // vertical, degrees
constexpr double kAspect = 1.0;
constexpr double kNearFactor = 1.0 / 8, kFarFactor = 7;  // of the distance

struct SpacePole {
  double x, y, z;
  int32_t charge;  // +1 or -1
};

struct Tracer {
  double x, y, z;
};

struct Model {
  SpacePole spacePoles[kPoles];
  Tracer tracers[kTracers];
  int32_t positivePoles[kPoles];  // indices of the +1 poles, ascending
  int32_t positiveCount;          // at least 1
  double yaw, pitch, distance;    // the camera: degrees, degrees, scene units
  int32_t prevMouseX, prevMouseY;
  double segmentScale;  // kept from one tracer to the next when the field is zero
  GLUquadric* quadric;  // draws every sphere; made at start, freed at the end
};
extern Model model;

void Start();  // opens the window, seeds, selects the window's OpenGL context, places all
bool Frame();  // one frame; false once Escape is held
void End();    // selects the bitmap context again and closes the window

// Places tracers and poles at random whole coordinates in -20..19 and lists the +1 poles.
void PlaceScene();
// Lists the +1 poles in model.positivePoles; when there is none, pole 0 becomes +1.
void FindPositivePoles();
// The field at p, divided by kFieldDivisor, into b. True when p is captured: outside the cube
// (tested first, b stays 0) or within the capture limit of a -1 pole (b then holds the field
// of the poles before that one). A point exactly at a +1 pole's centre skips that pole.
bool Field(Vec3 p, Vec3& b);
// A captured tracer starts again on the sphere of a random positive pole (three draws).
void Rebirth(Tracer& t);

// One tracer's frame without drawing: field, rebirth, segment, move. The segment runs along
// the field through the tracer's place at the start of the frame.
struct Segment {
  Vec3 from, to;
};
Segment StepTracer(int i);
// The colour of tracer i's segment, as OpenGL takes it.
struct Colour {
  float r, g, b;
};
Colour TracerColour(int i);

// One frame of input: the left button alone turns the view one degree per pixel the mouse
// moved since the last frame; the arrows move and turn the camera one step each.
void Steer(uint16_t mouseX, uint16_t mouseY, uint16_t buttons, bool up, bool down, bool left,
           bool right);

// The camera looking at the origin from yaw, pitch (degrees) and distance.
struct View {
  Vec3 eye;
  Vec3 up;  // unit length, at right angles to the line of sight
};
// The up vector is the one the vertical (0, cos pitch, 0) leaves after it is made square to
// the line of sight, so the view turns over smoothly as the camera passes over the top;
// straight above or below the origin it is the limit of that, and the picture keeps its
// orientation instead of collapsing.
View CameraView(double yaw, double pitch, double distance);

// The OpenGL drawing of one frame: projection and camera, then every tracer (stepping the
// model), the poles and the floor hatching.
void DrawFrame();

}  // namespace magfield3d_a

#endif  // PROGRAMS_MAGFIELD3D_A_H
