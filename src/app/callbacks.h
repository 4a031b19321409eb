// Handlers of the main window's close and menu signals and of the dialogs' OK
// buttons. All are connected without user data.
#pragma once

#include <gtk/gtk.h>

// Program identity shown by Help, About.
constexpr const char *kProgramName = "velmorant";
constexpr const char *kProgramVersion = "1.0.1";

// Main window "delete_event": returns FALSE so that the toolkit destroys the
// window, which ends the program through destroy().
gboolean delete_event(GtkWidget *widget, GdkEvent *event, gpointer user_data);

// Main window "destroy": leaves the main loop.
void destroy(GtkWidget *widget, gpointer user_data);

// File, Quit: leaves the main loop without destroying the window.
void on_menu_quit_activate(GtkMenuItem *menuitem, gpointer user_data);

// Help, Contents (and F1): opens a new help dialog.
void on_menu_contents_activate(GtkMenuItem *menuitem, gpointer user_data);

// Help, About: opens a new About dialog titled "About velmorant" whose label
// shows the program name and version in large bold type.
void on_menu_about_activate(GtkMenuItem *menuitem, gpointer user_data);

// OK of an About or help dialog: destroys that dialog only.
void on_about_ok_button_clicked(GtkButton *button, gpointer user_data);
void on_help_ok_button_clicked(GtkButton *button, gpointer user_data);
