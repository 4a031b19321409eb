// The LX200 server in the real window, under abuse: nine clients for eight
// places, random bytes, overlong lines and half-closed sockets; afterwards it
// still answers and the scales describe one position.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <cstdlib>
#include <random>
#include <string>

#include "controls/lx200_server.h"
#include "lx200/lx200.h"
#include "support/app_window.h"
#include "support/loopback.h"
#include "support/scales.h"

namespace {

// Lets the main loop run for a while, or until fd's end of stream is seen
// (told by *closed); what fd has received meanwhile.
std::string pump(int fd, int ms, bool *closed = nullptr) {
  std::string got;
  for (const gint64 until = g_get_monotonic_time() + ms * 1000;
       g_get_monotonic_time() < until && !(closed && *closed);) {
    process_events();
    char buffer[4096];
    const ssize_t n = fd >= 0 ? recv(fd, buffer, sizeof buffer, 0) : -1;
    if (n > 0) got.append(buffer, size_t(n));
    if (n == 0 && closed) *closed = true;
    g_usleep(1000);
  }
  return got;
}

TEST(Lx200Server, NineClientsRandomBytesOverlongLinesAndHalfClosedSocketsCostNothing) {
  AppState *state = open_app_window();
  const guint16 port = free_port();
  std::string message;
  ASSERT_TRUE(ctrl_lx200_start(state, "127.0.0.1", port, &message)) << message;
  int clients[9];
  for (int &fd : clients) fd = connect_to(port);
  bool ninth_closed = false;
  pump(clients[8], 300, &ninth_closed);
  EXPECT_EQ(ctrl_lx200_clients(state), kLx200MostClients);
  EXPECT_TRUE(ninth_closed) << "a ninth client was let in";
  EXPECT_EQ(ctrl_lx200_status(state), "LX200 on 127.0.0.1:" + std::to_string(port) + ", 8 clients");
  close(clients[8]);

  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  const char *commands[] = {":GR#", ":GD#", ":MS#", ":Sr 05:00:00#", ":Sd +20*00#", ":Q#",
                            ":Mn#", ":Qn#", ":CM#", ":U#",           ":St +40*00#", ":D#"};
  // Fewer in the sanitizer lane, where every allocation is unwound.
  const char *asked = g_getenv("VELMORANT_LX200_ROUNDS");
  const int rounds = asked ? std::atoi(asked) : 300;
  int dropped = 0, to_drop = 0;
  for (int round = 0; round < rounds; round++) {
    int &fd = clients[random() % 8];
    std::string bytes;
    // The first two rounds are one of each kind that must be dropped, so a
    // short run has both however the seed falls.
    const int kind = round < 2 ? round : int(random() % 10);
    switch (kind) {
      case 0:
        bytes.assign(kLx200LongestCommand + 10, 'x'), bytes.insert(0, ":");
        break;
      case 1:
        shutdown(fd, SHUT_WR);
        break;
      default:
        for (int i = random() % 6; i >= 0; i--) bytes += commands[random() % std::size(commands)];
        for (int i = random() % 8; i > 0; i--)
          bytes.insert(random() % (bytes.size() + 1), 1, char(random()));
    }
    if (!bytes.empty()) send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    bool closed = false;
    const bool must_drop = kind <= 1;  // an overlong line or a half-closed socket
    to_drop += must_drop;
    pump(fd, must_drop ? 2000 : 2, &closed);
    EXPECT_TRUE(closed || !must_drop) << "round " << round << " of kind " << kind << " kept";
    if (closed) {
      close(fd);
      fd = connect_to(port);
      ++dropped;
    }
  }
  std::printf("lx200 server: %d rounds, %d clients dropped and replaced, seed %u\n", rounds,
              dropped, seed);
  EXPECT_GE(dropped, to_drop);

  for (int i = 0; i < 8; i++) close(clients[i]);
  pump(-1, 200);
  EXPECT_EQ(ctrl_lx200_clients(state), 0);
  const int fd = connect_to(port);
  send(fd, ":Q#:GR#", 7, MSG_NOSIGNAL);
  const std::string reply = pump(fd, 300);
  EXPECT_FALSE(reply.empty());
  EXPECT_EQ(reply.empty() ? ' ' : reply.back(), '#') << reply;
  EXPECT_TRUE(one_position(snapshot_of(state)));

  // Another server on a port in use says so, and the running one goes on.
  int held;
  const guint16 taken = free_port(&held);
  EXPECT_FALSE(ctrl_lx200_start(state, "127.0.0.1", taken, &message));
  EXPECT_NE(message.find("cannot be accepted on port " + std::to_string(taken)), std::string::npos)
      << message;
  EXPECT_TRUE(ctrl_lx200_listening(state));
  close(held);
  close(fd);
  close_app_window(state);
}

}  // namespace
