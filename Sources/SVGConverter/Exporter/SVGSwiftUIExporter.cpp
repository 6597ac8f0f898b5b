#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SVGConverter/Utilities/PrefixLines.h"

#include <utility>

SVGSwiftUIExporter::SVGSwiftUIExporter(Config config)
    : config_(std::move(config)),
      numberFormatter_(config_.maximumFractionDigits),
      outputLimit_(config_.outputLimit == 0 ? std::string().max_size() : config_.outputLimit) {}

void SVGSwiftUIExporter::appendEmptyLine() {
  if (config_.indentEmptyLines) swift_ += prefix_;
  swift_ += '\n';
  checkOutputLimit();
}

void SVGSwiftUIExporter::writeln(const std::string& line, const std::optional<std::string>& comment,
                                 const std::optional<std::string>& infoComment) {
  swift_ += prefix_;
  swift_ += line;
  const bool writeInfo = infoComment && config_.infoComments;
  if (comment) {
    swift_ += " // ";
    swift_ += *comment;
    if (writeInfo) {
      swift_ += ", Info:";
      swift_ += *infoComment;
    }
  } else if (writeInfo) {
    swift_ += " // ";
    swift_ += *infoComment;
  }
  swift_ += '\n';
  checkOutputLimit();
}

void SVGSwiftUIExporter::writelnInfoComment(const std::string& infoComment) {
  if (!config_.infoComments) return;
  swift_ += prefix_;
  swift_ += "// ";
  swift_ += infoComment;
  swift_ += '\n';
  checkOutputLimit();
}

void SVGSwiftUIExporter::writeLines(const std::string& text) {
  swift_ += SVGConverter::prefixLines(text, prefix_);
  checkOutputLimit();
}

void SVGSwiftUIExporter::block(const std::string& header, const std::optional<std::string>& infoComment,
                               const Content& exportContent) {
  swift_ += prefix_;
  swift_ += header;
  if (header.find('{') == std::string::npos) swift_ += " {";
  if (config_.infoComments && infoComment && !infoComment->empty()) {
    swift_ += " // ";
    swift_ += *infoComment;
  }
  if (swift_.empty() || swift_.back() != '\n') swift_ += '\n';
  nest(true, exportContent);
  swift_ += prefix_;
  swift_ += "}\n";
  checkOutputLimit();
}

void SVGSwiftUIExporter::nest(bool active, const Content& exportContent) {
  if (!active) {
    exportContent();
    return;
  }
  // Restores the depth however the content leaves, so blocks stay balanced.
  struct DepthGuard {
    SVGSwiftUIExporter& exporter;
    int depth;
    ~DepthGuard() { exporter.setIndent(depth); }
  } guard{*this, indent_};
  setIndent(indent_ + 1);
  exportContent();
}

void SVGSwiftUIExporter::setIndent(int depth) {
  // The prefix is always `indentString` repeated `indent` times; it changes
  // only with the depth, by the levels added or dropped.
  for (int level = indent_; level < depth; ++level) prefix_ += config_.indentString;
  if (depth < indent_) prefix_.resize(config_.indentString.size() * static_cast<std::size_t>(depth));
  indent_ = depth;
}

std::string SVGSwiftUIExporter::string(CGFloat value) { return numberFormatter_.string(value); }

bool SVGSwiftUIExporter::exportIntrinsicSize(std::optional<CGPoint> origin, std::optional<CGSize> size,
                                             bool force) {
  if (!force && !config_.frameAsProperty) return false;
  if (size) {
    appendEmptyLine();
    writeln("static let intrinsicSize = " + initCGSize(*size, false));
    if (!origin) return true;
  } else {
    if (!origin) return false;
    appendEmptyLine();
  }
  writeln("static let origin        = CGPoint(x: " + string(origin->x) + ", y: " + string(origin->y) + ")");
  return true;
}
