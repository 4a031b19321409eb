// The model's default dimensions, counts and colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "model/model.h"

namespace {

// Half a unit in the sixth significant digit of want.
double six_digits(double want) {
  return 0.5 * std::pow(10.0, std::floor(std::log10(std::fabs(want))) - 5);
}

// Each row carries the field's position in the record (1-based), so that the tables together
// also check the record's order and that no field is forgotten.
struct FloatDefault {
  int position;
  const char *name;
  float ModelParams::*field;
  double want;
};
struct IntDefault {
  int position;
  const char *name;
  int ModelParams::*field;
  int want;
};
struct ColorDefault {
  int position;
  const char *name;
  float (ModelParams::*field)[3];
  float want[3];
};

#define F(pos, name, want) \
  { pos, #name, &ModelParams::name, want }
const FloatDefault kFloats[] = {
    F(1, clearance, 0.01),
    F(2, tube_length, 10.5),
    F(3, tube_radius, 1.75),
    F(4, tube_wall_thickness, 0.1),
    F(6, tube_front_offset, 8.0),
    F(8, mirror_thickness, 0.25),
    F(9, mirror_radius, 1.5),
    F(12, spider_inset, 1.0),
    F(13, spider_hub_length, 1.0),
    F(14, spider_hub_radius, 0.5),
    F(17, vane_hub_width, 0.5),
    F(18, vane_wall_width, 0.25),
    F(19, vane_thickness, 0.05),
    F(22, focuser_length, 0.5),
    F(23, focuser_radius, 0.4),
    F(24, focuser_wall_thickness, 0.05),
    F(26, focuser_angle, 45.0),
    F(30, horseshoe_radius, 3.5),
    F(31, horseshoe_thickness, 0.5),
    F(32, horseshoe_width, 0.5),
    F(33, horseshoe_separation, 5.0),
    F(36, platform_radius, 4.41875),
    F(37, platform_thickness, 0.5),
    F(39, rocker_support_height, 0.6),
    F(42, rocker_thickness, 0.75),
    F(43, rocker_radius, 4.26),
    F(44, rocker_width, 0.75),
    F(46, horseshoe_plate_thickness, 0.25),
    F(47, horseshoe_plate_x_max, 2.25),
    F(48, horseshoe_plate_x_min, -2.25),
    F(49, horseshoe_plate_y_max, 2.12132),
    F(50, horseshoe_plate_y_min, -2.12132),
    F(51, horseshoe_plate_offset, 2.12132),
    F(55, holder_octagon_radius, 2.29610),
    F(56, holder_octagon_thickness, 0.401914),
    F(57, holder_width, 0.5),
    F(58, holder_offset, 1.5),
    F(59, holder_plate_thickness, 0.25),
    F(60, holder_plate_x_max, 1.64713),
    F(61, holder_plate_x_min, -1.64713),
    F(62, holder_plate_y_max, 0.811794),
    F(63, holder_plate_y_min, -0.811794),
    F(64, holder_plate_offset, 1.87132),
    F(67, base_radius, 3.12406),
    F(68, base_thickness, 0.5),
    F(72, pad_radius, 0.624811),
    F(73, pad_thickness, 0.25),
};
const IntDefault kInts[] = {
    F(5, tube_sides, 24),           F(10, mirror_sides, 24),
    F(15, spider_hub_sides, 24),    F(16, vane_count, 4),
    F(25, focuser_sides, 24),       F(28, horseshoe_sides, 24),
    F(29, horseshoe_segments, 18),  F(35, platform_sides, 4),
    F(40, rocker_sides, 24),        F(41, rocker_segments, 6),
    F(53, holder_octagon_sides, 8), F(54, holder_ring_sides, 24),
    F(66, base_sides, 24),          F(70, pad_count, 3),
    F(71, pad_sides, 24),
};
#undef F

// Colours in 256ths.
#define C(pos, name, r, g, b)            \
  {                                      \
    pos, #name, &ModelParams::name, {    \
      r / 256.0f, g / 256.0f, b / 256.0f \
    }                                    \
  }
const ColorDefault kColors[] = {
    C(7, tube_color, 62, 148, 0),
    C(11, mirror_color, 234, 232, 227),
    C(20, spider_color, 0, 62, 148),
    C(21, vane_color, 0, 62, 148),
    C(27, focuser_color, 0, 62, 148),
    C(34, horseshoe_color, 148, 85, 0),
    C(38, platform_color, 85, 0, 148),
    C(45, rocker_color, 85, 0, 148),
    C(52, horseshoe_plate_color, 148, 85, 0),
    C(65, holder_color, 0, 62, 148),
    C(69, base_color, 0, 62, 148),
    C(74, pad_color, 148, 85, 0),
};
#undef C

GLuint ModelParams::*const kLists[] = {&ModelParams::base_list, &ModelParams::platform_list,
                                       &ModelParams::horseshoe_list, &ModelParams::tube_list};

TEST(ModelDefaults, EveryFieldHoldsItsDefaultWhateverTheStorageHeld) {
  for (int fill : {0x00, 0xff, 0x5a}) {
    SCOPED_TRACE("storage filled with byte " + std::to_string(fill));
    ModelParams m;
    std::memset(&m, fill, sizeof m);
    for (int i = 0; i < 4; ++i) m.*kLists[i] = 1000 + i;
    model_set_default_parameters(&m);
    for (const auto &c : kFloats) EXPECT_NEAR(m.*c.field, c.want, six_digits(c.want)) << c.name;
    for (const auto &c : kInts) EXPECT_EQ(m.*c.field, c.want) << c.name;
    for (const auto &c : kColors)
      for (int k = 0; k < 3; ++k) EXPECT_EQ((m.*c.field)[k], c.want[k]) << c.name;  // exact 256ths
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

TEST(ModelDefaults, FieldsLieInRecordOrderWithNoneMissing) {
  ModelParams m{};
  const char *base = reinterpret_cast<const char *>(&m);
  auto offset = [&](const auto &member) { return reinterpret_cast<const char *>(&member) - base; };
  std::vector<std::pair<int, long>> at;  // position, byte offset
  for (const auto &c : kFloats) at.emplace_back(c.position, offset(m.*c.field));
  for (const auto &c : kInts) at.emplace_back(c.position, offset(m.*c.field));
  for (const auto &c : kColors) at.emplace_back(c.position, offset(m.*c.field));
  for (int i = 0; i < 4; ++i) at.emplace_back(75 + i, offset(m.*kLists[i]));
  std::sort(at.begin(), at.end());
  ASSERT_EQ(at.size(), 78u);
  for (size_t i = 0; i < at.size(); ++i) EXPECT_EQ(at[i].first, static_cast<int>(i + 1));
  for (size_t i = 1; i < at.size(); ++i)
    EXPECT_LT(at[i - 1].second, at[i].second) << "field " << at[i].first;
}

}  // namespace
