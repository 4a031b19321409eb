// The GL surface on GTK+ 2: a drawing area made GL-capable by GtkGLExt.
#include "view/glsurface.h"

#include <GL/gl.h>

void gl_surface_prepare_environment(void) {}

void gl_surface_init(int *argc, char ***argv) {
  gtk_gl_init(argc, argv);
}

GdkGLConfig *gl_find_config(GdkGLConfig *(*new_by_mode)(GdkGLConfigMode)) {
  GdkGLConfig *config =
      new_by_mode(GdkGLConfigMode(GDK_GL_MODE_RGB | GDK_GL_MODE_DEPTH | GDK_GL_MODE_DOUBLE));
  if (config) return config;

  gl_warn_single_buffered();
  config = new_by_mode(GdkGLConfigMode(GDK_GL_MODE_RGB | GDK_GL_MODE_DEPTH));
  if (config) return config;

  gl_exit_without_visual();
}

GtkWidget *gl_surface_new(void) {
  // No version query: gtk_gl_init has already made sure that GLX is there, and
  // nothing here depends on the version.
  GdkGLConfig *config = gl_find_config(gdk_gl_config_new_by_mode);
  GtkWidget *area = gtk_drawing_area_new();
  gtk_widget_set_gl_capability(area, config, nullptr, TRUE, GDK_GL_RGBA_TYPE);
  // The drawing area holds its own reference from here on.
  g_object_unref(config);
  return area;
}

void gl_surface_check(GtkWidget * /*area*/) {}

GlScope::GlScope(GtkWidget *area) : area_(area), ok_(false) {
  GdkGLDrawable *drawable = gtk_widget_get_gl_drawable(area);
  ok_ = drawable && gdk_gl_drawable_gl_begin(drawable, gtk_widget_get_gl_context(area));
}

GlScope::~GlScope() {
  if (ok_) gdk_gl_drawable_gl_end(gtk_widget_get_gl_drawable(area_));
}

void gl_surface_present(GtkWidget *area) {
  GdkGLDrawable *drawable = gtk_widget_get_gl_drawable(area);
  if (gdk_gl_drawable_is_double_buffered(drawable)) {
    gdk_gl_drawable_swap_buffers(drawable);
  } else {
    glFlush();
  }
}

int gl_surface_scale_factor(GtkWidget * /*area*/) {
  return 1;
}

void gl_surface_queue_redraw(GtkWidget *area) {
  // The rectangle is in the window's own coordinates, which start at 0, 0; the
  // allocation's origin is the window's place in its parent and is not used.
  GdkWindow *window = gtk_widget_get_window(area);
  if (!window) return;
  GtkAllocation allocation;
  gtk_widget_get_allocation(area, &allocation);
  GdkRectangle whole = {0, 0, allocation.width, allocation.height};
  gdk_window_invalidate_rect(window, &whole, FALSE);
}
