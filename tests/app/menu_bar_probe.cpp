// A GTK module that the tests load into the real program through GTK_MODULES:
// once a window with a menu bar is shown, it prints the menu bar's labels, one
// a line and without their mnemonic marks, and ends the main loop. With
// VELMORANT_PROBE=track it instead turns on View, Track the Sky for a star
// that never sets (declination 60 at latitude 45), where no input can be sent;
// with VELMORANT_PROBE=stars it turns on View, Stars (for the benchmarks).
#include <gmodule.h>
#include <gtk/gtk.h>

#include <cstdio>

namespace {

GtkWidget *find_menu_bar(GtkWidget *widget) {
  if (GTK_IS_MENU_BAR(widget)) return widget;
  if (!GTK_IS_CONTAINER(widget)) return nullptr;
  GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
  GtkWidget *found = nullptr;
  for (GList *l = children; l && !found; l = l->next) found = find_menu_bar(GTK_WIDGET(l->data));
  g_list_free(children);
  return found;
}

gboolean print_menu_bar(gpointer) {
  GList *toplevels = gtk_window_list_toplevels();
  GtkWidget *bar = nullptr;
  for (GList *l = toplevels; l && !bar; l = l->next) {
    if (gtk_widget_get_visible(GTK_WIDGET(l->data))) bar = find_menu_bar(GTK_WIDGET(l->data));
  }
  g_list_free(toplevels);
  if (!bar) return G_SOURCE_CONTINUE;
  if (g_strcmp0(g_getenv("VELMORANT_PROBE"), "stars") == 0) {
    GtkWidget *window = gtk_widget_get_toplevel(bar);
    gtk_check_menu_item_set_active(
        GTK_CHECK_MENU_ITEM(g_object_get_data(G_OBJECT(window), "view_stars")), TRUE);
    return G_SOURCE_REMOVE;
  }
  if (g_strcmp0(g_getenv("VELMORANT_PROBE"), "track") == 0) {
    // The window keeps its widgets by name, as the program's lookup finds them.
    GtkWidget *window = gtk_widget_get_toplevel(bar);
    gtk_range_set_value(GTK_RANGE(g_object_get_data(G_OBJECT(window), "dec_scale")), 60);
    gtk_check_menu_item_set_active(
        GTK_CHECK_MENU_ITEM(g_object_get_data(G_OBJECT(window), "view_track")), TRUE);
    return G_SOURCE_REMOVE;
  }
  GList *items = gtk_container_get_children(GTK_CONTAINER(bar));
  for (GList *l = items; l; l = l->next) {
    GtkWidget *label = gtk_bin_get_child(GTK_BIN(l->data));
    if (GTK_IS_LABEL(label)) std::printf("%s\n", gtk_label_get_text(GTK_LABEL(label)));
  }
  g_list_free(items);
  std::fflush(stdout);
  gtk_main_quit();
  return G_SOURCE_REMOVE;
}

}  // namespace

extern "C" G_MODULE_EXPORT void gtk_module_init(gint *, gchar ***) {
  g_timeout_add(50, print_menu_bar, nullptr);
}
