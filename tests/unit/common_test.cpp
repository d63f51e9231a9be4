// The shared helpers: the random generator and BearingOf.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "common/bearing.h"
#include "common/random.h"

namespace {

TEST(Bearing, EachBranch) {
  constexpr double pi = std::numbers::pi;
  const struct {
    double dx, dy, expected;
  } cases[] = {
      {0, 1, pi / 2},   {0, -1, 3 * pi / 2},  {0, 0, 3 * pi / 2},    {1, 1, pi / 4},
      {1, -1, -pi / 4}, {-1, 1, pi - pi / 4}, {-1, -1, pi + pi / 4}, {-1, 0, pi},
      {1, 0, 0},        {NAN, 1, 0},          {1, NAN, NAN},
  };
  for (const auto& c : cases) {
    const double got = BearingOf(c.dx, c.dy);
    if (std::isnan(c.expected)) {
      EXPECT_TRUE(std::isnan(got));
    } else {
      EXPECT_NEAR(got, c.expected, 1e-12) << c.dx << "," << c.dy;
    }
  }
  // Just below the positive y axis the bearing jumps from near -pi/2 past to 3pi/2.
  EXPECT_NEAR(BearingOf(1e-9, -1), -pi / 2, 1e-6);
  EXPECT_NEAR(BearingOf(0, -1), 3 * pi / 2, 1e-12);
}

TEST(Random, UnseededStartsFromTheFixedDefaultState) {
  // Nothing else in this test binary seeds first, so this is the default state.
  std::mt19937 reference;
  const uint32_t first = reference();
  EXPECT_EQ(RandomInt(1 << 30), static_cast<int32_t>((uint64_t{first} << 30) >> 32));
  RandomSeedWith(5489);
  std::mt19937 again;
  EXPECT_DOUBLE_EQ(RandomReal(), again() / 4294967296.0);
}

TEST(Random, RangesAndDegenerateArguments) {
  RandomSeedWith(1);
  int seenMax = 0, seenMin = 1000;
  for (int i = 0; i < 20000; ++i) {
    const int v = RandomInt(799);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 799);
    seenMax = std::max(seenMax, v);
    seenMin = std::min(seenMin, v);
    const double r = RandomReal();
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
  }
  EXPECT_EQ(seenMin, 0);
  EXPECT_EQ(seenMax, 798);
  EXPECT_EQ(RandomInt(0), 0);
  EXPECT_EQ(RandomInt(-5), 0);
  EXPECT_EQ(RandomInt(1), 0);
}

}  // namespace
