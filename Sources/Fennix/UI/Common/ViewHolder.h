// Objects that hold views in their properties. Without reflection, a holder lists its stored
// properties itself, in declaration order: a label (none for an unnamed one) and the view it
// holds (absent for an empty optional view or a property that holds no view).
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Fennix/UI/Common/LayoutConstraint.h"

class QvViewHolder {
 public:
  struct Child {
    std::optional<std::string> label;
    std::optional<Fennix::LayoutItem> view;
  };

  virtual ~QvViewHolder() = default;
  /// The stored properties of the holder's own type, in declaration order.
  virtual std::vector<Child> mirrorChildren() const = 0;

  /// Every property holding a view, labelled or not.
  std::vector<Fennix::LayoutItem> allViews() const;
  /// Label to view for every labelled property holding a view.
  std::map<std::string, Fennix::LayoutItem> idToView() const;
  /// Calls `body` for every labelled property holding a view, in order.
  void forEach(const std::function<void(const std::string& label, Fennix::LayoutItem view)>& body) const;
  /// Calls `body` for every property holding a view, in order.
  void forEach(const std::function<void(Fennix::LayoutItem view)>& body) const;
  /// Gives every labelled view without an identifier its label as identifier.
  void assignIDs() const;
};
