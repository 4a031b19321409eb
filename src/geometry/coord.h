// Pointing geometry of the three-axis mount: vector helpers, the camera sphere,
// and the closed-form conversions between mount axes (a1, a2, a3), horizontal
// coordinates (azimuth, altitude) and local equatorial coordinates (hour angle,
// declination), plus the field rotation.
//
// All angles are radians. Outputs come first; wherever horizontal coordinates
// appear together, azimuth comes before altitude. Nothing here allocates, keeps
// state or reports errors.
#pragma once

// The pi the scales are converted with: degrees * kCoordPi / 180.
constexpr double kCoordPi = 3.141592653589793;
// One full turn, as the wrap rule and the field rotation use it.
constexpr double kCoordTwoPi = 6.283185307179586;
// Distance of the viewing camera from the mount, in model units.
constexpr double kCoordCameraDistance = 23.0;

// Vectors are three doubles, x y z at indices 0 1 2; the caller owns them.

// out[i] = s * v[i]. out may alias v.
void coord_vector_scale(double out[3], const double v[3], double s);
// out = a + b, component by component. out may alias a or b.
void coord_vector_add(double out[3], const double a[3], const double b[3]);
// out = a - b, component by component. out may alias a or b.
void coord_vector_subtract(double out[3], const double a[3], const double b[3]);
// out = a x b, written in the order 0, 1, 2 from the inputs as they stand, so
// out must not alias a or b.
void coord_vector_cross_product(double out[3], const double a[3], const double b[3]);
// a . b, summed in the order x, y, z.
double coord_vector_dot_product(const double a[3], const double b[3]);
// out = v / |v|, as one reciprocal and three products. A vector whose length
// computes as exactly 0 gives (0, 0, 0); that includes any vector shorter than
// about 1e-154, whose squared length underflows. out may alias v.
void coord_vector_normalize(double out[3], const double v[3]);

// Brings an angle (radians) into one turn: subtract 2*pi while >= 2*pi, then
// add 2*pi while < 0, with 2*pi the double kCoordTwoPi.
//   returns radians in [0, 2*pi], and 2*pi only for a tiny negative angle whose
//   sum with 2*pi rounds to exactly 2*pi (the upward loop is not followed by
//   another downward one).
// Within 64 turns of zero the result is bit for bit that of the two loops.
// Beyond, the angle is first reduced in one exact step (fmod by kCoordTwoPi),
// so even 1e300 returns at once, in [0, 2*pi). NaN comes back as NaN and
// +-infinity gives NaN: a wrapped infinity has no value.
double coord_wrap(double angle);

// Camera position on the sphere of radius kCoordCameraDistance (23) around the
// mount, in the view's world frame (+x east, +y up, +z south), model units.
//   x, y, z  out: each in [-23, 23]
//   azimuth  radians, from north through east; comes before altitude although
//            the name puts altitude first
//   altitude radians, -pi/2 below the mount, +pi/2 above it
// Azimuth 0, altitude 0 gives (0, 0, -23), north of the mount. Overhead the
// horizontal components are of the order of 1e-15 rather than exactly 0.
void coord_camera_altaz_to_xyz(double *x, double *y, double *z, double azimuth, double altitude);

// Sines and cosines that are +-1 in exact arithmetic (zenith, celestial pole,
// field rotation 0 or pi) can round a hair past it; every conversion below
// clamps the arguments of its arc sines and arc cosines into [-1, 1], so finite
// inputs never give NaN, and where rounding overshoots those points come out
// exactly at +-pi/2, 0 or pi.
// Near them asin and acos lose precision: within x rad of +-pi/2 an altitude or
// declination is good to about 1e-16 / x rad, and never worse than 2.1e-8 rad.

// Horizontal coordinates of the direction the tube points at.
//   az   out: azimuth, radians in [0, 2*pi] (2*pi only by the wrap rounding
//        case), from north through east
//   alt  out: altitude, radians in [0, pi/2] for a1 in [0, pi] and a2 in
//        [-pi/2, pi/2]; [-pi/2, pi/2] for arbitrary axis angles
//   a1, a2, a3: axis angles, radians; lat: ignored (horizontal coordinates do
//        not depend on where the mount stands)
// At the zenith (a1 = pi/2, a2 = 0) the azimuth is undetermined; it is then
// the atan2 of two rounding residues.
void coord_a3_to_altaz(double *az, double *alt, double a1, double a2, double a3, double lat);

// Local equatorial coordinates of the direction the tube points at.
//   ha   out: hour angle, radians in [-pi, pi], positive west of the meridian
//        (not wrapped)
//   dec  out: declination, radians in [-pi/2, pi/2]
//   a1, a2, a3: axis angles, radians; lat: observer's latitude, radians
// At a celestial pole the hour angle is undetermined: the atan2 of two numbers
// at or near zero.
void coord_a3_to_eq(double *ha, double *dec, double a1, double a2, double a3, double lat);

// Horizontal coordinates of an hour angle and declination.
//   az   out: azimuth, radians in [0, 2*pi] (2*pi only by the wrap rounding case)
//   alt  out: altitude, radians in [-pi/2, pi/2]
//   ha, dec, lat: radians
// At the zenith the azimuth is undetermined. At a celestial pole the east
// component is a rounding residue whose sign follows sin(ha), so the azimuth
// is either tiny and positive or exactly 2*pi.
void coord_eq_to_altaz(double *az, double *alt, double ha, double dec, double lat);

// Hour angle and declination of an azimuth and altitude.
//   ha   out: hour angle, radians in [-pi, pi] (not wrapped)
//   dec  out: declination, radians in [-pi/2, pi/2]
//   az, alt, lat: radians; azimuth comes before altitude
// At a celestial pole the hour angle is undetermined.
void coord_altaz_to_eq(double *ha, double *dec, double az, double alt, double lat);

// Axis angles that point the tube at (ha, dec) with field rotation frot.
//   a1   out: radians in [0, pi]
//   a2   out: radians in [-pi/2, pi/2]
//   a3   out: radians in [0, 2*pi] (2*pi only by the wrap rounding case)
//   ha, dec, lat, frot: radians
// The exact inverse of coord_a3_to_eq with coord_a3_to_frot at the same
// latitude for 0 < a1 < pi and |a2| < pi/2. a1 comes from an arc cosine, so
// within x rad of 0 or pi it is good to about 1e-16 / x rad.
// Singular where cos(a2) vanishes (a2 = +-pi/2): the a1 axis is vertical, a1
// and a3 turn about one line and only a3 - a1 (a2 = +pi/2) or a3 + a1
// (a2 = -pi/2) is determined; the tube then lies on the horizon. Near there
// (cos a2 below 1e-2, a2 within 0.57 degree of +-90) a1 and a2 come from
// well-conditioned projections rather than the arc sine and arc cosine, which
// lose accuracy as 1e-16 / cos^2 a2; the result is the same in exact
// arithmetic. Where cos a2 is below 1e-8 and a3 is no longer resolved, the
// result is the convention a1 = pi/2 exactly (tube at the top of the
// horseshoe), a2 within 1e-8 of +-pi/2, and the a3 that makes the tube move in
// the requested direction as a1 grows; its pointing and field rotation are off
// by less than 2e-8 rad. All outputs are finite for finite input.
void coord_eq_to_a3(double *a1, double *a2, double *a3, double ha, double dec, double lat,
                    double frot);

// Axis angles for an azimuth and altitude with field rotation frot: the hour
// angle and declination from coord_altaz_to_eq, then coord_eq_to_a3.
//   a1, a2, a3 out: as coord_eq_to_a3, with its singular points
//   az, alt, lat, frot: radians; azimuth comes before altitude
void coord_altaz_to_a3(double *a1, double *a2, double *a3, double az, double alt, double lat,
                       double frot);

// Field rotation of the three axis angles: the angle from the direction of
// increasing declination to the direction in which the tube moves as a1 grows,
// clockwise as seen looking from the telescope to the sky. 0 means that raising
// a1 moves the tube along the hour circle toward the north celestial pole, as
// an equatorial mount's declination axis would.
//   frot out: radians in [0, 2*pi]
//   a1, a2, a3: axis angles, radians; lat: observer's latitude, radians
// The unsigned angle comes from an arc cosine whose argument is clamped, so
// it is exactly 0 or pi where rounding overshoots; near 0 the clockwise sign
// follows the rounding, so a field rotation that is 0 in exact arithmetic can
// come out just above 0 or just below 2*pi. Within x rad of 0 or pi the
// result is good to about 1e-16 / x rad. At a celestial pole the direction of
// increasing declination depends on the (undetermined) hour angle, and the
// field rotation with it; coord_eq_to_a3 given that same hour angle still
// returns the same axes.
void coord_a3_to_frot(double *frot, double a1, double a2, double a3, double lat);
