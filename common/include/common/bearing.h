// The angle of a vector, in radians.
#ifndef COMMON_BEARING_H
#define COMMON_BEARING_H

// pi/2 when dx = 0 and dy > 0; 3pi/2 when dx = 0 otherwise; atan(dy/dx) when dx > 0;
// pi + atan(dy/dx) when dx < 0. A NaN component gives 0.
double BearingOf(double dx, double dy);

#endif  // COMMON_BEARING_H
