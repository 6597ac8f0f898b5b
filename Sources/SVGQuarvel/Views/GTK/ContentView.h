// The root view of a document window: the sidebar (live preview and export settings) beside the
// main content (SVG editor split with the Swift side, banner while the Swift was edited by hand),
// the drop target for SVG data and files, and the window's actions and toolbar.
//
// The application creates one per window and puts it in as the window's child:
//
//   auto content = Gtk::make_managed<ContentView>(document);
//   window.set_child(*content);
//   content->attachToWindow(window, headerBar);   // actions, shortcuts and toolbar buttons
//
// Actions (group "doc", inserted on the window by `attachToWindow`, so menus of the window and the
// header bar reach them; all are stateless and take no parameter):
//   doc.toggle-sidebar   shows or hides the sidebar
//   doc.toggle-layout    editors stacked <-> side by side, for every open window
//   doc.drop-changes     drops the hand edits of the Swift, undoably        (Ctrl+K)
//   doc.copy-swift       copies the whole Swift text; off while it is empty (Shift+Ctrl+C)
//   doc.copy             Edit > Copy: the focused editor's selection, else the whole Swift text
//   doc.undo / doc.redo  the window's undo manager (both editors' edits and drop changes)
//   doc.font-bigger      editor font one point bigger                        (Ctrl+plus)
//   doc.font-smaller     editor font one point smaller, never below 1 point  (Ctrl+minus)
//   doc.show-fonts       a font chooser whose size becomes the editor font size
// Only Ctrl+K, Shift+Ctrl+C, Ctrl+plus and Ctrl+minus are bound here (window-local shortcuts);
// Ctrl+C and Ctrl+Z stay with the focused editor. A menu may name doc.copy, doc.undo, doc.redo.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/headerbar.h>
#include <gtkmm/window.h>

#include <memory>

class SVGQuarvelDocument;
class NSUserDefaults;

namespace SVGQuarvelViews {
class ContentViewImpl;
}

class ContentView : public Gtk::Box {
 public:
  /// A window over `document`: the split orientation in the standard defaults, the editors at
  /// the system font size.
  explicit ContentView(std::shared_ptr<SVGQuarvelDocument> document);
  /// The same with the split orientation kept in `layoutDefaults` (tests).
  ContentView(std::shared_ptr<SVGQuarvelDocument> document, std::shared_ptr<NSUserDefaults> layoutDefaults,
              double fontSize);
  ~ContentView() override;

  ContentView(const ContentView&) = delete;
  ContentView& operator=(const ContentView&) = delete;

  /// Inserts the "doc" action group and the window-local shortcuts on `window` and adds the
  /// sidebar toggle (start) and the layout, drop-changes and copy buttons (end) to `headerBar`.
  /// Call once, after the view is the window's content.
  void attachToWindow(Gtk::Window& window, Gtk::HeaderBar& headerBar);

  const std::shared_ptr<SVGQuarvelDocument>& document() const;

  /// The widget the Edit menu's commands (cut, copy, paste, select all) work on: the window's
  /// focus, or the widget that had it before a menu took it.
  Gtk::Widget* editingFocus() const;

  /// The parts of the window, for tests and the application.
  SVGQuarvelViews::ContentViewImpl& impl() { return *impl_; }

 private:
  std::unique_ptr<SVGQuarvelViews::ContentViewImpl> impl_;
};
