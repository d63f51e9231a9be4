#include "attractor.h"

#include <cmath>

#include "common/random.h"
#include "easel/easel.h"

namespace attractor {

Model model;

namespace {
constexpr double kContact = 2.0 * kRadius;  // centres nearer than this overlap
}  // namespace

void Start() {
  int16_t driver = 3, mode = 6;  // 256 colours, 800 x 600
  EaselOpen(driver, mode, "ATRACTOR");
  model.page = 0;
  model.direction = 0;
  RandomSeed();
  for (Ball& b : model.balls) {
    b.x = RandomInt(EaselMaxX());
    b.y = RandomInt(EaselMaxY());
  }
}

int32_t DirectionFor(uint32_t buttons, int32_t direction) {
  if (buttons == 1) return 1;   // left button alone
  if (buttons == 2) return -1;  // right button alone
  return direction;             // anything else (both, Shift, Ctrl, none) keeps it
}

void PullToward(double px, double py, int32_t direction) {
  for (Ball& b : model.balls) {
    const double dx = px - b.x, dy = py - b.y;
    const double d = std::sqrt(dx * dx + dy * dy);
    if (d < kRingOuter && d > kRingInner) {
      b.x += direction * (dx / d) * kStep;
      b.y += direction * (dy / d) * kStep;
    }
  }
}

void SeparatePass() {
  for (int i = 0; i < kBalls - 1; ++i) {
    Ball& a = model.balls[i];
    for (int j = i + 1; j < kBalls; ++j) {
      Ball& b = model.balls[j];
      double dx = b.x - a.x;
      // Most pairs are far apart along x alone; skipping them early saves the square root.
      if (dx >= kContact || dx <= -kContact) continue;
      double dy = b.y - a.y;
      // d < 2r exactly when d * d < (2r)^2: the square root is correctly rounded.
      const double squared = dx * dx + dy * dy;
      if (squared >= kContact * kContact) continue;
      if (squared == 0) {
        // Two balls on the same spot have no line between them: part them along x.
        dx = 1;
        dy = 0;
      } else {
        const double d = std::sqrt(squared);
        dx /= d;
        dy /= d;
      }
      a.x -= kStep * dx;
      a.y -= kStep * dy;
      b.x += kStep * dx;
      b.y += kStep * dy;
    }
  }
}

bool Frame() {
  const int32_t mouseX = EaselMouseX(), mouseY = EaselMouseY();
  const uint32_t buttons = EaselMouseButtons();

  EaselSetDrawPage(model.page);
  model.page = static_cast<int16_t>(1 - model.page);
  EaselSetShowPage(model.page);
  EaselClear();

  // The balls are drawn where the previous frame left them, in the default colour (white).
  for (const Ball& b : model.balls) EaselCircle(EaselCoord(b.x), EaselCoord(b.y), kRadius);

  model.direction = DirectionFor(buttons, model.direction);
  if (buttons != 0) PullToward(mouseX, mouseY, model.direction);
  for (int pass = 0; pass < kSeparationPasses; ++pass) SeparatePass();

  return !EaselKeyHit();
}

void End() {
  EaselClose();
}

}  // namespace attractor
