// Tables, outlines and scroll views on the toolkit. A table is a column view over a list of row
// objects: each row asks the data source for its view per column, and views given back when a row
// scrolls away are kept for reuse under their identifier. An outline is a list view over a tree
// list model of the data source's items (the data source keeps its items alive, as it keeps its
// objects for any view). Target and action are stored callbacks.
#pragma once

#include <giomm/liststore.h>
#include <gtkmm/columnview.h>
#include <gtkmm/listview.h>
#include <gtkmm/multiselection.h>
#include <gtkmm/singleselection.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/treelistmodel.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/listitem.h>
#include <gtkmm/viewport.h>

#include <any>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "Fennix/UI/AppKit/GTK/Image.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"

/// The view of one cell of a table; the table tells it whether its row is selected, and gives it
/// the data source's value of its row.
class NSTableCellView : public QvViewBase {
 public:
  enum class BackgroundStyle { normal = 0, emphasized = 1 };
  BackgroundStyle backgroundStyle() const { return backgroundStyle_; }
  virtual void setBackgroundStyle(BackgroundStyle style) { backgroundStyle_ = style; }

  const std::any& objectValue() const { return objectValue_; }
  /// Sets the value the cell stands for; a cell that takes values of any type loads it. Set by
  /// anyone but its table (a control of the cell the user changed), the value goes on to the
  /// table's data source for the cell's row.
  void setObjectValue(std::any value);

 private:
  friend class NSTableView;
  BackgroundStyle backgroundStyle_ = BackgroundStyle::normal;
  std::any objectValue_;
  std::function<void(const std::any&)> objectValueChanged_;
};

/// A column of a table before the table takes it: its identifier and title (and, for an
/// outline's column, how narrow it may get and whether its cells are editable).
struct NSTableColumn {
  std::string identifier;
  std::string title;
  double minWidth = 10;
  bool isEditable = true;
};

class NSTableRowView;

class NSTableView : public Gtk::ColumnView {
 public:
  using IndexSet = std::set<std::size_t>;
  using Callback = std::function<void(NSTableView&)>;

  /// Rows and their views; `viewFor` gets the column's identifier and the row. The value of a
  /// cell, when given, becomes the object value of a cell view; a value a cell view was given by
  /// someone else goes back through `setObjectValue`.
  struct DataSource {
    std::function<std::size_t()> numberOfRows;
    std::function<Gtk::Widget*(NSTableView&, const std::string& column, std::size_t row)> viewFor;
    std::function<std::any(const std::string& column, std::size_t row)> objectValue = {};
    std::function<void(const std::any& value, const std::string& column, std::size_t row)> setObjectValue = {};
  };
  /// What the table asks of its delegate; an answer left out keeps the table's own behaviour.
  struct Delegate {
    /// Whether the user may select a row, by click or by key (selecting it in code always works).
    std::function<bool(std::size_t row)> shouldSelectRow;
    /// A new row view to hold a row; null for the table's own. The row view holds the row's cell of
    /// the first column and gives the row its look.
    std::function<NSTableRowView*(std::size_t row)> rowViewFor = {};
  };

  NSTableView();
  ~NSTableView() override;

  void setDataSource(DataSource dataSource);
  void setDelegate(Delegate delegate) { delegate_ = std::move(delegate); }
  void addTableColumn(const std::string& identifier, const std::string& title);
  void addTableColumn(const NSTableColumn& column);
  /// The column with the identifier as the table keeps it; none when it has none.
  std::optional<NSTableColumn> tableColumn(const std::string& identifier) const;
  /// Whether the user may drag a column's edge to resize it (by default not); every column,
  /// also those added later, follows it.
  bool allowsColumnResizing() const { return allowsColumnResizing_; }
  void setAllowsColumnResizing(bool allows);
  /// A new column with the identifier and, when given, the title; no table has it yet.
  static NSTableColumn qvItem(const std::string& id, const std::optional<std::string>& title = std::nullopt) {
    return {id, title.value_or("")};
  }

  std::size_t numberOfRows() const;
  std::size_t numberOfColumns() const;
  bool hasHeaderView() const { return headerVisible_; }
  /// Shows or hides the row of column titles.
  void setHeaderVisible(bool visible);

  // Rows; a subclass that follows row changes overrides these and calls the base first. Reloading
  // keeps the selected rows that are still there selected.
  virtual void reloadData();
  virtual void insertRows(const IndexSet& rows, unsigned animation);
  virtual void removeRows(const IndexSet& rows, unsigned animation);
  void reloadData(const IndexSet& rows, const IndexSet& columns);

  /// A view given back under `identifier` for reuse; none when there is none.
  Gtk::Widget* makeView(const std::string& identifier);
  /// The identifier a view is kept under for reuse: its own name; empty for a view without one.
  static std::string reuseIdentifier(Gtk::Widget& view);

  // Selection.
  IndexSet selectedRowIndexes() const;
  void selectRowIndexes(const IndexSet& rows, bool extend);
  void deselectAll();
  bool allowsEmptySelection() const { return allowsEmptySelection_; }
  void setAllowsEmptySelection(bool allows) { allowsEmptySelection_ = allows; }
  /// Whether more than one row can be selected (by default it can); switching it off keeps at most
  /// the first selected row.
  bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
  void setAllowsMultipleSelection(bool allows);
  /// The row at a point of the table; −1 when there is none.
  long rowAt(double x, double y);
  /// The view of a shown cell; null when the row is not shown.
  Gtk::Widget* viewAt(std::size_t column, std::size_t row) const;

  // Target and action, as callbacks.
  const void* target() const { return target_; }
  void setTarget(const void* target) { target_ = target; }
  const Callback& action() const { return action_; }
  void setAction(Callback action) { action_ = std::move(action); }
  const Callback& doubleAction() const { return doubleAction_; }
  void setDoubleAction(Callback action) { doubleAction_ = std::move(action); }

  /// Called after rows changed or were reloaded.
  virtual void invalidateIntrinsicContentSize();

 protected:
  /// A click (a release) at a point; the base runs the actions. A double click on a row reaches
  /// the double action through the row's activation instead.
  virtual void clicked(int count, double x, double y);

 public:
  struct Column;

 private:
  void bind(Column& column, const Glib::RefPtr<Gtk::ListItem>& item);
  void unbind(const Glib::RefPtr<Gtk::ListItem>& item);
  void updateBackgroundStyles();
  /// Shows the rows through a model of multiple or single selection.
  void useSelectionModel(bool multiple);
  /// Makes `rows` the selection (the first of them for a single selection).
  void replaceSelection(const Glib::RefPtr<const Gtk::Bitset>& rows);
  /// A selection the user made: rows the delegate refuses leave it; when it newly selected only
  /// such rows, the selection before it stays, and so it does when it is empty and the table does
  /// not allow an empty selection.
  void filterUserSelection();
  void selectRows(const IndexSet& rows, bool extend);
  /// Selects again the rows of `rows` that the table still has, after reloading took them out.
  void reselect(const IndexSet& rows);

  DataSource dataSource_;
  Delegate delegate_;
  Glib::RefPtr<Gio::ListStore<Glib::Object>> rows_;
  Glib::RefPtr<Gtk::SelectionModel> selection_;
  std::vector<std::unique_ptr<Column>> columns_;
  std::map<Gtk::Widget*, std::pair<std::size_t, std::size_t>> shown_;  // view: column, row
  void releaseTaken();
  std::multimap<std::string, Gtk::Widget*> reusable_;  // each holds a reference
  std::vector<Gtk::Widget*> taken_;                     // handed out, still referenced
  bool allowsEmptySelection_ = true;
  bool allowsMultipleSelection_ = true;
  bool headerVisible_ = true;
  bool allowsColumnResizing_ = false;
  // The selection as the table last accepted it; set while the table itself changes it.
  Glib::RefPtr<const Gtk::Bitset> acceptedSelection_;
  int selectingInCode_ = 0;
  // A press of the pointer on a row is under way (a row activated then was double-clicked).
  bool pointerPressed_ = false;
  guint32 pressTime_ = 0, activatedPressTime_ = 0;
  sigc::connection pressEnded_;
  // A release of the pointer is being handled, and whether it changed the selection already: the
  // list's cell and its row each take the click that selects, and only the first may act on it.
  bool releasing_ = false, releaseSelected_ = false;
  sigc::connection releaseEnded_;
  const void* target_ = nullptr;
  Callback action_, doubleAction_;
};

/// A table that clears its selection on a click below its rows.
class QvExtendedTableView : public NSTableView {
 public:
  QvExtendedTableView();
  bool deselectOnNonRowClick() const { return deselectOnNonRowClick_; }
  void setDeselectOnNonRowClick(bool deselect) { deselectOnNonRowClick_ = deselect; }
  virtual void onAppearanceChange() {}
  std::string description();

 protected:
  void clicked(int count, double x, double y) override;

 private:
  bool deselectOnNonRowClick_ = true;
};

/// A scroll view with the kit's appearance hook.
class QvExtendedScrollView : public Gtk::ScrolledWindow {
 public:
  QvExtendedScrollView();
  ~QvExtendedScrollView() override;
  virtual void onAppearanceChange() {}

 private:
  gulong handlers_[2] = {0, 0};
};

/// A scroll view as large as its document (a table's header and 1 added to the height), for
/// layouts that size it by its content.
class QvContentSizedScrollView : public Gtk::ScrolledWindow {
 public:
  QvContentSizedScrollView();
  /// The size of the content; none without a document.
  std::optional<CGSize> intrinsicContentSize();
  /// The height of the content; none without a document.
  std::optional<double> intrinsicContentHeight();
  /// Takes the size of the content as the least size of the scroll view.
  void invalidateIntrinsicContentSize();
};

/// A table that tells its scroll view when its rows change.
class QvScrollViewSizingTableView : public NSTableView {
 public:
  void reloadData() override;
  void insertRows(const IndexSet& rows, unsigned animation) override;
  void removeRows(const IndexSet& rows, unsigned animation) override;
  void invalidateIntrinsicContentSize() override;
};

/// An outline of items; items are the data source's and compared by identity.
class NSOutlineView : public Gtk::ListView {
 public:
  using Item = const void*;
  struct DataSource {
    std::function<std::size_t(Item parent)> numberOfChildren;  ///< the root for null
    std::function<Item(std::size_t index, Item parent)> child;
    std::function<bool(Item)> isExpandable;
    std::function<Gtk::Widget*(NSOutlineView&, Item)> viewFor;
    /// A child that the outline keeps alive for as long as a row of the tree holds it, for data
    /// sources that make their items afresh; used instead of `child` when given.
    std::function<std::shared_ptr<const void>(std::size_t index, Item parent)> sharedChild = {};
  };
  /// What the outline asks of its delegate about each row it shows; any answer left out keeps the
  /// outline's own behaviour.
  struct Delegate {
    /// The height of the row of an item.
    std::function<double(Item)> heightOfRow;
    /// Whether the user may select the row of an item, by click or by key.
    std::function<bool(Item)> shouldSelect;
    /// Whether the row of an item is a group row: its cell (inside the row view, where the row
    /// has one) carries the "group-row" style class.
    std::function<bool(Item)> isGroupItem;
    /// A new row view to hold the row of an item; null for none (the cell alone fills the row).
    std::function<NSTableRowView*(Item)> rowViewFor = {};
  };

  NSOutlineView();
  void setDataSource(DataSource dataSource);
  void setDelegate(Delegate delegate) { delegate_ = std::move(delegate); }
  void reloadData();

  // Columns. The outline shows its rows in one column: the outline is never narrower than the
  // least width of its columns.
  void addTableColumn(const NSTableColumn& column);
  const std::vector<NSTableColumn>& tableColumns() const { return columns_; }
  /// The column that shows the tree; none until one is set.
  const NSTableColumn* outlineTableColumn() const;
  void setOutlineTableColumn(const std::string& identifier) { outlineColumn_ = identifier; }

  std::size_t numberOfRows() const;
  Item itemAtRow(std::size_t row) const;
  /// −1 for an item that is not shown.
  long rowForItem(Item item) const;
  void expandItem(Item item);
  void collapseItem(Item item);
  bool isItemExpanded(Item item) const;

  std::set<long> selectedRowIndexes() const;
  void selectRowIndexes(const std::set<long>& rows, bool extend);
  void deselectAll();
  sigc::signal<void()>& signalSelectionChange() { return selectionChange_; }

  // Items.
  std::vector<Item> selectedItems() const;
  void setSelectedItems(const std::vector<Item>& items);
  Item selectedItem() const;
  void setSelectedItem(Item item);
  /// The children of an item (the root for null); for a data source of shared children, those the
  /// outline holds (none for an item whose row was never opened).
  std::vector<Item> children(Item item) const;
  std::size_t numberOfRootItems() const;
  std::vector<Item> expandedRootItems() const;

 protected:
  /// The widget of a row: the data source's view, in an expander with disclosure triangle.
  virtual Gtk::Widget* rowWidget(Item item, const Glib::RefPtr<Gtk::TreeListRow>& row);
  /// The data source's view of a row; null without one.
  Gtk::Widget* rowView(Item item);
  /// The delegate's row view for the row of an item; null when it gives none.
  NSTableRowView* delegateRowView(Item item);

 private:
  Glib::RefPtr<Gtk::TreeListRow> rowObject(std::size_t row) const;
  Glib::RefPtr<Gio::ListModel> childModel(Item parent);
  void bindRow(const Glib::RefPtr<Gtk::ListItem>& listItem);
  /// A selection the user made: rows the delegate refuses leave it; when it newly selected only
  /// such rows, the selection before it stays. Whether it was changed.
  bool filterUserSelection();

  DataSource dataSource_;
  Delegate delegate_;
  Glib::RefPtr<Gtk::TreeListModel> tree_;
  Glib::RefPtr<Gtk::MultiSelection> selection_;
  // The selection as the outline last accepted it; set while the outline itself changes it.
  Glib::RefPtr<const Gtk::Bitset> acceptedSelection_;
  int selectingInCode_ = 0;
  bool restoringSelection_ = false;
  sigc::signal<void()> selectionChange_;
  std::vector<NSTableColumn> columns_;
  std::optional<std::string> outlineColumn_;
};

/// The view of a whole row of an outline or table, holding the row's cell across the row. Whether it is
/// emphasized decides how the row's selection is drawn: in the accent colour of the theme, or in
/// the muted look of the sidebar. The row view marks the list row that holds it accordingly, and
/// takes the mark off again when it leaves that row.
class NSTableRowView : public Gtk::Box {
 public:
  NSTableRowView();
  ~NSTableRowView() override;
  NSTableRowView(const NSTableRowView&) = delete;
  NSTableRowView& operator=(const NSTableRowView&) = delete;

  virtual bool isEmphasized() const { return emphasized_; }
  virtual void setEmphasized(bool emphasized);
  /// Whether the row that holds the view is selected; false outside a row.
  bool isSelected() const;
  /// The cell the row shows; null when it shows none.
  Gtk::Widget* view() { return get_first_child(); }
  const Gtk::Widget* view() const { return get_first_child(); }
  /// Shows `view` (taken from wherever it is, this row view included) in place of the cells shown
  /// so far.
  void setView(Gtk::Widget* view);

 protected:
  /// Puts the row's look in line with the row view: its row draws the emphasized selection only
  /// while the row view is emphasized. Only a row of a list is marked.
  void updateRowStyle();

 private:
  /// The row that carries this view's mark, while it lives.
  Gtk::Widget* styledRow() const;

  bool emphasized_ = true;
  mutable GWeakRef styledRow_;
  sigc::connection parentChanged_;
};

/// An outline for source lists: rows without disclosure triangles, indented by their level. A row
/// sits in the row view the delegate gives, or alone; a source-list row view keeps the row's
/// selection in the sidebar's muted look, and without one the selection is drawn emphasized.
class QvSourceListView : public NSOutlineView {
 public:
  QvSourceListView();
  /// Source lists are laid out by constraints.
  static bool requiresConstraintBasedLayout() { return true; }
  double indentationPerLevel() const { return indentationPerLevel_; }
  void setIndentationPerLevel(double indentation) { indentationPerLevel_ = indentation; }

 protected:
  Gtk::Widget* rowWidget(Item item, const Glib::RefPtr<Gtk::TreeListRow>& row) override;

 private:
  double indentationPerLevel_ = 12;
};

/// The row of a source list: never emphasized, so selected rows keep the unemphasized look.
class QvSourceListTableRowView : public NSTableRowView {
 public:
  bool isEmphasized() const override { return false; }
  /// Ignored.
  void setEmphasized(bool) override {}
};

/// The row of small image buttons under a table: one segment per image and an empty, disabled
/// filler that takes the rest of the width.
class QvTableViewButtons : public Gtk::Box {
 public:
  using Action = std::function<void(QvTableViewButtons&, int segment)>;
  /// One segment per image; missing images are dropped.
  QvTableViewButtons(const std::vector<Fennix::ImagePtr>& images, double buttonWidth);
  /// Images by icon name; names the icon theme does not have are dropped.
  QvTableViewButtons(const std::vector<std::string>& iconNames, double buttonWidth);
  /// Images given as images or as icon names (text); names without an icon and values of any
  /// other type are dropped.
  QvTableViewButtons(const std::vector<std::any>& images, double buttonWidth);

  int segmentCount() const { return int(segments_.size()); }
  Gtk::Button& segment(int index) { return *segments_.at(std::size_t(index)); }
  /// The least width; none without fixed button widths.
  std::optional<double> minimumWidth() const { return minimumWidth_; }
  void onClick(Action action) { action_ = std::move(action); }
  /// The image of a segment made from an image; none for the filler and for icons by name.
  Fennix::ImagePtr segmentImage(int index) const;

 private:
  /// A segment's image: an image, or the name of a theme icon.
  using SegmentImage = std::variant<Fennix::ImagePtr, std::string>;
  void makeSegments(const std::vector<SegmentImage>& images, double buttonWidth);

  std::vector<Gtk::Button*> segments_;
  std::vector<Fennix::ImagePtr> images_;
  std::optional<double> minimumWidth_;
  Action action_;
};
