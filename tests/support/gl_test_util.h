// Helpers for tests that look at a GL drawing area on either toolkit: a
// GtkGLExt drawing area with a window of its own (GTK+ 2), or a GtkGLArea
// that draws into its parent's window (GTK 3).
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <vector>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include "support/gtk_test_util.h"
#include "view/glsurface.h"

// The signals that tell the view its size changed and that it must draw.
#if GTK_CHECK_VERSION(3, 0, 0)
constexpr const char *kResizeSignal = "resize";
constexpr const char *kDrawSignal = "render";
#else
constexpr const char *kResizeSignal = "configure-event";
constexpr const char *kDrawSignal = "expose-event";
#endif

// Runs body with the area's GL context current and its frame buffer bound, as
// while it draws.
template <typename Body>
void with_gl(GtkWidget *area, Body body) {
  GlScope gl(area);
  ASSERT_TRUE(bool(gl)) << "GL cannot be begun on the area";
#if GTK_CHECK_VERSION(3, 0, 0)
  gtk_gl_area_attach_buffers(GTK_GL_AREA(area));
#endif
  body();
}

// Where the area's pixels start in the window it draws into.
inline GdkRectangle area_in_window(GtkWidget *area) {
  const GtkAllocation a = allocation_of(area);
  if (gtk_widget_get_has_window(area)) return {0, 0, a.width, a.height};
  return {a.x, a.y, a.width, a.height};
}

// What the X server shows of the area; the caller unrefs it. On a display
// that is not X11 (Wayland), where a client cannot read back what the
// compositor shows, the area's own frame buffer as its last frame left it.
inline GdkPixbuf *area_pixbuf(GtkWidget *area) {
  const GdkRectangle r = area_in_window(area);
#if GTK_CHECK_VERSION(3, 0, 0)
#ifdef GDK_WINDOWING_X11
  if (GDK_IS_X11_DISPLAY(gtk_widget_get_display(area))) {
    return gdk_pixbuf_get_from_window(gtk_widget_get_window(area), r.x, r.y, r.width, r.height);
  }
#endif
  GdkPixbuf *pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, r.width, r.height);
  std::vector<guchar> rows(size_t(r.width) * r.height * 3);
  with_gl(area, [&] {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, r.width, r.height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
  });
  // GL counts rows from the bottom.
  for (int y = 0; y < r.height; y++) {
    std::copy_n(&rows[size_t(r.height - 1 - y) * r.width * 3], r.width * 3,
                gdk_pixbuf_get_pixels(pixbuf) + size_t(y) * gdk_pixbuf_get_rowstride(pixbuf));
  }
  return pixbuf;
#else
  return gdk_pixbuf_get_from_drawable(nullptr, gtk_widget_get_window(area), nullptr, r.x, r.y, 0, 0,
                                      r.width, r.height);
#endif
}

// Records, in the area's own coordinates, every region the toolkit asks the
// area to redraw.
inline void record_redraws(GtkWidget *area, std::vector<GdkRectangle> *log) {
#if GTK_CHECK_VERSION(3, 0, 0)
  g_signal_connect(area, "draw", G_CALLBACK(+[](GtkWidget *, cairo_t *cr, gpointer out) {
                     GdkRectangle clip;
                     if (gdk_cairo_get_clip_rectangle(cr, &clip)) {
                       static_cast<std::vector<GdkRectangle> *>(out)->push_back(clip);
                     }
                     return TRUE;
                   }),
                   log);
#else
  g_signal_connect(area, "expose-event",
                   G_CALLBACK(+[](GtkWidget *, GdkEventExpose *event, gpointer out) {
                     static_cast<std::vector<GdkRectangle> *>(out)->push_back(event->area);
                     return TRUE;
                   }),
                   log);
#endif
}
