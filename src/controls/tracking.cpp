// The View menu: the guides' switches, tracking the turning sky, and the
// axes' rates.
#include "controls/tracking.h"

#include "app/support.h"
#include "controls/motion.h"
#include "controls/stars.h"
#include "controls/telescope.h"
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
  if (!gtk_check_menu_item_get_active(item)) return ctrl_track_stop(state);
  if (!ctrl_track_start(state)) gtk_check_menu_item_set_active(item, FALSE);
}

void on_rates_toggled(GtkCheckMenuItem *item, AppState *state) {
  state->show_rates = gtk_check_menu_item_get_active(item);
  ctrl_refresh_status(state);
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
  connect_item(state, "view_rates", G_CALLBACK(on_rates_toggled));
  ctrl_init_stars(state);
}

bool ctrl_track_start(AppState *state) {
  if (!state->mount) return false;
  const double rate = state->track_rate > 0 ? state->track_rate : kTrackSpeedUp;
  if (!mount_track(state->mount, rate, ctrl_motion_now(state))) return false;
  ctrl_motion_changed(state);
  return true;
}

void ctrl_track_stop(AppState *state) {
  if (!state->mount || state->mount->activity != MountActivity::kTracking) return;
  mount_track(state->mount, 0, ctrl_motion_now(state));
  ctrl_motion_changed(state);
}
