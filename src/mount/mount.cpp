// The simulated mount's motion in axis space.
#include "mount/mount.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "geometry/coord.h"
#include "sky/sky.h"

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

double mount_wrap360(double x) {
  x = std::fmod(x, 360.0);
  if (x < 0) x += 360.0;
  return x >= 360.0 ? 0.0 : x;
}

double mount_wrap_ha(double h) {
  h = std::remainder(h, 360.0);
  return h == -180.0 ? 180.0 : h;
}

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

// ---- The simulated mount ----

namespace {

constexpr double kDeg = kCoordPi / 180.0;
// The longest piece of a step while the axes lag their place, seconds, and
// the most hour angle a piece of tracking may turn, degrees.
constexpr double kLaggingPiece = 0.1;
constexpr double kTrackingPiece = 1.0;
// The longest guide pulse taken, seconds.
constexpr double kLongestPulse = 10.0;

bool tracking(const Mount &m) {
  return m.activity == MountActivity::kTracking;
}
// Parked, or on the way there: nothing but Stop, Unpark or a hand moves it.
bool held_by_park(const Mount &m) {
  return m.activity == MountActivity::kParked || m.activity == MountActivity::kParking;
}

bool on_path(const Mount &m) {
  return mount_on_path(m);
}

MountAxes pose_of(const Mount &m, double ha, double dec) {
  return mount_place_pose(m, ha, dec);
}

bool below(const Mount &m, const MountAxes &axes) {
  return mount_altitude(axes) < m.min_altitude - 1e-9;
}

// Local sidereal time at time, degrees.
bool lst_at(const Mount &m, double time, double *lst) {
  double last;
  if (!sky_local_sidereal_time(sky_time_from_unix(time), m.longitude * kDeg, &last)) return false;
  *lst = last / kDeg;
  return true;
}

// The place becomes the pose's own: wherever the axes stop off a place.
void hold_pose(Mount *m) {
  mount_pointing(*m, &m->ha, &m->dec, &m->frot);
}

// From rest the place is the pose's own already, to the digit that the
// caller may have given it (see mount_place).
void begin_follow(Mount *m) {
  m->following = true;
}

// The axes stop where they are.
void stop_axes(Mount *m) {
  if (m->lag_axis >= 0) hold_pose(m);
  m->rates = {0, 0, 0};
  m->following = false;
  m->lag_axis = -1, m->lag = 0;
}

void end_path(Mount *m) {
  const bool on_a_path = on_path(*m);
  m->making_up = false;
  m->activity = MountActivity::kIdle;
  m->slew = MountSlew{m->axes, {}, 0, 0, 0};
  m->rates = {0, 0, 0};
  if (on_a_path) hold_pose(m);
}

// Moves each axis toward want over dt within speed and acceleration (limits
// times r, r squared in time-lapse), landing on it where the limits allow;
// otherwise at most the speed, braking so as not to overshoot. Where the axes
// separately would dip below the altitude limit, they go the same fraction of
// the way along the straight line to want instead, which stays above it.
void chase(Mount *m, const MountAxes &want, double dt, double r) {
  const MountAxes start = m->axes;
  MountAxes error, next = start, rates = m->rates;
  int lag_axis = -1;
  double worst = 0;
  for (int i = 0; i < 3; i++) {
    const double speed = m->limits.speed[i] * r, accel = m->limits.acceleration[i] * r * r;
    double e = want[i] - start[i];
    if (i == 2) e = std::remainder(e, 360.0);
    error[i] = e;
    const double need = e / dt;
    if (std::fabs(need) <= speed && std::fabs(need - m->rates[i]) <= accel * dt) {
      next[i] = start[i] + e, rates[i] = need;
      continue;
    }
    const double aim = std::copysign(std::min(speed, std::sqrt(2 * accel * std::fabs(e))), e);
    double v = m->rates[i] + std::clamp(aim - m->rates[i], -accel * dt, accel * dt);
    v = std::clamp(v, -speed, speed);
    double moved = (m->rates[i] + v) / 2 * dt;
    if (moved * e > 0 && std::fabs(moved) > std::fabs(e)) moved = e;
    next[i] = start[i] + moved, rates[i] = v;
    const double behind = std::fabs(e - moved) / speed;
    if (behind > worst) worst = behind, lag_axis = i;
  }
  next[0] = std::clamp(next[0], 0.0, 180.0);
  next[1] = std::clamp(next[1], -90.0, 90.0);
  next[2] = mount_wrap360(next[2]);
  if (below(*m, next)) {
    double f = 1;
    for (int i = 0; i < 3; i++) {
      const double moved = std::remainder(next[i] - start[i], 360.0);
      if (error[i] != 0) f = std::min(f, std::max(0.0, moved / error[i]));
    }
    for (int i = 0; i < 3; i++) next[i] = start[i] + f * error[i];
    next[2] = mount_wrap360(next[2]);
  }
  m->axes = next;
  m->rates = rates;
  m->lag_axis = lag_axis;
  m->lag = 0;
  if (lag_axis >= 0) {
    double ha, dec, frot, want_ha, want_dec;
    mount_pointing(*m, &ha, &dec, &frot);
    coord_a3_to_eq(&want_ha, &want_dec, want[0] * kDeg, want[1] * kDeg, want[2] * kDeg,
                   m->latitude * kDeg);
    const double c = std::sin(dec * kDeg) * std::sin(want_dec) +
                     std::cos(dec * kDeg) * std::cos(want_dec) * std::cos(ha * kDeg - want_ha);
    m->lag = std::acos(std::clamp(c, -1.0, 1.0)) / kDeg;
  }
}

// A piece of a step while following the place: the sky, moves and pulses move
// the place, and the axes chase its pose.
MountEvent follow_piece(Mount *m, double dt) {
  MountEvent event = MountEvent::kNone;
  const double r = tracking(*m) ? m->track_rate : 1.0;
  double ha = m->ha, dec = m->dec;
  if (tracking(*m) || m->making_up) ha += r * kMountSiderealRate * dt;
  if (tracking(*m)) m->lapse += (r - 1) * dt;
  if (m->moving) {
    const double s = m->move_speed * dt;
    dec += ((m->moving & kMountNorth) ? s : 0) - ((m->moving & kMountSouth) ? s : 0);
    ha += ((m->moving & kMountWest) ? s : 0) - ((m->moving & kMountEast) ? s : 0);
  }
  for (int i = 0; i < 4; i++) {
    const double g = std::min(m->guide_left[i], dt) * kMountGuideRate;
    m->guide_left[i] = std::max(0.0, m->guide_left[i] - dt);
    const double sign[4] = {1, -1, -1, 1};
    (i < 2 ? dec : ha) += sign[i] * g;
  }
  dec = std::clamp(dec, -90.0, 90.0);
  ha = mount_wrap_ha(ha);
  MountAxes want = pose_of(*m, ha, dec);
  if (below(*m, want)) {
    // The place stops at the limit; tracking, which would carry it further
    // down, ends there.
    if (tracking(*m) || m->making_up) {
      m->activity = MountActivity::kIdle, m->making_up = false, event = MountEvent::kSet;
    }
    want = pose_of(*m, m->ha, m->dec);
  } else {
    m->ha = ha, m->dec = dec;
  }
  chase(m, want, dt, r);
  m->time += dt;
  if (m->making_up && m->lag_axis < 0) {
    // On the place, within what the limits allow in a step: the slew ends.
    m->making_up = false;
    m->activity = MountActivity::kTracking;
    m->lapse = 0;
    event = MountEvent::kArrived;
  }
  const bool pulsing =
      std::any_of(m->guide_left.begin(), m->guide_left.end(), [](double left) { return left > 0; });
  if (!tracking(*m) && !m->moving && !pulsing && m->lag_axis < 0) {
    m->following = false;
    m->rates = {0, 0, 0};
  }
  return event;
}

// A piece of a step on a slew's or a park's path, up to its end at most.
MountEvent path_piece(Mount *m, double dt) {
  const double end = m->slew_start + m->slew.duration;
  if (m->time + dt < end) {
    m->time += dt;
    mount_slew_at(m->slew, m->time - m->slew_start, &m->axes, &m->rates);
    return MountEvent::kNone;
  }
  mount_slew_at(m->slew, m->slew.duration, &m->axes, &m->rates);
  m->time = std::max(m->time, end);
  if (m->activity == MountActivity::kParking) {
    end_path(m);
    m->activity = MountActivity::kParked;
    return MountEvent::kParked;
  }
  const bool to_place = m->slew_to_place;
  double lst;
  if (!to_place || !lst_at(*m, m->time, &lst)) {
    end_path(m);
    return MountEvent::kArrived;
  }
  // On the pose aimed at: from here the place itself, turning with the sky,
  // is chased, which makes up what the estimate of the arrival missed; the
  // slew ends once the axes are on it, and tracking at x1 goes on.
  m->slew = MountSlew{m->axes, {}, 0, 0, 0};
  m->rates = {0, 0, 0};
  m->ha = mount_wrap_ha(lst - m->target_ra), m->dec = m->target_dec;
  m->following = true;
  m->making_up = true;
  m->track_rate = 1;
  return MountEvent::kNone;
}

// Plans a slew from the pose now to axes at time.
void begin_path(Mount *m, const MountAxes &to, MountActivity activity, double time) {
  m->slew = mount_plan_slew(m->axes, to, m->limits);
  m->slew_start = time;
  m->activity = activity;
  m->making_up = false;
  m->following = false;
  m->moving = 0;
  m->guide_left = {0, 0, 0, 0};
  m->lag_axis = -1, m->lag = 0;
}

}  // namespace

Mount mount_new(const MountAxes &axes, double latitude, double longitude, double time) {
  Mount m;
  m.time = time;
  m.axes = axes;
  m.axes[2] = mount_wrap360(axes[2]);
  m.latitude = latitude;
  m.longitude = longitude;
  hold_pose(&m);
  return m;
}

void mount_pointing(const Mount &m, double *ha, double *dec, double *frot) {
  double h, d, f;
  const double a1 = m.axes[0] * kDeg, a2 = m.axes[1] * kDeg, a3 = m.axes[2] * kDeg;
  coord_a3_to_eq(&h, &d, a1, a2, a3, m.latitude * kDeg);
  coord_a3_to_frot(&f, a1, a2, a3, m.latitude * kDeg);
  *ha = mount_wrap_ha(h / kDeg), *dec = d / kDeg, *frot = mount_wrap360(f / kDeg);
}

MountAxes mount_place_pose(const Mount &m, double ha, double dec) {
  double a1, a2, a3;
  coord_eq_to_a3(&a1, &a2, &a3, ha * kDeg, dec * kDeg, m.latitude * kDeg, m.frot * kDeg);
  return {a1 / kDeg, a2 / kDeg, mount_wrap360(a3 / kDeg)};
}

double mount_altitude(const MountAxes &axes) {
  double az, alt;
  coord_a3_to_altaz(&az, &alt, axes[0] * kDeg, axes[1] * kDeg, axes[2] * kDeg, 0);
  return alt / kDeg;
}

bool mount_on_path(const Mount &m) {
  return (m.activity == MountActivity::kSlewing && !m.making_up) ||
         m.activity == MountActivity::kParking;
}

bool mount_busy(const Mount &m) {
  return on_path(m) || tracking(m) || m.following;
}

double mount_sky_lapse(const Mount &m) {
  return tracking(m) ? m.lapse : 0;
}

double mount_slew_left(const Mount &m) {
  if (!on_path(m)) return 0;
  return std::max(0.0, m.slew_start + m.slew.duration - m.time);
}

MountEvent mount_step(Mount *m, double time) {
  if (!(time > m->time)) return MountEvent::kNone;
  const double r = tracking(*m) ? m->track_rate : 1.0;
  m->time = std::max(m->time, time - kMountSiderealDay / r);
  MountEvent event = MountEvent::kNone;
  while (m->time < time) {
    double piece = time - m->time;
    MountEvent e = MountEvent::kNone;
    if (on_path(*m)) {
      e = path_piece(m, piece);
    } else if (m->following) {
      if (tracking(*m))
        piece = std::min(piece, kTrackingPiece / (m->track_rate * kMountSiderealRate));
      if (m->lag_axis >= 0 || m->moving || !tracking(*m)) piece = std::min(piece, kLaggingPiece);
      e = follow_piece(m, piece);
    } else {
      m->time = time;
      m->rates = {0, 0, 0};
    }
    if (e != MountEvent::kNone) event = e;
  }
  m->time = time;
  return event;
}

void mount_place(Mount *m, const MountAxes &axes, double latitude, double time) {
  if (time > m->time) m->time = time;
  const MountAxes to = {std::clamp(axes[0], 0.0, 180.0), std::clamp(axes[1], -90.0, 90.0),
                        mount_wrap360(axes[2])};
  const bool moved = to != m->axes;
  m->axes = to;
  m->latitude = latitude;
  m->rates = {0, 0, 0};
  m->lag_axis = -1, m->lag = 0;
  if (m->activity == MountActivity::kParked || m->activity == MountActivity::kParking) {
    // A new latitude alone leaves a parked mount parked.
    if (moved || m->activity == MountActivity::kParking) end_path(m);
  } else if (m->activity == MountActivity::kSlewing) {
    MountAxes end, rates;
    mount_slew_at(m->slew, m->slew.duration, &end, &rates);
    end_path(m);
    const bool planned = m->slew_to_place
                             ? mount_slew_to_place(m, m->target_ra, m->target_dec, m->time)
                             : mount_slew_to_axes(m, end, m->time);
    if (!planned) end_path(m);
  }
  if (!on_path(*m)) hold_pose(m);
}

bool mount_slew_to_place(Mount *m, double ra, double dec, double time) {
  if (m->activity == MountActivity::kParked) return false;
  mount_step(m, time);
  Mount next = *m;
  // The pose for the instant of arrival, which depends on the time the slew
  // takes: the sky moves a fraction of an arc minute a second, so a few
  // rounds settle it.
  MountAxes to = next.axes;
  double duration = 0, lst;
  for (int round = 0; round < 3; round++) {
    if (!lst_at(next, time + duration, &lst)) return false;
    to = pose_of(next, mount_wrap_ha(lst - ra), dec);
    duration = mount_plan_slew(next.axes, to, next.limits).duration;
  }
  if (below(next, to)) return false;
  begin_path(&next, to, MountActivity::kSlewing, time);
  next.slew_to_place = true;
  next.target_ra = ra, next.target_dec = dec;
  *m = next;
  return true;
}

bool mount_slew_to_axes(Mount *m, const MountAxes &axes, double time) {
  if (m->activity == MountActivity::kParked) return false;
  const MountAxes to = {std::clamp(axes[0], 0.0, 180.0), std::clamp(axes[1], -90.0, 90.0),
                        mount_wrap360(axes[2])};
  if (below(*m, to)) return false;
  mount_step(m, time);
  begin_path(m, to, MountActivity::kSlewing, time);
  m->slew_to_place = false;
  return true;
}

bool mount_sync(Mount *m, double ra, double dec, double time) {
  if (held_by_park(*m)) return false;
  mount_step(m, time);
  double lst;
  if (!lst_at(*m, time, &lst)) return false;
  Mount next = *m;
  const double ha = mount_wrap_ha(lst - ra);
  const MountAxes to = pose_of(next, ha, dec);
  if (below(next, to)) return false;
  if (next.activity == MountActivity::kSlewing) {
    end_path(&next);
    next.frot = m->frot;  // the field rotation the slew held, not its path's
  }
  next.axes = to;
  next.rates = {0, 0, 0};
  next.ha = ha, next.dec = dec;
  next.lag_axis = -1, next.lag = 0;
  *m = next;
  return true;
}

bool mount_track(Mount *m, double rate, double time) {
  if (held_by_park(*m)) return false;
  mount_step(m, time);
  if (!(rate > 0)) {
    // The axes stop where they are; moves and pulses go on from there.
    if (!tracking(*m)) return true;
    m->activity = MountActivity::kIdle;
    stop_axes(m);
    const bool pulsing = std::any_of(m->guide_left.begin(), m->guide_left.end(),
                                     [](double left) { return left > 0; });
    if (m->moving || pulsing) begin_follow(m);
    return true;
  }
  if (m->activity == MountActivity::kSlewing) end_path(m);
  // The axes' rates were the sky's, sped up as much as the time-lapse was.
  if (tracking(*m)) {
    for (double &rate_of_axis : m->rates) rate_of_axis *= rate / m->track_rate;
  }
  if (!tracking(*m)) m->lapse = 0;
  begin_follow(m);
  m->activity = MountActivity::kTracking;
  m->track_rate = rate;
  return true;
}

bool mount_move(Mount *m, unsigned directions, double speed, double time) {
  if (held_by_park(*m)) return false;
  mount_step(m, time);
  if (!directions) {
    m->moving = 0;
    return true;
  }
  if (m->activity == MountActivity::kSlewing) end_path(m);
  begin_follow(m);
  m->moving = directions & 15u;
  m->move_speed = speed;
  return true;
}

bool mount_guide(Mount *m, unsigned direction, double milliseconds, double time) {
  if (m->activity != MountActivity::kIdle && !tracking(*m)) return false;
  const unsigned bits[4] = {kMountNorth, kMountSouth, kMountEast, kMountWest};
  const unsigned *bit = std::find(bits, bits + 4, direction);
  if (bit == bits + 4) return false;
  mount_step(m, time);
  begin_follow(m);
  m->guide_left[bit - bits] = std::clamp(milliseconds / 1000, 0.0, kLongestPulse);
  return true;
}

void mount_stop(Mount *m, double time) {
  mount_step(m, time);
  if (m->activity != MountActivity::kParked) end_path(m);
  stop_axes(m);
  m->moving = 0;
  m->guide_left = {0, 0, 0, 0};
}

bool mount_park(Mount *m, double time) {
  if (m->activity == MountActivity::kParked) return false;
  mount_step(m, time);
  begin_path(m, m->park, MountActivity::kParking, time);
  m->slew_to_place = false;
  return true;
}

void mount_unpark(Mount *m, double time) {
  mount_step(m, time);
  if (m->activity == MountActivity::kParked || m->activity == MountActivity::kParking) {
    end_path(m);
  }
}

void mount_set_park(Mount *m) {
  m->park = m->axes;
}

void mount_clock_moved(Mount *m, double shift) {
  if (!std::isfinite(shift)) return;
  m->time += shift;
  m->slew_start += shift;
}

void mount_set_limits(Mount *m, const MountLimits &limits, double time) {
  mount_step(m, time);
  m->limits = limits;
  if (m->activity == MountActivity::kParking) {
    begin_path(m, m->park, MountActivity::kParking, time);
  } else if (m->activity == MountActivity::kSlewing) {
    MountAxes end, rates;
    mount_slew_at(m->slew, m->slew.duration, &end, &rates);
    const double frot = m->frot;
    end_path(m);
    m->frot = frot;  // the field rotation the slew holds, not its path's
    if (m->slew_to_place ? !mount_slew_to_place(m, m->target_ra, m->target_dec, time)
                         : !mount_slew_to_axes(m, end, time)) {
      end_path(m);
    }
  }
}

bool mount_parse_axes(const char *text, MountAxes *values) {
  if (!text) return false;
  const std::string s = text;
  MountAxes read{};
  size_t start = 0;
  int count = 0;
  for (; count < 3; count++) {
    const size_t comma = std::min(s.find(',', start), s.size());
    const char *first = s.data() + start, *last = s.data() + comma;
    double x;
    const auto [end, error] = std::from_chars(first, last, x);
    if (error != std::errc() || end != last || !std::isfinite(x) || !(x > 0) ||
        x > kMountMostLimit) {
      return false;
    }
    read[count] = x;
    start = comma + 1;
    if (comma == s.size()) break;
  }
  if (count == 0)
    read.fill(read[0]);
  else if (count != 2 || start <= s.size())
    return false;
  *values = read;
  return true;
}
