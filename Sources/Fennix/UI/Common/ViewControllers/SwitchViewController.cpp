#include "Fennix/UI/Common/ViewControllers/SwitchViewController.h"

#include "Fennix/UI/Common/ViewControllers/WebViewController.h"
#include "Fennix/console/Console.h"

using Fennix::AnyValue;

std::optional<Fennix::LayoutItem> QvSwitchViewController::makeView() {
  return Fennix::controllerViewKit().makeGenericView();
}

void QvSwitchViewController::loadView() {
  QvViewControllerBase::loadView();
  // The default object's child is placed in the view, so it is applied once the view is there;
  // an object set before the view existed is kept (its child is being shown by that change).
  if (isViewLoaded() && !representedObject()) setRepresentedObject(defaultObject);
}

void QvSwitchViewController::onWillAppear() { onObjectChange(std::nullopt, representedObject()); }

void QvSwitchViewController::setRepresentedObject(std::optional<AnyValue> object) {
  if (visibleViewController && eq(object, NSViewController::representedObject())) return;
  QvViewControllerBase::setRepresentedObject(std::move(object));
}

NSViewController::Ptr QvSwitchViewController::viewControllerForObject(const std::optional<AnyValue>& object) {
  if (construct)
    if (auto made = construct(object)) return made;
  if (object)
    if (auto url = Fennix::urlText(*object))
      if (auto made = viewControllerForURL(url)) return made;
  const auto& cls = !object ? (nilViewControllerClass ? nilViewControllerClass : fallbackViewControllerClass)
                            : (fallbackViewControllerClass ? fallbackViewControllerClass : nilViewControllerClass);
  return cls ? cls() : nullptr;
}

NSViewController::Ptr QvSwitchViewController::viewControllerForURL(const std::optional<std::string>& url) {
  if (!url) return nullptr;
  auto scheme = Fennix::urlScheme(*url);
  if (scheme == "http" || scheme == "https") return NSViewController::make<QvWebViewController>();
  console::warn("cannot show URL:", *url);
  return nullptr;
}

void QvSwitchViewController::onObjectChange(const std::optional<AnyValue>&, const std::optional<AnyValue>&) {
  auto own = view();
  auto object = representedObject();
  auto next = viewControllerForObject(object);
  if (!next) return;
  if (next == visibleViewController) {
    next->setRepresentedObject(object);
    return;
  }
  uxAddChild(next);
  if (auto previous = visibleViewController) {
    if (auto previousView = previous->viewIfLoaded()) Fennix::layoutHost()->removeFromSuperview(*previousView);
    previous->uxRemoveFromParent();
  }
  visibleViewController = next;
  // The child's view is in place before it gets the object: a web child loads only into a view.
  if (auto childView = next->view(); childView && own) {
    Fennix::layoutHost()->prepareForConstraints(*childView);
    qvAdd(*own, std::nullopt, *childView, std::nullopt, "V:|[self]|", "H:|[self]|");
  }
  next->setRepresentedObject(object);
}
