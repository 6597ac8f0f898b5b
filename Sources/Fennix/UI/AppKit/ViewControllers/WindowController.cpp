#include "Fennix/UI/AppKit/ViewControllers/WindowController.h"

#include <cstdio>

#include "Fennix/UI/Common/Views/ViewKit.h"
#include "Fennix/console/Console.h"

namespace Fennix {
namespace {

std::shared_ptr<WindowKit>& installedKit() {
  static std::shared_ptr<WindowKit> kit;
  return kit;
}

}  // namespace

void setWindowKit(std::shared_ptr<WindowKit> kit) { installedKit() = std::move(kit); }

WindowKit& windowKit() {
  if (auto& kit = installedKit()) return *kit;
  fatalError("no window kit installed");
}

QvWindowController* firstWindowController(QvWindowController* key, QvWindowController* main,
                                          const std::vector<QvWindowController*>& frontToBack,
                                          const std::function<bool(QvWindowController&)>& test) {
  if (key && test(*key)) return key;
  if (main && test(*main)) return main;
  for (QvWindowController* controller : frontToBack)
    if (controller && test(*controller)) return controller;
  return nullptr;
}

}  // namespace Fennix

std::optional<NSToolbarItem> NSToolbar::operator[](const std::string& itemIdentifier) const {
  for (const auto& item : items)
    if (item.itemIdentifier == itemIdentifier) return item;
  return std::nullopt;
}

std::optional<NSToolbarItem> NSToolbar::visible(const std::string& itemIdentifier) const {
  if (!visibleItems) return std::nullopt;
  for (const auto& item : *visibleItems)
    if (item.itemIdentifier == itemIdentifier) return item;
  return std::nullopt;
}

QvWindowController::~QvWindowController() {
  if (window_) window_->setController(nullptr);
}

std::optional<std::string> QvWindowController::mainComponentName() const {
  if (!mainComponent) return std::nullopt;
  return std::visit(
      [](const auto& component) -> std::optional<std::string> {
        using T = std::decay_t<decltype(component)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return component;
        } else if constexpr (std::is_same_v<T, NSViewController::Ptr>) {
          return component ? component->className() : std::string("NSViewController");
        } else if constexpr (std::is_same_v<T, QvViewControllerClass>) {
          return component.name;
        } else {
          if (component.unwrapped().kind() == Fennix::AnyKind::string) return component.unwrapped().text();
          return component.unwrapped().typeName();
        }
      },
      *mainComponent);
}

void QvWindowController::setMainComponentName(std::optional<std::string> name) {
  if (name)
    mainComponent = *name;
  else
    mainComponent.reset();
}

std::string QvWindowController::title() {
  if (!_title) _title = className();
  return *_title;
}

std::string QvWindowController::className() const { return Fennix::typeName(typeid(*this)); }

std::string QvWindowController::description() const {
  return "<" + Fennix::descriptionPrefix(className(), this) + ">";
}

CGRect QvWindowController::defaultWindowContentRect() const {
  return CGRect(CGPoint{0, 200}, defaultWindowContentSize);
}

NSWindowStyleMask QvWindowController::defaultWindowStyleMask() const {
  NSWindowStyleMask mask{NSWindowStyleMask::titled | NSWindowStyleMask::closable | NSWindowStyleMask::miniaturizable |
                         NSWindowStyleMask::resizable};
  if (hasUnifiedTitleAndToolbar) mask.rawValue |= NSWindowStyleMask::unifiedTitleAndToolbar;
  return mask;
}

NSViewController::Ptr QvWindowController::createContentViewController() {
  if (!mainComponent) return nullptr;
  if (auto* controller = std::get_if<NSViewController::Ptr>(&*mainComponent)) return *controller;
  if (auto* kind = std::get_if<QvViewControllerClass>(&*mainComponent)) return kind->make ? kind->make() : nullptr;
  if (auto* name = std::get_if<std::string>(&*mainComponent)) return NSViewController::qvNew(*name);
  const auto& value = std::get<Fennix::AnyValue>(*mainComponent);
  if (value.unwrapped().kind() == Fennix::AnyKind::string) return NSViewController::qvNew(value.unwrapped().text());
  console::error("cannot created content-view-controller of window:", description(), "unknown type:", value);
  return nullptr;
}

NSViewController::Ptr QvWindowController::contentViewController() {
  if (!contentViewController_) contentViewController_ = createContentViewController();
  return contentViewController_;
}

void QvWindowController::setContentViewController(NSViewController::Ptr controller) {
  contentViewController_ = std::move(controller);
  if (window_) window_->setContentViewController(contentViewController_);
}

void QvWindowController::loadToolbar(const std::string& identifier) {
  auto toolbar = std::make_shared<NSToolbar>(identifier);
  toolbar->autosavesConfiguration = false;
  toolbar->allowsUserCustomization = false;
  toolbar->delegate = this;
  tb_ = toolbar;
  if (window_) window_->setToolbar(tb_);
}

std::vector<std::string> QvWindowController::toolbarDefaultItemIdentifiers(const NSToolbar&) { return {}; }

std::vector<std::string> QvWindowController::toolbarAllowedItemIdentifiers(const NSToolbar& toolbar) {
  return toolbarDefaultItemIdentifiers(toolbar);
}

std::optional<NSToolbarItem> QvWindowController::toolbarItem(NSToolbar&, const std::string&, bool) {
  std::printf(
      "Subclass should override toolbar(_:itemForItemIdentifier:willBeInsertedIntoToolbar:) if it has a toolbar!\n");
  std::fflush(stdout);
  return std::nullopt;
}

std::vector<std::string> QvWindowController::toolbarSelectableItemIdentifiers(const NSToolbar&) { return {}; }

Fennix::LayoutItem QvWindowController::makeToolbarButton(const std::string& title,
                                                         const std::optional<std::string>& imageName,
                                                         std::function<void()> action,
                                                         const std::optional<std::string>& keyEquivalent) {
  return Fennix::windowKit().makeToolbarButton(title, imageName, std::move(action), keyEquivalent, toolbarButtonSize);
}

void QvWindowController::adoptWindow(std::shared_ptr<Fennix::WindowHandle> window) {
  window_ = std::move(window);
  if (window_) window_->setController(this);
}

std::shared_ptr<Fennix::WindowHandle> QvWindowController::window() {
  if (!window_ && !loadingWindow_) {
    loadingWindow_ = true;
    loadWindow();
    loadingWindow_ = false;
    windowDidLoad();
  }
  return window_;
}

void QvWindowController::loadWindow() {
  // The document hears of the window before it exists and once it is built; the calls are made on
  // the document as it is at each moment.
  if (auto document = this->document()) document->windowControllerWillLoadNib(*this);
  auto style = defaultWindowStyleMask();
  auto rect = defaultWindowContentRect();
  auto window = qvWindowClass ? qvWindowClass(rect, style) : Fennix::windowKit().makeWindow(rect, style);
  if (!window) return;
  window->setTitle(title());
  window->setMinSize(defaultMinimumSize);
  window->setController(this);
  window_ = window;
  if (qvToolbarID) loadToolbar(*qvToolbarID);
  if (window->styleMask().contains(NSWindowStyleMask::unifiedTitleAndToolbar)) window->setTitleHidden(true);
  if (auto content = contentViewController()) window->setContentViewController(content);
  window->setContentSize(defaultWindowContentSize);
  window->center();
  if (auto document = this->document()) document->windowControllerDidLoadNib(*this);
}

void QvWindowController::windowDidLoad() {
  if (!window_) {
    console::error("missing window in windowDidLoad:", description());
    return;
  }
  if (qvFrameAutosaveName && !qvFrameAutosaveName->empty()) window_->setFrameAutosaveName(*qvFrameAutosaveName);
  onWindowDidLoad();
}

std::optional<Fennix::LayoutItem> QvWindowController::qvView(const std::string& withID) {
  if (!window_ || !contentViewController_) return std::nullopt;
  auto content = contentViewController_->viewIfLoaded();
  if (!content) return std::nullopt;
  if (Fennix::layoutHost() && Fennix::layoutHost()->identifier(*content) == withID) return content;
  return ::qvView(*content, withID);
}
