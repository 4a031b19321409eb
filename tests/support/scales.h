// The eleven scales of the control panel as tests see them, and the check
// that they describe one position of the telescope.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <array>
#include <cmath>

#include "app/app_state.h"
#include "geometry/coord.h"

// The eleven scales in the AppState's order, with start-up values and ranges
// in degrees.
struct ScaleRow {
  const char *name;
  GtkWidget *AppState::*field;
  double start, lower, upper;  // a scale spanning 360 degrees is a circle
};
inline const ScaleRow kScaleRows[] = {
    {"alt_scale", &AppState::alt_scale, 45, 0, 90},
    {"az_scale", &AppState::az_scale, 180, 0, 360},
    {"ha_scale", &AppState::ha_scale, 0, -180, 180},
    {"dec_scale", &AppState::dec_scale, 0, -90, 90},
    {"frot_scale", &AppState::frot_scale, 0, 0, 360},
    {"a1_scale", &AppState::a1_scale, 45, 0, 180},
    {"a2_scale", &AppState::a2_scale, 0, -90, 90},
    {"a3_scale", &AppState::a3_scale, 180, 0, 360},
    {"lat_scale", &AppState::lat_scale, 45, -90, 90},
    {"calt_scale", &AppState::calt_scale, 0, -90, 90},
    {"caz_scale", &AppState::caz_scale, 180, 0, 360},
};
// Indices into kScaleRows and Snapshot.
enum Scale { kAlt, kAz, kHa, kDec, kFrot, kA1, kA2, kA3, kLat, kCalt, kCaz, kScales };
using Snapshot = std::array<double, kScales>;

// The scales' values, in kScaleRows' order.
inline Snapshot snapshot_of(const AppState *state) {
  Snapshot v;
  for (int i = 0; i < kScales; ++i)
    v[i] = gtk_range_get_value(GTK_RANGE(state->*kScaleRows[i].field));
  return v;
}

// Difference of two values of a scale, modulo 360 degrees for one that spans a circle.
inline double scale_diff(Scale s, double a, double b) {
  const bool circle = kScaleRows[s].upper - kScaleRows[s].lower == 360;
  return circle ? std::remainder(a - b, 360.0) : a - b;
}

// The scales describe one position: no NaN, the altitude at or above the
// limit, one pointing direction (north, east, up) from the axes, from altitude
// and azimuth and from hour angle, declination and latitude (compared as
// vectors, since azimuth and hour angle are undetermined at the zenith and the
// pole), and the axes' field rotation shown, except where the pole leaves it
// undetermined.
inline testing::AssertionResult one_position(const Snapshot &degrees) {
  using std::cos, std::sin;
  Snapshot v;  // radians
  for (int i = 0; i < kScales; ++i) {
    if (std::isnan(degrees[i])) return testing::AssertionFailure() << kScaleRows[i].name << " NaN";
    v[i] = degrees[i] * kCoordPi / 180.0;
  }
  if (degrees[kAlt] < kMinAltitudeDegrees) return testing::AssertionFailure() << "below limit";
  using Vec = std::array<double, 3>;
  const Vec hor = {cos(v[kAlt]) * cos(v[kAz]), cos(v[kAlt]) * sin(v[kAz]), sin(v[kAlt])};
  // a1 swings the tube from the platform's forward direction (azimuth a3,
  // level) toward the top of the horseshoe, which a2 tilts toward azimuth a3 - 90.
  const double c1 = cos(v[kA1]), s1 = sin(v[kA1]);
  const Vec axes = {c1 * cos(v[kA3]) + s1 * sin(v[kA3]) * sin(v[kA2]),
                    c1 * sin(v[kA3]) - s1 * cos(v[kA3]) * sin(v[kA2]), s1 * cos(v[kA2])};
  // From the components along the celestial pole (cos L, 0, sin L), the
  // meridian's point on the equator (-sin L, 0, cos L) and the west (0, -1, 0).
  const double pole = sin(v[kDec]), meridian = cos(v[kDec]) * cos(v[kHa]);
  const Vec eq = {pole * cos(v[kLat]) - meridian * sin(v[kLat]), -cos(v[kDec]) * sin(v[kHa]),
                  pole * sin(v[kLat]) + meridian * cos(v[kLat])};
  for (const Vec *other : {&axes, &eq}) {
    const double d = std::hypot((*other)[0] - hor[0], (*other)[1] - hor[1], (*other)[2] - hor[2]);
    if (d > 1e-7) {
      return testing::AssertionFailure() << (other == &axes ? "axes" : "ha/dec") << " off by " << d;
    }
  }
  double frot;
  coord_a3_to_frot(&frot, v[kA1], v[kA2], v[kA3], v[kLat]);
  const double d = scale_diff(kFrot, degrees[kFrot], frot * 180.0 / kCoordPi);
  if (std::fabs(degrees[kDec]) < 89.99 && std::fabs(d) > 1e-5) {
    return testing::AssertionFailure() << "field rotation differs from the axes' by " << d;
  }
  return testing::AssertionSuccess();
}
