// Rows of source lists on screen: a row sits alone, or in the row view its delegate gives; a
// source-list row view keeps its cell where the cell would be without it, and its selection is
// drawn unemphasized whatever anyone sets, in a key window and in one that is not.
#include <gtest/gtest.h>

#include <gtkmm/box.h>
#include <gtkmm/label.h>
#include <gtkmm/listview.h>
#include <gtkmm/multiselection.h>
#include <gtkmm/signallistitemfactory.h>
#include <gtkmm/stringlist.h>
#include <gtkmm/stringobject.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/treeexpander.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Fennix/UI/AppKit/GTK/ViewFactory.h"
#include "ViewKitWindowSupport.h"
#include "XDriver/WidgetInput.h"
#include "XDriver/XDriver.h"

using namespace ViewKitWindowSupport;

namespace {

class RowViewWindowTest : public WindowTest {
 protected:
  RowViewWindowTest() : WindowTest(1000, 300, 20) {}
};

const char* const names[] = {"Library", "Shapes", "Colors"};

/// Three rows: a taller group row "Library" over "Shapes" and "Colors"; each row in a new row view
/// of `rowView`, when given.
void fill(NSOutlineView& outline, std::function<NSTableRowView*()> rowView = {}) {
  outline.setDataSource({[](NSOutlineView::Item parent) -> std::size_t { return parent ? 0 : 3; },
                         [](std::size_t index, NSOutlineView::Item) -> NSOutlineView::Item { return names[index]; },
                         [](NSOutlineView::Item) { return false; },
                         [](NSOutlineView&, NSOutlineView::Item item) -> Gtk::Widget* {
                           auto* label = Gtk::make_managed<Gtk::Label>(static_cast<const char*>(item));
                           label->set_xalign(0);
                           return label;
                         }});
  outline.setDelegate({[](NSOutlineView::Item item) { return item == names[0] ? 44.0 : 30.0; },
                       nullptr,
                       [](NSOutlineView::Item item) { return item == names[0]; },
                       [rowView](NSOutlineView::Item) { return rowView ? rowView() : nullptr; }});
}

/// The widgets the outline shows as its rows, top to bottom.
std::vector<Gtk::Widget*> rowChildren(NSOutlineView& outline) {
  std::vector<Gtk::Widget*> children;
  for (Gtk::Widget* row = outline.get_first_child(); row; row = row->get_next_sibling())
    if (Gtk::Widget* child = row->get_first_child(); child && row->get_mapped()) children.push_back(child);
  std::sort(children.begin(), children.end(), [&](Gtk::Widget* a, Gtk::Widget* b) {
    double ax = 0, ay = 0, bx = 0, by = 0;
    a->translate_coordinates(outline, 0, 0, ax, ay);
    b->translate_coordinates(outline, 0, 0, bx, by);
    return ay < by;
  });
  return children;
}

/// The label a row shows, in its row view, in its expander or on its own.
Gtk::Label* labelOf(Gtk::Widget* child) {
  if (auto* rowView = dynamic_cast<NSTableRowView*>(child)) return dynamic_cast<Gtk::Label*>(rowView->view());
  if (auto* expander = dynamic_cast<Gtk::TreeExpander*>(child)) return dynamic_cast<Gtk::Label*>(expander->get_child());
  return dynamic_cast<Gtk::Label*>(child);
}

TEST_F(RowViewWindowTest, SourceListRowsSitAloneOrInTheRowViewsTheirDelegateGives) {
  // A plain outline, the factory's source list, a source list made on its own, and source lists
  // whose delegate gives source-list row views and plain (emphasized) row views.
  NSOutlineView* plain = nullptr;
  NSOutlineView* factoryList = nullptr;
  auto* plainScroll = qv().makeOutlineView([&](NSOutlineView& made) { plain = &made; });
  auto* factoryScroll = qv().makeSourceListView([&](NSOutlineView& made) { factoryList = &made; });
  ASSERT_TRUE(plain && factoryList);
  auto* bare = Gtk::make_managed<QvSourceListView>();
  auto* muted = Gtk::make_managed<QvSourceListView>();
  auto* emphasized = Gtk::make_managed<QvSourceListView>();
  std::vector<NSOutlineView*> outlines{plain, factoryList, bare, muted, emphasized};
  for (NSOutlineView* outline : {plain, factoryList, static_cast<NSOutlineView*>(bare)}) fill(*outline);
  fill(*muted, [] { return Gtk::make_managed<QvSourceListTableRowView>(); });
  fill(*emphasized, [] { return Gtk::make_managed<NSTableRowView>(); });
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 10);
  for (NSOutlineView* outline : outlines) {
    Gtk::ScrolledWindow* scroll = outline == plain           ? static_cast<Gtk::ScrolledWindow*>(plainScroll)
                                  : outline == factoryList ? static_cast<Gtk::ScrolledWindow*>(factoryScroll)
                                                           : Gtk::make_managed<Gtk::ScrolledWindow>();
    if (!scroll->get_child()) scroll->set_child(*outline);
    scroll->set_hexpand(true);
    box->append(*scroll);
  }
  show(*box);
  for (NSOutlineView* outline : outlines) ASSERT_TRUE(pumpUntil([&] { return rowChildren(*outline).size() == 3; }));

  // Without a row view of the delegate, both kinds of source list show each cell alone in its row;
  // with one, every row sits in it, filling the row with its cell. The delegate's height and group
  // style stay on the cell either way.
  for (NSOutlineView* outline : {factoryList, static_cast<NSOutlineView*>(bare), static_cast<NSOutlineView*>(muted)}) {
    const auto rows = rowChildren(*outline);
    for (std::size_t index = 0; index < rows.size(); ++index) {
      auto* rowView = dynamic_cast<NSTableRowView*>(rows[index]);
      if (outline == muted) {
        ASSERT_NE(dynamic_cast<QvSourceListTableRowView*>(rowView), nullptr)
            << "row " << index << " is a " << G_OBJECT_TYPE_NAME(rows[index]->gobj());
        EXPECT_FALSE(rowView->isEmphasized());
      } else {
        EXPECT_EQ(rowView, nullptr) << "row " << index << " of a source list without row views";
      }
      Gtk::Label* label = labelOf(rows[index]);
      ASSERT_NE(label, nullptr);
      EXPECT_EQ(std::string(label->get_text()), names[index]);
      EXPECT_EQ(label->get_height(), index == 0 ? 44 : 30);
      EXPECT_EQ(rows[index]->get_height(), label->get_height());
      EXPECT_EQ(rows[index]->get_width(), label->get_width());
      EXPECT_EQ(label->has_css_class("group-row"), index == 0) << index;
    }
  }
  // The row views move no cell: the same places as in a source list without them.
  const auto withRowViews = rowChildren(*muted), withoutRowViews = rowChildren(*bare);
  for (std::size_t index = 0; index < 3; ++index) {
    const graphene_rect_t a = boundsIn(*labelOf(withRowViews[index]), *muted);
    const graphene_rect_t b = boundsIn(*labelOf(withoutRowViews[index]), *bare);
    EXPECT_EQ(a.origin.x, b.origin.x) << index;
    EXPECT_EQ(a.origin.y, b.origin.y) << index;
    EXPECT_EQ(a.size.width, b.size.width) << index;
    EXPECT_EQ(a.size.height, b.size.height) << index;
  }

  auto input = WidgetInput::Input::open(*window);
  if (!input) GTEST_SKIP() << "no X input on this display";
  XDriver::Session x;
  x.focus(gdk_x11_surface_get_xid(window->get_surface()->gobj()));
  ASSERT_TRUE(pumpUntil([&] { return window->is_active(); }));

  // A real click on "Shapes" selects it in every list.
  for (NSOutlineView* outline : outlines) {
    Gtk::Label* shapes = labelOf(rowChildren(*outline)[1]);
    ASSERT_TRUE(input->click(*shapes, 10, shapes->get_height() / 2.0));
    EXPECT_TRUE(pumpUntil([&] { return outline->selectedRowIndexes() == std::set<long>{1}; }));
  }
  for (NSOutlineView* outline : {static_cast<NSOutlineView*>(muted), static_cast<NSOutlineView*>(emphasized)}) {
    const auto rows = rowChildren(*outline);
    for (std::size_t index = 0; index < rows.size(); ++index)
      EXPECT_EQ(dynamic_cast<NSTableRowView*>(rows[index])->isSelected(), index == 1) << index;
  }

  // The colour of each list's "Shapes" row right of its text, and of the empty place below the rows.
  auto colours = [&](bool belowRows) {
    // (with the pointer away from every row)
    input->moveTo(input->onScreen(*plain, 20, plain->get_height() - 10));
    pumpFrames();
    std::vector<std::uint32_t> found;
    for (NSOutlineView* outline : outlines) {
      Gtk::Label* shapes = labelOf(rowChildren(*outline)[1]);
      const graphene_rect_t row = boundsIn(*shapes, *outline);
      const int y = belowRows ? outline->get_height() - 4 : int(row.origin.y + row.size.height / 2);
      GdkTexture* picture = nullptr;
      pumpUntil([&] { return (picture = renderWidget(*outline)) != nullptr; });
      found.push_back(picture ? pixel(picture, outline->get_width() - 8, y) : 0);
      if (picture) g_object_unref(picture);
    }
    return found;
  };
  const auto background = colours(true);
  const auto key = colours(false);
  saveScreenshot(*window, "source-list-row-views-key");

  // The plain outline, the source lists without row views and the one whose row views are
  // emphasized draw the emphasized selection; source-list row views the muted one.
  EXPECT_FALSE(near(key[0], background[0], 40));
  for (std::size_t list : {1u, 2u, 4u}) EXPECT_TRUE(near(key[list], key[0], 12)) << "list " << list;
  EXPECT_FALSE(near(key[3], background[3], 6)) << "no selection shown in the muted list";
  EXPECT_FALSE(near(key[3], key[0], 60)) << "source-list row views draw the emphasized selection";

  // An emphasized row view told otherwise draws the muted selection; a source-list row view stays
  // unemphasized whatever it is told.
  auto selectedRowView = [&](NSOutlineView& outline) { return dynamic_cast<NSTableRowView*>(rowChildren(outline)[1]); };
  selectedRowView(*emphasized)->setEmphasized(false);
  selectedRowView(*muted)->setEmphasized(true);
  EXPECT_FALSE(selectedRowView(*muted)->isEmphasized());
  const auto told = colours(false);
  saveScreenshot(*window, "source-list-row-views-told-emphasized");
  EXPECT_TRUE(near(told[4], key[3])) << "the emphasized row view did not take the muted look";
  EXPECT_TRUE(near(told[3], key[3]));

  // The same in a window that is not the key window.
  Gtk::Window other;
  ASSERT_TRUE(presentAsKeyWindow(other, *window, x));
  const auto notKey = colours(false);
  saveScreenshot(*window, "source-list-row-views-not-key");
  other.hide();
  EXPECT_TRUE(near(notKey[3], key[3]));
}

TEST_F(RowViewWindowTest, ARowViewTakesItsCellFromAnotherRowViewAndKeepsItAlive) {
  auto* first = Gtk::make_managed<QvSourceListTableRowView>();
  auto* second = Gtk::make_managed<QvSourceListTableRowView>();
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 0);
  box->append(*first);
  box->append(*second);
  auto* cell = Gtk::make_managed<Gtk::Label>("Shapes");
  first->setView(cell);
  show(*box);
  // Moved into the second row view, the cell leaves the first one and shows in the second.
  second->setView(cell);
  EXPECT_EQ(first->view(), nullptr);
  EXPECT_EQ(second->view(), cell);
  EXPECT_EQ(cell->get_parent(), second);
  ASSERT_TRUE(pumpUntil([&] { return cell->get_mapped() && cell->get_height() > 0; }));
  EXPECT_EQ(std::string(cell->get_text()), "Shapes");
  // Given the same cell again, the row view keeps it; given another, it shows only that one.
  second->setView(cell);
  EXPECT_EQ(cell->get_parent(), second);
  auto* replacement = Gtk::make_managed<Gtk::Label>("Colors");
  second->setView(replacement);
  EXPECT_EQ(second->view(), replacement);
  EXPECT_EQ(replacement->get_next_sibling(), nullptr);
  second->setView(nullptr);
  EXPECT_EQ(second->view(), nullptr);
  // A row view that shows several views keeps the one it is given, alive, and drops the others.
  auto* shapes = Gtk::make_managed<Gtk::Label>("Shapes");
  auto* colors = Gtk::make_managed<Gtk::Label>("Colors");
  first->append(*shapes);
  first->append(*colors);
  first->setView(colors);
  EXPECT_EQ(first->view(), colors);
  EXPECT_EQ(colors->get_parent(), first);
  EXPECT_EQ(colors->get_next_sibling(), nullptr);
  ASSERT_TRUE(pumpUntil([&] { return colors->get_mapped() && colors->get_height() > 0; }));
  EXPECT_EQ(std::string(colors->get_text()), "Colors");
  first->append(*Gtk::make_managed<Gtk::Label>("Emoji"));
  first->setView(colors);
  EXPECT_EQ(first->view(), colors);
  EXPECT_EQ(colors->get_next_sibling(), nullptr);
}

/// A list of plain rows, each holding a source-list row view, with the source list's look.
struct RowList {
  RowList() {
    QvSourceListView styles;  // the source list's row styles
    auto strings = Gtk::StringList::create({"Shapes", "Colors", "Emoji"});
    auto factory = Gtk::SignalListItemFactory::create();
    factory->signal_setup().connect([this](const Glib::RefPtr<Gtk::ListItem>& item) { items.push_back(item); });
    factory->signal_bind().connect([](const Glib::RefPtr<Gtk::ListItem>& item) {
      auto* rowView = Gtk::make_managed<QvSourceListTableRowView>();
      auto* label = Gtk::make_managed<Gtk::Label>(std::dynamic_pointer_cast<Gtk::StringObject>(item->get_item())->get_string());
      label->set_xalign(0);
      label->set_size_request(-1, 30);
      rowView->setView(label);
      item->set_child(*rowView);
    });
    list = Gtk::make_managed<Gtk::ListView>(Gtk::MultiSelection::create(strings), factory);
    list->add_css_class("qv-source-list");
    list->add_css_class("navigation-sidebar");
  }
  Glib::RefPtr<Gtk::ListItem> item(guint position) const {
    for (const auto& item : items)
      if (item->get_position() == position && item->get_child()) return item;
    return nullptr;
  }
  static Gtk::Widget* row(const Glib::RefPtr<Gtk::ListItem>& item) { return item->get_child()->get_parent(); }
  Gtk::ListView* list = nullptr;
  std::vector<Glib::RefPtr<Gtk::ListItem>> items;
};

TEST_F(RowViewWindowTest, ARowLosesTheMutedLookWithTheRowViewThatLeavesIt) {
  RowList rows;
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 0);
  rows.list->set_hexpand(true);
  box->append(*rows.list);
  show(*box);
  ASSERT_TRUE(pumpUntil([&] { return rows.item(0) && rows.item(1) && rows.item(2); }));
  const auto shapes = rows.item(0), colors = rows.item(1), emoji = rows.item(2);
  Gtk::Widget* shapesRow = RowList::row(shapes);
  Gtk::Widget* colorsRow = RowList::row(colors);
  Gtk::Widget* emojiRow = RowList::row(emoji);
  for (Gtk::Widget* row : {shapesRow, colorsRow, emojiRow}) EXPECT_TRUE(row->has_css_class("qv-unemphasized"));

  // A real click selects "Shapes": drawn in the muted look.
  auto input = WidgetInput::Input::open(*window);
  if (!input) GTEST_SKIP() << "no X input on this display";
  XDriver::Session x;
  x.focus(gdk_x11_surface_get_xid(window->get_surface()->gobj()));
  ASSERT_TRUE(pumpUntil([&] { return window->is_active(); }));
  ASSERT_TRUE(input->click(*shapes->get_child(), 10, 15));
  ASSERT_TRUE(pumpUntil([&] { return (shapesRow->get_state_flags() & Gtk::StateFlags::SELECTED) == Gtk::StateFlags::SELECTED; }));
  auto colourRightOf = [&](Gtk::Widget& row) {
    pumpFrames();
    graphene_rect_t bounds = boundsIn(row, *rows.list);
    GdkTexture* picture = nullptr;
    pumpUntil([&] { return (picture = renderWidget(*rows.list)) != nullptr; });
    const std::uint32_t found = picture ? pixel(picture, rows.list->get_width() - 8, int(bounds.origin.y + bounds.size.height / 2)) : 0;
    if (picture) g_object_unref(picture);
    return found;
  };
  const std::uint32_t muted = colourRightOf(*shapesRow);
  saveScreenshot(*window, "row-view-leaves-row-muted");

  // Its row view leaves for a plain cell: the row draws the emphasized selection of a plain row.
  auto* shapesRowView = shapes->get_child();
  g_object_ref(shapesRowView->gobj());
  shapes->set_child(*Gtk::make_managed<Gtk::Label>("Shapes"));
  EXPECT_FALSE(shapesRow->has_css_class("qv-unemphasized"));
  const std::uint32_t emphasized = colourRightOf(*shapesRow);
  saveScreenshot(*window, "row-view-leaves-row-emphasized");
  EXPECT_FALSE(near(muted, emphasized, 40)) << std::hex << muted << " " << emphasized;

  // Moved into another row, it marks that row; a plain box it moves to is never marked, and the row
  // it left there loses the mark.
  colors->set_child(*shapesRowView);
  g_object_unref(shapesRowView->gobj());
  EXPECT_TRUE(colorsRow->has_css_class("qv-unemphasized"));
  EXPECT_FALSE(shapesRow->has_css_class("qv-unemphasized"));
  auto* emojiRowView = emoji->get_child();
  g_object_ref(emojiRowView->gobj());
  emoji->unset_child();
  box->append(*emojiRowView);
  g_object_unref(emojiRowView->gobj());
  EXPECT_FALSE(emojiRow->has_css_class("qv-unemphasized"));
  EXPECT_FALSE(box->has_css_class("qv-unemphasized"));
}

TEST_F(RowViewWindowTest, ARowViewThatAnotherRowHoldsIsNotTakenFromIt) {
  // A delegate that gives the same row view for every row: the first row to come keeps it, and the
  // other rows show their cells alone, in an outline and in a source list.
  auto* plainShared = Gtk::make_managed<NSTableRowView>();
  auto* listShared = Gtk::make_managed<QvSourceListTableRowView>();
  NSOutlineView* plain = nullptr;
  NSOutlineView* sourceList = nullptr;
  auto* plainScroll = qv().makeOutlineView([&](NSOutlineView& made) { plain = &made; });
  auto* listScroll = qv().makeSourceListView([&](NSOutlineView& made) { sourceList = &made; });
  ASSERT_TRUE(plain && sourceList);
  fill(*plain, [plainShared] { return plainShared; });
  fill(*sourceList, [listShared] { return listShared; });
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 10);
  for (Gtk::ScrolledWindow* scroll : {static_cast<Gtk::ScrolledWindow*>(plainScroll), static_cast<Gtk::ScrolledWindow*>(listScroll)}) {
    scroll->set_hexpand(true);
    scroll->set_vexpand(true);
    box->append(*scroll);
  }
  show(*box);
  for (NSOutlineView* outline : {plain, sourceList}) {
    ASSERT_TRUE(pumpUntil([&] { return rowChildren(*outline).size() == 3; }));
    const auto rows = rowChildren(*outline);
    std::size_t inRowView = 0;
    for (std::size_t index = 0; index < rows.size(); ++index) {
      Gtk::Widget* shown = rows[index];
      if (auto* rowView = dynamic_cast<NSTableRowView*>(shown)) {
        ++inRowView;
        shown = rowView->view();  // (the outline's expander, or the source list's cell)
      }
      Gtk::Label* label = labelOf(shown);
      ASSERT_NE(label, nullptr) << index;
      EXPECT_EQ(std::string(label->get_text()), names[index]);
      EXPECT_TRUE(label->get_mapped()) << index;
    }
    EXPECT_EQ(inRowView, 1u);
  }
  saveScreenshot(*window, "outlines-with-one-shared-row-view");
}

}  // namespace
