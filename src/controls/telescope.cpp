// The Telescope menu: the site and the clock, Go To and slews, Stop, the
// tracking rate and the sky's coordinates in the status bar.
#include "controls/telescope.h"

#include <glib/gi18n.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "app/interface.h"
#include "app/support.h"
#include "controls/chart_window.h"
#include "controls/controls.h"
#include "controls/indi_server.h"
#include "controls/lx200_server.h"
#include "controls/motion.h"
#include "controls/tracking.h"
#include "geometry/coord.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;

// The readouts of the clock refresh this often, milliseconds: often enough
// that the seconds they show step evenly.
constexpr guint kReadoutIntervalMs = 250;
// The longest user text repeated in a message, in characters.
constexpr glong kLongestQuoted = 32;

GtkWidget *item(const AppState *state, const char *name) {
  return lookup_widget(state->main_window, name);
}

// The statusbar's context for the sky's line.
guint sky_context(GtkWidget *statusbar) {
  return gtk_statusbar_get_context_id(GTK_STATUSBAR(statusbar), "sky coordinates");
}

// Shows the sky's line in the status bar while View, Sky Coordinates is on,
// and the Site dialog's clock while it is open.
void refresh_readouts(AppState *state) {
  const SkyTime now = ctrl_clock_now(state);
  GtkWidget *statusbar = item(state, "statusbar1");
  if (statusbar) {
    std::string line = state->show_sky ? ctrl_sky_status(state, now) : "";
    for (const std::string &part :
         {ctrl_motion_status(state), ctrl_lx200_status(state), ctrl_indi_status(state)}) {
      if (!part.empty()) line += (line.empty() ? "" : "   ·   ") + part;
    }
    const guint context = sky_context(statusbar);
    gtk_statusbar_pop(GTK_STATUSBAR(statusbar), context);
    if (!line.empty()) gtk_statusbar_push(GTK_STATUSBAR(statusbar), context, line.c_str());
  }
  if (state->site_dialog) {
    double last = 0;
    const bool placed = sky_local_sidereal_time(now, state->longitude * kDeg, &last);
    gtk_label_set_text(GTK_LABEL(lookup_widget(state->site_dialog, "site_utc")),
                       sky_format_utc(now).c_str());
    gtk_label_set_text(GTK_LABEL(lookup_widget(state->site_dialog, "site_sidereal_time")),
                       placed ? sky_format_ra(last).c_str() : "");
  }
}

gboolean readouts_tick(gpointer user_data) {
  refresh_readouts(static_cast<AppState *>(user_data));
  return G_SOURCE_CONTINUE;
}

// The once-a-second refresh runs while anything shows the clock.
void update_readout_timer(AppState *state) {
  const bool wanted = state->show_sky || state->site_dialog;
  if (wanted && state->sky_source == 0) {
    state->sky_source = g_timeout_add(kReadoutIntervalMs, readouts_tick, state);
  } else if (!wanted && state->sky_source != 0) {
    g_source_remove(state->sky_source);
    state->sky_source = 0;
  }
}

// ---- Go To dialog ----

// What the Go To dialog keeps: the star list's order, and whether the entries
// are being filled from the list (so that the fill does not count as typing).
struct GotoDialog {
  AppState *state;
  std::vector<int> stars;  // table index of each row of the list
  bool filling = false;
};

GotoDialog *goto_data(GtkWidget *dialog) {
  return static_cast<GotoDialog *>(g_object_get_data(G_OBJECT(dialog), "velmorant-goto"));
}

// The star the list shows, or nullptr.
const SkyStar *chosen_star(GtkWidget *dialog) {
  const GotoDialog *data = goto_data(dialog);
  const gint row = gtk_combo_box_get_active(GTK_COMBO_BOX(lookup_widget(dialog, "goto_star")));
  if (row < 0 || row >= gint(data->stars.size())) return nullptr;
  return &sky_stars()[data->stars[row]];
}

void say(GtkWidget *dialog, const std::string &text) {
  gtk_label_set_text(GTK_LABEL(lookup_widget(dialog, "goto_message")), text.c_str());
}

// Text the user typed, cut short for a message.
std::string quoted(const char *text) {
  if (g_utf8_strlen(text, -1) <= kLongestQuoted) return text;
  const char *end = g_utf8_offset_to_pointer(text, kLongestQuoted);
  return std::string(text, end) + "…";
}

void on_goto_star_changed(GtkComboBox * /*combo*/, GtkWidget *dialog) {
  GotoDialog *data = goto_data(dialog);
  const SkyStar *star = chosen_star(dialog);
  double ra, dec;
  if (!star || !sky_apparent_place(*star, ctrl_clock_now(data->state), &ra, &dec)) return;
  data->filling = true;
  gtk_entry_set_text(GTK_ENTRY(lookup_widget(dialog, "goto_ra")), sky_format_ra(ra).c_str());
  gtk_entry_set_text(GTK_ENTRY(lookup_widget(dialog, "goto_dec")), sky_format_dec(dec).c_str());
  data->filling = false;
}

// Typing into an entry leaves the star behind: the list no longer names what
// the entries say.
void on_goto_entry_changed(GtkEditable * /*entry*/, GtkWidget *dialog) {
  if (goto_data(dialog)->filling) return;
  gtk_combo_box_set_active(GTK_COMBO_BOX(lookup_widget(dialog, "goto_star")), -1);
}

// Go To: the slew starts and the dialog closes, or a sentence says why not.
bool try_goto(GtkWidget *dialog) {
  AppState *state = goto_data(dialog)->state;
  if (state->mount && state->mount->activity == MountActivity::kParked) {
    say(dialog, _("The mount is parked: choose Telescope, Unpark first."));
    return false;
  }
  const SkyTime now = ctrl_clock_now(state);
  const SkyStar *star = chosen_star(dialog);
  double ra, dec;
  std::string name;
  if (star) {
    // The place now, to the full precision of the table, not as written.
    if (!sky_apparent_place(*star, now, &ra, &dec)) return false;
    name = _(star->name);
  } else {
    const char *ra_text = gtk_entry_get_text(GTK_ENTRY(lookup_widget(dialog, "goto_ra")));
    const char *dec_text = gtk_entry_get_text(GTK_ENTRY(lookup_widget(dialog, "goto_dec")));
    if (!sky_parse_ra(ra_text, &ra)) {
      gchar *text = g_strdup_printf(_("The right ascension “%s” cannot be read: write it as "
                                      "18h 36m 56.3s, 18:36:56.3 or 18.6156 (hours)."),
                                    quoted(ra_text).c_str());
      say(dialog, text);
      g_free(text);
      return false;
    }
    if (!sky_parse_dec(dec_text, &dec)) {
      gchar *text = g_strdup_printf(_("The declination “%s” cannot be read: write it as "
                                      "+38° 47′ 01″, +38:47:01 or 38.78 (degrees)."),
                                    quoted(dec_text).c_str());
      say(dialog, text);
      g_free(text);
      return false;
    }
    name = _("The target");
  }
  const double alt = ctrl_target_altitude(state, now, ra, dec);
  double last;
  if (std::isnan(alt) || !sky_local_sidereal_time(now, state->longitude * kDeg, &last) ||
      ctrl_eq_pose_refused(state, sky_hour_angle(last, ra) / kDeg, dec / kDeg)) {
    // Rounded away from the limit, so that the sentence never contradicts
    // itself ("1.0° above ... no lower than 1°").
    gchar *text =
        alt < 0 ? g_strdup_printf(_("%s is %.1f° below the horizon now; the mount points no "
                                    "lower than 1°."),
                                  name.c_str(), std::ceil(-alt * 10) / 10)
                : g_strdup_printf(_("%s is only %.1f° above the horizon now; the mount points "
                                    "no lower than 1°."),
                                  name.c_str(), std::floor(alt * 10) / 10);
    say(dialog, text);
    g_free(text);
    return false;
  }
  if (ctrl_goto_start(state, ra, dec)) {
    state->goto_star = star;
    return true;
  }
  // Above the limit now, but setting below it before the mount could arrive.
  gchar *text = g_strdup_printf(_("%s would sink lower than 1° before the mount could reach it."),
                                name.c_str());
  say(dialog, text);
  g_free(text);
  return false;
}

void on_goto_response(GtkDialog *dialog, gint response, gpointer /*user_data*/) {
  if (response == GTK_RESPONSE_OK && !try_goto(GTK_WIDGET(dialog))) return;
  gtk_widget_destroy(GTK_WIDGET(dialog));
}

void free_goto_data(gpointer data) {
  delete static_cast<GotoDialog *>(data);
}

void on_dialog_destroy(GtkWidget *dialog, AppState *state) {
  if (state->goto_dialog == dialog) state->goto_dialog = nullptr;
  if (state->site_dialog == dialog) state->site_dialog = nullptr;
  if (state->limits_dialog == dialog) state->limits_dialog = nullptr;
  update_readout_timer(state);
}

// A dialog over the main window, closed with it.
void present_over_main_window(AppState *state, GtkWidget *dialog) {
  gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(state->main_window));
  gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), TRUE);
  g_signal_connect(dialog, "destroy", G_CALLBACK(on_dialog_destroy), state);
  gtk_window_present(GTK_WINDOW(dialog));
}

// ---- Site dialog ----

void on_site_longitude_changed(GtkSpinButton *spin, AppState *state) {
  ctrl_set_longitude(state, gtk_spin_button_get_value(spin));
}

void on_site_response(GtkDialog *dialog, gint /*response*/, gpointer /*user_data*/) {
  gtk_widget_destroy(GTK_WIDGET(dialog));
}

// ---- Axis Limits dialog ----

constexpr const char *kLimitNames[6] = {"limit_speed_a1", "limit_speed_a2", "limit_speed_a3",
                                        "limit_accel_a1", "limit_accel_a2", "limit_accel_a3"};

void on_limit_changed(GtkSpinButton * /*spin*/, AppState *state) {
  MountLimits limits;
  for (int i = 0; i < 6; i++) {
    const double value = gtk_spin_button_get_value(
        GTK_SPIN_BUTTON(lookup_widget(state->limits_dialog, kLimitNames[i])));
    (i < 3 ? limits.speed : limits.acceleration)[i % 3] = value;
  }
  if (!mount_limits_valid(limits)) return;
  mount_set_limits(state->mount, limits, ctrl_motion_now(state));
  ctrl_motion_changed(state);
  ctrl_chart_changed(state);
}

void on_limits_response(GtkDialog *dialog, gint /*response*/, gpointer /*user_data*/) {
  gtk_widget_destroy(GTK_WIDGET(dialog));
}

// ---- Menu items ----

void on_goto_activate(GtkMenuItem * /*item*/, AppState *state) {
  ctrl_open_goto_dialog(state);
}

void on_stop_activate(GtkMenuItem * /*item*/, AppState *state) {
  ctrl_telescope_stop(state);
}

void on_site_activate(GtkMenuItem * /*item*/, AppState *state) {
  ctrl_open_site_dialog(state);
}

void on_park_activate(GtkMenuItem * /*item*/, AppState *state) {
  ctrl_telescope_park(state);
}

void on_unpark_activate(GtkMenuItem * /*item*/, AppState *state) {
  mount_unpark(state->mount, ctrl_motion_now(state));
  ctrl_motion_changed(state);
}

void on_set_park_activate(GtkMenuItem * /*item*/, AppState *state) {
  mount_set_park(state->mount);
  ctrl_motion_changed(state);
}

void on_limits_activate(GtkMenuItem * /*item*/, AppState *state) {
  ctrl_open_limits_dialog(state);
}

void on_chart_activate(GtkMenuItem * /*item*/, AppState *state) {
  ctrl_open_chart_window(state);
}

void on_rate_toggled(GtkCheckMenuItem *radio, AppState *state) {
  if (!gtk_check_menu_item_get_active(radio)) return;
  state->track_rate = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(radio), "velmorant-rate"));
  if (state->mount && state->mount->activity == MountActivity::kTracking &&
      state->mount->track_rate != state->track_rate) {
    mount_track(state->mount, state->track_rate, ctrl_motion_now(state));
    ctrl_motion_changed(state);
  }
}

void on_sky_toggled(GtkCheckMenuItem *check, AppState *state) {
  state->show_sky = gtk_check_menu_item_get_active(check);
  update_readout_timer(state);
  refresh_readouts(state);
}

void on_scale_moved(GtkRange * /*range*/, AppState *state) {
  if (state->show_sky) refresh_readouts(state);
}

// A protocol server's menu item: checked, it starts listening on the
// computer's own address and default port, or says in a dialog why it cannot
// and unchecks itself; unchecked, it stops the server.
struct ServerItem {
  bool (*listening)(const AppState *);
  bool (*start)(AppState *, const char *, guint16, std::string *);
  void (*stop)(AppState *);
  const char *address;
  guint16 port;
};

void toggle_server(GtkCheckMenuItem *check, AppState *state, const ServerItem &server) {
  const bool wanted = gtk_check_menu_item_get_active(check);
  if (wanted == server.listening(state)) return;
  if (!wanted) return server.stop(state);
  std::string message;
  if (server.start(state, server.address, server.port, &message)) return;
  gtk_check_menu_item_set_active(check, FALSE);
  GtkWidget *dialog =
      gtk_message_dialog_new(GTK_WINDOW(state->main_window), GTK_DIALOG_DESTROY_WITH_PARENT,
                             GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, "%s", message.c_str());
  g_signal_connect(dialog, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
  gtk_widget_show(dialog);
}

void on_lx200_toggled(GtkCheckMenuItem *check, AppState *state) {
  toggle_server(check, state,
                {ctrl_lx200_listening, ctrl_lx200_start, ctrl_lx200_stop, kLx200DefaultAddress,
                 kLx200DefaultPort});
}

void on_indi_toggled(GtkCheckMenuItem *check, AppState *state) {
  toggle_server(check, state,
                {ctrl_indi_listening, ctrl_indi_start, ctrl_indi_stop, kIndiDefaultAddress,
                 kIndiDefaultPort});
}

void on_main_window_destroy(GtkWidget * /*window*/, AppState *state) {
  ctrl_lx200_stop(state);
  ctrl_indi_stop(state);
  state->show_sky = 0;
  if (state->goto_dialog) gtk_widget_destroy(state->goto_dialog);
  if (state->site_dialog) gtk_widget_destroy(state->site_dialog);
  if (state->limits_dialog) gtk_widget_destroy(state->limits_dialog);
  if (state->chart_window) gtk_widget_destroy(state->chart_window);
  update_readout_timer(state);
}

void connect(AppState *state, const char *name, const char *signal, GCallback handler) {
  GtkWidget *widget = item(state, name);
  if (widget) g_signal_connect(widget, signal, handler, state);
}

}  // namespace

// The one place the program reads the system's clock for the sky.
double system_clock() {
  return double(g_get_real_time()) / G_USEC_PER_SEC;
}

void ctrl_clock_set(AppState *state, double utc) {
  const double offset = utc - system_clock();
  if (state->mount) mount_clock_moved(state->mount, offset - state->clock_offset);
  state->clock_offset = offset;
}

SkyTime ctrl_clock_at(const AppState *state, gint64 mono) {
  // The system's clock at monotonic time `now`: read on both sides of the
  // monotonic reading, again where the thread was held up between them, since
  // a 10 ms gap would already move a star 0.15" of arc.
  double before = 0, after = 0;
  gint64 now = 0;
  for (int attempt = 0; attempt < 3; attempt++) {
    before = system_clock();
    now = g_get_monotonic_time();
    after = system_clock();
    if (after - before < 1e-4) break;
  }
  const double earlier = double(now - mono) / G_USEC_PER_SEC;
  return sky_time_from_unix((before + after) / 2 + state->clock_offset - earlier);
}

double ctrl_clock_utc(const AppState *state) {
  return system_clock() + state->clock_offset;
}

void ctrl_refresh_status(AppState *state) {
  refresh_readouts(state);
}

SkyTime ctrl_clock_now(const AppState *state) {
  return ctrl_clock_at(state, g_get_monotonic_time());
}

bool ctrl_mount_place(const AppState *state, SkyTime t, double *ra, double *dec) {
  double last;
  if (!sky_local_sidereal_time(t, state->longitude * kDeg, &last)) return false;
  double ha = gtk_range_get_value(GTK_RANGE(state->ha_scale));
  *dec = gtk_range_get_value(GTK_RANGE(state->dec_scale)) * kDeg;
  if (state->mount) {
    double frot;
    mount_pointing(*state->mount, &ha, dec, &frot);
    *dec *= kDeg;
  }
  *ra = sky_right_ascension(last, ha * kDeg);
  return true;
}

double ctrl_target_altitude(const AppState *state, SkyTime t, double ra, double dec) {
  double last, az, alt;
  if (!sky_local_sidereal_time(t, state->longitude * kDeg, &last)) return NAN;
  coord_eq_to_altaz(&az, &alt, sky_hour_angle(last, ra), dec,
                    gtk_range_get_value(GTK_RANGE(state->lat_scale)) * kDeg);
  return alt / kDeg;
}

bool ctrl_goto_start(AppState *state, double ra, double dec) {
  const bool started =
      mount_slew_to_place(state->mount, ra / kDeg, dec / kDeg, ctrl_motion_now(state));
  if (started) state->goto_star = nullptr;  // a place; the Go To dialog names its star
  ctrl_motion_changed(state);               // a refused slew still stepped the mount to now
  return started;
}

void ctrl_telescope_park(AppState *state) {
  mount_park(state->mount, ctrl_motion_now(state));
  ctrl_motion_changed(state);
}

void ctrl_telescope_stop(AppState *state) {
  mount_stop(state->mount, ctrl_motion_now(state));
  ctrl_motion_changed(state);
}

void ctrl_set_longitude(AppState *state, double longitude) {
  state->longitude = std::clamp(std::isfinite(longitude) ? longitude : 0.0, -180.0, 180.0);
  if (state->mount) state->mount->longitude = state->longitude;
  refresh_readouts(state);
  ctrl_chart_changed(state);
}

std::string ctrl_sky_status(const AppState *state, SkyTime t) {
  double last;
  if (!sky_local_sidereal_time(t, state->longitude * kDeg, &last)) return "";
  const double ra =
      sky_right_ascension(last, gtk_range_get_value(GTK_RANGE(state->ha_scale)) * kDeg);
  const double dec = gtk_range_get_value(GTK_RANGE(state->dec_scale)) * kDeg;
  gchar *longitude = g_strdup_printf(state->longitude < 0 ? _("%.2f° W") : _("%.2f° E"),
                                     std::fabs(state->longitude));
  gchar *line = g_strdup_printf(_("RA %s   Dec %s   LST %s   UTC %s   Longitude %s"),
                                sky_format_ra(ra).c_str(), sky_format_dec(dec).c_str(),
                                sky_format_ra(last).c_str(), sky_format_utc(t).c_str(), longitude);
  std::string text = line;
  g_free(line);
  g_free(longitude);
  return text;
}

GtkWidget *ctrl_open_goto_dialog(AppState *state) {
  if (state->goto_dialog) {
    gtk_window_present(GTK_WINDOW(state->goto_dialog));
    return state->goto_dialog;
  }
  GtkWidget *dialog = state->goto_dialog = create_goto_dialog();
  auto *data = new GotoDialog{state, ctrl_star_order()};
  g_object_set_data_full(G_OBJECT(dialog), "velmorant-goto", data, free_goto_data);
  GtkWidget *list = lookup_widget(dialog, "goto_star");
  for (int i : data->stars) {
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(list), _(sky_stars()[i].name));
  }
  g_signal_connect(list, "changed", G_CALLBACK(on_goto_star_changed), dialog);
  g_signal_connect(lookup_widget(dialog, "goto_ra"), "changed", G_CALLBACK(on_goto_entry_changed),
                   dialog);
  g_signal_connect(lookup_widget(dialog, "goto_dec"), "changed", G_CALLBACK(on_goto_entry_changed),
                   dialog);
  g_signal_connect(dialog, "response", G_CALLBACK(on_goto_response), nullptr);
  present_over_main_window(state, dialog);
  return dialog;
}

GtkWidget *ctrl_open_site_dialog(AppState *state) {
  if (state->site_dialog) {
    gtk_window_present(GTK_WINDOW(state->site_dialog));
    return state->site_dialog;
  }
  GtkWidget *dialog = state->site_dialog = create_site_dialog();
  GtkWidget *spin = lookup_widget(dialog, "site_longitude");
  gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), state->longitude);
  g_signal_connect(spin, "value-changed", G_CALLBACK(on_site_longitude_changed), state);
  g_signal_connect(dialog, "response", G_CALLBACK(on_site_response), nullptr);
  present_over_main_window(state, dialog);
  update_readout_timer(state);
  refresh_readouts(state);
  return dialog;
}

GtkWidget *ctrl_open_limits_dialog(AppState *state) {
  if (state->limits_dialog) {
    gtk_window_present(GTK_WINDOW(state->limits_dialog));
    return state->limits_dialog;
  }
  GtkWidget *dialog = state->limits_dialog = create_axis_limits_dialog();
  const MountLimits &limits = state->mount->limits;
  for (int i = 0; i < 6; i++) {
    GtkWidget *spin = lookup_widget(dialog, kLimitNames[i]);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin),
                              (i < 3 ? limits.speed : limits.acceleration)[i % 3]);
    g_signal_connect(spin, "value-changed", G_CALLBACK(on_limit_changed), state);
  }
  g_signal_connect(dialog, "response", G_CALLBACK(on_limits_response), nullptr);
  present_over_main_window(state, dialog);
  return dialog;
}

void ctrl_init_telescope(AppState *state) {
  connect(state, "telescope_goto", "activate", G_CALLBACK(on_goto_activate));
  connect(state, "telescope_stop", "activate", G_CALLBACK(on_stop_activate));
  connect(state, "telescope_site", "activate", G_CALLBACK(on_site_activate));
  connect(state, "view_sky", "toggled", G_CALLBACK(on_sky_toggled));
  connect(state, "telescope_lx200", "toggled", G_CALLBACK(on_lx200_toggled));
  connect(state, "telescope_indi", "toggled", G_CALLBACK(on_indi_toggled));
  connect(state, "telescope_park", "activate", G_CALLBACK(on_park_activate));
  connect(state, "telescope_unpark", "activate", G_CALLBACK(on_unpark_activate));
  connect(state, "telescope_set_park", "activate", G_CALLBACK(on_set_park_activate));
  connect(state, "telescope_limits", "activate", G_CALLBACK(on_limits_activate));
  connect(state, "telescope_chart", "activate", G_CALLBACK(on_chart_activate));
  constexpr std::array<int, 4> kRates = {1, 10, 100, 1000};
  for (int rate : kRates) {
    gchar *name = g_strdup_printf("track_rate_%d", rate);
    GtkWidget *radio = item(state, name);
    g_free(name);
    if (!radio) continue;
    g_object_set_data(G_OBJECT(radio), "velmorant-rate", GINT_TO_POINTER(rate));
    g_signal_connect(radio, "toggled", G_CALLBACK(on_rate_toggled), state);
    if (gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(radio))) state->track_rate = rate;
  }
  g_signal_connect_after(state->ha_scale, "value-changed", G_CALLBACK(on_scale_moved), state);
  g_signal_connect_after(state->dec_scale, "value-changed", G_CALLBACK(on_scale_moved), state);
  g_signal_connect(state->main_window, "destroy", G_CALLBACK(on_main_window_destroy), state);
}
