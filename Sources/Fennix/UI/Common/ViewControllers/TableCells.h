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

/// The view of a whole row of a table or outline around its cells, made on the toolkit. Whether it
/// is emphasized decides how the row's selection is drawn: in the accent colour, or in the muted
/// look of a sidebar.
class TableRowView {
 public:
  virtual ~TableRowView() = default;
  virtual bool isEmphasized() const = 0;
  virtual void setEmphasized(bool emphasized) = 0;
};
using TableRow = std::shared_ptr<TableRowView>;

/// Object pointers in untyped boxes, taken as pointers to another class. A box holds the pointer's
/// static type only, so the classes whose pointers may arrive boxed are registered (the table
/// controllers register their value type themselves, an outline's item the class it is made from,
/// and a cast registers the class it casts to).
/// A registered pointer is thrown, and a handler of the wanted pointer type catches it with the
/// language's own derived-to-base conversion. An object of a polymorphic class is besides taken by
/// its own class, registered or not: the runtime of `dynamic_cast` looks for the wanted class in
/// the whole object (a downcast or a cross-cast).
struct ObjectPointerType {
  /// The owner of the boxed object; it points to the object as an object of the boxed class.
  std::shared_ptr<const void> (*owner)(const std::any& box);
  /// Throws the boxed object's pointer.
  void (*throwPointer)(const std::any& box);
  /// The boxed class when its objects know their own class (a polymorphic class); null otherwise.
  const std::type_info* polymorphicClass;
  /// Whether the box holds a pointer to constant objects.
  bool isConst;
};
void registerObjectPointerType(std::type_index boxType, ObjectPointerType type);
const ObjectPointerType* objectPointerType(std::type_index boxType);
/// Boxes of values that hold an object box of their own (an outline's items): that box.
using InnerObjectBox = std::any (*)(const std::any& box);
void registerInnerObjectBox(std::type_index boxType, InnerObjectBox inner);
InnerObjectBox innerObjectBox(std::type_index boxType);

/// `object`, an object of the polymorphic class `staticClass` (or null), as its subobject of class
/// `target` when the whole object it belongs to holds one as `dynamic_cast` finds it: derived from
/// `object`, or else the one public and unambiguous subobject of that class. Null when there is
/// none, when it is ambiguous or not public, and when either type is not a class.
const void* dynamicObjectCast(const void* object, const std::type_info& staticClass, const std::type_info& target);

namespace ObjectBoxes {
/// The box of `std::shared_ptr<P>`, for `P` a class, constant or not.
template <typename P>
ObjectPointerType pointerType() {
  return {[](const std::any& box) -> std::shared_ptr<const void> { return std::any_cast<const std::shared_ptr<P>&>(box); },
          [](const std::any& box) { throw std::any_cast<const std::shared_ptr<P>&>(box).get(); },
          std::is_polymorphic_v<P> ? &typeid(P) : nullptr, std::is_const_v<P>};
}
}  // namespace ObjectBoxes

/// Registers `std::shared_ptr<U>` and `std::shared_ptr<const U>` as boxes of objects of class `U`
/// (once per class).
template <typename U>
void registerObjectClass() {
  static_assert(std::is_class_v<U>, "object boxes hold pointers to classes");
  using Class = std::remove_cv_t<U>;
  static const bool registered = [] {
    registerObjectPointerType(typeid(std::shared_ptr<Class>), ObjectBoxes::pointerType<Class>());
    registerObjectPointerType(typeid(std::shared_ptr<const Class>), ObjectBoxes::pointerType<const Class>());
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
      registerObjectClass<typename T::element_type>();
    }
  }
}

/// The boxed object as a `T`: a box of `std::shared_ptr<T>`, of a registered class derived from
/// `T`, or of a registered polymorphic class whose object is, by its own class, a `T`, also inside a
/// box that holds one (an outline's item); null for anything else (also a null pointer, and a
/// constant object for a `T` that is not constant). The result shares the box's ownership.
template <typename T>
std::shared_ptr<T> objectCast(const std::any& box) {
  static_assert(std::is_class_v<T>, "objects are of classes");
  if (const auto* exact = std::any_cast<std::shared_ptr<T>>(&box)) return *exact;
  if (!box.has_value()) return nullptr;
  registerObjectClass<T>();
  const ObjectPointerType* type = objectPointerType(box.type());
  if (!type) {
    if (InnerObjectBox inner = innerObjectBox(box.type())) {
      const std::any object = inner(box);
      if (!innerObjectBox(object.type())) return objectCast<T>(object);
    }
    return nullptr;
  }
  const std::shared_ptr<const void> owner = type->owner(box);
  if (!owner) return nullptr;
  try {
    type->throwPointer(box);
  } catch (T* object) {
    return std::shared_ptr<T>(owner, object);
  } catch (...) {
  }
  // The object's own class decides.
  if (type->polymorphicClass == nullptr || (type->isConst && !std::is_const_v<T>)) return nullptr;
  const void* object = dynamicObjectCast(owner.get(), *type->polymorphicClass, typeid(T));
  if (object == nullptr) return nullptr;
  return std::shared_ptr<T>(owner, static_cast<T*>(const_cast<void*>(object)));
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
