// The sky at infinity behind the mount: stars, ground, the altitude limit's
// band, names and the target's ring.
#include "view/glstars.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "geometry/coord.h"
#include "view/globject.h"

namespace {

// The sphere's radius in the sky's own pass, whose camera sits at its centre:
// inside the projection's far plane.
constexpr double kRadius = 50.0;
// Point sizes, pixels, and the faintest magnitude of each: brighter stars
// are larger.
constexpr int kSizes = 4;
constexpr GLfloat kPointSize[kSizes] = {4.0f, 3.0f, 2.0f, 1.0f};
constexpr float kSizeLimit[kSizes] = {0.5f, 1.5f, 3.0f, 99.0f};
// Sides of the ground and of the band, and the band's height, degrees.
constexpr int kHorizonSides = 180;
constexpr double kLimitBand = 1.0;
// The target's ring radius and where a name sits from its star, pixels.
constexpr double kRingRadius = 12.0;
constexpr double kNameOffset = 7.0;

constexpr double kDeg = kCoordPi / 180.0;

// Grey level of a star of magnitude m: full to magnitude 1, a third at 6.5.
GLfloat brightness(float m) {
  return GLfloat(std::clamp(1.0 - (double(m) - 1.0) * (0.67 / 5.5), 0.33, 1.0));
}

// Columns of the turn from the equatorial frame of date (x to the equinox,
// z to the north pole) into the world: the meridian's point on the equator,
// the west point and the pole at this latitude, turned by the sidereal time.
void equatorial_to_world(double lst, double latitude, double m[3][3]) {
  const double phi = latitude * kDeg;
  const double meridian[3] = {0, std::cos(phi), std::sin(phi)};
  const double west[3] = {-1, 0, 0};
  const double pole[3] = {0, std::sin(phi), -std::cos(phi)};
  const double c = std::cos(lst), s = std::sin(lst);
  for (int i = 0; i < 3; i++) {
    m[0][i] = c * meridian[i] + s * west[i];
    m[1][i] = s * meridian[i] - c * west[i];
    m[2][i] = pole[i];
  }
}

int power_of_two(int n) {
  int p = 1;
  while (p < n) p *= 2;
  return p;
}

void upload(GlStarLabel *label) {
  if (label->texture || label->width <= 0 || label->height <= 0) return;
  label->texture_width = power_of_two(label->width);
  label->texture_height = power_of_two(label->height);
  std::vector<unsigned char> padded(size_t(label->texture_width) * size_t(label->texture_height),
                                    0);
  for (int y = 0; y < label->height; y++) {
    std::copy_n(label->alpha.begin() + std::ptrdiff_t(y) * label->width, label->width,
                padded.begin() + std::ptrdiff_t(y) * label->texture_width);
  }
  glGenTextures(1, &label->texture);
  glBindTexture(GL_TEXTURE_2D, label->texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, label->texture_width, label->texture_height, 0, GL_ALPHA,
               GL_UNSIGNED_BYTE, padded.data());
}

// Where a world direction lands in the window, pixels from the bottom left;
// false behind the camera or outside the view.
bool project(const double v[3], const GLdouble model[16], const GLdouble proj[16],
             const GLint viewport[4], double *x, double *y) {
  double z;
  if (!gluProject(v[0] * kRadius, v[1] * kRadius, v[2] * kRadius, model, proj, viewport, x, y, &z))
    return false;
  return z > 0 && z < 1 && *x >= viewport[0] && *x < viewport[0] + viewport[2] &&
         *y >= viewport[1] && *y < viewport[1] + viewport[3];
}

// The ground: everything below the horizon. The camera never rolls, so the
// horizon at infinity is one row of the window; below it the window is
// cleared to the ground's colour, which costs no more than the frame's own
// clear. Then the altitude limit's band over it.
void draw_ground(double cx, double cy, double cz, const GLdouble model[16], const GLdouble proj[16],
                 const GLint viewport[4]) {
  const double level = std::hypot(cx, cz);
  // Looking straight down from above, all is ground; straight up, none.
  double x = 0, y = cy > 0 ? viewport[1] + viewport[3] : viewport[1], z = 0;
  if (level > 1e-9) {
    gluProject(-cx / level * kRadius, 0, -cz / level * kRadius, model, proj, viewport, &x, &y, &z);
  }
  const int rows = int(std::lround(std::clamp(y - viewport[1], 0.0, double(viewport[3]))));
  if (rows > 0) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(viewport[0], viewport[1], viewport[2], rows);
    glClearColor(kGlGroundColor[0], kGlGroundColor[1], kGlGroundColor[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
  }
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4fv(kGlLimitColor);
  GlobPrimitiveScope band(GL_QUAD_STRIP);
  const double up = std::sin(kLimitBand * kDeg) * kRadius, out = std::cos(kLimitBand * kDeg);
  for (int k = 0; k <= kHorizonSides; k++) {
    const double a = 2 * kCoordPi * k / kHorizonSides;
    glVertex3d(kRadius * std::cos(a), 0, kRadius * std::sin(a));
    glVertex3d(kRadius * out * std::cos(a), up, kRadius * out * std::sin(a));
  }
}

void draw_labels(GlSky *sky, const GlSkyFrame &f, const GLdouble model[16], const GLdouble proj[16],
                 const GLint viewport[4]) {
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glColor3fv(kGlStarNameColor);
  for (GlStarLabel &label : sky->labels) {
    double v[3], x, y;
    gl_sky_direction(label.ra, label.dec, f.lst, f.latitude, v);
    if (v[1] <= 0 || !project(v, model, proj, viewport, &x, &y)) continue;
    upload(&label);
    if (!label.texture) continue;
    glBindTexture(GL_TEXTURE_2D, label.texture);
    // Right of the star and a little below, on whole pixels so the text
    // stays sharp.
    const double left = std::floor(x + kNameOffset), top = std::floor(y - kNameOffset / 2);
    const double s = double(label.width) / label.texture_width;
    const double t = double(label.height) / label.texture_height;
    GlobPrimitiveScope quad(GL_QUADS);
    glTexCoord2d(0, 0), glVertex2d(left, top);
    glTexCoord2d(0, t), glVertex2d(left, top - label.height);
    glTexCoord2d(s, t), glVertex2d(left + label.width, top - label.height);
    glTexCoord2d(s, 0), glVertex2d(left + label.width, top);
  }
  glDisable(GL_TEXTURE_2D);
}

void draw_ring(const GlSkyFrame &f, const GLdouble model[16], const GLdouble proj[16],
               const GLint viewport[4]) {
  double v[3], x, y;
  gl_sky_direction(f.target_ra, f.target_dec, f.lst, f.latitude, v);
  if (!project(v, model, proj, viewport, &x, &y)) return;
  glColor3fv(kGlTargetColor);
  glLineWidth(2.0f);
  GlobPrimitiveScope loop(GL_LINE_LOOP);
  for (int k = 0; k < 32; k++) {
    const double a = 2 * kCoordPi * k / 32;
    glVertex2d(x + kRingRadius * std::cos(a), y + kRingRadius * std::sin(a));
  }
}

}  // namespace

void gl_sky_direction(double ra, double dec, double lst, double latitude, double out[3]) {
  double m[3][3];
  equatorial_to_world(lst, latitude, m);
  const double e[3] = {std::cos(dec) * std::cos(ra), std::cos(dec) * std::sin(ra), std::sin(dec)};
  for (int i = 0; i < 3; i++) out[i] = m[0][i] * e[0] + m[1][i] * e[1] + m[2][i] * e[2];
}

void gl_sky_compile(GlSky *sky, const double *ra, const double *dec, const float *magnitude,
                    int n) {
  if (!sky->lists) sky->lists = glGenLists(kSizes);
  if (!sky->lists) return;
  for (int k = 0; k < kSizes; k++) {
    glNewList(sky->lists + GLuint(k), GL_COMPILE);
    {
      GlobPrimitiveScope points(GL_POINTS);
      for (int i = 0; i < n; i++) {
        const int size = int(std::find_if(kSizeLimit, kSizeLimit + kSizes,
                                          [&](float limit) { return magnitude[i] < limit; }) -
                             kSizeLimit);
        if (size != k) continue;
        const GLfloat grey = brightness(magnitude[i]);
        glColor3f(grey, grey, grey);
        glVertex3d(kRadius * std::cos(dec[i]) * std::cos(ra[i]),
                   kRadius * std::cos(dec[i]) * std::sin(ra[i]), kRadius * std::sin(dec[i]));
      }
    }
    glEndList();
  }
}

void gl_draw_sky(GlSky *sky, const GlSkyFrame &f) {
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_DEPTH_BUFFER_BIT | GL_POINT_BIT | GL_LINE_BIT |
               GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT | GL_SCISSOR_BIT);
  glDisable(GL_LIGHTING);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDepthMask(GL_FALSE);

  // The view camera's direction, from the centre of the sphere.
  double cx, cy, cz;
  coord_camera_altaz_to_xyz(&cx, &cy, &cz, f.camera_az, f.camera_alt);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  gluPerspective(45.0, f.aspect, 0.1, 100.0);
  gluLookAt(0, 0, 0, -cx, -cy, -cz, 0, 1, 0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();

  GLdouble proj[16], model[16];
  GLint viewport[4];
  glGetDoublev(GL_PROJECTION_MATRIX, proj);
  glGetDoublev(GL_MODELVIEW_MATRIX, model);
  glGetIntegerv(GL_VIEWPORT, viewport);

  if (sky->lists) {
    double m[3][3];
    equatorial_to_world(f.lst, f.latitude, m);
    const GLdouble turn[16] = {m[0][0], m[0][1], m[0][2], 0, m[1][0], m[1][1], m[1][2], 0,
                               m[2][0], m[2][1], m[2][2], 0, 0,       0,       0,       1};
    GlobMatrixScope sphere;
    glMultMatrixd(turn);
    for (int k = 0; k < kSizes; k++) {
      glPointSize(kPointSize[k]);
      glCallList(sky->lists + GLuint(k));
    }
  }
  draw_ground(cx, cy, cz, model, proj, viewport);

  // Names and the ring in window pixels.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(viewport[0], viewport[0] + viewport[2], viewport[1], viewport[1] + viewport[3]);
  glMatrixMode(GL_MODELVIEW);
  draw_labels(sky, f, model, proj, viewport);
  if (f.target) draw_ring(f, model, proj, viewport);

  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
  sky->drawn_lst = f.lst;
}

void gl_sky_release(GlSky *sky) {
  if (sky->lists) glDeleteLists(sky->lists, kSizes);
  sky->lists = 0;
  for (GlStarLabel &label : sky->labels) {
    if (label.texture) glDeleteTextures(1, &label.texture);
    label.texture = 0;
  }
}
