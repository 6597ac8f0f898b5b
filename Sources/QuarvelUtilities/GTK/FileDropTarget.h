// Puts a typed drop (see TypedFileDrop.h) on a widget: a drop target for file lists, preloaded so
// that validation sees the files, and one for data of the accepted types. Both run in the capture
// phase, so they win over the drop handling of the widgets below (text views).
#pragma once

#include <gtkmm/widget.h>

#include <memory>

#include "QuarvelUtilities/TypedFileDrop.h"

namespace QuarvelUtilities {

class FileDropTarget {
 public:
  /// Installs the targets on `widget`; they live as long as the widget (or until this is gone).
  FileDropTarget(Gtk::Widget& widget, std::shared_ptr<TypedDropDelegate> delegate);
  ~FileDropTarget();
  FileDropTarget(const FileDropTarget&) = delete;
  FileDropTarget& operator=(const FileDropTarget&) = delete;

  TypedDropDelegate& delegate() { return *delegate_; }
  /// The drop descriptions of what a drop on the window holds (for the targets and for tests).
  static DropInfo dropInfo(GdkDrop* drop, const std::vector<std::string>& types);
  static DropInfo dropInfo(const GValue* fileList);

 private:
  struct Targets;
  Gtk::Widget& widget_;
  std::shared_ptr<TypedDropDelegate> delegate_;
  std::unique_ptr<Targets> targets_;
};

}  // namespace QuarvelUtilities
