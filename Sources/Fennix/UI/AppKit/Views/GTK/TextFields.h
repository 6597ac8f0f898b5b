// Text pieces of the kit: a field that places its entry at the top, middle or bottom of its
// bounds, a text view that grows with its text while being edited, a label that acts on a press,
// and labels with clickable links.
#pragma once

#include <gtkmm/entry.h>
#include <gtkmm/label.h>
#include <gtkmm/textview.h>

#include <functional>

#include "Fennix/UI/Common/Views/TextFieldModel.h"

/// The placement state of a field: its alignment, and whether its text is being edited or
/// selected (then the text stays where the toolkit puts it).
struct QvTextFieldCell {
  NSTextBlockVerticalAlignment verticalAlignment = NSTextBlockVerticalAlignment::top;
  bool isEditingOrSelecting = false;

  /// The rectangle of the text for `bounds` when it needs `cellHeight`.
  CGRect drawingRect(const CGRect& bounds, double cellHeight) const {
    return Fennix::drawingRect(bounds, cellHeight, verticalAlignment, isEditingOrSelecting);
  }
};

/// A one-line field whose entry sits at the top, in the middle or at the bottom of its bounds.
class QvTextField : public Gtk::Widget {
 public:
  QvTextField();
  ~QvTextField() override;

  Gtk::Entry& entry() { return *entry_; }
  QvTextFieldCell& cell() { return cell_; }
  /// Where the entry was last placed, in the field's coordinates.
  const CGRect& entryRect() const { return entryRect_; }

 protected:
  void measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural, int& minimum_baseline,
                     int& natural_baseline) const override;
  void size_allocate_vfunc(int width, int height, int baseline) override;

 private:
  Gtk::Entry* entry_;
  QvTextFieldCell cell_;
  CGRect entryRect_;
};

namespace Fennix {

/// The alignment of a field of the kit; top for any other widget.
NSTextBlockVerticalAlignment verticalAlignment(const Gtk::Widget& field);
/// Sets the alignment of a field of the kit (without redisplay); ignored for other widgets.
void setVerticalAlignment(Gtk::Widget& field, NSTextBlockVerticalAlignment alignment);

/// Shows linked text in a label: the runs' colours and underlines, the links as anchors that
/// the label activates.
void setLinkedText(Gtk::Label& label, const LinkedText& text);
/// The label's markup for linked text.
std::string linkedTextMarkup(const LinkedText& text);

}  // namespace Fennix

/// A text view whose natural height follows its text while it is being edited.
class QvGrowingTextField : public Gtk::TextView {
 public:
  QvGrowingTextField();
  bool isEditing() const { return isEditing_; }
  void setEditing(bool editing);

 protected:
  void measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural, int& minimum_baseline,
                     int& natural_baseline) const override;

 private:
  bool isEditing_ = false;
};

/// A label that acts like a button: the action runs on the press.
class QvClickableLabel : public Gtk::Widget {
 public:
  using Action = std::function<void(QvClickableLabel&)>;
  explicit QvClickableLabel(const std::string& text);
  ~QvClickableLabel() override;

  Gtk::Label& label() { return *label_; }
  QvClickableLabel& onClick(Action action);
  /// What a press does.
  void mouseDown();

 protected:
  void measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural, int& minimum_baseline,
                     int& natural_baseline) const override;
  void size_allocate_vfunc(int width, int height, int baseline) override;

 private:
  Gtk::Label* label_;
  Action action_;
};
