#include "Fennix/UI/AppKit/Views/GTK/TableViews.h"

#include <algorithm>
#include <cmath>

#include <glibmm/main.h>
#include <gtkmm/columnviewcolumn.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/eventcontrollerlegacy.h>
#include <gtkmm/stylecontext.h>
#include <gtkmm/gestureclick.h>
#include <gtkmm/icontheme.h>
#include <gtkmm/image.h>
#include <gtkmm/revealer.h>
#include <gtkmm/signallistitemfactory.h>
#include <gtkmm/treeexpander.h>

#include "Fennix/UI/Common/ViewControllers/TableCells.h"
#include "Fennix/UI/Common/Views/TableLogic.h"
#include "Platform/TypeName.h"

namespace {

/// A row of a table: its position in the list is its row number. A row inserted with an animation
/// keeps it until its views are first shown.
class RowObject : public Glib::Object {
 public:
  static Glib::RefPtr<Glib::Object> create(unsigned animation = 0) {
    auto* row = new RowObject();
    row->animation = animation;
    return Glib::make_refptr_for_instance<Glib::Object>(row);
  }
  unsigned animation = 0;
};

/// How a revealer shows a row inserted with the table's animation options: fade 1, gap 2, slide
/// up 16, down 32, left 48, right 64; none for no animation.
std::optional<Gtk::RevealerTransitionType> revealTransition(unsigned animation) {
  switch (animation & 0xf0) {
    case 0x10: return Gtk::RevealerTransitionType::SLIDE_UP;
    case 0x20: return Gtk::RevealerTransitionType::SLIDE_DOWN;
    case 0x30: return Gtk::RevealerTransitionType::SLIDE_LEFT;
    case 0x40: return Gtk::RevealerTransitionType::SLIDE_RIGHT;
    default: break;
  }
  if (animation & 0x1) return Gtk::RevealerTransitionType::CROSSFADE;
  if (animation & 0x2) return Gtk::RevealerTransitionType::SLIDE_DOWN;  // the gap opens
  return std::nullopt;
}

/// The revealer that shows a newly inserted row's view, if the view sits in one.
Gtk::Revealer* rowRevealer(Gtk::Widget* child) { return dynamic_cast<Gtk::Revealer*>(child); }

/// An item of an outline, and what keeps it alive when the data source shares it.
class OutlineNode : public Glib::Object {
 public:
  OutlineNode(NSOutlineView::Item value, std::shared_ptr<const void> owner) : item(value), owner_(std::move(owner)) {}
  static Glib::RefPtr<Glib::Object> create(NSOutlineView::Item item, std::shared_ptr<const void> owner = nullptr) {
    return Glib::make_refptr_for_instance<Glib::Object>(new OutlineNode(item, std::move(owner)));
  }
  NSOutlineView::Item item;

 private:
  std::shared_ptr<const void> owner_;
};

NSOutlineView::Item itemOf(const Glib::RefPtr<Gtk::TreeListRow>& row) {
  if (!row) return nullptr;
  auto node = std::dynamic_pointer_cast<OutlineNode>(row->get_item());
  return node ? node->item : nullptr;
}

}  // namespace

// Table.

struct NSTableView::Column {
  NSTableColumn settings;
  std::string identifier;
  Glib::RefPtr<Gtk::ColumnViewColumn> column;
};

NSTableView::NSTableView() {
  rows_ = Gio::ListStore<Glib::Object>::create();
  acceptedSelection_ = Gtk::Bitset::create();
  useSelectionModel(true);
  // A row takes the presses on it for itself and activates on a double click: the table looks at
  // each press first, so that it knows an activation that comes from the pointer.
  auto press = Gtk::GestureClick::create();
  press->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  press->signal_pressed().connect([this, gesture = press.get()](int, double, double) {
    pressEnded_.disconnect();
    pointerPressed_ = true;
    pressTime_ = gesture->get_current_event_time();
  });
  // The row may act on release: the press lasts until the click's events are all handled.
  press->signal_end().connect([this](Gdk::EventSequence*) {
    pressEnded_.disconnect();
    pressEnded_ = Glib::signal_idle().connect([this] {
      pointerPressed_ = false;
      return false;
    });
  });
  add_controller(press);
  // The table sees each release before its rows do; the release is handled once its handlers ran,
  // before the next event.
  auto release = Gtk::EventControllerLegacy::create();
  release->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  release->signal_event().connect(
      [this](const Glib::RefPtr<const Gdk::Event>& event) {
        if (event->get_event_type() != Gdk::Event::Type::BUTTON_RELEASE) return false;
        releasing_ = true;
        releaseSelected_ = false;
        releaseEnded_.disconnect();
        releaseEnded_ = Glib::signal_idle().connect(
            [this] {
              releasing_ = false;
              return false;
            },
            Glib::PRIORITY_HIGH);
        return false;
      },
      false);
  add_controller(release);
  signal_activate().connect([this](guint) {
    // Return on a row activates it too: only a double click runs the double action, once for the
    // press that activated the row and its cells.
    if (!pointerPressed_ || pressTime_ == activatedPressTime_) return;
    activatedPressTime_ = pressTime_;
    if (doubleAction_) doubleAction_(*this);
  });
  auto click = Gtk::GestureClick::create();
  click->set_propagation_phase(Gtk::PropagationPhase::BUBBLE);
  click->signal_released().connect([this](int count, double x, double y) { clicked(count, x, y); });
  add_controller(click);
}

NSTableView::~NSTableView() {
  pressEnded_.disconnect();
  releaseEnded_.disconnect();
  releaseTaken();
  for (auto& [identifier, view] : reusable_) g_object_unref(view->gobj());
}

void NSTableView::releaseTaken() {
  for (Gtk::Widget* view : taken_) g_object_unref(view->gobj());
  taken_.clear();
}

void NSTableView::useSelectionModel(bool multiple) {
  if (multiple) {
    selection_ = Gtk::MultiSelection::create(rows_);
  } else {
    // Made without rows first: a model made with its rows would select the first of them at once.
    auto single = Gtk::SingleSelection::create();
    single->set_autoselect(false);
    single->set_can_unselect(true);
    single->set_model(rows_);
    selection_ = single;
  }
  set_model(selection_);
  selection_->signal_selection_changed().connect([this](guint, guint) {
    if (!selectingInCode_ && releasing_) {
      // The row takes the click its cell took already: a Ctrl+click would take the row it added
      // out again. The selection stays as the first of them left it.
      if (releaseSelected_) {
        ++selectingInCode_;
        replaceSelection(acceptedSelection_);
        --selectingInCode_;
        return;
      }
      releaseSelected_ = true;
    }
    if (!selectingInCode_) filterUserSelection();
    acceptedSelection_ = selection_->get_selection()->copy();
    updateBackgroundStyles();
  });
  // Rows that come and go move the selected rows with them.
  if (auto list = std::dynamic_pointer_cast<Gio::ListModel>(selection_))
    list->signal_items_changed().connect(
        [this](guint, guint, guint) { acceptedSelection_ = selection_->get_selection()->copy(); });
  acceptedSelection_ = selection_->get_selection()->copy();
}

void NSTableView::filterUserSelection() {
  // A table that keeps a selection does not let the user take its last row out.
  if (!allowsEmptySelection_ && selection_->get_selection()->is_empty() && !acceptedSelection_->is_empty()) {
    ++selectingInCode_;
    replaceSelection(acceptedSelection_);
    --selectingInCode_;
    return;
  }
  if (!delegate_.shouldSelectRow) return;
  auto added = selection_->get_selection()->copy();
  added->subtract(acceptedSelection_);
  if (added->is_empty()) return;
  auto refused = Gtk::Bitset::create();
  for (guint i = 0, n = guint(added->get_size()); i < n; ++i) {
    const guint row = added->get_nth(i);
    if (!delegate_.shouldSelectRow(row)) refused->add(row);
  }
  if (refused->is_empty()) return;
  auto kept = selection_->get_selection()->copy();
  if (refused->get_size() == added->get_size()) {
    kept = acceptedSelection_->copy();
  } else {
    kept->subtract(refused);
  }
  ++selectingInCode_;
  replaceSelection(kept);
  --selectingInCode_;
}

void NSTableView::setAllowsMultipleSelection(bool allows) {
  if (allows == allowsMultipleSelection_) return;
  allowsMultipleSelection_ = allows;
  const IndexSet selected = selectedRowIndexes();
  useSelectionModel(allows);
  if (!selected.empty()) selectRowIndexes(allows ? selected : IndexSet{*selected.begin()}, false);
}

void NSTableView::setDataSource(DataSource dataSource) {
  dataSource_ = std::move(dataSource);
  reloadData();
}

void NSTableView::addTableColumn(const std::string& identifier, const std::string& title) {
  addTableColumn(NSTableColumn{identifier, title});
}

void NSTableView::addTableColumn(const NSTableColumn& settings) {
  const std::string& identifier = settings.identifier;
  const std::string& title = settings.title;
  auto column = std::make_unique<Column>();
  column->settings = settings;
  column->identifier = identifier;
  auto factory = Gtk::SignalListItemFactory::create();
  Column* raw = column.get();
  factory->signal_bind().connect([this, raw](const Glib::RefPtr<Gtk::ListItem>& item) { bind(*raw, item); });
  factory->signal_unbind().connect([this](const Glib::RefPtr<Gtk::ListItem>& item) { unbind(item); });
  column->column = Gtk::ColumnViewColumn::create(title, factory);
  column->column->set_expand(true);
  column->column->set_resizable(allowsColumnResizing_);
  append_column(column->column);
  columns_.push_back(std::move(column));
}

std::optional<NSTableColumn> NSTableView::tableColumn(const std::string& identifier) const {
  for (const auto& column : columns_)
    if (column->identifier == identifier) return column->settings;
  return std::nullopt;
}

void NSTableView::setAllowsColumnResizing(bool allows) {
  allowsColumnResizing_ = allows;
  for (const auto& column : columns_) column->column->set_resizable(allows);
}

void NSTableView::setHeaderVisible(bool visible) {
  headerVisible_ = visible;
  if (Gtk::Widget* header = get_first_child()) header->set_visible(visible);
}

std::size_t NSTableView::numberOfRows() const { return rows_->get_n_items(); }
std::size_t NSTableView::numberOfColumns() const { return columns_.size(); }

void NSTableCellView::setObjectValue(std::any value) {
  objectValue_ = std::move(value);
  if (auto* loadable = dynamic_cast<Fennix::QvLoadableCell*>(this)) loadable->loadAnyValue(objectValue_);
  if (objectValueChanged_) objectValueChanged_(objectValue_);
}

void NSTableView::bind(Column& column, const Glib::RefPtr<Gtk::ListItem>& item) {
  if (!dataSource_.viewFor) return;
  const std::size_t row = item->get_position();
  Gtk::Widget* view = dataSource_.viewFor(*this, column.identifier, row);
  if (!view) return;
  if (auto* cell = dynamic_cast<NSTableCellView*>(view)) {
    cell->objectValueChanged_ = nullptr;
    if (dataSource_.objectValue) cell->setObjectValue(dataSource_.objectValue(column.identifier, row));
    cell->objectValueChanged_ = [this, cell](const std::any& value) {
      auto shown = shown_.find(cell);
      if (shown == shown_.end() || !dataSource_.setObjectValue) return;
      dataSource_.setObjectValue(value, columns_[shown->second.first]->identifier, shown->second.second);
    };
  }
  if (view->get_parent()) view->unparent();
  Gtk::Widget* shown = view;
  // A row inserted with an animation comes in through a revealer, once.
  auto rowObject = std::dynamic_pointer_cast<RowObject>(item->get_item());
  const auto transition = rowObject ? revealTransition(rowObject->animation) : std::nullopt;
  if (transition) {
    auto* revealer = Gtk::make_managed<Gtk::Revealer>();
    revealer->set_transition_type(*transition);
    revealer->set_reveal_child(false);
    revealer->set_child(*view);
    revealer->signal_map().connect([revealer] { revealer->set_reveal_child(true); });
    shown = revealer;
    if (&column == columns_.back().get()) rowObject->animation = 0;  // every column's view came in
  }
  // A row view of the delegate holds the first column's cell (one that sits elsewhere is not taken).
  if (&column == columns_.front().get() && delegate_.rowViewFor)
    if (NSTableRowView* holder = delegate_.rowViewFor(row); holder && !holder->get_parent()) {
      holder->setView(shown);
      shown = holder;
    }
  item->set_child(*shown);
  releaseTaken();
  const std::size_t columnIndex = std::size_t(
      std::find_if(columns_.begin(), columns_.end(), [&](const auto& c) { return c.get() == &column; }) -
      columns_.begin());
  shown_[view] = {columnIndex, row};
  if (auto* cell = dynamic_cast<NSTableCellView*>(view))
    cell->setBackgroundStyle(selection_->is_selected(guint(row)) ? NSTableCellView::BackgroundStyle::emphasized
                                                                  : NSTableCellView::BackgroundStyle::normal);
}

void NSTableView::unbind(const Glib::RefPtr<Gtk::ListItem>& item) {
  Gtk::Widget* child = item->get_child();
  if (!child) return;
  // The view leaves the row view that held it and the revealer that brought it in; they go with
  // the row.
  Gtk::Widget* view = child;
  auto* holder = dynamic_cast<NSTableRowView*>(view);
  if (holder) view = holder->view();
  Gtk::Revealer* revealer = view ? rowRevealer(view) : nullptr;
  if (revealer) view = revealer->get_child();
  if (!view) {
    item->unset_child();
    return;
  }
  // The reference keeps the view while it leaves them and the row.
  g_object_ref(view->gobj());
  if (revealer) revealer->unset_child();
  else if (holder) holder->setView(nullptr);
  item->unset_child();
  shown_.erase(view);
  if (auto* cell = dynamic_cast<NSTableCellView*>(view)) cell->objectValueChanged_ = nullptr;
  // Keep the view for reuse under its identifier; views without one are dropped with the row, and
  // so are views beyond what a data source that never takes them back could need.
  const std::string identifier = reuseIdentifier(*view);
  const std::size_t kept = std::max<std::size_t>(32, shown_.size());
  if (!identifier.empty() && reusable_.count(identifier) < kept) {
    g_object_ref(view->gobj());
    reusable_.emplace(identifier, view);
  }
  g_object_unref(view->gobj());
}

std::string NSTableView::reuseIdentifier(Gtk::Widget& view) {
  // A widget without a name of its own answers its type's name.
  const std::string name = view.get_name();
  return name == G_OBJECT_TYPE_NAME(view.gobj()) ? std::string() : name;
}

Gtk::Widget* NSTableView::makeView(const std::string& identifier) {
  auto found = reusable_.find(identifier);
  if (found == reusable_.end()) return nullptr;
  Gtk::Widget* view = found->second;
  // The table's reference keeps the view until the row that takes it holds it.
  reusable_.erase(found);
  taken_.push_back(view);
  return view;
}

void NSTableView::reloadData() {
  const IndexSet selected = selectedRowIndexes();
  const std::size_t count = dataSource_.numberOfRows ? dataSource_.numberOfRows() : 0;
  std::vector<Glib::RefPtr<Glib::Object>> rows(count);
  for (auto& row : rows) row = RowObject::create();
  rows_->splice(0, rows_->get_n_items(), rows);
  reselect(selected);
  invalidateIntrinsicContentSize();
}

void NSTableView::insertRows(const IndexSet& rows, unsigned animation) {
  for (std::size_t row : rows)
    rows_->insert(guint(std::min<std::size_t>(row, rows_->get_n_items())), RowObject::create(animation));
}

void NSTableView::removeRows(const IndexSet& rows, unsigned) {
  for (auto row = rows.rbegin(); row != rows.rend(); ++row)
    if (*row < rows_->get_n_items()) rows_->remove(guint(*row));
}

void NSTableView::reloadData(const IndexSet& rows, const IndexSet&) {
  const IndexSet selected = selectedRowIndexes();
  // A new row object makes the list bind the row's views again.
  for (std::size_t row : rows)
    if (row < rows_->get_n_items()) rows_->splice(guint(row), 1, {RowObject::create()});
  reselect(selected);
}

void NSTableView::reselect(const IndexSet& rows) {
  // New row objects leave the selection; the rows that are still there take it back.
  if (rows.empty() || selectedRowIndexes() == rows) return;
  selectRowIndexes(rows, false);
}

NSTableView::IndexSet NSTableView::selectedRowIndexes() const {
  IndexSet rows;
  auto bitset = selection_->get_selection();
  for (guint i = 0, n = guint(bitset->get_size()); i < n; ++i) rows.insert(bitset->get_nth(i));
  return rows;
}

void NSTableView::selectRowIndexes(const IndexSet& rows, bool extend) {
  ++selectingInCode_;
  selectRows(rows, extend);
  --selectingInCode_;
}

void NSTableView::selectRows(const IndexSet& rows, bool extend) {
  auto selected = Gtk::Bitset::create();
  for (std::size_t row : rows)
    if (row < numberOfRows()) selected->add(guint(row));
  if (!allowsMultipleSelection_) {
    // One row at most: the first asked for, in place of the selection.
    replaceSelection(selected);
    return;
  }
  auto mask = selected;
  if (!extend) {
    mask = Gtk::Bitset::create();
    mask->add_range(0, guint(numberOfRows()));
  }
  selection_->set_selection(selected, mask);
}

void NSTableView::deselectAll() {
  ++selectingInCode_;
  replaceSelection(Gtk::Bitset::create());
  --selectingInCode_;
}

void NSTableView::replaceSelection(const Glib::RefPtr<const Gtk::Bitset>& rows) {
  if (auto single = std::dynamic_pointer_cast<Gtk::SingleSelection>(selection_)) {
    // A single selection takes one row, not a set; it empties only by losing its row (it does not
    // unselect all).
    single->set_selected(rows->is_empty() ? GTK_INVALID_LIST_POSITION : rows->get_minimum());
    return;
  }
  auto all = Gtk::Bitset::create();
  all->add_range(0, rows_->get_n_items());
  selection_->set_selection(rows->copy(), all);
}

long NSTableView::rowAt(double x, double y) {
  for (Gtk::Widget* picked = pick(x, y); picked && picked != this; picked = picked->get_parent()) {
    auto shown = shown_.find(picked);
    if (shown != shown_.end()) return long(shown->second.second);
    // A row binds its views anew when its selection changes: until the next layout the new views
    // have no place, and the point falls on their cell or row, which tells the row by the views
    // it holds.
    const std::string name = gtk_widget_get_css_name(picked->gobj());
    if (name == "cell" || name == "row")
      for (const auto& [view, place] : shown_)
        if (view->is_ancestor(*picked)) return long(place.second);
  }
  return -1;
}

Gtk::Widget* NSTableView::viewAt(std::size_t column, std::size_t row) const {
  for (const auto& [view, place] : shown_)
    if (place.first == column && place.second == row) return view;
  return nullptr;
}

void NSTableView::invalidateIntrinsicContentSize() { queue_resize(); }

void NSTableView::clicked(int count, double x, double y) {
  if (count >= 2 && doubleAction_) {
    if (rowAt(x, y) < 0) doubleAction_(*this);
  } else if (count == 1 && action_) {
    action_(*this);
  }
}

void NSTableView::updateBackgroundStyles() {
  for (const auto& [view, place] : shown_)
    if (auto* cell = dynamic_cast<NSTableCellView*>(view))
      cell->setBackgroundStyle(selection_->is_selected(guint(place.second)) ? NSTableCellView::BackgroundStyle::emphasized
                                                                             : NSTableCellView::BackgroundStyle::normal);
}

QvExtendedTableView::QvExtendedTableView() {
  if (GtkSettings* settings = gtk_settings_get_default()) {
    // The handler is given the table's toolkit object, whose wrapper is the table.
    auto changed = +[](GObject*, GParamSpec*, gpointer view) {
      auto* table = dynamic_cast<QvExtendedTableView*>(Glib::ObjectBase::_get_current_wrapper(G_OBJECT(view)));
      if (table) Fennix::withEffectiveAppearance(*table, [table] { table->onAppearanceChange(); });
    };
    g_signal_connect_object(settings, "notify::gtk-application-prefer-dark-theme", G_CALLBACK(changed), gobj(),
                            GConnectFlags(0));
  }
}

void QvExtendedTableView::clicked(int count, double x, double y) {
  NSTableView::clicked(count, x, y);
  if (Fennix::clickClearsSelection(deselectOnNonRowClick_, allowsEmptySelection(), rowAt(x, y))) deselectAll();
}

std::string QvExtendedTableView::description() {
  return Fennix::tableDescription(Fennix::typeName(typeid(*this)), this, long(numberOfRows()), long(numberOfColumns()));
}

// Scroll views.

QvExtendedScrollView::QvExtendedScrollView() {
  if (GtkSettings* settings = gtk_settings_get_default()) {
    auto changed = +[](GObject*, GParamSpec*, gpointer view) {
      auto* scroll = dynamic_cast<QvExtendedScrollView*>(Glib::ObjectBase::_get_current_wrapper(G_OBJECT(view)));
      if (scroll) Fennix::withEffectiveAppearance(*scroll, [scroll] { scroll->onAppearanceChange(); });
    };
    handlers_[0] = g_signal_connect_object(settings, "notify::gtk-application-prefer-dark-theme", G_CALLBACK(changed),
                                           gobj(), GConnectFlags(0));
    handlers_[1] = g_signal_connect_object(settings, "notify::gtk-theme-name", G_CALLBACK(changed), gobj(),
                                           GConnectFlags(0));
  }
}

QvExtendedScrollView::~QvExtendedScrollView() = default;

QvContentSizedScrollView::QvContentSizedScrollView() {
  set_propagate_natural_width(true);
  set_propagate_natural_height(true);
}

std::optional<CGSize> QvContentSizedScrollView::intrinsicContentSize() {
  Gtk::Widget* document = get_child();
  if (auto* viewport = dynamic_cast<Gtk::Viewport*>(document)) document = viewport->get_child();
  if (!document) return std::nullopt;
  int minimum = 0, width = 0, natural = 0, minimumBaseline = -1, naturalBaseline = -1;
  document->measure(Gtk::Orientation::HORIZONTAL, -1, minimum, width, minimumBaseline, naturalBaseline);
  document->measure(Gtk::Orientation::VERTICAL, -1, minimum, natural, minimumBaseline, naturalBaseline);
  auto* table = dynamic_cast<NSTableView*>(document);
  if (!table || !table->hasHeaderView()) return CGSize{double(width), Fennix::contentSizedHeight(natural, std::nullopt)};
  // The column view measures its header with its rows; the header is its first child.
  int header = 0;
  if (Gtk::Widget* headerView = table->get_first_child()) {
    int headerMinimum = 0;
    headerView->measure(Gtk::Orientation::VERTICAL, -1, headerMinimum, header, minimumBaseline, naturalBaseline);
  }
  return CGSize{double(width), Fennix::contentSizedHeight(natural - header, double(header))};
}

std::optional<double> QvContentSizedScrollView::intrinsicContentHeight() {
  const auto size = intrinsicContentSize();
  return size ? std::optional<double>(size->height) : std::nullopt;
}

void QvContentSizedScrollView::invalidateIntrinsicContentSize() {
  if (auto size = intrinsicContentSize()) {
    set_min_content_width(int(size->width));
    set_min_content_height(int(size->height));
  }
  queue_resize();
}

void QvScrollViewSizingTableView::reloadData() {
  NSTableView::reloadData();
  invalidateIntrinsicContentSize();
}

void QvScrollViewSizingTableView::insertRows(const IndexSet& rows, unsigned animation) {
  NSTableView::insertRows(rows, animation);
  invalidateIntrinsicContentSize();
}

void QvScrollViewSizingTableView::removeRows(const IndexSet& rows, unsigned animation) {
  NSTableView::removeRows(rows, animation);
  invalidateIntrinsicContentSize();
}

void QvScrollViewSizingTableView::invalidateIntrinsicContentSize() {
  NSTableView::invalidateIntrinsicContentSize();
  for (Gtk::Widget* ancestor = get_parent(); ancestor; ancestor = ancestor->get_parent())
    if (auto* scroll = dynamic_cast<QvContentSizedScrollView*>(ancestor)) {
      scroll->invalidateIntrinsicContentSize();
      break;
    } else if (dynamic_cast<Gtk::ScrolledWindow*>(ancestor)) {
      ancestor->queue_resize();
      break;
    }
}

// Outline.

NSOutlineView::NSOutlineView() {
  auto factory = Gtk::SignalListItemFactory::create();
  factory->signal_bind().connect([this](const Glib::RefPtr<Gtk::ListItem>& listItem) { bindRow(listItem); });
  factory->signal_unbind().connect([](const Glib::RefPtr<Gtk::ListItem>& listItem) { listItem->unset_child(); });
  set_factory(factory);
}

void NSOutlineView::bindRow(const Glib::RefPtr<Gtk::ListItem>& listItem) {
  auto row = std::dynamic_pointer_cast<Gtk::TreeListRow>(listItem->get_item());
  const Item item = itemOf(row);
  // Rows the delegate refuses stay selectable for the toolkit, so that keys move the focus across
  // them; the outline puts back a selection that takes one in (selecting them in code works).
  Gtk::Widget* widget = rowWidget(item, row);
  if (!widget) return;
  // The delegate's height and group style go to the row's cell; a row view follows its cell.
  Gtk::Widget* cell = widget;
  if (auto* holder = dynamic_cast<NSTableRowView*>(widget); holder && holder->view()) cell = holder->view();
  if (delegate_.heightOfRow) {
    const double height = delegate_.heightOfRow(item);
    cell->set_size_request(-1, height > 0 ? int(height) : -1);
  }
  if (delegate_.isGroupItem && delegate_.isGroupItem(item)) cell->add_css_class("group-row");
  else cell->remove_css_class("group-row");
  listItem->set_child(*widget);
}

Glib::RefPtr<Gio::ListModel> NSOutlineView::childModel(Item parent) {
  auto store = Gio::ListStore<Glib::Object>::create();
  const std::size_t count = dataSource_.numberOfChildren ? dataSource_.numberOfChildren(parent) : 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (dataSource_.sharedChild) {
      if (auto child = dataSource_.sharedChild(i, parent)) store->append(OutlineNode::create(child.get(), child));
    } else if (Item child = dataSource_.child ? dataSource_.child(i, parent) : nullptr) {
      store->append(OutlineNode::create(child));
    }
  }
  return store;
}

void NSOutlineView::setDataSource(DataSource dataSource) {
  dataSource_ = std::move(dataSource);
  reloadData();
}

void NSOutlineView::reloadData() {
  tree_ = Gtk::TreeListModel::create(childModel(nullptr), [this](const Glib::RefPtr<Glib::ObjectBase>& object) {
    auto node = std::dynamic_pointer_cast<OutlineNode>(object);
    if (!node || !dataSource_.isExpandable || !dataSource_.isExpandable(node->item)) return Glib::RefPtr<Gio::ListModel>();
    return childModel(node->item);
  });
  selection_ = Gtk::MultiSelection::create(tree_);
  acceptedSelection_ = selection_->get_selection()->copy();
  selection_->signal_selection_changed().connect([this](guint, guint) {
    // A refused selection is put back; the outline tells of the selection it keeps.
    if (restoringSelection_ || (!selectingInCode_ && filterUserSelection())) return;
    acceptedSelection_ = selection_->get_selection()->copy();
    selectionChange_.emit();
  });
  // Rows that open, close, come and go move the selected rows with them.
  selection_->signal_items_changed().connect(
      [this](guint, guint, guint) { acceptedSelection_ = selection_->get_selection()->copy(); });
  set_model(selection_);
}

bool NSOutlineView::filterUserSelection() {
  if (!delegate_.shouldSelect) return false;
  auto added = selection_->get_selection()->copy();
  added->subtract(acceptedSelection_);
  auto refused = Gtk::Bitset::create();
  for (guint i = 0, n = guint(added->get_size()); i < n; ++i) {
    const guint row = added->get_nth(i);
    if (!delegate_.shouldSelect(itemAtRow(row))) refused->add(row);
  }
  if (refused->is_empty()) return false;
  auto kept = selection_->get_selection()->copy();
  if (refused->get_size() == added->get_size()) kept = acceptedSelection_->copy();
  else kept->subtract(refused);
  auto all = Gtk::Bitset::create();
  all->add_range(0, guint(numberOfRows()));
  restoringSelection_ = true;
  selection_->set_selection(kept, all);
  restoringSelection_ = false;
  const bool changed = !kept->equals(acceptedSelection_);
  acceptedSelection_ = selection_->get_selection()->copy();
  if (changed) selectionChange_.emit();
  return true;
}

void NSOutlineView::addTableColumn(const NSTableColumn& column) {
  columns_.push_back(column);
  double least = 0;
  for (const auto& each : columns_) least = std::max(least, each.minWidth);
  int width = -1, height = -1;
  get_size_request(width, height);
  set_size_request(std::max(width, int(std::ceil(least))), height);
}

const NSTableColumn* NSOutlineView::outlineTableColumn() const {
  if (!outlineColumn_) return nullptr;
  for (const auto& column : columns_)
    if (column.identifier == *outlineColumn_) return &column;
  return nullptr;
}

std::size_t NSOutlineView::numberOfRows() const { return tree_ ? tree_->get_n_items() : 0; }

Glib::RefPtr<Gtk::TreeListRow> NSOutlineView::rowObject(std::size_t row) const {
  if (!tree_ || row >= numberOfRows()) return {};
  return const_cast<Gtk::TreeListModel&>(*tree_).get_row(guint(row));
}

NSOutlineView::Item NSOutlineView::itemAtRow(std::size_t row) const { return itemOf(rowObject(row)); }

long NSOutlineView::rowForItem(Item item) const {
  for (std::size_t row = 0, n = numberOfRows(); row < n; ++row)
    if (item && itemAtRow(row) == item) return long(row);
  return -1;
}

void NSOutlineView::expandItem(Item item) {
  const long row = rowForItem(item);
  if (row >= 0) rowObject(std::size_t(row))->set_expanded(true);
}

void NSOutlineView::collapseItem(Item item) {
  const long row = rowForItem(item);
  if (row >= 0) rowObject(std::size_t(row))->set_expanded(false);
}

bool NSOutlineView::isItemExpanded(Item item) const {
  const long row = rowForItem(item);
  return row >= 0 && rowObject(std::size_t(row))->get_expanded();
}

std::set<long> NSOutlineView::selectedRowIndexes() const {
  std::set<long> rows;
  if (!selection_) return rows;
  auto bitset = selection_->get_selection();
  for (guint i = 0, n = guint(bitset->get_size()); i < n; ++i) rows.insert(long(bitset->get_nth(i)));
  return rows;
}

void NSOutlineView::selectRowIndexes(const std::set<long>& rows, bool extend) {
  if (!selection_) return;
  auto selected = Gtk::Bitset::create();
  for (long row : rows)
    if (row >= 0 && std::size_t(row) < numberOfRows()) selected->add(guint(row));
  auto mask = selected;
  if (!extend) {
    mask = Gtk::Bitset::create();
    mask->add_range(0, guint(numberOfRows()));
  }
  ++selectingInCode_;
  selection_->set_selection(selected, mask);
  --selectingInCode_;
}

void NSOutlineView::deselectAll() {
  if (!selection_) return;
  ++selectingInCode_;
  selection_->unselect_all();
  --selectingInCode_;
}

std::vector<NSOutlineView::Item> NSOutlineView::selectedItems() const {
  std::vector<Item> items;
  for (long row : selectedRowIndexes())
    if (Item item = itemAtRow(std::size_t(row))) items.push_back(item);
  return items;
}

void NSOutlineView::setSelectedItems(const std::vector<Item>& items) {
  std::vector<long> rows;
  for (Item item : items) rows.push_back(rowForItem(item));
  const auto selection = Fennix::selectionForItems(selectedRowIndexes(), rows);
  if (!selection) return;
  if (selection->empty()) deselectAll();
  else selectRowIndexes(*selection, false);
}

NSOutlineView::Item NSOutlineView::selectedItem() const {
  const auto items = selectedItems();
  return items.empty() ? nullptr : items.front();
}

void NSOutlineView::setSelectedItem(Item item) { setSelectedItems(item ? std::vector<Item>{item} : std::vector<Item>{}); }

std::vector<NSOutlineView::Item> NSOutlineView::children(Item item) const {
  std::vector<Item> result;
  if (dataSource_.sharedChild) {
    // Items made afresh live only in the tree: the root's, or those of an opened row.
    Glib::RefPtr<Gio::ListModel> model;
    if (!item) {
      if (tree_) model = const_cast<Gtk::TreeListModel&>(*tree_).get_model();
    } else if (const long row = rowForItem(item); row >= 0) {
      model = rowObject(std::size_t(row))->get_children();
    }
    for (guint i = 0, n = model ? model->get_n_items() : 0; i < n; ++i)
      if (auto node = std::dynamic_pointer_cast<OutlineNode>(model->get_object(i))) result.push_back(node->item);
    return result;
  }
  const std::size_t count = dataSource_.numberOfChildren ? dataSource_.numberOfChildren(item) : 0;
  for (std::size_t i = 0; i < count; ++i)
    if (Item child = dataSource_.child ? dataSource_.child(i, item) : nullptr) result.push_back(child);
  return result;
}

std::size_t NSOutlineView::numberOfRootItems() const {
  return dataSource_.numberOfChildren ? dataSource_.numberOfChildren(nullptr) : 0;
}

std::vector<NSOutlineView::Item> NSOutlineView::expandedRootItems() const {
  std::vector<Item> result;
  for (Item item : children(nullptr))
    if (isItemExpanded(item)) result.push_back(item);
  return result;
}

Gtk::Widget* NSOutlineView::rowView(Item item) {
  return dataSource_.viewFor ? dataSource_.viewFor(*this, item) : nullptr;
}

NSTableRowView* NSOutlineView::delegateRowView(Item item) {
  return delegate_.rowViewFor ? delegate_.rowViewFor(item) : nullptr;
}

Gtk::Widget* NSOutlineView::rowWidget(Item item, const Glib::RefPtr<Gtk::TreeListRow>& row) {
  Gtk::Widget* view = rowView(item);
  auto* expander = Gtk::make_managed<Gtk::TreeExpander>();
  expander->set_list_row(row);
  if (view) expander->set_child(*view);
  // A row view of the delegate holds the expander across the row (one that another row holds is
  // not taken from it).
  NSTableRowView* holder = delegateRowView(item);
  if (!holder || holder->get_parent()) return expander;
  holder->setView(expander);
  return holder;
}

// Row views.

namespace {

/// The style class a row view gives the row that holds it while it is not emphasized.
constexpr const char* unemphasizedRow = "qv-unemphasized";

/// Whether a widget is a row of a list (the rows of outlines, source lists and tables are).
bool isListRow(Gtk::Widget& widget) {
  Gtk::Widget* list = widget.get_parent();
  return list && GTK_IS_LIST_VIEW(list->gobj()) && std::string(gtk_widget_get_css_name(widget.gobj())) == "row";
}

/// The row of a list that a row view in `parent` stands for: `parent` itself when it is such a row,
/// or the row of a table's cell; none elsewhere.
Gtk::Widget* listRowOf(Gtk::Widget* parent) {
  if (parent && std::string(gtk_widget_get_css_name(parent->gobj())) == "cell") parent = parent->get_parent();
  return parent && isListRow(*parent) ? parent : nullptr;
}

}  // namespace

NSTableRowView::NSTableRowView() : Gtk::Box(Gtk::Orientation::HORIZONTAL, 0) {
  static bool styled = false;
  if (!styled) {
    styled = true;
    // A selected row whose row view is not emphasized takes the sidebar's muted look in any list,
    // as it does in a source list (whose sidebar look the theme draws itself).
    auto css = Gtk::CssProvider::create();
    css->load_from_data(
        "listview:not(.navigation-sidebar) > row.qv-unemphasized:selected {"
        " background-color: shade(@theme_bg_color, 0.94); color: inherit; }\n"
        "listview:not(.navigation-sidebar) > row.qv-unemphasized:selected:hover {"
        " background-color: shade(@theme_bg_color, 0.89); }");
    Gtk::StyleContext::add_provider_for_display(get_display(), css, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  }
  // The cell fills the row, as it would without a row view.
  set_homogeneous(true);
  g_weak_ref_init(&styledRow_, nullptr);
  parentChanged_ =
      property_parent().signal_changed().connect(sigc::mem_fun(*this, &NSTableRowView::updateRowStyle));
}

void NSTableRowView::setEmphasized(bool emphasized) {
  emphasized_ = emphasized;
  updateRowStyle();
}

bool NSTableRowView::isSelected() const {
  const Gtk::Widget* row = listRowOf(const_cast<NSTableRowView*>(this)->get_parent());
  return row && (row->get_state_flags() & Gtk::StateFlags::SELECTED) == Gtk::StateFlags::SELECTED;
}

void NSTableRowView::setView(Gtk::Widget* view) {
  if (view && view == get_first_child() && !view->get_next_sibling()) return;
  // The view may be shown here already, or in another row: the reference keeps it alive while the
  // other views leave and it moves.
  if (view) g_object_ref(view->gobj());
  for (Gtk::Widget* shown = get_first_child(); shown;) {
    Gtk::Widget* next = shown->get_next_sibling();
    if (shown != view) remove(*shown);
    shown = next;
  }
  if (!view) return;
  if (view->get_parent() != this) {
    if (view->get_parent()) view->unparent();
    append(*view);
  }
  g_object_unref(view->gobj());
}

NSTableRowView::~NSTableRowView() {
  parentChanged_.disconnect();
  // The row keeps no look of a row view that is gone.
  if (Gtk::Widget* row = styledRow()) row->remove_css_class(unemphasizedRow);
  g_weak_ref_clear(&styledRow_);
}

Gtk::Widget* NSTableRowView::styledRow() const {
  auto* object = static_cast<GObject*>(g_weak_ref_get(&styledRow_));
  if (!object) return nullptr;
  // The row lives on while it is somebody's (it is shown, or holds this row view): the reference
  // taken here is only for the look-up.
  Gtk::Widget* row = Glib::wrap(GTK_WIDGET(object));
  g_object_unref(object);
  return row;
}

void NSTableRowView::updateRowStyle() {
  // Only a row of a list takes the look; a row this view has left drops it.
  Gtk::Widget* row = listRowOf(get_parent());
  Gtk::Widget* styled = styledRow();
  if (styled && styled != row) styled->remove_css_class(unemphasizedRow);
  g_weak_ref_set(&styledRow_, row ? row->gobj() : nullptr);
  if (!row) return;
  if (isEmphasized()) row->remove_css_class(unemphasizedRow);
  else row->add_css_class(unemphasizedRow);
}

QvSourceListView::QvSourceListView() {
  static bool styled = false;
  if (!styled) {
    styled = true;
    // Rows are as tall as the delegate says: the theme's least row height and padding give way.
    // A selected row is drawn as the list's row view says: emphasized in the accent colour, else
    // in the sidebar's muted look.
    auto css = Gtk::CssProvider::create();
    css->load_from_data(
        ".qv-source-list > row { min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
        ".qv-source-list > row:selected:not(.qv-unemphasized) {"
        " background-color: @theme_selected_bg_color; color: @theme_selected_fg_color; }");
    Gtk::StyleContext::add_provider_for_display(get_display(), css, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  }
  add_css_class("qv-source-list");
  // The sidebar look: its rows' shape and its muted selection, which rows whose row view is not
  // emphasized keep.
  add_css_class("navigation-sidebar");
}

Gtk::Widget* QvSourceListView::rowWidget(Item item, const Glib::RefPtr<Gtk::TreeListRow>& row) {
  // No disclosure triangle: the view alone in its row view, indented by its depth. It never goes
  // through an expander, whose release would destroy it before the row takes it.
  Gtk::Widget* view = rowView(item);
  if (!view) return nullptr;
  view->set_margin_start(int(double(row->get_depth()) * indentationPerLevel_));
  NSTableRowView* holder = delegateRowView(item);
  if (!holder || holder->get_parent()) return view;
  holder->setView(view);
  return holder;
}

// Buttons under a table.

namespace {

bool hasIcon(const std::string& name) {
  auto display = Gdk::Display::get_default();
  return display && !name.empty() && Gtk::IconTheme::get_for_display(display)->has_icon(name);
}

}  // namespace

QvTableViewButtons::QvTableViewButtons(const std::vector<Fennix::ImagePtr>& images, double buttonWidth)
    : Gtk::Box(Gtk::Orientation::HORIZONTAL, 0) {
  std::vector<SegmentImage> segments;
  for (const auto& image : images)
    if (image) segments.emplace_back(image);
  makeSegments(segments, buttonWidth);
}

QvTableViewButtons::QvTableViewButtons(const std::vector<std::string>& iconNames, double buttonWidth)
    : Gtk::Box(Gtk::Orientation::HORIZONTAL, 0) {
  std::vector<SegmentImage> segments;
  for (const auto& name : iconNames)
    if (hasIcon(name)) segments.emplace_back(name);
  makeSegments(segments, buttonWidth);
}

QvTableViewButtons::QvTableViewButtons(const std::vector<std::any>& images, double buttonWidth)
    : Gtk::Box(Gtk::Orientation::HORIZONTAL, 0) {
  std::vector<SegmentImage> segments;
  for (const std::any& value : images) {
    if (const auto* image = std::any_cast<Fennix::ImagePtr>(&value)) {
      if (*image) segments.emplace_back(*image);
    } else if (const auto* name = std::any_cast<std::string>(&value)) {
      if (hasIcon(*name)) segments.emplace_back(*name);
    } else if (const auto* text = std::any_cast<const char*>(&value)) {
      if (*text && hasIcon(*text)) segments.emplace_back(std::string(*text));
    }
  }
  makeSegments(segments, buttonWidth);
}

Fennix::ImagePtr QvTableViewButtons::segmentImage(int index) const {
  if (index < 0 || std::size_t(index) >= images_.size()) return nullptr;
  return images_[std::size_t(index)];
}

void QvTableViewButtons::makeSegments(const std::vector<SegmentImage>& images, double buttonWidth) {
  add_css_class("linked");
  int index = 0;
  for (const SegmentImage& image : images) {
    auto* button = Gtk::make_managed<Gtk::Button>();
    if (const auto* name = std::get_if<std::string>(&image)) {
      button->set_icon_name(*name);
      images_.push_back(nullptr);
    } else {
      const Fennix::ImagePtr& picture = std::get<Fennix::ImagePtr>(image);
      if (auto pixels = picture->renderedPixels()) button->set_child(*Gtk::make_managed<Gtk::Image>(pixels));
      images_.push_back(picture);
    }
    button->add_css_class("flat");
    if (buttonWidth > 0) button->set_size_request(int(buttonWidth), -1);
    button->signal_clicked().connect([this, index] {
      if (action_) action_(*this, index);
    });
    append(*button);
    segments_.push_back(button);
    ++index;
  }
  // The filler: disabled, it takes the rest of the width.
  auto* filler = Gtk::make_managed<Gtk::Button>();
  filler->set_sensitive(false);
  filler->set_hexpand(true);
  append(*filler);
  segments_.push_back(filler);
  set_hexpand(true);
  minimumWidth_ = Fennix::TableButtonsLayout::minimumWidth(buttonWidth, long(segments_.size()) - 1);
  if (minimumWidth_) set_size_request(int(*minimumWidth_), -1);
}
