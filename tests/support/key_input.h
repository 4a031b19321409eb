// Key presses typed as the keyboard types them, for tests that drive real
// widgets: through the XTest extension, so that the X server delivers them to
// the focused window like any other key, on either toolkit.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

// Gives widget the focus in its window and its window the X input focus, then
// presses and releases the key keyval (a GDK key symbol, which is the X one).
// The key is delivered once the main loop runs. False when the key has no
// key code or the window cannot take the focus (it is not mapped).
inline bool press_key(GtkWidget *widget, guint keyval) {
  gtk_widget_grab_focus(widget);
  Display *display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
  const KeyCode code = XKeysymToKeycode(display, keyval);
  if (code == 0) return false;
  GdkWindow *window = gtk_widget_get_window(gtk_widget_get_toplevel(widget));
  if (!window) return false;
  gdk_error_trap_push();
  XSetInputFocus(display, GDK_WINDOW_XID(window), RevertToParent, CurrentTime);
  XSync(display, False);
  if (gdk_error_trap_pop() != 0) return false;
  XTestFakeKeyEvent(display, code, True, CurrentTime);
  XTestFakeKeyEvent(display, code, False, CurrentTime);
  XSync(display, False);
  return true;
}
