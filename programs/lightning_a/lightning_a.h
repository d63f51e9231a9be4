// Lightning through OpenGL: a flickering spark between two terminals in 3D. Two red spheres
// 4 units apart on the x axis stand on thick grey rods; a yellow bolt of 15 segments with fresh
// random kinks joins their centres every frame. The camera orbits the origin by itself, a
// left-button drag turns it further, and the up and down arrows move it nearer and farther.
// Escape held ends. The generator is never seeded, so every run shows the same bolts.
#ifndef PROGRAMS_LIGHTNING_A_H
#define PROGRAMS_LIGHTNING_A_H

#include <cstdint>

struct GLUquadric;

namespace lightning_a {

struct Vec3 {
  double x, y, z;
};

constexpr double kStartYaw = 0;         // degrees
constexpr double kStartPitch = 180;     // degrees: the eye on -z, scene +y down the screen
constexpr double kStartDistance = 4;    // scene units
constexpr double kAutoTurn = 0.05;      // degrees of yaw each frame
constexpr double kZoomStep = 0.001;     // per frame while an arrow key is held
constexpr double kMinDistance = 0.001;  // the camera stops short of the origin
constexpr uint16_t kOrbitButtons = 1;   // the left button alone turns the view
constexpr double kFieldOfView = 100;    // vertical, degrees
constexpr double kAspect = 1.1;
constexpr double kNearFactor = 1.0 / 8, kFarFactor = 7;  // of the distance
constexpr Vec3 kTerminalA{-2, 0, 0}, kTerminalB{2, 0, 0};
constexpr double kSphereRadius = 0.15;
constexpr int kSphereDetail = 30;  // slices and stacks
constexpr Vec3 kRod{0, 5, 0};      // from each terminal centre
constexpr float kRodWidth = 15;
constexpr int kBoltSegments = 15;
constexpr double kKink = 0.15;  // an inner point moves up to about half this in y and z

struct Model {
  double yaw, pitch, distance;  // the camera: degrees, degrees, scene units
  int16_t mouseX, mouseY;       // the last mouse event seen this frame
  int16_t prevMouseX, prevMouseY;
  Vec3 terminalA, terminalB;
  Vec3 bolt[kBoltSegments + 1];  // the bolt of this frame, from terminalA to terminalB
  GLUquadric* quadric;           // draws both spheres; made at start, freed at the end
};
extern Model model;

void Start();  // opens the window, selects the window's OpenGL context, sets the camera up
bool Frame();  // one frame; false once Escape is held
void End();    // selects the bitmap context again and closes the window

// One frame of input: the left button alone turns the view one degree per pixel the mouse
// moved since the last frame; nearer and farther move the camera one zoom step.
void Steer(uint16_t mouseX, uint16_t mouseY, uint16_t buttons, bool nearer, bool farther);

// The camera looking at the origin from yaw, pitch (degrees) and distance.
struct View {
  Vec3 eye;
  Vec3 up;  // unit length, at right angles to the line of sight
};
// The up vector is the one the vertical (0, cos pitch, 0) leaves after it is made square to
// the line of sight, so the view turns over smoothly as the camera passes over the top;
// straight above or below the origin, where the vertical runs along the line of sight, it is
// the limit of that, and the picture keeps its orientation instead of collapsing.
View CameraView(double yaw, double pitch, double distance);

// The kink of an inner bolt point along one axis for a random draw n in 0..999.
double Kink(int32_t n);
// A new bolt from a to b: straight in x, each inner point kinked in y then z (two draws).
void MakeBolt(Vec3 a, Vec3 b, Vec3 (&points)[kBoltSegments + 1]);

// The OpenGL drawing of the model: projection, camera, terminals, rods and bolt.
void DrawScene();

}  // namespace lightning_a

#endif  // PROGRAMS_LIGHTNING_A_H
