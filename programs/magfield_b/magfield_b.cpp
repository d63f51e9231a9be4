#include "magfield_b.h"

#include <cmath>
#include <cstdint>
#include <numbers>

#include "common/random.h"
#include "easel/easel.h"

namespace magfield_b {

Model model;

namespace {
constexpr int kWhite = 250;  // named colour

void ReadMouse() {
  const uint16_t buttons = EaselMouseButtons();
  if (buttons == 0) return;  // any button, or Shift or Ctrl, moves a pole
  const int32_t mouseX = EaselMouseX(), mouseY = EaselMouseY();
  // While the button stays down the same pole keeps following: it is always the nearest.
  Pole& p = model.poles[NearestPole(mouseX, mouseY)];
  p.x = mouseX;
  p.y = mouseY;
}

// At most one key a frame; a special key is read in full, both of its codes.
uint8_t ReadKey() {
  if (!EaselKeyHit()) return 0;
  const uint8_t key = EaselReadKey();
  return key == 0 ? EaselReadKey() : key;
}

void DrawLabels() {
  EaselSetColor(EaselColors[kWhite]);
  EaselSetTextStyle(0, 0, 3);  // Courier New, 24 pixels
  EaselSetTextAlign(1, 1);     // centred, bottom of the text on the point
  for (const Pole& p : model.poles) {
    EaselTextAt(EaselCoord(p.x), EaselCoord(p.y + 10), p.charge == 1 ? "+" : "-");
  }
}
}  // namespace

void Start() {
  int16_t driver = 3, mode = 6;  // 256 colours, 800 x 600
  EaselOpen(driver, mode, "CAMP MAGNETIC");
  model.page = 0;
  RandomSeed();
  PlacePoles();
  // All tracers start at (0, 0): at first they move as one point, until they are reborn one
  // by one at the +1 poles.
  for (Tracer& t : model.tracers) t = Tracer{0, 0};
  for (uint32_t& s : model.shades) s = kUnknownShade;
  model.key = 0;
}

void PlacePoles() {
  for (Pole& p : model.poles) {
    p.x = RandomInt(EaselMaxX());
    p.y = RandomInt(EaselMaxY());
    p.charge = RandomInt(2) == 0 ? -1 : 1;
  }
  FindPositivePoles();
}

void FindPositivePoles() {
  model.positiveCount = 0;
  for (int32_t& k : model.positivePoles) k = 0;
  for (int k = 0; k < kPoles; ++k) {
    if (model.poles[k].charge == 1) model.positivePoles[model.positiveCount++] = k;
  }
}

int NearestPole(int32_t x, int32_t y) {
  double best = kFarAway;
  int nearest = 0;
  for (int k = 0; k < kPoles; ++k) {
    const int64_t dx = x - model.poles[k].x, dy = y - model.poles[k].y;
    const int64_t d2 = dx * dx + dy * dy;
    if (static_cast<double>(d2) < best) {
      best = static_cast<double>(d2);
      nearest = k;
    }
  }
  return nearest;
}

bool Field(double x, double y, double& bx, double& by) {
  bx = 0;
  by = 0;
  for (const Pole& p : model.poles) {
    const double dx = x - p.x, dy = y - p.y;
    const double d2 = dx * dx + dy * dy;
    if (p.charge == -1 && d2 < kCaptureSquared) return true;
    if (d2 == 0) continue;  // on a +1 pole's centre: that pole gives no direction
    bx += p.charge * dx / d2;
    by += p.charge * dy / d2;
  }
  return false;
}

bool IsOut(const Tracer& t) {
  const bool inside = t.x >= -kMargin && t.x <= EaselMaxX() + kMargin && t.y >= -kMargin &&
                      t.y <= EaselMaxY() + kMargin;
  return !inside;
}

void Rebirth(Tracer& t) {
  const Pole& p = model.poles[model.positivePoles[RandomInt(model.positiveCount)]];
  const double theta = RandomInt(1000) * 2 * std::numbers::pi / 1000;
  t.x = p.x + kRebirthRadius * std::cos(theta);
  t.y = p.y + kRebirthRadius * std::sin(theta);
}

int16_t ShadeLevel(double f) {
  return EaselCoord(kShadeFactor * f);
}

uint32_t ShadeColour(int16_t v) {
  // The level is never negative (it comes from a length); anything else is looked up directly.
  if (v < 0) return EaselRgb(v, v, 0);
  uint32_t& shade = model.shades[v];
  if (shade == kUnknownShade) shade = EaselRgb(v, v, 0);
  return shade;
}

void StepTracer(int i) {
  Tracer& t = model.tracers[i];
  double bx = 0, by = 0;
  if (IsOut(t) || Field(t.x, t.y, bx, by)) {
    Rebirth(t);  // neither drawn nor moved until the next frame
    return;
  }
  const double magnitude = std::sqrt(bx * bx + by * by);
  // Where the field vanishes (or is too strong to measure) it has no direction to follow.
  if (!(magnitude > 0) || !std::isfinite(magnitude)) return;
  const double f = kHalfStroke / magnitude;
  EaselSetColor(ShadeColour(ShadeLevel(f)));
  EaselLine(EaselCoord(t.x - f * bx), EaselCoord(t.y - f * by), EaselCoord(t.x + f * bx),
            EaselCoord(t.y + f * by));
  const double step = kStep / magnitude;
  t.x += step * bx;
  t.y += step * by;
}

void GatherTracers() {
  if (model.positiveCount == 0) return;  // no +1 pole to gather them on
  for (int i = 0; i < kTracers; ++i) {
    const Pole& p = model.poles[model.positivePoles[i % model.positiveCount]];
    model.tracers[i] = Tracer{static_cast<double>(p.x), static_cast<double>(p.y)};
  }
}

bool Frame() {
  EaselClear();
  ReadMouse();
  model.key = ReadKey();
  if (model.key == kSpace) GatherTracers();
  for (int i = 0; i < kTracers; ++i) StepTracer(i);
  DrawLabels();  // over the tracers

  // Drawn first, shown right after: the next frame goes into the other page.
  EaselSetDrawPage(model.page);
  model.page = static_cast<int16_t>(1 - model.page);
  EaselSetShowPage(model.page);
  return model.key != kEscape;
}

void End() {
  EaselClose();
}

}  // namespace magfield_b
