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

// out[i] = s * v[i]. out may alias v.
void coord_vector_scale(double out[3], const double v[3], double s);
// out = a + b, component by component. out may alias a or b.
void coord_vector_add(double out[3], const double a[3], const double b[3]);
// out = a - b, component by component. out may alias a or b.
void coord_vector_subtract(double out[3], const double a[3], const double b[3]);
// out = a x b. out must not alias a or b.
void coord_vector_cross_product(double out[3], const double a[3], const double b[3]);
// a . b, summed in the order x, y, z.
double coord_vector_dot_product(const double a[3], const double b[3]);
// out = v / |v|; the zero vector stays zero. out may alias v.
void coord_vector_normalize(double out[3], const double v[3]);

// Brings an angle (radians) into one turn: subtract 2*pi while >= 2*pi, then add
// 2*pi while < 0. The result is in [0, 2*pi), except that a tiny negative angle
// whose sum with 2*pi rounds to 2*pi comes back as exactly 2*pi. NaN and
// +-infinity give NaN; huge finite angles are reduced in one step.
double coord_wrap(double angle);

// Camera position on the sphere of radius 23 around the mount, in the view's
// world frame (+x east, +y up, +z south). Azimuth (from north through east)
// comes before altitude, both radians. Azimuth 0, altitude 0 gives (0, 0, -23).
void coord_camera_altaz_to_xyz(double *x, double *y, double *z, double azimuth, double altitude);

// The conversions below are declared in full, with their ranges and singular
// points, where they are defined.
void coord_a3_to_altaz(double *az, double *alt, double a1, double a2, double a3, double lat);
void coord_a3_to_eq(double *ha, double *dec, double a1, double a2, double a3, double lat);
void coord_eq_to_altaz(double *az, double *alt, double ha, double dec, double lat);
void coord_altaz_to_eq(double *ha, double *dec, double az, double alt, double lat);
void coord_eq_to_a3(double *a1, double *a2, double *a3, double ha, double dec, double lat,
                    double frot);
void coord_altaz_to_a3(double *a1, double *a2, double *a3, double az, double alt, double lat,
                       double frot);
void coord_a3_to_frot(double *frot, double a1, double a2, double a3, double lat);
