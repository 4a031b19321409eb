// The shapes each body of the mount draws, measured from the vertices it emits, transformed by its
// own matrix operations.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "model_test_util.h"

namespace {

using namespace model_test;
using glrec::Vec3d;

std::pair<double, double> along(const Piece &p, int axis) {
  return {p.box.min[axis], p.box.max[axis]};
}

void expect_range(std::pair<double, double> got, double lo, double hi, const std::string &what) {
  EXPECT_NEAR(got.first, lo, kSix) << what << ", low end";
  EXPECT_NEAR(got.second, hi, kSix) << what << ", high end";
}

// Range of the vertices' components along and across the direction at angle deg about Z.
std::pair<double, double> along_direction(const Piece &p, double deg) {
  const double a = deg * kPi / 180;
  return p.range([&](const Vec3d &v) { return v[0] * std::cos(a) + v[1] * std::sin(a); });
}
std::pair<double, double> across_direction(const Piece &p, double deg) {
  return along_direction(p, deg + 90);
}

std::vector<Piece> base_pieces() {
  record_body(model_draw_base);
  return split_pieces({{"disc", Solid::kPrism},
                       {"pad 0", Solid::kPrism},
                       {"pad 1", Solid::kPrism},
                       {"pad 2", Solid::kPrism}});
}

std::vector<Piece> platform_pieces() {
  record_body(model_draw_platform);
  return split_pieces({{"rocker at z -2.5", Solid::kRing},
                       {"rocker at z +2.5", Solid::kRing},
                       {"support at z -2.5, -X side", Solid::kExtrusion},
                       {"support at z -2.5, +X side", Solid::kExtrusion},
                       {"support at z +2.5, -X side", Solid::kExtrusion},
                       {"support at z +2.5, +X side", Solid::kExtrusion},
                       {"plate", Solid::kPrism}});
}

std::vector<Piece> horseshoe_pieces() {
  record_body(model_draw_horseshoe);
  return split_pieces({{"ring at z -2.5", Solid::kRing},
                       {"ring at z +2.5", Solid::kRing},
                       {"plate at -X", Solid::kExtrusion},
                       {"plate at +X", Solid::kExtrusion}});
}

std::vector<Piece> tube_pieces() {
  record_body(model_draw_tube);
  return split_pieces({{"hub", Solid::kPrism},
                       {"vane 0", Solid::kExtrusion},
                       {"vane 1", Solid::kExtrusion},
                       {"vane 2", Solid::kExtrusion},
                       {"vane 3", Solid::kExtrusion},
                       {"focuser", Solid::kRing},
                       {"tube", Solid::kRing},
                       {"mirror", Solid::kPrism},
                       {"holder ring at z -1.5", Solid::kRing},
                       {"collar at z -1.5", Solid::kRing},
                       {"holder ring at z +1.5", Solid::kRing},
                       {"collar at z +1.5", Solid::kRing},
                       {"holder plate at -X", Solid::kExtrusion},
                       {"holder plate at +X", Solid::kExtrusion}});
}

TEST(ModelBase, DiscRestsOnThreePadsAtItsRim) {
  const auto pieces = base_pieces();
  ASSERT_EQ(pieces.size(), 4u);
  const Piece &disc = pieces[0];
  expect_range(along(disc, 1), -5.28, -4.78, "disc height");
  expect_range(along(disc, 0), -3.12406, 3.12406, "disc across X");
  expect_range(along(disc, 2), -3.12406, 3.12406, "disc across Z");
  EXPECT_EQ(disc.color, color3(defaults().base_color));
  for (int i = 0; i < 3; ++i) {
    const Piece &pad = pieces[1 + i];
    SCOPED_TRACE(pad.name);
    const double cx = (pad.box.min[0] + pad.box.max[0]) / 2,
                 cz = (pad.box.min[2] + pad.box.max[2]) / 2;
    EXPECT_NEAR(std::hypot(cx, cz), 2.49924, kSix);
    EXPECT_NEAR(std::remainder(std::atan2(cz, cx) * 180 / kPi - 120 * i, 360), 0, 1e-4);  // degrees
    EXPECT_NEAR(std::hypot(cx, cz) + (pad.box.max[0] - pad.box.min[0]) / 2, 3.12406, kSix)
        << "outer edge at the disc's rim";
    expect_range(along(pad, 1), -5.54, -5.29, "pad height");
    EXPECT_EQ(pad.color, color3(defaults().pad_color));
  }
}

TEST(ModelPlatform, RockersHangBelowTheRingsOnSupportsAndASquarePlate) {
  const auto pieces = platform_pieces();
  ASSERT_EQ(pieces.size(), 7u);
  for (int k = 0; k < 2; ++k) {
    const Piece &rocker = pieces[k];
    SCOPED_TRACE(rocker.name);
    const double z = k == 0 ? -2.5 : 2.5;
    expect_range(rocker.range(angle_z), 225, 315, "arc, degrees from +X toward +Y");
    expect_range(rocker.range(radial_z), 3.51, 4.26, "radii");
    EXPECT_NEAR(rocker.box.min[1], -4.26, kSix) << "lowest point";
    expect_range(along(rocker, 2), z - 0.375, z + 0.375, "width");
    EXPECT_EQ(rocker.color, color3(defaults().rocker_color));
  }
  for (int k = 0; k < 4; ++k) {
    const Piece &support = pieces[2 + k];
    SCOPED_TRACE(support.name);
    const double z = k < 2 ? -2.5 : 2.5;
    if (k % 2 == 0) {
      expect_range(along(support, 0), -3.12450, 0, "reach");
    } else {
      expect_range(along(support, 0), 0, 3.12450, "reach");
    }
    expect_range(along(support, 1), -4.26, -3.23574, "height");
    expect_range(along(support, 2), z - 0.3, z + 0.3, "thickness");
    EXPECT_EQ(support.color, color3(defaults().platform_color));
  }
  const Piece &plate = pieces[6];
  expect_range(along(plate, 1), -4.77, -4.27, "plate height");
  expect_range(along(plate, 0), -3.12453, 3.12453, "plate along X");
  expect_range(along(plate, 2), -3.12453, 3.12453, "plate along Z");
  EXPECT_EQ(plate.color, color3(defaults().platform_color));
}

TEST(ModelHorseshoe, RingsOpenTowardPlusYBetweenTwoSidePlates) {
  const auto pieces = horseshoe_pieces();
  ASSERT_EQ(pieces.size(), 4u);
  for (int k = 0; k < 2; ++k) {
    const Piece &ring = pieces[k];
    SCOPED_TRACE(ring.name);
    const double z = k == 0 ? -2.5 : 2.5;
    // The drawn arc runs from 135 degrees round through -Y to 45: the opening is centred on +Y.
    const auto shifted = ring.range([](const Vec3d &p) {
      const double a = angle_z(p);
      return a < 90 ? a + 360 : a;
    });
    expect_range(shifted, 135, 405, "arc, degrees from +X toward +Y");
    expect_range(ring.range(radial_z), 3.0, 3.5, "radii");
    expect_range(along(ring, 2), z - 0.25, z + 0.25, "width");
    EXPECT_EQ(ring.color, color3(defaults().horseshoe_color));
  }
  for (int k = 0; k < 2; ++k) {
    const Piece &plate = pieces[2 + k];
    SCOPED_TRACE(plate.name);
    const double s = k == 0 ? -1 : 1;
    expect_range(along(plate, 0), s < 0 ? -2.24632 : 1.99632, s < 0 ? -1.99632 : 2.24632,
                 "thickness about x = +-2.12132");
    expect_range(along(plate, 1), -2.12132, 2.12132, "height");
    expect_range(along(plate, 2), -2.25, 2.25, "from ring to ring");
    EXPECT_EQ(plate.color, color3(defaults().horseshoe_plate_color));
  }
}

TEST(ModelTube, TubeRunsFromItsFrontEndToTheMirrorFlushAtTheRear) {
  const auto pieces = tube_pieces();
  ASSERT_EQ(pieces.size(), 14u);
  const Piece &tube = pieces[6], &mirror = pieces[7];
  expect_range(along(tube, 2), -8.0, 2.5, "tube");
  expect_range(tube.range(radial_z), 1.65, 1.75, "tube radii");
  expect_range(along(mirror, 2), 2.25, 2.5, "mirror");
  EXPECT_NEAR(mirror.box.max[2], tube.box.max[2], 1e-6) << "mirror flush with the rear end";
  EXPECT_NEAR(mirror.range(radial_z).second, 1.5, kSix);
  EXPECT_EQ(tube.color, color3(defaults().tube_color));
  EXPECT_EQ(mirror.color, color3(defaults().mirror_color));
}

TEST(ModelTube, SpiderVanesStandAtRightAnglesFromPlusYAndTheFocuserAt45Degrees) {
  const auto pieces = tube_pieces();
  ASSERT_EQ(pieces.size(), 14u);
  const Piece &hub = pieces[0];
  expect_range(along(hub, 2), -7.5, -6.5, "hub");
  EXPECT_NEAR(hub.range(radial_z).second, 0.5, kSix);
  for (int i = 0; i < 4; ++i) {
    const Piece &vane = pieces[1 + i];
    SCOPED_TRACE(vane.name);
    const double deg = 90 + 90 * i;  // first toward +Y, the next toward -X
    expect_range(along_direction(vane, deg), 0.5, 1.65, "from hub to bore");
    expect_range(across_direction(vane, deg), -0.025, 0.025, "thickness");
    expect_range(along(vane, 2), -7.25, -6.75, "width at the hub");
    EXPECT_EQ(vane.color, color3(defaults().vane_color));
  }
  const Piece &focuser = pieces[5];
  expect_range(along_direction(focuser, 45), 1.70, 2.20, "focuser, out from the tube axis");
  expect_range(across_direction(focuser, 45), -0.4, 0.4, "focuser, across");
  expect_range(along(focuser, 2), -7.3, -6.5, "focuser along the tube");
  EXPECT_EQ(hub.color, color3(defaults().spider_color));
  EXPECT_EQ(focuser.color, color3(defaults().focuser_color));
}

TEST(ModelTube, HolderClampsTheTubeWithCollarsAndSidePlates) {
  const auto pieces = tube_pieces();
  ASSERT_EQ(pieces.size(), 14u);
  for (int k = 0; k < 2; ++k) {
    const double z = k == 0 ? -1.5 : 1.5;
    const Piece &ring = pieces[8 + 2 * k], &collar = pieces[9 + 2 * k];
    SCOPED_TRACE(ring.name);
    expect_range(along(ring, 2), z - 0.25, z + 0.25, "ring");
    expect_range(ring.range(radial_z), 1.75, 2.12132, "ring radii: its bore is the tube");
    expect_range(along(collar, 2), z - 0.25, z + 0.25, "collar");
    expect_range(collar.range(radial_z), 1.89419, 2.29610, "collar corner radii");
    expect_range(along(collar, 0), -2.12132, 2.12132, "collar faces toward +-X");
    expect_range(along(collar, 1), -2.12132, 2.12132, "collar faces toward +-Y");
  }
  for (int k = 0; k < 2; ++k) {
    const Piece &plate = pieces[12 + k];
    SCOPED_TRACE(plate.name);
    const double s = k == 0 ? -1 : 1;
    expect_range(along(plate, 0), s < 0 ? -1.99632 : 1.74632, s < 0 ? -1.74632 : 1.99632,
                 "thickness about x = +-1.87132");
    expect_range(along(plate, 1), -0.811794, 0.811794, "height");
    expect_range(along(plate, 2), -1.64713, 1.64713, "length");
  }
  for (int k = 8; k < 14; ++k) EXPECT_EQ(pieces[k].color, color3(defaults().holder_color));
}

TEST(ModelFit, StackedPartsLeaveTheClearanceAndTheHolderBearsOnTheHorseshoePlates) {
  const auto base = base_pieces();
  const auto platform = platform_pieces();
  const auto horseshoe = horseshoe_pieces();
  const auto tube = tube_pieces();
  ASSERT_EQ(base.size() + platform.size() + horseshoe.size() + tube.size(), 29u);
  const Piece &disc = base[0], &pad = base[1], &rocker = platform[0], &plate = platform[6];
  EXPECT_NEAR(rocker.box.min[1] - plate.box.max[1], 0.01, kSix) << "platform to rocker";
  EXPECT_NEAR(plate.box.min[1] - disc.box.max[1], 0.01, kSix) << "base to platform";
  EXPECT_NEAR(disc.box.min[1] - pad.box.max[1], 0.01, kSix) << "pads to base";
  EXPECT_NEAR(rocker.range(radial_z).first - horseshoe[0].range(radial_z).second, 0.01, kSix)
      << "horseshoe ring to rocker";
  // Outer faces of the holder plates on the inner faces of the horseshoe plates.
  EXPECT_NEAR(tube[12].box.min[0], horseshoe[2].box.max[0], kSix);
  EXPECT_NEAR(tube[13].box.max[0], horseshoe[3].box.min[0], kSix);
  EXPECT_NEAR(tube[13].box.max[0], 1.99632, kSix);
}

struct BodyCase {
  const char *name;
  void (*draw)(const ModelParams *);
  const float *last_color;
};

TEST(ModelBodies, EachLeavesTheMatrixStackAsFoundAndItsLastColourCurrent) {
  const ModelParams &m = defaults();
  const BodyCase cases[] = {{"base", model_draw_base, m.pad_color},
                            {"platform", model_draw_platform, m.platform_color},
                            {"horseshoe", model_draw_horseshoe, m.horseshoe_plate_color},
                            {"tube", model_draw_tube, m.holder_color}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    record_body(c.draw);
    const glrec::Recording &r = glrec::recorder();
    for (const auto &e : r.errors) ADD_FAILURE() << "GL misuse: " << e;
    EXPECT_TRUE(r.stack.empty());
    EXPECT_TRUE(glrec::is_identity(r.matrix)) << "exact comparison";
    EXPECT_EQ(r.color, (glrec::Float3{c.last_color[0], c.last_color[1], c.last_color[2]}));
  }
}

}  // namespace
