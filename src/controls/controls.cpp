// The control panel: set-up of the eleven scales and the handlers that keep
// them describing one position of the telescope.
#include "controls/controls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/support.h"
#include "controls/motion.h"
#include "geometry/coord.h"
#include "view/glscene.h"
#include "view/glstars.h"
#include "view/glsurface.h"

namespace {

// Within this many degrees in altitude and in azimuth the tube counts as
// pointing at the north celestial pole (just under one second of arc).
constexpr double kPoleToleranceDeg = 0.00027;

// A change of a3 larger than this (171 degrees, in radians) means that the
// tube has passed through the pole.
constexpr double kPoleCrossingJump = 2.9845130209103035;

// Light 0 shines from this many degrees below the camera's altitude.
constexpr double kLightLoweringDeg = 20.0;

// How far, in degrees, a computed altitude may fall short of the limit by
// rounding alone. A position accepted at exactly the limit comes back a few
// 1e-14 degrees lower when it is recomputed through other coordinates (as
// when only the latitude moves); refusing it then would restore the axes from
// sky coordinates that no longer match them.
constexpr double kAltitudeRoundingDeg = 1e-9;

double deg_to_rad(double d) {
  return d * kCoordPi / 180.0;
}
double rad_to_deg(double r) {
  return r * 180.0 / kCoordPi;
}

// A write into the scale whose own "value-changed" is running does not
// notify at once. GtkAdjustment's "value-changed" does not recurse: GLib
// restarts the running emission once it has returned, after the handler has
// let go of the re-entrancy guard, and the dispatcher then runs a second time.
// That second run would be a synchronisation that nobody asked for, from the
// values the handler has just written: after a refused move it would rewrite
// every other scale (at the pole with an hour angle that is undetermined
// there). So each scale keeps a record of such a write, and the dispatcher
// drops the one emission that delivers it.
//
// A write is deferred exactly when it changed the value without reaching the
// scale's dispatcher. The restart comes before the emission that caused it
// returns, so before the main loop can deliver another move; and the dropped
// emission must still find the value as written. A user's move changes the
// value, so it never matches a record, and any dispatch clears the record.
struct DeferredWrite {
  guint dispatches;  // how often the scale's dispatcher has been entered
  bool pending;      // a write's emission is still to come
  double value;      // the value that write left in the scale
};

GQuark deferred_write_quark() {
  static const GQuark quark = g_quark_from_static_string("velmorant-deferred-write");
  return quark;
}

DeferredWrite *deferred_write_of(GtkWidget *scale) {
  return static_cast<DeferredWrite *>(g_object_get_qdata(G_OBJECT(scale), deferred_write_quark()));
}

// True when this emission of the scale's "value-changed" only delivers a
// handler's write into the scale from inside the scale's own emission.
bool delivers_deferred_write(GtkRange *range) {
  DeferredWrite *record = deferred_write_of(GTK_WIDGET(range));
  if (!record) return false;
  ++record->dispatches;
  if (!record->pending) return false;
  record->pending = false;
  return gtk_range_get_value(range) == record->value;
}

void dispatch(GtkRange *range, gpointer user_data, void (*handler)(AppState *)) {
  if (delivers_deferred_write(range)) return;
  handler(static_cast<AppState *>(user_data));
}

double read_deg(GtkWidget *scale) {
  return gtk_range_get_value(GTK_RANGE(scale));
}
double read_rad(GtkWidget *scale) {
  return deg_to_rad(read_deg(scale));
}
void write_deg(GtkWidget *scale, double d) {
  DeferredWrite *record = deferred_write_of(scale);
  const double before = read_deg(scale);
  const guint dispatches = record ? record->dispatches : 0;
  gtk_range_set_value(GTK_RANGE(scale), d);
  const double after = read_deg(scale);
  if (record && after != before && record->dispatches == dispatches) {
    record->pending = true;
    record->value = after;
  }
}
void write_rad(GtkWidget *scale, double r) {
  write_deg(scale, rad_to_deg(r));
}

// True when a computed altitude (radians) puts the tube below the limit.
bool below_limit(const AppState *state, double alt) {
  return state->min_altitude - kAltitudeRoundingDeg > rad_to_deg(alt);
}

// Shows a computed altitude (radians). One that rounding put a hair under the
// limit is shown at the limit, so that the altitude scale never reads below
// it: an azimuth move is refused whenever it does.
void write_altitude(const AppState *state, double alt) {
  write_deg(state->alt_scale, std::max(rad_to_deg(alt), state->min_altitude));
}

void write_axes(const AppState *state, double a1, double a2, double a3) {
  write_rad(state->a1_scale, a1);
  write_rad(state->a2_scale, a2);
  write_rad(state->a3_scale, a3);
}

// Holds the re-entrancy guard for the length of one synchronisation. The
// scale writes of a running synchronisation raise nested "value-changed"
// emissions; their handlers find the guard taken and do nothing.
class Synchronisation {
 public:
  explicit Synchronisation(AppState *state) : state_(state), owner_(state->updating == 0) {
    if (owner_) state_->updating = 1;
  }
  // The mount stands where the scales now say, moved by hand or refused.
  ~Synchronisation() {
    if (!owner_) return;
    state_->updating = 0;
    ctrl_motion_take_scales(state_);
  }
  Synchronisation(const Synchronisation &) = delete;
  Synchronisation &operator=(const Synchronisation &) = delete;

  // False when another synchronisation is already running.
  bool owner() const { return owner_; }

 private:
  AppState *state_;
  bool owner_;
};

// Redraw request of the axes handler. Before the view exists there is nothing
// to redraw; an unrealised widget ignores the request.
void queue_redraw(const AppState *state) {
  if (state->drawing_area && !state->hold_redraw) gtk_widget_queue_draw(state->drawing_area);
}

// Redraw request of the other handlers: the whole drawing area, through its
// GL surface.
void invalidate_view(const AppState *state) {
  if (state->drawing_area && !state->hold_redraw) gl_surface_queue_redraw(state->drawing_area);
}

// True when an azimuth in degrees points north: just above 0 or just below
// 360, since both ends of the scale are north.
bool azimuth_is_north(double az) {
  return az < kPoleToleranceDeg || az > 360.0 - kPoleToleranceDeg;
}

}  // namespace

void ctrl_init_scale(AppState *state, const gchar *name, double value, double lower, double upper,
                     double step_increment, double page_increment, double page_size,
                     GtkWidget **slot, GCallback handler) {
  GtkWidget *widget = lookup_widget(state->main_window, name);
  if (!widget || !GTK_IS_RANGE(widget)) {
    // Every handler reads all the coordinate scales; without this one the
    // first move would dereference a null pointer.
    // A failed write to standard error has nowhere else to be reported.
    static_cast<void>(
        std::fprintf(stderr, "velmorant: the main window has no scale named \"%s\"\n", name));
    std::exit(1);
  }
  *slot = widget;

  // The fields are written directly so that neither "changed" nor
  // "value-changed" is emitted: no handler runs during set-up, and the start-up
  // values, which already agree with one another, need no reconciling.
#if GTK_CHECK_VERSION(3, 0, 0)
  // GTK 3 keeps the fields private and notifies from every setter; a scale
  // given a fresh adjustment that already holds the values notifies nothing.
  gtk_range_set_adjustment(GTK_RANGE(widget),
                           GTK_ADJUSTMENT(gtk_adjustment_new(value, lower, upper, step_increment,
                                                             page_increment, page_size)));
#else
  GtkAdjustment *adj = gtk_range_get_adjustment(GTK_RANGE(widget));
  adj->upper = upper;
  adj->lower = lower;
  adj->value = value;
  adj->step_increment = step_increment;
  adj->page_increment = page_increment;
  adj->page_size = page_size;
#endif

  g_object_set_qdata_full(G_OBJECT(widget), deferred_write_quark(), g_new0(DeferredWrite, 1),
                          g_free);
  g_signal_connect_data(widget, "value-changed", handler, state, nullptr,
                        static_cast<GConnectFlags>(0));
}

void ctrl_init_scales(AppState *state) {
  ctrl_init_scale(state, "alt_scale", 45, 0, 90, 1, 10, 0, &state->alt_scale,
                  G_CALLBACK(ctrl_on_alt_adj_value_changed));
  ctrl_init_scale(state, "az_scale", 180, 0, 360, 1, 10, 0, &state->az_scale,
                  G_CALLBACK(ctrl_on_az_adj_value_changed));
  ctrl_init_scale(state, "ha_scale", 0, -180, 180, 1, 10, 0, &state->ha_scale,
                  G_CALLBACK(ctrl_on_ha_adj_value_changed));
  ctrl_init_scale(state, "dec_scale", 0, -90, 90, 1, 10, 0, &state->dec_scale,
                  G_CALLBACK(ctrl_on_dec_adj_value_changed));
  ctrl_init_scale(state, "frot_scale", 0, 0, 360, 1, 10, 0, &state->frot_scale,
                  G_CALLBACK(ctrl_on_frot_adj_value_changed));
  ctrl_init_scale(state, "a1_scale", 45, 0, 180, 1, 10, 0, &state->a1_scale,
                  G_CALLBACK(ctrl_on_a1_adj_value_changed));
  ctrl_init_scale(state, "a2_scale", 0, -90, 90, 1, 10, 0, &state->a2_scale,
                  G_CALLBACK(ctrl_on_a2_adj_value_changed));
  ctrl_init_scale(state, "a3_scale", 180, 0, 360, 1, 10, 0, &state->a3_scale,
                  G_CALLBACK(ctrl_on_a3_adj_value_changed));
  ctrl_init_scale(state, "lat_scale", 45, -90, 90, 1, 10, 0, &state->lat_scale,
                  G_CALLBACK(ctrl_on_lat_adj_value_changed));
  ctrl_init_scale(state, "calt_scale", 0, -90, 90, 1, 10, 0, &state->calt_scale,
                  G_CALLBACK(ctrl_on_calt_adj_value_changed));
  ctrl_init_scale(state, "caz_scale", 180, 0, 360, 1, 10, 0, &state->caz_scale,
                  G_CALLBACK(ctrl_on_caz_adj_value_changed));
}

void ctrl_on_alt_adj_value_changed(GtkRange *range, gpointer user_data) {
  dispatch(range, user_data, ctrl_on_altaz_coords_changed);
}
void ctrl_on_az_adj_value_changed(GtkRange *range, gpointer user_data) {
  dispatch(range, user_data, ctrl_on_altaz_coords_changed);
}
void ctrl_on_ha_adj_value_changed(GtkRange *range, gpointer user_data) {
  dispatch(range, user_data, ctrl_on_eq_coords_changed);
}
void ctrl_on_dec_adj_value_changed(GtkRange *range, gpointer user_data) {
  dispatch(range, user_data, ctrl_on_eq_coords_changed);
}
void ctrl_on_frot_adj_value_changed(GtkRange *range, gpointer user_data) {
  dispatch(range, user_data, ctrl_on_frot_coord_changed);
}
void ctrl_on_a1_adj_value_changed(GtkRange *range, gpointer user_data) {
  dispatch(range, user_data, ctrl_on_a3_coords_changed);
}
void ctrl_on_a2_adj_value_changed(GtkRange *range, gpointer user_data) {
  dispatch(range, user_data, ctrl_on_a3_coords_changed);
}
void ctrl_on_a3_adj_value_changed(GtkRange *range, gpointer user_data) {
  dispatch(range, user_data, ctrl_on_a3_coords_changed);
}
void ctrl_on_lat_adj_value_changed(GtkRange *range, gpointer user_data) {
  dispatch(range, user_data, ctrl_on_a3_coords_changed);
}
void ctrl_on_calt_adj_value_changed(GtkRange *range, gpointer user_data) {
  dispatch(range, user_data, ctrl_on_camera_coords_changed);
}
void ctrl_on_caz_adj_value_changed(GtkRange *range, gpointer user_data) {
  dispatch(range, user_data, ctrl_on_camera_coords_changed);
}

void ctrl_on_a3_coords_changed(AppState *state) {
  Synchronisation sync(state);
  if (!sync.owner()) return;

  const double a1 = read_rad(state->a1_scale);
  const double a2 = read_rad(state->a2_scale);
  const double a3 = read_rad(state->a3_scale);
  const double lat = read_rad(state->lat_scale);
  double az, alt;
  coord_a3_to_altaz(&az, &alt, a1, a2, a3, lat);

  if (below_limit(state, alt)) {
    // The sky coordinates and the field rotation still describe the position
    // before the move: put the axes back there.
    double b1, b2, b3;
    coord_eq_to_a3(&b1, &b2, &b3, read_rad(state->ha_scale), read_rad(state->dec_scale),
                   read_rad(state->lat_scale), read_rad(state->frot_scale));
    write_axes(state, b1, b2, b3);
  } else {
    double ha, dec, frot;
    coord_a3_to_eq(&ha, &dec, a1, a2, a3, lat);
    coord_a3_to_frot(&frot, a1, a2, a3, lat);
    write_rad(state->ha_scale, ha);
    write_rad(state->dec_scale, dec);
    write_rad(state->az_scale, az);
    write_altitude(state, alt);
    write_rad(state->frot_scale, frot);
  }
  queue_redraw(state);
}

void ctrl_on_eq_coords_changed(AppState *state) {
  Synchronisation sync(state);
  if (!sync.owner()) return;

  const double ha = read_rad(state->ha_scale);
  const double dec = read_rad(state->dec_scale);
  const double lat = read_rad(state->lat_scale);
  double az, alt;
  coord_eq_to_altaz(&az, &alt, ha, dec, lat);

  if (below_limit(state, alt)) {
    // The horizontal scales still show the position before the move.
    double old_ha, old_dec;
    coord_altaz_to_eq(&old_ha, &old_dec, read_rad(state->az_scale), read_rad(state->alt_scale),
                      read_rad(state->lat_scale));
    write_rad(state->ha_scale, old_ha);
    write_rad(state->dec_scale, old_dec);
  } else {
    double a1, a2, a3;
    coord_eq_to_a3(&a1, &a2, &a3, ha, dec, lat, read_rad(state->frot_scale));
    write_rad(state->az_scale, az);
    write_altitude(state, alt);
    write_axes(state, a1, a2, a3);
  }
  invalidate_view(state);
}

bool ctrl_eq_move_refused(const AppState *state, double ha) {
  return ctrl_eq_pose_refused(state, ha, read_deg(state->dec_scale));
}

bool ctrl_eq_pose_refused(const AppState *state, double ha, double dec) {
  double az, alt;
  coord_eq_to_altaz(&az, &alt, deg_to_rad(ha), deg_to_rad(dec), read_rad(state->lat_scale));
  return below_limit(state, alt);
}

void ctrl_eq_move_to(AppState *state, double ha, double dec) {
  // The declination goes in first with the handlers held off, so that the
  // hour angle's write (or, where it does not change, one direct run) makes a
  // single synchronisation from both.
  const gint updating = state->updating;
  state->updating = 1;
  gtk_range_set_value(GTK_RANGE(state->dec_scale), dec);
  state->updating = updating;
  const double before = read_deg(state->ha_scale);
  gtk_range_set_value(GTK_RANGE(state->ha_scale), ha);
  if (read_deg(state->ha_scale) == before) ctrl_on_eq_coords_changed(state);
}

void ctrl_on_altaz_coords_changed(AppState *state) {
  Synchronisation sync(state);
  if (!sync.owner()) return;

  if (state->min_altitude > read_deg(state->alt_scale)) {
    // The equatorial scales still describe the position before the move.
    double old_az, old_alt;
    coord_eq_to_altaz(&old_az, &old_alt, read_rad(state->ha_scale), read_rad(state->dec_scale),
                      read_rad(state->lat_scale));
    write_rad(state->az_scale, old_az);
    write_altitude(state, old_alt);
    invalidate_view(state);
    return;
  }

  const double old_ha = read_rad(state->ha_scale);
  const double old_a3 = read_rad(state->a3_scale);
  const double az_deg = read_deg(state->az_scale);
  const double alt_deg = read_deg(state->alt_scale);
  const double lat_deg = read_deg(state->lat_scale);
  const double lat = deg_to_rad(lat_deg);
  double ha, dec;
  coord_altaz_to_eq(&ha, &dec, deg_to_rad(az_deg), deg_to_rad(alt_deg), lat);

  // At the north celestial pole the hour angle is undetermined and the previous
  // one stays. The tube is put exactly on the pole: keeping the old hour angle
  // for a position a fraction of an arc second away from it would make the sky
  // coordinates and the axes point somewhere else than the altitude and azimuth
  // shown. A pole below the altitude limit is out of reach and has no rule.
  if (std::fabs(alt_deg - lat_deg) < kPoleToleranceDeg && azimuth_is_north(az_deg) &&
      lat_deg >= state->min_altitude) {
    write_deg(state->az_scale, az_deg > 180.0 ? 360.0 : 0.0);
    write_deg(state->alt_scale, lat_deg);
    ha = old_ha;
    dec = 0.5 * kCoordPi;
  }

  double frot = read_rad(state->frot_scale);
  double a1, a2, a3;
  coord_eq_to_a3(&a1, &a2, &a3, ha, dec, lat, frot);

  // Passing through the pole turns the field by 180 degrees and would swing a3
  // round by about as much; turning the field rotation with it keeps the axes
  // near where they were. The change of a3 is measured the short way round, so
  // that a small step across the 0/360 seam is not taken for a pass through
  // the pole.
  if (std::fabs(std::remainder(a3 - old_a3, kCoordTwoPi)) > kPoleCrossingJump) {
    frot = coord_wrap(frot + kCoordPi);
    write_rad(state->frot_scale, frot);
    coord_eq_to_a3(&a1, &a2, &a3, ha, dec, lat, frot);
  }

  write_rad(state->ha_scale, ha);
  write_rad(state->dec_scale, dec);
  write_axes(state, a1, a2, a3);
  invalidate_view(state);
}

void ctrl_on_frot_coord_changed(AppState *state) {
  Synchronisation sync(state);
  if (!sync.owner()) return;

  double a1, a2, a3;
  coord_eq_to_a3(&a1, &a2, &a3, read_rad(state->ha_scale), read_rad(state->dec_scale),
                 read_rad(state->lat_scale), read_rad(state->frot_scale));
  write_axes(state, a1, a2, a3);
  invalidate_view(state);
}

void ctrl_on_camera_coords_changed(AppState *state) {
  // Until the view has set up GL, its configure handler places the camera from
  // the scales when it first runs.
  if (!state->gl_initialized) return;
  {
    GlScope gl(state->drawing_area);
    if (!gl) return;

    const double calt_deg = read_deg(state->calt_scale);
    const double caz = read_rad(state->caz_scale);
    gl_load_camera(state->aspect, caz, deg_to_rad(calt_deg), state->show_stars ? kGlSkyFar : 100.0);
    // The light shines from the camera's side, somewhat below it.
    gl_aim_light(caz, deg_to_rad(calt_deg - kLightLoweringDeg));
  }
  invalidate_view(state);
}
