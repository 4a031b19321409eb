// The LX200 server: a GSocketService in the main loop, one protocol session
// per client, and the actions the clients ask for applied to the scales.
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
#include "controls/telescope.h"
#include "lx200/lx200.h"

struct Lx200Client;

struct Lx200Server {
  AppState *state;
  GSocketService *service;
  std::string where;  // "127.0.0.1:4030"
  std::vector<Lx200Client *> clients;
  guint watchdog;  // the once-a-second check for idle and stuck clients
};

struct Lx200Client {
  Lx200Server *server;
  GSocketConnection *connection;
  GCancellable *cancellable;
  Lx200Session session;
  char buffer[512];
  // Reply bytes handed to GIO stay in `sending`, untouched, until their write
  // completes; replies made meanwhile queue in `unsent`.
  std::string sending;     // bytes of the write under way, from its first unwritten one
  std::string unsent;      // reply bytes queued behind them
  bool writing = false;    // a write is under way
  bool closing = false;    // dropped: the callbacks under way only release it
  int pending = 0;         // asynchronous operations under way
  gint64 last_heard = 0;   // monotonic time of the last bytes read
  gint64 write_since = 0;  // monotonic time the oldest unsent bytes were queued
  bool moved = false;      // it started a direction move: its leaving ends the move
};

namespace {

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

void release(Lx200Client *client) {
  if (client->pending > 0) return;
  g_object_unref(client->cancellable);
  g_object_unref(client->connection);
  delete client;
}

// Drops a client: closes its connection now, and frees it once the callbacks
// under way have run.
void drop(Lx200Client *client) {
  if (client->closing) return;
  client->closing = true;
  Lx200Server *server = client->server;
  server->clients.erase(std::find(server->clients.begin(), server->clients.end(), client));
  // A client gone cannot send the stop for the move it started.
  if (client->moved) stop_moving(server->state);
  g_cancellable_cancel(client->cancellable);
  g_io_stream_close(G_IO_STREAM(client->connection), nullptr, nullptr);
  ctrl_refresh_status(server->state);
  release(client);
}

void start_read(Lx200Client *client);
void start_write(Lx200Client *client);

void on_written(GObject *stream, GAsyncResult *result, gpointer user_data) {
  auto *client = static_cast<Lx200Client *>(user_data);
  client->pending--;
  client->writing = false;
  const gssize n = g_output_stream_write_finish(G_OUTPUT_STREAM(stream), result, nullptr);
  if (client->closing) return release(client);
  if (n <= 0) return drop(client);  // the client went away mid-reply
  client->sending.erase(0, gsize(n));
  const bool all_sent = client->sending.empty() && client->unsent.empty();
  client->write_since = all_sent ? 0 : g_get_monotonic_time();
  start_write(client);
}

void start_write(Lx200Client *client) {
  if (client->writing) return;
  if (client->sending.empty()) client->sending.swap(client->unsent);
  if (client->sending.empty()) return;
  client->writing = true;
  client->pending++;
  g_output_stream_write_async(g_io_stream_get_output_stream(G_IO_STREAM(client->connection)),
                              client->sending.data(), client->sending.size(), G_PRIORITY_DEFAULT,
                              client->cancellable, on_written, client);
}

void on_read(GObject *stream, GAsyncResult *result, gpointer user_data) {
  auto *client = static_cast<Lx200Client *>(user_data);
  client->pending--;
  const gssize n = g_input_stream_read_finish(G_INPUT_STREAM(stream), result, nullptr);
  if (client->closing) return release(client);
  if (n <= 0) return drop(client);  // closed, or a read error
  client->last_heard = g_get_monotonic_time();
  AppState *state = client->server->state;
  // The mount is read again after each command that placed it or changed
  // the site or the clock (only whether it slews after the others), so that
  // the next command in the same read sees what it did.
  Lx200Mount mount = mount_of(state);
  for (gsize done = 0; done < gsize(n);) {
    const Lx200Result r =
        lx200_receive(&client->session, mount, client->buffer + done, gsize(n) - done);
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
    if (!r.reply.empty()) {
      if (client->sending.empty() && client->unsent.empty()) {
        client->write_since = g_get_monotonic_time();
      }
      client->unsent += r.reply;
    }
    if (r.drop || client->sending.size() + client->unsent.size() > kLx200MostUnread) {
      return drop(client);
    }
  }
  start_write(client);
  start_read(client);
}

void start_read(Lx200Client *client) {
  client->pending++;
  g_input_stream_read_async(g_io_stream_get_input_stream(G_IO_STREAM(client->connection)),
                            client->buffer, sizeof client->buffer, G_PRIORITY_DEFAULT,
                            client->cancellable, on_read, client);
}

gboolean on_incoming(GSocketService * /*service*/, GSocketConnection *connection,
                     GObject * /*source*/, gpointer user_data) {
  auto *server = static_cast<Lx200Server *>(user_data);
  if (int(server->clients.size()) >= kLx200MostClients) {
    g_io_stream_close(G_IO_STREAM(connection), nullptr, nullptr);
    return TRUE;
  }
  // A modest send buffer (the kernel doubles it), so that a client that leaves
  // its replies unread meets the cap on unread bytes after tens of kilobytes
  // in the kernel's buffers rather than megabytes.
  g_socket_set_option(g_socket_connection_get_socket(connection), SOL_SOCKET, SO_SNDBUF,
                      kLx200SendBuffer, nullptr);
  auto *client = new Lx200Client;
  client->server = server;
  client->connection = G_SOCKET_CONNECTION(g_object_ref(connection));
  client->cancellable = g_cancellable_new();
  client->last_heard = g_get_monotonic_time();
  server->clients.push_back(client);
  start_read(client);
  ctrl_refresh_status(server->state);
  return TRUE;
}

gboolean watchdog_tick(gpointer user_data) {
  auto *server = static_cast<Lx200Server *>(user_data);
  const gint64 now = g_get_monotonic_time();
  const gint64 idle = gint64(kLx200IdleSeconds) * G_USEC_PER_SEC;
  for (Lx200Client *client : std::vector<Lx200Client *>(server->clients)) {
    if (now - client->last_heard > idle ||
        (client->write_since && now - client->write_since > idle)) {
      drop(client);
    }
  }
  return G_SOURCE_CONTINUE;
}

}  // namespace

bool ctrl_lx200_is_loopback(const char *address) {
  GInetAddress *inet = g_inet_address_new_from_string(address);
  const bool loopback = inet && g_inet_address_get_is_loopback(inet);
  if (inet) g_object_unref(inet);
  return loopback;
}

bool ctrl_lx200_parse_endpoint(const char *text, std::string *address, guint16 *port) {
  std::string t = text ? text : "";
  std::string host = kLx200DefaultAddress, number = t;
  const size_t colon = t.rfind(':');
  if (colon != std::string::npos) {
    host = t.substr(0, colon);
    number = t.substr(colon + 1);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
      host = host.substr(1, host.size() - 2);
    }
    GInetAddress *inet = g_inet_address_new_from_string(host.c_str());
    if (!inet) return false;
    g_object_unref(inet);
  }
  long value = kLx200DefaultPort;
  if (!number.empty() || colon != std::string::npos) {
    char *end = nullptr;
    if (number.empty() || number.size() > 5 ||
        number.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    value = std::strtol(number.c_str(), &end, 10);
    if (value < 1 || value > 65535) return false;
  }
  *address = host;
  *port = guint16(value);
  return true;
}

bool ctrl_lx200_start(AppState *state, const char *address, guint16 port, std::string *message) {
  GInetAddress *inet = g_inet_address_new_from_string(address);
  if (!inet) {
    gchar *text = g_strdup_printf(_("“%s” is not an address to listen on."), address);
    *message = text;
    g_free(text);
    return false;
  }
  GSocketAddress *where = g_inet_socket_address_new(inet, port);
  g_object_unref(inet);
  GSocketService *service = g_socket_service_new();
  GError *error = nullptr;
  const gboolean ok =
      g_socket_listener_add_address(G_SOCKET_LISTENER(service), where, G_SOCKET_TYPE_STREAM,
                                    G_SOCKET_PROTOCOL_TCP, nullptr, nullptr, &error);
  g_object_unref(where);
  if (!ok) {
    gchar *text = g_strdup_printf(_("LX200 connections cannot be accepted on port %u of %s: %s"),
                                  guint(port), address, error->message);
    *message = text;
    g_free(text);
    g_error_free(error);
    g_object_unref(service);
    return false;
  }
  ctrl_lx200_stop(state);
  auto *server = new Lx200Server{state, service, {}, {}, 0};
  const bool v6 = std::strchr(address, ':') != nullptr;
  server->where = (v6 ? "[" : "") + std::string(address) + (v6 ? "]:" : ":") + std::to_string(port);
  g_signal_connect(service, "incoming", G_CALLBACK(on_incoming), server);
  g_socket_service_start(service);
  server->watchdog = g_timeout_add_seconds(1, watchdog_tick, server);
  state->lx200 = server;
  ctrl_refresh_status(state);
  return true;
}

void ctrl_lx200_stop(AppState *state) {
  Lx200Server *server = state->lx200;
  if (!server) return;
  state->lx200 = nullptr;
  for (Lx200Client *client : std::vector<Lx200Client *>(server->clients)) drop(client);
  g_source_remove(server->watchdog);
  g_socket_service_stop(server->service);
  g_socket_listener_close(G_SOCKET_LISTENER(server->service));
  g_object_unref(server->service);
  delete server;
  stop_moving(state);
  ctrl_refresh_status(state);
}

bool ctrl_lx200_listening(const AppState *state) {
  return state->lx200 != nullptr;
}

int ctrl_lx200_clients(const AppState *state) {
  return state->lx200 ? int(state->lx200->clients.size()) : 0;
}

std::string ctrl_lx200_status(const AppState *state) {
  if (!state->lx200) return "";
  const int n = ctrl_lx200_clients(state);
  gchar *text = g_strdup_printf(ngettext("LX200 on %s, %d client", "LX200 on %s, %d clients", n),
                                state->lx200->where.c_str(), n);
  std::string status = text;
  g_free(text);
  return status;
}
