// Page controllers on the toolkit: the page controller's view is a stack whose visible page slides
// left (forward) or right (backward); a slide completes when the stack stops running its
// transition, and the page left then leaves the stack.
#pragma once

#include "Fennix/UI/Common/ViewControllers/PageViewController.h"

namespace Fennix {

class GtkStackPageTransitionRunner : public PageTransitionRunner {
 public:
  /// How long a slide runs, in milliseconds.
  unsigned durationMilliseconds = 250;

  LayoutItem makeContainer() override;
  void show(LayoutItem container, LayoutItem page) override;
  void remove(LayoutItem page) override;
  void transition(LayoutItem container, std::optional<LayoutItem> from, LayoutItem to,
                  NSViewControllerTransitionOptions options, std::function<void()> completion) override;
};

/// Installs the stack runner for every page controller.
void installPageTransitionsGTK();

}  // namespace Fennix
