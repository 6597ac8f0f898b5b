#include "Fennix/UI/AppKit/Views/GTK/ToolbarStatusView.h"

#include <glibmm/main.h>

#include <cstdio>

#include "Fennix/UI/AppKit/GTK/ViewFactory.h"
#include "Fennix/UI/Common/AutoLayout.h"

namespace {

std::string cssColor(const NSColor& color) {
  char text[96];
  std::snprintf(text, sizeof text, "rgba(%d, %d, %d, %.3f)", int(color.redComponent() * 255 + 0.5),
                int(color.greenComponent() * 255 + 0.5), int(color.blueComponent() * 255 + 0.5), color.alphaComponent());
  return text;
}

const char* const ActionGroupsKey = "qv-action-groups";

}  // namespace

// Status view.

QvToolbarStatusView::QvToolbarStatusView() {
  set_size_request(int(defaultWidth), int(defaultHeight));
  set_overflow(Gtk::Overflow::HIDDEN);  // masks to its rounded bounds
  add_css_class("qv-toolbar-status");
  css_ = Gtk::CssProvider::create();
  get_style_context()->add_provider(css_, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  signal_map().connect([this] { Fennix::withEffectiveAppearance(*this, [this] { onAppearanceChange(); }); });
}

QvToolbarStatusView::~QvToolbarStatusView() { pulse_.disconnect(); }

void QvToolbarStatusView::onSetup() {
  setupViews();
  setupConstraints();
}

void QvToolbarStatusView::setupViews() {
  QvLabel* label = qv().makeLabel(std::nullopt, "");
  Fennix::qvMakeSingleLine(*label);
  label->set_single_line_mode(true);
  label->setAlignment(NSTextAlignment::left);
  label->setFont(NSFont::systemFont(NSFont::smallSystemFontSize()));
  textField_ = label;
  progressBar_ = makeProgressBar();
  Fennix::addSubviews(*this, {textField_, progressBar_, imageView_});
}

void QvToolbarStatusView::setupConstraints() {
  using Fennix::item;
  const Fennix::LayoutItem self = item(*this);
  const double superSpacing = NSLayoutConstraint::qvStandardConstantBetweenSuperview();
  const double siblingSpacing = NSLayoutConstraint::qvStandardConstantBetweenSiblings();
  NSLayoutConstraintList constraints;
  if (progressBar_) {
    const Fennix::LayoutItem bar = item(*progressBar_);
    constraints.push_back(constrain(bar, NSLayoutAttribute::leading, self, 0));
    constraints.push_back(constrain(bar, NSLayoutAttribute::trailing, self, 0));
    constraints.push_back(constrain(bar, NSLayoutAttribute::bottom, self, 0));
    constraints.push_back(NSLayoutConstraint::make(bar, NSLayoutAttribute::height, NSLayoutRelation::equal, 1, 3));
  }
  if (textField_) {
    const Fennix::LayoutItem text = item(*textField_);
    constraints.push_back(constrain(text, NSLayoutAttribute::centerY, self, 0));
    if (imageView_) {
      const Fennix::LayoutItem image = item(*imageView_);
      constraints.push_back(constrain(image, NSLayoutAttribute::leading, self, superSpacing));
      constraints.push_back(constrainViews(text, NSLayoutAttribute::leading, NSLayoutRelation::equal, image,
                                           NSLayoutAttribute::trailing, 1, siblingSpacing));
      constraints.push_back(constrain(image, NSLayoutAttribute::centerY, self, 0));
    } else {
      constraints.push_back(constrain(text, NSLayoutAttribute::leading, self, 10));
    }
    constraints.push_back(constrain(text, NSLayoutAttribute::trailing, self, -superSpacing));
  }
  NSLayoutConstraint::activate(constraints);
  if (textField_) setHHug(item(*textField_), 250);
}

Gtk::ProgressBar* QvToolbarStatusView::makeProgressBar() {
  auto* bar = Gtk::make_managed<Gtk::ProgressBar>();
  Fennix::prepareForConstraints(*bar);
  bar->set_size_request(42, 3);
  bar->set_pulse_step(0.1);
  bar->set_opacity(0);  // not shown while stopped
  return bar;
}

void QvToolbarStatusView::setBarRunning(bool running) {
  if (!progressBar_) return;
  pulse_.disconnect();
  progressBar_->set_opacity(running ? 1 : 0);
  if (running) {
    pulse_ = Glib::signal_timeout().connect(
        [this] {
          progressBar_->pulse();
          return true;
        },
        80);
  }
}

void QvToolbarStatusView::setProgressBar(Gtk::ProgressBar* progressBar) {
  const bool running = progressRunning();
  setBarRunning(false);
  progressBar_ = progressBar;
  if (running) setBarRunning(true);
}

void QvToolbarStatusView::startSpinner() {
  if (counter_.start()) setBarRunning(true);
}

void QvToolbarStatusView::stopSpinner(bool fullstop) {
  if (counter_.stop(fullstop)) setBarRunning(false);
}

std::string QvToolbarStatusView::stringValue() const {
  if (!textField_) return {};
  if (const std::string* text = textField_->objectValue().text()) return *text;
  return textField_->get_text();
}

void QvToolbarStatusView::setStringValue(const std::string& text) {
  if (textField_) textField_->setObjectValue(text);
}

void QvToolbarStatusView::onAppearanceChange() { pushColors(); }

void QvToolbarStatusView::pushColors() {
  const Fennix::StatusViewColors colors = Fennix::statusViewColors(Fennix::isDarkMode(*this));
  colors_ = colors;
  const std::string css = ".qv-toolbar-status { border: 0.5px solid " + cssColor(colors.border) +
                          "; border-radius: 4px; background-image: linear-gradient(to bottom, " +
                          cssColor(colors.gradientStart) + ", " + cssColor(colors.gradientEnd) + "); }";
  css_->load_from_data(css);
  if (textField_) textField_->setTextColor(colors.text);
}

// Cancelable spinner.

QvCancelableSpinner::QvCancelableSpinner() {
  stack_ = Gtk::make_managed<Gtk::Stack>();
  stack_->set_transition_type(Gtk::StackTransitionType::NONE);
  spinner_ = qv().makeSpinner();
  stack_->add(*spinner_, "spinner");
  stack_->add(cancelButton(), "cancel");
  append(*stack_);
  stack_->set_hexpand(true);
  stack_->set_vexpand(true);
  updateTrackingAreas();
  applyState();
}

QvCancelableSpinner::~QvCancelableSpinner() = default;

Gtk::Button& QvCancelableSpinner::cancelButton() {
  if (!cancelButton_) {
    cancelButton_ = qv().makeButtonBase(std::nullopt, nullptr);
    cancelButton_->set_has_frame(false);
    cancelButton_->set_icon_name("process-stop-symbolic");
    cancelButton_->set_tooltip_text("Cancel");
    cancelButton_->set_name("Cancel");
    cancelButton_->signal_clicked().connect([this] {
      if (action_) action_();
    });
  }
  return *cancelButton_;
}

void QvCancelableSpinner::setSpinning(bool spinning) {
  state_.setSpinning(spinning);
  spinner_->set_spinning(spinning);
  applyState();
}

void QvCancelableSpinner::setHidesWhenStopped(bool hides) {
  hidesWhenStopped_ = hides;
  applyState();
}

void QvCancelableSpinner::updateTrackingAreas() {
  if (!hoverTrackingArea_) {
    hoverTrackingArea_ = Gtk::EventControllerMotion::create();
    hoverTrackingArea_->signal_enter().connect([this](double, double) { mouseEntered(); });
    hoverTrackingArea_->signal_leave().connect([this] { mouseExited(); });
  }
  if (!hoverTrackingArea_->get_widget()) add_controller(hoverTrackingArea_);
}

void QvCancelableSpinner::mouseEntered() {
  state_.mouseEntered();
  applyState();
}

void QvCancelableSpinner::mouseExited() {
  state_.mouseExited();
  applyState();
}

void QvCancelableSpinner::applyState() {
  // The button stands in for the spinner while shown.
  stack_->set_visible_child(state_.cancelButtonHidden() ? static_cast<Gtk::Widget&>(*spinner_) : cancelButton());
  // A stopped view hides whole, the cancel button too, wherever the pointer is. Hidden, it keeps
  // its place, as a hidden view does among views laid out by constraints.
  hidden_ = hidesWhenStopped_ && !state_.isSpinning();
  set_opacity(hidden_ ? 0 : 1);
  set_can_target(!hidden_);
}

// Toolbar item.

void QvToolbarItem::setEnabled(bool enabled) {
  enabled_ = enabled;
  if (view_) view_->set_sensitive(enabled);
}

void QvToolbarItem::validate(Gtk::Window* window) {
  if (!view_ || !action_ || !window) {
    setEnabled(enabled_);
    return;
  }
  const std::string action = *action_;
  Gtk::Widget* first = window->get_focus();
  if (!first) first = window;
  const bool enabled = Fennix::validateAlongChain<Gtk::Widget*>(
      first, [](Gtk::Widget* widget) { return widget->get_parent(); },
      [&action](Gtk::Widget* widget) { return Fennix::answerForAction(*widget, action); });
  setEnabled(enabled);
}

namespace Fennix {

sigc::signal<void()>& actionStatesChanged() {
  static auto* changed = new sigc::signal<void()>();  // kept for the process: widgets may outlive statics
  return *changed;
}

namespace {

constexpr const char* watchedKey = "qv-action-states-watched";

void emitActionStatesChanged() { actionStatesChanged().emit(); }

/// Tells `actionStatesChanged` of every change of the group's actions (once per group).
void watchActionStates(GActionGroup* group) {
  if (g_object_get_data(G_OBJECT(group), watchedKey)) return;
  g_object_set_data(G_OBJECT(group), watchedKey, GINT_TO_POINTER(1));
  g_signal_connect(group, "action-enabled-changed",
                   G_CALLBACK(+[](GActionGroup*, gchar*, gboolean, gpointer) { emitActionStatesChanged(); }), nullptr);
  for (const char* signal : {"action-added", "action-removed"})
    g_signal_connect(group, signal, G_CALLBACK(+[](GActionGroup*, gchar*, gpointer) { emitActionStatesChanged(); }),
                     nullptr);
}

}  // namespace

void insertActionGroup(Gtk::Widget& widget, const std::string& prefix, const Glib::RefPtr<Gio::ActionGroup>& group) {
  if (group) watchActionStates(group->gobj());
  gtk_widget_insert_action_group(widget.gobj(), prefix.c_str(), group ? group->gobj() : nullptr);
  auto* groups = static_cast<GHashTable*>(g_object_get_data(G_OBJECT(widget.gobj()), ActionGroupsKey));
  if (!groups) {
    groups = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_object_unref);
    g_object_set_data_full(G_OBJECT(widget.gobj()), ActionGroupsKey, groups,
                           reinterpret_cast<GDestroyNotify>(g_hash_table_unref));
  }
  if (group) {
    g_hash_table_insert(groups, g_strdup(prefix.c_str()), g_object_ref(group->gobj()));
  } else {
    g_hash_table_remove(groups, prefix.c_str());
  }
  emitActionStatesChanged();
}

ResponderAnswer answerForAction(Gtk::Widget& widget, const std::string& action) {
  const auto dot = action.find('.');
  if (dot == std::string::npos) return {};
  const std::string prefix = action.substr(0, dot), name = action.substr(dot + 1);
  GActionGroup* group = nullptr;
  if (auto* groups = static_cast<GHashTable*>(g_object_get_data(G_OBJECT(widget.gobj()), ActionGroupsKey))) {
    group = static_cast<GActionGroup*>(g_hash_table_lookup(groups, prefix.c_str()));
  }
  // An application window is the group of its "win" actions.
  if (!group && prefix == "win" && G_IS_ACTION_GROUP(widget.gobj())) group = G_ACTION_GROUP(widget.gobj());
  if (!group || !g_action_group_has_action(group, name.c_str())) return {};
  return {true, g_action_group_get_action_enabled(group, name.c_str()) != FALSE};
}

}  // namespace Fennix
