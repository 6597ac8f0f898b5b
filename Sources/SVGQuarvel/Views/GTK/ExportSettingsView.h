// The export settings form of the sidebar: the three sections of controls, each writing its one
// setting into the document's configuration (which regenerates the Swift and becomes the default).
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/checkbutton.h>
#include <gtkmm/dropdown.h>
#include <gtkmm/entry.h>

#include <memory>
#include <vector>

#include "Platform/Observable.h"
#include "QuarvelUtilities/GTK/FormBlocks.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvel/Views/ExportSettings.h"

namespace SVGQuarvelViews {

class ExportSettingsView : public Gtk::Box {
 public:
  explicit ExportSettingsView(std::shared_ptr<SVGQuarvelDocument> document);

  /// The widget of each control, in the order of `exportSettingsSections()`.
  struct ControlWidgets {
    const SettingsControl* control = nullptr;
    Gtk::Entry* entry = nullptr;
    Gtk::CheckButton* toggle = nullptr;
    Gtk::DropDown* picker = nullptr;
    QuarvelUtilities::IntegerStepperField* number = nullptr;
  };
  const std::vector<ControlWidgets>& controls() const { return controls_; }

  /// Shows the document's settings.
  void refresh();

 private:
  void write(const std::function<void(SVGQuarvelConfiguration&)>& change);

  std::shared_ptr<SVGQuarvelDocument> document_;
  std::vector<ControlWidgets> controls_;
  AnyCancellable configSubscription_;
  bool refreshing_ = false;
};

}  // namespace SVGQuarvelViews
