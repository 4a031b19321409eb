// The mount's slews in axis space: how long they take, that every axis keeps
// to its limits and arrives with the others, and where the path runs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "geometry/coord.h"
#include "mount/mount.h"
#include "sky/sky.h"

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

// ---- The mount ----

// 2026-12-08 21:00:00 UTC, POSIX seconds, at Berlin.
constexpr double kEvening = 1796763600.0;
constexpr double kArcsec = 1.0 / 3600.0;

// Vega's apparent place (degrees) at time.
void vega(double time, double *ra, double *dec) {
  ASSERT_TRUE(sky_apparent_place(*sky_find_star("Vega"), sky_time_from_unix(time), ra, dec));
  *ra /= kCoordPi / 180, *dec /= kCoordPi / 180;
}

// The pointing's right ascension (degrees) and declination at m.time.
void place_of(const Mount &m, double *ra, double *dec) {
  double ha, frot, last;
  mount_pointing(m, &ha, dec, &frot);
  ASSERT_TRUE(
      sky_local_sidereal_time(sky_time_from_unix(m.time), m.longitude * kCoordPi / 180, &last));
  *ra = std::remainder(last * 180 / kCoordPi - ha, 360.0);
}

TEST(Mount, GoesToAStarOnEveryAxisAtOnceLandsWithinAnArcsecondAndTracksIt) {
  Mount m = mount_new(kMountStartPose, 52.5, 13.4, kEvening);
  m.limits = {{3, 5, 8}, {2, 4, 6}};
  double ra, dec, frot0, ha;
  mount_pointing(m, &ha, &dec, &frot0);
  vega(kEvening, &ra, &dec);
  ASSERT_TRUE(mount_slew_to_place(&m, ra, dec, kEvening));
  const double duration = m.slew.duration;
  EXPECT_GT(duration, 10);
  EXPECT_NEAR(mount_slew_left(m), duration, 1e-6);  // instants near 1.8e9 s
  // Stepped as the window does, 30 times a second: the path reaches its end
  // at the planned instant and the star's place is kept from there.
  MountEvent arrival = MountEvent::kNone;
  double arrived_at = 0;
  for (double t = kEvening; t < kEvening + duration + 60; t += 1.0 / 30) {
    const MountEvent e = mount_step(&m, t);
    if (e == MountEvent::kArrived) arrival = e, arrived_at = t;
  }
  EXPECT_EQ(arrival, MountEvent::kArrived);
  EXPECT_NEAR(arrived_at, kEvening + duration, 1.0 / 30 + 1e-6);
  EXPECT_EQ(m.activity, MountActivity::kTracking);
  double now_ra, now_dec, star_ra, star_dec;
  place_of(m, &now_ra, &now_dec);
  vega(m.time, &star_ra, &star_dec);
  // The place of the instant of the Go To, kept: Vega moves 0.01" a minute.
  EXPECT_NEAR(std::remainder(now_ra - ra, 360.0) * std::cos(dec * kCoordPi / 180), 0, kArcsec);
  EXPECT_NEAR(now_dec - dec, 0, kArcsec);
  mount_pointing(m, &ha, &dec, &now_ra);
  EXPECT_NEAR(std::remainder(now_ra - frot0, 360.0), 0, 1e-6) << "the field turned";

  // A Go To caught at the end of its path, and new limits half way along
  // another: each still lands, the field rotation held.
  double deneb_ra, deneb_dec;
  ASSERT_TRUE(sky_apparent_place(*sky_find_star("Deneb"), sky_time_from_unix(m.time), &deneb_ra,
                                 &deneb_dec));
  ASSERT_TRUE(mount_slew_to_place(&m, ra, dec + 5, m.time));
  mount_step(&m, m.slew_start + m.slew.duration);
  ASSERT_TRUE(m.making_up);
  ASSERT_TRUE(
      mount_slew_to_place(&m, deneb_ra * 180 / kCoordPi, deneb_dec * 180 / kCoordPi, m.time));
  mount_step(&m, m.time + m.slew.duration / 2);
  mount_set_limits(&m, mount_default_limits(), m.time);
  const double end = m.time + m.slew.duration + 1;
  while (m.time < end) mount_step(&m, m.time + 1.0 / 30);
  EXPECT_EQ(m.activity, MountActivity::kTracking);
  place_of(m, &now_ra, &now_dec);
  EXPECT_NEAR(now_dec, deneb_dec * 180 / kCoordPi, kArcsec);
  mount_pointing(m, &ha, &dec, &now_ra);
  EXPECT_NEAR(std::remainder(now_ra - frot0, 360.0), 0, 1e-6) << "the field turned";
}

TEST(Mount, ParksRefusesToMoveUntilUnparkedAndGuidesAtHalfTheSkysRate) {
  Mount m = mount_new({70, 10, 120}, 45, 0, kEvening);
  ASSERT_TRUE(mount_park(&m, kEvening));
  EXPECT_EQ(mount_step(&m, kEvening + 60), MountEvent::kParked);
  EXPECT_EQ(m.axes, kMountStartPose);
  EXPECT_FALSE(mount_busy(m));
  EXPECT_FALSE(mount_slew_to_place(&m, 10, 20, kEvening + 61));
  EXPECT_FALSE(mount_move(&m, kMountNorth, 1, kEvening + 61));
  EXPECT_FALSE(mount_guide(&m, kMountNorth, 1000, kEvening + 61));
  EXPECT_FALSE(mount_track(&m, 1, kEvening + 61));
  EXPECT_FALSE(mount_park(&m, kEvening + 61));
  EXPECT_FALSE(mount_sync(&m, 10, 20, kEvening + 61));
  mount_place(&m, m.axes, 30, kEvening + 61);  // a new latitude alone keeps it parked
  EXPECT_EQ(m.activity, MountActivity::kParked);
  EXPECT_EQ(m.axes, kMountStartPose);
  mount_unpark(&m, kEvening + 62);
  EXPECT_EQ(m.activity, MountActivity::kIdle);

  // One second's pulse north while tracking at the sky's rate moves the
  // declination by 7.5" and nothing else; a pulse of two directions is refused.
  ASSERT_TRUE(mount_track(&m, 1, kEvening + 62));
  double ha0, dec0, frot, ha, dec;
  mount_pointing(m, &ha0, &dec0, &frot);
  EXPECT_FALSE(mount_guide(&m, kMountNorth | kMountEast, 1000, kEvening + 62));
  ASSERT_TRUE(mount_guide(&m, kMountNorth, 1000, kEvening + 62));
  for (double t = kEvening + 62; t <= kEvening + 65; t += 0.033) mount_step(&m, t);
  mount_step(&m, kEvening + 65);
  mount_pointing(m, &ha, &dec, &frot);
  EXPECT_NEAR((dec - dec0) / kArcsec, 7.52, 0.05);
  EXPECT_NEAR((ha - ha0) / kArcsec, 3 * 15.04, 0.05);
}

TEST(Mount, TimeLapseTracksAThousandTimesFasterFallsBehindWhereAnAxisCannotAndStopsAtTheLimit) {
  // Near the pole a3 must turn fast to hold the field: with a3 at 0.01 degree
  // a second it falls behind at x1000 and says so.
  Mount m = mount_new(kMountStartPose, 45, 0, kEvening);
  ASSERT_TRUE(mount_track(&m, 1000, kEvening));
  const double ha0 = m.ha;
  mount_step(&m, kEvening + 1);
  EXPECT_NEAR(m.ha - ha0, 1000 * kMountSiderealRate, 1e-5);  // instants to 2e-7 s
  EXPECT_EQ(m.lag_axis, -1);
  // The sky it tracks has run 999 s ahead of the clock.
  EXPECT_NEAR(mount_sky_lapse(m), 999, 1e-3);  // the instants to 2e-7 s, a thousand times
  m.limits.speed[2] = 1e-5;
  for (double t = kEvening + 1; t < kEvening + 3; t += 0.033) mount_step(&m, t);
  EXPECT_EQ(m.lag_axis, 2);
  EXPECT_GT(m.lag, 1.0);
  EXPECT_LE(std::fabs(m.rates[2]), 1e-5 * 1000 * (1 + 1e-12));
  // With its limits back it catches up and, as the star sets, ends tracking
  // at the limit.
  m.limits = mount_default_limits();
  MountEvent last = MountEvent::kNone;
  for (double t = kEvening + 3; t < kEvening + 60 && last != MountEvent::kSet; t += 0.033) {
    last = mount_step(&m, t);
  }
  EXPECT_EQ(last, MountEvent::kSet);
  EXPECT_EQ(m.activity, MountActivity::kIdle);
  // Not tracking, it points into the clock's sky; tracking again starts afresh.
  EXPECT_EQ(mount_sky_lapse(m), 0);
  ASSERT_TRUE(mount_track(&m, 10, kEvening + 60));
  mount_step(&m, kEvening + 61);
  EXPECT_NEAR(mount_sky_lapse(m), 9, 1e-3);
  EXPECT_NEAR(mount_altitude(m.axes), 1.0, 0.2);
  EXPECT_GE(mount_altitude(m.axes), 1.0 - 1e-9);
}
