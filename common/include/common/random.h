// The programs' random numbers: one MT19937 generator per process.
//
// A program that never calls RandomSeed starts from the generator's fixed default state
// (seed 5489), so it draws the same sequence on every run.
#ifndef COMMON_RANDOM_H
#define COMMON_RANDOM_H

#include <cstdint>

// Seeds the generator from the millisecond tick count.
void RandomSeed();
// Seeds the generator with a given value (tests and replays).
void RandomSeedWith(uint32_t seed);
// A uniform integer in 0..n-1; 0 when n is 0 or negative. One draw.
int32_t RandomInt(int32_t n);
// A uniform real in [0, 1). One draw.
double RandomReal();

#endif  // COMMON_RANDOM_H
