// The SwiftUI source generator: writes one Swift file through its own stream.
#pragma once

#include "SVGConverter/Exporter/CodeGenerationStream.h"
#include "SVGConverter/Exporter/DecimalNumberFormatter.h"
#include "SVGConverter/Exporter/SVGSwiftUIExporterConfig.h"
#include "SVGConverter/Utilities/BlockText.h"
#include "SVGConverter/Utilities/OutputLimit.h"
#include "SVGConverter/SwiftUIModel/ContainerViewType.h"
#include "SVGConverter/SwiftUIModel/Gradients.h"
#include "SVGConverter/SwiftUIModel/PathCommand.h"
#include "SVGConverter/SwiftUIModel/ShapeViews.h"
#include "SVGParser/CSS/Color.h"
#include "SVGParser/CSS/Font.h"
#include "SVGParser/SVG/SVG.h"


#include <concepts>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// One exporter per export: it holds the options, the growing output text and
/// the current indentation, and is the stream every emitter writes through.
class SVGSwiftUIExporter : public CodeGenerationStream {
 public:
  using Config = SVGSwiftUIExporterConfig;

  /// Thrown when an export passes `Config::outputLimit`; what() is "output limit reached".
  using OutputLimitReached = SVGConverter::OutputLimitReached;

  explicit SVGSwiftUIExporter(Config config);

  const Config& config() const { return config_; }
  /// The number text of the options, for expressions written outside the output.
  const DecimalNumberFormatter& numberFormatter() const { return numberFormatter_; }
  /// A copy of the text written so far.
  std::string swift() const { return swift_.str(); }
  /// Replaces the text written so far; what is written next follows `text`.
  void setSwift(std::string_view text) {
    swift_.clear();
    swift_.append(text);
    checkOutputLimit();
  }
  /// Hands the text written over as one string; the exporter is left empty.
  std::string takeSwift() { return swift_.take(); }
  /// Current nesting depth and its indentation text.
  int indent() const { return indent_; }
  const std::string& prefix() const { return prefix_; }

  // ---- CodeGenerationStream -------------------------------------------------

  // `block` and `nest` of the base are hidden on purpose: the templates below take
  // their place for content given as a lambda.
  using CodeGenerationStream::writeln;

  bool didUseHexColorInit() const override { return didUseHexColorInit_; }
  void setDidUseHexColorInit(bool value) override { didUseHexColorInit_ = value; }
  void appendEmptyLine() override;
  void writeln(const std::string& line, const std::optional<std::string>& comment,
               const std::optional<std::string>& infoComment) override;
  void writelnInfoComment(const std::string& infoComment) override;
  void writeLines(const std::string& text) override;
  void block(const std::string& header, const std::optional<std::string>& infoComment,
             const Content& exportContent) override;
  void nest(bool active, const Content& exportContent) override;
  /// The configured number text (see `DecimalNumberFormatter`).
  std::string string(CGFloat value) override;

  /// `exportSVGType` for a model that is written once and then dropped: the parts of each
  /// child that only the child's own type needs are freed as soon as that type is written, so
  /// the model shrinks while the text grows.
  void exportSVGTypeReleasing(SwiftUIModel::ContainerViewType& svg);

  // ---- Writing straight into the output ----------------------------------------
  // The emitters of the bulk of a drawing write their lines part by part, with
  // numbers formatted in place, instead of building each line as a string first.

  /// A number as configured, as a part of `line`.
  struct Number {
    CGFloat value;
  };
  /// "<type>(x: X, y: Y)" with the numbers as configured, as a part of `line`.
  struct PointLiteral {
    std::string_view type;
    CGPoint point;
  };
  /// The transform of a path's arc, as a part of `line`.
  struct TransformArgument {
    const std::vector<SwiftUIModel::TransformStep>& steps;
  };
  /// One line of the parts at the current depth, like `writeln(line)`.
  template <typename... Parts>
  void line(const Parts&... parts) {
    beginLine();
    (put(parts), ...);
    endLine();
  }
  /// A line given piece by piece: the indentation, the parts, then the end of the line.
  void beginLine() { swift_.append(prefix_); }
  void put(std::string_view text) { swift_.append(text); }
  void put(char c) { swift_.append(c); }
  void put(Number number) {
    char* text = swift_.reserve(DecimalNumberFormatter::bufferSize);
    swift_.commit(text + numberFormatter_.write(number.value, text));
  }
  void put(const PointLiteral& literal) {
    put(literal.type);
    put("(x: ");
    put(Number{literal.point.x});
    put(", y: ");
    put(Number{literal.point.y});
    put(')');
  }
  /// ", transform: " and the steps as `exportTransform` writes them; nothing for no steps.
  void put(const TransformArgument& argument);
  void endLine() {
    swift_.append('\n');
    checkOutputLimit();
  }
  /// `block(header, content)` without wrapping the content in a `std::function`.
  template <typename Body>
  void block(std::string_view header, Body&& content) {
    openBlock(header, nullptr);
    nest(content);
    closeBlock();
  }
  /// `nest(content)` without wrapping the content in a `std::function`.
  template <typename Body>
  void nest(Body&& content) {
    const DepthGuard guard{*this, indent_};
    setIndent(indent_ + 1);
    content();
  }
  template <typename Body>
  void nest(bool active, Body&& content) {
    if (active) {
      nest(content);
    } else {
      content();
    }
  }

  // ---- Static frame properties ----------------------------------------------

  /// Writes the static `intrinsicSize` and `origin` properties of a view type
  /// when `force` or `frameAsProperty` is set; says whether it wrote anything.
  bool exportIntrinsicSize(std::optional<CGPoint> origin, std::optional<CGSize> size, bool force = false);

  // ---- Emitters ---------------------------------------------------------------
  // Each group of emitters is defined in its own source file beside this one.

  // Colours (ColorEmitter.cpp)

  /// The SwiftUI colour expression of a CSS colour: a SwiftUI colour name
  /// ("Color.red", ".red" with `init`), a grey ("Color(white: 0.5)"), a
  /// hexadecimal literal ("Color(0xFF8000)", with `hex`; marks the file as
  /// needing its hex initialiser) or the red/green/blue form, each with an
  /// optional ", opacity: ". Nothing for no colour.
  std::optional<std::string> generateColor(const std::optional<CSS::Color>& color, std::optional<CGFloat> opacity,
                                           bool init = false, bool hex = false);

  // Transforms (TransformEmitter.cpp)

  /// One text per step: the initialiser of the first, then a modifier per further step.
  std::vector<std::string> generateTransform(const std::vector<SwiftUIModel::TransformStep>& steps,
                                             bool init = false);
  /// "CGAffineTransform(translationX: 1, y: 2)" and the like; ".init(" with `init`.
  std::string initTransform(const SwiftUIModel::TransformStep& step, bool init = false);
  /// "CGAffineTransform(a: ..., ty: ...)", or "CGAffineTransform.identity".
  std::string initTransform(const CGAffineTransform& transform, bool init = false);
  /// ".translatedBy(x: 1, y: 2)" and the like.
  std::string modifyTransform(const SwiftUIModel::TransformStep& step);
  /// The steps as one expression; further steps one level deeper on lines of their own.
  std::string exportTransform(const std::vector<SwiftUIModel::TransformStep>& steps);

  // Fill and stroke (PaintEmitter.cpp)

  /// The shape instance line with its fill and stroke modifiers, or a
  /// "ZStack" of a filled and a stroked instance when it has both. Says
  /// whether it wrote the "ZStack" block.
  bool exportFillAndStrokeOfShapeView(const SwiftUIModel::ShapeDrawing& drawing, const std::string& shapeInstance);
  /// "StrokeStyle(" with the members that differ from the default style, ")".
  std::string generateStrokeStyle(const SwiftUIModel::StrokeStyle& style, bool infoComments);

  // Point frames and placement (FrameEmitter.cpp)

  /// The frame and placement lines of a child; nothing for a text.
  void exportPointFrame(const SwiftUIModel::Subview& child, bool useOffset);
  /// The frame and placement lines of a view with an optional size and origin.
  template <typename View>
    requires std::derived_from<View, SwiftUIModel::SUIViewFrameableType> &&
             std::derived_from<View, SwiftUIModel::SUIViewPositionableType>
  void exportPointFrame(const View& view, bool useOffset) {
    exportPointFrame(view.origin ? std::optional(view.origin->x) : std::nullopt,
                     view.origin ? std::optional(view.origin->y) : std::nullopt,
                     view.intrinsicSize ? std::optional(view.intrinsicSize->width) : std::nullopt,
                     view.intrinsicSize ? std::optional(view.intrinsicSize->height) : std::nullopt, useOffset);
  }
  /// The frame and placement lines of a frame in points with optional `x`, `y`, `w` and `h`.
  template <typename Frame>
    requires requires(const Frame& frame) {
      { frame.x } -> std::convertible_to<std::optional<CGFloat>>;
      { frame.h } -> std::convertible_to<std::optional<CGFloat>>;
    }
  void exportPointFrame(const Frame& frame, bool useOffset) {
    exportPointFrame(frame.x, frame.y, frame.w, frame.h, useOffset);
  }
  /// A frame line for the present sides ("nil" for a missing one), then a
  /// position line (`useOffset`, a missing coordinate as 0) or the leading
  /// and top paddings of the non-zero coordinates.
  void exportPointFrame(std::optional<CGFloat> x, std::optional<CGFloat> y, std::optional<CGFloat> w,
                        std::optional<CGFloat> h, bool useOffset);
  /// ".frame(width: W, height: H)", or "" for no size.
  std::string generateFixFrameModifier(std::optional<CGSize> size);
  /// ".position(x: X, y: Y)", or nothing for no point.
  std::optional<std::string> generatePositionModifier(std::optional<CGPoint> point);
  /// The "static let viewBox = CGRect(...)" line; nothing for no rectangle.
  void exportViewBoxProperty(std::optional<CGRect> viewBox);

  // Shape and path views (ShapeEmitter.cpp)

  /// The view struct of a path with its nested `Shape` type. `svgID` is not used.
  void exportPathViewType(const SwiftUIModel::PathViewType& view,
                          const std::optional<std::string>& svgID = std::nullopt);
  void exportCircleViewType(const SwiftUIModel::CircleViewType& view);
  void exportEllipseViewType(const SwiftUIModel::EllipseViewType& view);
  /// "Rectangle()", or "RoundedRectangle(cornerRadius: r)" when a radius is given.
  void exportRectangleViewType(const SwiftUIModel::RectangleViewType& view);
  /// Appends `text` exactly as given: no indentation, no newline.
  void appendVerbatim(std::string_view text) {
    swift_.append(text);
    checkOutputLimit();
  }

  // Filter references (FilterReferenceEmitter.cpp)

  /// The filter and transform effect modifiers of a view, one level deeper
  /// unless `indent` is off; nothing when there is neither.
  void exportFilterReference(const std::optional<SwiftUIModel::FilterModifierType>& filter,
                             const std::vector<SwiftUIModel::TransformStep>& transforms, bool indent = true);

  // Gradients (GradientEmitter.cpp)

  /// "static let <id> = LinearGradient(" with its gradient, stops and end points.
  void exportLinearGradientProperty(const SwiftUIModel::LinearGradientProperty& gradient);
  /// "static let <id> = RadialGradient(" with its gradient, stops, centre and radii.
  void exportRadialGradientProperty(const SwiftUIModel::RadialGradientProperty& gradient);

  // Filters (FilterEmitter.cpp)

  /// Whether a filter is written as plain modifiers on the view that uses it:
  /// only with `inlineFiltersIfPossible`, for a filter without a frame whose
  /// group is the source itself or a chain of effects on the source.
  bool inlineFilter(const SwiftUIModel::FilterModifierType& filter);
  /// The "struct <typeName>: ViewModifier {" block of a filter; nothing for an
  /// inlinable filter when `modifiersForInlinableFilters` is off.
  void exportFilterModifier(const SwiftUIModel::FilterModifierType& filter);
  /// A filter group inside `body(content:)`; says whether it ended in a
  /// "ZStack" block rather than a single expression line.
  bool exportFilterGroup(const SwiftUIModel::FilterModifierType::FilterGroup& group);
  /// One modifier line per effect, each followed by its own frame and offset.
  void exportPrimitiveFilterModifiers(const std::vector<SwiftUIModel::FilterModifierType::Primitive>& primitives);
  /// ".frame(width: W, height: H)" for a size, then ".offset(x: X, y: Y)" for an origin.
  void exportFrameOffsetModifiers(std::optional<CGSize> size, std::optional<CGPoint> origin);
  /// The inline form of a filter: its effects, then its frame and offset.
  void exportInlineFilterModifier(const SwiftUIModel::FilterModifierType& filter);
  /// The effects of an inlinable group at the current level; a comment line
  /// for the groups that cannot be inlined.
  void exportInlineFilterGroup(const SwiftUIModel::FilterModifierType::FilterGroup& group);
  /// ".multiply", ".colorDodge" ... of a blend mode.
  static std::string stringForBlendMode(SVG::Filter::Primitive::Blend::Mode mode);

  // Text (TextEmitter.cpp)

  /// The "Text(...)" line of a text child and its paint, font and placement
  /// modifiers one level deeper.
  void exportTextBuilder(const SwiftUIModel::Text& text);
  /// The ".font(...)" line of a font.
  void exportModifierForFont(const CSS::Font& font);
  /// The font expression of a shorthand font: ".system(...)" or ".custom(...)"
  /// with its modifiers; `size` in points, nothing for the sizeless forms.
  std::string generateFont(const CSS::Font::Family& family, CSS::Font::Style style,
                           const CSS::Font::Weight& weight, std::optional<CGFloat> size);
  /// The contents of a Swift string literal that reads back as `text`:
  /// backslash, quote, tab, line feed and carriage return escaped, every
  /// other control character as "\u{...}".
  static std::string escapedStringLiteralContent(std::string_view text);

  // Containers (ContainerEmitter.cpp)

  /// The "// SVG" info comment and the struct of an svg container with its
  /// statics, definitions, nested types and body.
  void exportSVGType(const SwiftUIModel::ContainerViewType& svg);
  /// The struct of a group with its nested types and body.
  void exportGroupViewType(const SwiftUIModel::ContainerViewType& group);
  /// The declaration of each child's view type, in order; none for text.
  void exportChildTypes(const std::vector<SwiftUIModel::Subview>& children);
  /// The resizing members and the `body` of a container.
  void exportGroupBody(const SwiftUIModel::ContainerViewType& container,
                       const std::vector<SwiftUIModel::Subview>& children);
  /// The instances of the children with their modifiers, in "Group" blocks
  /// of at most nine when there are more than nine.
  void exportChildrenBuilder(const std::vector<SwiftUIModel::Subview>& children);

  // Preview provider and hex colour initialiser (PreviewEmitter.cpp)

  /// The file's own `Color` initialiser from 0xRRGGBB values, when a colour
  /// was written that way; nothing otherwise.
  void exportHexColorExtension();
  /// The "<T>_Previews: PreviewProvider" struct that shows the root view.
  void exportPreview(const SwiftUIModel::ContainerViewType& root);

  // The whole file (ExporterEntry.cpp)

  /// The Swift source of a drawing: imports, the root view struct, the hex
  /// colour initialiser and the preview provider, as the options ask.
  static std::string export_(const SVG::SVG& svg, Config config);
  /// The same text from a drawing the caller gives up: the drawing is freed once it is
  /// converted, before the text is written, so that both are never held together.
  static std::string export_(SVG::SVG&& svg, Config config);

 private:
  /// Writes the file around a converted root; `release` runs between conversion and writing.
  template <typename Release>
  static std::string exportDrawing(const SVG::SVG& svg, Config config, Release release);

  // The container emitters for a model that stays (`const ContainerViewType`) and for one that
  // is released as it is written (see `exportSVGTypeReleasing`).
  template <typename Container>
  void writeSVGType(Container& svg);
  template <typename Container>
  void writeGroupViewType(Container& group);
  template <typename Children>
  void writeChildTypes(Children& children);

  /// Restores the depth however the content of a block leaves, so blocks stay balanced.
  struct DepthGuard {
    SVGSwiftUIExporter& exporter;
    int depth;
    ~DepthGuard() { exporter.setIndent(depth); }
  };
  void setIndent(int depth);
  /// The header line of a block, with its info comment when there is one.
  void openBlock(std::string_view header, const std::string* infoComment);
  void closeBlock();

  Config config_;
  DecimalNumberFormatter numberFormatter_;
  SVGConverter::BlockText swift_;
  std::size_t outputLimit_;
  /// Stops the export once the text written passes the limit.
  void checkOutputLimit() const {
    if (swift_.size() > outputLimit_) throw OutputLimitReached();
  }
  int indent_ = 0;
  std::string prefix_;
  bool didUseHexColorInit_ = false;
};
