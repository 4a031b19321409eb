// View, Stars: places, names and the target for the view's sky.
#include "controls/stars.h"

#include <glib/gi18n.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/support.h"
#include "controls/controls.h"
#include "controls/motion.h"
#include "controls/telescope.h"
#include "mount/mount.h"
#include "sky/sky.h"
#include "view/glscene.h"
#include "view/glstars.h"
#include "view/glsurface.h"

namespace {

constexpr double kDeg = G_PI / 180.0;
// A tracked place within this of the Go To target, degrees, is that target.
constexpr double kOnTarget = 0.5;

// A name's text as an alpha bitmap, in the toolkit's own font rendering.
GlStarLabel label_of(const char *text) {
  GlStarLabel label;
  cairo_surface_t *probe = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t *measure = cairo_create(probe);
  PangoLayout *layout = pango_cairo_create_layout(measure);
  PangoFontDescription *font = pango_font_description_from_string("Sans 10");
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  pango_layout_set_text(layout, text, -1);
  pango_layout_get_pixel_size(layout, &label.width, &label.height);
  if (label.width > 0 && label.height > 0) {
    cairo_surface_t *surface =
        cairo_image_surface_create(CAIRO_FORMAT_A8, label.width, label.height);
    cairo_t *cr = cairo_create(surface);
    pango_cairo_update_layout(cr, layout);
    cairo_set_source_rgba(cr, 1, 1, 1, 1);
    pango_cairo_show_layout(cr, layout);
    cairo_surface_flush(surface);
    const unsigned char *data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    label.alpha.resize(size_t(label.width) * size_t(label.height));
    for (int y = 0; y < label.height; y++) {
      std::copy_n(data + std::ptrdiff_t(y) * stride, label.width,
                  label.alpha.begin() + std::ptrdiff_t(y) * label.width);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  g_object_unref(layout);
  cairo_destroy(measure);
  cairo_surface_destroy(probe);
  return label;
}

// The places of date of every star and of the named ones, for the minute of
// the sky clock at utc; the names' bitmaps the first time.
void place_stars(GlSky *sky, double utc) {
  const double minute = std::floor(utc / 60);
  if (minute == sky->minute) return;
  const SkyTime t = sky_time_from_unix(minute * 60 + 30);
  const int n = sky_bright_star_count();
  std::vector<double> ra(static_cast<size_t>(n)), dec(static_cast<size_t>(n));
  std::vector<float> magnitude(static_cast<size_t>(n));
  if (!sky_bright_places(t, n, ra.data(), dec.data())) return;
  for (int i = 0; i < n; i++) magnitude[size_t(i)] = sky_bright_stars()[i].magnitude;
  gl_sky_compile(sky, ra.data(), dec.data(), magnitude.data(), n);
  if (sky->labels.empty()) {
    for (int i = 0; i < sky_star_count(); i++)
      sky->labels.push_back(label_of(_(sky_stars()[i].name)));
  }
  for (int i = 0; i < sky_star_count(); i++) {
    GlStarLabel &label = sky->labels[size_t(i)];
    if (!sky_apparent_place(sky_stars()[i], t, &label.ra, &label.dec)) return;
  }
  sky->minute = minute;
}

// The Go To target while the mount slews to it, or tracks it.
bool target_of(const AppState *state, double lst, double *ra, double *dec) {
  const Mount *m = state->mount;
  if (!m || !m->slew_to_place) return false;
  *ra = m->target_ra * kDeg, *dec = m->target_dec * kDeg;
  if (m->activity == MountActivity::kSlewing) return true;
  if (m->activity != MountActivity::kTracking) return false;
  const double ha = mount_wrap_ha(lst / kDeg - m->target_ra);
  return std::fabs(mount_wrap_ha(m->ha - ha)) < kOnTarget &&
         std::fabs(m->dec - m->target_dec) < kOnTarget;
}

void prepare_sky(AppState *state, GlSkyFrame *frame) {
  if (!state->sky) state->sky = new GlSky;
  place_stars(state->sky, ctrl_clock_utc(state));
  frame->lst = ctrl_stars_sidereal_time(state);
  frame->latitude = gtk_range_get_value(GTK_RANGE(state->lat_scale));
  frame->target = target_of(state, frame->lst, &frame->target_ra, &frame->target_dec);
  frame->aspect = state->aspect;
  frame->camera_az = gtk_range_get_value(GTK_RANGE(state->caz_scale)) * kDeg;
  frame->camera_alt = gtk_range_get_value(GTK_RANGE(state->calt_scale)) * kDeg;
}

// Draws the view again where the sky has turned a pixel since it was drawn.
gboolean look_at_sky(gpointer data) {
  auto *state = static_cast<AppState *>(data);
  if (!state->sky || !state->drawing_area) return G_SOURCE_CONTINUE;
  const double turned =
      std::remainder(ctrl_stars_sidereal_time(state) - state->sky->drawn_lst, 2 * G_PI);
  if (std::fabs(turned) >= kStarsRedrawDegrees * kDeg) gl_surface_queue_redraw(state->drawing_area);
  return G_SOURCE_CONTINUE;
}

void on_stars_toggled(GtkCheckMenuItem *item, AppState *state) {
  state->show_stars = gtk_check_menu_item_get_active(item);
  if (state->show_stars && !state->stars_source) {
    state->stars_source = g_timeout_add_seconds(1, look_at_sky, state);
  } else if (!state->show_stars && state->stars_source) {
    g_source_remove(state->stars_source);
    state->stars_source = 0;
  }
  // The far plane reaches the pointing line's end only while the sky shows;
  // the light stays where it was.
  if (state->gl_initialized && state->drawing_area) {
    GlScope gl(state->drawing_area);
    if (gl) {
      gl_load_camera(state->aspect, gtk_range_get_value(GTK_RANGE(state->caz_scale)) * kDeg,
                     gtk_range_get_value(GTK_RANGE(state->calt_scale)) * kDeg,
                     state->show_stars ? kGlSkyFar : 100.0);
    }
  }
  if (state->drawing_area) gl_surface_queue_redraw(state->drawing_area);
}

void on_main_window_destroy(GtkWidget * /*window*/, AppState *state) {
  if (state->stars_source) g_source_remove(state->stars_source);
  state->stars_source = 0;
}

}  // namespace

double ctrl_stars_sidereal_time(const AppState *state) {
  const double lapse = state->mount ? mount_sky_lapse(*state->mount) : 0;
  double lst = 0;
  if (!sky_local_sidereal_time(sky_time_from_unix(ctrl_clock_utc(state) + lapse),
                               state->longitude * kDeg, &lst)) {
    return 0;
  }
  return lst;
}

void ctrl_init_stars(AppState *state) {
  state->prepare_sky = prepare_sky;
  GtkWidget *item = lookup_widget(state->main_window, "view_stars");
  if (item) g_signal_connect(item, "toggled", G_CALLBACK(on_stars_toggled), state);
  g_signal_connect(state->main_window, "destroy", G_CALLBACK(on_main_window_destroy), state);
}
