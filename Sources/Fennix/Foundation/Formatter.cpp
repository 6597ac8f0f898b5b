#include "Fennix/Foundation/Formatter.h"

#include <unicode/ustring.h>

namespace Fennix {

std::string uppercased(std::string_view text) {
  const std::u16string source = Fennix::utf16FromUTF8(text);
  if (source.empty() || source.size() > INT32_MAX / 4) return std::string(text);
  // Full upper-casing grows a text at most threefold; the first attempt is sized for that.
  std::u16string result(source.size() * 3, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = u_strToUpper(result.data(), static_cast<int32_t>(result.size()), source.data(),
                                static_cast<int32_t>(source.size()), "", &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    result.assign(std::size_t(length), u'\0');
    status = U_ZERO_ERROR;
    length = u_strToUpper(result.data(), length, source.data(), static_cast<int32_t>(source.size()), "", &status);
  }
  if (U_FAILURE(status)) return std::string(text);
  result.resize(std::size_t(length));
  return Fennix::utf8FromUTF16(result);
}

std::string describeAttributedString(const AttributedString& text) {
  std::string result;
  for (const AttributedString::Run& run : text.runs()) {
    result += Fennix::utf8FromUTF16(std::u16string_view(text.utf16()).substr(run.range.location, run.range.length));
    result += run.attributes.description();
  }
  return result;
}

}  // namespace Fennix

std::optional<std::string> QvFormatter::string(const FormatterValue& for_) const {
  struct Visitor {
    std::optional<std::string> operator()(std::monostate) const { return std::nullopt; }
    std::optional<std::string> operator()(const std::string& text) const { return text; }
    std::optional<std::string> operator()(std::int64_t number) const { return std::to_string(number); }
    std::optional<std::string> operator()(const std::shared_ptr<const AttributedString>& text) const {
      return Fennix::describeAttributedString(*text);
    }
    std::optional<std::string> operator()(const FormatterValue::Described& value) const { return value.text; }
  };
  return std::visit(Visitor{}, for_.storage());
}

std::shared_ptr<const AttributedString> QvFormatter::attributedString(
    const FormatterValue& for_, const std::optional<TextAttributes>& withDefaultAttributes) const {
  const std::optional<std::string> text = string(for_);  // the subclass's rendering
  if (!text) return nullptr;
  TextAttributes attributes = withDefaultAttributes.value_or(TextAttributes{});
  if (const auto* value = for_.attributedString()) {
    const AttributedString& original = **value;
    if (original.string() == *text) return *value;
    // An empty value has no first character; it keeps the given attributes.
    if (original.length() > 0) attributes = original.attributes(0);
  }
  return std::make_shared<const AttributedString>(std::string_view(*text), attributes);
}

bool QvFormatter::getObjectValue(FormatterValue* value, const std::string& for_,
                                 std::optional<std::string>* errorDescription) const {
  if (errorDescription != nullptr) *errorDescription = std::nullopt;
  if (value != nullptr) *value = FormatterValue(for_);
  return true;
}

std::optional<std::string> QvUppercaseFormatter::string(const FormatterValue& for_) const {
  struct Visitor {
    std::optional<std::string> operator()(std::monostate) const { return std::nullopt; }
    std::optional<std::string> operator()(const std::string& text) const { return Fennix::uppercased(text); }
    std::optional<std::string> operator()(std::int64_t number) const { return std::to_string(number); }
    std::optional<std::string> operator()(const std::shared_ptr<const AttributedString>& text) const {
      return Fennix::uppercased(text->string());
    }
    std::optional<std::string> operator()(const FormatterValue::Described& value) const {
      return Fennix::uppercased(value.text);
    }
  };
  return std::visit(Visitor{}, for_.storage());
}
