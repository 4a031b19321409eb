// On a Wayland compositor, tracking the sky keeps the view alive: for 20 s the
// frames keep coming, the hour angle keeps the sky's pace, and what the
// compositor shows of the view (weston-screenshooter's picture) changes from
// one screenshot to the next. Run by scripts/test-wayland.
#include <gdk/gdkwayland.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <string>

#include "app/support.h"
#include "support/app_window.h"

namespace {

// The view's background colour, which nothing else on the screen has.
bool is_background(const guchar *px) {
  return px[0] == 0 && px[1] == 9 && px[2] == 29;
}

// What the compositor shows, as a picture; null when it cannot be taken.
GdkPixbuf *screenshot() {
  gchar *dir = g_dir_make_tmp("velmorant-shot-XXXXXX", nullptr);
  if (!dir) return nullptr;
  // The screenshooter waits for a repaint, which an unchanged screen may never
  // make: it is given 10 s.
  const gchar *argv[] = {"timeout", "10", "weston-screenshooter", nullptr};
  gint status = -1;
  g_spawn_sync(dir, const_cast<gchar **>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
               nullptr, nullptr, &status, nullptr);
  GdkPixbuf *picture = nullptr;
  GDir *listing = g_dir_open(dir, 0, nullptr);
  for (const gchar *name; listing && (name = g_dir_read_name(listing));) {
    gchar *path = g_build_filename(dir, name, nullptr);
    if (!picture) picture = gdk_pixbuf_new_from_file(path, nullptr);
    g_remove(path);
    g_free(path);
  }
  if (listing) g_dir_close(listing);
  g_rmdir(dir);
  g_free(dir);
  return picture;
}

// The bounding box of the view's background in a screenshot.
GdkRectangle view_box(GdkPixbuf *shot) {
  const int w = gdk_pixbuf_get_width(shot), h = gdk_pixbuf_get_height(shot);
  const int stride = gdk_pixbuf_get_rowstride(shot), n = gdk_pixbuf_get_n_channels(shot);
  const guchar *pixels = gdk_pixbuf_get_pixels(shot);
  int x0 = w, y0 = h, x1 = -1, y1 = -1;
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      if (!is_background(pixels + y * stride + x * n)) continue;
      x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    }
  }
  return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

// Pixels of box that differ between two screenshots of one size.
int pixels_changed(GdkPixbuf *a, GdkPixbuf *b, const GdkRectangle &box) {
  const int stride = gdk_pixbuf_get_rowstride(a), n = gdk_pixbuf_get_n_channels(a);
  int changed = 0;
  for (int y = box.y; y < box.y + box.height; y++) {
    for (int x = box.x; x < box.x + box.width; x++) {
      const guchar *p = gdk_pixbuf_get_pixels(a) + y * stride + x * n;
      const guchar *q = gdk_pixbuf_get_pixels(b) + y * stride + x * n;
      changed += p[0] != q[0] || p[1] != q[1] || p[2] != q[2];
    }
  }
  return changed;
}

TEST(WaylandTracking, TwentySecondsOfTrackingNeitherStallNorLeaveTheViewStale) {
  ASSERT_TRUE(GDK_IS_WAYLAND_DISPLAY(gdk_display_get_default()))
      << "this test runs on a Wayland compositor: see scripts/test-wayland";
  AppState *state = open_app_window();
  // A star 60 degrees north never sets at latitude 45: tracking runs on.
  gtk_range_set_value(GTK_RANGE(state->dec_scale), 60);
  int frames = 0;
  // Counted as each "render" begins: the view's own handler ends the emission.
  const guint render = g_signal_lookup("render", GTK_TYPE_GL_AREA);
  const gulong hook = g_signal_add_emission_hook(
      render, 0,
      [](GSignalInvocationHint *, guint, const GValue *, gpointer n) {
        ++*static_cast<int *>(n);
        return gboolean(TRUE);
      },
      &frames, nullptr);
  const double ha_before = gtk_range_get_value(GTK_RANGE(state->ha_scale));
  GtkWidget *track = lookup_widget(state->main_window, "view_track");
  gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(track), TRUE);

  constexpr int kShots = 5;
  constexpr gint64 kShotEvery = 4 * G_USEC_PER_SEC;  // 20 s in all
  const gint64 start = g_get_monotonic_time();
  GdkPixbuf *previous = nullptr;
  for (int shot = 1; shot <= kShots; shot++) {
    const int frames_before = frames;
    while (g_get_monotonic_time() < start + shot * kShotEvery) {
      g_main_context_iteration(nullptr, FALSE);
      g_usleep(1000);
    }
    SCOPED_TRACE("screenshot " + std::to_string(shot));
    // About 30 frames a second are asked for; a stalled view draws none.
    EXPECT_GE(frames - frames_before, 20);
    GdkPixbuf *now = screenshot();
    ASSERT_NE(now, nullptr) << "weston-screenshooter gave no picture";
    const GdkRectangle box = view_box(now);
    EXPECT_GE(box.width, 240);
    EXPECT_GE(box.height, 180);
    if (previous && box.width > 0) {
      EXPECT_GT(pixels_changed(previous, now, box), 100) << "the view on the screen is stale";
    }
    if (previous) g_object_unref(previous);
    previous = now;
  }
  g_object_unref(previous);
  const double seconds = double(g_get_monotonic_time() - start) / G_USEC_PER_SEC;
  EXPECT_TRUE(gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(track)));
  // The sky's pace within 10%, the screenshots' pauses included.
  EXPECT_NEAR(gtk_range_get_value(GTK_RANGE(state->ha_scale)) - ha_before,
              seconds * kTrackDegreesPerSecond, 0.1 * seconds * kTrackDegreesPerSecond);
  gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(track), FALSE);
  g_signal_remove_emission_hook(render, hook);
  close_app_window(state);
}

}  // namespace
