// blackhole: the fall toward the centre, swallowing, drawing and ending.
#include "blackhole.h"

#include <gtest/gtest.h>

#include <cmath>

#include "backend/headless/headless.h"
#include "common/random.h"
#include "easel/easel.h"

namespace {

using blackhole::model;
using blackhole::MoveParticle;
using blackhole::Particle;

class Blackhole : public ::testing::Test {
 protected:
  void SetUp() override {
    easel::headless::SetDesktop(1280, 1024, 24);
    blackhole::Start();
    ASSERT_EQ(EaselResult(), 0);
  }
  void TearDown() override { blackhole::End(); }
};

TEST_F(Blackhole, StartsWithWholePixelPositionsInsideTheWindow) {
  for (const Particle& p : model.particles) {
    EXPECT_EQ(p.x, std::floor(p.x));
    EXPECT_GE(p.x, 0);
    EXPECT_LE(p.x, 798);
    EXPECT_GE(p.y, 0);
    EXPECT_LE(p.y, 598);
  }
  EXPECT_EQ(easel::headless::Window().title, "GAURA NEAGRA");
}

TEST_F(Blackhole, ParticlesStepOnePixelTowardTheCentre) {
  Particle p{0, 299.5};
  MoveParticle(p, 399.5, 299.5);
  EXPECT_DOUBLE_EQ(p.x, 1);
  EXPECT_DOUBLE_EQ(p.y, 299.5);
  Particle q{399.5 + 30, 299.5 + 40};
  MoveParticle(q, 399.5, 299.5);
  EXPECT_DOUBLE_EQ(q.x, 399.5 + 30 - 0.6);
  EXPECT_DOUBLE_EQ(q.y, 299.5 + 40 - 0.8);
}

TEST_F(Blackhole, ASwallowedParticleRestartsWithItsOldHeading) {
  // Exactly at the centre: placed again, no step (no direction to step in).
  RandomSeedWith(7);
  Particle p{399.5, 299.5};
  MoveParticle(p, 399.5, 299.5);
  RandomSeedWith(7);
  const double x = RandomInt(799), y = RandomInt(599);
  EXPECT_DOUBLE_EQ(p.x, x);
  EXPECT_DOUBLE_EQ(p.y, y);

  // At distance 0.5, heading left: placed again and shifted one pixel left.
  RandomSeedWith(7);
  Particle q{400.0, 299.5};
  MoveParticle(q, 399.5, 299.5);
  EXPECT_DOUBLE_EQ(q.x, x - 1);
  EXPECT_DOUBLE_EQ(q.y, y);
}

TEST_F(Blackhole, FramesShowWhiteRingsOneFrameLateAndAKeyEnds) {
  EXPECT_TRUE(blackhole::Frame());
  easel::headless::Sync();
  // The first frame shows a blank page.
  for (int x = 0; x < 800; x += 7) ASSERT_EQ(easel::headless::ScreenPixel(x, 300), 0u);
  for (Particle& p : model.particles) p = Particle{100, 100};
  EXPECT_TRUE(blackhole::Frame());  // draws all particles one step from (100, 100)
  EXPECT_TRUE(blackhole::Frame());  // shows them
  easel::headless::Sync();
  int white = 0;
  for (int y = 80; y < 125; ++y)
    for (int x = 80; x < 125; ++x) white += easel::headless::ScreenPixel(x, y) == 0xFCFCFC;
  EXPECT_GT(white, 40);
  EXPECT_EQ(easel::headless::ScreenPixel(101, 101), 0u);  // rings, not discs

  easel::Message close;
  close.kind = easel::MsgKind::kCloseRequest;
  easel::headless::Inject(close);
  easel::headless::Sync();
  EXPECT_FALSE(blackhole::Frame());
}

}  // namespace
