#include "Fennix/UI/Common/ViewControllers/GTK/OutlineViewControllerGTK.h"

#include <gtkmm/label.h>

#include "Fennix/Foundation/Formatter.h"
#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/TableCellViewGTK.h"

namespace Fennix {

GtkOutlineViewHandle::GtkOutlineViewHandle(std::shared_ptr<QvOutlineVC> controller,
                                           std::function<std::string(const OutlineItem&)> text)
    : GtkOutlineViewHandle(*controller, std::move(text)) {
  owner_ = std::move(controller);
}

GtkOutlineViewHandle::GtkOutlineViewHandle(QvOutlineVC& controller, std::function<std::string(const OutlineItem&)> text)
    : text_(std::move(text)) {
  controller_ = std::dynamic_pointer_cast<QvOutlineVC>(controller.shared_from_this());
  const bool sourceList = dynamic_cast<QvSourceListVC*>(&controller) != nullptr;
  outline_ = sourceList ? Gtk::make_managed<QvSourceListView>() : Gtk::make_managed<NSOutlineView>();
  scroll_ = Gtk::make_managed<Gtk::ScrolledWindow>();
  scroll_->set_child(*outline_);
  selection_ = outline_->signalSelectionChange().connect([this] {
    if (auto* owner = this->controller()) owner->outlineViewSelectionDidChange();
  });
  outline_->setDataSource({
      [this](NSOutlineView::Item parent) { return childrenOf(parent).size(); },
      [this](std::size_t index, NSOutlineView::Item parent) -> NSOutlineView::Item {
        auto* owner = this->controller();
        auto found = parent ? items_.find(parent) : items_.end();
        if (!owner || (parent && found == items_.end())) return nullptr;
        auto child = owner->child(static_cast<long>(index), parent ? found->second : nullptr);
        return child.get();
      },
      [this](NSOutlineView::Item item) {
        auto found = items_.find(item);
        auto* owner = this->controller();
        return owner && found != items_.end() && owner->isItemExpandable(found->second);
      },
      [this](NSOutlineView&, NSOutlineView::Item item) { return rowView(item); },
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

std::vector<OutlineItem> GtkOutlineViewHandle::childrenOf(NSOutlineView::Item parent) {
  OutlineItem parentItem;
  if (parent) {
    auto found = items_.find(parent);
    if (found == items_.end()) return {};
    parentItem = found->second;
  }
  auto* owner = this->controller();
  if (!owner) return {};
  auto children = owner->children(parentItem).value_or(std::vector<OutlineItem>{});
  for (const auto& child : children) {
    if (!child) continue;
    items_[child.get()] = child;
    parents_[child.get()] = parent;
  }
  return children;
}

Gtk::Widget* GtkOutlineViewHandle::rowView(NSOutlineView::Item item) {
  auto found = items_.find(item);
  auto* owner = controller();
  if (found == items_.end() || !owner) return Gtk::make_managed<Gtk::Label>();
  TableCell cell = owner->viewForItem(found->second);
  if (!cell) {
    // A plain outline's rows show the item's text.
    cell = makeCell("Content");
    owner->configureCell(*cell, found->second);
  }
  auto* view = dynamic_cast<GtkTableCellView*>(cell.get());
  if (!view) return Gtk::make_managed<Gtk::Label>();
  // The row takes the widget once this returns; the cell holds it until then.
  shownCell_ = cell;
  return &view->widget();
}

TableCell GtkOutlineViewHandle::wrap(Gtk::Label& label, const std::string& identifier, bool uppercase) {
  auto text = text_;
  return std::make_shared<GtkTableCellView>(label, identifier, [text, uppercase](const std::any& value) {
    const auto* item = std::any_cast<OutlineItem>(&value);
    const std::string title = item && text ? text(*item) : std::string();
    return uppercase ? Fennix::uppercased(title) : title;
  });
}

TableCell GtkOutlineViewHandle::makeCell(const std::string& identifier) {
  auto* label = Gtk::make_managed<Gtk::Label>();
  label->set_xalign(0);
  label->set_name(identifier);
  label->set_margin_start(12);
  label->set_margin_bottom(2);
  return wrap(*label, identifier, false);
}

TableCell GtkOutlineViewHandle::makeSourceListHeaderLabel() {
  auto* label = Gtk::make_managed<Gtk::Label>();
  label->set_xalign(0);
  label->set_name("Header");
  label->add_css_class("heading");
  label->add_css_class("dim-label");
  label->set_margin_top(8);
  label->set_margin_bottom(2);
  return wrap(*label, "Header", true);
}

TableCell GtkOutlineViewHandle::makeSourceListItemLabel() { return makeCell("Content"); }

void GtkOutlineViewHandle::reloadData() {
  items_.clear();
  parents_.clear();
  outline_->reloadData();
}

bool GtkOutlineViewHandle::hasParent(const OutlineItem& item) const {
  auto found = parents_.find(item.get());
  return found != parents_.end() && found->second != nullptr;
}

std::vector<OutlineItem> GtkOutlineViewHandle::selectedItems() const {
  std::vector<OutlineItem> selected;
  for (auto raw : outline_->selectedItems()) {
    auto found = items_.find(raw);
    if (found != items_.end()) selected.push_back(found->second);
  }
  return selected;
}

void GtkOutlineViewHandle::collapseAll() { outline_->reloadData(); }

void GtkOutlineViewHandle::expandAll(bool children) {
  // Rows grow while items open: walk by row until the end.
  const std::size_t roots = outline_->numberOfRootItems();
  for (std::size_t row = 0; row < outline_->numberOfRows(); ++row) {
    NSOutlineView::Item item = outline_->itemAtRow(row);
    const bool topLevel = !hasParent(items_.count(item) ? items_.at(item) : nullptr);
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
