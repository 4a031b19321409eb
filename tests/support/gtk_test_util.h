// Small helpers shared by the tests that drive real GTK widgets.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <vector>

// A widget's allocation: its place in its parent's window and its size.
inline GtkAllocation allocation_of(GtkWidget *widget) {
  GtkAllocation a;
  gtk_widget_get_allocation(widget, &a);
  return a;
}

// Where widget's top-left corner is on the screen. A widget without a window
// of its own (as GTK 3's GL area) lies at its allocation in its parent's.
inline void screen_origin(GtkWidget *widget, gint *x, gint *y) {
  gdk_window_get_origin(gtk_widget_get_window(widget), x, y);
  if (!gtk_widget_get_has_window(widget)) {
    const GtkAllocation a = allocation_of(widget);
    *x += a.x;
    *y += a.y;
  }
}

// True for the one message that GDK logs for every window on a display
// without a seat (Weston's headless backend has none): the environment's, not
// the program's, so tests that count warnings leave it out.
inline bool is_environment_message(const gchar *domain, const gchar *message) {
  return g_strcmp0(domain, "Gdk") == 0 &&
         g_strcmp0(message, "gdk_seat_get_keyboard: assertion 'GDK_IS_SEAT (seat)' failed") == 0;
}

// Lets pending redraws, resizes and dialogs happen before a test looks. Gives
// up after most_ms milliseconds of work: while the mount moves and frames take
// longer to draw than a step of the motion (a slow renderer, the sanitizers),
// the next step is always due and the main loop never runs out of work.
inline void process_events(int most_ms = 2000) {
  const gint64 until = g_get_monotonic_time() + gint64(most_ms) * 1000;
  while (gtk_events_pending() && g_get_monotonic_time() < until) gtk_main_iteration();
}

// Lets the X server and the toolkit finish mapping, resizing, exposing and
// redrawing, and gives X time to show what was drawn.
inline void settle() {
  for (int i = 0; i < 5; i++) {
    process_events();
    gdk_flush();
    g_usleep(20000);
  }
  process_events();
}

// The top-level windows whose title is title.
inline std::vector<GtkWidget *> windows_titled(const std::string &title) {
  std::vector<GtkWidget *> found;
  GList *toplevels = gtk_window_list_toplevels();
  for (GList *l = toplevels; l; l = l->next) {
    const char *t = gtk_window_get_title(GTK_WINDOW(l->data));
    if (t && title == t) found.push_back(GTK_WIDGET(l->data));
  }
  g_list_free(toplevels);
  return found;
}

// Destroys every window titled title, so that a test starts from none.
inline void close_all(const std::string &title) {
  for (GtkWidget *w : windows_titled(title)) gtk_widget_destroy(w);
  process_events();
}
