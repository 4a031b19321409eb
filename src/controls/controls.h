// The control panel: eleven scales that show the telescope's one position in
// every coordinate system at once, and the handlers that keep them in step.
//
// Every scale holds degrees. The pointing geometry works in radians; a scale
// value d is converted as d * pi / 180 and a result r goes back as r * 180 / pi.
// The scales are the only record of the position: each handler reads its
// inputs from them when it runs.
#pragma once

#include <gtk/gtk.h>

#include "app/app_state.h"

// Finds the eleven scales under state->main_window, stores them in the
// AppState, gives each its range (steps 1 and 10, page size 0) and start-up
// value, and connects its "value-changed" to its dispatcher with state as user
// data. No synchronisation handler runs during set-up. Start-up values (ranges):
//   altitude 45 (0..90), azimuth 180 (0..360), hour angle 0 (-180..180),
//   declination 0 (-90..90), field rotation 0 (0..360), a1 45 (0..180),
//   a2 0 (-90..90), a3 180 (0..360), latitude 45 (-90..90),
//   camera altitude 0 (-90..90), camera azimuth 180 (0..360).
// A window without one of the scale names cannot be run: set-up prints which
// name is missing on stderr and ends the program with status 1.
void ctrl_init_scales(AppState *state);

// Sets up one scale: looks up the widget called name under state->main_window,
// stores it through slot, writes the adjustment's upper, lower, value and steps
// directly (so that no signal is emitted) and connects "value-changed" to
// handler with state as user data. All six numbers are degrees. Ends the program
// with status 1, naming the scale, when name is missing or is not a scale.
void ctrl_init_scale(AppState *state, const gchar *name, double value, double lower, double upper,
                     double step_increment, double page_increment, double page_size,
                     GtkWidget **slot, GCallback handler);

// "value-changed" dispatchers, one per scale: each runs the synchronisation
// handler of its scale with user_data, the AppState. The one exception is the
// emission that the toolkit delivers late for a handler's write into the very
// scale whose emission was running (a refused move springing back, the pole
// rule's azimuth and altitude): it carries no move of the user's and is dropped,
// so that it cannot start a second synchronisation.
void ctrl_on_alt_adj_value_changed(GtkRange *range, gpointer user_data);
void ctrl_on_az_adj_value_changed(GtkRange *range, gpointer user_data);
void ctrl_on_ha_adj_value_changed(GtkRange *range, gpointer user_data);
void ctrl_on_dec_adj_value_changed(GtkRange *range, gpointer user_data);
void ctrl_on_frot_adj_value_changed(GtkRange *range, gpointer user_data);
void ctrl_on_a1_adj_value_changed(GtkRange *range, gpointer user_data);
void ctrl_on_a2_adj_value_changed(GtkRange *range, gpointer user_data);
void ctrl_on_a3_adj_value_changed(GtkRange *range, gpointer user_data);
void ctrl_on_lat_adj_value_changed(GtkRange *range, gpointer user_data);
void ctrl_on_calt_adj_value_changed(GtkRange *range, gpointer user_data);
void ctrl_on_caz_adj_value_changed(GtkRange *range, gpointer user_data);

// The synchronisation handlers. The four coordinate handlers do nothing while
// state->updating is set (so the "value-changed" raised by their own writes is
// ignored), refuse any position whose altitude is below state->min_altitude by
// writing back the scales that moved, and then ask for the view to be redrawn.
// A computed altitude short of the limit by rounding alone (at most 1e-9
// degrees) counts as at the limit and is shown as the limit, so the altitude
// scale never reads below it.
// A redraw request is skipped while there is no drawing area or it has no
// window yet.

// a1, a2, a3 or latitude moved: keeps the axes and the latitude and recomputes
// hour angle, declination, azimuth, altitude and field rotation. A refused move
// puts the axes back where the sky coordinates and field rotation say. A change
// of latitude alone is never refused: it does not move the tube.
void ctrl_on_a3_coords_changed(AppState *state);

// Hour angle or declination moved: keeps them and the field rotation and
// recomputes azimuth, altitude and the axes. A refused move puts the hour angle
// and declination back where the horizontal scales say.
void ctrl_on_eq_coords_changed(AppState *state);

// True when moving the hour angle to ha (degrees), with the declination and
// latitude that the scales show, would be refused: the test that
// ctrl_on_eq_coords_changed makes, so that a caller can stop short of it.
bool ctrl_eq_move_refused(const AppState *state, double ha);

// True when the hour angle ha and declination dec (degrees), with the
// latitude that the scales show, put the tube below the altitude limit.
bool ctrl_eq_pose_refused(const AppState *state, double ha, double dec);

// Moves the telescope to hour angle ha and declination dec (degrees) as one
// move of the equatorial scales: the declination is written with the
// handlers held off, then the hour angle, so that ctrl_on_eq_coords_changed
// runs once from both (directly, where the hour angle does not change). A
// pose below the limit is refused by that handler as any other move is.
// Must not be called from inside a synchronisation handler.
void ctrl_eq_move_to(AppState *state, double ha, double dec);

// Altitude or azimuth moved: keeps them and (mostly) the field rotation and
// recomputes hour angle, declination and the axes. A refused move puts them
// back where the equatorial scales say.
// Within 0.00027 degrees of the north celestial pole (altitude = latitude,
// azimuth 0 or 360) the hour angle is undetermined: the tube is put exactly on
// the pole and the previous hour angle stays. When the new a3 differs from the
// old one by more than 171 degrees (measured the short way round the circle) the
// tube has passed through the pole: the field rotation turns by 180 degrees so
// that the axes stay near where they were.
void ctrl_on_altaz_coords_changed(AppState *state);

// Field rotation moved: keeps the pointing and recomputes the axes. No altitude
// test is needed, since the pointing does not change.
void ctrl_on_frot_coord_changed(AppState *state);

// Camera altitude or azimuth moved: reloads the projection and camera (eye on
// the sphere of radius 23 around the mount, looking at it, +y up) and turns
// light 0 to shine from the camera's azimuth, 20 degrees below its altitude;
// then asks for a redraw. Does nothing while state->gl_initialized is 0 or GL
// cannot be begun on the drawing area. Writes no scale.
void ctrl_on_camera_coords_changed(AppState *state);
