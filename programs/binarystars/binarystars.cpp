#include "binarystars.h"

#include <cmath>

#include "common/random.h"
#include "easel/easel.h"

namespace binarystars {

Model model;

namespace {

// Named colours (EaselColors indices).
constexpr int kBlack = 12, kYellow = 253;

void DrawBody(int i) {
  const Body& b = model.bodies[i];
  EaselSetColor(b.colour);
  EaselCircle(EaselCoord(b.x), EaselCoord(b.y), i < kStars ? kStarRadius : kPlanetRadius);
}

}  // namespace

void ScatterPlanets() {
  for (int i = kStars; i < kBodies; ++i) {
    Body& p = model.bodies[i];
    p.x = RandomInt(EaselMaxX());
    p.y = RandomInt(EaselMaxY());
    p.mass = 100000 + RandomInt(100) * 900000 / 100;  // 100000 to 991000 in steps of 9000
    p.vx = 1 - RandomInt(200) / 100.0;                // -0.99 to 1.00 in steps of 0.01
    p.vy = 1 - RandomInt(200) / 100.0;
    p.colour = static_cast<uint32_t>(RandomInt(12) + 1);  // default palette entries 1..12
  }
}

void Start() {
  int16_t driver = 3, mode = 4;  // 256 colours, 640 x 480
  EaselOpen(driver, mode, "FIZICA SISTEMELOR SOLARE BINARE");
  model = Model{};
  model.page = 0;
  RandomSeed();
  EaselSetLineStyle(0, 0, kThickness);
  // The stars start 40 pixels apart, moving in opposite directions across the line between
  // them, a little too fast for a circular orbit: 40 pixels is their closest approach.
  model.bodies[0] = Body{kStarMass, 320, 240, 2, 0, EaselColors[kYellow]};
  DrawBody(0);
  model.bodies[1] = Body{kStarMass, 320, 200, -2, 0, EaselColors[kYellow]};
  DrawBody(1);
  ScatterPlanets();
  for (int i = kStars; i < kBodies; ++i) DrawBody(i);
}

void Pull(Body& a, const Body& b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double s = dx * dx + dy * dy;
  // Two bodies on the same spot have no direction to pull in, and a body lost at infinity has
  // none either: such a pair is left alone.
  if (s == 0 || !std::isfinite(s)) return;
  const double f = a.mass * b.mass / s * kG;
  // So close (far below a pixel) that the force overflows: an infinite velocity would turn
  // every position into NaN, so the pair is left alone this time unit.
  if (!std::isfinite(f)) return;
  const double r = std::sqrt(s);
  a.vx += dx / r * f / a.mass;
  a.vy += dy / r * f / a.mass;
}

void Gravity() {
  // Positions stay put in here: every pair sees the positions of the previous time unit.
  for (int i = 0; i < kBodies; ++i)
    for (int j = 0; j < kBodies; ++j)
      if (j != i) Pull(model.bodies[i], model.bodies[j]);
}

void Move(Body& b) {
  b.x += b.vx;
  b.y += b.vy;
}

bool Frame() {
  // Semi-implicit Euler with a step of one: new velocities from the old positions, then new
  // positions from the new velocities.
  Gravity();

  EaselSetBkColor(EaselColors[kBlack]);
  EaselSleep(kPauseMs);
  EaselClear();
  for (int i = 0; i < kBodies; ++i) {
    Move(model.bodies[i]);
    DrawBody(i);
  }

  // The page just drawn is shown; the next frame draws into the other one.
  EaselSetDrawPage(model.page);
  model.page = static_cast<int16_t>(1 - model.page);
  EaselSetShowPage(model.page);

  return !EaselKeyHit();
}

void End() {
  EaselClose();
}

}  // namespace binarystars
