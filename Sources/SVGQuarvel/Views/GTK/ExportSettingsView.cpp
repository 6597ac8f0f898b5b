#include "SVGQuarvel/Views/GTK/ExportSettingsView.h"

#include <gtkmm/label.h>
#include <gtkmm/stringlist.h>

namespace SVGQuarvelViews {

ExportSettingsView::ExportSettingsView(std::shared_ptr<SVGQuarvelDocument> document)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 4), document_(std::move(document)) {
  set_margin(12);
  set_size_request(260, -1);
  using Kind = SettingsControl::Kind;
  for (const auto& section : exportSettingsSections()) {
    auto* box = Gtk::make_managed<QuarvelUtilities::PropertySection>(section.title);
    for (const auto& control : section.controls) {
      ControlWidgets widgets;
      widgets.control = &control;
      const SettingsControl* c = &control;
      switch (control.kind) {
        case Kind::text: {
          // The field above its caption.
          auto* column = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 2);
          column->set_margin_bottom(4);
          auto* entry = Gtk::make_managed<Gtk::Entry>();
          entry->set_placeholder_text(control.placeholder);
          entry->set_tooltip_text(control.title);
          QuarvelUtilities::setAccessibleTitle(*entry, control.title);
          entry->signal_changed().connect([this, c, entry] {
            write([&](SVGQuarvelConfiguration& config) { c->setText(config, entry->get_text()); });
          });
          auto* caption = Gtk::make_managed<Gtk::Label>(control.label);
          caption->add_css_class("caption");
          column->append(*entry);
          column->append(*caption);
          box->addRow(*column);
          widgets.entry = entry;
          break;
        }
        case Kind::toggle: {
          auto* toggle = Gtk::make_managed<Gtk::CheckButton>();
          toggle->set_tooltip_text(control.title);
          QuarvelUtilities::setAccessibleTitle(*toggle, control.title);
          toggle->signal_toggled().connect([this, c, toggle] {
            write([&](SVGQuarvelConfiguration& config) { c->setOn(config, toggle->get_active()); });
          });
          box->addRow(*Gtk::make_managed<QuarvelUtilities::LabeledField>(control.label, *toggle));
          widgets.toggle = toggle;
          break;
        }
        case Kind::picker: {
          std::vector<Glib::ustring> items(control.items.begin(), control.items.end());
          auto* picker = Gtk::make_managed<Gtk::DropDown>(Gtk::StringList::create(items));
          picker->set_tooltip_text(control.title);
          QuarvelUtilities::setAccessibleTitle(*picker, control.title);
          picker->set_margin_start(3);  // in line with the other controls
          picker->property_selected().signal_changed().connect([this, c, picker] {
            const auto selected = picker->get_selected();
            if (selected == GTK_INVALID_LIST_POSITION) return;
            write([&](SVGQuarvelConfiguration& config) { c->selectItem(config, selected); });
          });
          box->addRow(*Gtk::make_managed<QuarvelUtilities::LabeledField>(control.label, *picker));
          widgets.picker = picker;
          break;
        }
        case Kind::number: {
          auto* number = Gtk::make_managed<QuarvelUtilities::IntegerStepperField>(
              control.placeholder, control.title, control.upperBound,
              [this, c](std::int64_t value) {
                write([&](SVGQuarvelConfiguration& config) { c->setNumber(config, value); });
              },
              [c](std::string_view typed) { return c->committedNumber(typed); });
          box->addRow(*Gtk::make_managed<QuarvelUtilities::LabeledField>(control.label, *number));
          widgets.number = number;
          break;
        }
      }
      controls_.push_back(widgets);
    }
    append(*box);
  }
  refresh();
  configSubscription_ = document_->config.didSet().sink([this](const SVGQuarvelConfiguration&) { refresh(); });
}

void ExportSettingsView::write(const std::function<void(SVGQuarvelConfiguration&)>& change) {
  if (refreshing_) return;
  SVGQuarvelConfiguration config = document_->config.get();
  change(config);
  if (config == document_->config.get()) return;
  document_->config = config;
}

void ExportSettingsView::refresh() {
  refreshing_ = true;
  const SVGQuarvelConfiguration& config = document_->config.get();
  for (const auto& widgets : controls_) {
    const auto& control = *widgets.control;
    if (widgets.entry != nullptr && widgets.entry->get_text().raw() != control.text(config)) {
      widgets.entry->set_text(control.text(config));
    }
    if (widgets.toggle != nullptr) widgets.toggle->set_active(control.isOn(config));
    if (widgets.picker != nullptr) widgets.picker->set_selected(static_cast<guint>(control.selectedItem(config)));
    if (widgets.number != nullptr) widgets.number->setValue(control.number(config));
  }
  refreshing_ = false;
}

}  // namespace SVGQuarvelViews
