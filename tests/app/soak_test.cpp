// A long run of real input into the real window, as a restless user makes it:
// keys into the sliders, Tab and Shift+Tab, drags on the view (some leaving the
// window, some released outside it), right and middle clicks, the Help and
// About dialogs opened and closed, and the window resized, very small
// included. Every 100 events the eleven scales must still describe one
// position above the altitude limit, and nothing may have logged a warning or
// a critical. VELMORANT_SOAK_EVENTS sets the number of events (2000 by
// default) and VELMORANT_SOAK_SEED the seed, which is printed.
#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "app/callbacks.h"
#include "app/support.h"
#include "support/app_window.h"
#include "support/gtk_test_util.h"
#include "support/scales.h"
#include "support/x_input.h"

namespace {

int logged = 0;

void count_warnings(const gchar *domain, GLogLevelFlags level, const gchar *message, gpointer) {
  if ((level & (G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_ERROR)) &&
      !is_environment_message(domain, message)) {
    ++logged;
  }
  g_log_default_handler(domain, level, message, nullptr);
}

unsigned from_environment(const char *name, unsigned fallback) {
  const char *value = g_getenv(name);
  return value ? unsigned(std::strtoul(value, nullptr, 10)) : fallback;
}

Display *xdisplay() {
  return GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
}

// Hands what was sent to the X server and lets the toolkit handle what comes back.
void pump() {
  XSync(xdisplay(), False);
  process_events();
}

// Moves the pointer to (x, y), pixels from the view's top-left corner; may be
// outside the view, and outside the window.
void pointer_to(GtkWidget *view, int x, int y) {
  gint ox, oy;
  screen_origin(view, &ox, &oy);
  XTestFakeMotionEvent(xdisplay(), -1, ox + x, oy + y, CurrentTime);
  pump();
}

// Closes every window titled title with Return on its OK button, as a user would.
void close_dialogs(const char *title, const char *ok_button) {
  for (GtkWidget *dialog : windows_titled(title)) {
    ASSERT_TRUE(press_key(lookup_widget(dialog, ok_button), GDK_KEY_Return));
    pump();
  }
}

TEST(Soak, ThousandsOfRealEventsKeepOnePositionAndLogNothing) {
  const unsigned events = from_environment("VELMORANT_SOAK_EVENTS", 2000);
  const unsigned seed = from_environment("VELMORANT_SOAK_SEED", 20261208);
  std::printf("soak: %u events, seed %u\n", events, seed);
  std::mt19937 random(seed);
  auto pick = [&](int n) { return int(random() % unsigned(n)); };

  const GLogFunc previous = g_log_set_default_handler(count_warnings, nullptr);
  AppState *state = open_app_window();
  GtkWidget *window = state->main_window, *view = state->drawing_area;
  const guint keys[] = {GDK_KEY_Left,    GDK_KEY_Right,     GDK_KEY_Up,   GDK_KEY_Down,
                        GDK_KEY_Page_Up, GDK_KEY_Page_Down, GDK_KEY_Home, GDK_KEY_End};
  const std::string about = std::string("About ") + kProgramName;

  for (unsigned event = 1; event <= events; event++) {
    const GtkAllocation v = allocation_of(view);
    switch (pick(11)) {
      case 0:
      case 1:
      case 2:
      case 3:  // a key into a slider
        ASSERT_TRUE(press_key(state->*kScaleRows[pick(kScales)].field, keys[pick(8)]));
        break;
      case 4:  // Tab or Shift+Tab from a slider
        ASSERT_TRUE(press_key(state->*kScaleRows[pick(kScales)].field, GDK_KEY_Tab, pick(2)));
        break;
      case 5:
      case 6: {  // a left drag on the view; some end outside the window
        pointer_to(view, pick(v.width), pick(v.height));
        XTestFakeButtonEvent(xdisplay(), 1, True, CurrentTime);
        for (int step = pick(6); step >= 0; step--) {
          pointer_to(view, pick(v.width + 400) - 200, pick(v.height + 400) - 200);
        }
        XTestFakeButtonEvent(xdisplay(), 1, False, CurrentTime);
        break;
      }
      case 7: {  // a right or middle click on the view
        const unsigned button = 2 + unsigned(pick(2));
        pointer_to(view, pick(v.width), pick(v.height));
        XTestFakeButtonEvent(xdisplay(), button, True, CurrentTime);
        XTestFakeButtonEvent(xdisplay(), button, False, CurrentTime);
        break;
      }
      case 8:  // Help by F1, or About from the menu; then closed again
        if (pick(2)) {
          ASSERT_TRUE(press_key(state->alt_scale, GDK_KEY_F1));
          pump();
          close_dialogs("Velmorant Simulator Help", "help_ok_button");
        } else {
          gtk_menu_item_activate(GTK_MENU_ITEM(lookup_widget(window, "menu_about")));
          pump();
          close_dialogs(about.c_str(), "about_ok_button");
        }
        break;
      case 10:  // a guide from the View menu; or Ctrl+T, a slider moved while the
        // sky turns, and Ctrl+T again (which restarts tracking if the star set)
        if (pick(2)) {
          gtk_menu_item_activate(
              GTK_MENU_ITEM(lookup_widget(window, pick(2) ? "view_compass" : "view_pointing")));
        } else {
          ASSERT_TRUE(press_chord(state->alt_scale, GDK_KEY_Control_L, GDK_KEY_t));
          ASSERT_TRUE(press_key(state->*kScaleRows[pick(kScales)].field, keys[pick(8)]));
          g_usleep(100000);
          pump();
          ASSERT_TRUE(press_chord(state->alt_scale, GDK_KEY_Control_L, GDK_KEY_t));
        }
        break;
      case 9:  // the window resized, very small included; as under a window
        // manager, never below the least size it asks for
        gtk_window_resize(GTK_WINDOW(window), 50 + pick(1150), 50 + pick(900));
        break;
    }
    pump();
    if (event % 100 == 0) {
      settle();
      const Snapshot now = snapshot_of(state);
      ASSERT_TRUE(one_position(now))
          << "after event " << event << ": " << testing::PrintToString(now);
      ASSERT_EQ(logged, 0) << "warnings or criticals logged by event " << event;
    }
  }
  close_app_window(state);
  g_log_set_default_handler(previous, nullptr);
}

}  // namespace
