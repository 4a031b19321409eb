// The mount's slews in axis space: how long they take, that every axis keeps
// to its limits and arrives with the others, and where the path runs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "geometry/coord.h"
#include "mount/mount.h"

namespace {

TEST(MountSlew, TakesTheClosedFormTimeOfItsSlowestAxis) {
  // Top speed 5, acceleration 2.5: speed^2 / acceleration is 10 degrees.
  // clang-format off
  const struct { const char *name; int axis; double distance, seconds; } cases[] = {
      {"a1, triangle", 0, 4, 2 * std::sqrt(4 / 2.5)},
      {"a2, trapezoid", 1, -90, 90 / 5.0 + 5 / 2.5},
      {"a3, speed just reached", 2, 10, 4},
      {"a3 the short way round", 2, 350, 2 * std::sqrt(10 / 2.5)},
  };
  // clang-format on
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    MountAxes from = {45, 0, 5}, to = from;
    to[c.axis] += c.distance;
    EXPECT_NEAR(mount_plan_slew(from, to, mount_default_limits()).duration, c.seconds, 1e-12);
  }
  const MountSlew still = mount_plan_slew({45, 0, 180}, {45, 0, 540}, mount_default_limits());
  EXPECT_EQ(still.duration, 0);
  EXPECT_TRUE(mount_limits_valid(mount_default_limits()));
  for (double bad : {0.0, -1.0, 90.5, double(NAN), double(INFINITY)}) {
    MountLimits limits = mount_default_limits();
    limits.acceleration[2] = bad;
    EXPECT_FALSE(mount_limits_valid(limits)) << bad;
  }
}

// Altitude is asin(sin a1 cos a2), and log(sin a1) + log(cos a2) is concave:
// along a straight line in axis space it is lowest at an end, so a slew
// between two poses above the limit never dips below it.
double sin_altitude(const MountAxes &a) {
  double az, alt;
  coord_a3_to_altaz(&az, &alt, a[0] * kCoordPi / 180, a[1] * kCoordPi / 180, a[2] * kCoordPi / 180,
                    0);
  return std::sin(alt);
}

TEST(MountSlew, KeepsEveryAxisWithinItsLimitsAboveTheLowerEndAndEndsAllTogetherOnTheTarget) {
  std::mt19937 random(20261209);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int n = 0; n < 2000; n++) {
    MountLimits limits;
    for (int i = 0; i < 3; i++) {
      limits.speed[i] = 0.5 + 10 * unit(random), limits.acceleration[i] = 0.2 + 10 * unit(random);
    }
    const MountAxes from = {180 * unit(random), 180 * unit(random) - 90, 360 * unit(random)};
    const MountAxes to = {180 * unit(random), 180 * unit(random) - 90, 360 * unit(random)};
    const MountSlew slew = mount_plan_slew(from, to, limits);
    // The axis that needs longest alone sets the time, or up to half as much
    // again where one axis's speed and another's acceleration bind the path.
    double longest = 0;
    for (int i = 0; i < 3; i++) {
      longest = std::max(longest,
                         mount_move_time(slew.delta[i], limits.speed[i], limits.acceleration[i]));
    }
    ASSERT_GE(slew.duration, longest - 1e-9) << n;
    ASSERT_LE(slew.duration, longest * 1.5 + 1e-9) << n;
    MountAxes angles, rates, before_rates;
    mount_slew_at(slew, 0, &angles, &before_rates);
    const double lowest = std::min(sin_altitude(from), sin_altitude(to));
    const double step = slew.duration / 400;
    for (int k = 1; k <= 401; k++) {
      mount_slew_at(slew, k * step, &angles, &rates);
      for (int i = 0; i < 3; i++) {
        ASSERT_LE(std::fabs(rates[i]), limits.speed[i] * (1 + 1e-12)) << n << " axis " << i;
        ASSERT_LE(std::fabs(rates[i] - before_rates[i]), limits.acceleration[i] * step * (1 + 1e-9))
            << n << " axis " << i << " at " << k;
      }
      ASSERT_GE(sin_altitude(angles), lowest - 1e-12) << n << " at " << k;
      before_rates = rates;
    }
    for (int i = 0; i < 3; i++) {
      EXPECT_NEAR(std::remainder(angles[i] - to[i], 360.0), 0, 1e-9) << n;
      EXPECT_EQ(rates[i], 0) << n;
    }
  }
}

}  // namespace
