// The toolkit's layout host in a real window: constraints of views that have no container yet
// wait for one, and a view's own size goes along from container to container.
#include <gtest/gtest.h>
#include <gtkmm/box.h>
#include <gtkmm/window.h>

#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"
#include "ViewKitWindowSupport.h"

using namespace ViewKitWindowSupport;

namespace {

NSLayoutConstraintPtr sizeOf(Gtk::Widget& view, NSLayoutAttribute attribute, double size) {
  return NSLayoutConstraint::make(Fennix::item(view), attribute, NSLayoutRelation::equal, 1, size);
}

NSLayoutConstraintPtr pin(Gtk::Widget& view, NSLayoutAttribute attribute, Gtk::Widget& to) {
  return NSLayoutConstraint::make(Fennix::item(view), attribute, NSLayoutRelation::equal, Fennix::item(to),
                                  attribute, 1, 0);
}

bool mentionsForeignLayouts(const std::string& log) {
  return log.find("outside one constraint layout") != std::string::npos;
}

}  // namespace

TEST(LayoutHostWindowTest, ConstraintsOfUnplacedViewsWaitForTheirContainer) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  Fennix::installToolkitLayoutHost();
  Gtk::Window window;
  window.set_default_size(200, 200);
  auto* column = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
  auto* container = QvViewBase::make<QvViewBase>();
  container->set_size_request(200, 100);
  column->append(*container);
  window.set_child(*column);

  testing::internal::CaptureStderr();
  auto* sized = QvViewBase::make<QvViewBase>();
  auto* follower = QvViewBase::make<QvViewBase>();
  auto* dropped = QvViewBase::make<QvViewBase>();
  const NSLayoutConstraintList own{sizeOf(*sized, NSLayoutAttribute::height, 4),
                                   sizeOf(*sized, NSLayoutAttribute::width, 30)};
  NSLayoutConstraint::activate(own);
  // Between two views that will share a container later.
  auto sameWidth = NSLayoutConstraint::make(Fennix::item(*follower), NSLayoutAttribute::width,
                                            NSLayoutRelation::equal, Fennix::item(*sized), NSLayoutAttribute::width,
                                            1, 0);
  sameWidth->setActive(true);
  auto droppedWidth = sizeOf(*dropped, NSLayoutAttribute::width, 50);
  droppedWidth->setActive(true);
  droppedWidth->setActive(false);  // deactivated before it ever had a container
  for (const auto& constraint : own) EXPECT_TRUE(constraint->isActive());
  EXPECT_TRUE(sameWidth->isActive());
  EXPECT_FALSE(droppedWidth->isActive());

  Fennix::addSubviews(*container, {sized, follower, dropped});
  NSLayoutConstraint::activate({pin(*sized, NSLayoutAttribute::leading, *container),
                                pin(*sized, NSLayoutAttribute::top, *container),
                                pin(*follower, NSLayoutAttribute::leading, *container),
                                pin(*follower, NSLayoutAttribute::bottom, *container),
                                sizeOf(*follower, NSLayoutAttribute::height, 7),
                                pin(*dropped, NSLayoutAttribute::trailing, *container),
                                pin(*dropped, NSLayoutAttribute::top, *container)});
  window.present();
  ASSERT_TRUE(pumpUntil([&] { return sized->get_width() > 0; }));
  pumpFrames();
  EXPECT_EQ(sized->get_width(), 30);
  EXPECT_EQ(sized->get_height(), 4);
  EXPECT_EQ(follower->get_width(), 30);
  EXPECT_EQ(follower->get_height(), 7);
  EXPECT_EQ(dropped->get_width(), 0);

  // Its own size goes along into a box, where it becomes the least size, and back again.
  g_object_ref(sized->gobj());  // keep the view while it has no container
  Fennix::layoutHost()->removeFromSuperview(Fennix::item(*sized));
  EXPECT_FALSE(sameWidth->isActive());  // it related views of the old container
  EXPECT_TRUE(own[0]->isActive());
  column->append(*sized);
  g_object_unref(sized->gobj());
  EXPECT_TRUE(pumpUntil([&] { return sized->get_height() == 4; })) << sized->get_height();
  int width = 0, height = 0;
  sized->get_size_request(width, height);
  EXPECT_EQ(height, 4);
  Fennix::layoutHost()->addSubview(Fennix::item(*container), Fennix::item(*sized));
  sized->get_size_request(width, height);
  EXPECT_EQ(height, -1);  // the box's size request is given back
  NSLayoutConstraint::activate({pin(*sized, NSLayoutAttribute::leading, *container),
                                pin(*sized, NSLayoutAttribute::top, *container)});
  EXPECT_TRUE(pumpUntil([&] { return sized->get_width() == 30 && sized->get_height() == 4; }))
      << sized->get_width() << "x" << sized->get_height();
  // A changed constant takes effect in the new container.
  own[0]->setConstant(9);
  EXPECT_TRUE(pumpUntil([&] { return sized->get_height() == 9; })) << sized->get_height();
  EXPECT_FALSE(mentionsForeignLayouts(testing::internal::GetCapturedStderr()));

  // Views that both have containers, but not one constraint layout, keep the error.
  auto* otherBox = Gtk::make_managed<Gtk::Box>();
  auto* stranger = Gtk::make_managed<Gtk::Box>();
  otherBox->append(*stranger);
  column->append(*otherBox);
  testing::internal::CaptureStderr();
  auto foreign = NSLayoutConstraint::make(Fennix::item(*stranger), NSLayoutAttribute::width, NSLayoutRelation::equal,
                                          Fennix::item(*sized), NSLayoutAttribute::width, 1, 0);
  foreign->setActive(true);
  EXPECT_TRUE(mentionsForeignLayouts(testing::internal::GetCapturedStderr()));
  EXPECT_FALSE(foreign->isActive());
  // So does an upper bound of a view's own size in a box, which a box cannot hold.
  testing::internal::CaptureStderr();
  auto atMost = NSLayoutConstraint::make(Fennix::item(*stranger), NSLayoutAttribute::width,
                                         NSLayoutRelation::lessThanOrEqual, 1, 5);
  atMost->setActive(true);
  EXPECT_TRUE(mentionsForeignLayouts(testing::internal::GetCapturedStderr()));
  EXPECT_FALSE(atMost->isActive());
  window.close();
}

TEST(LayoutHostWindowTest, WaitingConstraintsEndWithTheirViews) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  Fennix::installToolkitLayoutHost();
  NSLayoutConstraintPtr waiting;
  {
    auto* view = QvViewBase::make<QvViewBase>();
    waiting = sizeOf(*view, NSLayoutAttribute::height, 4);
    waiting->setActive(true);
    EXPECT_TRUE(waiting->isActive());
    delete view;
  }
  EXPECT_FALSE(waiting->isActive());
  waiting->setActive(false);  // nothing left to do
}
