// A night's chart of one target: where the three axes go as the mount tracks
// it, how fast, whether the field stays put, beside what an alt-az mount would
// need for the same star, and the Sun. Pure functions of their arguments, no
// toolkit and no clock. Instants are POSIX seconds (UTC), angles degrees,
// rates degrees per second.
#pragma once

#include <string>
#include <vector>

#include "mount/mount.h"
#include "sky/sky.h"

// The Sun's altitude that ends the evening's twilight and begins the
// morning's, degrees.
constexpr double kChartTwilight = -12.0;
// The default step between samples, seconds.
constexpr double kChartStep = 60.0;

// What to chart: a star of the table, or an apparent place of date.
struct ChartRequest {
  const SkyStar *star = nullptr;        // the star, or nullptr for ra and dec
  double ra = 0, dec = 0;               // apparent place of date when star is nullptr, degrees
  double latitude = 45;                 // degrees, north positive, in [-90, 90]
  double longitude = 0;                 // degrees, east positive, in [-180, 180]
  int year = 2026, month = 1, day = 1;  // the date whose night is charted
  double field_rotation = 0;            // the field rotation the mount holds, degrees
  MountLimits limits = mount_default_limits();
  double step = kChartStep;  // seconds between samples, in [1, 3600]
};

// One instant of the chart. The axis fields mean something only where
// reachable is true.
struct ChartSample {
  double utc = 0;                      // the instant
  double lst = 0;                      // local apparent sidereal time, hours in [0, 24)
  double altitude = 0;                 // the target's, degrees in [-90, 90]
  double azimuth = 0;                  // from north through east, degrees in [0, 360)
  double hour_angle = 0;               // degrees in (-180, 180], positive west
  bool reachable = false;              // at or above the mount's altitude limit (1 degree)
  MountAxes axes = {0, 0, 0};          // a1, a2, a3 (a3 in [0, 360)) tracking it
  double field_rotation = 0;           // of those axes, degrees in [0, 360)
  MountAxes rate = {0, 0, 0};          // each axis's rate, signed
  MountAxes acceleration = {0, 0, 0};  // each axis's acceleration, degrees per second squared
  unsigned too_fast = 0;               // bit i: axis i needs more than its top speed
  unsigned too_quick = 0;              // bit i: axis i needs more than its acceleration
  double altaz_azimuth_rate = 0;       // an alt-az mount's, signed
  double altaz_altitude_rate = 0;      // signed
  double altaz_field_rate = 0;         // its field's turn, signed (the parallactic angle's rate)
  double sun_altitude = 0;             // degrees
};

enum class ChartEventKind {
  kRise,     // the target climbs through the altitude limit
  kSet,      // it sinks through the limit
  kTransit,  // it crosses the meridian above the pole (hour angle 0)
  kDusk,     // the Sun sinks through kChartTwilight
  kDawn,     // it climbs through kChartTwilight
};

struct ChartEvent {
  ChartEventKind kind;
  double utc;  // the instant, to about a second
};

struct Chart {
  ChartRequest request;
  std::string name;           // the star's English name, or "" for a place
  double ra = 0, dec = 0;     // the target's apparent place of date at the night's middle
  double start = 0, end = 0;  // the span, start <= every sample's utc <= end
  bool whole_day = false;     // the Sun neither set nor rose through kChartTwilight
  std::vector<ChartSample> samples;
  std::vector<ChartEvent> events;  // in time order, within the span
};

// The span charted for a date at a longitude and latitude: from the Sun's
// sinking through kChartTwilight after local noon (noon at the longitude,
// 12:00 UTC less longitude / 15 hours) to its next climb through it. Where
// the Sun does not cross twice in the 36 hours from local noon (polar day or
// night) the 24 hours from local noon, and whole_day true. False for a date
// that the sky library cannot place.
bool chart_night(int year, int month, int day, double latitude, double longitude, double *start,
                 double *end, bool *whole_day);

// The date whose night is under way or next at utc and longitude: the date of
// mean solar time there, the day before while it is still morning (before
// noon), so that at 1 a.m. it is the night that began the evening before.
void chart_tonight(double utc, double longitude, int *year, int *month, int *day);

// The Sun's altitude at utc seen from latitude and longitude, degrees;
// refraction left out. NaN where the sky library cannot place utc.
double chart_sun_altitude(double utc, double latitude, double longitude);

// Computes the chart that request asks for. False, with a one-line reason in
// *error (English, in the catalogues: the caller translates it), for a latitude outside [-90, 90],
// a longitude outside [-180, 180], a declination outside [-90, 90], a step
// outside [1, 3600], limits that mount_limits_valid refuses, or a date the sky
// library cannot place.
bool chart_compute(const ChartRequest &request, Chart *chart, std::string *error);

// The chart as CSV: a header line, then one line per sample, "." as decimal
// separator whatever the locale, the axis columns empty where the target is
// below the limit.
std::string chart_csv(const Chart &chart);

// The ISO 8601 form of utc to the second, "2026-06-21T20:15:00Z".
std::string chart_format_utc(double utc);

// Reads a date "YYYY-MM-DD" (a real calendar date, year 1000 to 9999). False
// (outputs untouched) for anything else.
bool chart_parse_date(const char *text, int *year, int *month, int *day);

// The star of the table called name, in any case (ASCII), or nullptr.
const SkyStar *chart_find_star(const char *name);

// Reads a target as the command line gives it: a star's name as
// chart_find_star takes it, or "RA,DEC" of date in the forms sky_parse_ra and
// sky_parse_dec read, split at the one comma that leaves both readable. Sets
// request->star, or request->ra and dec (degrees) with star nullptr. False
// (request untouched) for anything else, text that splits two ways
// ("18,5,38") included.
bool chart_parse_target(const char *text, ChartRequest *request);
