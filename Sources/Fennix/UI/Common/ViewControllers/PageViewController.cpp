#include "Fennix/UI/Common/ViewControllers/PageViewController.h"

#include <algorithm>

#include "Fennix/console/Console.h"

namespace Fennix {

namespace {
LayoutHost& host() {
  if (LayoutHost* installed = layoutHost()) return *installed;
  fatalError("page controllers need a layout host");
}
}  // namespace

LayoutItem PageTransitionRunner::makeContainer() { return controllerViewKit().makeGenericView(); }

void PageTransitionRunner::show(LayoutItem container, LayoutItem page) {
  auto& layout = host();
  const auto bounds = layout.frame(container);
  layout.addSubview(container, page);
  layout.setFrame(page, {0, 0, bounds.width, bounds.height});
}

void PageTransitionRunner::remove(LayoutItem page) { host().removeFromSuperview(page); }

void PageTransitionRunner::transition(LayoutItem container, std::optional<LayoutItem> from, LayoutItem to,
                                      NSViewControllerTransitionOptions, std::function<void()> completion) {
  show(container, to);
  if (from && *from != to) remove(*from);
  if (completion) completion();
}

namespace {
struct Runners {
  std::shared_ptr<PageTransitionRunner> fallback = std::make_shared<PageTransitionRunner>();
  std::shared_ptr<PageTransitionRunner> installed = fallback;
};
Runners& runners() {
  static auto* kept = new Runners();
  return *kept;
}
}  // namespace

PageTransitionRunner& pageTransitionRunner() { return *runners().installed; }

void setPageTransitionRunner(std::shared_ptr<PageTransitionRunner> runner) {
  runners().installed = runner ? std::move(runner) : runners().fallback;
}

void setDefaultPageTransitionRunner(std::shared_ptr<PageTransitionRunner> runner) {
  Runners& kept = runners();
  const bool usingDefault = kept.installed == kept.fallback;
  kept.fallback = runner ? std::move(runner) : std::make_shared<PageTransitionRunner>();
  if (usingDefault) kept.installed = kept.fallback;
}

}  // namespace Fennix

QvPageViewController::QvPageViewController(TransitionStyle, NavigationOrientation navigationOrientation,
                                           const std::optional<std::map<OptionsKey, Fennix::AnyValue>>&)
    : navigationOrientation_(navigationOrientation) {}

std::optional<Fennix::LayoutItem> QvPageViewController::makeView() {
  return Fennix::pageTransitionRunner().makeContainer();
}

void QvPageViewController::setViewControllers(const std::optional<ViewControllers>& viewControllers,
                                              NavigationDirection, bool, const std::function<void(bool)>& completion) {
  _setViewControllers(viewControllers);
  if (completion) completion(false);
}

void QvPageViewController::_setViewControllers(const std::optional<ViewControllers>& viewControllers) {
  auto& runner = Fennix::pageTransitionRunner();
  if (viewControllers_) {
    const ViewControllers old = *viewControllers_;
    for (const auto& page : old) {
      if (!page) continue;
      if (auto pageView = page->viewIfLoaded()) runner.remove(*pageView);
      page->uxRemoveFromParent();
    }
    viewControllers_.reset();
  }
  currentVC_.reset();
  viewControllers_ = viewControllers;
  if (!viewControllers_ || viewControllers_->empty()) return;
  for (const auto& page : *viewControllers_) uxAddChild(page);

  const auto& first = viewControllers_->front();
  if (!first) return;
  auto ownView = view();
  auto pageView = first->view();
  if (ownView && pageView) runner.show(*ownView, *pageView);
  currentVC_ = first;
}

void QvPageViewController::moveForward(const std::optional<Fennix::AnyValue>&) { move(NavigationDirection::forward); }

void QvPageViewController::moveBackward(const std::optional<Fennix::AnyValue>&) { move(NavigationDirection::reverse); }

std::vector<NSViewController::ResponderAction> QvPageViewController::responderActions() const {
  return {{"moveForward", [](NSViewController& self) { static_cast<QvPageViewController&>(self).moveForward(); }},
          {"moveBackward", [](NSViewController& self) { static_cast<QvPageViewController&>(self).moveBackward(); }}};
}

void QvPageViewController::move(NavigationDirection direction) {
  const bool forward = direction == NavigationDirection::forward;
  NSViewController::Ptr next;
  if (auto source = dataSource.lock(); source && currentVC_) {
    next = forward ? source->viewControllerAfter(*this, currentVC_) : source->viewControllerBefore(*this, currentVC_);
  } else if (viewControllers_ && currentVC_) {
    const auto& pages = *viewControllers_;
    auto found = std::find(pages.begin(), pages.end(), currentVC_);
    if (found == pages.end()) {
      console::warn("did not find current VC in view controllers?");
    } else {
      const auto index = found - pages.begin();
      const auto wanted = forward ? index + 1 : index - 1;
      if (wanted >= 0 && wanted < static_cast<long>(pages.size())) next = pages[static_cast<std::size_t>(wanted)];
    }
  }
  if (!next) {
    console::trace(forward ? "moveForward(_:):" : "moveBackward(_:):",
                   forward ? "cannot move forward" : "cannot move backward");
    return;
  }
  // A move asked for while a slide runs is dropped and leaves the current page as it is.
  if (switchTo(currentVC_, next, direction)) currentVC_ = next;
}

bool QvPageViewController::switchTo(const NSViewController::Ptr& from, const NSViewController::Ptr& to,
                                    NavigationDirection direction) {
  if (isSwitching_) {
    console::log("still switching");
    return false;
  }
  isSwitching_ = true;
  if (!to->parentViewController()) uxAddChild(to);
  if (auto listener = delegate.lock()) listener->pageViewControllerWillTransitionTo(*this, {to});

  auto ownView = view();
  auto toView = to->view();
  std::optional<Fennix::LayoutItem> fromView = from ? from->viewIfLoaded() : std::nullopt;
  const auto options = direction == NavigationDirection::forward ? NSViewControllerTransitionOptions::slideForward
                                                                 : NSViewControllerTransitionOptions::slideBackward;
  std::weak_ptr<NSViewController> weakSelf = weak_from_this();
  auto finish = [weakSelf, from] {
    auto self = std::static_pointer_cast<QvPageViewController>(weakSelf.lock());
    if (!self) return;
    if (auto listener = self->delegate.lock()) {
      ViewControllers previous;
      if (from) previous.push_back(from);
      listener->pageViewControllerDidFinishAnimating(*self, true, previous, true);
    }
    self->isSwitching_ = false;
  };
  if (!ownView || !toView) {
    finish();
    return true;
  }
  Fennix::pageTransitionRunner().transition(*ownView, fromView, *toView, options, finish);
  return true;
}
