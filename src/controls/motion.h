// The one motion timer: while the simulated mount (src/mount) moves, it is
// stepped by the sky clock about 30 times a second and its pose is shown
// through the scales, whose handlers keep every scale describing it. The
// scales moved by hand put the mount there. Every control (the Telescope and
// View menus, the LX200 server) commands the mount and then calls
// ctrl_motion_changed.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "app/app_state.h"
#include "mount/mount.h"

// Time between motion steps, milliseconds: about 30 a second; 4 a second
// while the mount only tracks at the sky's own rate, when a scale's digit
// turns over every few seconds and the picture moves a pixel a minute.
constexpr guint kMotionIntervalMs = 33;
constexpr guint kMotionSlowIntervalMs = 250;

// Makes the mount from the scales (pose and latitude), state->longitude and
// the sky clock now, with limits, and connects the closing of the main window,
// which ends the timer. Call once the scales and the clock are set up.
void ctrl_motion_init(AppState *state, const MountLimits &limits);

// The sky clock now, POSIX seconds: the instant every mount command takes.
double ctrl_motion_now(const AppState *state);

// After a command to the mount: shows its pose now, lets the menu items show
// what it does (View, Track the Sky and Tracking Rate) and runs the timer while
// it is busy.
void ctrl_motion_changed(AppState *state);

// Steps the mount to now and shows its pose where a scale's digit or a pixel
// of the picture would change (always where force is set). What the timer does.
void ctrl_motion_step(AppState *state, bool force);

// Puts the mount where the scales show it: called at the end of each
// synchronisation of the scales, and ignored while the timer itself writes
// them or before the mount exists.
void ctrl_motion_take_scales(AppState *state);

// The status bar's part for the mount: where a slew goes and how long it has
// left ("Slewing to 18h 36m 56s +38° 47′: 7.2 s left"), "Parking: 3.1 s left",
// "Parked", which axis holds it behind its place ("a3 at its top speed: 0.4°
// behind the star"), and with View, Axis Rates each axis's rate; "" for none.
std::string ctrl_motion_status(const AppState *state);
