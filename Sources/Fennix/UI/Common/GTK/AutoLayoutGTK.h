// The layout helpers on toolkit widgets.
#pragma once

#include "Fennix/UI/Common/AutoLayout.h"
#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"

/// Adds `view` to `container` with an identifier, hugging and two visual formats; returns it.
template <typename View>
View& qvAdd(Gtk::Widget& container, const std::optional<std::string>& id, View& view,
            std::optional<NSLayoutPriority> hug, const std::string& h, const std::string& v) {
  Fennix::installToolkitLayoutHost();
  qvAdd(Fennix::item(container), id, Fennix::item(view), hug, h, v);
  return view;
}

/// The full form of `qvAdd`.
template <typename View>
View& qvAdd(Gtk::Widget& container, View& view, const QvAddOptions& options,
            const std::vector<QvConstraintArg>& constraints = {}) {
  Fennix::installToolkitLayoutHost();
  qvAdd(Fennix::item(container), Fennix::item(view), options, constraints);
  return view;
}

inline NSLayoutConstraintList qvConstrain(Gtk::Widget& view, const std::string& h, const std::string& v) {
  Fennix::installToolkitLayoutHost();
  return qvConstrain(Fennix::item(view), h, v);
}
