// View controllers built in code. A controller owns its child controllers and a lazily made view,
// which it holds through the layout host's view handle; the toolkit (or a fake in tests) makes the
// views through the controller view kit below. `QvViewControllerBase` turns view loading into a
// `makeView()` / `configureView(_:)` pair, the appearance callbacks into parameterless hooks and
// changes of the represented object into `onObjectChange(old:new:)`.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Fennix/Foundation/BaseTypes/AnyValue.h"
#include "Fennix/Foundation/BaseTypes/FatalError.h"
#include "Platform/TypeName.h"
#include "Fennix/UI/Common/AutoLayout.h"
#include "Fennix/UI/Common/LayoutConstraint.h"
#include "Fennix/UI/Common/StackViewTypes.h"
#include "Fennix/UI/Common/ViewLookup.h"

class NSViewController;


namespace Fennix {

/// What controllers need of the toolkit's views. The toolkit part installs one; tests install a
/// fake over the fake layout host.
class ControllerViewKit {
 public:
  virtual ~ControllerViewKit() = default;
  /// A plain view with the kit's initial frame, laid out by constraints.
  virtual LayoutItem makeGenericView() = 0;
  /// A scroll view around `document`.
  virtual LayoutItem makeScrollView(LayoutItem document) = 0;
  virtual bool isScrollView(LayoutItem view) const = 0;
  /// A label showing `text`, its text centred.
  virtual LayoutItem makeLabel(const std::string& text) = 0;
  virtual bool isTextField(LayoutItem view) const = 0;
  virtual std::string text(LayoutItem label) const = 0;
  virtual void setText(LayoutItem label, const std::string& text) = 0;
  /// Lets a label wrap at its current width and schedules its layout and redrawing.
  virtual void wrapAtCurrentWidth(LayoutItem label) = 0;
  /// A stack of `views` along `axis`.
  virtual LayoutItem makeStackView(const std::vector<LayoutItem>& views, NSUserInterfaceLayoutOrientation axis,
                                   NSStackViewDistribution distribution, std::optional<NSLayoutAttribute> alignment,
                                   std::optional<NSLayoutPriority> hugging, double spacing) = 0;
  /// The controller's view is kept alive while the controller holds it.
  virtual void retainView(LayoutItem view) = 0;
  virtual void releaseView(LayoutItem view) = 0;
  /// Reports the view's showing and hiding to its controller (as long as the controller lives).
  virtual void attachController(LayoutItem view, std::weak_ptr<NSViewController> controller) = 0;
};

void setControllerViewKit(std::shared_ptr<ControllerViewKit> kit);
/// The installed kit; stops the process when there is none (views cannot be made without one).
ControllerViewKit& controllerViewKit();
bool hasControllerViewKit();

/// Makes a controller of a registered class with its parameterless initialiser; none for a class
/// that is not a view controller.
using ControllerFactory = std::function<std::shared_ptr<NSViewController>()>;

/// The classes that can be made by name: each under its plain name and under the name the runtime
/// gives a class of a module ("_TtC", the module's length and name, the class's length and name).
class ControllerClassRegistry {
 public:
  /// Registers a view-controller class under both names (the second only with a module).
  template <typename T>
  static void registerViewController(const std::string& name, const std::optional<std::string>& module);
  /// Registers a class that is no view controller (its name resolves, but to nothing makeable).
  static void registerOtherClass(const std::string& name) { registerName(name, nullptr); }
  /// Registers one name; a later registration of a name replaces the earlier one.
  static void registerName(const std::string& name, ControllerFactory factory);
  static void unregisterName(const std::string& name);
  /// Whether a class of that name exists, and its factory (null for other classes).
  static std::optional<ControllerFactory> lookup(const std::string& name);
  /// "_TtC" + UTF-16 length of module + module + UTF-16 length of name + name.
  static std::string mangledName(const std::string& module, const std::string& name);
};

}  // namespace Fennix

/// How `addChildViewControllerAndSubview` places a child's view: in a scroll view, or with hugging
/// and compression-resistance priorities (both orientations, horizontal, vertical) and an aspect.
struct QvChildOptions {
  bool scrolled = false;
  std::optional<NSLayoutPriority> hug, hugh, hugv, cr, crh, crv;
  bool aspect = false;
};

/// The toolkit-neutral view controller: children, a lazily made view, an identifier and a
/// represented object. Make controllers with `make<T>()`, which runs `onSetup()`-style
/// initialisation of subclasses on the finished object.
class NSViewController : public std::enable_shared_from_this<NSViewController>, public Fennix::LayoutItemProvider {
 public:
  using Ptr = std::shared_ptr<NSViewController>;

  template <typename T, typename... Args>
  static std::shared_ptr<T> make(Args&&... args) {
    std::shared_ptr<T> controller(new T(std::forward<Args>(args)...));
    static_cast<NSViewController*>(controller.get())->didInitialize();
    return controller;
  }
  /// A plain controller.
  static Ptr make() { return make<NSViewController>(); }

  virtual ~NSViewController();
  NSViewController(const NSViewController&) = delete;
  NSViewController& operator=(const NSViewController&) = delete;

  /// The view, loaded on first access; none when loading made none (or while it is being made).
  std::optional<Fennix::LayoutItem> view();
  /// The view when it is loaded; never loads it.
  std::optional<Fennix::LayoutItem> viewIfLoaded() const { return view_; }
  bool isViewLoaded() const { return view_.has_value(); }
  /// Stores the view (none removes it).
  void setView(std::optional<Fennix::LayoutItem> view);
  Fennix::LayoutItem layoutItem() const override { return view_.value_or(Fennix::LayoutItem{}); }

  /// Without interface files there is nothing to load: the plain controller gets no view.
  virtual void loadView() {}
  /// Called once each time loading gives the controller a view (from `view()`, after `loadView()`),
  /// whichever toolkit made it; the view is there when it runs. Empty here.
  virtual void viewDidLoad() {}

  virtual std::optional<std::string> identifier() const { return identifier_; }
  virtual void setIdentifier(std::optional<std::string> identifier) { identifier_ = std::move(identifier); }

  virtual std::optional<Fennix::AnyValue> representedObject() const { return representedObject_; }
  virtual void setRepresentedObject(std::optional<Fennix::AnyValue> object) { representedObject_ = std::move(object); }

  virtual void viewWillAppear() {}
  virtual void viewDidAppear() {}
  virtual void viewWillDisappear() {}
  virtual void viewDidDisappear() {}

  /// An action the controller answers as a responder, for the controls and menu items inside its
  /// view: its name (the selector's without the colon) and what it does.
  struct ResponderAction {
    std::string name;
    std::function<void(NSViewController& controller)> perform;
  };
  /// The controller's actions; the toolkit offers them to the controls inside the controller's
  /// view under the prefix "vc" (a button with the action "vc.moveForward"). None here.
  virtual std::vector<ResponderAction> responderActions() const { return {}; }

  // Children (the portable accessors).
  const std::vector<Ptr>& uxChildren() const { return children_; }
  /// Adds a child, moving it from an earlier parent.
  void uxAddChild(const Ptr& child);
  void uxRemoveFromParent();
  NSViewController* parentViewController() const { return parent_; }

  /// The unqualified name of the controller's class.
  std::string className() const;
  /// "<ClassName:0x…>".
  std::string description() const;

  // Extensions.

  /// A new controller of the class of that name (plain name first, then the name of the class in
  /// the application's module); none with a warning line on standard output when there is none.
  static Ptr qvNew(const std::string& className);
  /// Adds a child (a controller, or a class name) with its view: in a scroll view when `scrolled`
  /// and the view is no scroll view, else with the layout helpers. None when the child is neither.
  using ChildOptions = QvChildOptions;
  using ChildSpec = std::variant<Ptr, std::string, Fennix::ControllerFactory, Fennix::AnyValue>;
  /// The controller a child stands for: itself, one made by class name or by class; none for any
  /// other value or a name that resolves to nothing.
  static Ptr resolveChild(const ChildSpec& child);
  Ptr addChildViewControllerAndSubview(const ChildSpec& child, const ChildOptions& options = {},
                                       const std::vector<QvConstraintArg>& descriptions = {});
  void removeAllChildViewControllers();
  NSViewController& qvRootViewController();
  Ptr qvSubVC(QvViewSearchOptions options, const std::function<bool(const NSViewController&)>& passingTest) const;
  template <typename T>
  std::shared_ptr<T> qvFirstSubVC() const {
    return std::dynamic_pointer_cast<T>(
        qvSubVC(QvViewSearchOptions::deep(), [](const NSViewController& vc) { return dynamic_cast<const T*>(&vc); }));
  }
  /// As above; stops the process when there is none.
  template <typename T>
  std::shared_ptr<T> qvRequireFirstSubVC() const {
    if (auto found = qvFirstSubVC<T>()) return found;
    Fennix::fatalError("did not find child view controller of class " + Fennix::typeName<T>());
  }
  Ptr qvFirstSubVC(const std::string& withID) const;
  template <typename T>
  T* qvFirstSuperVC() {
    for (NSViewController* vc = this; vc; vc = vc->parent_)
      if (auto* found = dynamic_cast<T*>(vc)) return found;
    return nullptr;
  }
  template <typename T>
  T& qvRequireFirstSuperVC() {
    if (T* found = qvFirstSuperVC<T>()) return *found;
    Fennix::fatalError("did not find parent view controller of class " + Fennix::typeName<T>());
  }
  /// Always none.
  std::optional<QvMetrics> qvMetrics() const { return std::nullopt; }
  NSLayoutConstraintList qvVFL(const QvConstraintArg& description, const std::optional<QvViewsMap>& views = {}) const;
  NSLayoutConstraintList qvVFLa(const std::vector<QvConstraintArg>& descriptions,
                                const std::optional<QvViewsMap>& views = {}) const;

 protected:
  NSViewController() = default;
  /// Runs once on the finished object (see `make`).
  virtual void didInitialize() {}

 private:
  std::optional<Fennix::LayoutItem> view_;
  bool loadingView_ = false;
  std::optional<std::string> identifier_;
  std::optional<Fennix::AnyValue> representedObject_;
  std::vector<Ptr> children_;
  NSViewController* parent_ = nullptr;
};

/// The common base of the library's controllers.
class QvViewControllerBase : public NSViewController {
 public:
  // Hooks.
  virtual void onSetup() {}
  virtual void onWillAppear() {}
  virtual void onDidAppear() {}
  virtual void onWillDisappear() {}
  virtual void onDidDisappear() {}
  virtual void onObjectChange(const std::optional<Fennix::AnyValue>& old, const std::optional<Fennix::AnyValue>& new_) {
    (void)old;
    (void)new_;
  }
  /// The generic view of the controller view kit.
  virtual std::optional<Fennix::LayoutItem> makeView();
  /// Gives the view the controller's identifier unless it has one.
  virtual void configureView(Fennix::LayoutItem view);

  void loadView() override;
  void setIdentifier(std::optional<std::string> identifier) override;
  void setRepresentedObject(std::optional<Fennix::AnyValue> object) override;
  void viewWillAppear() override;
  void viewDidAppear() override;
  void viewWillDisappear() override;
  void viewDidDisappear() override;

 protected:
  QvViewControllerBase() = default;
  void didInitialize() override { onSetup(); }
};

template <typename T>
void Fennix::ControllerClassRegistry::registerViewController(const std::string& name,
                                                             const std::optional<std::string>& module) {
  ControllerFactory factory = [] { return std::shared_ptr<NSViewController>(NSViewController::make<T>()); };
  registerName(name, factory);
  if (module) registerName(mangledName(*module, name), factory);
}
