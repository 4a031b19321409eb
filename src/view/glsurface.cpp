// The part of the GL surface that is the same on both toolkits: the messages
// printed when no usable OpenGL visual or context exists.
#include "view/glsurface.h"

#include <cstdlib>

void gl_warn_single_buffered(void) {
  g_print("*** Cannot find the double-buffered visual.\n");
  g_print("*** Trying single-buffered visual.\n");
}

void gl_exit_without_visual(void) {
  g_print("*** No appripriate OpenGL capable visual found.\n");
  std::exit(1);
}
