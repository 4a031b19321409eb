// The one motion timer: the mount stepped by the sky clock and shown through
// the scales.
#include "controls/motion.h"

#include <glib/gi18n.h>

#include <array>
#include <cmath>

#include "app/support.h"
#include "controls/controls.h"
#include "controls/telescope.h"
#include "geometry/coord.h"
#include "sky/sky.h"

namespace {

constexpr double kDeg = kCoordPi / 180.0;
// A turn of an axis that moves the picture by about a pixel in the default
// window, degrees: the tube's end, 8 units from the pivot and 23 from the
// camera under a 45 degree field 480 pixels high, moves 3.5 pixels a degree.
// The pose is shown again once an axis has turned this far, or a scale's one
// digit would read otherwise.
constexpr double kPixelDegrees = 0.25;
// The status bar says how far behind its place the mount is from this much,
// degrees.
constexpr double kLagShown = 1.0 / 60;

// What the scales would show of the mount's pose: a1 a2 a3 ha dec frot alt az.
std::array<double, 8> readings(const Mount &m) {
  double ha, dec, frot, az, alt;
  mount_pointing(m, &ha, &dec, &frot);
  coord_a3_to_altaz(&az, &alt, m.axes[0] * kDeg, m.axes[1] * kDeg, m.axes[2] * kDeg, 0);
  return {m.axes[0], m.axes[1], m.axes[2], ha, dec, frot, alt / kDeg, az / kDeg};
}

// True where a scale showing one decimal would read otherwise, or an axis has
// turned by a pixel's worth.
bool shows_otherwise(const AppState *state, const std::array<double, 8> &now) {
  for (int i = 0; i < 8; i++) {
    const double was = state->shown[i];
    if (std::lround(now[i] * 10) != std::lround(was * 10)) return true;
    if (i < 3 && std::fabs(std::remainder(now[i] - was, 360.0)) >= kPixelDegrees) return true;
  }
  return false;
}

void remember_shown(AppState *state) {
  const std::array<double, 8> now = readings(*state->mount);
  std::copy(now.begin(), now.end(), state->shown);
}

// The scales moved by hand: the view draws the pose they give.
void remember_drawn(AppState *state) {
  std::copy(state->mount->axes.begin(), state->mount->axes.end(), state->drawn);
}

// Writes the mount's pose into the scales as one move. A mount on its place
// (at rest, tracking, moving, guiding) shows the place's hour angle and
// declination, whose handler keeps them and the field rotation as they are;
// on a path or behind its place the axes go in, a1 and a2 with the handlers
// held off, then a3, whose handler recomputes every other scale.
void show_pose(AppState *state, bool draw) {
  const Mount &m = *state->mount;
  state->showing = 1;
  // Where the axes have turned by less than a pixel's worth since the view
  // last drew them, only the scales' digits change: the picture is not drawn,
  // unless draw asks for it.
  bool turned = draw;
  for (int i = 0; i < 3; i++) {
    turned =
        turned || std::fabs(std::remainder(m.axes[i] - state->drawn[i], 360.0)) >= kPixelDegrees;
  }
  if (turned) std::copy(m.axes.begin(), m.axes.end(), state->drawn);
  state->hold_redraw = !turned;
  if (!mount_on_path(m) && m.lag_axis < 0) {
    // The field rotation the place holds goes in first, handlers held off:
    // after a path the scale shows the path's last pose.
    const gint updating = state->updating;
    state->updating = 1;
    gtk_range_set_value(GTK_RANGE(state->frot_scale), m.frot);
    state->updating = updating;
    ctrl_eq_move_to(state, m.ha, m.dec);
    state->showing = 0;
    state->hold_redraw = 0;
    remember_shown(state);
    return;
  }
  const gint updating = state->updating;
  state->updating = 1;
  gtk_range_set_value(GTK_RANGE(state->a1_scale), m.axes[0]);
  gtk_range_set_value(GTK_RANGE(state->a2_scale), m.axes[1]);
  state->updating = updating;
  const double before = gtk_range_get_value(GTK_RANGE(state->a3_scale));
  gtk_range_set_value(GTK_RANGE(state->a3_scale), m.axes[2]);
  if (gtk_range_get_value(GTK_RANGE(state->a3_scale)) == before) ctrl_on_a3_coords_changed(state);
  state->showing = 0;
  state->hold_redraw = 0;
  remember_shown(state);
}

void set_item_active(const AppState *state, const char *name, gboolean active) {
  GtkWidget *widget = lookup_widget(state->main_window, name);
  if (widget) gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(widget), active);
}

// View, Track the Sky and Tracking Rate show what the mount does.
void show_activity(AppState *state) {
  const Mount &m = *state->mount;
  const bool tracking = m.activity == MountActivity::kTracking;
  if (tracking && m.track_rate != state->track_rate) {
    gchar *name = g_strdup_printf("track_rate_%d", int(m.track_rate));
    GtkWidget *radio = lookup_widget(state->main_window, name);
    g_free(name);
    if (radio) gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(radio), TRUE);
    state->track_rate = m.track_rate;
  }
  set_item_active(state, "view_track", tracking);
}

// The status bar's text as last written, kept with the main window.
const char *kStatusKey = "velmorant-motion-status";

void refresh_status_if_changed(AppState *state) {
  const std::string now = ctrl_motion_status(state);
  const char *was =
      static_cast<const char *>(g_object_get_data(G_OBJECT(state->main_window), kStatusKey));
  if (was && now == was) return;
  g_object_set_data_full(G_OBJECT(state->main_window), kStatusKey, g_strdup(now.c_str()), g_free);
  ctrl_refresh_status(state);
}

// Steps about 30 times a second; but tracking at the sky's own rate, on its
// place, moves the picture by a pixel in a minute or so, and 4 steps a second
// show each digit of a scale as it turns over, at a fraction of the cost.
guint interval_of(const Mount &m) {
  const bool slow =
      m.activity == MountActivity::kTracking && m.track_rate <= 1 && m.lag_axis < 0 && !m.moving;
  return slow ? kMotionSlowIntervalMs : kMotionIntervalMs;
}

gboolean motion_tick(gpointer user_data);

// Runs the timer at the interval the mount needs while it is busy.
void run_timer(AppState *state) {
  const bool busy = mount_busy(*state->mount);
  const guint interval = interval_of(*state->mount);
  if (state->motion_source != 0 && (!busy || interval != state->motion_interval)) {
    g_source_remove(state->motion_source);
    state->motion_source = 0;
  }
  if (busy && state->motion_source == 0) {
    state->motion_interval = interval;
    state->motion_source = g_timeout_add(interval, motion_tick, state);
  }
}

gboolean motion_tick(gpointer user_data) {
  auto *state = static_cast<AppState *>(user_data);
  ctrl_motion_step(state, false);
  if (mount_busy(*state->mount) && interval_of(*state->mount) == state->motion_interval) {
    return G_SOURCE_CONTINUE;
  }
  // This source ends here; another starts where the mount still moves.
  state->motion_source = 0;
  run_timer(state);
  return G_SOURCE_REMOVE;
}

void on_main_window_destroy(GtkWidget * /*window*/, AppState *state) {
  if (state->motion_source != 0) g_source_remove(state->motion_source);
  state->motion_source = 0;
}

}  // namespace

void ctrl_motion_init(AppState *state, const MountLimits &limits) {
  const MountAxes axes = {gtk_range_get_value(GTK_RANGE(state->a1_scale)),
                          gtk_range_get_value(GTK_RANGE(state->a2_scale)),
                          gtk_range_get_value(GTK_RANGE(state->a3_scale))};
  state->mount = new Mount(mount_new(axes, gtk_range_get_value(GTK_RANGE(state->lat_scale)),
                                     state->longitude, ctrl_motion_now(state)));
  state->mount->limits = limits;
  state->mount->min_altitude = state->min_altitude;
  remember_shown(state);
  remember_drawn(state);
  g_signal_connect(state->main_window, "destroy", G_CALLBACK(on_main_window_destroy), state);
}

double ctrl_motion_now(const AppState *state) {
  return ctrl_clock_utc(state);
}

void ctrl_motion_step(AppState *state, bool force) {
  Mount *m = state->mount;
  const double now = ctrl_motion_now(state);
  // The system's clock was set back: the mount stands where it is and goes
  // on from the new reading rather than waiting for the old one.
  if (now < m->time - 1) mount_clock_moved(m, now - m->time);
  const MountEvent event = mount_step(m, now);
  const bool still = !mount_busy(*m);
  // Where it comes to rest the picture shows the very pose it rests in.
  if (force || event != MountEvent::kNone || still || shows_otherwise(state, readings(*m))) {
    show_pose(state, still);
  }
  if (event != MountEvent::kNone || still) show_activity(state);
  refresh_status_if_changed(state);
}

void ctrl_motion_changed(AppState *state) {
  if (!state->mount) return;
  ctrl_motion_step(state, true);
  show_activity(state);
  run_timer(state);
}

void ctrl_motion_take_scales(AppState *state) {
  if (!state->mount || state->showing) return;
  const MountAxes axes = {gtk_range_get_value(GTK_RANGE(state->a1_scale)),
                          gtk_range_get_value(GTK_RANGE(state->a2_scale)),
                          gtk_range_get_value(GTK_RANGE(state->a3_scale))};
  Mount *m = state->mount;
  mount_place(m, axes, gtk_range_get_value(GTK_RANGE(state->lat_scale)), ctrl_motion_now(state));
  if (m->activity != MountActivity::kSlewing) {
    // The place as the scales give it, not as recomputed from the axes: a
    // declination set to 60 stays 60 while the sky turns.
    m->ha = gtk_range_get_value(GTK_RANGE(state->ha_scale));
    m->dec = gtk_range_get_value(GTK_RANGE(state->dec_scale));
    m->frot = gtk_range_get_value(GTK_RANGE(state->frot_scale));
  }
  remember_shown(state);
  remember_drawn(state);
  run_timer(state);
  refresh_status_if_changed(state);
}

std::string ctrl_motion_status(const AppState *state) {
  if (!state->mount) return "";
  const Mount &m = *state->mount;
  std::string line;
  if (m.activity == MountActivity::kSlewing && m.slew_to_place) {
    line =
        sky_printed(_("Slewing to %s %s: %.1f s left"), sky_format_ra(m.target_ra * kDeg).c_str(),
                    sky_format_dec(m.target_dec * kDeg).c_str(), mount_slew_left(m));
  } else if (m.activity == MountActivity::kSlewing) {
    line = sky_printed(_("Slewing: %.1f s left"), mount_slew_left(m));
  } else if (m.activity == MountActivity::kParking) {
    line = sky_printed(_("Parking: %.1f s left"), mount_slew_left(m));
  } else if (m.activity == MountActivity::kParked) {
    line = _("Parked");
  } else if (m.lag_axis >= 0 && m.lag >= kLagShown) {
    const double speed =
        m.limits.speed[m.lag_axis] * (m.activity == MountActivity::kTracking ? m.track_rate : 1);
    line =
        std::fabs(m.rates[m.lag_axis]) >= speed * (1 - 1e-9)
            ? sky_printed(_("a%d at its top speed: %.1f° behind the star"), m.lag_axis + 1, m.lag)
            : sky_printed(_("a%d at its acceleration: %.1f° behind the star"), m.lag_axis + 1,
                          m.lag);
  }
  if (state->show_rates) {
    const std::string rates = sky_printed(_("a1 %+.3f°/s   a2 %+.3f°/s   a3 %+.3f°/s"), m.rates[0],
                                          m.rates[1], m.rates[2]);
    line += (line.empty() ? "" : "   ·   ") + rates;
  }
  return line;
}
