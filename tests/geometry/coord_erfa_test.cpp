// The horizontal/equatorial conversions checked against ERFA's eraHd2ae and
// eraAe2hd, an independent implementation with the same conventions (azimuth
// from north through east in [0, 2*pi), hour angle positive west in [-pi, pi]).
#include <gtest/gtest.h>

#include <erfa.h>

#include <cmath>
#include <random>

#include "coord_test_util.h"
#include "geometry/coord.h"

namespace {

// Tolerance of every comparison here: a few units in the last place of an
// angle of order 1, where the two differ only in how they round.
constexpr double kErfaTol = 1e-12;

// Latitudes every 2 degrees from pole to pole, each with random points from a
// fixed seed, uniform on the sphere. Away from the exact zenith and pole, where
// our arc sine keeps half its digits and ERFA's arc tangent all of them.
template <typename Body>
void over_sphere(unsigned seed, Body body) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  for (int k = -45; k <= 45; ++k) {
    for (int i = 0; i < 120; ++i) {
      const double lon = kCoordTwoPi * u01(rng), lat = std::asin(2 * u01(rng) - 1);
      body(deg(2.0 * k), lon, lat);
    }
  }
}

TEST(CoordErfa, EquatorialToHorizontalAgreesWithHd2ae) {
  Worst w_az, w_alt;
  int n = 0;
  over_sphere(101, [&](double phi, double lon, double dec) {
    const double ha = lon - kCoordPi;
    double az, alt, ref_az, ref_alt;
    coord_eq_to_altaz(&az, &alt, ha, dec, phi);
    eraHd2ae(ha, dec, phi, &ref_az, &ref_alt);
    const char *fmt = "ha %.17g dec %.17g lat %.17g";
    worst_take(&w_az, turn_diff(az, ref_az), fmt, ha, dec, phi);
    worst_take(&w_alt, std::fabs(alt - ref_alt), fmt, ha, dec, phi);
    ++n;
  });
  EXPECT_GE(n, 10000);
  expect_worst_within(w_az, kErfaTol, "max_az_dev");
  expect_worst_within(w_alt, kErfaTol, "max_alt_dev");
}

TEST(CoordErfa, HorizontalToEquatorialAgreesWithAe2hd) {
  Worst w_ha, w_dec;
  int n = 0;
  over_sphere(202, [&](double phi, double az, double alt) {
    double ha, dec, ref_ha, ref_dec;
    coord_altaz_to_eq(&ha, &dec, az, alt, phi);
    eraAe2hd(az, alt, phi, &ref_ha, &ref_dec);
    const char *fmt = "az %.17g alt %.17g lat %.17g";
    // Within 0.1 degree of a pole the hour angle is ill-determined (its
    // rounding grows as 1 / cos dec) and carries no meaning at the pole.
    if (std::cos(ref_dec) > 2e-3) worst_take(&w_ha, turn_diff(ha, ref_ha), fmt, az, alt, phi);
    worst_take(&w_dec, std::fabs(dec - ref_dec), fmt, az, alt, phi);
    ++n;
  });
  EXPECT_GE(n, 10000);
  expect_worst_within(w_ha, kErfaTol, "max_ha_dev");
  expect_worst_within(w_dec, kErfaTol, "max_dec_dev");
}

}  // namespace
