// A recording double for the fixed-function GL entry points that the solid primitives and the
// mount model call. A test executable that links this library instead of libGL receives every
// call: the recorder logs it, compiles display lists and replays them on glCallList, keeps the
// modelview matrix stack, and collects the primitives drawn, each vertex both as passed and as
// transformed by the matrix current at the time. Misuse that GL would reject or that would corrupt
// a picture (matrix calls inside glBegin, a pop on an empty stack, a partial quad, ...) is
// collected as error messages.
#ifndef VELMORANT_TESTS_GL_RECORDER_H
#define VELMORANT_TESTS_GL_RECORDER_H

#include <GL/gl.h>

#include <array>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace glrec {

using Vec3d = std::array<double, 3>;
using Float3 = std::array<float, 3>;
using Mat4 = std::array<double, 16>;  // column-major, as GL stores it

// clang-format off
enum class Op { kBegin, kEnd, kNormal, kVertex, kPushMatrix, kPopMatrix, kTranslate, kRotate,
                kColor, kGenLists, kNewList, kEndList, kCallList };
// clang-format on

// One GL call: `mode` of glBegin or glNewList; `list` the id of glNewList / glCallList or the
// range asked of glGenLists; `f` the float arguments in order.
struct Call {
  Op op;
  GLenum mode = 0;
  GLuint list = 0;
  std::array<float, 4> f = {0, 0, 0, 0};
  bool operator==(const Call &o) const {
    return op == o.op && mode == o.mode && list == o.list && f == o.f;
  }
};
void PrintTo(const Call &call, std::ostream *os);

struct Vertex {
  Float3 local;        // as given to glVertex3f
  Float3 normal;       // the current normal as given to glNormal3f
  Vec3d pos;           // local transformed by the modelview matrix
  Vec3d world_normal;  // normal turned by the modelview matrix
  Float3 color;        // the current colour
};

struct Primitive {
  GLenum mode;
  std::vector<Vertex> vertices;
};

inline Mat4 identity() {
  return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

struct Recording {
  std::vector<Call> calls;                    // every call made, in order, compiled or not
  std::vector<Primitive> drawn;               // primitives executed (not merely compiled)
  std::vector<std::string> errors;            // misuse, in order
  std::map<GLuint, std::vector<Call>> lists;  // compiled display lists
  std::vector<Mat4> stack;                    // saved matrices below the current one
  Mat4 matrix = identity();                   // the current modelview matrix
  Float3 color = {1, 1, 1};
  Float3 normal = {0, 0, 1};
  bool in_begin = false;
  GLuint compiling = 0;  // the list being compiled, 0 when none
  GLenum compile_mode = 0;
  GLuint next_list = 1;
  bool gen_lists_fails = false;  // glGenLists returns 0, as GL does when it has no names left
};

// The one recording (GL is global state). reset() forgets everything, lists included.
Recording &recorder();
void reset();

// The faces of some primitives: each GL_QUADS primitive split into fours, each GL_POLYGON whole.
std::vector<std::vector<Vertex>> faces(const std::vector<Primitive> &primitives);

// Unit normal of a face from its transformed vertices, by Newell's rule: it points to the side from
// which the vertices run counter-clockwise. Zero for a face of no area.
Vec3d winding_normal(const std::vector<Vertex> &face);

}  // namespace glrec

#endif  // VELMORANT_TESTS_GL_RECORDER_H
