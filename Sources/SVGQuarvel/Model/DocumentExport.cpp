// The generation pipeline: SVG text and settings in, SwiftUI source with an
// optional comment holding the SVG, and a failure flag, out.
#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "Fennix/console/Console.h"
#include "Platform/Text/Text.h"
#include "SVGConverter/Utilities/BidiControls.h"
#include "SVGQuarvel/Model/DocumentFile.h"
#include "SVGQuarvel/Model/Generation.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"

namespace {

/// The length of the Unicode white space or line break at the start of `text`, 0 when there is none.
std::size_t whitespaceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
  const unsigned char lead = byte(0);
  if (lead == ' ' || (lead >= 0x09 && lead <= 0x0D)) return 1;
  if (lead == 0xC2 && (byte(1) == 0x85 || byte(1) == 0xA0)) return 2;                   // U+0085, U+00A0
  if (lead == 0xE1 && byte(1) == 0x9A && byte(2) == 0x80) return 3;                     // U+1680
  if (lead == 0xE2 && byte(1) == 0x80 && (byte(2) <= 0x8A || byte(2) == 0xA8 ||         // U+2000-200A,
                                          byte(2) == 0xA9 || byte(2) == 0xAF)) {        // U+2028, 2029, 202F
    return 3;
  }
  if (lead == 0xE2 && byte(1) == 0x81 && byte(2) == 0x9F) return 3;                     // U+205F
  if (lead == 0xE3 && byte(1) == 0x80 && byte(2) == 0x80) return 3;                     // U+3000
  return 0;
}

bool isBlank(std::string_view text) {
  while (!text.empty()) {
    const std::size_t length = whitespaceLength(text);
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

/// A line of SVG as comment text: a backslash goes between "*" and "/" and between "/" and "*",
/// so that the line can neither end the comment nor open a nested one; and a control that would
/// change the order in which the code around it displays is written as its escape.
void appendNeutralised(std::string& out, std::string_view line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (const char32_t control = SVGConverter::bidiControlAt(line, i)) {
      out += SVGConverter::bidiControlEscape(control);
      i += 2;
      continue;
    }
    out += line[i];
    if (i + 1 < line.size() && ((line[i] == '*' && line[i + 1] == '/') || (line[i] == '/' && line[i + 1] == '*'))) {
      out += '\\';
    }
  }
}

/// The end of the line of `svg` that starts at `start`: the next line feed that is not the second
/// half of a carriage return and line feed, which together are one character that ends no line.
std::size_t lineEnd(std::string_view svg, std::size_t start) {
  std::size_t end = svg.find('\n', start);
  while (end != std::string_view::npos && end > start && svg[end - 1] == '\r') end = svg.find('\n', end + 1);
  return end == std::string_view::npos ? svg.size() : end;
}

/// The comment holding the SVG, one comment line per non-empty line of SVG. A carriage return
/// stays in its line, inside the block comment.
std::string svgComment(std::string_view svg) {
  std::string comment = "/**\n * Generated from SVG:\n * \n";
  comment.reserve(comment.size() + svg.size() + svg.size() / 8 + 16);
  std::size_t start = 0;
  while (start < svg.size()) {
    const std::size_t end = lineEnd(svg, start);
    if (end > start) {
      comment += " *     ";
      appendNeutralised(comment, svg.substr(start, end - start));
      comment += '\n';
    }
    start = end + 1;
  }
  comment += " * \n";
  comment += " */\n";
  return comment;
}

/// The result of a generation: the code after the comment, or the failure comment.
SVGQuarvelDocument::ExportResult finish(std::string_view svgString, std::optional<std::string> code,
                                        std::string comment) {
  if (!code) {
    console::warn("Parsing of SVG failed.");
    if (isBlank(svgString)) return {"// Empty SVG\n", false};
    return {"// Could not parse SVG\n", true};
  }
  if (code->empty() || comment.empty()) return {std::move(*code), false};
  comment += *code;
  return {std::move(comment), false};
}

}  // namespace

bool SVGQuarvelDocument::isBlankSVG(std::string_view svgString) { return isBlank(svgString); }

SVGQuarvelDocument::ExportResult SVGQuarvelDocument::export_(std::string_view svgString,
                                                             const SVGQuarvelConfiguration& config) {
  // Text typed or pasted past the size of the drawings that open is kept in the editor but not
  // converted: a document holding it would not open again, and converting it would hold up every
  // keystroke.
  if (svgString.size() > maximumOpenedSVGBytes) {
    const std::string message = tooLargeToOpenMessage(std::nullopt, svgString.size());
    console::error(message);
    return {"// " + message + "\n", true};
  }
  const std::size_t limit = maximumGeneratedSwiftBytes(svgString.size());
  if (auto result = export_(svgString, config, limit)) return std::move(*result);
  const std::string message = swiftTooLargeMessage(std::nullopt, limit);
  console::error(message);
  return {"// " + message + "\n", true};
}

std::size_t SVGQuarvelDocument::maximumGeneratedSwiftBytes(std::size_t svgBytes) {
  return std::min(maximumOpenedSwiftBytes, generation::outputLimit(svgBytes));
}

std::string SVGQuarvelDocument::swiftTooLargeMessage(const std::optional<std::string>& filename, std::size_t limit) {
  const std::string drawing = filename ? "The drawing \u201c" + *filename + "\u201d" : std::string("The drawing");
  return drawing + " is too large to open: its Swift code would have more than " + SVGQuarvel::byteSizeText(limit) +
         "; documents of at most " + SVGQuarvel::byteSizeText(maximumOpenedSwiftBytes) + " of Swift text open.";
}

std::optional<SVGQuarvelDocument::ExportResult> SVGQuarvelDocument::export_(std::string_view svgString,
                                                                            const SVGQuarvelConfiguration& config,
                                                                            std::size_t maximumBytes) {
  console::log("rebuilding SVG ...", QuarvelText::characterCount(svgString));
  // The comment is known before the code: the code gets what room is left.
  std::string comment = config.prefixSVG && !svgString.empty() ? svgComment(svgString) : std::string();
  if (comment.size() > maximumBytes) return std::nullopt;
  bool limitReached = false;
  auto code = generation::swiftUISource(svgString, config, maximumBytes - comment.size(), limitReached);
  if (limitReached) return std::nullopt;
  return finish(svgString, std::move(code), std::move(comment));
}
