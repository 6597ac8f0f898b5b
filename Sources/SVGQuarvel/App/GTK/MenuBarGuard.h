// A window's menu bar that opens a menu only when the user asks for one.
#pragma once

#include <gtkmm/window.h>

namespace SVGQuarvel {

/// Keeps the menus of `window`'s menu bar from opening by themselves while one of them closes.
///
/// A menu that closes (its item chosen with the mouse, or Escape) takes away the widget under the
/// pointer, and the toolkit looks again for the widget under the pointer: in the window, but at the
/// pointer's place in the menu. When a submenu closes while the menu it came from still shows and
/// that place lies over another title of the bar (as Format ▸ Font ▸ Bigger's does), the bar takes
/// it for the pointer moving onto that title and opens its menu, which then keeps the keyboard.
/// Such a menu is put away again at once; the window's focus then goes back where the menus took it
/// from, as soon as no menu shows (not only once the window has the keyboard again), so that the
/// keys typed right after an item was chosen are not lost. A menu opened with the keys that comes
/// under the pointer stays: the pointer's coming into it does not count as its coming onto a title.
void guardMenuBar(Gtk::Window& window);

}  // namespace SVGQuarvel
