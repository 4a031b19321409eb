// Scale set-up and coordinate synchronisation, driven through the real scales
// of a main window.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/support.h"
#include "controls/controls.h"
#include "controls_test_util.h"
#include "geometry/coord.h"

namespace {

constexpr double kPi = 3.141592653589793;
double rad(double d) {
  return d * kPi / 180.0;
}

// Difference of two values of a scale, modulo 360 degrees for a cyclic one.
double scale_diff(Scale s, double a, double b) {
  return kScaleRows[s].cyclic ? std::remainder(a - b, 360.0) : a - b;
}

std::string describe(const Snapshot &v) {
  std::string out;
  char buf[64];
  for (size_t i = 0; i < v.size(); ++i) {
    std::snprintf(buf, sizeof buf, " %s=%.17g", kScaleRows[i].name, v[i]);
    out += buf;
  }
  return out;
}

// Unit direction as (north, east, up).
using Vec = std::array<double, 3>;

// a1 swings the tube from the platform's forward direction (azimuth a3, level)
// toward the top of the horseshoe, which a2 tilts toward azimuth a3 - 90.
Vec axes_direction(double a1, double a2, double a3) {
  const Vec forward = {std::cos(a3), std::sin(a3), 0.0};
  const Vec top = {std::sin(a3) * std::sin(a2), -std::cos(a3) * std::sin(a2), std::cos(a2)};
  return {std::cos(a1) * forward[0] + std::sin(a1) * top[0],
          std::cos(a1) * forward[1] + std::sin(a1) * top[1],
          std::cos(a1) * forward[2] + std::sin(a1) * top[2]};
}

Vec horizontal_direction(double az, double alt) {
  return {std::cos(alt) * std::cos(az), std::cos(alt) * std::sin(az), std::sin(alt)};
}

// Components along the celestial pole (cos L, 0, sin L), the meridian's point
// on the equator (-sin L, 0, cos L) and the west point (0, -1, 0).
Vec equatorial_direction(double ha, double dec, double lat) {
  const double pole = std::sin(dec);
  const double meridian = std::cos(dec) * std::cos(ha);
  const double west = std::cos(dec) * std::sin(ha);
  return {pole * std::cos(lat) - meridian * std::sin(lat), -west,
          pole * std::sin(lat) + meridian * std::cos(lat)};
}

double distance(const Vec &a, const Vec &b) {
  return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                   (a[2] - b[2]) * (a[2] - b[2]));
}

// The scales describe one position: no NaN, the altitude at or above the
// limit, one pointing direction from the axes, from altitude and azimuth and
// from hour angle, declination and latitude (compared as vectors, since
// azimuth and hour angle are undetermined at the zenith and the pole), and the
// axes' field rotation shown, except where the pole leaves it undetermined.
testing::AssertionResult one_position(const Snapshot &v) {
  constexpr double kDirectionTol = 1e-7;  // radians
  constexpr double kFrotTolDeg = 1e-5;
  constexpr double kFrotDecLimitDeg = 89.99;
  for (size_t i = 0; i < v.size(); ++i) {
    if (std::isnan(v[i])) return testing::AssertionFailure() << kScaleRows[i].name << " is NaN";
  }
  if (v[kAlt] < kMinAltitudeDegrees) return testing::AssertionFailure() << "altitude below limit";
  const Vec axes = axes_direction(rad(v[kA1]), rad(v[kA2]), rad(v[kA3]));
  const Vec hor = horizontal_direction(rad(v[kAz]), rad(v[kAlt]));
  const Vec eq = equatorial_direction(rad(v[kHa]), rad(v[kDec]), rad(v[kLat]));
  if (distance(axes, hor) > kDirectionTol) {
    return testing::AssertionFailure() << "axes and alt/az differ by " << distance(axes, hor);
  }
  if (distance(eq, hor) > kDirectionTol) {
    return testing::AssertionFailure() << "ha/dec and alt/az differ by " << distance(eq, hor);
  }
  if (std::fabs(v[kDec]) < kFrotDecLimitDeg) {
    double frot;
    coord_a3_to_frot(&frot, rad(v[kA1]), rad(v[kA2]), rad(v[kA3]), rad(v[kLat]));
    const double d = scale_diff(kFrot, v[kFrot], frot * 180.0 / kPi);
    if (std::fabs(d) > kFrotTolDeg) {
      return testing::AssertionFailure() << "field rotation differs from the axes' by " << d;
    }
  }
  return testing::AssertionSuccess();
}

void count_emission(GtkRange *, gpointer count) {
  ++*static_cast<int *>(count);
}

TEST(ControlPanelSetUp, GivesEveryScaleItsRangeAndStartUpValueWithoutRunningAHandler) {
  LogCounter log;
  AppState *state = new_app_state();
  int emissions = 0;
  for (const ScaleRow &row : kScaleRows) {
    g_signal_connect(lookup_widget(state->main_window, row.name), "value-changed",
                     G_CALLBACK(count_emission), &emissions);
  }
  ctrl_init_scales(state);

  EXPECT_EQ(emissions, 0);
  EXPECT_EQ(state->updating, 0);
  for (const ScaleRow &row : kScaleRows) {
    SCOPED_TRACE(row.name);
    GtkWidget *scale = state->*row.field;
    ASSERT_EQ(scale, lookup_widget(state->main_window, row.name));
    GtkAdjustment *adj = gtk_range_get_adjustment(GTK_RANGE(scale));
    // Exact: all are small integers assigned as they are.
    EXPECT_EQ(gtk_adjustment_get_value(adj), row.start);
    EXPECT_EQ(gtk_adjustment_get_lower(adj), row.lower);
    EXPECT_EQ(gtk_adjustment_get_upper(adj), row.upper);
    EXPECT_EQ(gtk_adjustment_get_step_increment(adj), 1.0);
    EXPECT_EQ(gtk_adjustment_get_page_increment(adj), 10.0);
    EXPECT_EQ(gtk_adjustment_get_page_size(adj), 0.0);  // so the upper end is reachable
  }
  gtk_widget_destroy(state->main_window);
  g_free(state);
  EXPECT_EQ(log.count(), 0);
}

TEST(ControlPanelSetUpDeathTest, AMissingScaleStopsSetUpWithAMessageNamingIt) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Fault {
    const char *name, *how;
  };
  for (const Fault f : {Fault{"dec_scale", "unregistered"}, Fault{"az_scale", "a label"}}) {
    SCOPED_TRACE(f.how);
    AppState *state = new_app_state();
    GObject *window = G_OBJECT(state->main_window);
    g_object_set_data(
        window, f.name,
        std::string(f.how) == "a label" ? g_object_get_data(window, "label2") : nullptr);
    EXPECT_EXIT(ctrl_init_scales(state), testing::ExitedWithCode(1),
                std::string("no scale named \"") + f.name + "\"");
    gtk_widget_destroy(state->main_window);
    g_free(state);
  }
}

// The nine coordinate scales, in the order alt, az, ha, dec, frot, a1, a2, a3, lat.
using Coords = std::array<double, 9>;
constexpr Coords kStart = {45, 180, 0, 0, 0, 45, 0, 180, 45};

struct Step {
  Scale scale;
  double value;  // degrees, or the slider's percentage when by_slider
  Coords want;
  bool by_slider = false;
};
struct Case {
  const char *name;
  std::vector<Step> steps;
};

TEST_F(ControlPanel, MovesFromStartUpGiveTheExpectedPositions) {
  const Case cases[] = {
      {"altitude 0.99 is refused", {{kAlt, 0.99, kStart}}},
      {"altitude exactly at the limit is accepted",
       {{kAlt, 1.0, {1, 180, 0, -44, 0, 1, 0, 180, 45}}}},
      {"a1 at the horizon is refused", {{kA1, 0, kStart}}},
      {"a declination below the limit is refused", {{kDec, -50, kStart}}},
      {"a slider dragged below the limit is refused", {{kAlt, 0.5, kStart, true}}},
      {"latitude moves only the declination", {{kLat, 30, {45, 180, 0, -15, 0, 45, 0, 180, 30}}}},
      {"field rotation turns only the axes", {{kFrot, 90, {45, 180, 0, 0, 90, 90, -45, 90, 45}}}},
      {"through the north pole and back",
       {{kAz, 0, {45, 0, 0, 90, 0, 135, 0, 180, 45}},
        {kAlt, 46, {46, 0, 0, 89, 0, 134, 0, 180, 45}},
        {kAlt, 44, {44, 0, 180, 89, 180, 136, 0, 180, 45}},
        {kAlt, 46, {46, 0, 0, 89, 0, 134, 0, 180, 45}}}},
      {"azimuth 360 is north too", {{kAz, 360, {45, 360, 0, 90, 0, 135, 0, 180, 45}}}},
      {"the azimuth slider dragged to its right end reaches the pole",
       {{kAz, 100, {45, 360, 0, 90, 0, 135, 0, 180, 45}, true}}},
      {"a fraction of an arc second off the pole is on it",
       {{kAz, 359.9999, {45, 360, 0, 90, 0, 135, 0, 180, 45}},
        {kAlt, 45.0002, {45, 360, 0, 90, 0, 135, 0, 180, 45}}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step &step = c.steps[i];
      SCOPED_TRACE("step " + std::to_string(i + 1));
      if (step.by_slider) {
        gtk_test_slider_set_perc(scale(step.scale), step.value);
      } else {
        set(step.scale, step.value);
      }
      const Snapshot now = snapshot();
      for (size_t k = 0; k < step.want.size(); ++k) {
        SCOPED_TRACE(kScaleRows[k].name);
        EXPECT_NEAR(scale_diff(static_cast<Scale>(k), now[k], step.want[k]), 0.0, 1e-9);
      }
      EXPECT_TRUE(one_position(now)) << describe(now);
    }
  }
}

TEST_F(ControlPanel, AStepAcrossTheAzimuthSeamMovesTheAxesALittle) {
  set(kA3, 0.5);
  set(kA1, 30);
  ASSERT_NEAR(get(kAz), 0.5, 1e-9);
  ASSERT_NEAR(get(kAlt), 30, 1e-9);
  const Snapshot before = snapshot();

  set(kAz, 0.2);  // a3 goes from 0.5 to about 359.8
  EXPECT_NEAR(get(kFrot), before[kFrot], 1e-9);
  EXPECT_NEAR(get(kA1), 30, 0.5);
  EXPECT_NEAR(get(kA2), 0, 1.0);
  EXPECT_NEAR(scale_diff(kA3, get(kA3), 0.5), 0, 1.0);
  EXPECT_TRUE(one_position(snapshot())) << describe(snapshot());

  set(kAz, 0.5);
  for (Scale s : {kA1, kA2, kA3, kFrot}) {
    SCOPED_TRACE(kScaleRows[s].name);
    EXPECT_NEAR(scale_diff(s, get(s), before[s]), 0, 1e-9);
  }
}

struct Spy {
  std::vector<Scale> *log;
  Scale scale;
};
void record_change(GtkRange *, gpointer spy) {
  const Spy *s = static_cast<Spy *>(spy);
  s->log->push_back(s->scale);
}

// A nested handler that ran would write scales of its own, and so show up in
// the log as extra or out-of-order changes. The spies run after the
// dispatchers, so the moved scale's own change is logged last, once its
// handler has finished.
TEST_F(ControlPanel, AMoveChangesEachOtherScaleOnceInOrderAndNestedEmissionsDoNothing) {
  struct Row {
    const char *name;
    Scale moved;
    double value;
    std::vector<Scale> want;
  };
  const Row rows[] = {
      {"axes", kA2, 10, {kHa, kDec, kAz, kAlt, kFrot, kA2}},
      {"equatorial", kHa, 20, {kAz, kAlt, kA1, kA2, kA3, kHa}},
      {"horizontal", kAz, 170, {kHa, kDec, kA1, kA2, kA3, kAz}},
      {"field rotation", kFrot, 30, {kA1, kA2, kA3, kFrot}},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    TearDown();
    SetUp();
    std::vector<Scale> log;
    std::array<Spy, 11> spies;
    for (size_t i = 0; i < spies.size(); ++i) {
      spies[i] = {&log, static_cast<Scale>(i)};
      g_signal_connect(scale(static_cast<Scale>(i)), "value-changed", G_CALLBACK(record_change),
                       &spies[i]);
    }
    set(row.moved, row.value);
    EXPECT_EQ(log, row.want);
    EXPECT_EQ(state_->updating, 0);
    for (size_t i = 0; i < spies.size(); ++i) {
      g_signal_handlers_disconnect_by_data(scale(static_cast<Scale>(i)), &spies[i]);
    }
  }
}

TEST_F(ControlPanel, CameraScalesChangeNothingBeforeTheViewExists) {
  const Snapshot before = snapshot();
  set(kCalt, 30);
  set(kCaz, 90);
  const Snapshot after = snapshot();
  for (size_t i = 0; i < kCalt; ++i) EXPECT_EQ(after[i], before[i]) << kScaleRows[i].name;  // exact
  EXPECT_EQ(after[kCalt], 30.0);
  EXPECT_EQ(after[kCaz], 90.0);
}

// Random scales to random values, with weight on the places where things go
// wrong: the ends of the ranges and beyond, the altitude limit, the north
// celestial pole, the 0/360 seam, tiny steps, and values copied from another
// scale (altitude = latitude is the pole when the azimuth is north).
TEST_F(ControlPanel, RandomMovesKeepTheScalesDescribingOnePosition) {
  constexpr int kMoves = 12000;
  std::mt19937 rng(20240611);
  auto uniform = [&](double a, double b) { return std::uniform_real_distribution<>(a, b)(rng); };
  auto pick = [&](std::initializer_list<double> v) { return v.begin()[rng() % v.size()]; };
  int at_pole = 0, refused = 0, field_turned = 0;

  for (int move = 0; move < kMoves; ++move) {
    const Scale s = static_cast<Scale>(rng() % kScaleRows.size());
    const ScaleRow &row = kScaleRows[s];
    const double span = row.upper - row.lower;
    double value = 0;
    bool by_slider = false;
    switch (rng() % 8) {
      case 0:
        value = pick({row.lower, row.upper});
        break;
      case 1:
        value = uniform(row.lower - 0.2 * span, row.upper + 0.2 * span);
        break;
      case 2:
        value = get(static_cast<Scale>(rng() % kScaleRows.size()));
        break;
      case 3:
        value = get(s) + pick({-1, 1}) * std::pow(10.0, -static_cast<int>(rng() % 10));
        break;
      case 4:
        value = s == kAlt   ? get(kLat) + pick({0, 1e-4, -1e-4})
                : s == kAz  ? pick({0, 360, 1e-4, 360 - 1e-4, 0.2, 359.8})
                : s == kDec ? pick({90, 89.9999, -90})
                : s == kLat ? get(kAlt)
                            : uniform(row.lower, row.upper);
        break;
      case 5:
        value = s == kAlt ? pick({1, 1 - 1e-9, 1 + 1e-9, 0.99}) : uniform(row.lower, row.upper);
        break;
      case 6:
        value = uniform(0, 100), by_slider = true;
        break;
      default:
        value = uniform(row.lower, row.upper);
        break;
    }

    const Snapshot before = snapshot();
    if (by_slider) {
      gtk_test_slider_set_perc(scale(s), value);
    } else {
      set(s, value);
    }
    const Snapshot after = snapshot();
    const testing::AssertionResult ok = one_position(after);
    ASSERT_TRUE(ok) << "move " << move << ": " << row.name << (by_slider ? " slider % " : " = ")
                    << value << "\nbefore:" << describe(before) << "\nafter: " << describe(after);
    ASSERT_EQ(state_->updating, 0) << "move " << move;

    const double turn = std::fabs(scale_diff(kFrot, after[kFrot], before[kFrot]));
    at_pole += std::fabs(after[kDec]) >= 89.99;
    refused += s <= kLat && !by_slider && value >= row.lower && value <= row.upper &&
               std::fabs(value - before[s]) > 1e-3 && std::fabs(after[s] - before[s]) < 1e-6;
    field_turned += (s == kAlt || s == kAz) && std::fabs(turn - 180) < 1e-6;
  }
  // The walk must really have been where the rules apply.
  EXPECT_GT(at_pole, 100);
  EXPECT_GT(refused, 100);
  EXPECT_GT(field_turned, 20);
  std::printf("%d moves: %d at a pole, %d refused, %d turned the field\n", kMoves, at_pole, refused,
              field_turned);
}

}  // namespace
