// How magnets work: the field of a bar magnet as a flow. 1001 particles drift along the field
// lines from the north pole to the south pole, each drawn as a short coloured stroke along the
// field; a particle that reaches the south pole starts again beside the north pole. The field
// is that of a point source (north) and a point sink (south) in the plane, each falling off as
// 1/distance. The very first frame instead draws a pattern of field strokes on circles around
// the magnet. The left button moves the north pole, the right button the south pole. Only
// Escape ends the program; the close box does not.
#ifndef PROGRAMS_MAGNETS_H
#define PROGRAMS_MAGNETS_H

#include <cstdint>

namespace magnets {

constexpr int kParticles = 1001;
constexpr double kNorthX = 0.75, kNorthY = 0.499;  // default poles, as fractions of the
constexpr double kSouthX = 0.75, kSouthY = 0.501;  // largest coordinates
constexpr double kCaptureSquared = 256;            // within 16 pixels of the south pole
constexpr double kRestartRadius = 16;              // around the north pole
constexpr double kHalfStroke = 8;
constexpr double kStep = 0.01 * 128;  // 1.28 pixels a frame along the field
constexpr int32_t kTurn = 900;        // random fractions RandomInt(kTurn) / 1000: under 0.9
constexpr int kPatternFirstRadius = 32, kPatternLastRadius = 512, kPatternRadiusStep = 16;
constexpr int kPatternDivisions = 24;  // angle steps of pi / 24 around each circle
constexpr double kPatternStroke = 6;   // broadside; twice that along the axis
constexpr int kLabelDx = -3, kLabelDy = -5;
constexpr uint16_t kPauseMs = 4;
constexpr uint8_t kEscape = 27;

struct Particle {
  double x, y;
};

struct Model {
  double northX, northY;  // pole positions, pixels; northX 0 means "put them at the defaults"
  double southX, southY;
  Particle particles[kParticles];
  int16_t page;                     // the page handed over at the end of a frame
  int32_t started;                  // 0 until the end of the first frame
  int32_t mouseX, mouseY, buttons;  // this frame's mouse state
  double axisX, axisY;              // unit vector from the south pole toward the north pole
  double centreX, centreY;          // midpoint of the poles
  double scale;  // the current stroke or step factor; kept where the field vanishes
};
extern Model model;

void Start();  // opens the window and seeds; poles and particles unset
bool Frame();  // one frame; false once Escape has been read
void End();    // closes the window

// The field at (px, py): away from the north pole and toward the south pole, each falling off
// as 1/distance. A pole exactly at the point adds nothing (it has no direction there).
void Field(double px, double py, double& bx, double& by);
// Defaults when northX is 0; the left button alone moves the north pole, any state from 2 up
// (right or middle button, or a button with Shift or Ctrl) the south pole.
void PlacePoles(int32_t buttons, double mouseX, double mouseY);
// The unit axis from south to north, and the centre of the magnet.
void ComputeAxis();
// The first frame's strokes on circles around the magnet.
void DrawPattern();
// Scatters all particles over the window (x before y) while particle 0 still sits at x = 0.
void ScatterParticles();
// The point at distance t along the border: the top edge, the bottom edge, the left edge and
// the right edge in turn, each from its top or left end.
void BorderPoint(double t, double& x, double& y);
// Whether a point is on or beyond the window's edges in both coordinates at once.
bool BeyondCorner(double x, double y);
// One particle's frame: restarts, stroke and step.
void MoveParticle(int i);

}  // namespace magnets

#endif  // PROGRAMS_MAGNETS_H
