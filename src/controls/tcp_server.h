// A TCP server in the main loop for the protocol servers (LX200, INDI): GIO's
// socket service and asynchronous streams, no threads and nothing that
// blocks. It accepts a bounded number of clients, queues their replies, and
// drops those that fall silent, leave replies unread or send what the
// protocol refuses; the protocol's own code sees only bytes.
#pragma once

#include <gio/gio.h>

#include <string>
#include <vector>

struct TcpServer;
struct TcpClient;

struct TcpRules {
  int most_clients;   // more are closed as they connect
  int idle_seconds;   // a client that sends nothing this long is dropped (unless patient)
  int stall_seconds;  // a client that leaves replies unread this long is dropped
  gsize most_unread;  // a client with more reply bytes unread than this is dropped
  gint send_buffer;   // the kernel's send buffer asked for each client's socket, bytes
};

// What the protocol does with its clients. Each is called in the main loop.
struct TcpHandlers {
  // Bytes a client sent; it may send to it, and drop it.
  void (*received)(TcpClient *client, const char *bytes, gsize n, void *data);
  // A client is leaving (it closed, was dropped, or the server stops): the
  // last call for it.
  void (*leaving)(TcpClient *client, void *data);
  // The number of clients changed.
  void (*counted)(void *data);
  void *data;
};

// Listens on address (numeric IPv4 or IPv6) and port. Null where the address
// cannot be read or the port cannot be had, with *message made from
// refused_format (a format taking the port as %u, the address and the
// system's reason as %s) or saying the address is unreadable.
TcpServer *ctrl_tcp_start(const char *address, guint16 port, const TcpRules &rules,
                          const TcpHandlers &handlers, const char *refused_format,
                          std::string *message);

// Closes every client (each told to its protocol as leaving) and stops
// listening. Nothing for null.
void ctrl_tcp_stop(TcpServer *server);

// Queues bytes for a client, sent in order; a client past the rules' unread
// bytes is dropped.
void ctrl_tcp_send(TcpClient *client, const std::string &bytes);

// Closes a client now; its protocol hears it leaving.
void ctrl_tcp_drop(TcpClient *client);

// A patient client may stay silent as long as it likes (it still reads).
void ctrl_tcp_set_patient(TcpClient *client, bool patient);

// The protocol's own data for a client (null until set).
void *ctrl_tcp_client_data(const TcpClient *client);
void ctrl_tcp_set_client_data(TcpClient *client, void *data);

// The clients connected now, in the order they came.
std::vector<TcpClient *> ctrl_tcp_clients(const TcpServer *server);

// Where it listens: "127.0.0.1:4030", "[::1]:7624".
const std::string &ctrl_tcp_where(const TcpServer *server);

// Reads "PORT", "ADDRESS:PORT" or "[ADDRESS]:PORT", or "" for
// default_address and default_port. False for anything else, a port of 0 or
// above 65535 included.
bool ctrl_tcp_parse_endpoint(const char *text, const char *default_address, guint16 default_port,
                             std::string *address, guint16 *port);

// True where address is a loopback address (127.0.0.0/8 or ::1).
bool ctrl_tcp_is_loopback(const char *address);
