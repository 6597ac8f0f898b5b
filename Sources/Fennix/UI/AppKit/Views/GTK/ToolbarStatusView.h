// Pieces for window toolbars: a rounded status pill with one line of text, an optional image and a
// thin progress bar that runs while any caller wants it; a spinner that turns into a "Cancel"
// button while the pointer is over it; and a toolbar item whose view is enabled by validating its
// action from the focus widget up through its ancestors' action groups.
#pragma once

#include <giomm/actiongroup.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/eventcontrollermotion.h>
#include <gtkmm/label.h>
#include <gtkmm/progressbar.h>
#include <gtkmm/spinner.h>
#include <gtkmm/stack.h>
#include <gtkmm/window.h>

#include <functional>
#include <optional>
#include <string>

#include "Fennix/UI/AppKit/Views/GTK/ImageViews.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"
#include "Fennix/UI/Common/Views/ToolbarStatusModel.h"

class QvLabel;

class QvToolbarStatusView : public QvViewBase {
 public:
  static constexpr double defaultWidth = 320;
  static constexpr double defaultHeight = 25;

  QvToolbarStatusView();
  ~QvToolbarStatusView() override;

  QvLabel* textField() const { return textField_; }
  /// Replaces the text field the view reads and writes its text through (the one it shows stays
  /// among its subviews).
  void setTextField(QvLabel* textField) { textField_ = textField; }
  QvImageViewBase* imageView() const { return imageView_; }
  /// Sets the image view before the view is set up (the view never makes one itself).
  void setImageView(QvImageViewBase* imageView) { imageView_ = imageView; }
  Gtk::ProgressBar* progressBar() const { return progressBar_; }
  /// Replaces the progress bar that the spinner calls run (the one it shows stays among its
  /// subviews); a running bar stops and the new one takes over.
  void setProgressBar(Gtk::ProgressBar* progressBar);
  long spinnerCount() const { return counter_.count(); }
  /// Sets how many callers want the bar running; the bar starts or stops only with the next
  /// spinner call.
  void setSpinnerCount(long count) { counter_.setCount(count); }
  double cornerRadius() const { return 4; }
  /// Whether the progress bar is running.
  bool progressRunning() const { return pulse_.connected(); }

  void onSetup() override;
  void onAppearanceChange() override;

  virtual void setupConstraints();
  virtual Gtk::ProgressBar* makeProgressBar();
  virtual void startSpinner();
  virtual void stopSpinner(bool fullstop);

  /// The text field's text; empty without a text field.
  std::string stringValue() const;
  void setStringValue(const std::string& text);

  /// The colours last applied.
  const std::optional<Fennix::StatusViewColors>& colors() const { return colors_; }

 private:
  void pushColors();
  void setupViews();
  void setBarRunning(bool running);

  QvLabel* textField_ = nullptr;
  QvImageViewBase* imageView_ = nullptr;
  Gtk::ProgressBar* progressBar_ = nullptr;
  Fennix::SpinnerCounter counter_;
  Glib::RefPtr<Gtk::CssProvider> css_;
  sigc::connection pulse_;
  std::optional<Fennix::StatusViewColors> colors_;
};

class QvCancelableSpinner : public Gtk::Box {
 public:
  QvCancelableSpinner();
  ~QvCancelableSpinner() override;

  bool isSpinning() const { return state_.isSpinning(); }
  /// Starts or stops the spin; when the spinner hides when stopped, the whole view hides while it
  /// is stopped, also with the pointer over it.
  void setSpinning(bool spinning);
  /// Whether the view is hidden: it keeps its place but draws nothing and takes no pointer.
  bool isHidden() const { return hidden_; }
  bool hidesWhenStopped() const { return hidesWhenStopped_; }
  void setHidesWhenStopped(bool hides);
  /// What pressing the cancel button does.
  const std::function<void()>& action() const { return action_; }
  void setAction(std::function<void()> action) { action_ = std::move(action); }

  Gtk::Spinner& spinner() { return *spinner_; }
  Gtk::Button& cancelButton();
  bool mouseInside() const { return state_.mouseInside(); }
  /// Makes the hover controller on first use and adds it unless the view has it.
  void updateTrackingAreas();
  void mouseEntered();
  void mouseExited();

 private:
  void applyState();

  Fennix::CancelableSpinnerState state_;
  bool hidesWhenStopped_ = true;
  bool hidden_ = false;
  Gtk::Stack* stack_ = nullptr;
  Gtk::Spinner* spinner_ = nullptr;
  Gtk::Button* cancelButton_ = nullptr;
  Glib::RefPtr<Gtk::EventControllerMotion> hoverTrackingArea_;
  std::function<void()> action_;
};

/// A toolbar item with a view and the name of its action ("win.save").
class QvToolbarItem {
 public:
  explicit QvToolbarItem(std::string itemIdentifier) : itemIdentifier_(std::move(itemIdentifier)) {}
  virtual ~QvToolbarItem() = default;

  const std::string& itemIdentifier() const { return itemIdentifier_; }
  Gtk::Widget* view() const { return view_; }
  void setView(Gtk::Widget* view) { view_ = view; }
  const std::optional<std::string>& action() const { return action_; }
  void setAction(std::optional<std::string> action) { action_ = std::move(action); }

  bool isEnabled() const { return enabled_; }
  /// Also enables or disables the view.
  void setEnabled(bool enabled);
  /// Validates the action from the focus widget of `window` up through its ancestors; without a
  /// view, an action or a window the item keeps its own state.
  virtual void validate(Gtk::Window* window);

 private:
  std::string itemIdentifier_;
  Gtk::Widget* view_ = nullptr;
  std::optional<std::string> action_;
  bool enabled_ = true;
};

namespace Fennix {

/// Told when the enabled state of an action of any group inserted with `insertActionGroup` may
/// have changed (an action changed, came or went, or a group was inserted or taken out).
sigc::signal<void()>& actionStatesChanged();
/// Inserts an action group into a widget so that both the toolkit and toolbar validation find it.
void insertActionGroup(Gtk::Widget& widget, const std::string& prefix, const Glib::RefPtr<Gio::ActionGroup>& group);
/// What `widget` says about a full action name ("prefix.name").
ResponderAnswer answerForAction(Gtk::Widget& widget, const std::string& action);

}  // namespace Fennix
