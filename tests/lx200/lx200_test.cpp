// The LX200 protocol library: what a client reads back for each command in
// both precisions, how arguments are read, and input that must cost nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "lx200/lx200.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;

// Vega from Berlin at 2026-12-08 21:00:00 UTC, low in the north-west.
Lx200Mount mount() {
  Lx200Mount m{};
  m.ra = (18 + 36 / 60.0 + 56.3 / 3600) * kPi / 12;
  m.dec = (38 + 47 / 60.0 + 1 / 3600.0) * kDeg;
  m.alt = 12.5 * kDeg;
  m.az = 307.25 * kDeg;
  m.lst = (2 + 30 / 60.0) * kPi / 12;
  m.latitude = 52.5;
  m.longitude = 13.4;
  m.utc = 1796763600.0;
  m.min_altitude = 1.0;
  return m;
}

// Sends bytes as one read, handing back the rest after each command that asks
// for an action, as the server does.
Lx200Result send(Lx200Session *session, const std::string &bytes, const Lx200Mount &m = mount()) {
  Lx200Result all;
  for (size_t done = 0; done < bytes.size() && !all.drop; done += all.consumed) {
    const Lx200Result r = lx200_receive(session, m, bytes.data() + done, bytes.size() - done);
    all.reply += r.reply, all.drop = r.drop, all.consumed = r.consumed;
    all.actions.insert(all.actions.end(), r.actions.begin(), r.actions.end());
  }
  return all;
}

TEST(Lx200Commands, ReplyAsTheClassicHandControllerInBothPrecisions) {
  // clang-format off
  const struct { const char *command, *low, *high; } cases[] = {
      {"\x06", "A", "A"},
      {":GR#", "18:36.9#", "18:36:56#"},
      {":GD#", "+38*47#", "+38*47:01#"},
      {":GA#", "+12*30#", "+12*30:00#"},
      {":GZ#", "307*15#", "307*15:00#"},
      {":GS#", "02:30:00#", "02:30:00#"},
      {":Gt#", "+52*30#", "+52*30#"},
      {":Gg#", "-013*24#", "-013*24#"},  // west positive: 13.4 east reads negative
      {":GL#", "21:00:00#", "21:00:00#"},
      {":GC#", "12/08/26#", "12/08/26#"},
      {":GG#", "+00.0#", "+00.0#"},
      {":Gc#", "24#", "24#"},
      {":GT#", "60.1#", "60.1#"},
      {":GVP#", "velmorant#", "velmorant#"},
      {":GVN#", "1.0.1#", "1.0.1#"},
      {":GVD#", "Dec 08 2026#", "Dec 08 2026#"},
      {":GM#", "velmorant#", "velmorant#"},
      {":D#", "#", "#"},
      {":Sr 18:36:56#", "1", "1"},
      {":Sr 18:36.9#", "1", "1"},
      {":Sr 24:00:00#", "1", "1"},
      {":Sr 24:00:01#", "0", "0"},
      {":Sr 12:61:00#", "0", "0"},
      {":Sd +38*47:01#", "1", "1"},
      {":Sd -90*00:00#", "1", "1"},
      {":Sd -90*00'01#", "0", "0"},
      {":Sd +38*47#", "1", "1"},
      {":Sd 1e3#", "0", "0"},
      {":Sd+00\xC2\xB0" "30#", "1", "1"},  // UTF-8's degree sign; other high bytes
      {":Sd+00\xE9" "30#", "0", "0"},     // never join the fields
      {":St +52*30#", "1", "1"},
      {":St -33*52#", "1", "1"},  // the axes, so the altitude, stay: any latitude
      {":Sg 013*24#", "1", "1"},
      {":Sg 350*00#", "1", "1"},
      {":Sg 13x24#", "0", "0"},
      {":SG -01.0#", "1", "1"},
      {":SG 25#", "0", "0"},
      {":SG -01,0#", "0", "0"},
      {":SL 22:15:30#", "1", "1"},
      {":SL 24:00:00#", "0", "0"},
      {":SC 02/29/28#", "1Updating Planetary Data#                                #",
                        "1Updating Planetary Data#                                #"},
      {":SC 02/29/27#", "0", "0"},
      {":MS#", "0", "0"},  // to the target set last, 0h 0m 0s, +0 degrees: up at lst 2h30m
      {":CM#", "Coordinates     matched.        #", "Coordinates     matched.        #"},
      {":Q#", "", ""}, {":Mn#", "", ""}, {":Qw#", "", ""}, {":RG#", "", ""}, {":XYZ#", "", ""},
  };
  // clang-format on
  for (bool high : {false, true}) {
    for (const auto &c : cases) {
      Lx200Session session;
      if (high) {
        EXPECT_EQ(send(&session, ":U#").reply, "");
      }
      EXPECT_EQ(send(&session, c.command).reply, high ? c.high : c.low) << c.command;
    }
  }
}

TEST(Lx200Commands, AskForTheActionsTheirArgumentsSay) {
  Lx200Session s;
  EXPECT_EQ(send(&s, ":Sr 06:45:09#:Sd -16*42:58#:MS#").reply, "110");
  Lx200Result r = send(&s, ":CM#:RC#:Me#:Qe#:Q#:Sg 350*00#:St +60*30#:SG -02#:SL 01:30:00#"
                           ":Mgn1000#:Mgw0042#:hP#:hW#");
  using K = Lx200ActionKind;
  // 350 west is 10 east; 01:30 local on the client's day, two hours ahead of
  // UTC (UTC is local time less 2 hours), is 23:30 UTC the day before.
  // clang-format off
  const struct { K kind; double a, b; char direction, rate; } want[] = {
      {K::kSync, (6 + 45 / 60.0 + 9 / 3600.0) * kPi / 12, -(16 + 42 / 60.0 + 58 / 3600.0) * kDeg, 0, 0},
      {K::kMove, 0, 0, 'e', 'C'}, {K::kStopMove, 0, 0, 'e', 'C'}, {K::kStop, 0, 0, 0, 0},
      {K::kSetLongitude, 10, 0, 0, 0}, {K::kSetLatitude, 60.5, 0, 0, 0},
      {K::kSetClock, 1796763600.0 - 21 * 3600 - 0.5 * 3600, 0, 0, 0},
      {K::kGuide, 1000, 0, 'n', 0}, {K::kGuide, 42, 0, 'w', 0}, {K::kPark, 0, 0, 0, 0},
      {K::kUnpark, 0, 0, 0, 0}};
  // clang-format on
  ASSERT_EQ(r.actions.size(), std::size(want));
  for (size_t i = 0; i < std::size(want); i++) {
    EXPECT_EQ(r.actions[i].kind, want[i].kind) << i;
    EXPECT_NEAR(r.actions[i].a, want[i].a, 1e-9) << i;
    EXPECT_NEAR(r.actions[i].b, want[i].b, 1e-12) << i;
    EXPECT_EQ(r.actions[i].direction, want[i].direction) << i;
    EXPECT_EQ(r.actions[i].rate, want[i].rate) << i;
  }
  // A target below the horizon is refused by the one byte that INDI's driver
  // reads, and asks for nothing.
  r = send(&s, ":Sr 12:00:00#:Sd -80*00#:MS#");
  EXPECT_EQ(r.reply, "111");
  EXPECT_TRUE(r.actions.empty());
  // So is any Go To or sync of a parked mount; a pulse without its length is
  // malformed.
  Lx200Mount parked = mount();
  parked.parked = true;
  r = send(&s, ":Sr 18:36:56#:Sd +38*47:01#:MS#:Mgn#:Mgs12x4#:CM#", parked);
  EXPECT_EQ(r.reply, "11100Mount is parked#");
  EXPECT_TRUE(r.actions.empty());
  Lx200Mount slewing = mount();
  slewing.slewing = true;
  EXPECT_EQ(send(&s, ":D#", slewing).reply, "\x7F#");
}

TEST(Lx200Input, SplitCommandsJoinAndBadBytesCostNothing) {
  Lx200Session s;
  std::string reply;
  for (const char *part : {":G", "R", "#:", "GD", "#"}) reply += send(&s, part).reply;
  EXPECT_EQ(reply, "18:36.9#+38*47#");
  EXPECT_EQ(send(&s, ":Sd+00\xC2").reply, "");  // a degree sign split between reads
  EXPECT_EQ(send(&s, std::string("\xB0") + "30#").reply, "1");
  EXPECT_EQ(send(&s, std::string(":G\0R#", 5)).reply, "18:36.9#");  // NUL ignored
  EXPECT_EQ(send(&s, ":G\xC3\xA9R#").reply, "0");                   // é: not a command
  EXPECT_EQ(send(&s, "garbage#:GR#").reply, "18:36.9#");
  EXPECT_EQ(send(&s, ":GD:GR#").reply, "");  // one command, and not one it knows
  EXPECT_FALSE(send(&s, ":" + std::string(kLx200LongestCommand, 'x') + "#").drop);
  const Lx200Result overflow = send(&s, ":" + std::string(kLx200LongestCommand + 1, 'x'));
  EXPECT_TRUE(overflow.drop);
  EXPECT_EQ(overflow.reply, "");
}

// Under de_DE.UTF-8, whose decimal mark is a comma (CTest makes it).
TEST(Lx200Input, NumbersReadAndWrittenWithAPointWhateverTheLocale) {
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "the German locale is missing";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  Lx200Session s;
  EXPECT_EQ(send(&s, ":SG-05.0#:GG#:SG-05,5#:GG#:SG+3.5#:GG#").reply, "1-05.0#0-05.0#1+03.5#");
  std::setlocale(LC_ALL, "C");
}

TEST(Lx200Input, SurvivesRandomAndMutatedBytes) {
  // A new seed each run, or VELMORANT_LX200_SEED's to repeat one.
  const char *asked = std::getenv("VELMORANT_LX200_SEED");
  const unsigned seed = asked ? unsigned(std::strtoul(asked, nullptr, 10)) : std::random_device{}();
  std::mt19937 random(seed);
  const std::string commands[] = {":GR#",
                                  ":Sr 18:36:56#",
                                  ":Sd +38*47:01#",
                                  ":MS#",
                                  ":CM#",
                                  ":Sg 013*24#",
                                  ":St +52*30#",
                                  ":SC 12/08/26#",
                                  ":SL 21:00:00#",
                                  ":SG -01.0#",
                                  ":U#",
                                  ":Mn#",
                                  ":Q#",
                                  "\x06",
                                  ":Sd+38\xDF"
                                  "48:38#"};
  const auto start = std::chrono::steady_clock::now();
  long inputs = 0;
  Lx200Session session;
  for (; inputs < 500000; inputs++) {
    std::string bytes = commands[random() % std::size(commands)];
    const int mutations = random() % 4;
    for (int i = 0; i < mutations; i++) {
      const size_t at = random() % (bytes.size() + 1);
      switch (random() % 3) {
        case 0:
          bytes.insert(at, 1, char(random()));
          break;
        case 1:
          if (at < bytes.size()) bytes.erase(at, 1);
          break;
        default:
          if (at < bytes.size()) bytes[at] = char(random());
          break;
      }
    }
    if (random() % 50 == 0) bytes.assign(random() % 200, char(random()));
    const Lx200Result r = send(&session, bytes);
    for (char c : r.reply) ASSERT_TRUE(c > 0 && (c >= ' ' || c == '\x7F' || c == '#')) << seed;
    ASSERT_LE(session.line.size(), kLx200LongestCommand) << "seed " << seed;
    if (r.drop) session = Lx200Session();
    for (const Lx200Action &a : r.actions) ASSERT_TRUE(std::isfinite(a.a) && std::isfinite(a.b));
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("lx200 fuzz: %ld inputs in %.2f s, seed %u\n", inputs, seconds, seed);
  // A '#' first ends whatever command the last input left unfinished.
  const std::string reply = send(&session, "#:GR#").reply;
  EXPECT_TRUE(!reply.empty() && reply.back() == '#') << "seed " << seed << ": " << reply;
}

}  // namespace
