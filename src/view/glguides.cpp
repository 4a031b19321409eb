// The View menu's guides: compass and horizon, pointing line, polar axis.
#include "view/glguides.h"

#include <cmath>
#include "geometry/coord.h"
#include "model/model.h"
#include "view/globject.h"
#include "view/glstars.h"

namespace {

// Sides of the ground ring: smooth at any distance the camera takes.
constexpr int kRingSides = 96;
// A letter's height and width, in model units, lying on the ground.
constexpr float kLetterHeight = 1.2f;
constexpr float kLetterWidth = 0.8f;
constexpr GLfloat kCompassLineWidth = 2.0f;
constexpr GLfloat kPointingLineWidth = 3.0f;
// The polar axis is dashed: runs of 8 pixels on and off.
constexpr GLint kPoleStippleFactor = 1;
constexpr GLushort kPoleStipplePattern = 0x00FF;

// One stroke of a letter: a line strip through up to six points of the
// letter's cell, x to the right and y up, both from 0 to 1.
struct Stroke {
  int count;
  float points[6][2];
};
struct Letter {
  double azimuth;  // degrees from north through east
  int stroke_count;
  Stroke strokes[2];
};

constexpr Letter kLetters[] = {
    {0, 1, {{4, {{0, 0}, {0, 1}, {1, 0}, {1, 1}}}}},
    {90, 2, {{4, {{1, 1}, {0, 1}, {0, 0}, {1, 0}}}, {2, {{0, 0.5f}, {0.75f, 0.5f}}}}},
    {180, 1, {{6, {{1, 1}, {0, 1}, {0, 0.5f}, {1, 0.5f}, {1, 0}, {0, 0}}}}},
    {270, 1, {{5, {{0, 1}, {0.25f, 0}, {0.5f, 0.6f}, {0.75f, 0}, {1, 1}}}}},
};

// Lines keep their own colour: no lighting, and the state comes back as it
// was. Colour material is off too, or the lines' colours would stay in the
// material after the current colour is restored, and GL may skip the update
// when the next part's glColor repeats the restored colour.
class UnlitLines {
 public:
  explicit UnlitLines(GLfloat width) {
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glLineWidth(width);
  }
  ~UnlitLines() { glPopAttrib(); }
  UnlitLines(const UnlitLines &) = delete;
  UnlitLines &operator=(const UnlitLines &) = delete;
};

void draw_compass(const GlGuideSizes &s) {
  UnlitLines lines(kCompassLineWidth);
  glColor3fv(kGlCompassColor);
  {
    GlobPrimitiveScope loop(GL_LINE_LOOP);
    for (int k = 0; k < kRingSides; ++k) {
      const double angle = kCoordTwoPi * k / kRingSides;
      glVertex3d(s.ring_radius * std::cos(angle), s.ground, s.ring_radius * std::sin(angle));
    }
  }
  // Each letter lies flat, its top toward the outside, so that it reads from
  // the middle looking out; its right is the way azimuth grows.
  for (const Letter &letter : kLetters) {
    glColor3fv(letter.azimuth == 0 ? kGlNorthColor : kGlCompassColor);
    const double az = letter.azimuth * kCoordPi / 180.0;
    const double out_x = std::sin(az), out_z = -std::cos(az);  // east is +x, north -z
    const double right_x = std::cos(az), right_z = std::sin(az);
    for (int k = 0; k < letter.stroke_count; ++k) {
      const Stroke &stroke = letter.strokes[k];
      GlobPrimitiveScope strip(GL_LINE_STRIP);
      for (int i = 0; i < stroke.count; ++i) {
        const double across = (stroke.points[i][0] - 0.5) * kLetterWidth;
        const double along = s.letter_radius + (stroke.points[i][1] - 0.5) * kLetterHeight;
        glVertex3d(along * out_x + across * right_x, s.ground, along * out_z + across * right_z);
      }
    }
  }
}

void draw_pointing_line(const GlGuideSizes &s) {
  UnlitLines lines(kPointingLineWidth);
  glColor3fv(kGlPointingColor);
  GlobPrimitiveScope line(GL_LINES);
  glVertex3f(0, 0, s.tube_centre);
  glVertex3f(0, 0, s.line_end);
}

// Level and toward the north, as long as the pointing line, and behind the
// centre as far as the tube's middle is from its front end, so that it shows
// as an axis through the mount.
void draw_pole_line(const GlGuideSizes &s) {
  UnlitLines lines(1.0f);
  glEnable(GL_LINE_STIPPLE);
  glLineStipple(kPoleStippleFactor, kPoleStipplePattern);
  glColor3fv(kGlPoleColor);
  GlobPrimitiveScope line(GL_LINES);
  glVertex3f(0, 0, -s.tube_centre);
  glVertex3f(0, 0, s.line_end);
}

}  // namespace

GlGuideSizes gl_guide_sizes(const ModelParams *model) {
  const ModelParams &m = *model;
  GlGuideSizes s;
  // The pads' undersides: the stack below the origin as the base is built.
  s.ground = -(m.rocker_radius + m.platform_thickness + m.base_thickness + m.pad_thickness +
               3 * m.clearance);
  s.ring_radius = kGlCompassRingScale * m.platform_radius;
  s.letter_radius = kGlCompassLetterScale * m.platform_radius;
  s.tube_centre = 0.5f * m.tube_length - m.tube_front_offset;
  s.line_end = -m.tube_front_offset - kGlPointingReach * m.tube_length;
  return s;
}

GLuint gl_guides_init(const GlGuideSizes &sizes) {
  const GLuint first = glGenLists(3);
  if (first == 0) return 0;
  void (*const draw[3])(const GlGuideSizes &) = {draw_compass, draw_pointing_line, draw_pole_line};
  for (GLuint i = 0; i < 3; ++i) {
    glNewList(first + i, GL_COMPILE);
    draw[i](sizes);
    glEndList();
  }
  return first;
}

void gl_draw_guides(GLuint lists, bool compass, bool pointing, double latitude, bool to_sky) {
  if (lists == 0 || !(compass || pointing)) return;
  if (pointing) glCallList(lists + 1);
  if (pointing && to_sky) {
    // From the tube's frame's origin, over the line drawn already, out along
    // the tube's axis: at that distance its end is the star's direction.
    UnlitLines lines(kPointingLineWidth);
    glColor3fv(kGlPointingColor);
    GlobPrimitiveScope line(GL_LINES);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 0, -kGlSkyReach);
  }
  glLoadIdentity();
  if (compass) glCallList(lists);
  if (pointing) {
    // The axis is drawn level toward the north: raising it by the latitude
    // aims it at the north celestial pole; in the south, turned round first,
    // at the south one.
    GlobMatrixScope pole;
    if (latitude < 0) glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(static_cast<GLfloat>(std::fabs(latitude)), 1.0f, 0.0f, 0.0f);
    glCallList(lists + 2);
  }
}
