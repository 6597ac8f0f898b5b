// The time-out of a web view's navigation: a navigation still under way when its time has passed
// ends with the time-out, once, whatever stage it has reached.
//
// The engine knows no time-out of a request, and a stop does not always end a navigation: one that
// reaches the engine before the navigation has started (its web process still starting, or its
// policy decision not yet answered) is taken without a word, and the view then claims to load for
// ever. So the time-out is reported here, at once, and the engine is made to drop the navigation in
// the way that works at the stage it has reached: a started navigation is stopped; one not yet
// started is refused at its policy decision, or stopped when its start arrives. What the engine
// still says of a navigation given up is not passed on.
//
// The owner calls the event methods from its signal handlers, in the order the signals come; each
// tells whether the owner passes the event on.
#pragma once

#include <functional>
#include <string>

typedef struct _WebKitWebView WebKitWebView;

namespace Fennix {

class WebNavigationTimeOut {
 public:
  /// How far the navigation had come when it was given up: not yet committed, or committed.
  enum class Stage { provisional, committed };
  using Handler = std::function<void(Stage)>;

  /// Times the navigations of `view` (which must outlive this); `onTimedOut` hears of each one given up.
  WebNavigationTimeOut(WebKitWebView* view, Handler onTimedOut);
  ~WebNavigationTimeOut();
  WebNavigationTimeOut(const WebNavigationTimeOut&) = delete;
  WebNavigationTimeOut& operator=(const WebNavigationTimeOut&) = delete;

  /// The view was just asked to load something: that navigation times out `seconds` from now (never
  /// when not positive, or beyond 10^7 seconds). A navigation still timed is no longer.
  void begin(double seconds);
  /// Gives the timed navigation up now, as when its time passes; nothing when none is timed.
  void expire();
  /// Whether a navigation is timed (asked for, not yet ended, not given up).
  bool timing() const { return timer_ != 0; }

  /// A navigation's policy decision for `uri` (every one, answered or not): true when it is to be
  /// refused.
  bool refusesNavigation(const std::string& uri);
  /// Whether a load event (WebKitLoadEvent) or failure is passed on.
  bool loadChanged(int event);
  bool loadFailed();
  /// The web process ended: so did its navigations.
  void webProcessTerminated();

  /// The time-out of `view`'s navigations; null when it has none.
  static WebNavigationTimeOut* of(WebKitWebView* view);

 private:
  enum class Progress { none, requested, started, committed };
  static int fire(void* self);
  void giveUp();
  void stopTimer();
  void ended();

  WebKitWebView* view_;
  Handler onTimedOut_;
  unsigned timer_ = 0;
  Progress progress_ = Progress::none;
  /// The engine asked about the timed navigation's policy.
  bool decided_ = false;
  /// Where the navigation was asked to go, as the view spells it.
  std::string uri_;

  // What the engine still owes word of, about the navigations given up. The events name no
  // navigation, so they are told apart by their order.
  /// The last navigation asked for was given up before its policy decision: it is refused there.
  bool refuseAtDecision_ = false;
  /// Given up after their policy was answered, their start not yet heard: each one's start may come
  /// (and after it its end), until the engine asks about a navigation asked for later.
  int owedStarts_ = 0;
  /// Given up after their start: each one's end (a finish, after a failure or not) is to come,
  /// before the start of a later navigation.
  int owedEnds_ = 0;
  /// A navigation was asked for after the last one given up.
  bool succeeded_ = false;
};

}  // namespace Fennix
