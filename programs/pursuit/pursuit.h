// Pursuit missiles: each left click launches one of ten missiles at the pointer. A missile
// turns toward the pointer at a limited rate, accelerates along its heading and is held near
// a speed limit by a governor; it leaves a fading green trail and shows its heading (red) and
// the bearing to its target (yellow). Any key, or the close box, ends the program.
#ifndef PROGRAMS_PURSUIT_H
#define PROGRAMS_PURSUIT_H

#include <cstdint>
#include <numbers>

namespace pursuit {

constexpr int kMissiles = 10;
constexpr int kPasses = 10;                               // missile updates per frame
constexpr double kDt = 0.1;                               // time step of one update
constexpr double kTurnStep = 2 * std::numbers::pi / 180;  // 2 degrees per update
constexpr double kSpeedLimitSquared = 100;                // speed limit 10
constexpr double kSlowDown = 0.8;                         // above the limit
constexpr double kSpeedUp = 1.001;                        // at or below the limit
constexpr int kTrailLength = 100;
constexpr int32_t kTrailEvery = 15;  // a trail shifts on updates numbered 0, 15, 30, ...
constexpr int kBodyRadius = 5;
constexpr int kTrailRadius = 3;
constexpr double kLineLength = 35;
constexpr int kTargetRadius = 10;

struct Missile {
  double x, y;              // position, pixels
  double vx, vy;            // velocity, pixels per time unit
  double heading;           // direction of thrust, radians, clockwise on screen from +x
  double targetX, targetY;  // the point it steers at
  int32_t active;           // 0 not yet launched, 1 flying
};

struct Point {
  double x, y;
};

struct Model {
  Missile missiles[kMissiles];
  Point trail[kMissiles][kTrailLength];  // entry 0 newest
  uint32_t trailColours[kTrailLength];   // green fading with age, resolved once at start
  int16_t page;                          // the page drawn into this frame
  int32_t updateCount;                   // missile updates of all missiles, modulo kTrailEvery
  uint32_t previousButtons;
};
extern Model model;

void Start();  // opens the window; every missile inactive
bool Frame();  // one frame; false once a key has been pressed
void End();    // closes the window

// Launches the lowest inactive missile at (x, y); its index, or -1 when all ten fly.
int Launch(double x, double y);
// Steers one turn step from heading toward bearing (plain numbers, no wrap-around).
double Steer(double heading, double bearing);
// Move, steer, thrust and governor of one update, toward the given bearing.
void Fly(Missile& m, double bearing);
// Green level of trail entry k: 255 for the newest, fading to 3 for the oldest.
int16_t TrailGreen(int k);
// One update of missile i: flies it, advances and draws its trail, heading, bearing and the
// target marker at the pointer (mouseX, mouseY).
void UpdateMissile(int i, double mouseX, double mouseY);

}  // namespace pursuit

#endif  // PROGRAMS_PURSUIT_H
