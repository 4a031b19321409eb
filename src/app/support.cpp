// Widget lookup by builder name, and the pixmap search path.
#include "app/support.h"

#include <cstdio>

namespace {

// Directories searched for pixmap files, most recently added first. The list
// owns copies of the strings and lives as long as the program.
GList *pixmaps_directories = nullptr;

// The widget that stands above widget for lookups: a menu's attach widget (so a
// submenu leads to its item), else the container parent, else whatever was
// stored under "GladeParentKey" for a window built apart from its owner.
GtkWidget *lookup_parent(GtkWidget *widget) {
  GtkWidget *parent = GTK_IS_MENU(widget) ? gtk_menu_get_attach_widget(GTK_MENU(widget))
                                          : gtk_widget_get_parent(widget);
  if (!parent) {
    parent = static_cast<GtkWidget *>(g_object_get_data(G_OBJECT(widget), "GladeParentKey"));
  }
  return parent;
}

// Full path of filename in the first directory of the search path that has it,
// newly allocated; NULL when none has it.
gchar *find_pixmap_file(const gchar *filename) {
  for (GList *elem = pixmaps_directories; elem; elem = elem->next) {
    gchar *pathname = g_strdup_printf("%s%s%s", static_cast<const gchar *>(elem->data),
                                      G_DIR_SEPARATOR_S, filename);
    if (g_file_test(pathname, G_FILE_TEST_EXISTS)) return pathname;
    g_free(pathname);
  }
  return nullptr;
}

}  // namespace

GtkWidget *lookup_widget(GtkWidget *widget, const gchar *widget_name) {
  for (GtkWidget *parent; (parent = lookup_parent(widget)) != nullptr;) widget = parent;

  auto *found = static_cast<GtkWidget *>(g_object_get_data(G_OBJECT(widget), widget_name));
  if (!found) g_warning("Widget not found: %s", widget_name);
  return found;
}

void add_pixmap_directory(const gchar *directory) {
  pixmaps_directories = g_list_prepend(pixmaps_directories, g_strdup(directory));
}

GtkWidget *create_pixmap(GtkWidget * /*widget*/, const gchar *filename) {
  if (!filename || !filename[0]) return gtk_image_new();

  gchar *pathname = find_pixmap_file(filename);
  if (!pathname) {
    g_warning("Couldn't find pixmap file: %s", filename);
    return gtk_image_new();
  }
  GtkWidget *pixmap = gtk_image_new_from_file(pathname);
  g_free(pathname);
  return pixmap;
}

GdkPixbuf *create_pixbuf(const gchar *filename) {
  if (!filename || !filename[0]) return nullptr;

  gchar *pathname = find_pixmap_file(filename);
  if (!pathname) {
    g_warning("Couldn't find pixmap file: %s", filename);
    return nullptr;
  }
  GError *error = nullptr;
  GdkPixbuf *pixbuf = gdk_pixbuf_new_from_file(pathname, &error);
  if (!pixbuf) {
    // A failed write to standard error has nowhere else to be reported.
    static_cast<void>(
        std::fprintf(stderr, "Failed to load pixbuf file: %s: %s\n", pathname, error->message));
    g_error_free(error);
  }
  g_free(pathname);
  return pixbuf;
}

void glade_set_atk_action_description(AtkAction *action, const gchar *action_name,
                                      const gchar *description) {
  const gint n_actions = atk_action_get_n_actions(action);
  for (gint i = 0; i < n_actions; i++) {
    if (!g_strcmp0(atk_action_get_name(action, i), action_name)) {
      atk_action_set_description(action, i, description);
    }
  }
}
