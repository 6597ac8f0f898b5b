// The one action of buttons, entries, drop-downs and segmented controls, triggered by real clicks
// and typing through the X server.
#include <gtest/gtest.h>

#include <gtkmm/box.h>
#include <gtkmm/stringlist.h>

#include "FennixTests/GTK/ViewKitWindowSupport.h"
#include "PortKit/GTK/TableViewCell.h"
#include "XDriver/WidgetInput.h"

namespace {

using namespace ViewKitWindowSupport;

/// The mapped label showing `text` inside `root`, searched depth first.
Gtk::Widget* mappedLabel(Gtk::Widget& root, const std::string& text) {
  if (auto* label = dynamic_cast<Gtk::Label*>(&root); label && label->get_mapped() && std::string(label->get_text()) == text)
    return label;
  for (Gtk::Widget* child = root.get_first_child(); child; child = child->get_next_sibling())
    if (Gtk::Widget* found = mappedLabel(*child, text)) return found;
  return nullptr;
}

class ControlActionTest : public WindowTest {
 protected:
  ControlActionTest() : WindowTest(360, 200, 40) {}
  void SetUp() override {
    WindowTest::SetUp();
    if (IsSkipped()) return;
    box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 8);
  }
  /// Shows the box of controls in the window.
  void show() {
    WindowTest::show(*box);
    input = WidgetInput::Input::open(*window);
    if (!input) GTEST_SKIP() << "no X input on this display";
  }
  std::optional<WidgetInput::Input> input;
  Gtk::Box* box = nullptr;
};

TEST_F(ControlActionTest, ASecondActionReplacesTheFirst) {
  auto* button = Gtk::make_managed<Gtk::Button>("Press");
  auto* field = Gtk::make_managed<Gtk::Entry>();
  auto* buttons = Gtk::make_managed<QvTableViewButtons>(
      std::vector<std::string>{"list-add-symbolic", "list-remove-symbolic"}, 24);
  box->append(*button);
  box->append(*field);
  box->append(*buttons);

  int firstButtonAction = 0, buttonAction = 0, firstFieldAction = 0, firstSegmentAction = 0;
  std::vector<std::string> committed;
  std::vector<int> segments;
  EXPECT_EQ(&PortKit::onClick(*button, [&](Gtk::Button&) { ++firstButtonAction; }), button);
  PortKit::onClick(*button, [&](Gtk::Button& sender) {
    EXPECT_EQ(&sender, button);
    ++buttonAction;
  });
  EXPECT_EQ(&PortKit::onChange(*field, [&](Gtk::Entry&) { ++firstFieldAction; }), field);
  PortKit::onChange(*field, [&](Gtk::Entry& sender) { committed.push_back(sender.get_text()); });
  EXPECT_EQ(&PortKit::onClick(*buttons, [&](QvTableViewButtons&, int) { ++firstSegmentAction; }), buttons);
  EXPECT_EQ(&PortKit::onChange(*buttons, [&](QvTableViewButtons&, int segment) { segments.push_back(segment); }),
            buttons);
  show();

  ASSERT_TRUE(input->click(*button));
  pumpUntil([&] { return buttonAction > 0; });
  EXPECT_EQ(buttonAction, 1);
  EXPECT_EQ(firstButtonAction, 0);

  // Typing alone commits nothing; Return does, once, to the second action only.
  ASSERT_TRUE(input->click(*field));
  ASSERT_TRUE(input->type("plum"));
  EXPECT_TRUE(committed.empty());
  ASSERT_TRUE(input->key("Return"));
  pumpUntil([&] { return !committed.empty(); });
  EXPECT_EQ(committed, std::vector<std::string>{"plum"});
  EXPECT_EQ(firstFieldAction, 0);

  ASSERT_TRUE(input->click(buttons->segment(1)));
  pumpUntil([&] { return !segments.empty(); });
  EXPECT_EQ(segments, std::vector<int>{1});
  EXPECT_EQ(firstSegmentAction, 0);
  saveScreenshot(*window, "control-actions");

  // The disabled filler segment reaches no action.
  ASSERT_TRUE(input->click(buttons->segment(2)));
  EXPECT_EQ(segments, std::vector<int>{1});
}

TEST_F(ControlActionTest, ADropDownsChoiceReachesOnlyItsLastAction) {
  auto* popUp = Gtk::make_managed<Gtk::DropDown>(Gtk::StringList::create({"First", "Second", "Third"}));
  box->append(*popUp);
  int firstAction = 0;
  std::vector<guint> chosen;
  EXPECT_EQ(&PortKit::onChange(*popUp, [&](Gtk::DropDown&) { ++firstAction; }), popUp);
  PortKit::onChange(*popUp, [&](Gtk::DropDown& sender) { chosen.push_back(sender.get_selected()); });
  show();

  ASSERT_TRUE(input->click(*popUp));
  Gtk::Widget* second = nullptr;
  pumpUntil([&] { return (second = mappedLabel(*popUp, "Second")) != nullptr; });
  ASSERT_NE(second, nullptr) << "the list did not open";
  ASSERT_TRUE(input->click(*second));
  pumpUntil([&] { return !chosen.empty(); });
  EXPECT_EQ(chosen, std::vector<guint>{1});
  EXPECT_EQ(firstAction, 0);
}

}  // namespace
