// Black hole: a hundred particles fall into the centre of the window, one pixel a frame.
// A particle that comes within one pixel of the centre is swallowed and starts again at a
// random place. Any key, or the close box, ends the program.
#ifndef PROGRAMS_BLACKHOLE_H
#define PROGRAMS_BLACKHOLE_H

#include <cstdint>

namespace blackhole {

constexpr int kParticles = 100;
constexpr double kSwallowDistance = 1;
constexpr int kRadius = 10;
constexpr int kPauseMs = 10;

struct Particle {
  double x, y;
};

struct Model {
  Particle particles[kParticles];
  int16_t page;  // the page drawn into this frame
};
extern Model model;

void Start();  // opens the window and scatters the particles
bool Frame();  // one frame; false once a key has been pressed
void End();    // closes the window

// One particle's step toward the centre (cx, cy): swallowed within kSwallowDistance.
void MoveParticle(Particle& p, double cx, double cy);

}  // namespace blackhole

#endif  // PROGRAMS_BLACKHOLE_H
