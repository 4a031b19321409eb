// Helpers shared by the pointing-geometry tests: degree conversion, angle
// differences modulo a turn, and a record of the worst deviation in a sweep
// together with the input that produced it.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "geometry/coord.h"

inline double deg(double d) {
  return d * kCoordPi / 180.0;
}

// |a - b| measured the short way round the circle, radians in [0, pi].
inline double turn_diff(double a, double b) {
  return std::fabs(std::remainder(a - b, kCoordTwoPi));
}

// Largest deviation seen in a sweep and where it happened.
struct Worst {
  double err = 0.0;
  std::string where;
};

// Keeps err when it is the worst so far (a NaN counts as the worst possible),
// describing the input with the given printf format.
template <typename... Args>
void worst_take(Worst *w, double err, const char *fmt, Args... args) {
  if (std::isnan(w->err) || err <= w->err) return;
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, args...);
  w->err = err;
  w->where = buf;
}

// Expects a sweep's worst deviation to be at most tol (radians), printing the
// input that produced it, and records it as a property of the test's report.
inline void expect_worst_within(const Worst &w, double tol, const char *name) {
  EXPECT_LE(w.err, tol) << name << " at " << w.where;
  testing::Test::RecordProperty(name, testing::PrintToString(w.err));
}
