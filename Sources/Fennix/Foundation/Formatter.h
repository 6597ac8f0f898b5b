// Formatters: what a text entry or a cell asks to turn its object value into display text and
// edited text back into an object value.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

#include "Fennix/Foundation/Text/AttributedString.h"
#include "Fennix/console/Logger.h"

/// The object value of an entry or cell: absent, a text, an integer, an attributed string
/// (shared, so that a formatter can hand the same object back), or any other value by its text.
class FormatterValue {
 public:
  /// Any other value: its text, and whether the value has a textual description of its own
  /// (rather than the default rendering of its type).
  struct Described {
    std::string text;
    bool ownDescription = false;
    bool operator==(const Described& other) const = default;
  };
  using Storage = std::variant<std::monostate, std::string, std::int64_t,
                               std::shared_ptr<const AttributedString>, Described>;

  FormatterValue() = default;
  FormatterValue(std::nullopt_t) {}
  FormatterValue(std::string text) : storage_(std::move(text)) {}
  FormatterValue(const char* text) : storage_(std::string(text != nullptr ? text : "")) {}
  FormatterValue(std::shared_ptr<const AttributedString> text) {
    if (text) storage_ = std::move(text);
  }
  template <typename Integer>
    requires(std::is_integral_v<Integer> && !std::is_same_v<Integer, bool> && !std::is_same_v<Integer, char>)
  FormatterValue(Integer number) : storage_(static_cast<std::int64_t>(number)) {}
  FormatterValue(Described value) : storage_(std::move(value)) {}

  /// Any value the log lines can describe: its own `description()` counts as its own
  /// description, anything else (numbers, Booleans) is rendered by its type's default form.
  template <typename T>
  static FormatterValue describing(const T& value) {
    return Described{logvalue::describe(value).value_or("nil"), logvalue::Describable<T>};
  }

  bool isAbsent() const { return std::holds_alternative<std::monostate>(storage_); }
  const Storage& storage() const { return storage_; }
  const std::string* text() const { return std::get_if<std::string>(&storage_); }
  const std::shared_ptr<const AttributedString>* attributedString() const {
    return std::get_if<std::shared_ptr<const AttributedString>>(&storage_);
  }

  bool operator==(const FormatterValue& other) const = default;

 private:
  Storage storage_;
};

/// The platform's formatter interface.
class Formatter {
 public:
  virtual ~Formatter() = default;
  /// Display text of a value; none for an absent value.
  virtual std::optional<std::string> string(const FormatterValue& for_) const = 0;
  virtual std::shared_ptr<const AttributedString> attributedString(
      const FormatterValue& for_, const std::optional<TextAttributes>& withDefaultAttributes) const = 0;
  /// Turns edited text into a value; false (with a reason in `errorDescription`) rejects it.
  virtual bool getObjectValue(FormatterValue* value, const std::string& for_,
                              std::optional<std::string>* errorDescription) const = 0;
};

/// Shows any value by its text and hands edited text back unchanged.
class QvFormatter : public Formatter {
 public:
  std::optional<std::string> string(const FormatterValue& for_) const override;
  /// The formatted text with the default attributes; for an attributed value, the value itself
  /// when its text is unchanged, else the text with the attributes of its first character.
  std::shared_ptr<const AttributedString> attributedString(
      const FormatterValue& for_, const std::optional<TextAttributes>& withDefaultAttributes) const override;
  /// Never rejects: the value becomes the text and the error none.
  bool getObjectValue(FormatterValue* value, const std::string& for_,
                      std::optional<std::string>* errorDescription) const override;
};

/// Shows values upper-cased by the full Unicode mapping, whatever the locale ("ß" becomes "SS").
/// Integers show their decimal digits.
class QvUppercaseFormatter : public QvFormatter {
 public:
  std::optional<std::string> string(const FormatterValue& for_) const override;
};

namespace Fennix {

/// Upper-cases UTF-8 text by the full Unicode mapping of the root locale.
std::string uppercased(std::string_view text);

/// The default text of an attributed string: each run's text followed by its attributes.
std::string describeAttributedString(const AttributedString& text);

}  // namespace Fennix
