// The Night Chart window: the chart of the chosen star and date at the site,
// recomputed only when what it depends on changes, drawn by PLplot into the
// drawing area's cairo context.
#include "controls/chart_window.h"

#include <glib/gi18n.h>

#include <algorithm>
#include <cmath>

#include "app/interface.h"
#include "app/support.h"
#include "chart/chart.h"
#include "chart/chart_plot.h"
#include "controls/telescope.h"
#include "geometry/coord.h"
#include "mount/mount.h"

namespace {

constexpr double kDeg = kCoordPi / 180.0;

struct ChartWindow {
  AppState *state;
  std::vector<int> stars;  // table index of each row of the list
  ChartRequest drawn;      // what the chart was computed for
  Chart chart;
  bool have_chart = false;
  gulong lat_handler = 0, frot_handler = 0;
};

ChartWindow *window_data(GtkWidget *window) {
  return static_cast<ChartWindow *>(g_object_get_data(G_OBJECT(window), "velmorant-chart"));
}

bool same_request(const ChartRequest &a, const ChartRequest &b) {
  return a.star == b.star && a.latitude == b.latitude && a.longitude == b.longitude &&
         a.year == b.year && a.month == b.month && a.day == b.day &&
         a.field_rotation == b.field_rotation && a.limits.speed == b.limits.speed &&
         a.limits.acceleration == b.limits.acceleration;
}

void say(GtkWidget *window, const std::string &text) {
  gtk_label_set_text(GTK_LABEL(lookup_widget(window, "chart_message")), text.c_str());
}

// The sentence under the chart: how fast the mount's fastest axis must turn,
// against the alt-az mount's azimuth.
std::string summary(const Chart &chart) {
  double axis_rate = 0, altaz_rate = 0;
  int axis = -1;
  unsigned too_fast = 0;
  for (const ChartSample &s : chart.samples) {
    altaz_rate = std::max(altaz_rate, std::fabs(s.altaz_azimuth_rate));
    if (!s.reachable) continue;
    too_fast |= s.too_fast;
    for (int i = 0; i < 3; i++) {
      if (std::fabs(s.rate[i]) > axis_rate) axis_rate = std::fabs(s.rate[i]), axis = i;
    }
  }
  if (axis < 0) return _("The star stays below 1° all night.");
  gchar *text = g_strdup_printf(
      _("Fastest axis: a%d at %.4f°/s; an alt-az mount's azimuth needs up to %.4f°/s."), axis + 1,
      axis_rate, altaz_rate);
  std::string out = text;
  g_free(text);
  if (too_fast) out += std::string(" ") + _("Some axis needs more than its top speed.");
  return out;
}

// The chart for what the window and the main window show now, computed again
// only where that changed; nullptr, with a sentence saying why, where the date
// cannot be read.
const Chart *current_chart(GtkWidget *window) {
  ChartWindow *data = window_data(window);
  AppState *state = data->state;
  ChartRequest request;
  const gint row = gtk_combo_box_get_active(GTK_COMBO_BOX(lookup_widget(window, "chart_star")));
  if (row < 0 || row >= gint(data->stars.size())) return nullptr;
  request.star = &sky_stars()[data->stars[row]];
  const char *date = gtk_entry_get_text(GTK_ENTRY(lookup_widget(window, "chart_date")));
  if (!chart_parse_date(date, &request.year, &request.month, &request.day)) {
    gchar *text = g_strdup_printf(_("The date “%s” cannot be read: write it as 2026-06-21."), date);
    say(window, text);
    g_free(text);
    return nullptr;
  }
  request.latitude = gtk_range_get_value(GTK_RANGE(state->lat_scale));
  request.longitude = state->longitude;
  request.field_rotation = gtk_range_get_value(GTK_RANGE(state->frot_scale));
  if (state->mount) request.limits = state->mount->limits;
  std::string error;
  if (!data->have_chart || !same_request(request, data->drawn)) {
    data->have_chart = chart_compute(request, &data->chart, &error);
    data->drawn = request;
  }
  // Said again on every draw: a sentence about a date since mended must go.
  say(window, data->have_chart ? summary(data->chart) : _(error.c_str()));
  return data->have_chart ? &data->chart : nullptr;
}

void draw_chart(GtkWidget *area, cairo_t *cr) {
  GtkWidget *window = gtk_widget_get_toplevel(area);
  GtkAllocation a;
  gtk_widget_get_allocation(area, &a);
  cairo_save(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  const Chart *chart = current_chart(window);
  std::string error;
  if (chart && !chart_plot_draw(*chart, cr, a.width, a.height, &error)) say(window, error);
  cairo_restore(cr);
}

#if GTK_CHECK_VERSION(3, 0, 0)
gboolean on_chart_draw(GtkWidget *area, cairo_t *cr, gpointer /*data*/) {
  draw_chart(area, cr);
  return TRUE;
}
#else
gboolean on_chart_expose(GtkWidget *area, GdkEventExpose * /*event*/, gpointer /*data*/) {
  cairo_t *cr = gdk_cairo_create(gtk_widget_get_window(area));
  draw_chart(area, cr);
  cairo_destroy(cr);
  return TRUE;
}
#endif

void redraw(GtkWidget *window) {
  gtk_widget_queue_draw(lookup_widget(window, "chart_area"));
}

void on_input_changed(GtkWidget * /*widget*/, GtkWidget *window) {
  redraw(window);
}

void on_save_clicked(GtkButton * /*button*/, GtkWidget *window) {
  AppState *state = window_data(window)->state;
  GtkWidget *chooser = gtk_file_chooser_dialog_new(
      _("Save Chart"), GTK_WINDOW(window), GTK_FILE_CHOOSER_ACTION_SAVE, "gtk-cancel",
      GTK_RESPONSE_CANCEL, "gtk-save", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
  gchar *star =
      gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(lookup_widget(window, "chart_star")));
  gchar *name = g_strdup_printf("%s-%s.png", star ? star : "chart",
                                gtk_entry_get_text(GTK_ENTRY(lookup_widget(window, "chart_date"))));
  gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), name);
  g_free(name);
  g_free(star);
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    gchar *path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
    std::string error;
    if (path && !ctrl_chart_save(state, path, &error)) {
      gchar *shown = g_filename_display_name(path);
      GtkWidget *message = gtk_message_dialog_new(
          GTK_WINDOW(chooser), GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE,
          _("The chart cannot be written to “%s”: %s"), shown, error.c_str());
      gtk_dialog_run(GTK_DIALOG(message));
      gtk_widget_destroy(message);
      g_free(shown);
    }
    g_free(path);
  }
  gtk_widget_destroy(chooser);
}

void on_chart_window_destroy(GtkWidget *window, AppState *state) {
  ChartWindow *data = window_data(window);
  g_signal_handler_disconnect(state->lat_scale, data->lat_handler);
  g_signal_handler_disconnect(state->frot_scale, data->frot_handler);
  if (state->chart_window == window) state->chart_window = nullptr;
}

void free_chart_data(gpointer data) {
  delete static_cast<ChartWindow *>(data);
}

// The row of the star the window starts at: the last Go To's, else the one
// nearest where the tube points.
int first_row(const AppState *state, const std::vector<int> &stars) {
  const SkyStar *want = state->goto_star;
  const SkyTime now = ctrl_clock_now(state);
  double ra, dec;
  if (!want && ctrl_mount_place(state, now, &ra, &dec)) {
    double nearest = INFINITY;
    for (int i = 0; i < sky_star_count(); i++) {
      double sra, sdec;
      if (!sky_apparent_place(sky_stars()[i], now, &sra, &sdec)) continue;
      const double d = std::acos(std::clamp(
          std::sin(dec) * std::sin(sdec) + std::cos(dec) * std::cos(sdec) * std::cos(ra - sra),
          -1.0, 1.0));
      if (d < nearest) nearest = d, want = &sky_stars()[i];
    }
  }
  for (size_t row = 0; row < stars.size(); row++) {
    if (&sky_stars()[stars[row]] == want) return int(row);
  }
  return 0;
}

}  // namespace

std::vector<int> ctrl_star_order() {
  std::vector<int> stars(static_cast<size_t>(sky_star_count()));
  for (int i = 0; i < sky_star_count(); i++) stars[size_t(i)] = i;
  std::sort(stars.begin(), stars.end(), [](int a, int b) {
    return g_utf8_collate(_(sky_stars()[a].name), _(sky_stars()[b].name)) < 0;
  });
  return stars;
}

std::string ctrl_tonight(const AppState *state) {
  int year, month, day;
  chart_tonight(ctrl_clock_utc(state), state->longitude, &year, &month, &day);
  return sky_printed("%04d-%02d-%02d", year, month, day);
}

GtkWidget *ctrl_open_chart_window(AppState *state) {
  if (state->chart_window) {
    gtk_window_present(GTK_WINDOW(state->chart_window));
    return state->chart_window;
  }
  GtkWidget *window = state->chart_window = create_chart_window();
  auto *data = new ChartWindow{state, ctrl_star_order(), {}, {}, false, 0, 0};
  g_object_set_data_full(G_OBJECT(window), "velmorant-chart", data, free_chart_data);
  GtkWidget *list = lookup_widget(window, "chart_star");
  for (int i : data->stars) {
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(list), _(sky_stars()[i].name));
  }
  gtk_combo_box_set_active(GTK_COMBO_BOX(list), first_row(state, data->stars));
  gtk_entry_set_text(GTK_ENTRY(lookup_widget(window, "chart_date")), ctrl_tonight(state).c_str());
  g_signal_connect(list, "changed", G_CALLBACK(on_input_changed), window);
  g_signal_connect(lookup_widget(window, "chart_date"), "changed", G_CALLBACK(on_input_changed),
                   window);
  g_signal_connect(lookup_widget(window, "chart_save"), "clicked", G_CALLBACK(on_save_clicked),
                   window);
#if GTK_CHECK_VERSION(3, 0, 0)
  g_signal_connect(lookup_widget(window, "chart_area"), "draw", G_CALLBACK(on_chart_draw), nullptr);
#else
  g_signal_connect(lookup_widget(window, "chart_area"), "expose-event", G_CALLBACK(on_chart_expose),
                   nullptr);
#endif
  data->lat_handler =
      g_signal_connect_swapped(state->lat_scale, "value-changed", G_CALLBACK(redraw), window);
  data->frot_handler =
      g_signal_connect_swapped(state->frot_scale, "value-changed", G_CALLBACK(redraw), window);
  g_signal_connect(window, "destroy", G_CALLBACK(on_chart_window_destroy), state);
  gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(state->main_window));
  gtk_window_set_destroy_with_parent(GTK_WINDOW(window), TRUE);
  gtk_window_present(GTK_WINDOW(window));
  return window;
}

void ctrl_chart_changed(AppState *state) {
  if (state->chart_window) redraw(state->chart_window);
}

bool ctrl_chart_save(AppState *state, const char *path, std::string *error) {
  const Chart *chart = state->chart_window ? current_chart(state->chart_window) : nullptr;
  if (!chart) {
    *error = _("there is no chart: choose a star and a date");
    return false;
  }
  return chart_plot_write(*chart, path, error);
}
