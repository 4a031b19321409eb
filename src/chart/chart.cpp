// A night's samples of one target: the sky, the three axes and an alt-az
// mount's needs, at a fixed step.
#include "chart/chart.h"

#include <charconv>
#include <cmath>
#include <ctime>

#include "geometry/coord.h"

// Marks a reason for the catalogues; the caller translates it where it shows it.
#define N_(text) text

namespace {

constexpr double kDeg = kCoordPi / 180.0;
// Rates come from central differences this many seconds either side: far
// above rounding (1e-14 degree) yet short against the sky's turn.
constexpr double kDifference = 1.0;
// The Sun's place is taken from ERFA every this many seconds and interpolated
// between: it moves a degree a day, so an hour's chord is off by less than
// 1e-6 degree.
constexpr double kSunStep = 3600.0;
// The night is looked for in this many seconds from local noon.
constexpr double kSearchSpan = 36 * 3600.0;
// Crossings are bracketed every 10 minutes, then halved down to a second.
constexpr double kSearchStep = 600.0;

// As mount_wrap360, with what rounding leaves a hair below a turn read as 0: a
// field held at 0 reads 0, not 360.000000.
double wrap_turn(double x) {
  x = mount_wrap360(x);
  return x > 360.0 - 1e-9 ? 0.0 : x;
}

// Local apparent sidereal time, degrees, as a straight line through ERFA's
// value at one instant at the mean sidereal rate: within a millisecond of time
// over the two days a chart spans, far below what a chart shows.
struct Sidereal {
  double t0 = 0;
  double lst0 = 0;  // degrees
};

bool sidereal_at(double t0, double longitude, Sidereal *s) {
  double last;
  if (!sky_local_sidereal_time(sky_time_from_unix(t0), longitude * kDeg, &last)) return false;
  *s = {t0, last / kDeg};
  return true;
}

double lst_of(const Sidereal &s, double t) {
  return mount_wrap360(s.lst0 + kMountSiderealRate * (t - s.t0));
}

// The Sun's apparent place at every kSunStep from t0, right ascension
// unwrapped so that it interpolates across 0h.
struct SunTable {
  double t0 = 0;
  std::vector<double> ra, dec;  // degrees
};

bool sun_table(double t0, double span, SunTable *table) {
  table->t0 = t0;
  const int n = int(std::ceil(span / kSunStep)) + 2;
  for (int i = 0; i < n; i++) {
    double ra, dec;
    if (!sky_sun_place(sky_time_from_unix(t0 + i * kSunStep), &ra, &dec)) return false;
    ra /= kDeg;
    if (i > 0) ra = table->ra.back() + mount_wrap_ha(ra - table->ra.back());
    table->ra.push_back(ra);
    table->dec.push_back(dec / kDeg);
  }
  return true;
}

double sun_altitude(const SunTable &table, const Sidereal &s, double latitude, double t) {
  const double x = (t - table.t0) / kSunStep;
  const int last = int(table.ra.size()) - 2;
  const int i = std::max(0, std::min(last, int(std::floor(x))));
  const double f = x - i;
  const double ra = table.ra[i] + f * (table.ra[i + 1] - table.ra[i]);
  const double dec = table.dec[i] + f * (table.dec[i + 1] - table.dec[i]);
  double az, alt;
  coord_eq_to_altaz(&az, &alt, (lst_of(s, t) - ra) * kDeg, dec * kDeg, latitude * kDeg);
  return alt / kDeg;
}

// The instant in [a, b] where f crosses 0, f(a) and f(b) of opposite signs,
// halved down to a tenth of a second.
template <typename F>
double crossing(F f, double a, double b) {
  const bool a_above = f(a) >= 0;
  while (b - a > 0.1) {
    const double m = (a + b) / 2;
    ((f(m) >= 0) == a_above ? a : b) = m;
  }
  return (a + b) / 2;
}

// The first instant in [from, to] where f goes from below 0 to at or above
// (rising) or the other way, or NaN.
template <typename F>
double first_crossing(F f, double from, double to, bool rising) {
  double prev = f(from);
  const int steps = int(std::ceil((to - from) / kSearchStep));
  for (int k = 0; k < steps; k++) {
    const double a = from + k * kSearchStep, b = std::min(a + kSearchStep, to);
    const double next = f(b);
    if ((prev < 0) == rising && (next >= 0) == rising) return crossing(f, a, b);
    prev = next;
  }
  return NAN;
}

// The target's hour angle, altitude and azimuth at sidereal time lst.
struct SkyPoint {
  double ha, alt, az;  // degrees
};

SkyPoint sky_point(double lst, double ra, double dec, double latitude) {
  const double ha = mount_wrap_ha(lst - ra);
  double az, alt;
  coord_eq_to_altaz(&az, &alt, ha * kDeg, dec * kDeg, latitude * kDeg);
  return {ha, alt / kDeg, mount_wrap360(az / kDeg)};
}

// The parallactic angle at the target, degrees: the angle between the
// directions to the pole and to the zenith. An alt-az mount's field turns
// with it.
double parallactic_angle(double ha, double dec, double latitude) {
  const double h = ha * kDeg, d = dec * kDeg, phi = latitude * kDeg;
  return std::atan2(std::sin(h), std::tan(phi) * std::cos(d) - std::sin(d) * std::cos(h)) / kDeg;
}

void fill_sample(const Mount &m, const Sidereal &s, const SunTable &sun, double ra, double dec,
                 double t, ChartSample *out) {
  ChartSample &c = *out;
  c.utc = t;
  const double lst = lst_of(s, t);
  c.lst = lst / 15.0;
  const SkyPoint here = sky_point(lst, ra, dec, m.latitude);
  c.hour_angle = here.ha, c.altitude = here.alt, c.azimuth = here.az;
  c.sun_altitude = sun_altitude(sun, s, m.latitude, t);
  // The sky either side, for rates and accelerations.
  const double turn = kMountSiderealRate * kDifference;
  const SkyPoint before = sky_point(lst - turn, ra, dec, m.latitude);
  const SkyPoint after = sky_point(lst + turn, ra, dec, m.latitude);
  c.altaz_azimuth_rate = mount_wrap_ha(after.az - before.az) / (2 * kDifference);
  c.altaz_altitude_rate = (after.alt - before.alt) / (2 * kDifference);
  c.altaz_field_rate = mount_wrap_ha(parallactic_angle(after.ha, dec, m.latitude) -
                                     parallactic_angle(before.ha, dec, m.latitude)) /
                       (2 * kDifference);
  c.reachable = here.alt >= m.min_altitude;
  if (!c.reachable) return;
  c.axes = mount_place_pose(m, here.ha, dec);
  c.axes[2] = wrap_turn(c.axes[2]);
  const MountAxes a = mount_place_pose(m, before.ha, dec);
  const MountAxes b = mount_place_pose(m, after.ha, dec);
  double frot;
  coord_a3_to_frot(&frot, c.axes[0] * kDeg, c.axes[1] * kDeg, c.axes[2] * kDeg, m.latitude * kDeg);
  c.field_rotation = wrap_turn(frot / kDeg);
  for (int i = 0; i < 3; i++) {
    // a3 is kept within a turn: its steps are taken the short way round.
    const double back = i == 2 ? mount_wrap_ha(c.axes[i] - a[i]) : c.axes[i] - a[i];
    const double ahead = i == 2 ? mount_wrap_ha(b[i] - c.axes[i]) : b[i] - c.axes[i];
    c.rate[i] = (back + ahead) / (2 * kDifference);
    c.acceleration[i] = (ahead - back) / (kDifference * kDifference);
    if (std::fabs(c.rate[i]) > m.limits.speed[i]) c.too_fast |= 1u << i;
    if (std::fabs(c.acceleration[i]) > m.limits.acceleration[i]) c.too_quick |= 1u << i;
  }
}

void append_number(std::string *out, double value, bool fixed, int precision) {
  char text[64];
  const auto result =
      fixed ? std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, precision)
            : std::to_chars(text, text + sizeof text, value, std::chars_format::general, precision);
  out->append(text, result.ptr);
}

bool in_range(double x, double lo, double hi) {
  return x >= lo && x <= hi;  // false for NaN
}

}  // namespace

void chart_tonight(double utc, double longitude, int *year, int *month, int *day) {
  // Mean solar time less half a day: its date changes at local noon.
  const std::time_t t = std::time_t(std::floor(utc + longitude * 240.0 - 43200.0));
  std::tm tm{};
  gmtime_r(&t, &tm);
  *year = tm.tm_year + 1900, *month = tm.tm_mon + 1, *day = tm.tm_mday;
}

double chart_sun_altitude(double utc, double latitude, double longitude) {
  const SkyTime t = sky_time_from_unix(utc);
  double ra, dec, last, az, alt;
  if (!sky_sun_place(t, &ra, &dec) || !sky_local_sidereal_time(t, longitude * kDeg, &last)) {
    return NAN;
  }
  coord_eq_to_altaz(&az, &alt, last - ra, dec, latitude * kDeg);
  return alt / kDeg;
}

bool chart_night(int year, int month, int day, double latitude, double longitude, double *start,
                 double *end, bool *whole_day) {
  SkyTime midnight;
  if (!sky_time_from_calendar(year, month, day, 0, 0, 0.0, &midnight)) return false;
  // POSIX seconds of the date's 0h UTC: whole days since 1970-01-01.
  const double days = std::round(midnight.utc1 + midnight.utc2 - 2440587.5);
  const double noon = days * 86400.0 + 43200.0 - longitude * 240.0;
  Sidereal s;
  SunTable sun;
  if (!sidereal_at(noon, longitude, &s) || !sun_table(noon, kSearchSpan, &sun)) return false;
  auto above_twilight = [&](double t) {
    return sun_altitude(sun, s, latitude, t) - kChartTwilight;
  };
  const double dusk = first_crossing(above_twilight, noon, noon + 86400.0, false);
  const double dawn =
      std::isnan(dusk) ? NAN : first_crossing(above_twilight, dusk, noon + kSearchSpan, true);
  *whole_day = std::isnan(dawn);
  *start = *whole_day ? noon : dusk;
  *end = *whole_day ? noon + 86400.0 : dawn;
  return true;
}

bool chart_compute(const ChartRequest &request, Chart *chart, std::string *error) {
  const ChartRequest &r = request;
  if (!in_range(r.latitude, -90, 90)) {
    *error = N_("the latitude must be from -90 to 90 degrees");
  } else if (!in_range(r.longitude, -180, 180)) {
    *error = N_("the longitude must be from -180 to 180 degrees");
  } else if (!r.star && (!in_range(r.dec, -90, 90) || !std::isfinite(r.ra))) {
    *error = N_("the declination must be from -90 to 90 degrees");
  } else if (!std::isfinite(r.field_rotation)) {
    *error = N_("the field rotation must be a number of degrees");
  } else if (!in_range(r.step, 1, 3600)) {
    *error = N_("the step must be from 1 to 3600 seconds");
  } else if (!mount_limits_valid(r.limits)) {
    *error = N_("every axis limit must be above 0 and at most 90");
  } else {
    error->clear();
  }
  if (!error->empty()) return false;
  Chart c;
  c.request = r;
  if (!chart_night(r.year, r.month, r.day, r.latitude, r.longitude, &c.start, &c.end,
                   &c.whole_day)) {
    *error = N_("the date cannot be placed in time");
    return false;
  }
  const double middle = (c.start + c.end) / 2;
  c.ra = mount_wrap360(r.ra), c.dec = r.dec;
  if (r.star) {
    double ra, dec;
    if (!sky_apparent_place(*r.star, sky_time_from_unix(middle), &ra, &dec)) {
      *error = N_("the date cannot be placed in time");
      return false;
    }
    c.name = r.star->name;
    c.ra = ra / kDeg, c.dec = dec / kDeg;
  }
  Mount m = mount_new(kMountStartPose, r.latitude, r.longitude, c.start);
  m.limits = r.limits;
  m.frot = mount_wrap360(r.field_rotation);
  Sidereal s;
  SunTable sun;
  if (!sidereal_at(middle, r.longitude, &s) || !sun_table(c.start, c.end - c.start, &sun)) {
    *error = N_("the date cannot be placed in time");
    return false;
  }
  // Samples on whole steps of UTC, so that a minute's rows fall on the minute.
  const double first = std::ceil(c.start / r.step) * r.step;
  const int count = int(std::floor((c.end - first) / r.step)) + 1;
  c.samples.resize(size_t(std::max(0, count)));
  for (int k = 0; k < count; k++)
    fill_sample(m, s, sun, c.ra, c.dec, first + k * r.step, &c.samples[k]);
  // Events: bracketed between samples, then found to a tenth of a second.
  auto altitude = [&](double t) {
    return sky_point(lst_of(s, t), c.ra, c.dec, r.latitude).alt - m.min_altitude;
  };
  auto hour_angle = [&](double t) { return sky_point(lst_of(s, t), c.ra, c.dec, r.latitude).ha; };
  if (!c.whole_day) c.events.push_back({ChartEventKind::kDusk, c.start});
  for (size_t i = 1; i < c.samples.size(); i++) {
    const ChartSample &a = c.samples[i - 1], &b = c.samples[i];
    const bool was_up = a.altitude >= m.min_altitude, is_up = b.altitude >= m.min_altitude;
    if (was_up != is_up) {
      c.events.push_back(
          {is_up ? ChartEventKind::kRise : ChartEventKind::kSet, crossing(altitude, a.utc, b.utc)});
    }
    // The upper transit: the hour angle climbs through 0 (not the wrap at 180).
    if (a.hour_angle < 0 && b.hour_angle >= 0 && b.hour_angle - a.hour_angle < 180) {
      c.events.push_back({ChartEventKind::kTransit, crossing(hour_angle, a.utc, b.utc)});
    }
    const bool was_dark = a.sun_altitude < kChartTwilight,
               is_dark = b.sun_altitude < kChartTwilight;
    if (c.whole_day && was_dark != is_dark) {
      auto sun_above = [&](double t) {
        return sun_altitude(sun, s, r.latitude, t) - kChartTwilight;
      };
      c.events.push_back({is_dark ? ChartEventKind::kDusk : ChartEventKind::kDawn,
                          crossing(sun_above, a.utc, b.utc)});
    }
  }
  if (!c.whole_day) c.events.push_back({ChartEventKind::kDawn, c.end});
  *chart = std::move(c);
  return true;
}

std::string chart_format_utc(double utc) {
  const std::time_t t = std::time_t(std::llround(utc));
  std::tm tm{};
  if (!gmtime_r(&t, &tm)) return "";
  char text[32];
  if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm) == 0) return "";
  return text;
}

std::string chart_csv(const Chart &chart) {
  std::string out =
      "utc,altitude_deg,azimuth_deg,hour_angle_deg,a1_deg,a2_deg,a3_deg,field_rotation_deg,"
      "a1_rate_deg_s,a2_rate_deg_s,a3_rate_deg_s,altaz_azimuth_rate_deg_s,"
      "altaz_altitude_rate_deg_s,altaz_field_rate_deg_s,sun_altitude_deg\n";
  for (const ChartSample &c : chart.samples) {
    out += chart_format_utc(c.utc);
    for (double x : {c.altitude, c.azimuth, c.hour_angle})
      out += ',', append_number(&out, x, true, 6);
    for (double x : {c.axes[0], c.axes[1], c.axes[2], c.field_rotation}) {
      out += ',';
      if (c.reachable) append_number(&out, x, true, 6);
    }
    for (double x : c.rate) {
      out += ',';
      if (c.reachable) append_number(&out, x, false, 9);
    }
    for (double x : {c.altaz_azimuth_rate, c.altaz_altitude_rate, c.altaz_field_rate}) {
      out += ',', append_number(&out, x, false, 9);
    }
    out += ',', append_number(&out, c.sun_altitude, true, 6);
    out += '\n';
  }
  return out;
}

bool chart_parse_date(const char *text, int *year, int *month, int *day) {
  if (!text) return false;
  int v[3] = {0, 0, 0};
  const int widths[3] = {4, 2, 2};
  const char *p = text;
  for (int f = 0; f < 3; f++) {
    for (int k = 0; k < widths[f]; k++, p++) {
      if (*p < '0' || *p > '9') return false;
      v[f] = v[f] * 10 + (*p - '0');
    }
    if (f < 2 && *p++ != '-') return false;
  }
  if (*p != '\0' || v[0] < 1000) return false;
  SkyTime t;
  // The calendar says whether the day exists (ERFA refuses 2026-02-30).
  if (!sky_time_from_calendar(v[0], v[1], v[2], 0, 0, 0.0, &t)) return false;
  *year = v[0], *month = v[1], *day = v[2];
  return true;
}

const SkyStar *chart_find_star(const char *name) {
  if (!name) return nullptr;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  for (int i = 0; i < sky_star_count(); i++) {
    const char *a = sky_stars()[i].name, *b = name;
    while (*a && lower(*a) == lower(*b)) a++, b++;
    if (!*a && !*b) return &sky_stars()[i];
  }
  return nullptr;
}

bool chart_parse_target(const char *text, ChartRequest *request) {
  if (!text) return false;
  if (const SkyStar *star = chart_find_star(text)) {
    request->star = star;
    return true;
  }
  const std::string all = text;
  int readings = 0;
  double ra = 0, dec = 0;
  for (size_t comma = all.find(','); comma != std::string::npos; comma = all.find(',', comma + 1)) {
    double r, d;
    if (sky_parse_ra(all.substr(0, comma).c_str(), &r) &&
        sky_parse_dec(all.substr(comma + 1).c_str(), &d)) {
      readings++, ra = r, dec = d;
    }
  }
  if (readings != 1) return false;
  request->star = nullptr;
  request->ra = ra / kDeg, request->dec = dec / kDeg;
  return true;
}
