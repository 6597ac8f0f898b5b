// An outline controller's outline on the toolkit: a source list (or a plain outline) in a scroll
// view over the controller's tree. Top-level rows of a source list are header widgets, the others
// content labels.
#pragma once

#include <gtkmm/label.h>
#include <gtkmm/scrolledwindow.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "Fennix/UI/AppKit/Views/GTK/TableViews.h"
#include "Fennix/UI/Common/ViewControllers/GTK/TableRowViewGTK.h"
#include "Fennix/UI/Common/ViewControllers/OutlineViewController.h"

namespace Fennix {

/// Makes the outline's base cell for a reuse identifier, showing a value as the text gives it. The
/// portable table cell of the subtitle style stands above this library: its kit installs the maker
/// (`PortKit::installTableCellKitGTK()`); until then the base cell is a plain label.
using OutlineCellMaker =
    std::function<TableCell(const std::string& identifier, std::function<std::string(const std::any&)> text)>;
void setOutlineCellMaker(OutlineCellMaker maker);

class GtkOutlineViewHandle : public OutlineViewHandle {
 public:
  /// Makes the outline for `controller` (a source list when it is one), which the handle keeps
  /// alive; `text` gives a row's label.
  GtkOutlineViewHandle(std::shared_ptr<QvOutlineVC> controller, std::function<std::string(const OutlineItem&)> text);
  /// The same without keeping the controller alive: once it is gone the outline shows no rows.
  GtkOutlineViewHandle(QvOutlineVC& controller, std::function<std::string(const OutlineItem&)> text);
  ~GtkOutlineViewHandle() override;
  GtkOutlineViewHandle(const GtkOutlineViewHandle&) = delete;
  GtkOutlineViewHandle& operator=(const GtkOutlineViewHandle&) = delete;

  /// Makes the outlines of outline controllers on the toolkit: each controller's view is the scroll
  /// view, which owns the outline's handle.
  static void install(std::function<std::string(const OutlineItem&)> text);
  /// The handle of an outline made by the installed maker, from the controller's view.
  static GtkOutlineViewHandle* of(Gtk::Widget& view);

  Gtk::ScrolledWindow& view() { return *scroll_; }
  NSOutlineView& outline() { return *outline_; }

  void reloadData() override;
  bool hasParent(const OutlineItem& item) const override;
  std::vector<OutlineItem> selectedItems() const override;
  double rowHeight() const override { return 24; }
  void sizeLastColumnToFit() override {}
  void collapseAll() override;
  void expandAll(bool children) override;
  void relayout() override;
  /// The base cell: the installed maker's, else a plain label.
  TableCell makeCell(const std::string& identifier) override;
  TableCell makeSourceListHeaderLabel() override;
  TableCell makeSourceListItemLabel() override;
  /// Rows of an outline are made afresh: none.
  TableCell dequeueCell(const std::string&) override { return nullptr; }

 private:
  Gtk::Widget* rowView(NSOutlineView::Item item);
  TableCell wrap(Gtk::Label& label, const std::string& identifier, bool uppercase);
  /// A label showing the item's text.
  TableCell makeLabelCell(const std::string& identifier);
  /// The text of an item in a box.
  std::function<std::string(const std::any&)> itemText(bool uppercase) const;
  /// The item a row holds under that address; none once no row holds it.
  OutlineItem lookup(NSOutlineView::Item item) const;
  /// Remembers an item handed to the outline, with its parent.
  void remember(const OutlineItem& item, NSOutlineView::Item parent);

  QvOutlineVC* controller() const { return controller_.lock().get(); }

  std::weak_ptr<QvOutlineVC> controller_;
  std::shared_ptr<QvOutlineVC> owner_;
  std::function<std::string(const OutlineItem&)> text_;
  NSOutlineView* outline_ = nullptr;
  Gtk::ScrolledWindow* scroll_ = nullptr;
  /// Items by address, with the boxer of their class.
  std::map<NSOutlineView::Item, std::pair<std::weak_ptr<void>, OutlineItem::Boxer>> items_;
  std::map<NSOutlineView::Item, NSOutlineView::Item> parents_;
  std::size_t prunedSize_ = 0;
  sigc::connection selection_;
  TableCell shownCell_;
  TableRow shownRowView_;
};

}  // namespace Fennix
