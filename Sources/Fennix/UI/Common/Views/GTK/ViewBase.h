// The view kit's base views. Subviews of a `QvViewBase` are laid out by constraints: they sit in
// an inner holder with a constraint layout, so that the view sees every layout pass through
// `layoutSubviews()`. Make views with `QvViewBase::make<T>(…)`, which calls `onSetup()` once on
// the finished object.
#pragma once

#include <gdkmm/clipboard.h>
#include <gtkmm/widget.h>

#include <functional>
#include <optional>
#include <string>

#include "Fennix/Foundation/Text/Appearance.h"
#include "Fennix/Foundation/Text/Color.h"
#include "Fennix/UI/Common/FatalError.h"
#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/ViewLookup.h"
#include "Fennix/UI/Common/Views/ViewKit.h"

class QvViewBase : public Gtk::Widget {
 public:
  /// A new managed view of type T with `onSetup()` called once.
  template <typename T, typename... Args>
  static T* make(Args&&... args) {
    T* view = Gtk::make_managed<T>(std::forward<Args>(args)...);
    view->runSetup();
    return view;
  }

  ~QvViewBase() override;

  // Hooks.
  virtual void onAppearanceChange() {}
  virtual void onSetup() {}
  /// Runs the constraint layout of the subviews; an override that wants it calls this.
  virtual void layoutSubviews();
  virtual std::string descriptionPrefix() const;
  virtual void appendToDescription(std::string&) const {}

  /// "<" + prefix + appended text + ">".
  std::string description() const;
  bool isOpaque() const { return qvIsOpaque_; }
  void setOpaque(bool opaque) { qvIsOpaque_ = opaque; }
  /// The visual format of the content slot.
  virtual std::string qvContentViewVFL() const { return "|[self]|"; }
  /// Whether the origin is the top left corner (in the y-up space of frames).
  virtual bool isFlipped() const { return false; }

  /// The widget the subviews sit in.
  Gtk::Widget& holder() { return *holder_; }
  /// Runs `onSetup()` unless it ran already.
  void runSetup();

  /// Prefer `make`, which also runs `onSetup()`.
  QvViewBase();

 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override;
  void measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural, int& minimum_baseline,
                     int& natural_baseline) const override;
  void size_allocate_vfunc(int width, int height, int baseline) override;
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;

 private:
  void settingsChanged();
  void tearDown();

  bool qvIsOpaque_ = true;
  bool didSetup_ = false;
  Gtk::Widget* holder_ = nullptr;
  int allocatedWidth_ = 0, allocatedHeight_ = 0, allocatedBaseline_ = -1;
  std::vector<gulong> settingsHandlers_;
  GObject* settings_ = nullptr;
};

/// A plain container whose origin is its top left corner.
class QvTopLeftView : public QvViewBase {
 public:
  bool isFlipped() const override { return true; }
};

/// A view that fills its bounds with a colour and strokes their outline with another.
class QvSimpleColorView : public Gtk::Widget {
 public:
  QvSimpleColorView();
  QvSimpleColorView(std::optional<NSColor> fill, std::optional<NSColor> stroke);

  const std::optional<NSColor>& fillColor() const { return fillColor_; }
  virtual void setFillColor(std::optional<NSColor> color);
  const std::optional<NSColor>& strokeColor() const { return strokeColor_; }
  virtual void setStrokeColor(std::optional<NSColor> color);
  /// Opaque only with a fill colour of full alpha.
  bool isOpaque() const;

 protected:
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;

 private:
  std::optional<NSColor> fillColor_;
  std::optional<NSColor> strokeColor_;
};

/// A colour view that marks a place; its colours are set by its user.
class QvMarkerView : public QvSimpleColorView {
 public:
  QvMarkerView() = default;
};

namespace Fennix {

/// A view's appearance, from its toolkit settings.
NSAppearance effectiveAppearance(const Gtk::Widget& view);

/// Runs `body` with the view's appearance as the current one and restores the previous.
template <typename Body>
auto withEffectiveAppearance(const Gtk::Widget& view, Body&& body) -> decltype(body()) {
  return withAppearance(effectiveAppearance(view), std::forward<Body>(body));
}

inline bool isDarkMode(const Gtk::Widget& view) { return effectiveAppearance(view).qvIsDarkMode(); }

/// The toolkit's colour of a colour.
Gdk::RGBA rgba(const NSColor& color);
NSColor color(const Gdk::RGBA& rgba);

// Lookup of views by class: the first view below `view` whose type is `type` or derives from it.
Gtk::Widget* qvFirstSubview(const Gtk::Widget& view, GType ofClass);

/// The first subview of C++ type T (or a subclass), searched deep; none when there is none.
template <typename T>
T* qvFirstSubview(const Gtk::Widget& view) {
  auto found = ::qvSubview(item(view), QvViewSearchOptions::deep(), [](LayoutItem candidate) {
    return dynamic_cast<T*>(widget(candidate)) != nullptr;
  });
  return found ? dynamic_cast<T*>(widget(*found)) : nullptr;
}

/// As above; stops the process when there is none.
template <typename T>
T& qvRequireFirstSubview(const Gtk::Widget& view, std::string_view typeName) {
  if (T* found = qvFirstSubview<T>(view)) return *found;
  fatalError("did not find subview of class " + std::string(typeName));
}

/// The view itself when it is a T, else its first subview of type T; stops when there is none.
template <typename T>
T& qvFirstView(Gtk::Widget& view, std::string_view typeName) {
  if (T* self = dynamic_cast<T*>(&view)) return *self;
  return qvRequireFirstSubview<T>(view, typeName);
}

/// The view's layer. Views here have no layers apart from themselves: a view draws the looks a
/// layer would carry (the collection item frame its rounded border and fill), and a spin turns the
/// view itself or the holder that `QvViewAnimations::animationLayer()` names.
inline Gtk::Widget* qvLayer(Gtk::Widget& view) { return &view; }

/// Sets the view's identifier and returns the view.
template <typename View>
View& id(View& view, const std::string& identifier) {
  installToolkitLayoutHost();
  layoutHost()->setIdentifier(item(view), identifier);
  return view;
}

/// Adds each present view as a subview, in order.
void addSubviews(Gtk::Widget& container, std::initializer_list<Gtk::Widget*> views);

// Pasteboard readers over a clipboard.

/// Whether the clipboard offers values of `type`.
bool canReadObject(const Glib::RefPtr<Gdk::Clipboard>& clipboard, GType ofType);
/// Reads a value of `type`; the callback gets none when the clipboard holds no such value.
void readObject(const Glib::RefPtr<Gdk::Clipboard>& clipboard, GType ofType,
                std::function<void(std::optional<Glib::ValueBase>)> then);

/// Puts `text` (UTF-8) on the clipboard: first as the bytes of `text/plain;charset=utf-8` and of
/// `text/plain`, which other programs read however long the text is, then as a string value for
/// this process's own readers.
void writeText(const Glib::RefPtr<Gdk::Clipboard>& clipboard, const std::string& text);

}  // namespace Fennix
