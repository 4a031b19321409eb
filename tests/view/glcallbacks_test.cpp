// The OpenGL view on the real Mesa renderer: GL state after realize, the
// camera and projection, and the picture read back from the window.
#include <gtest/gtest.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtk/gtk.h>
#include <gdk/gdkx.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/interface.h"
#include "app/support.h"
#include "controls/controls.h"
#include "geometry/coord.h"
#include "model/model.h"
#include "support/app_window.h"
#include "support/gl_test_util.h"
#include "support/gtk_test_util.h"
#include "support/scales.h"
#include "support/x_input.h"
#include "view/glcallbacks.h"
#include "view/glguides.h"
#include "view/glscene.h"

namespace {

struct Rgb {
  int r, g, b;
};

// Column-major 4 x 4 matrix as OpenGL stores it.
using Matrix = std::array<GLdouble, 16>;

std::array<double, 4> transform(const Matrix &m, double x, double y, double z) {
  std::array<double, 4> out{};
  for (int row = 0; row < 4; row++) {
    out[row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
  }
  return out;
}

// The whole program's window, built as main builds it, shown and drawn once.
class ViewTest : public testing::Test {
 protected:
  void SetUp() override {
    state_ = open_app_window();
    ASSERT_EQ(state_->gl_initialized, 1);
  }
  void TearDown() override { close_app_window(state_); }

  void set(GtkWidget *scale, double degrees) {
    gtk_range_set_value(GTK_RANGE(scale), degrees);
    settle();
  }

  // Pose the mount through its axis scales.
  void pose(double a1, double a2, double a3) {
    set(state_->a1_scale, a1);
    set(state_->a2_scale, a2);
    set(state_->a3_scale, a3);
    ASSERT_NEAR(gtk_range_get_value(GTK_RANGE(state_->a1_scale)), a1, 1e-9) << "refused";
    ASSERT_NEAR(gtk_range_get_value(GTK_RANGE(state_->a2_scale)), a2, 1e-9) << "refused";
    ASSERT_NEAR(gtk_range_get_value(GTK_RANGE(state_->a3_scale)), a3, 1e-9) << "refused";
  }

  GtkWidget *area() const { return state_->drawing_area; }

  // Runs body with the drawing area's GL context current.
  template <typename Body>
  void with_gl(Body body) {
    ::with_gl(area(), body);
  }

  Matrix matrix(GLenum which) {
    Matrix m{};
    with_gl([&] { glGetDoublev(which, m.data()); });
    return m;
  }

  // What the window shows, as X has it.
  struct Picture {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;
    Rgb at(int x, int y) const { return pixels[size_t(y) * width + x]; }
    bool operator==(const Picture &o) const {
      if (width != o.width || height != o.height) return false;
      for (size_t i = 0; i < pixels.size(); i++) {
        if (pixels[i].r != o.pixels[i].r || pixels[i].g != o.pixels[i].g ||
            pixels[i].b != o.pixels[i].b)
          return false;
      }
      return true;
    }
  };

  Picture picture() {
    Picture p;
    p.width = allocation_of(area()).width;
    p.height = allocation_of(area()).height;
    GdkPixbuf *pixbuf = area_pixbuf(area());
    EXPECT_NE(pixbuf, nullptr);
    if (!pixbuf) return p;
    const guchar *data = gdk_pixbuf_get_pixels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    for (int y = 0; y < p.height; y++) {
      for (int x = 0; x < p.width; x++) {
        const guchar *px = data + y * stride + x * channels;
        p.pixels.push_back({px[0], px[1], px[2]});
      }
    }
    g_object_unref(pixbuf);
    return p;
  }

  // Window pixel (x right, y down) at which the world point is drawn, given
  // the projection (which holds the camera) and the modelview in use.
  std::array<double, 2> project(const Matrix &modelview, double x, double y, double z) {
    const Matrix projection = matrix(GL_PROJECTION_MATRIX);
    GLint viewport[4];
    with_gl([&] { glGetIntegerv(GL_VIEWPORT, viewport); });
    GLdouble wx, wy, wz;
    EXPECT_TRUE(gluProject(x, y, z, modelview.data(), projection.data(), viewport, &wx, &wy, &wz));
    return {wx, allocation_of(area()).height - wy};
  }

  AppState *state_ = nullptr;
};

constexpr Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

bool is_background(const Rgb &c) {
  return c.r == 0 && c.g == 9 && c.b == 29;
}

// The tube is the only green part of the mount: green well above red and blue,
// whatever the lighting does to its brightness.
bool is_tube_green(const Rgb &c) {
  return c.g > c.r + 25 && c.g > c.b + 25;
}

TEST_F(ViewTest, RealizeSetsTheGlStateAndBuildsFourConsecutiveLists) {
  ASSERT_NE(state_->model, nullptr);
  const ModelParams &m = *state_->model;
  EXPECT_EQ(m.platform_list, m.base_list + 1);
  EXPECT_EQ(m.horseshoe_list, m.base_list + 2);
  EXPECT_EQ(m.tube_list, m.base_list + 3);
  with_gl([&] {
    for (GLuint list : {m.base_list, m.platform_list, m.horseshoe_list, m.tube_list}) {
      EXPECT_TRUE(glIsList(list)) << list;
    }
    for (GLenum cap : {GL_LIGHTING, GL_LIGHT0, GL_DEPTH_TEST, GL_CULL_FACE, GL_COLOR_MATERIAL}) {
      EXPECT_TRUE(glIsEnabled(cap)) << cap;
    }
    struct Vector {
      const char *name;
      GLfloat got[4];
      std::array<GLfloat, 4> want;
    };
    Vector vectors[] = {
        {"clear colour", {}, {0.0f, 0.03515625f, 0.11328125f, 1.0f}},
        {"ambient light", {}, {0.5f, 0.5f, 0.5f, 1.0f}},
        // Given under the identity modelview, the light's direction is a world one.
        {"light 0 position", {}, {0.0f, -20.0f, 30.0f, 0.0f}},
        {"light 0 diffuse", {}, {1, 1, 1, 1}},
        {"light 0 specular", {}, {1, 1, 1, 1}},
        {"material specular", {}, {0.5f, 0.5f, 0.5f, 0.5f}},
    };
    glGetFloatv(GL_COLOR_CLEAR_VALUE, vectors[0].got);
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, vectors[1].got);
    glGetLightfv(GL_LIGHT0, GL_POSITION, vectors[2].got);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, vectors[3].got);
    glGetLightfv(GL_LIGHT0, GL_SPECULAR, vectors[4].got);
    glGetMaterialfv(GL_FRONT, GL_SPECULAR, vectors[5].got);
    for (const Vector &v : vectors) {
      for (int i = 0; i < 4; i++) EXPECT_NEAR(v.got[i], v.want[i], 1e-6) << v.name << " " << i;
    }
    GLfloat shininess;
    glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
    EXPECT_NEAR(shininess, 50.0, 1e-6);
    GLint value;
    glGetIntegerv(GL_COLOR_MATERIAL_PARAMETER, &value);
    EXPECT_EQ(value, GL_AMBIENT_AND_DIFFUSE);
    glGetIntegerv(GL_COLOR_MATERIAL_FACE, &value);
    EXPECT_EQ(value, GL_FRONT);
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  });
}

TEST_F(ViewTest, ConfigureWithZeroHeightStoresHeightOneAndAspectEqualToWidth) {
  const GtkAllocation saved = allocation_of(area());
  GtkAllocation squashed = saved;
  squashed.width = 300;
  squashed.height = 0;
  gtk_widget_set_allocation(area(), &squashed);
  EXPECT_TRUE(gl_configure_event(area(), nullptr, state_));
  EXPECT_EQ(state_->width, 300);
  EXPECT_EQ(state_->height, 1);
  EXPECT_DOUBLE_EQ(state_->aspect, 300.0);
  GLint viewport[4];
  with_gl([&] { glGetIntegerv(GL_VIEWPORT, viewport); });
  EXPECT_EQ(viewport[2], 300);
  EXPECT_EQ(viewport[3], 1);
  gtk_widget_set_allocation(area(), &saved);
  gl_configure_event(area(), nullptr, state_);
}

// The eye is the centre of projection: it alone maps to clip x = y = w = 0,
// and the origin it looks at lies on the line of sight, 23 in front of it.
// GL keeps the matrix in single precision: tolerances allow for 1e-7 relative.
void expect_eye_at(const Matrix &projection, double x, double y, double z) {
  const auto eye = transform(projection, x, y, z);
  EXPECT_NEAR(eye[0], 0, 1e-5);
  EXPECT_NEAR(eye[1], 0, 1e-5);
  EXPECT_NEAR(eye[3], 0, 1e-5);
  const auto origin = transform(projection, 0, 0, 0);
  EXPECT_NEAR(origin[0] / origin[3], 0, 1e-6);
  EXPECT_NEAR(origin[1] / origin[3], 0, 1e-6);
  EXPECT_NEAR(origin[3], 23, 1e-5);
}

TEST_F(ViewTest, CameraSitsWhereTheCameraScalesPutItThroughResizes) {
  set(state_->calt_scale, 0);
  set(state_->caz_scale, 0);
  const Matrix north = matrix(GL_PROJECTION_MATRIX);
  expect_eye_at(north, 0, 0, -23);
  const auto east = transform(north, 1, 0, 0);
  EXPECT_LT(east[0] / east[3], 0) << "looking south, east is on the left";

  set(state_->calt_scale, 30);
  set(state_->caz_scale, 60);
  const int width_before = state_->width;
  gtk_window_resize(GTK_WINDOW(state_->main_window), 1100, 760);
  for (int i = 0; i < 50 && state_->width == width_before; i++) settle();
  ASSERT_NE(state_->width, width_before) << "no configure event arrived";

  const double h = 30 * kCoordPi / 180, a = 60 * kCoordPi / 180;
  expect_eye_at(matrix(GL_PROJECTION_MATRIX), 23 * std::cos(h) * std::sin(a), 23 * std::sin(h),
                -23 * std::cos(h) * std::cos(a));
  GLint viewport[4];
  with_gl([&] { glGetIntegerv(GL_VIEWPORT, viewport); });
  EXPECT_EQ(viewport[2], allocation_of(area()).width);
  EXPECT_EQ(viewport[3], allocation_of(area()).height);
  EXPECT_DOUBLE_EQ(state_->aspect, double(viewport[2]) / viewport[3]);
}

TEST_F(ViewTest, BackgroundFillsTheCorners) {
  const Picture p = picture();
  ASSERT_GT(p.width, 100);
  for (auto [x, y] : {std::pair{2, 2}, std::pair{p.width - 3, 2}}) {
    const Rgb c = p.at(x, y);
    EXPECT_TRUE(is_background(c)) << x << "," << y << ": " << c.r << " " << c.g << " " << c.b;
  }
}

TEST_F(ViewTest, TheTubeIsDrawnWhereThePointingEquationsSayItPoints) {
  struct Pose {
    double a1, a2, a3, cam_alt, cam_az;
  };
  // Each camera sees the tube's front part from the side, so the first
  // surface on the line of sight to a point on its axis is the tube's wall.
  const Pose poses[] = {
      {45, 0, 180, 0, 90},   {30, 20, 120, 10, 30}, {60, -25, 250, 20, 160},
      {20, 10, 35, 15, 300}, {70, 30, 300, 0, 250}, {35, -15, 90, 5, 180},
  };
  for (const Pose &p : poses) {
    SCOPED_TRACE(testing::Message() << "a1 " << p.a1 << " a2 " << p.a2 << " a3 " << p.a3);
    set(state_->calt_scale, p.cam_alt);
    set(state_->caz_scale, p.cam_az);
    pose(p.a1, p.a2, p.a3);

    double az, alt;
    coord_a3_to_altaz(&az, &alt, p.a1 * kCoordPi / 180, p.a2 * kCoordPi / 180,
                      p.a3 * kCoordPi / 180, 0);
    // World frame: +x east, +y up, +z south. A point on the tube axis just
    // behind its open front end (which is 8 from the pivot).
    const double r = 7.75;
    const double n = std::cos(alt) * std::cos(az), e = std::cos(alt) * std::sin(az);
    const auto at = project(kIdentity, r * e, r * std::sin(alt), -r * n);
    const Picture pic = picture();
    const int x = int(std::lround(at[0])), y = int(std::lround(at[1]));
    ASSERT_TRUE(x >= 2 && y >= 2 && x < pic.width - 2 && y < pic.height - 2) << x << "," << y;
    int green = 0;
    for (int dy = -2; dy <= 2; dy++) {
      for (int dx = -2; dx <= 2; dx++) green += is_tube_green(pic.at(x + dx, y + dy));
    }
    const Rgb c = pic.at(x, y);
    EXPECT_GE(green, 20) << "at " << x << "," << y << ": " << c.r << " " << c.g << " " << c.b;
  }
}

TEST_F(ViewTest, TheBaseDoesNotMoveWithAnyAxis) {
  // From below and from the south, the base disc's front wall is in plain
  // view: everything that moves lies above it.
  set(state_->calt_scale, -20);
  set(state_->caz_scale, 180);
  pose(45, 0, 180);
  std::vector<std::array<double, 2>> wall;
  for (int deg = -60; deg <= 60; deg += 5) {
    const double phi = deg * kCoordPi / 180, r = 0.98 * 3.12406;
    wall.push_back(project(kIdentity, r * std::sin(phi), -5.03, r * std::cos(phi)));
  }
  auto sample = [&] {
    const Picture pic = picture();
    std::vector<Rgb> out;
    for (const auto &at : wall) out.push_back(pic.at(int(at[0]), int(at[1])));
    return out;
  };
  const auto before = sample();
  for (const Rgb &c : before) ASSERT_FALSE(is_background(c)) << "the base is not in view";
  for (auto [a1, a2, a3] : {std::array{30.0, 20.0, 37.0}, std::array{80.0, -30.0, 300.0}}) {
    pose(a1, a2, a3);
    const auto after = sample();
    for (size_t i = 0; i < after.size(); i++) {
      EXPECT_TRUE(after[i].r == before[i].r && after[i].g == before[i].g &&
                  after[i].b == before[i].b)
          << "point " << i << " of the base's wall changed at a1 " << a1 << " a2 " << a2 << " a3 "
          << a3;
    }
  }
}

TEST_F(ViewTest, MovingACameraScaleChangesThePictureWithoutAConfigure) {
  int configures = 0;
  g_signal_connect_swapped(area(), kResizeSignal, G_CALLBACK(+[](int *n) {
                             ++*n;
                             return FALSE;
                           }),
                           &configures);
  const Picture before = picture();
  set(state_->caz_scale, 140);
  const Picture after = picture();
  EXPECT_EQ(configures, 0);
  EXPECT_FALSE(before == after);
}

TEST_F(ViewTest, WithoutAModelOnlyTheBackgroundIsDrawnAndOneWarningLogged) {
  ModelParams *model = state_->model;
  state_->model = nullptr;
  int warnings = 0;
  const guint handler = g_log_set_handler(
      nullptr, G_LOG_LEVEL_WARNING,
      [](const gchar *, GLogLevelFlags, const gchar *, gpointer n) { ++*static_cast<int *>(n); },
      &warnings);
  for (int i = 0; i < 3; i++) {
    gtk_widget_queue_draw(area());
    settle();
  }
  g_log_remove_handler(nullptr, handler);
  state_->model = model;

  const Picture pic = picture();
  int drawn = 0;
  for (const Rgb &c : pic.pixels) drawn += !is_background(c);
  EXPECT_EQ(drawn, 0);
  EXPECT_EQ(warnings, 1);
}

// Drags on the view made with the real pointer: XTest moves and presses it as
// a hand would, and the X server sends the drawing area its events, motion
// hints included.
class DragTest : public ViewTest {
 protected:
  // Counts the motion events that reach the drawing area, and how many of
  // them are hints.
  void SetUp() override {
    ViewTest::SetUp();
    motion_signal_ = g_signal_lookup("motion-notify-event", GTK_TYPE_WIDGET);
    hook_ = g_signal_add_emission_hook(
        motion_signal_, 0,
        [](GSignalInvocationHint *, guint, const GValue *params, gpointer data) -> gboolean {
          auto *self = static_cast<DragTest *>(data);
          if (g_value_get_object(&params[0]) != self->area()) return TRUE;
          auto *event = static_cast<GdkEventMotion *>(g_value_get_boxed(&params[1]));
          self->motions_++;
          self->hints_ += event->is_hint != 0;
          return TRUE;
        },
        this, nullptr);
  }
  void TearDown() override {
    g_signal_remove_emission_hook(motion_signal_, hook_);
    ViewTest::TearDown();
  }
  guint motion_signal_ = 0;
  gulong hook_ = 0;
  int motions_ = 0, hints_ = 0;

  struct Camera {
    double alt, az;
  };
  Camera camera() const {
    return {gtk_range_get_value(GTK_RANGE(state_->calt_scale)),
            gtk_range_get_value(GTK_RANGE(state_->caz_scale))};
  }
  void set_camera(double alt, double az) {
    set(state_->calt_scale, alt);
    set(state_->caz_scale, az);
  }

  std::vector<double> all_scales() const {
    std::vector<double> v;
    for (GtkWidget *s : {state_->alt_scale, state_->az_scale, state_->ha_scale, state_->dec_scale,
                         state_->frot_scale, state_->a1_scale, state_->a2_scale, state_->a3_scale,
                         state_->lat_scale, state_->calt_scale, state_->caz_scale}) {
      v.push_back(gtk_range_get_value(GTK_RANGE(s)));
    }
    return v;
  }

  static Display *xdisplay() { return GDK_DISPLAY_XDISPLAY(gdk_display_get_default()); }

  // Hands the fake input to the server, then lets the toolkit deliver what
  // the server sends back (a motion hint, and the handler's pointer query),
  // over as many round trips as a view in a window of its own takes.
  void sync() {
    for (int i = 0; i < 10; i++) {
      XSync(xdisplay(), False);
      process_events();
      g_usleep(2000);
    }
    process_events();
  }

  // Moves the pointer to (x, y), pixels in the drawing area.
  void move_to(int x, int y) {
    gint ox, oy;
    screen_origin(area(), &ox, &oy);
    XTestFakeMotionEvent(xdisplay(), -1, ox + x, oy + y, CurrentTime);
    sync();
  }
  void press(unsigned button, bool down) {
    XTestFakeButtonEvent(xdisplay(), button, down, CurrentTime);
    sync();
  }

  struct Leg {
    int dx, dy;
  };
  // Drags with button from the middle of the area along legs of (dx, dy)
  // pixels, each in four moves, and returns the camera as it stood before the
  // release: what the motion handler alone made of the drag. The view is
  // redrawn before return.
  Camera drag(unsigned button, std::vector<Leg> legs) {
    int x = allocation_of(area()).width / 2, y = allocation_of(area()).height / 2;
    move_to(x, y);
    press(button, true);
    for (const Leg &leg : legs) {
      for (int i = 1; i <= 4; i++) move_to(x + leg.dx * i / 4, y + leg.dy * i / 4);
      x += leg.dx;
      y += leg.dy;
    }
    const Camera before_release = camera();
    press(button, false);
    settle();
    return before_release;
  }
};

TEST_F(DragTest, DraggingMovesOnlyTheCameraScalesAtTheRateWrappingAzimuthAndStoppingAltitude) {
  ASSERT_GE(allocation_of(area()).height, 420);
  struct Case {
    const char *name;
    Camera from;
    std::vector<Leg> legs;
    Camera want;
  };
  // Rate 0.5625 degrees per pixel: every expected value is exact.
  const Case cases[] = {
      {"right: the camera goes east", {0, 180}, {{64, 0}}, {0, 216}},
      {"left: the camera goes west", {0, 180}, {{-64, 0}}, {0, 144}},
      {"down: the camera rises", {0, 180}, {{0, 48}}, {27, 180}},
      {"up: the camera sinks", {0, 180}, {{0, -48}}, {-27, 180}},
      {"diagonal", {10, 100}, {{16, -16}}, {1, 109}},
      {"right through north", {0, 350}, {{32, 0}}, {0, 8}},
      {"left through north", {0, 8}, {{-32, 0}}, {0, 350}},
      {"down past the zenith", {60, 180}, {{0, 100}}, {90, 180}},
      {"up past the nadir", {-60, 180}, {{0, -100}}, {-90, 180}},
      // Held at the zenith, the drag still follows the pointer: coming back
      // turns the camera down at once, by the way back alone.
      {"past the zenith and back", {60, 180}, {{0, 100}, {0, -80}}, {45, 180}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    set_camera(c.from.alt, c.from.az);
    std::vector<double> want = all_scales();
    want[9] = c.want.alt;
    want[10] = c.want.az;

    const Camera moved = drag(1, c.legs);
    EXPECT_NEAR(moved.alt, c.want.alt, 1e-12) << "before the release";
    EXPECT_NEAR(moved.az, c.want.az, 1e-12) << "before the release";
    const std::vector<double> got = all_scales();
    for (size_t i = 0; i < got.size(); i++) EXPECT_NEAR(got[i], want[i], 1e-12) << "scale " << i;
  }
  // Motion comes as hints, one per pointer query, so a fast drag cannot pile
  // up events.
  EXPECT_GT(motions_, 0);
  EXPECT_EQ(hints_, motions_);
}

// Grabbed, the mount follows the hand: the point of it nearest the camera
// moves on the screen the way the pointer moved.
TEST_F(DragTest, TheNearSideOfTheMountFollowsThePointer) {
  struct Case {
    const char *name;
    int dx, dy;
  };
  const Case cases[] = {{"right", 40, 0}, {"left", -40, 0}, {"up", 0, -40}, {"down", 0, 40}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    set_camera(10, 200);
    const double alt = 10 * kCoordPi / 180, az = 200 * kCoordPi / 180, r = 3;
    const double near[3] = {r * std::cos(alt) * std::sin(az), r * std::sin(alt),
                            -r * std::cos(alt) * std::cos(az)};
    const auto before = project(kIdentity, near[0], near[1], near[2]);
    drag(1, {{c.dx, c.dy}});
    const auto after = project(kIdentity, near[0], near[1], near[2]);
    // Window pixels, y down; the point moves some pixels, not exactly the
    // pointer's, so only the sense is compared, with 1 pixel to spare.
    if (c.dx) {
      EXPECT_GT((after[0] - before[0]) * c.dx, 1.0);
    }
    if (c.dy) {
      EXPECT_GT((after[1] - before[1]) * c.dy, 1.0);
    }
  }
}

TEST_F(DragTest, ADraggedViewIsPixelForPixelTheViewTheScalesGiveDirectly) {
  const Picture start = picture();
  drag(1, {{72, -40}});
  const Camera dragged = camera();
  const Picture after_drag = picture();
  EXPECT_FALSE(after_drag == start) << "the drag did not turn the view";

  set_camera(30, 20);
  set_camera(dragged.alt, dragged.az);
  EXPECT_TRUE(picture() == after_drag);
}

TEST_F(DragTest, ClicksOtherButtonsAndDragsBeforeGlIsReadyMoveNoScale) {
  // At 360, any write of the azimuth would wrap it to 0.
  set_camera(20, 360);
  const std::vector<double> start = all_scales();
  struct Case {
    const char *name;
    unsigned button;
    int dx, dy;
    bool gl_ready;
  };
  const Case cases[] = {
      {"left click", 1, 0, 0, true},
      {"middle-button drag", 2, 50, 30, true},
      {"right-button drag", 3, 50, 30, true},
      {"left drag before GL is ready", 1, 50, 30, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    state_->gl_initialized = c.gl_ready;
    drag(c.button, {{c.dx, c.dy}});
    state_->gl_initialized = 1;
    const std::vector<double> got = all_scales();
    for (size_t i = 0; i < got.size(); i++)
      EXPECT_EQ(got[i], start[i]) << "scale " << i;  // exactly
  }
}

// The view's drawing before it had a View menu: the mount alone.
gboolean draw_mount_alone(GtkWidget *area, gpointer, AppState *s) {
  GlScope gl(area);
  gl_begin_frame();
  const Snapshot v = snapshot_of(s);
  model_draw(s->model, float(v[kA1]), float(v[kA2]), float(v[kA3]));
  gl_surface_present(area);
  return TRUE;
}

// The View menu, chosen with the pointer as a user chooses it.
class ViewMenuTest : public ViewTest {
 protected:
  void TearDown() override {
    // Closing the window stops tracking: no timeout is left to run on a freed state.
    g_signal_connect_after(
        state_->main_window, "destroy", G_CALLBACK(+[](GtkWidget *, AppState *s) {
          EXPECT_EQ(g_main_context_find_source_by_user_data(nullptr, s), nullptr);
        }),
        state_);
    ViewTest::TearDown();
  }
  GtkWidget *item(const char *name) { return lookup_widget(state_->main_window, name); }
  bool active(const char *name) {
    return gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item(name)));
  }
  void choose(const char *name) {
    click(item("menu_view"), 1, 0.5, 0.5);
    settle();
    click(item(name), 1, 0.5, 0.5);
    settle();
  }

  // The picture drawn by draw_mount_alone in place of the view's own handler.
  Picture mount_alone() {
    const guint draw = g_signal_lookup(kDrawSignal, G_OBJECT_TYPE(area()));
    const auto match = GSignalMatchType(G_SIGNAL_MATCH_ID | G_SIGNAL_MATCH_DATA);
    g_signal_handlers_block_matched(area(), match, draw, 0, nullptr, nullptr, state_);
    const gulong alone =
        g_signal_connect(area(), kDrawSignal, G_CALLBACK(draw_mount_alone), state_);
    gl_surface_queue_redraw(area());
    settle();
    const Picture p = picture();
    g_signal_handler_disconnect(area(), alone);
    g_signal_handlers_unblock_matched(area(), match, draw, 0, nullptr, nullptr, state_);
    gl_surface_queue_redraw(area());
    settle();
    return p;
  }
};

TEST_F(ViewMenuTest, WithEveryItemOffTheViewIsTheMountAloneAndAnItemTurnedOffRestoresIt) {
  set(state_->calt_scale, 30);
  set(state_->caz_scale, 90);
  for (const char *name : {"view_compass", "view_pointing", "view_track"}) {
    EXPECT_FALSE(active(name)) << name;
  }
  const Picture alone = mount_alone();
  EXPECT_TRUE(picture() == alone);
  for (const char *name : {"view_compass", "view_pointing"}) {
    SCOPED_TRACE(name);
    choose(name);
    ASSERT_TRUE(active(name));
    EXPECT_FALSE(picture() == alone);
    choose(name);
    ASSERT_FALSE(active(name));
    EXPECT_TRUE(picture() == alone);
  }
}

bool has_color(const Rgb &c, const GLfloat (&want)[3]) {  // each component within 3 of 255
  const int got[3] = {c.r, c.g, c.b};
  for (int i = 0; i < 3; i++) {
    if (std::abs(got[i] - std::lround(want[i] * 255)) > 3) return false;
  }
  return true;
}

TEST_F(ViewMenuTest, NorthShowsWhereTheCameraPutsItAndThePointingLineRunsOnFromTheTube) {
  choose("view_compass");
  choose("view_pointing");
  set(state_->calt_scale, 30);
  const GlGuideSizes sizes = gl_guide_sizes(state_->model);
  // From the south the mount stands between the camera and the N mark, and the
  // tube and its line between the camera and the polar axis.
  const struct {
    double caz;
    bool in_sight;
  } cases[] = {{0, true}, {90, true}, {180, false}, {270, true}};
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << "Camera Az " << c.caz);
    set(state_->caz_scale, c.caz);
    const auto mark = project(kIdentity, 0, sizes.ground, -sizes.letter_radius);
    const Picture pic = picture();
    int count = 0;
    for (int y = 0; y < pic.height; y++) {
      for (int x = 0; x < pic.width; x++) {
        if (!has_color(pic.at(x, y), kGlNorthColor)) continue;
        ++count;
        EXPECT_LT(std::hypot(x - mark[0], y - mark[1]), 20) << "N pixel at " << x << "," << y;
      }
    }
    if (c.in_sight) {
      EXPECT_GE(count, 30);
    } else {
      EXPECT_EQ(count, 0) << "N shows through the mount";
    }

    // The most pixels of the colour around any point drawn in the picture at
    // distances r0 to r1 along the direction at altitude alt, azimuth az (degrees).
    auto along = [&](double alt, double az, double r0, double r1, const GLfloat(&color)[3]) {
      const double u = std::cos(alt * kCoordPi / 180), a = az * kCoordPi / 180;
      int most = 0;
      for (double r = r0; r <= r1; r += 0.5) {
        const auto at = project(kIdentity, r * u * std::sin(a), r * std::sin(alt * kCoordPi / 180),
                                -r * u * std::cos(a));
        const int x = int(std::lround(at[0])), y = int(std::lround(at[1]));
        if (x < 1 || y < 1 || x >= pic.width - 1 || y >= pic.height - 1) continue;
        int n = 0;
        for (int i = 0; i < 9; i++) n += has_color(pic.at(x + i % 3 - 1, y + i / 3 - 1), color);
        most = std::max(most, n);
      }
      return most;
    };
    // Beyond the tube's front end (8 from the pivot); the polar axis, dashed,
    // toward the north celestial pole at latitude 45.
    const Snapshot now = snapshot_of(state_);
    EXPECT_GE(along(now[kAlt], now[kAz], 9, 16, kGlPointingColor), 3);
    if (c.in_sight) {
      EXPECT_GE(along(45, 0, 4, 16, kGlPoleColor), 1);
    }
  }
}

TEST_F(ViewMenuTest,
       TrackingTurnsTheSkyAThousandTimesFasterKeepingDeclinationAndStopsAsTheStarSets) {
  gint64 toggled = 0, stepped = 0;
  g_signal_connect_swapped(item("view_track"), "toggled",
                           G_CALLBACK(+[](gint64 *t) { *t = g_get_monotonic_time(); }), &toggled);
  g_signal_connect_swapped(state_->ha_scale, "value-changed",
                           G_CALLBACK(+[](gint64 *t) { *t = g_get_monotonic_time(); }), &stepped);
  auto track_for = [&](double seconds) {
    const gint64 until = g_get_monotonic_time() + gint64(seconds * G_USEC_PER_SEC);
    while (active("view_track") && g_get_monotonic_time() < until) gtk_main_iteration();
  };
  // At latitude 45 a star at declination 60 never sets: tracked across the
  // meridian below the pole, the hour angle wraps from 180 to -180.
  set(state_->dec_scale, 60);
  set(state_->ha_scale, 178);
  const Snapshot start = snapshot_of(state_);
  ASSERT_TRUE(press_chord(state_->alt_scale, GDK_KEY_Control_L, GDK_KEY_t));
  process_events();
  ASSERT_TRUE(active("view_track"));
  track_for(1.0);
  const gint64 started = toggled;
  ASSERT_TRUE(press_chord(state_->alt_scale, GDK_KEY_Control_L, GDK_KEY_t));
  process_events();
  ASSERT_FALSE(active("view_track"));
  const Snapshot tracked = snapshot_of(state_);
  // Across 180 to -180: a second and the frames of a loaded machine (GTK 3
  // under the sanitizers takes three seconds in all) turn it some degrees.
  EXPECT_LT(tracked[kHa], -150);
  const double rate =
      scale_diff(kHa, tracked[kHa], start[kHa]) / (double(stepped - started) / G_USEC_PER_SEC);
  EXPECT_NEAR(rate, 4.178, 0.418);        // degrees per second, within 10%
  EXPECT_EQ(tracked[kDec], start[kDec]);  // bit for bit
  EXPECT_TRUE(one_position(tracked));
  g_usleep(200000);
  process_events();
  EXPECT_EQ(snapshot_of(state_)[kHa], tracked[kHa]) << "a timeout still runs";

  // On the equator at latitude 45 a star sinks to 1 degree at hour angle 88.59.
  // Tracking stops on its last step above that: within a step of it, and a
  // loaded machine (the sanitizers) takes longer steps.
  set(state_->ha_scale, 86);
  set(state_->dec_scale, 0);
  gint64 last = g_get_monotonic_time(), longest = 0;
  const gint64 until = last + 3 * G_USEC_PER_SEC;
  choose("view_track");
  while (active("view_track") && g_get_monotonic_time() < until) {
    gtk_main_iteration();
    if (stepped > last) {
      longest = std::max(longest, stepped - last);
      last = stepped;
    }
  }
  longest = std::max(longest, toggled - last);  // the step that found it set
  EXPECT_FALSE(active("view_track"));
  const Snapshot set_star = snapshot_of(state_);
  EXPECT_GE(set_star[kAlt], 1.0);
  EXPECT_NEAR(set_star[kHa], 88.59, std::max(0.2, 4.178 * double(longest) / G_USEC_PER_SEC));
  EXPECT_EQ(set_star[kDec], 0.0);
  EXPECT_TRUE(one_position(set_star));

  // Left running, it ends with the window (see TearDown).
  set(state_->ha_scale, 0);
  choose("view_track");
}

#if !GTK_CHECK_VERSION(3, 0, 0)
// Configuration constructors standing in for the toolkit's.
GdkGLConfig *only_single_buffered(GdkGLConfigMode mode) {
  return (mode & GDK_GL_MODE_DOUBLE) ? nullptr : gdk_gl_config_new_by_mode(mode);
}
GdkGLConfig *no_visual(GdkGLConfigMode) {
  return nullptr;
}

TEST(GlConfig, FallsBackToSingleBufferedWithTwoMessages) {
  testing::internal::CaptureStdout();
  GdkGLConfig *config = gl_find_config(only_single_buffered);
  const std::string out = testing::internal::GetCapturedStdout();
  ASSERT_NE(config, nullptr);
  EXPECT_FALSE(gdk_gl_config_is_double_buffered(config));
  g_object_unref(config);
  EXPECT_EQ(out,
            "*** Cannot find the double-buffered visual.\n"
            "*** Trying single-buffered visual.\n");
}

TEST(GlConfig, WithNoVisualAtAllPrintsThreeMessagesAndExitsWithStatusOne) {
  EXPECT_EXIT(
      {
        dup2(2, 1);  // the messages go to standard output; let the death test see them
        gl_find_config(no_visual);
      },
      testing::ExitedWithCode(1),
      "\\*\\*\\* Cannot find the double-buffered visual.\n"
      "\\*\\*\\* Trying single-buffered visual.\n"
      "\\*\\*\\* No appripriate OpenGL capable visual found.\n");
}

#endif

}  // namespace
