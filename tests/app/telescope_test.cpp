// The Telescope menu in the real window at a fixed instant: Go To a star
// slews along the sky, arrives on its place and tracks it at the sky's rate;
// Stop ends it; text it cannot read and a star below the horizon move nothing
// and say why; the site's longitude and the sky's readouts.
#include <gtest/gtest.h>

#include <glib/gstdio.h>
#include <gtk/gtk.h>
#if GTK_CHECK_VERSION(3, 0, 0) && defined(GDK_WINDOWING_X11)
#include <gdk/gdkx.h>
#endif

#include <cmath>
#include <cstdio>
#include <functional>
#include <utility>
#include <string>

#include "app/support.h"
#include "controls/chart_window.h"
#include "mount/mount.h"
#include "sky/sky.h"
#include "support/app_window.h"
#include "support/scales.h"
#include "support/x_input.h"

namespace {

constexpr double kDeg = kCoordPi / 180.0;
constexpr double kArcsecDeg = 1.0 / 3600.0;
// 2026-12-08 21:00:00 UTC, as POSIX seconds.
constexpr double kEvening = 1796763600.0;

class TelescopeTest : public testing::Test {
 protected:
  void SetUp() override {
    state_ = open_app_window();
    ctrl_clock_set(state_, kEvening);
    ctrl_set_longitude(state_, 13.4);  // Berlin
    gtk_range_set_value(GTK_RANGE(state_->lat_scale), 52.5);
    // Near Vega, which stands low in the north-west: a slew of a few seconds.
    ctrl_eq_move_to(state_, 110, 30);
    process_events();
  }
  void TearDown() override { close_app_window(state_); }

  GtkWidget *item(const char *name) { return lookup_widget(state_->main_window, name); }
  GtkWidget *in_dialog(const char *name) { return lookup_widget(state_->goto_dialog, name); }
  std::string message() { return gtk_label_get_text(GTK_LABEL(in_dialog("goto_message"))); }
  // Chooses the star called name in the Go To dialog's list.
  void choose_star(const char *name) { choose_in(in_dialog("goto_star"), name); }
  // Chooses the row reading name in a star list.
  void choose_in(GtkWidget *combo, const char *name) {
    GtkComboBox *list = GTK_COMBO_BOX(combo);
    GtkTreeModel *model = gtk_combo_box_get_model(list);
    GtkTreeIter it;
    for (gboolean ok = gtk_tree_model_get_iter_first(model, &it); ok;
         ok = gtk_tree_model_iter_next(model, &it)) {
      gchar *text = nullptr;
      gtk_tree_model_get(model, &it, 0, &text, -1);
      const bool found = g_strcmp0(text, name) == 0;
      g_free(text);
      if (found) return gtk_combo_box_set_active_iter(list, &it);
    }
    ADD_FAILURE() << name << " is not in the list";
  }
  // Pumps the main loop until the slew ends, checking the scales at every
  // step; the number of steps seen.
  int follow_slew() {
    int steps = 0;
    double last_ha = NAN;
    const gint64 until = g_get_monotonic_time() + 30 * G_USEC_PER_SEC;
    while (slewing() && g_get_monotonic_time() < until) {
      gtk_main_iteration();
      const Snapshot now = snapshot_of(state_);
      if (now[kHa] == last_ha) continue;
      last_ha = now[kHa];
      ++steps;
      EXPECT_GE(now[kAlt], kMinAltitudeDegrees) << "step " << steps;
      EXPECT_TRUE(one_position(now)) << "step " << steps;
    }
    EXPECT_FALSE(slewing()) << "the slew never ended";
    return steps;
  }
  // Vega's hour angle and declination (degrees) at utc (POSIX seconds).
  void vega_at(double utc, double *ha, double *dec) {
    double ra, last;
    const SkyTime t = sky_time_from_unix(utc);
    ASSERT_TRUE(sky_apparent_place(*sky_find_star("Vega"), t, &ra, dec));
    ASSERT_TRUE(sky_local_sidereal_time(t, 13.4 * kDeg, &last));
    *ha = sky_hour_angle(last, ra) / kDeg;
    *dec /= kDeg;
  }
  bool slewing() const { return state_->mount->activity == MountActivity::kSlewing; }
  bool active(const char *name) {
    return gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item(name)));
  }
  // The status bar's text.
  std::string status() {
    GtkWidget *label = nullptr;
#if GTK_CHECK_VERSION(3, 0, 0)
    label = gtk_statusbar_get_message_area(GTK_STATUSBAR(item("statusbar1")));
    GList *children = gtk_container_get_children(GTK_CONTAINER(label));
    label = GTK_WIDGET(children->data);
    g_list_free(children);
#else
    label = GTK_STATUSBAR(item("statusbar1"))->label;
#endif
    return gtk_label_get_text(GTK_LABEL(label));
  }
  AppState *state_ = nullptr;
};

TEST_F(TelescopeTest, GoToAStarSlewsArrivesOnItsPlaceTracksAtTheSkysRateAndStopHoldsIt) {
  gtk_menu_item_activate(GTK_MENU_ITEM(item("telescope_goto")));
  process_events();
  ASSERT_NE(state_->goto_dialog, nullptr);
  choose_star("Vega");
  double ra, dec;
  ASSERT_TRUE(sky_apparent_place(*sky_find_star("Vega"), ctrl_clock_now(state_), &ra, &dec));
  EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(in_dialog("goto_ra"))), sky_format_ra(ra));
  EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(in_dialog("goto_dec"))), sky_format_dec(dec));
  const double frot = gtk_range_get_value(GTK_RANGE(state_->frot_scale));
  gtk_button_clicked(GTK_BUTTON(in_dialog("goto_ok_button")));
  EXPECT_EQ(state_->goto_dialog, nullptr) << "Go To leaves the dialog open";

  EXPECT_GE(follow_slew(), 10);
  double ha = 0;
  vega_at(state_->mount->time, &ha, &dec);
  const Snapshot arrived = snapshot_of(state_);
  EXPECT_NEAR(scale_diff(kHa, arrived[kHa], ha) * std::cos(dec * kDeg), 0, kArcsecDeg);
  EXPECT_NEAR(arrived[kDec], dec, kArcsecDeg);
  EXPECT_NEAR(scale_diff(kFrot, arrived[kFrot], frot), 0, 1e-9) << "the field turned";
  EXPECT_TRUE(gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item("view_track"))));
  EXPECT_TRUE(gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item("track_rate_1"))));

  // A minute of tracking at the sky's rate: the right ascension, read at the
  // instant of the last step, stays put, the hour angle grows by 15' of arc,
  // and the scales show it once Stop has held it.
  double ra0, dec0, dec_now;
  ASSERT_TRUE(ctrl_mount_place(state_, sky_time_from_unix(state_->mount->time), &ra0, &dec0));
  const gint64 until = g_get_monotonic_time() + 60 * G_USEC_PER_SEC;
  while (g_get_monotonic_time() < until) gtk_main_iteration();
  gtk_menu_item_activate(GTK_MENU_ITEM(item("telescope_stop")));
  ASSERT_TRUE(ctrl_mount_place(state_, sky_time_from_unix(state_->mount->time), &ra, &dec_now));
  EXPECT_NEAR(std::remainder(ra - ra0, 2 * kCoordPi) / kDeg, 0, 0.1 * kArcsecDeg);
  EXPECT_NEAR(dec_now, dec0, 1e-12);
  EXPECT_NEAR(snapshot_of(state_)[kHa] - arrived[kHa], 0.25, 0.01);
  EXPECT_TRUE(one_position(snapshot_of(state_)));
  const Snapshot stopped = snapshot_of(state_);
  settle();
  g_usleep(100000);
  process_events();
  EXPECT_EQ(snapshot_of(state_), stopped);
  EXPECT_FALSE(gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item("view_track"))));
}

// What the screen shows of a drawing area: the X server's pixels, or on
// Wayland, where a client cannot read them back, what its handler paints.
GdkPixbuf *shown(GtkWidget *area) {
  const GtkAllocation a = allocation_of(area);
#if GTK_CHECK_VERSION(3, 0, 0)
#ifdef GDK_WINDOWING_X11
  if (GDK_IS_X11_DISPLAY(gtk_widget_get_display(area))) {
    return gdk_pixbuf_get_from_window(gtk_widget_get_window(area), 0, 0, a.width, a.height);
  }
#endif
  cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, a.width, a.height);
  cairo_t *cr = cairo_create(surface);
  gtk_widget_draw(area, cr);
  cairo_destroy(cr);
  GdkPixbuf *pixbuf = gdk_pixbuf_get_from_surface(surface, 0, 0, a.width, a.height);
  cairo_surface_destroy(surface);
  return pixbuf;
#else
  return gdk_pixbuf_get_from_drawable(nullptr, gtk_widget_get_window(area), nullptr, 0, 0, 0, 0,
                                      a.width, a.height);
#endif
}

// Pixels that are not white, and pixels that differ between two pictures of
// one size.
std::pair<int, int> inked_and_changed(GdkPixbuf *now, GdkPixbuf *before) {
  int inked = 0, changed = 0;
  const int n = gdk_pixbuf_get_n_channels(now), stride = gdk_pixbuf_get_rowstride(now);
  for (int y = 0; y < gdk_pixbuf_get_height(now); y++) {
    for (int x = 0; x < gdk_pixbuf_get_width(now); x++) {
      const guchar *p = gdk_pixbuf_get_pixels(now) + y * stride + x * n;
      const guchar *q = before ? gdk_pixbuf_get_pixels(before) + y * stride + x * n : p;
      inked += p[0] < 250 || p[1] < 250 || p[2] < 250;
      changed += p[0] != q[0] || p[1] != q[1] || p[2] != q[2];
    }
  }
  return {inked, changed};
}

// Telescope, Night Chart opens on the last Go To's star and tonight, and the
// screen shows its chart; another star or the latitude draws another; a date
// it cannot read says so and draws nothing; Save As writes what it shows.
TEST_F(TelescopeTest, NightChartShowsTheGoToStarTonightAndRedrawsForAnotherStarOrLatitude) {
  gtk_menu_item_activate(GTK_MENU_ITEM(item("telescope_goto")));
  process_events();
  choose_star("Deneb");
  gtk_button_clicked(GTK_BUTTON(in_dialog("goto_ok_button")));
  gtk_menu_item_activate(GTK_MENU_ITEM(item("telescope_chart")));
  settle();
  GtkWidget *window = state_->chart_window;
  ASSERT_NE(window, nullptr);
  auto in_chart = [&](const char *name) { return lookup_widget(window, name); };
  gchar *star = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(in_chart("chart_star")));
  EXPECT_STREQ(star, "Deneb");
  g_free(star);
  // 21:00 UTC is 21:54 of mean solar time at 13.4 degrees east: tonight.
  EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(in_chart("chart_date"))), "2026-12-08");
  auto message = [&] {
    return std::string(gtk_label_get_text(GTK_LABEL(in_chart("chart_message"))));
  };
  EXPECT_NE(message().find("Fastest axis"), std::string::npos) << message();

  GtkWidget *area = in_chart("chart_area");
  GdkPixbuf *deneb = shown(area);
  const int pixels = gdk_pixbuf_get_width(deneb) * gdk_pixbuf_get_height(deneb);
  EXPECT_GT(inked_and_changed(deneb, nullptr).first, pixels / 20) << "no chart on the screen";
  GdkPixbuf *previous = deneb;
  const std::pair<const char *, std::function<void()>> changes[] = {
      {"another star", [&] { choose_in(in_chart("chart_star"), "Sirius"); }},
      {"the latitude", [&] { gtk_range_set_value(GTK_RANGE(state_->lat_scale), 30); }},
  };
  for (const auto &change : changes) {
    SCOPED_TRACE(change.first);
    change.second();
    settle();
    GdkPixbuf *now = shown(area);
    EXPECT_GT(inked_and_changed(now, previous).second, pixels / 100)
        << "the chart stayed as it was";
    g_object_unref(previous);
    previous = now;
  }
  g_object_unref(previous);

  const std::string csv = std::string(g_get_tmp_dir()) + "/velmorant-chart-window-test.csv";
  std::string error;
  ASSERT_TRUE(ctrl_chart_save(state_, csv.c_str(), &error)) << error;
  gchar *text = nullptr;
  ASSERT_TRUE(g_file_get_contents(csv.c_str(), &text, nullptr, nullptr));
  EXPECT_EQ(std::string(text).rfind("utc,altitude_deg,", 0), 0u);
  g_free(text);
  g_remove(csv.c_str());

  gtk_entry_set_text(GTK_ENTRY(in_chart("chart_date")), "2026-13-01");
  settle();
  EXPECT_NE(message().find("cannot be read"), std::string::npos) << message();
  GdkPixbuf *blank = shown(area);
  EXPECT_EQ(inked_and_changed(blank, nullptr).first, 0) << "a chart for a date it cannot read";
  g_object_unref(blank);
  EXPECT_FALSE(ctrl_chart_save(state_, csv.c_str(), &error));
  EXPECT_FALSE(g_file_test(csv.c_str(), G_FILE_TEST_EXISTS));
  gtk_entry_set_text(GTK_ENTRY(in_chart("chart_date")), "2026-12-08");  // the chart drawn before
  settle();
  EXPECT_NE(message().find("Fastest axis"), std::string::npos) << message();
}

TEST_F(TelescopeTest, UnreadableTextAndAStarBelowTheHorizonMoveNothingAndSayWhy) {
  const struct {
    const char *star, *ra, *dec, *says;
  } cases[] = {
      {nullptr, "18h 61m", "+38", "The right ascension “18h 61m” cannot be read"},
      {nullptr, "18:36:56", "north", "The declination “north” cannot be read"},
      {nullptr, "", "", "The right ascension “” cannot be read"},
      {nullptr, "6:00", "-60", "The target is 28.0"},  // under the southern horizon
      {"Acrux", nullptr, nullptr, "Acrux is 67."},     // never rises at 52.5° north
  };
  const Snapshot before = snapshot_of(state_);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.says);
    ctrl_open_goto_dialog(state_);
    if (c.star) choose_star(c.star);
    if (c.ra) gtk_entry_set_text(GTK_ENTRY(in_dialog("goto_ra")), c.ra);
    if (c.dec) gtk_entry_set_text(GTK_ENTRY(in_dialog("goto_dec")), c.dec);
    gtk_button_clicked(GTK_BUTTON(in_dialog("goto_ok_button")));
    settle();
    ASSERT_NE(state_->goto_dialog, nullptr) << "the dialog closed";
    EXPECT_EQ(message().rfind(c.says, 0), 0u) << message();
    if (!c.ra) {
      EXPECT_NE(message().find("below the horizon now; the mount points no lower than 1°."),
                std::string::npos);
    }
    EXPECT_FALSE(slewing());
    EXPECT_EQ(snapshot_of(state_), before);
  }
  gtk_button_clicked(GTK_BUTTON(in_dialog("goto_cancel_button")));
  EXPECT_EQ(state_->goto_dialog, nullptr);
}

TEST_F(TelescopeTest, TheSiteSetsTheSiderealTimeAndTheStatusBarShowsTheSkyOnlyWhenAsked) {
  EXPECT_EQ(status(), "");
  gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item("view_sky")), TRUE);
  double ra, dec;
  ASSERT_TRUE(ctrl_mount_place(state_, ctrl_clock_now(state_), &ra, &dec));
  EXPECT_EQ(status().rfind("RA " + sky_format_ra(ra).substr(0, 7), 0), 0u) << status();
  EXPECT_NE(status().find("UTC 2026-12-08 21:00:0"), std::string::npos) << status();
  EXPECT_NE(status().find("Longitude 13.40° E"), std::string::npos) << status();

  gtk_menu_item_activate(GTK_MENU_ITEM(item("telescope_site")));
  ASSERT_NE(state_->site_dialog, nullptr);
  GtkWidget *spin = lookup_widget(state_->site_dialog, "site_longitude");
  EXPECT_DOUBLE_EQ(gtk_spin_button_get_value(GTK_SPIN_BUTTON(spin)), 13.4);
  GtkLabel *lst = GTK_LABEL(lookup_widget(state_->site_dialog, "site_sidereal_time"));
  double east, west;
  ASSERT_TRUE(sky_parse_ra(gtk_label_get_text(lst), &east));
  gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), -76.6);  // 90 degrees further west
  ASSERT_TRUE(sky_parse_ra(gtk_label_get_text(lst), &west));
  EXPECT_NEAR(std::remainder(east - west, 2 * kCoordPi) / kDeg, 90, 0.01);
  EXPECT_NE(status().find("Longitude 76.60° W"), std::string::npos) << status();
  gtk_button_clicked(GTK_BUTTON(lookup_widget(state_->site_dialog, "site_close_button")));
  EXPECT_EQ(state_->site_dialog, nullptr);

  gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item("track_rate_10")), TRUE);
  EXPECT_EQ(state_->track_rate, 10);
  gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item("view_sky")), FALSE);
  EXPECT_EQ(status(), "");
  EXPECT_EQ(state_->sky_source, 0u) << "a refresh runs with nothing to show";
}

TEST_F(TelescopeTest,
       UnequalAxisLimitsSetTheSlewTimeTheStatusBarCountsDownAndAParkedMountRefusesToMove) {
  // Limits set in the Axis Limits dialog reach the mount; above 90 is refused.
  gtk_menu_item_activate(GTK_MENU_ITEM(item("telescope_limits")));
  ASSERT_NE(state_->limits_dialog, nullptr);
  const char *names[] = {"limit_speed_a1", "limit_speed_a2", "limit_speed_a3",
                         "limit_accel_a1", "limit_accel_a2", "limit_accel_a3"};
  const double values[] = {3, 5, 8, 2, 4, 200};
  for (int i = 0; i < 6; i++) {
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(lookup_widget(state_->limits_dialog, names[i])),
                              values[i]);
  }
  EXPECT_EQ(state_->mount->limits.acceleration[2], 90);
  gtk_spin_button_set_value(GTK_SPIN_BUTTON(lookup_widget(state_->limits_dialog, names[5])), 6);
  EXPECT_EQ(state_->mount->limits.speed, (MountAxes{3, 5, 8}));
  EXPECT_EQ(state_->mount->limits.acceleration, (MountAxes{2, 4, 6}));
  gtk_button_clicked(GTK_BUTTON(lookup_widget(state_->limits_dialog, "limits_close_button")));
  EXPECT_EQ(state_->limits_dialog, nullptr);

  // From the start-up pose to Vega: the slew takes the time planned for the
  // slowest axis, says so as it goes, and lands on the star.
  for (auto [scale, value] :
       {std::pair{state_->a1_scale, 45}, {state_->a2_scale, 0}, {state_->a3_scale, 180}}) {
    gtk_range_set_value(GTK_RANGE(scale), value);
  }
  ctrl_open_goto_dialog(state_);
  choose_star("Vega");
  const gint64 began = g_get_monotonic_time();
  gtk_button_clicked(GTK_BUTTON(in_dialog("goto_ok_button")));
  ASSERT_TRUE(slewing());
  const double planned = state_->mount->slew.duration;
  EXPECT_EQ(status().rfind("Slewing to 18h 3", 0), 0u) << status();
  EXPECT_NE(status().find(" s left"), std::string::npos) << status();
  follow_slew();
  const double took = double(g_get_monotonic_time() - began) / G_USEC_PER_SEC;
  std::printf("Vega from the start-up pose: %.2f s planned, %.2f s measured\n", planned, took);
  EXPECT_NEAR(took, planned, 0.25);
  double ha, dec;
  vega_at(state_->mount->time, &ha, &dec);
  const Snapshot arrived = snapshot_of(state_);
  EXPECT_NEAR(scale_diff(kHa, arrived[kHa], ha) * std::cos(dec * kDeg), 0, kArcsecDeg);
  EXPECT_NEAR(arrived[kDec], dec, kArcsecDeg);
  EXPECT_TRUE(active("view_track"));

  // Park: back to the start-up pose, where it holds without tracking.
  gtk_menu_item_activate(GTK_MENU_ITEM(item("telescope_park")));
  EXPECT_FALSE(active("view_track"));
  EXPECT_EQ(status().rfind("Parking: ", 0), 0u) << status();
  const gint64 until = g_get_monotonic_time() + 60 * G_USEC_PER_SEC;
  while (state_->mount->activity != MountActivity::kParked && g_get_monotonic_time() < until) {
    gtk_main_iteration();
  }
  const Snapshot parked = snapshot_of(state_);
  EXPECT_NEAR(parked[kA1], 45, 1e-9);
  EXPECT_NEAR(parked[kA2], 0, 1e-9);
  EXPECT_NEAR(parked[kA3], 180, 1e-9);
  EXPECT_EQ(status(), "Parked");
  // Go To and tracking are refused and say so or spring back; Unpark frees it.
  ctrl_open_goto_dialog(state_);
  choose_star("Vega");
  gtk_button_clicked(GTK_BUTTON(in_dialog("goto_ok_button")));
  ASSERT_NE(state_->goto_dialog, nullptr);
  EXPECT_EQ(message(), "The mount is parked: choose Telescope, Unpark first.");
  gtk_widget_destroy(state_->goto_dialog);
  gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item("view_track")), TRUE);
  EXPECT_FALSE(active("view_track"));
  settle();
  EXPECT_EQ(snapshot_of(state_), parked);
  gtk_menu_item_activate(GTK_MENU_ITEM(item("telescope_unpark")));
  EXPECT_EQ(status(), "");
  gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item("view_track")), TRUE);
  EXPECT_TRUE(active("view_track"));
  gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item("view_rates")), TRUE);
  EXPECT_EQ(status().rfind("a1 ", 0), 0u) << status();
  EXPECT_NE(status().find("°/s   a3 "), std::string::npos) << status();
}

using TelescopeByKeysTest = TelescopeTest;

TEST_F(TelescopeByKeysTest, CtrlGOpensGoToTypedCoordinatesStartASlewAndEscapeStopsIt) {
  ASSERT_TRUE(press_chord(state_->ha_scale, GDK_KEY_Control_L, GDK_KEY_g));
  settle();
  ASSERT_NE(state_->goto_dialog, nullptr) << "Ctrl+G opened no dialog";
  type_text(in_dialog("goto_ra"), "3:47:29");  // the Pleiades, high in the east
  type_text(in_dialog("goto_dec"), "+24:07");
  EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(in_dialog("goto_dec"))), "+24:07");
  ASSERT_TRUE(press_key(in_dialog("goto_dec"), GDK_KEY_Return));
  // A button activated by a key shows itself pressed for a moment before it
  // clicks.
  for (const gint64 until = g_get_monotonic_time() + 600000; g_get_monotonic_time() < until;) {
    gtk_main_iteration_do(FALSE);
    g_usleep(2000);
  }
  EXPECT_EQ(state_->goto_dialog, nullptr) << message();
  ASSERT_TRUE(slewing()) << "no slew";
  const Snapshot start = snapshot_of(state_);
  const gint64 until = g_get_monotonic_time() + G_USEC_PER_SEC / 2;
  while (g_get_monotonic_time() < until) gtk_main_iteration();
  EXPECT_NE(snapshot_of(state_), start) << "the slew did not move";

  ASSERT_TRUE(press_key(state_->ha_scale, GDK_KEY_Escape));
  settle();
  EXPECT_FALSE(slewing()) << "Escape did not stop the slew";
  const Snapshot stopped = snapshot_of(state_);
  EXPECT_TRUE(one_position(stopped));
  g_usleep(100000);
  settle();
  EXPECT_EQ(snapshot_of(state_), stopped);
}

}  // namespace
