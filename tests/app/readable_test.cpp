// The main window as every user reads it, built as main builds it: sliders
// and view named for assistive technology (GAIL loaded on GTK+ 2), readouts
// without a signed zero, and the view's size on a screen with room for it.
#include <atk/atk.h>
#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstring>
#include <utility>

#include "app/support.h"
#include "support/app_window.h"
#include "support/x_input.h"

namespace {

class ReadableWindow : public testing::Test {
 protected:
  void SetUp() override { state_ = open_app_window(); }
  void TearDown() override { close_app_window(state_); }
  GtkWidget *find(const char *name) const { return lookup_widget(state_->main_window, name); }

  AppState *state_ = nullptr;
};

// Each label with the scale in its row.
constexpr std::pair<const char *, const char *> kRows[] = {
    {"label2", "alt_scale"},   {"label3", "az_scale"},   {"label4", "ha_scale"},
    {"label5", "dec_scale"},   {"label6", "frot_scale"}, {"label7", "a1_scale"},
    {"label8", "a2_scale"},    {"label9", "a3_scale"},   {"label10", "lat_scale"},
    {"label11", "calt_scale"}, {"label12", "caz_scale"}};

TEST_F(ReadableWindow, EverySliderIsNamedAndLabelledByItsLabelAndTheViewIsNamedAndDescribed) {
  for (const auto &[label, scale] : kRows) {
    SCOPED_TRACE(scale);
    const char *text = gtk_label_get_text(GTK_LABEL(find(label)));
    AtkObject *accessible = gtk_widget_get_accessible(find(scale));
    EXPECT_STREQ(atk_object_get_name(accessible), text);
    AtkRelationSet *relations = atk_object_ref_relation_set(accessible);
    AtkRelation *by = atk_relation_set_get_relation_by_type(relations, ATK_RELATION_LABELLED_BY);
    ASSERT_NE(by, nullptr) << "no labelled-by relation";
    GPtrArray *targets = atk_relation_get_target(by);
    ASSERT_EQ(targets->len, 1u);
    EXPECT_EQ(targets->pdata[0], gtk_widget_get_accessible(find(label)));
    g_object_unref(relations);
  }
  AtkObject *view = gtk_widget_get_accessible(state_->drawing_area);
  EXPECT_STREQ(atk_object_get_name(view), kGlViewName);
  EXPECT_STREQ(atk_object_get_description(view), kGlViewDescription);
}

// A write-back can leave a coordinate a hair below zero; its readout must
// still read "0.0". Each row is pressed into a freshly started window.
TEST_F(ReadableWindow, NoReadoutShowsASignedZeroAfterRefusedOrWrittenBackMoves) {
  struct Case {
    const char *name;
    const char *scale;
    guint key;
    int times;
  };
  const Case cases[] = {{"hour angle Home, refused", "ha_scale", GDK_KEY_Home, 1},
                        {"declination Page Down five times", "dec_scale", GDK_KEY_Page_Down, 5},
                        {"altitude End", "alt_scale", GDK_KEY_End, 1}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    for (int i = 0; i < c.times; i++) ASSERT_TRUE(press_key(find(c.scale), c.key));
    settle();
    for (const auto &row : kRows) {
      const char *shown = pango_layout_get_text(gtk_scale_get_layout(GTK_SCALE(find(row.second))));
      // The toolkit may put a left-to-right mark before the number.
      EXPECT_FALSE(std::strchr(shown, '-') && !std::strpbrk(shown, "123456789"))
          << row.second << " reads " << shown;
    }
  }
}

TEST_F(ReadableWindow, OnAScreenWithRoomTheViewStartsAt640By480) {
  const GtkAllocation view = allocation_of(state_->drawing_area);
  EXPECT_EQ(view.width, 640);
#if GTK_CHECK_VERSION(3, 0, 0)
  EXPECT_GE(view.height, 480);  // as tall as GTK 3's taller slider column
#else
  EXPECT_EQ(view.height, 480);
#endif
}

}  // namespace
