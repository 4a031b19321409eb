// Solid primitives of the mount model: single-precision vectors, the two normal rules, polygons,
// extruded prisms, and regular prisms, rings and ring sectors.
//
// Every solid is wound counter-clockwise as seen from outside and carries normals that point out of
// the material, for a GL state that culls back faces with counter-clockwise as front. Solids are
// extruded along the local z axis and centred on z = 0; the caller places them with the modelview
// matrix and sets the current colour. Nothing here allocates, keeps state or reports errors; the
// drawing functions need a current GL context (or a display list being compiled).
#ifndef VELMORANT_VIEW_GLOBJECT_H
#define VELMORANT_VIEW_GLOBJECT_H

#include <GL/gl.h>

#include <array>

// A vector or a vertex position: x, y, z in single precision.
using Vec3f = std::array<float, 3>;

// out = (x, y, z).
void glob_vector_assemble(Vec3f &out, float x, float y, float z);

// out = s * v, component by component. out may be v.
void glob_vector_scale(Vec3f &out, const Vec3f &v, float s);

// out = a + b. out may be a or b.
void glob_vector_add(Vec3f &out, const Vec3f &a, const Vec3f &b);

// out = a - b. out may be a or b.
void glob_vector_subtract(Vec3f &out, const Vec3f &a, const Vec3f &b);

// out = a x b (right-handed). out may be a or b: the inputs are read before anything is stored.
void glob_vector_cross_product(Vec3f &out, const Vec3f &a, const Vec3f &b);

// a[0]b[0] + a[1]b[1] + a[2]b[2], summed in single precision in that order.
float glob_vector_dot_product(const Vec3f &a, const Vec3f &b);

// out = v scaled to unit length (the length taken in double precision, then rounded to a float).
// A zero vector gives (0, 0, 0). out may be v.
void glob_vector_normalize(Vec3f &out, const Vec3f &v);

// Unit normal of the face through p0, p1, p2: (p2 - p1) x (p0 - p1), normalised. It points to the
// side from which p0, p1, p2 are seen counter-clockwise. Collinear or coincident points give
// (0, 0, 0).
void glob_compute_face_normal(Vec3f &n, const Vec3f &p0, const Vec3f &p1, const Vec3f &p2);

// Unit radial direction of p away from the z axis: (p.x, p.y, 0) normalised. A point on the z axis
// gives (0, 0, 0).
void glob_compute_cylinder_normal(Vec3f &n, const Vec3f &p);

// Emits one normal, that of points[0..2] (count must be at least 3), then the count vertices in
// order. Neither begins nor ends a GL primitive: the caller brackets it (GL_QUADS with count 4).
void glob_draw_polygon_with_face_normal(const Vec3f *points, int count);

// Emits, for each of the count vertices, its cylinder normal and then the vertex, so a faceted
// wall around the z axis shades as a smooth cylinder. Neither begins nor ends a GL primitive.
void glob_draw_polygon_with_cylinder_normal(const Vec3f *points, int count);

// The closed prism swept by a planar polygon from z - length/2 to z + length/2: top cap, bottom cap
// (both GL_POLYGON), then one GL_QUADS primitive with the count walls. points: count >= 3 vertices
// of a convex polygon in a plane of constant z, counter-clockwise seen from +z. length >= 0 (0
// gives two coincident caps and walls of no area). smooth: the walls get radial normals (only apt
// when the vertices lie on a circle about the z axis) instead of flat ones; the caps stay flat.
// A clockwise polygon gives a solid turned inside out.
void glob_extrude_polygon(const Vec3f *points, int count, float length, bool smooth);

// A filled regular polygon in the plane z = 0 facing +z: sides >= 3 vertices at the given radius,
// the first on +x, counter-clockwise seen from +z. One GL_POLYGON primitive.
void glob_draw_regular_polygon(int sides, float radius);

// A regular prism, ring or ring sector about the z axis, from z = -length/2 to +length/2.
//   sides      polygon sides of the full figure, >= 3; vertex k lies at angle k * 2pi / sides
//   arc_sides  of a ring, how many consecutive sides are drawn, 1 .. sides; sides - arc_sides even
//              centres the sector on -x (an odd difference moves it half a side toward smaller
//              angles); when arc_sides < sides the two cut ends are closed by flat faces
//   radius     outer vertex radius, > 0
//   thickness  radial wall thickness in (0, radius]; exactly radius gives the solid prism with both
//              caps (arc_sides is then ignored), anything else the ring of inner radius
//              radius - thickness
//   length     along z, >= 0
//   smooth     curved walls get radial normals; on a ring's inner wall these point into the
//              material (away from the axis) rather than out of it. Flat faces always keep flat
//              normals.
// Leaves the modelview matrix as it found it.
void glob_extrude_regular_polygon(int sides, int arc_sides, float radius, float thickness,
                                  float length, bool smooth);

// Brackets one GL primitive: glBegin(mode) on construction, glEnd() on destruction.
class GlobPrimitiveScope {
 public:
  explicit GlobPrimitiveScope(GLenum mode) { glBegin(mode); }
  ~GlobPrimitiveScope() { glEnd(); }
  GlobPrimitiveScope(const GlobPrimitiveScope &) = delete;
  GlobPrimitiveScope &operator=(const GlobPrimitiveScope &) = delete;
};

// Saves the current matrix for one block: glPushMatrix() on construction, glPopMatrix() on
// destruction.
class GlobMatrixScope {
 public:
  GlobMatrixScope() { glPushMatrix(); }
  ~GlobMatrixScope() { glPopMatrix(); }
  GlobMatrixScope(const GlobMatrixScope &) = delete;
  GlobMatrixScope &operator=(const GlobMatrixScope &) = delete;
};

#endif  // VELMORANT_VIEW_GLOBJECT_H
