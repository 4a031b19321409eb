// The INDI server: clients that speak INDI (Ekos, INDI's own command-line
// clients) connect over TCP as to an indiserver and drive the mount as the
// device of src/indi, in the main loop.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "app/app_state.h"

// INDI's own port, and the address served unless told.
constexpr guint16 kIndiDefaultPort = 7624;
constexpr const char *kIndiDefaultAddress = "127.0.0.1";
// At most this many clients at once; more are closed as they connect.
constexpr int kIndiMostClients = 8;
// A client that sends nothing for this long before it asks for the device's
// properties is dropped, seconds; one that has asked may watch in silence.
constexpr int kIndiIdleSeconds = 600;
// A client that leaves its updates unread this long is dropped, seconds.
constexpr int kIndiStallSeconds = 60;
// A client with more than this many bytes unread is dropped: every property
// defined is some 7 KiB.
constexpr gsize kIndiMostUnread = gsize(256) * 1024;
// Changes reach the clients at most this often, milliseconds.
constexpr guint kIndiUpdateMs = 200;

// Starts listening on address (a numeric IPv4 or IPv6 address) and port.
// False, with a sentence in *message, where the address cannot be read or the
// port cannot be had; nothing changes then. A server already listening is
// stopped first.
bool ctrl_indi_start(AppState *state, const char *address, guint16 port, std::string *message);

// Stops listening and closes every client. Nothing where no server runs.
void ctrl_indi_stop(AppState *state);

// True while the server listens.
bool ctrl_indi_listening(const AppState *state);

// The number of clients connected now.
int ctrl_indi_clients(const AppState *state);

// The status bar's part for the server ("INDI on 127.0.0.1:7624, 1 client");
// "" while it does not listen.
std::string ctrl_indi_status(const AppState *state);

// Reads "PORT", "ADDRESS:PORT" or "[ADDRESS]:PORT" (or "" for the default).
// False for anything else, a port of 0 or above 65535 included.
bool ctrl_indi_parse_endpoint(const char *text, std::string *address, guint16 *port);
