// Configure-and-return for every view: a widget is made, set up in a closure and handed on in one
// expression.
#pragma once

#include <gtkmm/widget.h>

#include <concepts>
#include <utility>

/// Calls `body` once with the view and answers the very same view.
template <typename View, typename Body>
  requires std::derived_from<View, Gtk::Widget>
View& with(View& view, Body&& body) {
  std::forward<Body>(body)(view);
  return view;
}

/// The same for a view held by pointer, as `Gtk::make_managed` gives it; a null view is answered
/// without calling `body`.
template <typename View, typename Body>
  requires std::derived_from<View, Gtk::Widget>
View* with(View* view, Body&& body) {
  if (view) std::forward<Body>(body)(*view);
  return view;
}
