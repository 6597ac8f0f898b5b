// A layout host over plain nodes, for testing the view kit's layout and lookup without a display.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>

#include "Fennix/UI/Common/LayoutConstraint.h"

namespace FennixTest {

class FakeLayoutHost : public Fennix::LayoutHost {
 public:
  struct Node {
    std::string name;
    Node* superview = nullptr;
    std::vector<Node*> subviews;
    std::optional<std::string> identifier;
    bool preparedForConstraints = false;
    float hug[2] = {250, 250};
    float resistance[2] = {750, 750};
    Frame frame;
    int invalidations = 0;
  };

  /// A new view, optionally added to `superview`.
  Fennix::LayoutItem view(const std::string& name, Fennix::LayoutItem superview = {}) {
    nodes_.emplace_back();
    nodes_.back().name = name;
    Fennix::LayoutItem item{&nodes_.back()};
    if (superview) addSubview(superview, item);
    return item;
  }
  static Node& node(Fennix::LayoutItem item) { return *static_cast<Node*>(const_cast<void*>(item.handle)); }

  void activate(const NSLayoutConstraintList& constraints) override {
    ++activateCalls;
    for (const auto& constraint : constraints) {
      constraint->markActive(true);
      active.push_back(constraint);
    }
  }
  void deactivate(const NSLayoutConstraintList& constraints) override {
    ++deactivateCalls;
    for (const auto& constraint : constraints) {
      constraint->markActive(false);
      std::erase(active, constraint);
    }
  }
  void constraintChanged(NSLayoutConstraint&) override { ++changes; }

  std::optional<Fennix::LayoutItem> superviewOf(Fennix::LayoutItem view) const override {
    if (Node* superview = node(view).superview) return Fennix::LayoutItem{superview};
    return std::nullopt;
  }
  std::vector<Fennix::LayoutItem> subviewsOf(Fennix::LayoutItem view) const override {
    std::vector<Fennix::LayoutItem> items;
    for (Node* subview : node(view).subviews) items.push_back(Fennix::LayoutItem{subview});
    return items;
  }
  void addSubview(Fennix::LayoutItem container, Fennix::LayoutItem view) override {
    removeFromSuperview(view);
    node(container).subviews.push_back(&node(view));
    node(view).superview = &node(container);
  }
  void removeFromSuperview(Fennix::LayoutItem view) override {
    Node& child = node(view);
    if (!child.superview) return;
    std::erase(child.superview->subviews, &child);
    child.superview = nullptr;
  }
  void invalidateIntrinsicContentSize(Fennix::LayoutItem view) override { ++node(view).invalidations; }
  std::string contentViewFormat(Fennix::LayoutItem) const override { return contentFormat; }
  std::optional<std::string> identifier(Fennix::LayoutItem view) const override { return node(view).identifier; }
  void setIdentifier(Fennix::LayoutItem view, const std::string& identifier) override {
    node(view).identifier = identifier;
  }
  void prepareForConstraints(Fennix::LayoutItem view) override { node(view).preparedForConstraints = true; }
  NSLayoutPriority huggingPriority(Fennix::LayoutItem view, NSLayoutConstraintOrientation o) const override {
    return node(view).hug[static_cast<int>(o)];
  }
  void setHuggingPriority(Fennix::LayoutItem view, NSLayoutConstraintOrientation o, NSLayoutPriority p) override {
    node(view).hug[static_cast<int>(o)] = p;
  }
  NSLayoutPriority compressionResistancePriority(Fennix::LayoutItem view,
                                                 NSLayoutConstraintOrientation o) const override {
    return node(view).resistance[static_cast<int>(o)];
  }
  void setCompressionResistancePriority(Fennix::LayoutItem view, NSLayoutConstraintOrientation o,
                                        NSLayoutPriority p) override {
    node(view).resistance[static_cast<int>(o)] = p;
  }
  Frame frame(Fennix::LayoutItem view) const override { return node(view).frame; }
  void setFrame(Fennix::LayoutItem view, const Frame& frame) override { node(view).frame = frame; }
  std::string describe(Fennix::LayoutItem item) const override { return node(item).name; }

  int activateCalls = 0;
  int deactivateCalls = 0;
  int changes = 0;
  NSLayoutConstraintList active;
  std::string contentFormat = "|[self]|";

 private:
  std::deque<Node> nodes_;
};

/// Installs a fresh fake host for the lifetime of the fixture.
struct WithFakeLayoutHost {
  std::shared_ptr<FakeLayoutHost> host = std::make_shared<FakeLayoutHost>();
  WithFakeLayoutHost() { Fennix::setLayoutHost(host); }
  ~WithFakeLayoutHost() { Fennix::setLayoutHost(nullptr); }
};

/// "self.leading == super.leading + 8" of a constraint, by the fake host's names.
inline std::string text(const NSLayoutConstraintPtr& constraint) { return constraint->description(); }

inline std::vector<std::string> texts(const NSLayoutConstraintList& constraints) {
  std::vector<std::string> result;
  for (const auto& constraint : constraints) result.push_back(constraint->description());
  return result;
}

}  // namespace FennixTest
