// The real sky for the mount: sidereal time, apparent places of date of the
// catalogue stars, right ascension against hour angle, and sexagesimal text.
// Pure functions of their inputs: the instant is always an argument, so that
// nothing here reads a clock. Angles are radians unless a name says otherwise.
#pragma once

#include <cstdio>
#include <string>

// A star of the Yale Bright Star Catalogue (5th revised edition): its place
// of J2000 without proper motion, as the catalogue's 9,096 stars to about
// magnitude 6.5 are drawn around the mount.
struct SkyBrightStar {
  int bsc;            // the catalogue's number
  float ra_hours;     // right ascension of J2000, hours in [0, 24)
  float dec_degrees;  // declination of J2000, degrees in [-90, 90]
  float magnitude;    // visual magnitude
};

// The catalogue, by number: sky_bright_star_count() entries.
const SkyBrightStar *sky_bright_stars();
int sky_bright_star_count();

// An instant in UTC as a two-part quasi Julian Date (utc1 + utc2), the form
// ERFA takes: a day that ends in a leap second is 86401 s long, so the leap
// second itself (23:59:60) has a date of its own.
struct SkyTime {
  double utc1;
  double utc2;
};

// A catalogue star: ICRS position at epoch J2000.0 and its proper motion.
struct SkyStar {
  const char *name;    // English (IAU) name; translated through gettext by the caller
  double ra_hours;     // right ascension, hours in [0, 24)
  double dec_degrees;  // declination, degrees in [-90, 90]
  double pm_ra_mas;    // proper motion in right ascension times cos(dec), mas per year
  double pm_dec_mas;   // proper motion in declination, mas per year
  double magnitude;    // visual magnitude
};

// The built-in table, brightest first; Polaris included. sky_star_count()
// entries, each with a distinct name.
const SkyStar *sky_stars();
int sky_star_count();
// The star called name (English, exact match), or nullptr.
const SkyStar *sky_find_star(const char *name);

// The instant of a UTC calendar date and time. second may reach 60.999... on a
// day that ends in a leap second. False (t untouched) for a date ERFA rejects
// (month 13, day 32, second 61, year before -4799) or a leap second on a day
// without one.
bool sky_time_from_calendar(int year, int month, int day, int hour, int minute, double second,
                            SkyTime *t);

// The instant of a POSIX time (seconds since 1970-01-01 00:00 UTC, leap seconds
// not counted, as the system clock keeps it).
SkyTime sky_time_from_unix(double seconds);

// UTC as "YYYY-MM-DD HH:MM:SS" (to the millisecond, then the fraction
// dropped), 23:59:60 in a leap second. "" for an instant with no calendar date.
std::string sky_format_utc(SkyTime t);

// Greenwich apparent sidereal time, radians in [0, 2*pi), at UTC instant t
// (IAU 2006/2000A; UT1 taken as UTC, which is within 0.9 s of it; TT from UTC
// through ERFA's table of leap seconds). False for an instant that ERFA cannot
// convert to TT (see sky_time_from_calendar). Past the table's last release
// the leap seconds are assumed unchanged.
bool sky_gast(SkyTime t, double *gast);

// Local apparent sidereal time, radians in [0, 2*pi), at east-positive
// longitude lon (radians). False where sky_gast is.
bool sky_local_sidereal_time(SkyTime t, double lon, double *last);

// The apparent geocentric place of date of a catalogue star at t: right
// ascension from the true equinox of date (ra, radians in [0, 2*pi)) and
// declination (dec, radians in [-pi/2, pi/2]), with proper motion, light
// deflection, annual aberration, precession and nutation; no refraction, no
// parallax (under 0.8 seconds of arc for every star of the table). False where
// sky_gast is.
bool sky_apparent_place(const SkyStar &star, SkyTime t, double *ra, double *dec);

// The apparent places of date at t of the first count stars of the bright
// star catalogue, as sky_apparent_place gives them (aberration, light
// deflection, precession and nutation; the catalogue's places are of J2000
// with no proper motion), into ra (radians in [0, 2*pi)) and dec (radians),
// each count long. The Earth's place and the frame are computed once for
// all. False, with nothing written, when t cannot be placed.
bool sky_bright_places(SkyTime t, int count, double *ra, double *dec);

// The Sun's apparent geocentric place of date at t, as sky_apparent_place
// gives a star's: the Earth's heliocentric position from ERFA's ephemeris
// (good to a few seconds of arc), then annual aberration, precession and
// nutation. The Sun moves so little in the 8 minutes its light takes that the
// light time is left out (0.01"). No parallax: the Sun's 9" does not reach
// 0.01 degree. False where sky_gast is.
bool sky_sun_place(SkyTime t, double *ra, double *dec);

// Hour angle (radians in (-pi, pi], positive west) of right ascension ra at
// local sidereal time last.
double sky_hour_angle(double last, double ra);

// Right ascension (radians in [0, 2*pi)) of hour angle ha at local sidereal
// time last.
double sky_right_ascension(double last, double ha);

// Reads a right ascension: hours, minutes and seconds with h m s marks, colons
// or spaces ("18h 36m 56.3s", "18:36:56.3", "18 36 56.3", "18h36m"), or decimal
// hours ("18.6156"); a decimal comma is read as a point. Only the last field may
// have a fraction; minutes and seconds are below 60; the whole is from 0 to 24
// hours (24 reads as 0). Radians in [0, 2*pi) through ra; false (ra untouched)
// for anything else, empty text included.
bool sky_parse_ra(const char *text, double *ra);

// Reads a declination: an optional sign (+, - or U+2212), then degrees,
// arcminutes and arcseconds marked with ° ′ ″ (or d m s, ' and "), colons or
// spaces ("+38° 47′ 01″", "+38:47:01", "-8 12"), or decimal degrees ("-8.2").
// The same rules as sky_parse_ra, within -90 to +90 degrees. Radians through
// dec; false (dec untouched) for anything else.
bool sky_parse_dec(const char *text, double *dec);

// A right ascension (radians, any value: taken modulo a turn) as
// "18h 36m 56.3s", rounded to a tenth of a second of time.
std::string sky_format_ra(double ra);

// A declination (radians in [-pi/2, pi/2]) as "+38° 47′ 01″", rounded to a
// second of arc; always signed.
std::string sky_format_dec(double dec);

// printf into a string, cut at 95 bytes (every text of the sky and of the
// LX200 protocol is far shorter); "" should the formatting fail.
template <typename... Args>
std::string sky_printed(const char *format, Args... args) {
  char text[96];
  const int n = std::snprintf(text, sizeof text, format, args...);
  return n < 0 ? std::string() : std::string(text);
}
