// The streaming XML reader behind the parse driver: element starts with their
// attribute maps, element ends and character data, in document order.
#pragma once

#include <string_view>

#include "SVGParser/Parser/XMLAttributes.h"

namespace SVGParser {

/// Receives the events of one read.
class XMLEventHandler {
 public:
  virtual ~XMLEventHandler() = default;
  /// An element starts; `name` and the attribute names are qualified names as written.
  virtual void didStartElement(std::string_view name, const SVG::XMLAttributes& attributes) = 0;
  virtual void didEndElement(std::string_view name) = 0;
  /// Character data (text and CDATA content), possibly in several pieces.
  virtual void foundCharacters(std::string_view characters) = 0;
};

/// Reads the bytes synchronously, without namespace processing, and hands the events
/// to the handler. Entity and character references are resolved; external entities and
/// DTDs are never loaded, and entity expansion is bounded. Returns whether the document
/// is well-formed; events before a failure have already been delivered.
bool readXML(std::string_view bytes, XMLEventHandler& handler);

}  // namespace SVGParser
