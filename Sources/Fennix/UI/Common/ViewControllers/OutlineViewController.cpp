#include "Fennix/UI/Common/ViewControllers/OutlineViewController.h"

#include "Platform/Dispatch.h"
#include "Fennix/console/Console.h"

std::optional<Fennix::LayoutItem> QvOutlineVC::makeView() {
  if (!outlineViewMaker) {
    console::warn("no outline view maker for", description());
    return std::nullopt;
  }
  return outlineViewMaker(*this);
}

void QvOutlineVC::attachOutlineView(Fennix::OutlineViewHandle* outlineView) {
  outline_ = outlineView;
  if (!outline_) return;
  if (configuresOutlineView()) configure(*outline_);
  outline_->reloadData();
}

Fennix::OutlineViewHandle& QvOutlineVC::outlineView() {
  if (!outline_) view();
  if (!outline_) Fennix::fatalError("no outline view in " + description());
  return *outline_;
}

long QvOutlineVC::numberOfChildren(const Item& item) {
  auto list = children(item);
  return list ? static_cast<long>(list->size()) : 0;
}

QvOutlineVC::Item QvOutlineVC::child(long index, const Item& item) {
  auto list = children(item);
  if (!list || index < 0 || index >= static_cast<long>(list->size())) return nullptr;
  return (*list)[static_cast<std::size_t>(index)];
}

bool QvOutlineVC::isItemExpandable(const Item& item) { return numberOfChildren(item) > 0; }

bool QvOutlineVC::isGroupItem(const Item& item) { return !outlineView().hasParent(item); }

void QvOutlineVC::outlineViewSelectionDidChange() {
  auto items = outlineView().selectedItems();
  if (items.size() == 1) {
    selectionChanged(items.front());
  } else if (items.size() > 1) {
    selectionChanged(std::move(items));
  } else {
    selectionChanged(std::monostate{});
  }
}

Fennix::TableCell QvOutlineVC::dequeueOrMakeCell(const std::string& identifier, Fennix::OutlineViewHandle& outlineView) {
  if (auto reused = outlineView.dequeueCell(identifier)) return reused;
  return makeCell(identifier, outlineView);
}

void QvOutlineVC::configureCell(Fennix::TableCellView& cell, const Item& item) {
  if (!cell.setObjectValue(item)) console::error("subclass needs to override:", "configure(cell:with:)");
}

void QvOutlineVC::qvTryTriggerRelayout() {
  if (outline_) outline_->relayout();
}

std::string QvSourceListVC::cellIdentifier(const Item& item) {
  return outlineView().hasParent(item) ? "Content" : "Header";
}

Fennix::TableCell QvSourceListVC::makeCell(const std::string& identifier, Fennix::OutlineViewHandle& outlineView) {
  if (identifier == "Header") return outlineView.makeSourceListHeaderLabel();
  if (identifier == "Content") return outlineView.makeSourceListItemLabel();
  return QvOutlineVC::makeCell(identifier, outlineView);
}

Fennix::TableCell QvSourceListVC::viewForItem(const Item& item) {
  auto& outline = outlineView();
  auto cell = dequeueOrMakeCell(cellIdentifier(item), outline);
  if (cell) configureCell(*cell, item);
  return cell;
}

void QvSourceListVC::viewDidLoad() {
  QvOutlineVC::viewDidLoad();
  auto& outline = outlineView();
  const bool expandChildren = shouldExpandChildrenOnStartup();
  outline.sizeLastColumnToFit();
  outline.collapseAll();
  std::weak_ptr<NSViewController> weakSelf = weak_from_this();
  DispatchQueue::main().async([weakSelf, expandChildren] {
    auto self = std::static_pointer_cast<QvSourceListVC>(weakSelf.lock());
    if (!self || !self->outline_) return;
    self->outline_->expandAll(expandChildren);
    self->onStartupDidExpand();
  });
  qvTryTriggerRelayout();
}

void QvSourceListVC::viewDidAppear() {
  QvOutlineVC::viewDidAppear();
  qvTryTriggerRelayout();
}
