// Magnetic field, second program: fifteen poles at random places with random charges, marked
// by a white "+" or "-", and 8192 tracers drifting along their field. Each tracer is drawn as
// a short stroke along the field, its shade following the field strength; a tracer that
// reaches a -1 pole or leaves the window is reborn next to a random +1 pole. With a mouse
// button held the nearest pole jumps to the pointer and follows it. Space puts every tracer
// back on the +1 poles; Escape ends the program.
#ifndef PROGRAMS_MAGFIELD_B_H
#define PROGRAMS_MAGFIELD_B_H

#include <cstdint>

namespace magfield_b {

constexpr int kPoles = 15;
constexpr int kTracers = 8192;
constexpr double kCaptureSquared = 256;  // within 16 pixels of a -1 pole
constexpr double kMargin = 10;           // how far outside the window a tracer may go
constexpr double kRebirthRadius = 15;
constexpr double kHalfStroke = 5;     // stroke half-length factor: 10 pixels in all
constexpr double kShadeFactor = 5;    // shade level = kShadeFactor * kHalfStroke / |B|
constexpr double kStep = 0.01 * 128;  // 1.28 pixels a frame along the field
constexpr double kFarAway = 1e32;     // start of the nearest-pole search
constexpr int kShades = 32768;        // every stroke shade level a 16-bit value can hold
constexpr uint8_t kSpace = ' ', kEscape = 27;

struct Pole {
  int32_t x, y;    // centre, pixels
  int32_t charge;  // +1 or -1
};

struct Tracer {
  double x, y;
};

struct Model {
  Pole poles[kPoles];
  int32_t positivePoles[kPoles + 1];  // indices of the +1 poles, ascending; then zeros
  int32_t positiveCount;
  Tracer tracers[kTracers];
  int16_t page;  // the page to draw into next
  uint8_t key;   // the key read this frame, 0 when none
  // The palette entry of each shade level, looked up on first use (the palette never changes
  // while the window is open); kUnknownShade until then.
  uint32_t shades[kShades];
};
extern Model model;
constexpr uint32_t kUnknownShade = 0xFFFFFFFF;

void Start();  // opens the window, seeds and places the poles; every tracer at (0, 0)
bool Frame();  // one frame; false once Escape has been read
void End();    // closes the window

// Random poles: x, y and charge of each in turn (three draws a pole); then FindPositivePoles.
void PlacePoles();
// Fills positivePoles and positiveCount from the charges.
void FindPositivePoles();
// The pole nearest to (x, y) in whole pixels; the lowest index wins a tie.
int NearestPole(int32_t x, int32_t y);
// The field at (x, y), summed over the poles in index order, into (bx, by). True when the point
// is captured: within the capture distance of a -1 pole (b is then incomplete).
bool Field(double x, double y, double& bx, double& by);
// Whether a tracer is beyond the margin around the window (a position that is not a number
// counts as outside too).
bool IsOut(const Tracer& t);
// Places a tracer next to a random +1 pole: two draws, the pole and then the angle.
void Rebirth(Tracer& t);
// The shade level of a stroke with half-length factor f (kHalfStroke / |B|): kShadeFactor * f
// rounded, held to the 16-bit range. It falls as the field grows stronger.
int16_t ShadeLevel(double f);
// The palette entry of EaselRgb(v, v, 0): yellow to grey, the green spilling into blue above
// 255.
uint32_t ShadeColour(int16_t v);
// One tracer's frame: rebirth when out or captured, otherwise its stroke and its step.
void StepTracer(int i);
// Space: every tracer onto the centre of a +1 pole, cycling through them in list order.
void GatherTracers();

}  // namespace magfield_b

#endif  // PROGRAMS_MAGFIELD_B_H
