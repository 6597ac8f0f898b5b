// A controller view kit over the fake layout host: views are the host's nodes, labels keep their
// text here, and the appearance of a view is reported by hand.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "FakeLayoutHost.h"
#include "Fennix/UI/Common/ViewControllers/ViewController.h"

namespace FennixTest {

class FakeControllerViewKit : public Fennix::ControllerViewKit {
 public:
  explicit FakeControllerViewKit(FakeLayoutHost& host) : host_(host) {}

  Fennix::LayoutItem makeGenericView() override { return host_.view("generic"); }
  Fennix::LayoutItem makeScrollView(Fennix::LayoutItem document) override {
    auto scroll = host_.view("scroll");
    host_.setFrame(scroll, {0, 0, 128, 128});
    host_.addSubview(scroll, document);
    return scroll;
  }
  bool isScrollView(Fennix::LayoutItem view) const override { return FakeLayoutHost::node(view).name == "scroll"; }
  Fennix::LayoutItem makeLabel(const std::string& text) override {
    auto label = host_.view("label");
    labels[label.handle] = text;
    return label;
  }
  bool isTextField(Fennix::LayoutItem view) const override { return labels.count(view.handle) != 0; }
  std::string text(Fennix::LayoutItem label) const override { return labels.at(label.handle); }
  void setText(Fennix::LayoutItem label, const std::string& text) override { labels[label.handle] = text; }
  void wrapAtCurrentWidth(Fennix::LayoutItem) override { ++wraps; }
  Fennix::LayoutItem makeStackView(const std::vector<Fennix::LayoutItem>& views, NSUserInterfaceLayoutOrientation axis,
                                   NSStackViewDistribution distribution, std::optional<NSLayoutAttribute> alignment,
                                   std::optional<NSLayoutPriority> hugging, double spacing) override {
    auto stack = host_.view(axis == NSUserInterfaceLayoutOrientation::vertical ? "vstack" : "hstack");
    for (auto view : views) host_.addSubview(stack, view);
    lastStack = {distribution, alignment, hugging, spacing};
    return stack;
  }
  void retainView(Fennix::LayoutItem view) override { ++retained[view.handle]; }
  void releaseView(Fennix::LayoutItem view) override { --retained[view.handle]; }
  void attachController(Fennix::LayoutItem view, std::weak_ptr<NSViewController> controller) override {
    controllers[view.handle] = std::move(controller);
  }

  /// Shows or hides a view as the toolkit would: will, then did.
  void show(Fennix::LayoutItem view, bool shown) {
    if (auto controller = controllers[view.handle].lock()) {
      if (shown) {
        controller->viewWillAppear();
        controller->viewDidAppear();
      } else {
        controller->viewWillDisappear();
        controller->viewDidDisappear();
      }
    }
  }

  struct StackArguments {
    NSStackViewDistribution distribution;
    std::optional<NSLayoutAttribute> alignment;
    std::optional<NSLayoutPriority> hugging;
    double spacing;
  };
  std::optional<StackArguments> lastStack;
  std::map<const void*, std::string> labels;
  std::map<const void*, int> retained;
  std::map<const void*, std::weak_ptr<NSViewController>> controllers;
  int wraps = 0;

 private:
  FakeLayoutHost& host_;
};

/// A fake layout host and controller view kit for the lifetime of the fixture.
struct WithFakeControllerKit : WithFakeLayoutHost {
  std::shared_ptr<FakeControllerViewKit> kit = std::make_shared<FakeControllerViewKit>(*host);
  WithFakeControllerKit() { Fennix::setControllerViewKit(kit); }
  ~WithFakeControllerKit() { Fennix::setControllerViewKit(nullptr); }
};

inline std::string nameOf(Fennix::LayoutItem item) { return FakeLayoutHost::node(item).name; }

}  // namespace FennixTest
