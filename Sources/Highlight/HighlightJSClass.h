// The class names highlight.js gives the spans of its tokens.
#pragma once

#include <optional>
#include <string_view>

enum class HighlightJSClass {
  DEFAULT,
  addition,
  attribute,
  attr,
  bash,
  builtIn,
  builtinName,
  bullet,
  class_,
  code,
  comment,
  deletion,
  doctag,
  emphasis,
  formula,
  function,
  javascript,
  keyword,
  link,
  literal,
  meta,
  metaKeyword,
  metaString,
  name,
  number,
  params,
  quote,
  regexp,
  section,
  selectorTag,
  selectorAttr,
  selectorClass,
  selectorID,
  selectorPseudo,
  subst,
  string,
  strong,
  symbol,
  tag,
  templateTag,
  templateVariable,
  title,
  type,
  variable,
  xml,
};

inline constexpr int highlightJSClassCount = 45;

/// The class name of a case, e.g. "hljs-keyword".
std::string_view rawValue(HighlightJSClass value);
/// The case of a class name: an exact match of the whole name, so a list of names gives none.
std::optional<HighlightJSClass> highlightJSClassFromRawValue(std::string_view rawValue);
