// The one record shared by main, the control panel and the OpenGL view.
#pragma once

#include <gtk/gtk.h>

struct ModelParams;
struct Lx200Server;
struct IndiServer;
struct Mount;
struct SkyStar;
struct GlSky;
struct GlSkyFrame;

// Allocated once by main and never freed. Every scale and drawing-area handler
// receives it as its user data.
struct AppState {
  ModelParams *model;       // built by the drawing area's realize handler
  GtkWidget *main_window;   // the top-level window
  GtkWidget *drawing_area;  // the OpenGL drawing area, once created
  gint gl_initialized;      // 1 once realize has set up GL and built the model
  gint width;               // drawing-area size from the last configure event
  gint height;              // (never 0: a zero height is stored as 1)
  double aspect;            // width / height, for the perspective projection
  GtkWidget *alt_scale;     // altitude
  GtkWidget *az_scale;      // azimuth
  GtkWidget *ha_scale;      // hour angle
  GtkWidget *dec_scale;     // declination
  GtkWidget *frot_scale;    // field rotation
  GtkWidget *a1_scale;      // mount axis 1
  GtkWidget *a2_scale;      // mount axis 2
  GtkWidget *a3_scale;      // mount axis 3
  GtkWidget *lat_scale;     // latitude
  GtkWidget *calt_scale;    // camera altitude
  GtkWidget *caz_scale;     // camera azimuth
  gint updating;            // re-entrancy guard of the synchronisation handlers
  double min_altitude;      // lowest telescope altitude allowed, degrees (1.0)
  gint dragging;            // 1 while the left button drags the view
  gint drag_x;              // pointer position in the drawing area's window at the
  gint drag_y;              // last press or motion of the drag, pixels
  gint show_compass;        // 1 while View, Compass and Horizon is checked
  gint show_pointing;       // 1 while View, Pointing Line is checked
  guint guide_lists;        // first of the guides' three display lists, 0 until built
  double track_rate;        // times the sky's own rate that View, Tracking Rate asks for
  double longitude;         // site longitude, degrees east in [-180, 180]
  double clock_offset;      // the sky clock less the system's, seconds (0: the system's)
  gint show_sky;            // 1 while View, Sky Coordinates is checked
  guint sky_source;         // the once-a-second refresh of the sky's readouts, else 0
  GtkWidget *goto_dialog;   // the Go To and Site dialogs while open, else nullptr
  GtkWidget *site_dialog;
  Lx200Server *lx200;     // the LX200 server while it listens, else nullptr
  Mount *mount;           // the simulated mount, whose pose the scales show
  guint motion_source;    // the one motion timer while the mount moves, else 0
  guint motion_interval;  // its interval, milliseconds
  gint showing;           // 1 while the motion timer writes the mount's pose into the scales
  double shown[8];        // what the scales showed at the last write: a1 a2 a3 ha dec frot alt az
  double drawn[3];        // the axes the view last drew, degrees
  gint hold_redraw;       // 1 while a write of the scales changes no pixel of the view
  gint show_rates;        // 1 while View, Axis Rates is checked
  GtkWidget *limits_dialog;  // the Axis Limits dialog while open, else nullptr
  GtkWidget *chart_window;   // the Night Chart window while open, else nullptr
  const SkyStar *goto_star;  // the star of the last Go To, nullptr for a place or none
  IndiServer *indi;          // the INDI server while it listens, else nullptr
  gint show_stars;           // 1 while View, Stars is checked
  GlSky *sky;                // what the view keeps of the sky, once it has drawn it
  guint stars_source;        // the once-a-second look at whether the sky has turned, else 0
  // Fills in the sky's frame for the view, with its context current: set by
  // the control panel, which owns the sky clock and the mount.
  void (*prepare_sky)(AppState *state, GlSkyFrame *frame);
};

// Lowest telescope altitude, in degrees, that the scales will accept.
constexpr double kMinAltitudeDegrees = 1.0;
