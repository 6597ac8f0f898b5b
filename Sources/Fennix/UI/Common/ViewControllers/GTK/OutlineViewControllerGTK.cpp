#include "Fennix/UI/Common/ViewControllers/GTK/OutlineViewControllerGTK.h"

#include <gtkmm/label.h>

#include <algorithm>

#include "Fennix/Foundation/Formatter.h"
#include "Fennix/UI/AppKit/GTK/ViewFactory.h"
#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/TableCellViewGTK.h"

namespace Fennix {

namespace {
OutlineCellMaker& outlineCellMaker() {
  static OutlineCellMaker maker;
  return maker;
}
}  // namespace

void setOutlineCellMaker(OutlineCellMaker maker) { outlineCellMaker() = std::move(maker); }

GtkOutlineViewHandle::GtkOutlineViewHandle(std::shared_ptr<QvOutlineVC> controller,
                                           std::function<std::string(const OutlineItem&)> text)
    : GtkOutlineViewHandle(*controller, std::move(text)) {
  owner_ = std::move(controller);
}

GtkOutlineViewHandle::GtkOutlineViewHandle(QvOutlineVC& controller, std::function<std::string(const OutlineItem&)> text)
    : text_(std::move(text)) {
  controller_ = std::dynamic_pointer_cast<QvOutlineVC>(controller.shared_from_this());
  const bool sourceList = dynamic_cast<QvSourceListVC*>(&controller) != nullptr;
  // The shared factory's outline (a source list for source-list controllers) in its scroll view.
  auto keep = [this](NSOutlineView& outline) { outline_ = &outline; };
  scroll_ = sourceList ? qv().makeSourceListView(keep) : qv().makeOutlineView(keep);
  selection_ = outline_->signalSelectionChange().connect([this] {
    if (auto* owner = this->controller()) owner->outlineViewSelectionDidChange();
  });
  // Items may be made afresh by every call of `children(of:)`: the rows keep the items they show
  // alive, and the handle only remembers them without keeping them.
  NSOutlineView::DataSource source;
  source.numberOfChildren = [this](NSOutlineView::Item parent) -> std::size_t {
    auto* owner = this->controller();
    const OutlineItem parentItem = lookup(parent);
    if (!owner || (parent && !parentItem)) return 0;
    return static_cast<std::size_t>(std::max(0L, owner->numberOfChildren(parentItem)));
  };
  source.sharedChild = [this](std::size_t index, NSOutlineView::Item parent) -> std::shared_ptr<const void> {
    auto* owner = this->controller();
    const OutlineItem parentItem = lookup(parent);
    if (!owner || (parent && !parentItem)) return nullptr;
    OutlineItem child = owner->child(static_cast<long>(index), parentItem);
    if (child) remember(child, parent);
    return child;
  };
  source.isExpandable = [this](NSOutlineView::Item item) {
    auto* owner = this->controller();
    const OutlineItem found = lookup(item);
    return owner && found && owner->isItemExpandable(found);
  };
  source.viewFor = [this](NSOutlineView&, NSOutlineView::Item item) { return rowView(item); };
  outline_->setDataSource(std::move(source));
  outline_->setDelegate({
      [this](NSOutlineView::Item item) {
        auto* owner = this->controller();
        const OutlineItem found = lookup(item);
        return owner && found ? owner->heightOfRowByItem(found) : -1.0;
      },
      [this](NSOutlineView::Item item) {
        auto* owner = this->controller();
        const OutlineItem found = lookup(item);
        return owner && found && owner->shouldSelectItem(found);
      },
      [this](NSOutlineView::Item item) {
        auto* owner = this->controller();
        const OutlineItem found = lookup(item);
        return owner && found && owner->isGroupItem(found);
      },
      [this](NSOutlineView::Item item) -> NSTableRowView* {
        auto* owner = this->controller();
        const OutlineItem found = lookup(item);
        TableRow rowView = owner && found ? owner->rowViewForItem(found) : nullptr;
        auto* shown = dynamic_cast<GtkTableRowView*>(rowView.get());
        if (!shown || !shown->widget()) return nullptr;
        // The row takes the widget once this returns; the holder keeps it until then.
        shownRowView_ = rowView;
        return shown->widget();
      },
  });
  controller.attachOutlineView(this);
}

GtkOutlineViewHandle::~GtkOutlineViewHandle() {
  selection_.disconnect();
  if (auto* owner = this->controller(); owner && owner->attachedOutlineView() == this) owner->attachOutlineView(nullptr);
}

void GtkOutlineViewHandle::install(std::function<std::string(const OutlineItem&)> text) {
  QvOutlineVC::outlineViewMaker = [text](QvOutlineVC& controller) -> std::optional<LayoutItem> {
    auto* handle = new GtkOutlineViewHandle(controller, text);
    g_object_set_data_full(G_OBJECT(handle->scroll_->gobj()), "qv-outline-view-handle", handle,
                           [](gpointer data) { delete static_cast<GtkOutlineViewHandle*>(data); });
    return item(*handle->scroll_);
  };
}

GtkOutlineViewHandle* GtkOutlineViewHandle::of(Gtk::Widget& view) {
  return static_cast<GtkOutlineViewHandle*>(g_object_get_data(G_OBJECT(view.gobj()), "qv-outline-view-handle"));
}

OutlineItem GtkOutlineViewHandle::lookup(NSOutlineView::Item item) const {
  auto found = items_.find(item);
  if (found == items_.end()) return nullptr;
  return OutlineItem(found->second.first.lock(), found->second.second);
}

void GtkOutlineViewHandle::remember(const OutlineItem& item, NSOutlineView::Item parent) {
  // An address seen again belongs to the newest item made there.
  items_[item.get()] = {item, item.boxer()};
  parents_[item.get()] = parent;
  if (items_.size() < 2 * prunedSize_ + 64) return;
  // Forget items no row holds any longer.
  for (auto entry = items_.begin(); entry != items_.end();) {
    if (entry->second.first.expired()) {
      parents_.erase(entry->first);
      entry = items_.erase(entry);
    } else {
      ++entry;
    }
  }
  prunedSize_ = items_.size();
}

Gtk::Widget* GtkOutlineViewHandle::rowView(NSOutlineView::Item item) {
  const OutlineItem found = lookup(item);
  auto* owner = controller();
  if (!found || !owner) return Gtk::make_managed<Gtk::Label>();
  TableCell cell = owner->viewForItem(found);
  if (!cell) {
    // A plain outline's rows show the item's text.
    cell = makeLabelCell("Content");
    owner->configureCell(*cell, found);
  }
  auto* view = dynamic_cast<GtkTableCellView*>(cell.get());
  if (!view) return Gtk::make_managed<Gtk::Label>();
  // The row takes the widget once this returns; the cell holds it until then.
  shownCell_ = cell;
  return &view->widget();
}

std::function<std::string(const std::any&)> GtkOutlineViewHandle::itemText(bool uppercase) const {
  return [text = text_, uppercase](const std::any& value) {
    const auto* item = std::any_cast<OutlineItem>(&value);
    const std::string title = item && text ? text(*item) : std::string();
    return uppercase ? Fennix::uppercased(title) : title;
  };
}

TableCell GtkOutlineViewHandle::wrap(Gtk::Label& label, const std::string& identifier, bool uppercase) {
  return std::make_shared<GtkTableCellView>(label, identifier, itemText(uppercase));
}

TableCell GtkOutlineViewHandle::makeCell(const std::string& identifier) {
  if (const auto& maker = outlineCellMaker())
    if (TableCell cell = maker(identifier, itemText(false))) return cell;
  return makeLabelCell(identifier);
}

TableCell GtkOutlineViewHandle::makeLabelCell(const std::string& identifier) {
  auto* label = Gtk::make_managed<Gtk::Label>();
  label->set_xalign(0);
  label->set_name(identifier);
  label->set_margin_start(12);
  label->set_margin_bottom(2);
  return wrap(*label, identifier, false);
}

TableCell GtkOutlineViewHandle::makeSourceListHeaderLabel() {
  // The shared factory's heading label (identifier "Header"), spaced from the rows above it.
  QvLabel* label = qv().makeSourceListHeaderLabel();
  label->add_css_class("dim-label");
  label->set_margin_top(8);
  label->set_margin_bottom(2);
  return wrap(*label, "Header", true);
}

TableCell GtkOutlineViewHandle::makeSourceListItemLabel() {
  QvLabel* label = qv().makeSourceListItemLabel();
  label->set_name("Content");
  label->set_margin_start(12);
  label->set_margin_bottom(2);
  return wrap(*label, "Content", false);
}

void GtkOutlineViewHandle::reloadData() {
  items_.clear();
  parents_.clear();
  prunedSize_ = 0;
  outline_->reloadData();
}

bool GtkOutlineViewHandle::hasParent(const OutlineItem& item) const {
  auto found = parents_.find(item.get());
  return found != parents_.end() && found->second != nullptr;
}

std::vector<OutlineItem> GtkOutlineViewHandle::selectedItems() const {
  std::vector<OutlineItem> selected;
  for (auto raw : outline_->selectedItems())
    if (OutlineItem found = lookup(raw)) selected.push_back(std::move(found));
  return selected;
}

void GtkOutlineViewHandle::collapseAll() { outline_->reloadData(); }

void GtkOutlineViewHandle::expandAll(bool children) {
  // Rows grow while items open: walk by row until the end.
  const std::size_t roots = outline_->numberOfRootItems();
  for (std::size_t row = 0; row < outline_->numberOfRows(); ++row) {
    NSOutlineView::Item item = outline_->itemAtRow(row);
    const bool topLevel = !hasParent(lookup(item));
    if (!children && !topLevel) continue;
    outline_->expandItem(item);
  }
  (void)roots;
}

void GtkOutlineViewHandle::relayout() {
  scroll_->queue_resize();
  outline_->queue_draw();
}

}  // namespace Fennix
