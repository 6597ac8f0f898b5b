// The error messages and questions the application shows over its windows.
#include <glibmm/main.h>
#include <gtkmm/label.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/shortcut.h>
#include <gtkmm/shortcutaction.h>
#include <gtkmm/shortcutcontroller.h>
#include <gtkmm/shortcuttrigger.h>
#include <sigc++/adaptors/track_obj.h>

#include <string_view>

#include "Fennix/console/Console.h"
#include "SVGQuarvel/App/GTK/SVGQuarvelApp.h"

namespace {

/// `text` with every line on one line of its own: control characters within a line show as their
/// pictures.
std::string visibleLines(const std::string& text) {
  std::string result;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find('\n', start);
    if (start > 0) result += '\n';
    result += SVGQuarvel::displayText(std::string_view(text).substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return result;
}

}  // namespace

void SVGQuarvelApp::setBoundedDetail(Gtk::MessageDialog& dialog, const std::string& detail) {
  dialog.set_secondary_text(detail);
  auto* area = dialog.get_message_area();
  for (auto* child = area->get_first_child(); child != nullptr; child = child->get_next_sibling()) {
    auto* label = dynamic_cast<Gtk::Label*>(child);
    if (label == nullptr) continue;
    if (label->get_label().raw() == detail) {
      label->set_visible(false);
    } else {
      // A heading whose name has no spaces breaks within it rather than widen the window.
      label->set_wrap_mode(Pango::WrapMode::WORD_CHAR);
      label->set_max_width_chars(60);
    }
  }
  auto* text = Gtk::make_managed<Gtk::Label>(detail);
  text->set_wrap(true);
  text->set_wrap_mode(Pango::WrapMode::WORD_CHAR);
  text->set_max_width_chars(60);
  text->set_justify(Gtk::Justification::CENTER);
  auto* pane = Gtk::make_managed<Gtk::ScrolledWindow>();
  pane->set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
  pane->set_propagate_natural_width(true);
  pane->set_propagate_natural_height(true);
  pane->set_max_content_height(int(maximumDetailHeight));
  pane->set_child(*text);
  // The keyboard stays with the buttons, which Return presses; the pane scrolls with the pointer.
  pane->set_can_focus(false);
  area->append(*pane);
}

void SVGQuarvelApp::showError(Gtk::Window* parent, const std::string& heading, const std::string& lines) {
  // A request repeated over the bus fails alike each time: its message shows once, and many
  // different ones stop at a bound, so that they neither fill the session with windows nor hold
  // the main loop.
  // Each is logged all the same, so that every refusal leaves a trace.
  console::error(heading, lines);
  const std::string message = SVGQuarvel::displayText(heading);
  const std::string detail = visibleLines(lines);
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
  setBoundedDetail(*dialog, detail);
  dialog->set_default_response(Gtk::ResponseType::OK);
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
