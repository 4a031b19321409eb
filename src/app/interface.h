// Builders of the main window and the two Help dialogs. Every widget is shown
// as it is created (the top-level windows and submenus excepted) and is
// registered on its top-level window under its name for lookup_widget.
#pragma once

#include <gtk/gtk.h>

#include <string>

// The main window: File, View, Telescope and Help menus (View's check items
// off, its Tracking Rate at x1,000, and none connected: see ctrl_init_view_menu
// and ctrl_init_telescope), the table of eleven labelled scales
// (all with the range 0 to 0 until the control panel sets them up) and a status
// bar. Returned unshown; the caller owns it.
GtkWidget *create_main_window(void);

// Sizes the main window for the screen it opens on, once the view (the
// drawing area, in "mainhbox") is in it and before the window is shown. Where
// the primary monitor has room, the window opens at its natural size, the view
// 640 x 480 beside the sliders; on a smaller monitor it opens no larger than
// the monitor less 32 pixels of height for a title bar and a panel, the view
// taking what is left. Thereafter the view asks for no more than 240 x 180, so
// that the user can shrink the window down to that beside the sliders.
void fit_main_window_to_screen(GtkWidget *main_window, GtkWidget *view);

// The About dialog with placeholder title and text ("fill in dynamically"),
// returned unshown. The Help, About command fills it in.
GtkWidget *create_about_dialog(void);

// The help dialog, 426 x 550 pixels, with the help text in a read-only,
// word-wrapped text view. Returned unshown.
GtkWidget *create_help_dialog(void);

// The Go To dialog, returned unshown: a combo box of star names "goto_star"
// (empty: the caller fills it), entries "goto_ra" and "goto_dec", a wrapped
// message label "goto_message", and Cancel ("goto_cancel_button", response
// CANCEL) and Go To ("goto_ok_button", response OK, the default) buttons.
// Nothing is connected.
GtkWidget *create_goto_dialog(void);

// The Site dialog, returned unshown: spin button "site_longitude" (degrees
// east, -180 to 180 in steps of 0.01), labels "site_utc" and
// "site_sidereal_time" (empty: the caller fills them), and Close
// ("site_close_button", response CLOSE). Nothing is connected.
GtkWidget *create_site_dialog(void);

// The help text as written, one paragraph to an element (one message each for
// translators): the title, then eleven paragraphs.
constexpr int kHelpParagraphCount = 14;
extern const char *const kHelpParagraphs[kHelpParagraphCount];

// The text that the help dialog shows: the paragraphs in the user's language,
// a blank line between each two, and a newline at the end.
std::string help_text(void);

// The Axis Limits dialog, "axis_limits_dialog": spin buttons limit_speed_a1,
// limit_speed_a2, limit_speed_a3 (degrees per second) and limit_accel_a1,
// limit_accel_a2, limit_accel_a3 (degrees per second squared), each from 0.001
// to 90, and limits_close_button.
GtkWidget *create_axis_limits_dialog(void);

// The Night Chart window, "chart_window", returned unshown: the star list
// "chart_star" (empty: the caller fills it), the date entry "chart_date", the
// "chart_save" button (Save As…), the drawing area "chart_area" (800 x 576 at
// least) and a wrapped label "chart_message" under it. Nothing is connected.
GtkWidget *create_chart_window(void);
