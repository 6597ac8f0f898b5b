#include "XDriver.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <cairo.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

extern char** environ;

namespace XDriver {

namespace {

Display* dpy(void* display) { return static_cast<Display*>(display); }

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// Windows come and go while they are searched or grabbed: a request about a window that has just
// gone fails with BadWindow, which Xlib's default handler answers by ending the process. Such
// failures are expected here, and the calls that make them answer nothing.
int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

bool near(std::uint32_t a, std::uint32_t b, int tolerance) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const int ca = int((a >> shift) & 0xff);
    const int cb = int((b >> shift) & 0xff);
    if (std::abs(ca - cb) > tolerance) return false;
  }
  return true;
}

Rect clip(const Image& image, std::optional<Rect> area) {
  Rect r = area.value_or(Rect{0, 0, image.width, image.height});
  const int x0 = std::clamp(r.x, 0, image.width);
  const int y0 = std::clamp(r.y, 0, image.height);
  const int x1 = std::clamp(r.x + r.width, x0, image.width);
  const int y1 = std::clamp(r.y + r.height, y0, image.height);
  return Rect{x0, y0, x1 - x0, y1 - y0};
}

std::optional<std::string> textProperty(Display* display, Window window, Atom property, Atom type) {
  Atom actualType = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, property, 0, 1 << 20, False, type, &actualType, &format, &items, &after,
                         &data) != Success ||
      data == nullptr) {
    return std::nullopt;
  }
  std::string text(reinterpret_cast<const char*>(data), items * std::size_t(format / 8));
  XFree(data);
  if (actualType == None) return std::nullopt;
  return text;
}

// A window property's value, read whole in pieces of at most 4 MB; type None when it is not set.
struct PropertyValue {
  Atom type = None;
  std::string bytes;
};

PropertyValue readProperty(Display* display, Window window, Atom property) {
  PropertyValue value;
  const long piece = 1 << 20;  // in 32-bit units, as the server counts
  for (long offset = 0;; offset += piece) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, offset, piece, False, AnyPropertyType, &type, &format, &items,
                           &after, &data) != Success) {
      return PropertyValue{};
    }
    // Xlib hands 32-bit items as longs.
    const std::size_t itemSize = format == 32 ? sizeof(long) : std::size_t(format / 8);
    if (data != nullptr) {
      value.bytes.append(reinterpret_cast<const char*>(data), items * itemSize);
      XFree(data);
    }
    value.type = type;
    if (type == None || after == 0) return value;
  }
}

// Waits for the next event of `type` for `window`, for up to `timeoutSeconds`, sleeping on the
// connection until the server sends something.
bool nextWindowEvent(Display* display, Window window, int type, XEvent& event, double timeoutSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  for (;;) {
    if (XCheckTypedWindowEvent(display, window, type, &event)) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    ::poll(&connection, 1, int(std::min<long long>(left.count() + 1, 1000)));
    XEventsQueued(display, QueuedAfterReading);
  }
}

}  // namespace

std::size_t Image::count(std::uint32_t rgb, int tolerance, std::optional<Rect> area) const {
  return countWhere([&](std::uint32_t pixel) { return near(pixel, rgb, tolerance); }, area);
}

std::size_t Image::countWhere(const std::function<bool(std::uint32_t)>& matches, std::optional<Rect> area) const {
  const Rect r = clip(*this, area);
  std::size_t n = 0;
  for (int y = r.y; y < r.y + r.height; ++y) {
    for (int x = r.x; x < r.x + r.width; ++x) n += matches(at(x, y)) ? 1 : 0;
  }
  return n;
}

std::optional<Rect> Image::boundsOf(std::uint32_t rgb, int tolerance) const {
  int x0 = width, y0 = height, x1 = -1, y1 = -1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!near(at(x, y), rgb, tolerance)) continue;
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      x1 = std::max(x1, x);
      y1 = std::max(y1, y);
    }
  }
  if (x1 < 0) return std::nullopt;
  return Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

bool Image::savePNG(const std::string& path) const {
  if (width <= 0 || height <= 0) return false;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + std::size_t(y) * std::size_t(stride));
    for (int x = 0; x < width; ++x) row[x] = at(x, y);
  }
  cairo_surface_mark_dirty(surface);
  const bool saved = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return saved;
}

Session::Session() {
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr) return;
  XSetErrorHandler(&ignoreXErrors);
  int event = 0, error = 0, major = 0, minor = 0;
  hasXTest_ = XTestQueryExtension(dpy(display_), &event, &error, &major, &minor);
  // A key is held from its press to its release, which on a busy machine may be longer than the
  // server waits before repeating it: the server would type it again (one Left more, a second
  // character). Keys are only ever pressed once here.
  XKeyboardState keyboard;
  XGetKeyboardControl(dpy(display_), &keyboard);
  if (keyboard.global_auto_repeat == AutoRepeatModeOn) {
    XAutoRepeatOff(dpy(display_));
    restoresAutoRepeat_ = true;
    flush();
  }
}

Session::~Session() {
  if (display_ == nullptr) return;
  if (restoresAutoRepeat_) XAutoRepeatOn(dpy(display_));
  XCloseDisplay(dpy(display_));
}

void Session::flush() const { XSync(dpy(display_), False); }

std::string Session::title(WindowID window) const {
  Display* d = dpy(display_);
  const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  if (auto name = textProperty(d, window, netName, utf8)) return *name;
  if (auto name = textProperty(d, window, XA_WM_NAME, AnyPropertyType)) return *name;
  return {};
}

std::vector<WindowID> Session::findWindows(const std::function<bool(const std::string&)>& matches,
                                           double timeoutSeconds) const {
  Display* d = dpy(display_);
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    std::vector<WindowID> found;
    std::vector<Window> queue{DefaultRootWindow(d)};
    while (!queue.empty()) {
      const Window w = queue.back();
      queue.pop_back();
      Window root = 0, parent = 0;
      Window* children = nullptr;
      unsigned int count = 0;
      if (XQueryTree(d, w, &root, &parent, &children, &count) == 0) continue;
      for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(d, children[i], &attributes) == 0 || attributes.map_state != IsViewable) continue;
        if (matches(title(children[i]))) found.push_back(children[i]);
        queue.push_back(children[i]);
      }
      if (children != nullptr) XFree(children);
    }
    if (!found.empty() || secondsSince(start) >= timeoutSeconds) return found;
    pause(100);
  }
}

std::optional<WindowID> Session::findWindow(const std::string& name, double timeoutSeconds) const {
  auto found = findWindows([&](const std::string& t) { return t == name; }, timeoutSeconds);
  if (found.empty()) return std::nullopt;
  return found.front();
}

std::optional<WindowID> Session::findWindowStartingWith(const std::string& prefix, double timeoutSeconds) const {
  auto found = findWindows([&](const std::string& t) { return t.rfind(prefix, 0) == 0; }, timeoutSeconds);
  if (found.empty()) return std::nullopt;
  return found.front();
}

Rect Session::geometry(WindowID window) const {
  Display* d = dpy(display_);
  XWindowAttributes attributes;
  if (XGetWindowAttributes(d, window, &attributes) == 0) return {};
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &x, &y, &child);
  return Rect{x, y, attributes.width, attributes.height};
}

void Session::resize(WindowID window, int width, int height) const {
  XResizeWindow(dpy(display_), window, unsigned(std::max(width, 1)), unsigned(std::max(height, 1)));
  flush();
}

void Session::requestClose(WindowID window) const {
  Display* d = dpy(display_);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, window, False, NoEventMask, &event);
  flush();
}

void Session::focus(WindowID window) const {
  Display* d = dpy(display_);
  XRaiseWindow(d, window);
  XSetInputFocus(d, window, RevertToParent, CurrentTime);
  flush();
  pause(100);
}

std::optional<WindowID> Session::inputFocus() const {
  Display* d = dpy(display_);
  Window focused = 0;
  int revert = 0;
  XGetInputFocus(d, &focused, &revert);
  if (focused == None || focused == PointerRoot || focused == DefaultRootWindow(d)) return std::nullopt;
  return focused;
}

std::optional<WindowID> Session::transientFor(WindowID window) const {
  Window parent = 0;
  if (XGetTransientForHint(dpy(display_), window, &parent) == 0 || parent == None) return std::nullopt;
  return parent;
}

Image Session::grabScreen() const {
  Display* d = dpy(display_);
  XWindowAttributes attributes;
  XGetWindowAttributes(d, DefaultRootWindow(d), &attributes);
  return grab(Rect{0, 0, attributes.width, attributes.height});
}

Image Session::grab(const Rect& area) const {
  Display* d = dpy(display_);
  Image image;
  XImage* x = XGetImage(d, DefaultRootWindow(d), area.x, area.y, unsigned(std::max(area.width, 1)),
                        unsigned(std::max(area.height, 1)), AllPlanes, ZPixmap);
  if (x == nullptr) return image;
  image.width = x->width;
  image.height = x->height;
  image.pixels.resize(std::size_t(image.width) * std::size_t(image.height));
  auto channel = [](unsigned long pixel, unsigned long mask) -> std::uint32_t {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    const unsigned long value = (pixel & mask) >> shift;
    const unsigned long max = mask >> shift;
    return std::uint32_t(value * 255 / max);
  };
  for (int y = 0; y < image.height; ++y) {
    for (int xx = 0; xx < image.width; ++xx) {
      const unsigned long pixel = XGetPixel(x, xx, y);
      image.pixels[std::size_t(y) * std::size_t(image.width) + std::size_t(xx)] =
          (channel(pixel, x->red_mask) << 16) | (channel(pixel, x->green_mask) << 8) | channel(pixel, x->blue_mask);
    }
  }
  XDestroyImage(x);
  return image;
}

void Session::moveTo(int x, int y) const {
  XTestFakeMotionEvent(dpy(display_), -1, x, y, CurrentTime);
  flush();
}

void Session::press(int button) const {
  XTestFakeButtonEvent(dpy(display_), unsigned(button), True, CurrentTime);
  flush();
}

void Session::release(int button) const {
  XTestFakeButtonEvent(dpy(display_), unsigned(button), False, CurrentTime);
  flush();
}

void Session::scroll(Wheel direction, int clicks) const {
  for (int i = 0; i < clicks; ++i) {
    XTestFakeButtonEvent(dpy(display_), unsigned(direction), True, CurrentTime);
    XTestFakeButtonEvent(dpy(display_), unsigned(direction), False, CurrentTime);
  }
  flush();
}

void Session::click(int x, int y, int button) const {
  moveTo(x, y);
  pause(30);
  press(button);
  pause(30);
  release(button);
  pause(30);
}

bool Session::keysym(unsigned long sym, bool down) const {
  Display* d = dpy(display_);
  const KeyCode code = XKeysymToKeycode(d, sym);
  if (code == 0) return false;
  XTestFakeKeyEvent(d, code, down ? True : False, CurrentTime);
  flush();
  return true;
}

bool Session::keyDown(const std::string& name) const {
  const KeySym sym = XStringToKeysym(name.c_str());
  return sym != NoSymbol && keysym(sym, true);
}

bool Session::keyUp(const std::string& name) const {
  const KeySym sym = XStringToKeysym(name.c_str());
  return sym != NoSymbol && keysym(sym, false);
}

bool Session::key(const std::string& combination) const {
  static const std::map<std::string, std::string> modifiers{
      {"ctrl", "Control_L"}, {"control", "Control_L"}, {"shift", "Shift_L"}, {"alt", "Alt_L"}, {"super", "Super_L"}};
  std::vector<unsigned long> syms;
  std::stringstream parts(combination);
  std::string part;
  while (std::getline(parts, part, '+')) {
    std::string lower = part;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    const auto modifier = modifiers.find(lower);
    const KeySym sym = XStringToKeysym(modifier != modifiers.end() ? modifier->second.c_str() : part.c_str());
    if (sym == NoSymbol) return false;
    syms.push_back(sym);
  }
  if (syms.empty()) return false;
  bool ok = true;
  for (auto sym : syms) ok = keysym(sym, true) && ok;
  pause(20);
  for (auto it = syms.rbegin(); it != syms.rend(); ++it) ok = keysym(*it, false) && ok;
  pause(20);
  return ok;
}

bool Session::type(const std::string& text, int delayMilliseconds) const {
  Display* d = dpy(display_);
  for (char c : text) {
    KeySym sym = NoSymbol;
    if (c == '\n') {
      sym = XK_Return;
    } else if (c == '\t') {
      sym = XK_Tab;
    } else if (c >= 0x20 && c < 0x7f) {
      sym = KeySym(c);
    } else {
      return false;
    }
    const KeyCode code = XKeysymToKeycode(d, sym);
    if (code == 0) return false;
    const bool shifted = XkbKeycodeToKeysym(d, code, 0, 0) != sym;
    if (shifted) keysym(XK_Shift_L, true);
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    if (shifted) keysym(XK_Shift_L, false);
    flush();
    pause(delayMilliseconds);
  }
  return true;
}

std::optional<std::string> Session::clipboardText(double timeoutSeconds, const std::string& target) const {
  Display* d = dpy(display_);
  const Atom clipboard = XInternAtom(d, "CLIPBOARD", False);
  const Atom asked = XInternAtom(d, target.c_str(), False);
  const Atom property = XInternAtom(d, "XDRIVER_CLIPBOARD", False);
  const Atom incr = XInternAtom(d, "INCR", False);
  if (XGetSelectionOwner(d, clipboard) == None) return std::nullopt;
  const Window window = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  XSelectInput(d, window, PropertyChangeMask);
  XConvertSelection(d, clipboard, asked, property, window, CurrentTime);
  flush();
  const auto finish = [&](std::optional<std::string> text) {
    XDestroyWindow(d, window);
    flush();
    return text;
  };
  XEvent event;
  if (!nextWindowEvent(d, window, SelectionNotify, event, timeoutSeconds) || event.xselection.property == None) {
    return finish(std::nullopt);
  }
  PropertyValue value = readProperty(d, window, property);
  if (value.type != incr) return finish(value.type == None ? std::nullopt : std::optional(std::move(value.bytes)));
  // The owner sends the text in pieces: each is a new value of the property, taken by deleting it,
  // and an empty one ends the text. The notice of the transfer (the property set to INCR) came
  // before the answer, and is passed over with any other notice of a value already gone.
  for (XEvent stale; XCheckTypedWindowEvent(d, window, PropertyNotify, &stale);) {
  }
  XDeleteProperty(d, window, property);
  flush();
  std::string text;
  for (;;) {
    XEvent change;
    if (!nextWindowEvent(d, window, PropertyNotify, change, timeoutSeconds)) return finish(std::nullopt);
    if (change.xproperty.atom != property || change.xproperty.state != PropertyNewValue) continue;
    PropertyValue piece = readProperty(d, window, property);
    if (piece.type == None) continue;
    XDeleteProperty(d, window, property);
    flush();
    if (piece.bytes.empty()) return finish(std::move(text));
    text += piece.bytes;
  }
}

bool Session::offerTextThatNeverArrives(double timeoutSeconds) const {
  Display* d = dpy(display_);
  const Atom clipboard = XInternAtom(d, "CLIPBOARD", False);
  const Atom targets = XInternAtom(d, "TARGETS", False);
  const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  const Atom incr = XInternAtom(d, "INCR", False);
  const Window owner = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(d, clipboard, owner, CurrentTime);
  flush();
  XEvent event;
  while (nextWindowEvent(d, owner, SelectionRequest, event, timeoutSeconds)) {
    const XSelectionRequestEvent& request = event.xselectionrequest;
    XSelectionEvent answer{};
    answer.type = SelectionNotify;
    answer.display = d;
    answer.requestor = request.requestor;
    answer.selection = request.selection;
    answer.target = request.target;
    answer.property = request.property == None ? request.target : request.property;
    answer.time = request.time;
    const bool text = request.target != targets;
    if (text) {
      // A lower bound of the size, as owners that send in pieces give it.
      const long size = 8L << 20;
      XChangeProperty(d, request.requestor, answer.property, incr, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(&size), 1);
    } else {
      const Atom offered[] = {targets, utf8};
      XChangeProperty(d, request.requestor, answer.property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(offered), 2);
    }
    XSendEvent(d, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&answer));
    flush();
    if (text) return true;
  }
  return false;
}

Process::Process(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
                 const std::string& logPath, std::optional<OpenFileLimit> openFiles) {
  // Everything the child needs is prepared before fork: after it, only exec-safe calls are made.
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string item(*entry);
    const auto key = item.substr(0, item.find('=') + 1);
    const bool replaced = std::any_of(extraEnvironment.begin(), extraEnvironment.end(),
                                      [&](const std::string& extra) { return extra.rfind(key, 0) == 0; });
    if (!replaced) environment.push_back(item);
  }
  environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  pid_ = ::fork();
  if (pid_ == 0) {
    ::setpgid(0, 0);
    if (log >= 0) {
      ::dup2(log, 1);
      ::dup2(log, 2);
    }
    if (openFiles) {
      const struct rlimit limit{rlim_t(openFiles->soft), rlim_t(openFiles->hard)};
      if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(126);
    }
    ::execve(args[0], args.data(), envp.data());
    ::_exit(127);
  }
  if (pid_ > 0) ::setpgid(pid_, pid_);
  if (log >= 0) ::close(log);
}

Process::~Process() { terminate(); }

bool Process::running() {
  if (pid_ <= 0 || status_) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = status;
    return false;
  }
  return true;
}

std::optional<int> Process::wait(double timeoutSeconds) {
  const auto start = std::chrono::steady_clock::now();
  while (running()) {
    if (secondsSince(start) >= timeoutSeconds) return std::nullopt;
    pause(20);
  }
  return status_;
}

void Process::terminate() {
  if (!running()) return;
  ::kill(-pid_, SIGTERM);
  if (!wait(2)) {
    ::kill(-pid_, SIGKILL);
    wait(5);
  }
  // What the program started (its web processes) goes with it.
  ::kill(-pid_, SIGKILL);
}

bool waitUntil(const std::function<bool()>& ready, double timeoutSeconds) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    if (ready()) return true;
    if (secondsSince(start) >= timeoutSeconds) return false;
    pause(50);
  }
}

namespace {

/// The parent of process `pid` and its name; false when it has gone.
bool parentAndName(int pid, int& parent, std::string& name) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const auto open = line.find('('), close = line.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close + 4 > line.size()) return false;
  name = line.substr(open + 1, close - open - 1);
  parent = std::atoi(line.c_str() + close + 4);
  return true;
}

}  // namespace

int killDescendants(int ancestor, const std::string& name) {
  int killed = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const int pid = std::atoi(entry.path().filename().c_str());
    int parent = 0;
    std::string shown;
    if (pid <= 0 || !parentAndName(pid, parent, shown) || shown.rfind(name, 0) != 0) continue;
    for (int generation = 0; generation < 4 && parent > 1; ++generation) {
      if (parent == ancestor) {
        ::kill(pid, SIGKILL);
        ++killed;
        break;
      }
      std::string ignored;
      if (!parentAndName(parent, parent, ignored)) break;
    }
  }
  return killed;
}

}  // namespace XDriver
