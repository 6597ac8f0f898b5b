// A controller that shows exactly one child, chosen for its own represented object, and hands the
// object on to it. The choice is made by a caller's closure, by the scheme of a URL (http and
// https get a web view controller), or by two classes: one for no object and a fallback.
#pragma once

#include "Fennix/UI/Common/ViewControllers/ViewController.h"

class QvSwitchViewController : public QvViewControllerBase {
 public:
  using Construct = std::function<NSViewController::Ptr(const std::optional<Fennix::AnyValue>&)>;

  QvSwitchViewController() = default;

  NSViewController::Ptr visibleViewController;
  Fennix::ControllerFactory fallbackViewControllerClass;
  Fennix::ControllerFactory nilViewControllerClass;
  std::optional<Fennix::AnyValue> defaultObject;
  Construct construct;

  virtual void onConstruct(Construct closure) { construct = std::move(closure); }
  virtual NSViewController::Ptr viewControllerForObject(const std::optional<Fennix::AnyValue>& object);
  /// For the absolute text of a URL.
  virtual NSViewController::Ptr viewControllerForURL(const std::optional<std::string>& url);

  std::optional<Fennix::LayoutItem> makeView() override;
  /// Shows the child of the default object once the view is stored.
  void loadView() override;
  void onWillAppear() override;
  void onObjectChange(const std::optional<Fennix::AnyValue>& old, const std::optional<Fennix::AnyValue>& new_) override;
  void setRepresentedObject(std::optional<Fennix::AnyValue> object) override;
};
