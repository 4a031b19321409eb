// Builders of the main window and the two Help dialogs.
#include "app/interface.h"

#include <gdk/gdkkeysyms.h>
#include <glib/gi18n.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/callbacks.h"

namespace {

// Registers widget on its top-level window under name, holding a reference
// that is dropped when the window is destroyed.
void hookup_object(GtkWidget *component, GtkWidget *widget, const char *name) {
  g_object_set_data_full(G_OBJECT(component), name, g_object_ref(widget), g_object_unref);
}

// Registers widget under name without a reference: the window itself and the
// parts a dialog owns outright.
void hookup_object_no_ref(GtkWidget *component, GtkWidget *widget, const char *name) {
  g_object_set_data(G_OBJECT(component), name, widget);
}

struct ScaleRow {
  const char *name;
  guint row;
};

// The eleven scales in the order they are created and registered.
constexpr ScaleRow kScaleRows[] = {
    {"alt_scale", 0},  {"az_scale", 1},    {"ha_scale", 3},   {"dec_scale", 4},
    {"frot_scale", 6}, {"a1_scale", 8},    {"a2_scale", 9},   {"a3_scale", 10},
    {"lat_scale", 12}, {"calt_scale", 14}, {"caz_scale", 15},
};

struct LabelRow {
  const char *name;
  const char *text;
  guint row;
};

// The labels in the order they are created and registered.
constexpr LabelRow kLabelRows[] = {
    {"label2", N_("Altitude"), 0},
    {"label3", N_("Azimuth"), 1},
    {"label4", N_("Hour Angle"), 3},
    {"label5", N_("Declination"), 4},
    {"label7", N_("a1"), 8},
    {"label8", N_("a2"), 9},
    {"label9", N_("a3"), 10},
    {"label10", N_("Latitude"), 12},
    {"label11", N_("Camera Alt"), 14},
    {"label12", N_("Camera Az"), 15},
    {"label6", N_("Field Rotation"), 6},
};

struct ViewItem {
  const char *name;
  const char *text;
  guint key;  // with Ctrl, or 0 for none
};

// The View menu's check items, top to bottom. The control panel connects them
// (ctrl_init_view_menu).
constexpr ViewItem kViewItems[] = {
    {"view_compass", N_("_Compass and Horizon"), 0},
    {"view_pointing", N_("_Pointing Line"), 0},
    {"view_track", N_("_Track the Sky"), GDK_KEY_t},
};

struct RateItem {
  const char *name;
  const char *text;
};

// View, Tracking Rate's radio items, slowest first; the last is active at
// start-up. The control panel connects them (ctrl_init_telescope).
constexpr RateItem kRateItems[] = {
    {"track_rate_1", N_("×_1 (the Sky's Own Rate)")},
    {"track_rate_10", N_("×1_0")},
    {"track_rate_100", N_("×10_0")},
    {"track_rate_1000", N_("×1,00_0")},
};

struct TelescopeItem {
  const char *name;
  const char *text;
  guint key;                  // accelerator key, or 0 for none
  GdkModifierType modifiers;  // with the key
  bool separated;             // a separator above it
};

// The Telescope menu's items, top to bottom (a separator before Site). The
// control panel connects them (ctrl_init_telescope).
constexpr TelescopeItem kTelescopeItems[] = {
    {"telescope_goto", N_("_Go To…"), GDK_KEY_g, GDK_CONTROL_MASK, false},
    {"telescope_stop", N_("_Stop"), GDK_KEY_Escape, GdkModifierType(0), false},
    {"telescope_park", N_("_Park"), 0, GdkModifierType(0), true},
    {"telescope_unpark", N_("_Unpark"), 0, GdkModifierType(0), false},
    {"telescope_set_park", N_("Set Park P_osition"), 0, GdkModifierType(0), false},
    {"telescope_site", N_("S_ite…"), 0, GdkModifierType(0), true},
    {"telescope_limits", N_("_Axis Limits…"), 0, GdkModifierType(0), false},
    {"telescope_chart", N_("_Night Chart…"), 0, GdkModifierType(0), true},
};

// Rows of the separators that divide the scales into groups.
constexpr guint kSeparatorRows[] = {2, 5, 7, 11, 13};

constexpr guint kTableRows = 16;
constexpr gint kScaleColumnWidth = 260;

// The view's size on a screen with room for it, and the least it shrinks to,
// in pixels; and the height a title bar and a panel take from a screen.
constexpr gint kViewWidth = 640, kViewHeight = 480;
constexpr gint kLeastViewWidth = 240, kLeastViewHeight = 180;
constexpr gint kTitleAndPanelHeight = 32;

// Width and height of the help dialog, in pixels.
constexpr gint kHelpWidth = 426;
constexpr gint kHelpHeight = 550;

// A dialog's action area, buttons packed at the end, holding its OK button:
// stock "gtk-ok", OK response, may become the default. Returns the button.
GtkWidget *add_ok_button(GtkWidget *dialog, GCallback on_clicked) {
  GtkWidget *action_area = gtk_dialog_get_action_area(GTK_DIALOG(dialog));
  gtk_widget_show(action_area);
  gtk_button_box_set_layout(GTK_BUTTON_BOX(action_area), GTK_BUTTONBOX_END);

  GtkWidget *button = gtk_button_new_from_stock("gtk-ok");
  gtk_widget_show(button);
  gtk_dialog_add_action_widget(GTK_DIALOG(dialog), button, GTK_RESPONSE_OK);
  gtk_widget_set_can_default(button, TRUE);
  g_signal_connect(button, "clicked", on_clicked, nullptr);
  return button;
}

// A scale's readout: its value rounded to the scale's digits, as the toolkit
// writes it, except that a value that rounds to zero reads without a sign. A
// write-back can leave a coordinate a hair below zero (-5e-15, say), which
// would otherwise read "-0.0" ("-0,0" where the decimal sign is a comma).
gchar *format_without_negative_zero(GtkScale *scale, gdouble value, gpointer /*user_data*/) {
  gchar *text = g_strdup_printf("%.*f", gtk_scale_get_digits(scale), value);
  if (text[0] == '-' && !std::strpbrk(text, "123456789")) {
    std::memmove(text, text + 1, std::strlen(text));
  }
  return text;
}

#if GTK_CHECK_VERSION(3, 0, 0)
// The mouse wheel on a scale, as GTK+ 2 turns it: two steps a notch, up and
// left toward the lower end. GTK 3 would move a page, and up toward the upper
// end. The value goes through "change-value", as GTK's own moves do, so the
// scale's rounding and clamping apply.
gboolean scroll_like_gtk2(GtkWidget *widget, GdkEventScroll *event, gpointer /*user_data*/) {
  double notches = 0;
  switch (event->direction) {
    case GDK_SCROLL_UP:
    case GDK_SCROLL_LEFT:
      notches = -1;
      break;
    case GDK_SCROLL_DOWN:
    case GDK_SCROLL_RIGHT:
      notches = 1;
      break;
    case GDK_SCROLL_SMOOTH:
      notches =
          std::fabs(event->delta_x) > std::fabs(event->delta_y) ? event->delta_x : event->delta_y;
      break;
  }
  GtkRange *range = GTK_RANGE(widget);
  if (gtk_range_get_inverted(range)) notches = -notches;
  GtkAdjustment *adj = gtk_range_get_adjustment(range);
  const double value =
      gtk_adjustment_get_value(adj) + notches * 2 * gtk_adjustment_get_step_increment(adj);
  gboolean handled = FALSE;
  g_signal_emit_by_name(range, "change-value", GTK_SCROLL_JUMP, value, &handled);
  return TRUE;
}
#endif

}  // namespace

const char *const kHelpParagraphs[kHelpParagraphCount] = {
    N_("Velmorant Simulator Help"),
    N_("This program simulates the motion of a telescope mount with three axes: a "
       "platform that turns about the vertical, a horseshoe that tilts in two "
       "rockers on the platform, and a tube that swings inside the horseshoe. "
       "Credit for the mount's design and for the closed-form pointing equations "
       "that relate its axes to the sky belongs to their authors; this program "
       "lets you watch every coordinate system at once. Moving any of the "
       "coordinate sliders moves the telescope, as the following paragraphs "
       "describe. A move that would point the telescope lower than 1 degree above "
       "the horizon is refused, and the slider springs back. A slider that has the "
       "keyboard focus (Tab moves it from one to the next) also moves with the "
       "keys: Right and Left move it one degree up or down, Page Down and Page Up "
       "ten degrees, and Home and End to the ends of its range; Down and Up work "
       "as Right and Left do, so Up lowers the value."),
    N_("a1, a2 and a3 drive the mount's three axes directly: a1 swings the tube in "
       "the horseshoe, a2 tilts the horseshoe and a3 turns the platform. When one "
       "of them changes, the telescope moves and all the other coordinates are "
       "updated to the new position."),
    N_("Field Rotation shows how the telescope's field of view is turned, compared "
       "with that of an equatorially mounted telescope pointing at the same place, "
       "measured clockwise when looking from the telescope towards the sky. When "
       "you change it, a1, a2 and a3 change so that the telescope keeps pointing "
       "at the same place: altitude, azimuth, hour angle and declination stay "
       "constant."),
    N_("Hour Angle and Declination place the telescope in the local equatorial "
       "system. When you change them, a1, a2 and a3 are adjusted to reach the new "
       "position while the field rotation is kept constant. View, Track the Sky "
       "(Ctrl+T) lets the sky turn, a thousand times faster than the real one (an "
       "hour of sky in 3.6 seconds): the hour angle grows, the declination stays, "
       "and the three axes follow the star, a3 keeping its field from rotating. "
       "Tracking goes on from wherever you move a slider, and stops by itself when "
       "the star would sink lower than 1 degree above the horizon."),
    N_("Altitude and Azimuth place the telescope in the horizontal (altazimuth) "
       "system; azimuth is 0 degrees at north and increases towards east. a1, a2 "
       "and a3 are adjusted while the field rotation is kept constant, except that "
       "when a change of altitude carries the telescope through the celestial "
       "pole, 180 degrees are added to the field rotation to account for the flip "
       "of the mount."),
    N_("Latitude sets the observer's latitude without moving the telescope. It "
       "changes the conversion to and from local equatorial coordinates, so "
       "altitude, azimuth, a1, a2 and a3 stay as they are while hour angle, "
       "declination and field rotation change."),
    N_("Camera Alt and Camera Az place your viewpoint. Camera altitude runs from "
       "-90 (below the telescope, looking up) through 0 (level) to +90 (above the "
       "telescope, looking down). Camera azimuth runs from 0 to 360 and gives the "
       "camera's position around the telescope: at 0 the camera stands north "
       "looking south at the telescope, at 90 east looking west, at 180 south "
       "looking north, and at 270 west looking east. You can also drag the picture "
       "with the left mouse button: the telescope turns as if you had grabbed it, "
       "a drag across the whole picture turns it about once round, and the two "
       "camera sliders follow. The View menu adds guides to the picture: Compass "
       "and Horizon draws a ring on the ground round the mount with the four "
       "compass points on it, N in red; Pointing Line draws a yellow line along "
       "the tube out into the sky, and a faint dashed line through the mount "
       "towards the celestial pole, the axis the sky turns about."),
    N_("The Telescope menu points the mount at the real sky. Go To (Ctrl+G) takes a star "
       "from the list, or a right ascension and declination that you type, and slews there "
       "with the field rotation held; on arrival the mount tracks the star at the sky's own "
       "rate. Stop (Escape) ends a slew, parking, tracking or a move where the mount is. "
       "Site sets the longitude, east positive (also --longitude=DEG on the command line; "
       "the Latitude slider is the latitude), and shows UTC and the local sidereal time. "
       "View, Tracking Rate chooses how many times faster than the real sky Track the Sky "
       "runs (1000 unless chosen): the faster rates are time-lapse, the mount running as "
       "much faster as the sky. View, Sky Coordinates shows the mount's right ascension and "
       "declination in the status bar. These are apparent places of date (from the true "
       "equinox of date, the coordinates planetarium programs call JNow), without "
       "refraction; the clock is the computer's, in UTC."),
    N_("Each axis turns at most at its top speed and speeds up and slows down at its "
       "acceleration: 5 degrees a second and 2.5 degrees a second squared unless Telescope, "
       "Axis Limits or --axis-speed and --axis-acceleration (one value, or three for a1,a2,a3) "
       "say otherwise. A slew moves all three axes along a straight line in axis space, so "
       "that they start and finish together and the slowest sets the time; the status bar "
       "says where it goes and how long is left. Where an axis cannot keep up with the sky, "
       "a move or a guide pulse, the mount falls behind and the status bar says which axis "
       "and by how much; View, Axis Rates shows each axis's rate there. Park slews to the "
       "park position (at start-up a1 45, a2 0, a3 180) and holds it without tracking; "
       "while parked, Go To, moves, guiding and tracking are refused until Unpark, and a "
       "slider moved by hand unparks the mount where it puts it. Set Park Position makes "
       "the pose now the park position."),
    N_("Telescope, Night Chart shows one night of a star at the site: from the Sun's sinking "
       "to 12 degrees below the horizon to its rising there (the 24 hours from local noon "
       "where it does neither). Three panels share the time, in UTC below and in local "
       "sidereal time above: the star's altitude, a1, a2, a3 and the field rotation as this "
       "mount tracks it holding the Field Rotation slider's field; each axis's rate on a "
       "logarithmic scale beside its top speed, with the azimuth rate an alt-az mount would "
       "need, which grows without bound near the zenith; and the rate at which an alt-az "
       "mount's field turns. Twilight is shaded and rise, transit and set are marked. The "
       "chart follows the star, the date, the Latitude slider, the longitude and the axis "
       "limits; Save As writes it as PNG, SVG, PDF or CSV, chosen by the file's extension. "
       "The command line writes one without opening a window: velmorant --chart=Vega "
       "--date=2026-06-21 --latitude=45 --output=vega.png, the star a name from the Go To "
       "list or RA,DEC of date, with --longitude, --field-rotation, --axis-speed and "
       "--axis-acceleration as well."),
    N_("Planetarium programs can drive the mount over the LX200 protocol: choose "
       "Telescope, Accept LX200 Connections (or start the program with --lx200, "
       "--lx200=PORT or --lx200=ADDRESS:PORT), and velmorant listens on 127.0.0.1, port "
       "4030, for up to eight clients; the status bar says where and how many are "
       "connected. In KStars with Ekos, add the INDI driver LX200 Basic or LX200 Generic "
       "and connect it over the network (TCP) to 127.0.0.1 port 4030; Cartes du Ciel and "
       "Stellarium connect the same way through INDI; SkySafari connects as a Meade LX200 "
       "Classic over Wi-Fi/TCP to the computer's address and the port. A client's Go To "
       "slews the mount, sync places it at once, the direction buttons move it, guide "
       "pulses (:Mg) and the guide rate move it at half the sky's rate, 7.5 arc seconds a "
       "second, and Park (:hP) parks it. "
       "Listening on an address other than the computer's own needs that address given "
       "on the command line: anyone who can reach it can move the mount."),
    N_("View, Stars shows the sky around the mount: the nine thousand stars of the Yale "
       "Bright Star Catalogue at their places of date, turning with the sidereal time at the "
       "Latitude slider's latitude, a dark ground below the horizon with a faint band up to "
       "the 1 degree limit, the Go To list's stars named and the Go To target ringed; with "
       "Pointing Line on, the line runs out to the star the tube points at. At x1,000 the "
       "sky runs as fast as the mount tracks and wheels about the celestial pole."),
    N_("INDI clients can drive the mount as a device of their own: choose Telescope, "
       "Accept INDI Connections (or start the program with --indi, --indi=PORT or "
       "--indi=ADDRESS:PORT), and velmorant is an INDI server on 127.0.0.1, port 7624, "
       "with one device, Velmorant, a telescope with park, tracking, time-lapse tracking "
       "modes and timed guide pulses, whose field rotation is a rotator and whose axes are "
       "its Mount Axes. In KStars with Ekos, make a profile whose mount is the remote "
       "device Velmorant on host 127.0.0.1, port 7624 (or add it as a remote INDI server "
       "in the device manager); a guider such as PHD2 guides through the same device. "
       "From a terminal, indi_getprop -p 7624 'Velmorant.*.*' lists every property, and "
       "indi_setprop sets them. The rules are the LX200 server's: the computer's own "
       "address unless one is given, eight clients at most, and the status bar says "
       "where and how many are connected."),
};

std::string help_text(void) {
  std::string text;
  for (const char *paragraph : kHelpParagraphs) {
    if (!text.empty()) text += "\n\n";
    text += _(paragraph);
  }
  return text + "\n";
}

GtkWidget *create_main_window(void) {
  GtkAccelGroup *accel_group = gtk_accel_group_new();
#if GTK_CHECK_VERSION(3, 0, 0)
  // A click in a scale's trough moves it a page, as on GTK+ 2, rather than
  // jumping the slider to the pointer.
  g_object_set(gtk_settings_get_default(), "gtk-primary-button-warps-slider", FALSE, nullptr);
#endif

  GtkWidget *main_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(main_window), _("Velmorant Mount Simulation"));

  GtkWidget *vbox1 = gtk_vbox_new(FALSE, 12);
  gtk_widget_show(vbox1);
  gtk_container_add(GTK_CONTAINER(main_window), vbox1);

  GtkWidget *menubar1 = gtk_menu_bar_new();
  gtk_widget_show(menubar1);
  gtk_box_pack_start(GTK_BOX(vbox1), menubar1, FALSE, FALSE, 0);

  GtkWidget *menuitem4 = gtk_menu_item_new_with_mnemonic(_("_File"));
  gtk_widget_show(menuitem4);
  gtk_container_add(GTK_CONTAINER(menubar1), menuitem4);

  GtkWidget *menuitem4_menu = gtk_menu_new();
  gtk_menu_item_set_submenu(GTK_MENU_ITEM(menuitem4), menuitem4_menu);

  GtkWidget *menu_quit = gtk_image_menu_item_new_from_stock("gtk-quit", accel_group);
  gtk_widget_show(menu_quit);
  gtk_container_add(GTK_CONTAINER(menuitem4_menu), menu_quit);

  // View: guides over the mount and the turning sky, all off at start-up.
  GtkWidget *menu_view = gtk_menu_item_new_with_mnemonic(_("_View"));
  gtk_widget_show(menu_view);
  gtk_container_add(GTK_CONTAINER(menubar1), menu_view);

  GtkWidget *menu_view_menu = gtk_menu_new();
  gtk_menu_item_set_submenu(GTK_MENU_ITEM(menu_view), menu_view_menu);

  GtkWidget *view_items[G_N_ELEMENTS(kViewItems)];
  for (gsize i = 0; i < G_N_ELEMENTS(kViewItems); i++) {
    view_items[i] = gtk_check_menu_item_new_with_mnemonic(_(kViewItems[i].text));
    gtk_widget_show(view_items[i]);
    gtk_container_add(GTK_CONTAINER(menu_view_menu), view_items[i]);
    if (kViewItems[i].key != 0) {
      gtk_widget_add_accelerator(view_items[i], "activate", accel_group, kViewItems[i].key,
                                 GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE);
    }
  }

  // Tracking Rate: how many times faster than the real sky tracking turns it.
  GtkWidget *view_rate = gtk_menu_item_new_with_mnemonic(_("Tracking _Rate"));
  gtk_widget_show(view_rate);
  gtk_container_add(GTK_CONTAINER(menu_view_menu), view_rate);
  GtkWidget *view_rate_menu = gtk_menu_new();
  gtk_menu_item_set_submenu(GTK_MENU_ITEM(view_rate), view_rate_menu);
  GtkWidget *rate_items[G_N_ELEMENTS(kRateItems)];
  GSList *rate_group = nullptr;
  for (gsize i = 0; i < G_N_ELEMENTS(kRateItems); i++) {
    rate_items[i] = gtk_radio_menu_item_new_with_mnemonic(rate_group, _(kRateItems[i].text));
    rate_group = gtk_radio_menu_item_get_group(GTK_RADIO_MENU_ITEM(rate_items[i]));
    gtk_widget_show(rate_items[i]);
    gtk_container_add(GTK_CONTAINER(view_rate_menu), rate_items[i]);
  }
  gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(rate_items[G_N_ELEMENTS(kRateItems) - 1]),
                                 TRUE);

  GtkWidget *view_sky = gtk_check_menu_item_new_with_mnemonic(_("_Sky Coordinates"));
  gtk_widget_show(view_sky);
  gtk_container_add(GTK_CONTAINER(menu_view_menu), view_sky);
  GtkWidget *view_rates = gtk_check_menu_item_new_with_mnemonic(_("_Axis Rates"));
  gtk_widget_show(view_rates);
  gtk_container_add(GTK_CONTAINER(menu_view_menu), view_rates);
  GtkWidget *view_stars = gtk_check_menu_item_new_with_mnemonic(_("_Stars"));
  gtk_widget_show(view_stars);
  gtk_container_add(GTK_CONTAINER(menu_view_menu), view_stars);

  // Telescope: sending the mount to a star and the site it stands on.
  GtkWidget *menu_telescope = gtk_menu_item_new_with_mnemonic(_("_Telescope"));
  gtk_widget_show(menu_telescope);
  gtk_container_add(GTK_CONTAINER(menubar1), menu_telescope);
  GtkWidget *menu_telescope_menu = gtk_menu_new();
  gtk_menu_item_set_submenu(GTK_MENU_ITEM(menu_telescope), menu_telescope_menu);
  GtkWidget *telescope_items[G_N_ELEMENTS(kTelescopeItems)];
  for (gsize i = 0; i < G_N_ELEMENTS(kTelescopeItems); i++) {
    if (kTelescopeItems[i].separated) {
      GtkWidget *separator = gtk_separator_menu_item_new();
      gtk_widget_show(separator);
      gtk_container_add(GTK_CONTAINER(menu_telescope_menu), separator);
    }
    telescope_items[i] = gtk_menu_item_new_with_mnemonic(_(kTelescopeItems[i].text));
    gtk_widget_show(telescope_items[i]);
    gtk_container_add(GTK_CONTAINER(menu_telescope_menu), telescope_items[i]);
    if (kTelescopeItems[i].key != 0) {
      gtk_widget_add_accelerator(telescope_items[i], "activate", accel_group,
                                 kTelescopeItems[i].key, kTelescopeItems[i].modifiers,
                                 GTK_ACCEL_VISIBLE);
    }
  }
  GtkWidget *telescope_lx200 =
      gtk_check_menu_item_new_with_mnemonic(_("Accept _LX200 Connections"));
  gtk_widget_show(telescope_lx200);
  gtk_container_add(GTK_CONTAINER(menu_telescope_menu), telescope_lx200);
  GtkWidget *telescope_indi = gtk_check_menu_item_new_with_mnemonic(_("Accept _INDI Connections"));
  gtk_widget_show(telescope_indi);
  gtk_container_add(GTK_CONTAINER(menu_telescope_menu), telescope_indi);

#if GTK_CHECK_VERSION(3, 0, 0)
  // The stock item brings its own F1 accelerator, and GTK 3 gives F1 to it
  // rather than to Contents: without the group it brings none, and F1 opens
  // the help as on GTK+ 2.
  GtkWidget *menuitem7 = gtk_image_menu_item_new_from_stock("gtk-help", nullptr);
#else
  GtkWidget *menuitem7 = gtk_image_menu_item_new_from_stock("gtk-help", accel_group);
#endif
  gtk_widget_show(menuitem7);
  gtk_container_add(GTK_CONTAINER(menubar1), menuitem7);

  GtkWidget *menuitem7_menu = gtk_menu_new();
  gtk_menu_item_set_submenu(GTK_MENU_ITEM(menuitem7), menuitem7_menu);

  GtkWidget *contents = gtk_menu_item_new_with_mnemonic(_("_Contents"));
  gtk_widget_show(contents);
  gtk_container_add(GTK_CONTAINER(menuitem7_menu), contents);
  gtk_widget_add_accelerator(contents, "activate", accel_group, GDK_KEY_F1, GdkModifierType(0),
                             GTK_ACCEL_VISIBLE);

  GtkWidget *menu_about = gtk_menu_item_new_with_mnemonic(_("_About"));
  gtk_widget_show(menu_about);
  gtk_container_add(GTK_CONTAINER(menuitem7_menu), menu_about);

  GtkWidget *mainhbox = gtk_hbox_new(FALSE, 12);
  gtk_widget_show(mainhbox);
  gtk_box_pack_start(GTK_BOX(vbox1), mainhbox, TRUE, TRUE, 0);
  gtk_container_set_border_width(GTK_CONTAINER(mainhbox), 6);

  GtkWidget *table2 = gtk_table_new(kTableRows, 2, FALSE);
  gtk_widget_show(table2);
  // The slider column keeps its natural width; the view beside it takes the
  // rest of the window's width, however wide it is.
#if GTK_CHECK_VERSION(3, 0, 0)
  // GTK 3's sliders are taller than GTK+ 2's: on a screen too short for the
  // whole column it scrolls. Where it fits, nothing of the scrolling shows.
  GtkWidget *column = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(column), GTK_POLICY_NEVER,
                                 GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_propagate_natural_width(GTK_SCROLLED_WINDOW(column), TRUE);
  gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(column), TRUE);
  gtk_container_add(GTK_CONTAINER(column), table2);
  gtk_viewport_set_shadow_type(GTK_VIEWPORT(gtk_bin_get_child(GTK_BIN(column))), GTK_SHADOW_NONE);
  // Tab into a slider out of sight scrolls it into view.
  gtk_container_set_focus_vadjustment(
      GTK_CONTAINER(table2), gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(column)));
  gtk_widget_show_all(column);
  gtk_box_pack_start(GTK_BOX(mainhbox), column, FALSE, TRUE, 0);
#else
  gtk_box_pack_start(GTK_BOX(mainhbox), table2, FALSE, TRUE, 0);
#endif

  GtkWidget *separators[G_N_ELEMENTS(kSeparatorRows)];
  for (gsize i = 0; i < G_N_ELEMENTS(kSeparatorRows); i++) {
    const guint row = kSeparatorRows[i];
    separators[i] = gtk_hseparator_new();
    gtk_widget_show(separators[i]);
    gtk_table_attach(GTK_TABLE(table2), separators[i], 0, 2, row, row + 1, GTK_FILL,
                     GtkAttachOptions(GTK_EXPAND | GTK_FILL), 0, 0);
#if GTK_CHECK_VERSION(3, 0, 0)
    // GTK 3 paints a separator over all its height: keep the line thin and in
    // the middle of its row, as GTK+ 2 draws it, however tall the row grows.
    gtk_widget_set_valign(separators[i], GTK_ALIGN_CENTER);
#endif
  }

  GtkWidget *scales[G_N_ELEMENTS(kScaleRows)];
  for (gsize i = 0; i < G_N_ELEMENTS(kScaleRows); i++) {
    const guint row = kScaleRows[i].row;
    scales[i] = gtk_hscale_new(GTK_ADJUSTMENT(gtk_adjustment_new(0, 0, 0, 0, 0, 0)));
    gtk_widget_show(scales[i]);
    gtk_table_attach(GTK_TABLE(table2), scales[i], 1, 2, row, row + 1, GTK_FILL, GTK_FILL, 0, 0);
    if (i == 0) gtk_widget_set_size_request(scales[i], kScaleColumnWidth, -1);
    g_signal_connect(scales[i], "format-value", G_CALLBACK(format_without_negative_zero), nullptr);
#if GTK_CHECK_VERSION(3, 0, 0)
    g_signal_connect(scales[i], "scroll-event", G_CALLBACK(scroll_like_gtk2), nullptr);
#endif
  }

  GtkWidget *labels[G_N_ELEMENTS(kLabelRows)];
  for (gsize i = 0; i < G_N_ELEMENTS(kLabelRows); i++) {
    const guint row = kLabelRows[i].row;
    labels[i] = gtk_label_new(_(kLabelRows[i].text));
    gtk_widget_show(labels[i]);
    gtk_table_attach(GTK_TABLE(table2), labels[i], 0, 1, row, row + 1, GTK_FILL,
                     GtkAttachOptions(0), 12, 0);
    gtk_misc_set_alignment(GTK_MISC(labels[i]), 0, 0.5);
    // The label names the scale in its row for assistive technology: a
    // "labelled-by" relation, and the name itself, which the toolkit does
    // not take from the label for a scale. The label's look does not change.
    for (gsize j = 0; j < G_N_ELEMENTS(kScaleRows); j++) {
      if (kScaleRows[j].row != row) continue;
      gtk_label_set_mnemonic_widget(GTK_LABEL(labels[i]), scales[j]);
      atk_object_set_name(gtk_widget_get_accessible(scales[j]), _(kLabelRows[i].text));
    }
  }

  GtkWidget *statusbar1 = gtk_statusbar_new();
  gtk_widget_show(statusbar1);
  gtk_box_pack_start(GTK_BOX(vbox1), statusbar1, FALSE, FALSE, 0);

  g_signal_connect(menu_quit, "activate", G_CALLBACK(on_menu_quit_activate), nullptr);
  g_signal_connect(contents, "activate", G_CALLBACK(on_menu_contents_activate), nullptr);
  g_signal_connect(menu_about, "activate", G_CALLBACK(on_menu_about_activate), nullptr);

  hookup_object_no_ref(main_window, main_window, "main_window");
  hookup_object(main_window, vbox1, "vbox1");
  hookup_object(main_window, menubar1, "menubar1");
  hookup_object(main_window, menuitem4, "menuitem4");
  hookup_object(main_window, menuitem4_menu, "menuitem4_menu");
  hookup_object(main_window, menu_quit, "menu_quit");
  hookup_object(main_window, menu_view, "menu_view");
  hookup_object(main_window, menu_view_menu, "menu_view_menu");
  for (gsize i = 0; i < G_N_ELEMENTS(kViewItems); i++) {
    hookup_object(main_window, view_items[i], kViewItems[i].name);
  }
  hookup_object(main_window, view_rate, "view_rate");
  hookup_object(main_window, view_rate_menu, "view_rate_menu");
  for (gsize i = 0; i < G_N_ELEMENTS(kRateItems); i++) {
    hookup_object(main_window, rate_items[i], kRateItems[i].name);
  }
  hookup_object(main_window, view_sky, "view_sky");
  hookup_object(main_window, view_rates, "view_rates");
  hookup_object(main_window, view_stars, "view_stars");
  hookup_object(main_window, telescope_lx200, "telescope_lx200");
  hookup_object(main_window, telescope_indi, "telescope_indi");
  hookup_object(main_window, menu_telescope, "menu_telescope");
  hookup_object(main_window, menu_telescope_menu, "menu_telescope_menu");
  for (gsize i = 0; i < G_N_ELEMENTS(kTelescopeItems); i++) {
    hookup_object(main_window, telescope_items[i], kTelescopeItems[i].name);
  }
  hookup_object(main_window, menuitem7, "menuitem7");
  hookup_object(main_window, menuitem7_menu, "menuitem7_menu");
  hookup_object(main_window, contents, "contents");
  hookup_object(main_window, menu_about, "menu_about");
  hookup_object(main_window, mainhbox, "mainhbox");
  hookup_object(main_window, table2, "table2");
  for (gsize i = 0; i < G_N_ELEMENTS(kSeparatorRows); i++) {
    gchar *name = g_strdup_printf("hseparator%u", guint(i + 1));
    hookup_object(main_window, separators[i], name);
    g_free(name);
  }
  for (gsize i = 0; i < G_N_ELEMENTS(kScaleRows); i++) {
    hookup_object(main_window, scales[i], kScaleRows[i].name);
  }
  for (gsize i = 0; i < G_N_ELEMENTS(kLabelRows); i++) {
    hookup_object(main_window, labels[i], kLabelRows[i].name);
  }
  hookup_object(main_window, statusbar1, "statusbar1");

  gtk_window_add_accel_group(GTK_WINDOW(main_window), accel_group);
  return main_window;
}

void fit_main_window_to_screen(GtkWidget *main_window, GtkWidget *view) {
  gtk_widget_set_size_request(view, kViewWidth, kViewHeight);
  GtkRequisition natural;
#if GTK_CHECK_VERSION(3, 0, 0)
  // The size of what the window holds, which is what a default size gives:
  // where the toolkit draws the title bar and shadows itself (on Wayland) the
  // window's own request counts them too, and the window would open larger
  // by as much.
  gtk_widget_get_preferred_size(gtk_bin_get_child(GTK_BIN(main_window)), nullptr, &natural);
  const gint border = gint(gtk_container_get_border_width(GTK_CONTAINER(main_window)));
  natural.width += 2 * border;
  natural.height += 2 * border;
#else
  gtk_widget_size_request(main_window, &natural);
#endif
  GdkScreen *screen = gtk_window_get_screen(GTK_WINDOW(main_window));
  GdkRectangle monitor;
  gdk_screen_get_monitor_geometry(screen, gdk_screen_get_primary_monitor(screen), &monitor);

  gtk_widget_set_size_request(view, kLeastViewWidth, kLeastViewHeight);
  gtk_window_set_default_size(GTK_WINDOW(main_window), std::min(natural.width, monitor.width),
                              std::min(natural.height, monitor.height - kTitleAndPanelHeight));
}

GtkWidget *create_about_dialog(void) {
  GtkWidget *about_dialog = gtk_dialog_new();
  gtk_window_set_title(GTK_WINDOW(about_dialog), "fill in dynamically");

  GtkWidget *dialog_vbox1 = gtk_dialog_get_content_area(GTK_DIALOG(about_dialog));
  gtk_widget_show(dialog_vbox1);

  GtkWidget *about_label = gtk_label_new("fill in dynamically");
  gtk_widget_show(about_label);
  gtk_box_pack_start(GTK_BOX(dialog_vbox1), about_label, FALSE, FALSE, 0);
  gtk_label_set_justify(GTK_LABEL(about_label), GTK_JUSTIFY_CENTER);
  gtk_misc_set_padding(GTK_MISC(about_label), 10, 20);

  GtkWidget *about_ok_button = add_ok_button(about_dialog, G_CALLBACK(on_about_ok_button_clicked));

  hookup_object_no_ref(about_dialog, about_dialog, "about_dialog");
  hookup_object_no_ref(about_dialog, dialog_vbox1, "dialog_vbox1");
  hookup_object(about_dialog, about_label, "about_label");
  hookup_object_no_ref(about_dialog, gtk_dialog_get_action_area(GTK_DIALOG(about_dialog)),
                       "dialog_action_area1");
  hookup_object(about_dialog, about_ok_button, "about_ok_button");
  return about_dialog;
}

GtkWidget *create_help_dialog(void) {
  GtkWidget *help_dialog = gtk_dialog_new();
  gtk_widget_set_size_request(help_dialog, kHelpWidth, kHelpHeight);
  gtk_window_set_title(GTK_WINDOW(help_dialog), _(kHelpParagraphs[0]));

  GtkWidget *dialog_vbox2 = gtk_dialog_get_content_area(GTK_DIALOG(help_dialog));
  gtk_widget_show(dialog_vbox2);

  GtkWidget *scrolledwindow1 = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_widget_show(scrolledwindow1);
  gtk_box_pack_start(GTK_BOX(dialog_vbox2), scrolledwindow1, TRUE, TRUE, 0);
  gtk_container_set_border_width(GTK_CONTAINER(scrolledwindow1), 6);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolledwindow1), GTK_POLICY_AUTOMATIC,
                                 GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolledwindow1), GTK_SHADOW_ETCHED_IN);

  GtkWidget *textview1 = gtk_text_view_new();
  gtk_widget_show(textview1);
  gtk_container_add(GTK_CONTAINER(scrolledwindow1), textview1);
  gtk_text_view_set_editable(GTK_TEXT_VIEW(textview1), FALSE);
  gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(textview1), GTK_WRAP_WORD);
  gtk_text_view_set_cursor_visible(GTK_TEXT_VIEW(textview1), FALSE);
  gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(textview1)), help_text().c_str(),
                           -1);

  GtkWidget *help_ok_button = add_ok_button(help_dialog, G_CALLBACK(on_help_ok_button_clicked));

  hookup_object_no_ref(help_dialog, help_dialog, "help_dialog");
  hookup_object_no_ref(help_dialog, dialog_vbox2, "dialog_vbox2");
  hookup_object(help_dialog, scrolledwindow1, "scrolledwindow1");
  hookup_object(help_dialog, textview1, "textview1");
  hookup_object_no_ref(help_dialog, gtk_dialog_get_action_area(GTK_DIALOG(help_dialog)),
                       "dialog_action_area2");
  hookup_object(help_dialog, help_ok_button, "help_ok_button");
  return help_dialog;
}

namespace {

// A right-aligned label in column 0 of a dialog's table, naming the widget
// beside it in column 1, its mnemonic reaching that widget.
void add_table_row(GtkWidget *table, guint row, const char *text, GtkWidget *widget) {
  GtkWidget *label = gtk_label_new_with_mnemonic(text);
  gtk_widget_show(label);
  gtk_misc_set_alignment(GTK_MISC(label), 1.0f, 0.5f);
  gtk_label_set_mnemonic_widget(GTK_LABEL(label), widget);
  gtk_table_attach(GTK_TABLE(table), label, 0, 1, row, row + 1, GTK_FILL, GTK_FILL, 0, 0);
  gtk_widget_show(widget);
  gtk_table_attach(GTK_TABLE(table), widget, 1, 2, row, row + 1,
                   GtkAttachOptions(GTK_EXPAND | GTK_FILL), GTK_FILL, 0, 0);
}

// A dialog's table of rows, packed into its content area.
GtkWidget *add_dialog_table(GtkWidget *dialog, guint rows) {
  GtkWidget *table = gtk_table_new(rows, 2, FALSE);
  gtk_widget_show(table);
  gtk_table_set_row_spacings(GTK_TABLE(table), 6);
  gtk_table_set_col_spacings(GTK_TABLE(table), 12);
  gtk_container_set_border_width(GTK_CONTAINER(table), 12);
  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), table, TRUE, TRUE,
                     0);
  return table;
}

// A wrapped, left-aligned label across both columns of a dialog's table.
GtkWidget *add_table_note(GtkWidget *table, guint row, const char *text) {
  GtkWidget *label = gtk_label_new(text);
  gtk_widget_show(label);
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_width_chars(GTK_LABEL(label), 44);
  gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.5f);
  gtk_table_attach(GTK_TABLE(table), label, 0, 2, row, row + 1, GTK_FILL, GTK_FILL, 0, 0);
  return label;
}

}  // namespace

GtkWidget *create_goto_dialog(void) {
  GtkWidget *goto_dialog = gtk_dialog_new();
  gtk_window_set_title(GTK_WINDOW(goto_dialog), _("Go To"));
  GtkWidget *table = add_dialog_table(goto_dialog, 4);

  GtkWidget *goto_star = gtk_combo_box_text_new();
  add_table_row(table, 0, _("S_tar:"), goto_star);
  GtkWidget *goto_ra = gtk_entry_new();
  gtk_entry_set_activates_default(GTK_ENTRY(goto_ra), TRUE);
  add_table_row(table, 1, _("_Right ascension:"), goto_ra);
  GtkWidget *goto_dec = gtk_entry_new();
  gtk_entry_set_activates_default(GTK_ENTRY(goto_dec), TRUE);
  add_table_row(table, 2, _("_Declination:"), goto_dec);
  GtkWidget *goto_message =
      add_table_note(table, 3, _("Apparent place of date, as 18h 36m 56.3s and +38° 47′ 01″."));

  GtkWidget *goto_cancel_button =
      gtk_dialog_add_button(GTK_DIALOG(goto_dialog), "gtk-cancel", GTK_RESPONSE_CANCEL);
  GtkWidget *goto_ok_button =
      gtk_dialog_add_button(GTK_DIALOG(goto_dialog), _("_Go To"), GTK_RESPONSE_OK);
  gtk_dialog_set_default_response(GTK_DIALOG(goto_dialog), GTK_RESPONSE_OK);

  hookup_object_no_ref(goto_dialog, goto_dialog, "goto_dialog");
  hookup_object(goto_dialog, goto_star, "goto_star");
  hookup_object(goto_dialog, goto_ra, "goto_ra");
  hookup_object(goto_dialog, goto_dec, "goto_dec");
  hookup_object(goto_dialog, goto_message, "goto_message");
  hookup_object(goto_dialog, goto_cancel_button, "goto_cancel_button");
  hookup_object(goto_dialog, goto_ok_button, "goto_ok_button");
  return goto_dialog;
}

GtkWidget *create_site_dialog(void) {
  GtkWidget *site_dialog = gtk_dialog_new();
  gtk_window_set_title(GTK_WINDOW(site_dialog), _("Site"));
  GtkWidget *table = add_dialog_table(site_dialog, 4);

  GtkWidget *site_longitude = gtk_spin_button_new_with_range(-180.0, 180.0, 0.01);
  gtk_spin_button_set_digits(GTK_SPIN_BUTTON(site_longitude), 2);
  add_table_row(table, 0, _("_Longitude (degrees east):"), site_longitude);
  GtkWidget *site_utc = gtk_label_new("");
  gtk_misc_set_alignment(GTK_MISC(site_utc), 0.0f, 0.5f);
  add_table_row(table, 1, _("UTC:"), site_utc);
  GtkWidget *site_sidereal_time = gtk_label_new("");
  gtk_misc_set_alignment(GTK_MISC(site_sidereal_time), 0.0f, 0.5f);
  add_table_row(table, 2, _("Local sidereal time:"), site_sidereal_time);
  add_table_note(table, 3,
                 _("Longitudes west of Greenwich are negative. The Latitude slider sets the "
                   "latitude."));

  GtkWidget *site_close_button =
      gtk_dialog_add_button(GTK_DIALOG(site_dialog), "gtk-close", GTK_RESPONSE_CLOSE);

  hookup_object_no_ref(site_dialog, site_dialog, "site_dialog");
  hookup_object(site_dialog, site_longitude, "site_longitude");
  hookup_object(site_dialog, site_utc, "site_utc");
  hookup_object(site_dialog, site_sidereal_time, "site_sidereal_time");
  hookup_object(site_dialog, site_close_button, "site_close_button");
  return site_dialog;
}

GtkWidget *create_axis_limits_dialog(void) {
  GtkWidget *dialog = gtk_dialog_new();
  gtk_window_set_title(GTK_WINDOW(dialog), _("Axis Limits"));
  GtkWidget *table = add_dialog_table(dialog, 7);
  const char *const labels[6] = {N_("a_1 top speed (°/s):"),     N_("a_2 top speed (°/s):"),
                                 N_("a_3 top speed (°/s):"),     N_("a1 a_cceleration (°/s²):"),
                                 N_("a2 acc_eleration (°/s²):"), N_("a3 acce_leration (°/s²):")};
  const char *const names[6] = {"limit_speed_a1", "limit_speed_a2", "limit_speed_a3",
                                "limit_accel_a1", "limit_accel_a2", "limit_accel_a3"};
  hookup_object_no_ref(dialog, dialog, "axis_limits_dialog");
  for (guint i = 0; i < 6; i++) {
    // Limits are taken from (0, 90]: the spin buttons hold nothing else.
    GtkWidget *spin = gtk_spin_button_new_with_range(0.001, 90.0, 0.1);
    gtk_spin_button_set_digits(GTK_SPIN_BUTTON(spin), 3);
    add_table_row(table, i, _(labels[i]), spin);
    hookup_object(dialog, spin, names[i]);
  }
  add_table_note(table, 6,
                 _("Each axis turns at most at its top speed and speeds up and slows down at its "
                   "acceleration; a slew takes as long as its slowest axis needs."));
  GtkWidget *close = gtk_dialog_add_button(GTK_DIALOG(dialog), "gtk-close", GTK_RESPONSE_CLOSE);
  hookup_object(dialog, close, "limits_close_button");
  return dialog;
}

GtkWidget *create_chart_window(void) {
  GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), _("Night Chart"));
  GtkWidget *vbox = gtk_vbox_new(FALSE, 6);
  gtk_container_set_border_width(GTK_CONTAINER(vbox), 12);
  gtk_container_add(GTK_CONTAINER(window), vbox);
  GtkWidget *row = gtk_hbox_new(FALSE, 6);
  gtk_box_pack_start(GTK_BOX(vbox), row, FALSE, FALSE, 0);
  // A label, its mnemonic reaching widget, both packed into the row.
  auto labelled = [row](const char *text, GtkWidget *widget) {
    GtkWidget *label = gtk_label_new_with_mnemonic(text);
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), widget);
    gtk_box_pack_start(GTK_BOX(row), label, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), widget, FALSE, FALSE, 0);
  };
  GtkWidget *chart_star = gtk_combo_box_text_new();
  labelled(_("S_tar:"), chart_star);
  GtkWidget *chart_date = gtk_entry_new();
  gtk_entry_set_width_chars(GTK_ENTRY(chart_date), 11);
  labelled(_("_Date:"), chart_date);
  GtkWidget *chart_save = gtk_button_new_with_mnemonic(_("_Save As…"));
  gtk_box_pack_end(GTK_BOX(row), chart_save, FALSE, FALSE, 0);
  GtkWidget *chart_area = gtk_drawing_area_new();
  gtk_widget_set_size_request(chart_area, 800, 576);
  gtk_box_pack_start(GTK_BOX(vbox), chart_area, TRUE, TRUE, 0);
  GtkWidget *chart_message = gtk_label_new("");
  gtk_misc_set_alignment(GTK_MISC(chart_message), 0.0f, 0.5f);
  gtk_label_set_line_wrap(GTK_LABEL(chart_message), TRUE);
  gtk_box_pack_start(GTK_BOX(vbox), chart_message, FALSE, FALSE, 0);
  gtk_widget_show_all(vbox);

  hookup_object_no_ref(window, window, "chart_window");
  hookup_object(window, chart_star, "chart_star");
  hookup_object(window, chart_date, "chart_date");
  hookup_object(window, chart_save, "chart_save");
  hookup_object(window, chart_area, "chart_area");
  hookup_object(window, chart_message, "chart_message");
  return window;
}
