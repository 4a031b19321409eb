// The protocol servers' TCP side: a GSocketService in the main loop, each
// client read and written asynchronously, and a once-a-second watchdog.
#include "controls/tcp_server.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <glib/gi18n.h>

struct TcpServer {
  TcpRules rules;
  TcpHandlers handlers;
  GSocketService *service;
  std::string where;
  std::vector<TcpClient *> clients;
  guint watchdog;
};

struct TcpClient {
  TcpServer *server;
  GSocketConnection *connection;
  GCancellable *cancellable;
  void *data = nullptr;
  char buffer[4096];
  // Bytes handed to GIO stay in `sending`, untouched, until their write
  // completes; bytes queued meanwhile wait in `unsent`.
  std::string sending;
  std::string unsent;
  bool writing = false;    // a write is under way
  bool closing = false;    // dropped: the callbacks under way only release it
  bool patient = false;    // exempt from the silence rule
  int pending = 0;         // asynchronous operations and handler calls under way
  gint64 last_heard = 0;   // monotonic time of the last bytes read
  gint64 write_since = 0;  // monotonic time the oldest unsent bytes were queued
};

namespace {

void release(TcpClient *client) {
  if (client->pending > 0) return;
  g_object_unref(client->cancellable);
  g_object_unref(client->connection);
  delete client;
}

void start_read(TcpClient *client);
void start_write(TcpClient *client);

void on_written(GObject *stream, GAsyncResult *result, gpointer user_data) {
  auto *client = static_cast<TcpClient *>(user_data);
  client->pending--;
  client->writing = false;
  const gssize n = g_output_stream_write_finish(G_OUTPUT_STREAM(stream), result, nullptr);
  if (client->closing) return release(client);
  if (n <= 0) return ctrl_tcp_drop(client);  // the client went away mid-reply
  client->sending.erase(0, gsize(n));
  const bool all_sent = client->sending.empty() && client->unsent.empty();
  client->write_since = all_sent ? 0 : g_get_monotonic_time();
  start_write(client);
}

void start_write(TcpClient *client) {
  if (client->writing || client->closing) return;
  if (client->sending.empty()) client->sending.swap(client->unsent);
  if (client->sending.empty()) return;
  client->writing = true;
  client->pending++;
  g_output_stream_write_async(g_io_stream_get_output_stream(G_IO_STREAM(client->connection)),
                              client->sending.data(), client->sending.size(), G_PRIORITY_DEFAULT,
                              client->cancellable, on_written, client);
}

void on_read(GObject *stream, GAsyncResult *result, gpointer user_data) {
  auto *client = static_cast<TcpClient *>(user_data);
  const gssize n = g_input_stream_read_finish(G_INPUT_STREAM(stream), result, nullptr);
  if (client->closing) {
    client->pending--;
    return release(client);
  }
  if (n <= 0) {  // closed, or a read error
    client->pending--;
    return ctrl_tcp_drop(client);
  }
  client->last_heard = g_get_monotonic_time();
  // Still pending while the protocol reads the bytes, so that a drop there
  // cannot free the client under this call.
  TcpServer *server = client->server;
  server->handlers.received(client, client->buffer, gsize(n), server->handlers.data);
  client->pending--;
  if (client->closing) return release(client);
  start_write(client);
  start_read(client);
}

void start_read(TcpClient *client) {
  client->pending++;
  g_input_stream_read_async(g_io_stream_get_input_stream(G_IO_STREAM(client->connection)),
                            client->buffer, sizeof client->buffer, G_PRIORITY_DEFAULT,
                            client->cancellable, on_read, client);
}

gboolean on_incoming(GSocketService * /*service*/, GSocketConnection *connection,
                     GObject * /*source*/, gpointer user_data) {
  auto *server = static_cast<TcpServer *>(user_data);
  if (int(server->clients.size()) >= server->rules.most_clients) {
    g_io_stream_close(G_IO_STREAM(connection), nullptr, nullptr);
    return TRUE;
  }
  // A modest send buffer (the kernel doubles it), so that a client that leaves
  // its replies unread meets the cap on unread bytes after tens of kilobytes
  // in the kernel's buffers rather than megabytes.
  g_socket_set_option(g_socket_connection_get_socket(connection), SOL_SOCKET, SO_SNDBUF,
                      server->rules.send_buffer, nullptr);
  auto *client = new TcpClient;
  client->server = server;
  client->connection = G_SOCKET_CONNECTION(g_object_ref(connection));
  client->cancellable = g_cancellable_new();
  client->last_heard = g_get_monotonic_time();
  server->clients.push_back(client);
  start_read(client);
  server->handlers.counted(server->handlers.data);
  return TRUE;
}

gboolean watchdog_tick(gpointer user_data) {
  auto *server = static_cast<TcpServer *>(user_data);
  const gint64 now = g_get_monotonic_time();
  const gint64 idle = gint64(server->rules.idle_seconds) * G_USEC_PER_SEC;
  const gint64 stall = gint64(server->rules.stall_seconds) * G_USEC_PER_SEC;
  for (TcpClient *client : std::vector<TcpClient *>(server->clients)) {
    if ((!client->patient && now - client->last_heard > idle) ||
        (client->write_since && now - client->write_since > stall)) {
      ctrl_tcp_drop(client);
    }
  }
  return G_SOURCE_CONTINUE;
}

}  // namespace

void ctrl_tcp_drop(TcpClient *client) {
  if (client->closing) return;
  client->closing = true;
  TcpServer *server = client->server;
  server->clients.erase(std::find(server->clients.begin(), server->clients.end(), client));
  server->handlers.leaving(client, server->handlers.data);
  g_cancellable_cancel(client->cancellable);
  g_io_stream_close(G_IO_STREAM(client->connection), nullptr, nullptr);
  server->handlers.counted(server->handlers.data);
  release(client);
}

void ctrl_tcp_send(TcpClient *client, const std::string &bytes) {
  if (client->closing || bytes.empty()) return;
  if (client->sending.empty() && client->unsent.empty()) {
    client->write_since = g_get_monotonic_time();
  }
  client->unsent += bytes;
  if (client->sending.size() + client->unsent.size() > client->server->rules.most_unread) {
    return ctrl_tcp_drop(client);
  }
  start_write(client);
}

void ctrl_tcp_set_patient(TcpClient *client, bool patient) {
  client->patient = patient;
}

void *ctrl_tcp_client_data(const TcpClient *client) {
  return client->data;
}

void ctrl_tcp_set_client_data(TcpClient *client, void *data) {
  client->data = data;
}

std::vector<TcpClient *> ctrl_tcp_clients(const TcpServer *server) {
  return server ? server->clients : std::vector<TcpClient *>();
}

const std::string &ctrl_tcp_where(const TcpServer *server) {
  return server->where;
}

bool ctrl_tcp_is_loopback(const char *address) {
  GInetAddress *inet = g_inet_address_new_from_string(address);
  const bool loopback = inet && g_inet_address_get_is_loopback(inet);
  if (inet) g_object_unref(inet);
  return loopback;
}

bool ctrl_tcp_parse_endpoint(const char *text, const char *default_address, guint16 default_port,
                             std::string *address, guint16 *port) {
  std::string t = text ? text : "";
  std::string host = default_address, number = t;
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
  long value = default_port;
  if (!number.empty() || colon != std::string::npos) {
    if (number.empty() || number.size() > 5 ||
        number.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    value = std::strtol(number.c_str(), nullptr, 10);
    if (value < 1 || value > 65535) return false;
  }
  *address = host;
  *port = guint16(value);
  return true;
}

TcpServer *ctrl_tcp_start(const char *address, guint16 port, const TcpRules &rules,
                          const TcpHandlers &handlers, const char *refused_format,
                          std::string *message) {
  GInetAddress *inet = g_inet_address_new_from_string(address);
  if (!inet) {
    gchar *text = g_strdup_printf(_("“%s” is not an address to listen on."), address);
    *message = text;
    g_free(text);
    return nullptr;
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
    gchar *text = g_strdup_printf(refused_format, guint(port), address, error->message);
    *message = text;
    g_free(text);
    g_error_free(error);
    g_object_unref(service);
    return nullptr;
  }
  auto *server = new TcpServer{rules, handlers, service, {}, {}, 0};
  const bool v6 = std::strchr(address, ':') != nullptr;
  server->where = (v6 ? "[" : "") + std::string(address) + (v6 ? "]:" : ":") + std::to_string(port);
  g_signal_connect(service, "incoming", G_CALLBACK(on_incoming), server);
  g_socket_service_start(service);
  server->watchdog = g_timeout_add_seconds(1, watchdog_tick, server);
  return server;
}

void ctrl_tcp_stop(TcpServer *server) {
  if (!server) return;
  for (TcpClient *client : std::vector<TcpClient *>(server->clients)) ctrl_tcp_drop(client);
  g_source_remove(server->watchdog);
  g_socket_service_stop(server->service);
  g_socket_listener_close(G_SOCKET_LISTENER(server->service));
  g_object_unref(server->service);
  delete server;
}
