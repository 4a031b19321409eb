// The INDI server in the real window: INDI's own clients (indi_getprop,
// indi_setprop, indi_eval from Debian's indi-bin) list the device, send it
// to Vega's place of date and watch it slew, guide, turn the field, park and
// unpark, while every scale is read; then nine raw clients throw hostile
// bytes at it.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "controls/indi_server.h"
#include "controls/telescope.h"
#include "controls/tracking.h"
#include "indi/indi.h"
#include "sky/sky.h"
#include "support/app_window.h"
#include "support/loopback.h"
#include "support/scales.h"

namespace {

// Lets the main loop run for ms, or until fd's end of stream (told by
// *closed); what fd received meanwhile.
std::string pump(int fd, int ms, bool *closed = nullptr) {
  std::string got;
  for (const gint64 until = g_get_monotonic_time() + ms * 1000;
       g_get_monotonic_time() < until && !(closed && *closed);) {
    process_events();
    char buffer[65536];
    const ssize_t n = fd >= 0 ? recv(fd, buffer, sizeof buffer, 0) : -1;
    if (n > 0) got.append(buffer, size_t(n));
    if (n == 0 && closed) *closed = true;
    g_usleep(1000);
  }
  return got;
}

// Runs an INDI client against port to its end, the main loop running
// meanwhile: its output, and whether it exited 0.
std::string client(guint16 port, std::vector<std::string> args, bool *ok = nullptr) {
  std::vector<const char *> argv = {args[0].c_str(), "-p"};
  const std::string p = std::to_string(port);
  argv.push_back(p.c_str());
  for (size_t i = 1; i < args.size(); i++) argv.push_back(args[i].c_str());
  argv.push_back(nullptr);
  GPid pid;
  gint out;
  GError *error = nullptr;
  EXPECT_TRUE(g_spawn_async_with_pipes(nullptr, const_cast<gchar **>(argv.data()), nullptr,
                                       GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                                       nullptr, nullptr, &pid, nullptr, &out, nullptr, &error))
      << (error ? error->message : "");
  if (error) return "";
  fcntl(out, F_SETFL, O_NONBLOCK);
  std::string got;
  int status = 0;
  for (bool done = false; !done;) {
    done = waitpid(pid, &status, WNOHANG) == pid;
    process_events();
    char buffer[4096];
    for (ssize_t n; (n = read(out, buffer, sizeof buffer)) > 0;) got.append(buffer, size_t(n));
    g_usleep(2000);
  }
  close(out);
  g_spawn_close_pid(pid);
  if (ok) *ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return got;
}

double number(guint16 port, const std::string &element) {
  return std::atof(client(port, {"indi_getprop", "-1", "-t", "5", "Velmorant." + element}).c_str());
}

void set(guint16 port, const std::string &assignment) {
  bool ok = false;
  client(port, {"indi_setprop", "Velmorant." + assignment}, &ok);
  EXPECT_TRUE(ok) << assignment;
}

// Waits (at most seconds) until the expression of INDI operands holds.
bool until(guint16 port, const std::string &expression, int seconds) {
  bool ok = false;
  client(port, {"indi_eval", "-w", "-t", std::to_string(seconds), expression}, &ok);
  return ok;
}

TEST(IndiServer, RealClientsListSlewToVegaGuideTurnTheFieldParkAndUnpark) {
  AppState *state = open_app_window();
  const guint16 port = free_port();
  std::string message;
  ASSERT_TRUE(ctrl_indi_start(state, "127.0.0.1", port, &message)) << message;
  ctrl_clock_set(state, 1796751000.0);  // 2026-12-08 17:30 UTC: Vega is up at 45 N, 0 E

  // Every element of the 18 properties, the clock's the program's own.
  const std::string all = client(port, {"indi_getprop", "-t", "3", "Velmorant.*.*"});
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 43) << all;
  EXPECT_NE(all.find("Velmorant.TIME_UTC.UTC=2026-12-08T17:3"), std::string::npos) << all;
  EXPECT_EQ(ctrl_indi_status(state), "INDI on 127.0.0.1:" + std::to_string(port) + ", 0 clients");

  // Vega's place of date: Busy while it slews, then Ok, on it within 1'.
  double ra, dec;
  ASSERT_TRUE(sky_apparent_place(*sky_find_star("Vega"), ctrl_clock_now(state), &ra, &dec));
  ra *= 12 / G_PI, dec *= 180 / G_PI;
  set(port, "EQUATORIAL_EOD_COORD.RA;DEC=" + std::to_string(ra) + ";" + std::to_string(dec));
  EXPECT_TRUE(until(port, "\"Velmorant.EQUATORIAL_EOD_COORD._STATE\"==2", 5));
  EXPECT_TRUE(until(port, "\"Velmorant.EQUATORIAL_EOD_COORD._STATE\"==1", 90));
  const double off_ra = (number(port, "EQUATORIAL_EOD_COORD.RA") - ra) * 15 * cos(dec * G_PI / 180);
  EXPECT_LT(std::hypot(off_ra, number(port, "EQUATORIAL_EOD_COORD.DEC") - dec), 1 / 60.0);
  EXPECT_TRUE(until(port, "\"Velmorant.TELESCOPE_TRACK_STATE.TRACK_ON\"==1", 5));
  EXPECT_NEAR(gtk_range_get_value(GTK_RANGE(state->dec_scale)), dec, 1 / 60.0);

  // A guide pulse north of a second moves the tracked place 7.5" north.
  const double before = number(port, "EQUATORIAL_EOD_COORD.DEC");
  set(port, "TELESCOPE_TIMED_GUIDE_NS.TIMED_GUIDE_N=1000");
  EXPECT_TRUE(until(port, "\"Velmorant.TELESCOPE_TIMED_GUIDE_NS._STATE\"==2", 2));
  EXPECT_TRUE(until(port, "\"Velmorant.TELESCOPE_TIMED_GUIDE_NS._STATE\"==0", 5));
  pump(-1, 500);
  EXPECT_NEAR((number(port, "EQUATORIAL_EOD_COORD.DEC") - before) * 3600, 7.5, 1.5);

  // The rotator is the Field Rotation scale: writing it turns the field and
  // the mount stays on Vega.
  set(port, "ABS_ROTATOR_ANGLE.ANGLE=30");
  EXPECT_TRUE(until(port, "abs(\"Velmorant.ABS_ROTATOR_ANGLE.ANGLE\"-30)<0.01", 60));
  EXPECT_TRUE(until(port, "\"Velmorant.ABS_ROTATOR_ANGLE._STATE\"==1", 60));
  pump(-1, 300);
  EXPECT_NEAR(gtk_range_get_value(GTK_RANGE(state->frot_scale)), 30, 0.01);
  EXPECT_NEAR(number(port, "ABS_ROTATOR_ANGLE.ANGLE"),
              gtk_range_get_value(GTK_RANGE(state->frot_scale)), 0.01);
  EXPECT_NEAR(number(port, "EQUATORIAL_EOD_COORD.DEC"), before + 7.5 / 3600, 1 / 60.0);
  EXPECT_TRUE(one_position(snapshot_of(state)));

  // Parked, a Go To is refused with an Alert; unparked, the mount is Idle.
  set(port, "TELESCOPE_PARK.PARK=On");
  EXPECT_TRUE(until(port, "\"Velmorant.TELESCOPE_PARK._STATE\"==2", 5));
  EXPECT_TRUE(until(port, "\"Velmorant.TELESCOPE_PARK._STATE\"==1", 90));
  EXPECT_NEAR(number(port, "MOUNT_AXES.A1"), 45, 1e-3);
  EXPECT_NEAR(number(port, "MOUNT_AXES.A3"), 180, 1e-3);
  set(port, "EQUATORIAL_EOD_COORD.RA;DEC=" + std::to_string(ra) + ";" + std::to_string(dec));
  EXPECT_TRUE(until(port, "\"Velmorant.EQUATORIAL_EOD_COORD._STATE\"==3", 5));
  set(port, "TELESCOPE_PARK.UNPARK=On");
  EXPECT_TRUE(until(port, "\"Velmorant.TELESCOPE_PARK._STATE\"==0", 5));
  EXPECT_EQ(state->mount->activity, MountActivity::kIdle);
  close_app_window(state);
}

TEST(IndiServer, NineClientsHostileBytesAndOverlongMessagesCostNothing) {
  AppState *state = open_app_window();
  const guint16 port = free_port();
  std::string message;
  ASSERT_TRUE(ctrl_indi_start(state, "127.0.0.1", port, &message)) << message;
  int clients[9];
  for (int &fd : clients) fd = connect_to(port);
  bool ninth_closed = false;
  pump(clients[8], 300, &ninth_closed);
  EXPECT_EQ(ctrl_indi_clients(state), kIndiMostClients);
  EXPECT_TRUE(ninth_closed) << "a ninth client was let in";
  close(clients[8]);

  // A subscribed client hears changes at most five times a second, and only
  // changes: at x1000 the axes turn, held still they do not.
  const std::string subscribe = "<getProperties version='1.7'/>";
  send(clients[0], subscribe.data(), subscribe.size(), MSG_NOSIGNAL);
  pump(clients[0], 500);
  const auto count = [](const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
  };
  const std::string axes = "name=\"MOUNT_AXES\"";
  state->track_rate = 1000;
  ctrl_track_start(state);
  const int turning = count(pump(clients[0], 2000), axes);
  EXPECT_GE(turning, 7);
  EXPECT_LE(turning, 11);
  ctrl_telescope_stop(state);
  pump(clients[0], 300);
  EXPECT_EQ(count(pump(clients[0], 1000), axes), 0);

  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  const std::string pieces[] = {
      "<getProperties version='1.7'/>",
      "<newSwitchVector device='Velmorant' name='TELESCOPE_MOTION_NS'>"
      "<oneSwitch name='MOTION_NORTH'>On</oneSwitch></newSwitchVector>",
      "<newNumberVector device='Velmorant' name='EQUATORIAL_EOD_COORD'>"
      "<oneNumber name='DEC'>30</oneNumber></newNumberVector>",
      "<newSwitchVector device='Velmorant' name='TELESCOPE_ABORT_MOTION'>"
      "<oneSwitch name='ABORT'>On</oneSwitch></newSwitchVector>",
      "<newNumberVector device='Velmorant' name='ABS_ROTATOR_ANGLE'><oneNumber name='ANGLE'>",
      "&bogus;</oneNumber>",
      "</indi>",
      std::string("\0\xff<\x01>", 5)};
  const char *asked = g_getenv("VELMORANT_INDI_ROUNDS");
  const int rounds = asked ? std::atoi(asked) : 300;
  int dropped = 0;
  for (int round = 0; round < rounds; round++) {
    int &fd = clients[random() % 8];
    std::string bytes;
    // Every tenth round a new client sends more than a message may hold
    // without a '>'. (After bytes it could not read, a client's stream is
    // read afresh from its next '>': what came before it counts no more.)
    const bool overlong = round % 10 == 0;
    if (overlong) {
      close(fd);
      fd = connect_to(port);
      bytes = "<newTextVector name='" + std::string(kIndiLongestMessage, 'x');
    }
    for (int i = random() % 5; i >= 0 && !overlong; i--) {
      bytes += pieces[random() % std::size(pieces)];
    }
    for (int i = overlong ? 0 : random() % 4; i > 0; i--)
      bytes[random() % bytes.size()] = char(random());
    for (size_t done = 0; done < bytes.size();) {
      const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) break;
      done += size_t(n);
      pump(fd, 1);
    }
    bool closed = false;
    pump(fd, overlong ? 2000 : 5, &closed);
    EXPECT_TRUE(closed || !overlong) << "round " << round << " kept an overlong message";
    if (closed) {
      close(fd);
      fd = connect_to(port);
      ++dropped;
    }
  }
  std::printf("indi server: %d rounds, %d clients dropped and replaced, seed %u\n", rounds, dropped,
              seed);
  for (int i = 0; i < 8; i++) close(clients[i]);
  pump(-1, 300);
  EXPECT_EQ(ctrl_indi_clients(state), 0);
  // A client gone ends the move it started; the server still answers.
  EXPECT_EQ(state->mount->moving, 0u);
  bool ok = false;
  EXPECT_NE(client(port, {"indi_getprop", "Velmorant.MOUNT_AXES.A1"}, &ok).find("A1="),
            std::string::npos);
  EXPECT_TRUE(one_position(snapshot_of(state)));

  close_app_window(state);
}

}  // namespace
