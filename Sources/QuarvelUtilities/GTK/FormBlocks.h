// The settings form's building blocks: a row with a label at the leading edge and its control at
// the trailing edge, a titled section of rows closed by a separator, and a whole-number field
// with two step buttons that refuse to leave their range with the error bell.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>
#include <gtkmm/separator.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "QuarvelUtilities/FormBlocks.h"

namespace QuarvelUtilities {

/// Gives `control` the name assistive technology reads out (its own title, which the form does
/// not draw beside the row's label), and a description when one is given.
void setAccessibleTitle(Gtk::Widget& control, const std::string& title, const std::string& description = "");

class LabeledField : public Gtk::Box {
 public:
  /// Shows `label` followed by a colon; `content` is managed by the row.
  LabeledField(const std::string& label, Gtk::Widget& content);
  Gtk::Label& label() { return label_; }

 private:
  Gtk::Label label_;
  Gtk::Box spacer_;
};

class PropertySection : public Gtk::Box {
 public:
  explicit PropertySection(const std::string& title);
  /// Adds a row (managed by the section).
  void addRow(Gtk::Widget& row);
  Gtk::Label& title() { return title_; }

 private:
  Gtk::Label title_;
  Gtk::Box rows_;
  Gtk::Separator divider_;
};

/// A whole-number field over 0...upperBound steps, with increment and decrement buttons. Both
/// buttons are named `stepperTitle` for assistive technology, described as "Increment" and
/// "Decrement".
class IntegerStepperField : public Gtk::Box {
 public:
  /// `commit` gets the number to store: typed text on Enter or when the field loses focus (none
  /// when it is not a whole number), or a step's result.
  IntegerStepperField(const std::string& placeholder, const std::string& stepperTitle, std::int64_t upperBound,
                      std::function<void(std::int64_t)> commit,
                      std::function<std::optional<std::int64_t>(std::string_view)> parse);
  /// Shows `value` (does not commit).
  void setValue(std::int64_t value);
  std::int64_t value() const { return value_; }

  Gtk::Entry& entry() { return entry_; }
  Gtk::Button& incrementButton() { return increment_; }
  Gtk::Button& decrementButton() { return decrement_; }
  /// Commits what the field holds.
  void commitText();

 private:
  void step(bool up);

  Gtk::Entry entry_;
  Gtk::Box buttons_;
  Gtk::Button increment_;
  Gtk::Button decrement_;
  BoundedStepper stepper_;
  std::int64_t value_ = 0;
  std::function<void(std::int64_t)> commit_;
  std::function<std::optional<std::int64_t>(std::string_view)> parse_;
};

}  // namespace QuarvelUtilities
