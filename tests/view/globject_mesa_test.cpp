// The solid primitives compiled into a display list and drawn by the real OpenGL under X.
#include "view/globject.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "support/gl_test_util.h"

namespace {

// Every kind of solid, as the model uses them: prisms, cylinders, rings, sectors, an extrusion.
void draw_every_solid() {
  const Vec3f square[4] = {{0.1f, -0.1f, 0}, {0.1f, 0.1f, 0}, {-0.1f, 0.1f, 0}, {-0.1f, -0.1f, 0}};
  glob_extrude_polygon(square, 4, 0.2f, false);
  glob_extrude_polygon(square, 4, 0.2f, true);
  glob_draw_regular_polygon(8, 0.3f);
  glob_extrude_regular_polygon(24, 24, 0.5f, 0.5f, 0.4f, true);  // cylinder
  glob_extrude_regular_polygon(5, 5, 0.5f, 0.5f, 0.4f, false);   // odd-sided prism
  glob_extrude_regular_polygon(24, 24, 0.6f, 0.1f, 0.4f, true);  // tube
  glob_extrude_regular_polygon(24, 18, 0.7f, 0.1f, 0.4f, true);  // horseshoe-like sector
  glob_extrude_regular_polygon(8, 8, 0.7f, 0.1f, 0.4f, false);   // octagonal collar
}

TEST(GlobjectMesa, SolidsCompileIntoAListAndDrawWithoutAGlError) {
  GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWidget *area = gl_surface_new();
  gtk_widget_set_size_request(area, 64, 64);
  gtk_container_add(GTK_CONTAINER(window), area);
  gtk_widget_show_all(window);
  settle();

  with_gl(area, [] {
    // A context with no window of its own (EGL on Wayland) starts with an
    // empty viewport.
    glViewport(0, 0, 64, 64);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    GLint depth_before = 0, depth_after = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth_before);

    const GLuint list = glGenLists(1);
    ASSERT_NE(list, 0u);
    glNewList(list, GL_COMPILE);
    draw_every_solid();
    glEndList();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "while compiling";
    glCallList(list);
    glFinish();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "while drawing";
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth_after);
    EXPECT_EQ(depth_after, depth_before);

    // Something was drawn: the cylinder covers the centre of the view.
    GLubyte centre[3] = {0, 0, 0};
    glReadPixels(32, 32, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, centre);
    EXPECT_GT(centre[0] + centre[1] + centre[2], 0) << "the view stayed black";

    glDeleteLists(list, 1);
  });
  gtk_widget_destroy(window);
  process_events();
}

}  // namespace
