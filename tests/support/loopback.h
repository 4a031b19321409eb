// TCP on the loopback interface for the tests of the LX200 server: a free
// port, and a client connected to one.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

// A port free on the loopback interface now, and a socket that holds it when
// hold is set.
inline uint16_t free_port(int *hold = nullptr) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
  socklen_t n = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr *>(&a), &n);
  if (hold) {
    listen(fd, 1);
    *hold = fd;
  } else {
    close(fd);
  }
  return ntohs(a.sin_port);
}

// A non-blocking client socket connected to port on the loopback interface;
// with a receive buffer of receive_buffer bytes where that is not 0.
inline int connect_to(uint16_t port, int receive_buffer = 0) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (receive_buffer) {
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  }
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
  fcntl(fd, F_SETFL, O_NONBLOCK);
  return fd;
}
