// The sky library: sidereal time and apparent places against ERFA called
// step by step here, one almanac value, and the sexagesimal reader and writer.
#include <gtest/gtest.h>

#include <erfa.h>
#include <erfam.h>

#include <algorithm>
#include <cmath>
#include <vector>
#include <array>
#include <random>

#include "sky/sky.h"

namespace {

constexpr double kArcsec = ERFA_DAS2R;
constexpr double kTimeSecond = 15 * ERFA_DAS2R;  // a second of sidereal time, radians

SkyTime at(int y, int mo, int d, int h, int mi, double s) {
  SkyTime t{};
  EXPECT_TRUE(sky_time_from_calendar(y, mo, d, h, mi, s, &t));
  return t;
}

double turn_diff(double a, double b) {
  return std::fabs(std::remainder(a - b, 2 * ERFA_DPI));
}

// UT1 (as UTC) and TT of a calendar instant outside a leap second, from the
// days since the calendar's epoch and the TAI-UTC of the date.
void ut_and_tt(int y, int mo, int d, int h, int mi, double s, double ut[2], double tt[2]) {
  double dat;
  ASSERT_EQ(eraCal2jd(y, mo, d, &ut[0], &ut[1]), 0);
  ut[1] += (h * 3600 + mi * 60 + s) / 86400.0;
  ASSERT_GE(eraDat(y, mo, d, 0.5, &dat), 0);
  tt[0] = ut[0];
  tt[1] = ut[1] + (dat + 32.184) / 86400.0;
}

// clang-format off
struct Instant { const char *name; int y, mo, d, h, mi; double s; };
constexpr Instant kInstants[] = {
    {"J2000.0", 2000, 1, 1, 12, 0, 0.0}, {"a night in 2026", 2026, 12, 8, 21, 30, 15.25},
    {"before the 2016 leap second", 2016, 12, 31, 23, 59, 59.5},
    {"after it", 2017, 1, 1, 0, 0, 0.5}, {"the far past", 1850, 3, 1, 6, 0, 0.0}};
// clang-format on

TEST(SkySiderealTime, MatchesErfaAndTheAlmanacAndRunsOnThroughALeapSecond) {
  for (const Instant &c : kInstants) {
    SCOPED_TRACE(c.name);
    const SkyTime t = at(c.y, c.mo, c.d, c.h, c.mi, c.s);
    double ut[2], tt[2];
    ut_and_tt(c.y, c.mo, c.d, c.h, c.mi, c.s, ut, tt);
    const double want = eraGst06a(ut[0], ut[1], tt[0], tt[1]);
    double gast = -1, last = -1;
    ASSERT_TRUE(sky_gast(t, &gast));
    EXPECT_NEAR(turn_diff(gast, want), 0, 1e-4 * kTimeSecond);
    for (double lon_deg : {-179.99, -75.0, 13.4, 180.0}) {
      ASSERT_TRUE(sky_local_sidereal_time(t, lon_deg * ERFA_DD2R, &last));
      EXPECT_NEAR(turn_diff(last, want + lon_deg * ERFA_DD2R), 0, 1e-4 * kTimeSecond);
    }
  }
  // The leap second 2016-12-31 23:59:60 has an instant of its own, whose
  // sidereal time lies between those of the seconds either side.
  double before, during, after;
  ASSERT_TRUE(sky_gast(at(2016, 12, 31, 23, 59, 59.5), &before));
  ASSERT_TRUE(sky_gast(at(2016, 12, 31, 23, 59, 60.5), &during));
  ASSERT_TRUE(sky_gast(at(2017, 1, 1, 0, 0, 0.5), &after));
  EXPECT_GE(std::remainder(during - before, 2 * ERFA_DPI), 0);
  EXPECT_GE(std::remainder(after - during, 2 * ERFA_DPI), 0);
  EXPECT_NEAR(std::remainder(after - before, 2 * ERFA_DPI), 1.0027379 * kTimeSecond,
              1.01 * kTimeSecond);
  SkyTime no_leap;
  EXPECT_FALSE(sky_time_from_calendar(2017, 12, 31, 23, 59, 60.5, &no_leap));

  // Apparent sidereal time at 1987 April 10, 0h UT: 13h 10m 46.1351s
  // (Meeus, Astronomical Algorithms, example 12.a).
  double gast;
  ASSERT_TRUE(sky_gast(at(1987, 4, 10, 0, 0, 0.0), &gast));
  EXPECT_NEAR(turn_diff(gast, (13 + 10 / 60.0 + 46.1351 / 3600.0) * ERFA_DPI / 12), 0,
              0.005 * kTimeSecond);
  // The system clock's seconds, which count no leap seconds.
  EXPECT_EQ(sky_format_utc(sky_time_from_unix(1483228799.0)), "2016-12-31 23:59:59");
  EXPECT_EQ(sky_format_utc(sky_time_from_unix(1483228800.0)), "2017-01-01 00:00:00");
  EXPECT_EQ(sky_format_utc(at(2016, 12, 31, 23, 59, 60.5)), "2016-12-31 23:59:60");
}

TEST(SkyApparentPlace, MatchesErfaForTableStarsNearThePoleAndFastMovers) {
  for (const char *name : {"Vega", "Polaris", "Rigil Kentaurus", "Sirius", "Acrux"}) {
    const SkyStar *star = sky_find_star(name);
    ASSERT_NE(star, nullptr) << name;
    for (const Instant &c : {kInstants[0], kInstants[1], kInstants[4]}) {
      SCOPED_TRACE(std::string(name) + ", " + c.name);
      const SkyTime t = at(c.y, c.mo, c.d, c.h, c.mi, c.s);
      double ut[2], tt[2];
      ut_and_tt(c.y, c.mo, c.d, c.h, c.mi, c.s, ut, tt);
      const double tt1 = tt[0], tt2 = tt[1];
      const double dc = star->dec_degrees * ERFA_DD2R;
      double ri, di, eo;
      eraAtci13(star->ra_hours * 15 * ERFA_DD2R, dc, star->pm_ra_mas / std::cos(dc) * kArcsec / 1e3,
                star->pm_dec_mas * kArcsec / 1e3, 0, 0, tt1, tt2, &ri, &di, &eo);
      double ra, dec;
      ASSERT_TRUE(sky_apparent_place(*star, t, &ra, &dec));
      EXPECT_NEAR(turn_diff(ra, ri - eraEo06a(tt1, tt2)) * std::cos(dec), 0, 1e-3 * kArcsec);
      EXPECT_NEAR(dec, di, 1e-3 * kArcsec);
    }
  }
  // θ Persei at 2028 November 13.19 TT (UTC 69.184 s earlier, with the leap
  // seconds known today): 2h 46m 14.390s, +49° 21′ 07.45″ from
  // its FK5 place and motion (Meeus, Astronomical Algorithms, example 23.a).
  const double dc = (49 + 13 / 60.0 + 42.48 / 3600) * ERFA_DD2R;
  const SkyStar theta{
      "", 2 + 44 / 60.0 + 11.986 / 3600, dc * ERFA_DR2D, 0.03425 * 15e3 * std::cos(dc), -89.5, 4.1};
  double ra, dec;
  ASSERT_TRUE(sky_apparent_place(theta, at(2028, 11, 13, 4, 32, 26.816), &ra, &dec));
  EXPECT_NEAR(turn_diff(ra, (2 + 46 / 60.0 + 14.390 / 3600) * ERFA_DPI / 12) * std::cos(dec), 0,
              0.2 * kArcsec);
  EXPECT_NEAR(dec, (49 + 21 / 60.0 + 7.45 / 3600) * ERFA_DD2R, 0.2 * kArcsec);
  EXPECT_GE(sky_star_count(), 41);
  EXPECT_EQ(sky_find_star("Nowhere"), nullptr);
}

TEST(SkyBrightStars, HoldTheWholeCatalogueAndTheirPlacesOfDateAreErfas) {
  ASSERT_EQ(sky_bright_star_count(), 9096);
  // Vega, Polaris and Sirius as the catalogue has them (J2000).
  const struct {
    int bsc;
    double ra, dec, mag;
  } known[] = {{7001, 18.6156, 38.7836, 0.03},
               {424, 2.5302, 89.2642, 2.02},
               {2491, 6.7525, -16.7161, -1.46}};
  const SkyBrightStar *stars = sky_bright_stars();
  for (const auto &k : known) {
    const SkyBrightStar *star =
        std::find_if(stars, stars + sky_bright_star_count(),
                     [&](const SkyBrightStar &s) { return s.bsc == k.bsc; });
    ASSERT_NE(star, stars + sky_bright_star_count()) << k.bsc;
    EXPECT_NEAR(star->ra_hours, k.ra, 1e-4) << k.bsc;
    EXPECT_NEAR(star->dec_degrees, k.dec, 1e-4) << k.bsc;
    EXPECT_NEAR(star->magnitude, k.mag, 1e-3) << k.bsc;
  }
  // Every place of date, computed once for all, is what ERFA gives star by
  // star; the last one checked is Vega, far from the first.
  const Instant &c = kInstants[1];
  double ut[2], tt[2];
  ut_and_tt(c.y, c.mo, c.d, c.h, c.mi, c.s, ut, tt);
  const int n = 7001;
  std::vector<double> ra(n), dec(n);
  ASSERT_TRUE(sky_bright_places(at(c.y, c.mo, c.d, c.h, c.mi, c.s), n, ra.data(), dec.data()));
  for (int i : {0, 423, n - 1}) {
    double ri, di, eo;
    eraAtci13(double(stars[i].ra_hours) * 15 * ERFA_DD2R, double(stars[i].dec_degrees) * ERFA_DD2R,
              0, 0, 0, 0, tt[0], tt[1], &ri, &di, &eo);
    EXPECT_NEAR(turn_diff(ra[i], ri - eo) * std::cos(dec[i]), 0, 1e-3 * kArcsec) << i;
    EXPECT_NEAR(dec[i], di, 1e-3 * kArcsec) << i;
  }
}

TEST(SkyText, ReadsTheUsualFormsOfAnglesAndHourAnglesWrapIntoOneTurn) {
  constexpr double vega_ra = 18 + 36 / 60.0 + 56.3 / 3600, vega_dec = 38 + 47 / 60.0 + 1 / 3600.0;
  // clang-format off
  const struct { const char *text; double value; } ras[] = {  // hours
      {"18h 36m 56.3s", vega_ra}, {"18:36:56.3", vega_ra}, {" 18 36 56,3 ", vega_ra},
      {"18.6156", 18.6156}, {"18h36m", 18.6}, {"0", 0}, {"24:00:00", 0},
      {"23:59:59.99", 24 - 0.01 / 3600}};
  const struct { const char *text; double value; } decs[] = {  // degrees
      {"+38° 47′ 01″", vega_dec}, {"+38:47:01", vega_dec}, {"38d47m1s", vega_dec}, {"-8.2", -8.2},
      {"\xE2\x88\x92" "0 30", -0.5}, {"-00:30:00", -0.5}, {"90", 90}, {"-90°", -90},
      {"12° 30'", 12.5}};
  // clang-format on
  for (const auto &c : ras) {
    double ra = -1;
    EXPECT_TRUE(sky_parse_ra(c.text, &ra)) << c.text;
    EXPECT_NEAR(ra * 12 / ERFA_DPI, c.value, 1e-12) << c.text;
  }
  for (const auto &c : decs) {
    double dec = -1;
    EXPECT_TRUE(sky_parse_dec(c.text, &dec)) << c.text;
    EXPECT_NEAR(dec * ERFA_DR2D, c.value, 1e-12) << c.text;
  }
  for (const char *bad : {"",        " ",           "abc",
                          "18h 60m", "18:36:60",    "24:00:01",
                          "25",      "-1",          "18.5:30",
                          "18:",     "18 36 56 12", "18m",
                          "1e3",     "18..6",       "18h 36m 56.3s x",
                          "+18",     "1234567",     "0.1234567890123",
                          ".5",      "18 .5"}) {
    double ra = 7;
    EXPECT_FALSE(sky_parse_ra(bad, &ra)) << '"' << bad << '"';
    EXPECT_EQ(ra, 7) << bad;
  }
  for (const char *bad :
       {"", "90.0001", "-91", "+-5", "38° 60′", "38′", "N38", "38 47 01 02", "--1", "38°°"}) {
    double dec = 7;
    EXPECT_FALSE(sky_parse_dec(bad, &dec)) << '"' << bad << '"';
  }
  EXPECT_FALSE(sky_parse_ra(nullptr, nullptr));
  // Hour angle is sidereal time less right ascension, in (-180, 180] degrees.
  for (const auto &c : {std::array<double, 3>{100, 40, 60},
                        {10, 350, 20},
                        {350, 10, -20},
                        {0, 180, 180},
                        {359.5, 0.5, -1}}) {
    const double ha = sky_hour_angle(c[0] * ERFA_DD2R, c[1] * ERFA_DD2R);
    EXPECT_NEAR(ha * ERFA_DR2D, c[2], 1e-12) << c[0] << " " << c[1];
    EXPECT_NEAR(turn_diff(sky_right_ascension(c[0] * ERFA_DD2R, ha), c[1] * ERFA_DD2R), 0, 1e-12);
  }
}

TEST(SkyText, WritesWhatItReadsBackToTheLastDigit) {
  EXPECT_EQ(sky_format_ra((18 + 36 / 60.0 + 56.336 / 3600) * ERFA_DPI / 12), "18h 36m 56.3s");
  EXPECT_EQ(sky_format_ra(-0.001 * kTimeSecond), "00h 00m 00.0s");
  EXPECT_EQ(sky_format_ra((24 - 0.01 / 3600) * ERFA_DPI / 12), "00h 00m 00.0s");
  EXPECT_EQ(sky_format_dec(38.78369185 * ERFA_DD2R), "+38° 47′ 01″");
  EXPECT_EQ(sky_format_dec(-0.1 * kArcsec), "+00° 00′ 00″");
  EXPECT_EQ(sky_format_dec(-8.2 * ERFA_DD2R), "-08° 12′ 00″");
  std::mt19937 random(20261208);
  std::uniform_real_distribution<double> turn(0, 2 * ERFA_DPI), half(-ERFA_DPI / 2, ERFA_DPI / 2);
  for (int i = 0; i < 10000; i++) {
    const double ra = turn(random), dec = half(random);
    double ra_back = -1, dec_back = -1;
    ASSERT_TRUE(sky_parse_ra(sky_format_ra(ra).c_str(), &ra_back)) << sky_format_ra(ra);
    ASSERT_TRUE(sky_parse_dec(sky_format_dec(dec).c_str(), &dec_back)) << sky_format_dec(dec);
    EXPECT_LE(turn_diff(ra, ra_back), 0.05 * kTimeSecond + 1e-12) << ra;
    EXPECT_LE(std::fabs(dec - dec_back), 0.5 * kArcsec + 1e-12) << dec;
  }
}

}  // namespace
