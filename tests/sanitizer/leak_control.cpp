// Leaks on purpose, through each way the program's own code allocates (malloc,
// operator new, GLib's g_malloc, a toolkit object from g_object_new) and from
// where its code runs: under main and the main loop, and in a signal's
// handler. The sanitizer lane runs it under its own options and suppressions
// and fails unless the leak checker reports every leak: a suppression broad
// enough to hide one of them would hide the same leak in the program as well.
#include <gtk/gtk.h>

#include <cstdlib>

namespace {

// Each block passes through here, so that it is allocated, and is lost when
// the next one comes; each function stands in its own leak's stack.
void *volatile sink = nullptr;
__attribute__((noinline)) void leak_control_malloc() {
  sink = std::malloc(4001);
}
__attribute__((noinline)) void leak_control_new() {
  sink = new char[4002];
}
__attribute__((noinline)) void leak_control_g_malloc() {
  sink = g_malloc(4003);
}
__attribute__((noinline)) void leak_control_g_object() {
  sink = g_object_ref_sink(gtk_adjustment_new(0.0, 0.0, 1.0, 0.1, 0.5, 0.0));
}
__attribute__((noinline)) void leak_control_in_signal(GtkAdjustment *, gpointer) {
  sink = g_malloc(4004);
}

// The main loop's one callback: the leaks, the last from a signal's handler.
gboolean leak_from_the_main_loop(gpointer loop) {
  leak_control_malloc();
  leak_control_new();
  leak_control_g_malloc();
  leak_control_g_object();
  GtkAdjustment *adjustment = GTK_ADJUSTMENT(gtk_adjustment_new(0.0, 0.0, 1.0, 0.1, 0.5, 0.0));
  g_object_ref_sink(adjustment);
  g_signal_connect(adjustment, "value-changed", G_CALLBACK(leak_control_in_signal), nullptr);
  gtk_adjustment_set_value(adjustment, 0.5);
  g_object_unref(adjustment);
  sink = nullptr;
  g_main_loop_quit(static_cast<GMainLoop *>(loop));
  return G_SOURCE_REMOVE;
}

// Overwrites the stack below its caller, where the leaking calls left copies
// of their pointers: the leak checker, looking as the process ends, would
// count those as references.
__attribute__((noinline)) void clear_stack() {
  volatile char area[1 << 16];
  for (volatile char &byte : area) byte = 0;
}

}  // namespace

int main() {
  GMainLoop *loop = g_main_loop_new(nullptr, FALSE);
  g_idle_add(leak_from_the_main_loop, loop);
  g_main_loop_run(loop);
  g_main_loop_unref(loop);
  clear_stack();
  return 0;
}
