// A night's chart against formulas and ERFA called here, independently of the
// library: an alt-az mount's rates, the axis rates against differences of the
// axis angles, the transit, the Sun, the night's span, events, and the CSV.
#include <gtest/gtest.h>

#include <erfa.h>
#include <erfam.h>

#include <clocale>
#include <cmath>
#include <sstream>
#include <string>

#include "chart/chart.h"
#include "geometry/coord.h"

namespace {

constexpr double kDeg = ERFA_DPI / 180.0;
constexpr double kOmega = 360.0 / 86164.0905;  // the sky's rate, degrees per second

Chart chart_of(ChartRequest r) {
  Chart c;
  std::string error;
  EXPECT_TRUE(chart_compute(r, &c, &error)) << error;
  return c;
}

ChartRequest request(const char *star, double latitude, int y, int m, int d) {
  ChartRequest r;
  r.star = sky_find_star(star);
  r.latitude = latitude, r.longitude = 13.4;
  r.year = y, r.month = m, r.day = d;
  return r;
}

// The Sun's altitude by ERFA's steps taken one by one, along the equinox
// rather than the library's CIO route: the Earth's heliocentric place
// reversed, aberration, precession-nutation, then Greenwich sidereal time.
double sun_altitude(double utc, double latitude, double longitude) {
  double u1, u2, tai1, tai2, tt1, tt2, ut1, ut2;
  eraDtf2d("UTC", 1970, 1, 1, 0, 0, 0, &u1, &u2);
  u2 += utc / 86400.0;
  eraUtctai(u1, u2, &tai1, &tai2);
  eraTaitt(tai1, tai2, &tt1, &tt2);
  eraUtcut1(u1, u2, 0, &ut1, &ut2);
  double pvh[2][3], pvb[2][3], p[3], u[3], v[3], ab[3], rbpn[3][3], e[3], distance;
  eraEpv00(tt1, tt2, pvh, pvb);
  eraSxp(-1.0, pvh[0], p);
  eraPn(p, &distance, u);
  eraSxp(ERFA_AULT / ERFA_DAYSEC, pvb[1], v);  // au a day, as a fraction of c
  eraAb(u, v, distance, std::sqrt(1.0 - eraPdp(v, v)), ab);
  eraPnm06a(tt1, tt2, rbpn);
  eraRxp(rbpn, ab, e);
  double ra, dec, az, alt;
  eraC2s(e, &ra, &dec);
  const double last = eraGst06a(ut1, ut2, tt1, tt2) + longitude * kDeg;
  coord_eq_to_altaz(&az, &alt, last - ra, dec, latitude * kDeg);
  return alt / kDeg;
}

// Every sample against the formulas of an alt-az mount and against
// differences of the axis angles a step apart; the field held; the transit
// where ERFA's sidereal time reaches the right ascension; the Sun against
// ERFA's steps.
TEST(ChartTest, SamplesAgreeWithTheFormulasDifferencesAndErfa) {
  for (const char *star : {"Vega", "Sirius", "Polaris", "Canopus"}) {
    SCOPED_TRACE(star);
    ChartRequest r = request(star, star[0] == 'C' ? -33.9 : 52.5, 2026, 12, 8);
    r.field_rotation = 30;
    const Chart c = chart_of(r);
    ASSERT_GT(c.samples.size(), 100u);
    const double phi = r.latitude * kDeg;
    int reachable = 0;
    for (size_t i = 0; i < c.samples.size(); i++) {
      const ChartSample &s = c.samples[i];
      const double A = s.azimuth * kDeg, h = s.altitude * kDeg;
      const double tol = 1e-9 + 1e-6 * std::fabs(kOmega / std::cos(h));
      EXPECT_NEAR(s.altaz_azimuth_rate,
                  kOmega * (std::sin(phi) - std::cos(phi) * std::cos(A) * std::tan(h)), tol);
      EXPECT_NEAR(s.altaz_altitude_rate, kOmega * std::cos(phi) * std::sin(A), tol);
      EXPECT_NEAR(s.altaz_field_rate, -kOmega * std::cos(phi) * std::cos(A) / std::cos(h), tol);
      if (!s.reachable) continue;
      reachable++;
      EXPECT_NEAR(std::remainder(s.field_rotation - 30, 360), 0, 1e-6);
      if (i == 0 || i + 1 == c.samples.size() || !c.samples[i - 1].reachable ||
          !c.samples[i + 1].reachable) {
        continue;
      }
      for (int k = 0; k < 3; k++) {
        const double step = c.samples[i + 1].utc - c.samples[i - 1].utc;
        const double turn =
            std::remainder(c.samples[i + 1].axes[k] - c.samples[i - 1].axes[k], 360);
        EXPECT_NEAR(s.rate[k], turn / step, 1e-7 + 1e-3 * std::fabs(s.rate[k])) << "a" << k + 1;
      }
    }
    EXPECT_GT(reachable, 0);
    for (const ChartEvent &e : c.events) {
      if (e.kind != ChartEventKind::kTransit) continue;
      double last;
      ASSERT_TRUE(sky_local_sidereal_time(sky_time_from_unix(e.utc), r.longitude * kDeg, &last));
      EXPECT_NEAR(std::remainder(last / kDeg - c.ra, 360), 0, 1.0 / 240);  // a second of time
    }
  }
  const Chart c = chart_of(request("Vega", 45, 2026, 6, 21));
  for (size_t i = 0; i < c.samples.size(); i += c.samples.size() / 4) {
    const ChartSample &s = c.samples[i];
    EXPECT_NEAR(s.sun_altitude, sun_altitude(s.utc, 45, 13.4), 0.01);
    EXPECT_NEAR(chart_sun_altitude(s.utc, 45, 13.4), s.sun_altitude, 0.001);
  }
}

// The span is dusk to dawn at -12 degrees, or the 24 hours from local noon
// where the Sun does not cross; rise and set are at the altitude limit; an
// alt-az mount needs about 0.17 degree a second of azimuth for a star passing
// a degree from the zenith, where every axis of this mount stays slow.
TEST(ChartTest, TheNightItsEventsAndAnAltAzMountNearTheZenith) {
  const Chart night = chart_of(request("Sirius", 45, 2026, 12, 8));
  EXPECT_FALSE(night.whole_day);
  EXPECT_NEAR(sun_altitude(night.start, 45, 13.4), kChartTwilight, 0.01);
  EXPECT_NEAR(sun_altitude(night.end, 45, 13.4), kChartTwilight, 0.01);
  EXPECT_GT(sun_altitude(night.start - 600, 45, 13.4), sun_altitude(night.start, 45, 13.4));
  EXPECT_NEAR(night.end - night.start, 12.5 * 3600, 3600);
  int rises = 0;
  for (const ChartEvent &e : night.events) {
    if (e.kind != ChartEventKind::kRise && e.kind != ChartEventKind::kSet) continue;
    rises++;
    double ra, dec, last, az, alt;
    const SkyTime t = sky_time_from_unix(e.utc);
    ASSERT_TRUE(sky_apparent_place(*sky_find_star("Sirius"), t, &ra, &dec));
    ASSERT_TRUE(sky_local_sidereal_time(t, 13.4 * kDeg, &last));
    coord_eq_to_altaz(&az, &alt, last - ra, dec, 45 * kDeg);
    EXPECT_NEAR(alt / kDeg, 1.0, 0.01);
  }
  EXPECT_EQ(rises, 1) << "Sirius rises in a December evening at 45 degrees north, sets after dawn";

  const Chart summer = chart_of(request("Vega", 70, 2026, 6, 21));
  EXPECT_TRUE(summer.whole_day);
  EXPECT_NEAR(summer.end - summer.start, 86400, 1);
  for (const ChartEvent &e : summer.events) EXPECT_NE(e.kind, ChartEventKind::kDusk);

  ChartRequest zenith = request("Vega", 45, 2026, 12, 8);
  zenith.star = nullptr, zenith.dec = 46;
  const Chart first = chart_of(zenith);
  zenith.ra = first.samples[first.samples.size() / 2].lst * 15;  // transits mid-night
  const Chart c = chart_of(zenith);
  double altaz = 0, axis = 0;
  for (const ChartSample &s : c.samples) {
    altaz = std::max(altaz, std::fabs(s.altaz_azimuth_rate));
    for (double x : s.rate) axis = std::max(axis, std::fabs(x));
  }
  EXPECT_NEAR(altaz, 0.17, 0.03);
  EXPECT_LT(axis, 3 * kOmega);
}

// The CSV: its header, one row per sample, points for decimals under a locale
// that writes commas, and the axis columns empty below the limit.
TEST(ChartTest, CsvHasItsColumnsPointsAndEmptyAxesBelowTheLimit) {
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "no German locale to test under";
  const Chart c = chart_of(request("Sirius", 45, 2026, 12, 8));
  std::istringstream csv(chart_csv(c));
  std::setlocale(LC_ALL, "C");
  std::string line;
  std::getline(csv, line);
  EXPECT_EQ(line,
            "utc,altitude_deg,azimuth_deg,hour_angle_deg,a1_deg,a2_deg,a3_deg,field_rotation_deg,"
            "a1_rate_deg_s,a2_rate_deg_s,a3_rate_deg_s,altaz_azimuth_rate_deg_s,"
            "altaz_altitude_rate_deg_s,altaz_field_rate_deg_s,sun_altitude_deg");
  size_t rows = 0, empty = 0;
  for (; std::getline(csv, line); rows++) {
    std::vector<std::string> f;
    std::istringstream in(line);
    for (std::string x; std::getline(in, x, ',');) f.push_back(x);
    if (line.back() == ',') f.push_back("");
    ASSERT_EQ(f.size(), 15u) << line;
    const ChartSample &s = c.samples[rows];
    EXPECT_EQ(f[0], chart_format_utc(s.utc));
    EXPECT_NEAR(std::stod(f[1]), s.altitude, 1e-6);
    EXPECT_NEAR(std::stod(f[14]), s.sun_altitude, 1e-6);
    if (!s.reachable) {
      empty++;
      for (int k = 4; k <= 10; k++) EXPECT_EQ(f[k], "") << line;
    } else {
      EXPECT_NEAR(std::stod(f[6]), s.axes[2], 1e-6);
      EXPECT_NEAR(std::stod(f[10]), s.rate[2], 1e-8 * std::fabs(s.rate[2]));
    }
  }
  EXPECT_EQ(rows, c.samples.size());
  EXPECT_GT(empty, 0u) << "Sirius is below 1 degree for part of the night";
  EXPECT_EQ(c.samples[1].utc - c.samples[0].utc, 60);
  EXPECT_EQ(std::fmod(c.samples[0].utc, 60), 0) << "rows on the minute";
}

// What the command line reads: stars in any case, RA,DEC in Go To's forms,
// and nothing ambiguous; real dates only; and requests out of range.
TEST(ChartTest, ReadsTargetsAndDatesAndRefusesRequestsOutOfRange) {
  struct Target {
    const char *text;
    bool ok;
    const char *star;
    double ra, dec;
  };
  const Target targets[] = {
      {"vega", true, "Vega", 0, 0},
      {"RIGIL KENTAURUS", true, "Rigil Kentaurus", 0, 0},
      {"18h 36m 56.3s,+38° 47′ 01″", true, nullptr, 279.234583, 38.783611},
      {"18.6156,-8.5", true, nullptr, 279.234, -8.5},
      {"18,5,38", false, nullptr, 0, 0},  // 18 and 5.38, or 18.5 and 38
      {"25,10", false, nullptr, 0, 0},
      {"Nosuchstar", false, nullptr, 0, 0},
      {"", false, nullptr, 0, 0},
  };
  for (const Target &t : targets) {
    SCOPED_TRACE(t.text);
    ChartRequest r;
    ASSERT_EQ(chart_parse_target(t.text, &r), t.ok);
    if (!t.ok) continue;
    EXPECT_EQ(r.star, t.star ? sky_find_star(t.star) : nullptr);
    if (t.star) continue;
    EXPECT_NEAR(r.ra, t.ra, 1e-5);
    EXPECT_NEAR(r.dec, t.dec, 1e-5);
  }
  int y = 0, m = 0, d = 0;
  // Tonight: the night under way or next, by the site's mean solar time.
  const struct {
    double utc, longitude;
    int date;
  } nights[] = {
      {1796778000, 0, 20261208},     // 2026-12-09 01:00 UTC: still the night of the 8th
      {1796821200, 0, 20261209},     // 13:00: the coming night
      {1796770800, 180, 20261208},   // 2026-12-08 23:00 UTC is 11:00 on the 9th at 180 E
      {1796824800, -150, 20261208},  // 2026-12-09 14:00 UTC is 04:00 at 150 W
  };
  for (const auto &n : nights) {
    chart_tonight(n.utc, n.longitude, &y, &m, &d);
    EXPECT_EQ(y * 10000 + m * 100 + d, n.date) << n.utc << " at " << n.longitude;
  }
  EXPECT_TRUE(chart_parse_date("2028-02-29", &y, &m, &d));
  EXPECT_EQ(y * 10000 + m * 100 + d, 20280229);
  for (const char *bad : {"2026-02-29", "2026-6-21", "2026-06-21x", "21.06.2026", "0999-01-01"}) {
    EXPECT_FALSE(chart_parse_date(bad, &y, &m, &d)) << bad;
  }
  struct Bad {
    const char *name;
    void (*spoil)(ChartRequest *);
  };
  const Bad bad[] = {
      {"latitude", [](ChartRequest *r) { r->latitude = 90.5; }},
      {"longitude", [](ChartRequest *r) { r->longitude = NAN; }},
      {"declination", [](ChartRequest *r) { r->star = nullptr, r->dec = -91; }},
      {"step", [](ChartRequest *r) { r->step = 0; }},
      {"limit", [](ChartRequest *r) { r->limits.speed[1] = 0; }},
  };
  for (const Bad &b : bad) {
    ChartRequest r = request("Vega", 45, 2026, 6, 21);
    b.spoil(&r);
    Chart c;
    std::string error;
    EXPECT_FALSE(chart_compute(r, &c, &error)) << b.name;
    EXPECT_NE(error.find(b.name), std::string::npos) << error;
  }
}

}  // namespace
