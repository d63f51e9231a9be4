#include "pursuit.h"

#include <cmath>

#include "common/bearing.h"
#include "easel/easel.h"

namespace pursuit {

Model model;

namespace {
constexpr int kGreen = 105, kLightBlue = 122, kRed = 207, kYellow = 253;  // named colours
}  // namespace

void Start() {
  int16_t driver = 3, mode = 6;  // 256 colours, 800 x 600
  EaselOpen(driver, mode, "RACHETE DE URMARIRE");
  model = Model{};  // page 0, no updates yet, every missile inactive, trails at (0, 0)
  for (int k = 0; k < kTrailLength; ++k) model.trailColours[k] = EaselRgb(0, TrailGreen(k), 0);
}

int Launch(double x, double y) {
  for (int i = 0; i < kMissiles; ++i) {
    Missile& m = model.missiles[i];
    if (m.active) continue;
    // The target and the trail stay as they are.
    m.active = 1;
    m.x = x;
    m.y = y;
    m.vx = 0;
    m.vy = 1;
    m.heading = 0;
    return i;
  }
  return -1;
}

double Steer(double heading, double bearing) {
  if (heading < bearing) return heading + kTurnStep;
  if (heading > bearing) return heading - kTurnStep;
  return heading;
}

void Fly(Missile& m, double bearing) {
  m.x += m.vx * kDt;
  m.y += m.vy * kDt;
  m.heading = Steer(m.heading, bearing);
  m.vx += kDt * std::cos(m.heading);
  m.vy += kDt * std::sin(m.heading);
  // Governor: brake hard above the speed limit, creep faster at or below it.
  const double factor = m.vx * m.vx + m.vy * m.vy > kSpeedLimitSquared ? kSlowDown : kSpeedUp;
  m.vx *= factor;
  m.vy *= factor;
}

int16_t TrailGreen(int k) {
  return static_cast<int16_t>(std::nearbyint((kTrailLength - k) * 255.0 / kTrailLength));
}

void UpdateMissile(int i, double mouseX, double mouseY) {
  Missile& m = model.missiles[i];
  const double bearing = BearingOf(m.targetX - m.x, m.targetY - m.y);  // from before the move
  Fly(m, bearing);

  EaselSetColor(EaselColors[kGreen]);
  EaselCircle(EaselCoord(m.x), EaselCoord(m.y), kBodyRadius);

  // The trail: the newest point always follows the missile; the older ones shift along only
  // on updates whose shared count is a multiple of kTrailEvery.
  Point* trail = model.trail[i];
  trail[0] = Point{m.x, m.y};
  if (model.updateCount == 0) {
    for (int k = kTrailLength - 1; k >= 1; --k) trail[k] = trail[k - 1];
  }
  for (int k = kTrailLength - 1; k >= 0; --k) {  // oldest first, so the newest lies on top
    EaselSetColor(model.trailColours[k]);
    EaselCircle(EaselCoord(trail[k].x), EaselCoord(trail[k].y), kTrailRadius);
  }
  // Only the count modulo kTrailEvery matters; keeping it small means it can never overflow.
  model.updateCount = (model.updateCount + 1) % kTrailEvery;

  EaselSetColor(EaselColors[kRed]);
  EaselLine(EaselCoord(m.x), EaselCoord(m.y), EaselCoord(m.x + kLineLength * std::cos(m.heading)),
            EaselCoord(m.y + kLineLength * std::sin(m.heading)));
  EaselSetColor(EaselColors[kYellow]);
  EaselLine(EaselCoord(m.x), EaselCoord(m.y), EaselCoord(m.x + kLineLength * std::cos(bearing)),
            EaselCoord(m.y + kLineLength * std::sin(bearing)));
  EaselSetColor(EaselColors[kLightBlue]);
  EaselCircle(EaselCoord(mouseX), EaselCoord(mouseY), kTargetRadius);
}

bool Frame() {
  const double mouseX = EaselMouseX(), mouseY = EaselMouseY();
  const uint32_t buttons = EaselMouseButtons();

  EaselSetDrawPage(model.page);
  model.page = static_cast<int16_t>(1 - model.page);
  EaselSetShowPage(model.page);
  EaselClear();

  // A launch needs the left button alone, and a change since the previous frame: holding
  // the button down launches one missile, not one a frame.
  if (buttons == 1 && buttons != model.previousButtons) Launch(mouseX, mouseY);

  for (int j = 0; j < kPasses; ++j) {
    // Pass j retargets missile j only: the missiles after it still chase the pointer's
    // position of the previous frame during this pass.
    model.missiles[j].targetX = mouseX;
    model.missiles[j].targetY = mouseY;
    for (int i = 0; i < kMissiles; ++i) {
      if (model.missiles[i].active) UpdateMissile(i, mouseX, mouseY);
    }
  }
  model.previousButtons = buttons;

  return !EaselKeyHit();
}

void End() {
  EaselClose();
}

}  // namespace pursuit
