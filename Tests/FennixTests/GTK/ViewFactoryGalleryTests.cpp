// The view factory's views, the toolbar pieces, the collection item frame, screens and the preview
// window in real windows.
#include <gtest/gtest.h>
#include <gtkmm/settings.h>
#include <giomm/simpleactiongroup.h>

#include "Fennix/UI/AppKit/GTK/Screens.h"
#include "Fennix/UI/AppKit/GTK/ViewFactory.h"
#include "Fennix/UI/AppKit/Views/GTK/CollectionItemFrame.h"
#include "Fennix/UI/AppKit/Views/GTK/ToolbarStatusView.h"
#include "Fennix/UI/Common/AutoLayout.h"
#include "ViewKitWindowSupport.h"

using namespace ViewKitWindowSupport;

namespace {

class FactoryWindowTest : public WindowTest {
 protected:
  FactoryWindowTest() : WindowTest(640, 560) {}
};

/// A factory whose scroll views carry a mark, to see that other makers build on it.
class MarkingFactory : public QvViewFactoryAppKitImp {
 public:
  QvExtendedScrollView* makeScrollView(Gtk::Widget& documentView) override {
    QvExtendedScrollView* scroll = QvViewFactoryAppKitImp::makeScrollView(documentView);
    scroll->set_name("marked");
    return scroll;
  }
  QvLabel* makeLabelBase(FormatterValue value) override {
    QvLabel* label = QvViewFactoryAppKitImp::makeLabelBase(std::move(value));
    label->add_css_class("marked");
    return label;
  }
};

}  // namespace

TEST_F(FactoryWindowTest, GalleryOfMadeViews) {
  testing::internal::CaptureStderr();
  QvViewFactoryAppKitImp& f = qv();
  EXPECT_EQ(&f, &QvViewFactoryAppKitImp::defaultViewFactory());

  QvStyles::Label style;
  style.align = NSTextAlignment::center;
  style.color = NSColor(0.8, 0, 0, 1);
  QvLabel* styled = f.makeLabel(std::string("styled"), "Styled label", std::nullopt, nullptr, std::nullopt, &style);
  EXPECT_EQ(styled->alignment(), NSTextAlignment::center);
  EXPECT_EQ(styled->textColor(), NSColor(0.8, 0, 0, 1));
  EXPECT_FALSE(styled->get_selectable());
  QvLabel* plain = f.makeLabel(std::nullopt, "x");
  EXPECT_EQ(plain->alignment(), NSTextAlignment::left);
  EXPECT_EQ(plain->get_xalign(), 0);

  Gtk::CheckButton* checkbox = f.makeCheckbox(std::nullopt);
  EXPECT_EQ(checkbox->get_label(), "");
  EXPECT_FALSE(checkbox->get_active());

  QvLabel* header = f.makeSourceListHeaderLabel(std::string("Library"));
  EXPECT_EQ(header->get_text(), "LIBRARY");
  EXPECT_EQ(*header->objectValue().text(), "Library");
  EXPECT_EQ(header->get_name(), "Header");

  auto* a = f.makeLabel(std::nullopt, "a");
  NSGridView* grid = f.makeGrid({{nullptr, nullptr}, {}, {a, nullptr}});
  EXPECT_EQ(grid->numberOfRows(), 1);
  EXPECT_EQ(grid->cellView(0, 0), a);
  EXPECT_EQ(grid->cellView(1, 0), nullptr);
  NSGridView* unsized = f.makeGrid(3, std::nullopt);
  EXPECT_EQ(unsized->numberOfColumns(), 0);

  Gtk::Scale* slider = f.makeSlider(7, 0, 10);
  EXPECT_EQ(slider->get_value(), 7);
  Gtk::DropDown* popUp = f.makePopUp({"One", "Two"});
  EXPECT_EQ(popUp->get_model()->get_n_items(), 2u);

  bool tableConfigured = false;
  QvExtendedScrollView* table = f.makeOneColumnTableView([&](NSTableView& t) {
    tableConfigured = true;
    EXPECT_FALSE(t.hasHeaderView());
    EXPECT_EQ(t.numberOfColumns(), 1u);
  });
  EXPECT_TRUE(tableConfigured);
  int textConfigured = 0;
  QvExtendedScrollView* text = f.makeTextView([&](Gtk::TextView& view) {
    ++textConfigured;
    view.get_buffer()->set_text("A text view 😀");
  });
  EXPECT_EQ(textConfigured, 1);
  QvExtendedScrollView* collection = f.makeCollectionView(nullptr, [](QvCollectionView& view) {
    for (const char* name : {"one", "two", "three"}) view.append(*Gtk::make_managed<Gtk::Label>(name));
  });
  int dividerConfigured = 0;
  QvSubviewDividerView* divider = f.makeDividerView([&](QvSubviewDividerView& view) {
    ++dividerConfigured;
    view.setVertical(true);
  });
  EXPECT_EQ(dividerConfigured, 1);
  EXPECT_TRUE(divider->isVertical());
  auto* above = f.makeLabel(std::nullopt, "above the line");
  auto* below = f.makeLabel(std::nullopt, "below the line");
  Fennix::addSubviews(*divider, {above, below});
  qvConstrainVerticalStack({Fennix::item(above), Fennix::item(below)});
  QvExtendedScrollView* outline = f.makeOutlineView(nullptr);
  QvExtendedScrollView* sourceList = f.makeSourceListView(nullptr);
  // Views that size themselves before they have a container.
  Gtk::Widget* padder = f.makePadder(4, std::nullopt, false);
  QvImageViewBase* square = f.makeImageView(std::nullopt, nullptr, std::string("no-such-icon-anywhere"), 16.0);
  Gtk::Widget* squareHolder = f.makeGenericView();
  Fennix::addSubviews(*squareHolder, {square});
  qvConstrain(Fennix::item(square), "|[self]", "|[self]|");

  auto* column = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 6);
  std::vector<Gtk::Widget*> views{styled,
                                  f.makePropertyLabel("Property:"),
                                  header,
                                  f.makeTextField(std::string("field")),
                                  f.makeSecureTextField(),
                                  f.makeSearchField(),
                                  checkbox,
                                  f.makeButton(std::nullopt, std::string("Button"), nullptr, std::nullopt),
                                  f.makeBadgeButton(11),
                                  f.makeHSeparator(),
                                  slider,
                                  popUp,
                                  f.makeColorWell(),
                                  f.makeProgressBar(),
                                  f.makeSpinner(),
                                  grid,
                                  unsized,
                                  padder,
                                  f.makeBackground(NSColor(0.2, 0.5, 0.9, 1), false),
                                  f.makeBackgroundBox(NSColor(0.9, 0.7, 0.2, 1)),
                                  squareHolder,
                                  f.makeTabView(),
                                  f.makeBox(),
                                  f.makeStackView({f.makeLabel(std::nullopt, "stacked"), f.makeVSeparator(),
                                                   f.makeLabel(std::nullopt, "views")},
                                                  NSUserInterfaceLayoutOrientation::horizontal,
                                                  NSStackViewDistribution::fill, NSLayoutAttribute::centerY,
                                                  std::nullopt, 8, nullptr),
                                  f.makeTableViewButtons({"list-add", "list-remove"}, 24),
                                  divider,
                                  f.makeVisualEffectsSeeThroughContainer(),
                                  f.makeGenericView(),
                                  f.makeRootView()};
  for (Gtk::Widget* view : views) column->append(*view);
  for (Gtk::Widget* scroll : std::vector<Gtk::Widget*>{table, text, collection, outline, sourceList}) {
    scroll->set_size_request(-1, 40);
    column->append(*scroll);
  }
  auto* page = f.makeScrollView(*column);
  window->set_child(*page);
  window->present();
  ASSERT_TRUE(pumpUntil([&] { return styled->get_width() > 0; }));
  pumpFrames();
  const auto picture = saveScreenshot(*window, "factory-gallery");
  EXPECT_TRUE(std::filesystem::exists(picture));
  EXPECT_EQ(padder->get_height(), 4);
  EXPECT_EQ(square->get_width(), 16);
  EXPECT_EQ(square->get_height(), 16);
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(log.find("outside one constraint layout"), std::string::npos) << log;

  // Another factory's scroll view reaches the table it wraps, and its label base every label.
  MarkingFactory marking;
  QvExtendedScrollView* markedTable = marking.makeTableView();
  EXPECT_EQ(markedTable->get_name(), "marked");
  EXPECT_TRUE(marking.makePropertyLabel("p")->has_css_class("marked"));
  EXPECT_TRUE(marking.makeLabel(std::nullopt, "l")->has_css_class("marked"));
  auto* holder = Gtk::make_managed<Gtk::Box>();
  for (Gtk::Widget* view : std::vector<Gtk::Widget*>{markedTable}) holder->append(*view);
  column->append(*holder);
}

TEST_F(FactoryWindowTest, StatusPillInLightAndDark) {
  auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 8);
  row->set_margin(12);
  auto* status = QvViewBase::make<QvToolbarStatusView>();
  status->setStringValue("Converting drawing 😀");
  EXPECT_EQ(status->stringValue(), "Converting drawing 😀");
  row->append(*status);
  window->set_child(*row);
  window->set_default_size(360, 60);

  auto settings = Gtk::Settings::get_default();
  settings->property_gtk_application_prefer_dark_theme() = false;
  window->present();
  ASSERT_TRUE(pumpUntil([&] { return status->get_width() >= 320 && status->colors(); }));
  pumpFrames();
  EXPECT_EQ(status->colors()->border, NSColor::lightGrayColor());
  saveScreenshot(*window, "status-pill-light");
  GdkTexture* light = renderWidget(*status);
  ASSERT_TRUE(light);
  EXPECT_TRUE(near(pixel(light, 160, 4), 0xfefefe, 8)) << std::hex << pixel(light, 160, 4);
  g_object_unref(light);

  // Counting callers of the progress bar.
  status->startSpinner();
  status->startSpinner();
  status->stopSpinner(false);
  EXPECT_TRUE(status->progressRunning());
  status->stopSpinner(false);
  EXPECT_FALSE(status->progressRunning());
  status->startSpinner();
  status->startSpinner();
  status->startSpinner();
  status->stopSpinner(true);
  EXPECT_FALSE(status->progressRunning());
  EXPECT_EQ(status->spinnerCount(), 0);
  status->startSpinner();

  settings->property_gtk_application_prefer_dark_theme() = true;
  ASSERT_TRUE(pumpUntil([&] { return status->colors()->border != NSColor::lightGrayColor(); }));
  pumpFrames();
  saveScreenshot(*window, "status-pill-dark");
  GdkTexture* dark = renderWidget(*status);
  ASSERT_TRUE(dark);
  EXPECT_TRUE(near(pixel(dark, 160, 10), 0x5f6366, 8)) << std::hex << pixel(dark, 160, 10);
  g_object_unref(dark);
  settings->property_gtk_application_prefer_dark_theme() = false;
  status->stopSpinner(true);
}

TEST_F(FactoryWindowTest, SpinnerHoverAndToolbarValidation) {
  auto* box = Gtk::make_managed<Gtk::Box>();
  auto* spinner = Gtk::make_managed<QvCancelableSpinner>();
  auto* button = Gtk::make_managed<Gtk::Button>("Save");
  auto* entry = Gtk::make_managed<Gtk::Entry>();
  box->append(*spinner);
  box->append(*entry);
  box->append(*button);
  window->set_child(*box);
  window->present();
  ASSERT_TRUE(pumpUntil([&] { return button->get_width() > 0; }));

  spinner->mouseEntered();  // not spinning: the spinner stays
  EXPECT_EQ(spinner->cancelButton().get_visible() && spinner->cancelButton().get_child_visible(), false);
  spinner->mouseExited();
  int cancelled = 0;
  spinner->setAction([&] { ++cancelled; });
  spinner->setSpinning(true);
  spinner->mouseEntered();
  EXPECT_TRUE(spinner->cancelButton().get_child_visible());
  g_signal_emit_by_name(spinner->cancelButton().gobj(), "clicked");
  EXPECT_EQ(cancelled, 1);
  spinner->mouseExited();
  EXPECT_TRUE(spinner->spinner().get_child_visible());

  QvToolbarItem item("save");
  item.setView(button);
  item.setAction(std::string("doc.save"));
  // The focus stays on the entry while the button's state changes.
  window->set_focus(*entry);
  item.validate(window);
  EXPECT_FALSE(item.isEnabled());  // no handler along the chain
  EXPECT_FALSE(button->get_sensitive());

  auto group = Gio::SimpleActionGroup::create();
  auto save = group->add_action("save");
  Fennix::insertActionGroup(*box, "doc", group);
  item.validate(window);
  EXPECT_TRUE(item.isEnabled());
  save->set_enabled(false);
  item.validate(window);
  EXPECT_FALSE(item.isEnabled());
  item.validate(nullptr);  // without a window the item keeps its state
  EXPECT_FALSE(item.isEnabled());
}

TEST_F(FactoryWindowTest, CollectionItemFrameSizeAndLooks) {
  auto* frame = Gtk::make_managed<QvCVIFrame>();
  EXPECT_EQ(frame->intrinsicContentSize(), (CGSize{0, 0}));
  auto* content = Gtk::make_managed<Gtk::Box>();
  content->set_size_request(100, 20);
  frame->setContentView(content);
  EXPECT_EQ(frame->intrinsicContentSize(), (CGSize{116, 36}));
  auto* empty = Gtk::make_managed<Gtk::Box>();
  auto* emptyFrame = Gtk::make_managed<QvCVIFrame>();
  emptyFrame->setContentView(empty);
  EXPECT_EQ(emptyFrame->intrinsicContentSize(), (CGSize{0, 0}));

  auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 10);
  row->set_margin(10);
  row->set_valign(Gtk::Align::START);
  row->set_halign(Gtk::Align::START);
  row->append(*frame);
  auto* selected = Gtk::make_managed<QvCVIFrame>();
  auto* selectedContent = Gtk::make_managed<Gtk::Box>();
  selectedContent->set_size_request(100, 20);
  selected->setContentView(selectedContent);
  selected->setSelected(true);
  row->append(*selected);
  row->append(*emptyFrame);
  window->set_child(*row);
  window->present();
  ASSERT_TRUE(pumpUntil([&] { return frame->get_width() == 116 && frame->get_height() == 36; }));
  pumpFrames();
  saveScreenshot(*window, "collection-item-frames");
  GdkTexture* picture = renderWidget(*frame);
  ASSERT_TRUE(picture);
  EXPECT_TRUE(near(pixel(picture, 58, 18), 0xfafafa, 3)) << std::hex << pixel(picture, 58, 18);
  g_object_unref(picture);
}

/// A frame that shows its selection with a border of its own.
struct OutlinedFrame : QvCVIFrame {
  int changes = 0;
  void onSelectionChange() override {
    ++changes;
    QvCVIFrame::onSelectionChange();
    outlineWidth = isSelected() ? 4 : 0;
  }
  int outlineWidth = 0;
};

TEST_F(FactoryWindowTest, SelectingAFrameRunsItsOwnSelectionHook) {
  auto* frame = Gtk::make_managed<OutlinedFrame>();
  auto* content = Gtk::make_managed<Gtk::Box>();
  content->set_size_request(100, 20);
  frame->setContentView(content);
  frame->set_halign(Gtk::Align::START);
  frame->set_valign(Gtk::Align::START);
  window->set_child(*frame);
  window->present();
  ASSERT_TRUE(pumpUntil([&] { return frame->get_width() == 116; }));
  frame->setSelected(true);
  EXPECT_EQ(frame->changes, 1);
  EXPECT_EQ(frame->outlineWidth, 4);
  GdkTexture* selected = nullptr;
  ASSERT_TRUE(pumpUntil([&] { return (selected = renderWidget(*frame)) != nullptr; }));
  const std::uint32_t selectedColour = pixel(selected, 58, 18);
  g_object_unref(selected);
  EXPECT_FALSE(near(selectedColour, 0xfafafa, 3)) << std::hex << selectedColour;
  frame->setSelected(false);
  EXPECT_EQ(frame->changes, 2);
  EXPECT_EQ(frame->outlineWidth, 0);
  GdkTexture* plain = nullptr;
  ASSERT_TRUE(pumpUntil([&] { return (plain = renderWidget(*frame)) != nullptr; }));
  EXPECT_TRUE(near(pixel(plain, 58, 18), 0xfafafa, 3)) << std::hex << pixel(plain, 58, 18);
  g_object_unref(plain);
}

TEST_F(FactoryWindowTest, ScreensAndPreviewToggle) {
  auto monitors = Gdk::Display::get_default()->get_monitors();
  ASSERT_GT(monitors->get_n_items(), 0u);
  auto monitor = std::dynamic_pointer_cast<Gdk::Monitor>(monitors->get_object(0));
  ASSERT_TRUE(monitor);
  const std::string identifier = Fennix::qvIdentifier(monitor);
  EXPECT_TRUE(identifier == "MAIN" || identifier.rfind("sid", 0) == 0 || identifier.rfind("sz", 0) == 0)
      << identifier;
  // The main screen is the one holding the window with the keyboard focus.
  window->present();
  ASSERT_TRUE(pumpUntil([&] { return window->is_active(); }));
  auto display = window->get_display();
  auto focused = display->get_monitor_at_surface(window->get_surface());
  ASSERT_TRUE(focused);
  EXPECT_EQ(Fennix::qvMainMonitor(display), focused);
  EXPECT_EQ(Fennix::qvIdentifier(focused), "MAIN");

  const bool existed = QLPreviewPanel::sharedPreviewPanelExists();
  if (existed) QLPreviewPanel::sharedPreviewPanel().hide();
  QLPreviewPanel::toggle(nullptr);
  EXPECT_TRUE(QLPreviewPanel::sharedPreviewPanelExists());
  EXPECT_TRUE(QLPreviewPanel::sharedPreviewPanel().get_visible());
  QLPreviewPanel::toggle(nullptr);
  EXPECT_FALSE(QLPreviewPanel::sharedPreviewPanel().get_visible());
  pumpFrames(10);
}
