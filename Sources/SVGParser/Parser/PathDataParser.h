// The error of the path-data reader (`SVG::Command::parseCommandsString`).
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <variant>

namespace SVG {

/// Why a path's `d` text was given up. Thrown by `Command::parseCommandsString`;
/// the parse driver catches it, reports it and leaves the path out.
class CommandParserError : public std::exception {
 public:
  /// The collected number text that did not convert (may be empty).
  struct CouldNotParseNumber {
    std::string text;
    bool operator==(const CouldNotParseNumber&) const = default;
  };
  /// Declared for completeness; the reader never raises it.
  struct UnexpectedArgumentCount {
    int count;
    bool operator==(const UnexpectedArgumentCount&) const = default;
  };
  /// A byte that can neither start nor continue the path where it stands.
  struct InvalidCommandChar {
    std::uint8_t byte;
    bool operator==(const InvalidCommandChar&) const = default;
  };
  /// The command letter (as written) whose argument set was cut short.
  struct MissingArgument {
    std::uint8_t letter;
    bool operator==(const MissingArgument&) const = default;
  };
  /// The collected number bytes are not UTF-8 text.
  struct UnexpectedUTF8Sequence {
    bool operator==(const UnexpectedUTF8Sequence&) const = default;
  };
  using Variant = std::variant<CouldNotParseNumber, UnexpectedArgumentCount, InvalidCommandChar,
                               MissingArgument, UnexpectedUTF8Sequence>;

  template <typename Case>
    requires std::is_constructible_v<Variant, Case>
  CommandParserError(Case error) : value_(std::move(error)), text_(describe(value_)) {}

  const Variant& variant() const { return value_; }
  template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

  /// The case name with its payload: missingArgument(76), couldNotParseNumber("1e").
  const std::string& description() const { return text_; }
  const char* what() const noexcept override { return text_.c_str(); }

  bool operator==(const CommandParserError& other) const { return value_ == other.value_; }

 private:
  static std::string describe(const Variant& value);

  Variant value_;
  std::string text_;
};

}  // namespace SVG
