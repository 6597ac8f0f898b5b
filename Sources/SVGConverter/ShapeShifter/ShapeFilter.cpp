// SVG filters as SwiftUI filter modifiers: chains of effects, merges and blends.
#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "SVGConverter/ShapeShifter/SVGSwiftUIQuarvel.h"
#include "Platform/Print.h"

using SwiftUIModel::FilterModifierType;
using FilterGroup = SwiftUIModel::FilterModifierType::FilterGroup;
using Operation = SwiftUIModel::FilterModifierType::Primitive::Operation;

namespace {

// A filter whose graph would nest deeper, or spell out more nodes, than this
// is cut short: results can be merged with themselves over and over, which
// doubles the written graph each time.
constexpr size_t kMaxGroupDepth = 256;
constexpr size_t kMaxGroupNodes = 10000;

std::optional<CGFloat> points(const std::optional<CSS::UnitLength>& length) {
  return length ? length->pointSize() : std::nullopt;
}

/// A group with its nesting depth and the number of nodes it spells out.
struct Tracked {
  FilterGroup group;
  size_t depth;
  size_t nodes;
};

/// The source itself, or a chain of effects on it: the groups that may be written inline.
bool isSourceOrChainOnSource(const FilterGroup& group) {
  if (group.is<FilterGroup::Source>()) return true;
  const auto* chain = group.as<FilterGroup::Primitives>();
  return chain && chain->input.is<FilterGroup::Source>();
}

Tracked sourceNode() { return {FilterGroup::source(), 1, 1}; }
// A node over `inputs`, with its size; nothing when it would be too large.
std::optional<Tracked> combine(FilterGroup group, std::initializer_list<const Tracked*> inputs) {
  size_t depth = 0;
  size_t nodes = 1;
  for (const Tracked* input : inputs) {
    depth = std::max(depth, input->depth);
    nodes += input->nodes;
  }
  if (depth + 1 > kMaxGroupDepth || nodes > kMaxGroupNodes) return std::nullopt;
  return Tracked{std::move(group), depth + 1, nodes};
}

FilterModifierType::Primitive makePrimitive(const SVG::Filter::Primitive::Attributes& attributes,
                                            Operation operation) {
  std::optional<CGSize> size;
  if (attributes.width && attributes.height) size = CGSize{*attributes.width, *attributes.height};
  std::optional<CGPoint> origin;
  const CGFloat x = attributes.x.value_or(0), y = attributes.y.value_or(0);
  if (!(x == 0 && y == 0)) origin = CGPoint{x, y};
  return {size, origin, std::move(operation)};
}

Operation makeOperation(const SVG::Filter::Primitive& primitive) {
  if (auto blur = primitive.as<SVG::Filter::Primitive::Blur>()) return Operation::blur(blur->standardDeviation);
  if (auto offset = primitive.as<SVG::Filter::Primitive::Offset>()) {
    return Operation::offset({offset->dx, offset->dy});
  }
  const auto& shadow = *primitive.as<SVG::Filter::Primitive::DropShadow>();
  std::optional<CSS::Color> color;
  if (shadow.color != CSS::Color::black()) color = shadow.color;
  // The shadow modifier's own default opacity is left unsaid.
  std::optional<CGFloat> opacity = shadow.opacity.value_or(1.0);
  if (*opacity == 0.33) opacity.reset();
  std::optional<CGPoint> position;
  if (!(shadow.dx == 0 && shadow.dy == 0)) position = CGPoint{shadow.dx, shadow.dy};
  return Operation::shadow(color, opacity, shadow.standardDeviation, position);
}

}  // namespace

FilterModifierType SVGSwiftUIQuarvel::shapeFilter(const SVG::Filter& filter) {
  std::string typeName = makeTypeID(filter.core.id, filterIDs);
  std::optional<CGFloat> x = points(filter.x);
  std::optional<CGFloat> y = points(filter.y);
  std::optional<CGFloat> width = points(filter.width);
  std::optional<CGFloat> height = points(filter.height);
  std::optional<CGSize> size;
  if (width && height) size = CGSize{*width, *height};
  std::optional<CGPoint> origin;
  if (x || y) origin = CGPoint{x.value_or(0), y.value_or(0)};
  std::optional<FilterGroup> group = buildFilterGroup(filter.primitives);
  FilterModifierType modifier{std::move(typeName), size, origin, group ? std::move(*group) : FilterGroup::source()};
  // A filter that can be written inline may write nothing where it is declared. Any other is a
  // modifier type: "\n", "struct F: ViewModifier {\n", "\n", "func body(content: Content) -> some
  // View {\n", a line of content at least and two "}\n".
  if (!isSourceOrChainOnSource(modifier.filterGroup) || modifier.intrinsicSize || modifier.origin) {
    budget_.charge(81 + modifier.typeName.size());
  }
  return modifier;
}

std::optional<FilterGroup> SVGSwiftUIQuarvel::buildFilterGroup(const std::vector<SVG::Filter::Primitive>& primitives) {
  std::unordered_map<std::string, Tracked> results;

  // The group the next primitive continues: a merge or blend, or else a
  // chain of effects on an input, kept open so that effects are appended
  // in place and the chain is made into a group only when something reads it.
  std::optional<Tracked> joined;
  Tracked chainInput = sourceNode();
  std::vector<FilterModifierType::Primitive> chainEffects;
  std::optional<Tracked> chainGroup;  // the chain as a group, once asked for

  auto current = [&]() -> Tracked {
    if (joined) return *joined;
    if (!chainGroup) {
      chainGroup = Tracked{FilterGroup::primitive(chainInput.group, chainEffects), chainInput.depth + 1,
                           chainInput.nodes + 1 + chainEffects.size()};
    }
    return *chainGroup;
  };
  auto startChain = [&](Tracked input) {
    joined.reset();
    chainInput = std::move(input);
    chainEffects.clear();
    chainGroup.reset();
  };
  auto groupForInput = [&](const SVG::Filter::Input& input) -> std::optional<Tracked> {
    if (input.is<SVG::Filter::Input::Previous>()) return current();
    if (input.is<SVG::Filter::Input::SourceGraphic>()) return sourceNode();
    if (input.is<SVG::Filter::Input::SourceAlpha>()) return Tracked{FilterGroup::sourceAlpha(), 1, 1};
    if (auto result = input.as<SVG::Filter::Input::Result>()) {
      auto found = results.find(result->name);
      if (found != results.end()) return found->second;
      SVGParser::print("ERROR: Missing filter merge node:", result->name);
      return std::nullopt;
    }
    SVGParser::print("WARN: Unsupported merge input:", input.description());
    return std::nullopt;
  };
  // A named result is reachable only by its name; the next chain starts afresh.
  auto closeJoined = [&](Tracked group, const std::optional<std::string>& result) {
    if (result) {
      results.insert_or_assign(*result, std::move(group));
      startChain(sourceNode());
    } else {
      joined = std::move(group);
    }
  };
  auto tooComplex = [](const SVG::Filter::Primitive& primitive) {
    SVGParser::print("WARN: Filter too complex, primitive skipped:", primitive.description());
  };
  // Effects after a merge or blend apply to its output.
  auto continueJoined = [&]() -> bool {
    if (!joined) return true;
    if (joined->depth + 1 > kMaxGroupDepth) return false;
    startChain(std::move(*joined));
    return true;
  };

  for (const SVG::Filter::Primitive& primitive : primitives) {
    if (auto merge = primitive.as<SVG::Filter::Primitive::Merge>()) {
      size_t depth = 0, nodes = 1;
      std::vector<FilterGroup> groups;
      for (const SVG::Filter::Input& input : merge->inputs) {
        std::optional<Tracked> g = groupForInput(input);
        if (!g || g->group.isEmpty()) continue;
        depth = std::max(depth, g->depth);
        nodes = std::min(nodes + g->nodes, kMaxGroupNodes + 1);
        groups.push_back(std::move(g->group));
      }
      if (depth + 1 > kMaxGroupDepth || nodes > kMaxGroupNodes) {
        tooComplex(primitive);
        continue;
      }
      closeJoined(Tracked{FilterGroup::merge(std::move(groups)), depth + 1, nodes}, merge->attributes.result);
    } else if (auto blend = primitive.as<SVG::Filter::Primitive::Blend>()) {
      Tracked g1 = groupForInput(blend->input).value_or(sourceNode());
      Tracked g2 = groupForInput(blend->input2).value_or(g1);
      std::optional<Tracked> g = combine(FilterGroup::blend(g1.group, g2.group, blend->mode), {&g1, &g2});
      if (!g) {
        tooComplex(primitive);
        continue;
      }
      closeJoined(std::move(*g), blend->attributes.result);
    } else if (std::optional<SVG::Filter::Input> input = primitive.input()) {
      // A blur, an offset or a drop shadow.
      if (!input->is<SVG::Filter::Input::Previous>()) {
        Tracked start = groupForInput(*input).value_or(sourceNode());
        if (start.depth + 1 > kMaxGroupDepth) {
          tooComplex(primitive);
          continue;
        }
        startChain(std::move(start));
      } else if (!continueJoined()) {
        tooComplex(primitive);
        continue;
      }
      if (chainInput.nodes + 2 + chainEffects.size() > kMaxGroupNodes) {
        tooComplex(primitive);
        continue;
      }
      const SVG::Filter::Primitive::Attributes attributes = primitive.attributes();
      chainEffects.push_back(makePrimitive(attributes, makeOperation(primitive)));
      chainGroup.reset();
      if (attributes.result) {
        results.insert_or_assign(*attributes.result, current());
        startChain(sourceNode());
      }
    } else {
      if (!continueJoined()) {
        tooComplex(primitive);
        continue;
      }
      SVGParser::print("WARN: Unsupported filter primitive:", primitive.description());
    }
  }

  Tracked last = current();
  if (last.group.isEmpty()) return std::nullopt;
  return std::move(last.group);
}
