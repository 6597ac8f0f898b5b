// The streaming XML reader behind the parse driver: element starts with their
// attributes, element ends and character data, in document order; and a tape that
// keeps the events of one read to hand them on later.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
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
/// into one text, and each event refers to it by position, so the tape takes about as
/// much memory as the document. Character data that arrives in pieces is kept as one.
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
  struct Span {
    std::size_t offset = 0;
    std::size_t size = 0;
  };
  enum class Kind : unsigned char { start, end, characters };
  struct Event {
    Kind kind;
    Span text;                       // the element name, or the character data
    std::size_t attributeCount = 0;  // of a start, taken in order from attributes_
  };

  Span keep(std::string_view text);
  std::string_view view(Span span) const { return std::string_view(text_).substr(span.offset, span.size); }

  std::string text_;
  std::vector<Event> events_;
  std::vector<std::pair<Span, Span>> attributes_;  // names and values of all starts
  std::vector<Span> openNames_;                    // of the elements open while recording
};

}  // namespace SVGParser
