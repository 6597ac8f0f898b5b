// The SwiftUI source generator: writes one Swift file through its own stream.
#pragma once

#include "SVGConverter/Exporter/CodeGenerationStream.h"
#include "SVGConverter/Exporter/DecimalNumberFormatter.h"
#include "SVGConverter/Exporter/SVGSwiftUIExporterConfig.h"

#include <optional>
#include <string>

/// One exporter per export: it holds the options, the growing output text and
/// the current indentation, and is the stream every emitter writes through.
class SVGSwiftUIExporter : public CodeGenerationStream {
 public:
  using Config = SVGSwiftUIExporterConfig;

  explicit SVGSwiftUIExporter(Config config);

  const Config& config() const { return config_; }
  /// The text written so far.
  const std::string& swift() const { return swift_; }
  void setSwift(std::string swift) { swift_ = std::move(swift); }
  /// Current nesting depth and its indentation text.
  int indent() const { return indent_; }
  const std::string& prefix() const { return prefix_; }

  // ---- CodeGenerationStream -------------------------------------------------

  using CodeGenerationStream::block;
  using CodeGenerationStream::nest;
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

  // ---- Static frame properties ----------------------------------------------

  /// Writes the static `intrinsicSize` and `origin` properties of a view type
  /// when `force` or `frameAsProperty` is set; says whether it wrote anything.
  bool exportIntrinsicSize(std::optional<CGPoint> origin, std::optional<CGSize> size, bool force = false);

  // ---- Emitters ---------------------------------------------------------------
  // Each group of emitters is defined in its own source file beside this one.

 private:
  void setIndent(int depth);

  Config config_;
  DecimalNumberFormatter numberFormatter_;
  std::string swift_;
  int indent_ = 0;
  std::string prefix_;
  bool didUseHexColorInit_ = false;
};
