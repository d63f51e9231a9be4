#include "common/bearing.h"

#include <cmath>
#include <numbers>

double BearingOf(double dx, double dy) {
  if (dx == 0) return dy > 0 ? std::numbers::pi / 2 : 3 * std::numbers::pi / 2;
  if (dx > 0) return std::atan(dy / dx);
  if (dx < 0) return std::numbers::pi + std::atan(dy / dx);
  return 0;  // NaN
}
