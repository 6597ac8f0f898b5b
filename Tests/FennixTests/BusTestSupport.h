// A message bus of a test's own, for tests that run without the session of the display tests.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace BusTestSupport {

/// A bus daemon that lets every client own any name and call anyone, listening in a folder of its
/// own, until stop() or the end of the object. The daemon is a program started by exec: between
/// fork and exec the child makes only system calls, so the threads of the test (and the locks
/// they held at the fork, the sanitizers' among them) cannot hold it up. It ends with the thread
/// that made it, should the test die first.
class PrivateBus {
 public:
  /// Starts the daemon and waits up to `seconds` for it to listen: address() is empty when it did
  /// not (log() then says why).
  explicit PrivateBus(double seconds = 60) {
    std::string pattern = (std::filesystem::temp_directory_path() / "quarvel-bus-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return;
    folder_ = pattern;
    const auto config = folder_ / "bus.conf";
    std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                             " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                             "<busconfig><type>session</type><listen>unix:dir="
                          << folder_.string()
                          << "</listen><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                             "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
    const std::string program = daemonProgram();
    if (program.empty()) return;
    std::vector<std::string> arguments{program, "--config-file=" + config.string(), "--nofork", "--nopidfile",
                                       "--print-address=3"};
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int address[2];
    if (::pipe2(address, O_CLOEXEC) != 0) return;
    const int log = ::open((folder_ / "bus.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t parent = ::getpid();
    pid_t child = ::fork();
    if (child == 0) {
      // Only system calls until the exec.
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (::getppid() != parent) ::_exit(126);
      if (address[1] == 3) {
        ::fcntl(3, F_SETFD, 0);
      } else if (::dup2(address[1], 3) != 3) {
        ::_exit(126);
      }
      if (log >= 0) {
        ::dup2(log, 1);
        ::dup2(log, 2);
      }
      ::execve(argv[0], argv.data(), environ);
      ::_exit(127);
    }
    pid_ = child;
    ::close(address[1]);
    if (log >= 0) ::close(log);
    address_ = readLine(address[0], seconds);
    ::close(address[0]);
  }
  ~PrivateBus() {
    stop();
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  /// Where clients connect, as the daemon printed it.
  const std::string& address() const { return address_; }

  /// What the daemon wrote, and how it ended if it did.
  std::string log() const {
    std::stringstream text;
    text << std::ifstream(folder_ / "bus.log").rdbuf();
    if (pid_ <= 0) text << "(no bus daemon was started)";
    return text.str();
  }

  /// Ends the daemon; the connections of its clients close.
  void stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    if (!reaped(10)) {
      ::kill(pid_, SIGKILL);
      reaped(10);
    }
    pid_ = 0;
  }

 private:
  /// dbus-daemon on the search path, looked up before the fork (the child only calls execve).
  static std::string daemonProgram() {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path != nullptr && *path != '\0' ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
      const auto candidate = std::filesystem::path(folder.empty() ? "." : folder) / "dbus-daemon";
      if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return "";
  }

  /// The first line written to `descriptor` within `seconds`, without its end; empty when none came.
  static std::string readLine(int descriptor, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::string text;
    while (text.find('\n') == std::string::npos) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return "";
      struct pollfd ready {descriptor, POLLIN, 0};
      if (::poll(&ready, 1, int(left.count())) < 0 && errno != EINTR) return "";
      if (ready.revents == 0) continue;
      char buffer[256];
      const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
      if (count == 0) return "";
      if (count > 0) text.append(buffer, std::size_t(count));
    }
    return text.substr(0, text.find('\n'));
  }

  bool reaped(double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

  std::filesystem::path folder_;
  pid_t pid_ = 0;
  std::string address_;
};

}  // namespace BusTestSupport
