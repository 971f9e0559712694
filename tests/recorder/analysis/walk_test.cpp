// The walk count against its twin that steps a float position one by one, as the walk does.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "recorder/analysis/walk.h"

namespace zetra::analysis {
namespace {

int64_t stepped_visits(float from, float to) {
  const float step = from < to ? 1.0f : -1.0f;
  int64_t visits = 0;
  for (float p = from; from < to ? p < to : p > to; ++visits) {
    const float next = p + step;
    if (next == p) break;
    p = next;
  }
  return visits;
}

TEST(WalkVisits, CountsAsASteppedFloatPosition) {
  EXPECT_EQ(walk_visits(10, 15), 5);
  EXPECT_EQ(walk_visits(10, 15.3f), 6);
  EXPECT_EQ(walk_visits(15.3f, 10), 6);
  EXPECT_EQ(walk_visits(7.5f, 7.5f), 0);
  EXPECT_EQ(walk_visits(0, 5000000), 5000000);
  EXPECT_EQ(walk_visits(std::numeric_limits<float>::quiet_NaN(), 4), 0);
  std::mt19937 random(17);
  std::uniform_real_distribution<float> near(-3000, 3000);
  std::uniform_int_distribution<int> whole(-5000000, 5000000);
  std::uniform_int_distribution<int> eighths(0, 7);
  std::uniform_int_distribution<int> width(-20000, 20000);
  for (int i = 0; i < 2000; ++i) {
    // Fractions of every kind, halves and eighths that stay exact, and whole positions; starts
    // anywhere in a store, widths of up to 20,000 samples either way.
    const float starts[] = {near(random), whole(random) / 1000.0f,
                            whole(random) + eighths(random) / 8.0f,
                            static_cast<float>(whole(random))};
    const float ends[] = {near(random), starts[1] + width(random) / 7.0f,
                          starts[2] + width(random) + 0.5f, starts[3] + width(random)};
    for (size_t k = 0; k < std::size(starts); ++k) {
      ASSERT_EQ(walk_visits(starts[k], ends[k]), stepped_visits(starts[k], ends[k]))
          << starts[k] << " -> " << ends[k];
    }
  }
}

// Positions where the float steps round (a fine fraction on a large position): the count still
// follows the stepped position, not the distance.
TEST(WalkVisits, FollowsRoundedSteps) {
  for (float from : {16000000.5f, 8388607.5f, 1048576.1f, 0.1f, 4194303.75f}) {
    for (float width : {1.0f, 3.3f, 700.0f, 9000.0f}) {
      const float to = from + width;
      EXPECT_EQ(walk_visits(from, to), stepped_visits(from, to)) << from << " + " << width;
      EXPECT_EQ(walk_visits(to, from), stepped_visits(to, from)) << from << " + " << width;
    }
  }
}

}  // namespace
}  // namespace zetra::analysis
