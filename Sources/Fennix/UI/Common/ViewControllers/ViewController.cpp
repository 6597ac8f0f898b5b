#include "Fennix/UI/Common/ViewControllers/ViewController.h"

#include <cstdio>
#include <mutex>

#include "Fennix/Foundation/System/Bundle.h"
#include "Fennix/UI/Common/Views/ViewKit.h"

namespace Fennix {
namespace {

std::shared_ptr<ControllerViewKit>& installedKit() {
  static std::shared_ptr<ControllerViewKit> kit;
  return kit;
}

struct Registry {
  std::mutex lock;
  std::map<std::string, ControllerFactory> classes;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

/// The length of UTF-8 text in UTF-16 code units (a byte that is no valid lead counts as one unit).
std::size_t utf16Length(const std::string& text) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size();) {
    auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 1;
    if (i + length > text.size()) length = 1;
    units += length == 4 ? 2 : 1;
    i += length;
  }
  return units;
}

LayoutHost& host() {
  if (LayoutHost* installed = layoutHost()) return *installed;
  fatalError("view controllers need a layout host");
}

}  // namespace

void setControllerViewKit(std::shared_ptr<ControllerViewKit> kit) { installedKit() = std::move(kit); }

ControllerViewKit& controllerViewKit() {
  if (auto& kit = installedKit()) return *kit;
  fatalError("no controller view kit installed");
}

bool hasControllerViewKit() { return installedKit() != nullptr; }

void ControllerClassRegistry::registerName(const std::string& name, ControllerFactory factory) {
  std::lock_guard guard(registry().lock);
  registry().classes[name] = std::move(factory);
}

void ControllerClassRegistry::unregisterName(const std::string& name) {
  std::lock_guard guard(registry().lock);
  registry().classes.erase(name);
}

std::optional<ControllerFactory> ControllerClassRegistry::lookup(const std::string& name) {
  std::lock_guard guard(registry().lock);
  auto found = registry().classes.find(name);
  if (found == registry().classes.end()) return std::nullopt;
  return found->second;
}

std::string ControllerClassRegistry::mangledName(const std::string& module, const std::string& name) {
  return "_TtC" + std::to_string(utf16Length(module)) + module + std::to_string(utf16Length(name)) + name;
}

}  // namespace Fennix

using Fennix::AnyValue;
using Fennix::LayoutItem;

NSViewController::~NSViewController() {
  for (const auto& child : children_) child->parent_ = nullptr;
  if (view_ && Fennix::hasControllerViewKit()) Fennix::controllerViewKit().releaseView(*view_);
}

std::optional<LayoutItem> NSViewController::view() {
  if (!view_ && !loadingView_) {
    // A view asked for while it is being made is not there yet; loading again would never end.
    loadingView_ = true;
    struct Done {
      bool& flag;
      ~Done() { flag = false; }
    } done{loadingView_};
    loadView();
    if (view_) viewDidLoad();
  }
  return view_;
}

void NSViewController::setView(std::optional<LayoutItem> view) {
  if (view_ == view) return;
  auto& kit = Fennix::controllerViewKit();
  if (view) {
    kit.retainView(*view);
    kit.attachController(*view, weak_from_this());
  }
  if (view_) kit.releaseView(*view_);
  view_ = view;
}

void NSViewController::uxAddChild(const Ptr& child) {
  if (!child || child.get() == this) return;
  child->uxRemoveFromParent();
  child->parent_ = this;
  children_.push_back(child);
}

void NSViewController::uxRemoveFromParent() {
  NSViewController* parent = parent_;
  if (!parent) return;
  parent_ = nullptr;
  Ptr keep = shared_from_this();
  std::erase_if(parent->children_, [this](const Ptr& candidate) { return candidate.get() == this; });
}

std::string NSViewController::className() const { return Fennix::typeName(typeid(*this)); }

std::string NSViewController::description() const { return "<" + Fennix::descriptionPrefix(className(), this) + ">"; }

NSViewController::Ptr NSViewController::qvNew(const std::string& className) {
  if (auto factory = Fennix::ControllerClassRegistry::lookup(className); factory && *factory) return (*factory)();
  if (auto module = NSBundle::main().infoString("CFBundleName")) {
    auto mangled = Fennix::ControllerClassRegistry::mangledName(*module, className);
    if (auto factory = Fennix::ControllerClassRegistry::lookup(mangled); factory && *factory) return (*factory)();
  }
  std::printf("WARN: did not find VC class: %s\n", className.c_str());
  std::fflush(stdout);
  return nullptr;
}

NSViewController::Ptr NSViewController::resolveChild(const ChildSpec& spec) {
  Ptr child;
  if (auto* controller = std::get_if<Ptr>(&spec)) {
    child = *controller;
  } else if (auto* name = std::get_if<std::string>(&spec)) {
    child = qvNew(*name);
  } else if (auto* factory = std::get_if<Fennix::ControllerFactory>(&spec)) {
    if (*factory) child = (*factory)();
  } else if (auto* value = std::get_if<AnyValue>(&spec)) {
    if (value->unwrapped().kind() == Fennix::AnyKind::string) child = qvNew(value->unwrapped().text());
  }
  return child;
}

NSViewController::Ptr NSViewController::addChildViewControllerAndSubview(const ChildSpec& spec,
                                                                         const ChildOptions& options,
                                                                         const std::vector<QvConstraintArg>& descriptions) {
  Ptr child = resolveChild(spec);
  if (!child) return nullptr;
  auto ownView = view();
  uxAddChild(child);
  auto childView = child->view();
  if (!ownView || !childView) return child;

  auto& kit = Fennix::controllerViewKit();
  if (options.scrolled && !kit.isScrollView(*childView)) {
    LayoutItem scroll = kit.makeScrollView(*childView);
    auto& layout = Fennix::host();
    layout.prepareForConstraints(scroll);
    auto frame = layout.frame(scroll);
    frame.width = 259;
    layout.setFrame(scroll, frame);
    layout.addSubview(*ownView, scroll);
    NSLayoutConstraint::activate(
        {constrainViews(*childView, NSLayoutAttribute::width, NSLayoutRelation::equal, scroll, NSLayoutAttribute::width)});
    return child;
  }
  QvAddOptions add;
  add.hug = options.hug;
  add.hugh = options.hugh;
  add.hugv = options.hugv;
  add.cr = options.cr;
  add.crh = options.crh;
  add.crv = options.crv;
  add.aspect = options.aspect;
  qvAdd(*ownView, *childView, add, descriptions);
  return child;
}

void NSViewController::removeAllChildViewControllers() {
  auto children = children_;
  for (const auto& child : children) {
    if (auto childView = child->view()) Fennix::host().removeFromSuperview(*childView);
    child->uxRemoveFromParent();
  }
}

NSViewController& NSViewController::qvRootViewController() {
  NSViewController* vc = this;
  while (vc->parent_) vc = vc->parent_;
  return *vc;
}

NSViewController::Ptr NSViewController::qvSubVC(QvViewSearchOptions options,
                                                const std::function<bool(const NSViewController&)>& passingTest) const {
  for (const auto& child : children_)
    if (passingTest(*child)) return child;
  if (!options.contains(QvViewSearchOptions::deep())) return nullptr;
  for (const auto& child : children_)
    if (auto found = child->qvSubVC(options, passingTest)) return found;
  return nullptr;
}

NSViewController::Ptr NSViewController::qvFirstSubVC(const std::string& withID) const {
  return qvSubVC(QvViewSearchOptions::deep(), [&](const NSViewController& vc) { return vc.identifier() == withID; });
}

NSLayoutConstraintList NSViewController::qvVFL(const QvConstraintArg& description,
                                               const std::optional<QvViewsMap>& views) const {
  return QvLayout::qv(description, views, std::nullopt);
}

NSLayoutConstraintList NSViewController::qvVFLa(const std::vector<QvConstraintArg>& descriptions,
                                                const std::optional<QvViewsMap>& views) const {
  NSLayoutConstraintList all;
  for (const auto& description : descriptions) {
    auto some = qvVFL(description, views);
    all.insert(all.end(), some.begin(), some.end());
  }
  return all;
}

// QvViewControllerBase

std::optional<LayoutItem> QvViewControllerBase::makeView() { return Fennix::controllerViewKit().makeGenericView(); }

void QvViewControllerBase::configureView(LayoutItem view) {
  auto own = identifier();
  if (own && !Fennix::host().identifier(view)) Fennix::host().setIdentifier(view, *own);
}

void QvViewControllerBase::loadView() {
  auto made = makeView();
  if (!made) return;
  setView(*made);
  configureView(*made);
}

void QvViewControllerBase::setIdentifier(std::optional<std::string> identifier) {
  NSViewController::setIdentifier(identifier);
  auto loaded = view();
  if (loaded && identifier && !Fennix::host().identifier(*loaded)) Fennix::host().setIdentifier(*loaded, *identifier);
}

void QvViewControllerBase::setRepresentedObject(std::optional<AnyValue> object) {
  auto old = NSViewController::representedObject();
  if (eq(object, representedObject())) return;
  NSViewController::setRepresentedObject(object);
  onObjectChange(old, object);
}

void QvViewControllerBase::viewWillAppear() {
  NSViewController::viewWillAppear();
  onWillAppear();
}
void QvViewControllerBase::viewDidAppear() {
  NSViewController::viewDidAppear();
  onDidAppear();
}
void QvViewControllerBase::viewWillDisappear() {
  NSViewController::viewWillDisappear();
  onWillDisappear();
}
void QvViewControllerBase::viewDidDisappear() {
  NSViewController::viewDidDisappear();
  onDidDisappear();
}
