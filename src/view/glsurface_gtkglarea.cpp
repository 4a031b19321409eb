// The GL surface on GTK 3: a GtkGLArea with a compatibility context.
//
// GtkGLArea asks GDK for a core-profile context unless told otherwise, and a
// core profile has neither display lists nor fixed-function GL. GDK gives a
// legacy (compatibility) context when GDK_GL holds "legacy" as GTK starts; in
// it the model, the lights and the camera draw exactly as on GTK+ 2.
#include "view/glsurface.h"

#include <GL/gl.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <cstring>
#include <string>

namespace {

// True when the comma- or space-separated list names flag.
bool names_flag(const char *list, const char *flag) {
  const std::string text = list;
  const size_t length = std::strlen(flag);
  for (size_t at = text.find(flag); at != std::string::npos; at = text.find(flag, at + 1)) {
    const bool starts = at == 0 || text[at - 1] == ',' || text[at - 1] == ' ';
    const size_t end = at + length;
    const bool ends = end == text.size() || text[end] == ',' || text[end] == ' ';
    if (starts && ends) return true;
  }
  return false;
}

}  // namespace

void gl_surface_prepare_environment(void) {
  const char *user = g_getenv("GDK_GL");
  if (!user || !*user) {
    g_setenv("GDK_GL", "legacy", TRUE);
  } else if (!names_flag(user, "legacy")) {
    const std::string both = std::string(user) + ",legacy";
    g_setenv("GDK_GL", both.c_str(), TRUE);
  }
}

void gl_surface_init(int * /*argc*/, char *** /*argv*/) {}

GtkWidget *gl_surface_new(void) {
  GtkWidget *area = gtk_gl_area_new();
  gtk_gl_area_set_has_depth_buffer(GTK_GL_AREA(area), TRUE);
  return area;
}

void gl_surface_check(GtkWidget *area) {
  GtkGLArea *gl_area = GTK_GL_AREA(area);
  GdkGLContext *context = gtk_gl_area_get_context(gl_area);
  if (context && !gtk_gl_area_get_error(gl_area) && gdk_gl_context_is_legacy(context)) return;
  gl_warn_single_buffered();
  gl_exit_without_visual();
}

GlScope::GlScope(GtkWidget *area) : area_(area), ok_(false) {
  GtkGLArea *gl_area = GTK_GL_AREA(area);
  if (!gtk_widget_get_realized(area) || !gtk_gl_area_get_context(gl_area) ||
      gtk_gl_area_get_error(gl_area)) {
    return;
  }
  gtk_gl_area_make_current(gl_area);
  ok_ = true;
}

// GDK keeps a context current until another is made current; there is nothing
// to end.
GlScope::~GlScope() {}

void gl_surface_present(GtkWidget * /*area*/) {}

int gl_surface_scale_factor(GtkWidget *area) {
  return gtk_widget_get_scale_factor(area);
}

void gl_surface_queue_redraw(GtkWidget *area) {
  if (!gtk_widget_get_realized(area)) return;
  gtk_gl_area_queue_render(GTK_GL_AREA(area));
}

bool gl_surface_wants_native_window(GtkWidget *widget) {
#ifdef GDK_WINDOWING_X11
  return GDK_IS_X11_DISPLAY(gtk_widget_get_display(widget));
#else
  (void)widget;
  return false;
#endif
}
