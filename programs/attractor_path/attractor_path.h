// The short way to an attractor: the attractor, every wall and every particle is a Gaussian
// bump in one scalar field, h * exp(-(k/2) d^2). The attractor is a broad well; walls and
// particles are narrow hills. Every frame each particle steps one pixel downhill along the
// field's gradient, so it heads straight for the attractor and bends around whatever hill it
// meets. The key "a" moves the attractor to the pointer, the left button alone draws walls,
// the right button alone drops particles; a label at the pointer counts both. Escape ends it.
#ifndef PROGRAMS_ATTRACTOR_PATH_H
#define PROGRAMS_ATTRACTOR_PATH_H

#include <cstdint>

namespace attractor_path {

// Room in the tables, and how many the mouse may make.
constexpr int kAttractorRoom = 51;
constexpr int kWallRoom = 3001;
constexpr int kParticleRoom = 151;
constexpr int32_t kWallLimit = 3000;
constexpr int32_t kParticleLimit = 150;

// A bump of size s has steepness k = 1 / (s/2)^2: a Gaussian whose standard deviation is s/2.
constexpr double kWallSize = 15;
constexpr double kWallSteepness = 1 / ((kWallSize / 2) * (kWallSize / 2));  // 1/56.25
constexpr double kAttractorSteepness = 0.00001;
constexpr double kAttractorHeight = 1;
constexpr double kEdgeWallHeight = 15;
constexpr double kScatteredWallHeight = 2;
constexpr double kDrawnWallHeight = 5;
constexpr double kStartParticleSteepness = 0.01;  // size 20
constexpr double kStartParticleHeight = 20;
constexpr double kAddedParticleSteepness = 1 / (12.5 * 12.5);  // size 25: 0.0064
constexpr double kAddedParticleHeight = 25;

constexpr double kWallSpacing = 20;  // along the window edges
constexpr int kScatteredWalls = 101;
constexpr int kStartParticles = 10;
constexpr double kNoWallRadius = 2 * kWallSize;    // a new wall must be farther than this
constexpr double kLeastWallGap = 0.5 * kWallSize;  // no new wall nearer a wall centre
constexpr double kDeadBand = 1e-7;                 // gradients this flat move nothing
constexpr double kStepLength = 1.0;                // pixels along the steeper axis
constexpr int kRingRadius = 25;                    // light blue ring around the attractor

// Something in the field: centre, steepness k and height h. The height is also the radius
// of the circle that shows it.
struct Bump {
  double x, y;
  double steepness;
  double height;
};

struct Gradient {
  double x, y;
};

// How a frame sums the field's gradient. Both give the same numbers, bit for bit:
// kSkipNegligible leaves out the exponentials of hills too far away to change the sum (see
// FastFieldGradient), kEveryTerm evaluates all of them.
enum class Summation : uint8_t { kSkipNegligible, kEveryTerm };

struct Model {
  Bump attractors[kAttractorRoom];  // one in use
  Bump walls[kWallRoom];
  Bump particles[kParticleRoom];
  int32_t attractorCount, wallCount, particleCount;
  int16_t page;    // the page drawn into this frame
  char label[64];  // "  Ziduri=<walls> ; Particule=<particles>"
};
extern Model model;
// How Frame sums the gradient; kSkipNegligible unless a test or benchmark asks for the plain
// sum. Start leaves it alone.
extern Summation summation;

void Start();  // opens the window; the attractor, the edge and scattered walls, ten particles
bool Frame();  // one frame; false once Escape has been read
void End();    // closes the window

// Appends a drawn wall at (x, y) unless the table is full, the point is within kNoWallRadius
// of the attractor (inclusive) or a wall centre lies closer than kLeastWallGap. True if added.
bool TryAddWall(double x, double y);
// Appends an added particle at (x, y) while there are fewer than kParticleLimit. True if added.
bool TryAddParticle(double x, double y);

// The gradient of F(p) = -sum(attractors) h E + sum(walls) h E + sum(particles) h E at p,
// E = exp(-(k/2) |p - c|^2), summed term by term in table order: attractors, walls, particles.
Gradient FieldGradient(double px, double py);
// The same value, bit for bit, with far fewer exponentials: only the hills near p are summed,
// found through a grid of the walls that this call builds (Frame builds it once a frame).
Gradient FastFieldGradient(double px, double py);
// The descent step for a particle p on gradient g, in place: one pixel along the steeper axis
// of -g, proportionally less along the other; nothing when both parts are within the dead band.
void StepDownhill(Bump& p, Gradient g);
// Rebuilds model.label from the counts.
void BuildLabel();

}  // namespace attractor_path

#endif  // PROGRAMS_ATTRACTOR_PATH_H
