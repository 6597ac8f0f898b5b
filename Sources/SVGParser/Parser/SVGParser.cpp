#include "SVGParser/Parser/SVGParser.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <memory_resource>
#include <string>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include "SVGParser/CSS/Parser/CSSStyleSheet.h"
#include "SVGParser/Parser/FunctionParser.h"
#include "SVGParser/Parser/PathDataParser.h"
#include "SVGParser/Parser/XMLReader.h"
#include "Platform/Print.h"

namespace {

using SVG::XMLAttributes;

constexpr std::string_view svgNamespace = "http://www.w3.org/2000/svg";

// Debug form of an element's attributes, on one line and sorted by name: ["d": "M0 0", "id": "a"].
std::string describe(const XMLAttributes& attributes) {
  if (attributes.empty()) return "[:]";
  std::vector<XMLAttributes::Attribute> sorted(attributes.begin(), attributes.end());
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const auto& left, const auto& right) { return left.first < right.first; });
  std::string text = "[";
  for (const auto& [name, value] : sorted) {
    if (text.size() > 1) text += ", ";
    text += SVGParser::debugQuoted(name) + ": " + SVGParser::debugQuoted(value);
  }
  return text + "]";
}

// Element names as the driver compares them. Names are taken as written, except that a
// prefix bound to the SVG namespace (svg:rect with xmlns:svg) is dropped. Lookups go through
// a table by prefix, so many declarations cost no more per element than a few.
class ElementNames {
 public:
  // Notes the prefix declarations of an element that opens at `depth`.
  void enter(const XMLAttributes& attributes, std::size_t depth) {
    constexpr std::string_view declaration = "xmlns:";
    for (const auto& [name, value] : attributes) {
      if (!name.starts_with(declaration)) continue;
      std::string prefix(name.substr(declaration.size()));
      bindings_[prefix].push_back(value == svgNamespace);
      declarations_.push_back({std::move(prefix), depth});
    }
  }
  // Drops the declarations of the element that closes at `depth`.
  void leave(std::size_t depth) {
    while (!declarations_.empty() && declarations_.back().depth == depth) {
      const auto binding = bindings_.find(declarations_.back().prefix);
      binding->second.pop_back();
      if (binding->second.empty()) bindings_.erase(binding);
      declarations_.pop_back();
    }
  }
  std::string_view localName(std::string_view name) const {
    if (bindings_.empty()) return name;
    const auto colon = name.find(':');
    if (colon == std::string_view::npos) return name;
    const auto binding = bindings_.find(name.substr(0, colon));
    if (binding == bindings_.end()) return name;
    return binding->second.back() ? name.substr(colon + 1) : name;
  }

 private:
  struct Declaration {
    std::string prefix;
    std::size_t depth;
  };
  // Per prefix, whether each open binding (innermost last) names the SVG namespace.
  std::map<std::string, std::vector<bool>, std::less<>> bindings_;
  std::vector<Declaration> declarations_;  // in the order declared
};

// Records the document and, while doing so, collects the text of all style elements
// (a style sheet may come after the elements it styles) and whether the root element is svg.
class StyleCollector : public SVGParser::XMLEventHandler {
 public:
  SVGParser::XMLTape tape;
  bool hadRootSVG = false;
  std::string cssString;

  explicit StyleCollector(std::size_t documentSize) : tape(documentSize) {}

  void didStartElement(std::string_view name, const XMLAttributes& attributes) override {
    tape.didStartElement(name, attributes);
    ++nesting_;
    names_.enter(attributes, nesting_);
    const auto local = names_.localName(name);
    if (local == "style") {
      ++isCollecting_;
    } else if (local == "svg" && nesting_ == 1) {
      hadRootSVG = true;
    }
  }
  void didEndElement(std::string_view name) override {
    tape.didEndElement(name);
    if (names_.localName(name) == "style") --isCollecting_;
    names_.leave(nesting_);
    --nesting_;
  }
  // CDATA sections arrive here too, so style text written in one counts.
  void foundCharacters(std::string_view characters) override {
    tape.foundCharacters(characters);
    if (isCollecting_ >= 1) cssString += characters;
  }

 private:
  std::size_t isCollecting_ = 0;
  std::size_t nesting_ = 0;
  ElementNames names_;
};

enum class ElementKind {
  svg, g, text, circle, ellipse, rect, polygon, polyline, line, image, path, defs, linearGradient,
  radialGradient, stop, filter, feGaussianBlur, feOffset, feBlend, feDropShadow, feMerge, feMergeNode,
  feColorMatrix, feComponentTransfer, feConvolveMatrix, feComposite, feDiffuseLighting, feDisplacementMap,
  feFlood, feMorphology, feSpecularLighting, feTile, feTurbulence, style,
  // Elements whose content is never drawn directly.
  clipPath, mask, symbol, pattern, marker,
  other
};

ElementKind elementKind(std::string_view name) {
  struct Entry {
    std::string_view name;
    ElementKind kind;
  };
  // Elements that drawings hold many of come first: a short walk is cheaper than hashing.
  static constexpr Entry kinds[] = {
      {"stop", ElementKind::stop},
      {"path", ElementKind::path},
      {"g", ElementKind::g},
      {"radialGradient", ElementKind::radialGradient},
      {"linearGradient", ElementKind::linearGradient},
      {"filter", ElementKind::filter},
      {"feBlend", ElementKind::feBlend},
      {"feFlood", ElementKind::feFlood},
      {"feColorMatrix", ElementKind::feColorMatrix},
      {"feGaussianBlur", ElementKind::feGaussianBlur},
      {"feOffset", ElementKind::feOffset},
      {"feComposite", ElementKind::feComposite},
      {"circle", ElementKind::circle},
      {"rect", ElementKind::rect},
      {"ellipse", ElementKind::ellipse},
      {"defs", ElementKind::defs},
      {"svg", ElementKind::svg},
      {"polygon", ElementKind::polygon},
      {"polyline", ElementKind::polyline},
      {"line", ElementKind::line},
      {"text", ElementKind::text},
      {"image", ElementKind::image},
      {"style", ElementKind::style},
      {"clipPath", ElementKind::clipPath},
      {"mask", ElementKind::mask},
      {"symbol", ElementKind::symbol},
      {"pattern", ElementKind::pattern},
      {"marker", ElementKind::marker},
      {"feDropShadow", ElementKind::feDropShadow},
      {"feMerge", ElementKind::feMerge},
      {"feMergeNode", ElementKind::feMergeNode},
      {"feComponentTransfer", ElementKind::feComponentTransfer},
      {"feConvolveMatrix", ElementKind::feConvolveMatrix},
      {"feDiffuseLighting", ElementKind::feDiffuseLighting},
      {"feDisplacementMap", ElementKind::feDisplacementMap},
      {"feMorphology", ElementKind::feMorphology},
      {"feSpecularLighting", ElementKind::feSpecularLighting},
      {"feTile", ElementKind::feTile},
      {"feTurbulence", ElementKind::feTurbulence},
  };
  for (const auto& entry : kinds) {
    if (entry.name == name) return entry.kind;
  }
  return ElementKind::other;
}

bool isDrawable(ElementKind kind) {
  switch (kind) {
    case ElementKind::svg:
    case ElementKind::g:
    case ElementKind::text:
    case ElementKind::circle:
    case ElementKind::ellipse:
    case ElementKind::rect:
    case ElementKind::polygon:
    case ElementKind::polyline:
    case ElementKind::line:
    case ElementKind::image:
    case ElementKind::path:
      return true;
    default:
      return false;
  }
}

bool isNotDrawn(ElementKind kind) {
  switch (kind) {
    case ElementKind::defs:
    case ElementKind::clipPath:
    case ElementKind::mask:
    case ElementKind::symbol:
    case ElementKind::pattern:
    case ElementKind::marker:
      return true;
    default:
      return false;
  }
}

// The characters of a text as they show by default: line breaks gone, tabs made blanks, blanks
// at either end gone and every run of blanks one blank.
void collapseWhiteSpace(std::string& text) {
  std::size_t kept = 0;
  bool blankPending = false;
  for (const char c : text) {
    if (c == '\n' || c == '\r') continue;
    if (c == ' ' || c == '\t') {
      blankPending = kept > 0;
      continue;
    }
    if (blankPending) text[kept++] = ' ';
    blankPending = false;
    text[kept++] = c;
  }
  text.resize(kept);
}

// Builds the drawing from the recorded events.
class Handler : public SVGParser::XMLEventHandler {
 public:
  Handler(std::optional<std::string_view> cssStyles, const SVG::ElementObserver& observer)
      : css_(CSS::CSS::fromStringValue(cssStyles)), observer_(observer) {}

  // The drawing: the bottom of the container stack when it is an svg element.
  std::optional<SVG::SVG> result() && {
    if (groupStack_.empty()) return std::nullopt;
    auto* root = std::get_if<SVG::SVG>(&groupStack_.front().container);
    if (!root) return std::nullopt;
    return std::move(*root);
  }

  void didStartElement(std::string_view name, const XMLAttributes& attributes) override {
    ++depth_;
    names_.enter(attributes, depth_);
    // xml:space holds for the element and everything inside it.
    const std::optional<std::string_view> space = attributes.find("xml:space");
    preservesSpace_.push_back(space ? *space == "preserve" : !preservesSpace_.empty() && preservesSpace_.back());
    if (skippedDepth_) {
      openKinds_.push_back(ElementKind::other);
      return;
    }
    const auto kind = elementKind(names_.localName(name));
    openKinds_.push_back(kind);
    if (isNotDrawn(kind) && !notDrawnDepth_) {
      notDrawnDepth_ = depth_;
      notDrawnName_ = name;
      notDrawnAttributes_ = attributes;
      notDrawnReported_ = false;
    }
    startElement(kind, name, attributes);
  }

  void didEndElement(std::string_view) override {
    if (skippedDepth_) {
      if (skippedDepth_ == depth_) skippedDepth_ = 0;
    } else {
      endElement(openKinds_.back());
      if (notDrawnDepth_ == depth_) notDrawnDepth_ = 0;
    }
    openKinds_.pop_back();
    preservesSpace_.pop_back();
    names_.leave(depth_);
    --depth_;
  }

  void foundCharacters(std::string_view characters) override {
    if (text_ && !skippedDepth_) text_->text += characters;
  }

 private:
  // An open svg or g element and the element depth it opened at.
  struct OpenContainer {
    std::variant<SVG::SVG, SVG::Group> container;
    std::size_t depth;
    // The font properties it states and inherits, for the texts inside it.
    CSS::FontProperties font;
  };

  void startElement(ElementKind kind, std::string_view name, const XMLAttributes& attributes) {
    if (isDrawable(kind) && !(kind == ElementKind::image && filter_) && !admitDrawable(kind, name, attributes)) {
      return;
    }
    switch (kind) {
      case ElementKind::svg: {
        const CSS::Cascade resolver = css_.cssResolver(attributes);
        groupStack_.push_back({SVG::SVG::fromXMLAttributes(attributes, resolver), depth_, inheritedFont(resolver, attributes)});
        break;
      }
      case ElementKind::g: {
        const CSS::Cascade resolver = css_.cssResolver(attributes);
        groupStack_.push_back({SVG::Group::fromXMLAttributes(attributes, resolver), depth_, inheritedFont(resolver, attributes)});
        break;
      }
      case ElementKind::text: {
        const CSS::Cascade resolver = css_.cssResolver(attributes);
        text_ = SVG::Text::fromXMLAttributes(attributes, resolver);
        // What the text leaves open of its font comes from the elements around it.
        if (!groupStack_.empty() && !groupStack_.back().font.empty()) {
          text_->font = inheritedFont(resolver, attributes).font();
        }
        textPreservesSpace_ = preservesSpace_.back();
        break;
      }
      case ElementKind::circle:
        addElement(SVG::Circle::fromXMLAttributes(attributes, css_.cssResolver(attributes)));
        break;
      case ElementKind::ellipse:
        addElement(SVG::Ellipse::fromXMLAttributes(attributes, css_.cssResolver(attributes)));
        break;
      case ElementKind::rect:
        addElement(SVG::Rect::fromXMLAttributes(attributes, css_.cssResolver(attributes)));
        break;
      case ElementKind::polygon:
        addElement(SVG::Polygon::fromXMLAttributes(attributes, css_.cssResolver(attributes)));
        break;
      case ElementKind::polyline:
        addElement(SVG::Polyline::fromXMLAttributes(attributes, css_.cssResolver(attributes)));
        break;
      case ElementKind::line:
        addElement(SVG::Line::fromXMLAttributes(attributes, css_.cssResolver(attributes)));
        break;
      case ElementKind::image:
        if (filter_) {
          addFilterPrimitive(SVG::Filter::Primitive::Image{});
        } else {
          addElement(SVG::Image::fromXMLAttributes(attributes, css_.cssResolver(attributes)));
        }
        break;
      case ElementKind::path:
        try {
          addElement(SVG::Path::fromXMLAttributes(attributes, css_.cssResolver(attributes)));
        } catch (const SVG::CommandParserError& error) {
          SVGParser::print("could not parse path:", describe(attributes), "  error:", error.description());
        }
        break;
      case ElementKind::linearGradient:
        linearGradient_ = SVG::LinearGradient::fromXMLAttributes(attributes);
        linearStops_.clear();
        break;
      case ElementKind::radialGradient:
        radialGradient_ = SVG::RadialGradient::fromXMLAttributes(attributes);
        radialStops_.clear();
        break;
      case ElementKind::stop:
        if (linearGradient_ || radialGradient_) {
          auto stop = SVG::GradientStop::fromXMLAttributes(attributes, css_.cssResolver(attributes));
          if (linearGradient_ && radialGradient_) linearStops_.push_back(stop);
          (radialGradient_ ? radialStops_ : linearStops_).push_back(std::move(stop));
        }
        break;
      case ElementKind::filter:
        filter_ = SVG::Filter::fromXMLAttributes(attributes);
        primitives_.clear();
        defaultInput_ = SVG::Filter::Input::sourceGraphic();
        break;
      case ElementKind::feGaussianBlur:
        addFilterPrimitive(SVG::Filter::Primitive::Blur::fromXMLAttributes(attributes, defaultInput_));
        break;
      case ElementKind::feOffset:
        addFilterPrimitive(SVG::Filter::Primitive::Offset::fromXMLAttributes(attributes, defaultInput_));
        break;
      case ElementKind::feBlend:
        addFilterPrimitive(SVG::Filter::Primitive::Blend::fromXMLAttributes(attributes, defaultInput_));
        break;
      case ElementKind::feDropShadow:
        addFilterPrimitive(SVG::Filter::Primitive::DropShadow::fromXMLAttributes(attributes, defaultInput_));
        break;
      case ElementKind::feMerge:
        feMerge_ = SVG::Filter::Primitive::Merge::fromXMLAttributes(attributes, defaultInput_);
        break;
      case ElementKind::feMergeNode:
        if (feMerge_) {
          feMerge_->inputs.push_back(SVG::Filter::Input::fromStringValue(SVG::attributeValue(attributes, "in"))
                                         .value_or(SVG::Filter::Input::previous()));
        }
        break;
      case ElementKind::feColorMatrix:
        addFilterPrimitive(SVG::Filter::Primitive::ColorMatrix{});
        break;
      case ElementKind::feComponentTransfer:
        addFilterPrimitive(SVG::Filter::Primitive::ComponentTransfer{});
        break;
      case ElementKind::feConvolveMatrix:
        addFilterPrimitive(SVG::Filter::Primitive::ConvolveMatrix{});
        break;
      case ElementKind::feComposite:
        addFilterPrimitive(SVG::Filter::Primitive::Composite{});
        break;
      case ElementKind::feDiffuseLighting:
        addFilterPrimitive(SVG::Filter::Primitive::DiffuseLighting{});
        break;
      case ElementKind::feDisplacementMap:
        addFilterPrimitive(SVG::Filter::Primitive::DisplacementMap{});
        break;
      case ElementKind::feFlood:
        addFilterPrimitive(SVG::Filter::Primitive::Flood{});
        break;
      case ElementKind::feMorphology:
        addFilterPrimitive(SVG::Filter::Primitive::Morphology{});
        break;
      case ElementKind::feSpecularLighting:
        addFilterPrimitive(SVG::Filter::Primitive::SpecularLighting{});
        break;
      case ElementKind::feTile:
        addFilterPrimitive(SVG::Filter::Primitive::Tile{});
        break;
      case ElementKind::feTurbulence:
        addFilterPrimitive(SVG::Filter::Primitive::Turbulence{});
        break;
      case ElementKind::defs:
      case ElementKind::style:
        break;
      case ElementKind::clipPath:
      case ElementKind::mask:
      case ElementKind::symbol:
      case ElementKind::pattern:
      case ElementKind::marker:
      case ElementKind::other:
        SVGParser::print("OTHER:", std::string(name), describe(attributes));
        break;
    }
  }

  // Whether a drawable element that starts here is built. Inside an element that is not
  // drawn (defs, clipPath, ...) it is skipped, with one line for the outermost such element;
  // an svg or g beyond the nesting limit is skipped with everything in it.
  bool admitDrawable(ElementKind kind, std::string_view name, const XMLAttributes& attributes) {
    if (notDrawnDepth_) {
      if (!notDrawnReported_) {
        SVGParser::print("skipping shapes inside " + notDrawnName_ + ", not drawn:", describe(notDrawnAttributes_));
        notDrawnReported_ = true;
      }
      return false;
    }
    if ((kind == ElementKind::svg || kind == ElementKind::g) &&
        groupStack_.size() >= SVGParser::SVGParser::maximumContainerDepth) {
      SVGParser::print("dropping element, nesting too deep:", std::string(name), describe(attributes));
      skippedDepth_ = depth_;
      return false;
    }
    return true;
  }

  void endElement(ElementKind kind) {
    switch (kind) {
      case ElementKind::linearGradient:
        if (linearGradient_) {
          linearGradient_->stops = takeAll(linearStops_);
          addDefinition(std::move(*linearGradient_));
          linearGradient_.reset();
        }
        break;
      case ElementKind::radialGradient:
        if (radialGradient_) {
          radialGradient_->stops = takeAll(radialStops_);
          addDefinition(std::move(*radialGradient_));
          radialGradient_.reset();
        }
        break;
      case ElementKind::filter:
        if (filter_) {
          filter_->primitives = takeAll(primitives_);
          addDefinition(std::move(*filter_));
          filter_.reset();
        }
        break;
      case ElementKind::feMerge:
        if (feMerge_) addFilterPrimitive(*std::exchange(feMerge_, std::nullopt));
        break;
      case ElementKind::text:
        if (text_) {
          if (!textPreservesSpace_) collapseWhiteSpace(text_->text);
          addElement(*std::exchange(text_, std::nullopt));
        }
        break;
      case ElementKind::g:
      case ElementKind::svg:
        closeContainer(kind == ElementKind::svg);
        break;
      default:
        break;
    }
  }

  // The font properties of an element with its CSS `resolver`, filled in from the innermost
  // open container's.
  CSS::FontProperties inheritedFont(const CSSPropertyResolver& resolver, const XMLAttributes& attributes) const {
    CSS::FontProperties own = resolver.fontProperties(attributes);
    return groupStack_.empty() ? own : own.inheriting(groupStack_.back().font);
  }

  // Pops the container that opened at this depth into the one below it; the bottom
  // svg element stays and becomes the result.
  void closeContainer(bool isSVG) {
    if (groupStack_.empty() || groupStack_.back().depth != depth_) return;
    if (isSVG) {
      if (groupStack_.size() < 2 || !std::holds_alternative<SVG::SVG>(groupStack_.back().container)) return;
    } else if (!std::holds_alternative<SVG::Group>(groupStack_.back().container)) {
      return;
    }
    auto closed = std::move(groupStack_.back().container);
    groupStack_.pop_back();
    std::visit([this](auto& container) { addElement(SVG::GroupItem(std::move(container))); }, closed);
  }

  void addElement(SVG::GroupItem item) {
    if (groupStack_.empty()) {
      SVGParser::print("dropping element, no group:", item.description());
      return;
    }
    if (observer_) observer_(item, groupStack_.size());
    std::visit([&item](auto& container) { container.children.push_back(std::move(item)); },
               groupStack_.back().container);
  }

  void addDefinition(SVG::Definition definition) {
    const auto& id = definition.core().id;
    if (!id) return;
    for (auto it = groupStack_.rbegin(); it != groupStack_.rend(); ++it) {
      auto* svg = std::get_if<SVG::SVG>(&it->container);
      if (!svg) continue;
      // The first definition of an id in the whole document wins.
      if (!usedDefIDs_.emplace(*id).second) return;
      svg->definitions.push_back(SVG::DefinitionEntry{*id, std::move(definition)});
      return;
    }
  }

  void addFilterPrimitive(SVG::Filter::Primitive primitive) {
    if (!filter_) return;
    defaultInput_ = SVG::Filter::Input::previous();
    primitives_.push_back(std::move(primitive));
  }

  // The collected items in a list of exactly their number; the collecting list keeps its
  // room for the next gradient or filter.
  template <typename Item>
  static std::vector<Item> takeAll(std::vector<Item>& collected) {
    std::vector<Item> items(std::make_move_iterator(collected.begin()), std::make_move_iterator(collected.end()));
    collected.clear();
    return items;
  }

  CSS::CSS css_;
  const SVG::ElementObserver& observer_;
  std::vector<OpenContainer> groupStack_;
  // The ids live as long as the read: they come from a pool that is let go at once.
  std::pmr::monotonic_buffer_resource idMemory_;
  std::pmr::unordered_set<std::pmr::string> usedDefIDs_{&idMemory_};
  std::optional<SVG::LinearGradient> linearGradient_;
  std::optional<SVG::RadialGradient> radialGradient_;
  std::optional<SVG::Filter> filter_;
  // The stops and primitives of the open gradients and filter, until it closes.
  std::vector<SVG::GradientStop> linearStops_;
  std::vector<SVG::GradientStop> radialStops_;
  std::vector<SVG::Filter::Primitive> primitives_;
  std::optional<SVG::Filter::Primitive::Merge> feMerge_;
  SVG::Filter::Input defaultInput_ = SVG::Filter::Input::sourceGraphic();
  std::optional<SVG::Text> text_;
  // Whether the open text keeps its blanks and line breaks as written (xml:space="preserve").
  bool textPreservesSpace_ = false;

  ElementNames names_;
  std::vector<ElementKind> openKinds_;  // of the open elements, innermost last
  std::vector<bool> preservesSpace_;    // xml:space="preserve" in force, for each open element
  std::size_t depth_ = 0;               // open elements
  std::size_t skippedDepth_ = 0;        // depth of a subtree left out for nesting too deep
  std::size_t notDrawnDepth_ = 0;       // depth of the outermost open element that is not drawn
  std::string notDrawnName_;
  XMLAttributes notDrawnAttributes_;
  bool notDrawnReported_ = false;
};

}  // namespace

std::optional<SVG::SVG> SVGParser::SVGParser::parse(std::string_view data, bool autowrapInSVG) {
  return parse(data, autowrapInSVG, SVG::ElementObserver());
}

std::optional<SVG::SVG> SVGParser::SVGParser::parse(std::string_view data, bool autowrapInSVG,
                                                    const SVG::ElementObserver& observer) {
  StyleCollector collector(data.size());
  if (!::SVGParser::readXML(data, collector)) return std::nullopt;
  Handler handler(collector.cssString, observer);

  if (autowrapInSVG && !collector.hadRootSVG && !data.empty()) {
    // Read again, as wrapping can change whether the text is well-formed (an XML
    // declaration is no longer first). The style sheet stays the one found above.
    std::string wrapped;
    wrapped.reserve(data.size() + 48);
    wrapped.append("<svg xmlns=\"").append(svgNamespace).append("\">");
    wrapped.append(data);
    wrapped.append("</svg>\n");
    ::SVGParser::XMLTape tape(wrapped.size());
    if (!::SVGParser::readXML(wrapped, tape)) return std::nullopt;
    tape.replay(handler);
  } else {
    collector.tape.replay(handler);
  }
  return std::move(handler).result();
}

std::optional<SVG::SVG> SVG::SVG::fromSVGString(std::string_view svgString) {
  return SVGParser::SVGParser::parse(svgString);
}

std::optional<SVG::SVG> SVG::SVG::fromSVGString(std::string_view svgString, const ElementObserver& observer) {
  return SVGParser::SVGParser::parse(svgString, true, observer);
}
