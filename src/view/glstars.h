// The sky around the mount (View, Stars): the bright stars on the celestial
// sphere, turned by the sidereal time and stood at the site's latitude in the
// view's world frame (+x east, +y up, +z south), a dark ground below the
// horizon with the band of the altitude limit, the Go To list's stars named
// and the Go To target ringed. All of it lies at infinity: it is drawn first,
// from a camera at the centre looking the view camera's way, so that the
// camera's distance does not shift it and the mount, drawn after it, hides
// it. GL only; the view makes the names' bitmaps with the toolkit's text.
#pragma once

#include <GL/gl.h>

#include <string>
#include <vector>

// Colours, red, green, blue in [0, 1], for tests that look for them on the
// screen: names warm white, the target's ring green, the ground a dark grey
// green, the altitude limit's band a faint red (drawn at the alpha given).
constexpr GLfloat kGlStarNameColor[3] = {1.0f, 0.85f, 0.55f};
constexpr GLfloat kGlTargetColor[3] = {0.3f, 1.0f, 0.45f};
constexpr GLfloat kGlGroundColor[3] = {0.06f, 0.08f, 0.07f};
constexpr GLfloat kGlLimitColor[4] = {0.9f, 0.3f, 0.25f, 0.3f};

// The far plane of the view's projection while the sky is shown, and how far
// the pointing line then runs, model units: far enough that its end lies
// within a fraction of a pixel of the star it points at.
constexpr double kGlSkyFar = 1e5;
constexpr float kGlSkyReach = 5e4f;

// A named star's label: its apparent place of date and its text as an alpha
// bitmap (rows from the top), which becomes a texture when first drawn.
struct GlStarLabel {
  double ra = 0, dec = 0;                     // radians
  int width = 0, height = 0;                  // pixels of the text
  std::vector<unsigned char> alpha;           // width * height coverage values
  GLuint texture = 0;                         // 0 until uploaded
  int texture_width = 0, texture_height = 0;  // powers of two, as GL 1.1 wants
};

// What the view keeps of the sky between frames.
struct GlSky {
  double minute = -1;               // the sky clock's minute the places are of, or -1
  GLuint lists = 0;                 // the stars' points, one list per size, or 0
  std::vector<GlStarLabel> labels;  // the named stars
  double drawn_lst = 0;             // the sidereal time of the last frame, radians
};

// One frame of the sky.
struct GlSkyFrame {
  double lst;                    // local sidereal time the sphere turns by, radians
  double latitude;               // degrees, north positive
  bool target;                   // ring the Go To target
  double target_ra, target_dec;  // its apparent place of date, radians
  double aspect;                 // the view's width over its height
  double camera_az, camera_alt;  // the view camera's azimuth and altitude, radians
};

// Compiles the stars' points from their apparent places of date (radians)
// and visual magnitudes, n of each: sized 1 to 4 pixels and brighter the
// brighter the star. Needs the view's context current; replaces the lists
// compiled before. Nothing where GL has no list names to give.
void gl_sky_compile(GlSky *sky, const double *ra, const double *dec, const float *magnitude, int n);

// Draws the sky as the frame says, with the depth buffer neither read nor
// written, and leaves every matrix and GL state as it found them. Labels of
// stars below the horizon or behind the camera are not drawn.
void gl_draw_sky(GlSky *sky, const GlSkyFrame &frame);

// The world direction (x east, y up, z south) of the apparent place ra, dec
// (radians) at sidereal time lst (radians) and latitude (degrees).
void gl_sky_direction(double ra, double dec, double lst, double latitude, double out[3]);

// Gives back the lists and textures: needs the view's context current.
void gl_sky_release(GlSky *sky);
