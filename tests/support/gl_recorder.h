// A recording double for the fixed-function GL entry points that the solid primitives and the
// mount model call. A test executable that links this library instead of libGL receives every
// call: the recorder logs it, compiles display lists, replays them on glCallList, keeps the
// modelview matrix stack, and collects the primitives drawn, with each vertex and normal both as
// passed and as transformed by the matrix current at the time. Misuse that GL would reject or that
// would corrupt a picture (matrix calls inside glBegin, a pop on an empty stack, an unbalanced
// quad count, ...) is collected as error messages.
#ifndef VELMORANT_TESTS_GL_RECORDER_H
#define VELMORANT_TESTS_GL_RECORDER_H

#include <GL/gl.h>

#include <array>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace glrec {

using Vec3d = std::array<double, 3>;
using Float3 = std::array<float, 3>;
using Mat4 = std::array<double, 16>;  // column-major, as GL stores it

enum class Op {
  kBegin,
  kEnd,
  kNormal,
  kVertex,
  kPushMatrix,
  kPopMatrix,
  kTranslate,
  kRotate,
  kColor,
  kGenLists,
  kNewList,
  kEndList,
  kCallList
};

// One GL call. `mode` is the primitive of glBegin or the mode of glNewList; `list` the list id of
// glNewList / glCallList, the range asked of glGenLists; `f` the float arguments (x, y, z of
// normal, vertex, translate and colour; angle, x, y, z of rotate).
struct Call {
  Op op;
  GLenum mode = 0;
  GLuint list = 0;
  std::array<float, 4> f = {0, 0, 0, 0};

  static Call rotate(float angle, float x, float y, float z) {
    return {Op::kRotate, 0, 0, {angle, x, y, z}};
  }
  static Call call_list(GLuint id) { return {Op::kCallList, 0, id, {0, 0, 0, 0}}; }
  bool operator==(const Call &o) const {
    return op == o.op && mode == o.mode && list == o.list && f == o.f;
  }
};
void PrintTo(const Call &call, std::ostream *os);

struct Vertex {
  Float3 local;        // as given to glVertex3f
  Float3 normal;       // the current normal as given to glNormal3f
  Vec3d pos;           // local transformed by the modelview matrix
  Vec3d world_normal;  // normal turned by the modelview matrix (only rotations are expected)
  Float3 color;        // the current colour
};

struct Primitive {
  GLenum mode;
  std::vector<Vertex> vertices;
};

struct Recording {
  std::vector<Call> calls;                    // every call the code made, in order, compiled or not
  std::vector<Primitive> drawn;               // primitives executed (not merely compiled), in order
  std::vector<std::string> errors;            // misuse, in order
  std::map<GLuint, std::vector<Call>> lists;  // compiled display lists
  std::vector<std::pair<GLuint, Mat4>> list_calls;  // each executed glCallList and its matrix
  std::vector<Mat4> stack;                          // saved matrices below the current one
  Mat4 matrix;                                      // the current modelview matrix
  Float3 color = {1, 1, 1};
  Float3 normal = {0, 0, 1};
  bool in_begin = false;
  GLuint compiling = 0;  // the list being compiled, 0 when none
  GLenum compile_mode = 0;
  GLuint next_list = 1;
  bool gen_lists_fails = false;  // glGenLists returns 0, as GL does when it has no names left
};

// The one recording (GL is global state). reset() forgets everything, lists included, and sets
// the identity matrix, white colour and normal (0, 0, 1).
Recording &recorder();
void reset();
// Forgets the call log, the primitives drawn and the errors, keeping lists and GL state.
void clear_log();

Mat4 identity();
bool is_identity(const Mat4 &m);
Vec3d transform_point(const Mat4 &m, const Vec3d &p);

// The faces of some primitives: each GL_QUADS primitive split into fours, each GL_POLYGON whole.
std::vector<std::vector<Vertex>> faces(const std::vector<Primitive> &primitives);

// Unit normal of a face from its transformed vertices, by Newell's rule: it points to the side from
// which the vertices run counter-clockwise. Zero for a face of no area.
Vec3d winding_normal(const std::vector<Vertex> &face);

// Axis-aligned bounds of the transformed vertices.
struct Bounds {
  Vec3d min, max;
};
Bounds bounds(const std::vector<Primitive> &primitives);

}  // namespace glrec

#endif  // VELMORANT_TESTS_GL_RECORDER_H
