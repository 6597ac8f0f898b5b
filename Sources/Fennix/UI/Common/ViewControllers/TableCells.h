// Table cells with a typed model value. `QvValueCell` (values) and `QvObjectCell` (shared objects)
// add the represented value and a fixed order of hooks to a cell class: once the cell is made,
// `onInit()` builds its subviews and `loadValue()` runs with no value; later values arrive through
// `loadValue()`, or untyped through `QvLoadableCell::loadAnyValue()` from controllers that do not
// know the cell's type. The toolkit's cells derive from these over the portable table cell.
#pragma once

#include <any>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <typeindex>
#include <typeinfo>

namespace Fennix {

/// A row view made by the toolkit's table or outline: the portable cell with a text label, a
/// control, or another view.
class TableCellView {
 public:
  virtual ~TableCellView() = default;
  /// The identifier under which the table keeps it for reuse.
  virtual std::string reuseIdentifier() const = 0;
  /// Shows a value (empty for none) in the cell's text label or control; false when the view
  /// takes no value.
  virtual bool setObjectValue(const std::any& value) = 0;
  /// The height the view needs at `width` with its current content.
  virtual double fittingHeight(double width) = 0;
};
using TableCell = std::shared_ptr<TableCellView>;

/// Object pointers in untyped boxes, taken as pointers to a base class. A box holds the pointer's
/// static type only, so the classes whose pointers may arrive boxed are registered (the table
/// controllers register their value type themselves, and a cast registers the class it casts to); a
/// registered pointer is thrown, and a handler of the base class's pointer type catches it with the
/// language's own derived-to-base conversion. An object of a polymorphic class boxed as a pointer to
/// one of its bases is taken by its own class: its most-derived object is thrown as a pointer to
/// that class, when that class is registered.
struct ObjectPointerType {
  /// The owner of the boxed object.
  std::shared_ptr<const void> (*owner)(const std::any& box);
  /// Throws the boxed object's pointer.
  void (*throwPointer)(const std::any& box);
  /// The boxed object's most-derived object and its class; null when the boxed class is not
  /// polymorphic or the pointer is null.
  const void* (*mostDerived)(const std::any& box, const std::type_info*& dynamicClass);
};
void registerObjectPointerType(std::type_index boxType, ObjectPointerType type);
const ObjectPointerType* objectPointerType(std::type_index boxType);
/// Throws a most-derived object of the class as a pointer to that class.
using MostDerivedThrower = void (*)(const void* object);
void registerMostDerivedClass(std::type_index objectClass, MostDerivedThrower thrower);
MostDerivedThrower mostDerivedThrower(std::type_index objectClass);

/// Registers `std::shared_ptr<U>` as a box of objects of class `U` (once per class).
template <typename U>
void registerObjectClass() {
  static_assert(std::is_class_v<U>, "object boxes hold pointers to classes");
  static const bool registered = [] {
    registerObjectPointerType(
        typeid(std::shared_ptr<U>),
        {[](const std::any& box) -> std::shared_ptr<const void> { return std::any_cast<const std::shared_ptr<U>&>(box); },
         [](const std::any& box) { throw std::any_cast<const std::shared_ptr<U>&>(box).get(); },
         [](const std::any& box, const std::type_info*& dynamicClass) -> const void* {
           if constexpr (std::is_polymorphic_v<U>) {
             const U* object = std::any_cast<const std::shared_ptr<U>&>(box).get();
             if (object == nullptr) return nullptr;
             dynamicClass = &typeid(*object);
             return dynamic_cast<const void*>(object);
           } else {
             (void)box;
             (void)dynamicClass;
             return nullptr;
           }
         }});
    if constexpr (std::is_polymorphic_v<U>) {
      registerMostDerivedClass(typeid(U), [](const void* object) { throw static_cast<U*>(const_cast<void*>(object)); });
    }
    return true;
  }();
  (void)registered;
}
/// Registers the object class of `T` when `T` is a shared pointer to a class; nothing otherwise.
template <typename T>
void registerObjectBox() {
  if constexpr (requires { typename T::element_type; }) {
    if constexpr (std::is_same_v<T, std::shared_ptr<typename T::element_type>> &&
                  std::is_class_v<typename T::element_type>) {
      registerObjectClass<std::remove_cv_t<typename T::element_type>>();
    }
  }
}

/// The boxed object as a `T`: a box of `std::shared_ptr<T>`, of a registered class derived from
/// `T`, or of a registered class whose object is, by its own class, a `T`; null for anything else
/// (also a null pointer).
template <typename T>
std::shared_ptr<T> objectCast(const std::any& box) {
  if (const auto* exact = std::any_cast<std::shared_ptr<T>>(&box)) return *exact;
  if (!box.has_value()) return nullptr;
  registerObjectClass<std::remove_cv_t<T>>();
  const ObjectPointerType* type = objectPointerType(box.type());
  if (!type) return nullptr;
  try {
    type->throwPointer(box);
  } catch (T* object) {
    if (object) return std::shared_ptr<T>(std::const_pointer_cast<void>(type->owner(box)), object);
  } catch (...) {
  }
  // The object's own class decides: its most-derived object, thrown as a pointer to its class.
  const std::type_info* dynamicClass = nullptr;
  const void* object = type->mostDerived(box, dynamicClass);
  if (object == nullptr || dynamicClass == nullptr) return nullptr;
  const MostDerivedThrower thrower = mostDerivedThrower(*dynamicClass);
  if (thrower == nullptr) return nullptr;
  try {
    thrower(object);
  } catch (T* derived) {
    if (derived) return std::shared_ptr<T>(std::const_pointer_cast<void>(type->owner(box)), derived);
  } catch (...) {
  }
  return nullptr;
}

/// A cell that takes a value of any type.
class QvLoadableCell {
 public:
  virtual ~QvLoadableCell() = default;
  /// Loads the value when it has the cell's type, else no value.
  virtual void loadAnyValue(const std::any& value) = 0;
};

}  // namespace Fennix

template <typename T, typename Base>
class QvValueCell : public Base, public Fennix::QvLoadableCell {
 public:
  using Base::Base;

  std::optional<T> representedObject;

  /// Runs once, after the cell is made.
  virtual void onInit() {}
  /// Shows a value; overrides call the base to keep `representedObject` current.
  virtual void loadValue(const std::optional<T>& value) { representedObject = value; }
  void loadAnyValue(const std::any& value) override {
    if (const T* typed = std::any_cast<T>(&value)) {
      loadValue(*typed);
    } else {
      loadValue(std::nullopt);
    }
  }

  /// The hooks of a made cell, in their order; the toolkit's cells run them once when made.
  void didMakeCell() {
    onInit();
    loadValue(std::nullopt);
  }
};

template <typename T, typename Base>
class QvObjectCell : public Base, public Fennix::QvLoadableCell {
 public:
  using Base::Base;

  std::shared_ptr<T> representedObject;

  virtual void onInit() {}
  virtual void loadValue(const std::shared_ptr<T>& value) { representedObject = value; }
  /// An object of class `T` or of a subclass (see `Fennix::objectCast`) loads; anything else loads
  /// no object.
  void loadAnyValue(const std::any& value) override { loadValue(Fennix::objectCast<T>(value)); }

  void didMakeCell() {
    onInit();
    loadValue(nullptr);
  }
};
