#include "magnets.h"

#include <cmath>
#include <numbers>

#include "common/random.h"
#include "easel/easel.h"

namespace magnets {

Model model;

namespace {
constexpr int kLightBlue = 122, kGrey = 127, kWhite = 250;  // named colours

void DrawLabels() {
  EaselSetTextStyle(0, 0, 2);  // Courier New, 16 pixels
  EaselSetTextAlign(1, 1);     // centred, bottom of the text on the point
  EaselSetColor(EaselColors[kWhite]);
  EaselTextAt(EaselCoord(model.northX + kLabelDx), EaselCoord(model.northY + kLabelDy), "N");
  EaselTextAt(EaselCoord(model.southX + kLabelDx), EaselCoord(model.southY + kLabelDy), "S");
}

// Only Escape ends; any other key, a special key's two codes included, is consumed.
bool EscapeRead() {
  if (!EaselKeyHit()) return false;
  uint8_t key = EaselReadKey();
  if (key == 0) key = EaselReadKey();
  return key == kEscape;
}
}  // namespace

void Start() {
  int16_t driver = 3, mode = 6;  // 256 colours, 800 x 600
  EaselOpen(driver, mode, "FUNCTIONAREA MAGNETILOR");
  model = Model{};  // page 0, not started, particles and the north pole at 0
  RandomSeed();
}

void Field(double px, double py, double& bx, double& by) {
  const double nx = px - model.northX, ny = py - model.northY;
  const double sx = px - model.southX, sy = py - model.southY;
  const double n2 = nx * nx + ny * ny, s2 = sx * sx + sy * sy;
  bx = 0;
  by = 0;
  if (n2 != 0) {
    bx += nx / n2;
    by += ny / n2;
  }
  if (s2 != 0) {
    bx -= sx / s2;
    by -= sy / s2;
  }
}

void PlacePoles(int32_t buttons, double mouseX, double mouseY) {
  if (model.northX == 0) {  // at start, or after the north pole was dragged to column 0
    model.northX = kNorthX * EaselMaxX();
    model.northY = kNorthY * EaselMaxY();
    model.southX = kSouthX * EaselMaxX();
    model.southY = kSouthY * EaselMaxY();
  }
  if (buttons == 1) {
    model.northX = mouseX;
    model.northY = mouseY;
  }
  if (buttons >= 2) {
    model.southX = mouseX;
    model.southY = mouseY;
  }
}

void ComputeAxis() {
  model.axisX = model.northX - model.southX;
  model.axisY = model.northY - model.southY;
  model.centreX = (model.northX + model.southX) / 2;
  model.centreY = (model.northY + model.southY) / 2;
  const double length = std::sqrt(model.axisX * model.axisX + model.axisY * model.axisY);
  if (length != 0) {
    model.axisX /= length;
    model.axisY /= length;
  }
}

void DrawPattern() {
  for (int radius = kPatternFirstRadius; radius <= kPatternLastRadius;
       radius += kPatternRadiusStep) {
    // Angles 0 to 2 pi in steps of pi / kPatternDivisions; the last falls on the first.
    for (int j = 0; j <= 2 * kPatternDivisions; ++j) {
      const double theta = j * std::numbers::pi / kPatternDivisions;
      const double px = (model.southX + model.northX) * 0.5 + radius * std::cos(theta);
      const double py = (model.southY + model.northY) * 0.5 + radius * std::sin(theta);
      double bx, by;
      Field(px, py, bx, by);
      const double magnitude = std::sqrt(bx * bx + by * by);
      if (magnitude == 0) continue;  // two poles on one spot cancel: no direction to show
      // k is the squared cosine between the axis and the direction from the centre: strokes
      // along the axis are twice as long as those broadside to the magnet.
      const double dx = px - model.centreX, dy = py - model.centreY;
      const double along = dx * model.axisX + dy * model.axisY;
      const double k = along * along / (dx * dx + dy * dy);
      const double length = kPatternStroke * (1 + k) / magnitude;
      bx *= length;
      by *= length;
      EaselSetColor(EaselColors[kLightBlue]);
      EaselLine(EaselCoord(px), EaselCoord(py), EaselCoord(px + bx), EaselCoord(py + by));
      EaselPixel(EaselCoord(px + bx), EaselCoord(py + by), EaselColors[kGrey]);  // the head
    }
  }
}

void ScatterParticles() {
  if (model.particles[0].x != 0) return;
  for (Particle& p : model.particles) {
    p.x = RandomInt(EaselMaxX());
    p.y = RandomInt(EaselMaxY());
  }
}

void BorderPoint(double t, double& x, double& y) {
  const double maxX = EaselMaxX(), maxY = EaselMaxY();
  if (t < maxX) {  // the top edge, left to right
    x = t;
    y = 0;
  } else if (t < 2 * maxX) {  // the bottom edge, left to right
    x = t - maxX;
    y = maxY;
  } else if (t < 2 * maxX + maxY) {  // the left edge, top to bottom
    x = 0;
    y = t - 2 * maxX;
  } else {  // the right edge, top to bottom
    x = maxX;
    y = t - 2 * maxX - maxY;
  }
}

bool BeyondCorner(double x, double y) {
  const double halfX = EaselMaxX() * 0.5, halfY = EaselMaxY() * 0.5;
  return std::fabs(x - halfX) >= halfX && std::fabs(y - halfY) >= halfY;
}

void MoveParticle(int i) {
  double px = model.particles[i].x, py = model.particles[i].y;
  const double qx = model.southX - px, qy = model.southY - py;
  const double q = qx * qx + qy * qy;  // taken before any move below
  if (BeyondCorner(px, py)) {
    // Under 0.9 of the way round, so only the upper part of the right edge is ever used.
    const double t = 2.0 * (EaselMaxX() + EaselMaxY()) * RandomInt(kTurn) / 1000;
    BorderPoint(t, px, py);
  }
  if (q < kCaptureSquared) {
    const double phi = RandomInt(kTurn) * 2 * std::numbers::pi / 1000;
    px = model.northX + kRestartRadius * std::cos(phi);
    py = model.northY + kRestartRadius * std::sin(phi);
  }
  double bx, by;
  Field(px, py, bx, by);
  const double magnitude = std::sqrt(bx * bx + by * by);
  if (magnitude != 0) model.scale = kHalfStroke / magnitude;
  EaselSetColor(static_cast<uint32_t>(i) % EaselMaxColor() + 1);
  EaselLine(EaselCoord(px - model.scale * bx), EaselCoord(py - model.scale * by),
            EaselCoord(px + model.scale * bx), EaselCoord(py + model.scale * by));
  if (magnitude != 0) {
    model.scale = kStep / magnitude;
    px += model.scale * bx;
    py += model.scale * by;
  }
  model.particles[i] = Particle{px, py};
}

bool Frame() {
  model.mouseX = EaselMouseX();
  model.mouseY = EaselMouseY();
  model.buttons = EaselMouseButtons();
  PlacePoles(model.buttons, model.mouseX, model.mouseY);
  DrawLabels();
  ComputeAxis();
  if (model.started == 0) {
    DrawPattern();
  } else {
    ScatterParticles();
    for (int i = 0; i < kParticles; ++i) MoveParticle(i);
  }

  // The page just drawn is shown; the other one is cleared for the next frame.
  EaselSetDrawPage(model.page);
  model.page = static_cast<int16_t>(1 - model.page);
  EaselSetShowPage(model.page);
  EaselSleep(kPauseMs);
  EaselClear();
  model.started = 1;

  return !EscapeRead();
}

void End() {
  EaselClose();
}

}  // namespace magnets
