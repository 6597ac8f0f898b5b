#include "Fennix/UI/AppKit/ViewControllers/GTK/WindowControllerGTK.h"

#include <gtkmm/applicationwindow.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/eventcontrollerkey.h>
#include <gtkmm/headerbar.h>
#include <gtkmm/label.h>
#include <gtkmm/shortcutcontroller.h>
#include <glibmm/main.h>

#include <algorithm>
#include <sstream>

#include "Fennix/Foundation/UserDefaults.h"
#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"

namespace Fennix {
namespace {

constexpr const char* controllerKey = "qv-window-controller";

Glib::RefPtr<Gtk::Application>& windowApplication() {
  static Glib::RefPtr<Gtk::Application> application;
  return application;
}

std::string frameKey(const std::string& name) { return "NSWindow Frame " + name; }

class WindowGTK : public WindowHandle {
 public:
  WindowGTK(CGRect contentRect, NSWindowStyleMask style) : style_(style) {
    window_ = new Gtk::ApplicationWindow();
    if (windowApplication()) window_->set_application(windowApplication());
    window_->set_titlebar(header_);
    header_.set_title_widget(titleLabel_);
    titleLabel_.add_css_class("title");
    window_->set_resizable(style.contains(NSWindowStyleMask::resizable));
    window_->set_deletable(style.contains(NSWindowStyleMask::closable));
    window_->set_default_size(int(contentRect.size.width), int(contentRect.size.height));
    connectWindow();
  }
  /// Around an existing window, which the handle takes over; its own title bar stays, and a
  /// window without one gets the header bar.
  explicit WindowGTK(Gtk::Window* window) : style_(styleOf(*window)) {
    window_ = window;
    header_.set_title_widget(titleLabel_);
    titleLabel_.add_css_class("title");
    if (!window_->get_titlebar()) window_->set_titlebar(header_);
    connectWindow();
  }

 private:
  static NSWindowStyleMask styleOf(const Gtk::Window& window) {
    NSWindowStyleMask style{NSWindowStyleMask::titled | NSWindowStyleMask::miniaturizable};
    if (window.get_resizable()) style.rawValue |= NSWindowStyleMask::resizable;
    if (window.get_deletable()) style.rawValue |= NSWindowStyleMask::closable;
    return style;
  }
  void connectWindow() {
    window_->signal_close_request().connect(
        [this] {
          saveSize();
          return false;
        },
        false);
    // The window's surface reports each new size: the controller hears it as the resize and may
    // answer another size, which the window then takes.
    window_->signal_realize().connect([this] {
      surface_ = window_->get_surface()->gobj();
      g_signal_connect(surface_, "layout", G_CALLBACK(+[](GdkSurface*, int width, int height, gpointer self) {
                         static_cast<WindowGTK*>(self)->surfaceLaidOut(width, height);
                       }),
                       this);
    });
    window_->signal_unrealize().connect([this] {
      if (surface_) g_signal_handlers_disconnect_by_data(surface_, this);
      surface_ = nullptr;
      laidOut_ = CGSize{};
    });
    // Toolbar items follow their actions: validated when the focus moves, when an action changes,
    // and now and then while the window is shown, as anything else may change what they ask.
    window_->property_focus_widget().signal_changed().connect([this] { scheduleValidation(); });
    actionsChanged_ = actionStatesChanged().connect([this] { scheduleValidation(); });
    g_signal_connect_swapped(window_->gobj(), "action-enabled-changed", G_CALLBACK(+[](gpointer self) {
                               static_cast<WindowGTK*>(self)->scheduleValidation();
                             }),
                             this);
    window_->signal_map().connect([this] {
      periodic_ = Glib::signal_timeout().connect(
          [this] {
            validateToolbarItems();
            return true;
          },
          500);
      scheduleValidation();
    });
    window_->signal_unmap().connect([this] { periodic_.disconnect(); });
    window_->property_is_active().signal_changed().connect([this] {
      if (!controller_) return;
      if (window_->is_active())
        controller_->windowDidBecomeKey();
      else
        controller_->windowDidResignKey();
    });
  }

 public:
  ~WindowGTK() override {
    actionsChanged_.disconnect();
    periodic_.disconnect();
    pendingValidation_.disconnect();
    g_signal_handlers_disconnect_by_data(window_->gobj(), this);
    if (surface_) g_signal_handlers_disconnect_by_data(surface_, this);
    saveSize();
    window_->set_data(controllerKey, nullptr);
    delete window_;
  }

  NSWindowStyleMask styleMask() const override { return style_; }
  void setTitle(const std::string& title) override {
    window_->set_title(title);
    titleLabel_.set_text(title);
  }
  void setTitleHidden(bool hidden) override { titleLabel_.set_visible(!hidden); }
  /// The bar that carries the title and the toolbar: the window's own header bar, else ours.
  Gtk::HeaderBar& header() {
    if (auto* own = dynamic_cast<Gtk::HeaderBar*>(window_->get_titlebar())) return *own;
    return header_;
  }
  void setMinSize(CGSize size) override {
    minimum_ = size;
    window_->set_size_request(int(size.width), int(size.height));
  }
  void setContentSize(CGSize size) override {
    window_->set_default_size(std::max(int(size.width), int(minimum_.width)),
                              std::max(int(size.height), int(minimum_.height)));
  }
  void setContentViewController(const NSViewController::Ptr& controller) override {
    content_ = controller;
    Gtk::Widget* child = controller ? controllerWidget(*controller) : nullptr;
    if (child) layoutHost()->removeFromSuperview(item(*child));
    window_->set_child(child ? *child : *Gtk::make_managed<Gtk::Box>());
  }
  void setToolbar(const std::shared_ptr<NSToolbar>& toolbar) override {
    for (auto* packed : packed_) header().remove(*packed);
    packed_.clear();
    toolbar_ = toolbar;
    validated_.clear();
    if (!toolbar || !toolbar->delegate) return;
    toolbar->items.clear();
    for (const auto& identifier : toolbar->delegate->toolbarDefaultItemIdentifiers(*toolbar)) {
      auto made = toolbar->delegate->toolbarItem(*toolbar, identifier, true);
      if (!made) continue;
      made->itemIdentifier = identifier;
      toolbar->items.push_back(*made);
      if (made->view)
        if (Gtk::Widget* view = widget(*made->view)) {
          layoutHost()->removeFromSuperview(*made->view);
          header().pack_start(*view);
          packed_.push_back(view);
          // A toolbar item acts on the focus; a click on it leaves the focus where it is.
          view->set_focus_on_click(false);
          if (made->action) {
            auto validated = std::make_shared<QvToolbarItem>(identifier);
            validated->setView(view);
            validated->setAction(made->action);
            validated_.push_back(std::move(validated));
          }
        }
    }
    toolbar->visibleItems = toolbar->items;
    scheduleValidation();
  }

  const std::vector<std::shared_ptr<QvToolbarItem>>& validatedItems() const { return validated_; }

  /// Validates the toolbar's items once the main loop is idle (many changes, one validation).
  void scheduleValidation() {
    if (validated_.empty() || pendingValidation_.connected()) return;
    pendingValidation_ = Glib::signal_idle().connect([this] {
      validateToolbarItems();
      return false;
    });
  }
  void validateToolbarItems() {
    for (const auto& item : validated_) item->validate(window_);
  }
  void setFrameAutosaveName(const std::string& name) override {
    autosaveName_ = name;
    auto saved = NSUserDefaults::standard()->string(frameKey(name));
    if (!saved) return;
    std::istringstream in(*saved);
    long width = 0, height = 0;
    if (!(in >> width >> height) || width < 1 || height < 1 || width > 100000 || height > 100000) return;
    window_->set_default_size(int(width), int(height));
  }
  void center() override {}  // placing windows is the window manager's business here
  void setController(QvWindowController* controller) override {
    controller_ = controller;
    window_->set_data(controllerKey, controller);
  }

  Gtk::Window& window() { return *window_; }

 private:
  void surfaceLaidOut(int width, int height) {
    const CGSize proposed{double(width), double(height)};
    if (!controller_ || (proposed.width == laidOut_.width && proposed.height == laidOut_.height)) return;
    const bool first = laidOut_.width <= 0;
    laidOut_ = proposed;
    if (first) return;  // the window's first size is its own, not a resize
    const CGSize answered = controller_->windowWillResize(proposed);
    if (answered.width == proposed.width && answered.height == proposed.height) return;
    if (!(answered.width >= 1) || !(answered.height >= 1) || answered.width > 100000 || answered.height > 100000)
      return;
    window_->set_default_size(int(answered.width), int(answered.height));
  }

  void saveSize() {
    if (autosaveName_.empty()) return;
    int width = window_->get_width(), height = window_->get_height();
    if (width < 1 || height < 1) window_->get_default_size(width, height);
    if (width < 1 || height < 1) return;
    NSUserDefaults::standard()->set(std::to_string(width) + " " + std::to_string(height), frameKey(autosaveName_));
  }

  NSWindowStyleMask style_;
  Gtk::Window* window_ = nullptr;
  Gtk::HeaderBar header_;
  Gtk::Label titleLabel_;
  CGSize minimum_{};
  NSViewController::Ptr content_;
  std::shared_ptr<NSToolbar> toolbar_;
  std::vector<Gtk::Widget*> packed_;
  std::vector<std::shared_ptr<QvToolbarItem>> validated_;
  sigc::connection actionsChanged_, periodic_, pendingValidation_;
  std::string autosaveName_;
  QvWindowController* controller_ = nullptr;
  GdkSurface* surface_ = nullptr;
  CGSize laidOut_{};
};

class WindowKitGTK : public WindowKit {
 public:
  std::shared_ptr<WindowHandle> makeWindow(CGRect contentRect, NSWindowStyleMask style) override {
    return std::make_shared<WindowGTK>(contentRect, style);
  }
  LayoutItem makeToolbarButton(const std::string& title, const std::optional<std::string>& imageName,
                               std::function<void()> action, const std::optional<std::string>& keyEquivalent,
                               CGSize size) override {
    auto* button = Gtk::make_managed<Gtk::Button>();
    if (imageName) {
      button->set_icon_name(*imageName);
      button->set_size_request(int(size.width), int(size.height));
      button->set_tooltip_text(title);
    } else {
      button->set_label(title);
    }
    if (action) button->signal_clicked().connect(action);
    if (keyEquivalent && !keyEquivalent->empty()) {
      auto shortcuts = Gtk::ShortcutController::create();
      shortcuts->set_scope(Gtk::ShortcutScope::MANAGED);
      auto trigger = Gtk::ShortcutTrigger::parse_string("<Control>" + *keyEquivalent);
      if (trigger) {
        shortcuts->add_shortcut(Gtk::Shortcut::create(trigger, Gtk::ActivateAction::get()));
        button->add_controller(shortcuts);
      }
    }
    return item(*button);
  }
};

}  // namespace

void installWindowKitGTK(Glib::RefPtr<Gtk::Application> application) {
  installControllerKitsGTK();
  windowApplication() = std::move(application);
  static bool installed = false;
  if (!installed) {
    setWindowKit(std::make_shared<WindowKitGTK>());
    installed = true;
  }
}

std::shared_ptr<WindowHandle> windowHandle(Gtk::Window* window) {
  if (!window) return nullptr;
  return std::make_shared<WindowGTK>(window);
}

Gtk::Window* toolkitWindow(QvWindowController& controller) {
  auto window = std::dynamic_pointer_cast<WindowGTK>(controller.window());
  return window ? &window->window() : nullptr;
}

std::vector<std::shared_ptr<QvToolbarItem>> validatedToolbarItems(QvWindowController& controller) {
  auto window = std::dynamic_pointer_cast<WindowGTK>(controller.window());
  return window ? window->validatedItems() : std::vector<std::shared_ptr<QvToolbarItem>>{};
}

QvWindowController* windowController(Gtk::Window& window) {
  return static_cast<QvWindowController*>(window.get_data(controllerKey));
}

QvWindowController* firstWindowController(Gtk::Application& application,
                                          const std::function<bool(QvWindowController&)>& test) {
  std::vector<QvWindowController*> ordered;
  for (Gtk::Window* window : application.get_windows()) ordered.push_back(windowController(*window));
  Gtk::Window* active = application.get_active_window();
  QvWindowController* key = active && active->is_active() ? windowController(*active) : nullptr;
  QvWindowController* main = active ? windowController(*active) : nullptr;
  return firstWindowController(key, main, ordered, test);
}

}  // namespace Fennix
