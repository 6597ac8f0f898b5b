// The writing interface of the SwiftUI source emitters.
#pragma once

#include "Platform/Geometry.h"

#include <functional>
#include <optional>
#include <string>

/// Writes generated Swift source as whole, indented lines. Emitters write only
/// through these operations: `writeln` for a line, `block` for a header with
/// braces around indented content, `nest` for content one level deeper.
class CodeGenerationStream {
 public:
  using Content = std::function<void()>;

  virtual ~CodeGenerationStream() = default;

  // ---- Requirements --------------------------------------------------------

  /// Set once a colour was written as a hexadecimal literal.
  virtual bool didUseHexColorInit() const = 0;
  virtual void setDidUseHexColorInit(bool value) = 0;

  /// An empty line; it carries the current indentation when the options say so.
  virtual void appendEmptyLine() = 0;
  /// One line at the current depth. A comment is written after " // "; an
  /// info comment follows it as ", Info:" + text, or stands alone after
  /// " // " when there is no comment, and only when info comments are on.
  virtual void writeln(const std::string& line, const std::optional<std::string>& comment,
                       const std::optional<std::string>& infoComment) = 0;
  /// A whole-line "// " info comment; nothing at all when info comments are off.
  virtual void writelnInfoComment(const std::string& infoComment) = 0;
  /// Every line of `text` at the current depth; empty lines stay bare.
  virtual void writeLines(const std::string& text) = 0;
  /// The header, " {" unless the header holds a "{" itself, an optional info
  /// comment, then the content one level deeper and a closing "}" line.
  virtual void block(const std::string& header, const std::optional<std::string>& infoComment,
                     const Content& exportContent) = 0;
  /// Runs the content one level deeper, or at the current depth when not `active`.
  virtual void nest(bool active, const Content& exportContent) = 0;
  /// The text of a number as written into the code.
  virtual std::string string(CGFloat value) = 0;

  // ---- Conveniences ---------------------------------------------------------

  void writeln(const std::string& line) { writeln(line, std::nullopt, std::nullopt); }
  void writeln(const std::string& line, const std::string& comment) { writeln(line, comment, std::nullopt); }
  void writelnWithInfoComment(const std::string& line, const std::string& infoComment) {
    writeln(line, std::nullopt, infoComment);
  }
  void block(const std::string& header, const Content& exportContent) {
    block(header, std::nullopt, exportContent);
  }
  void nest(const Content& exportContent) { nest(true, exportContent); }

  // ---- Geometry literals ----------------------------------------------------
  // With `init` the type name gives way to ".init", for positions that imply it.

  /// "CGSize(width: W, height: H)".
  std::string initCGSize(CGSize size, bool init = false);
  /// "CGPoint(x: X, y: Y)".
  std::string initCGPoint(CGPoint point, bool init = false);
  /// "UnitPoint(x: X, y: Y)".
  std::string initUnitPoint(CGPoint point, bool init = false);
  /// "CGRect(x: X, y: Y, width: W, height: H)"; the origin in shortest
  /// round-trip form ("0.0"), the size as configured.
  std::string initCGRect(CGRect rect, bool init = false);
  /// A short description for comments: "[X,Y WxH]".
  std::string rectInfo(CGRect rect);
};
