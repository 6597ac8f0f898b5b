// The actions the document window answers, by the names the shell's menus and shortcuts use: the
// window's action group and the actions in it.
#pragma once

#include <string>

namespace QuarvelUtilities {

class Selectors {
 public:
  Selectors() = delete;

  /// The action group the document window inserts.
  static constexpr const char* group = "doc";
  /// The editor font one point bigger.
  static constexpr const char* increaseFontSize = "font-bigger";
  /// The editor font one point smaller.
  static constexpr const char* decreaseFontSize = "font-smaller";
  /// Copies the focused editor's selection, else the whole Swift text.
  static constexpr const char* copy = "copy";

  /// The name a menu item or button gives `action` of the group ("doc.copy").
  static std::string detailed(const char* action) {
    std::string name = group;
    name += '.';
    name += action;
    return name;
  }
};

}  // namespace QuarvelUtilities
