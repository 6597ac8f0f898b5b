// The streaming XML reader behind the parse driver: element starts with their
// attributes, element ends and character data, in document order; and a tape that
// keeps the events of one read to hand them on later.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "SVGParser/Parser/XMLAttributes.h"

namespace SVGParser {

/// Receives the events of one read.
class XMLEventHandler {
 public:
  virtual ~XMLEventHandler() = default;
  /// An element starts; `name` and the attribute names are qualified names as written.
  /// The texts are only valid during the call.
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

/// Records the events of a read: the names, attributes and character data are copied
/// one after the other into one text, which the events then take back in order, so the
/// tape takes little more memory than the document. Character data that arrives in
/// pieces is kept as one.
class XMLTape : public XMLEventHandler {
 public:
  /// Room for the texts of a document of this many bytes.
  explicit XMLTape(std::size_t documentSize = 0) { text_.reserve(documentSize); }

  void didStartElement(std::string_view name, const SVG::XMLAttributes& attributes) override;
  void didEndElement(std::string_view name) override;
  void foundCharacters(std::string_view characters) override;

  /// Hands the recorded events to the handler in the order they were read; the texts
  /// stay valid as long as the tape.
  void replay(XMLEventHandler& handler) const;

 private:
  enum class Kind : unsigned char { start, end, characters };
  struct Event {
    Kind kind;
    std::uint32_t attributeCount;  // of a start; the reader holds a whole start tag, so far fewer than 2^32
    std::size_t size;              // of the name, or of the character data
  };

  std::string text_;
  std::vector<Event> events_;
  std::vector<std::size_t> attributeSizes_;  // of each attribute's name and value, in order
};

}  // namespace SVGParser
