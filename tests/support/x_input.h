// Keys and mouse buttons pressed as the keyboard and mouse press them, for
// tests that drive real widgets: through the XTest extension, so that the X
// server delivers them like any other input, on either toolkit.
#pragma once

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkkeysyms.h>
#include <gdk/gdkx.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "support/gtk_test_util.h"

// Gives widget the focus in its window and its window the X input focus, then
// presses and releases the key keyval (a GDK key symbol, which is the X one)
// with the key modifier (GDK_KEY_Control_L, say; 0 for none) held.
// The key is delivered once the main loop runs. False when a key has no
// key code or the window cannot take the focus (it is not mapped).
inline bool press_chord(GtkWidget *widget, guint modifier, guint keyval) {
  gtk_widget_grab_focus(widget);
  Display *display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
  const KeyCode code = XKeysymToKeycode(display, keyval);
  const KeyCode modifier_code = modifier ? XKeysymToKeycode(display, modifier) : 0;
  if (code == 0 || (modifier && modifier_code == 0)) return false;
  GdkWindow *window = gtk_widget_get_window(gtk_widget_get_toplevel(widget));
  if (!window) return false;
  gdk_error_trap_push();
  XSetInputFocus(display, GDK_WINDOW_XID(window), RevertToParent, CurrentTime);
  XSync(display, False);
  if (gdk_error_trap_pop() != 0) return false;
  if (modifier) XTestFakeKeyEvent(display, modifier_code, True, CurrentTime);
  XTestFakeKeyEvent(display, code, True, CurrentTime);
  XTestFakeKeyEvent(display, code, False, CurrentTime);
  if (modifier) XTestFakeKeyEvent(display, modifier_code, False, CurrentTime);
  XSync(display, False);
  return true;
}

// As press_chord, with Shift held if shift.
inline bool press_key(GtkWidget *widget, guint keyval, bool shift = false) {
  return press_chord(widget, shift ? GDK_KEY_Shift_L : 0, keyval);
}

// Moves the pointer to (fx, fy), fractions of widget's width and height from
// its top-left corner, and presses and releases mouse button (4 and 5 are a
// wheel notch up and down). Delivered once the main loop runs.
inline void click(GtkWidget *widget, unsigned button, double fx, double fy) {
  Display *display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
  const GtkAllocation a = allocation_of(widget);
  gint x, y;
  screen_origin(widget, &x, &y);
  XTestFakeMotionEvent(display, -1, x + int(fx * a.width), y + int(fy * a.height), CurrentTime);
  XTestFakeButtonEvent(display, button, True, CurrentTime);
  XTestFakeButtonEvent(display, button, False, CurrentTime);
  XSync(display, False);
}

// Types text (printable ASCII) into widget as the keyboard does, Shift held
// where the key map puts a character on a shifted key; then lets the toolkit
// handle the keys.
inline void type_text(GtkWidget *widget, const char *text) {
  gtk_widget_grab_focus(widget);
  Display *display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
  XSetInputFocus(display, GDK_WINDOW_XID(gtk_widget_get_window(gtk_widget_get_toplevel(widget))),
                 RevertToParent, CurrentTime);
  const KeyCode shift = XKeysymToKeycode(display, GDK_KEY_Shift_L);
  for (const char *c = text; *c; ++c) {
    const guint keyval = gdk_unicode_to_keyval(guchar(*c));
    const KeyCode code = XKeysymToKeycode(display, keyval);
    ASSERT_NE(code, 0) << *c;
    const bool shifted = XkbKeycodeToKeysym(display, code, 0, 0) != keyval;
    if (shifted) XTestFakeKeyEvent(display, shift, True, CurrentTime);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    if (shifted) XTestFakeKeyEvent(display, shift, False, CurrentTime);
    XSync(display, False);
    process_events();
  }
  settle();
}
