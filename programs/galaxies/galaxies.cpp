#include "galaxies.h"

#include <cmath>

#include "common/random.h"
#include "easel/easel.h"

namespace galaxies {

Model model;

namespace {

constexpr uint32_t kBackground = 0;  // palette index 0, black: erases a star
constexpr int16_t kLabelX = 1, kLabelY = 1;
constexpr int16_t kLabelBoxRight = 200, kLabelBoxBottom = 20;
const char* const kLabels[kKinds] = {"Galaxia 1", "Galaxia 2", "Galaxia 3", "Galaxia 4"};

// The star's pixel from its radius and angle, rounded to the nearest (ties to even).
void Place(Star& s) {
  s.px = model.centreX + EaselCoord(s.radius * std::cos(s.angle));
  s.py = model.centreY + EaselCoord(s.radius * std::sin(s.angle));
}

void Plot(const Star& s, uint32_t colour) {
  EaselPixel(EaselCoord(s.px), EaselCoord(s.py), colour);
}

}  // namespace

void Start() {
  int16_t driver = 3, mode = 6;  // 256 colours, 800 x 600
  EaselOpen(driver, mode, "TIPURI DE GALAXII");
  // The generator is never seeded: every run shows the same disc and makes the same choices.
  model.centreX = EaselMaxX() / 2;
  model.centreY = EaselMaxY() / 2;
  model.kind = 1;
  for (Star& s : model.stars) {
    s.radius = RandomInt(kStartRadii) + 1;
    s.angle = RandomReal() * 2 * std::numbers::pi;
    Place(s);
    s.colour = static_cast<uint32_t>(RandomInt(kColours) + kFirstColour);
    Plot(s, s.colour);
  }
  EaselSetFillStyle(0, 0);  // pattern 0 fills in the background colour: the bar erases labels
  EaselTextAt(kLabelX, kLabelY, kLabels[0]);
}

void MoveStar(Star& s, int32_t kind) {
  if (kind >= 3) {
    // Inflow: two pixels a step toward the centre, then back out at the rim.
    if (s.radius > kInnermost) {
      s.radius -= kInflow;
    } else if (kind == 3) {
      s.radius = kRimRadius3;  // where it left, at the same angle
    } else {
      s.radius = kRimRadius4;
      s.angle = RandomReal() * kRimArc;  // only from one arc of the rim: a single arm
    }
  }
  // Rigid rotation turns every star alike; otherwise each covers the same arc, so the turn is
  // larger the nearer it is. The radius is at least 1 here: it starts at 1 or more and the
  // inflow stops at 4 or 5.
  s.angle += kind == 1 ? kRigidTurn : kArcPerStep / s.radius;
  Place(s);
}

void Step(int32_t kind) {
  for (Star& s : model.stars) {
    Plot(s, kBackground);  // may erase another star's pixel; it returns when that star moves
    MoveStar(s, kind);
    Plot(s, s.colour);
  }
}

bool Frame() {
  Step(model.kind);
  EaselSleep(kPauseMs);
  if (!EaselKeyHit()) return true;
  if (model.kind == kKinds) return false;  // the last kind ends without reading the key
  EaselReadKey();  // one code: the second code of a special key ends the next kind as well
  ++model.kind;
  EaselBar(0, 0, kLabelBoxRight, kLabelBoxBottom);
  EaselTextAt(kLabelX, kLabelY, kLabels[model.kind - 1]);
  return true;
}

void End() {
  EaselClose();
}

}  // namespace galaxies
