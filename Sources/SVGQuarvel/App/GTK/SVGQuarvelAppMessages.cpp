// The error messages and questions the application shows over its windows.
#include <glibmm/main.h>
#include <gtkmm/shortcut.h>
#include <gtkmm/shortcutaction.h>
#include <gtkmm/shortcutcontroller.h>
#include <gtkmm/shortcuttrigger.h>
#include <sigc++/adaptors/track_obj.h>

#include "Fennix/console/Console.h"
#include "SVGQuarvel/App/GTK/SVGQuarvelApp.h"

void SVGQuarvelApp::showError(Gtk::Window* parent, const std::string& message, const std::string& detail) {
  // A request repeated over the bus fails alike each time: its message shows once, and many
  // different ones stop at a bound, so that they neither fill the session with windows nor hold
  // the main loop.
  // Each is logged all the same, so that every refusal leaves a trace.
  console::error(message, detail);
  std::size_t shown = 0;
  for (const auto& dialog : dialogs_) {
    if (!dialog->get_visible() || dialog->property_message_type().get_value() != Gtk::MessageType::ERROR) continue;
    if (dialog->get_title().raw() == message && dialog->property_secondary_text().get_value().raw() == detail) return;
    ++shown;
  }
  if (parent == nullptr) parent = get_active_window();
  if (parent == nullptr || shown >= maximumShownErrors) return;
  auto* dialog = addDialog(std::make_unique<Gtk::MessageDialog>(*parent, message, false, Gtk::MessageType::ERROR,
                                                                Gtk::ButtonsType::OK, true));
  // Named like its heading, so that the error can be told apart in window lists and by assistive
  // technology.
  dialog->set_title(message);
  dialog->set_secondary_text(detail);
  dialog->signal_response().connect([this, dialog](int) { removeDialog(dialog); });
  dialog->show();
}

Gtk::MessageDialog* SVGQuarvelApp::addDialog(std::unique_ptr<Gtk::MessageDialog> dialog) {
  // A message keeps the other windows from input while it shows, and is no window of the
  // application's, whose shortcuts it would take: Quit still reaches the application from it, and
  // asks about each edited window as it does from a document window.
  auto shortcuts = Gtk::ShortcutController::create();
  const auto quit = Gtk::CallbackAction::create([this](Gtk::Widget&, const Glib::VariantBase&) {
    activate_action("quit");
    return true;
  });
  for (const auto& accelerator : get_accels_for_action("app.quit")) {
    shortcuts->add_shortcut(Gtk::Shortcut::create(Gtk::ShortcutTrigger::parse_string(accelerator), quit));
  }
  dialog->add_controller(shortcuts);
  dialogs_.push_back(std::move(dialog));
  return dialogs_.back().get();
}

void SVGQuarvelApp::removeDialog(Gtk::MessageDialog* dialog) {
  dialog->hide();
  // Deleted once its signal handlers have returned, unless the application has gone first.
  Glib::signal_idle().connect_once(sigc::track_obj(
      [this, dialog] { std::erase_if(dialogs_, [dialog](const auto& open) { return open.get() == dialog; }); },
      *this));
}
