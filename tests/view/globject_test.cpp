// The solid primitives, observed through the recording GL double.
#include "view/globject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "gl_recorder.h"

namespace {

using glrec::Call;
using glrec::Op;
using glrec::Vec3d;
using Face = std::vector<glrec::Vertex>;

constexpr double kPi = 3.141592653589793;
constexpr float kUlp = 6e-8f;  // one float ulp near 1

double dot(const Vec3d &a, const Vec3d &b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec3d cross(const Vec3d &a, const Vec3d &b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec3d minus(const Vec3d &a, const Vec3d &b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
double radial(const Vec3d &p) {
  return std::hypot(p[0], p[1]);
}
double angle_deg(const Vec3d &p) {  // about the z axis, in [0, 360)
  const double a = std::atan2(p[1], p[0]) * 180.0 / kPi;
  return a < 0 ? a + 360.0 : a;
}
Vec3d centroid(const Face &f) {
  Vec3d c{};
  for (const auto &v : f)
    for (int i = 0; i < 3; ++i) c[i] += v.pos[i] / f.size();
  return c;
}

// Is q inside the closed surface made of these faces? Counts the triangles (Moller-Trumbore) that
// one skew ray from q crosses.
bool inside(const std::vector<Face> &faces, const Vec3d &q) {
  const Vec3d d = {0.3141592, 0.2718281, 0.9093};
  int crossings = 0;
  for (const Face &f : faces)
    for (size_t i = 1; i + 1 < f.size(); ++i) {
      const Vec3d e1 = minus(f[i].pos, f[0].pos), e2 = minus(f[i + 1].pos, f[0].pos);
      const Vec3d p = cross(d, e2), s = minus(q, f[0].pos), qv = cross(s, e1);
      const double det = dot(e1, p);
      if (std::fabs(det) < 1e-15) continue;
      const double u = dot(s, p) / det, v = dot(d, qv) / det;
      crossings += u >= 0 && u <= 1 && v >= 0 && u + v <= 1 && dot(e2, qv) / det > 0;
    }
  return crossings % 2 == 1;
}

// A drawing call must leave GL as it found it: no misuse, primitive closed, matrix restored.
void expect_gl_state_restored() {
  const glrec::Recording &r = glrec::recorder();
  for (const auto &e : r.errors) ADD_FAILURE() << "GL misuse: " << e;
  EXPECT_FALSE(r.in_begin);
  EXPECT_TRUE(r.stack.empty());
  EXPECT_EQ(r.matrix, glrec::identity()) << "matrix changed (exact comparison)";
}

// Every face drawn points out of the material (a point just off its counter-clockwise side is
// outside the solid, a point just behind it inside), and its normals are the flat normal of that
// winding or, on a smooth curved wall, each vertex's radial direction; those point into the
// material on an inner wall (radius below inner_limit).
void expect_faces_point_outward(bool smooth, double inner_limit) {
  const std::vector<Face> fs = glrec::faces(glrec::recorder().drawn);
  constexpr double kStep = 1e-4, kNormalTol = 1e-5;
  for (size_t i = 0; i < fs.size(); ++i) {
    SCOPED_TRACE("face " + std::to_string(i));
    const Face &f = fs[i];
    const Vec3d n = glrec::winding_normal(f), c = centroid(f);
    ASSERT_NEAR(dot(n, n), 1.0, 1e-9) << "face of no area";
    EXPECT_FALSE(inside(fs, {c[0] + kStep * n[0], c[1] + kStep * n[1], c[2] + kStep * n[2]}));
    EXPECT_TRUE(inside(fs, {c[0] - kStep * n[0], c[1] - kStep * n[1], c[2] - kStep * n[2]}));
    // A curved wall's opposite corners lie in two radial directions; an end face lies in one.
    const bool curved_wall =
        std::fabs(n[2]) < 1e-6 && std::fabs(angle_deg(f[0].pos) - angle_deg(f[2].pos)) > 1e-3;
    for (const auto &v : f) {
      if (smooth && curved_wall) {
        const double r = radial(v.pos);
        EXPECT_NEAR(v.normal[0], v.pos[0] / r, kNormalTol);
        EXPECT_NEAR(v.normal[1], v.pos[1] / r, kNormalTol);
        EXPECT_EQ(v.normal[2], 0.0f);
        EXPECT_EQ(v.normal[0] * n[0] + v.normal[1] * n[1] < 0, radial(f[0].pos) < inner_limit);
      } else {
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(v.world_normal[k], n[k], kNormalTol);
      }
    }
  }
}

TEST(GlobVectors, CrossProductMayOverwriteItsInputAndAPointOnTheAxisHasNoCylinderNormal) {
  Vec3f crossed = {1, 2, 3}, on_axis = {9, 9, 9};
  glob_vector_cross_product(crossed, crossed, {4, 5, 6});
  glob_compute_cylinder_normal(on_axis, {0, 0, 5});
  EXPECT_EQ(crossed, (Vec3f{-3, 6, -3}));  // exact: small integers
  EXPECT_EQ(on_axis, (Vec3f{0, 0, 0}));    // exact
}

const Vec3f kSquare[4] = {{1, -1, 0}, {1, 1, 0}, {-1, 1, 0}, {-1, -1, 0}};

TEST(GlobExtrudePolygon, SquareBecomesTheCubeWithCapsThenFourWalls) {
  glrec::reset();
  glob_extrude_polygon(kSquare, 4, 2.0f, false);
  // Each face: its normal, then its corners. Top and bottom caps, then the walls.
  const float kFaces[6][5][3] = {{{0, 0, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}, {-1, -1, 1}},
                                 {{0, 0, -1}, {-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}},
                                 {{1, 0, 0}, {1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1}},
                                 {{0, 1, 0}, {1, 1, -1}, {-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}},
                                 {{-1, 0, 0}, {-1, 1, -1}, {-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}},
                                 {{0, -1, 0}, {-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}}};
  std::vector<Call> want;
  for (int f = 0; f < 6; ++f) {
    if (f <= 2) want.push_back({Op::kBegin, f < 2 ? GLenum{GL_POLYGON} : GLenum{GL_QUADS}});
    for (int k = 0; k < 5; ++k) {
      const float *v = kFaces[f][k];
      want.push_back({k == 0 ? Op::kNormal : Op::kVertex, 0, 0, {v[0], v[1], v[2], 0}});
    }
    if (f < 2 || f == 5) want.push_back({Op::kEnd});
  }
  EXPECT_EQ(glrec::recorder().calls, want);  // exact: every value is a small integer
  expect_gl_state_restored();
}

TEST(GlobExtrudePolygon, SmoothWallsCarryEachCornersRadialNormalAndTheCapsStayFlat) {
  glrec::reset();
  glob_extrude_polygon(kSquare, 4, 2.0f, true);
  const auto fs = glrec::faces(glrec::recorder().drawn);
  ASSERT_EQ(fs.size(), 6u);
  EXPECT_EQ(fs[0][0].normal, (glrec::Float3{0, 0, 1}));
  EXPECT_EQ(fs[1][0].normal, (glrec::Float3{0, 0, -1}));
  for (size_t i = 2; i < fs.size(); ++i)
    for (const auto &v : fs[i]) {
      EXPECT_NEAR(v.normal[0], v.local[0] * 0.70710678, kUlp);
      EXPECT_NEAR(v.normal[1], v.local[1] * 0.70710678, kUlp);
      EXPECT_EQ(v.normal[2], 0.0f);
    }
}

TEST(GlobExtrudePolygon, ClockwisePolygonGivesASolidTurnedInsideOut) {
  const Vec3f clockwise[4] = {kSquare[3], kSquare[2], kSquare[1], kSquare[0]};
  glrec::reset();
  glob_extrude_polygon(clockwise, 4, 2.0f, false);
  for (const Face &f : glrec::faces(glrec::recorder().drawn)) {
    EXPECT_LT(dot(glrec::winding_normal(f), centroid(f)), 0) << "face turned toward the centre";
    EXPECT_LT(dot({f[0].normal[0], f[0].normal[1], f[0].normal[2]}, centroid(f)), 0);
  }
}

TEST(GlobExtrudePolygon, CollinearFirstVerticesGiveZeroCapNormals) {
  const Vec3f outline[4] = {{-1, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  glrec::reset();
  glob_extrude_polygon(outline, 4, 1.0f, false);
  const auto &drawn = glrec::recorder().drawn;
  ASSERT_EQ(drawn.size(), 3u);
  for (int cap = 0; cap < 2; ++cap)
    for (float c : drawn[cap].vertices[0].normal) EXPECT_EQ(c, 0.0f);  // exact: -0 equals 0
}

TEST(GlobExtrudePolygon, ZeroLengthGivesOppositeCapsAndFlatWallsInThePolygonsPlane) {
  Vec3f lifted[4];
  for (int i = 0; i < 4; ++i) lifted[i] = {kSquare[i][0], kSquare[i][1], 0.5f};
  glrec::reset();
  glob_extrude_polygon(lifted, 4, 0.0f, false);
  const auto fs = glrec::faces(glrec::recorder().drawn);
  ASSERT_EQ(fs.size(), 6u);
  EXPECT_EQ(fs[0][0].normal, (glrec::Float3{0, 0, 1}));
  EXPECT_EQ(fs[1][0].normal, (glrec::Float3{0, 0, -1}));
  for (const Face &f : fs)
    for (const auto &v : f) EXPECT_EQ(v.pos[2], 0.5) << "exact: 0.5 +- 0";
  for (size_t i = 2; i < fs.size(); ++i) EXPECT_EQ(glrec::winding_normal(fs[i]), (Vec3d{0, 0, 0}));
}

TEST(GlobRing, SectorSpansItsArcInOneQuadsPrimitive) {
  const struct {
    const char *name;
    int sides, arc_sides;
    double from_deg, to_deg;
  } cases[] = {{"24/18, centred on -x", 24, 18, 45, 315},
               {"24/6, centred on -x", 24, 6, 135, 225},
               {"24/5, odd difference: half a step lower", 24, 5, 135, 210},
               {"24/17, odd difference: half a step lower", 24, 17, 45, 300}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    glrec::reset();
    glob_extrude_regular_polygon(c.sides, c.arc_sides, 1.0f, 0.25f, 1.0f, true);
    const auto &drawn = glrec::recorder().drawn;
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].mode, static_cast<GLenum>(GL_QUADS));
    EXPECT_EQ(drawn[0].vertices.size(), 4u * (4 * c.arc_sides + 2)) << "4 faces a side, 2 ends";
    double lo = 360, hi = 0, r_min = 10, r_max = 0;
    for (const auto &v : drawn[0].vertices) {
      lo = std::min(lo, angle_deg(v.pos)), hi = std::max(hi, angle_deg(v.pos));
      r_min = std::min(r_min, radial(v.pos)), r_max = std::max(r_max, radial(v.pos));
    }
    EXPECT_NEAR(lo, c.from_deg, 1e-4);
    EXPECT_NEAR(hi, c.to_deg, 1e-4);
    EXPECT_NEAR(r_min, 0.75, 1e-6);
    EXPECT_NEAR(r_max, 1.0, 1e-6);
  }
}

TEST(GlobRing, OnlyAThicknessExactlyEqualToTheRadiusDrawsTheSolidPrism) {
  glrec::reset();
  glob_extrude_regular_polygon(24, 24, 1.0f, std::nextafter(1.0f, 0.0f), 1.0f, true);
  ASSERT_EQ(glrec::recorder().drawn.size(), 1u) << "a ring: one quads primitive, no caps";
  EXPECT_EQ(glrec::recorder().drawn[0].vertices.size(), 4u * 4 * 24) << "closed: no end faces";

  glrec::reset();
  glob_extrude_regular_polygon(24, 6, 1.0f, 1.0f, 1.0f, true);  // arc_sides ignored
  const auto &drawn = glrec::recorder().drawn;
  ASSERT_EQ(drawn.size(), 3u);
  EXPECT_EQ(drawn[0].vertices.size(), 4u * 24);
  EXPECT_EQ(drawn[1].mode, static_cast<GLenum>(GL_POLYGON));
  EXPECT_EQ(drawn[2].mode, static_cast<GLenum>(GL_POLYGON));
}

TEST(GlobPrism, CapCornersAreTheWallCornersForEverySideCount) {
  for (int sides = 3; sides <= 9; ++sides) {
    SCOPED_TRACE("sides " + std::to_string(sides));
    glrec::reset();
    glob_extrude_regular_polygon(sides, sides, 1.0f, 1.0f, 2.0f, false);
    const auto &drawn = glrec::recorder().drawn;
    ASSERT_EQ(drawn.size(), 3u);
    for (int cap = 1; cap <= 2; ++cap) {
      ASSERT_EQ(drawn[cap].vertices.size(), static_cast<size_t>(sides));
      for (const auto &corner : drawn[cap].vertices) {
        const auto near_corner = [&](const glrec::Vertex &w) {
          const Vec3d d = minus(w.pos, corner.pos);
          return dot(d, d) < 1e-12;  // within 1e-6
        };
        const auto &walls = drawn[0].vertices;
        EXPECT_TRUE(std::any_of(walls.begin(), walls.end(), near_corner)) << "corner off the walls";
      }
    }
    if (sides == 4) {  // corners on the axes
      const double want[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
      for (int k = 0; k < 4; ++k) {
        // cos and sin of the float multiples of the step miss 0 by a few 1e-8
        EXPECT_NEAR(drawn[1].vertices[k].pos[0], want[k][0], 2e-7);
        EXPECT_NEAR(drawn[1].vertices[k].pos[1], want[k][1], 2e-7);
      }
    }
  }
}

TEST(GlobRegularSolids, EveryFaceFacesOutOfTheMaterialAndTheMatrixIsRestored) {
  const float radius = 1.2f, length = 0.8f;
  for (int sides = 3; sides <= 32; ++sides)
    for (int arc : {sides, sides - 1, sides / 2 + 1, 1})
      for (float thickness : {radius, 0.35f})
        for (bool smooth : {false, true}) {
          SCOPED_TRACE(::testing::Message() << "sides " << sides << " arc_sides " << arc
                                            << " thickness " << thickness << " smooth " << smooth);
          glrec::reset();
          glob_extrude_regular_polygon(sides, arc, radius, thickness, length, smooth);
          expect_gl_state_restored();
          expect_faces_point_outward(smooth, radius - thickness / 2);
          if (HasFailure()) return;  // one failing shape says enough
        }
}

}  // namespace
