// The mount model: default dimensions and colours, the four bodies, their display lists and pose.
#include "model/model.h"

#include <cmath>
#include <cstdio>
#include <new>

#include "view/globject.h"

namespace {

// The colour table: five colours, each component a multiple of 1/256.
const float light_gray[3] = {0.9140625f, 0.90625f, 0.88671875f};
const float green[3] = {0.2421875f, 0.578125f, 0.0f};
const float blue[3] = {0.0f, 0.2421875f, 0.578125f};
const float purple[3] = {0.33203125f, 0.0f, 0.578125f};
const float brown[3] = {0.578125f, 0.33203125f, 0.0f};

// Which colour each part of the mount is drawn in.
const float *const vane_and_spider_color = blue;
const float *const focuser_color = blue;
const float *const tube_color = green;
const float *const mirror_color = light_gray;
const float *const holder_color = blue;
const float *const horseshoe_color = brown;
const float *const rocker_color = purple;
const float *const base_color = blue;
const float *const pad_color = brown;

// pi and 2pi rounded to single precision, as every derived angle is formed from them.
constexpr float kPiF = 3.14159274f;
constexpr float kTwoPiF = 6.28318548f;

// The two sides of the mount, -1 then +1: rings, rockers and plates come in mirrored pairs.
constexpr float kSides[2] = {-1.0f, 1.0f};

void copy_color(float (&to)[3], const float *from) {
  for (int i = 0; i < 3; ++i) to[i] = from[i];
}

// Two equal ring sectors about the Z axis in the planes z = -separation/2 and +separation/2, each
// turned a quarter turn so that a sector centred on -X comes to be centred on -Y (and an opening
// on +X comes to face +Y). The horseshoe's rings and the rockers that cradle them.
void draw_sector_pair(int sides, int arc_sides, float radius, float thickness, float width,
                      float separation) {
  for (float s : kSides) {
    GlobMatrixScope side;
    glTranslatef(0.0f, 0.0f, s * 0.5f * separation);
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
    glob_extrude_regular_polygon(sides, arc_sides, radius, thickness, width, true);
  }
}

// Two flat rectangular plates standing parallel to the YZ plane with their centre planes at
// x = -offset and +offset. The outline's x range becomes the plate's extent along Z; its front face
// turns away from the centre.
void draw_side_plates(float x_min, float x_max, float y_min, float y_max, float offset,
                      float thickness) {
  Vec3f outline[4];  // counter-clockwise seen from +z, from the upper left
  glob_vector_assemble(outline[0], x_min, y_max, 0.0f);
  glob_vector_assemble(outline[1], x_min, y_min, 0.0f);
  glob_vector_assemble(outline[2], x_max, y_min, 0.0f);
  glob_vector_assemble(outline[3], x_max, y_max, 0.0f);
  for (float s : kSides) {
    GlobMatrixScope side;
    glTranslatef(s * offset, 0.0f, 0.0f);
    glRotatef(s * 90.0f, 0.0f, 1.0f, 0.0f);
    glob_extrude_polygon(outline, 4, thickness, false);
  }
}

}  // namespace

// Fields are assigned in record order, each derived one from those before it. Expressions with a
// double factor or a sine or cosine are evaluated in double precision and rounded when stored.
void model_set_default_parameters(ModelParams *model) {
  ModelParams &m = *model;
  m.clearance = 0.01f;
  m.tube_length = 10.5f;
  m.tube_radius = 1.75f;
  m.tube_wall_thickness = 0.1f;
  m.tube_sides = 24;
  m.tube_front_offset = 8.0f;
  copy_color(m.tube_color, tube_color);
  m.mirror_thickness = 0.25f;
  m.mirror_radius = 1.5f;
  m.mirror_sides = 24;
  copy_color(m.mirror_color, mirror_color);
  m.spider_inset = 1.0f;
  m.spider_hub_length = 1.0f;
  m.spider_hub_radius = 0.5f;
  m.spider_hub_sides = 24;
  m.vane_count = 4;
  m.vane_hub_width = 0.5f;
  m.vane_wall_width = 0.25f;
  m.vane_thickness = 0.05f;
  copy_color(m.spider_color, vane_and_spider_color);
  copy_color(m.vane_color, vane_and_spider_color);
  m.focuser_length = 0.5f;
  m.focuser_radius = 0.4f;
  m.focuser_wall_thickness = 0.05f;
  m.focuser_sides = 24;
  m.focuser_angle = 45.0f;
  copy_color(m.focuser_color, focuser_color);
  m.horseshoe_sides = 24;
  m.horseshoe_segments = 18;
  m.horseshoe_radius = 3.5f;
  m.horseshoe_thickness = 0.5f;
  m.horseshoe_width = 0.5f;
  m.horseshoe_separation = 5.0f;
  copy_color(m.horseshoe_color, horseshoe_color);
  m.platform_sides = 4;
  // Wide enough for the rockers and a margin; 0.707 by design, not 1/sqrt(2).
  m.platform_radius =
      static_cast<float>((m.horseshoe_separation + 0.5f * m.horseshoe_width) * 0.707 + 0.707);
  m.platform_thickness = 0.5f;
  copy_color(m.platform_color, rocker_color);
  m.rocker_support_height = 0.6f;
  m.rocker_sides = 24;
  m.rocker_segments = 6;
  m.rocker_thickness = 0.75f;
  m.rocker_radius = m.horseshoe_radius + m.rocker_thickness + m.clearance;
  m.rocker_width = 0.75f;
  copy_color(m.rocker_color, rocker_color);
  m.horseshoe_plate_thickness = 0.25f;
  // The plates reach from one ring's inner face to the other's, and their corners lie on the
  // rings' inner circle at 45 degrees.
  const float ring_inner = m.horseshoe_radius - m.horseshoe_thickness;
  m.horseshoe_plate_x_max = (m.horseshoe_separation - m.horseshoe_width) * 0.5f;
  m.horseshoe_plate_x_min = -m.horseshoe_plate_x_max;
  m.horseshoe_plate_y_max =
      static_cast<float>(std::sin(static_cast<double>(kPiF / 4)) * ring_inner);
  m.horseshoe_plate_y_min = -m.horseshoe_plate_y_max;
  m.horseshoe_plate_offset =
      static_cast<float>(std::cos(static_cast<double>(kPiF / 4)) * ring_inner);
  copy_color(m.horseshoe_plate_color, horseshoe_color);
  m.holder_octagon_sides = 8;
  m.holder_ring_sides = 24;
  // The octagonal collar's outer apothem is the plate offset, its inner apothem the tube radius.
  const double octagon_cos =
      std::cos(static_cast<double>(kPiF / static_cast<float>(m.holder_octagon_sides)));
  m.holder_octagon_radius = static_cast<float>(m.horseshoe_plate_offset / octagon_cos);
  m.holder_octagon_thickness =
      static_cast<float>(m.holder_octagon_radius - m.tube_radius / octagon_cos);
  m.holder_width = 0.5f;
  m.holder_offset = m.horseshoe_plate_x_max - 1.5f * m.holder_width;
  m.holder_plate_thickness = 0.25f;
  m.holder_plate_x_max = m.horseshoe_plate_x_max - 1.5f * m.holder_octagon_thickness;
  m.holder_plate_x_min = -m.holder_plate_x_max;
  m.holder_plate_y_max = static_cast<float>(
      std::sin(static_cast<double>(kPiF / static_cast<float>(m.holder_octagon_sides))) *
      m.horseshoe_plate_offset);
  m.holder_plate_y_min = -m.holder_plate_y_max;
  // The holder plates' outer faces bear on the horseshoe plates' inner faces.
  m.holder_plate_offset = m.horseshoe_plate_offset - 0.5f * m.horseshoe_plate_thickness -
                          0.5f * m.holder_plate_thickness;
  copy_color(m.holder_color, holder_color);
  m.base_sides = 24;
  m.base_radius = static_cast<float>(m.platform_radius * 0.707);
  m.base_thickness = 0.5f;
  copy_color(m.base_color, base_color);
  m.pad_count = 3;
  m.pad_sides = 24;
  m.pad_radius = m.base_radius * 0.2f;
  m.pad_thickness = 0.25f;
  copy_color(m.pad_color, pad_color);
}

void model_draw_base(const ModelParams *model) {
  const ModelParams &m = *model;
  // The disc sits below the rockers and the platform, the pads below the disc, each a clearance
  // apart; these are the depths of their centres below the origin.
  const float disc_depth =
      m.rocker_radius + m.platform_thickness + 0.5f * m.base_thickness + 2 * m.clearance;
  const float pad_depth = m.rocker_radius + m.platform_thickness + m.base_thickness +
                          0.5f * m.pad_thickness + 3 * m.clearance;
  glColor3fv(m.base_color);
  {
    GlobMatrixScope disc;
    glTranslatef(0.0f, -disc_depth, 0.0f);
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);  // the prism's axis becomes vertical
    glob_extrude_regular_polygon(m.base_sides, m.base_sides, m.base_radius, m.base_radius,
                                 m.base_thickness, true);
  }
  // The pads stand evenly round the vertical axis from +X toward +Z, their outer edges at the
  // edge of the disc.
  glColor3fv(m.pad_color);
  const float r = m.base_radius - m.pad_radius;
  const float step = kTwoPiF / static_cast<float>(m.pad_count);
  for (int i = 0; i < m.pad_count; ++i) {
    const double angle = static_cast<double>(i) * static_cast<double>(step);
    GlobMatrixScope pad;
    glTranslatef(static_cast<float>(std::cos(angle) * r), 0.0f,
                 static_cast<float>(std::sin(angle) * r));
    glTranslatef(0.0f, -pad_depth, 0.0f);
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    glob_extrude_regular_polygon(m.pad_sides, m.pad_sides, m.pad_radius, m.pad_radius,
                                 m.pad_thickness, true);
  }
}

void model_draw_platform(const ModelParams *model) {
  const ModelParams &m = *model;
  glColor3fv(m.rocker_color);
  draw_sector_pair(m.rocker_sides, m.rocker_segments, m.rocker_radius, m.rocker_thickness,
                   m.rocker_width, m.horseshoe_separation);

  // A rocker support: a flat bracket from the centre out to the platform's edge, h high there,
  // rising at 45 degrees and then sloping back down to the centre under the rocker.
  glColor3fv(m.platform_color);
  const float big_r = m.platform_radius, h = m.rocker_support_height;
  Vec3f outline[4];
  glob_vector_assemble(outline[0], -0.7071f * (big_r - h), 1.7071f * h, 0.0f);
  glob_vector_assemble(outline[1], -0.7071f * big_r, h, 0.0f);
  glob_vector_assemble(outline[2], -0.7071f * big_r, 0.0f, 0.0f);
  glob_vector_assemble(outline[3], 0.0f, 0.0f, 0.0f);
  for (float s : kSides) {
    GlobMatrixScope side;
    glTranslatef(0.0f, -m.rocker_radius, s * 0.5f * m.horseshoe_separation);
    glob_extrude_polygon(outline, 4, 0.8f * m.rocker_width, false);
    glRotatef(180.0f, 0.0f, 1.0f, 0.0f);  // its mirror image on the +X side
    glob_extrude_polygon(outline, 4, 0.8f * m.rocker_width, false);
  }

  glColor3fv(m.platform_color);
  GlobMatrixScope plate;
  glTranslatef(0.0f, -(m.rocker_radius + 0.5f * m.platform_thickness + m.clearance), 0.0f);
  glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
  glRotatef(45.0f, 0.0f, 0.0f, 1.0f);  // edges along X and Z
  glob_extrude_regular_polygon(m.platform_sides, m.platform_sides, m.platform_radius,
                               m.platform_radius, m.platform_thickness, false);
}

void model_draw_horseshoe(const ModelParams *model) {
  const ModelParams &m = *model;
  glColor3fv(m.horseshoe_color);
  draw_sector_pair(m.horseshoe_sides, m.horseshoe_segments, m.horseshoe_radius,
                   m.horseshoe_thickness, m.horseshoe_width, m.horseshoe_separation);
  glColor3fv(m.horseshoe_plate_color);
  draw_side_plates(m.horseshoe_plate_x_min, m.horseshoe_plate_x_max, m.horseshoe_plate_y_min,
                   m.horseshoe_plate_y_max, m.horseshoe_plate_offset, m.horseshoe_plate_thickness);
}

void model_draw_tube(const ModelParams *model) {
  const ModelParams &m = *model;
  const float spider_z = m.tube_front_offset - m.spider_inset;  // behind the front end

  glColor3fv(m.spider_color);
  {
    GlobMatrixScope spider;
    glTranslatef(0.0f, 0.0f, -spider_z);
    glob_extrude_regular_polygon(m.spider_hub_sides, m.spider_hub_sides, m.spider_hub_radius,
                                 m.spider_hub_radius, m.spider_hub_length, true);
    // A vane runs from the hub out to the bore, wider at the hub; counter-clockwise from +z.
    const float bore = m.tube_radius - m.tube_wall_thickness;
    Vec3f vane[4];
    glob_vector_assemble(vane[0], -0.5f * m.vane_wall_width, bore, 0.0f);
    glob_vector_assemble(vane[1], -0.5f * m.vane_hub_width, m.spider_hub_radius, 0.0f);
    glob_vector_assemble(vane[2], 0.5f * m.vane_hub_width, m.spider_hub_radius, 0.0f);
    glob_vector_assemble(vane[3], 0.5f * m.vane_wall_width, bore, 0.0f);
    const float step = 360.0f / static_cast<float>(m.vane_count);
    glColor3fv(m.vane_color);
    for (int i = 0; i < m.vane_count; ++i) {
      GlobMatrixScope one_vane;
      glRotatef(static_cast<float>(i) * step, 0.0f, 0.0f, 1.0f);
      glRotatef(90.0f, 0.0f, 1.0f, 0.0f);  // the outline's width along the tube axis
      glob_extrude_polygon(vane, 4, m.vane_thickness, false);
    }
  }

  // The focuser's rear edge lines up with the hub's rear face; it starts in the middle of the
  // tube wall and stands out radially.
  glColor3fv(m.focuser_color);
  {
    GlobMatrixScope focuser;
    glTranslatef(0.0f, 0.0f, -(spider_z - 0.5f * m.spider_hub_length + m.focuser_radius));
    glRotatef(m.focuser_angle, 0.0f, 0.0f, 1.0f);
    glTranslatef(m.tube_radius + 0.5f * m.focuser_length - 0.5f * m.tube_wall_thickness, 0.0f,
                 0.0f);
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
    glob_extrude_regular_polygon(m.focuser_sides, m.focuser_sides, m.focuser_radius,
                                 m.focuser_wall_thickness, m.focuser_length, true);
  }

  glColor3fv(m.tube_color);
  {
    GlobMatrixScope tube;
    glTranslatef(0.0f, 0.0f, 0.5f * m.tube_length - m.tube_front_offset);
    glob_extrude_regular_polygon(m.tube_sides, m.tube_sides, m.tube_radius, m.tube_wall_thickness,
                                 m.tube_length, true);
  }

  // The mirror lies flush with the tube's rear end.
  glColor3fv(m.mirror_color);
  {
    GlobMatrixScope mirror;
    glTranslatef(0.0f, 0.0f, (m.tube_length - m.tube_front_offset) - 0.5f * m.mirror_thickness);
    glob_extrude_regular_polygon(m.mirror_sides, m.mirror_sides, m.mirror_radius, m.mirror_radius,
                                 m.mirror_thickness, true);
  }

  // Each holder ring clamps the tube; its octagonal collar, in the same place, turns its faces
  // toward +-X and +-Y so the holder plates can rest on them.
  glColor3fv(m.holder_color);
  for (float s : kSides) {
    GlobMatrixScope clamp;
    glTranslatef(0.0f, 0.0f, s * m.holder_offset);
    glob_extrude_regular_polygon(m.holder_ring_sides, m.holder_ring_sides, m.horseshoe_plate_offset,
                                 m.horseshoe_plate_offset - m.tube_radius, m.holder_width, true);
    glRotatef(180.0f / static_cast<float>(m.holder_octagon_sides), 0.0f, 0.0f, 1.0f);
    glob_extrude_regular_polygon(m.holder_octagon_sides, m.holder_octagon_sides,
                                 m.holder_octagon_radius, m.holder_octagon_thickness,
                                 m.holder_width, false);
  }
  draw_side_plates(m.holder_plate_x_min, m.holder_plate_x_max, m.holder_plate_y_min,
                   m.holder_plate_y_max, m.holder_plate_offset, m.holder_plate_thickness);
}

ModelParams *model_init(void) {
  ModelParams *model = new (std::nothrow) ModelParams;
  if (model == nullptr) return nullptr;
  model_set_default_parameters(model);
  const GLuint first = glGenLists(4);
  if (first == 0) {
    // A failed write to standard error has nowhere else to be reported.
    static_cast<void>(
        std::fprintf(stderr,
                     "velmorant: OpenGL could not provide display lists; the mount model cannot be "
                     "drawn\n"));
    delete model;
    return nullptr;
  }
  struct Body {
    GLuint ModelParams::*list;
    void (*draw)(const ModelParams *);
  };
  const Body bodies[4] = {{&ModelParams::base_list, model_draw_base},
                          {&ModelParams::platform_list, model_draw_platform},
                          {&ModelParams::horseshoe_list, model_draw_horseshoe},
                          {&ModelParams::tube_list, model_draw_tube}};
  for (GLuint i = 0; i < 4; ++i) {
    model->*bodies[i].list = first + i;
    glNewList(first + i, GL_COMPILE);
    bodies[i].draw(model);
    glEndList();
  }
  return model;
}

void model_draw(ModelParams *model, float a1, float a2, float a3) {
  if (model == nullptr) return;
  glCallList(model->base_list);
  glRotatef(-a3, 0.0f, 1.0f, 0.0f);
  glCallList(model->platform_list);
  glRotatef(a2, 0.0f, 0.0f, 1.0f);
  glCallList(model->horseshoe_list);
  glRotatef(a1, 1.0f, 0.0f, 0.0f);
  glCallList(model->tube_list);
}
