// Finding views in a view hierarchy by an arbitrary test, walking a hierarchy, mapping
// identifiers to views, and a content slot that pins one subview to all four edges. They work on
// the layout host's views; the toolkit part adds the searches by class.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>

#include "Fennix/UI/Common/LayoutConstraint.h"

/// Options of the view searches: `deep` descends below the direct subviews.
struct QvViewSearchOptions {
  std::intptr_t rawValue = 0;

  constexpr QvViewSearchOptions() = default;
  constexpr explicit QvViewSearchOptions(std::intptr_t raw) : rawValue(raw) {}
  constexpr QvViewSearchOptions(std::initializer_list<QvViewSearchOptions> members) {
    for (auto member : members) rawValue |= member.rawValue;
  }
  static constexpr QvViewSearchOptions none() { return QvViewSearchOptions(std::intptr_t{0}); }
  static constexpr QvViewSearchOptions deep() { return QvViewSearchOptions(std::intptr_t{2}); }

  constexpr QvViewSearchOptions unionWith(QvViewSearchOptions other) const {
    return QvViewSearchOptions(rawValue | other.rawValue);
  }
  constexpr QvViewSearchOptions intersection(QvViewSearchOptions other) const {
    return QvViewSearchOptions(rawValue & other.rawValue);
  }
  constexpr QvViewSearchOptions symmetricDifference(QvViewSearchOptions other) const {
    return QvViewSearchOptions(rawValue ^ other.rawValue);
  }
  constexpr QvViewSearchOptions subtracting(QvViewSearchOptions other) const {
    return QvViewSearchOptions(rawValue & ~other.rawValue);
  }
  constexpr bool contains(QvViewSearchOptions member) const { return (rawValue & member.rawValue) == member.rawValue; }
  /// Whether the member's bits were new.
  constexpr bool insert(QvViewSearchOptions member) {
    bool isNew = !contains(member);
    rawValue |= member.rawValue;
    return isNew;
  }
  constexpr bool operator==(const QvViewSearchOptions&) const = default;
};

using QvViewTest = std::function<bool(Fennix::LayoutItem)>;

/// The first subview passing the test: each level's direct subviews are all tested before any is
/// entered (entered only with `deep`); the view itself is never tested.
std::optional<Fennix::LayoutItem> qvSubview(Fennix::LayoutItem view, QvViewSearchOptions options,
                                            const QvViewTest& passingTest);
/// Search with `deep` for the first view with the identifier; views without one never match.
std::optional<Fennix::LayoutItem> qvView(Fennix::LayoutItem view, const std::string& withID);
/// Calls the visitor for every view below `view` (the direct subviews of a view first, then each
/// of them in turn); false from the visitor ends the walk and is the result.
bool qvWalkViewHierarchy(Fennix::LayoutItem view, const QvViewTest& visitor);
/// Every identifier below `view` mapped to its first view in walk order ("self" to `view` unless
/// a subview carries it). Duplicates are logged.
std::map<std::string, Fennix::LayoutItem> qvIdToSubview(Fennix::LayoutItem view);

/// The content slot: the first subview.
std::optional<Fennix::LayoutItem> qvContentView(Fennix::LayoutItem container);
/// Replaces every subview by `content` (none: leaves the container empty), pinned by the
/// container's content format in both orientations.
void setQvContentView(Fennix::LayoutItem container, std::optional<Fennix::LayoutItem> content);
