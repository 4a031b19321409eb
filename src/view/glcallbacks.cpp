// The OpenGL drawing area: configuration, lighting, camera and redraw.
#include "view/glcallbacks.h"

#include <cmath>
#include <cstdlib>

#include "app/app_state.h"
#include "app/support.h"
#include "geometry/coord.h"
#include "model/model.h"
#include "view/gl_scope.h"

namespace {

// Ambient light over the whole scene, and one white directional light shining
// from below and from the south until the camera first moves.
constexpr GLfloat model_ambient[] = {0.5f, 0.5f, 0.5f, 1.0f};
constexpr GLfloat light0_position[] = {0.0f, -20.0f, 30.0f, 0.0f};
constexpr GLfloat light0_diffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr GLfloat light0_specular[] = {1.0f, 1.0f, 1.0f, 1.0f};
// Front faces: white diffuse (colour material replaces it with the part's
// colour), a half-strength highlight.
constexpr GLfloat material_diffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr GLfloat material_specular[] = {0.5f, 0.5f, 0.5f, 0.5f};
constexpr GLfloat material_shininess[] = {50.0f};

// Very dark blue: 9/256 green, 29/256 blue.
constexpr GLclampf kClearRed = 0.0f, kClearGreen = 0.03515625f, kClearBlue = 0.11328125f;

constexpr gint kRequestedWidth = 640;
constexpr gint kRequestedHeight = 480;

// The fixed GL state: background, one light, material, depth test and
// back-face culling.
void set_up_gl_state() {
  glClearColor(kClearRed, kClearGreen, kClearBlue, 1.0f);
  glClearDepth(1.0);

  // The modelview matrix is the identity here, so the light's position is a
  // world direction.
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, model_ambient);
  glLightfv(GL_LIGHT0, GL_POSITION, light0_position);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, light0_diffuse);
  glLightfv(GL_LIGHT0, GL_SPECULAR, light0_specular);

  // Back faces are culled: every solid is wound counter-clockwise from outside.
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glShadeModel(GL_SMOOTH);

  glMaterialfv(GL_FRONT, GL_DIFFUSE, material_diffuse);
  glMaterialfv(GL_FRONT, GL_SPECULAR, material_specular);
  glMaterialfv(GL_FRONT, GL_SHININESS, material_shininess);
  // From here on glColor gives each part its ambient and diffuse colour.
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);
}

double scale_radians(GtkWidget *scale) {
  return gtk_range_get_value(GTK_RANGE(scale)) * kCoordPi / 180.0;
}

// Turns the camera by the pointer's travel from the last drag position to
// (x, y), window pixels, by writing the camera scales.
void drag_camera_to(AppState *state, gint x, gint y) {
  const gint dx = x - state->drag_x, dy = y - state->drag_y;
  state->drag_x = x;
  state->drag_y = y;

  // The camera faces the mount, so its left is the way of increasing azimuth
  // (from the north, looking south, its left is east). Going round to the left
  // while the pointer moves right makes the near side follow the hand.
  if (dx != 0) {
    GtkRange *caz = GTK_RANGE(state->caz_scale);
    double az = std::fmod(gtk_range_get_value(caz) + dx * kGlDragDegreesPerPixel, 360.0);
    if (az < 0) az += 360.0;
    if (az >= 360.0) az = 0.0;  // -tiny + 360 rounding up to 360
    gtk_range_set_value(caz, az);
  }
  // Window y grows downward: pulling the near side down means looking from
  // higher up. The scale's range stops the camera at the poles.
  if (dy != 0) {
    GtkRange *calt = GTK_RANGE(state->calt_scale);
    gtk_range_set_value(calt, gtk_range_get_value(calt) + dy * kGlDragDegreesPerPixel);
  }
}

}  // namespace

GdkGLConfig *gl_find_config(GdkGLConfig *(*new_by_mode)(GdkGLConfigMode)) {
  GdkGLConfig *config =
      new_by_mode(GdkGLConfigMode(GDK_GL_MODE_RGB | GDK_GL_MODE_DEPTH | GDK_GL_MODE_DOUBLE));
  if (config) return config;

  g_print("*** Cannot find the double-buffered visual.\n");
  g_print("*** Trying single-buffered visual.\n");
  config = new_by_mode(GdkGLConfigMode(GDK_GL_MODE_RGB | GDK_GL_MODE_DEPTH));
  if (config) return config;

  g_print("*** No appripriate OpenGL capable visual found.\n");
  std::exit(1);
}

void gl_init_gtkglext(AppState *state) {
  // No version query: gtk_gl_init has already made sure that GLX is there, and
  // nothing here depends on the version.
  GdkGLConfig *config = gl_find_config(gdk_gl_config_new_by_mode);

  GtkWidget *area = gtk_drawing_area_new();
  state->drawing_area = area;
  gtk_widget_set_size_request(area, kRequestedWidth, kRequestedHeight);
  gtk_widget_set_gl_capability(area, config, nullptr, TRUE, GDK_GL_RGBA_TYPE);
  // The drawing area holds its own reference from here on.
  g_object_unref(config);
  // Motion only while button 1 is down, and as hints: one motion event until
  // the handler reads the pointer again.
  gtk_widget_add_events(area, GDK_VISIBILITY_NOTIFY_MASK | GDK_BUTTON_PRESS_MASK |
                                  GDK_BUTTON_RELEASE_MASK | GDK_BUTTON1_MOTION_MASK |
                                  GDK_POINTER_MOTION_HINT_MASK);

  g_signal_connect_after(area, "realize", G_CALLBACK(gl_realize), state);
  g_signal_connect(area, "configure_event", G_CALLBACK(gl_configure_event), state);
  g_signal_connect(area, "expose_event", G_CALLBACK(gl_expose_event), state);
  g_signal_connect(area, "button_press_event", G_CALLBACK(gl_button_press_event), state);
  g_signal_connect(area, "motion_notify_event", G_CALLBACK(gl_motion_notify_event), state);
  g_signal_connect(area, "button_release_event", G_CALLBACK(gl_button_release_event), state);

  GtkWidget *mainhbox = lookup_widget(state->main_window, "mainhbox");
  gtk_box_pack_end(GTK_BOX(mainhbox), area, TRUE, TRUE, 0);
  gtk_widget_show(area);
}

void gl_realize(GtkWidget *widget, AppState *state) {
  {
    GlScope gl(widget);
    if (!gl) return;
    set_up_gl_state();
    state->model = model_init();
  }
  state->gl_initialized = 1;
}

gboolean gl_configure_event(GtkWidget *widget, GdkEventConfigure * /*event*/, AppState *state) {
  state->width = widget->allocation.width;
  state->height = widget->allocation.height;
  if (state->height == 0) state->height = 1;
  state->aspect = double(state->width) / double(state->height);

  GlScope gl(widget);
  if (!gl) return FALSE;

  glViewport(0, 0, state->width, state->height);
  gl_load_camera(state->aspect, scale_radians(state->caz_scale), scale_radians(state->calt_scale));
  return TRUE;
}

gboolean gl_expose_event(GtkWidget *widget, GdkEventExpose * /*event*/, AppState *state) {
  GlScope gl(widget);
  if (!gl) return FALSE;

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();

  const auto a3 = float(gtk_range_get_value(GTK_RANGE(state->a3_scale)));
  const auto a2 = float(gtk_range_get_value(GTK_RANGE(state->a2_scale)));
  const auto a1 = float(gtk_range_get_value(GTK_RANGE(state->a1_scale)));
  if (state->model) {
    model_draw(state->model, a1, a2, a3);
  } else {
    static bool warned = false;
    if (!warned) {
      g_warning("The mount model could not be built; the view shows the background only.");
      warned = true;
    }
  }

  if (gdk_gl_drawable_is_double_buffered(gl.drawable())) {
    gdk_gl_drawable_swap_buffers(gl.drawable());
  } else {
    glFlush();
  }
  return TRUE;
}

gboolean gl_button_press_event(GtkWidget * /*widget*/, GdkEventButton *event, AppState *state) {
  // Before GL is set up the view cannot show where the camera goes.
  if (event->type != GDK_BUTTON_PRESS || event->button != 1 || !state->gl_initialized) {
    return FALSE;
  }
  state->dragging = 1;
  state->drag_x = gint(event->x);
  state->drag_y = gint(event->y);
  return TRUE;
}

gboolean gl_motion_notify_event(GtkWidget * /*widget*/, GdkEventMotion *event, AppState *state) {
  if (!state->dragging) return FALSE;
  gint x, y;
  GdkModifierType buttons;
  if (event->is_hint) {
    // Reading the pointer is also what asks the server for the next hint.
    gdk_window_get_pointer(event->window, &x, &y, &buttons);
  } else {
    x = gint(event->x);
    y = gint(event->y);
    buttons = GdkModifierType(event->state);
  }
  drag_camera_to(state, x, y);
  // The button is already up (a hint read after the release, or a release
  // that went to another window): the drag is over.
  if (!(buttons & GDK_BUTTON1_MASK)) state->dragging = 0;
  return TRUE;
}

gboolean gl_button_release_event(GtkWidget * /*widget*/, GdkEventButton *event, AppState *state) {
  if (event->button != 1 || !state->dragging) return FALSE;
  drag_camera_to(state, gint(event->x), gint(event->y));
  state->dragging = 0;
  return TRUE;
}
