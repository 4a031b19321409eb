// The real program, started as a process on the test's X server: both quit
// paths end it with status 0, unknown arguments do not stop it starting, and
// a dying X server or a signal ends it at once.
#include <gtest/gtest.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback.h"

namespace {

constexpr auto kTimeout = std::chrono::seconds(20);

// Output of a shell command, trailing newline removed.
std::string run(const std::string &command) {
  std::string out;
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
  pclose(pipe);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// The program as a child process; killed if a test leaves it running.
class Program {
 public:
  // display: the X display to run on ("" for the test's own); output: a file
  // that receives the program's standard output and error ("" to keep them).
  explicit Program(std::vector<std::string> args, const std::string &display = "",
                   const std::string &output = "") {
    args.insert(args.begin(), VELMORANT_PROGRAM);
    pid_ = fork();
    if (pid_ == 0) {
      // As a shell starts a job in the foreground: the signals that end a
      // program neither blocked nor ignored, whatever the test inherited.
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      signal(SIGINT, SIG_DFL);
      signal(SIGTERM, SIG_DFL);
      if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
      if (!output.empty()) {
        const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 1);
        dup2(fd, 2);
      }
      std::vector<char *> argv;
      for (auto &a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~Program() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  // The X id of the main window once it is mapped, or "" after the timeout.
  std::string main_window(const std::string &display = "") const {
    const std::string on = display.empty() ? "" : "DISPLAY=" + display + " ";
    return run(on + "timeout 20 xdotool search --sync --onlyvisible --pid " + std::to_string(pid_) +
               " --name '^Velmorant Mount Simulation$' 2>/dev/null | head -n 1");
  }

  // Waits for the program to end; its exit status, or -1 on timeout or a signal.
  int wait_for_exit() {
    int status = 0;
    if (!ends_by(std::chrono::steady_clock::now() + kTimeout, &status)) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Waits until deadline for the program to end, with its wait status in
  // *status; false if it runs on.
  bool ends_by(std::chrono::steady_clock::time_point deadline, int *status) {
    for (;;) {
      if (waitpid(pid_, status, WNOHANG) == pid_) {
        pid_ = -1;
        return true;
      }
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  void send_signal(int number) const {
    if (pid_ > 0) kill(pid_, number);
  }

 private:
  pid_t pid_ = -1;
};

// Asks a window to close as a window manager's close button does.
void send_delete_window(const std::string &window_id) {
  Display *display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = std::strtoul(window_id.c_str(), nullptr, 10);
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = XInternAtom(display, "WM_DELETE_WINDOW", False);
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
  XCloseDisplay(display);
}

TEST(ProgramProcess, FileQuitEndsWithStatusZero) {
  Program program({});
  const std::string window = program.main_window();
  ASSERT_FALSE(window.empty()) << "the main window never appeared";
  run("xdotool windowfocus --sync " + window + " key --clearmodifiers alt+f");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  run("xdotool key --clearmodifiers Return");  // Quit is the File menu's only item
  EXPECT_EQ(program.wait_for_exit(), 0);
}

TEST(ProgramProcess, ClosingTheMainWindowEndsWithStatusZero) {
  Program program({});
  const std::string window = program.main_window();
  ASSERT_FALSE(window.empty()) << "the main window never appeared";
  send_delete_window(window);
  EXPECT_EQ(program.wait_for_exit(), 0);
}

TEST(ProgramProcess, StrayArgumentsAreIgnored) {
  Program program({"stray", "--axis-speed=3,5,8", "--axis-acceleration=90"});
  const std::string window = program.main_window();
  ASSERT_FALSE(window.empty()) << "the main window never appeared";
  send_delete_window(window);
  EXPECT_EQ(program.wait_for_exit(), 0);
}

TEST(ProgramProcess, HelpListsTheOptionsAndABadOrUnknownOneEndsWithStatusTwoAndWhy) {
  const std::string help = run(std::string(VELMORANT_PROGRAM) + " --help");
  for (const char *option :
       {"--longitude=DEG", "--axis-speed=DEG_PER_S", "--axis-acceleration=DEG_PER_S2"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
  const struct {
    const char *argument, *says;
  } cases[] = {{"--longitude=east", "Cannot parse"},
               {"--longitude=180.5", "from -180 to 180"},
               {"--longitude=nan", "from -180 to 180"},
               {"--no-such-option", "Unknown option --no-such-option"},
               {"--axis-speed=0", "--axis-speed takes one speed or three"},
               {"--axis-speed=3,5,inf", "--axis-speed takes"},
               {"--axis-acceleration=1,2", "--axis-acceleration takes"},
               {"--axis-acceleration=90.5", "--axis-acceleration takes"}};
  for (const auto &c : cases) {
    const std::string out =
        run(std::string(VELMORANT_PROGRAM) + " " + c.argument + " 2>&1; echo \"status $?\"");
    EXPECT_NE(out.find(c.says), std::string::npos) << out;
    EXPECT_NE(out.find("status 2"), std::string::npos) << out;
  }
}

// The last of the lines printed when the view gets no OpenGL it can draw with.
constexpr const char *kNoVisual = "*** No appripriate OpenGL capable visual found.\n";

// The output a program wrote to a file, which is then removed.
std::string output_of(const char *file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  unlink(file);
  return text.str();
}

#if VELMORANT_GTK == 3
// On GTK 3 the program asks GDK for a compatibility context by adding
// "legacy" to GDK_GL, keeping what the user set there. A user's "disable"
// thus still turns GL off, and the program says so instead of drawing nothing.
TEST(ProgramProcess, OnGtk3AUsersGdkGlIsKeptAndNoContextEndsItWithStatusOne) {
  char output[] = "/tmp/velmorant-nogl-XXXXXX";
  close(mkstemp(output));
  setenv("GDK_GL", "disable", 1);
  Program program({}, "", output);
  unsetenv("GDK_GL");
  EXPECT_EQ(program.wait_for_exit(), 1);
  EXPECT_NE(output_of(output).find(kNoVisual), std::string::npos);
}
#endif

// An X server of the test's own, with one screen of the given size (such as
// "800x600x24") and, unless told otherwise, the GLX extension.
class XServer {
 public:
  explicit XServer(const std::string &screen, bool glx = true) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      std::vector<std::string> args = {"Xvfb", "-displayfd", fd,          "-screen",
                                       "0",    screen,       "-nolisten", "tcp"};
      if (!glx) args.insert(args.end(), {"-extension", "GLX"});
      std::vector<char *> argv;
      for (auto &a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execvp("Xvfb", argv.data());
      _exit(127);
    }
    close(fds[1]);
    // Xvfb writes the display number and a newline once it is ready.
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~XServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string &display() const { return display_; }

  // Ends the server at once, as a crash would.
  void kill_now() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

TEST(ProgramProcess, WithoutGlxItExitsWithStatusOneAndAMessageAndNeverMapsAWindow) {
  XServer server("640x480x24", false);
  ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
  // Watch the new server's root window for any window being mapped.
  Display *watch = XOpenDisplay(server.display().c_str());
  ASSERT_NE(watch, nullptr);
  XSelectInput(watch, DefaultRootWindow(watch), SubstructureNotifyMask);
  XSync(watch, False);

  char output[] = "/tmp/velmorant-noglx-XXXXXX";
  close(mkstemp(output));
  Program program({}, server.display(), output);
  EXPECT_EQ(program.wait_for_exit(), 1);

  // GtkGLExt stops the program itself; on GTK 3 the view finds no context.
  const std::string text = output_of(output);
  EXPECT_NE(text.find(VELMORANT_GTK == 2 ? "doesn't support OpenGL" : kNoVisual), std::string::npos)
      << text;

  XSync(watch, False);
  int mapped = 0;
  while (XPending(watch)) {
    XEvent event;
    XNextEvent(watch, &event);
    mapped += event.type == MapNotify;
  }
  XCloseDisplay(watch);
  EXPECT_EQ(mapped, 0);
}

// On a screen smaller than the window's natural size the window opens within
// it, less 32 pixels of height for a title bar and a panel, its view shrunk.
TEST(ProgramProcess, OnSmallScreensTheWindowOpensWithinTheScreen) {
  struct Case {
    const char *screen;
    unsigned width, height;  // the most the window may take
  };
  for (const Case &c : {Case{"1024x768x24", 1024, 736}, Case{"800x600x24", 800, 568}}) {
    SCOPED_TRACE(c.screen);
    XServer server(c.screen);
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    Program program({}, server.display());
    const std::string window = program.main_window(server.display());
    ASSERT_FALSE(window.empty()) << "the main window never appeared";
    Display *display = XOpenDisplay(server.display().c_str());
    ASSERT_NE(display, nullptr);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, std::strtoul(window.c_str(), nullptr, 10), &attributes);
    XCloseDisplay(display);
    EXPECT_LE(unsigned(attributes.width), c.width);
    EXPECT_LE(unsigned(attributes.height), c.height);
  }
}

// A dying X server ends the program within 2 s, with status 1 and GDK's word
// on the lost display (given by GTK+ 2's GDK, and on GTK 3, whose GDK keeps it
// for debugging, by the program itself); SIGTERM and SIGINT end it within 1 s
// as they end any program, by the signal itself (a shell's status 143 and
// 130). A planetarium program connected over LX200 at that moment holds up
// none of it. Each row has an X server of its own, for the one that is killed.
TEST(ProgramProcess, EndsPromptlyWhenItsXServerDiesOrASignalAsks) {
  // In the sanitizer lane the leak checker's scan at exit takes most of two
  // seconds: the programs started here skip it, so that what is timed is the
  // program's own ending (every other test checks for leaks).
  const char *asan = std::getenv("ASAN_OPTIONS");
  if (asan) setenv("ASAN_OPTIONS", (std::string(asan) + ":detect_leaks=0").c_str(), 1);
  for (const bool client : {false, true}) {
    for (const int sig : {0, SIGTERM, SIGINT}) {  // 0: the X server killed
      const std::string row = std::string(sig ? strsignal(sig) : "X server killed") +
                              (client ? ", LX200 client connected" : "");
      SCOPED_TRACE(row);
      XServer server("800x600x24");
      ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
      const uint16_t port = free_port();
      char output[] = "/tmp/velmorant-fault-XXXXXX";
      close(mkstemp(output));
      Program program(client ? std::vector<std::string>{"--lx200=" + std::to_string(port)}
                             : std::vector<std::string>{},
                      server.display(), output);
      ASSERT_FALSE(program.main_window(server.display()).empty()) << "no main window";
      const int fd = client ? connect_to(port) : -1;
      if (client) {  // connected, and answered once
        send(fd, ":GR#", 4, MSG_NOSIGNAL);
        pollfd readable = {fd, POLLIN, 0};
        char c;
        ASSERT_TRUE(poll(&readable, 1, 2000) == 1 && recv(fd, &c, 1, 0) == 1) << "no reply";
      }
      const auto fault = std::chrono::steady_clock::now();
      sig ? program.send_signal(sig) : server.kill_now();
      int status = 0;
      ASSERT_TRUE(program.ends_by(fault + std::chrono::seconds(sig ? 1 : 2), &status)) << "runs on";
      std::printf("%s: ended after %lld ms\n", row.c_str(),
                  static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now() - fault)
                                             .count()));
      const std::string text = output_of(output);
      if (sig) {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "status " << status;
      } else {  // GDK's two sentences: the connection broke (EPIPE), or another error
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
        EXPECT_TRUE(text.find("on X server " + server.display() + ".") != std::string::npos ||
                    text.find("to the display " + server.display() + ";") != std::string::npos)
            << text;
      }
      if (fd >= 0) close(fd);
    }
  }
}

}  // namespace
