// The simulated mount's motion in axis space.
#include "mount/mount.h"

#include <algorithm>
#include <cmath>

namespace {

// The path's progress (0 to 1) and rate at t on a trapezoid of top rate v and
// acceleration a lasting duration, t within it.
void path_at(double t, double v, double a, double duration, double *s, double *rate) {
  const double ramp = std::min(v / a, duration / 2);  // the triangle never reaches v
  const double peak = a * ramp;
  if (t < ramp) {
    *s = a * t * t / 2, *rate = a * t;
  } else if (t <= duration - ramp) {
    *s = a * ramp * ramp / 2 + peak * (t - ramp), *rate = peak;
  } else {
    const double left = duration - t;
    *s = 1 - a * left * left / 2, *rate = a * left;
  }
}

}  // namespace

MountLimits mount_default_limits() {
  MountLimits limits;
  limits.speed.fill(kMountDefaultSpeed);
  limits.acceleration.fill(kMountDefaultAcceleration);
  return limits;
}

bool mount_limits_valid(const MountLimits &limits) {
  auto valid = [](double x) { return std::isfinite(x) && x > 0 && x <= kMountMostLimit; };
  return std::all_of(limits.speed.begin(), limits.speed.end(), valid) &&
         std::all_of(limits.acceleration.begin(), limits.acceleration.end(), valid);
}

double mount_move_time(double distance, double speed, double acceleration) {
  const double d = std::fabs(distance);
  if (d >= speed * speed / acceleration) return d / speed + speed / acceleration;
  return 2 * std::sqrt(d / acceleration);
}

MountSlew mount_plan_slew(const MountAxes &from, const MountAxes &to, const MountLimits &limits) {
  MountSlew slew{from, {}, 0, 0, 0};
  slew.rate = slew.acceleration = INFINITY;
  for (int i = 0; i < 3; i++) {
    double d = to[i] - from[i];
    if (i == 2) {
      d = std::remainder(d, 360.0);
      if (d == -180.0) d = 180.0;
    }
    slew.delta[i] = d;
    if (d == 0) continue;
    slew.rate = std::min(slew.rate, limits.speed[i] / std::fabs(d));
    slew.acceleration = std::min(slew.acceleration, limits.acceleration[i] / std::fabs(d));
  }
  if (std::isfinite(slew.rate)) {
    slew.duration = mount_move_time(1, slew.rate, slew.acceleration);
  } else {
    slew.rate = slew.acceleration = 0;
  }
  return slew;
}

void mount_slew_at(const MountSlew &slew, double seconds, MountAxes *angles, MountAxes *rates) {
  double s = 1, rate = 0;
  if (slew.duration > 0) {
    const double t = seconds > 0 ? std::min(seconds, slew.duration) : 0.0;  // NaN: the start
    path_at(t, slew.rate, slew.acceleration, slew.duration, &s, &rate);
  }
  for (int i = 0; i < 3; i++) {
    (*angles)[i] = slew.from[i] + s * slew.delta[i];
    (*rates)[i] = rate * slew.delta[i];
  }
  (*angles)[2] = std::fmod((*angles)[2], 360.0);
  if ((*angles)[2] < 0) (*angles)[2] += 360.0;
}
