// Views made, configured and placed in one expression, shown in a window.
#include <gtest/gtest.h>

#include <gtkmm/box.h>
#include <gtkmm/label.h>

#include "Fennix/UI/Common/Views/GTK/ConfigureAndReturn.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"
#include "ViewKitWindowSupport.h"

namespace {

using namespace ViewKitWindowSupport;

class PlainView : public QvViewBase {};

TEST(ConfigureAndReturnTest, EveryViewAnswersItselfConfigured) {
  if (!gtkReady()) GTEST_SKIP() << "no display";
  auto* window = new Gtk::Window();
  int calls = 0;
  Gtk::Box* box = with(Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 4), [&](Gtk::Box& b) {
    ++calls;
    b.append(*with(Gtk::make_managed<Gtk::Label>(), [&](Gtk::Label& label) {
      ++calls;
      label.set_text("configured");
      label.set_name("title");
    }));
  });
  PlainView* view = QvViewBase::make<PlainView>();
  PlainView& same = with(*view, [&](QvViewBase& v) {
    ++calls;
    v.set_size_request(30, 20);
  });
  EXPECT_EQ(&same, view);
  box->append(same);
  EXPECT_EQ(calls, 3);
  window->set_child(*box);
  window->present();
  ASSERT_TRUE(pumpUntil([&] { return view->get_height() > 0; }));
  auto* label = dynamic_cast<Gtk::Label*>(box->get_first_child());
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(std::string(label->get_text()), "configured");
  EXPECT_TRUE(label->get_mapped());
  EXPECT_EQ(view->get_height(), 20);

  Gtk::Label* none = nullptr;
  EXPECT_EQ(with(none, [&](Gtk::Label&) { ++calls; }), nullptr);
  EXPECT_EQ(calls, 3);
  window->destroy();
  delete window;
  pumpFrames(5);
}

}  // namespace
