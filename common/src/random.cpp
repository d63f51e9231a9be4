#include "common/random.h"

#include <random>

#include "easel/easel.h"

namespace {
std::mt19937& Generator() {
  static std::mt19937 generator;  // default seed 5489
  return generator;
}
}  // namespace

void RandomSeed() {
  Generator().seed(EaselTickCount());
}

void RandomSeedWith(uint32_t seed) {
  Generator().seed(seed);
}

int32_t RandomInt(int32_t n) {
  const uint64_t draw = Generator()();
  if (n <= 0) return 0;
  // Scales one 32-bit draw to 0..n-1 (the bias is below n / 2^32).
  return static_cast<int32_t>((draw * static_cast<uint64_t>(n)) >> 32);
}

double RandomReal() {
  return static_cast<double>(Generator()()) * (1.0 / 4294967296.0);
}
