// Pointing geometry: helpers, known positions of the mount, the singular
// points, and round trips over dense grids.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "coord_test_util.h"
#include "geometry/coord.h"

namespace {

TEST(CoordVector, CrossProductFollowsTheRightHandRule) {
  struct Case {
    const char *name;
    double a[3], b[3], want[3];
  };
  const Case cases[] = {{"x cross y", {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                        {"y cross x", {0, 1, 0}, {1, 0, 0}, {0, 0, -1}},
                        {"general", {1, 2, 3}, {4, 5, 6}, {-3, 6, -3}}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    double out[3];
    coord_vector_cross_product(out, c.a, c.b);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(out[i], c.want[i]) << "component " << i;  // exact
  }
}

TEST(CoordVector, DotProductSumsInTheOrderXYZ) {
  // Summed x, y, z: (1e16 + 1) rounds back to 1e16 and the -1e16 cancels it;
  // any other order gives 1.
  const double a[3] = {1e16, 1, -1e16}, ones[3] = {1, 1, 1};
  EXPECT_EQ(coord_vector_dot_product(a, ones), 0.0);
}

TEST(CoordVector, NormalizeScalesToUnitLengthAndKeepsZero) {
  struct Case {
    const char *name;
    double v[3], want[3];
  };
  const Case cases[] = {{"zero", {0, 0, 0}, {0, 0, 0}},
                        {"3-0-4", {3, 0, 4}, {0.6, 0, 0.8}},
                        {"negative", {0, -2, 0}, {0, -1, 0}},
                        {"squared length underflows to zero", {1e-200, 0, 0}, {0, 0, 0}}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    double out[3] = {c.v[0], c.v[1], c.v[2]};
    coord_vector_normalize(out, out);  // in place: the output may alias the input
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(out[i], c.want[i], 1e-15) << "component " << i;
  }
}

TEST(CoordVector, ComponentwiseOperationsMayWorkInPlace) {
  double v[3] = {1, -2, 3};
  const double w[3] = {0.5, 0.25, -4};
  coord_vector_add(v, v, w);
  coord_vector_subtract(v, w, v);  // w - (v + w) = -v
  coord_vector_scale(v, v, -2.0);
  EXPECT_EQ(v[0], 2.0);  // exact: small binary fractions throughout
  EXPECT_EQ(v[1], -4.0);
  EXPECT_EQ(v[2], 6.0);
}

// The two loops as written, the reference for angles within a few turns.
double wrap_by_loops(double a) {
  while (a >= kCoordTwoPi) a -= kCoordTwoPi;
  while (a < 0) a += kCoordTwoPi;
  return a;
}

TEST(CoordWrap, BringsAnglesIntoOneTurn) {
  struct Case {
    const char *name;
    double in, want;
  };
  const Case cases[] = {
      {"zero", 0, 0},
      {"full turn", kCoordTwoPi, 0},
      {"minus quarter", -kCoordPi / 2, 1.5 * kCoordPi},
      {"five half turns", 5 * kCoordPi, kCoordPi},
      {"just below a turn stays", std::nextafter(kCoordTwoPi, 0), std::nextafter(kCoordTwoPi, 0)},
      {"tiny negative rounds up to 2 pi", -1e-17, kCoordTwoPi},
      {"minus two turns", -2 * kCoordTwoPi, 0}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(coord_wrap(c.in), c.want, 1e-15);
  }
  EXPECT_EQ(coord_wrap(-1e-17), kCoordTwoPi);  // bit-exact, not merely close
}

TEST(CoordWrap, MatchesTheTwoLoopsBitForBitWithinSixtyFourTurns) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> turns(-64.0, 64.0);
  for (int i = 0; i < 20000; ++i) {
    const double a = turns(rng) * kCoordTwoPi;
    ASSERT_EQ(coord_wrap(a), wrap_by_loops(a)) << "angle " << a;
  }
}

TEST(CoordWrap, ReturnsPromptlyOnNonFiniteAndHugeAngles) {
  // A loop that never ends shows up as the test's timeout.
  EXPECT_TRUE(std::isnan(coord_wrap(INFINITY)));
  EXPECT_TRUE(std::isnan(coord_wrap(-INFINITY)));
  EXPECT_TRUE(std::isnan(coord_wrap(NAN)));
  for (const double a : {1e300, -1e300, 1e17, -1e17, 65 * kCoordTwoPi + 1, -70 * kCoordTwoPi}) {
    SCOPED_TRACE(a);
    const double w = coord_wrap(a);
    EXPECT_GE(w, 0.0);
    EXPECT_LE(w, kCoordTwoPi);
    // Just past the step limit the loops still end; one-step reduction may
    // differ from them only by their accumulated rounding.
    if (std::fabs(a) < 1e3) {
      EXPECT_LT(turn_diff(w, wrap_by_loops(a)), 1e-12);
    }
  }
}

TEST(CoordCamera, SitsOnTheSphereAtTheCompassPointsAndOverhead) {
  struct Case {
    const char *name;
    double az, alt, want[3];
  };
  const Case cases[] = {{"north", 0, 0, {0, 0, -23}},
                        {"east", 90, 0, {23, 0, 0}},
                        {"south", 180, 0, {0, 0, 23}},
                        {"west", 270, 0, {-23, 0, 0}},
                        {"overhead", 0, 90, {0, 23, 0}},
                        {"below", 0, -90, {0, -23, 0}},
                        {"north-east up", 45, 30, {14.0846, 11.5, -14.0846}}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    double p[3];
    coord_camera_altaz_to_xyz(&p[0], &p[1], &p[2], deg(c.az), deg(c.alt));
    // Off-axis components are rounding residues of 23 * 1e-16; the last row
    // is given to four decimals.
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(p[i], c.want[i], c.want[i] == 0 ? 1e-14 : 1e-4) << "component " << i;
    }
    EXPECT_NEAR(std::sqrt(coord_vector_dot_product(p, p)), 23.0, 1e-13);
  }
}

TEST(CoordConversions, StartUpPositionPointsSouthAtTheEquator) {
  const double a1 = deg(45), a2 = 0, a3 = deg(180), lat = deg(45);
  double az, alt, ha, dec, frot, b1, b2, b3;
  coord_a3_to_altaz(&az, &alt, a1, a2, a3, lat);
  coord_a3_to_eq(&ha, &dec, a1, a2, a3, lat);
  coord_a3_to_frot(&frot, a1, a2, a3, lat);
  coord_eq_to_a3(&b1, &b2, &b3, 0, 0, lat, 0);
  EXPECT_NEAR(az, kCoordPi, 1e-13);
  EXPECT_NEAR(alt, deg(45), 1e-13);
  EXPECT_NEAR(ha, 0, 1e-13);
  EXPECT_NEAR(dec, 0, 1e-13);
  EXPECT_NEAR(turn_diff(frot, 0), 0, 1e-7);  // acos near 1 keeps half the digits
  EXPECT_NEAR(b1, a1, 1e-13);
  EXPECT_NEAR(b2, a2, 1e-13);
  EXPECT_NEAR(b3, a3, 1e-13);
}

TEST(CoordConversions, LevelTubePointsAtTheAzimuthOfA3) {
  for (const double a3 : {0.0, 30.0, 180.0, 359.0, -90.0, 400.0}) {
    SCOPED_TRACE(a3);
    double az, alt;
    coord_a3_to_altaz(&az, &alt, 0, 0, deg(a3), deg(45));
    EXPECT_NEAR(turn_diff(az, deg(a3)), 0, 1e-13);
    EXPECT_GE(az, 0.0);
    EXPECT_LT(az, kCoordTwoPi);
    EXPECT_EQ(alt, 0.0);  // exact: sin 0 is 0
  }
}

TEST(CoordConversions, ZenithAndPolesStayFiniteWhereRoundingPassesOne) {
  // At whole-degree latitudes, as the scales give them, the sine of the zenith
  // or pole is 1 in exact arithmetic and rounds to one side or the other of it
  // (at -12 and -8 degrees, for instance, past it). 3e-8: asin turns the two
  // units of rounding below 1 (2.2e-16) into 2.1e-8.
  for (int lat = -90; lat <= 90; ++lat) {
    SCOPED_TRACE(testing::Message() << "latitude " << lat);
    const double l = deg(lat), up = kCoordPi / 2;
    double az, alt, ha, dec, frot, a1, a2, a3;
    coord_eq_to_altaz(&az, &alt, 0, l, l);  // the zenith
    EXPECT_NEAR(alt, up, 3e-8);
    EXPECT_TRUE(std::isfinite(az));
    coord_altaz_to_eq(&ha, &dec, lat >= 0 ? 0 : kCoordPi, std::fabs(l), l);  // the visible pole
    EXPECT_NEAR(std::fabs(dec), up, 3e-8);
    EXPECT_TRUE(std::isfinite(ha));
    coord_a3_to_eq(&ha, &dec, std::fabs(l), 0, lat >= 0 ? 0 : kCoordPi, l);  // tube on that pole
    EXPECT_NEAR(std::fabs(dec), up, 3e-8);
    EXPECT_TRUE(std::isfinite(ha));
    // On the meridian with a2 = 0 the field rotation is 0 or pi; 1e-7 for acos near +-1.
    coord_a3_to_frot(&frot, deg(8), 0, 0, l);
    EXPECT_NEAR(std::fabs(std::sin(frot)), 0, 1e-7) << "frot " << frot;
    coord_eq_to_a3(&a1, &a2, &a3, 0, deg(lat - 90), l, 0);  // lowest point of the meridian
    EXPECT_TRUE(std::isfinite(a1) && std::isfinite(a2) && std::isfinite(a3));
  }
  for (const double a3 : {0.0, 77.0, 180.0, 300.0}) {
    SCOPED_TRACE(a3);
    double az, alt;
    coord_a3_to_altaz(&az, &alt, deg(90), 0, deg(a3), deg(20));
    EXPECT_NEAR(alt, kCoordPi / 2, 1e-15);  // sin(pi/2) rounds to exactly 1
    EXPECT_TRUE(std::isfinite(az));
  }
  // The pole seen from latitude 45 at any hour angle: altitude 45, azimuth
  // north, either a rounding residue above 0 or exactly 2 pi.
  for (const double ha : {-180.0, -90.0, -1.0, 0.0, 1.0, 90.0, 179.0}) {
    SCOPED_TRACE(ha);
    double az, alt;
    coord_eq_to_altaz(&az, &alt, deg(ha), kCoordPi / 2, deg(45));
    EXPECT_NEAR(alt, deg(45), 1e-15);
    EXPECT_TRUE(az < 1e-15 || az == kCoordTwoPi) << "azimuth " << az;
  }
}

TEST(CoordFrot, TiltingTheHorseshoeTurnsTheField) {
  struct Case {
    const char *name;
    double a2, want;
  };
  const Case cases[] = {{"a2 +10", 10, 352.95}, {"a2 -10", -10, 7.05}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    double frot;
    coord_a3_to_frot(&frot, deg(45), deg(c.a2), deg(180), deg(45));
    EXPECT_NEAR(frot * 180 / kCoordPi, c.want, 0.005);  // the wants are rounded to 0.01 degree
  }
}

TEST(CoordFrot, AtTheZenithIsHalfATurnMinusA3AtEveryLatitude) {
  for (const double lat : {-89.0, -45.0, 0.0, 30.0, 45.0, 89.0}) {
    for (const double a3 : {0.0, 57.0, 123.0, 180.0, 300.0}) {
      SCOPED_TRACE(testing::Message() << "lat " << lat << " a3 " << a3);
      double frot;
      coord_a3_to_frot(&frot, deg(90), 0, deg(a3), deg(lat));
      EXPECT_GE(frot, 0.0);
      EXPECT_LE(frot, kCoordTwoPi);
      // 1e-6 degree: acos at +-1 is where the field rotation is 0 or 180.
      EXPECT_NEAR(turn_diff(frot, deg(180 - a3)), 0, deg(1e-6));
    }
  }
}

// Unit pointing vector (north, east, up) of an azimuth and altitude.
void altaz_vector(double v[3], double az, double alt) {
  v[0] = std::cos(alt) * std::cos(az);
  v[1] = std::cos(alt) * std::sin(az);
  v[2] = std::sin(alt);
}

// Gap between two pointings given by azimuth and altitude: the chord between
// their unit vectors, which is the angle in radians for small gaps.
double pointing_gap(double az1, double alt1, double az2, double alt2) {
  double u[3], v[3], d[3];
  altaz_vector(u, az1, alt1);
  altaz_vector(v, az2, alt2);
  coord_vector_subtract(d, u, v);
  return std::sqrt(coord_vector_dot_product(d, d));
}

TEST(CoordEqToA3, VerticalA1AxisKeepsThePointingAndFieldWithTubeAtTheTop) {
  // Axes with |a2| at or near 90 degrees go to sky coordinates and back; a1
  // and a3 are not separately determined there, so what must survive is the
  // pointing and the field rotation. Below cos a2 = 1e-8 the answer is the
  // documented one, a1 = 90 degrees.
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  Worst point, field, axes;
  for (const double off : {0.0, 1e-12, 1e-9, 2e-8, 1e-7, 1e-5, 1e-3, 9e-3}) {
    for (const double sign : {1.0, -1.0}) {
      for (int i = 0; i < 200; ++i) {
        const double a1 = kCoordPi * (0.05 + 0.9 * u01(rng)), a3 = kCoordTwoPi * u01(rng);
        const double a2 = sign * (kCoordPi / 2 - off), lat = kCoordPi * (u01(rng) - 0.5);
        double ha, dec, frot, b1, b2, b3, az, alt, baz, balt, bfrot;
        coord_a3_to_eq(&ha, &dec, a1, a2, a3, lat);
        coord_a3_to_frot(&frot, a1, a2, a3, lat);
        coord_eq_to_a3(&b1, &b2, &b3, ha, dec, lat, frot);
        ASSERT_TRUE(std::isfinite(b1) && std::isfinite(b2) && std::isfinite(b3))
            << "a1 " << a1 << " a2 " << a2 << " a3 " << a3 << " lat " << lat;
        if (std::cos(b2) < 1e-8) {
          EXPECT_EQ(b1, kCoordPi / 2);
        }
        coord_a3_to_altaz(&az, &alt, a1, a2, a3, lat);
        coord_a3_to_altaz(&baz, &balt, b1, b2, b3, lat);
        coord_a3_to_frot(&bfrot, b1, b2, b3, lat);
        const char *fmt = "a1 %.17g a2 %.17g a3 %.17g lat %.17g";
        worst_take(&point, pointing_gap(az, alt, baz, balt), fmt, a1, a2, a3, lat);
        worst_take(&field, turn_diff(frot, bfrot), fmt, a1, a2, a3, lat);
        // Where cos a2 >= 1e-7 the axes themselves are determined, but input
        // rounding e moves a1 and a3 by e / cos a2; so compare them scaled by
        // cos a2, and only where the field rotation (an acos) is well known.
        if (off >= 1e-7 && std::fabs(std::sin(frot)) > 0.1) {
          const double err = std::fmax(std::fabs(b1 - a1), turn_diff(b3, a3));
          worst_take(&axes, std::fmax(err, std::fabs(b2 - a2)) * off, fmt, a1, a2, a3, lat);
        }
      }
    }
  }
  // The vertical-axis answer is off by at most cos a2 < 1e-8; the rest is
  // rounding, enlarged where the field rotation sits near 0 or pi.
  expect_worst_within(point, 2e-8, "max_pointing_gap");
  expect_worst_within(field, 2e-8, "max_frot_dev");
  expect_worst_within(axes, 1e-14, "max_axes_dev_times_cos_a2");
}

TEST(CoordConversions, NoNaNAnywhereOnTheSingularPoints) {
  // Every combination of angles that sit on or next to a singular point:
  // zenith, horizon, poles, a2 = +-90, field rotation 0 and 180, a1 = 0 and
  // 180, plus values a rounding step away and a few far outside the ranges.
  const double h = kCoordPi / 2, tiny = 1e-300;
  const double v[] = {0,        tiny,      -tiny,       h,       -h,       std::nextafter(h, 0),
                      kCoordPi, -kCoordPi, kCoordTwoPi, deg(45), -deg(45), deg(1),
                      1e6,      -1e-9};
  for (const double p : v)
    for (const double q : v)
      for (const double r : v)
        for (const double s : v) {
          double o[16];
          coord_a3_to_altaz(&o[0], &o[1], p, q, r, s);
          coord_a3_to_eq(&o[2], &o[3], p, q, r, s);
          coord_a3_to_frot(&o[4], p, q, r, s);
          coord_eq_to_altaz(&o[5], &o[6], p, q, r);
          coord_altaz_to_eq(&o[7], &o[8], p, q, r);
          coord_eq_to_a3(&o[9], &o[10], &o[11], p, q, r, s);
          coord_altaz_to_a3(&o[12], &o[13], &o[14], p, q, r, s);
          o[15] = coord_wrap(p);
          for (int i = 0; i < 16; ++i) {
            ASSERT_TRUE(std::isfinite(o[i]))
                << "output " << i << " for " << p << ", " << q << ", " << r << ", " << s;
          }
        }
}

// A grid over latitude (every 4.5 degrees, poles included) crossed with
// pseudo-random points from a fixed seed: dense, yet it does not land on the
// measure-zero sets (exact zenith, exact pole, field rotation exactly 0) where
// asin and acos keep only half their digits; those have their own tests.
template <typename Body>
void over_latitudes(unsigned seed, int per_latitude, Body body) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  for (int k = -20; k <= 20; ++k) {
    for (int i = 0; i < per_latitude; ++i) body(deg(4.5 * k), u01(rng), u01(rng), u01(rng));
  }
}

TEST(CoordRoundTrip, HorizontalToEquatorialAndBack) {
  Worst w_az, w_alt;
  int n = 0;
  over_latitudes(11, 250, [&](double lat, double x, double y, double) {
    const double az = kCoordTwoPi * x, alt = std::asin(2 * y - 1);  // uniform on the sphere
    double ha, dec, az2, alt2;
    coord_altaz_to_eq(&ha, &dec, az, alt, lat);
    coord_eq_to_altaz(&az2, &alt2, ha, dec, lat);
    const char *fmt = "az %.17g alt %.17g lat %.17g";
    worst_take(&w_az, turn_diff(az2, az), fmt, az, alt, lat);
    worst_take(&w_alt, std::fabs(alt2 - alt), fmt, az, alt, lat);
    ++n;
  });
  EXPECT_GE(n, 10000);
  expect_worst_within(w_az, 1e-9, "max_az_dev");
  expect_worst_within(w_alt, 1e-9, "max_alt_dev");
}

TEST(CoordRoundTrip, AxesToSkyAndFieldRotationAndBack) {
  Worst w1, w2, w3;
  int n = 0;
  over_latitudes(12, 250, [&](double lat, double x, double y, double z) {
    // Open ranges 0 < a1 < pi, |a2| < pi/2: the conversion is one to one there.
    const double a1 = kCoordPi * x, a2 = kCoordPi * (y - 0.5), a3 = kCoordTwoPi * z;
    double ha, dec, frot, b1, b2, b3;
    coord_a3_to_eq(&ha, &dec, a1, a2, a3, lat);
    coord_a3_to_frot(&frot, a1, a2, a3, lat);
    coord_eq_to_a3(&b1, &b2, &b3, ha, dec, lat, frot);
    const char *fmt = "a1 %.17g a2 %.17g a3 %.17g lat %.17g";
    worst_take(&w1, std::fabs(b1 - a1), fmt, a1, a2, a3, lat);
    worst_take(&w2, std::fabs(b2 - a2), fmt, a1, a2, a3, lat);
    worst_take(&w3, turn_diff(b3, a3), fmt, a1, a2, a3, lat);
    ++n;
  });
  EXPECT_GE(n, 10000);
  expect_worst_within(w1, 1e-9, "max_a1_dev");
  expect_worst_within(w2, 1e-9, "max_a2_dev");
  expect_worst_within(w3, 1e-9, "max_a3_dev");
}

// The axes reach the sky two ways: directly, and through the horizontal
// coordinates (whose conversion ERFA checks). A sign slip that the axes round
// trip would cancel out shows here.
TEST(CoordRoundTrip, AxesToEquatorialAgreesWithTheRouteThroughHorizontal) {
  Worst w_ha, w_dec, w_a;
  int n = 0;
  over_latitudes(13, 250, [&](double lat, double x, double y, double z) {
    const double a1 = kCoordPi * x, a2 = kCoordPi * (y - 0.5), a3 = kCoordTwoPi * z;
    double ha, dec, az, alt, ha2, dec2;
    coord_a3_to_eq(&ha, &dec, a1, a2, a3, lat);
    coord_a3_to_altaz(&az, &alt, a1, a2, a3, lat);
    coord_altaz_to_eq(&ha2, &dec2, az, alt, lat);
    const char *fmt = "a1 %.17g a2 %.17g a3 %.17g lat %.17g";
    // An hour-angle error matters on the sky in proportion to cos(dec).
    worst_take(&w_ha, turn_diff(ha, ha2) * std::cos(dec), fmt, a1, a2, a3, lat);
    worst_take(&w_dec, std::fabs(dec - dec2), fmt, a1, a2, a3, lat);

    double frot, b1, b2, b3;
    coord_a3_to_frot(&frot, a1, a2, a3, lat);
    coord_altaz_to_a3(&b1, &b2, &b3, az, alt, lat, frot);
    worst_take(&w_a, std::fmax(std::fabs(b1 - a1), turn_diff(b3, a3) * std::cos(a2)), fmt, a1, a2,
               a3, lat);
    ++n;
  });
  EXPECT_GE(n, 10000);
  expect_worst_within(w_ha, 1e-9, "max_ha_dev");
  expect_worst_within(w_dec, 1e-9, "max_dec_dev");
  expect_worst_within(w_a, 1e-9, "max_axes_dev_from_horizontal");
}

}  // namespace
