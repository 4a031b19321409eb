// The Telescope menu and the real sky: the site's longitude and the clock,
// Go To a star or coordinates of date, slews at a finite speed that end in
// tracking at the sky's own rate, Stop, View's Tracking Rate, and the sky's
// coordinates in the status bar.
#pragma once

#include <gtk/gtk.h>

#include "app/app_state.h"
#include "sky/sky.h"

// Sets the sky clock to read utc (POSIX seconds) now: from here it runs as the
// system's clock does, that much ahead or behind it, so that it keeps the
// time across a suspend and follows the system's corrections.
void ctrl_clock_set(AppState *state, double utc);

// What the sky clock reads at monotonic time mono (microseconds, the clock
// that tracking and slews step by), or now. A clock never set reads the
// system's clock.
SkyTime ctrl_clock_at(const AppState *state, gint64 mono);
SkyTime ctrl_clock_now(const AppState *state);
// What the sky clock reads now, POSIX seconds.
double ctrl_clock_utc(const AppState *state);

// Rewrites the status bar: the sky's line while View, Sky Coordinates is on,
// the LX200 server's while it listens, both, or nothing.
void ctrl_refresh_status(AppState *state);

// Where the tube points at t, as the apparent place of date: right ascension
// (radians in [0, 2*pi)) from the mount's hour angle (the hour angle scale's
// before the mount exists) and the local sidereal time at state->longitude,
// and declination (radians). False when the sky library cannot place t.
bool ctrl_mount_place(const AppState *state, SkyTime t, double *ra, double *dec);

// Altitude (degrees) at t, at the latitude on its scale and state->longitude,
// of the apparent place ra, dec (radians). NaN when t cannot be placed.
double ctrl_target_altitude(const AppState *state, SkyTime t, double ra, double dec);

// Starts the mount's slew toward the apparent place ra, dec (radians): it ends
// tracking, moves and any slew before it; on arrival View, Tracking Rate
// becomes x1 and View, Track the Sky is checked. False, with nothing changed,
// while the mount is parked or where the target's pose on arrival is below
// the altitude limit.
bool ctrl_goto_start(AppState *state, double ra, double dec);

// Slews to the park pose and holds it there without tracking (Telescope,
// Park); nothing where already parked.
void ctrl_telescope_park(AppState *state);

// Opens the Axis Limits dialog, or raises it: each axis's top speed and
// acceleration in spin buttons that take (0, 90] only, applied to the mount as
// they change (a slew under way is planned again). Returns the dialog.
GtkWidget *ctrl_open_limits_dialog(AppState *state);

// Ends a slew, parking, tracking, moves and guiding where the mount is: View,
// Track the Sky is unchecked. Telescope, Stop and Escape in the main window.
void ctrl_telescope_stop(AppState *state);

// Sets the site's longitude (degrees east, clamped to [-180, 180]) and
// refreshes the sky's readouts.
void ctrl_set_longitude(AppState *state, double longitude);

// The status bar's line for View, Sky Coordinates at t: the mount's right
// ascension and declination of date, local sidereal time, UTC and longitude.
// "" when t cannot be placed.
std::string ctrl_sky_status(const AppState *state, SkyTime t);

// Opens the Go To dialog, or raises it when it is open: the star list filled
// (alphabetical in the user's language), choosing a star fills both entries
// with its apparent place now, and Go To starts the slew and closes the
// dialog, or, for unreadable text or a target below the altitude limit now,
// says why in "goto_message" and moves nothing. Returns the dialog.
GtkWidget *ctrl_open_goto_dialog(AppState *state);

// Opens the Site dialog, or raises it: the longitude, and UTC and local
// sidereal time refreshed every second while it is open. Returns the dialog.
GtkWidget *ctrl_open_site_dialog(AppState *state);

// Connects the Telescope menu, View's Tracking Rate and Sky Coordinates items
// under state->main_window, and sets the sky clock from the system's. Closing
// the main window ends a slew and the timers. A window without an item simply
// lacks it.
void ctrl_init_telescope(AppState *state);
