// A window controller that builds its window, toolbar and content controller in code. A subclass
// (or the creator) sets the main component that becomes the content, sizes, title, toolbar
// identifier, autosave name and window class; the window is made on first demand. The toolkit's
// window sits behind a small handle made by the installed window kit.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Fennix/UI/Common/ViewControllers/ViewController.h"
#include "Platform/Geometry.h"

class QvWindowController;

/// A document shown by window controllers. It hears when one of its controllers builds its window:
/// before the window exists and once it is built with its content. Both are empty here.
class NSDocument {
 public:
  virtual ~NSDocument() = default;
  virtual void windowControllerWillLoadNib(QvWindowController& windowController) { (void)windowController; }
  virtual void windowControllerDidLoadNib(QvWindowController& windowController) { (void)windowController; }
};

/// The style bits of a window.
struct NSWindowStyleMask {
  std::uint64_t rawValue = 0;
  static constexpr std::uint64_t titled = 1, closable = 2, miniaturizable = 4, resizable = 8,
                                 unifiedTitleAndToolbar = 4096;
  bool contains(std::uint64_t bits) const { return (rawValue & bits) == bits; }
  bool operator==(const NSWindowStyleMask&) const = default;
};

/// One item of a toolbar: its identifier, the view it shows and, when the view stands for an
/// action, the action's name ("win.save"): the toolbar then validates the item, so that its view
/// is enabled only while the action is.
struct NSToolbarItem {
  NSToolbarItem() = default;
  NSToolbarItem(std::string identifier, std::optional<Fennix::LayoutItem> itemView = std::nullopt,
                std::optional<std::string> itemAction = std::nullopt)
      : itemIdentifier(std::move(identifier)), view(itemView), action(std::move(itemAction)) {}
  std::string itemIdentifier;
  std::optional<Fennix::LayoutItem> view;
  std::optional<std::string> action;
};

/// A toolbar: items made by its delegate for the identifiers it lists.
class NSToolbar {
 public:
  explicit NSToolbar(std::string toolbarIdentifier) : identifier(std::move(toolbarIdentifier)) {}
  const std::string identifier;
  bool autosavesConfiguration = true;
  bool allowsUserCustomization = true;
  QvWindowController* delegate = nullptr;
  std::vector<NSToolbarItem> items;
  /// None when the toolbar does not report which items are visible.
  std::optional<std::vector<NSToolbarItem>> visibleItems;

  /// The first item with that identifier (of `items`, or of `visibleItems` for the second form).
  std::optional<NSToolbarItem> operator[](const std::string& itemIdentifier) const;
  std::optional<NSToolbarItem> visible(const std::string& itemIdentifier) const;
};

namespace Fennix {

/// The toolkit's window.
class WindowHandle {
 public:
  virtual ~WindowHandle() = default;
  virtual NSWindowStyleMask styleMask() const = 0;
  virtual void setTitle(const std::string& title) = 0;
  virtual void setTitleHidden(bool hidden) = 0;
  virtual void setMinSize(CGSize size) = 0;
  virtual void setContentSize(CGSize size) = 0;
  virtual void setContentViewController(const NSViewController::Ptr& controller) = 0;
  /// Shows the toolbar's items (asking its delegate for them).
  virtual void setToolbar(const std::shared_ptr<NSToolbar>& toolbar) = 0;
  /// The size is saved and restored under the name.
  virtual void setFrameAutosaveName(const std::string& name) = 0;
  virtual void center() = 0;
  virtual void setController(QvWindowController* controller) = 0;
};

/// Makes a window of a class for a content rectangle and style.
using WindowClass = std::function<std::shared_ptr<WindowHandle>(CGRect contentRect, NSWindowStyleMask style)>;

class WindowKit {
 public:
  virtual ~WindowKit() = default;
  /// The plain window class.
  virtual std::shared_ptr<WindowHandle> makeWindow(CGRect contentRect, NSWindowStyleMask style) = 0;
  /// A toolbar button: a title, or an image by name when given, an action and a key (with the
  /// command modifier).
  virtual LayoutItem makeToolbarButton(const std::string& title, const std::optional<std::string>& imageName,
                                       std::function<void()> action, const std::optional<std::string>& keyEquivalent,
                                       CGSize size) = 0;
};

void setWindowKit(std::shared_ptr<WindowKit> kit);
WindowKit& windowKit();

/// The first controller passing the test: the key window's, then the main window's, then those of
/// the windows from front to back.
QvWindowController* firstWindowController(QvWindowController* key, QvWindowController* main,
                                          const std::vector<QvWindowController*>& frontToBack,
                                          const std::function<bool(QvWindowController&)>& test);

}  // namespace Fennix

/// A view-controller class as a value: its unqualified name and its parameterless initialiser.
struct QvViewControllerClass {
  std::string name;
  Fennix::ControllerFactory make;
  template <typename T>
  static QvViewControllerClass of() {
    return {Fennix::typeName<T>(), [] { return std::shared_ptr<NSViewController>(NSViewController::make<T>()); }};
  }
};

class QvWindowController : public std::enable_shared_from_this<QvWindowController> {
 public:
  /// What becomes the content: a controller, a controller class, a class name, or another value.
  using Component = std::variant<NSViewController::Ptr, QvViewControllerClass, std::string, Fennix::AnyValue>;

  template <typename T = QvWindowController, typename... Args>
  static std::shared_ptr<T> make(Args&&... args) {
    std::shared_ptr<T> controller(new T(std::forward<Args>(args)...));
    controller->onSetup();
    return controller;
  }
  /// A controller of an existing window: the defaults are set and the window is the controller's
  /// from now on (it is not built, and `windowDidLoad()` does not run); `onSetup()` is not called.
  /// Without a window the controller builds one on first demand.
  template <typename T = QvWindowController, typename... Args>
  static std::shared_ptr<T> withWindow(std::shared_ptr<Fennix::WindowHandle> window, Args&&... args) {
    std::shared_ptr<T> controller(new T(std::forward<Args>(args)...));
    controller->adoptWindow(std::move(window));
    return controller;
  }
  virtual ~QvWindowController();

  std::optional<Component> mainComponent;
  /// The class name of the component when it names one, the text itself for text.
  std::optional<std::string> mainComponentName() const;
  void setMainComponentName(std::optional<std::string> name);
  CGSize defaultWindowContentSize{100, 620};
  CGSize defaultMinimumSize{720, 340};
  bool hasUnifiedTitleAndToolbar = false;
  std::optional<std::string> _title;
  std::optional<std::string> qvFrameAutosaveName;
  std::optional<std::string> qvToolbarID;
  /// None: the window kit's plain window.
  Fennix::WindowClass qvWindowClass;
  static constexpr CGSize toolbarButtonSize{39, 24};

  /// `_title`, else the controller's class name (stored into `_title`).
  std::string title();
  void setTitle(std::string title) { _title = std::move(title); }

  // Hooks.
  virtual void onSetup() {}
  virtual void onWindowDidLoad() {}
  virtual void onDidBecomeKey() {}
  virtual void onDidResignKey() {}

  virtual CGRect defaultWindowContentRect() const;
  virtual NSWindowStyleMask defaultWindowStyleMask() const;
  virtual NSViewController::Ptr createContentViewController();
  virtual void loadToolbar(const std::string& identifier);
  virtual std::vector<std::string> toolbarDefaultItemIdentifiers(const NSToolbar& toolbar);
  virtual std::vector<std::string> toolbarAllowedItemIdentifiers(const NSToolbar& toolbar);
  virtual std::optional<NSToolbarItem> toolbarItem(NSToolbar& toolbar, const std::string& itemIdentifier,
                                                   bool willBeInsertedIntoToolbar);
  virtual std::vector<std::string> toolbarSelectableItemIdentifiers(const NSToolbar& toolbar);
  virtual Fennix::LayoutItem makeToolbarButton(const std::string& title, const std::optional<std::string>& imageName,
                                               std::function<void()> action,
                                               const std::optional<std::string>& keyEquivalent);
  virtual CGSize windowWillResize(CGSize proposed) { return proposed; }
  virtual void windowDidBecomeKey() { onDidBecomeKey(); }
  virtual void windowDidResignKey() { onDidResignKey(); }

  /// The window, built on first access.
  std::shared_ptr<Fennix::WindowHandle> window();
  bool isWindowLoaded() const { return window_ != nullptr; }
  /// The content controller, made on first read.
  NSViewController::Ptr contentViewController();
  void setContentViewController(NSViewController::Ptr controller);
  const std::shared_ptr<NSToolbar>& toolbar() const { return tb_; }
  /// The view with that identifier inside the content controller's view.
  std::optional<Fennix::LayoutItem> qvView(const std::string& withID);

  /// The document the controller shows; the document owns its controllers, not the other way.
  std::shared_ptr<NSDocument> document() const { return document_.lock(); }
  void setDocument(const std::shared_ptr<NSDocument>& document) { document_ = document; }

  std::string className() const;
  std::string description() const;

 protected:
  QvWindowController() = default;
  virtual void loadWindow();
  virtual void windowDidLoad();

 private:
  void adoptWindow(std::shared_ptr<Fennix::WindowHandle> window);

  std::shared_ptr<Fennix::WindowHandle> window_;
  bool loadingWindow_ = false;
  NSViewController::Ptr contentViewController_;
  std::shared_ptr<NSToolbar> tb_;
  std::weak_ptr<NSDocument> document_;
};
