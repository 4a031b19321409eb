// The drawing area's GL guard and camera step. The control panel's camera
// handler repeats the camera step when a camera scale moves, so both live here,
// header-only; users link GtkGLExt, GL, GLU and the geometry themselves.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtk/gtk.h>
#include <gtk/gtkgl.h>

#include "geometry/coord.h"

// Begins GL on a widget's drawable for one handler's body and always ends what
// it began. False when GL cannot be begun (no GL window yet, for instance).
class GlScope {
 public:
  explicit GlScope(GtkWidget *widget)
      : drawable_(gtk_widget_get_gl_drawable(widget)),
        ok_(drawable_ && gdk_gl_drawable_gl_begin(drawable_, gtk_widget_get_gl_context(widget))) {}
  ~GlScope() {
    if (ok_) gdk_gl_drawable_gl_end(drawable_);
  }
  GlScope(const GlScope &) = delete;
  GlScope &operator=(const GlScope &) = delete;
  explicit operator bool() const { return ok_; }
  GdkGLDrawable *drawable() const { return drawable_; }

 private:
  GdkGLDrawable *drawable_;
  bool ok_;
};

// Loads the perspective projection (45 degrees vertically, near 0.1, far 100,
// the given width / height aspect) and the camera on the sphere of radius 23,
// looking at the mount from the given azimuth and altitude (radians) with +y
// up, and leaves the matrix mode at GL_MODELVIEW. The viewing transform sits on
// the projection matrix, so that the modelview carries only the model's own
// rotations and a light position given under the identity is a world
// direction. Needs a current GL context.
inline void gl_load_camera(double aspect, double azimuth, double altitude) {
  double x, y, z;
  coord_camera_altaz_to_xyz(&x, &y, &z, azimuth, altitude);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, aspect, 0.1, 100.0);
  gluLookAt(x, y, z, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
  glMatrixMode(GL_MODELVIEW);
}
