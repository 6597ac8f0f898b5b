#include "Fennix/UI/Common/ViewLookup.h"

#include "Fennix/UI/Common/AutoLayout.h"
#include "Fennix/UI/Common/FatalError.h"

using Fennix::LayoutHost;
using Fennix::LayoutItem;

namespace {

LayoutHost& host() {
  LayoutHost* host = Fennix::layoutHost();
  if (!host) Fennix::fatalError("no layout host: views can only be searched once the toolkit is set up");
  return *host;
}

}  // namespace

std::optional<LayoutItem> qvSubview(LayoutItem view, QvViewSearchOptions options, const QvViewTest& passingTest) {
  // Breadth of each level first, then depth in subview order; an explicit stack keeps deep
  // hierarchies off the call stack.
  struct Level {
    std::vector<LayoutItem> subviews;
    std::size_t next = 0;
  };
  auto& layout = host();
  std::vector<Level> stack;
  auto enter = [&](LayoutItem parent) -> std::optional<LayoutItem> {
    Level level{layout.subviewsOf(parent), 0};
    for (LayoutItem subview : level.subviews)
      if (passingTest(subview)) return subview;
    if (options.contains(QvViewSearchOptions::deep())) stack.push_back(std::move(level));
    return std::nullopt;
  };
  if (auto found = enter(view)) return found;
  while (!stack.empty()) {
    Level& level = stack.back();
    if (level.next >= level.subviews.size()) {
      stack.pop_back();
      continue;
    }
    LayoutItem subview = level.subviews[level.next++];
    if (auto found = enter(subview)) return found;
  }
  return std::nullopt;
}

std::optional<LayoutItem> qvView(LayoutItem view, const std::string& withID) {
  auto& layout = host();
  return qvSubview(view, QvViewSearchOptions::deep(), [&](LayoutItem candidate) {
    auto identifier = layout.identifier(candidate);
    return identifier && *identifier == withID;
  });
}

bool qvWalkViewHierarchy(LayoutItem view, const QvViewTest& visitor) {
  struct Level {
    std::vector<LayoutItem> subviews;
    std::size_t next = 0;
  };
  auto& layout = host();
  std::vector<Level> stack;
  auto enter = [&](LayoutItem parent) {
    Level level{layout.subviewsOf(parent), 0};
    for (LayoutItem subview : level.subviews)
      if (!visitor(subview)) return false;
    stack.push_back(std::move(level));
    return true;
  };
  if (!enter(view)) return false;
  while (!stack.empty()) {
    Level& level = stack.back();
    if (level.next >= level.subviews.size()) {
      stack.pop_back();
      continue;
    }
    LayoutItem subview = level.subviews[level.next++];
    if (!enter(subview)) return false;
  }
  return true;
}

std::map<std::string, LayoutItem> qvIdToSubview(LayoutItem view) {
  auto& layout = host();
  std::map<std::string, LayoutItem> map;
  qvWalkViewHierarchy(view, [&](LayoutItem subview) {
    auto identifier = layout.identifier(subview);
    if (!identifier) return true;
    if (!map.emplace(*identifier, subview).second)
      Fennix::nsLog("WARN(qvIdToSubview()): duplicate view identifier: " + *identifier +
                    " base: " + layout.describe(view));
    return true;
  });
  map.emplace("self", view);
  return map;
}

std::optional<LayoutItem> qvContentView(LayoutItem container) {
  auto subviews = host().subviewsOf(container);
  if (subviews.empty()) return std::nullopt;
  return subviews.front();
}

void setQvContentView(LayoutItem container, std::optional<LayoutItem> content) {
  auto& layout = host();
  if (content && *content && layout.superviewOf(*content) == container) return;
  for (LayoutItem subview : layout.subviewsOf(container)) layout.removeFromSuperview(subview);
  if (!content || !*content) {
    layout.invalidateIntrinsicContentSize(container);
    return;
  }
  layout.addSubview(container, *content);
  layout.prepareForConstraints(*content);
  const std::string format = layout.contentViewFormat(container);
  qvConstrain(*content, format, format);
  layout.invalidateIntrinsicContentSize(container);
}
