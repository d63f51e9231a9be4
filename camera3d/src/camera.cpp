#include "camera3d/camera.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "easel/easel.h"

namespace camera3d {
namespace {

bool Held(int vk) {
  return (EaselAsyncKeyState(vk) & 0x8000) != 0;
}

// The screen the projection maps onto: its centre (hx, hy) and the focal length f.
struct View {
  double hx, hy, f;
};

View ViewFor(double maxX, double maxY) {
  return {maxX / 2, maxY / 2, maxX / 2};
}

// A point in camera coordinates: u along right, v along down, w (the depth) along forward.
struct Eye {
  double u, v, w;
};

Eye ToEye(const Camera& c, Vec3 p) {
  const Vec3 d = p - c.position;
  return {Dot(c.right, d), Dot(c.down, d), Dot(c.forward, d)};
}

// Cuts a segment in camera coordinates at the near plane and projects it.
bool Project(const View& view, Eye a, Eye b, ScreenSegment& out) {
  if (a.w < kNearDepth && b.w < kNearDepth) return false;
  if (a.w < kNearDepth) {
    const double t = (kNearDepth - a.w) / (b.w - a.w);
    a = {a.u + (b.u - a.u) * t, a.v + (b.v - a.v) * t, kNearDepth};
  } else if (b.w < kNearDepth) {
    const double t = (kNearDepth - b.w) / (a.w - b.w);
    b = {b.u + (a.u - b.u) * t, b.v + (a.v - b.v) * t, kNearDepth};
  }
  const double sa = view.f / a.w, sb = view.f / b.w;
  out = {view.hx + sa * a.u, view.hy + sa * a.v, view.hx + sb * b.u, view.hy + sb * b.v};
  return true;
}

constexpr double kLow = INT16_MIN, kHigh = INT16_MAX;

// False for NaN as well as for values beyond the range.
bool InRange(double v) {
  return v >= kLow && v <= kHigh;
}

// Liang-Barsky: keeps the part of the segment inside the 16-bit square. The ends are
// recomputed only where they move, so a segment already inside keeps its exact ends.
bool ClipOutside(ScreenSegment& s) {
  const double dx = s.x2 - s.x1, dy = s.y2 - s.y1;
  if (!std::isfinite(dx) || !std::isfinite(dy)) return false;  // also catches NaN ends
  double t0 = 0, t1 = 1;
  const auto edge = [&](double p, double q) {  // the points with p t <= q are inside
    if (p == 0) return q >= 0;
    const double r = q / p;
    if (p < 0) {
      if (r > t1) return false;
      if (r > t0) t0 = r;
    } else {
      if (r < t0) return false;
      if (r < t1) t1 = r;
    }
    return true;
  };
  if (!edge(-dx, s.x1 - kLow) || !edge(dx, kHigh - s.x1) || !edge(-dy, s.y1 - kLow) ||
      !edge(dy, kHigh - s.y1)) {
    return false;
  }
  const ScreenSegment whole = s;
  if (t0 > 0) {
    s.x1 = std::clamp(whole.x1 + t0 * dx, kLow, kHigh);
    s.y1 = std::clamp(whole.y1 + t0 * dy, kLow, kHigh);
  }
  if (t1 < 1) {
    s.x2 = std::clamp(whole.x1 + t1 * dx, kLow, kHigh);
    s.y2 = std::clamp(whole.y1 + t1 * dy, kLow, kHigh);
  }
  return true;
}

// Rounds a coordinate known to lie in the 16-bit range to the nearest integer, ties to even:
// adding 1.5 * 2^52 leaves no bits below the units, so the addition itself rounds (in the
// default rounding mode, as EaselCoord's nearbyint does) and the subtraction is exact.
int16_t Round16(double v) {
  constexpr double kShift = 6755399441055744.0;  // 1.5 * 2^52
  return static_cast<int16_t>((v + kShift) - kShift);
}

void Draw(const View& view, Eye a, Eye b) {
  ScreenSegment s;
  if (!Project(view, a, b, s)) return;
  const bool inside = InRange(s.x1) && InRange(s.y1) && InRange(s.x2) && InRange(s.y2);
  if (!inside && !ClipOutside(s)) return;
  EaselLine(Round16(s.x1), Round16(s.y1), Round16(s.x2), Round16(s.y2));
}

View CurrentView() {
  return ViewFor(EaselMaxX(), EaselMaxY());
}

// Unit directions of the wire sphere's points: meridian m (theta = m pi/20), point k along it
// (phi = k pi/10), as (cos theta sin phi, sin theta sin phi, cos phi).
constexpr int kMeridians = kSphereDivisions + 1;       // m = 0..20
constexpr int kMeridianPoints = kSphereDivisions + 2;  // k = 0..21, back round past the start
struct SphereTable {
  Vec3 dir[kMeridians][kMeridianPoints];
};

const SphereTable& Sphere() {
  static const SphereTable table = [] {
    SphereTable t{};
    constexpr double pi = std::numbers::pi;
    for (int m = 0; m < kMeridians; ++m) {
      const double theta = m * pi / kSphereDivisions;
      for (int k = 0; k < kMeridianPoints; ++k) {
        const double phi = k * pi / (kSphereDivisions / 2);
        t.dir[m][k] = {std::cos(theta) * std::sin(phi), std::sin(theta) * std::sin(phi),
                       std::cos(phi)};
      }
    }
    return t;
  }();
  return table;
}

}  // namespace

void CameraInit(Camera& camera, Vec3 start, double step) {
  camera.position = start;
  camera.step = step;
  camera.prevMouseX = camera.prevMouseY = 0;
  const double length = std::sqrt(Dot(start, start));
  // From the origin there is no direction towards it: look along -z (after the turn below).
  Vec3 forward = length > 0 ? Vec3{-start.x, -start.y, -start.z} / length : Vec3{0, -1, 0};
  // A quarter turn about the x axis: (x, y, z) becomes (x, -z, y).
  const auto turn = [](Vec3 v) { return Vec3{v.x, -v.z, v.y}; };
  camera.position = turn(camera.position);
  forward = turn(forward);
  camera.forward = forward;
  if (forward.x != 0 || forward.z != 0) {
    const Vec3 right{forward.z, 0, -forward.x};
    camera.right = right / std::sqrt(Dot(right, right));
  } else {
    // Looking straight along the y axis: any horizontal axis will do; keep screen x along -x
    // as in a view from the +z side.
    camera.right = {-1, 0, 0};
  }
  camera.down = Cross(camera.forward, camera.right);
}

void CameraNavigate(Camera& camera, uint16_t dragButtons, int pitchSign, Pointer pointer) {
  Camera& c = camera;
  if (Held(EaselVkUp)) c.position = c.position + c.step * c.forward;
  if (Held(EaselVkDown)) c.position = c.position - c.step * c.forward;
  if (Held('A')) c.position = c.position - c.step * c.down;
  if (Held('Z')) c.position = c.position + c.step * c.down;
  if (Held(EaselVkLeft)) c.position = c.position - c.step * c.right;
  if (Held(EaselVkRight)) c.position = c.position + c.step * c.right;

  const int32_t x = pointer == Pointer::kSigned ? static_cast<int16_t>(EaselMouseX())
                                                : static_cast<int32_t>(EaselMouseX());
  const int32_t y = pointer == Pointer::kSigned ? static_cast<int16_t>(EaselMouseY())
                                                : static_cast<int32_t>(EaselMouseY());
  double pitch = 0, yaw = 0;
  if ((x != c.prevMouseX || y != c.prevMouseY) && EaselMouseButtons() == dragButtons) {
    pitch = pitchSign * static_cast<double>(y - c.prevMouseY) * kTurnRate;
    yaw = static_cast<double>(x - c.prevMouseX) * kTurnRate;
  }
  c.prevMouseX = x;
  c.prevMouseY = y;

  // Yaw turns forward towards right about the down axis, pitch turns it towards down about
  // the right axis. The new down comes from the cross product below, so only right and
  // forward are turned; running this every frame, turn or not, puts right back to unit
  // length and down square to the other two, so rounding drift does not build up.
  const double cy = std::cos(yaw), sy = std::sin(yaw), cp = std::cos(pitch), sp = std::sin(pitch);
  const Vec3 right = cy * c.right - sy * c.forward;
  const Vec3 forward = sy * cp * c.right + sp * c.down + cy * cp * c.forward;
  c.right = right / std::sqrt(Dot(right, right));
  c.forward = forward;
  c.down = Cross(c.forward, c.right);
}

bool ProjectSegment(const Camera& camera, Vec3 p1, Vec3 p2, double maxX, double maxY,
                    ScreenSegment& out) {
  return Project(ViewFor(maxX, maxY), ToEye(camera, p1), ToEye(camera, p2), out);
}

bool ClipToCoordinateRange(ScreenSegment& s) {
  if (InRange(s.x1) && InRange(s.y1) && InRange(s.x2) && InRange(s.y2)) return true;
  return ClipOutside(s);
}

void DrawLine3D(const Camera& camera, Vec3 p1, Vec3 p2) {
  Draw(CurrentView(), ToEye(camera, p1), ToEye(camera, p2));
}

void DrawWireSphere(const Camera& camera, Vec3 centre, double radius) {
  const View view = CurrentView();
  const SphereTable& sphere = Sphere();
  for (int m = 0; m < kMeridians; ++m) {
    // Each point ends one side and starts the next, so it is taken to the eye only once.
    Eye previous = ToEye(camera, centre + radius * sphere.dir[m][0]);
    for (int k = 1; k < kMeridianPoints; ++k) {
      const Eye point = ToEye(camera, centre + radius * sphere.dir[m][k]);
      Draw(view, point, previous);
      previous = point;
    }
  }
}

}  // namespace camera3d
