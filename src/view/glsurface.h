// The GL surface under the view: the one module that knows where the view's GL
// context comes from. On GTK+ 2 it is a drawing area made GL-capable by
// GtkGLExt; on GTK 3 it is a GtkGLArea with a compatibility (legacy) context,
// the only kind in which display lists and fixed-function GL work. The
// drawing itself (glscene) and the model are the same on both.
#pragma once

#include <gtk/gtk.h>
#if !GTK_CHECK_VERSION(3, 0, 0)
#include <gtk/gtkgl.h>
#endif

// Prepares the environment for the toolkit's GL before gtk_init. On GTK 3 it
// adds "legacy" to GDK_GL (set to "legacy" when unset; a value of the user's
// is kept, with ",legacy" appended unless it names legacy already), so that
// GDK creates compatibility contexts. Nothing on GTK+ 2.
void gl_surface_prepare_environment(void);

// Initialises the toolkit's GL support after gtk_init: gtk_gl_init on GTK+ 2,
// which ends the process with its own warning when the X server has no GLX;
// nothing on GTK 3, whose GDK sets up GL itself.
void gl_surface_init(int *argc, char ***argv);

// Creates a GL-capable drawing area, unshown and with no size request. On
// GTK+ 2 it draws with a double-buffered RGB configuration with a depth buffer,
// or a single-buffered one when that is all there is (gl_find_config; with
// neither the process ends with status 1). On GTK 3 it is a GtkGLArea with a
// depth buffer, which renders whenever it is drawn; whether its context is
// usable is known at realize (gl_surface_check).
GtkWidget *gl_surface_new(void);

// Ends the process, as a missing OpenGL visual does, when the realized area has
// no context that fixed-function GL can draw with. On GTK+ 2 the configuration
// was settled by gl_surface_new and nothing is checked. On GTK 3 the context
// must exist without error and be a legacy one (GDK_GL=legacy in the
// environment before GTK starts asks GDK for one): otherwise the three "*** "
// lines of gl_exit_without_visual are printed and the process exits with 1.
void gl_surface_check(GtkWidget *area);

// Makes the area's GL context current for one handler's body, and ends what it
// began when the body is left. False when GL cannot be begun (the area is not
// realized, or has no context).
class GlScope {
 public:
  explicit GlScope(GtkWidget *area);
  ~GlScope();
  GlScope(const GlScope &) = delete;
  GlScope &operator=(const GlScope &) = delete;
  explicit operator bool() const { return ok_; }

 private:
  GtkWidget *area_;
  bool ok_;
};

// Presents the frame just drawn, with the area's context current: swaps the
// buffers of a double-buffered GtkGLExt drawable, or flushes a single-buffered
// one. A GtkGLArea presents its frame itself once its "render" returns.
void gl_surface_present(GtkWidget *area);

// Device pixels to each of the area's pixels along x and along y: 1, or more
// on a scaled (high-density) GTK 3 screen.
int gl_surface_scale_factor(GtkWidget *area);

// Asks for the whole area to be redrawn. Does nothing while the area has no
// window (not yet realized), where there is nothing to redraw.
void gl_surface_queue_redraw(GtkWidget *area);

// Prints "*** Cannot find the double-buffered visual.", "*** Trying
// single-buffered visual." (both on standard output).
void gl_warn_single_buffered(void);

// Prints "*** No appripriate OpenGL capable visual found." on standard output
// and ends the process with status 1.
[[noreturn]] void gl_exit_without_visual(void);

#if GTK_CHECK_VERSION(3, 0, 0)
// True when the window that holds the view should be made native, so that GDK
// paints only the view with GL: on an X11 display (see gl_init_gtkglext).
// False on Wayland and any other display, where a native child window keeps
// the view from reaching the screen.
bool gl_surface_wants_native_window(GtkWidget *widget);
#endif

#if !GTK_CHECK_VERSION(3, 0, 0)
// The frame-buffer configuration the view draws with: double-buffered RGB with
// a depth buffer; failing that, single-buffered after printing
// "*** Cannot find the double-buffered visual." and "*** Trying single-buffered
// visual." on standard output; failing that too, prints
// "*** No appripriate OpenGL capable visual found." and exits with status 1.
// new_by_mode is the configuration constructor (gdk_gl_config_new_by_mode in
// the program).
GdkGLConfig *gl_find_config(GdkGLConfig *(*new_by_mode)(GdkGLConfigMode));
#endif
