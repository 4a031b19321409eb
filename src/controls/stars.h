// View, Stars: the sky the view draws around the mount, from the sky clock,
// the site and the mount. The stars' places of date are computed once a
// minute of the sky clock; the sphere turns with the sidereal time, ahead of
// the clock by what time-lapse tracking has gained, so that the tube stays on
// the star it tracks.
#pragma once

#include <gtk/gtk.h>

#include "app/app_state.h"

// How far the sky must turn before the view is drawn again while nothing
// else moves, degrees: about a pixel at the start-up size (480 pixels for 45
// degrees).
constexpr double kStarsRedrawDegrees = 0.1;

// Connects View, Stars and gives the view its sky (state->prepare_sky).
void ctrl_init_stars(AppState *state);

// The sidereal time the sky turns by now, radians: the local sidereal time at
// the sky clock plus what time-lapse tracking has gained.
double ctrl_stars_sidereal_time(const AppState *state);
