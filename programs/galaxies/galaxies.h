// Galaxy types: a disc of 5500 coloured stars around the centre of the window, moved by four
// laws in turn, each named in the top-left corner. "Galaxia 1" turns as a rigid body;
// "Galaxia 2" gives every star the same orbital speed, so the inner ones turn faster;
// "Galaxia 3" lets the stars spiral in and re-enter at the rim; "Galaxia 4" feeds the same
// inflow from one arc of the rim, which winds into a single arm. A key moves on to the next
// law; a key during the fourth ends the program. The stars are drawn straight onto the shown
// page, one pixel each, erased and redrawn every step.
#ifndef PROGRAMS_GALAXIES_H
#define PROGRAMS_GALAXIES_H

#include <cstdint>
#include <numbers>

namespace galaxies {

constexpr int kStars = 5500;
constexpr int32_t kStartRadii = 240;                   // start radius 1..240
constexpr double kRigidTurn = std::numbers::pi / 100;  // "Galaxia 1": radians per step
constexpr double kArcPerStep = 5;                      // the others: pixels of arc per step
constexpr int32_t kInflow = 2;                         // "Galaxia 3", "4": pixels per step
constexpr int32_t kInnermost = 5;                      // at or inside this a star re-enters
constexpr int32_t kRimRadius3 = 240;                   // re-entry radius in "Galaxia 3"
constexpr int32_t kRimRadius4 = 250;                   // and in "Galaxia 4"
constexpr double kRimArc = 2;                          // "Galaxia 4" re-enters in [0, 2) rad
constexpr int32_t kFirstColour = 9, kColours = 7;      // default palette 9..15
constexpr uint16_t kPauseMs = 60;
constexpr int32_t kKinds = 4;

struct Star {
  int32_t radius;  // pixels from the centre
  double angle;    // radians from +x toward +y (clockwise on screen), never wrapped
  int32_t px, py;  // the pixel last drawn
  uint32_t colour;
};

struct Model {
  Star stars[kStars];
  int32_t centreX, centreY;
  int32_t kind;  // 1..4, the law of motion now running
};
extern Model model;

void Start();  // opens the window, draws the disc and the first label
bool Frame();  // one step and its pause; false once a key ends the fourth kind
void End();    // closes the window

// Moves one star by the law of `kind` (1..4), without drawing it.
void MoveStar(Star& s, int32_t kind);
// One step of every star in order: erase its pixel, move it, draw its new pixel.
void Step(int32_t kind);

}  // namespace galaxies

#endif  // PROGRAMS_GALAXIES_H
