#include "attractor_path.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>

#include "common/random.h"
#include "easel/easel.h"

namespace attractor_path {

Model model;
Summation summation = Summation::kSkipNegligible;

namespace {

constexpr int kLightBlue = 122, kMagenta = 142, kRed = 207, kWhite = 250;  // named colours
constexpr uint8_t kEscape = 27;
constexpr int16_t kLabelFont = 3, kLabelSize = 2;  // Arial, 16 pixels

double Distance(double x1, double y1, double x2, double y2) {
  const double dx = x1 - x2, dy = y1 - y2;
  return std::sqrt(dx * dx + dy * dy);
}

// (k/2) d^2 for bump c seen from offset (dx, dy); E = exp(-exponent).
double Exponent(const Bump& c, double dx, double dy) {
  return c.steepness / 2 * (dx * dx + dy * dy);
}

// A well pulls: its term is added. A hill pushes: its term is subtracted.
void AddWell(Gradient& g, const Bump& c, double dx, double dy, double e) {
  g.x += c.steepness * c.height * dx * e;
  g.y += c.steepness * c.height * dy * e;
}
void AddHill(Gradient& g, const Bump& c, double dx, double dy, double e) {
  g.x -= c.steepness * c.height * dx * e;
  g.y -= c.steepness * c.height * dy * e;
}

void AddAllHills(Gradient& g, const Bump* hills, int32_t count, double px, double py) {
  for (int32_t i = 0; i < count; ++i) {
    const double dx = px - hills[i].x, dy = py - hills[i].y;
    AddHill(g, hills[i], dx, dy, std::exp(-Exponent(hills[i], dx, dy)));
  }
}

void AppendWall(double x, double y, double height) {
  model.walls[model.wallCount++] = Bump{x, y, kWallSteepness, height};
}

uint16_t Radius(double height) {
  return static_cast<uint16_t>(std::max<int16_t>(0, EaselCoord(height)));
}

void Draw(const Bump& b) {
  EaselCircle(EaselCoord(b.x), EaselCoord(b.y), Radius(b.height));
}

// The fast sum of the gradient (below Frame).
void BuildWallGrid();
Gradient NearFieldGradient(double px, double py);

}  // namespace

void Start() {
  int16_t driver = 3, mode = 6;  // 256 colours, 800 x 600
  EaselOpen(driver, mode, "CALEA CEA MAI SCURTA CATRE ATRACTOR");
  model.page = 0;
  RandomSeed();
  model.particleCount = 0;
  model.wallCount = 0;
  model.attractorCount = 1;
  const int32_t maxX = EaselMaxX(), maxY = EaselMaxY();
  model.attractors[0] =
      Bump{(maxX * 50) / 100.0, (maxY * 50) / 100.0, kAttractorSteepness, kAttractorHeight};

  // Edge walls every 20 pixels. Their rows sit a = 1/56.25 of a pixel inside the edges.
  const double a = kWallSteepness;
  const int first = static_cast<int>(std::nearbyint(kWallSize / kWallSpacing));
  const int lastAcross = static_cast<int>(std::nearbyint((maxX - kWallSize) / kWallSpacing));
  const int lastDown = static_cast<int>(std::nearbyint((maxY - kWallSize) / kWallSpacing));
  for (int i = first; i <= lastAcross; ++i) {
    AppendWall(kWallSpacing * i, maxY - a, kEdgeWallHeight);  // bottom
    AppendWall(kWallSpacing * i, a, kEdgeWallHeight);         // top
  }
  for (int i = first; i <= lastDown; ++i) {
    AppendWall(a, kWallSpacing * i, kEdgeWallHeight);         // left
    AppendWall(maxX - a, kWallSpacing * i, kEdgeWallHeight);  // right
  }

  const int32_t xRange = static_cast<int32_t>(std::nearbyint(maxX - kWallSize));
  for (int i = 0; i < kScatteredWalls; ++i) {
    const double x = RandomInt(xRange);  // x is drawn before y
    const double y = RandomInt(maxY);
    AppendWall(x, y, kScatteredWallHeight);
  }

  // The start particles sit in a clump on top of the attractor.
  for (int i = 0; i < kStartParticles; ++i) {
    const double x = maxX / 2.0 + RandomInt(5);
    const double y = maxY / 2.0 + RandomInt(5);
    model.particles[i] = Bump{x, y, kStartParticleSteepness, kStartParticleHeight};
  }
  model.particleCount = kStartParticles;
}

bool TryAddWall(double x, double y) {
  if (model.wallCount >= kWallLimit) return false;
  const Bump& attractor = model.attractors[0];
  if (!(Distance(x, y, attractor.x, attractor.y) > kNoWallRadius)) return false;
  for (int32_t i = 0; i < model.wallCount; ++i) {
    if (Distance(x, y, model.walls[i].x, model.walls[i].y) < kLeastWallGap) return false;
  }
  model.walls[model.wallCount++] = Bump{x, y, kWallSteepness, kDrawnWallHeight};
  return true;
}

bool TryAddParticle(double x, double y) {
  if (model.particleCount >= kParticleLimit) return false;
  model.particles[model.particleCount++] =
      Bump{x, y, kAddedParticleSteepness, kAddedParticleHeight};
  return true;
}

Gradient FieldGradient(double px, double py) {
  Gradient g{0, 0};
  for (int32_t i = 0; i < model.attractorCount; ++i) {
    const Bump& c = model.attractors[i];
    const double dx = px - c.x, dy = py - c.y;
    AddWell(g, c, dx, dy, std::exp(-Exponent(c, dx, dy)));
  }
  AddAllHills(g, model.walls, model.wallCount, px, py);
  AddAllHills(g, model.particles, model.particleCount, px, py);  // the particle itself adds 0
  return g;
}

void StepDownhill(Bump& p, Gradient g) {
  if (std::fabs(g.x) > kDeadBand || std::fabs(g.y) > kDeadBand) {
    // One pixel along the steeper axis, proportionally less along the other, however steep.
    const double m = std::max(std::fabs(g.x), std::fabs(g.y));
    p.x -= kStepLength * g.x / m;
    p.y -= kStepLength * g.y / m;
  }
}

void BuildLabel() {
  std::snprintf(model.label, sizeof model.label, "  Ziduri=%d ; Particule=%d",
                static_cast<int>(model.wallCount), static_cast<int>(model.particleCount));
}

bool Frame() {
  EaselSetDrawPage(model.page);
  model.page = static_cast<int16_t>(1 - model.page);
  EaselSetShowPage(model.page);
  EaselClear();

  const int32_t mouseX = EaselMouseX(), mouseY = EaselMouseY();
  const int32_t buttons = EaselMouseButtons();
  uint8_t key = 0;
  if (EaselKeyHit()) {
    key = EaselReadKey();
    if (key == 0) key = EaselReadKey();  // a special key: its second code is the key
  }

  Bump& attractor = model.attractors[0];
  if (key == 'a') {
    attractor.x = mouseX;
    attractor.y = mouseY;
  }
  // Only a lone button counts: with Shift, Ctrl or a second button held nothing is added.
  if (buttons == 1) TryAddWall(mouseX, mouseY);
  if (buttons == 2) TryAddParticle(mouseX, mouseY);

  EaselSetColor(EaselColors[kLightBlue]);
  EaselCircle(EaselCoord(attractor.x), EaselCoord(attractor.y), kRingRadius);
  EaselSetColor(EaselColors[kWhite]);
  for (int32_t i = 0; i < model.attractorCount; ++i) Draw(model.attractors[i]);
  EaselSetColor(EaselColors[kRed]);
  for (int32_t i = 0; i < model.wallCount; ++i) Draw(model.walls[i]);
  EaselSetColor(EaselColors[kWhite]);
  const bool everyTerm = summation == Summation::kEveryTerm;
  if (!everyTerm) BuildWallGrid();  // the walls stay put for the rest of the frame
  // Each particle moves at once, so the ones after it see it at its new place.
  for (int32_t j = 0; j < model.particleCount; ++j) {
    Bump& p = model.particles[j];
    StepDownhill(p, everyTerm ? FieldGradient(p.x, p.y) : NearFieldGradient(p.x, p.y));
    Draw(p);
  }

  BuildLabel();
  EaselSetTextStyle(kLabelFont, 0, kLabelSize);
  EaselSetColor(EaselColors[kMagenta]);
  EaselTextAt(EaselCoord(mouseX), EaselCoord(mouseY), model.label);

  return key != kEscape;
}

void End() {
  EaselClose();
}

// ---- The fast sum ------------------------------------------------------------------------
// A hill's term k h dx E shrinks like exp(-(k/2) d^2): a wall 100 pixels away adds about
// 1e-37 to a gradient that is mostly 1e-5 or more, and rounding drops it. The fast sum leaves out
// such terms, and proves for every sum that leaving them out changed no bit of the result.

namespace {

// The fast sum skips a hill whose exponent (k/2) d^2 is at least kFarExponent. Such a term
// t = k h dx E is tiny: |dx| <= d = sqrt(2x/k), so |t| <= sqrt(2 k h^2 x) e^-x, which falls with
// x, hence |t| <= sqrt(2 k h^2 X) e^-X for X = kFarExponent. Adding t to a partial sum s leaves
// s unchanged when |t| <= |s| 2^-55 (less than half the spacing of doubles next to s). The fast
// sum checks that every partial sum is at least 2^57 times the bound, a margin of 4 for the
// rounding of the bound itself; when one is not, it sums every term instead.
constexpr double kFarExponent = 64;  // walls beyond about 85 pixels, particles beyond 113..141
const double kFarTail = std::ldexp(std::exp(-kFarExponent), 57);

// What the fast sum needs to know to prove that the hills it skipped changed nothing.
struct Skipped {
  bool any = false;
  double weight = 0;      // the largest k h^2 of any hill that may have been skipped
  double leastX, leastY;  // the smallest magnitude of any partial sum so far
};

// Adds hill c's term unless its exponent puts it among the negligible ones.
void AddIfNear(Gradient& g, Skipped& skipped, const Bump& c, double px, double py) {
  const double dx = px - c.x, dy = py - c.y;
  const double exponent = Exponent(c, dx, dy);
  if (exponent >= kFarExponent) {
    skipped.any = true;
    skipped.weight = std::max(skipped.weight, c.steepness * c.height * c.height);
    return;
  }
  AddHill(g, c, dx, dy, std::exp(-exponent));
  skipped.leastX = std::min(skipped.leastX, std::fabs(g.x));
  skipped.leastY = std::min(skipped.leastY, std::fabs(g.y));
}

// The walls by square cells of the window, so that the fast sum visits only the walls near a
// particle. Walls outside the window go into the border cells. Within a cell the walls keep
// their table order, and the fast sum visits the chosen walls in table order, so its partial
// sums are those of the plain sum with the far terms left out.
constexpr int kCell = 32, kColumns = 25, kRows = 19;  // covers 800 x 600
constexpr int kMarkWords = (kWallRoom + 63) / 64;
struct WallGrid {
  int32_t first[kColumns * kRows + 1];  // the walls of cell c: order[first[c] .. first[c + 1])
  int32_t order[kWallRoom];
  double reach;   // a wall farther than this from p has an exponent of at least kFarExponent
  double weight;  // the largest k h^2 of all walls
};
WallGrid grid;

int CellOf(double v, int cells) {
  const double c = std::floor(v / kCell);
  if (!(c > 0)) return 0;  // also NaN
  return c >= cells - 1 ? cells - 1 : static_cast<int>(c);
}

int CellOf(const Bump& b) {
  return CellOf(b.y, kRows) * kColumns + CellOf(b.x, kColumns);
}

void BuildWallGrid() {
  int32_t counts[kColumns * kRows] = {};
  double leastSteepness = std::numeric_limits<double>::infinity();
  grid.weight = 0;
  for (int32_t i = 0; i < model.wallCount; ++i) {
    const Bump& w = model.walls[i];
    ++counts[CellOf(w)];
    leastSteepness = std::min(leastSteepness, w.steepness);
    grid.weight = std::max(grid.weight, w.steepness * w.height * w.height);
  }
  grid.first[0] = 0;
  for (int c = 0; c < kColumns * kRows; ++c) grid.first[c + 1] = grid.first[c] + counts[c];
  for (int c = 0; c < kColumns * kRows; ++c) counts[c] = grid.first[c];  // next free slot
  for (int32_t i = 0; i < model.wallCount; ++i) grid.order[counts[CellOf(model.walls[i])]++] = i;
  // (k/2) d^2 >= X when d >= sqrt(2X / k); the margin covers the rounding of the exponent.
  grid.reach = leastSteepness > 0 ? std::sqrt(2 * kFarExponent / leastSteepness) * 1.01 + 1
                                  : std::numeric_limits<double>::infinity();
}

void AddNearWalls(Gradient& g, Skipped& skipped, double px, double py) {
  if (model.wallCount == 0) return;
  // Any wall outside the cells looked at is skipped.
  skipped.any = true;
  skipped.weight = std::max(skipped.weight, grid.weight);
  uint64_t marks[kMarkWords];
  const int words = (model.wallCount + 63) / 64;
  std::fill(marks, marks + words, 0);
  const int left = CellOf(px - grid.reach, kColumns), right = CellOf(px + grid.reach, kColumns);
  const int top = CellOf(py - grid.reach, kRows), bottom = CellOf(py + grid.reach, kRows);
  for (int row = top; row <= bottom; ++row) {
    for (int c = row * kColumns + left; c <= row * kColumns + right; ++c) {
      for (int32_t k = grid.first[c]; k < grid.first[c + 1]; ++k) {
        marks[grid.order[k] / 64] |= uint64_t{1} << (grid.order[k] % 64);
      }
    }
  }
  for (int word = 0; word < words; ++word) {
    for (uint64_t bits = marks[word]; bits != 0; bits &= bits - 1) {
      AddIfNear(g, skipped, model.walls[word * 64 + std::countr_zero(bits)], px, py);
    }
  }
}

// The fast sum with the wall grid as it stands.
Gradient NearFieldGradient(double px, double py) {
  Gradient g{0, 0};
  for (int32_t i = 0; i < model.attractorCount; ++i) {
    const Bump& c = model.attractors[i];
    const double dx = px - c.x, dy = py - c.y;
    AddWell(g, c, dx, dy, std::exp(-Exponent(c, dx, dy)));
  }
  Skipped skipped;
  skipped.leastX = std::fabs(g.x);
  skipped.leastY = std::fabs(g.y);
  AddNearWalls(g, skipped, px, py);
  for (int32_t i = 0; i < model.particleCount; ++i) {
    AddIfNear(g, skipped, model.particles[i], px, py);
  }
  if (skipped.any) {
    const double bound = std::sqrt(2 * kFarExponent * skipped.weight) * kFarTail;
    // Near a balance point the sum is small enough for far terms to count: sum them all.
    if (std::min(skipped.leastX, skipped.leastY) < bound) return FieldGradient(px, py);
  }
  return g;
}

}  // namespace

Gradient FastFieldGradient(double px, double py) {
  BuildWallGrid();
  return NearFieldGradient(px, py);
}

}  // namespace attractor_path
