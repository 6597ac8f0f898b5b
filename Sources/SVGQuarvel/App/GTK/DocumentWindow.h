// The window of one document, with its toolbar in the title bar and the menu bar of the application.
#pragma once

#include <gtkmm/applicationwindow.h>
#include <gtkmm/headerbar.h>

#include <memory>
#include <string>

#include "Platform/Observable.h"
#include "SVGQuarvel/App/DocumentController.h"

class SVGQuarvelApp;

namespace SVGQuarvel {

/// Puts the document's views into `window`, with their toolbar in `headerBar` and their actions
/// on the window.
void installDocumentContent(const std::shared_ptr<SVGQuarvelDocument>& document, Gtk::Window& window,
                            Gtk::HeaderBar& headerBar);

/// The window of one document.
class DocumentWindow : public Gtk::ApplicationWindow {
 public:
  DocumentWindow(SVGQuarvelApp& app, DocumentRecordPtr record);
  ~DocumentWindow() override;

  const DocumentRecordPtr& record() const { return record_; }
  /// The document's name, with " — Edited" while what its file takes has unsaved changes, and
  /// " — Swift Not Saved" (", Swift Not Saved" after " — Edited") while edits that the file
  /// cannot take are unsaved (for a Swift file: "SVG Not Saved").
  std::string windowTitle() const;
  void refreshTitle();
  /// Closes without asking.
  void closeNow();

 protected:
  bool on_close_request() override;

 private:
  SVGQuarvelApp& app_;
  DocumentRecordPtr record_;
  Gtk::HeaderBar headerBar_;
  bool closing_ = false;
  AnyCancellable changes_;
  AnyCancellable svgChanges_, swiftChanges_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace SVGQuarvel
