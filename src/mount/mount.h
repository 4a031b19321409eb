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

// An angle (degrees) brought into [0, 360); NaN stays NaN.
double mount_wrap360(double x);
// An angle (degrees) brought into (-180, 180], as hour angles are kept.
double mount_wrap_ha(double h);

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

// ---- The simulated mount ----
//
// Instants are the sky clock's, POSIX seconds (UTC); angles are degrees.
// While it follows the sky (tracking, moving in directions, guiding) the
// mount holds a commanded place, an hour angle and declination with the
// field rotation it keeps, and its axes chase that place's pose within their
// limits; a slew runs its planned path in axis space instead.

// What the mount is doing.
enum class MountActivity {
  kIdle,      // holding its pose (it may still be catching up a commanded place)
  kSlewing,   // on the path of a Go To: tracking at x1 follows arrival
  kTracking,  // following the turning sky at track_rate times its rate
  kParking,   // on the path to the park pose
  kParked,    // at the park pose, refusing to move until unparked
};

// Direction bits of moves and guide pulses: north and south change the
// declination, east raises the right ascension (lowers the hour angle).
enum MountDirection : unsigned { kMountNorth = 1, kMountSouth = 2, kMountEast = 4, kMountWest = 8 };

// The sky turns once (360 degrees of hour angle) in a sidereal day.
constexpr double kMountSiderealDay = 86164.0905;                  // seconds
constexpr double kMountSiderealRate = 360.0 / kMountSiderealDay;  // degrees per second
// Guiding moves the place at half the sky's rate: about 7.5" a second.
constexpr double kMountGuideRate = kMountSiderealRate / 2;
// A slew has arrived, and a place is kept, within this much: 1".
constexpr double kMountArrival = 1.0 / 3600.0;
// The pose the mount starts in and parks in unless told: a1 45, a2 0, a3 180.
constexpr MountAxes kMountStartPose = {45.0, 0.0, 180.0};

struct Mount {
  double time = 0;                   // the instant this state describes
  MountAxes axes = kMountStartPose;  // a1 in [0, 180], a2 in [-90, 90], a3 in [0, 360)
  MountAxes rates = {0, 0, 0};       // each axis's rate, degrees per second
  MountLimits limits = mount_default_limits();
  double latitude = 45;              // degrees, north positive
  double longitude = 0;              // degrees, east positive
  double min_altitude = 1;           // the lowest altitude it points at, degrees
  MountAxes park = kMountStartPose;  // the park pose
  MountActivity activity = MountActivity::kIdle;
  double track_rate = 1;  // times the sky's rate while tracking (time-lapse above 1)
  // The commanded place while following the sky: hour angle in (-180, 180],
  // declination, and the field rotation held.
  double ha = 0, dec = 0, frot = 0;
  bool following = false;                           // the axes chase the commanded place
  unsigned moving = 0;                              // direction bits moving now
  double move_speed = 0;                            // their speed, degrees of the sky per second
  std::array<double, 4> guide_left = {0, 0, 0, 0};  // seconds of pulse left: n, s, e, w
  MountSlew slew{};                                 // the path of a slew or park
  double slew_start = 0;                            // the instant it began
  bool slew_to_place = false;                       // the slew ends tracking a place, not at rest
  bool making_up = false;                // past its path, a slew chases its target's place
  double target_ra = 0, target_dec = 0;  // a Go To's apparent place of date, degrees
  int lag_axis = -1;  // the axis that held the mount back at the last step, or -1
  double lag = 0;     // how far the pointing is behind the place, degrees
  double lapse = 0;   // seconds of sky the time-lapse has run ahead while tracking
};

// What a step brought about, for the window to show.
enum class MountEvent {
  kNone,
  kArrived,  // a slew ended on its target; tracking at x1 began
  kParked,   // the park pose was reached
  kSet,      // the tracked place sank to the altitude limit: tracking ended there
};

// A mount at rest at axes, latitude and longitude (degrees), at instant time,
// holding the field rotation of that pose; its park pose is the start-up pose.
Mount mount_new(const MountAxes &axes, double latitude, double longitude, double time);

// The hour angle, declination (degrees; hour angle in (-180, 180]) and field
// rotation (degrees in [0, 360)) of the pose now.
void mount_pointing(const Mount &m, double *ha, double *dec, double *frot);
// The pose that points at hour angle ha and declination dec (degrees) with the
// field rotation m.frot held, at m.latitude: the pose the mount tracks a place
// in. a1 in [0, 180], a2 in [-90, 90], a3 in [0, 360); the singular points are
// coord_eq_to_a3's.
MountAxes mount_place_pose(const Mount &m, double ha, double dec);
// The altitude of axes, degrees: asin(sin a1 cos a2).
double mount_altitude(const MountAxes &axes);

// True while the mount runs the path of a slew or a park (not once a slew,
// past its path, makes up what the sky moved).
bool mount_on_path(const Mount &m);

// True while a step would change anything: a slew, tracking, a move, a pulse,
// or axes still catching up their commanded place.
bool mount_busy(const Mount &m);

// How far the sky the mount tracks runs ahead of the clock, seconds: what
// tracking faster than the sky's rate has gained since it began (a Go To's
// arrival or Track). 0 while the mount does not track: the sky it then points
// into is the clock's.
double mount_sky_lapse(const Mount &m);

// Seconds left of a slew or park at m.time; 0 where none runs.
double mount_slew_left(const Mount &m);

// Advances the mount to instant time (one at or before m.time does nothing).
// Tracking at rate r runs the sky and the mount r times faster: r times the
// sky's time passes and the limits hold in it. A step is taken in pieces of
// at most a degree of hour angle and a tenth of a second, so that a long
// stall cannot carry a tracked star below the horizon unnoticed; a step
// longer than a sidereal day counts as one.
MountEvent mount_step(Mount *m, double time);

// Puts the mount at axes and latitude at once (a hand on the scales): motion
// toward a place goes on from there: tracking tracks the new place, a slew is
// planned again from it, and a parked mount moved elsewhere is unparked (a
// new latitude alone keeps it parked). Rates become 0.
void mount_place(Mount *m, const MountAxes &axes, double latitude, double time);

// Slews to the apparent place ra, dec (degrees) with the field rotation held:
// the path aims at its pose for the instant of arrival, then tracking at x1
// makes up the rest. False (nothing changes) while parked, or where that pose
// is below the altitude limit or the sky clock cannot place time.
bool mount_slew_to_place(Mount *m, double ra, double dec, double time);

// Slews to axes; a1 is clamped into [0, 180], a2 into [-90, 90]. False while
// parked or where axes are below the altitude limit.
bool mount_slew_to_axes(Mount *m, const MountAxes &axes, double time);

// Is at the apparent place ra, dec (degrees) at once, the field rotation held:
// a slew ends, tracking goes on. False where that is below the limit, or
// while parked or parking.
bool mount_sync(Mount *m, double ra, double dec, double time);

// Tracks the sky at rate times its own rate (1, 10, 100, 1000) from where the
// axes are, ending a slew, or stops tracking for 0. False while parked or
// parking (nothing changes).
bool mount_track(Mount *m, double rate, double time);

// Moves toward the directions (bits of MountDirection) at speed degrees of the
// sky a second; 0 directions stops moving. A move ends a slew. False while
// parked or parking.
bool mount_move(Mount *m, unsigned directions, double speed, double time);

// A guide pulse: moves the place toward one direction (a single bit) at
// kMountGuideRate for milliseconds (at most 10 s). False while parked, parking
// or slewing, or for a direction that is not one bit.
bool mount_guide(Mount *m, unsigned direction, double milliseconds, double time);

// Ends every slew, park, track, move and pulse where the axes are: they stop
// at once.
void mount_stop(Mount *m, double time);

// Slews to the park pose and stays there. False where already parked.
bool mount_park(Mount *m, double time);
// Ends parking or being parked where the mount is.
void mount_unpark(Mount *m, double time);
// The pose now becomes the park pose.
void mount_set_park(Mount *m);

// The sky clock was set shift seconds ahead: the mount stands where it is, and
// every instant it keeps moves with the clock.
void mount_clock_moved(Mount *m, double shift);

// New limits, which must be valid; a slew under way is planned again from the
// pose now.
void mount_set_limits(Mount *m, const MountLimits &limits, double time);

// Reads a limit as the command line gives it: one number for all three axes
// or three separated by commas (a1,a2,a3), in the C locale's form, each finite
// and in (0, kMountMostLimit]. False (values untouched) for anything else.
bool mount_parse_axes(const char *text, MountAxes *values);
