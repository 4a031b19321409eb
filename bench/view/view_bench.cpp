// Timings of the OpenGL view on the X server's GL (Mesa's software renderer
// under Xvfb).
//
// On both toolkits: CPU per presented frame, of the program and of the X
// server, for a scale change, for the view alone without and with View, Stars,
// and for a tracking step, with the view at
// 640 x 480 and at 1920 x 1080 (bench/view/compare.sh runs both builds and
// tabulates them). The X server's share is read from /proc when
// VELMORANT_BENCH_X_PID names its process.
//
// On GTK+ 2 also, at 640 x 480, each beside a baseline measured in the same
// run:
//   start-up to the first presented frame, beside a bare GTK + GtkGLExt window
//   (the two interleaved, minimum, median and maximum of each);
//   one scale change through to the presented frame, beside an empty frame and
//   beside the drawing area alone redrawn through the main loop;
//   a presented frame from the display lists, beside the same model in
//   immediate mode;
//   heap allocations per frame.
// Every frame benchmark is repeated and reported as mean, median, spread,
// minimum and maximum of the repetitions.
// Run it with a display large enough for the largest view, e.g.
// xvfb-run -a -s "-screen 0 2560x1600x24" view_bench.
#include <benchmark/benchmark.h>
#include <GL/gl.h>
#include <gtk/gtk.h>
#include <X11/Xlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/interface.h"
#include "controls/controls.h"
#include "controls/motion.h"
#include "controls/tracking.h"
#include "model/model.h"
#include "view/glcallbacks.h"
#include "view/glsurface.h"

// Every heap allocation in the process goes through here, so that a frame's
// allocations can be counted.
extern "C" void *__libc_malloc(size_t);
extern "C" void *__libc_calloc(size_t, size_t);
extern "C" void *__libc_realloc(void *, size_t);
extern "C" void *__libc_memalign(size_t, size_t);
static std::atomic<long> allocations{0};
extern "C" void *malloc(size_t n) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(n);
}
extern "C" void *calloc(size_t n, size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(n, size);
}
extern "C" void *realloc(void *p, size_t n) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, n);
}
// The aligned allocators: Mesa takes its vertex and matrix storage from these.
extern "C" void *memalign(size_t alignment, size_t n) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_memalign(alignment, n);
}
extern "C" void *aligned_alloc(size_t alignment, size_t n) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_memalign(alignment, n);
}
extern "C" int posix_memalign(void **out, size_t alignment, size_t n) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (alignment % sizeof(void *) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
  void *p = __libc_memalign(alignment, n);
  if (!p) return ENOMEM;
  *out = p;
  return 0;
}

namespace {

using Clock = std::chrono::steady_clock;

void process_events() {
  while (gtk_events_pending()) gtk_main_iteration();
}

// The program's own start-up, as main runs it.
AppState *start_velmorant(int *argc, char ***argv) {
  gl_surface_prepare_environment();
#if !GTK_CHECK_VERSION(3, 0, 0)
  gtk_set_locale();
#endif
  gtk_init(argc, argv);
  gl_surface_init(argc, argv);
  auto *state = g_new0(AppState, 1);
  state->min_altitude = kMinAltitudeDegrees;
  state->main_window = create_main_window();
  gtk_container_set_reallocate_redraws(GTK_CONTAINER(state->main_window), TRUE);
  ctrl_init_scales(state);
  gl_init_gtkglext(state);
  ctrl_init_view_menu(state);  // View, Stars among its items
  ctrl_motion_init(state, mount_default_limits());
  gtk_widget_show(state->main_window);
  return state;
}

// CPU seconds this process (all its threads, Mesa's among them) has used.
double process_cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// CPU seconds process pid has used (user and system), from /proc; -1 when
// unknown.
double other_cpu_seconds(const char *pid) {
  if (!pid || !*pid) return -1;
  std::ifstream in(std::string("/proc/") + pid + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t end = text.rfind(')');  // the command's name may hold spaces
  if (end == std::string::npos) return -1;
  std::vector<std::string> fields;
  size_t at = end + 2;
  while (at < text.size()) {
    const size_t next = text.find(' ', at);
    fields.push_back(text.substr(at, next - at));
    if (next == std::string::npos) break;
    at = next + 1;
  }
  // After the name: state is field 3, utime 14 and stime 15.
  if (fields.size() < 13) return -1;
  return double(std::stoll(fields[11]) + std::stoll(fields[12])) / double(sysconf(_SC_CLK_TCK));
}

// Frames the view has begun drawing.
int frames_drawn = 0;
gboolean count_frame(GSignalInvocationHint *, guint, const GValue *params, gpointer area) {
  if (g_value_get_object(&params[0]) == area) ++frames_drawn;
  return TRUE;
}

// Lets the main loop run until the view has drawn a new frame, then waits for
// GL and the X server to finish it.
void await_frame(AppState *state) {
  const int before = frames_drawn;
  while (frames_drawn == before) gtk_main_iteration();
  process_events();
  {
    GlScope gl(state->drawing_area);
    if (gl) glFinish();
  }
  gdk_display_sync(gdk_display_get_default());
}

// Resizes the window until the view is width x height (or as close as the
// slider column allows); false when it does not get there.
bool size_view(AppState *state, int width, int height) {
  gtk_widget_set_size_request(state->drawing_area, width, height);
  gtk_window_resize(GTK_WINDOW(state->main_window), 1, 1);
  GtkAllocation a{};
  for (int i = 0; i < 500; i++) {
    process_events();
    gtk_widget_get_allocation(state->drawing_area, &a);
    if (a.width == width && a.height >= height) break;
    g_usleep(10000);
  }
  gl_surface_queue_redraw(state->drawing_area);
  await_frame(state);
  return a.width == width && a.height >= height;
}

// Milliseconds of CPU per presented frame, of this program and of the X
// server, over frames each made by step (after a few unmeasured ones), printed
// as one line.
template <typename Step>
void report_frame_cpu(AppState *state, const char *what, int frames, Step step) {
  const char *x_pid = g_getenv("VELMORANT_BENCH_X_PID");
  for (int i = 0; i < 10; i++) {
    step(i);
    await_frame(state);
  }
  const double program0 = process_cpu_seconds(), x0 = other_cpu_seconds(x_pid);
  const auto wall0 = Clock::now();
  for (int i = 0; i < frames; i++) {
    step(i);
    await_frame(state);
  }
  const double program = (process_cpu_seconds() - program0) * 1000 / frames;
  const double x = x0 < 0 ? -1 : (other_cpu_seconds(x_pid) - x0) * 1000 / frames;
  const double wall =
      std::chrono::duration<double, std::milli>(Clock::now() - wall0).count() / frames;
  GtkAllocation a{};
  gtk_widget_get_allocation(state->drawing_area, &a);
  std::printf(
      "frame-cpu gtk=%d view=%dx%d step=%s frames=%d program_ms=%.3f xserver_ms=%.3f "
      "wall_ms=%.3f\n",
      GTK_MAJOR_VERSION, a.width, a.height, what, frames, program, x, wall);
  std::fflush(stdout);
}

// The per-frame CPU of the two kinds of change at both view sizes.
void report_frame_cpu_at_sizes(AppState *state) {
  const guint draw_signal =
#if GTK_CHECK_VERSION(3, 0, 0)
      g_signal_lookup("render", GTK_TYPE_GL_AREA);
#else
      g_signal_lookup("expose-event", GTK_TYPE_WIDGET);
#endif
  const gulong hook =
      g_signal_add_emission_hook(draw_signal, 0, count_frame, state->drawing_area, nullptr);
  const int sizes[][3] = {{640, 480, 300}, {1920, 1080, 120}};
  for (const auto &size : sizes) {
    if (!size_view(state, size[0], size[1])) {
      std::fprintf(stderr,
                   "view_bench: the view did not reach %dx%d (is the screen large enough?)\n",
                   size[0], size[1]);
      continue;
    }
    // One move of the a1 scale: every handler runs, and the view redraws.
    report_frame_cpu(state, "scale", size[2], [&](int) {
      GtkRange *a1 = GTK_RANGE(state->a1_scale);
      gtk_range_set_value(a1, gtk_range_get_value(a1) == 46 ? 45 : 46);
    });
    // The view alone redrawn, no scale changed: what the rest costs is the
    // sliders' share.
    report_frame_cpu(state, "view-only", size[2],
                     [&](int) { gl_surface_queue_redraw(state->drawing_area); });
    // The same with View, Stars on: the sky's share of a frame.
    GtkCheckMenuItem *stars =
        GTK_CHECK_MENU_ITEM(g_object_get_data(G_OBJECT(state->main_window), "view_stars"));
    gtk_check_menu_item_set_active(stars, TRUE);
    report_frame_cpu(state, "view-only-stars", size[2],
                     [&](int) { gl_surface_queue_redraw(state->drawing_area); });
    gtk_check_menu_item_set_active(stars, FALSE);
    // One step of tracking at x1000 shown, as the motion timer makes it 30
    // times a second.
    gtk_range_set_value(GTK_RANGE(state->dec_scale), 60);  // circumpolar at latitude 45
    mount_track(state->mount, 1000, ctrl_motion_now(state));
    // A step moves the axes less than the pixel's worth after which the
    // motion timer redraws: the frame is asked for, as every few steps.
    report_frame_cpu(state, "track", size[2], [&](int) {
      ctrl_motion_step(state, true);
      gl_surface_queue_redraw(state->drawing_area);
    });
    mount_stop(state->mount, ctrl_motion_now(state));
    gtk_range_set_value(GTK_RANGE(state->ha_scale), 0);
    gtk_range_set_value(GTK_RANGE(state->dec_scale), 0);
  }
  size_view(state, 640, 480);
  g_signal_remove_emission_hook(draw_signal, hook);
}

#if !GTK_CHECK_VERSION(3, 0, 0)
// Finishes the frame just presented and leaves the main loop.
void finish_and_quit(GtkWidget *widget) {
  GdkGLDrawable *drawable = gtk_widget_get_gl_drawable(widget);
  if (gdk_gl_drawable_gl_begin(drawable, gtk_widget_get_gl_context(widget))) {
    glFinish();
    gdk_gl_drawable_gl_end(drawable);
  }
  gtk_main_quit();
}

// A bare window's first frame: clear and swap.
gboolean clear_swap_and_quit(GtkWidget *widget, GdkEventExpose *, gpointer) {
  GdkGLDrawable *drawable = gtk_widget_get_gl_drawable(widget);
  if (!gdk_gl_drawable_gl_begin(drawable, gtk_widget_get_gl_context(widget))) return FALSE;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  gdk_gl_drawable_swap_buffers(drawable);
  gdk_gl_drawable_gl_end(drawable);
  finish_and_quit(widget);
  return TRUE;
}

// velmorant's first frame, drawn by its own expose handler.
gboolean expose_and_quit(GtkWidget *widget, GdkEventExpose *event, gpointer state) {
  const gboolean drawn = gl_expose_event(widget, event, static_cast<AppState *>(state));
  finish_and_quit(widget);
  return drawn;
}

void start_bare_window(int *argc, char ***argv) {
  gtk_init(argc, argv);
  gtk_gl_init(argc, argv);
  GdkGLConfig *config = gdk_gl_config_new_by_mode(
      GdkGLConfigMode(GDK_GL_MODE_RGB | GDK_GL_MODE_DEPTH | GDK_GL_MODE_DOUBLE));
  GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWidget *area = gtk_drawing_area_new();
  gtk_widget_set_size_request(area, 640, 480);
  gtk_widget_set_gl_capability(area, config, nullptr, TRUE, GDK_GL_RGBA_TYPE);
  g_signal_connect(area, "expose_event", G_CALLBACK(clear_swap_and_quit), nullptr);
  gtk_container_add(GTK_CONTAINER(window), area);
  gtk_widget_show_all(window);
}

// Milliseconds from a fresh process's start-up code to its first finished
// frame, measured in a child process so that each run starts cold.
double startup_ms(bool bare, int argc, char **argv) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const auto t0 = Clock::now();
    if (bare) {
      start_bare_window(&argc, &argv);
    } else {
      AppState *state = start_velmorant(&argc, &argv);
      // The view's expose handler ends the emission, so it is wrapped rather
      // than followed.
      g_signal_handlers_disconnect_by_func(state->drawing_area,
                                           reinterpret_cast<gpointer>(gl_expose_event), state);
      g_signal_connect(state->drawing_area, "expose_event", G_CALLBACK(expose_and_quit), state);
    }
    gtk_main();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    if (write(fds[1], &ms, sizeof ms) != sizeof ms) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  double ms = -1;
  if (read(fds[0], &ms, sizeof ms) != sizeof ms) ms = -1;
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return ms;
}

// Bare-window and velmorant runs take turns, so that whatever drifts during
// the run (the server's caches, the machine's other load) weighs on both alike.
void report_startup(int argc, char **argv) {
  constexpr int kRuns = 15;
  std::vector<double> runs[2];  // [0] bare window, [1] velmorant
  for (int i = 0; i < kRuns; i++) {
    for (int velmorant = 0; velmorant < 2; velmorant++) {
      const double ms = startup_ms(!velmorant, argc, argv);
      if (ms >= 0) runs[velmorant].push_back(ms);  // a run that could not start is not timed
    }
  }
  for (int velmorant = 0; velmorant < 2; velmorant++) {
    std::vector<double> &r = runs[velmorant];
    if (r.empty()) continue;
    std::sort(r.begin(), r.end());
    std::printf(
        "start-up to first presented frame, %-26s min %6.1f  median %6.1f  max %6.1f ms  (%zu "
        "runs)\n",
        velmorant ? "velmorant:" : "bare GTK+GtkGLExt window:", r.front(), r[r.size() / 2],
        r.back(), r.size());
  }
  std::fflush(stdout);
}

AppState *app = nullptr;

// Begins GL on the drawing area for one benchmark body.
struct Gl {
  GdkGLDrawable *drawable = gtk_widget_get_gl_drawable(app->drawing_area);
  bool ok = gdk_gl_drawable_gl_begin(drawable, gtk_widget_get_gl_context(app->drawing_area));
  ~Gl() {
    if (ok) gdk_gl_drawable_gl_end(drawable);
  }
};

// Heap allocations made by the timed bodies of one benchmark, per iteration.
class AllocationCount {
 public:
  explicit AllocationCount(benchmark::State &s) : state_(s), start_(allocations.load()) {}
  ~AllocationCount() {
    state_.counters["allocs_per_frame"] =
        double(allocations.load() - start_) / double(std::max<int64_t>(state_.iterations(), 1));
  }

 private:
  benchmark::State &state_;
  long start_;
};

void finish_frame() {
  Gl gl;
  glFinish();
}

double smallest(const std::vector<double> &v) {
  return *std::min_element(v.begin(), v.end());
}
double largest(const std::vector<double> &v) {
  return *std::max_element(v.begin(), v.end());
}

// Each frame benchmark runs ten times over; only the statistics of the ten
// are reported, the spread among them included.
void repeated(benchmark::internal::Benchmark *b) {
  b->Unit(benchmark::kMillisecond)
      ->Repetitions(10)
      ->ReportAggregatesOnly(true)
      ->ComputeStatistics("min", smallest)
      ->ComputeStatistics("max", largest);
}

// One move of the a1 scale: the handlers update the other scales and ask for a
// redraw, which the main loop delivers; timed until the frame is finished.
void BM_ScaleChangeToPresentedFrame(benchmark::State &s) {
  double a1 = 45;
  AllocationCount count(s);
  for (auto _ : s) {
    a1 = a1 == 45 ? 46 : 45;
    gtk_range_set_value(GTK_RANGE(app->a1_scale), a1);
    process_events();  // the handlers ran; this delivers the expose
    finish_frame();
  }
}
BENCHMARK(BM_ScaleChangeToPresentedFrame)->Apply(repeated);

// The same road without the scales: the drawing area alone asked for a redraw
// and redrawn by the main loop.
void BM_GlOnlyRedrawThroughMainLoop(benchmark::State &s) {
  AllocationCount count(s);
  for (auto _ : s) {
    gtk_widget_queue_draw(app->drawing_area);
    process_events();
    finish_frame();
  }
}
BENCHMARK(BM_GlOnlyRedrawThroughMainLoop)->Apply(repeated);

void BM_EmptyFrame(benchmark::State &s) {
  Gl gl;
  AllocationCount count(s);
  for (auto _ : s) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gdk_gl_drawable_swap_buffers(gl.drawable);
    glFinish();
  }
}
BENCHMARK(BM_EmptyFrame)->Apply(repeated);

// The mount drawn and presented, from the display lists and then issued
// vertex by vertex.
void BM_FrameFromDisplayLists(benchmark::State &s) {
  Gl gl;
  AllocationCount count(s);
  for (auto _ : s) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    model_draw(app->model, 45, 10, 200);
    gdk_gl_drawable_swap_buffers(gl.drawable);
    glFinish();
  }
}
BENCHMARK(BM_FrameFromDisplayLists)->Apply(repeated);

void BM_FrameInImmediateMode(benchmark::State &s) {
  Gl gl;
  const ModelParams *m = app->model;
  AllocationCount count(s);
  for (auto _ : s) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    model_draw_base(m);
    glRotatef(-200, 0, 1, 0);
    model_draw_platform(m);
    glRotatef(10, 0, 0, 1);
    model_draw_horseshoe(m);
    glRotatef(45, 1, 0, 0);
    model_draw_tube(m);
    gdk_gl_drawable_swap_buffers(gl.drawable);
    glFinish();
  }
}
BENCHMARK(BM_FrameInImmediateMode)->Apply(repeated);

// The view's own expose handler: clear, pose, the four lists, swap.
void BM_ExposeHandler(benchmark::State &s) {
  AllocationCount count(s);
  for (auto _ : s) {
    gl_expose_event(app->drawing_area, nullptr, app);
    finish_frame();
  }
}
BENCHMARK(BM_ExposeHandler)->Apply(repeated);

// The same with the View menu's compass, pointing line and polar axis on.
void BM_ExposeHandlerWithEveryGuide(benchmark::State &s) {
  app->show_compass = app->show_pointing = 1;
  AllocationCount count(s);
  for (auto _ : s) {
    gl_expose_event(app->drawing_area, nullptr, app);
    finish_frame();
  }
  app->show_compass = app->show_pointing = 0;
}
BENCHMARK(BM_ExposeHandlerWithEveryGuide)->Apply(repeated);
#endif

}  // namespace

int main(int argc, char **argv) {
  if (!g_getenv("DISPLAY")) {
    std::fprintf(stderr, "view_bench needs an X display with GLX (try xvfb-run)\n");
    return 1;
  }
  // The X server resets whenever its last client leaves, and the next client
  // to start then pays for it inside gtk_init. This connection, held until
  // the process ends, keeps every timed child from being that client.
  Display *keep_server_up = XOpenDisplay(nullptr);
  if (!keep_server_up) {
    std::fprintf(stderr, "view_bench cannot open the X display\n");
    return 1;
  }
#if !GTK_CHECK_VERSION(3, 0, 0)
  report_startup(argc, argv);
#endif

  AppState *state = start_velmorant(&argc, &argv);
  while (!state->gl_initialized) gtk_main_iteration();
  process_events();
  {
    GlScope gl(state->drawing_area);
    std::printf("GTK %d.%d.%d, renderer: %s\n", GTK_MAJOR_VERSION, GTK_MINOR_VERSION,
                GTK_MICRO_VERSION, reinterpret_cast<const char *>(glGetString(GL_RENDERER)));
  }
  report_frame_cpu_at_sizes(state);

#if !GTK_CHECK_VERSION(3, 0, 0)
  app = state;
  std::printf("drawing area %d x %d\n", app->drawing_area->allocation.width,
              app->drawing_area->allocation.height);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
#endif
  XCloseDisplay(keep_server_up);
  return 0;
}
