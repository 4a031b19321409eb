// The simulated mount's motion in axis space, with no toolkit and no clock:
// each axis turns within its own top speed and acceleration, and a slew moves
// all three along one straight line in (a1, a2, a3), so that they start and
// finish together. Angles are degrees, times seconds.
#pragma once

#include <array>

using MountAxes = std::array<double, 3>;  // a1, a2, a3, or one value per axis

// Every axis by default: a top speed of 5 degrees a second, reached in two
// seconds.
constexpr double kMountDefaultSpeed = 5.0;         // degrees per second
constexpr double kMountDefaultAcceleration = 2.5;  // degrees per second squared
// Limits are taken from (0, kMountMostLimit].
constexpr double kMountMostLimit = 90.0;

struct MountLimits {
  MountAxes speed;         // top speed of a1, a2, a3, degrees per second
  MountAxes acceleration;  // their acceleration and deceleration, degrees per second squared
};

// The default limits on every axis.
MountLimits mount_default_limits();

// True where every speed and acceleration is finite and in (0, kMountMostLimit].
bool mount_limits_valid(const MountLimits &limits);

// Seconds that one axis takes to turn through distance degrees (its sign
// ignored) from rest to rest: up at acceleration, at most speed, down at
// acceleration; a triangle where the distance is shorter than
// speed^2 / acceleration, when the top speed is never reached. 0 for a
// distance of 0; speed and acceleration must be positive.
double mount_move_time(double distance, double speed, double acceleration);

// A slew in axis space: the axes run from `from` by `delta` along a straight
// line, each at (path rate) * |its delta|, the path running from 0 to 1 on one
// trapezoidal profile whose rate and acceleration are the largest every axis
// allows. So the axis that needs longest sets the time and none exceeds its
// limits.
struct MountSlew {
  MountAxes from;       // axis angles at the start, degrees
  MountAxes delta;      // each axis's turn, degrees; a3's in (-180, 180]
  double rate;          // the path's top rate, per second
  double acceleration;  // the path's acceleration, per second squared
  double duration;      // seconds from rest to rest; 0 where nothing moves
};

// Plans the slew from one pose to another (degrees: a1 in [0, 180], a2 in
// [-90, 90], a3 any; a3 goes the shorter way round, half a turn going up)
// within limits, which must be valid.
MountSlew mount_plan_slew(const MountAxes &from, const MountAxes &to, const MountLimits &limits);

// The pose (degrees; a3 wrapped into [0, 360)) and each axis's rate (degrees
// per second, signed) at seconds since the slew began, taken within
// [0, slew.duration]: at the start before it, at the end after it.
void mount_slew_at(const MountSlew &slew, double seconds, MountAxes *angles, MountAxes *rates);
