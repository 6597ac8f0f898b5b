// Objects that hold views in their properties. Without reflection, a holder lists its stored
// properties itself, in declaration order: a label (none for an unnamed one) and the view it
// holds (absent for an empty optional view or a property that holds no view), or for a property
// of another type its value.
#pragma once

#include <any>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "Fennix/UI/Common/LayoutConstraint.h"

class QvViewHolder {
 public:
  struct Child {
    std::optional<std::string> label;
    std::optional<Fennix::LayoutItem> view;
    /// The value of a property that holds no view (an empty optional: empty, or the optional).
    std::any value = {};
  };

  virtual ~QvViewHolder() = default;
  /// The stored properties of the holder's own type, in declaration order.
  virtual std::vector<Child> mirrorChildren() const = 0;

  /// Every property holding a view, labelled or not.
  std::vector<Fennix::LayoutItem> allViews() const;
  /// Label to view for every labelled property holding a view.
  std::map<std::string, Fennix::LayoutItem> idToView() const;
  /// Calls `body` for every property whose value is of the type `body` takes (its last
  /// parameter), in order: with the label and the value when `body` takes both (unlabelled
  /// properties are skipped then), else with the value. A present optional counts as its value.
  template <typename Body>
  void forEach(Body&& body) const {
    using Parameters = typename ClosureParameters<std::decay_t<Body>>::Types;
    constexpr std::size_t count = std::tuple_size_v<Parameters>;
    static_assert(count == 1 || count == 2, "forEach takes a closure of the value, or of the label and the value");
    using Value = std::tuple_element_t<count - 1, Parameters>;
    for (const auto& child : mirrorChildren()) {
      const Value* value = valueOf<Value>(child);
      if (!value) continue;
      if constexpr (count == 2) {
        if (child.label) body(*child.label, *value);
      } else {
        body(*value);
      }
    }
  }
  /// Gives every labelled view without an identifier its label as identifier.
  void assignIDs() const;

 private:
  template <typename F>
  struct ClosureParameters : ClosureParameters<decltype(&F::operator())> {};
  template <typename C, typename R, typename... A>
  struct ClosureParameters<R (C::*)(A...) const> {
    using Types = std::tuple<std::decay_t<A>...>;
  };
  template <typename C, typename R, typename... A>
  struct ClosureParameters<R (C::*)(A...)> {
    using Types = std::tuple<std::decay_t<A>...>;
  };
  template <typename R, typename... A>
  struct ClosureParameters<R (*)(A...)> {
    using Types = std::tuple<std::decay_t<A>...>;
  };

  /// The child's value as a `Value`; null when it holds none of that type.
  template <typename Value>
  static const Value* valueOf(const Child& child) {
    if constexpr (std::is_same_v<Value, Fennix::LayoutItem>) {
      if (child.view && *child.view) return &*child.view;
    }
    if (const Value* plain = std::any_cast<Value>(&child.value)) return plain;
    if (const auto* optional = std::any_cast<std::optional<Value>>(&child.value); optional && *optional)
      return &**optional;
    return nullptr;
  }
};
