#include "troops.h"

#include <algorithm>
#include <cmath>

#include "common/random.h"
#include "easel/easel.h"

namespace troops {

Model model;

namespace {

// Named colours (EaselColors indices).
constexpr int kYellow = 253, kRed = 207, kGreen = 105;

// The present neighbour of soldier i that overlaps it (closer than the two radii, but not on
// the very same spot) and has the highest index, or -1; d is set to its distance. When several
// overlap, the highest index decides, so the search runs from the top down and stops at the
// first one found.
int OverlappingNeighbour(int i, double& d) {
  const Soldier& a = model.soldiers[i];
  for (int j = kSoldiers - 1; j >= 0; --j) {
    const Soldier& b = model.soldiers[j];
    if (j == i || b.present != 1) continue;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double squared = dx * dx + dy * dy;
    const double reach = a.radius + b.radius;
    // A square root is only needed when the squared distance says the two may overlap.
    if (squared == 0 || squared >= reach * reach) continue;
    d = std::sqrt(squared);
    if (d < reach) return j;
  }
  return -1;
}

void Draw() {
  for (const Soldier& s : model.soldiers) {
    if (s.present != 1) continue;
    const int16_t x = EaselCoord(s.x), y = EaselCoord(s.y);
    EaselSetColor(EaselColors[kYellow]);
    EaselCircle(x, y, static_cast<uint16_t>(s.radius));
    if (s.selected == 1) {
      EaselSetColor(EaselColors[kRed]);
      EaselCircle(x, y, static_cast<uint16_t>(s.radius + kRingGap));
    }
    if (s.moving == 1) {
      EaselSetColor(EaselColors[kGreen]);
      EaselLine(x, y, EaselCoord(s.targetX), EaselCoord(s.targetY));
    }
  }
}

}  // namespace

void Start() {
  int16_t driver = 3, mode = 6;  // 256 colours, 800 x 600
  EaselOpen(driver, mode, "MISCARI DE TRUPE");
  model = Model{};
  model.page = 0;
  RandomSeed();
  model.unitRadius = kUnitRadius;
  model.stepFactor = kStepFactor;
  model.speed = kSpeed;  // set again at the start of every frame
  model.previousButtons = 0;
  model.dragging = 0;
  const double left = EaselMaxX() / 2.0 - kStartArea / 2, top = EaselMaxY() / 2.0 - kStartArea / 2;
  for (Soldier& s : model.soldiers) {
    s.x = left + RandomInt(kStartArea);
    s.y = top + RandomInt(kStartArea);
    s.present = 1;
    s.radius = model.unitRadius;
    s.selected = 0;
    s.targetX = s.x;
    s.targetY = s.y;
  }
}

void Walk() {
  for (Soldier& s : model.soldiers) {
    if (s.present != 1 || s.moving == 0) continue;
    const double dx = s.targetX - s.x, dy = s.targetY - s.y;
    const double d = std::sqrt(dx * dx + dy * dy);
    if (d > kArrival) {
      // One pixel along the unit vector toward the target; the last step may overshoot.
      s.vx = dx / d * model.stepFactor * model.speed;
      s.vy = dy / d * model.stepFactor * model.speed;
      s.x += s.vx;
      s.y += s.vy;
    } else {
      s.moving = 0;
    }
  }
}

void Separate() {
  // In index order: each soldier already sees where lower-indexed soldiers were pushed to.
  for (int i = 0; i < kSoldiers; ++i) {
    Soldier& a = model.soldiers[i];
    if (a.present != 1) continue;
    double d = 0;
    // Push apart: one pixel straight away from the overlapping neighbour.
    int j = OverlappingNeighbour(i, d);
    if (j >= 0) {
      const double sx = (model.soldiers[j].x - a.x) / d, sy = (model.soldiers[j].y - a.y) / d;
      a.x -= sx;
      a.y -= sy;
    }
    // Step aside: at right angles to that neighbour's last step, the closer the farther.
    j = OverlappingNeighbour(i, d);
    if (j >= 0) {
      const double sx = model.soldiers[j].vx / d, sy = model.soldiers[j].vy / d;
      a.x += sy;
      a.y -= sx;
    }
    a.moving = 1;
  }
}

void Select(double x1, double y1, double x2, double y2) {
  const double left = std::min(x1, x2), top = std::min(y1, y2);
  const double width = std::fabs(x1 - x2), height = std::fabs(y1 - y2);
  for (Soldier& s : model.soldiers) {
    if (s.present != 1) continue;
    const bool inside = left <= s.x && s.x <= left + width && top <= s.y && s.y <= top + height;
    s.selected = inside ? 1 : 0;
  }
}

void Order(double mouseX, double mouseY) {
  int count = 0;
  for (Soldier& s : model.soldiers) {
    if (s.present != 1 || s.selected != 1) continue;
    s.moving = 1;
    ++count;
  }
  // Rows of side + 1 places, centred across the pointer, starting half a square above it.
  const int side = static_cast<int>(std::lround(std::sqrt(count)));
  const double spacing = model.unitRadius * 4.5;
  for (int k = 0; k < count; ++k) {
    const int column = k % (side + 1), row = k / (side + 1);
    model.slots[k].x = mouseX - 0.5 * spacing * side + spacing * column;
    model.slots[k].y = mouseY - 0.5 * spacing * side + spacing * row;
  }
  int k = 0;
  for (Soldier& s : model.soldiers) {
    if (s.present != 1 || s.selected != 1) continue;
    s.targetX = model.slots[k].x;
    s.targetY = model.slots[k].y;
    ++k;
  }
}

bool Frame() {
  EaselSetDrawPage(model.page);
  model.page = static_cast<int16_t>(1 - model.page);
  EaselSetShowPage(model.page);
  EaselClear();

  model.mouseX = EaselMouseX();
  model.mouseY = EaselMouseY();
  model.buttons = EaselMouseButtons();
  model.speed = kSpeed;

  Walk();
  Separate();
  Draw();

  // Left button alone, pressed from no buttons at all: a selection drag starts here.
  if (model.buttons == 1 && model.previousButtons == 0) {
    model.anchorX = model.mouseX;
    model.anchorY = model.mouseY;
    model.dragging = 1;
  }
  if (model.dragging == 1) {
    if (model.buttons != 0) {
      EaselSetColor(EaselColors[kYellow]);
      EaselRect(EaselCoord(model.anchorX), EaselCoord(model.anchorY), EaselCoord(model.mouseX),
                EaselCoord(model.mouseY));
    } else {
      model.dragging = 0;
      Select(model.anchorX, model.anchorY, model.mouseX, model.mouseY);
    }
  }
  // Right button alone: the selection heads for the formation, following the pointer.
  if (model.buttons == 2) Order(model.mouseX, model.mouseY);
  model.previousButtons = model.buttons;

  return !EaselKeyHit();
}

void End() {
  EaselClose();
}

}  // namespace troops
