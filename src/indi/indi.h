// INDI's protocol for velmorant's simulated mount, as one device,
// "Velmorant", with a telescope's and a field rotator's standard properties:
// the properties drawn from the mount's state, and what a client's messages
// ask of the mount. XML is read by GLib's GMarkup and written with its
// escaping. No sockets and no clock here: the caller gives the mount's state
// at each instant and applies the actions.
//
// INDI's stream is a sequence of top-level elements with no root; each one
// is a message. Clients send getProperties and new*Vector; the device answers
// with def*Vector, set*Vector and delProperty.
#pragma once

#include <glib.h>

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mount/mount.h"

// The device's name, as clients address it.
constexpr const char *kIndiDevice = "Velmorant";
// The most bytes a client may send of one message before it is complete: a
// client that sends more is dropped.
constexpr std::size_t kIndiLongestMessage = std::size_t(64) * 1024;
// TIME_UTC takes the years of the sky's models, these included.
constexpr int kIndiFirstYear = 1900;
constexpr int kIndiLastYear = 2199;
// Guide pulses take 0 to this many milliseconds (the mount's own limit).
constexpr double kIndiLongestPulse = 10000;

// The mount as the device reports it, at one instant.
struct IndiMount {
  double ra = 0;         // apparent right ascension of date, hours in [0, 24)
  double dec = 0;        // apparent declination of date, degrees
  double alt = 0;        // altitude, degrees
  double az = 0;         // azimuth, degrees from north through east, in [0, 360)
  MountAxes axes{};      // a1, a2, a3, degrees
  double frot = 0;       // field rotation, degrees in [0, 360)
  double latitude = 0;   // degrees, north positive
  double longitude = 0;  // degrees east, in [-180, 180]
  double utc = 0;        // the sky clock, POSIX seconds
  MountActivity activity = MountActivity::kIdle;
  double track_rate = 1;    // times the sky's rate, while tracking
  unsigned moving = 0;      // MountDirection bits moving now
  bool guiding_ns = false;  // a north or south guide pulse runs
  bool guiding_we = false;  // an east or west one
};

// What a client asked the mount to do. Angles are degrees, right ascension
// hours.
enum class IndiActionKind {
  kGoTo,      // slew to ra a (hours), dec b; tracking follows arrival
  kSync,      // be at ra a, dec b at once
  kAbort,     // end every slew, park, track, move and pulse
  kMove,      // move toward the direction bits at a degrees of the sky a second (0 bits: stop)
  kTrack,     // track at a times the sky's rate, 0 to stop
  kPark,      // slew to the park pose and stay
  kUnpark,    // leave the park pose
  kGuide,     // a guide pulse toward direction (one bit) for a milliseconds
  kSetSite,   // latitude a, longitude b (degrees east, in [-180, 180])
  kSetClock,  // the sky clock reads a (POSIX seconds, UTC) now
  kRotate,    // turn the field to a degrees by moving the axes, pointing where they point
};

struct IndiAction {
  IndiActionKind kind;
  double a = 0, b = 0;
  unsigned direction = 0;
  bool stop_after = false;  // kGoTo: tracking ends on arrival (INDI's SLEW)
  std::string property;     // the property that asked: its answer names it
};

// One message as a client sent it: the top-level element's name, its device
// and name attributes, and each member element's name attribute and text.
struct IndiMessage {
  std::string tag;
  std::string device, name;
  std::vector<std::pair<std::string, std::string>> members;
};

// How a coordinate set by a client is taken (ON_COORD_SET).
enum class IndiCoordSet { kSlew, kTrack, kSync };

// The device's own settings and what it has told its clients: one for all
// clients, as INDI's devices are.
struct IndiDevice {
  bool connected = true;  // CONNECTION: the other properties exist only while connected
  IndiCoordSet coord_set = IndiCoordSet::kTrack;
  int slew_rate = 3;                          // TELESCOPE_SLEW_RATE: guide, centering, find, max
  int track_mode = 0;                         // TELESCOPE_TRACK_MODE: sidereal, x10, x100, x1000
  double elevation = 0;                       // metres, as a client set it
  double utc_offset = 0;                      // hours, as a client set it
  bool stop_on_arrival = false;               // a SLEW under way: tracking ends when it arrives
  bool rotating = false;                      // a turn of the field under way
  std::map<std::string, std::string> alerts;  // property: its Alert's message
  std::map<std::string, std::string> sent;    // property: its state and values as last told
};

struct IndiParserFree {
  void operator()(GMarkupParseContext *context) const { g_markup_parse_context_free(context); }
};

// One client's conversation: the parser, the message under way, and whether
// it asked for the device's properties (and so hears their changes). Its
// parser holds its address: it stays where it is once it has read bytes.
struct IndiSession {
  std::unique_ptr<GMarkupParseContext, IndiParserFree> parser;
  int depth = 0;         // elements open, the stream's own root included
  IndiMessage building;  // the top-level message under way
  std::string member;    // the member element under way, by name
  std::string text;      // its text so far
  bool in_member = false;
  std::vector<IndiMessage> complete;  // messages ended, not yet taken
  std::size_t unfinished = 0;         // bytes since the last message ended
  bool subscribed = false;            // it asked for the device's properties
  int malformed = 0;                  // times the stream could not be read and was resumed
};

// Reads bytes of a client's stream and returns the messages they complete, in
// order. Bytes that are not well-formed XML (binary bytes, unknown entities,
// unclosed or stray tags) end the parse: the bytes up to the next '>' are
// ignored and reading resumes after it, where a message may begin. *drop is set where
// kIndiLongestMessage bytes arrive without a message ending: the client must be closed.
std::vector<IndiMessage> indi_parse(IndiSession *session, const char *bytes, std::size_t n,
                                    bool *drop);

// What one message brings about.
struct IndiReply {
  std::string to_client;            // for the client that sent it (def*Vector on getProperties)
  std::string to_all;               // for every subscribed client (set*Vector, delProperty)
  std::vector<IndiAction> actions;  // for the caller to apply, each then answered (indi_answer)
};

// Takes one message from a client, with the mount as it is now. getProperties
// (for this device or for all) gives every property and subscribes the
// session; new*Vector messages for writable properties give actions, or an
// Alert with a message for values out of range. Messages for other devices,
// unknown properties and read-only ones, and other elements are ignored.
IndiReply indi_handle(IndiSession *session, IndiDevice *device, const IndiMount &mount,
                      const IndiMessage &message);

// The answer to an action once applied, for every subscribed client: its
// property's set*Vector as the mount now is, in Alert with refused as its
// message where the mount refused it (refused null or empty: it was done).
std::string indi_answer(IndiDevice *device, const IndiMount &mount, const IndiAction &action,
                        const char *refused);

// What changed since the clients were last told: set*Vector for each property
// whose state or values now read otherwise, and the actions the device takes
// of itself (tracking ends where a SLEW has arrived). Call it a few times a
// second while clients are subscribed.
IndiReply indi_poll(IndiDevice *device, const IndiMount &mount);

// Reads a number as INDI's clients write it: decimal ("-12.5") or
// sexagesimal with ':' or ' ' ("-12:30:00", "12 30"), in the C locale's form.
// False for anything else, and for values that are not finite.
bool indi_parse_number(const char *text, double *value);

// The INDI name of a state: "Idle", "Ok", "Busy", "Alert".
enum class IndiState { kIdle, kOk, kBusy, kAlert };
const char *indi_state_name(IndiState state);
