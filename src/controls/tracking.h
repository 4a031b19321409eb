// The View menu's items: the guides over the mount and tracking, which turns
// the sky under the telescope while the mount follows a star.
#pragma once

#include <gtk/gtk.h>

#include "app/app_state.h"

// The sky turns once (360 degrees of hour angle) in a sidereal day.
constexpr double kSiderealDaySeconds = 86164.0905;
// Hour angle that the real sky gains per second, degrees: about 0.004178.
constexpr double kSiderealDegreesPerSecond = 360.0 / kSiderealDaySeconds;
// Tracking runs the sky this many times faster than the real one unless View,
// Tracking Rate says otherwise: an hour of sky in 3.6 seconds.
constexpr double kTrackSpeedUp = 1000.0;
// Hour angle gained per second of tracking at that rate, degrees: about 4.178.
constexpr double kTrackDegreesPerSecond = kTrackSpeedUp * kSiderealDegreesPerSecond;
// Time between tracking steps, milliseconds: about 30 a second.
constexpr guint kTrackIntervalMs = 33;
// The longest stretch of hour angle tested at once for a setting star,
// degrees: a long step is taken in pieces no longer than this.
constexpr double kTrackLongestPiece = 1.0;

// Connects the View menu's check items under state->main_window:
// "view_compass" and "view_pointing" set state->show_compass and
// state->show_pointing and ask for a redraw; "view_track" starts and stops
// tracking. Closing the main window stops tracking. A window without an item
// simply lacks it.
void ctrl_init_view_menu(AppState *state);

// One step of tracking: advances the hour angle by the sky's turn in seconds
// of real time (sped up state->track_rate times, or kTrackSpeedUp where that
// is 0), wrapping from 180 to -180 degrees, and writes it to
// the hour angle scale with gtk_range_set_value, whose handler moves
// everything else and keeps the declination as it is. Where the star would
// sink below the altitude limit within the step, the hour angle stops at the
// last piece (see kTrackLongestPiece) that stays above it and the function
// returns false; otherwise true. A step longer than a whole turn of the sky
// counts as one turn; a step of no time, negative or NaN, does nothing.
bool ctrl_track_step(AppState *state, double seconds);

// Starts tracking from now: a main-loop timeout every kTrackIntervalMs that
// steps by the monotonic time elapsed since the last step, so that a slow
// frame does not slow the sky. When the star sets, tracking stops and the
// "view_track" item (if any) is unchecked, without a message. Does nothing
// when tracking already runs.
void ctrl_track_start(AppState *state);

// Stops tracking: removes the timeout, if any. The item is left as it is.
void ctrl_track_stop(AppState *state);
