// The LX200 protocol: command parsing and replies.
#include "lx200/lx200.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "sky/sky.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;
constexpr char kAck = 0x06;

// An angle in whole units (degrees or hours) and sixtieths, rounded to the
// last digit shown: `per_unit` of them make a unit (3600 for seconds, 60 for
// minutes, 600 for tenths of minutes). A whole `wrap` units reads as 0.
struct Sexagesimal {
  long long whole, minutes, rest;  // rest: seconds, or tenths of a minute
};

Sexagesimal split(double value, long long per_unit, long long wrap) {
  long long units = std::llround(std::fabs(value) * double(per_unit));
  if (wrap > 0) units %= wrap * per_unit;
  const long long per_minute = per_unit / 60;
  return {units / per_unit, units / per_minute % 60, units % per_minute};
}

// "sDD*MM" (or "sDDD*MM" for width 3), or "sDD*MM:SS" when high.
std::string format_signed(double degrees, bool high, int width) {
  const Sexagesimal s = split(degrees, high ? 3600 : 60, 0);
  const bool negative = degrees < 0 && (s.whole || s.minutes || s.rest);
  return sky_printed(high ? "%c%0*lld*%02lld:%02lld" : "%c%0*lld*%02lld", negative ? '-' : '+',
                     width, s.whole, s.minutes, s.rest);
}

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
long long days_from_civil(long long y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civil_from_days(long long z, int *y, int *m, int *d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  *d = int(doy - (153 * mp + 2) / 5 + 1);
  *m = int(mp < 10 ? mp + 3 : mp - 9);
  *y = int(yoe + era * 400 + (*m <= 2));
}

// The client's local time, POSIX-style seconds.
double local_seconds(const Lx200Session &session, const Lx200Mount &mount) {
  return mount.utc - session.utc_offset * 3600.0;
}

// Reads an angle written with '*' for the degree mark, as LX200 clients do.
bool parse_angle(std::string text, bool ra, double *value) {
  for (char &c : text) {
    if (c == '*') c = ':';
  }
  return ra ? sky_parse_ra(text.c_str(), value) : sky_parse_dec(text.c_str(), value);
}

// A plain decimal number with an optional sign and nothing else, with a
// decimal point whatever the locale says.
bool parse_number(const std::string &text, double *value) {
  const char *s = text.c_str();
  while (*s == ' ') ++s;
  if (*s == '+' && s[1] != '-') ++s;
  const char *end = s + std::strlen(s);
  if (s == end || end - s > 12) return false;
  double v;
  const auto [stop, error] = std::from_chars(s, end, v, std::chars_format::fixed);
  if (error != std::errc() || stop != end || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

// The command as received with its degree signs made '*'; false where another
// byte above 0x7F is left, which no command of the protocol holds.
bool ascii_command(const std::string &line, std::string *command) {
  command->clear();
  for (std::size_t i = 0; i < line.size(); i++) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c == 0xDF) {
      *command += '*';
    } else if (c == 0xC2 && i + 1 < line.size() &&
               static_cast<unsigned char>(line[i + 1]) == 0xB0) {
      *command += '*', ++i;
    } else if (c >= 0x80) {
      return false;
    } else {
      *command += char(c);
    }
  }
  return true;
}

// Two-digit fields "AA?BB?CC" with any one separator; false unless all three
// are digits.
bool three_fields(const std::string &text, int f[3]) {
  std::string t = text;
  while (!t.empty() && t[0] == ' ') t.erase(0, 1);
  if (t.size() != 8) return false;
  for (int i = 0; i < 3; i++) {
    const char a = t[size_t(i) * 3], b = t[size_t(i) * 3 + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') return false;
    f[i] = (a - '0') * 10 + (b - '0');
  }
  return true;
}

double altitude_of(double ha, double dec, double latitude_deg) {
  const double lat = latitude_deg * kDeg;
  const double s = std::sin(lat) * std::sin(dec) + std::cos(lat) * std::cos(dec) * std::cos(ha);
  return std::asin(s < -1 ? -1 : s > 1 ? 1 : s) / kDeg;
}

// Runs one command (the bytes between ':' and '#').
void run(Lx200Session *session, const Lx200Mount &mount, const std::string &command,
         Lx200Result *result) {
  std::string &reply = result->reply;
  auto starts = [&](const char *name) { return command.rfind(name, 0) == 0; };
  auto argument = [&](size_t skip) { return command.substr(skip); };
  auto act = [&](Lx200ActionKind kind, double a = 0, double b = 0) {
    Lx200Action action;
    action.kind = kind, action.a = a, action.b = b;
    result->actions.push_back(action);
  };
  const bool high = session->high_precision;
  std::string text;

  if (command == "GR") {
    reply += lx200_format_ra(mount.ra, high) + "#";
  } else if (command == "GD") {
    reply += lx200_format_dec(mount.dec, high) + "#";
  } else if (command == "GA") {
    reply += lx200_format_dec(mount.alt, high) + "#";
  } else if (command == "GZ") {
    reply += lx200_format_azimuth(mount.az, high) + "#";
  } else if (command == "GS") {
    reply += lx200_format_ra(mount.lst, true) + "#";
  } else if (command == "Gt") {
    reply += format_signed(mount.latitude, false, 2) + "#";
  } else if (command == "Gg") {
    reply += format_signed(-mount.longitude, false, 3) + "#";  // west positive
  } else if (command == "GL" || command == "GC") {
    const double local = local_seconds(*session, mount);
    const long long days = (long long)std::floor(local / 86400.0);
    const long long in_day = (long long)std::floor(local - double(days) * 86400.0);
    int y, m, d;
    civil_from_days(days, &y, &m, &d);
    if (command == "GL") {
      text = sky_printed("%02lld:%02lld:%02lld#", in_day / 3600, in_day / 60 % 60, in_day % 60);
    } else {
      text = sky_printed("%02d/%02d/%02d#", m, d, ((y % 100) + 100) % 100);
    }
    reply += text;
  } else if (command == "GG") {
    // Written from whole tenths, so that no locale puts a comma in.
    const long long tenths = std::llround(std::fabs(session->utc_offset) * 10);
    reply += sky_printed("%c%02lld.%lld#", session->utc_offset < 0 && tenths ? '-' : '+',
                         tenths / 10, tenths % 10);
  } else if (command == "Gc") {
    reply += "24#";
  } else if (command == "GT") {
    reply += "60.1#";  // sidereal rate, in the hand controller's tenths of hertz
  } else if (command == "GVN") {
    reply += "1.0.1#";
  } else if (command == "GVD") {
    reply += "Dec 08 2026#";
  } else if (command == "GVT") {
    reply += "00:00:00#";
  } else if (command == "GVP" || command == "GM" || command == "GN" || command == "GO" ||
             command == "GP") {
    reply += "velmorant#";
  } else if (command == "U") {
    session->high_precision = !session->high_precision;
  } else if (starts("Sr")) {
    double ra;
    const bool ok = parse_angle(argument(2), true, &ra);
    if (ok) session->target_ra = ra;
    reply += ok ? "1" : "0";
  } else if (starts("Sd")) {
    double dec;
    const bool ok = parse_angle(argument(2), false, &dec);
    if (ok) session->target_dec = dec;
    reply += ok ? "1" : "0";
  } else if (command == "MS") {
    const double alt =
        altitude_of(mount.lst - session->target_ra, session->target_dec, mount.latitude);
    // A refusal is the bare "1": INDI's driver reads that one byte and
    // flushes, which on TCP leaves any reason after it to be read as the
    // answer to its next command; a client waiting for a '#' gives up after
    // its timeout, as with hand controllers that send "1" alone.
    if (mount.parked || alt < mount.min_altitude - 1e-9) {
      reply += "1";
    } else {
      reply += "0";
      act(Lx200ActionKind::kGoTo, session->target_ra, session->target_dec);
    }
  } else if (command == "CM") {
    const double alt =
        altitude_of(mount.lst - session->target_ra, session->target_dec, mount.latitude);
    if (mount.parked) {
      reply += "Mount is parked#";
    } else if (alt < mount.min_altitude - 1e-9) {
      reply += "Object below the horizon#";
    } else {
      reply += "Coordinates     matched.        #";
      act(Lx200ActionKind::kSync, session->target_ra, session->target_dec);
    }
  } else if (command == "Q") {
    act(Lx200ActionKind::kStop);
  } else if (command.size() == 2 && (command[0] == 'M' || command[0] == 'Q') &&
             std::strchr("nsew", command[1])) {
    act(command[0] == 'M' ? Lx200ActionKind::kMove : Lx200ActionKind::kStopMove);
    result->actions.back().direction = command[1];
    result->actions.back().rate = session->rate;
  } else if (starts("Mg") && command.size() >= 3 && std::strchr("nsew", command[2])) {
    // A guide pulse: up to four or five digits of milliseconds.
    const std::string digits = argument(3);
    int milliseconds = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), milliseconds);
    const bool ok = !digits.empty() && digits.size() <= 5 && error == std::errc() &&
                    end == digits.data() + digits.size() && digits[0] != '-';
    if (ok) {
      act(Lx200ActionKind::kGuide, milliseconds);
      result->actions.back().direction = command[2];
    } else {
      reply += "0";
    }
  } else if (command == "hP") {
    act(Lx200ActionKind::kPark);
  } else if (command == "hW") {
    act(Lx200ActionKind::kUnpark);
  } else if (command.size() == 2 && command[0] == 'R' && std::strchr("GCMS", command[1])) {
    session->rate = command[1];
  } else if (command == "D") {
    reply += mount.slewing ? "\x7F#" : "#";
  } else if (starts("St")) {
    double lat;
    // A new latitude keeps the axes, and with them the altitude and azimuth:
    // the tube stays as far above the horizon at any latitude.
    const bool ok = parse_angle(argument(2), false, &lat);
    if (ok) act(Lx200ActionKind::kSetLatitude, lat / kDeg);
    reply += ok ? "1" : "0";
  } else if (starts("Sg")) {
    std::string arg = argument(2);
    double west;
    // Longitudes run 0 to 360 west here; the angle reader takes up to 90, so
    // the degrees are read apart.
    bool ok = false;
    const size_t star = arg.find_first_of("*:");
    if (star != std::string::npos) {
      double degrees, minutes;
      ok = parse_number(arg.substr(0, star), &degrees) && std::floor(degrees) == degrees &&
           parse_number(arg.substr(star + 1), &minutes) && minutes >= 0 && minutes < 60 &&
           std::fabs(degrees) <= 360;
      if (ok) {
        west = std::fabs(degrees) + minutes / 60.0;
        if (degrees < 0 || arg.find('-') < star) west = -west;
        if (west > 180) west -= 360;
        if (west <= -180) west += 360;
        ok = std::fabs(west) <= 180;
        if (ok) act(Lx200ActionKind::kSetLongitude, -west);
      }
    }
    reply += ok ? "1" : "0";
  } else if (starts("SG")) {
    double hours;
    const bool ok = parse_number(argument(2), &hours) && std::fabs(hours) <= 24;
    if (ok) session->utc_offset = hours;
    reply += ok ? "1" : "0";
  } else if (starts("SL") || starts("SC")) {
    int f[3];
    const bool time = starts("SL");
    bool ok = three_fields(argument(2), f);
    const double local = local_seconds(*session, mount);
    const long long days = (long long)std::floor(local / 86400.0);
    double in_day = local - double(days) * 86400.0;
    int y, m, d;
    civil_from_days(days, &y, &m, &d);
    if (ok && time) {
      ok = f[0] < 24 && f[1] < 60 && f[2] < 60;
      in_day = f[0] * 3600.0 + f[1] * 60.0 + f[2];
    } else if (ok) {
      m = f[0], d = f[1], y = 2000 + f[2];
      const int month_days[] = {31, (y % 4 == 0) ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
      ok = m >= 1 && m <= 12 && d >= 1 && d <= month_days[m - 1];
    }
    if (ok) {
      const double utc =
          double(days_from_civil(y, m, d)) * 86400.0 + in_day + session->utc_offset * 3600.0;
      act(Lx200ActionKind::kSetClock, utc);
    }
    reply += ok ? "1" : "0";
    if (ok && !time) reply += "Updating Planetary Data#                                #";
  }
  // Anything else: no reply, as the hand controller gives none.
}

}  // namespace

Lx200Result lx200_receive(Lx200Session *session, const Lx200Mount &mount, const char *bytes,
                          std::size_t n) {
  Lx200Result result;
  result.consumed = n;
  for (std::size_t i = 0; i < n; i++) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (!session->in_command) {
      if (c == kAck) result.reply += "A";
      if (c == ':') session->in_command = true, session->line.clear();
      continue;
    }
    if (c == '#') {
      session->in_command = false;
      std::string command;
      if (ascii_command(session->line, &command)) {
        run(session, mount, command, &result);
      } else {
        result.reply += "0";
      }
      session->line.clear();
      if (!result.actions.empty()) {
        result.consumed = i + 1;
        break;
      }
    } else if (session->line.size() >= kLx200LongestCommand) {
      result.drop = true;
      session->line.clear();
      session->in_command = false;
      break;
    } else if (c >= ' ') {
      session->line += char(c);
    }
  }
  return result;
}

std::string lx200_format_ra(double ra, bool high) {
  double hours = std::isfinite(ra) ? std::fmod(ra / kPi * 12.0, 24.0) : 0.0;
  if (hours < 0) hours += 24;
  const Sexagesimal s = split(hours, high ? 3600 : 600, 24);
  return sky_printed(high ? "%02lld:%02lld:%02lld" : "%02lld:%02lld.%lld", s.whole, s.minutes,
                     s.rest);
}

std::string lx200_format_dec(double dec, bool high) {
  return format_signed(std::isfinite(dec) ? dec / kDeg : 0.0, high, 2);
}

std::string lx200_format_azimuth(double az, bool high) {
  double degrees = std::isfinite(az) ? std::fmod(az / kDeg, 360.0) : 0.0;
  if (degrees < 0) degrees += 360;
  const Sexagesimal s = split(degrees, high ? 3600 : 60, 360);
  return sky_printed(high ? "%03lld*%02lld:%02lld" : "%03lld*%02lld", s.whole, s.minutes, s.rest);
}
