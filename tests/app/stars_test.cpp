// View, Stars in the real window at a fixed instant, read from the screen:
// stars above the horizon and only the ground below it, the picture of
// before once they are off, Vega named and ringed where the tube points after
// a Go To, and at x1000 the sky wheeling about the pole.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/support.h"
#include "controls/stars.h"
#include "support/app_window.h"
#include "support/gl_test_util.h"
#include "view/glguides.h"
#include "view/glstars.h"

namespace {

constexpr double kEvening = 1796763600.0;  // 2026-12-08 21:00:00 UTC

struct Picture {
  GdkPixbuf *pixbuf;
  explicit Picture(GtkWidget *area) : pixbuf(area_pixbuf(area)) {}
  ~Picture() { g_object_unref(pixbuf); }
  int width() const { return gdk_pixbuf_get_width(pixbuf); }
  int height() const { return gdk_pixbuf_get_height(pixbuf); }
  const guchar *at(int x, int y) const {
    return gdk_pixbuf_get_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) +
           x * gdk_pixbuf_get_n_channels(pixbuf);
  }
  bool is(int x, int y, const GLfloat colour[3], int tolerance = 6) const {
    for (int c = 0; c < 3; c++) {
      if (std::abs(at(x, y)[c] - int(std::lround(colour[c] * 255))) > tolerance) return false;
    }
    return true;
  }
  // A pixel of the colour's tint, at more than half its brightness: the
  // inner pixels of antialiased text as well as its solid ones.
  bool tinted(int x, int y, const GLfloat colour[3]) const {
    const guchar *p = at(x, y);
    const double top = std::max({p[0], p[1], p[2]}) / 255.0;
    const double full = std::max({colour[0], colour[1], colour[2]});
    if (top < full / 2) return false;
    for (int c = 0; c < 3; c++) {
      if (std::fabs(p[c] / 255.0 / top - colour[c] / full) > 0.1) return false;
    }
    return true;
  }
  // The clusters of pixels of a colour's tint, as {mean x, mean y, leftmost x}:
  // pixels within 8 of each other are one cluster, as the letters of a name.
  std::vector<std::array<double, 3>> clusters(const GLfloat colour[3]) const {
    const int cw = width() / 8 + 1, ch = height() / 8 + 1;
    std::vector<int> cell(size_t(cw * ch), -2);  // -2 empty, -1 inked, else its cluster
    for (int y = 0; y < height(); y++)
      for (int x = 0; x < width(); x++)
        if (tinted(x, y, colour)) cell[size_t(y / 8 * cw + x / 8)] = -1;
    int count = 0;
    for (size_t start = 0; start < cell.size(); start++) {
      if (cell[start] != -1) continue;
      std::vector<size_t> todo = {start};  // a flood over inked cells
      cell[start] = count;
      while (!todo.empty()) {
        const size_t c = todo.back();
        todo.pop_back();
        for (int dy = -1; dy <= 1; dy++)
          for (int dx = -1; dx <= 1; dx++) {
            const int nx = int(c) % cw + dx, ny = int(c) / cw + dy;
            if (nx < 0 || ny < 0 || nx >= cw || ny >= ch) continue;
            const size_t n = size_t(ny * cw + nx);
            if (cell[n] == -1) cell[n] = count, todo.push_back(n);
          }
      }
      count++;
    }
    std::vector<std::array<double, 4>> sums(size_t(count), {0, 0, 0, 1e9});
    for (int y = 0; y < height(); y++)
      for (int x = 0; x < width(); x++) {
        if (!tinted(x, y, colour)) continue;
        auto &sum = sums[size_t(cell[size_t(y / 8 * cw + x / 8)])];
        sum[0] += x, sum[1] += y, sum[2] += 1, sum[3] = std::min(sum[3], double(x));
      }
    std::vector<std::array<double, 3>> found;
    for (const auto &sum : sums) found.push_back({sum[0] / sum[2], sum[1] / sum[2], sum[3]});
    return found;
  }
};

class StarsTest : public testing::Test {
 protected:
  void SetUp() override {
    state_ = open_app_window();
    ctrl_clock_set(state_, kEvening);
    ctrl_set_longitude(state_, 13.4);  // Berlin
    gtk_range_set_value(GTK_RANGE(state_->lat_scale), 52.5);
    settle();
  }
  void TearDown() override { close_app_window(state_); }
  void check(const char *name, bool on) {
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(lookup_widget(state_->main_window, name)),
                                   on);
    settle();
  }
  AppState *state_ = nullptr;
};

TEST_F(StarsTest, ShowStarsAboveTheHorizonOnlyTheGroundBelowAndThePictureOfBeforeWhenOff) {
  const Picture before(state_->drawing_area);
  check("view_stars", true);
  const Picture stars(state_->drawing_area);
  // The camera looks level: the horizon is the middle row. Below it, where
  // the mount was not, only the ground; above it, stars of every brightness.
  const int horizon = stars.height() / 2;
  const GLfloat background[3] = {0.0f, 9 / 256.0f, 29 / 256.0f};
  int stars_above = 0, not_ground_below = 0, ground_below = 0;
  for (int y = 0; y < stars.height(); y++) {
    for (int x = 0; x < stars.width(); x++) {
      if (!before.is(x, y, background, 1)) continue;  // the mount
      const guchar *p = stars.at(x, y);
      if (y > horizon + 2) {
        stars.is(x, y, kGlGroundColor, 1) ? ground_below++ : not_ground_below++;
      } else if (y < horizon - 15) {
        stars_above += p[0] == p[1] && p[1] == p[2] && p[0] > 60;
      }
    }
  }
  EXPECT_GT(ground_below, stars.width() * stars.height() / 4);
  EXPECT_EQ(not_ground_below, 0);
  EXPECT_GT(stars_above, 40);
  check("view_stars", false);
  const Picture after(state_->drawing_area);
  int changed = 0;
  for (int y = 0; y < after.height(); y++)
    for (int x = 0; x < after.width(); x++)
      changed += memcmp(after.at(x, y), before.at(x, y), 3) != 0;
  EXPECT_EQ(changed, 0);
}

TEST_F(StarsTest, NameAndRingVegaWhereTheTubePointsAndWheelAboutThePoleAtX1000) {
  ASSERT_TRUE(ctrl_goto_start(state_, 18.6156 * G_PI / 12, 38.7836 * G_PI / 180));
  for (const gint64 until = g_get_monotonic_time() + 40 * G_USEC_PER_SEC;
       state_->mount->activity == MountActivity::kSlewing && g_get_monotonic_time() < until;) {
    gtk_main_iteration();
  }
  ASSERT_EQ(state_->mount->activity, MountActivity::kTracking);
  // Vega stands low in the north-west: the camera looks that way from the
  // south-east, level.
  gtk_range_set_value(GTK_RANGE(state_->caz_scale), 127);
  check("view_pointing", true);
  check("view_stars", true);
  const Picture vega(state_->drawing_area);
  const auto rings = vega.clusters(kGlTargetColor);
  ASSERT_EQ(rings.size(), 1u);
  const double rx = rings[0][0], ry = rings[0][1];
  // The name is just right of the ring; the pointing line ends inside it.
  bool named = false, pointed = false;
  for (const auto &name : vega.clusters(kGlStarNameColor))
    named = named || (name[2] > rx && name[2] - rx < 20 && std::fabs(name[1] - ry) < 15);
  for (int y = int(ry) - 4; y <= int(ry) + 4; y++)
    for (int x = int(rx) - 4; x <= int(rx) + 4; x++)
      pointed = pointed || vega.is(x, y, kGlPointingColor, 30);
  EXPECT_TRUE(named) << "no name beside the ring at " << rx << ", " << ry;
  EXPECT_TRUE(pointed) << "the pointing line does not reach the ring";

  // At x1000 the names north of the mount turn about the pole: Polaris's
  // stays, the others sweep across it, each square to the line to Polaris.
  gtk_range_set_value(GTK_RANGE(state_->caz_scale), 180);
  gtk_range_set_value(GTK_RANGE(state_->calt_scale), -40);
  check("view_pointing", false);
  state_->track_rate = 1000;
  ASSERT_TRUE(ctrl_track_start(state_));
  // The first frame from the new camera (a slow renderer shows the old one
  // for a while): names of stars north of the mount.
  std::unique_ptr<Picture> shown;
  for (const gint64 until = g_get_monotonic_time() + 60 * G_USEC_PER_SEC;
       (!shown || shown->clusters(kGlStarNameColor).size() < 2) &&
       g_get_monotonic_time() < until;) {
    settle();
    shown = std::make_unique<Picture>(state_->drawing_area);
  }
  const Picture &first = *shown;
  // Until the sky drawn has turned 5 degrees (2 s here, longer on a slow
  // renderer), then the frame that shows it.
  const double lst = state_->sky->drawn_lst;
  for (const gint64 until = g_get_monotonic_time() + 60 * G_USEC_PER_SEC;
       std::remainder(state_->sky->drawn_lst - lst, 2 * G_PI) < 5 * G_PI / 180 &&
       g_get_monotonic_time() < until;)
    gtk_main_iteration();
  const Picture second(state_->drawing_area);
  const auto a = first.clusters(kGlStarNameColor), b = second.clusters(kGlStarNameColor);
  ASSERT_GE(a.size(), 2u);

  // Names hang at one offset from their stars: their left ends and middles
  // move as the stars do. Polaris's is the one that moved least.
  double least = 1e9, pole_x = 0, pole_y = 0;
  std::vector<std::array<double, 4>> moves;
  for (const auto &p : a) {
    double best = 1e9, bx = 0, by = 0;
    for (const auto &q : b) {
      const double d = std::hypot(q[2] - p[2], q[1] - p[1]);
      if (d < best) best = d, bx = q[2], by = q[1];
    }
    moves.push_back({p[2], p[1], bx - p[2], by - p[1]});
    if (best < least) least = best, pole_x = p[2], pole_y = p[1];
  }
  EXPECT_LT(least, 3.0);
  int swept = 0;
  for (const auto &[x, y, dx, dy] : moves) {
    const double r = std::hypot(x - pole_x, y - pole_y), d = std::hypot(dx, dy);
    if (r < 30 || d < 5 || d > 60) continue;  // Polaris, or a name matched to another's
    EXPECT_LT(std::fabs((x - pole_x) * dx + (y - pole_y) * dy) / (r * d), 0.35);
    swept++;
  }
  EXPECT_GE(swept, 1);
}

}  // namespace
