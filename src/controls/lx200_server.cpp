// The LX200 server: one protocol session per client of the TCP server, and
// the actions the clients ask for applied to the mount.
#include "controls/lx200_server.h"

#include <gio/gio.h>
#include <glib/gi18n.h>
#include <sys/socket.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "controls/controls.h"
#include "controls/motion.h"
#include "geometry/coord.h"
#include "controls/tcp_server.h"
#include "controls/telescope.h"
#include "lx200/lx200.h"

struct Lx200Server {
  AppState *state;
  TcpServer *tcp;
};

namespace {

// One client's conversation, and whether it started a direction move: its
// leaving ends the move.
struct Lx200Client {
  Lx200Session session;
  bool moved = false;
};

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;

// Degrees a second of each direction-move rate: half the sky's rate for
// guiding, then half a degree, two degrees, and five.
double move_rate(char rate) {
  switch (rate) {
    case 'G':
      return kMountGuideRate;
    case 'C':
      return 0.5;
    case 'M':
      return 2.0;
    default:
      return 5.0;
  }
}

unsigned direction_bit(char direction) {
  switch (direction) {
    case 'n':
      return kMountNorth;
    case 's':
      return kMountSouth;
    case 'e':
      return kMountEast;
    default:
      return kMountWest;
  }
}

// The mount as a client sees it now: a copy stepped to this instant, so that
// what the step brings about (an arrival) is still the motion timer's to show.
Lx200Mount mount_of(const AppState *state) {
  Lx200Mount m{};
  const double utc = ctrl_motion_now(state);
  Mount now = *state->mount;
  mount_step(&now, utc);
  double ha, frot;
  mount_pointing(now, &ha, &m.dec, &frot);
  m.dec *= kDeg;
  if (!sky_local_sidereal_time(sky_time_from_unix(utc), state->longitude * kDeg, &m.lst)) {
    m.lst = 0;
  }
  m.ra = sky_right_ascension(m.lst, ha * kDeg);
  coord_a3_to_altaz(&m.az, &m.alt, now.axes[0] * kDeg, now.axes[1] * kDeg, now.axes[2] * kDeg, 0);
  m.latitude = now.latitude;
  m.longitude = state->longitude;
  m.utc = utc;
  m.min_altitude = state->min_altitude;
  m.slewing = mount_slew_left(now) > 0;
  m.parked = now.activity == MountActivity::kParked;
  return m;
}

// True for actions after which the mount stands elsewhere or its sky
// coordinates read otherwise.
bool replaces(Lx200ActionKind kind) {
  return kind == Lx200ActionKind::kSync || kind == Lx200ActionKind::kSetLatitude ||
         kind == Lx200ActionKind::kSetLongitude || kind == Lx200ActionKind::kSetClock;
}

void apply(AppState *state, const Lx200Action &action) {
  Mount *mount = state->mount;
  const double now = ctrl_motion_now(state);
  switch (action.kind) {
    case Lx200ActionKind::kGoTo:
      ctrl_goto_start(state, action.a, action.b);
      return;
    case Lx200ActionKind::kSync:
      // A sync corrects where the mount thinks it points: it ends a slew but
      // otherwise keeps tracking, as a solve-and-sync loop expects.
      mount_sync(mount, action.a / kDeg, action.b / kDeg, now);
      break;
    case Lx200ActionKind::kStop:
      mount_stop(mount, now);
      break;
    case Lx200ActionKind::kMove:
      // A direction key ends a Go To, as on a hand controller.
      mount_move(mount, mount->moving | direction_bit(action.direction), move_rate(action.rate),
                 now);
      break;
    case Lx200ActionKind::kStopMove:
      mount_move(mount, mount->moving & ~direction_bit(action.direction), mount->move_speed, now);
      break;
    case Lx200ActionKind::kGuide:
      mount_guide(mount, direction_bit(action.direction), action.a, now);
      break;
    case Lx200ActionKind::kPark:
      mount_park(mount, now);
      break;
    case Lx200ActionKind::kUnpark:
      mount_unpark(mount, now);
      break;
    case Lx200ActionKind::kSetLatitude:
      gtk_range_set_value(GTK_RANGE(state->lat_scale), action.a);
      return;
    case Lx200ActionKind::kSetLongitude:
      ctrl_set_longitude(state, action.a);
      return;
    case Lx200ActionKind::kSetClock:
      ctrl_clock_set(state, action.a);
      return;
  }
  ctrl_motion_changed(state);
}

// Ends the direction moves that clients started.
void stop_moving(AppState *state) {
  if (!state->mount || !state->mount->moving) return;
  mount_move(state->mount, 0, 0, ctrl_motion_now(state));
  ctrl_motion_changed(state);
}

void on_received(TcpClient *tcp, const char *bytes, gsize n, void *data) {
  auto *server = static_cast<Lx200Server *>(data);
  auto *client = static_cast<Lx200Client *>(ctrl_tcp_client_data(tcp));
  if (!client) ctrl_tcp_set_client_data(tcp, client = new Lx200Client);
  AppState *state = server->state;
  // The mount is read again after each command that placed it or changed
  // the site or the clock (only whether it slews after the others), so that
  // the next command in the same read sees what it did.
  Lx200Mount mount = mount_of(state);
  for (gsize done = 0; done < n;) {
    const Lx200Result r = lx200_receive(&client->session, mount, bytes + done, n - done);
    done += r.consumed;
    bool replaced = false;
    for (const Lx200Action &action : r.actions) {
      if (action.kind == Lx200ActionKind::kMove) client->moved = true;
      apply(state, action);
      replaced = replaced || replaces(action.kind);
    }
    if (replaced) mount = mount_of(state);
    mount.slewing = mount_slew_left(*state->mount) > 0;
    mount.parked = state->mount->activity == MountActivity::kParked;
    if (r.drop) return ctrl_tcp_drop(tcp);
    ctrl_tcp_send(tcp, r.reply);
    if (!ctrl_tcp_client_data(tcp) || r.consumed == 0) return;
  }
}

void on_leaving(TcpClient *tcp, void *data) {
  auto *client = static_cast<Lx200Client *>(ctrl_tcp_client_data(tcp));
  // A client gone cannot send the stop for the move it started.
  if (client && client->moved) stop_moving(static_cast<Lx200Server *>(data)->state);
  delete client;
  ctrl_tcp_set_client_data(tcp, nullptr);
}

void on_counted(void *data) {
  ctrl_refresh_status(static_cast<Lx200Server *>(data)->state);
}

}  // namespace

bool ctrl_lx200_is_loopback(const char *address) {
  return ctrl_tcp_is_loopback(address);
}

bool ctrl_lx200_parse_endpoint(const char *text, std::string *address, guint16 *port) {
  return ctrl_tcp_parse_endpoint(text, kLx200DefaultAddress, kLx200DefaultPort, address, port);
}

bool ctrl_lx200_start(AppState *state, const char *address, guint16 port, std::string *message) {
  auto *server = new Lx200Server{state, nullptr};
  const TcpRules rules{kLx200MostClients, kLx200IdleSeconds, kLx200IdleSeconds, kLx200MostUnread,
                       kLx200SendBuffer};
  server->tcp =
      ctrl_tcp_start(address, port, rules, {on_received, on_leaving, on_counted, server},
                     _("LX200 connections cannot be accepted on port %u of %s: %s"), message);
  if (!server->tcp) {
    delete server;
    return false;
  }
  ctrl_lx200_stop(state);
  state->lx200 = server;
  ctrl_refresh_status(state);
  return true;
}

void ctrl_lx200_stop(AppState *state) {
  Lx200Server *server = state->lx200;
  if (!server) return;
  state->lx200 = nullptr;
  ctrl_tcp_stop(server->tcp);
  delete server;
  stop_moving(state);
  ctrl_refresh_status(state);
}

bool ctrl_lx200_listening(const AppState *state) {
  return state->lx200 != nullptr;
}

int ctrl_lx200_clients(const AppState *state) {
  return state->lx200 ? int(ctrl_tcp_clients(state->lx200->tcp).size()) : 0;
}

std::string ctrl_lx200_status(const AppState *state) {
  if (!state->lx200) return "";
  const int n = ctrl_lx200_clients(state);
  gchar *text = g_strdup_printf(ngettext("LX200 on %s, %d client", "LX200 on %s, %d clients", n),
                                ctrl_tcp_where(state->lx200->tcp).c_str(), n);
  std::string status = text;
  g_free(text);
  return status;
}
