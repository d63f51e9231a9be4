// Attractor: three hundred balls and the mouse pointer. While the left button is held, balls
// between 10 and 100 pixels from the pointer move one pixel a frame toward it; while the right
// button is held, away from it. Overlapping balls push each other apart every frame, so the
// attracted balls pile up as a disc around the pointer. Any key, or the close box, ends it.
#ifndef PROGRAMS_ATTRACTOR_H
#define PROGRAMS_ATTRACTOR_H

#include <cstdint>

namespace attractor {

constexpr int kBalls = 300;
constexpr int kRadius = 3;         // drawn radius; balls touch at 2 * kRadius
constexpr double kRingInner = 10;  // the pointer moves balls with kRingInner < d < kRingOuter
constexpr double kRingOuter = 100;
constexpr double kStep = 1.0;  // pixels per push
constexpr int kSeparationPasses = 5;

struct Ball {
  double x, y;
};

struct Model {
  Ball balls[kBalls];
  int16_t page;       // the page drawn into this frame
  int32_t direction;  // +1 attract, -1 repel, 0 until a button has chosen
};
extern Model model;

void Start();  // opens the window and scatters the balls
bool Frame();  // one frame; false once a key has been pressed
void End();    // closes the window

// The direction after a frame with these buttons: the left button alone attracts, the right
// button alone repels, anything else keeps the current one.
int32_t DirectionFor(uint32_t buttons, int32_t direction);
// Moves every ball inside the ring around (px, py) one step along the line to the pointer.
void PullToward(double px, double py, int32_t direction);
// One separation pass over every pair, in index order.
void SeparatePass();

}  // namespace attractor

#endif  // PROGRAMS_ATTRACTOR_H
