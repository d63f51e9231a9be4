#include "blackhole.h"

#include <cmath>

#include "common/random.h"
#include "easel/easel.h"

namespace blackhole {

Model model;

void Start() {
  int16_t driver = 3, mode = 6;  // 256 colours, 800 x 600
  EaselOpen(driver, mode, "GAURA NEAGRA");
  model.page = 0;
  RandomSeed();
  for (Particle& p : model.particles) {
    p.x = RandomInt(EaselMaxX());
    p.y = RandomInt(EaselMaxY());
  }
}

void MoveParticle(Particle& p, double cx, double cy) {
  const double dx = cx - p.x, dy = cy - p.y;
  const double d = std::sqrt(dx * dx + dy * dy);
  if (d < kSwallowDistance) {
    // Swallowed: it starts again at a random place, still heading the way it was going.
    p.x = RandomInt(EaselMaxX());
    p.y = RandomInt(EaselMaxY());
  }
  if (d != 0) {
    p.x += dx / d;
    p.y += dy / d;
  }
}

bool Frame() {
  EaselSetDrawPage(model.page);
  model.page = static_cast<int16_t>(1 - model.page);
  EaselSetShowPage(model.page);
  EaselClear();

  const double cx = EaselMaxX() / 2.0, cy = EaselMaxY() / 2.0;
  for (Particle& p : model.particles) {
    MoveParticle(p, cx, cy);
    EaselSetColor(EaselColors[250]);
    EaselCircle(EaselCoord(p.x), EaselCoord(p.y), kRadius);
  }
  EaselSleep(kPauseMs);
  return !EaselKeyHit();
}

void End() {
  EaselClose();
}

}  // namespace blackhole
