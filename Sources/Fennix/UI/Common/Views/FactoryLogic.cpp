#include "Fennix/UI/Common/Views/FactoryLogic.h"

#include <algorithm>

#include <charconv>
#include <cmath>

namespace Fennix {

LabelLooks labelLooks(std::optional<NSTextAlignment> align, NSFontPtr font, std::optional<NSColor> color,
                      const QvStyles::Label* style) {
  LabelLooks looks;
  if (font) {
    looks.font = std::move(font);
  } else if (style) {
    looks.font = style->font;
  }
  if (color) {
    looks.color = color;
  } else if (style) {
    looks.color = style->color;
  }
  if (align) {
    looks.align = *align;
  } else if (style && style->align) {
    looks.align = *style->align;
  }
  return looks;
}

std::optional<GridSize> gridSize(std::optional<int> columns, std::optional<int> rows) {
  if (!columns || !rows || *columns < 0 || *rows < 0) return std::nullopt;
  return GridSize{*columns, *rows};
}

PadderPlan padderPlan(LayoutItem view, std::optional<double> v, std::optional<double> h, bool expands) {
  PadderPlan plan;
  auto add = [&](NSLayoutAttribute attribute, double size, std::optional<NSLayoutPriority>& hugging) {
    if (!expands) {
      plan.constraints.push_back(
          NSLayoutConstraint::make(view, attribute, NSLayoutRelation::equal, 1, size));
      return;
    }
    plan.constraints.push_back(
        NSLayoutConstraint::make(view, attribute, NSLayoutRelation::greaterThanOrEqual, 1, size));
    auto wanted = NSLayoutConstraint::make(view, attribute, NSLayoutRelation::equal, 1, size);
    wanted->setPriority(1);
    plan.constraints.push_back(wanted);
    hugging = 50;
  };
  if (v) add(NSLayoutAttribute::height, *v, plan.verticalHugging);
  if (h) add(NSLayoutAttribute::width, *h, plan.horizontalHugging);
  return plan;
}

std::string doubleText(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

namespace {

/// Lengths that fit `room`: natural lengths when they fit, else each view shrinks by the same share
/// of what it has above its least length (never below it).
std::vector<double> fittedLengths(const std::vector<StackMember>& members, double room) {
  std::vector<double> lengths;
  double natural = 0, shrinkable = 0;
  for (const auto& member : members) {
    const double least = std::max(0.0, member.minimum), wanted = std::max(least, member.natural);
    lengths.push_back(wanted);
    natural += wanted;
    shrinkable += wanted - least;
  }
  if (natural <= room || shrinkable <= 0) return lengths;
  const double share = std::clamp((natural - room) / shrinkable, 0.0, 1.0);
  for (std::size_t i = 0; i < members.size(); ++i)
    lengths[i] -= (lengths[i] - std::max(0.0, members[i].minimum)) * share;
  return lengths;
}

}  // namespace

std::vector<StackSlot> stackSlots(NSStackViewDistribution distribution, const std::vector<StackMember>& members,
                                  double length, double spacing) {
  std::vector<StackSlot> slots(members.size());
  if (members.empty()) return slots;
  const double count = double(members.size());
  spacing = std::max(0.0, spacing);
  const double room = std::max(0.0, length - spacing * (count - 1));
  std::vector<double> lengths = fittedLengths(members, room);
  double used = 0;
  for (double each : lengths) used += each;
  const double spare = std::max(0.0, room - used);
  std::vector<double> gaps(members.size(), spacing);
  gaps.front() = 0;
  switch (distribution) {
    case NSStackViewDistribution::gravityAreas:
      break;
    case NSStackViewDistribution::fill: {
      NSLayoutPriority lowest = members.front().hugging;
      for (const auto& member : members) lowest = std::min(lowest, member.hugging);
      double takers = 0;
      for (const auto& member : members) takers += member.hugging == lowest ? 1 : 0;
      for (std::size_t i = 0; i < members.size(); ++i)
        if (members[i].hugging == lowest) lengths[i] += spare / takers;
      break;
    }
    case NSStackViewDistribution::fillEqually:
      for (double& each : lengths) each = room / count;
      break;
    case NSStackViewDistribution::fillProportionally: {
      double natural = 0;
      for (const auto& member : members) natural += std::max(0.0, member.natural);
      if (natural > 0 && spare > 0)
        for (std::size_t i = 0; i < members.size(); ++i) lengths[i] = room * std::max(0.0, members[i].natural) / natural;
      break;
    }
    case NSStackViewDistribution::equalSpacing:
      if (members.size() > 1)
        for (std::size_t i = 1; i < members.size(); ++i) gaps[i] += spare / (count - 1);
      break;
    case NSStackViewDistribution::equalCentering: {
      if (members.size() < 2) break;
      // Centres from the first view's to the last one's, alike apart; the gaps follow from them.
      const double first = lengths.front() / 2, last = length - lengths.back() / 2;
      const double step = (last - first) / (count - 1);
      bool fits = true;
      for (std::size_t i = 1; i < members.size(); ++i)
        fits = fits && step - (lengths[i - 1] + lengths[i]) / 2 >= spacing;
      if (!fits) {
        for (std::size_t i = 1; i < members.size(); ++i) gaps[i] += spare / (count - 1);
        break;
      }
      for (std::size_t i = 1; i < members.size(); ++i) gaps[i] = step - (lengths[i - 1] + lengths[i]) / 2;
      break;
    }
  }
  double offset = 0;
  for (std::size_t i = 0; i < members.size(); ++i) {
    offset += gaps[i];
    slots[i] = {offset, lengths[i]};
    offset += lengths[i];
  }
  return slots;
}

}  // namespace Fennix
