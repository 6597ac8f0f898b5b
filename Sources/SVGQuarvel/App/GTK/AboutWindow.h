// The About panel: the application's icon, name, version and credits in a small window that is
// hidden when closed and shown again by the About item.
#pragma once

#include <gtkmm/window.h>

#include <memory>

#include "SVGQuarvel/App/About.h"
#include "SVGQuarvel/App/AppDelegate.h"

namespace SVGQuarvel {

/// The window's content for `view`.
Gtk::Widget* makeAboutContent(const AboutView& view);

class AboutWindow : public AboutWindowHandle {
 public:
  explicit AboutWindow(const AboutView& view);
  ~AboutWindow() override;
  void makeKeyAndOrderFront() override;
  Gtk::Window& window() { return *window_; }

 private:
  std::unique_ptr<Gtk::Window> window_;
};

}  // namespace SVGQuarvel

/// The About window of the application, kept by the application delegate.
std::unique_ptr<SVGQuarvel::AboutWindowHandle> makeAboutWindow();
