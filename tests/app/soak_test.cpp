// A long run of real input into the real window, as a restless user makes it:
// keys into the sliders, Tab and Shift+Tab, drags on the view (some leaving the
// window, some released outside it), right and middle clicks, the Help and
// About dialogs opened and closed, the window resized, very small included;
// the Telescope menu's dialogs opened and closed, random text typed into Go
// To's entries, and now and then a Go To and a Stop. Meanwhile a planetarium
// program sends random LX200 commands from a thread of its own. Every 100
// events the eleven scales must still describe one position above the
// altitude limit, and nothing may have logged a warning or a critical.
// VELMORANT_SOAK_EVENTS sets the number of events (2000 by default) and
// VELMORANT_SOAK_SEED the seed, which is printed with the mix of events. The
// seed repeats the input and the client's commands, though not when each
// command comes between the events.
#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <poll.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <map>
#include <random>
#include <string>

#include "app/callbacks.h"
#include "app/support.h"
#include "controls/lx200_server.h"
#include "support/app_window.h"
#include "support/loopback.h"
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

// Hands what was sent to the X server and lets the toolkit handle what comes
// back, for at most a quarter of a second: while the mount moves, the main
// loop may never be idle.
void pump() {
  XSync(xdisplay(), False);
  process_events(250);
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

// What a user might type into Go To's entries: one of a few places it can
// read, or up to nine random printable characters.
std::string place_or_noise(std::mt19937 &random, bool ra) {
  const char *places[2][4] = {{"+24:07", "-5:23", "38 47 01", "-60"},
                              {"3:47:29", "5 35 17", "18h36m56s", "12:00"}};
  if (random() % 2) return places[ra][random() % 4];
  std::string noise;
  for (int n = int(random() % 10); n > 0; n--) noise += char(' ' + random() % 95);
  return noise;
}

// A planetarium program of the soak's own, on a thread of its own until *stop:
// a few random LX200 commands some thirty times a second, now and then with a
// stray byte, each time waiting for the replies. Counts what it sends and
// reads; false if the server dropped it.
bool drive_over_lx200(uint16_t port, unsigned seed, const std::atomic<bool> *stop, unsigned *sent,
                      size_t *received) {
  std::mt19937 random(seed);
  const char *commands[] = {":GR#", ":GD#", ":GA#", ":GZ#",          ":GS#",       ":Gt#", ":Gg#",
                            ":U#",  ":MS#", ":CM#", ":Q#",           ":Mn#",       ":Me#", ":Qn#",
                            ":RG#", ":RS#", ":D#",  ":Sr 05:35:17#", ":Sd +22*00#"};
  const int fd = connect_to(port);
  ssize_t n = -1;
  while (!*stop && n != 0) {
    std::string bytes;
    for (int i = int(random() % 3); i >= 0; i--, ++*sent) {
      bytes += commands[random() % std::size(commands)];
    }
    if (random() % 8 == 0) bytes.insert(random() % bytes.size(), 1, char(random()));
    send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    pollfd readable = {fd, POLLIN, 0};
    poll(&readable, 1, 100);
    g_usleep(20000);
    char buffer[1024];
    while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) *received += size_t(n);
  }
  close(fd);
  return n != 0;
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
  const char *kKinds[] = {"keys",  "keys",   "keys",       "keys",    "Tabs",   "drags",
                          "drags", "clicks", "Help/About", "resizes", "guides", "Telescope"};
  std::map<std::string, unsigned> mix;
  std::string message;
  const uint16_t port = free_port();
  ASSERT_TRUE(ctrl_lx200_start(state, "127.0.0.1", port, &message)) << message;
  std::atomic<bool> stop{false};
  unsigned sent = 0;
  size_t received = 0;
  std::future<bool> served =
      std::async(std::launch::async, drive_over_lx200, port, seed, &stop, &sent, &received);
  // Stops the client however the test ends, a failed assertion included; the
  // future then waits for it.
  struct StopClient {
    std::atomic<bool> &stop;
    ~StopClient() { stop = true; }
  } stop_client{stop};

  for (unsigned event = 1; event <= events; event++) {
    const GtkAllocation v = allocation_of(view);
    const int kind = pick(12);
    ++mix[kKinds[kind]];
    switch (kind) {
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
      case 11:  // the Telescope menu: Go To by Ctrl+G, text typed into both
        // entries, then its button clicked (a Go To, or the dialog saying why
        // not) or not, and Escape to close it; Stop by Escape; the Site dialog
        if (pick(2)) {
          ASSERT_TRUE(press_chord(state->alt_scale, GDK_KEY_Control_L, GDK_KEY_g));
          settle();
          ASSERT_NE(state->goto_dialog, nullptr) << "Ctrl+G opened no dialog";
          type_text(lookup_widget(state->goto_dialog, "goto_ra"),
                    place_or_noise(random, 1).c_str());
          type_text(lookup_widget(state->goto_dialog, "goto_dec"),
                    place_or_noise(random, 0).c_str());
          ++mix["Go To typed"];
          if (pick(2)) click(lookup_widget(state->goto_dialog, "goto_ok_button"), 1, 0.5, 0.5);
          settle();
          mix["Go To taken"] += state->goto_dialog == nullptr;
          if (state->goto_dialog) {
            ASSERT_TRUE(press_key(lookup_widget(state->goto_dialog, "goto_dec"), GDK_KEY_Escape));
          }
        } else if (pick(2)) {
          ASSERT_TRUE(press_key(state->*kScaleRows[pick(kScales)].field, GDK_KEY_Escape));
          ++mix["Stops"];
        } else {
          gtk_menu_item_activate(GTK_MENU_ITEM(lookup_widget(window, "telescope_site")));
          settle();
          ASSERT_NE(state->site_dialog, nullptr);
          ASSERT_TRUE(
              press_key(lookup_widget(state->site_dialog, "site_close_button"), GDK_KEY_Escape));
          ++mix["Site dialogs"];
        }
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
  stop = true;
  EXPECT_TRUE(served.get()) << "the LX200 server dropped its client";
  std::printf("soak: the mix:");
  for (const auto &kind : mix) std::printf(" %u %s;", kind.second, kind.first.c_str());
  std::printf("\nsoak: the LX200 client sent %u commands and read %zu bytes\n", sent, received);
  EXPECT_GT(received, 0u) << "the LX200 server answered nothing";
  close_app_window(state);
  g_log_set_default_handler(previous, nullptr);
}

}  // namespace
