// A controller that shows one page (a child controller) at a time and slides to the next or the
// previous one. Pages come from a data source, asked for the page after or before the current one,
// or from a fixed list. The slide itself is run by the page transition runner: the toolkit's by
// default once its controller kits are installed (tests may install a fake that completes when
// they say so).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Fennix/Foundation/BaseTypes/AnyValue.h"
#include "Fennix/UI/Common/ViewControllers/ViewController.h"

enum class NSViewControllerTransitionOptions : unsigned {
  none = 0,
  slideForward = 320,
  slideBackward = 384,
};

namespace Fennix {

/// Places pages in the page controller's view and slides between them.
class PageTransitionRunner {
 public:
  virtual ~PageTransitionRunner() = default;
  /// The page controller's own view.
  virtual LayoutItem makeContainer();
  /// Shows `page` in `container` at once, filling it.
  virtual void show(LayoutItem container, LayoutItem page);
  /// Takes `page` out of the container it is in.
  virtual void remove(LayoutItem page);
  /// Replaces `from` by `to` in `container` with the slide of `options`, then calls `completion`
  /// (later, when the slide has run). The base replaces at once and completes at once.
  virtual void transition(LayoutItem container, std::optional<LayoutItem> from, LayoutItem to,
                          NSViewControllerTransitionOptions options, std::function<void()> completion);
};

/// The installed runner (the default runner when none is installed).
PageTransitionRunner& pageTransitionRunner();
/// Installs a runner; none puts the default one back.
void setPageTransitionRunner(std::shared_ptr<PageTransitionRunner> runner);
/// The runner used when none is installed: the toolkit's once its kits are installed, else (and
/// with none) the base runner. Takes effect at once unless another runner is installed.
void setDefaultPageTransitionRunner(std::shared_ptr<PageTransitionRunner> runner);

}  // namespace Fennix

class QvPageViewController;

class QvPageViewControllerDelegate {
 public:
  virtual ~QvPageViewControllerDelegate() = default;
  virtual void pageViewControllerWillTransitionTo(QvPageViewController& pageViewController,
                                                  const std::vector<NSViewController::Ptr>& pendingViewControllers) {
    (void)pageViewController;
    (void)pendingViewControllers;
  }
  virtual void pageViewControllerDidFinishAnimating(QvPageViewController& pageViewController, bool finished,
                                                    const std::vector<NSViewController::Ptr>& previousViewControllers,
                                                    bool transitionCompleted) {
    (void)pageViewController;
    (void)finished;
    (void)previousViewControllers;
    (void)transitionCompleted;
  }
};

class QvPageViewControllerDataSource {
 public:
  virtual ~QvPageViewControllerDataSource() = default;
  virtual NSViewController::Ptr viewControllerBefore(QvPageViewController& pageViewController,
                                                     const NSViewController::Ptr& viewController) = 0;
  virtual NSViewController::Ptr viewControllerAfter(QvPageViewController& pageViewController,
                                                    const NSViewController::Ptr& viewController) = 0;
  /// Never asked by the page controller.
  virtual long presentationCount(QvPageViewController&) { return 0; }
  virtual long presentationIndex(QvPageViewController&) { return 0; }
};

class QvPageViewController : public QvViewControllerBase {
 public:
  enum class TransitionStyle { scroll };
  enum class NavigationOrientation { horizontal, vertical };
  enum class NavigationDirection { forward, reverse };
  /// The key type of the options (no options are known).
  enum class OptionsKey {};
  using ViewControllers = std::vector<NSViewController::Ptr>;

  QvPageViewController(TransitionStyle transitionStyle, NavigationOrientation navigationOrientation,
                       const std::optional<std::map<OptionsKey, Fennix::AnyValue>>& options = std::nullopt);

  std::weak_ptr<QvPageViewControllerDelegate> delegate;
  std::weak_ptr<QvPageViewControllerDataSource> dataSource;

  const std::optional<ViewControllers>& viewControllers() const { return viewControllers_; }
  virtual NavigationOrientation navigationOrientation() const { return navigationOrientation_; }
  const TransitionStyle transitionStyle = TransitionStyle::scroll;
  const bool isDoubleSided = false;

  /// The page shown (or being slid to).
  const NSViewController::Ptr& currentViewController() const { return currentVC_; }
  bool isSwitching() const { return isSwitching_; }

  /// Shows the first page of `viewControllers` at once (no slide, whatever the direction and
  /// animation), then reports false to `completion`.
  virtual void setViewControllers(const std::optional<ViewControllers>& viewControllers, NavigationDirection direction,
                                  bool animated, const std::function<void(bool)>& completion);
  /// Replaces the pages: the old ones leave (views and children), the first new one is shown.
  virtual void _setViewControllers(const std::optional<ViewControllers>& viewControllers);

  // Actions; the sender is ignored.
  virtual void moveForward(const std::optional<Fennix::AnyValue>& sender = std::nullopt);
  virtual void moveBackward(const std::optional<Fennix::AnyValue>& sender = std::nullopt);
  /// "moveForward" and "moveBackward", for controls inside the pages.
  std::vector<ResponderAction> responderActions() const override;

  std::optional<Fennix::LayoutItem> makeView() override;

 private:
  void move(NavigationDirection direction);
  /// False when a slide is still running (the move is dropped).
  bool switchTo(const NSViewController::Ptr& from, const NSViewController::Ptr& to, NavigationDirection direction);

  std::optional<ViewControllers> viewControllers_;
  NavigationOrientation navigationOrientation_;
  bool isSwitching_ = false;
  NSViewController::Ptr currentVC_;
};
