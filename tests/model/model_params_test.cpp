// The model's default dimensions, counts and colours.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "model/model.h"

namespace {

// Half a unit in the sixth significant digit of want.
double six_digits(double want) {
  return 0.5 * std::pow(10.0, std::floor(std::log10(std::fabs(want))) - 5);
}

GLuint ModelParams::*const kLists[] = {&ModelParams::base_list, &ModelParams::platform_list,
                                       &ModelParams::horseshoe_list, &ModelParams::tube_list};

TEST(ModelDefaults, EveryFieldHoldsItsDefaultWhateverTheStorageHeldAndListIdsAreKept) {
  for (int fill : {0x00, 0xff, 0x5a}) {
    SCOPED_TRACE("storage filled with byte " + std::to_string(fill));
    ModelParams m;
    std::memset(&m, fill, sizeof m);
    for (int i = 0; i < 4; ++i) m.*kLists[i] = 1000 + i;
    model_set_default_parameters(&m);
    // Counts are whole numbers, so six significant digits compare them exactly.
    // clang-format off
#define D(field, want) {#field, static_cast<double>(m.field), want}
    const struct {
      const char *name;
      double got, want;
    } values[] = {
      D(clearance, 0.01), D(tube_length, 10.5), D(tube_radius, 1.75), D(tube_wall_thickness, 0.1),
      D(tube_sides, 24), D(tube_front_offset, 8.0), D(mirror_thickness, 0.25),
      D(mirror_radius, 1.5), D(mirror_sides, 24), D(spider_inset, 1.0), D(spider_hub_length, 1.0),
      D(spider_hub_radius, 0.5), D(spider_hub_sides, 24), D(vane_count, 4), D(vane_hub_width, 0.5),
      D(vane_wall_width, 0.25), D(vane_thickness, 0.05), D(focuser_length, 0.5),
      D(focuser_radius, 0.4), D(focuser_wall_thickness, 0.05), D(focuser_sides, 24),
      D(focuser_angle, 45.0), D(horseshoe_sides, 24), D(horseshoe_segments, 18),
      D(horseshoe_radius, 3.5), D(horseshoe_thickness, 0.5), D(horseshoe_width, 0.5),
      D(horseshoe_separation, 5.0), D(platform_sides, 4), D(platform_radius, 4.41875),
      D(platform_thickness, 0.5), D(rocker_support_height, 0.6), D(rocker_sides, 24),
      D(rocker_segments, 6), D(rocker_thickness, 0.75), D(rocker_radius, 4.26),
      D(rocker_width, 0.75), D(horseshoe_plate_thickness, 0.25), D(horseshoe_plate_x_max, 2.25),
      D(horseshoe_plate_x_min, -2.25), D(horseshoe_plate_y_max, 2.12132),
      D(horseshoe_plate_y_min, -2.12132), D(horseshoe_plate_offset, 2.12132),
      D(holder_octagon_sides, 8), D(holder_ring_sides, 24), D(holder_octagon_radius, 2.29610),
      D(holder_octagon_thickness, 0.401914), D(holder_width, 0.5), D(holder_offset, 1.5),
      D(holder_plate_thickness, 0.25), D(holder_plate_x_max, 1.64713),
      D(holder_plate_x_min, -1.64713), D(holder_plate_y_max, 0.811794),
      D(holder_plate_y_min, -0.811794), D(holder_plate_offset, 1.87132), D(base_sides, 24),
      D(base_radius, 3.12406), D(base_thickness, 0.5), D(pad_count, 3), D(pad_sides, 24),
      D(pad_radius, 0.624811), D(pad_thickness, 0.25)};
#undef D
    // Colours in 256ths, compared exactly.
#define C(field, r, g, b) {#field, m.field, {r / 256.0f, g / 256.0f, b / 256.0f}}
    const struct {
      const char *name;
      const float *got;
      float want[3];
    } colors[] = {
      C(tube_color, 62, 148, 0), C(mirror_color, 234, 232, 227), C(spider_color, 0, 62, 148),
      C(vane_color, 0, 62, 148), C(focuser_color, 0, 62, 148), C(horseshoe_color, 148, 85, 0),
      C(platform_color, 85, 0, 148), C(rocker_color, 85, 0, 148),
      C(horseshoe_plate_color, 148, 85, 0), C(holder_color, 0, 62, 148), C(base_color, 0, 62, 148),
      C(pad_color, 148, 85, 0)};
#undef C
    // clang-format on
    for (const auto &v : values) EXPECT_NEAR(v.got, v.want, six_digits(v.want)) << v.name;
    for (const auto &c : colors)
      for (int k = 0; k < 3; ++k) EXPECT_EQ(c.got[k], c.want[k]) << c.name;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(m.*kLists[i], 1000u + i) << "list id " << i;
  }
}

TEST(ModelDefaults, ColourPairsAreEqualButSeparateCopies) {
  ModelParams m{};
  model_set_default_parameters(&m);
  const std::pair<float *, float *> pairs[] = {{m.spider_color, m.vane_color},
                                               {m.platform_color, m.rocker_color},
                                               {m.horseshoe_color, m.horseshoe_plate_color}};
  for (const auto &[a, b] : pairs) {
    EXPECT_EQ(std::memcmp(a, b, 3 * sizeof(float)), 0);
    a[0] = 0.5f;  // writing one leaves the other alone
    EXPECT_NE(a[0], b[0]);
  }
}

}  // namespace
