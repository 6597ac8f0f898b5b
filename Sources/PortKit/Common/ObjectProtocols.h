// The portable protocols of things that show an object: presenters of a represented object and
// controls with an object value. Conformance is by shape: a type conforms when it has the members
// a protocol names.
#pragma once

#include <concepts>
#include <memory>

class Formatter;

/// Something that shows an object: the represented object, read and written.
template <typename T>
concept UXObjectPresentingType = requires(T& presenter, const T& constPresenter) {
  constPresenter.representedObject();
  presenter.setRepresentedObject(constPresenter.representedObject());
};

/// A control that shows an object value, through a formatter when it has one.
template <typename T>
concept UXObjectControl = requires(T& control, const T& constControl) {
  { constControl.formatter() } -> std::convertible_to<std::shared_ptr<Formatter>>;
  control.setFormatter(std::shared_ptr<Formatter>{});
  constControl.objectValue();
  control.setObjectValue(constControl.objectValue());
};
