// The OpenGL drawing area: configuration, lighting, camera and redraw.
#include "view/glcallbacks.h"

#include <cmath>

#include "app/app_state.h"
#include "app/support.h"
#include "geometry/coord.h"
#include "model/model.h"
#include "view/glguides.h"
#include "view/glscene.h"
#include "view/glstars.h"
#include "view/glsurface.h"

namespace {

constexpr gint kRequestedWidth = 640;
constexpr gint kRequestedHeight = 480;

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

#if GTK_CHECK_VERSION(3, 0, 0)
// GtkGLArea's "resize" comes with the new size (which the configure handler
// takes from the allocation) and "render" with the context already current:
// both hand over to the handlers that GtkGLExt's "configure_event" and
// "expose_event" run on GTK+ 2.
void on_resize(GtkGLArea *area, gint /*width*/, gint /*height*/, AppState *state) {
  gl_configure_event(GTK_WIDGET(area), nullptr, state);
}
gboolean on_render(GtkGLArea *area, GdkGLContext * /*context*/, AppState *state) {
  return gl_expose_event(GTK_WIDGET(area), nullptr, state);
}
#endif

}  // namespace

void gl_init_gtkglext(AppState *state) {
  GtkWidget *area = gl_surface_new();
  state->drawing_area = area;
  gtk_widget_set_size_request(area, kRequestedWidth, kRequestedHeight);
  // Motion only while button 1 is down, and as hints: one motion event until
  // the handler reads the pointer again.
  gtk_widget_add_events(area, GDK_VISIBILITY_NOTIFY_MASK | GDK_BUTTON_PRESS_MASK |
                                  GDK_BUTTON_RELEASE_MASK | GDK_BUTTON1_MOTION_MASK |
                                  GDK_POINTER_MOTION_HINT_MASK);

  g_signal_connect_after(area, "realize", G_CALLBACK(gl_realize), state);
#if GTK_CHECK_VERSION(3, 0, 0)
  g_signal_connect(area, "resize", G_CALLBACK(on_resize), state);
  g_signal_connect(area, "render", G_CALLBACK(on_render), state);
#else
  g_signal_connect(area, "configure_event", G_CALLBACK(gl_configure_event), state);
  g_signal_connect(area, "expose_event", G_CALLBACK(gl_expose_event), state);
#endif
  g_signal_connect(area, "button_press_event", G_CALLBACK(gl_button_press_event), state);
  g_signal_connect(area, "motion_notify_event", G_CALLBACK(gl_motion_notify_event), state);
  g_signal_connect(area, "button_release_event", G_CALLBACK(gl_button_release_event), state);

  // What assistive technology says of the view, which has no text of its own.
  AtkObject *accessible = gtk_widget_get_accessible(area);
  atk_object_set_name(accessible, _(kGlViewName));
  atk_object_set_description(accessible, _(kGlViewDescription));

  GtkWidget *mainhbox = lookup_widget(state->main_window, "mainhbox");
#if GTK_CHECK_VERSION(3, 0, 0)
  // On X11, the view in an X window of its own. GDK paints with GL every X
  // window that holds a GL area, reading back from the X server whatever else
  // it shows and uploading it as a texture each frame; in the main window that
  // is the whole window, sliders and menus included, and on software GL over
  // MIT-SHM that read-back can stall the program for good when the view
  // redraws without pause (tracking the sky, a long drag).
  // A Wayland compositor composes the window's surfaces itself, and GDK does
  // not present a GL area from a native child window there: the view would
  // stay empty. So the event box keeps its window in GDK's own on Wayland.
  GtkWidget *holder = gtk_event_box_new();
  gtk_event_box_set_visible_window(GTK_EVENT_BOX(holder), TRUE);
  gtk_container_add(GTK_CONTAINER(holder), area);
  g_signal_connect_after(holder, "realize", G_CALLBACK(+[](GtkWidget *widget) {
                           if (gl_surface_wants_native_window(widget)) {
                             gdk_window_ensure_native(gtk_widget_get_window(widget));
                           }
                         }),
                         nullptr);
  gtk_box_pack_end(GTK_BOX(mainhbox), holder, TRUE, TRUE, 0);
  gtk_widget_show(holder);
#else
  gtk_box_pack_end(GTK_BOX(mainhbox), area, TRUE, TRUE, 0);
#endif
  gtk_widget_show(area);
}

void gl_realize(GtkWidget *widget, AppState *state) {
  {
    gl_surface_check(widget);
    GlScope gl(widget);
    if (!gl) return;
    gl_set_up_state();
    state->model = model_init();
    if (state->model) state->guide_lists = gl_guides_init(gl_guide_sizes(state->model));
  }
  state->gl_initialized = 1;
}

gboolean gl_configure_event(GtkWidget *widget, GdkEventConfigure * /*event*/, AppState *state) {
  GtkAllocation allocation;
  gtk_widget_get_allocation(widget, &allocation);
  state->width = allocation.width;
  state->height = allocation.height;
  if (state->height == 0) state->height = 1;
  state->aspect = double(state->width) / double(state->height);

  GlScope gl(widget);
  if (!gl) return FALSE;

  // The viewport counts device pixels, of which a scaled (high-density)
  // screen has several to each of the allocation's.
  const gint scale = gl_surface_scale_factor(widget);
  glViewport(0, 0, state->width * scale, state->height * scale);
  gl_load_camera(state->aspect, scale_radians(state->caz_scale), scale_radians(state->calt_scale),
                 state->show_stars ? kGlSkyFar : 100.0);
  return TRUE;
}

gboolean gl_expose_event(GtkWidget *widget, GdkEventExpose * /*event*/, AppState *state) {
  GlScope gl(widget);
  if (!gl) return FALSE;

  const auto a3 = float(gtk_range_get_value(GTK_RANGE(state->a3_scale)));
  const auto a2 = float(gtk_range_get_value(GTK_RANGE(state->a2_scale)));
  const auto a1 = float(gtk_range_get_value(GTK_RANGE(state->a1_scale)));
  gl_begin_frame();
  const bool sky = state->show_stars && state->prepare_sky;
  if (sky) {
    // The sky first, at infinity, so that the mount is drawn over it.
    GlSkyFrame frame{};
    state->prepare_sky(state, &frame);
    gl_draw_sky(state->sky, frame);
  }
  if (state->model) {
    model_draw(state->model, a1, a2, a3);
    gl_draw_guides(state->guide_lists, state->show_compass, state->show_pointing,
                   gtk_range_get_value(GTK_RANGE(state->lat_scale)), sky);
  } else {
    static bool warned = false;
    if (!warned) {
      g_warning("The mount model could not be built; the view shows the background only.");
      warned = true;
    }
  }
  gl_surface_present(widget);
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
