// A control panel on a real main window, set up as main sets it up, and the
// test's view of its eleven scales.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <array>

#include "app/app_state.h"
#include "app/interface.h"
#include "controls/controls.h"

// The eleven scales in the AppState's order, with their start-up values and
// ranges in degrees.
struct ScaleRow {
  const char *name;
  GtkWidget *AppState::*field;
  double start, lower, upper;
  bool cyclic;  // compared modulo 360 degrees
};

inline const std::array<ScaleRow, 11> kScaleRows = {{
    {"alt_scale", &AppState::alt_scale, 45, 0, 90, false},
    {"az_scale", &AppState::az_scale, 180, 0, 360, true},
    {"ha_scale", &AppState::ha_scale, 0, -180, 180, true},
    {"dec_scale", &AppState::dec_scale, 0, -90, 90, false},
    {"frot_scale", &AppState::frot_scale, 0, 0, 360, true},
    {"a1_scale", &AppState::a1_scale, 45, 0, 180, false},
    {"a2_scale", &AppState::a2_scale, 0, -90, 90, false},
    {"a3_scale", &AppState::a3_scale, 180, 0, 360, true},
    {"lat_scale", &AppState::lat_scale, 45, -90, 90, false},
    {"calt_scale", &AppState::calt_scale, 0, -90, 90, false},
    {"caz_scale", &AppState::caz_scale, 180, 0, 360, true},
}};

// Indices into kScaleRows and Snapshot.
enum Scale { kAlt, kAz, kHa, kDec, kFrot, kA1, kA2, kA3, kLat, kCalt, kCaz };

using Snapshot = std::array<double, 11>;

// An AppState as main allocates it, with the main window but no drawing area.
inline AppState *new_app_state() {
  AppState *state = g_new0(AppState, 1);
  state->gl_initialized = 0;
  state->updating = 0;
  state->min_altitude = kMinAltitudeDegrees;
  state->main_window = create_main_window();
  return state;
}

// Counts the warnings and criticals that reach GLib's default log handler (the
// toolkit's g_return_if_fail failures among them) while alive.
class LogCounter {
 public:
  LogCounter() { previous_ = g_log_set_default_handler(&LogCounter::count, this); }
  ~LogCounter() { g_log_set_default_handler(previous_, nullptr); }
  int count() const { return count_; }

 private:
  static void count(const gchar *domain, GLogLevelFlags level, const gchar *message,
                    gpointer self) {
    if (level & (G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_ERROR)) {
      ++static_cast<LogCounter *>(self)->count_;
    }
    g_log_default_handler(domain, level, message, nullptr);
  }
  GLogFunc previous_;
  int count_ = 0;
};

// A set-up control panel. Every test also checks that it logged no warning or
// critical, which is how a redraw request without a drawing area would fail.
class ControlPanel : public testing::Test {
 protected:
  void SetUp() override {
    state_ = new_app_state();
    ctrl_init_scales(state_);
  }
  void TearDown() override {
    gtk_widget_destroy(state_->main_window);
    g_free(state_);
    EXPECT_EQ(log_.count(), 0) << "warnings or criticals were logged";
  }

  GtkWidget *scale(Scale s) const { return state_->*kScaleRows[s].field; }
  double get(Scale s) const { return gtk_range_get_value(GTK_RANGE(scale(s))); }
  void set(Scale s, double v) { gtk_range_set_value(GTK_RANGE(scale(s)), v); }
  Snapshot snapshot() const {
    Snapshot v;
    for (size_t i = 0; i < v.size(); ++i) v[i] = get(static_cast<Scale>(i));
    return v;
  }

  LogCounter log_;
  AppState *state_ = nullptr;
};
