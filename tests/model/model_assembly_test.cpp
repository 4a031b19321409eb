// Building the model into display lists, and posing it by the three axes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "model_test_util.h"

namespace {

using namespace model_test;
using glrec::Call;
using glrec::Op;

// The calls one body makes when drawn straight, to compare with what its list holds.
std::vector<Call> calls_of(void (*draw)(const ModelParams *)) {
  record_body(draw);
  return glrec::recorder().calls;
}

TEST(ModelInit, CompilesFourConsecutiveListsWithoutDrawing) {
  glrec::reset();
  glrec::recorder().next_list = 7;
  ModelParams *model = model_init();
  ASSERT_NE(model, nullptr);
  const glrec::Recording r = glrec::recorder();  // a copy: calls_of() below resets it
  EXPECT_TRUE(r.errors.empty());
  EXPECT_TRUE(r.drawn.empty()) << "model_init drew outside its lists";
  EXPECT_TRUE(r.stack.empty());
  EXPECT_TRUE(glrec::is_identity(r.matrix));
  EXPECT_EQ(model->base_list, 7u);
  EXPECT_EQ(model->platform_list, 8u);
  EXPECT_EQ(model->horseshoe_list, 9u);
  EXPECT_EQ(model->tube_list, 10u);

  ASSERT_FALSE(r.calls.empty());
  EXPECT_EQ(r.calls.front().op, Op::kGenLists);
  EXPECT_EQ(r.calls.front().list, 4u);
  std::vector<GLuint> compiled;
  for (const Call &c : r.calls)
    if (c.op == Op::kNewList) {
      compiled.push_back(c.list);
      EXPECT_EQ(c.mode, static_cast<GLenum>(GL_COMPILE));
    }
  EXPECT_EQ(compiled, (std::vector<GLuint>{7, 8, 9, 10}));
  const std::pair<GLuint, void (*)(const ModelParams *)> bodies[] = {{7, model_draw_base},
                                                                     {8, model_draw_platform},
                                                                     {9, model_draw_horseshoe},
                                                                     {10, model_draw_tube}};
  for (const auto &[id, draw] : bodies) {
    SCOPED_TRACE("list " + std::to_string(id));
    EXPECT_EQ(r.lists.at(id), calls_of(draw));  // exact: the same calls with the same arguments
  }
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

TEST(ModelDraw, CallsTheFourListsWithTheThreeAxisRotationsBetweenThem) {
  glrec::reset();
  ModelParams *model = model_init();
  ASSERT_NE(model, nullptr);
  glrec::clear_log();
  model_draw(model, 10.0f, 20.0f, 30.0f);
  const std::vector<Call> want = {
      Call::call_list(model->base_list),      Call::rotate(-30.0f, 0, 1, 0),
      Call::call_list(model->platform_list),  Call::rotate(20.0f, 0, 0, 1),
      Call::call_list(model->horseshoe_list), Call::rotate(10.0f, 1, 0, 0),
      Call::call_list(model->tube_list)};
  EXPECT_EQ(glrec::recorder().calls, want);  // exact
  EXPECT_TRUE(glrec::recorder().errors.empty());

  glrec::clear_log();
  model_draw(nullptr, 10.0f, 20.0f, 30.0f);
  EXPECT_TRUE(glrec::recorder().calls.empty()) << "a null model draws nothing";
  delete model;
}

struct Pose {
  float a1, a2, a3;  // degrees
};

TEST(ModelDraw, TubeFrontEndPointsAlongThePointingVector) {
  // The centre of the tube's open front end, as the tube body draws it.
  record_body(model_draw_tube);
  glrec::Vec3d front{};
  {
    // Before it: the hub (three primitives), four vanes (three each) and the focuser (one).
    const auto tube = glrec::recorder().drawn.at(16);
    ASSERT_EQ(tube.vertices.size(), 4u * 4 * 24);
    const double z_min = glrec::bounds({tube}).min[2];
    int n = 0;
    for (const auto &v : tube.vertices)
      if (v.pos[2] == z_min) front[0] += v.pos[0], front[1] += v.pos[1], front[2] += v.pos[2], ++n;
    for (double &c : front) c /= n;
  }
  EXPECT_NEAR(front[2], -8.0, 1e-6);

  const Pose poses[] = {{0, 0, 0},    {90, 0, 0},     {90, 0, 137},  {0, 0, 90},
                        {30, 40, 50}, {-20, 75, 300}, {60, -35, 200}};
  for (const Pose &p : poses) {
    SCOPED_TRACE(::testing::Message() << "a1 " << p.a1 << " a2 " << p.a2 << " a3 " << p.a3);
    glrec::reset();
    ModelParams *model = model_init();
    ASSERT_NE(model, nullptr);
    model_draw(model, p.a1, p.a2, p.a3);
    const auto &calls = glrec::recorder().list_calls;
    ASSERT_EQ(calls.size(), 4u);
    ASSERT_EQ(calls[3].first, model->tube_list);
    const glrec::Vec3d got = glrec::transform_point(calls[3].second, front);
    const double a1 = p.a1 * kPi / 180, a2 = p.a2 * kPi / 180, a3 = p.a3 * kPi / 180;
    const double want[3] = {
        std::cos(a1) * std::sin(a3) - std::sin(a1) * std::sin(a2) * std::cos(a3),
        std::sin(a1) * std::cos(a2),
        -std::cos(a1) * std::cos(a3) - std::sin(a1) * std::sin(a2) * std::sin(a3)};
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], 8.0 * want[i], 1e-5);
    delete model;
  }
}

}  // namespace
