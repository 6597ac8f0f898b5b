#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SVGConverter/Utilities/PrefixLines.h"

#include <utility>

SVGSwiftUIExporter::SVGSwiftUIExporter(Config config)
    : config_(std::move(config)),
      numberFormatter_(config_.maximumFractionDigits, config_.useThousandsSeparator ? "_" : ""),
      outputLimit_(config_.outputLimit == 0 ? std::string().max_size() : config_.outputLimit) {}

void SVGSwiftUIExporter::appendEmptyLine() {
  if (config_.indentEmptyLines) swift_.append(prefix_);
  swift_.append('\n');
  checkOutputLimit();
}

void SVGSwiftUIExporter::writeln(const std::string& line, const std::optional<std::string>& comment,
                                 const std::optional<std::string>& infoComment) {
  swift_.append(prefix_);
  swift_.append(line);
  const bool writeInfo = infoComment && config_.infoComments;
  if (comment) {
    swift_.append(" // ");
    swift_.append(*comment);
    if (writeInfo) {
      swift_.append(", Info:");
      swift_.append(*infoComment);
    }
  } else if (writeInfo) {
    swift_.append(" // ");
    swift_.append(*infoComment);
  }
  swift_.append('\n');
  checkOutputLimit();
}

void SVGSwiftUIExporter::writelnInfoComment(const std::string& infoComment) {
  if (!config_.infoComments) return;
  swift_.append(prefix_);
  swift_.append("// ");
  swift_.append(infoComment);
  swift_.append('\n');
  checkOutputLimit();
}

void SVGSwiftUIExporter::writeLines(const std::string& text) {
  swift_.append(SVGConverter::prefixLines(text, prefix_));
  checkOutputLimit();
}

void SVGSwiftUIExporter::openBlock(std::string_view header, const std::string* infoComment) {
  swift_.append(prefix_);
  swift_.append(header);
  if (header.find('{') == std::string_view::npos) swift_.append(" {");
  if (config_.infoComments && infoComment && !infoComment->empty()) {
    swift_.append(" // ");
    swift_.append(*infoComment);
  }
  if (swift_.empty() || swift_.back() != '\n') swift_.append('\n');
}

void SVGSwiftUIExporter::closeBlock() {
  swift_.append(prefix_);
  swift_.append("}\n");
  checkOutputLimit();
}

void SVGSwiftUIExporter::block(const std::string& header, const std::optional<std::string>& infoComment,
                               const Content& exportContent) {
  openBlock(header, infoComment ? &*infoComment : nullptr);
  nest(exportContent);
  closeBlock();
}

void SVGSwiftUIExporter::nest(bool active, const Content& exportContent) {
  if (!active) {
    exportContent();
    return;
  }
  const DepthGuard guard{*this, indent_};
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
    line("static let intrinsicSize = CGSize(width: ", Number{size->width}, ", height: ", Number{size->height}, ')');
    if (!origin) return true;
  } else {
    if (!origin) return false;
    appendEmptyLine();
  }
  line("static let origin        = ", PointLiteral{"CGPoint", *origin});
  return true;
}
