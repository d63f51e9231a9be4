// Binary star systems: two heavy stars in mutual orbit and twenty light planets scattered at
// random, all pulling on each other under Newton's law of gravitation. Each frame advances the
// system by one time unit and draws every body as a thick ring. Any key, or the close box, ends
// the program.
#ifndef PROGRAMS_BINARYSTARS_H
#define PROGRAMS_BINARYSTARS_H

#include <cstdint>

namespace binarystars {

constexpr double kG = 6.672e-11;
constexpr double kStarMass = 2872550111222;
constexpr int kStars = 2;
constexpr int kBodies = 22;  // bodies 0 and 1 are the stars, 2..21 the planets
constexpr int kStarRadius = 8;
constexpr int kPlanetRadius = 4;
constexpr int kThickness = 3;  // pen width of the rings
constexpr int kPauseMs = 10;

struct Body {
  double mass;
  double x, y;    // pixels, y downwards
  double vx, vy;  // pixels per time unit
  uint32_t colour;
};

struct Model {
  Body bodies[kBodies];
  int16_t page;  // the page drawn into this frame
};
extern Model model;

void Start();  // opens the window, places the stars and scatters the planets
bool Frame();  // one frame; false once a key has been pressed
void End();    // closes the window

// Planets 2..21 at random places, masses, velocities and colours (no drawing).
void ScatterPlanets();
// Changes a's velocity by b's pull over one time unit.
void Pull(Body& a, const Body& b);
// Every body's velocity from every other body's pull, all from the current positions.
void Gravity();
// One time unit of travel at the (already updated) velocity.
void Move(Body& b);

}  // namespace binarystars

#endif  // PROGRAMS_BINARYSTARS_H
