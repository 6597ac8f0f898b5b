// Fill and stroke modifiers of shape instances.
#include "SVGConverter/Exporter/ExpressionWriters.h"

#include "SVGConverter/SwiftUIModel/Overloaded.h"

#include <array>

using SwiftUIModel::Overloaded;
using SwiftUIModel::Paint;
using SwiftUIModel::ShapeDrawing;
using SwiftUIModel::StrokeStyle;

namespace {

/// The colour of a colour paint, with an ".opacity()" modifier for an opacity below 1.
std::optional<std::string> colorText(SVGSwiftUIExporter& stream, const Paint::Color& paint) {
  std::optional<std::string> text =
      stream.generateColor(paint.color, std::nullopt, false, stream.config().exportHexColorExtension);
  if (text && paint.opacity && *paint.opacity < 1) *text += ".opacity(" + stream.string(*paint.opacity) + ")";
  return text;
}

void appendFillModifiers(SVGSwiftUIExporter& stream, const Paint& paint, bool evenOdd) {
  // The even-odd rule goes with the fill as its style.
  const std::string_view style =
      !evenOdd ? "" : stream.config().preferInitOverType ? ", style: .init(eoFill: true)" : ", style: FillStyle(eoFill: true)";
  stream.nest([&] {
    std::visit(Overloaded{
                   [&](const Paint::Opacity& opacity) {
                     stream.writeln(evenOdd ? ".fill(" + std::string(style.substr(2)) + ")" : std::string(".fill()"));
                     stream.writeln(".opacity(" + stream.string(opacity.opacity) + ")");
                   },
                   [&](const Paint::Property& property) {
                     stream.writeln(".fill(" + property.id + std::string(style) + ")");
                     if (property.opacity) stream.writeln(".opacity(" + stream.string(*property.opacity) + ")");
                   },
                   [&](const Paint::Color& color) {
                     stream.beginLine();
                     stream.put(".fill(");
                     SVGConverter::writeColor(stream, stream, color.color, std::nullopt, false,
                                              stream.config().exportHexColorExtension);
                     if (color.opacity && *color.opacity < 1) {
                       stream.put(".opacity(");
                       stream.put(SVGSwiftUIExporter::Number{*color.opacity});
                       stream.put(')');
                     }
                     stream.put(style);
                     stream.put(')');
                     stream.endLine();
                   },
               },
               paint.variant());
  });
}

void appendStrokeModifiers(SVGSwiftUIExporter& stream, const std::optional<StrokeStyle>& style,
                           const std::optional<Paint>& paint) {
  const auto& config = stream.config();
  std::optional<std::string> styleText;
  if (style) {
    styleText = stream.generateStrokeStyle(*style, config.infoComments);
    if (*styleText == "StrokeStyle()" && config.assumeDefaultStrokeStyle) {
      styleText.reset();
    } else if (config.preferInitOverType && styleText->starts_with("StrokeStyle(")) {
      styleText->replace(0, std::string_view("StrokeStyle").size(), ".init");
    }
  }

  std::optional<std::string> paintText;
  if (paint) {
    if (const auto* property = paint->as<Paint::Property>()) paintText = property->id;
    if (const auto* color = paint->as<Paint::Color>()) paintText = colorText(stream, *color);
  }

  stream.nest([&] {
    if (paintText && styleText) {
      stream.writeln(".stroke(" + *paintText + ", style: " + *styleText + ")");
    } else if (styleText) {
      stream.writeln(".stroke(style: " + *styleText + ")");
    } else if (paintText) {
      stream.writeln(".stroke(" + *paintText + ")");
    } else {
      stream.writeln(".stroke()");
    }
    if (const auto* opacity = paint ? paint->as<Paint::Opacity>() : nullptr) {
      stream.writeln(".opacity(" + stream.string(opacity->opacity) + ")");
    }
    if (const auto* property = paint ? paint->as<Paint::Property>() : nullptr; property && property->opacity) {
      stream.writeln(".opacity(" + stream.string(*property->opacity) + ")");
    }
  });
}

}  // namespace

bool SVGSwiftUIExporter::exportFillAndStrokeOfShapeView(const ShapeDrawing& drawing,
                                                        const std::string& shapeInstance) {
  if (!drawing.stroke && !drawing.strokeStyle) {
    writeln(shapeInstance);
    if (drawing.fill) appendFillModifiers(*this, *drawing.fill, drawing.evenOddFill);
    return false;
  }
  if (!drawing.fill) {
    writeln(shapeInstance);
    appendStrokeModifiers(*this, drawing.strokeStyle, drawing.stroke);
    return false;
  }
  block("ZStack", [&] {
    writeln(shapeInstance);
    appendFillModifiers(*this, *drawing.fill, drawing.evenOddFill);
    writeln(shapeInstance);
    appendStrokeModifiers(*this, drawing.strokeStyle, drawing.stroke);
  });
  return true;
}

std::string SVGSwiftUIExporter::generateStrokeStyle(const StrokeStyle& style, bool infoComments) {
  std::string members;
  const auto add = [&](const std::string& member) {
    if (!members.empty()) members += ", ";
    members += member;
  };
  // A cap or join other than the default; a value without a name only as a comment.
  const auto addNamed = [&](const std::string& label, int value, const std::array<const char*, 3>& names) {
    if (value == 0) return;
    if (value > 0 && value < 3) {
      add(label + ": ." + names[static_cast<std::size_t>(value)]);
    } else if (infoComments) {
      add("/* " + label + ": " + string(value) + " */");
    }
  };
  if (style.lineWidth && *style.lineWidth != 1.0) add("lineWidth: " + string(*style.lineWidth));
  addNamed("lineCap", static_cast<int>(style.lineCap), {"butt", "round", "square"});
  addNamed("lineJoin", static_cast<int>(style.lineJoin), {"miter", "round", "bevel"});
  return "StrokeStyle(" + members + ")";
}
