#include <gtest/gtest.h>

#include <cmath>

#include "genom/genom.h"

namespace {

TEST(NormalizeTest, ScalesToUnitLength) {
  TVector v{3, 0, -4};
  Normalize(v);
  EXPECT_FLOAT_EQ(v.X, 0.6f);
  EXPECT_EQ(v.Y, 0.0f);
  EXPECT_FLOAT_EQ(v.Z, -0.8f);

  TVector tiny{1e-20f, 1e-20f, 0};
  Normalize(tiny);
  EXPECT_NEAR(tiny.X, std::sqrt(0.5f), 1e-6f);

  TVector huge{3e30f, 4e30f, 0};
  Normalize(huge);
  EXPECT_FLOAT_EQ(huge.X, 0.6f);
  EXPECT_FLOAT_EQ(huge.Y, 0.8f);
}

TEST(NormalizeTest, ZeroVectorBecomesNaNs) {
  TVector zero{0, 0, 0};
  Normalize(zero);
  EXPECT_TRUE(std::isnan(zero.X));
  EXPECT_TRUE(std::isnan(zero.Y));
  EXPECT_TRUE(std::isnan(zero.Z));
}

}  // namespace
