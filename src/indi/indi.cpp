// The device "Velmorant": its properties as a table, their values and states
// drawn from the mount, and clients' messages read with GMarkup.
#include "indi/indi.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

enum class Kind { kNumber, kSwitch, kText };

struct Member {
  const char *name;
  const char *label;
  const char *format = "%g";  // numbers only: how clients show them
  double min = 0, max = 0, step = 0;
};

struct Property {
  const char *name;
  const char *label;
  const char *group;
  Kind kind;
  bool writable;
  const char *rule;  // switches: OneOfMany or AtMostOne
  std::vector<Member> members;
};

// Indices into the table below.
enum Index {
  kConnection,
  kDriverInfo,
  kEquatorial,
  kHorizontal,
  kCoordSet,
  kAbort,
  kTrackState,
  kTrackMode,
  kPark,
  kMotionNs,
  kMotionWe,
  kSlewRate,
  kGuideNs,
  kGuideWe,
  kSite,
  kTime,
  kRotator,
  kAxes,
  kCount
};

constexpr const char *kSexagesimal = "%010.6m";
constexpr const char *kMain = "Main Control";
constexpr const char *kMotion = "Motion Control";

const std::vector<Property> &table() {
  static const std::vector<Property> properties = {
      {"CONNECTION",
       "Connection",
       kMain,
       Kind::kSwitch,
       true,
       "OneOfMany",
       {{"CONNECT", "Connect"}, {"DISCONNECT", "Disconnect"}}},
      {"DRIVER_INFO",
       "Driver Info",
       "General Info",
       Kind::kText,
       false,
       nullptr,
       {{"DRIVER_NAME", "Name"},
        {"DRIVER_EXEC", "Exec"},
        {"DRIVER_VERSION", "Version"},
        {"DRIVER_INTERFACE", "Interface"}}},
      {"EQUATORIAL_EOD_COORD",
       "Eq. Coordinates",
       kMain,
       Kind::kNumber,
       true,
       nullptr,
       {{"RA", "RA (hh:mm:ss)", kSexagesimal, 0, 24, 0},
        {"DEC", "DEC (dd:mm:ss)", kSexagesimal, -90, 90, 0}}},
      {"HORIZONTAL_COORD",
       "Horizontal Coordinates",
       kMain,
       Kind::kNumber,
       false,
       nullptr,
       {{"ALT", "Alt (dd:mm:ss)", kSexagesimal, -90, 90, 0},
        {"AZ", "Az (dd:mm:ss)", kSexagesimal, 0, 360, 0}}},
      {"ON_COORD_SET",
       "On Set",
       kMain,
       Kind::kSwitch,
       true,
       "OneOfMany",
       {{"SLEW", "Slew"}, {"TRACK", "Track"}, {"SYNC", "Sync"}}},
      {"TELESCOPE_ABORT_MOTION",
       "Abort Motion",
       kMain,
       Kind::kSwitch,
       true,
       "AtMostOne",
       {{"ABORT", "Abort"}}},
      {"TELESCOPE_TRACK_STATE",
       "Tracking",
       kMain,
       Kind::kSwitch,
       true,
       "OneOfMany",
       {{"TRACK_ON", "On"}, {"TRACK_OFF", "Off"}}},
      {"TELESCOPE_TRACK_MODE",
       "Track Mode",
       kMain,
       Kind::kSwitch,
       true,
       "OneOfMany",
       {{"TRACK_SIDEREAL", "Sidereal"},
        {"TRACK_X10", "x10 time-lapse"},
        {"TRACK_X100", "x100 time-lapse"},
        {"TRACK_X1000", "x1000 time-lapse"}}},
      {"TELESCOPE_PARK",
       "Parking",
       kMain,
       Kind::kSwitch,
       true,
       "OneOfMany",
       {{"PARK", "Park(ed)"}, {"UNPARK", "UnPark(ed)"}}},
      {"TELESCOPE_MOTION_NS",
       "Motion N/S",
       kMotion,
       Kind::kSwitch,
       true,
       "AtMostOne",
       {{"MOTION_NORTH", "North"}, {"MOTION_SOUTH", "South"}}},
      {"TELESCOPE_MOTION_WE",
       "Motion W/E",
       kMotion,
       Kind::kSwitch,
       true,
       "AtMostOne",
       {{"MOTION_WEST", "West"}, {"MOTION_EAST", "East"}}},
      {"TELESCOPE_SLEW_RATE",
       "Slew Rate",
       kMotion,
       Kind::kSwitch,
       true,
       "OneOfMany",
       {{"SLEW_GUIDE", "Guide"},
        {"SLEW_CENTERING", "Centering"},
        {"SLEW_FIND", "Find"},
        {"SLEW_MAX", "Max"}}},
      {"TELESCOPE_TIMED_GUIDE_NS",
       "Guide N/S",
       "Guide",
       Kind::kNumber,
       true,
       nullptr,
       {{"TIMED_GUIDE_N", "North (ms)", "%.0f", 0, kIndiLongestPulse, 100},
        {"TIMED_GUIDE_S", "South (ms)", "%.0f", 0, kIndiLongestPulse, 100}}},
      {"TELESCOPE_TIMED_GUIDE_WE",
       "Guide W/E",
       "Guide",
       Kind::kNumber,
       true,
       nullptr,
       {{"TIMED_GUIDE_W", "West (ms)", "%.0f", 0, kIndiLongestPulse, 100},
        {"TIMED_GUIDE_E", "East (ms)", "%.0f", 0, kIndiLongestPulse, 100}}},
      {"GEOGRAPHIC_COORD",
       "Scope Location",
       "Site Management",
       Kind::kNumber,
       true,
       nullptr,
       {{"LAT", "Lat (dd:mm:ss)", kSexagesimal, -90, 90, 0},
        {"LONG", "Lon (dd:mm:ss)", kSexagesimal, 0, 360, 0},
        {"ELEV", "Elevation (m)", "%g", -500, 10000, 0}}},
      {"TIME_UTC",
       "UTC",
       "Site Management",
       Kind::kText,
       true,
       nullptr,
       {{"UTC", "UTC Time"}, {"OFFSET", "UTC Offset"}}},
      {"ABS_ROTATOR_ANGLE",
       "Field Rotation",
       "Rotator",
       Kind::kNumber,
       true,
       nullptr,
       {{"ANGLE", "Angle (degrees)", "%.2f", 0, 360, 0}}},
      {"MOUNT_AXES",
       "Mount Axes",
       "Axes",
       Kind::kNumber,
       false,
       nullptr,
       {{"A1", "a1 (degrees)", "%.4f", 0, 180, 0},
        {"A2", "a2 (degrees)", "%.4f", -90, 90, 0},
        {"A3", "a3 (degrees)", "%.4f", 0, 360, 0}}},
  };
  return properties;
}

constexpr double kTrackRates[] = {1, 10, 100, 1000};
// Degrees of the sky a second of each slew rate: half the sky's rate for
// guiding, then half a degree, two and five, as the hand controller's keys.
constexpr double kSlewSpeeds[] = {kMountGuideRate, 0.5, 2.0, 5.0};

int index_of(const std::string &name) {
  const auto &t = table();
  for (int i = 0; i < int(t.size()); i++) {
    if (name == t[size_t(i)].name) return i;
  }
  return -1;
}

// Only these exist while the device is disconnected.
bool visible(const IndiDevice &device, int i) {
  return device.connected || i == kConnection || i == kDriverInfo;
}

std::string number(double value, const char *format) {
  char text[G_ASCII_DTOSTR_BUF_SIZE];
  g_ascii_formatd(text, sizeof text, format, std::isfinite(value) ? value : 0.0);
  // A value a hair below 0 reads 0, not "-0.000000".
  const bool zero = std::strspn(text + 1, "0.") == std::strlen(text + 1);
  return text[0] == '-' && zero ? text + 1 : text;
}

std::string timestamp(double utc) {
  const std::time_t t = std::time_t(std::isfinite(utc) ? std::floor(utc) : 0);
  std::tm tm{};
  if (!gmtime_r(&t, &tm)) return "";
  char text[48];
  const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", tm.tm_year + 1900,
                              tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return n > 0 && size_t(n) < sizeof text ? text : "";
}

const char *on(bool value) {
  return value ? "On" : "Off";
}

bool tracking(const IndiMount &m) {
  return m.activity == MountActivity::kTracking;
}

int track_mode_of(const IndiDevice &device, const IndiMount &m) {
  if (!tracking(m)) return device.track_mode;
  for (int i = 0; i < 4; i++) {
    if (m.track_rate == kTrackRates[i]) return i;
  }
  return device.track_mode;
}

// Each member's value as the message carries it.
std::vector<std::string> values_of(const IndiDevice &d, const IndiMount &m, int i) {
  switch (i) {
    case kConnection:
      return {on(d.connected), on(!d.connected)};
    case kDriverInfo:
      return {kIndiDevice, "velmorant", VELMORANT_VERSION,
              // telescope (1), guider (4) and rotator (4096)
              "4101"};
    case kEquatorial:
      return {number(m.ra, "%.7f"), number(m.dec, "%.6f")};
    case kHorizontal:
      return {number(m.alt, "%.6f"), number(m.az, "%.6f")};
    case kCoordSet:
      return {on(d.coord_set == IndiCoordSet::kSlew), on(d.coord_set == IndiCoordSet::kTrack),
              on(d.coord_set == IndiCoordSet::kSync)};
    case kAbort:
      return {"Off"};
    case kTrackState:
      return {on(tracking(m)), on(!tracking(m))};
    case kTrackMode: {
      const int mode = track_mode_of(d, m);
      return {on(mode == 0), on(mode == 1), on(mode == 2), on(mode == 3)};
    }
    case kPark: {
      // Parking shows PARK on, Busy: clients tell parking from unparking so.
      const bool parked =
          m.activity == MountActivity::kParked || m.activity == MountActivity::kParking;
      return {on(parked), on(!parked)};
    }
    case kMotionNs:
      return {on(m.moving & kMountNorth), on(m.moving & kMountSouth)};
    case kMotionWe:
      return {on(m.moving & kMountWest), on(m.moving & kMountEast)};
    case kSlewRate:
      return {on(d.slew_rate == 0), on(d.slew_rate == 1), on(d.slew_rate == 2),
              on(d.slew_rate == 3)};
    case kGuideNs:
    case kGuideWe:
      return {"0", "0"};
    case kSite:
      return {number(m.latitude, "%.6f"),
              number(m.longitude < 0 ? m.longitude + 360 : m.longitude, "%.6f"),
              number(d.elevation, "%.1f")};
    case kTime:
      return {timestamp(m.utc), number(d.utc_offset, "%.2f")};
    case kRotator:
      return {number(m.frot, "%.4f")};
    default:
      return {number(m.axes[0], "%.4f"), number(m.axes[1], "%.4f"), number(m.axes[2], "%.4f")};
  }
}

IndiState derived_state(const IndiDevice &d, const IndiMount &m, int i) {
  const bool slewing =
      m.activity == MountActivity::kSlewing || m.activity == MountActivity::kParking;
  switch (i) {
    case kConnection:
      return d.connected ? IndiState::kOk : IndiState::kIdle;
    case kDriverInfo:
    case kAbort:
      return IndiState::kIdle;
    case kEquatorial:
    case kHorizontal:
      // Busy slewing or parking, Ok tracking, Idle at rest or parked, as
      // clients read a telescope's coordinates.
      return slewing ? IndiState::kBusy : tracking(m) ? IndiState::kOk : IndiState::kIdle;
    case kTrackState:
      return tracking(m) ? IndiState::kBusy : IndiState::kIdle;
    case kPark:
      return m.activity == MountActivity::kParking  ? IndiState::kBusy
             : m.activity == MountActivity::kParked ? IndiState::kOk
                                                    : IndiState::kIdle;
    case kMotionNs:
      return (m.moving & (kMountNorth | kMountSouth)) ? IndiState::kBusy : IndiState::kIdle;
    case kMotionWe:
      return (m.moving & (kMountWest | kMountEast)) ? IndiState::kBusy : IndiState::kIdle;
    case kGuideNs:
      return m.guiding_ns ? IndiState::kBusy : IndiState::kIdle;
    case kGuideWe:
      return m.guiding_we ? IndiState::kBusy : IndiState::kIdle;
    case kRotator:
      return d.rotating && slewing ? IndiState::kBusy : IndiState::kOk;
    default:
      return IndiState::kOk;
  }
}

IndiState state_of(const IndiDevice &d, const IndiMount &m, int i) {
  return d.alerts.count(table()[size_t(i)].name) ? IndiState::kAlert : derived_state(d, m, i);
}

const char *kind_name(Kind kind) {
  return kind == Kind::kNumber ? "Number" : kind == Kind::kSwitch ? "Switch" : "Text";
}

std::string def_of(const IndiDevice &d, const IndiMount &m, int i) {
  const Property &p = table()[size_t(i)];
  const char *kind = kind_name(p.kind);
  gchar *head = g_markup_printf_escaped(
      "<def%sVector device=\"%s\" name=\"%s\" label=\"%s\" group=\"%s\" state=\"%s\" "
      "perm=\"%s\" timeout=\"60\" timestamp=\"%s\"",
      kind, kIndiDevice, p.name, p.label, p.group, indi_state_name(state_of(d, m, i)),
      p.writable ? "rw" : "ro", timestamp(m.utc).c_str());
  std::string out = head;
  g_free(head);
  if (p.rule) out += std::string(" rule=\"") + p.rule + "\"";
  out += ">\n";
  const std::vector<std::string> values = values_of(d, m, i);
  for (size_t k = 0; k < p.members.size(); k++) {
    const Member &e = p.members[k];
    gchar *member =
        p.kind == Kind::kNumber
            ? g_markup_printf_escaped(
                  "  <defNumber name=\"%s\" label=\"%s\" format=\"%s\" min=\"%s\" max=\"%s\" "
                  "step=\"%s\">%s</defNumber>\n",
                  e.name, e.label, e.format, number(e.min, "%g").c_str(),
                  number(e.max, "%g").c_str(), number(e.step, "%g").c_str(), values[k].c_str())
            : g_markup_printf_escaped("  <def%s name=\"%s\" label=\"%s\">%s</def%s>\n", kind,
                                      e.name, e.label, values[k].c_str(), kind);
    out += member;
    g_free(member);
  }
  return out + "</def" + kind + "Vector>\n";
}

// A set*Vector with the given state and values; message only where given.
std::string set_of(const IndiMount &m, int i, IndiState state,
                   const std::vector<std::string> &values, const char *message) {
  const Property &p = table()[size_t(i)];
  const char *kind = kind_name(p.kind);
  gchar *head = g_markup_printf_escaped(
      "<set%sVector device=\"%s\" name=\"%s\" state=\"%s\" timeout=\"60\" timestamp=\"%s\"", kind,
      kIndiDevice, p.name, indi_state_name(state), timestamp(m.utc).c_str());
  std::string out = head;
  g_free(head);
  if (message && *message) {
    gchar *attribute = g_markup_printf_escaped(" message=\"%s\"", message);
    out += attribute;
    g_free(attribute);
  }
  out += ">\n";
  for (size_t k = 0; k < p.members.size(); k++) {
    gchar *member = g_markup_printf_escaped("  <one%s name=\"%s\">%s</one%s>\n", kind,
                                            p.members[k].name, values[k].c_str(), kind);
    out += member;
    g_free(member);
  }
  return out + "</set" + kind + "Vector>\n";
}

// The property's set*Vector as it is now, remembered as told.
std::string tell(IndiDevice *d, const IndiMount &m, int i, const char *message = nullptr) {
  const IndiState state = state_of(*d, m, i);
  const std::vector<std::string> values = values_of(*d, m, i);
  std::string key = indi_state_name(state);
  for (const std::string &v : values) key.append(";").append(v);
  d->sent[table()[size_t(i)].name] = key;
  return set_of(m, i, state, values, message);
}

std::string del_of(const IndiMount &m, int i) {
  gchar *text =
      g_markup_printf_escaped("<delProperty device=\"%s\" name=\"%s\" timestamp=\"%s\"/>\n",
                              kIndiDevice, table()[size_t(i)].name, timestamp(m.utc).c_str());
  std::string out = text;
  g_free(text);
  return out;
}

// The member's text, or null where the message lacks it.
const std::string *member(const IndiMessage &message, const char *name) {
  for (const auto &[key, value] : message.members) {
    if (key == name) return &value;
  }
  return nullptr;
}

bool is_on(const std::string *text) {
  if (!text) return false;
  gchar *copy = g_strstrip(g_strdup(text->c_str()));
  const bool yes = std::strcmp(copy, "On") == 0;
  g_free(copy);
  return yes;
}

// The first member switched On, by its index in the property, or -1.
int chosen(const IndiMessage &message, int i) {
  const Property &p = table()[size_t(i)];
  for (const auto &[key, value] : message.members) {
    for (size_t k = 0; k < p.members.size(); k++) {
      if (key == p.members[k].name && is_on(&value)) return int(k);
    }
  }
  return -1;
}

// The numbers a message gives for a number property, each member it lacks
// keeping `current`. False, with the reason, for a value that is not a
// number or lies outside its member's range.
bool numbers(const IndiMessage &message, int i, std::vector<double> *values, std::string *why) {
  const Property &p = table()[size_t(i)];
  for (size_t k = 0; k < p.members.size(); k++) {
    const Member &e = p.members[k];
    const std::string *text = member(message, e.name);
    if (!text) continue;
    double v;
    if (!indi_parse_number(text->c_str(), &v) || v < e.min || v > e.max) {
      // The client's text is not quoted back: it may hold what XML cannot.
      *why = std::string(e.name) + " takes a number from " + number(e.min, "%g") + " to " +
             number(e.max, "%g");
      return false;
    }
    (*values)[k] = v;
  }
  return true;
}

IndiAction action(IndiActionKind kind, int i, double a = 0, double b = 0) {
  IndiAction act{};
  act.kind = kind, act.a = a, act.b = b;
  act.property = table()[size_t(i)].name;
  return act;
}

// An Alert answered at once, with nothing asked of the mount.
std::string refuse(IndiDevice *d, const IndiMount &m, int i, const std::string &why) {
  d->alerts[table()[size_t(i)].name] = why;
  return tell(d, m, i, why.c_str());
}

void handle_switch(IndiDevice *d, const IndiMount &m, const IndiMessage &msg, int i,
                   IndiReply *reply) {
  const int k = chosen(msg, i);
  const auto moves = [&](unsigned pair, unsigned bits) {
    reply->actions.push_back(action(IndiActionKind::kMove, i, kSlewSpeeds[d->slew_rate]));
    reply->actions.back().direction = (m.moving & ~pair) | bits;
  };
  switch (i) {
    case kConnection:
      if (k < 0 || (k == 0) == d->connected) {
        reply->to_all += tell(d, m, i);
        return;
      }
      d->connected = k == 0;
      reply->to_all += tell(d, m, i);
      for (int j = 0; j < kCount; j++) {
        if (j == kConnection || j == kDriverInfo) continue;
        reply->to_all += d->connected ? def_of(*d, m, j) : del_of(m, j);
        d->sent.erase(table()[size_t(j)].name);
      }
      return;
    case kCoordSet:
      if (k >= 0) d->coord_set = IndiCoordSet(k);
      reply->to_all += tell(d, m, i);
      return;
    case kAbort:
      if (k == 0)
        reply->actions.push_back(action(IndiActionKind::kAbort, i));
      else
        reply->to_all += tell(d, m, i);
      return;
    case kTrackState:
      if (k < 0) break;
      reply->actions.push_back(
          action(IndiActionKind::kTrack, i, k == 0 ? kTrackRates[d->track_mode] : 0));
      return;
    case kTrackMode:
      if (k >= 0) d->track_mode = k;
      if (k >= 0 && tracking(m)) {
        reply->actions.push_back(action(IndiActionKind::kTrack, i, kTrackRates[k]));
        return;
      }
      break;
    case kPark:
      if (k < 0) break;
      reply->actions.push_back(action(k == 0 ? IndiActionKind::kPark : IndiActionKind::kUnpark, i));
      return;
    case kMotionNs:
      return moves(kMountNorth | kMountSouth, k < 0    ? 0u
                                              : k == 0 ? unsigned(kMountNorth)
                                                       : unsigned(kMountSouth));
    case kMotionWe:
      return moves(kMountWest | kMountEast, k < 0    ? 0u
                                            : k == 0 ? unsigned(kMountWest)
                                                     : unsigned(kMountEast));
    case kSlewRate:
      if (k >= 0) d->slew_rate = k;
      if (k >= 0 && m.moving) {
        reply->actions.push_back(action(IndiActionKind::kMove, i, kSlewSpeeds[k]));
        reply->actions.back().direction = m.moving;
        return;
      }
      break;
  }
  reply->to_all += tell(d, m, i);
}

void handle_number(IndiDevice *d, const IndiMount &m, const IndiMessage &msg, int i,
                   IndiReply *reply) {
  std::vector<double> v;
  switch (i) {
    case kEquatorial:
      v = {m.ra, m.dec};
      break;
    case kSite:
      v = {m.latitude, m.longitude < 0 ? m.longitude + 360 : m.longitude, d->elevation};
      break;
    case kRotator:
      v = {m.frot};
      break;
    default:
      v = {0, 0};
  }
  std::string why;
  if (!numbers(msg, i, &v, &why)) {
    reply->to_all += refuse(d, m, i, why);
    return;
  }
  switch (i) {
    case kEquatorial: {
      const double ra = v[0] >= 24 ? 0 : v[0];
      if (d->coord_set == IndiCoordSet::kSync) {
        reply->actions.push_back(action(IndiActionKind::kSync, i, ra, v[1]));
      } else {
        reply->actions.push_back(action(IndiActionKind::kGoTo, i, ra, v[1]));
        reply->actions.back().stop_after = d->coord_set == IndiCoordSet::kSlew;
      }
      return;
    }
    case kSite:
      d->elevation = v[2];
      reply->actions.push_back(
          action(IndiActionKind::kSetSite, i, v[0], v[1] > 180 ? v[1] - 360 : v[1]));
      return;
    case kRotator:
      reply->actions.push_back(action(IndiActionKind::kRotate, i, v[0] >= 360 ? 0 : v[0]));
      return;
    default: {  // the guide pulses: one direction at a time
      const unsigned bits[2][2] = {{kMountNorth, kMountSouth}, {kMountWest, kMountEast}};
      if (v[0] > 0 && v[1] > 0) {
        reply->to_all += refuse(d, m, i, "A guide pulse goes one way at a time");
        return;
      }
      if (v[0] == 0 && v[1] == 0) {
        reply->to_all += tell(d, m, i);
        return;
      }
      reply->actions.push_back(action(IndiActionKind::kGuide, i, std::max(v[0], v[1])));
      reply->actions.back().direction = bits[i == kGuideWe][v[0] > 0 ? 0 : 1];
    }
  }
}

void handle_text(IndiDevice *d, const IndiMount &m, const IndiMessage &msg, int i,
                 IndiReply *reply) {
  // TIME_UTC: an ISO 8601 instant, UTC unless it says otherwise.
  const std::string *utc = member(msg, "UTC");
  const std::string *offset = member(msg, "OFFSET");
  double hours = d->utc_offset;
  if (offset && (!indi_parse_number(offset->c_str(), &hours) || std::fabs(hours) > 14)) {
    reply->to_all += refuse(d, m, i, "OFFSET takes hours from -14 to 14");
    return;
  }
  d->utc_offset = hours;
  if (!utc) {
    reply->to_all += tell(d, m, i);
    return;
  }
  GTimeZone *zone = g_time_zone_new_utc();
  GDateTime *when = g_date_time_new_from_iso8601(utc->c_str(), zone);
  g_time_zone_unref(zone);
  if (when &&
      (g_date_time_get_year(when) < kIndiFirstYear || g_date_time_get_year(when) > kIndiLastYear)) {
    g_date_time_unref(when);
    when = nullptr;
  }
  if (!when) {
    reply->to_all +=
        refuse(d, m, i,
               std::string("UTC takes a date and time from ") + std::to_string(kIndiFirstYear) +
                   " to " + std::to_string(kIndiLastYear) + ", as 2026-12-10T21:30:00");
    return;
  }
  const double seconds =
      double(g_date_time_to_unix(when)) + g_date_time_get_microsecond(when) / 1e6;
  g_date_time_unref(when);
  reply->actions.push_back(action(IndiActionKind::kSetClock, i, seconds));
}

// ---- Reading the stream ----

void on_start(GMarkupParseContext *, const gchar *element, const gchar **names,
              const gchar **values, gpointer data, GError **) {
  auto *s = static_cast<IndiSession *>(data);
  const int level = s->depth++;
  const auto attribute = [&](const char *wanted) {
    for (int k = 0; names[k]; k++) {
      if (std::strcmp(names[k], wanted) == 0) return std::string(values[k]);
    }
    return std::string();
  };
  if (level == 1) {
    s->building = IndiMessage{element, attribute("device"), attribute("name"), {}};
  } else if (level == 2) {
    s->member = attribute("name");
    s->text.clear();
    s->in_member = true;
  }
}

void on_end(GMarkupParseContext *, const gchar *, gpointer data, GError **error) {
  auto *s = static_cast<IndiSession *>(data);
  const int level = --s->depth;
  if (level == 2 && s->in_member) {
    s->building.members.emplace_back(s->member, s->text);
    s->in_member = false;
  } else if (level == 1) {
    s->complete.push_back(std::move(s->building));
    s->building = IndiMessage{};
  } else if (level == 0) {
    // The client closed the stream's own root.
    g_set_error_literal(error, G_MARKUP_ERROR, G_MARKUP_ERROR_INVALID_CONTENT, "stray end tag");
  }
}

void on_text(GMarkupParseContext *, const gchar *text, gsize length, gpointer data, GError **) {
  auto *s = static_cast<IndiSession *>(data);
  if (s->in_member && s->depth == 3) s->text.append(text, length);
}

const GMarkupParser kParser = {on_start, on_end, on_text, nullptr, nullptr};

// A parser that has read the opening of a root, so that the stream's
// messages are its children.
void begin(IndiSession *s) {
  s->parser.reset(g_markup_parse_context_new(&kParser, G_MARKUP_TREAT_CDATA_AS_TEXT, s, nullptr));
  s->depth = 0;
  s->in_member = false;
  s->building = IndiMessage{};
  g_markup_parse_context_parse(s->parser.get(), "<indi>", 6, nullptr);
}

}  // namespace

const char *indi_state_name(IndiState state) {
  switch (state) {
    case IndiState::kIdle:
      return "Idle";
    case IndiState::kOk:
      return "Ok";
    case IndiState::kBusy:
      return "Busy";
    default:
      return "Alert";
  }
}

bool indi_parse_number(const char *text, double *value) {
  if (!text) return false;
  std::string t = text;
  const size_t first = t.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return false;
  t = t.substr(first, t.find_last_not_of(" \t\r\n") - first + 1);
  bool negative = false;
  if (t[0] == '-' || t[0] == '+') negative = t[0] == '-', t.erase(0, 1);
  // Up to three parts, degrees (or hours), minutes and seconds.
  double parts[3] = {0, 0, 0}, total = 0;
  int count = 0;
  const char *p = t.c_str(), *end = p + t.size();
  while (p < end) {
    if (count == 3 || !(std::isdigit(static_cast<unsigned char>(*p)) || *p == '.')) return false;
    const auto [next, error] = std::from_chars(p, end, parts[count]);
    if (error != std::errc() || (count > 0 && (parts[count] < 0 || parts[count] >= 60))) {
      return false;
    }
    count++;
    p = next;
    if (p < end) {
      if (*p != ':' && *p != ' ') return false;
      while (p < end && (*p == ':' || *p == ' ')) p++;
      if (p == end) return false;
    }
  }
  if (count == 0) return false;
  total = parts[0] + parts[1] / 60 + parts[2] / 3600;
  if (!std::isfinite(total)) return false;
  *value = negative ? -total : total;
  return true;
}

std::vector<IndiMessage> indi_parse(IndiSession *session, const char *bytes, std::size_t n,
                                    bool *drop) {
  *drop = false;
  if (!session->parser) begin(session);
  // Fed in pieces that each end at a '>', where alone a message can end, so
  // that the bytes of an unfinished message are counted exactly.
  for (std::size_t at = 0; at < n;) {
    const void *close = std::memchr(bytes + at, '>', n - at);
    const std::size_t piece =
        close ? std::size_t(static_cast<const char *>(close) - (bytes + at)) + 1 : n - at;
    const std::size_t before = session->complete.size();
    GError *error = nullptr;
    const gboolean ok =
        g_markup_parse_context_parse(session->parser.get(), bytes + at, gssize(piece), &error);
    at += piece;
    session->unfinished = session->complete.size() > before ? 0 : session->unfinished + piece;
    if (!ok) {
      // The next piece starts after a '>', where a message may begin.
      g_error_free(error);
      session->malformed++;
      session->unfinished = 0;
      begin(session);
      continue;
    }
    if (session->unfinished > kIndiLongestMessage) {
      *drop = true;
      break;
    }
  }
  std::vector<IndiMessage> out;
  out.swap(session->complete);
  return out;
}

IndiReply indi_handle(IndiSession *session, IndiDevice *device, const IndiMount &mount,
                      const IndiMessage &message) {
  IndiReply reply;
  if (!message.device.empty() && message.device != kIndiDevice) return reply;
  if (message.tag == "getProperties") {
    session->subscribed = true;
    for (int i = 0; i < kCount; i++) {
      if (visible(*device, i) &&
          (message.name.empty() || message.name == table()[size_t(i)].name)) {
        reply.to_client += def_of(*device, mount, i);
      }
    }
    return reply;
  }
  const int i = index_of(message.name);
  if (i < 0 || !visible(*device, i) || !table()[size_t(i)].writable) return reply;
  const Kind kind = table()[size_t(i)].kind;
  if (message.tag != std::string("new") + kind_name(kind) + "Vector") return reply;
  if (kind == Kind::kSwitch) handle_switch(device, mount, message, i, &reply);
  if (kind == Kind::kNumber) handle_number(device, mount, message, i, &reply);
  if (kind == Kind::kText) handle_text(device, mount, message, i, &reply);
  return reply;
}

std::string indi_answer(IndiDevice *device, const IndiMount &mount, const IndiAction &action,
                        const char *refused) {
  const int i = index_of(action.property);
  if (i < 0) return "";
  if (refused && *refused) return refuse(device, mount, i, refused);
  device->alerts.erase(action.property);
  switch (action.kind) {
    case IndiActionKind::kGoTo:
      device->stop_on_arrival = action.stop_after;
      device->rotating = false;
      break;
    case IndiActionKind::kAbort:
      device->stop_on_arrival = device->rotating = false;
      device->alerts.clear();
      break;
    case IndiActionKind::kRotate:
      device->rotating = true;
      break;
    default:
      break;
  }
  // An abort is answered Ok, its switch released, as clients expect.
  if (action.kind == IndiActionKind::kAbort) {
    device->sent.erase(action.property);
    return set_of(mount, i, IndiState::kOk, {"Off"}, nullptr);
  }
  return tell(device, mount, i);
}

IndiReply indi_poll(IndiDevice *device, const IndiMount &mount) {
  IndiReply reply;
  const bool slewing = mount.activity == MountActivity::kSlewing;
  if (device->stop_on_arrival && !slewing) {
    // A SLEW has arrived (tracking began) or was ended: it stops there.
    if (tracking(mount)) reply.actions.push_back(action(IndiActionKind::kTrack, kTrackState));
    device->stop_on_arrival = false;
  }
  if (device->rotating && !slewing) device->rotating = false;
  for (int i = 0; i < kCount; i++) {
    // The clock and the driver's texts are told when asked, not as they run.
    if (!visible(*device, i) || i == kTime || i == kDriverInfo || i == kAbort) continue;
    const std::string name = table()[size_t(i)].name;
    // A new slew or park ends an Alert left by a refused one.
    if (derived_state(*device, mount, i) == IndiState::kBusy) device->alerts.erase(name);
    const IndiState state = state_of(*device, mount, i);
    std::string key = indi_state_name(state);
    for (const std::string &v : values_of(*device, mount, i)) key.append(";").append(v);
    const auto told = device->sent.find(name);
    if (told != device->sent.end() && told->second == key) continue;
    reply.to_all += tell(device, mount, i);
  }
  return reply;
}
