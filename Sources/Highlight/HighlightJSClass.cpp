#include "Highlight/HighlightJSClass.h"

#include <array>

namespace {

constexpr std::array<std::string_view, highlightJSClassCount> rawValues = {
    "hljs",
    "hljs-addition",
    "hljs-attribute",
    "hljs-attr",
    "bash",
    "hljs-built_in",
    "hljs-builtin-name",
    "hljs-bullet",
    "hljs-class",
    "hljs-code",
    "hljs-comment",
    "hljs-deletion",
    "hljs-doctag",
    "hljs-emphasis",
    "hljs-formula",
    "hljs-function",
    "javascript",
    "hljs-keyword",
    "hljs-link",
    "hljs-literal",
    "hljs-meta",
    "hljs-meta-keyword",
    "hljs-meta-string",
    "hljs-name",
    "hljs-number",
    "hljs-params",
    "hljs-quote",
    "hljs-regexp",
    "hljs-section",
    "hljs-selector-tag",
    "hljs-selector-attr",
    "hljs-selector-class",
    "hljs-selector-id",
    "hljs-selector-pseudo",
    "hljs-subst",
    "hljs-string",
    "hljs-strong",
    "hljs-symbol",
    "hljs-tag",
    "hljs-template-tag",
    "hljs-template-variable",
    "hljs-title",
    "hljs-type",
    "hljs-variable",
    "xml",
};

static_assert(int(HighlightJSClass::xml) + 1 == highlightJSClassCount);

}  // namespace

std::string_view rawValue(HighlightJSClass value) { return rawValues[std::size_t(value)]; }

std::optional<HighlightJSClass> highlightJSClassFromRawValue(std::string_view rawValue) {
  for (std::size_t i = 0; i < rawValues.size(); ++i) {
    if (rawValues[i] == rawValue) return HighlightJSClass(i);
  }
  return std::nullopt;
}
