#include "SVGQuarvel/App/GTK/DocumentWindow.h"

#include <glibmm/main.h>

#include "SVGQuarvel/App/GTK/MenuBarGuard.h"
#include "SVGQuarvel/App/GTK/SVGQuarvelApp.h"
#include "SVGQuarvel/Views/GTK/ContentView.h"

namespace SVGQuarvel {

void installDocumentContent(const std::shared_ptr<SVGQuarvelDocument>& document, Gtk::Window& window,
                            Gtk::HeaderBar& headerBar) {
  auto* content = Gtk::make_managed<ContentView>(document);
  window.set_child(*content);
  content->attachToWindow(window, headerBar);
}

DocumentWindow::DocumentWindow(SVGQuarvelApp& app, DocumentRecordPtr record)
    : app_(app), record_(std::move(record)) {
  set_default_size(1100, 700);
  // Closing only hides the window: the application owns it and lets it go once it is hidden (the
  // toolkit would otherwise destroy it under its owner, which then presents a dead window when
  // the document is opened again).
  set_hide_on_close(true);
  set_show_menubar(true);
  guardMenuBar(*this);
  set_titlebar(headerBar_);
  installDocumentContent(record_->document(), *this, headerBar_);

  add_action("save", [this] { app_.saveDocument(*this, false, nullptr); });
  add_action("save-as", [this] { app_.saveDocument(*this, true, nullptr); });
  add_action("close", [this] { close(); });
  // Edit commands go to the focused editor, which knows its selection (the one focused before
  // the menu that runs them took the focus).
  for (const char* name : {"cut", "paste", "select-all"}) {
    const std::string target = std::string(name) == "select-all" ? "selection.select-all"
                                                                  : std::string("clipboard.") + name;
    add_action(name, [this, target] {
      auto* content = dynamic_cast<ContentView*>(get_child());
      if (auto* focus = content != nullptr ? content->editingFocus() : get_focus()) focus->activate_action(target);
    });
  }

  // The title follows the edited state; changes are gathered until the window's input has been
  // handled. A change of either text shows at once: the toolkit may draw the window, and lay out
  // a long text, before any callback that waits for the input to be handled.
  auto alive = std::weak_ptr<bool>(alive_);
  auto pending = std::make_shared<bool>(false);
  changes_ = record_->document()->objectWillChange().sink([this, alive, pending] {
    if (*pending) return;
    *pending = true;
    Glib::signal_idle().connect_once(
        [this, alive, pending] {
          *pending = false;
          if (alive.lock()) refreshTitle();
        },
        Glib::PRIORITY_HIGH_IDLE);
  });
  auto textChanged = [this](const std::string&) {
    refreshTitle();
    // To the window manager now, not after the frame that follows.
    get_display()->flush();
  };
  svgChanges_ = record_->document()->svgString.didSet().sink(textChanged);
  swiftChanges_ = record_->document()->swift.didSet().sink(textChanged);
  refreshTitle();
}

DocumentWindow::~DocumentWindow() {
  changes_.cancel();
  svgChanges_.cancel();
  swiftChanges_.cancel();
}

std::string DocumentWindow::windowTitle() const {
  std::string title = record_->displayName();
  const bool edited = record_->isFileContentEdited();
  if (edited) title += " \u2014 Edited";
  // Edits that the document's file cannot take (the Swift of an SVG file, the SVG of a Swift file).
  if (const auto outside = record_->editedTextOutsideFile()) title += (edited ? ", " : " \u2014 ") + *outside + " Not Saved";
  return title;
}

void DocumentWindow::refreshTitle() { set_title(windowTitle()); }

void DocumentWindow::closeNow() {
  closing_ = true;
  close();
}

bool DocumentWindow::on_close_request() {
  if (closing_ || !record_->isDocumentEdited()) {
    closing_ = true;
    return Gtk::ApplicationWindow::on_close_request();
  }
  app_.closeWindowAsking(*this, nullptr);
  return true;  // the question decides
}

}  // namespace SVGQuarvel
