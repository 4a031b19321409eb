// Widget lookup by builder name, and the pixmap search path.
#pragma once

#include <gtk/gtk.h>

// The widget registered under widget_name on the top-level window of widget,
// found by walking up through container parents (a menu's parent is the widget
// it is attached to) or, failing those, the widget stored under
// "GladeParentKey". Logs "Widget not found: <name>" and returns NULL when the
// name is not registered. No reference is added for the caller.
GtkWidget *lookup_widget(GtkWidget *widget, const gchar *widget_name);

// Adds a copy of directory to the head of the pixmap search path; later
// additions are searched first.
void add_pixmap_directory(const gchar *directory);

// A new image widget loaded from filename found on the search path. An empty or
// NULL name gives an empty image without searching; a file on no directory
// gives an empty image and the warning "Couldn't find pixmap file: <name>".
// widget is not used.
GtkWidget *create_pixmap(GtkWidget *widget, const gchar *filename);

// A new pixbuf loaded from filename found on the search path, or NULL: for an
// empty or NULL name (silently), a file on no directory (warning), or a file
// that cannot be decoded ("Failed to load pixbuf file: ..." on stderr).
GdkPixbuf *create_pixbuf(const gchar *filename);

// Sets description on every accessible action of action whose name is
// action_name.
void glade_set_atk_action_description(AtkAction *action, const gchar *action_name,
                                      const gchar *description);
