// Time to compute a night's chart (Vega, 2026-06-21, 45 degrees north: 329
// samples; and the 24 hours of a polar day, 1440), to draw it into a cairo
// image of the window's 800 x 576, and to write it as PNG and CSV.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdio>
#include <string>

#include "chart/chart.h"
#include "chart/chart_plot.h"

namespace {

Chart vega_night(double latitude) {
  ChartRequest r;
  r.star = sky_find_star("Vega");
  r.latitude = latitude;
  r.year = 2026, r.month = 6, r.day = 21;
  Chart c;
  std::string error;
  if (!chart_compute(r, &c, &error)) std::fprintf(stderr, "%s\n", error.c_str());
  return c;
}

void BM_ComputeNight(benchmark::State &state) {
  for (auto _ : state) benchmark::DoNotOptimize(vega_night(double(state.range(0))));
  state.counters["samples"] = double(vega_night(double(state.range(0))).samples.size());
}
BENCHMARK(BM_ComputeNight)->Arg(45)->Arg(70)->Unit(benchmark::kMillisecond);

void BM_DrawNight(benchmark::State &state) {
  const Chart c = vega_night(45);
  cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 800, 576);
  for (auto _ : state) {
    cairo_t *cr = cairo_create(surface);
    std::string error;
    chart_plot_draw(c, cr, 800, 576, &error);
    cairo_destroy(cr);
  }
  cairo_surface_destroy(surface);
}
BENCHMARK(BM_DrawNight)->Unit(benchmark::kMillisecond);

void BM_WriteNight(benchmark::State &state) {
  const Chart c = vega_night(45);
  const std::string path =
      std::string("/tmp/velmorant-chart-bench.") + (state.range(0) ? "png" : "csv");
  for (auto _ : state) {
    std::string error;
    chart_plot_write(c, path.c_str(), &error);
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_WriteNight)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
