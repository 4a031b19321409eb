// The OpenGL drawing area beside the scales: its creation and its realize,
// configure and expose handlers, which do all the drawing-area work on the GUI
// thread with the area's one GL context.
#pragma once

#include <glib/gi18n.h>
#include <gtk/gtk.h>

struct AppState;

// Creates the OpenGL drawing area (640 x 480 requested), stores it in
// state->drawing_area, connects its handlers with state as user data (drawing,
// and the left-button drag that turns the view), packs it at the end of the
// window's "mainhbox" (expanding; on GTK 3 inside an event box with an X
// window of its own, so that GDK paints only the view with GL) and shows it. Ends the process with
// status 1 when no OpenGL visual exists (see gl_surface_new). state->main_window must be set. The
// area carries kGlViewName and kGlViewDescription for assistive technology. The GL surface is
// GtkGLExt's on GTK+ 2 and a GtkGLArea on GTK 3, whose "resize" and "render" signals run the
// configure and expose handlers below.
void gl_init_gtkglext(AppState *state);

// The view's accessible name and description, for assistive technology, as
// written (they are shown translated).
constexpr const char *kGlViewName = N_("Mount view");
constexpr const char *kGlViewDescription =
    N_("The telescope mount in 3-D, posed by the sliders. Drag it with the left mouse button to "
       "turn it.");

// The drawing area's handlers. They are connected by gl_init_gtkglext and are
// declared here so that tests can drive them directly.
//
// "realize": ends the process when the area's context cannot draw fixed-function
// GL (gl_surface_check); sets the clear colour, the light and material, depth test and
// back-face culling, builds the mount model and the View menu's guides and sets
// state->gl_initialized.
// Does nothing when GL cannot be begun on the widget.
void gl_realize(GtkWidget *widget, AppState *state);

// "configure_event": records the allocated size (a height of 0 is stored as
// 1; aspect = width / height), then sets the viewport and loads the projection
// and the camera placed by the camera scales. Returns FALSE, having recorded
// the size only, when GL cannot be begun.
gboolean gl_configure_event(GtkWidget *widget, GdkEventConfigure *event, AppState *state);

// "expose_event": clears and draws the whole mount posed by the a1, a2 and a3
// scales, then the guides that the View menu has on (state->show_compass,
// state->show_pointing; the polar axis from the latitude scale), then presents
// the frame. Without a model (it could not be built)
// only the background is drawn, and one warning is logged for the run.
// Returns FALSE when GL cannot be begun.
gboolean gl_expose_event(GtkWidget *widget, GdkEventExpose *event, AppState *state);

// Degrees the camera turns per pixel of drag, on both axes: 360 / 640, so that
// a drag across the drawing area at its start-up width turns the view once
// round. 9/16 is exact in binary: a drag of whole pixels moves the camera
// scales by exact multiples of it.
constexpr double kGlDragDegreesPerPixel = 0.5625;

// The left-button drag that turns the view. The mount follows the hand as if
// grabbed: moving the pointer right turns its near side right (the camera goes
// round to the left, Camera Az increases by kGlDragDegreesPerPixel per pixel,
// wrapping from 360 to 0 and from 0 to 360); moving it up tilts the near side
// up (the camera goes down, Camera Alt decreases, stopping at -90 and 90).
// The drag only writes the Camera Alt and Camera Az scales, through
// gtk_range_set_value; their own "value-changed" handler moves the camera and
// light and asks for the redraw. An axis the pointer has not moved along is
// not written.
//
// "button_press_event": a single press of button 1 starts a drag at the
// pointer, once GL is set up (state->gl_initialized); before that, and for any
// other button or a double click, nothing happens. Returns TRUE when a drag
// starts.
gboolean gl_button_press_event(GtkWidget *widget, GdkEventButton *event, AppState *state);

// "motion_notify_event": during a drag, turns the camera by the pointer's
// travel since the last press or motion. Motion arrives as hints: reading the
// pointer here asks for the next one, so a fast drag yields at most one motion
// per round trip to the X server. A motion read once button 1 is up ends the
// drag there. Returns TRUE during a drag.
gboolean gl_motion_notify_event(GtkWidget *widget, GdkEventMotion *event, AppState *state);

// "button_release_event": releasing button 1 applies the travel up to the
// release point and ends the drag. Returns TRUE when it ends a drag.
gboolean gl_button_release_event(GtkWidget *widget, GdkEventButton *event, AppState *state);
