// The INDI device library: every standard property defined as well-formed
// XML, what each writable one asks of the mount, what changes are told, and
// hostile input that must cost nothing. The device's own output is read back
// through the library's parser, so every reply is checked as XML.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "indi/indi.h"

namespace {

IndiMount mount() {
  IndiMount m;
  m.ra = 18.6156, m.dec = 38.78, m.alt = 12.5, m.az = 307.25;
  m.axes = {45, 0, 180};
  m.frot = 12.5, m.latitude = 52.5, m.longitude = -13.4, m.utc = 1796763600.0;
  return m;
}

// Messages in text, read by a fresh session; the parse must not fail.
std::vector<IndiMessage> read_back(const std::string &xml) {
  IndiSession reader;
  bool drop = false;
  std::vector<IndiMessage> out = indi_parse(&reader, xml.data(), xml.size(), &drop);
  EXPECT_EQ(reader.malformed, 0) << xml;
  EXPECT_FALSE(drop);
  return out;
}

// One client message through a device: the reply both ways, and its actions.
IndiReply ask(IndiDevice *device, const std::string &xml, const IndiMount &m = mount()) {
  IndiSession session;
  bool drop = false;
  IndiReply all;
  for (const IndiMessage &message : indi_parse(&session, xml.data(), xml.size(), &drop)) {
    IndiReply r = indi_handle(&session, device, m, message);
    all.to_client += r.to_client, all.to_all += r.to_all;
    all.actions.insert(all.actions.end(), r.actions.begin(), r.actions.end());
  }
  read_back(all.to_client + all.to_all);
  return all;
}

std::string names_of(const std::string &xml) {
  std::string names;
  for (const IndiMessage &m : read_back(xml)) names += m.tag + " " + m.name + ";";
  return names;
}

TEST(IndiDevice, DefinesEveryStandardPropertyAndHidesAllButTwoWhileDisconnected) {
  IndiDevice device;
  const std::vector<IndiMessage> defs =
      read_back(ask(&device, "<getProperties version='1.7'/>").to_client);
  // clang-format off
  const char *expected[][3] = {
      {"defSwitchVector", "CONNECTION", "CONNECT=On DISCONNECT=Off"},
      {"defTextVector", "DRIVER_INFO", "DRIVER_NAME=Velmorant DRIVER_EXEC=velmorant DRIVER_VERSION=" VELMORANT_VERSION " DRIVER_INTERFACE=4101"},
      {"defNumberVector", "EQUATORIAL_EOD_COORD", "RA=18.6156000 DEC=38.780000"},
      {"defNumberVector", "HORIZONTAL_COORD", "ALT=12.500000 AZ=307.250000"},
      {"defSwitchVector", "ON_COORD_SET", "SLEW=Off TRACK=On SYNC=Off"},
      {"defSwitchVector", "TELESCOPE_ABORT_MOTION", "ABORT=Off"},
      {"defSwitchVector", "TELESCOPE_TRACK_STATE", "TRACK_ON=Off TRACK_OFF=On"},
      {"defSwitchVector", "TELESCOPE_TRACK_MODE", "TRACK_SIDEREAL=On TRACK_X10=Off TRACK_X100=Off TRACK_X1000=Off"},
      {"defSwitchVector", "TELESCOPE_PARK", "PARK=Off UNPARK=On"},
      {"defSwitchVector", "TELESCOPE_MOTION_NS", "MOTION_NORTH=Off MOTION_SOUTH=Off"},
      {"defSwitchVector", "TELESCOPE_MOTION_WE", "MOTION_WEST=Off MOTION_EAST=Off"},
      {"defSwitchVector", "TELESCOPE_SLEW_RATE", "SLEW_GUIDE=Off SLEW_CENTERING=Off SLEW_FIND=Off SLEW_MAX=On"},
      {"defNumberVector", "TELESCOPE_TIMED_GUIDE_NS", "TIMED_GUIDE_N=0 TIMED_GUIDE_S=0"},
      {"defNumberVector", "TELESCOPE_TIMED_GUIDE_WE", "TIMED_GUIDE_W=0 TIMED_GUIDE_E=0"},
      {"defNumberVector", "GEOGRAPHIC_COORD", "LAT=52.500000 LONG=346.600000 ELEV=0.0"},
      {"defTextVector", "TIME_UTC", "UTC=2026-12-08T21:00:00 OFFSET=0.00"},
      {"defNumberVector", "ABS_ROTATOR_ANGLE", "ANGLE=12.5000"},
      {"defNumberVector", "MOUNT_AXES", "A1=45.0000 A2=0.0000 A3=180.0000"},
  };
  // clang-format on
  ASSERT_EQ(defs.size(), std::size(expected));
  for (size_t i = 0; i < defs.size(); i++) {
    std::string members;
    for (const auto &[name, value] : defs[i].members) {
      members += (members.empty() ? "" : " ") + name + "=" + value;
    }
    EXPECT_EQ(defs[i].tag + " " + defs[i].name + " " + members,
              std::string(expected[i][0]) + " " + expected[i][1] + " " + expected[i][2]);
    EXPECT_EQ(defs[i].device, "Velmorant");
  }
  EXPECT_EQ(names_of(ask(&device, "<getProperties device='Other'/>").to_client), "");
  EXPECT_EQ(
      names_of(ask(&device, "<getProperties device='Velmorant' name='MOUNT_AXES'/>").to_client),
      "defNumberVector MOUNT_AXES;");

  // Disconnected, only the connection and the driver's texts remain; the
  // others are deleted and come back, defined, on connecting.
  const std::string off = ask(&device,
                              "<newSwitchVector device='Velmorant' name='CONNECTION'>"
                              "<oneSwitch name='DISCONNECT'>On</oneSwitch></newSwitchVector>")
                              .to_all;
  EXPECT_EQ(read_back(off).size(), 17u);
  EXPECT_NE(off.find("<delProperty device=\"Velmorant\" name=\"MOUNT_AXES\""), std::string::npos);
  EXPECT_EQ(names_of(ask(&device, "<getProperties/>").to_client),
            "defSwitchVector CONNECTION;defTextVector DRIVER_INFO;");
  EXPECT_TRUE(ask(&device,
                  "<newSwitchVector device='Velmorant' name='TELESCOPE_PARK'>"
                  "<oneSwitch name='PARK'>On</oneSwitch></newSwitchVector>")
                  .actions.empty());
  const std::string on = ask(&device,
                             "<newSwitchVector device='Velmorant' name='CONNECTION'>"
                             "<oneSwitch name='CONNECT'>On</oneSwitch></newSwitchVector>")
                             .to_all;
  EXPECT_EQ(read_back(on).size(), 17u);
  EXPECT_EQ(read_back(ask(&device, "<getProperties/>").to_client).size(), 18u);
}

std::string new_vector(const char *kind, const char *name, const std::string &members) {
  return std::string("<new") + kind + "Vector device='Velmorant' name='" + name + "'>" + members +
         "</new" + kind + "Vector>";
}

TEST(IndiDevice, WritablePropertiesAskTheMountOrAnswerAlertWithAReason) {
  IndiDevice device;
  IndiMount tracking = mount();
  tracking.activity = MountActivity::kTracking;
  tracking.moving = kMountWest;
  const auto sw = [](const char *name, const char *member) {
    return new_vector("Switch", name,
                      std::string("<oneSwitch name='") + member + "'>On</oneSwitch>");
  };
  const auto num = [](const char *name, const std::string &members) {
    return new_vector("Number", name, members);
  };
  // In order, through one device: each row's reply or action.
  // clang-format off
  const struct { std::string xml; const char *told; const char *action; bool track = false; } cases[] = {
      {num("EQUATORIAL_EOD_COORD", "<oneNumber name='RA'>18:36:56</oneNumber><oneNumber name='DEC'> 38.5 </oneNumber>"), "", "GoTo 18.615556 38.500000 0 stop 0"},
      {sw("ON_COORD_SET", "SLEW"), "Ok", ""},
      {num("EQUATORIAL_EOD_COORD", "<oneNumber name='DEC'>-10</oneNumber>"), "", "GoTo 18.615600 -10.000000 0 stop 1"},
      {sw("ON_COORD_SET", "SYNC"), "Ok", ""},
      {num("EQUATORIAL_EOD_COORD", "<oneNumber name='RA'>1.5</oneNumber>"), "", "Sync 1.500000 38.780000 0 stop 0"},
      {num("EQUATORIAL_EOD_COORD", "<oneNumber name='RA'>25</oneNumber>"), "Alert RA takes a number from 0 to 24", ""},
      {num("EQUATORIAL_EOD_COORD", "<oneNumber name='DEC'>north</oneNumber>"), "Alert DEC takes", ""},
      {sw("TELESCOPE_ABORT_MOTION", "ABORT"), "", "Abort 0.000000 0.000000 0 stop 0"},
      {sw("TELESCOPE_TRACK_STATE", "TRACK_ON"), "", "Track 1.000000 0.000000 0 stop 0"},
      {sw("TELESCOPE_TRACK_MODE", "TRACK_X100"), "Ok", ""},
      {sw("TELESCOPE_TRACK_STATE", "TRACK_ON"), "", "Track 100.000000 0.000000 0 stop 0"},
      {sw("TELESCOPE_TRACK_MODE", "TRACK_X1000"), "", "Track 1000.000000 0.000000 0 stop 0", true},
      {sw("TELESCOPE_TRACK_STATE", "TRACK_OFF"), "", "Track 0.000000 0.000000 0 stop 0"},
      {sw("TELESCOPE_PARK", "PARK"), "", "Park 0.000000 0.000000 0 stop 0"},
      {sw("TELESCOPE_PARK", "UNPARK"), "", "Unpark 0.000000 0.000000 0 stop 0"},
      {sw("TELESCOPE_SLEW_RATE", "SLEW_CENTERING"), "Ok", ""},
      {sw("TELESCOPE_MOTION_NS", "MOTION_NORTH"), "", "Move 0.500000 0.000000 9 stop 0", true},
      {new_vector("Switch", "TELESCOPE_MOTION_WE", "<oneSwitch name='MOTION_WEST'>Off</oneSwitch>"), "", "Move 0.500000 0.000000 0 stop 0", true},
      {sw("TELESCOPE_SLEW_RATE", "SLEW_FIND"), "", "Move 2.000000 0.000000 8 stop 0", true},
      {num("TELESCOPE_TIMED_GUIDE_NS", "<oneNumber name='TIMED_GUIDE_S'>500</oneNumber>"), "", "Guide 500.000000 0.000000 2 stop 0"},
      {num("TELESCOPE_TIMED_GUIDE_WE", "<oneNumber name='TIMED_GUIDE_W'>20</oneNumber><oneNumber name='TIMED_GUIDE_E'>20</oneNumber>"), "Alert A guide pulse goes one way at a time", ""},
      {num("TELESCOPE_TIMED_GUIDE_WE", "<oneNumber name='TIMED_GUIDE_E'>20000</oneNumber>"), "Alert TIMED_GUIDE_E takes a number from 0 to 10000", ""},
      {num("GEOGRAPHIC_COORD", "<oneNumber name='LAT'>-33.9</oneNumber><oneNumber name='LONG'>346.6</oneNumber><oneNumber name='ELEV'>30</oneNumber>"), "", "SetSite -33.900000 -13.400000 0 stop 0"},
      {new_vector("Text", "TIME_UTC", "<oneText name='UTC'>2026-12-10T21:30:00</oneText><oneText name='OFFSET'>1</oneText>"), "", "SetClock 1796938200.000000 0.000000 0 stop 0"},
      {new_vector("Text", "TIME_UTC", "<oneText name='UTC'>yesterday</oneText>"), "Alert UTC takes", ""},
      {new_vector("Text", "TIME_UTC", "<oneText name='UTC'>0999-01-01T00:00:00</oneText>"), "Alert UTC takes", ""},
      {num("ABS_ROTATOR_ANGLE", "<oneNumber name='ANGLE'>30</oneNumber>"), "", "Rotate 30.000000 0.000000 0 stop 0"},
      // Read-only, unknown, mistyped and foreign: ignored.
      {num("HORIZONTAL_COORD", "<oneNumber name='ALT'>30</oneNumber>"), "", ""},
      {num("MOUNT_AXES", "<oneNumber name='A1'>30</oneNumber>"), "", ""},
      {num("NO_SUCH", "<oneNumber name='X'>30</oneNumber>"), "", ""},
      {sw("ABS_ROTATOR_ANGLE", "ANGLE"), "", ""},
      {"<newSwitchVector device='Other' name='TELESCOPE_PARK'><oneSwitch name='PARK'>On</oneSwitch></newSwitchVector>", "", ""},
  };
  // clang-format on
  const char *kinds[] = {"GoTo",   "Sync",  "Abort",   "Move",     "Track", "Park",
                         "Unpark", "Guide", "SetSite", "SetClock", "Rotate"};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.xml);
    const IndiReply r = ask(&device, c.xml, c.track ? tracking : mount());
    std::string action;
    for (const IndiAction &a : r.actions) {
      char text[160];
      std::snprintf(text, sizeof text, "%s %f %f %u stop %d", kinds[int(a.kind)], a.a, a.b,
                    a.direction, int(a.stop_after));
      action += text;
    }
    EXPECT_EQ(action, c.action);
    const std::vector<IndiMessage> told = read_back(r.to_all);
    ASSERT_EQ(told.size(), *c.told ? 1u : 0u);
    if (told.empty()) continue;
    const size_t state = r.to_all.find("state=\"");
    const size_t message = r.to_all.find("message=\"");
    const std::string said =
        r.to_all.substr(state + 7, r.to_all.find('"', state + 7) - state - 7) +
        (message == std::string::npos ? "" : " " + r.to_all.substr(message + 9));
    EXPECT_EQ(said.rfind(c.told, 0), 0u) << said;
  }
  EXPECT_EQ(device.elevation, 30);
  EXPECT_EQ(device.utc_offset, 1);
}

TEST(IndiDevice, TellsOnlyWhatChangedAndEndsASlewWhereItArrives) {
  IndiDevice device;
  IndiMount m = mount();
  EXPECT_EQ(read_back(indi_poll(&device, m).to_all).size(), 15u);  // all but the static three
  EXPECT_EQ(indi_poll(&device, m).to_all, "");
  m.ra += 1e-5;
  EXPECT_EQ(names_of(indi_poll(&device, m).to_all), "setNumberVector EQUATORIAL_EOD_COORD;");

  // A refused Go To is an Alert with its reason, until a slew begins.
  IndiAction go{IndiActionKind::kGoTo, 1, 2, 0, true, "EQUATORIAL_EOD_COORD"};
  const std::string alert = indi_answer(&device, m, go, "below the limit");
  EXPECT_NE(alert.find("state=\"Alert\" timeout=\"60\" timestamp=\"2026-12-08T21:00:00\" "
                       "message=\"below the limit\""),
            std::string::npos)
      << alert;
  EXPECT_EQ(indi_poll(&device, m).to_all, "");
  EXPECT_NE(indi_answer(&device, m, go, nullptr).find("state=\"Idle\""), std::string::npos);
  m.activity = MountActivity::kSlewing;
  const std::string busy = indi_poll(&device, m).to_all;
  EXPECT_EQ(names_of(busy),
            "setNumberVector EQUATORIAL_EOD_COORD;setNumberVector HORIZONTAL_COORD;");
  EXPECT_EQ(busy.find("Ok"), std::string::npos);
  // A SLEW stops tracking when it arrives; a TRACK does not.
  m.activity = MountActivity::kTracking;
  const IndiReply arrived = indi_poll(&device, m);
  ASSERT_EQ(arrived.actions.size(), 1u);
  EXPECT_EQ(arrived.actions[0].kind, IndiActionKind::kTrack);
  EXPECT_EQ(arrived.actions[0].a, 0);
  EXPECT_TRUE(indi_poll(&device, m).actions.empty());
  // Parking is Busy with PARK on, as clients tell it from unparking.
  m.activity = MountActivity::kParking;
  const std::string parking = indi_poll(&device, m).to_all;
  const size_t park = parking.find("name=\"TELESCOPE_PARK\" state=\"Busy\"");
  ASSERT_NE(park, std::string::npos) << parking;
  EXPECT_NE(parking.find("<oneSwitch name=\"PARK\">On", park), std::string::npos);
}

TEST(IndiStream, NumbersSplitMessagesAndHostileBytesCostNothing) {
  // clang-format off
  const struct { const char *text; bool ok; double value; } numbers[] = {
      {"12.5", true, 12.5}, {" -12:30:00 ", true, -12.5}, {"+1 30", true, 1.5},
      {"0:0:36", true, 0.01}, {"12:60", false, 0}, {"1e400", false, 0}, {"0x10", false, 0},
      {"nan", false, 0}, {"", false, 0}, {"1:2:3:4", false, 0}, {"12,5", false, 0}, {"1:", false, 0},
  };
  // clang-format on
  for (const auto &n : numbers) {
    double value = -99;
    EXPECT_EQ(indi_parse_number(n.text, &value), n.ok) << n.text;
    if (n.ok) {
      EXPECT_NEAR(value, n.value, 1e-12) << n.text;
    }
  }

  const std::string good = "<getProperties version='1.7'/>";
  const std::string huge(kIndiLongestMessage, 'x');
  // Each is followed by a good message; kept says whether that is read, and
  // drop whether the client is closed.
  // clang-format off
  const struct { std::string bytes; bool kept; bool drop; } hostile[] = {
      {"<newNumberVector name='", false, false},            // unclosed: the rest is its attribute
      {"<a><b><c><d>text</d></c></b></a>", true, false},    // deep and unknown
      {"<oneNumber>&xxe;</oneNumber>", true, false},        // an entity no one defined
      {std::string("<x>\xff\xfe\0\x01</x>", 11), true, false},  // binary bytes
      {"</indi>", true, false},                             // closing the stream's root
      {"<!DOCTYPE lol [<!ENTITY a 'aaaa'>]><b>&a;&a;</b>", true, false},
      {"<newTextVector name='" + huge + "'>", false, true},  // a huge attribute
      {"<defNumber>" + huge, false, true},                   // a huge unclosed element
  };
  // clang-format on
  for (const auto &h : hostile) {
    // In one read: what follows the bad bytes is still read.
    IndiSession session;
    bool drop = false;
    const std::string bytes = h.bytes + good;
    const std::vector<IndiMessage> got = indi_parse(&session, bytes.data(), bytes.size(), &drop);
    EXPECT_EQ(drop, h.drop) << h.bytes.substr(0, 60);
    EXPECT_EQ(!got.empty() && got.back().tag == "getProperties", h.kept) << h.bytes.substr(0, 60);
  }

  // A message one byte at a time is read as one.
  IndiSession split;
  std::vector<IndiMessage> got;
  const std::string message =
      new_vector("Number", "ABS_ROTATOR_ANGLE", "<oneNumber name='ANGLE'>3&#48;</oneNumber>");
  for (char c : message) {
    bool drop = false;
    for (IndiMessage &m : indi_parse(&split, &c, 1, &drop)) got.push_back(m);
  }
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].members.at(0).second, "30");

  // Fuzz: valid messages cut, spliced and sprinkled with random bytes. The
  // device's every reply must read back as XML.
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  const std::string seeds[] = {
      good,
      message,
      new_vector("Switch", "TELESCOPE_PARK", "<oneSwitch name='PARK'>On</oneSwitch>"),
      new_vector("Number", "EQUATORIAL_EOD_COORD", "<oneNumber name='RA'>5</oneNumber>"),
      new_vector("Text", "TIME_UTC", "<oneText name='UTC'>2026-01-01T00:00</oneText>"),
      new_vector("Switch", "CONNECTION", "<oneSwitch name='DISCONNECT'>On</oneSwitch>")};
  const auto started = std::chrono::steady_clock::now();
  IndiDevice device;
  IndiSession session;
  size_t bytes = 0, messages = 0;
  const int rounds = 20000;
  for (int round = 0; round < rounds; round++) {
    std::string chunk;
    for (int k = random() % 4; k >= 0; k--) {
      const std::string &s = seeds[random() % std::size(seeds)];
      chunk += s.substr(random() % 3 == 0 ? random() % s.size() : 0);
    }
    for (int k = random() % 6; k > 0; k--) chunk[random() % chunk.size()] = char(random());
    bool drop = false;
    bytes += chunk.size();
    std::string out;
    for (const IndiMessage &m : indi_parse(&session, chunk.data(), chunk.size(), &drop)) {
      const IndiReply r = indi_handle(&session, &device, mount(), m);
      out += r.to_client + r.to_all;
      messages++;
    }
    read_back(out);
    if (drop) session = IndiSession{};
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("indi fuzz: %d rounds, %zu bytes, %zu messages handled, %d resumed, %.2f s\n", rounds,
              bytes, messages, session.malformed, seconds);
}

}  // namespace
