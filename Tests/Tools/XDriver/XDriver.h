// Drives programs as a person would, through the X server: finds their windows by title, types
// and clicks with synthetic device events (XTest), reads the screen, the clipboard and the
// windows' names. Tests that prove the wiring between the toolkit, the application and what a
// user sees use it; it knows nothing of GTK, so the program under test may be another process.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace XDriver {

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

/// An RGB picture grabbed from the screen; each pixel is 0xRRGGBB.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  std::uint32_t at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
  /// How many pixels of `area` (clipped to the picture) are within `tolerance` of `rgb` in every channel.
  std::size_t count(std::uint32_t rgb, int tolerance, std::optional<Rect> area = std::nullopt) const;
  /// Counts pixels for which `matches` is true.
  std::size_t countWhere(const std::function<bool(std::uint32_t)>& matches, std::optional<Rect> area = std::nullopt) const;
  /// The bounding box of the pixels within `tolerance` of `rgb`, if any.
  std::optional<Rect> boundsOf(std::uint32_t rgb, int tolerance) const;
  bool savePNG(const std::string& path) const;
};

using WindowID = unsigned long;

/// One connection to the X server named by DISPLAY. Every call waits until the server has
/// handled what it sent.
class Session {
 public:
  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  /// False when no X server could be reached or it lacks the XTest extension.
  bool ok() const { return display_ != nullptr && hasXTest_; }

  /// The mapped windows whose title (the EWMH name, else the ICCCM one) satisfies `matches`,
  /// searched below the root window. Waits up to `timeoutSeconds` for at least one.
  std::vector<WindowID> findWindows(const std::function<bool(const std::string&)>& matches,
                                    double timeoutSeconds = 0) const;
  std::optional<WindowID> findWindow(const std::string& title, double timeoutSeconds = 0) const;
  std::optional<WindowID> findWindowStartingWith(const std::string& prefix, double timeoutSeconds = 0) const;
  std::string title(WindowID window) const;
  /// The window's frame in root coordinates.
  Rect geometry(WindowID window) const;

  /// Resizes the window as a window manager would.
  void resize(WindowID window, int width, int height) const;

  /// Asks the window to close, as a window manager's close button does (WM_DELETE_WINDOW).
  void requestClose(WindowID window) const;

  /// Raises the window and gives it the keyboard focus (there is no window manager to do it).
  void focus(WindowID window) const;
  /// The window that has the keyboard focus; none when the root window has it (keys then go to
  /// the window under the pointer) or no window does.
  std::optional<WindowID> inputFocus() const;
  /// The window `window` belongs to (a dialog's parent), if it names one.
  std::optional<WindowID> transientFor(WindowID window) const;

  Image grabScreen() const;
  Image grab(const Rect& area) const;

  void moveTo(int x, int y) const;
  void click(int x, int y, int button = 1) const;
  void press(int button) const;
  void release(int button) const;
  /// Wheel clicks where the pointer is: X buttons 4 (up), 5 (down), 6 (left) and 7 (right).
  enum class Wheel { up = 4, down = 5, left = 6, right = 7 };
  void scroll(Wheel direction, int clicks = 1) const;
  /// Presses a key combination such as "ctrl+s", "shift+ctrl+c", "Return", "BackSpace", "End".
  bool key(const std::string& combination) const;
  /// Presses or lets go of one key named by its key symbol ("Control_L"), to hold it over other input.
  bool keyDown(const std::string& name) const;
  bool keyUp(const std::string& name) const;
  /// Types ASCII text one key at a time (shift where the character needs it).
  bool type(const std::string& text, int delayMilliseconds = 5) const;

  /// The text of the CLIPBOARD selection as UTF-8 (or as the type `target` names), asked of its
  /// owner and read whole, however many pieces it comes in; none when there is no owner or it
  /// leaves an answer (the first, or any piece) unsent for `timeoutSeconds`.
  std::optional<std::string> clipboardText(double timeoutSeconds = 2, const std::string& target = "UTF8_STRING") const;
  /// Takes the CLIPBOARD selection on a window of this session's own and answers the first request
  /// for its text as an owner that sends it in pieces, then sends none (as a program that stopped
  /// sending would). Whether a request came within `timeoutSeconds`. The session keeps the
  /// selection until another program takes it.
  bool offerTextThatNeverArrives(double timeoutSeconds) const;

 private:
  bool keysym(unsigned long sym, bool down) const;
  void flush() const;

  void* display_ = nullptr;  // Display*
  bool hasXTest_ = false;
  bool restoresAutoRepeat_ = false;  // the server repeated held keys before the session
};

/// A child process started with extra environment entries; its output goes to `logPath`.
/// Destroying it ends the process (SIGTERM, then SIGKILL after two seconds) and waits for it.
class Process {
 public:
  /// The limit of open files the child starts with: the soft one and the hard one.
  struct OpenFileLimit {
    unsigned long soft = 0;
    unsigned long hard = 0;
  };
  Process(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
          const std::string& logPath, std::optional<OpenFileLimit> openFiles = std::nullopt);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  int pid() const { return pid_; }
  bool running();
  /// Waits for the process to end; its exit status as from waitpid, or none on time-out.
  std::optional<int> wait(double timeoutSeconds);
  void terminate();

 private:
  int pid_ = -1;
  std::optional<int> status_;
};

/// Calls `ready` every 50 ms until it answers true or `timeoutSeconds` pass; answers whether it did.
bool waitUntil(const std::function<bool()>& ready, double timeoutSeconds);

/// Kills (as a crash would end them) the processes whose name (as the system shows it, at most 15
/// characters) starts with `name` and that descend from process `ancestor`, at most four
/// generations down; how many.
int killDescendants(int ancestor, const std::string& name);

}  // namespace XDriver
