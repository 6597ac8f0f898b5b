// Document files: text that is not a document is refused with the documented error only, and a
// document read back writes the same texts again.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "SVGQuarvel/Model/SVGQuarvelDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view json(reinterpret_cast<const char*>(data), size);
  std::optional<SVGQuarvelDocument::Snapshot> snapshot;
  try {
    snapshot = SVGQuarvelDocument::Snapshot::fromJSONString(json);
  } catch (const SVGQuarvelConfiguration::DecodingError&) {
    return 0;
  }
  std::string written;
  try {
    written = snapshot->jsonString();
  } catch (const CocoaError&) {
    return 0;  // texts that are not UTF-8 are not written
  }
  const auto again = SVGQuarvelDocument::Snapshot::fromJSONString(written);
  if (again.svg != snapshot->svg || again.swift != snapshot->swift) std::abort();
  return 0;
}
