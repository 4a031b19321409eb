// The solid model of the mount: its dimensions and colours, the four display lists built from them,
// and the rotations of the three axes that pose them.
//
// Model frame: right-handed, +Y up, origin where the three axes meet (the common centre of the two
// horseshoe rings). Lengths are model units (the tube is 10.5 long); angles are degrees. With all
// three axes at zero the tube lies along Z with its open front end toward -Z.
#ifndef VELMORANT_MODEL_MODEL_H
#define VELMORANT_MODEL_MODEL_H

#include <GL/gl.h>

// Every length, polygon count and colour of the model, then the ids of its four display lists.
// Colours are red, green, blue in [0, 1], usable with glColor3fv.
struct ModelParams {
  float clearance;  // gap between stacked or nested parts
  float tube_length;
  float tube_radius;
  float tube_wall_thickness;
  int tube_sides;
  float tube_front_offset;  // pivot to the open front end, along the tube axis
  float tube_color[3];
  float mirror_thickness;
  float mirror_radius;
  int mirror_sides;
  float mirror_color[3];
  float spider_inset;  // front end back to the centre of the spider hub
  float spider_hub_length;
  float spider_hub_radius;
  int spider_hub_sides;
  int vane_count;
  float vane_hub_width;
  float vane_wall_width;
  float vane_thickness;
  float spider_color[3];
  float vane_color[3];
  float focuser_length;
  float focuser_radius;
  float focuser_wall_thickness;
  int focuser_sides;
  float focuser_angle;  // degrees about the tube axis, from +X toward +Y
  float focuser_color[3];
  int horseshoe_sides;
  int horseshoe_segments;  // sides drawn of each horseshoe ring
  float horseshoe_radius;
  float horseshoe_thickness;
  float horseshoe_width;
  float horseshoe_separation;  // between the centre planes of the two rings
  float horseshoe_color[3];
  int platform_sides;
  float platform_radius;  // vertex radius of the square plate
  float platform_thickness;
  float platform_color[3];  // also the rocker supports
  float rocker_support_height;
  int rocker_sides;
  int rocker_segments;  // sides drawn of each rocker
  float rocker_thickness;
  float rocker_radius;
  float rocker_width;
  float rocker_color[3];
  float horseshoe_plate_thickness;
  float horseshoe_plate_x_max;
  float horseshoe_plate_x_min;
  float horseshoe_plate_y_max;
  float horseshoe_plate_y_min;
  float horseshoe_plate_offset;  // centre plane of each plate from the origin, along X
  float horseshoe_plate_color[3];
  int holder_octagon_sides;
  int holder_ring_sides;
  float holder_octagon_radius;
  float holder_octagon_thickness;
  float holder_width;
  float holder_offset;  // centre of each holder ring from the pivot, along the tube axis
  float holder_plate_thickness;
  float holder_plate_x_max;
  float holder_plate_x_min;
  float holder_plate_y_max;
  float holder_plate_y_min;
  float holder_plate_offset;  // centre plane of each holder plate from the tube axis, along X
  float holder_color[3];
  int base_sides;
  float base_radius;
  float base_thickness;
  float base_color[3];
  int pad_count;
  int pad_sides;
  float pad_radius;
  float pad_thickness;
  float pad_color[3];
  GLuint base_list;       // fixed base: disc and pads
  GLuint platform_list;   // base_list + 1: platform, rockers, rocker supports (turns with a3)
  GLuint horseshoe_list;  // base_list + 2: rings and plates (turns with a2)
  GLuint tube_list;       // base_list + 3: tube, mirror, spider, focuser, holder (turns with a1)
};

// Allocates a model, fills it with the defaults and compiles the four bodies into four consecutive
// display lists (base, platform, horseshoe, tube), compiled only: nothing is drawn. Needs a current
// GL context. Returns null, having made no GL call, when the record cannot be allocated; returns
// null, with one line on stderr and the record freed, when GL has no list names to give. The
// record lives until the process ends.
ModelParams *model_init(void);

// Draws the mount posed by the axis angles a1 (tube), a2 (horseshoe), a3 (platform), in degrees,
// any value (whole turns are whole turns): the base, then -a3 about Y, the platform, a2 about Z,
// the horseshoe, a1 about X, the tube. Pushes and pops nothing: on return the current matrix
// carries the three rotations. A null model draws nothing.
void model_draw(ModelParams *model, float a1, float a2, float a3);

// Writes every dimension, count and colour of the model (all fields but the four list ids, which it
// leaves alone), whatever the storage held. Derived lengths are computed from the fields before
// them (sines and cosines in double precision of a single-precision pi) and stored rounded to
// single precision. Needs no GL context.
void model_set_default_parameters(ModelParams *model);

// The four bodies, each in its own frame, for compiling into the display lists. Each issues its
// parts' colours with glColor3fv, leaves the matrix stack as it found it, and changes nothing in
// the model. The current colour is left at, in turn: pad_color; platform_color;
// horseshoe_plate_color; holder_color.
//   base: disc and three pads below the origin, y from -5.54 to -4.78 at the defaults.
//   platform: square plate, two rockers (90-degree arcs hanging in the planes z = +-2.5) and the
//     four rocker supports under them.
//   horseshoe: two 270-degree rings open toward +Y in the planes z = +-2.5, joined by two plates
//     at x = +-2.12132.
//   tube: tube from z = -8 (open front) to +2.5, mirror at the rear, spider and focuser near the
//     front, holder collars and plates around the pivot.
void model_draw_base(const ModelParams *model);
void model_draw_platform(const ModelParams *model);
void model_draw_horseshoe(const ModelParams *model);
void model_draw_tube(const ModelParams *model);

#endif  // VELMORANT_MODEL_MODEL_H
