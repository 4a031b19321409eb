// The control panel on a real main window, set up as main sets it up: scale
// set-up, the synchronisation of the eleven scales, the redraw requests and the
// camera handler (on drawing areas of the test's own).
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "app/interface.h"
#include "app/support.h"
#include "controls/controls.h"
#include "geometry/coord.h"
#include "support/gl_test_util.h"
#include "support/gtk_test_util.h"
#include "support/scales.h"
#include "support/x_input.h"

namespace {

// An AppState as main allocates it, with the main window but no drawing area.
AppState *new_app_state() {
  AppState *state = g_new0(AppState, 1);
  state->min_altitude = kMinAltitudeDegrees;
  state->main_window = create_main_window();
  return state;
}

// Counts the warnings and criticals that reach GLib's default log handler,
// the toolkit's g_return_if_fail failures among them.
void count_log(const gchar *domain, GLogLevelFlags level, const gchar *message, gpointer count) {
  if ((level & (G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_ERROR)) &&
      !is_environment_message(domain, message)) {
    ++*static_cast<int *>(count);
  }
  g_log_default_handler(domain, level, message, nullptr);
}

// A set-up control panel. Every test also checks that nothing logged a warning
// or critical, which is how a redraw request without a drawing area fails.
class ControlPanel : public testing::Test {
 protected:
  void SetUp() override {
    previous_log_ = g_log_set_default_handler(count_log, &logged_);
    state_ = new_app_state();
    ctrl_init_scales(state_);
  }
  void TearDown() override {
    gtk_widget_destroy(state_->main_window);
    g_free(state_);
    g_log_set_default_handler(previous_log_, nullptr);
    EXPECT_EQ(logged_, 0) << "warnings or criticals were logged";
  }
  // Starts again from a freshly set-up panel, for tests that loop over cases.
  void Restart() {
    TearDown();
    SetUp();
  }

  GtkWidget *scale(Scale s) const { return state_->*kScaleRows[s].field; }
  double get(Scale s) const { return gtk_range_get_value(GTK_RANGE(scale(s))); }
  void set(Scale s, double v) { gtk_range_set_value(GTK_RANGE(scale(s)), v); }
  Snapshot snapshot() const {
    Snapshot v;
    for (int i = 0; i < kScales; ++i) v[i] = get(static_cast<Scale>(i));
    return v;
  }

  int logged_ = 0;
  GLogFunc previous_log_ = nullptr;
  AppState *state_ = nullptr;
};

TEST_F(ControlPanel, SetUpGivesEveryScaleItsRangeAndStartUpValueWithoutRunningAHandler) {
  gtk_widget_destroy(state_->main_window);
  state_->main_window = create_main_window();
  int emissions = 0;
  for (const ScaleRow &row : kScaleRows) {
    g_signal_connect_swapped(lookup_widget(state_->main_window, row.name), "value-changed",
                             G_CALLBACK(+[](int *n) { ++*n; }), &emissions);
  }
  ctrl_init_scales(state_);
  EXPECT_EQ(emissions, 0);
  EXPECT_EQ(state_->updating, 0);
  for (const ScaleRow &row : kScaleRows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(state_->*row.field, lookup_widget(state_->main_window, row.name));
    GtkAdjustment *adj = gtk_range_get_adjustment(GTK_RANGE(state_->*row.field));
    // Exact: small integers assigned as they are. Page size 0 makes the upper end reachable.
    const std::array<double, 6> got = {
        gtk_adjustment_get_value(adj),          gtk_adjustment_get_lower(adj),
        gtk_adjustment_get_upper(adj),          gtk_adjustment_get_step_increment(adj),
        gtk_adjustment_get_page_increment(adj), gtk_adjustment_get_page_size(adj)};
    EXPECT_EQ(got, (std::array<double, 6>{row.start, row.lower, row.upper, 1, 10, 0}));
  }
}

TEST(ControlPanelSetUpDeathTest, AMissingScaleStopsSetUpWithAMessageNamingIt) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // A name that is not registered at all, and one registered for a label.
  for (const auto &fault :
       {std::make_pair("dec_scale", ""), std::make_pair("az_scale", "label2")}) {
    SCOPED_TRACE(fault.first);
    AppState *state = new_app_state();
    GObject *window = G_OBJECT(state->main_window);
    g_object_set_data(window, fault.first,
                      *fault.second ? g_object_get_data(window, fault.second) : nullptr);
    EXPECT_EXIT(ctrl_init_scales(state), testing::ExitedWithCode(1),
                std::string("no scale named \"") + fault.first + "\"");
    gtk_widget_destroy(state->main_window);
    g_free(state);
  }
}

// The nine coordinate scales, in the order alt, az, ha, dec, frot, a1, a2, a3, lat.
using Coords = std::array<double, 9>;
constexpr Coords kStart = {45, 180, 0, 0, 0, 45, 0, 180, 45};

TEST_F(ControlPanel, MovesGiveTheExpectedPositionsAndRefuseThoseBelowTheLimit) {
  struct Step {
    Scale scale;
    double value;
    Coords want;
  };
  struct Case {
    const char *name;
    std::vector<Step> steps;
  };
  const Coords at_limit = {1, 180, 0, -44, 0, 1, 0, 180, 45};
  const Coords at_limit_lat_30 = {1, 180, 0, -59, 0, 1, 0, 180, 30};
  const Coords on_pole = {45, 0, 0, 90, 0, 135, 0, 180, 45};
  const Coords past_pole = {46, 0, 0, 89, 0, 134, 0, 180, 45};
  const Case cases[] = {
      {"altitude 0.99 is refused", {{kAlt, 0.99, kStart}}},
      {"a1 at the horizon is refused", {{kA1, 0, kStart}}},
      {"declination -50 is refused", {{kDec, -50, kStart}}},
      // Recomputed from the axes, the altitude comes out a hair under 1.
      {"at the limit: accepted, latitude moves, reads 1, refuses below",
       {{kAlt, 1.0, at_limit}, {kLat, 30, at_limit_lat_30}, {kAlt, 0.5, at_limit_lat_30}}},
      {"latitude moves only the declination", {{kLat, 30, {45, 180, 0, -15, 0, 45, 0, 180, 30}}}},
      {"field rotation turns only the axes", {{kFrot, 90, {45, 180, 0, 0, 90, 90, -45, 90, 45}}}},
      {"through the north pole and back",
       {{kAz, 0, on_pole},
        {kAlt, 46, past_pole},
        {kAlt, 44, {44, 0, 180, 89, 180, 136, 0, 180, 45}},
        {kAlt, 46, past_pole}}},
      {"just off the pole the tube is put exactly on it",
       {{kAlt, 45.0002, {45.0002, 180, 0, 0.0002, 0, 45.0002, 0, 180, 45}}, {kAz, 0, on_pole}}},
      {"azimuth just below 360 counts as north", {{kAz, 359.9999, on_pole}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Restart();
    for (size_t i = 0; i < c.steps.size(); ++i) {
      SCOPED_TRACE("step " + std::to_string(i + 1));
      set(c.steps[i].scale, c.steps[i].value);
      const Snapshot now = snapshot();
      for (size_t k = 0; k < c.steps[i].want.size(); ++k) {
        const Scale s = static_cast<Scale>(k);
        EXPECT_NEAR(scale_diff(s, now[k], c.steps[i].want[k]), 0.0, 1e-9) << kScaleRows[k].name;
      }
      EXPECT_TRUE(one_position(now)) << testing::PrintToString(now);
    }
  }
}

TEST_F(ControlPanel, AStepAcrossTheAzimuthSeamMovesTheAxesALittle) {
  set(kA3, 0.5);
  set(kA1, 30);
  const Snapshot before = snapshot();
  ASSERT_NEAR(before[kAz], 0.5, 1e-9);
  set(kAz, 0.2);  // a3 goes from 0.5 to about 359.8: a small step, not a pass through the pole
  EXPECT_NEAR(get(kFrot), before[kFrot], 1e-9);
  for (Scale s : {kA1, kA2, kA3}) {
    EXPECT_NEAR(scale_diff(s, get(s), before[s]), 0, 1.0) << kScaleRows[s].name;
  }
  EXPECT_TRUE(one_position(snapshot())) << testing::PrintToString(snapshot());
  set(kAz, 0.5);
  for (Scale s : {kA1, kA2, kA3, kFrot}) {
    EXPECT_NEAR(scale_diff(s, get(s), before[s]), 0, 1e-9) << kScaleRows[s].name;
  }
}

// The scales that a refused move of a scale in the same group writes back.
int group_of(Scale s) {
  switch (s) {
    case kAlt:
    case kAz:
      return 0;
    case kHa:
    case kDec:
      return 1;
    case kA1:
    case kA2:
    case kA3:
      return 2;
    default:
      return 3 + s;
  }
}

// Bit-exact equality: a scale that nothing wrote keeps the very same double.
bool same_bits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// The moves below arrive as a user makes them: key presses into the shown
// scales, or the slider dragged to a percentage, with the main loop pumped
// after each. A refusal writes the moved scale back from inside that scale's
// own "value-changed"; the toolkit delivers that write's emission only after
// the handler has returned, which a setter called from a test would not show.
struct UserMove {
  Scale scale;
  guint key;       // a key pressed on the scale, or 0 to drag the slider
  double percent;  // where the slider is dragged to, when key is 0
};

class ControlPanelByHand : public ControlPanel {
 protected:
  void SetUp() override {
    ControlPanel::SetUp();
    gtk_widget_show(state_->main_window);
    settle();
  }
  // Presses and releases a key on a scale.
  bool press(Scale s, guint key) { return press_key(scale(s), key); }
  // Makes the move and records every value each scale passes through. An
  // emission hook sees a value before any handler of the emission has run,
  // so it also sees a move that is then refused and written back.
  void make(const UserMove &m) {
    for (auto &v : seen_) v.clear();
    const guint signal = g_signal_lookup("value-changed", GTK_TYPE_RANGE);
    const gulong hook = g_signal_add_emission_hook(signal, 0, record_value, this, nullptr);
    if (m.key) {
      ASSERT_TRUE(press(m.scale, m.key));
    } else {
      gtk_test_slider_set_perc(scale(m.scale), m.percent);
    }
    settle();
    g_signal_remove_emission_hook(signal, hook);
  }
  static gboolean record_value(GSignalInvocationHint *, guint, const GValue *params,
                               gpointer self) {
    auto *panel = static_cast<ControlPanelByHand *>(self);
    GObject *range = G_OBJECT(g_value_get_object(&params[0]));
    for (int i = 0; i < kScales; ++i) {
      if (G_OBJECT(panel->scale(static_cast<Scale>(i))) == range) {
        panel->seen_[i].push_back(gtk_range_get_value(GTK_RANGE(range)));
      }
    }
    return TRUE;
  }
  std::array<std::vector<double>, kScales> seen_;
};

TEST_F(ControlPanelByHand, ARefusedMoveChangesNoScaleThatItsRefusalDoesNotWriteBack) {
  struct Case {
    const char *name;
    std::vector<UserMove> before;  // moves that lead to the starting position
    UserMove refused;
    double tried;  // the value the moved scale briefly took
  };
  const Case cases[] = {
      {"altitude 0.99", {}, {kAlt, 0, 1.1}, 0.99},
      {"declination -90", {}, {kDec, GDK_KEY_Home, 0}, -90},
      {"a1 on the horizon", {}, {kA1, GDK_KEY_Home, 0}, 0},
      {"a1 on the horizon with the tube on the pole",
       {{kAz, GDK_KEY_Home, 0}},
       {kA1, GDK_KEY_Home, 0},
       0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Restart();
    for (const UserMove &m : c.before) make(m);
    const Snapshot before = snapshot();
    make(c.refused);
    const Snapshot after = snapshot();
    // The move did reach the scale before it was refused.
    const auto &tried = seen_[c.refused.scale];
    EXPECT_NE(std::find_if(tried.begin(), tried.end(),
                           [&](double v) { return std::fabs(v - c.tried) < 1e-9; }),
              tried.end());
    for (int i = 0; i < kScales; ++i) {
      const Scale s = static_cast<Scale>(i);
      SCOPED_TRACE(kScaleRows[i].name);
      if (group_of(s) != group_of(c.refused.scale)) {
        EXPECT_TRUE(same_bits(after[i], before[i])) << before[i] << " became " << after[i];
      } else {
        EXPECT_NEAR(scale_diff(s, after[i], before[i]), 0.0, 1e-9);
      }
    }
    EXPECT_EQ(state_->updating, 0);
  }
}

TEST_F(ControlPanelByHand, AMoveRightAfterARefusedOneIsSynchronisedAndThePoleRuleRunsOnce) {
  // Both keys are pressed before the main loop runs: the second arrives as
  // soon as the first has been refused.
  for (Scale s : {kA1, kDec}) {
    SCOPED_TRACE(kScaleRows[s].name);
    Restart();
    ASSERT_TRUE(press(s, GDK_KEY_Home));
    ASSERT_TRUE(press(s, GDK_KEY_Right));
    settle();
    EXPECT_NEAR(get(s), kStart[s] + 1, 1e-9);
    EXPECT_NEAR(get(kAlt), 46, 1e-9);  // either way the tube rises by one degree
    EXPECT_TRUE(one_position(snapshot())) << testing::PrintToString(snapshot());
  }

  // Azimuth a hair east of north at altitude = latitude: the pole rule writes
  // the azimuth, the scale being moved, back to exactly 0.
  Restart();
  const Snapshot before = snapshot();
  make({kAz, 0, 0.0001 / 3.6});
  EXPECT_EQ(get(kAz), 0.0);  // exact: written as the constant
  EXPECT_EQ(get(kAlt), 45.0);
  EXPECT_TRUE(same_bits(get(kHa), before[kHa]));
  EXPECT_NEAR(get(kDec), 90, 1e-9);
  EXPECT_NEAR(get(kA1), 135, 1e-9);
  EXPECT_TRUE(one_position(snapshot())) << testing::PrintToString(snapshot());
  for (int i = 0; i < kScales; ++i) {
    if (i != kAz) {
      EXPECT_LE(seen_[i].size(), 1u) << kScaleRows[i].name << " changed twice";
    }
  }
}

// The mouse works a scale as on GTK+ 2, in both builds: a click in the trough
// beside the slider moves it a page toward the click, and a wheel notch two
// steps, up toward the lower end. Altitude starts at 45 of 0 to 90, its slider
// in the middle of the trough; its value is drawn above the trough.
TEST_F(ControlPanelByHand, TroughClicksMoveAPageAndWheelNotchesTwoStepsDownward) {
  struct Case {
    const char *name;
    unsigned button;
    double at;  // fraction of the scale's width
    double want;
  };
  const Case cases[] = {{"click left of the slider", 1, 0.1, 35},
                        {"click right of the slider", 1, 0.9, 45},
                        {"wheel up", 4, 0.5, 43},
                        {"wheel down", 5, 0.5, 45}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    click(scale(kAlt), c.button, c.at, 0.75);
    settle();
    EXPECT_NEAR(get(kAlt), c.want, 1e-9);
    EXPECT_TRUE(one_position(snapshot())) << testing::PrintToString(snapshot());
  }
}

void record_change(GtkRange *range, gpointer log) {
  const auto s = static_cast<Scale>(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(range), "index")));
  static_cast<std::vector<Scale> *>(log)->push_back(s);
}

// A nested handler that ran would write scales of its own, so some scale would
// change twice. The spies run after the dispatchers, so the moved scale's own
// change comes last, once its handler has finished.
TEST_F(ControlPanel, AMoveChangesEachOtherScaleOnceAndNestedEmissionsDoNothing) {
  struct Row {
    const char *name;
    Scale moved;
    double value;
    std::vector<Scale> others;  // in the order of the Scale enum
  };
  const Row rows[] = {
      {"axes", kA2, 10, {kAlt, kAz, kHa, kDec, kFrot}},
      {"equatorial", kHa, 20, {kAlt, kAz, kA1, kA2, kA3}},
      {"horizontal", kAz, 170, {kHa, kDec, kA1, kA2, kA3}},
      {"field rotation", kFrot, 30, {kA1, kA2, kA3}},
      {"camera altitude, before the view exists", kCalt, 30, {}},
      {"camera azimuth, before the view exists", kCaz, 90, {}},
  };
  std::vector<Scale> log;
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    Restart();
    log.clear();
    for (int i = 0; i < kScales; ++i) {
      g_object_set_data(G_OBJECT(scale(static_cast<Scale>(i))), "index", GINT_TO_POINTER(i));
      g_signal_connect(scale(static_cast<Scale>(i)), "value-changed", G_CALLBACK(record_change),
                       &log);
    }
    set(row.moved, row.value);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), row.moved);
    std::sort(log.begin(), log.end() - 1);
    EXPECT_EQ(std::vector<Scale>(log.begin(), log.end() - 1), row.others);
    EXPECT_EQ(state_->updating, 0);
  }
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
    const Scale s = static_cast<Scale>(rng() % kScales);
    const ScaleRow &row = kScaleRows[s];
    const double span = row.upper - row.lower;
    double value = uniform(row.lower, row.upper);
    const int kind = rng() % 8;
    if (kind == 0) value = pick({row.lower, row.upper});
    if (kind == 1) value = uniform(row.lower - 0.2 * span, row.upper + 0.2 * span);
    if (kind == 2) value = get(static_cast<Scale>(rng() % kScales));
    if (kind == 3) value = get(s) + pick({-1, 1}) * std::pow(10.0, -static_cast<int>(rng() % 10));
    if (kind == 4 && s == kAlt) value = get(kLat) + pick({0, 1e-4, -1e-4});
    if (kind == 4 && s == kAz) value = pick({0, 360, 1e-4, 360 - 1e-4, 0.2, 359.8});
    if (kind == 4 && s == kDec) value = pick({90, 89.9999, -90});
    if (kind == 4 && s == kLat) value = get(kAlt);
    if (kind == 5 && s == kAlt) value = pick({1, 1 - 1e-9, 1 + 1e-9, 0.99});
    if (kind == 6) value = uniform(0, 100);  // the slider's percentage

    const Snapshot before = snapshot();
    kind == 6 ? gtk_test_slider_set_perc(scale(s), value) : set(s, value);
    const Snapshot after = snapshot();
    ASSERT_TRUE(one_position(after))
        << "move " << move << ": " << row.name << (kind == 6 ? " slider % " : " = ") << value
        << "\nbefore: " << testing::PrintToString(before)
        << "\nafter:  " << testing::PrintToString(after);
    ASSERT_EQ(state_->updating, 0) << "move " << move;

    const double turn = std::fabs(scale_diff(kFrot, after[kFrot], before[kFrot]));
    at_pole += std::fabs(after[kDec]) >= 89.99;
    const bool was_refused = s <= kLat && kind != 6 && value >= row.lower && value <= row.upper &&
                             std::fabs(value - before[s]) > 1e-3 &&
                             std::fabs(after[s] - before[s]) < 1e-6;
    refused += was_refused;
    // A refusal writes back only the moved scale's own group: horizontal,
    // equatorial or axes. Every other scale keeps its very bits.
    for (int i = 0; was_refused && i < kScales; ++i) {
      if (group_of(static_cast<Scale>(i)) == group_of(s)) continue;
      ASSERT_TRUE(same_bits(after[i], before[i]))
          << "move " << move << ": refused " << row.name << " = " << value << " changed "
          << kScaleRows[i].name << " from " << before[i] << " to " << after[i];
    }
    field_turned += (s == kAlt || s == kAz) && std::fabs(turn - 180) < 1e-6;
  }
  // The walk must really have been where the rules apply.
  EXPECT_GT(at_pole, 100);
  EXPECT_GT(refused, 100);
  EXPECT_GT(field_turned, 20);
}

// A top-level window with one 120 x 90 GL-capable drawing area put at (400,
// 300) in a window-less container: once shown, the area's allocation origin
// lies far outside its own window's extent.
struct ViewWindow {
  ViewWindow() {
    GtkWidget *fixed = gtk_fixed_new();
    gtk_widget_set_size_request(area, 120, 90);
    gtk_fixed_put(GTK_FIXED(fixed), area, 400, 300);
    gtk_container_add(GTK_CONTAINER(window), fixed);
  }
  ~ViewWindow() { gtk_widget_destroy(window); }
  void show() {
    gtk_widget_show_all(window);
    settle();
  }

  GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWidget *area = gl_surface_new();
};

// A move of each synchronisation handler, and a refused one.
const std::pair<Scale, double> kMoves[] = {
    {kA1, 50}, {kHa, 10}, {kAlt, 50}, {kAlt, 0.5}, {kFrot, 20}};

TEST_F(ControlPanel, RedrawRequestsSkipAnUnrealisedDrawingAreaAndThenExposeAllOfIt) {
  ViewWindow view;
  state_->drawing_area = view.area;
  // Not yet realised: the fixture fails the test if the toolkit complains.
  for (const auto &move : kMoves) set(move.first, move.second);
  view.show();
  ASSERT_TRUE(gtk_widget_get_window(view.area));
  std::vector<GdkRectangle> exposed;
  record_redraws(view.area, &exposed);
  for (const auto &move : kMoves) {
    SCOPED_TRACE(testing::Message() << kScaleRows[move.first].name << " = " << move.second);
    exposed.clear();
    set(move.first, move.second);
    settle();
    ASSERT_FALSE(exposed.empty());
    GdkRectangle all = exposed[0];
    for (const GdkRectangle &r : exposed) gdk_rectangle_union(&all, &r, &all);
    const std::array<int, 4> got = {all.x, all.y, all.width, all.height};
    EXPECT_EQ(got, (std::array<int, 4>{0, 0, 120, 90}));
  }
  state_->drawing_area = nullptr;
}

struct GlState {
  std::array<GLfloat, 16> projection, modelview;
  std::array<GLfloat, 4> light;
  GLint matrix_mode;
};

GlState read_gl_state(GtkWidget *area) {
  GlState s{};
  with_gl(area, [&] {
    glGetFloatv(GL_PROJECTION_MATRIX, s.projection.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview.data());
    glGetLightfv(GL_LIGHT0, GL_POSITION, s.light.data());
    glGetIntegerv(GL_MATRIX_MODE, &s.matrix_mode);
  });
  return s;
}

// Normalised device x, y and the clip w of a world point under a column-major matrix.
std::array<double, 3> project(const std::array<GLfloat, 16> &m, double x, double y, double z) {
  std::array<double, 4> c;
  for (int r = 0; r < 4; ++r) c[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
  return {c[0] / c[3], c[1] / c[3], c[3]};
}

TEST_F(ControlPanel, CameraScalesAimTheViewAndItsLightOnlyOnceGlIsReady) {
  ViewWindow view;
  view.show();
  state_->drawing_area = view.area;
  state_->aspect = 120.0 / 90.0;
  const GlState fresh = read_gl_state(view.area);
  set(kCaz, 90);  // GL not yet set up by the view: nothing happens
  const GlState untouched = read_gl_state(view.area);
  EXPECT_EQ(untouched.projection, fresh.projection);  // exact: not written at all
  EXPECT_EQ(untouched.light, fresh.light);

  state_->gl_initialized = 1;
  with_gl(view.area, [] { glRotatef(90, 0, 1, 0); });  // as a drawn frame may leave it
  set(kCalt, 10);                                      // camera east of the mount, 10 degrees up
  const GlState s = read_gl_state(view.area);
  EXPECT_EQ(s.matrix_mode, GL_MODELVIEW);
  // Exactly the identity: it was loaded, not computed.
  for (int i = 0; i < 16; ++i) EXPECT_EQ(s.modelview[i], i % 5 == 0 ? 1.0f : 0.0f);
  // The light shines from the camera's azimuth, 20 degrees below its altitude:
  // from the east, 10 degrees below the horizon; w = 0 makes it directional.
  const std::array<double, 4> want_light = {std::cos(-kCoordPi / 18), std::sin(-kCoordPi / 18), 0,
                                            0};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(s.light[i], want_light[i], 1e-6) << "light " << i;
  // The mount is in the middle of the picture, 23 units away; seen from the
  // east, north (-z) is to the right and up is up.
  const auto origin = project(s.projection, 0, 0, 0);
  EXPECT_NEAR(origin[0], 0.0, 1e-5);
  EXPECT_NEAR(origin[1], 0.0, 1e-5);
  EXPECT_NEAR(origin[2], 23.0, 1e-4);
  EXPECT_GT(project(s.projection, 0, 0, -1)[0], 0.01);
  EXPECT_GT(project(s.projection, 0, 1, 0)[1], 0.01);
  state_->gl_initialized = 0;
  state_->drawing_area = nullptr;
}

}  // namespace
