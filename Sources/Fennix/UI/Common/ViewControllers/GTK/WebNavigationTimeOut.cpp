#include "Fennix/UI/Common/ViewControllers/GTK/WebNavigationTimeOut.h"

#include <webkit/webkit.h>

#include <utility>

namespace Fennix {
namespace {

constexpr const char* timeOutKey = "fennix-navigation-time-out";

}  // namespace

WebNavigationTimeOut::WebNavigationTimeOut(WebKitWebView* view, Handler onTimedOut)
    : view_(view), onTimedOut_(std::move(onTimedOut)) {
  g_object_set_data(G_OBJECT(view_), timeOutKey, this);
}

WebNavigationTimeOut::~WebNavigationTimeOut() {
  stopTimer();
  if (g_object_get_data(G_OBJECT(view_), timeOutKey) == this) g_object_set_data(G_OBJECT(view_), timeOutKey, nullptr);
}

WebNavigationTimeOut* WebNavigationTimeOut::of(WebKitWebView* view) {
  return static_cast<WebNavigationTimeOut*>(g_object_get_data(G_OBJECT(view), timeOutKey));
}

void WebNavigationTimeOut::begin(double seconds) {
  stopTimer();
  progress_ = Progress::requested;
  decided_ = false;
  const char* uri = webkit_web_view_get_uri(view_);
  uri_ = uri ? uri : "";
  // The new navigation makes the engine drop one given up before its policy decision; what the
  // engine still says of the others comes before the new one starts.
  refuseAtDecision_ = false;
  succeeded_ = owedStarts_ > 0 || owedEnds_ > 0;
  if (seconds > 0 && seconds < 1e7)
    timer_ = g_timeout_add_full(G_PRIORITY_DEFAULT, guint(seconds * 1000 + 0.5), fire, this, nullptr);
}

void WebNavigationTimeOut::expire() {
  if (!timing()) return;
  stopTimer();
  giveUp();
}

int WebNavigationTimeOut::fire(void* self) {
  auto* timeOut = static_cast<WebNavigationTimeOut*>(self);
  timeOut->timer_ = 0;
  timeOut->giveUp();
  return G_SOURCE_REMOVE;
}

void WebNavigationTimeOut::giveUp() {
  const Stage stage = progress_ == Progress::committed ? Stage::committed : Stage::provisional;
  // A stop before the start would be lost: such a navigation is refused at its policy decision, or
  // stopped when its start arrives.
  if (progress_ != Progress::requested) {
    ++owedEnds_;
    webkit_web_view_stop_loading(view_);
  } else if (decided_) {
    ++owedStarts_;
  } else {
    refuseAtDecision_ = true;
  }
  succeeded_ = false;
  progress_ = Progress::none;
  decided_ = false;
  // Last: the handler may load again, or end the view and this with it.
  Handler handler = onTimedOut_;
  if (handler) handler(stage);
}

void WebNavigationTimeOut::stopTimer() {
  if (timer_ != 0) g_source_remove(timer_);
  timer_ = 0;
}

void WebNavigationTimeOut::ended() {
  stopTimer();
  progress_ = Progress::none;
}

bool WebNavigationTimeOut::refusesNavigation(const std::string& uri) {
  if (refuseAtDecision_ && uri == uri_) {
    refuseAtDecision_ = false;  // refused, the navigation ends without a word
    return true;
  }
  // The engine took up a navigation asked for after those given up: the ones not yet started are
  // dropped.
  if (succeeded_) owedStarts_ = 0;
  if (progress_ == Progress::requested) decided_ = true;
  return false;
}

bool WebNavigationTimeOut::loadChanged(int event) {
  if (event == WEBKIT_LOAD_STARTED) {
    if (owedStarts_ > 0) {
      // A navigation given up after its policy was answered: now that it has started, a stop ends
      // it (one asked for since ends it as well).
      --owedStarts_;
      ++owedEnds_;
      if (!succeeded_) webkit_web_view_stop_loading(view_);
      return false;
    }
    // A navigation starts only once those before it have ended.
    owedEnds_ = 0;
    succeeded_ = false;
  } else if (owedEnds_ > 0) {
    if (event == WEBKIT_LOAD_FINISHED) --owedEnds_;
    return false;
  }
  switch (event) {
    case WEBKIT_LOAD_STARTED:
      // Also a navigation of the page's own, replacing the one timed: the time-out is now its own.
      if (timing()) progress_ = Progress::started;
      break;
    case WEBKIT_LOAD_COMMITTED:
      if (progress_ == Progress::started) progress_ = Progress::committed;
      break;
    case WEBKIT_LOAD_FINISHED:
      // The end of a navigation replaced by a newer one comes while the newer one loads.
      if (!webkit_web_view_is_loading(view_)) ended();
      break;
    default: break;
  }
  return true;
}

bool WebNavigationTimeOut::loadFailed() {
  if (owedEnds_ > 0) return false;
  if (!webkit_web_view_is_loading(view_)) ended();
  return true;
}

void WebNavigationTimeOut::webProcessTerminated() {
  ended();
  refuseAtDecision_ = false;
  owedStarts_ = 0;
  owedEnds_ = 0;
  succeeded_ = false;
}

}  // namespace Fennix
