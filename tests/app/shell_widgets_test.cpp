// The main window's widget tree, widget lookup and the pixmap search path.
#include <gtest/gtest.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtk/gtk.h>
#include <gdk/gdkkeysyms.h>
#include <glib/gstdio.h>

#include <string>
#include <vector>

#include "app/interface.h"
#include "app/support.h"
#include "support/gtk_test_util.h"
#include "support/x_input.h"

namespace {

// Collects the messages of warnings logged without a domain while alive.
class WarningCapture {
 public:
  WarningCapture() {
    id_ = g_log_set_handler(nullptr, GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_FLAG_FATAL),
                            &WarningCapture::handler, this);
  }
  ~WarningCapture() { g_log_remove_handler(nullptr, id_); }
  const std::vector<std::string> &messages() const { return messages_; }

 private:
  static void handler(const gchar *, GLogLevelFlags, const gchar *message, gpointer self) {
    static_cast<WarningCapture *>(self)->messages_.push_back(message);
  }
  guint id_;
  std::vector<std::string> messages_;
};

const char *const kRegisteredNames[] = {
    "main_window", "vbox1",          "menubar1",       "menuitem4",     "menuitem4_menu",
    "menu_quit",   "menuitem7",      "menuitem7_menu", "contents",      "menu_about",
    "mainhbox",    "table2",         "hseparator1",    "hseparator2",   "hseparator3",
    "hseparator4", "hseparator5",    "alt_scale",      "az_scale",      "ha_scale",
    "dec_scale",   "frot_scale",     "a1_scale",       "a2_scale",      "a3_scale",
    "lat_scale",   "calt_scale",     "caz_scale",      "label2",        "label3",
    "label4",      "label5",         "label6",         "label7",        "label8",
    "label9",      "label10",        "label11",        "label12",       "statusbar1",
    "menu_view",   "menu_view_menu", "view_compass",   "view_pointing", "view_track"};

const char *const kScaleNames[] = {"alt_scale",  "az_scale",   "ha_scale", "dec_scale",
                                   "frot_scale", "a1_scale",   "a2_scale", "a3_scale",
                                   "lat_scale",  "calt_scale", "caz_scale"};

// Drops a floating widget that was never packed.
void discard(GtkWidget *widget) {
  g_object_ref_sink(widget);
  g_object_unref(widget);
}

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override { window_ = create_main_window(); }
  void TearDown() override { gtk_widget_destroy(window_); }
  GtkWidget *find(const char *name) {
    return static_cast<GtkWidget *>(g_object_get_data(G_OBJECT(window_), name));
  }
  GtkWidget *window_ = nullptr;
};

TEST_F(MainWindowTest, LookupFromAnyRegisteredWidgetFindsEveryName) {
  // Menu items inside the two submenus are reached only through the submenus'
  // attach widgets, so they exercise the menu branch of the walk.
  for (const char *from : kRegisteredNames) {
    GtkWidget *start = find(from);
    ASSERT_NE(start, nullptr) << from << " is not registered";
    for (const char *name : kRegisteredNames) {
      SCOPED_TRACE(std::string(from) + " -> " + name);
      EXPECT_EQ(lookup_widget(start, name), find(name));
    }
  }
  EXPECT_EQ(lookup_widget(window_, "main_window"), window_);
  EXPECT_EQ(lookup_widget(find("contents"), "main_window"), window_);
}

TEST_F(MainWindowTest, LookupOfUnknownNameGivesNullAndOneWarning) {
  WarningCapture warnings;
  EXPECT_EQ(lookup_widget(find("menu_about"), "no_such_widget"), nullptr);
  ASSERT_EQ(warnings.messages().size(), 1u);
  EXPECT_EQ(warnings.messages()[0], "Widget not found: no_such_widget");
}

TEST_F(MainWindowTest, LookupFollowsGladeParentKeyOfADetachedWindow) {
  GtkWidget *dialog = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWidget *button = gtk_button_new();
  gtk_container_add(GTK_CONTAINER(dialog), button);
  g_object_set_data(G_OBJECT(dialog), "GladeParentKey", window_);
  EXPECT_EQ(lookup_widget(button, "alt_scale"), find("alt_scale"));
  gtk_widget_destroy(dialog);
}

TEST_F(MainWindowTest, EachScaleSitsBesideItsLabelInTheGroupedRows) {
  struct Row {
    const char *label, *text, *scale;
    guint row;
  };
  const Row rows[] = {
      {"label2", "Altitude", "alt_scale", 0},
      {"label3", "Azimuth", "az_scale", 1},
      {"label4", "Hour Angle", "ha_scale", 3},
      {"label5", "Declination", "dec_scale", 4},
      {"label6", "Field Rotation", "frot_scale", 6},
      {"label7", "a1", "a1_scale", 8},
      {"label8", "a2", "a2_scale", 9},
      {"label9", "a3", "a3_scale", 10},
      {"label10", "Latitude", "lat_scale", 12},
      {"label11", "Camera Alt", "calt_scale", 14},
      {"label12", "Camera Az", "caz_scale", 15},
  };
  GtkWidget *table = find("table2");
  auto cell = [&](const char *name, guint *left, guint *right, guint *top) {
    gtk_container_child_get(GTK_CONTAINER(table), find(name), "left-attach", left, "right-attach",
                            right, "top-attach", top, nullptr);
  };
  for (const Row &r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(find(r.label))), r.text);
    guint left, right, top;
    cell(r.label, &left, &right, &top);
    EXPECT_EQ(left, 0u);
    EXPECT_EQ(right, 1u);
    EXPECT_EQ(top, r.row);
    cell(r.scale, &left, &right, &top);
    EXPECT_EQ(left, 1u);
    EXPECT_EQ(right, 2u);
    EXPECT_EQ(top, r.row);
  }
  const guint separator_rows[] = {2, 5, 7, 11, 13};
  for (int i = 0; i < 5; i++) {
    const std::string name = "hseparator" + std::to_string(i + 1);
    guint left, right, top;
    cell(name.c_str(), &left, &right, &top);
    EXPECT_EQ(top, separator_rows[i]) << name;
    EXPECT_EQ(right - left, 2u) << name << " spans both columns";
  }
}

TEST_F(MainWindowTest, ScalesStartWithEmptyRangeAndTheyShareAColumnAtLeast260Wide) {
  for (const char *name : kScaleNames) {
    SCOPED_TRACE(name);
    GtkAdjustment *adj = gtk_range_get_adjustment(GTK_RANGE(find(name)));
    EXPECT_EQ(gtk_adjustment_get_lower(adj), 0.0);
    EXPECT_EQ(gtk_adjustment_get_upper(adj), 0.0);
    EXPECT_EQ(gtk_adjustment_get_value(adj), 0.0);
  }
  gint width = 0;
  gtk_widget_get_size_request(find("alt_scale"), &width, nullptr);
  EXPECT_EQ(width, 260);

  gtk_widget_show(window_);
  process_events();
  for (const char *name : kScaleNames) {
    SCOPED_TRACE(name);
    EXPECT_GE(allocation_of(find(name)).width, 260);
  }
}

TEST_F(MainWindowTest, ExtraHeightGoesToTheSeparatorRowsOnly) {
  gtk_widget_show(window_);
  process_events();
  const char *const fixed[] = {"label2",     "label6",    "label12",  "alt_scale",
                               "frot_scale", "caz_scale", "menubar1", "statusbar1"};
  std::vector<int> before;
  for (const char *name : fixed) before.push_back(allocation_of(find(name)).height);
  // A separator row's height, as the distance between the rows either side of
  // it: the separator itself may keep its own height in the middle of its row.
  const std::pair<const char *, const char *> around[] = {{"az_scale", "ha_scale"},
                                                          {"dec_scale", "frot_scale"},
                                                          {"frot_scale", "a1_scale"},
                                                          {"a3_scale", "lat_scale"},
                                                          {"lat_scale", "calt_scale"}};
  auto gap = [&](const auto &rows) {
    return allocation_of(find(rows.second)).y - allocation_of(find(rows.first)).y;
  };
  std::vector<int> gaps_before;
  for (const auto &rows : around) gaps_before.push_back(gap(rows));

  // The window's own size: its allocation also counts the title bar and
  // shadows that the toolkit draws itself on Wayland.
  gint width, height;
  gtk_window_get_size(GTK_WINDOW(window_), &width, &height);
  gtk_window_resize(GTK_WINDOW(window_), width, height + 500);
  for (int i = 0; i < 50 && gap(around[2]) == gaps_before[2]; i++) {
    g_usleep(10000);
    process_events();
  }
  for (size_t i = 0; i < G_N_ELEMENTS(fixed); i++) {
    SCOPED_TRACE(fixed[i]);
    EXPECT_EQ(allocation_of(find(fixed[i])).height, before[i]);
  }
  // Five separator rows share the 500 extra pixels.
  for (size_t i = 0; i < G_N_ELEMENTS(around); i++) {
    SCOPED_TRACE(around[i].first);
    EXPECT_NEAR(gap(around[i]) - gaps_before[i], 100, 1);
  }
}

TEST_F(MainWindowTest, F1OpensTheHelpDialog) {
  gtk_widget_show(window_);
  process_events();
  const char *const help = "Velmorant Simulator Help";
  close_all(help);
  ASSERT_TRUE(press_key(find("alt_scale"), GDK_KEY_F1));
  process_events();
  EXPECT_EQ(windows_titled(help).size(), 1u);
  close_all(help);
}

TEST_F(MainWindowTest, DestroyingTheWindowReleasesTheRegistrationReferences) {
  GtkWidget *label = find("label6");
  GtkWidget *submenu = find("menuitem7_menu");
  g_object_add_weak_pointer(G_OBJECT(label), reinterpret_cast<gpointer *>(&label));
  g_object_add_weak_pointer(G_OBJECT(submenu), reinterpret_cast<gpointer *>(&submenu));
  gtk_widget_destroy(window_);
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);  // for TearDown
  EXPECT_EQ(label, nullptr);
  EXPECT_EQ(submenu, nullptr);
}

// A scratch directory holding PNG files, removed afterwards.
class PixmapDir {
 public:
  PixmapDir() : path_(g_dir_make_tmp("velmorant-pixmaps-XXXXXX", nullptr)) {}
  ~PixmapDir() {
    for (const auto &f : files_) g_remove(f.c_str());
    g_rmdir(path_);
    g_free(path_);
  }
  // Writes a width x 1 PNG named name.
  void add_png(const char *name, int width) {
    GdkPixbuf *pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, 1);
    gdk_pixbuf_fill(pixbuf, 0x336699ff);
    const std::string file = std::string(path_) + "/" + name;
    ASSERT_TRUE(gdk_pixbuf_save(pixbuf, file.c_str(), "png", nullptr, nullptr));
    g_object_unref(pixbuf);
    files_.push_back(file);
  }
  void add_text(const char *name, const char *contents) {
    const std::string file = std::string(path_) + "/" + name;
    ASSERT_TRUE(g_file_set_contents(file.c_str(), contents, -1, nullptr));
    files_.push_back(file);
  }
  const char *path() const { return path_; }

 private:
  gchar *path_;
  std::vector<std::string> files_;
};

TEST(PixmapSearch, WithNoDirectoryEverySearchFailsButAnImageComesBack) {
  WarningCapture warnings;
  GtkWidget *image = create_pixmap(nullptr, "anything.png");
  ASSERT_TRUE(GTK_IS_IMAGE(image));
  EXPECT_EQ(gtk_image_get_storage_type(GTK_IMAGE(image)), GTK_IMAGE_EMPTY);
  EXPECT_EQ(create_pixbuf("anything.png"), nullptr);
  ASSERT_EQ(warnings.messages().size(), 2u);
  EXPECT_EQ(warnings.messages()[0], "Couldn't find pixmap file: anything.png");
  discard(image);
}

TEST(PixmapSearch, TheLaterAddedDirectoryWins) {
  PixmapDir a, b;
  a.add_png("mount.png", 3);
  b.add_png("mount.png", 5);
  a.add_png("only_in_a.png", 7);
  add_pixmap_directory(a.path());
  add_pixmap_directory(b.path());

  GdkPixbuf *found = create_pixbuf("mount.png");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(found), 5);
  g_object_unref(found);

  GdkPixbuf *older = create_pixbuf("only_in_a.png");
  ASSERT_NE(older, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(older), 7);
  g_object_unref(older);

  GtkWidget *image = create_pixmap(nullptr, "mount.png");
  ASSERT_TRUE(GTK_IS_IMAGE(image));
  EXPECT_EQ(gdk_pixbuf_get_width(gtk_image_get_pixbuf(GTK_IMAGE(image))), 5);
  discard(image);
}

TEST(PixmapSearch, EmptyNamesSearchNothingAndWarnNothing) {
  PixmapDir dir;
  add_pixmap_directory(dir.path());
  WarningCapture warnings;
  for (const char *name : {static_cast<const char *>(nullptr), ""}) {
    GtkWidget *image = create_pixmap(nullptr, name);
    ASSERT_TRUE(GTK_IS_IMAGE(image));
    EXPECT_EQ(gtk_image_get_storage_type(GTK_IMAGE(image)), GTK_IMAGE_EMPTY);
    discard(image);
    EXPECT_EQ(create_pixbuf(name), nullptr);
  }
  EXPECT_TRUE(warnings.messages().empty());
}

TEST(PixmapSearch, AMissingFileWarnsOnceAndStillGivesAnImage) {
  PixmapDir dir;
  add_pixmap_directory(dir.path());
  WarningCapture warnings;
  GtkWidget *image = create_pixmap(nullptr, "missing.png");
  ASSERT_TRUE(GTK_IS_IMAGE(image));
  discard(image);
  ASSERT_EQ(warnings.messages().size(), 1u);
  EXPECT_EQ(warnings.messages()[0], "Couldn't find pixmap file: missing.png");
}

TEST(PixmapSearch, AnUndecodableFileGivesNullAndAMessageOnStderr) {
  PixmapDir dir;
  dir.add_text("broken.png", "not a picture");
  add_pixmap_directory(dir.path());
  testing::internal::CaptureStderr();
  EXPECT_EQ(create_pixbuf("broken.png"), nullptr);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(
      err.rfind("Failed to load pixbuf file: " + std::string(dir.path()) + "/broken.png: ", 0), 0u)
      << err;
}

}  // namespace
