// The solid primitives, observed through the recording GL double.
#include "view/globject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "gl_recorder.h"

namespace {

using glrec::Call;
using glrec::Op;
using glrec::Vec3d;
using Face = std::vector<glrec::Vertex>;

constexpr double kPi = 3.141592653589793;

double dot(const Vec3d &a, const Vec3d &b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec3d to_d(const glrec::Float3 &v) {
  return {v[0], v[1], v[2]};
}

// Angle of a point about the z axis, degrees in [0, 360).
double angle_deg(const Vec3d &p) {
  const double a = std::atan2(p[1], p[0]) * 180.0 / kPi;
  return a < 0 ? a + 360.0 : a;
}

double radial(const Vec3d &p) {
  return std::hypot(p[0], p[1]);
}

// Does the ray from q along d cross the triangle a, b, c (Moller-Trumbore)?
bool ray_crosses(const Vec3d &q, const Vec3d &d, const Vec3d &a, const Vec3d &b, const Vec3d &c) {
  const Vec3d e1 = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const Vec3d e2 = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
  const Vec3d p = {d[1] * e2[2] - d[2] * e2[1], d[2] * e2[0] - d[0] * e2[2],
                   d[0] * e2[1] - d[1] * e2[0]};
  const double det = dot(e1, p);
  if (std::fabs(det) < 1e-15) return false;
  const Vec3d s = {q[0] - a[0], q[1] - a[1], q[2] - a[2]};
  const double u = dot(s, p) / det;
  if (u < 0 || u > 1) return false;
  const Vec3d qv = {s[1] * e1[2] - s[2] * e1[1], s[2] * e1[0] - s[0] * e1[2],
                    s[0] * e1[1] - s[1] * e1[0]};
  const double v = dot(d, qv) / det;
  if (v < 0 || u + v > 1) return false;
  return dot(e2, qv) / det > 0;
}

// Is q inside the closed surface made of these faces? Counts crossings of one skew ray.
bool inside(const std::vector<Face> &faces, const Vec3d &q) {
  const Vec3d d = {0.3141592, 0.2718281, 0.9093};
  int crossings = 0;
  for (const Face &f : faces)
    for (size_t i = 1; i + 1 < f.size(); ++i)
      crossings += ray_crosses(q, d, f[0].pos, f[i].pos, f[i + 1].pos);
  return crossings % 2 == 1;
}

Vec3d centroid(const Face &f) {
  Vec3d c{};
  for (const auto &v : f)
    for (int i = 0; i < 3; ++i) c[i] += v.pos[i] / f.size();
  return c;
}

// Each drawing call must leave GL as it found it: no misuse, primitive closed, stack restored.
void expect_gl_state_restored() {
  const glrec::Recording &r = glrec::recorder();
  for (const auto &e : r.errors) ADD_FAILURE() << "GL misuse: " << e;
  EXPECT_FALSE(r.in_begin);
  EXPECT_TRUE(r.stack.empty());
  EXPECT_TRUE(glrec::is_identity(r.matrix)) << "matrix changed (exact comparison)";
}

// Checks every face of what was drawn: it points out of the material (a point just off its
// counter-clockwise side is outside the solid, a point just behind it inside), and its normals
// are the flat normal of that winding or, on a smooth curved wall, each vertex's radial
// direction. Smooth normals on an inner wall (radius below inner_limit) point into the material.
void expect_faces_point_outward(bool smooth, double inner_limit) {
  const std::vector<Face> fs = glrec::faces(glrec::recorder().drawn);
  constexpr double kStep = 1e-4;  // how far off the face the probe points lie
  constexpr double kNormalTol = 1e-5;
  for (size_t i = 0; i < fs.size(); ++i) {
    SCOPED_TRACE("face " + std::to_string(i));
    const Face &f = fs[i];
    const Vec3d n = glrec::winding_normal(f);
    ASSERT_NEAR(dot(n, n), 1.0, 1e-9) << "face of no area";
    const Vec3d c = centroid(f);
    EXPECT_FALSE(inside(fs, {c[0] + kStep * n[0], c[1] + kStep * n[1], c[2] + kStep * n[2]}));
    EXPECT_TRUE(inside(fs, {c[0] - kStep * n[0], c[1] - kStep * n[1], c[2] - kStep * n[2]}));

    // A curved wall runs between two different radial directions; an end face lies in one.
    const double turn = std::fabs(angle_deg(f[0].pos) - angle_deg(f[1].pos)) +
                        std::fabs(angle_deg(f[0].pos) - angle_deg(f[2].pos));
    const bool curved_wall = std::fabs(n[2]) < 1e-6 && turn > 1e-3;
    if (smooth && curved_wall) {
      const bool inner = radial(f[0].pos) < inner_limit;
      for (const auto &v : f) {
        const double r = radial(v.pos);
        EXPECT_NEAR(v.normal[0], v.pos[0] / r, kNormalTol);
        EXPECT_NEAR(v.normal[1], v.pos[1] / r, kNormalTol);
        EXPECT_EQ(v.normal[2], 0.0f);
        EXPECT_EQ(dot(to_d(v.normal), n) < 0, inner) << "inner wall " << inner;
      }
    } else {
      for (const auto &v : f)
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(v.world_normal[k], n[k], kNormalTol);
    }
  }
}

struct VectorCase {
  const char *name;
  Vec3f got, want;
};

TEST(GlobVectors, NormalsAndNormalisationGiveUnitVectorsOrZero) {
  Vec3f normalized, in_place = {3, 0, 4}, zero, face, collinear, on_axis, off_axis;
  glob_vector_normalize(normalized, {3, 0, 4});
  glob_vector_normalize(in_place, in_place);
  glob_vector_normalize(zero, {0, 0, 0});
  glob_compute_face_normal(face, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  glob_compute_face_normal(collinear, {0, 0, 0}, {1, 1, 1}, {2, 2, 2});
  glob_compute_cylinder_normal(on_axis, {0, 0, 5});
  glob_compute_cylinder_normal(off_axis, {2, 0, 7});
  const VectorCase cases[] = {
      {"normalize (3,0,4)", normalized, {0.6f, 0, 0.8f}},
      {"normalize in place", in_place, {0.6f, 0, 0.8f}},
      {"normalize zero", zero, {0, 0, 0}},
      {"face normal counter-clockwise from +z", face, {0, 0, 1}},
      {"face normal of collinear points", collinear, {0, 0, 0}},
      {"cylinder normal on the axis", on_axis, {0, 0, 0}},
      {"cylinder normal drops z", off_axis, {1, 0, 0}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(c.got[i], c.want[i], 6e-8);  // one float ulp near 1
  }
}

TEST(GlobVectors, CrossProductMayOverwriteItsInput) {
  Vec3f a = {1, 2, 3};
  const Vec3f b = {4, 5, 6};
  glob_vector_cross_product(a, a, b);
  EXPECT_EQ(a, (Vec3f{-3, 6, -3}));  // exact: small integers
}

const Vec3f kSquare[4] = {{1, -1, 0}, {1, 1, 0}, {-1, 1, 0}, {-1, -1, 0}};

TEST(GlobExtrudePolygon, SquareBecomesTheCubeWithCapsThenFourWalls) {
  glrec::reset();
  glob_extrude_polygon(kSquare, 4, 2.0f, false);
  auto normal = [](float x, float y, float z) { return Call{Op::kNormal, 0, 0, {x, y, z, 0}}; };
  auto vertex = [](float x, float y, float z) { return Call{Op::kVertex, 0, 0, {x, y, z, 0}}; };
  const Call begin_polygon{Op::kBegin, GL_POLYGON}, begin_quads{Op::kBegin, GL_QUADS},
      end{Op::kEnd};
  // One row per face.
  // clang-format off
  const std::vector<Call> want = {
      begin_polygon, normal(0, 0, 1),
      vertex(1, -1, 1), vertex(1, 1, 1), vertex(-1, 1, 1), vertex(-1, -1, 1), end,
      begin_polygon, normal(0, 0, -1),
      vertex(-1, -1, -1), vertex(-1, 1, -1), vertex(1, 1, -1), vertex(1, -1, -1), end,
      begin_quads,
      normal(1, 0, 0), vertex(1, -1, -1), vertex(1, 1, -1), vertex(1, 1, 1), vertex(1, -1, 1),
      normal(0, 1, 0), vertex(1, 1, -1), vertex(-1, 1, -1), vertex(-1, 1, 1), vertex(1, 1, 1),
      normal(-1, 0, 0), vertex(-1, 1, -1), vertex(-1, -1, -1), vertex(-1, -1, 1), vertex(-1, 1, 1),
      normal(0, -1, 0), vertex(-1, -1, -1), vertex(1, -1, -1), vertex(1, -1, 1), vertex(-1, -1, 1),
      end};
  // clang-format on
  EXPECT_EQ(glrec::recorder().calls, want);  // exact: every value is a small integer
  expect_gl_state_restored();
}

TEST(GlobExtrudePolygon, SmoothWallsShareTheRadialNormalAtEachCorner) {
  glrec::reset();
  glob_extrude_polygon(kSquare, 4, 2.0f, true);
  const auto fs = glrec::faces(glrec::recorder().drawn);
  ASSERT_EQ(fs.size(), 6u);
  int at_corner = 0;
  for (size_t i = 2; i < fs.size(); ++i)
    for (const auto &v : fs[i]) {
      const float h = std::sqrt(0.5f);
      EXPECT_NEAR(v.normal[0], v.local[0] * h, 6e-8);  // one float ulp of 1/sqrt(2)
      EXPECT_NEAR(v.normal[1], v.local[1] * h, 6e-8);
      EXPECT_EQ(v.normal[2], 0.0f);
      if (v.local[0] == 1 && v.local[1] == -1) {
        ++at_corner;
        EXPECT_NEAR(v.normal[0], 0.70710677f, 6e-8);
      }
    }
  EXPECT_EQ(at_corner, 4);  // two vertices on each of the two walls meeting there
  // The caps stay flat.
  EXPECT_EQ(fs[0][0].normal, (glrec::Float3{0, 0, 1}));
}

TEST(GlobExtrudePolygon, ClockwisePolygonGivesASolidTurnedInsideOut) {
  const Vec3f clockwise[4] = {kSquare[3], kSquare[2], kSquare[1], kSquare[0]};
  glrec::reset();
  glob_extrude_polygon(clockwise, 4, 2.0f, false);
  for (const Face &f : glrec::faces(glrec::recorder().drawn)) {
    const Vec3d n = glrec::winding_normal(f);
    EXPECT_LT(dot(n, centroid(f)), 0) << "face turned away from the centre";
    EXPECT_LT(dot(to_d(f[0].normal), centroid(f)), 0) << "normal points outward";
  }
}

TEST(GlobExtrudePolygon, CollinearFirstVerticesGiveZeroCapNormals) {
  const Vec3f pentagon[4] = {{-1, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  glrec::reset();
  glob_extrude_polygon(pentagon, 4, 1.0f, false);
  const auto &drawn = glrec::recorder().drawn;
  ASSERT_EQ(drawn.size(), 3u);
  for (int cap = 0; cap < 2; ++cap)
    for (float c : drawn[cap].vertices[0].normal) EXPECT_EQ(c, 0.0f);  // exact: -0 equals 0
  expect_gl_state_restored();
}

TEST(GlobExtrudePolygon, ZeroLengthGivesCoincidentOppositeCapsAndFlatWalls) {
  glrec::reset();
  glob_extrude_polygon(kSquare, 4, 0.0f, false);
  const auto fs = glrec::faces(glrec::recorder().drawn);
  ASSERT_EQ(fs.size(), 6u);
  EXPECT_EQ(fs[0][0].normal, (glrec::Float3{0, 0, 1}));
  EXPECT_EQ(fs[1][0].normal[2], -1.0f);
  for (const Face &f : fs)
    for (const auto &v : f) EXPECT_EQ(v.pos[2], 0.0);  // exact: 0 +- 0
  for (size_t i = 2; i < fs.size(); ++i) EXPECT_EQ(glrec::winding_normal(fs[i]), (Vec3d{0, 0, 0}));
}

struct SectorCase {
  const char *name;
  int sides, arc_sides;
  double from_deg, to_deg;
};

TEST(GlobRing, SectorSpansItsArcInOneQuadsPrimitiveWithEndFaces) {
  const SectorCase cases[] = {
      {"24/18, centred on -x", 24, 18, 45, 315},
      {"24/6, centred on -x", 24, 6, 135, 225},
      {"24/5, odd difference: half a step lower", 24, 5, 135, 210},
      {"24/17, odd difference: half a step lower", 24, 17, 45, 300},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    glrec::reset();
    glob_extrude_regular_polygon(c.sides, c.arc_sides, 1.0f, 0.25f, 1.0f, true);
    const auto &drawn = glrec::recorder().drawn;
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].mode, static_cast<GLenum>(GL_QUADS));
    EXPECT_EQ(drawn[0].vertices.size(), 4u * (4 * c.arc_sides + 2));
    double lo = 360, hi = 0, r_min = 10, r_max = 0;
    for (const auto &v : drawn[0].vertices) {
      lo = std::min(lo, angle_deg(v.pos)), hi = std::max(hi, angle_deg(v.pos));
      r_min = std::min(r_min, radial(v.pos)), r_max = std::max(r_max, radial(v.pos));
    }
    EXPECT_NEAR(lo, c.from_deg, 1e-4);
    EXPECT_NEAR(hi, c.to_deg, 1e-4);
    EXPECT_NEAR(r_min, 0.75, 1e-6);
    EXPECT_NEAR(r_max, 1.0, 1e-6);
    // The last two faces close the cut ends, facing away from the arc.
    const auto fs = glrec::faces(drawn);
    const Vec3d start = glrec::winding_normal(fs[fs.size() - 2]);
    const Vec3d finish = glrec::winding_normal(fs.back());
    const double a = c.from_deg * kPi / 180, b = c.to_deg * kPi / 180;
    EXPECT_NEAR(dot(start, {std::sin(a), -std::cos(a), 0}), 1.0, 1e-6);
    EXPECT_NEAR(dot(finish, {-std::sin(b), std::cos(b), 0}), 1.0, 1e-6);
  }
}

TEST(GlobRing, OnlyAThicknessExactlyEqualToTheRadiusDrawsTheSolidPrism) {
  glrec::reset();
  glob_extrude_regular_polygon(24, 24, 1.0f, std::nextafter(1.0f, 0.0f), 1.0f, true);
  ASSERT_EQ(glrec::recorder().drawn.size(), 1u);  // a ring: one quads primitive, no caps
  EXPECT_EQ(glrec::recorder().drawn[0].vertices.size(), 4u * 4 * 24);  // closed: no end faces

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
        double nearest = 1;
        for (const auto &w : drawn[0].vertices) {
          const Vec3d d = {w.pos[0] - corner.pos[0], w.pos[1] - corner.pos[1],
                           w.pos[2] - corner.pos[2]};
          nearest = std::min(nearest, std::sqrt(dot(d, d)));
        }
        EXPECT_LT(nearest, 1e-6) << "cap corner off the walls";
      }
    }
    if (sides == 4) {  // corners on the axes, shared by both caps
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

TEST(GlobExtrudePolygon, RandomConvexPolygonsGiveOutwardSolids) {
  std::mt19937 rng(20240611);
  std::uniform_real_distribution<double> u(0, 1);
  for (int trial = 0; trial < 200; ++trial) {
    const int n = 3 + trial % 10;
    const double a = 0.5 + 1.5 * u(rng), b = 0.5 + 1.5 * u(rng), turn = 2 * kPi * u(rng);
    const double cx = 2 * u(rng) - 1, cy = 2 * u(rng) - 1, z = 2 * u(rng) - 1;
    std::vector<Vec3f> poly;
    for (int i = 0; i < n; ++i) {
      const double t = turn + (i + 0.6 * u(rng)) * 2 * kPi / n;
      poly.push_back({float(cx + a * std::cos(t)), float(cy + b * std::sin(t)), float(z)});
    }
    const float len = float(0.1 + 3 * u(rng));
    SCOPED_TRACE(::testing::Message() << "trial " << trial << " n " << n << " length " << len);
    glrec::reset();
    glob_extrude_polygon(poly.data(), n, len, false);
    expect_gl_state_restored();
    expect_faces_point_outward(false, 0);
    const glrec::Bounds box = glrec::bounds(glrec::recorder().drawn);
    EXPECT_NEAR(box.min[2], z - len / 2, 1e-6);
    EXPECT_NEAR(box.max[2], z + len / 2, 1e-6);
    if (HasFailure()) return;
  }
}

}  // namespace
