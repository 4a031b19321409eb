// The View menu's items: the guides over the mount and tracking, which turns
// the sky under the telescope while the mount follows a star.
#pragma once

#include <gtk/gtk.h>

#include "app/app_state.h"
#include "mount/mount.h"

// The sky turns once (360 degrees of hour angle) in a sidereal day.
constexpr double kSiderealDaySeconds = kMountSiderealDay;
// Hour angle that the real sky gains per second, degrees: about 0.004178.
constexpr double kSiderealDegreesPerSecond = kMountSiderealRate;
// Tracking runs the sky this many times faster than the real one unless View,
// Tracking Rate says otherwise: an hour of sky in 3.6 seconds. The mount runs
// as much faster, its limits holding in the sky's time.
constexpr double kTrackSpeedUp = 1000.0;
// Hour angle gained per second of tracking at that rate, degrees: about 4.178.
constexpr double kTrackDegreesPerSecond = kTrackSpeedUp * kSiderealDegreesPerSecond;

// Connects the View menu's check items under state->main_window:
// "view_compass" and "view_pointing" set state->show_compass and
// state->show_pointing and ask for a redraw; "view_track" starts and stops
// the mount's tracking (at state->track_rate times the sky's rate, or
// kTrackSpeedUp where that is 0), and springs back where the mount refuses
// (parked); "view_rates" shows the axes' rates in the status bar. When the
// star sets, tracking stops and "view_track" is unchecked, without a message.
// A window without an item simply lacks it.
void ctrl_init_view_menu(AppState *state);

// Starts tracking at state->track_rate from now: false where the mount
// refuses (parked, parking).
bool ctrl_track_start(AppState *state);

// Stops tracking where the mount is. The item is left as it is.
void ctrl_track_stop(AppState *state);
