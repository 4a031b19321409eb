// Pointing geometry of the three-axis mount. See coord.h for the frames, units
// and ranges; the comments here say why the arithmetic is arranged as it is.
#include "geometry/coord.h"

#include <cmath>

namespace {

// Beyond this many radians coord_wrap stops stepping by whole turns and reduces
// with one exact remainder: stepping could run for ages, and past 2^53 * 2*pi a
// subtraction no longer changes the angle at all.
constexpr double kWrapStepLimit = 64.0 * kCoordTwoPi;

// Near a vertical a1 axis the direct inverse of the axes loses accuracy: a2 =
// asin(t4) resolves only to 1.5e-8 rad next to +-pi/2, so g = cos(a2) is known
// only to about 1e-16 / g^2 relative, and a1 = acos(t1 / g) with it. Below
// kNearVerticalCos (a2 within 0.57 degree of +-90, beyond the 89
// degrees that the 1-degree altitude limit allows) the axes are found from
// well-conditioned projections instead, and below kVerticalCos, where a3 itself
// is no longer resolved, by the convention a1 = pi/2.
constexpr double kNearVerticalCos = 1e-2;
constexpr double kVerticalCos = 1e-8;

// Rounding can carry a sine or cosine that is exactly +-1 in theory (zenith,
// celestial pole, field rotation 0 or 180 degrees) a hair past it; clamping
// keeps asin and acos on their domain and gives the exact angle there.
// NaN compares false both ways and passes through unchanged.
double clamp_unit(double x) {
  return x > 1.0 ? 1.0 : (x < -1.0 ? -1.0 : x);
}

}  // namespace

void coord_vector_scale(double out[3], const double v[3], double s) {
  out[0] = s * v[0];
  out[1] = s * v[1];
  out[2] = s * v[2];
}

void coord_vector_add(double out[3], const double a[3], const double b[3]) {
  out[0] = a[0] + b[0];
  out[1] = a[1] + b[1];
  out[2] = a[2] + b[2];
}

void coord_vector_subtract(double out[3], const double a[3], const double b[3]) {
  out[0] = a[0] - b[0];
  out[1] = a[1] - b[1];
  out[2] = a[2] - b[2];
}

void coord_vector_cross_product(double out[3], const double a[3], const double b[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

double coord_vector_dot_product(const double a[3], const double b[3]) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void coord_vector_normalize(double out[3], const double v[3]) {
  const double len = std::sqrt(coord_vector_dot_product(v, v));
  if (len == 0.0) {
    out[0] = out[1] = out[2] = 0.0;
    return;
  }
  coord_vector_scale(out, v, 1.0 / len);
}

double coord_wrap(double angle) {
  // fmod is exact, so a huge angle lands in (-2*pi, 2*pi) and each loop below
  // runs at most once; fmod of +-infinity is NaN. Angles within the limit take
  // the plain loops, step for step, so their rounding (including the tiny
  // negative angle that comes back as exactly 2*pi) is the loops' own. NaN
  // fails every comparison and passes straight through.
  if (std::fabs(angle) > kWrapStepLimit) angle = std::fmod(angle, kCoordTwoPi);
  while (angle >= kCoordTwoPi) angle -= kCoordTwoPi;
  while (angle < 0.0) angle += kCoordTwoPi;
  return angle;
}

void coord_camera_altaz_to_xyz(double *x, double *y, double *z, double azimuth, double altitude) {
  *x = std::sin(azimuth) * (std::cos(altitude) * kCoordCameraDistance);
  *y = std::sin(altitude) * kCoordCameraDistance;
  *z = std::cos(azimuth) * (std::cos(altitude) * -kCoordCameraDistance);
}

void coord_a3_to_altaz(double *az, double *alt, double a1, double a2, double a3, double lat) {
  (void)lat;  // the tube's horizontal direction does not depend on where the mount stands
  const double s1 = std::sin(a1), c1 = std::cos(a1);
  const double s2 = std::sin(a2), c2 = std::cos(a2);
  const double s3 = std::sin(a3), c3 = std::cos(a3);
  const double north = c1 * c3 + s1 * s2 * s3;
  const double east = c1 * s3 - s1 * s2 * c3;
  *az = coord_wrap(std::atan2(east, north));
  *alt = std::asin(clamp_unit(s1 * c2));
}

void coord_a3_to_eq(double *ha, double *dec, double a1, double a2, double a3, double lat) {
  const double s1 = std::sin(a1), c1 = std::cos(a1);
  const double s2 = std::sin(a2), c2 = std::cos(a2);
  const double s3 = std::sin(a3), c3 = std::cos(a3);
  const double sl = std::sin(lat), cl = std::cos(lat);
  // (north, east, up) of the tube, turned about the east-west line by the
  // colatitude: x toward the meridian's equator point, y toward the west.
  const double x = cl * s1 * c2 - sl * c1 * c3 - sl * s1 * s2 * s3;
  const double y = s1 * s2 * c3 - c1 * s3;
  *ha = std::atan2(y, x);
  *dec = std::asin(clamp_unit(cl * c1 * c3 + cl * s1 * s2 * s3 + sl * s1 * c2));
}

namespace {

// Turns a direction about the east-west line by the colatitude, from (hour
// angle, declination) to (azimuth, altitude) or back: with west standing in
// for east, the turn is its own inverse. lon_out in [-pi, pi].
void swap_horizontal_equatorial(double *lon_out, double *lat_out, double lon, double lat,
                                double site_lat) {
  const double so = std::sin(lon), co = std::cos(lon);
  const double sa = std::sin(lat), ca = std::cos(lat);
  const double sl = std::sin(site_lat), cl = std::cos(site_lat);
  const double x = cl * sa - sl * co * ca;
  const double y = -so * ca;
  *lon_out = std::atan2(y, x);
  *lat_out = std::asin(clamp_unit(sl * sa + cl * co * ca));
}

}  // namespace

void coord_eq_to_altaz(double *az, double *alt, double ha, double dec, double lat) {
  double a = 0.0;
  swap_horizontal_equatorial(&a, alt, ha, dec, lat);
  *az = coord_wrap(a);
}

void coord_altaz_to_eq(double *ha, double *dec, double az, double alt, double lat) {
  swap_horizontal_equatorial(ha, dec, az, alt, lat);
}

void coord_eq_to_a3(double *a1, double *a2, double *a3, double ha, double dec, double lat,
                    double frot) {
  const double sh = std::sin(ha), ch = std::cos(ha);
  const double sd = std::sin(dec), cd = std::cos(dec);
  const double sl = std::sin(lat), cl = std::cos(lat);
  const double sf = std::sin(frot), cf = std::cos(frot);
  // t1: zenith component of the direction the tube moves in as a1 grows.
  // (t2, t3, t4): the a1 axis as (south, east, zenith) = cos a2 (sin a3, cos a3, 0) + (0, 0, sin
  // a2).
  const double t1 = cf * (sl * cd - cl * ch * sd) - sf * cl * sh;
  const double t2 = sf * (cl * cd + sl * ch * sd) - cf * sl * sh;
  const double t3 = -cf * ch - sf * sh * sd;
  const double t4 = sf * (cl * ch * sd - sl * cd) - cf * cl * sh;
  // Length of the axis' horizontal part: cos a2, to full absolute precision.
  const double g_axis = std::hypot(t2, t3);
  if (g_axis >= kNearVerticalCos) {
    *a2 = std::asin(clamp_unit(t4));
    const double g = std::cos(*a2);
    *a1 = std::acos(clamp_unit(t1 / g));
    *a3 = coord_wrap(std::atan2(t2 / g, t3 / g));
    return;
  }
  // The a1 axis is (nearly) vertical: a1 and a3 turn about (nearly) one line.
  // Work with the horizontal parts, (south, east), of the line of sight r and of
  // the direction of motion p under a1. p blends the directions of increasing
  // declination and increasing hour angle by the field rotation.
  const double r_south = sl * cd * ch - cl * sd, r_east = -cd * sh;
  const double p_south = cf * (-sl * ch * sd - cl * cd) + sf * (-sl * sh);
  const double p_east = cf * sh * sd + sf * -ch;
  *a2 = std::atan2(t4, g_axis);
  if (g_axis < kVerticalCos) {
    // Only a3 - a1 (a2 = +pi/2) or a3 + a1 (a2 = -pi/2) is determined. Put the
    // tube at the top of the horseshoe; the platform's forward direction
    // (cos a3, sin a3) in (north, east) is then -p.
    *a1 = 0.5 * kCoordPi;
    *a3 = coord_wrap(std::atan2(-p_east, p_south));
    return;
  }
  // a3 from the axis as usual (dividing by g does not change an atan2), then a1
  // from the forward direction f: the tube is cos a1 f + sin a1 (up the
  // horseshoe), so cos a1 = f . r and sin a1 = -f . p. sin a1 >= 0 for a1 in
  // [0, pi]; a rounding residue below 0 is read as 0.
  const double a3_raw = std::atan2(t2, t3);
  const double f_south = -std::cos(a3_raw), f_east = std::sin(a3_raw);
  const double cos_a1 = f_south * r_south + f_east * r_east;
  const double sin_a1 = -(f_south * p_south + f_east * p_east);
  *a1 = std::atan2(sin_a1 > 0.0 ? sin_a1 : 0.0, cos_a1);
  *a3 = coord_wrap(a3_raw);
}

void coord_altaz_to_a3(double *a1, double *a2, double *a3, double az, double alt, double lat,
                       double frot) {
  double ha = 0.0, dec = 0.0;
  coord_altaz_to_eq(&ha, &dec, az, alt, lat);
  coord_eq_to_a3(a1, a2, a3, ha, dec, lat, frot);
}

void coord_a3_to_frot(double *frot, double a1, double a2, double a3, double lat) {
  const double s1 = std::sin(a1), c1 = std::cos(a1);
  const double s2 = std::sin(a2), c2 = std::cos(a2);
  const double s3 = std::sin(a3), c3 = std::cos(a3);
  const double sl = std::sin(lat), cl = std::cos(lat);
  // Vectors as (south, east, zenith), a right-handed frame.
  const double p[3] = {s1 * c3 - c1 * s2 * s3, -s1 * s3 - c1 * s2 * c3, c1 * c2};
  double ha = 0.0, dec = 0.0;
  coord_a3_to_eq(&ha, &dec, a1, a2, a3, lat);
  const double sh = std::sin(ha), ch = std::cos(ha);
  const double sd = std::sin(dec), cd = std::cos(dec);
  const double q[3] = {-sl * ch * sd - cl * cd, sh * sd, sl * cd - cl * ch * sd};
  double f = std::acos(clamp_unit(coord_vector_dot_product(p, q)));
  const double r[3] = {-c1 * c3 - s1 * s2 * s3, c1 * s3 - s1 * s2 * c3, s1 * c2};
  double k[3];
  coord_vector_cross_product(k, q, p);
  // (q x p) . r > 0: p lies counterclockwise of q about the line of sight,
  // which looking out along it is clockwise, the sense the field rotation uses.
  if (coord_vector_dot_product(k, r) < 0.0) f = kCoordTwoPi - f;
  *frot = f;
}
