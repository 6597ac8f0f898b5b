// SVG text from files and drops: parsing and generating code never crash, hang or recurse
// without bound.
#include <cstdint>
#include <string>

#include "SVGQuarvel/Model/SVGQuarvelDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const SVGQuarvelConfiguration config;
  std::string svg(reinterpret_cast<const char*>(data), size);
  try {
    (void)SVGQuarvelDocument::Snapshot::fromSVGString(std::move(svg), std::string("fuzz.svg"), config);
  } catch (const CocoaError&) {
    // code that a document could not hold: refused, as documented
  }
  return 0;
}
