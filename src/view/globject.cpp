// Solid primitives: vectors, normals, polygons, extruded prisms and regular rings.
#include "view/globject.h"

#include <cmath>

namespace {

// 2pi rounded to single precision; every angular step is formed from it.
constexpr float kTwoPiF = 6.2831855f;

float regular_step(int sides) {
  return kTwoPiF / static_cast<float>(sides);
}

// Vertex k of a regular polygon of angular step `step` at radius rho, lifted to height z. The
// angle is formed in double precision from the float step; each coordinate is rounded to a float.
Vec3f circle_vertex(int k, float step, float rho, float z) {
  const double angle = static_cast<double>(k) * static_cast<double>(step);
  Vec3f v;
  glob_vector_assemble(v, static_cast<float>(rho * std::cos(angle)),
                       static_cast<float>(rho * std::sin(angle)), z);
  return v;
}

void draw_quad(const Vec3f (&quad)[4], bool smooth) {
  if (smooth) {
    glob_draw_polygon_with_cylinder_normal(quad, 4);
  } else {
    glob_draw_polygon_with_face_normal(quad, 4);
  }
}

void emit_normal(const Vec3f &n) {
  glNormal3f(n[0], n[1], n[2]);
}
void emit_vertex(const Vec3f &v) {
  glVertex3f(v[0], v[1], v[2]);
}

void draw_solid_prism(int sides, float radius, float h, bool smooth) {
  const float step = regular_step(sides);
  {
    GlobPrimitiveScope quads(GL_QUADS);
    for (int i = 0; i < sides; ++i) {
      const Vec3f wall[4] = {
          circle_vertex(i, step, radius, -h), circle_vertex(i + 1, step, radius, -h),
          circle_vertex(i + 1, step, radius, h), circle_vertex(i, step, radius, h)};
      draw_quad(wall, smooth);
    }
  }
  {
    GlobMatrixScope top;
    glTranslatef(0.0f, 0.0f, h);
    glob_draw_regular_polygon(sides, radius);
  }
  {
    // A half turn about x (not y) keeps every corner where it was, mirrored to y -> -y, so the
    // bottom cap meets the walls for an odd number of sides too.
    GlobMatrixScope bottom;
    glTranslatef(0.0f, 0.0f, -h);
    glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
    glob_draw_regular_polygon(sides, radius);
  }
}

void draw_ring(int sides, int arc_sides, float radius, float thickness, float h, bool smooth) {
  const float step = regular_step(sides);
  const float inner = radius - thickness;
  const int first = (sides - arc_sides) / 2;
  const int last = first + arc_sides;
  auto at = [step](int k, float rho, float z) { return circle_vertex(k, step, rho, z); };
  GlobPrimitiveScope quads(GL_QUADS);
  for (int k = first; k < last; ++k) {
    // o: outer, i: inner; 0, 1: this vertex and the next; m, p: at -h and +h.
    const Vec3f o0m = at(k, radius, -h), o1m = at(k + 1, radius, -h);
    const Vec3f o0p = at(k, radius, h), o1p = at(k + 1, radius, h);
    const Vec3f i0m = at(k, inner, -h), i1m = at(k + 1, inner, -h);
    const Vec3f i0p = at(k, inner, h), i1p = at(k + 1, inner, h);
    const Vec3f outer_wall[4] = {o0m, o1m, o1p, o0p};
    const Vec3f inner_wall[4] = {i1p, i1m, i0m, i0p};
    const Vec3f top[4] = {o1p, i1p, i0p, o0p};
    const Vec3f bottom[4] = {i0m, i1m, o1m, o0m};
    draw_quad(outer_wall, smooth);
    draw_quad(inner_wall, smooth);
    draw_quad(top, false);
    draw_quad(bottom, false);
  }
  if (arc_sides != sides) {  // close the cut ends of a sector
    const Vec3f start[4] = {at(first, radius, h), at(first, inner, h), at(first, inner, -h),
                            at(first, radius, -h)};
    const Vec3f finish[4] = {at(last, radius, h), at(last, radius, -h), at(last, inner, -h),
                             at(last, inner, h)};
    draw_quad(start, false);
    draw_quad(finish, false);
  }
}

}  // namespace

void glob_vector_assemble(Vec3f &out, float x, float y, float z) {
  out = {x, y, z};
}

void glob_vector_scale(Vec3f &out, const Vec3f &v, float s) {
  for (int i = 0; i < 3; ++i) out[i] = s * v[i];
}

void glob_vector_add(Vec3f &out, const Vec3f &a, const Vec3f &b) {
  for (int i = 0; i < 3; ++i) out[i] = a[i] + b[i];
}

void glob_vector_subtract(Vec3f &out, const Vec3f &a, const Vec3f &b) {
  for (int i = 0; i < 3; ++i) out[i] = a[i] - b[i];
}

void glob_vector_cross_product(Vec3f &out, const Vec3f &a, const Vec3f &b) {
  const Vec3f c = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  out = c;
}

float glob_vector_dot_product(const Vec3f &a, const Vec3f &b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void glob_vector_normalize(Vec3f &out, const Vec3f &v) {
  const float len =
      static_cast<float>(std::sqrt(static_cast<double>(glob_vector_dot_product(v, v))));
  if (len == 0.0f) {
    out = {0.0f, 0.0f, 0.0f};
    return;
  }
  glob_vector_scale(out, v, 1.0f / len);
}

void glob_compute_face_normal(Vec3f &n, const Vec3f &p0, const Vec3f &p1, const Vec3f &p2) {
  Vec3f u, w;
  glob_vector_subtract(u, p2, p1);
  glob_vector_subtract(w, p0, p1);
  glob_vector_cross_product(n, u, w);
  glob_vector_normalize(n, n);
}

void glob_compute_cylinder_normal(Vec3f &n, const Vec3f &p) {
  glob_vector_assemble(n, p[0], p[1], 0.0f);
  glob_vector_normalize(n, n);
}

void glob_draw_polygon_with_face_normal(const Vec3f *points, int count) {
  Vec3f n;
  glob_compute_face_normal(n, points[0], points[1], points[2]);
  emit_normal(n);
  for (int i = 0; i < count; ++i) emit_vertex(points[i]);
}

void glob_draw_polygon_with_cylinder_normal(const Vec3f *points, int count) {
  for (int i = 0; i < count; ++i) {
    Vec3f n;
    glob_compute_cylinder_normal(n, points[i]);
    emit_normal(n);
    emit_vertex(points[i]);
  }
}

void glob_extrude_polygon(const Vec3f *points, int count, float length, bool smooth) {
  const float h = length * 0.5f;
  auto lifted = [&](int i, float dz) {
    Vec3f v = points[i];
    v[2] += dz;
    return v;
  };
  Vec3f n;
  {
    GlobPrimitiveScope top(GL_POLYGON);
    glob_compute_face_normal(n, points[0], points[1], points[2]);
    emit_normal(n);
    for (int i = 0; i < count; ++i) emit_vertex(lifted(i, h));
  }
  {
    GlobPrimitiveScope bottom(GL_POLYGON);
    glob_compute_face_normal(n, points[0], points[1], points[2]);
    glNormal3f(-n[0], -n[1], -n[2]);
    for (int i = count - 1; i >= 0; --i) emit_vertex(lifted(i, -h));
  }
  GlobPrimitiveScope walls(GL_QUADS);
  for (int i = 0; i < count; ++i) {
    const int j = (i + 1 == count) ? 0 : i + 1;
    const Vec3f wall[4] = {lifted(i, -h), lifted(j, -h), lifted(j, h), lifted(i, h)};
    draw_quad(wall, smooth);
  }
}

void glob_draw_regular_polygon(int sides, float radius) {
  const float step = regular_step(sides);
  GlobPrimitiveScope polygon(GL_POLYGON);
  glNormal3f(0.0f, 0.0f, 1.0f);
  for (int k = 0; k < sides; ++k) emit_vertex(circle_vertex(k, step, radius, 0.0f));
}

void glob_extrude_regular_polygon(int sides, int arc_sides, float radius, float thickness,
                                  float length, bool smooth) {
  const float h = length * 0.5f;
  if (thickness == radius) {
    draw_solid_prism(sides, radius, h, smooth);
  } else {
    draw_ring(sides, arc_sides, radius, thickness, h, smooth);
  }
}
