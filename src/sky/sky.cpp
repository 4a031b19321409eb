// Sidereal time, apparent places and sexagesimal text, through ERFA.
#include "sky/sky.h"

#include <erfa.h>
#include <erfam.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr double kTwoPi = 2.0 * ERFA_DPI;
// Milliseconds of arc to radians.
constexpr double kMasToRad = ERFA_DAS2R / 1000.0;
// POSIX time 0 as a Julian Date.
constexpr double kUnixEpochJd = 2440587.5;

// TT and UT1 (taken as UTC) of a UTC instant; false when ERFA rejects it. A
// year past the leap-second table's release only draws a warning from ERFA
// (its status 1): the leap seconds are then assumed not to have changed.
bool tt_and_ut1(SkyTime t, double *tt1, double *tt2, double *ut11, double *ut12) {
  double tai1, tai2;
  if (eraUtctai(t.utc1, t.utc2, &tai1, &tai2) < 0) return false;
  if (eraTaitt(tai1, tai2, tt1, tt2) != 0) return false;
  return eraUtcut1(t.utc1, t.utc2, 0.0, ut11, ut12) >= 0;
}

// The marks that may follow each of the three fields of a sexagesimal angle,
// as UTF-8 strings; spaces may stand in for any of them.
struct Marks {
  const char *const *field[3];
};

constexpr const char *kHourMarks[] = {"h", ":", nullptr};
constexpr const char *kMinuteMarks[] = {"m", ":", "\xE2\x80\xB2", "'", nullptr};
constexpr const char *kSecondMarks[] = {"s", "\xE2\x80\xB3", "\"", nullptr};
constexpr const char *kDegreeMarks[] = {"\xC2\xB0", "\xC2\xBA", "d", ":", nullptr};
constexpr Marks kRaMarks = {{kHourMarks, kMinuteMarks, kSecondMarks}};
constexpr Marks kDecMarks = {{kDegreeMarks, kMinuteMarks, kSecondMarks}};

// Digits beyond these would only make a number that no angle can have, or
// one a double cannot hold exactly.
constexpr int kMostIntegerDigits = 6;
constexpr int kMostFractionDigits = 12;

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool skip_spaces(const char **p) {
  const char *start = *p;
  while (**p == ' ' || **p == '\t') ++*p;
  return *p != start;
}

// A number at *p: digits with an optional fraction after '.' or ','.
bool read_number(const char **p, double *value, bool *has_fraction) {
  const char *s = *p;
  double v = 0;
  int digits = 0;
  while (is_digit(*s)) {
    if (++digits > kMostIntegerDigits) return false;
    v = v * 10 + (*s++ - '0');
  }
  *has_fraction = false;
  if ((*s == '.' || *s == ',') && is_digit(s[1])) {
    ++s;
    double scale = 0.1;
    int fraction = 0;
    while (is_digit(*s)) {
      if (++fraction > kMostFractionDigits) return false;
      v += (*s++ - '0') * scale;
      scale /= 10;
    }
    *has_fraction = true;
  }
  // ".5" or "18 .5" leaves out the whole part: not a way anyone writes an angle.
  if (digits == 0) return false;
  *p = s;
  *value = v;
  return true;
}

// A mark allowed after field n at *p, consumed; whether it was a colon.
bool read_mark(const char **p, const Marks &marks, int n, bool *colon) {
  for (const char *const *mark = marks.field[n]; *mark; ++mark) {
    const size_t length = std::strlen(*mark);
    if (std::strncmp(*p, *mark, length) == 0) {
      *p += length;
      *colon = (**mark == ':');
      return true;
    }
  }
  return false;
}

// An angle of up to three sexagesimal fields in units of its first field.
bool read_sexagesimal(const char *text, const Marks &marks, bool signed_angle, double *value) {
  if (!text) return false;
  const char *p = text;
  skip_spaces(&p);
  double sign = 1;
  if (signed_angle) {
    if (*p == '+') {
      ++p;
    } else if (*p == '-') {
      sign = -1, ++p;
    } else if (std::strncmp(p, "\xE2\x88\x92", 3) == 0) {
      sign = -1, p += 3;
    }
    skip_spaces(&p);
  }
  double fields[3] = {0, 0, 0};
  int n = 0;
  bool fraction_seen = false;
  for (;;) {
    bool has_fraction;
    if (fraction_seen || n == 3 || !read_number(&p, &fields[n], &has_fraction)) return false;
    fraction_seen = has_fraction;
    const bool spaced = skip_spaces(&p);
    bool colon = false;
    const bool marked = read_mark(&p, marks, n, &colon);
    ++n;
    if (marked) skip_spaces(&p);
    if (*p == '\0') {
      if (colon) return false;  // "18:" leaves its minutes out
      break;
    }
    if (!marked && !spaced) return false;
  }
  if (fields[1] >= 60 || fields[2] >= 60) return false;
  *value = sign * (fields[0] + fields[1] / 60 + fields[2] / 3600);
  return true;
}

}  // namespace

bool sky_time_from_calendar(int year, int month, int day, int hour, int minute, double second,
                            SkyTime *t) {
  double d1, d2;
  // ERFA's status 2 (or 3) is a time past the end of the day: a 61st second
  // where no leap second was inserted.
  const int status = eraDtf2d("UTC", year, month, day, hour, minute, second, &d1, &d2);
  if (status < 0 || status >= 2) return false;
  *t = {d1, d2};
  return true;
}

SkyTime sky_time_from_unix(double seconds) {
  const double days = std::floor(seconds / 86400.0);
  double in_day = seconds - days * 86400.0;
  int year, month, day;
  double fraction;
  if (eraJd2cal(kUnixEpochJd, days, &year, &month, &day, &fraction) != 0) {
    return {kUnixEpochJd + days, in_day / 86400.0};
  }
  const int hour = int(in_day / 3600.0);
  in_day -= hour * 3600.0;
  const int minute = int(in_day / 60.0);
  SkyTime t = {kUnixEpochJd + days, 0.0};
  // Through the calendar, so that a day ending in a leap second gets the
  // fraction ERFA expects for it.
  sky_time_from_calendar(year, month, day, hour, minute, in_day - minute * 60.0, &t);
  return t;
}

std::string sky_format_utc(SkyTime t) {
  int year, month, day, hmsf[4];
  if (eraD2dtf("UTC", 3, t.utc1, t.utc2, &year, &month, &day, hmsf) < 0) return "";
  return sky_printed("%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hmsf[0], hmsf[1], hmsf[2]);
}

bool sky_gast(SkyTime t, double *gast) {
  double tt1, tt2, ut11, ut12;
  if (!tt_and_ut1(t, &tt1, &tt2, &ut11, &ut12)) return false;
  *gast = eraGst06a(ut11, ut12, tt1, tt2);
  return true;
}

bool sky_local_sidereal_time(SkyTime t, double lon, double *last) {
  double gast;
  if (!sky_gast(t, &gast)) return false;
  *last = eraAnp(gast + lon);
  return true;
}

bool sky_apparent_place(const SkyStar &star, SkyTime t, double *ra, double *dec) {
  double tt1, tt2, ut11, ut12;
  if (!tt_and_ut1(t, &tt1, &tt2, &ut11, &ut12)) return false;
  const double rc = star.ra_hours * ERFA_DPI / 12.0;
  const double dc = star.dec_degrees * ERFA_DD2R;
  // The catalogue's motion in right ascension is along the sky (times cos dec);
  // ERFA wants the rate of the coordinate itself.
  const double pr = star.pm_ra_mas * kMasToRad / std::cos(dc);
  const double pd = star.pm_dec_mas * kMasToRad;
  double ri, di, eo;
  eraAtci13(rc, dc, pr, pd, 0.0, 0.0, tt1, tt2, &ri, &di, &eo);
  // CIRS right ascension less the equation of the origins: from the equinox.
  *ra = eraAnp(ri - eo);
  *dec = di;
  return true;
}

bool sky_bright_places(SkyTime t, int count, double *ra, double *dec) {
  double tt1, tt2, ut11, ut12;
  if (!tt_and_ut1(t, &tt1, &tt2, &ut11, &ut12)) return false;
  eraASTROM astrom;
  double eo;
  eraApci13(tt1, tt2, &astrom, &eo);
  const SkyBrightStar *stars = sky_bright_stars();
  for (int i = 0; i < count && i < sky_bright_star_count(); i++) {
    double ri, di;
    eraAtciq(stars[i].ra_hours * ERFA_DPI / 12.0, stars[i].dec_degrees * ERFA_DD2R, 0.0, 0.0, 0.0,
             0.0, &astrom, &ri, &di);
    ra[i] = eraAnp(ri - eo);
    dec[i] = di;
  }
  return true;
}

bool sky_sun_place(SkyTime t, double *ra, double *dec) {
  double tt1, tt2, ut11, ut12;
  if (!tt_and_ut1(t, &tt1, &tt2, &ut11, &ut12)) return false;
  double heliocentric[2][3], barycentric[2][3];
  eraEpv00(tt1, tt2, heliocentric, barycentric);
  // The Sun seen from the Earth is the Earth's heliocentric position reversed:
  // a direction like a star's at infinity, which ERFA then carries to the place
  // of date. Its light is not deflected by the Sun itself.
  double sun[3], rc, dc;
  eraSxp(-1.0, heliocentric[0], sun);
  eraC2s(sun, &rc, &dc);
  double ri, di, eo;
  eraAtci13(eraAnp(rc), dc, 0.0, 0.0, 0.0, 0.0, tt1, tt2, &ri, &di, &eo);
  *ra = eraAnp(ri - eo);
  *dec = di;
  return true;
}

double sky_hour_angle(double last, double ra) {
  return eraAnpm(last - ra);
}

double sky_right_ascension(double last, double ha) {
  return eraAnp(last - ha);
}

bool sky_parse_ra(const char *text, double *ra) {
  double hours;
  if (!read_sexagesimal(text, kRaMarks, false, &hours) || hours > 24) return false;
  *ra = hours == 24 ? 0.0 : hours * ERFA_DPI / 12.0;
  return true;
}

bool sky_parse_dec(const char *text, double *dec) {
  double degrees;
  if (!read_sexagesimal(text, kDecMarks, true, &degrees) || std::fabs(degrees) > 90) return false;
  *dec = degrees * ERFA_DD2R;
  return true;
}

std::string sky_format_ra(double ra) {
  if (!std::isfinite(ra)) return "";
  double hours = std::fmod(ra / kTwoPi * 24.0, 24.0);
  if (hours < 0) hours += 24.0;
  const long long tenths = std::llround(hours * 36000.0) % 864000;
  return sky_printed("%02lldh %02lldm %02lld.%llds", tenths / 36000, tenths / 600 % 60,
                     tenths % 600 / 10, tenths % 10);
}

std::string sky_format_dec(double dec) {
  if (!std::isfinite(dec)) return "";
  const double degrees = std::fmin(std::fabs(dec * ERFA_DR2D), 90.0);
  const long long seconds = std::llround(degrees * 3600.0);
  return sky_printed("%c%02lld\xC2\xB0 %02lld\xE2\x80\xB2 %02lld\xE2\x80\xB3",
                     dec < 0 && seconds > 0 ? '-' : '+', seconds / 3600, seconds / 60 % 60,
                     seconds % 60);
}
