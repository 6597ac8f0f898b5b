// Controllers that show a tree in an outline built in code and answer its data source and delegate
// from one operation, `children(of:)`, of a subclass. `QvSourceListVC` is the sidebar variant: top
// level items are section headers, the rest content rows, and the tree opens once after loading.
// Items are shared objects (compared by identity) that keep their class for the object cells; the
// root is asked for with no item. The toolkit's outline is reached through
// `Fennix::OutlineViewHandle`, so these answers run without a display.
#pragma once

#include <any>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "Fennix/UI/Common/ViewControllers/TableCells.h"
#include "Fennix/UI/Common/ViewControllers/ViewController.h"

namespace Fennix {

/// An item of an outline: a shared object, compared by identity. Made from a pointer to its class,
/// it keeps that class, so that object cells of the class or of its bases load it; made from an
/// untyped pointer, no object cell loads it.
class OutlineItem : public std::shared_ptr<void> {
 public:
  /// Boxes the item as a pointer to the class it was made from.
  using Boxer = std::any (*)(const std::shared_ptr<void>& item);

  OutlineItem() = default;
  OutlineItem(std::nullptr_t) {}
  OutlineItem(std::shared_ptr<void> item, Boxer itemBoxer = nullptr)
      : std::shared_ptr<void>(std::move(item)), boxer_(itemBoxer) {
    registerBox();
  }
  template <typename U>
    requires(std::is_class_v<U> && !std::is_const_v<U>)
  OutlineItem(std::shared_ptr<U> item)
      : std::shared_ptr<void>(std::move(item)),
        boxer_([](const std::shared_ptr<void>& pointer) -> std::any { return std::static_pointer_cast<U>(pointer); }) {
    registerObjectClass<U>();
    registerBox();
  }

  /// The pointer to the item's class in a box, for object cells; the untyped pointer when the
  /// class is not known.
  std::any box() const {
    if (!*this) return {};
    if (boxer_) return boxer_(*this);
    return static_cast<const std::shared_ptr<void>&>(*this);
  }
  Boxer boxer() const { return boxer_; }

 private:
  /// Object cells look into boxes of items.
  static void registerBox() {
    static const bool registered = [] {
      registerInnerObjectBox(typeid(OutlineItem),
                             [](const std::any& box) { return std::any_cast<const OutlineItem&>(box).box(); });
      return true;
    }();
    (void)registered;
  }

  Boxer boxer_ = nullptr;
};

/// What outline controllers need of a toolkit outline.
class OutlineViewHandle {
 public:
  virtual ~OutlineViewHandle() = default;
  virtual void reloadData() = 0;
  /// Whether the item sits below another item (false for top-level items).
  virtual bool hasParent(const OutlineItem& item) const = 0;
  /// The items of the selected rows, in row order.
  virtual std::vector<OutlineItem> selectedItems() const = 0;
  virtual double rowHeight() const = 0;
  virtual void sizeLastColumnToFit() = 0;
  /// Collapses every item and its children.
  virtual void collapseAll() = 0;
  /// Opens the top level, and every level below it when `children` is true.
  virtual void expandAll(bool children) = 0;
  /// Schedules layout and redrawing of the outline and everything in it.
  virtual void relayout() = 0;
  /// A new portable cell of the subtitle style, `identifier` its reuse identifier.
  virtual TableCell makeCell(const std::string& identifier) = 0;
  /// The source list's heading label without a title, and its content label.
  virtual TableCell makeSourceListHeaderLabel() = 0;
  virtual TableCell makeSourceListItemLabel() = 0;
  /// A cell the outline keeps for reuse under `identifier`; none when it has none.
  virtual TableCell dequeueCell(const std::string& identifier) = 0;
};

/// A selection: no value, one item, or the items of several rows.
using OutlineSelection = std::variant<std::monostate, OutlineItem, std::vector<OutlineItem>>;

}  // namespace Fennix

class QvOutlineVC : public QvViewControllerBase {
 public:
  using Item = Fennix::OutlineItem;

  QvOutlineVC() = default;

  /// The children of an item (of the root for none); no value when it has none.
  virtual std::optional<std::vector<Item>> children(const Item& item) { (void)item; return std::nullopt; }
  /// After every change of the selection.
  virtual void selectionChanged(const Fennix::OutlineSelection& selection) { (void)selection; }
  /// Last set-up of the outline before its first load.
  virtual void configure(Fennix::OutlineViewHandle& outlineView) { (void)outlineView; }

  /// Makes the toolkit's outline for a controller (a source list for `QvSourceListVC`) in a scroll
  /// view, attached to the controller (`attachOutlineView`), the scroll view returned. The toolkit
  /// part installs it; tests install a fake.
  static inline std::function<std::optional<Fennix::LayoutItem>(QvOutlineVC&)> outlineViewMaker;
  /// The controller's view is its outline, in a scroll view.
  std::optional<Fennix::LayoutItem> makeView() override;

  /// Attaches the toolkit's outline: becomes its data source and delegate, configures, loads.
  virtual void attachOutlineView(Fennix::OutlineViewHandle* outlineView);
  /// The attached outline, if any; never loads the view.
  Fennix::OutlineViewHandle* attachedOutlineView() const { return outline_; }
  /// The outline; stops the process when there is none.
  Fennix::OutlineViewHandle& outlineView();

  // Data source.
  virtual long numberOfChildren(const Item& item);
  /// The child at `index`; no item when the children changed since the outline asked.
  virtual Item child(long index, const Item& item);
  virtual bool isItemExpandable(const Item& item);
  virtual bool isGroupItem(const Item& item);

  // Delegate.
  virtual bool shouldSelectItem(const Item&) { return true; }
  virtual double heightOfRowByItem(const Item&) { return outlineView().rowHeight(); }
  virtual void outlineViewSelectionDidChange();
  /// A new row view for an identifier: the portable cell of the subtitle style.
  virtual Fennix::TableCell makeCell(const std::string& identifier, Fennix::OutlineViewHandle& outlineView) {
    return outlineView.makeCell(identifier);
  }
  /// The row view that holds the row of an item; none leaves the outline its own (the row alone,
  /// its selection drawn emphasized, in a plain outline and in a source list alike).
  virtual Fennix::TableRow rowViewForItem(const Item& item) { (void)item; return nullptr; }
  /// The outline's reusable row view for `identifier`, or a new one.
  Fennix::TableCell dequeueOrMakeCell(const std::string& identifier, Fennix::OutlineViewHandle& outlineView);
  /// The row view of an item; none in the base, where the toolkit shows the item's text.
  virtual Fennix::TableCell viewForItem(const Item& item) { (void)item; return nullptr; }
  /// Fills a row view: cells that take any value get the item, others are reported.
  virtual void configureCell(Fennix::TableCellView& cell, const Item& item);

  virtual void qvTryTriggerRelayout();

 protected:
  /// The outline's configuration step of the base (source lists skip it).
  virtual bool configuresOutlineView() const { return true; }

  Fennix::OutlineViewHandle* outline_ = nullptr;
};

class QvSourceListVC : public QvOutlineVC {
 public:
  QvSourceListVC() = default;

  virtual void onStartupDidExpand() {}
  virtual bool shouldExpandChildrenOnStartup() { return true; }

  /// "Header" for top-level items, "Content" for the others.
  virtual std::string cellIdentifier(const Item& item);
  /// "Header" gives the heading label, "Content" the content label, others the base's cell.
  Fennix::TableCell makeCell(const std::string& identifier, Fennix::OutlineViewHandle& outlineView) override;
  /// The row view of an item, by its identifier, filled with the item.
  Fennix::TableCell viewForItem(const Item& item) override;

  /// Everything collapsed now; opened from the main queue's next turn, then `onStartupDidExpand()`.
  void viewDidLoad() override;
  void viewDidAppear() override;

 protected:
  bool configuresOutlineView() const override { return false; }
};
