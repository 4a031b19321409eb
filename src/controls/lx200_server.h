// The LX200 server: planetarium programs connect over TCP and drive the
// mount through the protocol of src/lx200, in the main loop (GIO's socket
// service and asynchronous streams: no threads, nothing that blocks).
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "app/app_state.h"

// The classic port of LX200 servers, and the address served unless told.
constexpr guint16 kLx200DefaultPort = 4030;
constexpr const char *kLx200DefaultAddress = "127.0.0.1";
// At most this many clients at once; more are closed as they connect.
constexpr int kLx200MostClients = 8;
// A client that sends nothing for this long, or leaves a reply unread this
// long, is dropped, seconds.
constexpr int kLx200IdleSeconds = 60;
// A client with more than this many reply bytes unread is dropped.
constexpr gsize kLx200MostUnread = 4096;
// The send buffer asked of the kernel for each client's socket, bytes: an
// LX200 client reads some ten bytes a command.
constexpr gint kLx200SendBuffer = 16384;

// Starts listening on address (a numeric IPv4 or IPv6 address) and port.
// False, with a sentence in *message, where the address cannot be read or the
// port cannot be had (in use, say); nothing changes then. A server already
// listening is stopped first.
bool ctrl_lx200_start(AppState *state, const char *address, guint16 port, std::string *message);

// Stops listening and closes every client. Nothing where no server runs.
void ctrl_lx200_stop(AppState *state);

// True while the server listens.
bool ctrl_lx200_listening(const AppState *state);

// The number of clients connected now.
int ctrl_lx200_clients(const AppState *state);

// The status bar's part for the server: where it listens and how many clients
// are connected ("LX200 on 127.0.0.1:4030, 2 clients"); "" while it does not.
std::string ctrl_lx200_status(const AppState *state);

// True where address is a loopback address (127.0.0.0/8 or ::1).
bool ctrl_lx200_is_loopback(const char *address);

// Reads "PORT", "ADDRESS:PORT" or "[ADDRESS]:PORT" (or "" for the default).
// False for anything else, a port of 0 or above 65535 included.
bool ctrl_lx200_parse_endpoint(const char *text, std::string *address, guint16 *port);
