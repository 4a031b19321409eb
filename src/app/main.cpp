// Program entry: builds the window, hands the shared state to the control panel
// and the OpenGL view, and runs the main loop.
#include <glib/gi18n.h>
#include <gtk/gtk.h>
#if GTK_CHECK_VERSION(3, 0, 0) && defined(GDK_WINDOWING_X11)
#include <gdk/gdkx.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <cmath>
#include <string>

#include "app/app_state.h"
#include "app/callbacks.h"
#include "app/interface.h"
#include "app/support.h"
#include "chart/chart.h"
#include "chart/chart_plot.h"
#include "controls/controls.h"
#include "controls/indi_server.h"
#include "controls/lx200_server.h"
#include "controls/tcp_server.h"
#include "controls/motion.h"
#include "controls/telescope.h"
#include "controls/tracking.h"
#include "mount/mount.h"
#include "view/glcallbacks.h"
#include "view/glsurface.h"

// The one AppState, held at namespace scope rather than in main's frame: it and
// the model it owns live until the process ends and are never freed, and this
// pointer keeps them reachable (to leak checkers too) after main has returned.
AppState *velmorant_app_state = nullptr;

namespace {

// The gettext domain of the program's messages.
constexpr const char *kTextDomain = "velmorant";

// Where the message catalogues are: share/locale beside the program's own
// folder, so that an installation moved to another prefix still finds them,
// else the configured prefix's.
std::string catalogue_dir() {
  std::string dir = VELMORANT_LOCALEDIR;
  gchar *program = g_file_read_link("/proc/self/exe", nullptr);
  if (program) {
    gchar *bin = g_path_get_dirname(program);
    gchar *beside = g_build_filename(bin, "..", "share", "locale", nullptr);
    if (g_file_test(beside, G_FILE_TEST_IS_DIR)) dir = beside;
    g_free(beside);
    g_free(bin);
    g_free(program);
  }
  return dir;
}

// What an option of degrees holds until it is given: no one types it, and NaN
// or infinity typed are refused rather than taken for "not given".
constexpr double kNotGiven = -1e300;

// The command line's options, parsed with the toolkit's own. An option the
// program does not know is an error.
struct Options {
  double longitude = 0.0;              // degrees east
  bool lx200 = false;                  // --lx200 was given
  std::string endpoint;                // its value: "", PORT or ADDRESS:PORT
  bool indi = false;                   // --indi was given
  std::string indi_endpoint;           // its value: "", PORT or ADDRESS:PORT
  gchar *axis_speed = nullptr;         // --axis-speed's text, or nullptr
  gchar *axis_acceleration = nullptr;  // --axis-acceleration's text, or nullptr
  MountLimits limits = mount_default_limits();
  double latitude = kNotGiven;        // --latitude, degrees
  gchar *chart = nullptr;             // --chart's target, or nullptr for the window
  gchar *date = nullptr;              // --date's text, or nullptr
  gchar *output = nullptr;            // --output's path, or nullptr
  double field_rotation = kNotGiven;  // --field-rotation, degrees
};

Options *parsed_options = nullptr;

gboolean on_lx200_option(const gchar * /*name*/, const gchar *value, gpointer /*data*/,
                         GError ** /*error*/) {
  parsed_options->lx200 = true;
  parsed_options->endpoint = value ? value : "";
  return TRUE;
}

gboolean on_indi_option(const gchar * /*name*/, const gchar *value, gpointer /*data*/,
                        GError ** /*error*/) {
  parsed_options->indi = true;
  parsed_options->indi_endpoint = value ? value : "";
  return TRUE;
}

// A protocol server that an option asks for, and the texts that speak of it.
struct ServerOption {
  bool (*parse)(const char *, std::string *, guint16 *);
  bool (*start)(AppState *, const char *, guint16, std::string *);
  const char *item;          // its menu item, checked once it listens
  const char *malformed;     // format: the program's name and the option's text
  const char *not_loopback;  // format: the program's name, the address and the port
};

// Starts the server that --lx200 or --indi asks for, or ends the program with
// status 2 saying why it cannot.
void start_server(AppState *state, const ServerOption &server, const std::string &endpoint) {
  std::string address, message;
  guint16 port;
  if (!server.parse(endpoint.c_str(), &address, &port)) {
    g_printerr(server.malformed, kProgramName, endpoint.c_str());
    exit(2);
  }
  if (!ctrl_tcp_is_loopback(address.c_str())) {
    g_printerr(server.not_loopback, kProgramName, address.c_str(), guint(port));
  }
  if (!server.start(state, address.c_str(), port, &message)) {
    g_printerr("%s: %s\n", kProgramName, message.c_str());
    exit(2);
  }
  GtkWidget *item = lookup_widget(state->main_window, server.item);
  if (item) gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), TRUE);
}

void start_servers(AppState *state, const Options &options) {
  if (options.lx200) {
    start_server(state,
                 {ctrl_lx200_parse_endpoint, ctrl_lx200_start, "telescope_lx200",
                  _("%s: --lx200 takes PORT or ADDRESS:PORT, not “%s”\n"),
                  _("%s: warning: LX200 connections are accepted on %s, port %u: anyone who "
                    "can reach it can move the mount\n")},
                 options.endpoint);
  }
  if (options.indi) {
    start_server(state,
                 {ctrl_indi_parse_endpoint, ctrl_indi_start, "telescope_indi",
                  _("%s: --indi takes PORT or ADDRESS:PORT, not “%s”\n"),
                  _("%s: warning: INDI connections are accepted on %s, port %u: anyone who "
                    "can reach it can move the mount\n")},
                 options.indi_endpoint);
  }
}

// Reads the options into options; on a malformed one prints why on stderr and
// ends the program with status 2. --help and --help-gtk print and end with 0.
void parse_options(int *argc, char ***argv, Options *options) {
  const GOptionEntry entries[] = {
      {"longitude", 0, 0, G_OPTION_ARG_DOUBLE, &options->longitude,
       N_("Site longitude in degrees, east positive, from -180 to 180 (default 0)"), N_("DEG")},
      {"lx200", 0, G_OPTION_FLAG_OPTIONAL_ARG, G_OPTION_ARG_CALLBACK,
       reinterpret_cast<gpointer>(on_lx200_option),
       N_("Accept LX200 connections from planetarium programs on PORT (default 4030) of "
          "ADDRESS (default 127.0.0.1)"),
       N_("[ADDRESS:]PORT")},
      {"indi", 0, G_OPTION_FLAG_OPTIONAL_ARG, G_OPTION_ARG_CALLBACK,
       reinterpret_cast<gpointer>(on_indi_option),
       N_("Be an INDI server for INDI clients on PORT (default 7624) of ADDRESS (default "
          "127.0.0.1)"),
       N_("[ADDRESS:]PORT")},
      {"axis-speed", 0, 0, G_OPTION_ARG_STRING, &options->axis_speed,
       N_("Top speed of every axis, or of a1,a2,a3, in degrees per second, above 0 and at most "
          "90 (default 5)"),
       N_("DEG_PER_S")},
      {"axis-acceleration", 0, 0, G_OPTION_ARG_STRING, &options->axis_acceleration,
       N_("Acceleration of every axis, or of a1,a2,a3, in degrees per second squared, above 0 "
          "and at most 90 (default 2.5)"),
       N_("DEG_PER_S2")},
      {"latitude", 0, 0, G_OPTION_ARG_DOUBLE, &options->latitude,
       N_("Site latitude in degrees, north positive, from -90 to 90 (default 45)"), N_("DEG")},
      {"chart", 0, 0, G_OPTION_ARG_STRING, &options->chart,
       N_("Write the chart of a night for STAR (a name of the Go To list, or RA,DEC of date) to "
          "the file --output names, and open no window"),
       N_("STAR")},
      {"date", 0, 0, G_OPTION_ARG_STRING, &options->date,
       N_("The chart's date, YYYY-MM-DD: the night that begins that evening (default tonight's)"),
       N_("DATE")},
      {"field-rotation", 0, 0, G_OPTION_ARG_DOUBLE, &options->field_rotation,
       N_("The field rotation the charted mount holds, in degrees (default 0)"), N_("DEG")},
      {"output", 0, 0, G_OPTION_ARG_FILENAME, &options->output,
       N_("The chart's file: .png, .svg, .pdf or .csv"), N_("FILE")},
      {nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr}};
  parsed_options = options;
  GOptionContext *context = g_option_context_new(nullptr);
  g_option_context_set_translation_domain(context, kTextDomain);
  g_option_context_add_main_entries(context, entries, kTextDomain);
  // The toolkit's own options, without opening the display: gtk_init does
  // that afterwards and says so as it always did when it cannot.
  g_option_context_add_group(context, gtk_get_option_group(FALSE));
  GError *error = nullptr;
  const gboolean parsed = g_option_context_parse(context, argc, argv, &error);
  g_option_context_free(context);
  if (!parsed) {
    g_printerr("%s: %s\n", kProgramName, error->message);
    exit(2);
  }
  if (!(options->longitude >= -180.0 && options->longitude <= 180.0)) {
    g_printerr(_("%s: the longitude must be from -180 to 180 degrees (east positive), not %g\n"),
               kProgramName, options->longitude);
    exit(2);
  }
  if (options->axis_speed && !mount_parse_axes(options->axis_speed, &options->limits.speed)) {
    g_printerr(_("%s: --axis-speed takes one speed or three (a1,a2,a3), each above 0 and at most "
                 "90 degrees per second, not “%s”\n"),
               kProgramName, options->axis_speed);
    exit(2);
  }
  if (options->axis_acceleration &&
      !mount_parse_axes(options->axis_acceleration, &options->limits.acceleration)) {
    g_printerr(_("%s: --axis-acceleration takes one acceleration or three (a1,a2,a3), each above "
                 "0 and at most 90 degrees per second squared, not “%s”\n"),
               kProgramName, options->axis_acceleration);
    exit(2);
  }
  if (options->latitude != kNotGiven &&
      !(options->latitude >= -90.0 && options->latitude <= 90.0)) {
    g_printerr(_("%s: the latitude must be from -90 to 90 degrees (north positive), not %g\n"),
               kProgramName, options->latitude);
    exit(2);
  }
  if (options->field_rotation != kNotGiven && !std::isfinite(options->field_rotation)) {
    g_printerr(_("%s: the field rotation must be a number of degrees, not %g\n"), kProgramName,
               options->field_rotation);
    exit(2);
  }
  if (!options->chart &&
      (options->date || options->output || options->field_rotation != kNotGiven)) {
    g_printerr(_("%s: --date, --field-rotation and --output go with --chart\n"), kProgramName);
    exit(2);
  }
  g_free(options->axis_speed);
  g_free(options->axis_acceleration);
  options->axis_speed = options->axis_acceleration = nullptr;
}

// A message made by g_strdup_printf, as a string; the message is freed.
std::string taken(gchar *text) {
  std::string out = text ? text : "";
  g_free(text);
  return out;
}

// Writes the chart that --chart asks for. Returns the program's status: 0,
// with nothing said, where it is written; else 2, with one line saying why and
// no file left behind.
int write_chart(const Options &options) {
  auto fail = [](const std::string &why) {
    g_printerr("%s: %s\n", kProgramName, why.c_str());
    return 2;
  };
  ChartRequest request;
  if (!chart_parse_target(options.chart, &request)) {
    return fail(taken(g_strdup_printf(_("--chart takes a star of the Go To list or RA,DEC of date "
                                        "(18h 36m 56.3s,+38° 47′ 01″ or 18.6156,38.78), not “%s”"),
                                      options.chart)));
  }
  if (options.date) {
    if (!chart_parse_date(options.date, &request.year, &request.month, &request.day)) {
      return fail(taken(g_strdup_printf(
          _("--date takes a date as YYYY-MM-DD (2026-06-21), not “%s”"), options.date)));
    }
  } else {
    chart_tonight(double(g_get_real_time()) / G_USEC_PER_SEC, options.longitude, &request.year,
                  &request.month, &request.day);
  }
  if (!options.output) return fail(_("--chart needs --output=FILE (.png, .svg, .pdf or .csv)"));
  if (options.latitude != kNotGiven) request.latitude = options.latitude;
  request.longitude = options.longitude;
  if (options.field_rotation != kNotGiven) request.field_rotation = options.field_rotation;
  request.limits = options.limits;
  Chart chart;
  std::string why;
  if (!chart_compute(request, &chart, &why)) return fail(_(why.c_str()));
  if (!chart_plot_write(chart, options.output, &why)) {
    const std::string name = taken(g_filename_display_name(options.output));
    return fail(
        taken(g_strdup_printf(_("cannot write the chart to “%s”: %s"), name.c_str(), why.c_str())));
  }
  return 0;
}

#if GTK_CHECK_VERSION(3, 0, 0) && defined(GDK_WINDOWING_X11)
// The X server has gone, or the connection to it broke. GDK 3 ends the
// program then with only a debugging message, which nobody sees: this says it
// as GTK+ 2's GDK always has, then ends the program as GDK does, with status 1 and
// without the exit handlers, which would talk to the X server again.
int on_x_connection_lost(Display *display) {
  const int error = errno;
  if (error == EPIPE) {
    g_printerr(
        "The application '%s' lost its connection to the display %s;\n"
        "most likely the X server was shut down or you killed/destroyed\n"
        "the application.\n",
        g_get_prgname(), DisplayString(display));
  } else {
    g_printerr("%s: Fatal IO error %d (%s) on X server %s.\n", g_get_prgname(), error,
               g_strerror(error), DisplayString(display));
  }
  _exit(1);
}
#endif

}  // namespace

int main(int argc, char *argv[]) {
  // GTK 3 reads its GL settings as it starts.
  gl_surface_prepare_environment();
#if !GTK_CHECK_VERSION(3, 0, 0)
  gtk_set_locale();  // GTK 3's gtk_init sets the locale itself
#endif
  // The program's texts in the user's language, from the installed catalogues;
  // without a catalogue for the locale they stay as written.
  bindtextdomain(kTextDomain, catalogue_dir().c_str());
  bind_textdomain_codeset(kTextDomain, "UTF-8");
  textdomain(kTextDomain);
  Options options;
  parse_options(&argc, &argv, &options);
  if (options.chart) {
    const int status = write_chart(options);
    g_free(options.chart);
    g_free(options.date);
    g_free(options.output);
    return status;
  }
  gtk_init(&argc, &argv);
#if GTK_CHECK_VERSION(3, 0, 0) && defined(GDK_WINDOWING_X11)
  if (GDK_IS_X11_DISPLAY(gdk_display_get_default())) XSetIOErrorHandler(on_x_connection_lost);
#endif

  // Registered for completeness of the pixmap support; nothing is loaded from it.
  add_pixmap_directory("C:/velmorant/pixmaps");

  gl_surface_init(&argc, &argv);

  // Zero-filled so that no field holds garbage before its writer runs.
  AppState *state = velmorant_app_state = g_new0(AppState, 1);
  state->gl_initialized = 0;
  state->updating = 0;
  state->min_altitude = kMinAltitudeDegrees;

  state->main_window = create_main_window();
  gtk_container_set_reallocate_redraws(GTK_CONTAINER(state->main_window), TRUE);
  g_signal_connect(state->main_window, "delete_event", G_CALLBACK(delete_event), nullptr);
  g_signal_connect(state->main_window, "destroy", G_CALLBACK(destroy), nullptr);
  ctrl_init_scales(state);
  gl_init_gtkglext(state);
  ctrl_init_view_menu(state);
  ctrl_init_telescope(state);
  ctrl_set_longitude(state, options.longitude);
  ctrl_motion_init(state, options.limits);
  // As if the hand had put the Latitude scale there.
  if (options.latitude != kNotGiven) {
    gtk_range_set_value(GTK_RANGE(state->lat_scale), options.latitude);
  }
  start_servers(state, options);
  fit_main_window_to_screen(state->main_window, state->drawing_area);

  gtk_widget_show(state->main_window);
  gtk_main();
  return 0;
}
