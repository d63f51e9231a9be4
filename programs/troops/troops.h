// Troop movements: 256 soldiers drawn as small circles. Drag a rectangle with the left button
// to select soldiers; hold the right button to send the selection into a square-ish formation
// around the pointer. Soldiers walk one pixel a frame toward their places and push each other
// apart where they overlap. Any key, or the close box, ends the program.
#ifndef PROGRAMS_TROOPS_H
#define PROGRAMS_TROOPS_H

#include <cstdint>

namespace troops {

constexpr int kSoldiers = 256;
constexpr int kUnitRadius = 4;
constexpr double kStepFactor = 0.01;
constexpr double kSpeed = 100.0;  // step length = kStepFactor * kSpeed = 1 pixel a frame
constexpr double kArrival = 0.1;  // a step that lands this close to the target ends the walk
constexpr int kStartArea = 400;   // square centred on the window
constexpr double kSpacing = kUnitRadius * 4.5;  // between formation places
constexpr int kRingGap = 2;                     // selection ring: radius + kRingGap

struct Soldier {
  double x, y;
  double vx, vy;  // the last step taken (length 1 once the soldier has walked)
  double targetX, targetY;
  int32_t moving;    // 1: walks toward its target this frame
  int32_t present;   // 1: takes part (nothing ever clears it)
  int32_t selected;  // 1: in the current selection
  int32_t radius;
};

struct Point {
  double x, y;
};

struct Model {
  Soldier soldiers[kSoldiers];
  Point slots[kSoldiers];  // formation places of the last order
  int16_t page;            // the page drawn into this frame
  int32_t unitRadius;
  double stepFactor, speed;
  int32_t mouseX, mouseY, buttons;  // this frame's mouse state
  int32_t previousButtons;
  int32_t dragging;  // 1 while a selection rectangle is being dragged
  double anchorX, anchorY;
};
extern Model model;

void Start();  // opens the window and scatters the soldiers
bool Frame();  // one frame; false once a key has been pressed
void End();    // closes the window

// The steps of a frame, on the model.
void Walk();      // every moving soldier steps one pixel toward its target
void Separate();  // overlapping soldiers push apart and step aside; all become moving
// Selects the soldiers inside the rectangle with corners (x1, y1) and (x2, y2), edges included;
// the others are deselected.
void Select(double x1, double y1, double x2, double y2);
// Sends the selected soldiers to formation places around (mouseX, mouseY).
void Order(double mouseX, double mouseY);

}  // namespace troops

#endif  // PROGRAMS_TROOPS_H
