// Builders of the main window and the two Help dialogs. Every widget is shown
// as it is created (the top-level windows and submenus excepted) and is
// registered on its top-level window under its name for lookup_widget.
#pragma once

#include <gtk/gtk.h>

// The main window: File and Help menus, the table of eleven labelled scales
// (all with the range 0 to 0 until the control panel sets them up) and a status
// bar. Returned unshown; the caller owns it.
GtkWidget *create_main_window(void);

// The About dialog with placeholder title and text ("fill in dynamically"),
// returned unshown. The Help, About command fills it in.
GtkWidget *create_about_dialog(void);

// The help dialog, 426 x 550 pixels, with the help text in a read-only,
// word-wrapped text view. Returned unshown.
GtkWidget *create_help_dialog(void);

// The text that the help dialog shows.
extern const char *const kHelpText;
