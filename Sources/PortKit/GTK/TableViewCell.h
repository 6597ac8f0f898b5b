// The table cell of the touch platform's shape on our tables, and the table's row API by index
// paths, reuse by identifier and the chainable callback setters of tables and controls.
#pragma once

#include <gtkmm/button.h>
#include <gtkmm/dropdown.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>

#include <optional>
#include <string>

#include "Fennix/UI/AppKit/Views/GTK/TableViews.h"
#include "PortKit/Common/TableView.h"

/// A cell made in code with a reuse identifier; its text and detail labels are made on first use
/// and placed by constraints that are rebuilt only when the set of labels changes.
class NSTableViewCell : public NSTableCellView {
 public:
  struct Style {
    double padding = 8;
    double labelPadding = 4;
    double labelSize;
    double detailLabelSize;
    NSColor detailColor = NSColor::fromRGB(0x555555);
  };

  /// A managed cell with `onSetup()` run.
  template <typename T = NSTableViewCell>
  static T* make(UXTableViewCellStyle style, const std::optional<std::string>& reuseIdentifier) {
    return QvViewBase::make<T>(style, reuseIdentifier);
  }
  NSTableViewCell(UXTableViewCellStyle style, const std::optional<std::string>& reuseIdentifier);
  /// A constraint update still pending goes with the cell.
  ~NSTableViewCell() override;

  NSTableViewCell& contentView() { return *this; }
  /// The labels, made on first use.
  virtual Gtk::Label* textLabel();
  virtual Gtk::Label* detailTextLabel();
  /// The stored labels; reading them makes nothing.
  Gtk::Label* storedTextLabel() const { return textLabel_; }
  Gtk::Label* storedDetailTextLabel() const { return detailTextLabel_; }
  /// Replaces a label; the old one leaves the cell, the caller places the new one in it.
  virtual void setTextLabel(Gtk::Label* label);
  virtual void setDetailTextLabel(Gtk::Label* label);

  virtual NSColor dividerColor() const { return NSColor::lightGrayColor(); }
  virtual Gtk::Label* makeLabel();
  const Style& style() const { return style_; }

  void setBackgroundStyle(BackgroundStyle style) override;
  /// Installs the constraints the present labels need, unless they are installed.
  void updateConstraints();
  void setNeedsUpdateConstraints();
  const PortKit::TableCellConstraints& constraints() const { return constraints_; }

 protected:
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;

 private:
  Gtk::Label* makeStyledLabel(bool detail);

  Style style_;
  PortKit::TableCellConstraints constraints_;
  Gtk::Label* textLabel_ = nullptr;
  Gtk::Label* detailTextLabel_ = nullptr;
  sigc::connection pendingUpdate_;
};

namespace PortKit {

/// Installs the portable cell as the base cell of the library's outline controllers: a cell of the
/// subtitle style whose text label shows the item (once).
void installTableCellKitGTK();

// Rows by index path; the item of each index path is the row.
void insertRows(NSTableView& table, const std::vector<IndexPath>& at,
                std::optional<NSTableViewAnimationOptions> animation);
void deleteRows(NSTableView& table, const std::vector<IndexPath>& at,
                std::optional<NSTableViewAnimationOptions> animation);
void reloadRows(NSTableView& table, const std::vector<IndexPath>& at,
                std::optional<NSTableViewAnimationOptions> animation);

/// A view given back for reuse under the identifier; none when there is none.
Gtk::Widget* dequeueReusableCell(NSTableView& table, const std::string& identifier);
/// The same, never none: a missing view stops the process.
Gtk::Widget& dequeueReusableCell(NSTableView& table, const std::string& identifier, const IndexPath& indexPath);

/// Target and action of a click; returns the table.
NSTableView& onClick(NSTableView& table, const void* target, NSTableView::Callback action);
/// Target and action of a double click; a different target than the table's is reported.
NSTableView& onDoubleClick(NSTableView& table, const void* target, NSTableView::Callback action,
                           const std::string& targetDescription = "-");

// The one action of a control, each returning the control. A second call replaces the action set
// before; the click and change forms differ only in the event they are named after. An entry's
// action runs when its text is committed with Return.
Gtk::Button& onClick(Gtk::Button& button, std::function<void(Gtk::Button&)> action);
Gtk::DropDown& onChange(Gtk::DropDown& popUp, std::function<void(Gtk::DropDown&)> action);
Gtk::Entry& onChange(Gtk::Entry& field, std::function<void(Gtk::Entry&)> action);
QvTableViewButtons& onClick(QvTableViewButtons& control, QvTableViewButtons::Action action);
QvTableViewButtons& onChange(QvTableViewButtons& control, QvTableViewButtons::Action action);

}  // namespace PortKit
