// The recording GL double: C-linkage definitions of the GL entry points, backed by one Recording.
#include "gl_recorder.h"

#include <cmath>

namespace glrec {
namespace {

constexpr double kPi = 3.141592653589793;

Recording g_rec;

void error(const std::string &what) {
  g_rec.errors.push_back(what);
}

// The current matrix times m (m applies first to a vertex).
void multiply_current(const Mat4 &m) {
  Mat4 out{};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      for (int k = 0; k < 4; ++k) out[c * 4 + r] += g_rec.matrix[k * 4 + r] * m[c * 4 + k];
  g_rec.matrix = out;
}

Vec3d turn(const Mat4 &m, const Float3 &v) {
  Vec3d out{};
  for (int r = 0; r < 3; ++r) out[r] = m[r] * v[0] + m[4 + r] * v[1] + m[8 + r] * v[2];
  return out;
}

void execute(const Call &c) {
  const bool matrix_op = c.op == Op::kPushMatrix || c.op == Op::kPopMatrix ||
                         c.op == Op::kTranslate || c.op == Op::kRotate || c.op == Op::kCallList;
  if (matrix_op && g_rec.in_begin) return error("matrix or list call between glBegin and glEnd");
  switch (c.op) {
    case Op::kBegin:
      if (g_rec.in_begin) return error("glBegin inside glBegin");
      g_rec.in_begin = true;
      g_rec.drawn.push_back({c.mode, {}});
      return;
    case Op::kEnd: {
      if (!g_rec.in_begin) return error("glEnd without glBegin");
      g_rec.in_begin = false;
      const Primitive &p = g_rec.drawn.back();
      if (p.mode == GL_QUADS && p.vertices.size() % 4 != 0) error("GL_QUADS with a partial quad");
      if (p.mode == GL_POLYGON && p.vertices.size() < 3) error("GL_POLYGON of under 3 vertices");
      return;
    }
    case Op::kNormal:
      g_rec.normal = {c.f[0], c.f[1], c.f[2]};
      return;
    case Op::kColor:
      g_rec.color = {c.f[0], c.f[1], c.f[2]};
      return;
    case Op::kVertex: {
      if (!g_rec.in_begin) return error("glVertex outside glBegin/glEnd");
      const Float3 local = {c.f[0], c.f[1], c.f[2]};
      Vec3d pos = turn(g_rec.matrix, local);
      for (int r = 0; r < 3; ++r) pos[r] += g_rec.matrix[12 + r];
      g_rec.drawn.back().vertices.push_back(
          {local, g_rec.normal, pos, turn(g_rec.matrix, g_rec.normal), g_rec.color});
      return;
    }
    case Op::kPushMatrix:
      g_rec.stack.push_back(g_rec.matrix);
      return;
    case Op::kPopMatrix:
      if (g_rec.stack.empty()) return error("glPopMatrix on an empty stack");
      g_rec.matrix = g_rec.stack.back();
      g_rec.stack.pop_back();
      return;
    case Op::kTranslate: {
      Mat4 t = identity();
      for (int r = 0; r < 3; ++r) t[12 + r] = c.f[r];
      return multiply_current(t);
    }
    case Op::kRotate: {  // R = cos I + (1 - cos) u u^T + sin [u]x, u the unit axis
      const double len = std::sqrt(c.f[1] * c.f[1] + c.f[2] * c.f[2] + c.f[3] * c.f[3]);
      if (len == 0) return;
      const double u[3] = {c.f[1] / len, c.f[2] / len, c.f[3] / len};
      const double a = c.f[0] * kPi / 180.0, co = std::cos(a), s = std::sin(a);
      Mat4 r = identity();
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
          const double cross = i == j ? 0 : ((j - i + 3) % 3 == 1 ? -1 : 1) * u[3 - i - j];
          r[j * 4 + i] = (i == j ? co : 0) + (1 - co) * u[i] * u[j] + s * cross;
        }
      return multiply_current(r);
    }
    case Op::kCallList: {
      const auto it = g_rec.lists.find(c.list);
      if (it == g_rec.lists.end()) return error("glCallList of a list never compiled");
      const std::vector<Call> body = it->second;  // a copy: replay may not see the map change
      for (const Call &inner : body) execute(inner);
      return;
    }
    default:  // glGenLists, glNewList and glEndList act where issued: they are not compiled
      return;
  }
}

// Logs a call; compiles it into the open list and, unless only compiling, executes it.
void issue(const Call &c) {
  g_rec.calls.push_back(c);
  if (g_rec.compiling != 0) {
    g_rec.lists[g_rec.compiling].push_back(c);
    if (g_rec.compile_mode == GL_COMPILE) return;
  }
  execute(c);
}

void issue3(Op op, float x, float y, float z) {
  issue({op, 0, 0, {x, y, z, 0}});
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
}

std::vector<std::vector<Vertex>> faces(const std::vector<Primitive> &primitives) {
  std::vector<std::vector<Vertex>> out;
  for (const Primitive &p : primitives) {
    const size_t n = p.mode == GL_QUADS ? 4 : p.vertices.size();
    for (size_t i = 0; i + n <= p.vertices.size() && n > 0; i += n)
      out.emplace_back(p.vertices.begin() + i, p.vertices.begin() + i + n);
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

}  // namespace glrec

using glrec::Call;
using glrec::issue;
using glrec::issue3;
using glrec::Op;

// The GL entry points themselves. glGenLists, glNewList and glEndList act at once, as in GL.
extern "C" {

// clang-format off
void GLAPIENTRY glBegin(GLenum mode) { issue({Op::kBegin, mode}); }
void GLAPIENTRY glEnd(void) { issue({Op::kEnd}); }
void GLAPIENTRY glNormal3f(GLfloat x, GLfloat y, GLfloat z) { issue3(Op::kNormal, x, y, z); }
void GLAPIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z) { issue3(Op::kVertex, x, y, z); }
void GLAPIENTRY glColor3fv(const GLfloat *v) { issue3(Op::kColor, v[0], v[1], v[2]); }
void GLAPIENTRY glPushMatrix(void) { issue({Op::kPushMatrix}); }
void GLAPIENTRY glPopMatrix(void) { issue({Op::kPopMatrix}); }
void GLAPIENTRY glTranslatef(GLfloat x, GLfloat y, GLfloat z) { issue3(Op::kTranslate, x, y, z); }
void GLAPIENTRY glRotatef(GLfloat a, GLfloat x, GLfloat y, GLfloat z) {
  issue({Op::kRotate, 0, 0, {a, x, y, z}});
}
void GLAPIENTRY glCallList(GLuint list) { issue({Op::kCallList, 0, list}); }
// clang-format on

GLuint GLAPIENTRY glGenLists(GLsizei range) {
  glrec::Recording &r = glrec::recorder();
  r.calls.push_back({Op::kGenLists, 0, static_cast<GLuint>(range)});
  if (r.gen_lists_fails || range <= 0) return 0;
  r.next_list += static_cast<GLuint>(range);
  return r.next_list - static_cast<GLuint>(range);
}

void GLAPIENTRY glNewList(GLuint list, GLenum mode) {
  glrec::Recording &r = glrec::recorder();
  r.calls.push_back({Op::kNewList, mode, list});
  if (r.in_begin || r.compiling != 0 || list == 0) return r.errors.push_back("glNewList refused");
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
