// The one record shared by main, the control panel and the OpenGL view.
#pragma once

#include <gtk/gtk.h>

struct ModelParams;
struct Lx200Server;

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
  guint track_source;       // the tracking timeout while the sky is tracked, else 0
  gint64 track_time;        // monotonic time of the last tracking step, microseconds
  double track_rate;        // times the sky's own rate that tracking runs (0 reads as 1000)
  double longitude;         // site longitude, degrees east in [-180, 180]
  double clock_offset;      // the sky clock less the system's, seconds (0: the system's)
  guint slew_source;        // the slewing timeout while a Go To runs, else 0
  gint64 slew_time;         // monotonic time of the last slewing step, microseconds
  double slew_ra;           // the Go To's target, apparent place of date:
  double slew_dec;          // right ascension and declination, radians
  gint show_sky;            // 1 while View, Sky Coordinates is checked
  guint sky_source;         // the once-a-second refresh of the sky's readouts, else 0
  GtkWidget *goto_dialog;   // the Go To and Site dialogs while open, else nullptr
  GtkWidget *site_dialog;
  Lx200Server *lx200;     // the LX200 server while it listens, else nullptr
  guint move_source;      // the timeout of a client's direction moves, else 0
  gint64 move_time;       // monotonic time of the last move step, microseconds
  guint move_directions;  // the directions moving now: bits n, s, e, w = 1, 2, 4, 8
  char move_rate;         // their rate: 'G' guide, 'C' centre, 'M' find, 'S' slew
};

// Lowest telescope altitude, in degrees, that the scales will accept.
constexpr double kMinAltitudeDegrees = 1.0;
