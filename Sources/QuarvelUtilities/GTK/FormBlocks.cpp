#include "QuarvelUtilities/GTK/FormBlocks.h"

#include <gtkmm/eventcontrollerfocus.h>

namespace QuarvelUtilities {

void setAccessibleTitle(Gtk::Widget& control, const std::string& title, const std::string& description) {
  auto* accessible = GTK_ACCESSIBLE(control.gobj());
  gtk_accessible_update_property(accessible, GTK_ACCESSIBLE_PROPERTY_LABEL, title.c_str(), -1);
  if (!description.empty()) {
    gtk_accessible_update_property(accessible, GTK_ACCESSIBLE_PROPERTY_DESCRIPTION, description.c_str(), -1);
  }
}

LabeledField::LabeledField(const std::string& label, Gtk::Widget& content)
    : Gtk::Box(Gtk::Orientation::HORIZONTAL, 2), label_(label + ":") {
  set_valign(Gtk::Align::CENTER);
  label_.set_halign(Gtk::Align::START);
  spacer_.set_hexpand(true);
  content.set_halign(Gtk::Align::END);
  content.set_valign(Gtk::Align::CENTER);
  append(label_);
  append(spacer_);
  append(content);
}

PropertySection::PropertySection(const std::string& title)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 0), title_(title), rows_(Gtk::Orientation::VERTICAL, 4) {
  title_.set_halign(Gtk::Align::START);
  title_.add_css_class("heading");
  title_.add_css_class("dim-label");
  title_.set_margin_bottom(6);
  rows_.set_margin_start(6);
  divider_.set_margin_top(4);
  append(title_);
  append(rows_);
  append(divider_);
}

void PropertySection::addRow(Gtk::Widget& row) { rows_.append(row); }

IntegerStepperField::IntegerStepperField(const std::string& placeholder, const std::string& stepperTitle,
                                         std::int64_t upperBound, std::function<void(std::int64_t)> commit,
                                         std::function<std::optional<std::int64_t>(std::string_view)> parse)
    : Gtk::Box(Gtk::Orientation::HORIZONTAL, 0),
      buttons_(Gtk::Orientation::HORIZONTAL, 0),
      commit_(std::move(commit)),
      parse_(std::move(parse)) {
  stepper_.upperBound = upperBound;
  stepper_.beep = [this] { error_bell(); };
  entry_.set_placeholder_text(placeholder);
  entry_.set_alignment(1.0);
  entry_.set_width_chars(3);
  entry_.set_max_width_chars(4);
  entry_.set_size_request(32, -1);
  entry_.set_max_length(24);
  entry_.signal_activate().connect([this] { commitText(); });
  auto focus = Gtk::EventControllerFocus::create();
  focus->signal_leave().connect([this] { commitText(); });
  entry_.add_controller(focus);
  increment_.set_label("+");
  decrement_.set_label("\u2212");
  increment_.set_tooltip_text(stepperTitle);
  decrement_.set_tooltip_text(stepperTitle);
  setAccessibleTitle(increment_, stepperTitle, "Increment");
  setAccessibleTitle(decrement_, stepperTitle, "Decrement");
  for (auto* button : {&increment_, &decrement_}) {
    button->add_css_class("flat");
    button->set_focus_on_click(false);
  }
  increment_.signal_clicked().connect([this] { step(true); });
  decrement_.signal_clicked().connect([this] { step(false); });
  buttons_.append(decrement_);
  buttons_.append(increment_);
  append(entry_);
  append(buttons_);
  set_halign(Gtk::Align::END);
}

void IntegerStepperField::setValue(std::int64_t value) {
  value_ = value;
  const std::string text = std::to_string(value);
  if (entry_.get_text().raw() != text) entry_.set_text(text);
}

void IntegerStepperField::commitText() {
  const auto parsed = parse_ ? parse_(entry_.get_text().raw()) : parseWholeNumber(entry_.get_text().raw());
  if (!parsed) {
    setValue(value_);  // text that is not a number leaves the value as it was
    return;
  }
  setValue(*parsed);
  if (commit_) commit_(*parsed);
}

void IntegerStepperField::step(bool up) {
  const std::int64_t next = up ? stepper_.increment(value_) : stepper_.decrement(value_);
  if (next == value_) return;
  setValue(next);
  if (commit_) commit_(next);
}

}  // namespace QuarvelUtilities
