// The row views that table and outline controllers hand their tables and outlines: a toolkit row
// view held by a portable handle.
#pragma once

#include "Fennix/UI/AppKit/Views/GTK/TableViews.h"
#include "Fennix/UI/Common/ViewControllers/TableCells.h"

namespace Fennix {

/// A row view of a table or outline on the toolkit. It holds the widget's object; a row view that
/// never reached a row goes with its last holder. Its owner may delete the widget while this lives:
/// the row view then has no widget and keeps what it was told.
class GtkTableRowView : public TableRowView {
 public:
  explicit GtkTableRowView(NSTableRowView& widget)
      : object_(G_OBJECT(widget.gobj())), emphasized_(widget.isEmphasized()) {
    g_object_ref(object_);
  }
  ~GtkTableRowView() override;
  GtkTableRowView(const GtkTableRowView&) = delete;
  GtkTableRowView& operator=(const GtkTableRowView&) = delete;

  /// The widget; null once its owner deleted it.
  NSTableRowView* widget() const;
  bool isEmphasized() const override;
  void setEmphasized(bool emphasized) override;

 private:
  GObject* object_;  // referenced
  bool emphasized_;
};

}  // namespace Fennix
