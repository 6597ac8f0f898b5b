#include "Fennix/UI/AppKit/GTK/TabView.h"

#include <gtkmm/box.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>

#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"

namespace Fennix {
namespace {

constexpr const char* pageControllerKey = "qv-tab-controller";

}  // namespace

std::optional<NSTabViewItem> qvItemWithViewController(Gtk::Notebook&, const NSViewController::ChildSpec& vc) {
  auto controller = NSViewController::resolveChild(vc);
  if (!controller) return std::nullopt;
  return NSTabViewItem{controller, std::nullopt};
}

std::optional<NSTabViewItem> qvAddViewController(
    Gtk::Notebook& tabView, const NSViewController::ChildSpec& vc,
    const std::optional<std::variant<Glib::RefPtr<Gdk::Paintable>, std::string>>& image) {
  auto item = qvItemWithViewController(tabView, vc);
  if (!item) return std::nullopt;
  item->image = image;
  installControllerKitsGTK();
  Gtk::Widget* page = controllerWidget(*item->viewController);
  if (!page) page = Gtk::make_managed<Gtk::Box>();
  layoutHost()->removeFromSuperview(Fennix::item(*page));
  page->set_hexpand(true);
  page->set_vexpand(true);

  auto* tab = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 4);
  if (image) {
    Gtk::Image* icon = nullptr;
    if (auto* paintable = std::get_if<Glib::RefPtr<Gdk::Paintable>>(&*image))
      icon = Gtk::make_managed<Gtk::Image>(*paintable);
    else
      icon = Gtk::make_managed<Gtk::Image>(), icon->set_from_icon_name(std::get<std::string>(*image));
    tab->append(*icon);
  }
  auto title = item->viewController->identifier().value_or(item->viewController->className());
  tab->append(*Gtk::make_managed<Gtk::Label>(title));

  auto* keep = new NSViewController::Ptr(item->viewController);
  g_object_set_data_full(G_OBJECT(page->gobj()), pageControllerKey, keep,
                         [](gpointer data) { delete static_cast<NSViewController::Ptr*>(data); });
  tabView.append_page(*page, *tab);
  return item;
}

NSViewController::Ptr tabViewController(Gtk::Widget& page) {
  auto* kept = static_cast<NSViewController::Ptr*>(g_object_get_data(G_OBJECT(page.gobj()), pageControllerKey));
  return kept ? *kept : nullptr;
}

}  // namespace Fennix
