// Highlighter HTML and its character references: conversion never fails or loses text it
// cannot decode.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Highlight/HTMLConversion.h"
#include "Highlight/HTMLUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (auto character = HTMLUtils::decode(text); character && (*character > 0x10FFFF ||
                                                              (*character >= 0xD800 && *character <= 0xDFFF))) {
    std::abort();
  }
  (void)HTMLUtils::decodeNumeric(text, size > 0 ? data[0] % 40 : 10);
  const auto converted = convertHTMLToAttributedString(text, *HighlightJSTheme::default_());
  if (!text.empty() && !converted) std::abort();
  return 0;
}
