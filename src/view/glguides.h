// Guides the View menu lays over the mount, for learners: a compass and
// horizon ring on the ground, the line the tube points along, and the axis
// the sky turns about. They are lines, drawn unlit after the mount with
// depth testing on, so that the mount hides what lies behind it.
#pragma once

#include <GL/gl.h>

struct ModelParams;

// Ground ring and compass letters: pale sky blue, N red. Pointing line:
// bright yellow. Polar axis: faint grey-blue, dashed. Red, green, blue in
// [0, 1], for tests that look for them on the screen.
constexpr GLfloat kGlCompassColor[3] = {0.55f, 0.8f, 1.0f};
constexpr GLfloat kGlNorthColor[3] = {1.0f, 0.25f, 0.25f};
constexpr GLfloat kGlPointingColor[3] = {1.0f, 0.9f, 0.2f};
constexpr GLfloat kGlPoleColor[3] = {0.55f, 0.6f, 0.75f};

// Radius of the ground ring and of the circle the letters' centres lie on
// (just inside it, as on a dial), as multiples of the platform's corner
// radius: both clear the turning platform, and from the start-up camera
// distance the whole ring stays in the picture down to Camera Alt 30.
constexpr float kGlCompassRingScale = 1.45f;
constexpr float kGlCompassLetterScale = 1.22f;
// How far the pointing line runs beyond the tube's front end, in tube lengths.
constexpr float kGlPointingReach = 3.0f;

// Where the guides sit, in model units (see model.h for the frame).
struct GlGuideSizes {
  float ground;         // height of the ground the base stands on (negative)
  float ring_radius;    // the horizon ring
  float letter_radius;  // centres of N, E, S, W
  float tube_centre;    // the tube's middle along its axis, toward -z in the tube's frame
  float line_end;       // the pointing line's far end along the axis, ditto
};

// The sizes for this model: the ground at the bottom of the pads, the ring
// and letters scaled from the platform, the pointing line from the tube's
// middle to kGlPointingReach tube lengths beyond its front end.
GlGuideSizes gl_guide_sizes(const ModelParams *model);

// Compiles the three guides into three consecutive display lists (compass,
// pointing line, polar axis) and returns the first name, or 0 when GL has no
// names to give. Needs the view's context current; draws nothing.
GLuint gl_guides_init(const GlGuideSizes &sizes);

// Draws the guides that are on, with the modelview holding the tube's frame
// as model_draw leaves it: the pointing line in that frame, then, under the
// identity, the compass and the polar axis toward the celestial pole at
// altitude |latitude| (degrees), north for a latitude >= 0, south below 0.
// Leaves the modelview at the identity when it drew anything and every other
// GL state as it found it. lists 0 draws nothing. With to_sky the pointing
// line runs on to kGlSkyReach (glstars.h), which the projection's far plane
// must then reach: it ends on the star the tube points at.
void gl_draw_guides(GLuint lists, bool compass, bool pointing, double latitude,
                    bool to_sky = false);
