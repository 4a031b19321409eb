// The program's main window for tests that look at the whole of it.
#pragma once

#include <gtk/gtk.h>

#include "app/app_state.h"
#include "app/interface.h"
#include "controls/controls.h"
#include "controls/motion.h"
#include "controls/telescope.h"
#include "controls/tracking.h"
#include "model/model.h"
#include "support/gtk_test_util.h"
#include "view/glcallbacks.h"
#include "view/glstars.h"

// A new AppState with the main window built as main builds it (scales set up,
// the view packed, the window sized for the screen), shown and drawn once.
inline AppState *open_app_window() {
  AppState *state = g_new0(AppState, 1);
  state->min_altitude = kMinAltitudeDegrees;
  state->main_window = create_main_window();
  ctrl_init_scales(state);
  gl_init_gtkglext(state);
  ctrl_init_view_menu(state);
  ctrl_init_telescope(state);
  ctrl_motion_init(state, mount_default_limits());
  fit_main_window_to_screen(state->main_window, state->drawing_area);
  gtk_widget_show(state->main_window);
  settle();
  return state;
}

// Destroys the window, then frees the model and the state.
inline void close_app_window(AppState *state) {
  gtk_widget_destroy(state->main_window);
  process_events();
  delete state->model;
  delete state->mount;
  delete state->sky;
  g_free(state);
}
