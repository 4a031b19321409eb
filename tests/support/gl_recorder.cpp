// The recording GL double: C-linkage definitions of the GL entry points, backed by one Recording.
#include "gl_recorder.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

namespace glrec {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr size_t kMaxStackDepth = 32;  // the least modelview stack depth GL guarantees

Recording g_rec = [] {
  Recording r;
  r.matrix = identity();
  return r;
}();

void error(const std::string &what) {
  g_rec.errors.push_back(what);
}

Mat4 multiply(const Mat4 &a, const Mat4 &b) {
  Mat4 m{};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      for (int k = 0; k < 4; ++k) m[c * 4 + r] += a[k * 4 + r] * b[c * 4 + k];
  return m;
}

Vec3d turn(const Mat4 &m, const Float3 &v) {
  Vec3d out{};
  for (int r = 0; r < 3; ++r) out[r] = m[r] * v[0] + m[4 + r] * v[1] + m[8 + r] * v[2];
  return out;
}

// Only colour, normal and vertex calls are allowed between glBegin and glEnd.
bool refuse_inside_begin(const char *name) {
  if (!g_rec.in_begin) return false;
  error(std::string(name) + " between glBegin and glEnd");
  return true;
}

void execute(const Call &c);

// Logs a call; compiles it into the open list and, unless only compiling, executes it.
void issue(const Call &c) {
  g_rec.calls.push_back(c);
  if (g_rec.compiling != 0) {
    g_rec.lists[g_rec.compiling].push_back(c);
    if (g_rec.compile_mode == GL_COMPILE) return;
  }
  execute(c);
}

void execute(const Call &c) {
  switch (c.op) {
    case Op::kBegin:
      if (g_rec.in_begin) {
        error("glBegin inside glBegin");
        return;
      }
      g_rec.in_begin = true;
      g_rec.drawn.push_back({c.mode, {}});
      return;
    case Op::kEnd: {
      if (!g_rec.in_begin) {
        error("glEnd without glBegin");
        return;
      }
      g_rec.in_begin = false;
      const Primitive &p = g_rec.drawn.back();
      if (p.mode == GL_QUADS && p.vertices.size() % 4 != 0) error("GL_QUADS with a partial quad");
      if (p.mode == GL_POLYGON && p.vertices.size() < 3)
        error("GL_POLYGON of fewer than 3 vertices");
      return;
    }
    case Op::kNormal:
      g_rec.normal = {c.f[0], c.f[1], c.f[2]};
      return;
    case Op::kColor:
      g_rec.color = {c.f[0], c.f[1], c.f[2]};
      return;
    case Op::kVertex: {
      if (!g_rec.in_begin) {
        error("glVertex outside glBegin/glEnd");
        return;
      }
      const Float3 local = {c.f[0], c.f[1], c.f[2]};
      Vec3d pos = turn(g_rec.matrix, local);
      for (int r = 0; r < 3; ++r) pos[r] += g_rec.matrix[12 + r];
      g_rec.drawn.back().vertices.push_back(
          {local, g_rec.normal, pos, turn(g_rec.matrix, g_rec.normal), g_rec.color});
      return;
    }
    case Op::kPushMatrix:
      if (refuse_inside_begin("glPushMatrix")) return;
      if (g_rec.stack.size() + 1 >= kMaxStackDepth) {
        error("modelview stack overflow");
        return;
      }
      g_rec.stack.push_back(g_rec.matrix);
      return;
    case Op::kPopMatrix:
      if (refuse_inside_begin("glPopMatrix")) return;
      if (g_rec.stack.empty()) {
        error("glPopMatrix on an empty stack");
        return;
      }
      g_rec.matrix = g_rec.stack.back();
      g_rec.stack.pop_back();
      return;
    case Op::kTranslate: {
      if (refuse_inside_begin("glTranslatef")) return;
      Mat4 t = identity();
      for (int r = 0; r < 3; ++r) t[12 + r] = c.f[r];
      g_rec.matrix = multiply(g_rec.matrix, t);
      return;
    }
    case Op::kRotate: {
      if (refuse_inside_begin("glRotatef")) return;
      double x = c.f[1], y = c.f[2], z = c.f[3];
      const double len = std::sqrt(x * x + y * y + z * z);
      if (len == 0) return;
      x /= len, y /= len, z /= len;
      const double a = c.f[0] * kPi / 180.0, co = std::cos(a), s = std::sin(a), k = 1 - co;
      const Mat4 r = {x * x * k + co,
                      y * x * k + z * s,
                      x * z * k - y * s,
                      0,
                      x * y * k - z * s,
                      y * y * k + co,
                      y * z * k + x * s,
                      0,
                      x * z * k + y * s,
                      y * z * k - x * s,
                      z * z * k + co,
                      0,
                      0,
                      0,
                      0,
                      1};
      g_rec.matrix = multiply(g_rec.matrix, r);
      return;
    }
    case Op::kCallList: {
      if (refuse_inside_begin("glCallList")) return;
      const auto it = g_rec.lists.find(c.list);
      if (it == g_rec.lists.end()) {
        error("glCallList of list " + std::to_string(c.list) + ", which was never compiled");
        return;
      }
      g_rec.list_calls.emplace_back(c.list, g_rec.matrix);
      const std::vector<Call> body = it->second;  // a copy: replay may not see the map change
      for (const Call &inner : body) execute(inner);
      return;
    }
    case Op::kGenLists:
    case Op::kNewList:
    case Op::kEndList:
      return;  // handled where they are issued: they are not compiled
  }
}

}  // namespace

void PrintTo(const Call &c, std::ostream *os) {
  static const char *const kNames[] = {"glBegin",      "glEnd",       "glNormal3f",   "glVertex3f",
                                       "glPushMatrix", "glPopMatrix", "glTranslatef", "glRotatef",
                                       "glColor3fv",   "glGenLists",  "glNewList",    "glEndList",
                                       "glCallList"};
  *os << kNames[static_cast<int>(c.op)] << "(mode " << c.mode << ", list " << c.list << ", "
      << c.f[0] << ", " << c.f[1] << ", " << c.f[2] << ", " << c.f[3] << ")";
}

Recording &recorder() {
  return g_rec;
}

void reset() {
  g_rec = Recording();
  g_rec.matrix = identity();
}

void clear_log() {
  g_rec.calls.clear();
  g_rec.drawn.clear();
  g_rec.errors.clear();
  g_rec.list_calls.clear();
}

Mat4 identity() {
  return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

bool is_identity(const Mat4 &m) {
  return m == identity();
}

Vec3d transform_point(const Mat4 &m, const Vec3d &p) {
  Vec3d out{};
  for (int r = 0; r < 3; ++r) out[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
  return out;
}

std::vector<std::vector<Vertex>> faces(const std::vector<Primitive> &primitives) {
  std::vector<std::vector<Vertex>> out;
  for (const Primitive &p : primitives) {
    if (p.mode == GL_QUADS) {
      for (size_t i = 0; i + 4 <= p.vertices.size(); i += 4)
        out.emplace_back(p.vertices.begin() + i, p.vertices.begin() + i + 4);
    } else {
      out.push_back(p.vertices);
    }
  }
  return out;
}

Vec3d winding_normal(const std::vector<Vertex> &face) {
  Vec3d n{};
  for (size_t i = 0; i < face.size(); ++i) {
    const Vec3d &a = face[i].pos, &b = face[(i + 1) % face.size()].pos;
    n[0] += (a[1] - b[1]) * (a[2] + b[2]);
    n[1] += (a[2] - b[2]) * (a[0] + b[0]);
    n[2] += (a[0] - b[0]) * (a[1] + b[1]);
  }
  const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (len < 1e-12) return {0, 0, 0};
  for (double &v : n) v /= len;
  return n;
}

Bounds bounds(const std::vector<Primitive> &primitives) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  Bounds b{{kInf, kInf, kInf}, {-kInf, -kInf, -kInf}};
  for (const Primitive &p : primitives)
    for (const Vertex &v : p.vertices)
      for (int i = 0; i < 3; ++i) {
        b.min[i] = std::min(b.min[i], v.pos[i]);
        b.max[i] = std::max(b.max[i], v.pos[i]);
      }
  return b;
}

}  // namespace glrec

using glrec::Call;
using glrec::issue;
using glrec::Op;

// The GL entry points themselves. glGenLists, glNewList and glEndList act at once, as in GL.
extern "C" {

void GLAPIENTRY glBegin(GLenum mode) {
  issue({Op::kBegin, mode, 0, {0, 0, 0, 0}});
}
void GLAPIENTRY glEnd(void) {
  issue({Op::kEnd});
}
void GLAPIENTRY glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
  issue({Op::kNormal, 0, 0, {x, y, z, 0}});
}
void GLAPIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
  issue({Op::kVertex, 0, 0, {x, y, z, 0}});
}
void GLAPIENTRY glColor3fv(const GLfloat *v) {
  issue({Op::kColor, 0, 0, {v[0], v[1], v[2], 0}});
}
void GLAPIENTRY glPushMatrix(void) {
  issue({Op::kPushMatrix});
}
void GLAPIENTRY glPopMatrix(void) {
  issue({Op::kPopMatrix});
}
void GLAPIENTRY glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
  issue({Op::kTranslate, 0, 0, {x, y, z, 0}});
}
void GLAPIENTRY glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
  issue({Op::kRotate, 0, 0, {angle, x, y, z}});
}
void GLAPIENTRY glCallList(GLuint list) {
  issue(Call::call_list(list));
}

GLuint GLAPIENTRY glGenLists(GLsizei range) {
  glrec::Recording &r = glrec::recorder();
  GLuint first = 0;
  if (!r.gen_lists_fails && range > 0) {
    first = r.next_list;
    r.next_list += static_cast<GLuint>(range);
  }
  r.calls.push_back({Op::kGenLists, 0, static_cast<GLuint>(range), {0, 0, 0, 0}});
  return first;
}

void GLAPIENTRY glNewList(GLuint list, GLenum mode) {
  glrec::Recording &r = glrec::recorder();
  r.calls.push_back({Op::kNewList, mode, list, {0, 0, 0, 0}});
  if (r.in_begin || r.compiling != 0 || list == 0) {
    r.errors.push_back("glNewList refused");
    return;
  }
  r.compiling = list;
  r.compile_mode = mode;
  r.lists[list].clear();
}

void GLAPIENTRY glEndList(void) {
  glrec::Recording &r = glrec::recorder();
  r.calls.push_back({Op::kEndList});
  if (r.compiling == 0) r.errors.push_back("glEndList without glNewList");
  r.compiling = 0;
}

}  // extern "C"
