// Helpers for the model's tests: the default model, and a body's drawing cut into its pieces.
#ifndef VELMORANT_TESTS_MODEL_TEST_UTIL_H
#define VELMORANT_TESTS_MODEL_TEST_UTIL_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "gl_recorder.h"
#include "model/model.h"

namespace model_test {

constexpr double kPi = 3.141592653589793;
// Six significant digits of the values the model is measured against (all below 10).
constexpr double kSix = 1e-5;

inline const ModelParams &defaults() {
  static const ModelParams m = [] {
    ModelParams p{};
    model_set_default_parameters(&p);
    return p;
  }();
  return m;
}

// The primitives each kind of solid emits: a solid regular prism (walls, then the two caps), a
// ring or sector (one quads primitive), a prism extruded from an outline (two caps, then walls).
enum class Solid { kPrism, kRing, kExtrusion };

struct Piece {
  std::string name;
  std::vector<glrec::Primitive> primitives;
  glrec::Bounds box;
  glrec::Float3 color;

  // Every transformed vertex, as a flat list.
  std::vector<glrec::Vec3d> points() const {
    std::vector<glrec::Vec3d> out;
    for (const auto &p : primitives)
      for (const auto &v : p.vertices) out.push_back(v.pos);
    return out;
  }
  // Smallest and largest of f over the vertices.
  template <typename F>
  std::pair<double, double> range(F f) const {
    double lo = 1e300, hi = -1e300;
    for (const auto &p : points()) lo = std::min(lo, f(p)), hi = std::max(hi, f(p));
    return {lo, hi};
  }
};

// Distance from the Z axis, and angle about it from +X toward +Y in degrees [0, 360).
inline double radial_z(const glrec::Vec3d &p) {
  return std::hypot(p[0], p[1]);
}
inline double angle_z(const glrec::Vec3d &p) {
  const double a = std::atan2(p[1], p[0]) * 180 / kPi;
  return a < 0 ? a + 360 : a;
}

// Records one body drawn straight (not through a list) from a fresh GL state.
inline void record_body(void (*draw)(const ModelParams *)) {
  glrec::reset();
  draw(&defaults());
}

// Cuts what was drawn into the pieces named in `layout`, in drawing order, and checks that the
// primitives are exactly those the layout's solids emit, each piece in one colour.
inline std::vector<Piece> split_pieces(const std::vector<std::pair<std::string, Solid>> &layout) {
  const auto &drawn = glrec::recorder().drawn;
  std::vector<Piece> pieces;
  size_t next = 0;
  for (const auto &[name, solid] : layout) {
    std::vector<GLenum> modes = {GL_QUADS};
    if (solid == Solid::kPrism) modes = {GL_QUADS, GL_POLYGON, GL_POLYGON};
    if (solid == Solid::kExtrusion) modes = {GL_POLYGON, GL_POLYGON, GL_QUADS};
    Piece piece{name, {}, {}, {}};
    for (GLenum mode : modes) {
      if (next >= drawn.size() || drawn[next].mode != mode) {
        ADD_FAILURE() << name << ": primitive " << next << " is not the one expected";
        return pieces;
      }
      piece.primitives.push_back(drawn[next++]);
    }
    piece.box = glrec::bounds(piece.primitives);
    piece.color = piece.primitives[0].vertices.at(0).color;
    for (const auto &p : piece.primitives)
      for (const auto &v : p.vertices) EXPECT_EQ(v.color, piece.color) << name << " in two colours";
    pieces.push_back(piece);
  }
  EXPECT_EQ(next, drawn.size()) << "more primitives than pieces";
  return pieces;
}

inline glrec::Float3 color3(const float (&c)[3]) {
  return {c[0], c[1], c[2]};
}

}  // namespace model_test

#endif  // VELMORANT_TESTS_MODEL_TEST_UTIL_H
