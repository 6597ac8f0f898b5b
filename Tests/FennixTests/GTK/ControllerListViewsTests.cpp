// Tables, source lists and left-aligned collections of the controllers on the toolkit, in windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/treeexpander.h>
#include <gtkmm/window.h>

#include "Fennix/UI/Common/CVLayouts/GTK/CollectionViewGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/OutlineViewControllerGTK.h"
#include "Fennix/UI/Common/GTK/AutoLayoutGTK.h"
#include "PortKit/GTK/TableCellsGTK.h"
#include "PortKit/GTK/TableViewControllerGTK.h"
#include "ViewKitWindowSupport.h"
#include "XDriver/WidgetInput.h"


using namespace ViewKitWindowSupport;

namespace {

struct ListWindowTest : WindowTest {
  using WindowTest::show;
};

std::vector<std::string> shownTexts(NSTableView& table, std::size_t rows) {
  std::vector<std::string> texts;
  for (std::size_t row = 0; row < rows; ++row) {
    // The controller's rows are portable table cells.
    auto* cell = dynamic_cast<NSTableViewCell*>(table.viewAt(0, row));
    Gtk::Label* label = cell ? cell->storedTextLabel() : nullptr;
    texts.push_back(label && label->get_mapped() ? std::string(label->get_text()) : "?");
  }
  return texts;
}

TEST_F(ListWindowTest, RowsDraggedWithinTheTableReorderIt) {
  auto controller = NSViewController::make<QvTableViewController<std::string>>();
  controller->arrangedObjects = {"Alpha", "Bravo", "Charlie", "Delta"};
  controller->allowRowReordering = true;
  std::vector<std::string> activated;
  controller->onRowActivation([&](const std::string& value) { activated.push_back(value); });
  Fennix::GtkTableViewHandle<std::string> handle(controller, [](const std::string& text) { return text; });
  show(handle.view(), 240, 200);
  EXPECT_EQ(handle.registeredTypes().front(), Fennix::QvIndexSetPboardType());
  EXPECT_EQ(shownTexts(handle.table(), 4), (std::vector<std::string>{"Alpha", "Bravo", "Charlie", "Delta"}));
  saveScreenshot(*window, "table-before-drag");

  // Drag the first row by its label and drop it on the lower half of the third row.
  Gtk::Widget* third = handle.table().viewAt(0, 2);
  ASSERT_NE(third, nullptr);
  double x = 0, y = 0;
  ASSERT_TRUE(third->translate_coordinates(handle.table(), 10, third->get_height() * 0.75, x, y));
  auto content = handle.beginRowDrag(0);
  ASSERT_TRUE(content);
  EXPECT_TRUE(content->ref_formats()->contain_mime_type(Fennix::indexSetMimeType()));
  EXPECT_EQ(handle.validate(Fennix::DraggingInfo::Source::thisTable, x, y), Fennix::NSDragOperation::link);
  EXPECT_TRUE(handle.performDrop({Fennix::DraggingInfo::Source::thisTable, {}}, x, y));
  pumpFrames();
  EXPECT_EQ(controller->arrangedObjects, (std::vector<std::string>{"Bravo", "Charlie", "Alpha", "Delta"}));
  EXPECT_EQ(shownTexts(handle.table(), 4), controller->arrangedObjects);
  saveScreenshot(*window, "table-after-drag");

  // Text from elsewhere is refused by the base controller.
  EXPECT_FALSE(handle.performDrop({Fennix::DraggingInfo::Source::other, {{Fennix::QvStringPboardType(), "x"}}}, x, y));
  EXPECT_EQ(controller->count(), 4);
}

TEST_F(ListWindowTest, ARealPointerDragReordersTheTable) {
  auto controller = NSViewController::make<QvTableViewController<std::string>>();
  controller->arrangedObjects = {"Alpha", "Bravo", "Charlie", "Delta"};
  controller->allowRowReordering = true;
  Fennix::GtkTableViewHandle<std::string> handle(controller, [](const std::string& text) { return text; });
  show(handle.view(), 240, 200);
  auto pointer = WidgetInput::Input::open(*window);
  if (!pointer) GTEST_SKIP() << "no pointer events on this display";
  Gtk::Widget* first = handle.table().viewAt(0, 0);
  Gtk::Widget* third = handle.table().viewAt(0, 2);
  ASSERT_TRUE(first && third);

  const auto from = pointer->onScreen(*first, 10, first->get_height() / 2.0);
  const auto to = pointer->onScreen(*third, 10, third->get_height() * 0.75);
  pointer->moveTo(from);
  pointer->press();
  for (int step = 1; step <= 10; ++step)
    pointer->moveTo({from.first + (to.first - from.first) * step / 10, from.second + (to.second - from.second) * step / 10});
  EXPECT_EQ(controller->dragSourceIndex, 0);  // the label's drag source started the drag
  pointer->release();
  pumpUntil([&] { return controller->arrangedObjects.front() != "Alpha"; });
  pumpFrames();
  EXPECT_EQ(controller->arrangedObjects, (std::vector<std::string>{"Bravo", "Charlie", "Alpha", "Delta"}));
  EXPECT_EQ(shownTexts(handle.table(), 4), controller->arrangedObjects);
  saveScreenshot(*window, "table-after-pointer-drag");
}

struct InsetTable : QvTableViewController<std::string> {
  std::optional<double> tableViewInset() const override { return 10; }
};

TEST_F(ListWindowTest, TheTableControllersViewIsItsTableInAScrollView) {
  Fennix::installControllerKitsGTK();
  Fennix::GtkTableViewHandle<std::string>::install([](const std::string& text) { return text; });
  auto controller = NSViewController::make<InsetTable>();
  controller->arrangedObjects = {"Alpha", "Bravo"};
  auto* scroll = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::controllerWidget(*controller));
  ASSERT_NE(scroll, nullptr);
  auto* handle = Fennix::GtkTableViewHandle<std::string>::of(*scroll);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(controller->tableView(), handle);
  EXPECT_EQ(handle->table().get_margin_top(), 10);
  EXPECT_EQ(handle->table().get_margin_start(), 10);
  show(*scroll, 240, 200);
  EXPECT_EQ(shownTexts(handle->table(), 2), controller->arrangedObjects);
  // No row is lower than the table's row height.
  for (std::size_t row = 0; row < 2; ++row) EXPECT_GE(handle->table().viewAt(0, row)->get_height(), handle->rowHeight());

  // The window outlives the controller: the table is left empty, nothing reaches the controller.
  window->unset_child();
  controller.reset();
  pumpFrames();
  QvTableViewControllerBase<std::string>::tableViewMaker = nullptr;
}

/// A controller built only on the table base class: no data source, no delegate.
struct BaseOnlyTable : QvTableViewControllerBase<std::string> {
  std::optional<double> tableViewInset() const override { return 6; }
};

TEST_F(ListWindowTest, AControllerOnTheTableBaseClassGetsTheTableInAScrollView) {
  Fennix::installControllerKitsGTK();
  Fennix::GtkTableViewHandle<std::string>::install([](const std::string& text) { return text; });
  auto controller = NSViewController::make<BaseOnlyTable>();
  controller->arrangedObjects = {"Alpha", "Bravo"};
  controller->externalDropTypes = {"text/uri-list"};
  auto* scroll = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::controllerWidget(*controller));
  ASSERT_NE(scroll, nullptr);
  auto* handle = Fennix::GtkTableViewHandle<std::string>::of(*scroll);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(scroll->get_child(), &handle->table());
  EXPECT_EQ(controller->tableView(), handle);
  EXPECT_EQ(handle->table().get_margin_top(), 6);
  EXPECT_EQ(handle->table().numberOfColumns(), 1u);
  EXPECT_EQ(handle->registeredTypes(), (std::vector<NSPasteboardType>{Fennix::QvStringPboardType(), "text/uri-list"}));
  show(*scroll, 240, 160);
  saveScreenshot(*window, "table-of-the-base-controller");
  // Nothing answers for the table's data: it shows no rows and refuses drops.
  EXPECT_EQ(handle->table().numberOfRows(), 0u);
  EXPECT_FALSE(handle->performDrop({Fennix::DraggingInfo::Source::other, {{Fennix::QvStringPboardType(), "x"}}}, 20, 20));
  EXPECT_EQ(controller->count(), 2);

  window->unset_child();
  controller.reset();
  pumpFrames();
  QvTableViewControllerBase<std::string>::tableViewMaker = nullptr;
}

/// A typed cell with a field the user edits; its value goes back to the table when the user
/// presses Return in it.
struct NameCell : QvValueTableViewCell<std::string> {
  using QvValueTableViewCell::QvValueTableViewCell;
  std::vector<std::string> hooks;
  Gtk::Entry* field = nullptr;
  void onInit() override {
    hooks.push_back("init");
    field = Gtk::make_managed<Gtk::Entry>();
    qvAdd(*this, std::nullopt, *field, std::nullopt, "H:|-4-[self(120)]", "V:|-2-[self]-2-|");
    field->signal_activate().connect([this] { setObjectValue(std::string(field->get_text())); });
  }
  void loadValue(const std::optional<std::string>& value) override {
    QvValueTableViewCell::loadValue(value);
    hooks.push_back(value ? "load " + *value : std::string("load -"));
    if (field) field->set_text(value.value_or(""));
  }
};

/// Names in typed cells: rows of their own heights, a middle row that clicks cannot select, and
/// drops of shapes from elsewhere in the application.
struct Names : QvTableViewController<std::string> {
  static inline const std::string shapeType = "application/x-quarvel-test-shape";
  Names() { externalDropTypes = {shapeType}; }
  Fennix::TableCell makeCell(const std::string& identifier, long, Fennix::TableViewHandle&) override {
    return std::make_shared<Fennix::GtkTableViewCellView>(*NameCell::withID<NameCell>(identifier), identifier, nullptr);
  }
  // The cells show their value through the table's object value.
  void loadValue(const std::optional<std::string>&, Fennix::TableCellView&) override {}
  double heightOfRow(Fennix::TableViewHandle&, long row) override { return 40 + 10 * double(row); }
  bool shouldSelectRow(long row) const override { return row != 1; }
  std::optional<std::vector<std::string>> createObjects(const Fennix::DraggingInfo&, long row,
                                                        const std::map<NSPasteboardType, std::string>& pasteboard) override {
    auto shape = pasteboard.find(shapeType);
    if (shape == pasteboard.end()) return std::nullopt;
    arrangedObjects.insert(arrangedObjects.begin() + std::clamp(row, 0L, count()), shape->second);
    return std::vector<std::string>{shape->second};
  }
};

NameCell* nameCell(NSTableView& table, std::size_t row) { return dynamic_cast<NameCell*>(table.viewAt(0, row)); }

TEST_F(ListWindowTest, TheTableShowsTypedCellsAndAsksItsControllerAboutRows) {
  Fennix::installControllerKitsGTK();
  Fennix::GtkTableViewHandle<std::string>::install([](const std::string& text) { return text; });
  auto names = NSViewController::make<Names>();
  names->arrangedObjects = {"Alpha", "Bravo", "Charlie"};
  auto* scroll = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::controllerWidget(*names));
  ASSERT_NE(scroll, nullptr);
  auto& table = Fennix::GtkTableViewHandle<std::string>::of(*scroll)->table();
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
  auto* source = Gtk::make_managed<Gtk::Label>("Star shape");
  source->set_size_request(-1, 30);
  auto drag = Gtk::DragSource::create();
  drag->set_actions(Gdk::DragAction::COPY);
  drag->signal_prepare().connect(
      [](double, double) {
        static const std::string star = "Star";
        return Gdk::ContentProvider::create(Names::shapeType, Glib::Bytes::create(star.data(), star.size()));
      },
      false);
  source->add_controller(drag);
  box->append(*source);
  scroll->set_vexpand(true);
  box->append(*scroll);
  show(*box, 260, 320);

  // Every cell ran its hooks when it was made, then showed its row's value.
  for (std::size_t row = 0; row < 3; ++row) {
    NameCell* cell = nameCell(table, row);
    ASSERT_NE(cell, nullptr);
    ASSERT_GE(cell->hooks.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(cell->hooks.begin(), cell->hooks.begin() + 2),
              (std::vector<std::string>{"init", "load -"}));
    EXPECT_EQ(cell->representedObject, names->arrangedObjects[row]);
    EXPECT_EQ(std::string(cell->field->get_text()), names->arrangedObjects[row]);
    EXPECT_EQ(std::string(cell->get_name()), "cell");
    EXPECT_EQ(cell->get_height(), 40 + 10 * int(row));
  }
  saveScreenshot(*window, "table-typed-cells");

  auto pointer = WidgetInput::Input::open(*window);
  if (!pointer) GTEST_SKIP() << "no pointer events on this display";
  auto clickRow = [&](std::size_t row) {
    NSTableViewCell* cell = nameCell(table, row);
    pointer->click(*cell, cell->get_width() - 10, cell->get_height() / 2.0);
  };
  // Clicks select rows the controller lets them select, and no other.
  clickRow(1);
  EXPECT_TRUE(table.selectedRowIndexes().empty());
  clickRow(2);
  EXPECT_EQ(table.selectedRowIndexes(), (NSTableView::IndexSet{2}));

  // Text typed into the first row's field goes back into the controller's list.
  NameCell* first = nameCell(table, 0);
  pointer->click(*first->field, 20, first->field->get_height() / 2.0);
  ASSERT_TRUE(pumpUntil([&] {
    Gtk::Widget* focus = window->get_focus();
    return focus && (focus == first->field || focus->is_ancestor(*first->field));
  }));
  for (const char* key : {"End", "2", "Return"}) ASSERT_TRUE(pointer->key(key)) << key;
  EXPECT_TRUE(pumpUntil([&] { return names->arrangedObjects[0] == "Alpha2"; }));
  EXPECT_EQ(names->arrangedObjects[0], "Alpha2");

  // A shape dragged from elsewhere in the window lands above the row it is dropped on.
  NSTableViewCell* third = nameCell(table, 2);
  const auto from = pointer->onScreen(*source, 20, 15);
  const auto to = pointer->onScreen(*third, 200, 10);
  pointer->drag(from, to, 10);
  ASSERT_TRUE(pumpUntil([&] { return names->count() == 4; }));
  pumpFrames();
  EXPECT_EQ(names->arrangedObjects, (std::vector<std::string>{"Alpha2", "Bravo", "Star", "Charlie"}));
  ASSERT_NE(nameCell(table, 2), nullptr);
  EXPECT_EQ(std::string(nameCell(table, 2)->field->get_text()), "Star");
  saveScreenshot(*window, "table-after-shape-drop");

  window->unset_child();
  names.reset();
  pumpFrames();
  QvTableViewControllerBase<std::string>::tableViewMaker = nullptr;
}

struct Shape {
  std::string name;
};
/// An object cell that shows its shape's name in its text label.
struct ShapeCell : QvObjectTableViewCell<Shape> {
  using QvObjectTableViewCell::QvObjectTableViewCell;
  std::vector<std::string> hooks;
  void onInit() override { hooks.push_back("init"); }
  void loadValue(const std::shared_ptr<Shape>& value) override {
    QvObjectTableViewCell::loadValue(value);
    hooks.push_back(value ? "load " + value->name : std::string("load -"));
    textLabel()->set_text(value ? value->name : "none");
  }
};

TEST_F(ListWindowTest, AnObjectCellRunsItsHooksWhenMade) {
  auto* cell = ShapeCell::withID<ShapeCell>("shape");
  EXPECT_EQ(cell->hooks, (std::vector<std::string>{"init", "load -"}));
  EXPECT_FALSE(cell->representedObject);
  EXPECT_EQ(std::string(cell->get_name()), "shape");
  show(*cell, 200, 60);
  Fennix::QvLoadableCell& loadable = *cell;
  loadable.loadAnyValue(std::make_shared<Shape>(Shape{"Star"}));
  pumpFrames();
  EXPECT_EQ(std::string(cell->textLabel()->get_text()), "Star");
  loadable.loadAnyValue(std::string("not a shape"));
  EXPECT_FALSE(cell->representedObject);
  EXPECT_EQ(cell->hooks.back(), "load -");
}

struct Entry {
  std::string name;
  std::vector<Fennix::OutlineItem> children;
};
Fennix::OutlineItem entry(std::string name, std::vector<Fennix::OutlineItem> children = {}) {
  return std::make_shared<Entry>(Entry{std::move(name), std::move(children)});
}

struct Library : QvSourceListVC {
  std::vector<Fennix::OutlineItem> roots{
      entry("Library", {entry("Shapes"), entry("Emoji"), entry("Icons")}),
      entry("Recent", {entry("badge.svg"), entry("star.svg")}),
  };
  int expanded = 0;
  std::vector<std::size_t> selections;
  std::optional<std::vector<Fennix::OutlineItem>> children(const Fennix::OutlineItem& item) override {
    if (!item) return roots;
    return static_cast<Entry*>(item.get())->children;
  }
  void onStartupDidExpand() override { ++expanded; }
  void selectionChanged(const Fennix::OutlineSelection& selection) override {
    if (std::holds_alternative<std::monostate>(selection)) selections.push_back(0);
    if (std::holds_alternative<Fennix::OutlineItem>(selection)) selections.push_back(1);
    if (auto* many = std::get_if<std::vector<Fennix::OutlineItem>>(&selection)) selections.push_back(many->size());
  }
};

TEST_F(ListWindowTest, ASourceListOpensByItselfOnceItsViewHasLoaded) {
  Fennix::installControllerKitsGTK();
  Fennix::GtkOutlineViewHandle::install([](const Fennix::OutlineItem& item) { return static_cast<Entry*>(item.get())->name; });
  auto library = NSViewController::make<Library>();
  auto* scroll = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::controllerWidget(*library));
  ASSERT_NE(scroll, nullptr);
  auto* handle = Fennix::GtkOutlineViewHandle::of(*scroll);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(handle->outline().numberOfRows(), 2u);  // collapsed for the loading pass
  EXPECT_EQ(library->expanded, 0);
  show(*scroll, 220, 300);
  ASSERT_TRUE(pumpUntil([&] { return library->expanded == 1; }));
  pumpFrames();
  EXPECT_EQ(handle->outline().numberOfRows(), 7u);
  saveScreenshot(*window, "source-list");

  handle->outline().selectRowIndexes({1}, false);
  handle->outline().selectRowIndexes({1, 2, 3}, false);
  handle->outline().deselectAll();
  pumpFrames(5);
  EXPECT_EQ(library->selections, (std::vector<std::size_t>{1, 3, 0}));
  window->unset_child();
  library.reset();
  pumpFrames();
  QvOutlineVC::outlineViewMaker = nullptr;
}

std::vector<Gtk::Label*> labelsBelow(Gtk::Widget& widget) {
  std::vector<Gtk::Label*> labels;
  for (Gtk::Widget* child = widget.get_first_child(); child; child = child->get_next_sibling()) {
    if (auto* label = dynamic_cast<Gtk::Label*>(child)) labels.push_back(label);
    auto below = labelsBelow(*child);
    labels.insert(labels.end(), below.begin(), below.end());
  }
  return labels;
}

TEST_F(ListWindowTest, TheSourceListControllersViewShowsHeaderAndContentRows) {
  Fennix::installControllerKitsGTK();
  Fennix::GtkOutlineViewHandle::install([](const Fennix::OutlineItem& item) { return static_cast<Entry*>(item.get())->name; });
  auto library = NSViewController::make<Library>();
  auto* scroll = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::controllerWidget(*library));
  ASSERT_NE(scroll, nullptr);
  auto* handle = Fennix::GtkOutlineViewHandle::of(*scroll);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(library->attachedOutlineView(), handle);
  show(*scroll, 220, 300);
  ASSERT_TRUE(pumpUntil([&] { return library->expanded == 1; }));
  pumpFrames();
  ASSERT_EQ(handle->outline().numberOfRows(), 7u);
  // Every row shows its own label (row views handed to the rows stay alive).
  std::vector<std::string> headers, contents;
  for (Gtk::Label* label : labelsBelow(handle->outline())) {
    if (label->get_name() == "Header") headers.push_back(label->get_text());
    if (label->get_name() == "Content") contents.push_back(label->get_text());
  }
  std::sort(headers.begin(), headers.end());
  std::sort(contents.begin(), contents.end());
  EXPECT_EQ(headers, (std::vector<std::string>{"LIBRARY", "RECENT"}));
  EXPECT_EQ(contents, (std::vector<std::string>{"Emoji", "Icons", "Shapes", "badge.svg", "star.svg"}));
  handle->outline().selectRowIndexes({2}, false);
  pumpFrames(3);
  EXPECT_EQ(library->selections, (std::vector<std::size_t>{1}));

  window->unset_child();
  library.reset();
  pumpFrames();
  QvOutlineVC::outlineViewMaker = nullptr;
}

/// A deeper library whose delegate answers differ from the base's: header rows are taller and
/// cannot be clicked into the selection; only the top level opens on start-up.
struct PickyLibrary : Library {
  PickyLibrary() {
    roots = {entry("Library", {entry("Shapes", {entry("Circle")}), entry("Emoji")}), entry("Recent", {entry("badge.svg")})};
  }
  bool shouldExpandChildrenOnStartup() override { return false; }
  bool shouldSelectItem(const Item& item) override { return outlineView().hasParent(item); }
  double heightOfRowByItem(const Item& item) override { return outlineView().hasParent(item) ? 30 : 44; }
};

/// Shows a new picky library's source list in the test's window; its outline once the list has
/// opened its top level by itself, null where it has none or did not open.
NSOutlineView* showPickyLibrary(ListWindowTest& test, std::shared_ptr<PickyLibrary>& library) {
  Fennix::installControllerKitsGTK();
  Fennix::GtkOutlineViewHandle::install([](const Fennix::OutlineItem& item) { return static_cast<Entry*>(item.get())->name; });
  library = NSViewController::make<PickyLibrary>();
  auto* scroll = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::controllerWidget(*library));
  if (scroll == nullptr) return nullptr;
  auto& outline = Fennix::GtkOutlineViewHandle::of(*scroll)->outline();
  test.show(*scroll, 220, 300);
  if (!pumpUntil([&] { return library->expanded == 1; })) return nullptr;
  pumpFrames();
  return &outline;
}

Gtk::Label* shownLabel(Gtk::Widget& outline, const std::string& text) {
  for (Gtk::Label* label : labelsBelow(outline))
    if (label->get_mapped() && std::string(label->get_text()) == text) return label;
  return nullptr;
}

TEST_F(ListWindowTest, TheSourceListsRowsFollowItsDelegate) {
  std::shared_ptr<PickyLibrary> library;
  NSOutlineView* shown = showPickyLibrary(*this, library);
  ASSERT_NE(shown, nullptr);
  auto& outline = *shown;
  // Only the top level opened: "Circle" stays inside the closed "Shapes".
  EXPECT_EQ(outline.numberOfRows(), 5u);
  EXPECT_EQ(shownLabel(outline, "Circle"), nullptr);
  saveScreenshot(*window, "source-list-delegate");

  // Row heights and group rows are the delegate's.
  Gtk::Label* header = shownLabel(outline, "RECENT");
  Gtk::Label* content = shownLabel(outline, "Emoji");
  ASSERT_TRUE(header && content);
  EXPECT_EQ(header->get_height(), 44);
  EXPECT_EQ(content->get_height(), 30);
  EXPECT_TRUE(header->has_css_class("group-row"));
  EXPECT_FALSE(content->has_css_class("group-row"));

  // A click on a header row selects nothing; a click on a content row selects it.
  auto pointer = WidgetInput::Input::open(*window);
  if (!pointer) GTEST_SKIP() << "no pointer events on this display";
  auto click = [&](Gtk::Label& label) {
    pointer->click(label, 10, label.get_height() / 2.0);
  };
  click(*header);
  EXPECT_TRUE(outline.selectedRowIndexes().empty());
  EXPECT_TRUE(library->selections.empty());
  click(*content);
  EXPECT_EQ(outline.selectedRowIndexes(), (std::set<long>{2}));
  EXPECT_EQ(library->selections, (std::vector<std::size_t>{1}));

  window->unset_child();
  library.reset();
  pumpFrames();
  QvOutlineVC::outlineViewMaker = nullptr;
}

std::vector<std::string> shownTexts(Gtk::Widget& widget) {
  std::vector<std::string> texts;
  for (Gtk::Label* label : labelsBelow(widget))
    if (label->get_mapped()) texts.push_back(label->get_text());
  std::sort(texts.begin(), texts.end());
  return texts;
}

/// A named item of a tree described by names.
struct Named {
  std::string name;
};
std::string nameOf(const Fennix::OutlineItem& item) { return item ? static_cast<Named*>(item.get())->name : ""; }

/// Every call of `children(of:)` makes new items, as a tree computed from other data does.
template <typename Base>
struct FreshTree : Base {
  std::map<std::string, std::vector<std::string>> names{
      {"", {"Library", "Recent"}}, {"Library", {"Shapes", "Emoji", "Icons"}}, {"Recent", {"badge.svg", "star.svg"}}};
  int calls = 0;
  std::optional<std::vector<Fennix::OutlineItem>> children(const Fennix::OutlineItem& item) override {
    ++calls;
    auto found = names.find(nameOf(item));
    if (found == names.end()) return std::nullopt;
    std::vector<Fennix::OutlineItem> made;
    for (const auto& name : found->second) made.push_back(std::make_shared<Named>(Named{name}));
    return made;
  }
};

TEST_F(ListWindowTest, AnOutlineShowsItemsMadeAfreshByEveryCall) {
  Fennix::installControllerKitsGTK();
  Fennix::GtkOutlineViewHandle::install(nameOf);
  auto tree = NSViewController::make<FreshTree<QvOutlineVC>>();
  auto* scroll = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::controllerWidget(*tree));
  ASSERT_NE(scroll, nullptr);
  auto* handle = Fennix::GtkOutlineViewHandle::of(*scroll);
  ASSERT_NE(handle, nullptr);
  show(*scroll, 240, 320);
  EXPECT_EQ(shownTexts(handle->outline()), (std::vector<std::string>{"Library", "Recent"}));

  // Open both top rows as a person would; their children are made afresh too.
  auto& outline = handle->outline();
  outline.expandItem(outline.itemAtRow(0));
  outline.expandItem(outline.itemAtRow(4));
  pumpFrames();
  ASSERT_EQ(outline.numberOfRows(), 7u);
  EXPECT_EQ(shownTexts(outline),
            (std::vector<std::string>{"Emoji", "Icons", "Library", "Recent", "Shapes", "badge.svg", "star.svg"}));
  saveScreenshot(*window, "outline-fresh-items");

  // Selecting rows hands the shown items to the controller, and the top rows have no parent.
  outline.selectRowIndexes({1, 5}, false);
  auto selected = handle->selectedItems();
  ASSERT_EQ(selected.size(), 2u);
  EXPECT_EQ(nameOf(selected[0]), "Shapes");
  EXPECT_EQ(nameOf(selected[1]), "badge.svg");
  EXPECT_TRUE(handle->hasParent(selected[0]));
  EXPECT_FALSE(tree->isGroupItem(selected[1]));

  // Closing and reopening makes new items again; the rows still show the right names.
  const int before = tree->calls;
  outline.collapseItem(outline.itemAtRow(0));
  pumpFrames();
  outline.expandItem(outline.itemAtRow(0));
  pumpFrames();
  EXPECT_GT(tree->calls, before);
  EXPECT_EQ(shownTexts(outline),
            (std::vector<std::string>{"Emoji", "Icons", "Library", "Recent", "Shapes", "badge.svg", "star.svg"}));

  window->unset_child();
  tree.reset();
  pumpFrames();
  QvOutlineVC::outlineViewMaker = nullptr;
}

/// A tree whose rows are the outline's base cells, filled by the base.
struct BaseCellTree : FreshTree<QvOutlineVC> {
  Fennix::TableCell viewForItem(const Fennix::OutlineItem& item) override {
    auto cell = dequeueOrMakeCell("Row", outlineView());
    if (cell) configureCell(*cell, item);
    return cell;
  }
};

std::vector<NSTableViewCell*> cellsBelow(Gtk::Widget& widget) {
  std::vector<NSTableViewCell*> cells;
  for (Gtk::Widget* child = widget.get_first_child(); child; child = child->get_next_sibling()) {
    if (auto* cell = dynamic_cast<NSTableViewCell*>(child)) cells.push_back(cell);
    auto below = cellsBelow(*child);
    cells.insert(cells.end(), below.begin(), below.end());
  }
  return cells;
}

TEST_F(ListWindowTest, TheOutlinesBaseCellIsThePortableSubtitleCell) {
  Fennix::installControllerKitsGTK();
  PortKit::installTableCellKitGTK();
  Fennix::GtkOutlineViewHandle::install(nameOf);
  auto tree = NSViewController::make<BaseCellTree>();
  auto* scroll = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::controllerWidget(*tree));
  ASSERT_NE(scroll, nullptr);
  auto& outline = Fennix::GtkOutlineViewHandle::of(*scroll)->outline();
  show(*scroll, 240, 240);
  outline.expandItem(outline.itemAtRow(0));
  pumpFrames();
  ASSERT_EQ(outline.numberOfRows(), 5u);
  saveScreenshot(*window, "outline-base-cells");
  std::vector<std::string> texts;
  for (NSTableViewCell* cell : cellsBelow(outline)) {
    if (!cell->get_mapped()) continue;
    Gtk::Label* label = cell->storedTextLabel();
    ASSERT_NE(label, nullptr);
    texts.push_back(label->get_text());
    // The cell spans the row: its text is shown whole, not cut to an ellipsis.
    int minimum = 0, natural = 0, ignored = 0;
    label->measure(Gtk::Orientation::HORIZONTAL, -1, minimum, natural, ignored, ignored);
    EXPECT_GE(label->get_width(), natural) << label->get_text();
  }
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts, (std::vector<std::string>{"Emoji", "Icons", "Library", "Recent", "Shapes"}));

  window->unset_child();
  tree.reset();
  pumpFrames();
  QvOutlineVC::outlineViewMaker = nullptr;
}

/// Letters in plain cells; the second row may not be selected, and drops of notes from elsewhere
/// in the application keep every type they brought.
struct Letters : QvTableViewController<std::string> {
  static inline const std::string noteType = "application/x-quarvel-test-note";
  static inline const std::string tagType = "application/x-quarvel-test-tag";
  Letters() { externalDropTypes = {noteType, tagType}; }
  bool shouldSelectRow(long row) const override { return row != 1; }
  std::vector<std::map<NSPasteboardType, std::string>> drops;
  std::optional<std::vector<std::string>> createObjects(const Fennix::DraggingInfo&, long row,
                                                        const std::map<NSPasteboardType, std::string>& pasteboard) override {
    drops.push_back(pasteboard);
    auto note = pasteboard.find(noteType);
    if (note == pasteboard.end()) return std::nullopt;
    arrangedObjects.insert(arrangedObjects.begin() + std::clamp(row, 0L, count()), note->second);
    return std::vector<std::string>{note->second};
  }
};

struct LettersWindowTest : ListWindowTest {
  void SetUp() override {
    ListWindowTest::SetUp();
    if (IsSkipped()) return;
    letters = NSViewController::make<Letters>();
    letters->arrangedObjects = {"Alpha", "Bravo", "Charlie", "Delta"};
    letters->onRowActivation([this](const std::string& value) { activated.push_back(value); });
    handle = std::make_unique<Fennix::GtkTableViewHandle<std::string>>(letters, [](const std::string& text) { return text; });
  }
  void TearDown() override {
    if (window) window->unset_child();
    handle.reset();
    letters.reset();
    ListWindowTest::TearDown();
  }
  NSTableView& table() { return handle->table(); }
  Gtk::Widget& row(std::size_t index) { return *table().viewAt(0, index); }
  std::shared_ptr<Letters> letters;
  std::unique_ptr<Fennix::GtkTableViewHandle<std::string>> handle;
  std::vector<std::string> activated;
};

TEST_F(LettersWindowTest, ADoubleClickOnARowCallsTheRowCallbackOnceWithItsElement) {
  show(handle->view(), 240, 240);
  auto pointer = WidgetInput::Input::open(*window);
  if (!pointer) GTEST_SKIP() << "no pointer events on this display";
  ASSERT_TRUE(table().viewAt(0, 2));
  // A single click selects and calls nothing (on another row, so that it makes no multiple click
  // with the next ones).
  ASSERT_TRUE(pointer->click(row(0), 20, row(0).get_height() / 2.0));
  pumpFrames();
  EXPECT_TRUE(activated.empty());
  ASSERT_TRUE(pointer->doubleClick(row(2), 20, row(2).get_height() / 2.0));
  EXPECT_TRUE(pumpUntil([&] { return !activated.empty(); }));
  pumpFrames();
  EXPECT_EQ(activated, (std::vector<std::string>{"Charlie"}));
  // Return on the focused row activates it for the toolkit, but it is no double click.
  ASSERT_TRUE(pointer->key("Return"));
  pumpFrames();
  EXPECT_EQ(activated, (std::vector<std::string>{"Charlie"}));
}

TEST_F(LettersWindowTest, ArrowKeysSelectOnlyRowsTheControllerLetThemSelect) {
  show(handle->view(), 240, 240);
  auto pointer = WidgetInput::Input::open(*window);
  if (!pointer) GTEST_SKIP() << "no pointer events on this display";
  ASSERT_TRUE(pointer->click(row(0), 20, row(0).get_height() / 2.0));
  ASSERT_TRUE(pumpUntil([&] { return table().selectedRowIndexes() == NSTableView::IndexSet{0}; }));
  // Down onto the refused row keeps the selection, on screen too; the next Down goes past it.
  ASSERT_TRUE(pointer->key("Down"));
  pumpFrames();
  EXPECT_EQ(table().selectedRowIndexes(), (NSTableView::IndexSet{0}));
  saveScreenshot(*window, "table-refused-row-by-key");
  GdkTexture* picture = nullptr;
  ASSERT_TRUE(pumpUntil([&] { return (picture = renderWidget(table())) != nullptr; }));
  auto selectedLook = [&](std::size_t index) {
    double x = 0, y = 0;
    EXPECT_TRUE(row(index).translate_coordinates(table(), 0, row(index).get_height() / 2.0, x, y));
    const std::uint32_t rgb = pixel(picture, table().get_width() - 20, int(y));
    const int r = int((rgb >> 16) & 0xff), b = int(rgb & 0xff);
    return b - r > 80;  // the selection's blue
  };
  EXPECT_TRUE(selectedLook(0));
  EXPECT_FALSE(selectedLook(1));
  g_object_unref(picture);
  ASSERT_TRUE(pointer->key("Down"));
  EXPECT_TRUE(pumpUntil([&] { return table().selectedRowIndexes() == NSTableView::IndexSet{2}; }));
  ASSERT_TRUE(pointer->key("Up"));
  pumpFrames();
  EXPECT_EQ(table().selectedRowIndexes(), (NSTableView::IndexSet{2}));
  // Selecting every row by key leaves the refused one out.
  ASSERT_TRUE(pointer->key("ctrl+a"));
  EXPECT_TRUE(pumpUntil([&] { return table().selectedRowIndexes().size() > 1; }));
  EXPECT_EQ(table().selectedRowIndexes(), (NSTableView::IndexSet{0, 2, 3}));
  // Code still selects any row.
  table().selectRowIndexes({1}, false);
  EXPECT_EQ(table().selectedRowIndexes(), (NSTableView::IndexSet{1}));
  saveScreenshot(*window, "table-refused-row-by-code");
}

TEST_F(LettersWindowTest, ModifiedClicksAddRowsAndExtendTheSelection) {
  show(handle->view(), 240, 240);
  auto pointer = WidgetInput::Input::open(*window);
  if (!pointer) GTEST_SKIP() << "no pointer events on this display";
  auto clickRow = [&](std::size_t index, const char* modifier = nullptr) {
    if (modifier) pointer->keyDown(modifier);
    const bool clicked = pointer->click(row(index), 20, row(index).get_height() / 2.0);
    if (modifier) pointer->keyUp(modifier);
    pumpFrames();
    return clicked;
  };
  using Rows = NSTableView::IndexSet;
  // Ctrl+click adds a row and takes it out again; Shift+click selects from the row clicked last,
  // leaving out the row the controller refuses.
  ASSERT_TRUE(clickRow(0));
  ASSERT_TRUE(pumpUntil([&] { return table().selectedRowIndexes() == Rows{0}; }));
  ASSERT_TRUE(clickRow(3, "Control_L"));
  EXPECT_EQ(table().selectedRowIndexes(), (Rows{0, 3}));
  ASSERT_TRUE(clickRow(3, "Control_L"));
  EXPECT_EQ(table().selectedRowIndexes(), (Rows{0}));
  ASSERT_TRUE(clickRow(2, "Control_L"));
  EXPECT_EQ(table().selectedRowIndexes(), (Rows{0, 2}));
  ASSERT_TRUE(clickRow(0));
  ASSERT_TRUE(clickRow(3, "Shift_L"));
  EXPECT_EQ(table().selectedRowIndexes(), (Rows{0, 2, 3}));
  // A key right after a Ctrl+click still moves the selection.
  ASSERT_TRUE(clickRow(0));
  ASSERT_TRUE(clickRow(2, "Control_L"));
  EXPECT_EQ(table().selectedRowIndexes(), (Rows{0, 2}));
  ASSERT_TRUE(pointer->key("Down"));
  EXPECT_TRUE(pumpUntil([&] { return table().selectedRowIndexes() == Rows{3}; }));
  // Shift+click still selects a range once the table took one row at a time for a while (its rows
  // are laid out anew first).
  table().setAllowsMultipleSelection(false);
  table().setAllowsMultipleSelection(true);
  // The rows are bound again: a click is aimed once each row shows where it stays (a busy machine
  // may take several frames).
  ASSERT_TRUE(pumpUntil([&] {
    double previous = -1;
    for (std::size_t index = 0; index < 4; ++index) {
      Gtk::Widget* view = table().viewAt(0, index);
      double x = 0, y = 0;
      if (view == nullptr || !view->get_mapped() || view->get_height() <= 0 ||
          !view->translate_coordinates(table(), 0, 0, x, y) || y <= previous) {
        return false;
      }
      previous = y;
    }
    return true;
  }));
  pumpFrames();
  ASSERT_TRUE(clickRow(0));
  ASSERT_TRUE(pumpUntil([&] { return table().selectedRowIndexes() == Rows{0}; }));
  ASSERT_TRUE(clickRow(3, "Shift_L"));
  EXPECT_EQ(table().selectedRowIndexes(), (Rows{0, 2, 3}));
  saveScreenshot(*window, "table-controller-modified-clicks");
}

TEST_F(LettersWindowTest, AClickBelowTheRowsClearsTheSelection) {
  show(handle->view(), 240, 300);
  auto pointer = WidgetInput::Input::open(*window);
  if (!pointer) GTEST_SKIP() << "no pointer events on this display";
  table().selectRowIndexes({2}, false);
  Gtk::Widget& last = row(3);
  double x = 0, bottom = 0;
  ASSERT_TRUE(last.translate_coordinates(table(), 0, last.get_height(), x, bottom));
  ASSERT_GT(table().get_height() - bottom, 40) << "no room below the rows";
  ASSERT_TRUE(pointer->click(table(), 30, bottom + 20));
  EXPECT_TRUE(pumpUntil([&] { return table().selectedRowIndexes().empty(); }));
  // Not when the table keeps a selection.
  handle->table().setAllowsEmptySelection(false);
  table().selectRowIndexes({2}, false);
  ASSERT_TRUE(pointer->click(table(), 30, bottom + 20));
  pumpFrames();
  EXPECT_EQ(table().selectedRowIndexes(), (NSTableView::IndexSet{2}));
}

TEST_F(LettersWindowTest, ADropHandsOverEveryTypeTheDragOffers) {
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
  auto* source = Gtk::make_managed<Gtk::Label>("Note with a tag");
  source->set_size_request(-1, 30);
  auto drag = Gtk::DragSource::create();
  drag->set_actions(Gdk::DragAction::COPY);
  drag->signal_prepare().connect(
      [](double, double) {
        static const std::string note = "Echo", tag = "red";
        return Gdk::ContentProvider::create(
            {Gdk::ContentProvider::create(Letters::noteType, Glib::Bytes::create(note.data(), note.size())),
             Gdk::ContentProvider::create(Letters::tagType, Glib::Bytes::create(tag.data(), tag.size()))});
      },
      false);
  source->add_controller(drag);
  box->append(*source);
  handle->view().set_vexpand(true);
  box->append(handle->view());
  show(*box, 260, 320);
  auto pointer = WidgetInput::Input::open(*window);
  if (!pointer) GTEST_SKIP() << "no pointer events on this display";

  pointer->drag(pointer->onScreen(*source, 20, 15), pointer->onScreen(row(1), 100, 4), 10);
  ASSERT_TRUE(pumpUntil([&] { return letters->count() == 5; }));
  pumpFrames();
  ASSERT_EQ(letters->drops.size(), 1u);
  EXPECT_EQ(letters->drops[0], (std::map<NSPasteboardType, std::string>{{Letters::noteType, "Echo"}, {Letters::tagType, "red"}}));
  EXPECT_EQ(letters->arrangedObjects, (std::vector<std::string>{"Alpha", "Echo", "Bravo", "Charlie", "Delta"}));
  EXPECT_EQ(shownTexts(table(), 5), letters->arrangedObjects);
}

/// Letters whose third row sits in an unemphasized row view of the controller's; the other rows
/// get none.
struct RowViewLetters : QvTableViewController<std::string> {
  std::vector<NSTableRowView*> made;
  Fennix::TableRow rowViewForRow(long row) override {
    if (row != 2) return nullptr;
    made.push_back(Gtk::make_managed<NSTableRowView>());
    auto rowView = std::make_shared<Fennix::GtkTableRowView>(*made.back());
    rowView->setEmphasized(false);
    return rowView;
  }
};

TEST_F(ListWindowTest, ATableShowsTheRowViewsItsControllerGives) {
  auto letters = NSViewController::make<RowViewLetters>();
  letters->arrangedObjects = {"Alpha", "Bravo", "Charlie", "Delta"};
  auto handle = std::make_unique<Fennix::GtkTableViewHandle<std::string>>(letters, [](const std::string& text) { return text; });
  NSTableView& table = handle->table();
  show(handle->view(), 240, 240);
  ASSERT_TRUE(pumpUntil([&] { return table.viewAt(0, 3) != nullptr && !letters->made.empty(); }));
  EXPECT_EQ(shownTexts(table, 4), letters->arrangedObjects);
  // The third row's cell sits in the controller's row view, shown in the table's row; the other
  // cells sit alone.
  auto rowViewAbove = [&](std::size_t row) -> NSTableRowView* {
    for (Gtk::Widget* above = table.viewAt(0, row); above && above != &table; above = above->get_parent())
      if (auto* rowView = dynamic_cast<NSTableRowView*>(above)) return rowView;
    return nullptr;
  };
  // (The table asks again whenever it binds the row anew: the newest row view is the one shown.)
  auto charlie = [&] { return letters->made.back(); };
  EXPECT_EQ(table.viewAt(0, 2)->get_parent(), charlie());
  EXPECT_TRUE(charlie()->get_mapped());
  for (std::size_t row : {0u, 1u, 3u}) EXPECT_EQ(rowViewAbove(row), nullptr) << row;

  auto pointer = WidgetInput::Input::open(*window);
  if (!pointer) GTEST_SKIP() << "no pointer events on this display";
  // The colour right of a row's text, with the pointer away from every row.
  auto colourOf = [&](std::size_t row) {
    pointer->moveTo(pointer->onScreen(table, 20, table.get_height() - 5));
    pumpFrames();
    double x = 0, y = 0;
    EXPECT_TRUE(table.viewAt(0, row)->translate_coordinates(table, 0, table.viewAt(0, row)->get_height() / 2.0, x, y));
    GdkTexture* picture = nullptr;
    pumpUntil([&] { return (picture = renderWidget(table)) != nullptr; });
    const std::uint32_t found = picture ? pixel(picture, table.get_width() - 20, int(y)) : 0;
    if (picture) g_object_unref(picture);
    return found;
  };
  const std::uint32_t unselected = colourOf(2);
  // Real clicks: the row in the unemphasized row view draws the muted selection, a row without one
  // the selection's blue.
  ASSERT_TRUE(pointer->click(*table.viewAt(0, 2), 20, 10));
  ASSERT_TRUE(pumpUntil([&] { return table.selectedRowIndexes() == NSTableView::IndexSet{2}; }));
  EXPECT_EQ(table.viewAt(0, 2)->get_parent(), charlie());
  EXPECT_TRUE(charlie()->isSelected());
  const std::uint32_t muted = colourOf(2);
  saveScreenshot(*window, "table-controller-row-view-selected");
  ASSERT_TRUE(pointer->click(*table.viewAt(0, 0), 20, 10));
  ASSERT_TRUE(pumpUntil([&] { return table.selectedRowIndexes() == NSTableView::IndexSet{0}; }));
  EXPECT_EQ(table.viewAt(0, 2)->get_parent(), charlie());
  EXPECT_FALSE(charlie()->isSelected());
  const std::uint32_t accent = colourOf(0);
  saveScreenshot(*window, "table-controller-row-without-row-view-selected");
  EXPECT_FALSE(near(muted, unselected, 4)) << "no selection shown";
  EXPECT_FALSE(near(muted, accent, 60)) << std::hex << muted << " " << accent;
  const int r = int((accent >> 16) & 0xff), b = int(accent & 0xff);
  EXPECT_GT(b - r, 80) << std::hex << accent;

  // Reloaded, the table asks again: the third row's cell moves into the new row view, and the
  // cells that come back for reuse leave the row views they were in.
  letters->arrangedObjects = {"Echo", "Foxtrot", "Golf"};
  const std::size_t before = letters->made.size();
  table.reloadData();
  ASSERT_TRUE(pumpUntil([&] {
    return letters->made.size() > before && table.viewAt(0, 2) && table.viewAt(0, 2)->get_parent() == letters->made.back();
  }));
  pumpFrames();
  EXPECT_EQ(shownTexts(table, 3), letters->arrangedObjects);
  for (std::size_t row : {0u, 1u}) EXPECT_EQ(rowViewAbove(row), nullptr) << row;

  window->unset_child();
  handle.reset();
  pumpFrames();
}

TEST_F(ListWindowTest, ArrowKeysSelectOnlyItemsTheSourceListLetThemSelect) {
  std::shared_ptr<PickyLibrary> library;
  NSOutlineView* shown = showPickyLibrary(*this, library);
  ASSERT_NE(shown, nullptr);
  auto& outline = *shown;
  ASSERT_EQ(outline.numberOfRows(), 5u);  // Library, Shapes, Emoji, Recent, badge.svg
  auto pointer = WidgetInput::Input::open(*window);
  if (!pointer) GTEST_SKIP() << "no pointer events on this display";
  Gtk::Label* emoji = shownLabel(outline, "Emoji");
  ASSERT_NE(emoji, nullptr);
  ASSERT_TRUE(pointer->click(*emoji, 10, emoji->get_height() / 2.0));
  ASSERT_TRUE(pumpUntil([&] { return outline.selectedRowIndexes() == std::set<long>{2}; }));
  // Down onto the header row keeps the selection and tells the controller nothing.
  ASSERT_TRUE(pointer->key("Down"));
  pumpFrames();
  EXPECT_EQ(outline.selectedRowIndexes(), (std::set<long>{2}));
  EXPECT_EQ(library->selections, (std::vector<std::size_t>{1}));
  ASSERT_TRUE(pointer->key("Down"));
  EXPECT_TRUE(pumpUntil([&] { return outline.selectedRowIndexes() == std::set<long>{4}; }));
  EXPECT_EQ(library->selections, (std::vector<std::size_t>{1, 1}));
  // Selecting every row by key leaves the header rows out.
  ASSERT_TRUE(pointer->key("ctrl+a"));
  EXPECT_TRUE(pumpUntil([&] { return outline.selectedRowIndexes().size() > 1; }));
  EXPECT_EQ(outline.selectedRowIndexes(), (std::set<long>{1, 2, 4}));
  EXPECT_EQ(library->selections, (std::vector<std::size_t>{1, 1, 3}));

  window->unset_child();
  library.reset();
  pumpFrames();
  QvOutlineVC::outlineViewMaker = nullptr;
}

TEST_F(ListWindowTest, ACollectionPacksItemsToTheLeft) {
  auto* collection = Gtk::make_managed<QvFlowLayoutCollectionView>();
  auto& layout = collection->collectionViewLayout();
  layout.itemSize = {90, 40};
  layout.minimumInteritemSpacing = 8;
  layout.minimumLineSpacing = 8;
  layout.sectionInset = {12, 12, 12, 12};
  layout.headerReferenceSize = {0, 28};
  auto* header = Gtk::make_managed<Gtk::Label>("Shapes");
  header->set_xalign(0);
  collection->setHeader(header);
  std::vector<Gtk::Button*> items;
  for (const char* name : {"Circle", "Square", "Star", "Heart", "Arrow"}) {
    items.push_back(Gtk::make_managed<Gtk::Button>(name));
    collection->appendItem(*items.back());
  }
  show(*collection, 330, 200);
  saveScreenshot(*window, "left-aligned-collection");

  // 306 wide lines hold three items; the fourth wraps to the inset.
  auto origin = [&](std::size_t i) {
    graphene_rect_t bounds;
    EXPECT_TRUE(gtk_widget_compute_bounds(GTK_WIDGET(items[i]->gobj()), GTK_WIDGET(collection->gobj()), &bounds));
    return std::pair<double, double>{bounds.origin.x, bounds.origin.y};
  };
  EXPECT_EQ(origin(0), (std::pair<double, double>{12, 40}));
  EXPECT_EQ(origin(1).first, 12 + 90 + 8);
  EXPECT_EQ(origin(2).first, 12 + 2 * (90 + 8));
  EXPECT_EQ(origin(3), (std::pair<double, double>{12, 40 + 40 + 8}));
  EXPECT_EQ(origin(4).first, 12 + 90 + 8);
  graphene_rect_t headerBounds;
  ASSERT_TRUE(gtk_widget_compute_bounds(GTK_WIDGET(header->gobj()), GTK_WIDGET(collection->gobj()), &headerBounds));
  EXPECT_EQ(headerBounds.origin.x, 0);
  EXPECT_EQ(headerBounds.size.width, 330);
}


/// A library that holds the "Shapes" row in a source-list row view of its own; the other rows get
/// none.
struct OwnRowViewLibrary : Library {
  NSTableRowView* shapesRowView = nullptr;
  Fennix::TableRow rowViewForItem(const Item& item) override {
    if (static_cast<Entry*>(item.get())->name != "Shapes") return nullptr;
    shapesRowView = Gtk::make_managed<QvSourceListTableRowView>();
    return std::make_shared<Fennix::GtkTableRowView>(*shapesRowView);
  }
};

TEST_F(ListWindowTest, ASourceListControllerMayHoldARowInItsOwnRowView) {
  Fennix::installControllerKitsGTK();
  Fennix::GtkOutlineViewHandle::install([](const Fennix::OutlineItem& item) { return static_cast<Entry*>(item.get())->name; });
  auto library = NSViewController::make<OwnRowViewLibrary>();
  auto* scroll = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::controllerWidget(*library));
  ASSERT_NE(scroll, nullptr);
  auto& outline = Fennix::GtkOutlineViewHandle::of(*scroll)->outline();
  show(*scroll, 220, 300);
  ASSERT_TRUE(pumpUntil([&] { return library->expanded == 1; }));
  pumpFrames();
  Gtk::Label* shapes = shownLabel(outline, "Shapes");
  Gtk::Label* emoji = shownLabel(outline, "Emoji");
  ASSERT_TRUE(shapes && emoji && library->shapesRowView);
  // "Shapes" sits in the controller's row view, "Emoji" alone in its row: the source list gives
  // no row view of its own.
  EXPECT_EQ(shapes->get_parent(), library->shapesRowView);
  for (Gtk::Widget* above = emoji; above && above != &outline; above = above->get_parent())
    EXPECT_EQ(dynamic_cast<NSTableRowView*>(above), nullptr);

  // Real clicks select each row: the controller's source-list row view draws the muted selection,
  // the row without a row view the emphasized one.
  auto input = WidgetInput::Input::open(*window);
  if (!input) GTEST_SKIP() << "no pointer events on this display";
  auto colourOfSelected = [&](const std::string& text, long row, const char* name) {
    Gtk::Label* label = shownLabel(outline, text);
    if (!label) return std::uint32_t(0);
    input->click(*label, 10, label->get_height() / 2.0);
    EXPECT_TRUE(pumpUntil([&] { return outline.selectedRowIndexes() == std::set<long>{row}; })) << text;
    pumpFrames();
    saveScreenshot(*window, name);
    label = shownLabel(outline, text);
    if (!label) return std::uint32_t(0);
    graphene_rect_t bounds{};
    EXPECT_TRUE(gtk_widget_compute_bounds(GTK_WIDGET(label->gobj()), GTK_WIDGET(outline.gobj()), &bounds));
    GdkTexture* picture = nullptr;
    pumpUntil([&] { return (picture = renderWidget(outline)) != nullptr; });
    const std::uint32_t found =
        picture ? pixel(picture, outline.get_width() - 8, int(bounds.origin.y + bounds.size.height / 2)) : 0;
    if (picture) g_object_unref(picture);
    return found;
  };
  const std::uint32_t muted = colourOfSelected("Shapes", 1, "source-list-own-row-view");
  EXPECT_TRUE(library->shapesRowView->isSelected());
  const std::uint32_t emphasized = colourOfSelected("Emoji", 2, "source-list-without-row-view");
  EXPECT_FALSE(library->shapesRowView->isSelected());
  EXPECT_FALSE(near(muted, emphasized, 40)) << std::hex << muted << " " << emphasized;
  const int r = int((emphasized >> 16) & 0xff), b = int(emphasized & 0xff);
  EXPECT_GT(b - r, 80) << "the row without a row view is not drawn in the selection's blue";

  window->unset_child();
  library.reset();
  pumpFrames();
  QvOutlineVC::outlineViewMaker = nullptr;
}

/// A row view whose widget its owner already deleted.
Fennix::TableRow rowViewOfDeletedWidget() {
  auto* widget = new NSTableRowView();
  auto rowView = std::make_shared<Fennix::GtkTableRowView>(*widget);
  delete widget;
  return rowView;
}

/// A plain outline whose "Library" row sits in an unemphasized row view of the controller's, whose
/// "Shapes" row gets a row view whose widget is gone, and whose other rows get none.
struct MutedRowTree : FreshTree<QvOutlineVC> {
  NSTableRowView* libraryRowView = nullptr;
  Fennix::TableRow rowViewForItem(const Fennix::OutlineItem& item) override {
    if (nameOf(item) == "Shapes") return rowViewOfDeletedWidget();
    if (nameOf(item) != "Library") return nullptr;
    libraryRowView = Gtk::make_managed<NSTableRowView>();
    auto rowView = std::make_shared<Fennix::GtkTableRowView>(*libraryRowView);
    rowView->setEmphasized(false);
    return rowView;
  }
};

TEST_F(ListWindowTest, APlainOutlineDrawsItsSelectionAsItsControllersRowViewsSay) {
  Fennix::installControllerKitsGTK();
  Fennix::GtkOutlineViewHandle::install(nameOf);
  auto tree = NSViewController::make<MutedRowTree>();
  auto* treeScroll = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::controllerWidget(*tree));
  ASSERT_NE(treeScroll, nullptr);
  auto& outline = Fennix::GtkOutlineViewHandle::of(*treeScroll)->outline();
  // A source list beside it, for the muted look of the selection of its source-list row view.
  Fennix::GtkOutlineViewHandle::install([](const Fennix::OutlineItem& item) { return static_cast<Entry*>(item.get())->name; });
  auto library = NSViewController::make<OwnRowViewLibrary>();
  auto* libraryScroll = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::controllerWidget(*library));
  ASSERT_NE(libraryScroll, nullptr);
  auto& sourceList = Fennix::GtkOutlineViewHandle::of(*libraryScroll)->outline();
  Gtk::Box box(Gtk::Orientation::HORIZONTAL);
  box.set_homogeneous(true);
  box.append(*treeScroll);
  box.append(*libraryScroll);
  show(box, 440, 300);
  ASSERT_TRUE(pumpUntil([&] { return library->expanded == 1; }));
  pumpFrames();
  ASSERT_EQ(outline.numberOfRows(), 2u);
  Gtk::Label* libraryLabel = shownLabel(outline, "Library");
  ASSERT_TRUE(libraryLabel && tree->libraryRowView);
  // The disclosure triangle and the cell sit in the controller's row view.
  auto* expander = dynamic_cast<Gtk::TreeExpander*>(tree->libraryRowView->view());
  ASSERT_NE(expander, nullptr);
  EXPECT_TRUE(libraryLabel->is_ancestor(*expander));

  auto input = WidgetInput::Input::open(*window);
  if (!input) GTEST_SKIP() << "no pointer events on this display";
  // The colour of a selected row, sampled with the pointer away from every row.
  auto colourOfRow = [&](NSOutlineView& list, const std::string& text) {
    Gtk::Label* label = shownLabel(list, text);
    if (!label) return std::uint32_t(0);
    input->moveTo(input->onScreen(outline, 20, outline.get_height() - 10));
    pumpFrames();
    graphene_rect_t bounds{};
    EXPECT_TRUE(gtk_widget_compute_bounds(GTK_WIDGET(label->gobj()), GTK_WIDGET(list.gobj()), &bounds));
    GdkTexture* picture = nullptr;
    pumpUntil([&] { return (picture = renderWidget(list)) != nullptr; });
    const std::uint32_t found =
        picture ? pixel(picture, list.get_width() - 8, int(bounds.origin.y + bounds.size.height / 2)) : 0;
    if (picture) g_object_unref(picture);
    return found;
  };
  auto clickRow = [&](const std::string& text, long row) {
    Gtk::Label* label = shownLabel(outline, text);
    if (!label) return false;
    input->click(*label, label->get_width() / 2.0, label->get_height() / 2.0);
    return pumpUntil([&] { return outline.selectedRowIndexes() == std::set<long>{row}; });
  };
  sourceList.selectRowIndexes({1}, false);
  pumpFrames();
  const std::uint32_t sourceListMuted = colourOfRow(sourceList, "Shapes");
  sourceList.deselectAll();

  ASSERT_TRUE(clickRow("Library", 0));
  const std::uint32_t muted = colourOfRow(outline, "Library");
  saveScreenshot(*window, "plain-outline-unemphasized-row");
  EXPECT_TRUE(tree->libraryRowView->isSelected());
  EXPECT_TRUE(tree->libraryRowView->get_parent()->has_css_class("qv-unemphasized"));
  ASSERT_TRUE(clickRow("Recent", 1));
  const std::uint32_t accent = colourOfRow(outline, "Recent");
  saveScreenshot(*window, "plain-outline-row-without-row-view");
  EXPECT_FALSE(tree->libraryRowView->isSelected());
  EXPECT_TRUE(near(muted, sourceListMuted, 8)) << std::hex << muted << " " << sourceListMuted;
  EXPECT_FALSE(near(muted, accent, 60)) << std::hex << muted << " " << accent;
  EXPECT_FALSE(near(muted, 0xffffff, 6)) << "no selection shown";

  // The triangle in the row view opens the row; a child whose row view has no widget left sits in
  // its row alone.
  libraryLabel = shownLabel(outline, "Library");
  ASSERT_NE(libraryLabel, nullptr);
  expander = nullptr;
  for (Gtk::Widget* above = libraryLabel; above && !expander; above = above->get_parent())
    expander = dynamic_cast<Gtk::TreeExpander*>(above);
  ASSERT_NE(expander, nullptr);
  EXPECT_NE(dynamic_cast<NSTableRowView*>(expander->get_parent()), nullptr);
  Gtk::Widget* triangle = expander->get_first_child();
  ASSERT_NE(triangle, nullptr);
  input->click(*triangle, triangle->get_width() / 2.0, triangle->get_height() / 2.0);
  ASSERT_TRUE(pumpUntil([&] { return outline.numberOfRows() == 5u; }));
  pumpFrames();
  Gtk::Label* shapes = shownLabel(outline, "Shapes");
  ASSERT_NE(shapes, nullptr);
  for (Gtk::Widget* above = shapes; above && above != &outline; above = above->get_parent())
    EXPECT_EQ(dynamic_cast<NSTableRowView*>(above), nullptr);
  saveScreenshot(*window, "plain-outline-opened-in-row-view");

  window->unset_child();
  tree.reset();
  library.reset();
  pumpFrames();
  QvOutlineVC::outlineViewMaker = nullptr;
}

// A row view whose widget its owner deleted keeps what it is told and hands out no widget.
TEST_F(ListWindowTest, ARowViewOutlivesItsDeletedWidget) {
  auto* widget = new NSTableRowView();
  widget->setEmphasized(false);
  Fennix::GtkTableRowView rowView(*widget);
  EXPECT_EQ(rowView.widget(), widget);
  EXPECT_FALSE(rowView.isEmphasized());
  delete widget;
  EXPECT_EQ(rowView.widget(), nullptr);
  EXPECT_FALSE(rowView.isEmphasized());
  rowView.setEmphasized(true);
  EXPECT_TRUE(rowView.isEmphasized());
}

}  // namespace
