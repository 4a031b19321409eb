// A chart's picture, drawn by PLplot through its cairo devices: into a cairo
// context that a window gives, or into a PNG, SVG or PDF file, so that both
// show the same picture; and the chart's files by their extension. No
// toolkit: the texts are translated through gettext's "velmorant" domain.
#pragma once

#include <string>

#include "chart/chart.h"

// The files a chart is written to, by the file name's extension (any case).
enum class ChartFormat { kUnknown, kPng, kSvg, kPdf, kCsv };
ChartFormat chart_format_of(const char *path);

// The size a chart is written at: pixels for PNG, points for SVG and PDF.
constexpr int kChartFileWidth = 1000;
constexpr int kChartFileHeight = 720;

// Draws chart into cairo, a cairo_t * of width x height pixels (each at least
// 1): three panels on one time axis (angles; absolute rates on a logarithmic
// axis beside the top speeds; an alt-az mount's field rate), twilight shaded,
// rise, transit and set marked. False, with a reason in *error, where PLplot's
// cairo driver is missing.
bool chart_plot_draw(const Chart &chart, void *cairo, int width, int height, std::string *error);

// Writes chart to path in the format of its extension: the picture at
// kChartFileWidth x kChartFileHeight, or the CSV of chart_csv. False, with a
// one-line reason in *error and no file left behind, for an unknown extension,
// a file that cannot be written, a path that names something other than a
// regular file, or a missing PLplot driver. The chart is written beside path
// and renamed over it, so that an existing file is replaced only by a whole
// chart.
bool chart_plot_write(const Chart &chart, const char *path, std::string *error);
