// The view's OpenGL drawing that does not depend on the toolkit: the fixed GL
// state, the light, the camera and the start of a frame. Both GL surfaces (GtkGLExt and
// GtkGLArea) use it, and every function needs the view's context current.
#pragma once

#include <GL/gl.h>

// Sets the view's fixed GL state: the very dark blue background (0, 9/256,
// 29/256), depth cleared to 1, ambient light 0.5 grey, light 0 white and
// directional from (0, -20, 30) (below and south), lighting, depth test and
// back-face culling on, smooth shading, a white diffuse and half-strength
// specular material of shininess 50, and colour material for ambient and
// diffuse of front faces. The modelview matrix must be the identity, so that
// the light's position is a world direction.
void gl_set_up_state(void);

// Loads the perspective projection (45 degrees vertically, near 0.1, far
// `far`, 100 but while the sky is shown, the given width / height aspect) and the camera on the sphere of radius 23,
// looking at the mount from the given azimuth and altitude (radians) with +y
// up, and leaves the matrix mode at GL_MODELVIEW. The viewing transform sits on
// the projection matrix, so that the modelview carries only the model's own
// rotations and a light position given under the identity is a world
// direction. Looking straight down or up (altitude +-pi/2) the up vector is
// parallel to the line of sight and GLU's view matrix degenerates.
void gl_load_camera(double aspect, double azimuth, double altitude, double far = 100.0);

// Turns light 0 to shine from the given azimuth (radians, from north through
// east) and elevation (radians above the horizon), as a directional light in
// the world frame (+x east, +y up, +z south). Loads the identity on the
// modelview first and leaves it there.
void gl_aim_light(double azimuth, double elevation);

// Starts a frame: clears colour and depth and loads the identity on the
// modelview, where the mount is then drawn. The caller presents the frame.
void gl_begin_frame(void);
