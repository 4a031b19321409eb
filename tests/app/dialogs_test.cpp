// The About and help dialogs opened from the Help menu.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "app/callbacks.h"
#include "app/interface.h"
#include "app/support.h"
#include "support/gtk_test_util.h"

namespace {

// The first attribute of type type that covers the whole of [start, end).
PangoAttribute *attribute_over(PangoAttrList *list, PangoAttrType type, guint start, guint end) {
  PangoAttrIterator *it = pango_attr_list_get_iterator(list);
  PangoAttribute *found = nullptr;
  do {
    PangoAttribute *attr = pango_attr_iterator_get(it, type);
    if (attr && attr->start_index <= start && attr->end_index >= end) found = attr;
  } while (!found && pango_attr_iterator_next(it));
  pango_attr_iterator_destroy(it);
  return found;
}

// Runs a Help menu command from a state with no dialog titled title open, and
// returns the windows with that title afterwards.
std::vector<GtkWidget *> open_from_menu(void (*command)(GtkMenuItem *, gpointer),
                                        const std::string &title) {
  close_all(title);
  command(nullptr, nullptr);
  process_events();
  return windows_titled(title);
}

TEST(AboutDialog, ShowsTheProgramNameAndVersionInExtraLargeBoldCentred) {
  const auto dialogs = open_from_menu(on_menu_about_activate, "About velmorant");
  ASSERT_EQ(dialogs.size(), 1u);

  GtkWidget *label = lookup_widget(dialogs[0], "about_label");
  ASSERT_NE(label, nullptr);
  const std::string text = gtk_label_get_text(GTK_LABEL(label));
  const std::string first_line = "velmorant v1.0.1";
  ASSERT_EQ(text.substr(0, first_line.size() + 1), first_line + "\n");
  EXPECT_EQ(gtk_label_get_justify(GTK_LABEL(label)), GTK_JUSTIFY_CENTER);

  // The markup's attributes live on the label's layout.
  PangoAttrList *attrs = pango_layout_get_attributes(gtk_label_get_layout(GTK_LABEL(label)));
  ASSERT_NE(attrs, nullptr);
  auto *scale = reinterpret_cast<PangoAttrFloat *>(
      attribute_over(attrs, PANGO_ATTR_SCALE, 0, first_line.size()));
  ASSERT_NE(scale, nullptr);
  EXPECT_DOUBLE_EQ(scale->value, PANGO_SCALE_X_LARGE);
  auto *weight = reinterpret_cast<PangoAttrInt *>(
      attribute_over(attrs, PANGO_ATTR_WEIGHT, 0, first_line.size()));
  ASSERT_NE(weight, nullptr);
  EXPECT_EQ(weight->value, PANGO_WEIGHT_BOLD);
  gtk_widget_destroy(dialogs[0]);
}

TEST(AboutDialog, TwoCanBeOpenAndOkClosesOnlyItsOwn) {
  close_all("About velmorant");
  on_menu_about_activate(nullptr, nullptr);
  on_menu_about_activate(nullptr, nullptr);
  process_events();
  auto dialogs = windows_titled("About velmorant");
  ASSERT_EQ(dialogs.size(), 2u);

  GtkWidget *kept = dialogs[1];
  gtk_button_clicked(GTK_BUTTON(lookup_widget(dialogs[0], "about_ok_button")));
  process_events();
  dialogs = windows_titled("About velmorant");
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0], kept);

  gtk_button_clicked(GTK_BUTTON(lookup_widget(kept, "about_ok_button")));
  process_events();
  EXPECT_TRUE(windows_titled("About velmorant").empty());
}

TEST(HelpDialog, IsA426By550ReadOnlyWrappedTextWithoutCursor) {
  const auto dialogs = open_from_menu(on_menu_contents_activate, "Velmorant Simulator Help");
  ASSERT_EQ(dialogs.size(), 1u);
  GtkWidget *dialog = dialogs[0];

  gint width = 0, height = 0;
  gtk_widget_get_size_request(dialog, &width, &height);
  EXPECT_EQ(width, 426);
  EXPECT_EQ(height, 550);
  EXPECT_EQ(allocation_of(dialog).width, 426);
  EXPECT_EQ(allocation_of(dialog).height, 550);

  GtkTextView *view = GTK_TEXT_VIEW(lookup_widget(dialog, "textview1"));
  EXPECT_FALSE(gtk_text_view_get_editable(view));
  EXPECT_EQ(gtk_text_view_get_wrap_mode(view), GTK_WRAP_WORD);
  EXPECT_FALSE(gtk_text_view_get_cursor_visible(view));

  GtkTextIter start, end;
  GtkTextBuffer *buffer = gtk_text_view_get_buffer(view);
  gtk_text_buffer_get_bounds(buffer, &start, &end);
  gchar *text = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
  EXPECT_EQ(text, help_text());
  g_free(text);

  gtk_button_clicked(GTK_BUTTON(lookup_widget(dialog, "help_ok_button")));
  process_events();
  EXPECT_TRUE(windows_titled("Velmorant Simulator Help").empty());
}

TEST(HelpDialog, TextIsATitleAndThirteenParagraphsEndingInANewline) {
  const std::string text = help_text();
  ASSERT_EQ(text.rfind("Velmorant Simulator Help\n\n", 0), 0u);
  ASSERT_EQ(text.back(), '\n');
  size_t blank_lines = 0;
  for (size_t at = text.find("\n\n"); at != std::string::npos; at = text.find("\n\n", at + 2)) {
    blank_lines++;
  }
  EXPECT_EQ(blank_lines, 13u);  // one after the title, then one between each paragraph
  EXPECT_EQ(text.find("\n\n\n"), std::string::npos);
}

}  // namespace
