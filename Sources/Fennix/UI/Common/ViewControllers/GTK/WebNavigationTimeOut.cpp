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
  const char* uri = webkit_web_view_get_uri(view_);
  uri_ = uri ? uri : "";
  // The new navigation makes the engine drop one given up before it had started; the end of one
  // that had started is still to come, before the new one starts.
  if (givenUp_ == GivenUp::unstarted) givenUp_ = GivenUp::none;
  if (givenUp_ == GivenUp::started) replaced_ = true;
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
  // A stop before the start would be lost: such a navigation is dropped when the engine next asks
  // about it.
  givenUp_ = progress_ == Progress::requested ? GivenUp::unstarted : GivenUp::started;
  replaced_ = false;
  progress_ = Progress::none;
  if (givenUp_ == GivenUp::started) webkit_web_view_stop_loading(view_);
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
  if (givenUp_ != GivenUp::unstarted || uri != uri_) return false;
  givenUp_ = GivenUp::none;  // refused, the navigation ends without a word
  return true;
}

bool WebNavigationTimeOut::loadChanged(int event) {
  if (givenUp_ == GivenUp::started) {
    if (event == WEBKIT_LOAD_STARTED && replaced_) {
      givenUp_ = GivenUp::none;  // the one given up is over: this is the next one
      replaced_ = false;
    } else {
      if (event == WEBKIT_LOAD_FINISHED) givenUp_ = GivenUp::none;
      return false;
    }
  } else if (givenUp_ == GivenUp::unstarted && event == WEBKIT_LOAD_STARTED) {
    // Its policy was answered before it was given up: now that it has started, a stop ends it.
    givenUp_ = GivenUp::started;
    webkit_web_view_stop_loading(view_);
    return false;
  }
  switch (event) {
    case WEBKIT_LOAD_STARTED:
      if (progress_ == Progress::requested) progress_ = Progress::started;
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
  if (givenUp_ == GivenUp::started) return false;
  if (!webkit_web_view_is_loading(view_)) ended();
  return true;
}

void WebNavigationTimeOut::webProcessTerminated() {
  ended();
  givenUp_ = GivenUp::none;
  replaced_ = false;
}

}  // namespace Fennix
