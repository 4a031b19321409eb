// The chart's picture through PLplot, and its files.
#include "chart/chart_plot.h"

#include "geometry/coord.h"

#include <libintl.h>
#include <cairo.h>
#include <plplot.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
// The program's text in the user's language.
const char *tr(const char *text) {
  return dgettext("velmorant", text);
}
// The same for a short text that needs its context to be translated right.
const char *trc(const char *context, const char *text) {
  const std::string key = std::string(context) + '\004' + text;
  const char *translated = dgettext("velmorant", key.c_str());
  return translated == key.c_str() ? text : translated;
}
}  // namespace

namespace {

// Colours of the palette (cmap0), by index.
enum Colour : PLINT {
  kBackground,
  kInk,
  kAltitude,
  kA1,
  kA2,
  kA3,
  kFieldRotation,
  kAltAz,
  kTwilight,
  kBright,
  kMarker,
  kColours
};
constexpr PLINT kRed[kColours] = {255, 0, 40, 31, 230, 148, 214, 120, 228, 205, 110};
constexpr PLINT kGreen[kColours] = {255, 0, 150, 119, 120, 103, 39, 80, 232, 212, 110};
constexpr PLINT kBlue[kColours] = {255, 0, 40, 180, 10, 189, 40, 60, 245, 232, 110};
constexpr PLINT kAxisColour[3] = {kA1, kA2, kA3};
// Rates below this are drawn at it on the logarithmic axis.
constexpr double kLeastRate = 1e-7;
// Line styles: 1 solid, 2 short dashes.
constexpr PLINT kSolid = 1, kDashed = 2;
// The panels' left and right edges, and each one's bottom and top, as
// fractions of the page.
constexpr double kLeft = 0.1, kRight = 0.76;
constexpr double kPanels[3][2] = {{0.57, 0.89}, {0.31, 0.53}, {0.08, 0.27}};
// The sidereal day is shorter than the solar one by this factor.
constexpr double kSiderealPerSolar = 86400.0 / kMountSiderealDay;

// PLplot reads '#' as the start of an escape sequence: doubled, it is itself.
std::string plain(const std::string &text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '#') out += '#';
  }
  return out;
}

// How a panel's y axis labels its values.
enum class YLabels { kDecades, kPlain };

// Times on the axis are hours from the first 0h UTC at or before the span;
// labels read them (or sidereal hours) as the time of day. A y axis's values
// are powers of ten (their logarithms given) or plain numbers.
void axis_label(PLINT axis, PLFLT value, char *label, PLINT length, PLPointer data) {
  if (axis == PL_Y_AXIS) {
    if (*static_cast<const YLabels *>(data) == YLabels::kDecades) {
      (void)std::snprintf(label, size_t(length), "10#u%ld#d", std::lround(value));
    } else {
      (void)std::snprintf(label, size_t(length), "%g", std::fabs(value) < 1e-12 ? 0.0 : value);
    }
    return;
  }
  const long minutes = std::lround(value * 60.0);
  const long in_day = ((minutes % 1440) + 1440) % 1440;
  (void)std::snprintf(label, size_t(length), "%02ld:%02ld", in_day / 60, in_day % 60);
}

struct Frame {
  double day0 = 0;        // POSIX seconds of the 0h UTC the axis counts from
  double x0 = 0, x1 = 0;  // the span, hours from day0
  double tick = 1;        // hours between labelled ticks
};

double hours(const Frame &f, double utc) {
  return (utc - f.day0) / 3600.0;
}

// Lines through the samples for which value gives a number (not NaN), broken
// at gaps and where the value jumps by more than jump (a3 coming round).
template <typename F>
void series(const Chart &chart, const Frame &f, F value, double jump) {
  std::vector<PLFLT> x, y;
  auto flush = [&] {
    if (x.size() > 1) plline(PLINT(x.size()), x.data(), y.data());
    x.clear(), y.clear();
  };
  for (const ChartSample &s : chart.samples) {
    const double v = value(s);
    if (std::isnan(v) || (!y.empty() && std::fabs(v - y.back()) > jump)) flush();
    if (std::isnan(v)) continue;
    x.push_back(hours(f, s.utc));
    y.push_back(v);
  }
  flush();
}

// Shades the time where the Sun stands above -18 degrees (lightly) and above
// kChartTwilight (more), over the whole height of the panel, y0 to y1.
void shade_twilight(const Chart &chart, const Frame &f, double y0, double y1) {
  const std::vector<ChartSample> &s = chart.samples;
  auto band = [](double sun) { return sun >= kChartTwilight ? 2 : sun >= -18.0 ? 1 : 0; };
  for (size_t i = 0; i < s.size();) {
    const int b = band(s[i].sun_altitude);
    size_t j = i;
    while (j + 1 < s.size() && band(s[j + 1].sun_altitude) == b) j++;
    if (b > 0) {
      // Half a step either side of the run, kept within the span.
      const double half = chart.request.step / 7200.0;
      const PLFLT xa = std::max(f.x0, hours(f, s[i].utc) - half);
      const PLFLT xb = std::min(f.x1, hours(f, s[j].utc) + half);
      const PLFLT xs[4] = {xa, xb, xb, xa}, ys[4] = {y0, y0, y1, y1};
      plcol0(b == 2 ? kBright : kTwilight);
      plfill(4, xs, ys);
    }
    i = j + 1;
  }
}

const char *event_name(ChartEventKind kind) {
  switch (kind) {
    case ChartEventKind::kRise:
      return trc("chart event", "rise");
    case ChartEventKind::kSet:
      return trc("chart event", "set");
    case ChartEventKind::kTransit:
      return trc("chart event", "transit");
    case ChartEventKind::kDusk:
      return trc("chart event", "dusk");
    case ChartEventKind::kDawn:
      return trc("chart event", "dawn");
  }
  return "";
}

// Dashed lines at each event within the span, named along the line in the
// top panel (label true).
void mark_events(const Chart &chart, const Frame &f, double y0, double y1, bool label) {
  plcol0(kMarker);
  plwidth(1.0);
  for (const ChartEvent &e : chart.events) {
    if (e.utc <= chart.start || e.utc >= chart.end) continue;  // the span's own ends
    const double x = hours(f, e.utc);
    pllsty(kDashed);
    pljoin(x, y0, x, y1);
    pllsty(kSolid);
    if (label)
      plptex(x - (f.x1 - f.x0) * 0.006, y1 - (y1 - y0) * 0.03, 0, -1, 0, event_name(e.kind));
  }
}

// The panel's legend outside its right edge.
void legend(const std::vector<std::string> &names, const std::vector<PLINT> &colours,
            const std::vector<PLINT> &styles, const std::vector<bool> &boxes) {
  const PLINT n = PLINT(names.size());
  std::vector<PLINT> opts(n), lines(n), widths_unused(n), box_patterns(n, 0);
  std::vector<PLFLT> widths(n, 2.0), box_scales(n, 0.8), box_widths(n, 1.0);
  std::vector<std::string> plain_names(n);
  std::vector<const char *> texts(n);
  std::vector<PLINT> text_colours(n, kInk);
  for (PLINT i = 0; i < n; i++) {
    opts[i] = boxes[i] ? PL_LEGEND_COLOR_BOX : PL_LEGEND_LINE;
    plain_names[i] = plain(names[i]);
    texts[i] = plain_names[i].c_str();
  }
  PLFLT width, height;
  pllegend(&width, &height, PL_LEGEND_BACKGROUND,
           PL_POSITION_RIGHT | PL_POSITION_OUTSIDE | PL_POSITION_VIEWPORT, 0.02, 0.0, 0.05,
           kBackground, kInk, kSolid, 0, 0, n, opts.data(), 0.6, 0.8, 1.5, 0.0, text_colours.data(),
           texts.data(), colours.data(), box_patterns.data(), box_scales.data(), box_widths.data(),
           colours.data(), styles.data(), widths.data(), nullptr, nullptr, nullptr, nullptr);
}

// One panel's viewport, window, shading, markers and frame.
void panel(const Chart &chart, const Frame &f, int index, double y0, double y1, const char *xopt,
           const char *yopt, double ytick, const std::string &ylabel, YLabels labels) {
  plslabelfunc(axis_label, &labels);
  plvpor(kLeft, kRight, kPanels[index][0], kPanels[index][1]);
  plwind(f.x0, f.x1, y0, y1);
  shade_twilight(chart, f, y0, y1);
  mark_events(chart, f, y0, y1, index == 0);
  plcol0(kInk);
  plwidth(1.0);
  plbox(xopt, f.tick, 4, yopt, ytick, labels == YLabels::kDecades ? int(ytick) : 0);
  plslabelfunc(axis_label, nullptr);
  plmtex("l", 5.4, 0.5, 0.5, plain(ylabel).c_str());
}

std::string title(const Chart &chart) {
  const ChartRequest &r = chart.request;
  std::string target = chart.request.star ? std::string(tr(chart.request.star->name))
                                          : sky_format_ra(chart.ra * kCoordPi / 180.0) + "  " +
                                                sky_format_dec(chart.dec * kCoordPi / 180.0);
  char date[16];
  (void)std::snprintf(date, sizeof date, "%04d-%02d-%02d", r.year, r.month, r.day);
  char site[96];
  (void)std::snprintf(site, sizeof site, "%.2f° %s, %.2f° %s", std::fabs(r.latitude),
                      r.latitude < 0 ? trc("compass point", "S") : trc("compass point", "N"),
                      std::fabs(r.longitude),
                      r.longitude < 0 ? trc("compass point", "W") : trc("compass point", "E"));
  char text[400];
  (void)std::snprintf(text, sizeof text,
                      chart.whole_day ? tr("%s from %s, the 24 hours from local noon of %s")
                                      : tr("%s from %s, the night of %s"),
                      target.c_str(), site, date);
  return text;
}

void draw(const Chart &chart) {
  plscmap0(kRed, kGreen, kBlue, kColours);
  // The page's own background, so that files and windows look alike.
  plvpor(0, 1, 0, 1);
  plwind(0, 1, 0, 1);
  plcol0(kBackground);
  const PLFLT page_x[4] = {0, 1, 1, 0}, page_y[4] = {0, 0, 1, 1};
  plfill(4, page_x, page_y);
  plschr(0, 0.75);

  Frame f;
  f.day0 = std::floor(chart.start / 86400.0) * 86400.0;
  f.x0 = hours(f, chart.start), f.x1 = hours(f, chart.end);
  if (f.x1 <= f.x0) f.x1 = f.x0 + 1;
  f.tick = f.x1 - f.x0 > 12 ? 2 : 1;
  const MountLimits &limits = chart.request.limits;
  const std::vector<bool> lines_only(6, false);

  // Angles: the altitude over the whole night, the axes and the field where
  // the mount can follow.
  panel(chart, f, 0, -90, 360, "bcsto", "bcnstv", 90, tr("Angle (°)"), YLabels::kPlain);
  plwidth(2.0);
  plcol0(kAltitude);
  series(
      chart, f, [](const ChartSample &s) { return s.altitude; }, 360);
  for (int i = 0; i < 3; i++) {
    plcol0(kAxisColour[i]);
    series(
        chart, f, [i](const ChartSample &s) { return s.reachable ? s.axes[i] : NAN; }, 180);
  }
  plcol0(kFieldRotation);
  // The field about 0 rather than across 0 and 360.
  series(
      chart, f,
      [](const ChartSample &s) {
        return s.reachable ? std::remainder(s.field_rotation, 360.0) : NAN;
      },
      180);
  legend({tr("altitude"), "a1", "a2", "a3", tr("field rotation"), tr("Sun −18° to −12°"),
          tr("Sun above −12°")},
         {kAltitude, kA1, kA2, kA3, kFieldRotation, kTwilight, kBright},
         {kSolid, kSolid, kSolid, kSolid, kSolid, kSolid, kSolid},
         {false, false, false, false, false, true, true});
  // Sidereal time along the top, on its own scale.
  const double lst0 = chart.samples.empty()
                          ? 0
                          : chart.samples.front().lst - (chart.samples.front().utc - chart.start) /
                                                            3600.0 * kSiderealPerSolar;
  plcol0(kInk);
  plslabelfunc(axis_label, nullptr);
  plwind(lst0, lst0 + (f.x1 - f.x0) * kSiderealPerSolar, -90, 360);
  plbox("cmsto", f.tick, 4, "", 0, 0);
  plmtex("t", 2.6, 0.5, 0.5, plain(tr("Local sidereal time")).c_str());
  plmtex("t", 4.6, 0.5, 0.5, plain(title(chart)).c_str());

  // Rates, absolute, on a logarithmic axis, with the top speeds.
  double most = *std::max_element(limits.speed.begin(), limits.speed.end());
  double least = 1e-3;
  for (const ChartSample &s : chart.samples) {
    most = std::max(most, std::fabs(s.altaz_azimuth_rate));
    least = std::min(least, std::max(kLeastRate, std::fabs(s.altaz_azimuth_rate)));
    if (!s.reachable) continue;
    for (double r : s.rate) {
      most = std::max(most, std::fabs(r));
      least = std::min(least, std::max(kLeastRate, std::fabs(r)));
    }
  }
  const double y0 = std::floor(std::log10(least)), y1 = std::ceil(std::log10(most * 1.5));
  panel(chart, f, 1, y0, y1, "bcst", "bcnstov", y1 - y0 > 5 ? 2 : 1, tr("Rate (°/s)"),
        YLabels::kDecades);
  plwidth(1.2);
  for (int i = 0; i < 3; i++) {
    plcol0(kAxisColour[i]);
    pllsty(kDashed);
    pljoin(f.x0, std::log10(limits.speed[i]), f.x1, std::log10(limits.speed[i]));
  }
  pllsty(kSolid);
  plwidth(2.0);
  auto logged = [](double r) { return std::log10(std::max(kLeastRate, std::fabs(r))); };
  for (int i = 0; i < 3; i++) {
    plcol0(kAxisColour[i]);
    series(
        chart, f, [&, i](const ChartSample &s) { return s.reachable ? logged(s.rate[i]) : NAN; },
        1e9);
  }
  plcol0(kAltAz);
  series(
      chart, f, [&](const ChartSample &s) { return logged(s.altaz_azimuth_rate); }, 1e9);
  legend({"a1", "a2", "a3", tr("alt-az azimuth"), tr("top speeds")}, {kA1, kA2, kA3, kAltAz, kInk},
         {kSolid, kSolid, kSolid, kSolid, kDashed}, {false, false, false, false, false});

  // The alt-az mount's field rotation rate.
  double field = 1e-4;
  for (const ChartSample &s : chart.samples) field = std::max(field, std::fabs(s.altaz_field_rate));
  field *= 1.15;
  panel(chart, f, 2, -field, field, "bcnsto", "bcnstov", 0, tr("Field rate (°/s)"),
        YLabels::kPlain);
  plcol0(kMarker);
  pljoin(f.x0, 0, f.x1, 0);
  plwidth(2.0);
  plcol0(kAltAz);
  series(
      chart, f, [](const ChartSample &s) { return s.altaz_field_rate; }, 1e9);
  legend({tr("alt-az field")}, {kAltAz}, {kSolid}, {false});
  plcol0(kInk);
  plmtex("b", 3.0, 0.5, 0.5, plain(tr("UTC")).c_str());
}

// The file a chart is written to, through stdio, keeping every error: PLplot
// looks at none of its own writes, nor at the closing of its file.
struct Sink {
  int fd;
  bool failed;
  int error = 0;  // the errno of the first failure, 0 for none seen
};

ssize_t sink_write(void *cookie, const char *bytes, size_t size) {
  auto *sink = static_cast<Sink *>(cookie);
  for (size_t done = 0; done < size;) {
    const ssize_t n = write(sink->fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      sink->failed = true;
      if (!sink->error) sink->error = n < 0 ? errno : ENOSPC;
      return -1;
    }
    done += size_t(n);
  }
  return ssize_t(size);
}

// Closing makes the bytes durable first: the rename that follows must not
// put an empty file in the old one's place after a crash.
int sink_close(void *cookie) {
  auto *sink = static_cast<Sink *>(cookie);
  if (fsync(sink->fd) != 0 && !sink->failed) sink->failed = true, sink->error = errno;
  if (close(sink->fd) != 0 && !sink->failed) sink->failed = true, sink->error = errno;
  return sink->failed ? -1 : 0;
}

// The process's umask, read without changing it (umask() would, for a moment
// that other threads could see); 022 where the kernel does not say.
mode_t current_umask() {
  FILE *status = std::fopen("/proc/self/status", "r");
  mode_t mask = 022;
  char line[128];
  while (status && std::fgets(line, sizeof line, status)) {
    if (std::strncmp(line, "Umask:", 6) != 0) continue;
    char *end = nullptr;
    const unsigned long value = std::strtoul(line + 6, &end, 8);
    if (end != line + 6 && value <= 0777) mask = mode_t(value);
    break;
  }
  if (status) (void)std::fclose(status);  // read only: nothing to lose
  return mask;
}

// The file PLplot is writing, while it writes one.
std::string unfinished;

// PLplot ends the process on a failure of its own (a driver that does not
// load): it is said in one line, the unfinished file removed, and the status
// is 2, as for any chart that cannot be written.
int on_plplot_exit(const char *message) {
  if (!unfinished.empty()) unlink(unfinished.c_str());
  (void)std::fprintf(stderr, "velmorant: PLplot: %s\n", message ? message : "");
  _exit(2);
}

// True where PLplot has the device called name.
bool has_device(const char *name) {
  const char *menu[64], *devices[64];
  const char **menu_p = menu, **devices_p = devices;
  int n = 64;
  plgDevs(&menu_p, &devices_p, &n);
  for (int i = 0; i < n; i++) {
    if (std::strcmp(devices[i], name) == 0) return true;
  }
  return false;
}

bool need_device(const char *name, std::string *error) {
  plsexit(on_plplot_exit);
  if (has_device(name)) return true;
  char text[200];
  (void)std::snprintf(text, sizeof text,
                      tr("PLplot has no device %s (Debian's plplot-driver-cairo provides it)"),
                      name);
  *error = text;
  return false;
}

void set_geometry(int width, int height) {
  char geometry[32];
  (void)std::snprintf(geometry, sizeof geometry, "%dx%d", std::max(1, width), std::max(1, height));
  plsetopt("geometry", geometry);
}

}  // namespace

ChartFormat chart_format_of(const char *path) {
  const char *dot = path ? std::strrchr(path, '.') : nullptr;
  if (!dot || std::strchr(dot, '/')) return ChartFormat::kUnknown;
  std::string ext;
  for (const char *p = dot + 1; *p; p++) ext += char(*p >= 'A' && *p <= 'Z' ? *p - 'A' + 'a' : *p);
  if (ext == "png") return ChartFormat::kPng;
  if (ext == "svg") return ChartFormat::kSvg;
  if (ext == "pdf") return ChartFormat::kPdf;
  if (ext == "csv") return ChartFormat::kCsv;
  return ChartFormat::kUnknown;
}

bool chart_plot_draw(const Chart &chart, void *cairo, int width, int height, std::string *error) {
  if (!need_device("extcairo", error)) return false;
  PLINT stream;
  plmkstrm(&stream);
  plsdev("extcairo");
  set_geometry(width, height);
  plinit();
  // PLplot turns the context's transform upside down: the caller gets its own
  // back.
  cairo_save(static_cast<cairo_t *>(cairo));
  pl_cmd(PLESC_DEVINIT, cairo);
  pladv(0);
  draw(chart);
  plend1();
  cairo_restore(static_cast<cairo_t *>(cairo));
  return true;
}

bool chart_plot_write(const Chart &chart, const char *path, std::string *error) {
  error->clear();
  const ChartFormat format = chart_format_of(path);
  const char *device = format == ChartFormat::kPng   ? "pngcairo"
                       : format == ChartFormat::kSvg ? "svgcairo"
                       : format == ChartFormat::kPdf ? "pdfcairo"
                                                     : nullptr;
  if (format == ChartFormat::kUnknown) {
    *error = tr("its extension is none of .png, .svg, .pdf and .csv");
    return false;
  }
  if (device && !need_device(device, error)) return false;
  // Written beside the file (beside what a symbolic link names, so that the
  // link stays), then renamed over it: a failure leaves no part of a file, and
  // an existing file is replaced only by a whole chart, with its mode.
  std::string target = path;
  if (char *real = realpath(path, nullptr)) {
    target = real;
    std::free(real);
  }
  struct stat st;
  const bool exists = stat(target.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    *error = tr("it is not a regular file");
    return false;
  }
  if (exists && access(target.c_str(), W_OK) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  std::string temporary = target + ".XXXXXX";
  Sink sink{mkstemp(&temporary[0]), false};
  if (sink.fd < 0) {
    *error = std::strerror(errno);
    return false;
  }
  if (fchmod(sink.fd, exists ? st.st_mode & 07777 : 0666 & ~current_umask()) != 0 ||
      (exists && (st.st_uid != geteuid() || st.st_gid != getegid()) &&
       fchown(sink.fd, st.st_uid, st.st_gid) != 0)) {
    sink.failed = true;  // the file would not be what it was: better none
  }
  FILE *file = fopencookie(&sink, "wb", {nullptr, sink_write, nullptr, sink_close});
  if (!file) {
    close(sink.fd);
    sink.failed = true;
  } else if (format == ChartFormat::kCsv) {
    const std::string csv = chart_csv(chart);
    if (std::fwrite(csv.data(), 1, csv.size(), file) != csv.size()) sink.failed = true;
    if (std::fclose(file) != 0) sink.failed = true;
  } else {
    // PLplot writes to the file it is given and closes it at the end; should
    // it fail inside, its exit handler removes the unfinished file.
    unfinished = temporary;
    PLINT stream;
    plmkstrm(&stream);
    plsdev(device);
    plsfile(file);
    set_geometry(kChartFileWidth, kChartFileHeight);
    plinit();
    pladv(0);
    draw(chart);
    plend1();
    unfinished.clear();
  }
  if (sink.failed) {
    *error = sink.error ? std::strerror(sink.error) : tr("the file could not be written in full");
  } else if (rename(temporary.c_str(), target.c_str()) != 0) {
    *error = std::strerror(errno);
  }
  if (error->empty()) return true;
  unlink(temporary.c_str());
  return false;
}
