// Handlers of the main window's close and menu signals and of the dialogs' OK
// buttons.
#include "app/callbacks.h"

#include <glib/gi18n.h>

#include "app/interface.h"
#include "app/support.h"

namespace {

// First line in extra-large bold, then a subtitle, a blank line and the
// credits; the subtitle and credits are translated, then escaped as markup.
constexpr const char *kAboutMarkup =
    "<span size=\"x-large\" weight=\"bold\">%s v%s</span>\n"
    "<span size=\"large\">%s</span>\n"
    "\n"
    "%s";

}  // namespace

gboolean delete_event(GtkWidget * /*widget*/, GdkEvent * /*event*/, gpointer /*user_data*/) {
  return FALSE;
}

void destroy(GtkWidget * /*widget*/, gpointer /*user_data*/) {
  gtk_main_quit();
}

void on_menu_quit_activate(GtkMenuItem * /*menuitem*/, gpointer /*user_data*/) {
  gtk_main_quit();
}

void on_menu_contents_activate(GtkMenuItem * /*menuitem*/, gpointer /*user_data*/) {
  gtk_widget_show(create_help_dialog());
}

void on_menu_about_activate(GtkMenuItem * /*menuitem*/, gpointer /*user_data*/) {
  GtkWidget *dialog = create_about_dialog();

  // TRANSLATORS: %s is the program's name, velmorant.
  gchar *title = g_strdup_printf(_("About %s"), kProgramName);
  gtk_window_set_title(GTK_WINDOW(dialog), title);

  GtkWidget *label = lookup_widget(dialog, "about_label");
  gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
  gchar *markup = g_markup_printf_escaped(kAboutMarkup, kProgramName, kProgramVersion,
                                          _("Simulation of a three-axis telescope mount"),
                                          _("2026, the velmorant developers"));
  gtk_label_set_markup(GTK_LABEL(label), markup);

  gtk_widget_show(dialog);
  g_free(title);
  g_free(markup);
}

void on_about_ok_button_clicked(GtkButton *button, gpointer /*user_data*/) {
  gtk_widget_destroy(gtk_widget_get_toplevel(GTK_WIDGET(button)));
}

void on_help_ok_button_clicked(GtkButton *button, gpointer /*user_data*/) {
  gtk_widget_destroy(gtk_widget_get_toplevel(GTK_WIDGET(button)));
}
