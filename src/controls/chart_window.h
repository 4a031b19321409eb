// Telescope, Night Chart: a window that charts a night of one star at the
// site, for the mount's limits and the field rotation it holds, and saves the
// chart as PNG, SVG, PDF or CSV.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "app/app_state.h"

// The star table's indices in the order the star lists show them:
// alphabetical by name in the user's language.
std::vector<int> ctrl_star_order();

// chart_tonight of the sky clock at the site's longitude, as "YYYY-MM-DD".
std::string ctrl_tonight(const AppState *state);

// Opens the Night Chart window, or raises it: the star list (starting at the
// last Go To's star, else the star nearest where the tube points), the date
// (tonight), the chart, redrawn whenever the star, the date, the latitude, the
// longitude, the field rotation or the limits change, and Save As…. Returns
// the window.
GtkWidget *ctrl_open_chart_window(AppState *state);

// Something the chart depends on changed (the longitude, the limits): the
// open chart is redrawn. Nothing while the window is closed.
void ctrl_chart_changed(AppState *state);

// Writes the window's chart to path, in the format of its extension. False,
// with the reason in *error, where it cannot (no chart for an unreadable date
// included).
bool ctrl_chart_save(AppState *state, const char *path, std::string *error);
