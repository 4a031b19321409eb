// The view's OpenGL drawing that does not depend on the toolkit.
#include "view/glscene.h"

#include <GL/glu.h>

#include <cmath>

#include "geometry/coord.h"

namespace {

// Ambient light over the whole scene, and one white directional light shining
// from below and from the south until the camera first moves.
constexpr GLfloat model_ambient[] = {0.5f, 0.5f, 0.5f, 1.0f};
constexpr GLfloat light0_position[] = {0.0f, -20.0f, 30.0f, 0.0f};
constexpr GLfloat light0_diffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr GLfloat light0_specular[] = {1.0f, 1.0f, 1.0f, 1.0f};
// Front faces: white diffuse (colour material replaces it with the part's
// colour), a half-strength highlight.
constexpr GLfloat material_diffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr GLfloat material_specular[] = {0.5f, 0.5f, 0.5f, 0.5f};
constexpr GLfloat material_shininess[] = {50.0f};

// Very dark blue: 9/256 green, 29/256 blue.
constexpr GLclampf kClearRed = 0.0f, kClearGreen = 0.03515625f, kClearBlue = 0.11328125f;

}  // namespace

void gl_set_up_state(void) {
  glClearColor(kClearRed, kClearGreen, kClearBlue, 1.0f);
  glClearDepth(1.0);

  // The modelview matrix is the identity here, so the light's position is a
  // world direction.
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, model_ambient);
  glLightfv(GL_LIGHT0, GL_POSITION, light0_position);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, light0_diffuse);
  glLightfv(GL_LIGHT0, GL_SPECULAR, light0_specular);

  // Back faces are culled: every solid is wound counter-clockwise from outside.
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glShadeModel(GL_SMOOTH);

  glMaterialfv(GL_FRONT, GL_DIFFUSE, material_diffuse);
  glMaterialfv(GL_FRONT, GL_SPECULAR, material_specular);
  glMaterialfv(GL_FRONT, GL_SHININESS, material_shininess);
  // From here on glColor gives each part its ambient and diffuse colour.
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);
}

void gl_load_camera(double aspect, double azimuth, double altitude, double far) {
  double x, y, z;
  coord_camera_altaz_to_xyz(&x, &y, &z, azimuth, altitude);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, aspect, 0.1, far);
  gluLookAt(x, y, z, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
  glMatrixMode(GL_MODELVIEW);
}

void gl_aim_light(double azimuth, double elevation) {
  // A directional light given under the identity modelview is a world
  // direction: east is +x, north is -z.
  const GLfloat light[4] = {static_cast<GLfloat>(std::sin(azimuth) * std::cos(elevation)),
                            static_cast<GLfloat>(std::sin(elevation)),
                            static_cast<GLfloat>(-std::cos(azimuth) * std::cos(elevation)), 0.0f};
  glLoadIdentity();
  glLightfv(GL_LIGHT0, GL_POSITION, light);
}

void gl_begin_frame(void) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
}
