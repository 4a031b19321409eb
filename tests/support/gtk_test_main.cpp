// Test main for suites that use real GTK and GL surfaces under an X server.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>

#include "view/glsurface.h"

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  // gtest_discover_tests lists the cases at build time; that needs no display.
  if (testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  // As main does: GTK 3 takes its GL settings from the environment as it starts.
  gl_surface_prepare_environment();
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "cannot open the X display (DISPLAY=%s): run under scripts/test\n",
                 g_getenv("DISPLAY") ? g_getenv("DISPLAY") : "");
    return 1;
  }
  gl_surface_init(&argc, &argv);
  return RUN_ALL_TESTS();
}
