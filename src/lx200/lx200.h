// The Meade LX200 protocol, as planetarium programs speak it to a mount over
// a serial line or TCP, for velmorant's simulated mount: a pure function of
// the bytes received and the mount's state, giving the reply bytes and the
// actions the client asked for. No sockets and no clock here.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The mount as the protocol reports it, at the instant the bytes arrived.
struct Lx200Mount {
  double ra;            // apparent right ascension of date, radians in [0, 2*pi)
  double dec;           // apparent declination of date, radians
  double alt;           // altitude, radians
  double az;            // azimuth, radians from north through east
  double lst;           // local apparent sidereal time, radians
  double latitude;      // degrees, north positive
  double longitude;     // degrees, east positive
  double utc;           // the mount's clock, POSIX seconds
  double min_altitude;  // lowest altitude the mount points at, degrees
  bool slewing;         // a Go To or a park is under way
  bool parked;          // parked: slews are refused
};

// What a client asked the mount to do.
enum class Lx200ActionKind {
  kGoTo,          // slew to a, b (right ascension, declination; radians)
  kSync,          // be at a, b at once (radians)
  kStop,          // end every slew and motion (:Q#)
  kMove,          // start moving toward direction at rate (:Mn# ...)
  kStopMove,      // stop moving toward direction (:Qn# ...)
  kSetLatitude,   // a: degrees
  kSetLongitude,  // a: degrees east
  kSetClock,      // a: POSIX seconds, UTC
  kGuide,         // a guide pulse toward direction for a milliseconds (:Mgn0500#)
  kPark,          // slew to the park pose and stay there (:hP#)
  kUnpark,        // leave the park pose (:hW#, the hand controller waking)
};

struct Lx200Action {
  Lx200ActionKind kind;
  double a = 0, b = 0;
  char direction = 0;  // 'n', 's', 'e' or 'w' for kMove, kStopMove and kGuide
  char rate = 0;       // 'G' guide, 'C' centre, 'M' find, 'S' slew, for kMove
};

// One client's conversation: what it has sent of the command under way, and
// what it has set.
struct Lx200Session {
  std::string line;             // bytes since ':' of a command without its '#' yet
  bool in_command = false;      // a ':' has been received and its '#' has not
  bool high_precision = false;  // toggled by :U#
  double target_ra = 0;         // set by :Sr, radians
  double target_dec = 0;        // set by :Sd, radians
  char rate = 'S';              // set by :RG# :RC# :RM# :RS#
  double utc_offset = 0;        // hours added to the client's local time to give UTC (:SG)
};

// The most bytes a command may hold before its '#': a client that sends more
// is dropped.
constexpr std::size_t kLx200LongestCommand = 64;

struct Lx200Result {
  std::string reply;                 // bytes to send back, in order
  std::vector<Lx200Action> actions;  // in the order the commands came
  bool drop = false;                 // the client overflowed a command: close it
  std::size_t consumed = 0;          // bytes read of those given
};

// Reads bytes from a client, up to the end of the first command that asks for
// an action, or all n: result.consumed says how many. The caller applies the
// actions and calls again with the rest and the mount as it is then, so that
// each command sees what the commands before it did. Commands run as their '#'
// arrives, so a command may come split over several calls; ACK (0x06) outside
// a command is answered "A"; NUL, control bytes and anything outside
// ':' ... '#' are ignored. Inside a command the degree sign, as Autostar
// handsets send it (0xDF) or in UTF-8 (C2 B0), reads as '*'; any other byte
// above 0x7F makes the command malformed. Unknown commands get no reply;
// malformed ones get "0". Numbers are read and written in the C locale's
// form whatever the process's locale.
Lx200Result lx200_receive(Lx200Session *session, const Lx200Mount &mount, const char *bytes,
                          std::size_t n);

// Angles as the protocol writes them.
//   right ascension: "HH:MM.T" (low precision) or "HH:MM:SS" (high)
//   declination-like: "sDD*MM" or "sDD*MM:SS"; azimuth "DDD*MM" or "DDD*MM:SS"
// The seconds follow a colon, which every client reads (some read no other
// mark there); the degree mark is the ASCII '*'.
std::string lx200_format_ra(double ra, bool high);
std::string lx200_format_dec(double dec, bool high);
std::string lx200_format_azimuth(double az, bool high);
