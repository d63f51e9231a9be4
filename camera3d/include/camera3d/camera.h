// camera3d: a free-flying perspective camera that draws 3D wireframes with easel's lines.
//
// The camera is an eye point with three axes: right (screen x grows along it), down (screen y
// grows along it) and forward (depth grows along it). Held keys move the eye, a mouse drag
// turns the axes, and segments are cut at the near plane (depth 1) and projected with a focal
// length of half the drawing-surface width, so pixels are square.
//
//   camera3d::Camera camera;
//   camera3d::CameraInit(camera, {0, 5, 0}, 0.05);       // looks at the origin
//   each frame:
//     camera3d::CameraNavigate(camera, 2, +1, camera3d::Pointer::kSigned);
//     camera3d::DrawLine3D(camera, a, b);
//     camera3d::DrawWireSphere(camera, centre, 0.15);
//
// Keys (held, polled with EaselAsyncKeyState, all acting in this order): Up forward, Down
// back, 'A' up (against down), 'Z' down, Left and Right sideways. Everything runs on the
// program thread and allocates nothing.
#ifndef CAMERA3D_CAMERA_H
#define CAMERA3D_CAMERA_H

#include <cstdint>

namespace camera3d {

struct Vec3 {
  double x, y, z;
};

constexpr Vec3 operator+(Vec3 a, Vec3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
constexpr Vec3 operator-(Vec3 a, Vec3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
constexpr Vec3 operator*(double s, Vec3 a) {
  return {s * a.x, s * a.y, s * a.z};
}
constexpr Vec3 operator/(Vec3 a, double s) {
  return {a.x / s, a.y / s, a.z / s};
}
constexpr double Dot(Vec3 a, Vec3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
constexpr Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

struct Camera {
  Vec3 position;
  Vec3 right, down, forward;       // forward is unit length at set-up and only turned afterwards
  double step;                     // distance moved per frame while a movement key is held
  int32_t prevMouseX, prevMouseY;  // pointer seen at the previous frame; 0 at start
};

constexpr double kNearDepth = 1;         // a point is in front when its depth is at least this
constexpr double kTurnRate = 1.0 / 256;  // radians per pixel of pointer motion
constexpr int kSphereDivisions = 20;

// How a program reads the library's 16-bit pointer coordinates.
enum class Pointer { kSigned, kUnsigned };

// Sets the camera up at start, looking at the scene origin. A start on the z axis (where the
// sideways axis would be undefined) gets right = (-1, 0, 0); a start at the origin looks
// along -z with that same right axis.
void CameraInit(Camera& camera, Vec3 start, double step);

// One frame of user control: held keys move the eye, a pointer move while the mouse button
// state is exactly dragButtons turns the view (yaw about down, pitch about right, pitch
// scaled by pitchSign), and the axes are made orthonormal again.
void CameraNavigate(Camera& camera, uint16_t dragButtons, int pitchSign, Pointer pointer);

// A segment on the screen in real pixel coordinates.
struct ScreenSegment {
  double x1, y1, x2, y2;
};

// Cuts the segment p1-p2 at the near plane and projects it for a surface whose largest
// coordinates are maxX, maxY. False when the whole segment lies behind the near plane.
bool ProjectSegment(const Camera& camera, Vec3 p1, Vec3 p2, double maxX, double maxY,
                    ScreenSegment& out);

// Keeps the part of the segment inside the 16-bit coordinate range, in real arithmetic, so
// that a long line keeps its true direction once narrowed. False when no part is inside or
// a coordinate is not finite.
bool ClipToCoordinateRange(ScreenSegment& s);

// Draws the segment p1-p2 with the current easel colour and line style: cut at the near
// plane, projected, clipped to the 16-bit range and rounded (ties to even).
void DrawLine3D(const Camera& camera, Vec3 p1, Vec3 p2);

// A wire sphere of 21 meridian circles (20 sides each, the first side drawn twice):
// 441 segments.
void DrawWireSphere(const Camera& camera, Vec3 centre, double radius);

}  // namespace camera3d

#endif  // CAMERA3D_CAMERA_H
