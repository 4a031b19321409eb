// The INDI server: one INDI session per client of the TCP server, one device
// for all of them, the actions they ask for applied to the mount, and its
// changes told to every client that asked for the device, at most five times
// a second.
#include "controls/indi_server.h"

#include <glib/gi18n.h>

#include <cmath>
#include <vector>

#include "controls/controls.h"
#include "controls/motion.h"
#include "controls/tcp_server.h"
#include "controls/telescope.h"
#include "geometry/coord.h"
#include "indi/indi.h"

struct IndiServer {
  AppState *state;
  TcpServer *tcp;
  IndiDevice device;
  guint timer;  // the update timer while a client is subscribed, else 0
};

namespace {

constexpr double kDeg = G_PI / 180.0;

// One client's conversation, and whether it started a direction move: its
// leaving ends the move.
struct IndiClient {
  IndiSession session;
  bool moved = false;
};

// The mount as the device reports it now: a copy stepped to this instant, so
// that what the step brings about is still the motion timer's to show.
IndiMount mount_of(const AppState *state) {
  IndiMount m;
  const double utc = ctrl_motion_now(state);
  Mount now = *state->mount;
  mount_step(&now, utc);
  double ha, lst;
  mount_pointing(now, &ha, &m.dec, &m.frot);
  if (!sky_local_sidereal_time(sky_time_from_unix(utc), state->longitude * kDeg, &lst)) lst = 0;
  m.ra = sky_right_ascension(lst, ha * kDeg) * 12 / G_PI;
  double az, alt;
  coord_a3_to_altaz(&az, &alt, now.axes[0] * kDeg, now.axes[1] * kDeg, now.axes[2] * kDeg, 0);
  m.alt = alt / kDeg, m.az = mount_wrap360(az / kDeg);
  m.axes = now.axes;
  m.latitude = now.latitude;
  m.longitude = state->longitude;
  m.utc = utc;
  m.activity = now.activity;
  m.track_rate = now.track_rate;
  m.moving = now.moving;
  m.guiding_ns = now.guide_left[0] > 0 || now.guide_left[1] > 0;
  m.guiding_we = now.guide_left[2] > 0 || now.guide_left[3] > 0;
  return m;
}

IndiClient *client_of(TcpClient *tcp) {
  return static_cast<IndiClient *>(ctrl_tcp_client_data(tcp));
}

void broadcast(IndiServer *server, const std::string &bytes) {
  if (bytes.empty()) return;
  for (TcpClient *tcp : ctrl_tcp_clients(server->tcp)) {
    IndiClient *client = client_of(tcp);
    if (client && client->session.subscribed) ctrl_tcp_send(tcp, bytes);
  }
}

// Why the mount would not: parked, or the place below the altitude limit.
std::string refusal(const AppState *state, const char *otherwise) {
  if (state->mount->activity == MountActivity::kParked ||
      state->mount->activity == MountActivity::kParking) {
    return "The mount is parked: unpark it first";
  }
  if (otherwise) return otherwise;
  gchar *text =
      g_strdup_printf("That place is below the altitude limit of %g degrees", state->min_altitude);
  std::string why = text;
  g_free(text);
  return why;
}

// Turns the field to angle degrees, pointing where the mount points: a slew
// that keeps tracking where it tracked, and otherwise ends at rest.
bool rotate(AppState *state, double angle, double now) {
  Mount *m = state->mount;
  if (m->activity != MountActivity::kIdle && m->activity != MountActivity::kTracking) return false;
  mount_step(m, now);
  double ha, dec, frot;
  mount_pointing(*m, &ha, &dec, &frot);
  const bool tracking = m->activity == MountActivity::kTracking;
  double lst;
  if (!sky_local_sidereal_time(sky_time_from_unix(now), state->longitude * kDeg, &lst)) {
    return false;
  }
  Mount turned = *m;
  turned.frot = angle;
  const bool ok = tracking ? mount_slew_to_place(&turned, mount_wrap360(lst / kDeg - ha), dec, now)
                           : mount_slew_to_axes(&turned, mount_place_pose(turned, ha, dec), now);
  if (ok) *m = turned;
  return ok;
}

// Applies an action; the reason where the mount refused it, else "".
std::string apply(AppState *state, IndiClient *client, const IndiAction &action) {
  Mount *mount = state->mount;
  const double now = ctrl_motion_now(state);
  bool ok = true;
  const char *otherwise = nullptr;
  switch (action.kind) {
    case IndiActionKind::kGoTo:
      ok = ctrl_goto_start(state, action.a * 15 * kDeg, action.b * kDeg);
      break;
    case IndiActionKind::kSync:
      ok = mount_sync(mount, action.a * 15, action.b, now);
      break;
    case IndiActionKind::kAbort:
      ctrl_telescope_stop(state);
      break;
    case IndiActionKind::kMove:
      ok = mount_move(mount, action.direction, action.a, now);
      if (ok && action.direction && client) client->moved = true;
      break;
    case IndiActionKind::kTrack:
      ok = mount_track(mount, action.a, now);
      break;
    case IndiActionKind::kPark:
      ctrl_telescope_park(state);
      return "";
    case IndiActionKind::kUnpark:
      mount_unpark(mount, now);
      break;
    case IndiActionKind::kGuide:
      ok = mount_guide(mount, action.direction, action.a, now);
      otherwise = "A guide pulse waits for the slew to end";
      break;
    case IndiActionKind::kSetSite:
      gtk_range_set_value(GTK_RANGE(state->lat_scale), action.a);
      ctrl_set_longitude(state, action.b);
      break;
    case IndiActionKind::kSetClock:
      ctrl_clock_set(state, action.a);
      return "";
    case IndiActionKind::kRotate:
      ok = rotate(state, action.a, now);
      otherwise = "The field turns once the slew has ended";
      break;
  }
  ctrl_motion_changed(state);
  return ok ? "" : refusal(state, otherwise);
}

void start_updates(IndiServer *server);

// Applies the actions that tcp's client (or, null, the device itself) asked
// for and tells every subscribed client how each went. A client dropped by a
// broadcast meanwhile is asked for again at each action.
void apply_all(IndiServer *server, TcpClient *tcp, const std::vector<IndiAction> &actions) {
  for (const IndiAction &action : actions) {
    IndiClient *client = tcp ? client_of(tcp) : nullptr;
    const std::string why = apply(server->state, client, action);
    broadcast(server, indi_answer(&server->device, mount_of(server->state), action, why.c_str()));
  }
  // A SLEW's end and a turn of the field are the device's own to watch.
  if (server->device.stop_on_arrival || server->device.rotating) start_updates(server);
}

// The update timer: runs while a client is subscribed or the device watches
// a slew of its own.
gboolean update_tick(gpointer data) {
  auto *server = static_cast<IndiServer *>(data);
  bool anyone = false;
  for (TcpClient *tcp : ctrl_tcp_clients(server->tcp)) {
    anyone = anyone || (client_of(tcp) && client_of(tcp)->session.subscribed);
  }
  if (!anyone && !server->device.stop_on_arrival && !server->device.rotating) {
    server->timer = 0;
    return G_SOURCE_REMOVE;
  }
  const IndiReply r = indi_poll(&server->device, mount_of(server->state));
  broadcast(server, r.to_all);
  apply_all(server, nullptr, r.actions);
  return G_SOURCE_CONTINUE;
}

void start_updates(IndiServer *server) {
  if (!server->timer) server->timer = g_timeout_add(kIndiUpdateMs, update_tick, server);
}

void on_received(TcpClient *tcp, const char *bytes, gsize n, void *data) {
  auto *server = static_cast<IndiServer *>(data);
  IndiClient *client = client_of(tcp);
  if (!client) ctrl_tcp_set_client_data(tcp, client = new IndiClient);
  bool drop = false;
  for (const IndiMessage &message : indi_parse(&client->session, bytes, n, &drop)) {
    const IndiReply r =
        indi_handle(&client->session, &server->device, mount_of(server->state), message);
    ctrl_tcp_send(tcp, r.to_client);
    broadcast(server, r.to_all);
    if (!client_of(tcp)) return;  // it left its replies unread too long
    apply_all(server, tcp, r.actions);
    if (!client_of(tcp)) return;
    if (client->session.subscribed) {
      ctrl_tcp_set_patient(tcp, true);
      start_updates(server);
    }
  }
  if (drop) ctrl_tcp_drop(tcp);
}

void on_leaving(TcpClient *tcp, void *data) {
  IndiClient *client = client_of(tcp);
  AppState *state = static_cast<IndiServer *>(data)->state;
  // A client gone cannot send the stop for the move it started.
  if (client && client->moved && state->mount && state->mount->moving) {
    mount_move(state->mount, 0, 0, ctrl_motion_now(state));
    ctrl_motion_changed(state);
  }
  delete client;
  ctrl_tcp_set_client_data(tcp, nullptr);
}

void on_counted(void *data) {
  ctrl_refresh_status(static_cast<IndiServer *>(data)->state);
}

}  // namespace

bool ctrl_indi_parse_endpoint(const char *text, std::string *address, guint16 *port) {
  return ctrl_tcp_parse_endpoint(text, kIndiDefaultAddress, kIndiDefaultPort, address, port);
}

bool ctrl_indi_start(AppState *state, const char *address, guint16 port, std::string *message) {
  auto *server = new IndiServer{state, nullptr, {}, 0};
  const TcpRules rules{kIndiMostClients, kIndiIdleSeconds, kIndiStallSeconds, kIndiMostUnread,
                       gint(kIndiMostUnread / 4)};
  server->tcp =
      ctrl_tcp_start(address, port, rules, {on_received, on_leaving, on_counted, server},
                     _("INDI connections cannot be accepted on port %u of %s: %s"), message);
  if (!server->tcp) {
    delete server;
    return false;
  }
  ctrl_indi_stop(state);
  state->indi = server;
  ctrl_refresh_status(state);
  return true;
}

void ctrl_indi_stop(AppState *state) {
  IndiServer *server = state->indi;
  if (!server) return;
  state->indi = nullptr;
  ctrl_tcp_stop(server->tcp);
  if (server->timer) g_source_remove(server->timer);
  delete server;
  ctrl_refresh_status(state);
}

bool ctrl_indi_listening(const AppState *state) {
  return state->indi != nullptr;
}

int ctrl_indi_clients(const AppState *state) {
  return state->indi ? int(ctrl_tcp_clients(state->indi->tcp).size()) : 0;
}

std::string ctrl_indi_status(const AppState *state) {
  if (!state->indi) return "";
  const int n = ctrl_indi_clients(state);
  gchar *text = g_strdup_printf(ngettext("INDI on %s, %d client", "INDI on %s, %d clients", n),
                                ctrl_tcp_where(state->indi->tcp).c_str(), n);
  std::string status = text;
  g_free(text);
  return status;
}
