// Members of the view kit in shown windows: an image button whose subclass answers its own
// lengths and a font, button bars made from images, tables that name their own class, scroll views
// sized by their whole document, the source list's column and the factory's stack distributions.
#include <gtest/gtest.h>

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/revealer.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/settings.h>

#include <map>

#include "Fennix/UI/AppKit/GTK/ViewFactory.h"
#include "Fennix/UI/AppKit/Views/GTK/ImageButton.h"
#include "Fennix/UI/Common/AutoLayout.h"
#include "Fennix/UI/Common/GTK/AutoLayoutGTK.h"
#include "ViewKitWindowSupport.h"
#include "XDriver/WidgetInput.h"
#include "XDriver/XDriver.h"

using namespace ViewKitWindowSupport;

namespace {

class MembersWindowTest : public WindowTest {
 protected:
  MembersWindowTest() : WindowTest(420, 300, 20) {}
};

/// A square of one colour.
Fennix::ImagePtr square(int size, std::uint32_t rgb) {
  return Fennix::Image::withDrawing({double(size), double(size)}, [rgb](const Cairo::RefPtr<Cairo::Context>& context,
                                                                        double w, double h) {
    context->set_source_rgb(((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0, (rgb & 0xff) / 255.0);
    context->rectangle(0, 0, w, h);
    context->fill();
  });
}

/// A button with a larger image, more room after the image and before the trailing edge.
struct RoomyImageButton : QvImageButton {
  double imageSize() const override { return 24; }
  double textImageSpacing() const override { return 6; }
  double textTrailingPadding() const override { return 10; }
};

TEST_F(MembersWindowTest, ImageButtonLengthsFromASubclassAndItsFont) {
  auto* root = QvViewBase::make<QvViewBase>();
  auto* plain = QvImageButton::make();
  auto* roomy = QvImageButton::make<RoomyImageButton>();
  for (QvImageButton* button : std::vector<QvImageButton*>{plain, roomy}) {
    button->setImage(square(16, 0x2a7d2a));
    button->setTitle("Title");
  }
  qvAdd(*root, std::nullopt, *plain, std::nullopt, "H:|-8-[self]", "V:|-8-[self]");
  qvAdd(*root, std::nullopt, *roomy, std::nullopt, "H:|-8-[self]", "V:|-50-[self]");
  // The label font until one is set.
  EXPECT_EQ(*plain->font(), *NSFont::labelFont(NSFont::labelFontSize()));
  const NSFontPtr large = NSFont::systemFont(24);
  roomy->setFont(large);
  EXPECT_EQ(roomy->font().get(), large.get());
  show(*root);
  ASSERT_TRUE(pumpUntil([&] { return roomy->get_height() > 0; }));
  pumpFrames();

  const graphene_rect_t image = boundsIn(*roomy->views().image, *roomy);
  EXPECT_EQ(image.origin.x, 4);
  EXPECT_EQ(image.origin.y, 3);
  EXPECT_EQ(image.size.width, 24);
  EXPECT_EQ(roomy->get_height(), 30);  // 3 + 24 + 3
  const graphene_rect_t label = boundsIn(*roomy->views().label, *roomy);
  EXPECT_EQ(label.origin.x, 4 + 24 + 6);
  EXPECT_EQ(label.origin.x + label.size.width, roomy->get_width() - 10);
  // The larger font makes the larger text.
  EXPECT_GT(label.size.height, boundsIn(*plain->views().label, *plain).size.height);
  EXPECT_EQ(plain->get_height(), 22);
  saveScreenshot(*root, "image-button-roomy-large-font");
  roomy->setFont(nullptr);
  EXPECT_EQ(*roomy->font(), *NSFont::labelFont(NSFont::labelFontSize()));
}

/// A table of the application's own kind, which hears of appearance changes.
struct ProjectTable : QvExtendedTableView {
  void onAppearanceChange() override { ++appearanceChanges; }
  int appearanceChanges = 0;
};
struct ProjectScroll : QvExtendedScrollView {
  void onAppearanceChange() override { ++appearanceChanges; }
  int appearanceChanges = 0;
};

TEST_F(MembersWindowTest, ButtonBarsFromImagesAndTablesThatNameTheirClass) {
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 8);
  const Fennix::ImagePtr red = square(16, 0xff0000), blue = square(16, 0x0000ff);
  auto* images = Gtk::make_managed<QvTableViewButtons>(std::vector<Fennix::ImagePtr>{red, nullptr, blue}, 24);
  EXPECT_EQ(images->segmentCount(), 3);  // two images and the filler
  EXPECT_EQ(images->segmentImage(0).get(), red.get());
  EXPECT_EQ(images->segmentImage(1).get(), blue.get());
  EXPECT_FALSE(images->segment(2).get_sensitive());
  EXPECT_EQ(images->minimumWidth(), 51);
  // Images and names together; a number and a name without an icon are dropped.
  auto* mixed = qv().makeTableViewButtons({red, std::string("list-add-symbolic"), 42, "no-such-icon-anywhere"}, 0);
  EXPECT_EQ(mixed->segmentCount(), 3);
  EXPECT_EQ(mixed->segmentImage(0).get(), red.get());
  EXPECT_FALSE(mixed->segmentImage(1));
  EXPECT_FALSE(mixed->minimumWidth());
  box->append(*images);
  box->append(*mixed);

  auto* table = Gtk::make_managed<ProjectTable>();
  table->addTableColumn("name", "Name");
  EXPECT_EQ(table->description().rfind("<ProjectTable:ObjectIdentifier(0x", 0), 0u) << table->description();
  EXPECT_NE(table->description().find(": rows=0 cols=1>"), std::string::npos);

  auto* scroll = Gtk::make_managed<ProjectScroll>();
  scroll->set_child(*table);
  scroll->set_size_request(-1, 60);
  auto* split = Gtk::make_managed<QvSplitViewWithColoredDivider>(true);
  split->addArrangedSubview(*Gtk::make_managed<Gtk::Label>("left"));
  split->addArrangedSubview(*Gtk::make_managed<Gtk::Label>("right"));
  box->append(*scroll);
  box->append(*split);

  std::vector<int> pressed;
  images->onClick([&](QvTableViewButtons&, int segment) { pressed.push_back(segment); });
  show(*box);
  auto input = WidgetInput::Input::open(*window);
  if (!input) GTEST_SKIP() << "no X input on this display";
  ASSERT_TRUE(input->click(images->segment(1)));
  EXPECT_TRUE(pumpUntil([&] { return !pressed.empty(); }));
  EXPECT_EQ(pressed, std::vector<int>{1});
  saveScreenshot(*box, "button-bars-from-images");
  // The image shows on its segment.
  if (GdkTexture* picture = renderWidget(images->segment(0))) {
    const int w = gdk_texture_get_width(picture), h = gdk_texture_get_height(picture);
    EXPECT_TRUE(near(pixel(picture, w / 2, h / 2), 0xff0000, 20)) << std::hex << pixel(picture, w / 2, h / 2);
    g_object_unref(picture);
  }

  // The table, its scroll view and the split view hear of a change to the dark appearance.
  auto settings = Gtk::Settings::get_default();
  ASSERT_TRUE(split->dividerColor());
  settings->property_gtk_application_prefer_dark_theme() = true;
  EXPECT_TRUE(pumpUntil([&] { return table->appearanceChanges > 0 && scroll->appearanceChanges > 0; }));
  settings->property_gtk_application_prefer_dark_theme() = false;
  EXPECT_TRUE(pumpUntil([&] { return table->appearanceChanges > 1; }));
}

TEST_F(MembersWindowTest, ContentSizedScrollViewFollowsTheWholeDocument) {
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
  auto* scroll = Gtk::make_managed<QvContentSizedScrollView>();
  auto* document = Gtk::make_managed<Gtk::Box>();
  document->set_size_request(230, 90);
  scroll->set_child(*document);
  scroll->set_halign(Gtk::Align::START);
  scroll->set_valign(Gtk::Align::START);
  box->append(*scroll);
  show(*box);
  ASSERT_TRUE(scroll->intrinsicContentSize());
  EXPECT_EQ(*scroll->intrinsicContentSize(), (CGSize{230, 90}));
  EXPECT_EQ(scroll->get_width(), 230);
  EXPECT_EQ(scroll->get_height(), 90);
  document->set_size_request(300, 40);
  scroll->invalidateIntrinsicContentSize();
  EXPECT_TRUE(pumpUntil([&] { return scroll->get_width() == 300; }));
  EXPECT_EQ(*scroll->intrinsicContentHeight(), 40);
  QvContentSizedScrollView empty;
  EXPECT_FALSE(empty.intrinsicContentSize());
}

TEST_F(MembersWindowTest, SourceListHasItsTitleColumn) {
  NSOutlineView* outline = nullptr;
  QvExtendedScrollView* scroll = qv().makeSourceListView([&](NSOutlineView& made) { outline = &made; });
  ASSERT_TRUE(outline);
  ASSERT_EQ(outline->tableColumns().size(), 1u);
  const NSTableColumn& column = outline->tableColumns()[0];
  EXPECT_EQ(column.identifier, "title");
  EXPECT_EQ(column.title, "Title");
  EXPECT_EQ(column.minWidth, 180);
  EXPECT_FALSE(column.isEditable);
  ASSERT_TRUE(outline->outlineTableColumn());
  EXPECT_EQ(outline->outlineTableColumn()->identifier, "title");
  // The column's least width holds in a narrow place.
  auto* box = Gtk::make_managed<Gtk::Box>();
  scroll->set_halign(Gtk::Align::START);
  scroll->set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
  box->append(*scroll);
  window->set_default_size(60, 200);
  show(*box);
  EXPECT_GE(outline->get_width(), 180);
}

TEST_F(MembersWindowTest, SourceListSelectionLooksAsItsRowViewsSayWhetherTheWindowIsKeyOrNot) {
  static const char* names[] = {"Recent", "Shapes", "Colors"};
  auto flat = [](NSOutlineView& view) {
    view.setDataSource({[](NSOutlineView::Item parent) -> std::size_t { return parent ? 0 : 3; },
                        [](std::size_t index, NSOutlineView::Item) -> NSOutlineView::Item { return names[index]; },
                        [](NSOutlineView::Item) { return false; },
                        [](NSOutlineView&, NSOutlineView::Item item) -> Gtk::Widget* {
                          auto* label = Gtk::make_managed<Gtk::Label>(static_cast<const char*>(item));
                          label->set_xalign(0);
                          return label;
                        }});
  };
  // An outline, the factory's source list, a source list made on its own, and one whose delegate
  // holds every row in a source-list row view.
  NSOutlineView* plain = nullptr;
  NSOutlineView* sourceList = nullptr;
  QvExtendedScrollView* plainScroll = qv().makeOutlineView([&](NSOutlineView& made) { plain = &made; flat(made); });
  QvExtendedScrollView* sourceScroll = qv().makeSourceListView([&](NSOutlineView& made) { sourceList = &made; flat(made); });
  ASSERT_TRUE(plain && sourceList);
  auto* bare = Gtk::make_managed<QvSourceListView>();
  auto* muted = Gtk::make_managed<QvSourceListView>();
  flat(*bare);
  flat(*muted);
  NSOutlineView::Delegate rowViews;
  rowViews.rowViewFor = [](NSOutlineView::Item) -> NSTableRowView* { return Gtk::make_managed<QvSourceListTableRowView>(); };
  muted->setDelegate(rowViews);
  auto* bareScroll = Gtk::make_managed<Gtk::ScrolledWindow>();
  bareScroll->set_child(*bare);
  auto* mutedScroll = Gtk::make_managed<Gtk::ScrolledWindow>();
  mutedScroll->set_child(*muted);
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 10);
  for (Gtk::ScrolledWindow* scroll : {static_cast<Gtk::ScrolledWindow*>(plainScroll),
                                      static_cast<Gtk::ScrolledWindow*>(sourceScroll), bareScroll, mutedScroll}) {
    scroll->set_hexpand(true);
    box->append(*scroll);
  }
  show(*box);
  std::vector<NSOutlineView*> outlines{plain, sourceList, bare, muted};
  for (NSOutlineView* outline : outlines) outline->selectRowIndexes({0}, false);
  auto input = WidgetInput::Input::open(*window);
  if (!input) GTEST_SKIP() << "no X input on this display";
  XDriver::Session x;
  // The colours right of the text of the first rows (top) and at the foot of the drawn rows, under
  // the selection.
  auto colours = [&](bool top) {
    pumpFrames();
    std::vector<std::uint32_t> found;
    for (NSOutlineView* outline : outlines) {
      GdkTexture* picture = nullptr;
      pumpUntil([&] { return (picture = renderWidget(*outline)) != nullptr; });
      if (!picture || gdk_texture_get_width(picture) < 8 || gdk_texture_get_height(picture) < 30) {
        ADD_FAILURE() << "no picture of the rows";
        found.push_back(0);
      } else {
        // (inside the rounded rows of the source lists)
        const int right = gdk_texture_get_width(picture) - 16;
        found.push_back(pixel(picture, right, top ? 8 : gdk_texture_get_height(picture) - 3));
      }
      if (picture) g_object_unref(picture);
    }
    return found;
  };
  x.focus(gdk_x11_surface_get_xid(window->get_surface()->gobj()));
  ASSERT_TRUE(pumpUntil([&] { return window->is_active(); }));
  const auto key = colours(true);
  const auto background = colours(false);
  saveScreenshot(*window, "source-list-selection-key");

  Gtk::Window other;
  ASSERT_TRUE(presentAsKeyWindow(other, *window, x));
  const auto notKey = colours(true);
  saveScreenshot(*window, "source-list-selection-not-key");
  other.hide();

  // The outline and the source lists without row views show their selection in the accent colour;
  // the source list of source-list row views in the muted look of an unemphasized selection, the
  // same in a key window and in one that is not.
  EXPECT_FALSE(near(key[0], background[0], 40));
  for (std::size_t list : {1u, 2u}) EXPECT_TRUE(near(key[list], key[0], 12)) << "source list " << list;
  EXPECT_FALSE(near(key[3], background[3], 6)) << "no selection shown in the source list of row views";
  EXPECT_FALSE(near(key[3], key[0], 60)) << "source-list row views draw the emphasized selection";
  EXPECT_TRUE(near(key[3], notKey[3]));
}

TEST_F(MembersWindowTest, StackDistributionsPlaceTheirViews) {
  auto blocks = [](std::vector<int> widths) {
    std::vector<Gtk::Widget*> views;
    for (int width : widths) {
      auto* block = Gtk::make_managed<Gtk::Box>();
      block->set_size_request(width, 20);
      views.push_back(block);
    }
    return views;
  };
  auto* column = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 4);
  column->set_size_request(400, -1);
  column->set_halign(Gtk::Align::START);
  std::map<NSStackViewDistribution, std::vector<Gtk::Widget*>> rows;
  for (auto distribution : {NSStackViewDistribution::gravityAreas, NSStackViewDistribution::fill,
                            NSStackViewDistribution::fillEqually, NSStackViewDistribution::fillProportionally,
                            NSStackViewDistribution::equalSpacing, NSStackViewDistribution::equalCentering}) {
    rows[distribution] = blocks({20, 60, 40});
    Gtk::Box* stack = qv().makeHStack(std::nullopt, distribution, std::nullopt, 0, std::nullopt, std::nullopt,
                                      rows[distribution]);
    column->append(*stack);
  }
  setHHug(Fennix::item(rows[NSStackViewDistribution::fill][1]), 1);  // the middle one gives way
  show(*column);
  auto xs = [&](NSStackViewDistribution distribution) {
    std::vector<std::pair<int, int>> places;
    for (Gtk::Widget* view : rows[distribution]) {
      const graphene_rect_t bounds = boundsIn(*view, *view->get_parent());
      places.emplace_back(int(bounds.origin.x), int(bounds.size.width));
    }
    return places;
  };
  using Places = std::vector<std::pair<int, int>>;
  EXPECT_EQ(xs(NSStackViewDistribution::gravityAreas), (Places{{0, 20}, {20, 60}, {80, 40}}));
  EXPECT_EQ(xs(NSStackViewDistribution::fill), (Places{{0, 20}, {20, 340}, {360, 40}}));
  EXPECT_EQ(xs(NSStackViewDistribution::fillEqually), (Places{{0, 134}, {134, 133}, {267, 133}}));
  EXPECT_EQ(xs(NSStackViewDistribution::fillProportionally), (Places{{0, 67}, {67, 200}, {267, 133}}));
  EXPECT_EQ(xs(NSStackViewDistribution::equalSpacing), (Places{{0, 20}, {160, 60}, {360, 40}}));
  // Centres at 10, 195 and 380.
  EXPECT_EQ(xs(NSStackViewDistribution::equalCentering), (Places{{0, 20}, {165, 60}, {360, 40}}));
  saveScreenshot(*window, "stack-distributions");
}

TEST_F(MembersWindowTest, RowsInsertedWithAnAnimationComeInThroughARevealer) {
  std::vector<std::string> names{"Apple", "Banana"};
  auto* table = Gtk::make_managed<QvExtendedTableView>();
  table->addTableColumn("name", "Name");
  table->setDataSource({[&] { return names.size(); },
                        [&](NSTableView&, const std::string&, std::size_t row) -> Gtk::Widget* {
                          auto* label = Gtk::make_managed<Gtk::Label>(names[row]);
                          label->set_xalign(0);
                          return label;
                        }});
  auto* scroll = Gtk::make_managed<Gtk::ScrolledWindow>();
  scroll->set_child(*table);
  show(*scroll);
  auto revealerOf = [&](std::size_t row) -> Gtk::Revealer* {
    Gtk::Widget* view = table->viewAt(0, row);
    return view ? dynamic_cast<Gtk::Revealer*>(view->get_parent()) : nullptr;
  };
  ASSERT_TRUE(pumpUntil([&] { return table->viewAt(0, 1) != nullptr; }));
  EXPECT_FALSE(revealerOf(0));  // rows loaded with the data come in at once

  names.insert(names.begin() + 1, "Cherry");
  table->insertRows({1}, 1);  // fade
  EXPECT_EQ(table->numberOfRows(), 3u);  // counted at once, shown in the animation
  ASSERT_TRUE(pumpUntil([&] { return revealerOf(1) != nullptr; }));
  EXPECT_EQ(revealerOf(1)->get_transition_type(), Gtk::RevealerTransitionType::CROSSFADE);
  EXPECT_TRUE(pumpUntil([&] { return revealerOf(1) && revealerOf(1)->get_child_revealed(); }));
  names.push_back("Date");
  table->insertRows({3}, 32);  // slide down
  ASSERT_TRUE(pumpUntil([&] { return revealerOf(3) != nullptr; }));
  EXPECT_EQ(revealerOf(3)->get_transition_type(), Gtk::RevealerTransitionType::SLIDE_DOWN);
  EXPECT_TRUE(pumpUntil([&] { return revealerOf(3) && revealerOf(3)->get_child_revealed(); }));
  names.insert(names.begin(), "Fig");
  table->insertRows({0}, 0);  // none
  ASSERT_TRUE(pumpUntil([&] { return table->viewAt(0, 0) != nullptr; }));
  EXPECT_FALSE(revealerOf(0));
  saveScreenshot(*window, "table-rows-revealed");

  // Reloaded, the views come in at once and the revealers are gone.
  table->reloadData();
  ASSERT_TRUE(pumpUntil([&] { return table->viewAt(0, 4) != nullptr; }));
  for (std::size_t row = 0; row < 5; ++row) EXPECT_FALSE(revealerOf(row)) << row;
  names.erase(names.begin() + 1);
  table->removeRows({1}, 1);
  EXPECT_EQ(table->numberOfRows(), 4u);
}

}  // namespace
