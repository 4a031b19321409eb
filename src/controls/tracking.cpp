// The View menu: the guides' switches, and tracking the turning sky.
#include "controls/tracking.h"

#include <algorithm>
#include <cmath>

#include "app/support.h"
#include "controls/controls.h"
#include "view/glsurface.h"

namespace {

void redraw(const AppState *state) {
  if (state->drawing_area) gl_surface_queue_redraw(state->drawing_area);
}

void on_compass_toggled(GtkCheckMenuItem *item, AppState *state) {
  state->show_compass = gtk_check_menu_item_get_active(item);
  redraw(state);
}

void on_pointing_toggled(GtkCheckMenuItem *item, AppState *state) {
  state->show_pointing = gtk_check_menu_item_get_active(item);
  redraw(state);
}

void on_track_toggled(GtkCheckMenuItem *item, AppState *state) {
  if (gtk_check_menu_item_get_active(item)) {
    ctrl_track_start(state);
  } else {
    ctrl_track_stop(state);
  }
}

void on_main_window_destroy(GtkWidget * /*window*/, AppState *state) {
  ctrl_track_stop(state);
}

gboolean track_tick(gpointer user_data) {
  auto *state = static_cast<AppState *>(user_data);
  const gint64 now = g_get_monotonic_time();
  const double seconds = double(now - state->track_time) / G_USEC_PER_SEC;
  state->track_time = now;
  if (ctrl_track_step(state, seconds)) return G_SOURCE_CONTINUE;

  // The star has set: this timeout ends here, and the item shows it.
  state->track_source = 0;
  GtkWidget *item = lookup_widget(state->main_window, "view_track");
  if (item) gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), FALSE);
  return G_SOURCE_REMOVE;
}

void connect_item(AppState *state, const char *name, GCallback handler) {
  GtkWidget *item = lookup_widget(state->main_window, name);
  if (item) g_signal_connect(item, "toggled", handler, state);
}

}  // namespace

void ctrl_init_view_menu(AppState *state) {
  connect_item(state, "view_compass", G_CALLBACK(on_compass_toggled));
  connect_item(state, "view_pointing", G_CALLBACK(on_pointing_toggled));
  connect_item(state, "view_track", G_CALLBACK(on_track_toggled));
  g_signal_connect(state->main_window, "destroy", G_CALLBACK(on_main_window_destroy), state);
}

bool ctrl_track_step(AppState *state, double seconds) {
  if (!(seconds > 0)) return true;
  const double start = gtk_range_get_value(GTK_RANGE(state->ha_scale));
  const double rate = state->track_rate > 0 ? state->track_rate : kTrackSpeedUp;
  double remaining = std::min(seconds * rate * kSiderealDegreesPerSecond, 360.0);
  double ha = start;
  bool sets = false;
  // Piece by piece, so that a long step (a stalled main loop) cannot carry
  // the star across the part of its circle below the horizon unnoticed.
  while (remaining > 0) {
    const double piece = std::min(remaining, kTrackLongestPiece);
    remaining -= piece;
    double next = ha + piece;
    if (next > 180.0) next -= 360.0;
    if (ctrl_eq_move_refused(state, next)) {
      sets = true;
      break;
    }
    ha = next;
  }
  if (ha != start) gtk_range_set_value(GTK_RANGE(state->ha_scale), ha);
  return !sets;
}

void ctrl_track_start(AppState *state) {
  if (state->track_source != 0) return;
  state->track_time = g_get_monotonic_time();
  state->track_source = g_timeout_add(kTrackIntervalMs, track_tick, state);
}

void ctrl_track_stop(AppState *state) {
  if (state->track_source == 0) return;
  g_source_remove(state->track_source);
  state->track_source = 0;
}
