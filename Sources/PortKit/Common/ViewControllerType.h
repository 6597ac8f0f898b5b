// View controllers under their portable names, and the protocol of such controllers. Conformance
// is by shape: a type conforms when it has the members the protocol names.
#pragma once

#include <concepts>
#include <memory>
#include <optional>
#include <string>

#include "Fennix/UI/Common/ViewControllers/ViewController.h"
#include "PortKit/Common/ObjectProtocols.h"

namespace PortKit {

/// The controller itself.
inline NSViewController& uxViewController(NSViewController& controller) { return controller; }
/// The controller's view, loaded on first use; none when loading makes none.
inline std::optional<Fennix::LayoutItem> rootView(NSViewController& controller) { return controller.view(); }
/// The controller this one is a child of; none for a controller without parent.
inline NSViewController* uxParent(const NSViewController& controller) { return controller.parentViewController(); }

}  // namespace PortKit

/// A view controller under the portable names: it presents an object, has an identifier, a root
/// view, children and a parent.
template <typename T>
concept UXViewControllerType =
    UXObjectPresentingType<T> && requires(T& controller, const T& constController, std::shared_ptr<T> child) {
      { constController.identifier() } -> std::convertible_to<std::optional<std::string>>;
      controller.setIdentifier(std::optional<std::string>{});
      { PortKit::uxViewController(controller) } -> std::same_as<NSViewController&>;
      { PortKit::rootView(controller) } -> std::same_as<std::optional<Fennix::LayoutItem>>;
      controller.uxAddChild(child);
      controller.uxRemoveFromParent();
      constController.uxChildren();
      { PortKit::uxParent(constController) } -> std::same_as<NSViewController*>;
    };

static_assert(UXViewControllerType<NSViewController>);
