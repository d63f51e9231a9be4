#include "magfield_a.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "common/bearing.h"
#include "easel/easel.h"

namespace magfield_a {

Model model;

namespace {
constexpr int kGrey = 127, kWhite = 250, kRed = 207;  // named colours
const double kDampingFactor = std::exp(-kDampingRate * kSubstep);

// Keeps a velocity component within the collision limit.
double Limit(double v) {
  return MinReal(MaxReal(v, -kVelocityLimit), kVelocityLimit);
}

void DrawField() {
  EaselSetColor(EaselColors[kGrey]);
  for (int g = 0; g <= EaselMaxY() / kGridSpacing; ++g) {
    for (int col = 0; col <= EaselMaxX() / kGridSpacing; ++col) {
      const double px = kGridSpacing * col, py = kGridSpacing * g;
      double sx, sy;
      if (!FieldStroke(px, py, sx, sy)) continue;
      EaselLine(EaselCoord(px), EaselCoord(py), EaselCoord(px + sx), EaselCoord(py + sy));
    }
  }
}

void DrawPole(const Pole& p) {
  EaselSetColor(p.charge > 0 ? EaselColors[kWhite] : EaselColors[kRed]);
  EaselCircle(EaselCoord(p.x), EaselCoord(p.y), static_cast<uint16_t>(kRadius));
  char label[32];
  std::snprintf(label, sizeof label, "%.0f", p.charge);
  EaselTextAt(EaselCoord(p.x), EaselCoord(p.y + 10), label);
}
}  // namespace

double MinReal(double a, double b) {
  return a < b ? a : b;
}

double MaxReal(double a, double b) {
  return a > b ? a : b;
}

void Start() {
  int16_t driver = 3, mode = 6;  // 256 colours, 800 x 600
  EaselOpen(driver, mode, "CAMP MAGNETIC");
  model.page = 0;
  EaselSetTextStyle(3, 0, 3);  // Arial, 24 pixels
  EaselSetTextAlign(1, 1);     // centred, bottom of the text on the point
  model.selected = -1;
  // Evenly spaced on a ring around the centre of the window, just clear of each other.
  for (int i = 0; i < kPoles; ++i) {
    const double theta = 2 * std::numbers::pi * i / kPoles;
    Pole& p = model.poles[i];
    p = Pole{};
    p.x = EaselMaxX() / 2.0 + kRingRadius * std::cos(theta);
    p.y = EaselMaxY() / 2.0 + kRingRadius * std::sin(theta);
    p.charge = i % 2 == 0 ? 1 : -1;
  }
}

bool FieldStroke(double px, double py, double& sx, double& sy) {
  double sumX = 0, sumY = 0;
  for (const Pole& p : model.poles) {
    const double dx = px - p.x, dy = py - p.y;
    double d2 = dx * dx + dy * dy;
    if (d2 == 0) d2 = kOnCentreSquared;  // the term is then zero anyway
    sumX += p.charge * dx / d2;
    sumY += p.charge * dy / d2;
  }
  // The usual field points away from +1 poles; the stroke points the other way.
  sx = -sumX;
  sy = -sumY;
  const double length = std::sqrt(sx * sx + sy * sy);
  if (!(length > 0)) return false;  // no direction to show
  sx *= kStrokeLength / length;
  sy *= kStrokeLength / length;
  return true;
}

void Bounce(Pole& p, double maxX, double maxY) {
  // A disc that overshoots an edge by more than the width of the window (flung at a pointer
  // far outside it) would still be outside after its mirror image, and would fly further out
  // with every substep: it stops on the edge it crossed instead.
  if (p.x < kRadius) {
    p.x = 2 * kRadius - p.x;
    if (p.x + kRadius > maxX) p.x = kRadius;
    p.vx = std::fabs(p.vx);
  }
  if (p.y < kRadius) {
    p.y = 2 * kRadius - p.y;
    if (p.y + kRadius > maxY) p.y = kRadius;
    p.vy = std::fabs(p.vy);
  }
  if (p.x + kRadius > maxX) {
    p.x = 2 * (maxX - kRadius) - p.x;
    if (p.x < kRadius) p.x = maxX - kRadius;
    p.vx = -std::fabs(p.vx);
  }
  if (p.y + kRadius > maxY) {
    p.y = 2 * (maxY - kRadius) - p.y;
    if (p.y < kRadius) p.y = maxY - kRadius;
    p.vy = -std::fabs(p.vy);
  }
}

void Separate(int i) {
  Pole& a = model.poles[i];
  for (int j = 0; j < kPoles; ++j) {
    if (j == i) continue;
    Pole& b = model.poles[j];
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double dist = std::sqrt(dx * dx + dy * dy);
    const double gap = dist - 2 * kRadius;
    if (!(gap < 0)) continue;
    // Two discs on the very same spot have no line between them: part them along x.
    const double nx = dist == 0 ? 1 : dx / dist, ny = dist == 0 ? 0 : dy / dist;
    const double half = gap / 2;
    a.x += half * nx;
    a.y += half * ny;
    a.vx += half * kInverseFrameStep * nx;
    a.vy += half * kInverseFrameStep * ny;
    b.x -= half * nx;
    b.y -= half * ny;
    b.vx -= half * kInverseFrameStep * nx;
    b.vy -= half * kInverseFrameStep * ny;
    a.vx = Limit(a.vx);
    a.vy = Limit(a.vy);
    b.vx = Limit(b.vx);
    b.vy = Limit(b.vy);
  }
}

void Substep() {
  for (Pole& p : model.poles) {
    p.vx += p.ax * kSubstep;
    p.vy += p.ay * kSubstep;
  }
  const double maxX = EaselMaxX(), maxY = EaselMaxY();
  for (int i = 0; i < kPoles; ++i) {
    Pole& p = model.poles[i];
    p.x += p.vx * kSubstep;
    p.y += p.vy * kSubstep;
    Bounce(p, maxX, maxY);
    Separate(i);
    p.vx *= kDampingFactor;
    p.vy *= kDampingFactor;
    DrawPole(p);  // once a substep: a moving disc leaves a short trail of outlines
  }
}

void ComputeForces() {
  constexpr double kCouplingSquared = kCoupling * kCoupling;
  for (int i = 0; i < kPoles; ++i) {
    Pole& a = model.poles[i];
    a.ax = 0;
    a.ay = 0;
    for (int j = 0; j < kPoles; ++j) {
      if (j == i) continue;
      const Pole& b = model.poles[j];
      const double dx = a.x - b.x, dy = a.y - b.y;
      const double d2 = dx * dx + dy * dy;
      if (d2 == 0) continue;  // two centres on one spot: no direction, no force
      const double f = kCouplingSquared * a.charge * b.charge / d2;
      const double theta = BearingOf(dx, dy);
      a.ax += f * std::cos(theta);
      a.ay += f * std::sin(theta);
    }
    a.ax /= 9;
    a.ay /= 9;
  }
}

int NearestPole(double x, double y) {
  double best = kFarAway;
  int nearest = -1;
  for (int i = 0; i < kPoles; ++i) {
    const double dx = x - model.poles[i].x, dy = y - model.poles[i].y;
    const double d2 = dx * dx + dy * dy;
    if (d2 < best) {
      best = d2;
      nearest = i;
    }
  }
  return nearest;
}

void Drag(uint32_t mouseX, uint32_t mouseY, uint32_t buttons) {
  if (buttons != 1) {  // only the left button alone drags
    model.selected = -1;
    return;
  }
  if (model.selected < 0) {
    // A press anywhere takes the nearest pole; it starts to follow from the next frame.
    model.selected = NearestPole(mouseX, mouseY);
    return;
  }
  // Fast enough to reach the pointer in one frame.
  Pole& p = model.poles[model.selected];
  p.vx = (mouseX - p.x) * kInverseFrameStep;
  p.vy = (mouseY - p.y) * kInverseFrameStep;
}

bool Frame() {
  EaselSetDrawPage(model.page);
  model.page = static_cast<int16_t>(1 - model.page);
  EaselSetShowPage(model.page);
  EaselClear();

  model.mouseX = EaselMouseX();
  model.mouseY = EaselMouseY();
  model.mouseButtons = EaselMouseButtons();

  DrawField();  // from where the poles stand at the start of the frame
  for (int s = 0; s < kSubsteps; ++s) Substep();
  ComputeForces();
  Drag(model.mouseX, model.mouseY, model.mouseButtons);

  return !EaselKeyHit();
}

void End() {
  EaselClose();
}

}  // namespace magfield_a
