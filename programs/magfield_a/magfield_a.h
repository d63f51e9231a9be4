// Magnetic field: ten pole discs, alternately +1 (white) and -1 (red), attract and repel one
// another by an inverse-square law, bounce off the window edges and push each other apart when
// they overlap. A grid of short grey strokes shows the direction of the field they make. Drag
// a pole with the left button; any key, or the close box, ends the program.
#ifndef PROGRAMS_MAGFIELD_A_H
#define PROGRAMS_MAGFIELD_A_H

#include <cstdint>

namespace magfield_a {

constexpr int kPoles = 10;
constexpr double kRadius = 22;
constexpr double kCoupling = 5000;  // the force uses its square
constexpr double kFrameStep = 0.01;
constexpr double kInverseFrameStep = 100;  // 1 / kFrameStep
constexpr int kSubsteps = 10;
constexpr double kSubstep = kFrameStep / kSubsteps;  // 0.001
constexpr double kDampingRate = 2.0;                 // per time unit
constexpr double kVelocityLimit = 4096;              // per component, after a collision
constexpr double kRingRadius = kRadius * 10 / 3;     // where the poles start, around the centre
constexpr int kGridSpacing = 16;
constexpr double kStrokeLength = 8;
constexpr double kOnCentreSquared = 0.1;  // stands in for a squared distance of exactly 0
constexpr double kFarAway = 1e32;         // start of the nearest-pole search

struct Pole {
  double x, y;    // centre, pixels
  double vx, vy;  // velocity, pixels per time unit
  double ax, ay;  // acceleration, computed once a frame
  double charge;  // +1 or -1, fixed
};

struct Model {
  Pole poles[kPoles];
  int32_t selected;                       // the pole being dragged, -1 when none
  int16_t page;                           // the page drawn into this frame
  uint32_t mouseX, mouseY, mouseButtons;  // this frame's mouse state
};
extern Model model;

void Start();  // opens the window and puts the poles on a ring
bool Frame();  // one frame; false once a key has been pressed
void End();    // closes the window

double MinReal(double a, double b);  // b when a is not below b
double MaxReal(double a, double b);  // b when a is not above b

// The field stroke at grid point (px, py): the direction toward the +1 poles and away from the
// -1 poles, scaled to kStrokeLength, in (sx, sy). False where the field has no direction.
bool FieldStroke(double px, double py, double& sx, double& sy);
// A disc that crosses an edge is mirrored back inside by its overshoot and moves inwards.
void Bounce(Pole& p, double maxX, double maxY);
// Pushes every pole that overlaps pole i apart from it, symmetrically, until they touch.
void Separate(int i);
// The inverse-square accelerations of all poles from their current positions.
void ComputeForces();
// The left button alone drags: the first frame picks the nearest pole, later frames steer it.
void Drag(uint32_t mouseX, uint32_t mouseY, uint32_t buttons);
// The pole whose centre is nearest to (x, y); the lowest index wins a tie.
int NearestPole(double x, double y);
// One substep of length kSubstep: velocities, then each pole moved, bounced, separated, damped
// and drawn in index order.
void Substep();

}  // namespace magfield_a

#endif  // PROGRAMS_MAGFIELD_A_H
