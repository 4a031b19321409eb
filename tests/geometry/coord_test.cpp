// Pointing geometry: helpers, known positions, the singular points, round
// trips over dense sweeps, and a cross-check against ERFA, an independent
// implementation with the same conventions.
#include <gtest/gtest.h>

#include <erfa.h>

#include <cmath>
#include <initializer_list>
#include <random>
#include <vector>

#include "geometry/coord.h"

namespace {

constexpr double kHalfPi = kCoordPi / 2;

double deg(double d) {
  return d * kCoordPi / 180.0;
}

// |a - b| measured the short way round the circle, radians in [0, pi].
double turn_diff(double a, double b) {
  return std::fabs(std::remainder(a - b, kCoordTwoPi));
}

// Largest deviation seen in a sweep and the inputs that produced it. A NaN
// counts as the worst possible.
struct Worst {
  double err = 0.0;
  std::vector<double> at;
  void take(double e, std::initializer_list<double> inputs) {
    if (std::isnan(err) || e <= err) return;
    err = e;
    at = inputs;
  }
};

// Expects a sweep's worst deviation to be at most tol (radians), printing the
// inputs that produced it, and records it in the test's report.
void expect_within(const Worst &w, double tol, const char *name) {
  EXPECT_LE(w.err, tol) << name << " at " << testing::PrintToString(w.at);
  testing::Test::RecordProperty(name, testing::PrintToString(w.err));
}

// Latitudes every 2 degrees from pole to pole, each with 120 triples of
// numbers in [0, 1) from a fixed seed: 10,920 points. It misses the exact
// zenith, pole and zero field rotation, which have tests of their own.
template <typename Body>
void sweep(unsigned seed, Body body) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  for (int k = -45; k <= 45; ++k) {
    for (int i = 0; i < 120; ++i) {
      const double x = u01(rng), y = u01(rng), z = u01(rng);
      body(deg(2.0 * k), x, y, z);
    }
  }
}

TEST(CoordVector, CrossProductIsRightHandedAndTheOtherHelpersWorkInPlace) {
  // Rows of {a, b, a x b}, compared exactly: small integers throughout.
  const double crosses[][3][3] = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                                  {{1, 2, 3}, {4, 5, 6}, {-3, 6, -3}}};
  for (const auto &c : crosses) {
    double out[3];
    coord_vector_cross_product(out, c[0], c[1]);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(out[i], c[2][i]) << c[0][0] << " component " << i;
  }
  // Rows of {v, v / |v|}, normalised in place; a zero vector, or one whose
  // squared length underflows, gives zero.
  const double norms[][2][3] = {
      {{0, 0, 0}, {0, 0, 0}}, {{3, 0, 4}, {0.6, 0, 0.8}}, {{1e-200, 0, 0}, {0, 0, 0}}};
  for (const auto &c : norms) {
    double out[3] = {c[0][0], c[0][1], c[0][2]};
    coord_vector_normalize(out, out);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(out[i], c[1][i], 1e-15) << c[0][0] << " comp. " << i;
  }

  double v[3] = {1, -2, 3};
  const double w[3] = {0.5, 0.25, -4};
  coord_vector_add(v, v, w);
  coord_vector_subtract(v, w, v);  // w - (v + w) = -v
  coord_vector_scale(v, v, -2.0);
  const double want[3] = {2, -4, 6};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(v[i], want[i]);  // exact: small binary fractions
}

TEST(CoordWrap, BringsAnglesIntoOneTurnAndATinyNegativeToExactlyTwoPi) {
  struct Case {
    const char *name;
    double in, want;
  };
  const Case cases[] = {
      {"zero", 0, 0},
      {"full turn", kCoordTwoPi, 0},
      {"minus quarter", -kHalfPi, 3 * kHalfPi},
      {"five half turns", 5 * kCoordPi, kCoordPi},
      {"just below a turn stays", std::nextafter(kCoordTwoPi, 0), std::nextafter(kCoordTwoPi, 0)},
      {"minus two turns", -2 * kCoordTwoPi, 0},
      {"sixty-five turns and one", 65 * kCoordTwoPi + 1, 1},
      {"minus seventy turns and one", -70 * kCoordTwoPi - 1, kCoordTwoPi - 1}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(coord_wrap(c.in), c.want, 1e-12);  // a few units in the last place of 400
  }
  EXPECT_EQ(coord_wrap(-1e-17), kCoordTwoPi);  // exact: the sum rounds to 2 pi
}

TEST(CoordWrap, ReturnsPromptlyOnNonFiniteAndHugeAngles) {
  // A loop that never ends shows up as the test's timeout.
  for (const double a : {INFINITY, -INFINITY, NAN}) EXPECT_TRUE(std::isnan(coord_wrap(a))) << a;
  for (const double a : {1e300, -1e300, 1e17, -1e17}) {
    const double w = coord_wrap(a);
    EXPECT_TRUE(w >= 0.0 && w < kCoordTwoPi) << a << " wraps to " << w;
  }
}

TEST(CoordCamera, SitsAtTheCompassPointsAndOverheadOnTheSphereOfRadius23) {
  struct Case {
    const char *name;
    double az, alt, want[3];
  };
  const Case cases[] = {{"north", 0, 0, {0, 0, -23}},
                        {"east", 90, 0, {23, 0, 0}},
                        {"south", 180, 0, {0, 0, 23}},
                        {"west", 270, 0, {-23, 0, 0}},
                        {"overhead", 0, 90, {0, 23, 0}}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    double p[3];
    coord_camera_altaz_to_xyz(&p[0], &p[1], &p[2], deg(c.az), deg(c.alt));
    // Off-axis components are rounding residues of 23 * 1e-16.
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(p[i], c.want[i], 1e-13) << "component " << i;
  }
}

TEST(CoordConversions, StartUpPositionPointsSouthAtTheEquatorWithNoFieldRotation) {
  const double a1 = deg(45), a3 = kCoordPi, lat = deg(45);
  double az, alt, ha, dec, frot, b1, b2, b3;
  coord_a3_to_altaz(&az, &alt, a1, 0, a3, lat);
  coord_a3_to_eq(&ha, &dec, a1, 0, a3, lat);
  coord_a3_to_frot(&frot, a1, 0, a3, lat);
  coord_eq_to_a3(&b1, &b2, &b3, 0, 0, lat, 0);
  const double got[] = {az, alt, ha, dec, b1, b2, b3}, want[] = {kCoordPi, a1, 0, 0, a1, 0, a3};
  for (int i = 0; i < 7; ++i) EXPECT_NEAR(got[i], want[i], 1e-13) << "output " << i;
  EXPECT_NEAR(turn_diff(frot, 0), 0, 1e-7);  // acos near 1 keeps half the digits
}

TEST(CoordConversions, ZenithAndPoleComeOutAtNinetyDegreesAndFinite) {
  // At whole-degree latitudes, as the scales give them, the sine of the zenith
  // or the pole is 1 in exact arithmetic and rounds to either side of it (past
  // it at -12 and -8 degrees, for instance). 3e-8: asin turns the two units of
  // rounding below 1 (2.2e-16) into 2.1e-8.
  for (int lat = -90; lat <= 90; ++lat) {
    SCOPED_TRACE(testing::Message() << "latitude " << lat);
    const double l = deg(lat), north = lat >= 0 ? 0 : kCoordPi;
    double az, alt, ha, dec, ha2, dec2;
    coord_eq_to_altaz(&az, &alt, 0, l, l);                   // the zenith
    coord_altaz_to_eq(&ha, &dec, north, std::fabs(l), l);    // the visible pole
    coord_a3_to_eq(&ha2, &dec2, std::fabs(l), 0, north, l);  // the tube on that pole
    EXPECT_NEAR(alt, kHalfPi, 3e-8);
    EXPECT_NEAR(std::fabs(dec), kHalfPi, 3e-8);
    EXPECT_NEAR(std::fabs(dec2), kHalfPi, 3e-8);
    EXPECT_TRUE(std::isfinite(az) && std::isfinite(ha) && std::isfinite(ha2));
  }
  // The pole seen from latitude 45 at any hour angle: altitude 45, azimuth
  // north, either a rounding residue above 0 or exactly 2 pi.
  for (const double ha : {-180.0, -90.0, -1.0, 0.0, 1.0, 90.0, 179.0}) {
    double az, alt;
    coord_eq_to_altaz(&az, &alt, deg(ha), kHalfPi, deg(45));
    EXPECT_NEAR(alt, deg(45), 1e-15) << "hour angle " << ha;
    EXPECT_TRUE(az < 1e-15 || az == kCoordTwoPi) << "hour angle " << ha << ": azimuth " << az;
  }
}

TEST(CoordFrot, TiltingTheHorseshoeTurnsTheField) {
  for (const auto &c : {std::make_pair(10.0, 352.95), std::make_pair(-10.0, 7.05)}) {
    SCOPED_TRACE(testing::Message() << "a2 " << c.first);
    double frot;
    coord_a3_to_frot(&frot, deg(45), deg(c.first), deg(180), deg(45));
    EXPECT_NEAR(frot * 180 / kCoordPi, c.second, 0.005);  // the wants are rounded to 0.01 degree
  }
}

TEST(CoordFrot, AtTheZenithIsHalfATurnMinusA3AtEveryLatitude) {
  for (const double lat : {-89.0, -45.0, 0.0, 30.0, 45.0, 89.0}) {
    for (const double a3 : {0.0, 57.0, 123.0, 180.0, 300.0}) {
      SCOPED_TRACE(testing::Message() << "lat " << lat << " a3 " << a3);
      double frot;
      coord_a3_to_frot(&frot, kHalfPi, 0, deg(a3), deg(lat));
      EXPECT_TRUE(frot >= 0.0 && frot <= kCoordTwoPi) << frot;
      // 1e-6 degree: acos at +-1 is where the field rotation is 0 or 180.
      EXPECT_NEAR(turn_diff(frot, deg(180 - a3)), 0, deg(1e-6));
    }
  }
}

// Chord between the unit vectors of two pointings given by azimuth and
// altitude: the angle between them in radians, for small angles.
double pointing_gap(double az1, double alt1, double az2, double alt2) {
  const double u[3] = {std::cos(alt1) * std::cos(az1), std::cos(alt1) * std::sin(az1),
                       std::sin(alt1)};
  const double v[3] = {std::cos(alt2) * std::cos(az2), std::cos(alt2) * std::sin(az2),
                       std::sin(alt2)};
  double d[3];
  coord_vector_subtract(d, u, v);
  return std::sqrt(coord_vector_dot_product(d, d));
}

TEST(CoordEqToA3, VerticalA1AxisKeepsThePointingAndFieldWithTubeAtTheTop) {
  // Axes with |a2| at or near 90 degrees to sky coordinates and back: a1 and a3
  // are not separately determined there, but the pointing and field rotation
  // must survive. Below cos a2 = 1e-8 the tube goes to the top, a1 = 90.
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  Worst point, field, axes;
  for (const double off : {0.0, 1e-12, 1e-9, 2e-8, 1e-7, 1e-5, 1e-3, 9e-3}) {
    for (const double sign : {1.0, -1.0}) {
      for (int i = 0; i < 200; ++i) {
        const double a1 = kCoordPi * (0.05 + 0.9 * u01(rng)), a3 = kCoordTwoPi * u01(rng);
        const double a2 = sign * (kHalfPi - off), lat = kCoordPi * (u01(rng) - 0.5);
        double ha, dec, frot, b1, b2, b3, az, alt, baz, balt, bfrot;
        coord_a3_to_eq(&ha, &dec, a1, a2, a3, lat);
        coord_a3_to_frot(&frot, a1, a2, a3, lat);
        coord_eq_to_a3(&b1, &b2, &b3, ha, dec, lat, frot);
        if (std::cos(b2) < 1e-8) {
          EXPECT_EQ(b1, kHalfPi);  // exact: the convention
        }
        coord_a3_to_altaz(&az, &alt, a1, a2, a3, lat);
        coord_a3_to_altaz(&baz, &balt, b1, b2, b3, lat);
        coord_a3_to_frot(&bfrot, b1, b2, b3, lat);
        point.take(pointing_gap(az, alt, baz, balt), {a1, a2, a3, lat});
        field.take(turn_diff(frot, bfrot), {a1, a2, a3, lat});
        // Where cos a2 >= 1e-7 the axes themselves are determined, but input
        // rounding e moves a1 and a3 by e / cos a2; so compare them scaled by
        // cos a2, and only where the field rotation (an acos) is well known.
        if (off < 1e-7 || std::fabs(std::sin(frot)) < 0.1) continue;
        for (const double e : {std::fabs(b1 - a1), std::fabs(b2 - a2), turn_diff(b3, a3)}) {
          axes.take(e * off, {a1, a2, a3, lat});
        }
      }
    }
  }
  // The vertical-axis answer is off by at most cos a2 < 1e-8; the rest is
  // rounding, enlarged where the field rotation sits near 0 or pi.
  expect_within(point, 2e-8, "max_pointing_gap");
  expect_within(field, 2e-8, "max_frot_dev");
  expect_within(axes, 1e-14, "max_axes_dev_times_cos_a2");
}

TEST(CoordConversions, NoNaNAnywhereOnTheSingularPoints) {
  // Every combination of angles on or next to a singular point: zenith,
  // horizon, poles, a2 = +-90, field rotation 0 and 180, a1 = 0 and 180, plus
  // values a rounding step away and a few far outside the ranges.
  const double h = kHalfPi, tiny = 1e-300;
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

TEST(CoordRoundTrip, HorizontalToEquatorialAndBack) {
  Worst w;
  sweep(11, [&](double lat, double x, double y, double) {
    const double az = kCoordTwoPi * x, alt = std::asin(2 * y - 1);  // uniform on the sphere
    double ha, dec, az2, alt2;
    coord_altaz_to_eq(&ha, &dec, az, alt, lat);
    coord_eq_to_altaz(&az2, &alt2, ha, dec, lat);
    for (const double e : {turn_diff(az2, az), std::fabs(alt2 - alt)}) w.take(e, {az, alt, lat});
  });
  expect_within(w, 1e-9, "max_az_or_alt_dev");
}

TEST(CoordRoundTrip, AxesToSkyAndFieldRotationAndBack) {
  Worst w;
  sweep(12, [&](double lat, double x, double y, double z) {
    // Open ranges 0 < a1 < pi, |a2| < pi/2: the conversion is one to one there.
    const double a1 = kCoordPi * x, a2 = kCoordPi * (y - 0.5), a3 = kCoordTwoPi * z;
    double ha, dec, frot, b1, b2, b3;
    coord_a3_to_eq(&ha, &dec, a1, a2, a3, lat);
    coord_a3_to_frot(&frot, a1, a2, a3, lat);
    coord_eq_to_a3(&b1, &b2, &b3, ha, dec, lat, frot);
    for (const double e : {std::fabs(b1 - a1), std::fabs(b2 - a2), turn_diff(b3, a3)}) {
      w.take(e, {a1, a2, a3, lat});
    }
  });
  expect_within(w, 1e-9, "max_axis_dev");
}

// The axes reach the sky two ways: directly, and through the horizontal
// coordinates (whose conversion ERFA checks). A sign slip that the axes round
// trip would cancel out shows here.
TEST(CoordRoundTrip, AxesToEquatorialAgreesWithTheRouteThroughHorizontal) {
  Worst w_sky, w_axes;
  int az_out_of_range = 0;
  sweep(13, [&](double lat, double x, double y, double z) {
    const double a1 = kCoordPi * x, a2 = kCoordPi * (y - 0.5), a3 = kCoordTwoPi * z;
    double ha, dec, az, alt, ha2, dec2, frot, b1, b2, b3;
    coord_a3_to_eq(&ha, &dec, a1, a2, a3, lat);
    coord_a3_to_altaz(&az, &alt, a1, a2, a3, lat);
    coord_altaz_to_eq(&ha2, &dec2, az, alt, lat);
    az_out_of_range += !(az >= 0 && az <= kCoordTwoPi);
    // An hour-angle error matters on the sky in proportion to cos(dec).
    for (const double e : {turn_diff(ha, ha2) * std::cos(dec), std::fabs(dec - dec2)}) {
      w_sky.take(e, {a1, a2, a3, lat});
    }
    coord_a3_to_frot(&frot, a1, a2, a3, lat);
    coord_altaz_to_a3(&b1, &b2, &b3, az, alt, lat, frot);
    for (const double e : {std::fabs(b1 - a1), turn_diff(b3, a3) * std::cos(a2)}) {
      w_axes.take(e, {a1, a2, a3, lat});
    }
  });
  EXPECT_EQ(az_out_of_range, 0);
  expect_within(w_sky, 1e-9, "max_ha_or_dec_dev");
  expect_within(w_axes, 1e-9, "max_axes_dev_from_horizontal");
}

TEST(CoordErfa, ConversionsAgreeWithHd2aeAndAe2hd) {
  // A few units in the last place of an angle of order 1: the two differ only
  // in how they round.
  constexpr double kTol = 1e-12;
  Worst w_hd2ae, w_ae2hd;
  sweep(101, [&](double phi, double x, double y, double) {
    // A point uniform on the sphere, read both ways round.
    const double lon = kCoordTwoPi * x, lat = std::asin(2 * y - 1), ha = lon - kCoordPi;
    double az, alt, h, d, ref_lon, ref_lat;
    coord_eq_to_altaz(&az, &alt, ha, lat, phi);
    eraHd2ae(ha, lat, phi, &ref_lon, &ref_lat);
    // Compared directly: ERFA's azimuth is in [0, 2 pi), and ours must be too.
    for (const double e : {std::fabs(az - ref_lon), std::fabs(alt - ref_lat)}) {
      w_hd2ae.take(e, {ha, lat, phi});
    }
    coord_altaz_to_eq(&h, &d, lon, lat, phi);
    eraAe2hd(lon, lat, phi, &ref_lon, &ref_lat);
    // Within 0.1 degree of a pole the hour angle is ill-determined
    // (its rounding grows as 1 / cos dec).
    if (std::cos(ref_lat) > 2e-3) w_ae2hd.take(turn_diff(h, ref_lon), {lon, lat, phi});
    w_ae2hd.take(std::fabs(d - ref_lat), {lon, lat, phi});
  });
  expect_within(w_hd2ae, kTol, "max_dev_from_hd2ae");
  expect_within(w_ae2hd, kTol, "max_dev_from_ae2hd");
}

}  // namespace
