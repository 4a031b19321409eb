// The handlers' redraw requests and the camera handler, on drawing areas of the
// test's own (the program's view is not needed to check either).
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <gtk/gtkgl.h>

#include <array>
#include <cmath>

#include "controls/controls.h"
#include "controls_test_util.h"
#include "support/gtk_test_util.h"

namespace {

constexpr double kPi = 3.141592653589793;

// Lets the X server and the toolkit finish mapping, exposing and redrawing.
void settle() {
  for (int i = 0; i < 5; ++i) {
    gdk_flush();
    gdk_window_process_all_updates();
    process_events();
    g_usleep(10000);
  }
}

// A shown top-level window with one 120 x 90 drawing area put at (400, 300) in
// a window-less container: the area's allocation origin lies far outside its
// own window's extent.
class ViewWindow {
 public:
  explicit ViewWindow(bool with_gl) {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget *fixed = gtk_fixed_new();
    area = gtk_drawing_area_new();
    gtk_widget_set_size_request(area, 120, 90);
    if (with_gl) {
      GdkGLConfig *config = gdk_gl_config_new_by_mode(
          static_cast<GdkGLConfigMode>(GDK_GL_MODE_RGB | GDK_GL_MODE_DEPTH | GDK_GL_MODE_DOUBLE));
      gtk_widget_set_gl_capability(area, config, nullptr, TRUE, GDK_GL_RGBA_TYPE);
    }
    gtk_fixed_put(GTK_FIXED(fixed), area, 400, 300);
    gtk_container_add(GTK_CONTAINER(window_), fixed);
    gtk_widget_show_all(window_);
    settle();
  }
  ~ViewWindow() { gtk_widget_destroy(window_); }
  ViewWindow(const ViewWindow &) = delete;
  ViewWindow &operator=(const ViewWindow &) = delete;

  GtkWidget *area;

 private:
  GtkWidget *window_;
};

struct ExposeLog {
  int count = 0;
  GdkRectangle area = {0, 0, 0, 0};  // union of the exposed areas
};

gboolean record_expose(GtkWidget *, GdkEventExpose *event, gpointer data) {
  auto *log = static_cast<ExposeLog *>(data);
  if (log->count++ == 0) {
    log->area = event->area;
  } else {
    gdk_rectangle_union(&log->area, &event->area, &log->area);
  }
  return TRUE;
}

struct Move {
  const char *handler;
  Scale scale;
  double value;
};
const Move kMoves[] = {{"axes", kA1, 50},
                       {"equatorial", kHa, 10},
                       {"horizontal", kAlt, 50},
                       {"horizontal, refused", kAlt, 0.5},
                       {"field rotation", kFrot, 20}};

TEST_F(ControlPanel, EveryRedrawRequestExposesTheWholeDrawingAreaWhereverItSits) {
  ViewWindow view(false);
  ASSERT_TRUE(gtk_widget_get_window(view.area));
  ExposeLog log;
  g_signal_connect(view.area, "expose-event", G_CALLBACK(record_expose), &log);
  state_->drawing_area = view.area;
  for (const Move &m : kMoves) {
    SCOPED_TRACE(m.handler);
    log = ExposeLog();
    set(m.scale, m.value);
    settle();
    EXPECT_GE(log.count, 1);
    EXPECT_EQ(log.area.x, 0);
    EXPECT_EQ(log.area.y, 0);
    EXPECT_EQ(log.area.width, 120);
    EXPECT_EQ(log.area.height, 90);
  }
  state_->drawing_area = nullptr;
}

TEST_F(ControlPanel, RedrawRequestsToAnUnrealisedDrawingAreaAreHarmless) {
  GtkWidget *area = gtk_drawing_area_new();
  g_object_ref_sink(area);
  state_->drawing_area = area;
  for (const Move &m : kMoves) set(m.scale, m.value);
  state_->drawing_area = nullptr;
  g_object_unref(area);
  // The fixture fails the test if the toolkit logged a warning or critical.
}

struct GlState {
  std::array<GLfloat, 16> projection, modelview;
  std::array<GLfloat, 4> light;
  GLint matrix_mode;
};

GlState read_gl_state(GtkWidget *area) {
  GlState s{};
  GdkGLDrawable *drawable = gtk_widget_get_gl_drawable(area);
  EXPECT_TRUE(gdk_gl_drawable_gl_begin(drawable, gtk_widget_get_gl_context(area)));
  glGetFloatv(GL_PROJECTION_MATRIX, s.projection.data());
  glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview.data());
  glGetLightfv(GL_LIGHT0, GL_POSITION, s.light.data());
  glGetIntegerv(GL_MATRIX_MODE, &s.matrix_mode);
  gdk_gl_drawable_gl_end(drawable);
  return s;
}

// Clip coordinates of a world point under a column-major matrix.
std::array<double, 4> clip(const std::array<GLfloat, 16> &m, double x, double y, double z) {
  std::array<double, 4> c;
  for (int r = 0; r < 4; ++r) c[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
  return c;
}

TEST_F(ControlPanel, CameraScalesAimTheViewAndItsLightOnlyOnceGlIsReady) {
  ViewWindow view(true);
  state_->drawing_area = view.area;
  state_->aspect = 120.0 / 90.0;
  const GlState fresh = read_gl_state(view.area);

  set(kCaz, 90);  // GL not yet set up by the view: nothing happens
  const GlState untouched = read_gl_state(view.area);
  EXPECT_EQ(untouched.projection, fresh.projection);  // exact: not written at all
  EXPECT_EQ(untouched.light, fresh.light);

  state_->gl_initialized = 1;
  set(kCalt, 10);  // camera east of the mount, 10 degrees up
  const GlState s = read_gl_state(view.area);
  EXPECT_EQ(s.matrix_mode, GL_MODELVIEW);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(s.modelview[i], i % 5 == 0 ? 1.0f : 0.0f);  // identity

  // The light shines from the camera's azimuth, 20 degrees below its altitude.
  const double e = -10 * kPi / 180;
  EXPECT_NEAR(s.light[0], std::cos(e), 1e-6);
  EXPECT_NEAR(s.light[1], std::sin(e), 1e-6);
  EXPECT_NEAR(s.light[2], 0.0, 1e-6);
  EXPECT_EQ(s.light[3], 0.0f);  // exact: a directional light

  // The mount is in the middle of the picture, 23 units away; seen from the
  // east, north (-z) is to the right and up is up.
  const auto origin = clip(s.projection, 0, 0, 0);
  EXPECT_NEAR(origin[0] / origin[3], 0.0, 1e-5);
  EXPECT_NEAR(origin[1] / origin[3], 0.0, 1e-5);
  EXPECT_NEAR(origin[3], 23.0, 1e-4);
  const auto north = clip(s.projection, 0, 0, -1);
  EXPECT_GT(north[0] / north[3], 0.01);
  const auto up = clip(s.projection, 0, 1, 0);
  EXPECT_GT(up[1] / up[3], 0.01);

  state_->gl_initialized = 0;
  state_->drawing_area = nullptr;
}

}  // namespace
