// The four bodies of the mount and the whole mount, observed through the recording GL double: the
// parts each body draws, measured from their vertices as the body's own matrix operations place
// them; how the bodies fit together; their display lists; and the pose the three axes give them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "gl_recorder.h"
#include "model/model.h"

namespace {

using glrec::Call;
using glrec::Op;
using glrec::Vec3d;

constexpr double kPi = 3.141592653589793;
constexpr double kSix = 1e-5;  // six significant digits of the lengths measured (all below 10)

// A range of a measure; a NaN end is left unchecked.
struct Span {
  double lo, hi;
};
constexpr double kAny = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr Span kAll = {kAny, kAny};
constexpr Span S(double half) {  // symmetric about 0
  return {-half, half};
}

// A part of a body: how many primitives its solid emits (3 for a solid prism or an extruded
// outline, 1 for a ring or sector), its colour, and the ranges its vertices span along X, Y, Z.
struct Part {
  const char *name;
  int primitives;
  float (ModelParams::*color)[3];
  Span box[3];
};

// Each body's parts in drawing order; the last part's colour is the one the body leaves current.
// clang-format off
#define P(name, primitives, color, ...) {name, primitives, &ModelParams::color, {__VA_ARGS__}}
const struct {
  const char *name;
  void (*draw)(const ModelParams *);
  std::vector<Part> parts;
} kBodies[] = {
  {"base", model_draw_base, {
    P("disc", 3, base_color, S(3.12406), {-5.28, -4.78}, S(3.12406)),
    P("pad 0", 3, pad_color, kAll, {-5.54, -5.29}, kAll),
    P("pad 1", 3, pad_color, kAll, {-5.54, -5.29}, kAll),
    P("pad 2", 3, pad_color, kAll, {-5.54, -5.29}, kAll)}},
  {"platform", model_draw_platform, {
    P("rocker -z", 1, rocker_color, kAll, {-4.26, kAny}, {-2.875, -2.125}),
    P("rocker +z", 1, rocker_color, kAll, {-4.26, kAny}, {2.125, 2.875}),
    P("support -z -x", 3, platform_color, {-3.1245, 0}, {-4.26, -3.23574}, {-2.8, -2.2}),
    P("support -z +x", 3, platform_color, {0, 3.1245}, {-4.26, -3.23574}, {-2.8, -2.2}),
    P("support +z -x", 3, platform_color, {-3.1245, 0}, {-4.26, -3.23574}, {2.2, 2.8}),
    P("support +z +x", 3, platform_color, {0, 3.1245}, {-4.26, -3.23574}, {2.2, 2.8}),
    P("plate", 3, platform_color, S(3.12453), {-4.77, -4.27}, S(3.12453))}},
  {"horseshoe", model_draw_horseshoe, {
    P("ring -z", 1, horseshoe_color, kAll, kAll, {-2.75, -2.25}),
    P("ring +z", 1, horseshoe_color, kAll, kAll, {2.25, 2.75}),
    P("horseshoe plate -x", 3, horseshoe_plate_color, {-2.24632, -1.99632}, S(2.12132), S(2.25)),
    P("horseshoe plate +x", 3, horseshoe_plate_color, {1.99632, 2.24632}, S(2.12132), S(2.25))}},
  {"tube", model_draw_tube, {
    P("hub", 3, spider_color, S(0.5), S(0.5), {-7.5, -6.5}),
    P("vane 0", 3, vane_color, S(0.025), {0.5, 1.65}, {-7.25, -6.75}),  // the first toward +Y,
    P("vane 1", 3, vane_color, {-1.65, -0.5}, S(0.025), {-7.25, -6.75}),  // the next toward -X
    P("vane 2", 3, vane_color, S(0.025), {-1.65, -0.5}, {-7.25, -6.75}),
    P("vane 3", 3, vane_color, {0.5, 1.65}, S(0.025), {-7.25, -6.75}),
    P("focuser", 1, focuser_color, kAll, kAll, {-7.3, -6.5}),
    P("tube", 1, tube_color, S(1.75), S(1.75), {-8.0, 2.5}),
    P("mirror", 3, mirror_color, S(1.5), S(1.5), {2.25, 2.5}),
    P("holder ring -z", 1, holder_color, S(2.12132), S(2.12132), {-1.75, -1.25}),
    P("collar -z", 1, holder_color, S(2.12132), S(2.12132), {-1.75, -1.25}),  // faces on axes
    P("holder ring +z", 1, holder_color, S(2.12132), S(2.12132), {1.25, 1.75}),
    P("collar +z", 1, holder_color, S(2.12132), S(2.12132), {1.25, 1.75}),
    P("holder plate -x", 3, holder_color, {-1.99632, -1.74632}, S(0.811794), S(1.64713)),
    P("holder plate +x", 3, holder_color, {1.74632, 1.99632}, S(0.811794), S(1.64713))}},
};
#undef P
// clang-format on

glrec::Float3 color3(const float (&c)[3]) {
  return {c[0], c[1], c[2]};
}

// The transformed vertices of one part, and their smallest and largest X, Y and Z.
struct Piece {
  std::vector<Vec3d> points;
  Vec3d min = {kInf, kInf, kInf}, max = {-kInf, -kInf, -kInf};
};

// Draws each body straight from a fresh GL state; checks that it leaves the matrix stack as found
// and its last part's colour current, and that it emits exactly its parts' primitives, each part in
// its colour. Returns the parts' transformed vertices by name.
std::map<std::string, Piece> draw_bodies() {
  ModelParams m{};
  model_set_default_parameters(&m);
  std::map<std::string, Piece> pieces;
  for (const auto &body : kBodies) {
    SCOPED_TRACE(body.name);
    glrec::reset();
    body.draw(&m);
    const glrec::Recording &r = glrec::recorder();
    for (const auto &e : r.errors) ADD_FAILURE() << "GL misuse: " << e;
    EXPECT_TRUE(r.stack.empty());
    EXPECT_EQ(r.matrix, glrec::identity()) << "exact comparison";
    EXPECT_EQ(r.color, color3(m.*body.parts.back().color));
    int next = 0;
    for (const Part &part : body.parts) {
      if (next + part.primitives > static_cast<int>(r.drawn.size())) {
        ADD_FAILURE() << part.name << ": fewer primitives than parts";
        return pieces;
      }
      Piece &piece = pieces[part.name];
      int off_colour = 0;
      for (const int end = next + part.primitives; next < end; ++next)
        for (const auto &v : r.drawn[next].vertices) {
          piece.points.push_back(v.pos);
          for (int i = 0; i < 3; ++i) {
            piece.min[i] = std::min(piece.min[i], v.pos[i]);
            piece.max[i] = std::max(piece.max[i], v.pos[i]);
          }
          off_colour += v.color != color3(m.*part.color);
        }
      EXPECT_EQ(off_colour, 0) << part.name << ": vertices not in its colour";
    }
    EXPECT_EQ(next, static_cast<int>(r.drawn.size())) << "more primitives than parts";
  }
  return pieces;
}

// Measures of a vertex beyond its coordinates: distance from the Z axis; angle about it from +X
// toward +Y in degrees in [90, 450), so that an arc through -Y stays in one piece (a horseshoe ring
// spanning 135..405 is open toward +Y); components along and across the direction 45 degrees from
// +X toward +Y.
enum Measure { kRadius, kArc, kOut45, kAcross45 };

std::pair<double, double> range(const Piece &piece, Measure m) {
  double lo = kInf, hi = -kInf;
  for (const Vec3d &p : piece.points) {
    const double a = std::atan2(p[1], p[0]) * 180 / kPi;
    const double value[] = {std::hypot(p[0], p[1]), a < 90 ? a + 360 : a,
                            (p[0] + p[1]) / std::sqrt(2.0), (p[1] - p[0]) / std::sqrt(2.0)};
    lo = std::min(lo, value[m]), hi = std::max(hi, value[m]);
  }
  return {lo, hi};
}

// Compares both ends of a range to six significant digits.
void expect_range(double lo, double hi, Span want) {
  EXPECT_TRUE(std::isnan(want.lo) || std::fabs(lo - want.lo) <= kSix) << lo << ", want " << want.lo;
  EXPECT_TRUE(std::isnan(want.hi) || std::fabs(hi - want.hi) <= kSix) << hi << ", want " << want.hi;
}

TEST(ModelBodies, PartsSpanTheirExtentsInTheirColoursAndBodiesLeaveTheStackAndLastColour) {
  auto pieces = draw_bodies();
  for (const auto &body : kBodies)
    for (const Part &part : body.parts)
      for (int axis = 0; axis < 3; ++axis) {
        SCOPED_TRACE(std::string(part.name) + " along " + "XYZ"[axis]);
        const Piece &got = pieces[part.name];
        expect_range(got.min[axis], got.max[axis], part.box[axis]);
      }
  // clang-format off
  const struct {
    const char *part;
    Measure measure;
    double lo, hi;
  } spans[] = {{"rocker -z", kArc, 225, 315},   {"rocker -z", kRadius, 3.51, 4.26},
               {"ring -z", kArc, 135, 405},     {"ring -z", kRadius, 3.0, 3.5},
               {"focuser", kOut45, 1.70, 2.20}, {"focuser", kAcross45, -0.4, 0.4},
               {"tube", kRadius, 1.65, 1.75},   {"holder ring -z", kRadius, 1.75, 2.12132},
               {"collar -z", kRadius, 1.89419, 2.29610}};
  // clang-format on
  for (const auto &s : spans) {
    SCOPED_TRACE(::testing::Message() << s.part << ", measure " << s.measure);
    const auto [lo, hi] = range(pieces[s.part], s.measure);
    expect_range(lo, hi, {s.lo, s.hi});
  }
  // The pads stand 120 degrees apart from +X toward +Z, their outer edges at the disc's rim.
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE("pad " + std::to_string(i));
    const Piece &b = pieces["pad " + std::to_string(i)];
    const double x = (b.min[0] + b.max[0]) / 2, z = (b.min[2] + b.max[2]) / 2;
    EXPECT_NEAR(std::hypot(x, z), 2.49924, kSix);
    EXPECT_NEAR(std::remainder(std::atan2(z, x) * 180 / kPi - 120 * i, 360), 0, 1e-4);  // degrees
    EXPECT_NEAR(std::hypot(x, z) + (b.max[0] - b.min[0]) / 2, 3.12406, kSix);
  }
}

TEST(ModelBodies, StackedPartsLeaveTheClearanceAndBearingFacesMeet) {
  auto p = draw_bodies();
  const struct {
    const char *what;
    double gap, want;
  } gaps[] = {{"platform plate to rocker", p["rocker -z"].min[1] - p["plate"].max[1], 0.01},
              {"base disc to platform plate", p["plate"].min[1] - p["disc"].max[1], 0.01},
              {"pad to base disc", p["disc"].min[1] - p["pad 0"].max[1], 0.01},
              {"horseshoe ring to rocker",
               range(p["rocker -z"], kRadius).first - range(p["ring -z"], kRadius).second, 0.01},
              {"holder plate on horseshoe plate at -x",
               p["holder plate -x"].min[0] - p["horseshoe plate -x"].max[0], 0},
              {"holder plate on horseshoe plate at +x",
               p["horseshoe plate +x"].min[0] - p["holder plate +x"].max[0], 0},
              {"mirror flush with the tube's rear end", p["tube"].max[2] - p["mirror"].max[2], 0}};
  for (const auto &g : gaps) EXPECT_NEAR(g.gap, g.want, kSix) << g.what;
}

TEST(ModelInit, CompilesTheFourBodiesIntoFourConsecutiveListsWithoutDrawing) {
  glrec::reset();
  glrec::recorder().next_list = 7;
  ModelParams *model = model_init();
  ASSERT_NE(model, nullptr);
  const glrec::Recording r = glrec::recorder();  // a copy: the bodies are recorded again below
  EXPECT_TRUE(r.drawn.empty()) << "model_init drew outside its lists";
  const GLuint ids[] = {model->base_list, model->platform_list, model->horseshoe_list,
                        model->tube_list};
  std::vector<Call> want = {{Op::kGenLists, 0, 4}};
  for (GLuint i = 0; i < 4; ++i) {
    EXPECT_EQ(ids[i], 7 + i);
    glrec::reset();
    kBodies[i].draw(model);  // straight, to compare with what the list holds
    want.push_back({Op::kNewList, GL_COMPILE, 7 + i});
    want.insert(want.end(), glrec::recorder().calls.begin(), glrec::recorder().calls.end());
    want.push_back({Op::kEndList});
  }
  EXPECT_EQ(r.calls, want);  // exact: the same calls with the same arguments
  delete model;
}

TEST(ModelInit, NoListNamesLeftGivesNoModel) {
  glrec::reset();
  glrec::recorder().gen_lists_fails = true;
  testing::internal::CaptureStderr();
  EXPECT_EQ(model_init(), nullptr);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("display lists"), std::string::npos) << err;
  for (const Call &c : glrec::recorder().calls)
    EXPECT_EQ(c.op, Op::kGenLists) << "nothing compiled without list names";
}

TEST(ModelDraw, CallsTheListsRotatedByTheAxesSoTheTubeFrontEndLiesAlongThePointingVector) {
  const struct {
    float a1, a2, a3;  // degrees
  } poses[] = {{0, 0, 0},    {90, 0, 0},     {90, 0, 137},  {0, 0, 90},
               {30, 40, 50}, {-20, 75, 300}, {60, -35, 200}};
  for (const auto &p : poses) {
    SCOPED_TRACE(::testing::Message() << "a1 " << p.a1 << " a2 " << p.a2 << " a3 " << p.a3);
    glrec::reset();
    ModelParams *model = model_init();
    ASSERT_NE(model, nullptr);
    glrec::recorder().calls.clear();
    model_draw(model, p.a1, p.a2, p.a3);
    const std::vector<Call> want = {
        {Op::kCallList, 0, model->base_list},      {Op::kRotate, 0, 0, {-p.a3, 0, 1, 0}},
        {Op::kCallList, 0, model->platform_list},  {Op::kRotate, 0, 0, {p.a2, 0, 0, 1}},
        {Op::kCallList, 0, model->horseshoe_list}, {Op::kRotate, 0, 0, {p.a1, 1, 0, 0}},
        {Op::kCallList, 0, model->tube_list}};
    EXPECT_EQ(glrec::recorder().calls, want);  // exact
    // The centre of the open front end: the mean of the tube's (the one green part's) vertices on
    // its front end, at its negative local z.
    const glrec::Float3 green = {model->tube_color[0], model->tube_color[1], model->tube_color[2]};
    Vec3d front{};
    int n = 0;
    for (const auto &primitive : glrec::recorder().drawn)
      for (const auto &v : primitive.vertices)
        if (v.color == green && v.local[2] < 0) {
          for (int i = 0; i < 3; ++i) front[i] += v.pos[i];
          ++n;
        }
    ASSERT_GT(n, 0);
    const double a1 = p.a1 * kPi / 180, a2 = p.a2 * kPi / 180, a3 = p.a3 * kPi / 180;
    const double want_front[3] = {
        std::cos(a1) * std::sin(a3) - std::sin(a1) * std::sin(a2) * std::cos(a3),
        std::sin(a1) * std::cos(a2),
        -std::cos(a1) * std::cos(a3) - std::sin(a1) * std::sin(a2) * std::sin(a3)};
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(front[i] / n, 8.0 * want_front[i], 1e-5);
    delete model;
  }
}

TEST(ModelDraw, NoModelDrawsNothing) {
  glrec::reset();
  model_draw(nullptr, 10.0f, 20.0f, 30.0f);
  EXPECT_TRUE(glrec::recorder().calls.empty());
}

}  // namespace
