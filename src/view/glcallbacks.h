// The OpenGL drawing area beside the scales: its creation and its realize,
// configure and expose handlers, which do all the drawing-area work on the GUI
// thread with the area's one GL context.
#pragma once

#include <gtk/gtk.h>
#include <gtk/gtkgl.h>

struct AppState;

// Creates the OpenGL drawing area (640 x 480 requested), stores it in
// state->drawing_area, connects its handlers with state as user data, packs it
// at the end of the window's "mainhbox" (expanding) and shows it. Ends the
// process with status 1 when no OpenGL visual exists (see gl_find_config).
// state->main_window must be set.
void gl_init_gtkglext(AppState *state);

// The frame-buffer configuration the view draws with: double-buffered RGB with
// a depth buffer; failing that, single-buffered after printing
// "*** Cannot find the double-buffered visual." and "*** Trying single-buffered
// visual." on standard output; failing that too, prints
// "*** No appripriate OpenGL capable visual found." and exits with status 1.
// new_by_mode is the configuration constructor (gdk_gl_config_new_by_mode in
// the program).
GdkGLConfig *gl_find_config(GdkGLConfig *(*new_by_mode)(GdkGLConfigMode));

// The drawing area's handlers. They are connected by gl_init_gtkglext and are
// declared here so that tests can drive them directly.
//
// "realize": sets the clear colour, the light and material, depth test and
// back-face culling, builds the mount model and sets state->gl_initialized.
// Does nothing when GL cannot be begun on the widget.
void gl_realize(GtkWidget *widget, AppState *state);

// "configure_event": records the allocated size (a height of 0 is stored as
// 1; aspect = width / height), then sets the viewport and loads the projection
// and the camera placed by the camera scales. Returns FALSE, having recorded
// the size only, when GL cannot be begun.
gboolean gl_configure_event(GtkWidget *widget, GdkEventConfigure *event, AppState *state);

// "expose_event": clears and draws the whole mount posed by the a1, a2 and a3
// scales, then presents the frame. Without a model (it could not be built)
// only the background is drawn, and one warning is logged for the run.
// Returns FALSE when GL cannot be begun.
gboolean gl_expose_event(GtkWidget *widget, GdkEventExpose *event, AppState *state);
