#include "SVGParser/Parser/XMLReader.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace {

// The handler of one read, and one attribute list reused for every element so that
// an element start allocates nothing once the list has grown.
struct Reading {
  SVGParser::XMLEventHandler& handler;
  SVG::XMLAttributes attributes;
};

void XMLCALL startElement(void* userData, const XML_Char* name, const XML_Char** attributes) {
  auto& reading = *static_cast<Reading*>(userData);
  reading.attributes.clear();
  for (std::size_t i = 0; attributes[i] && attributes[i + 1]; i += 2) {
    reading.attributes.add(attributes[i], attributes[i + 1]);
  }
  reading.handler.didStartElement(name, reading.attributes);
}

void XMLCALL endElement(void* userData, const XML_Char* name) {
  static_cast<Reading*>(userData)->handler.didEndElement(name);
}

void XMLCALL characterData(void* userData, const XML_Char* text, int length) {
  if (length > 0) {
    static_cast<Reading*>(userData)->handler.foundCharacters(std::string_view(text, static_cast<std::size_t>(length)));
  }
}

struct ParserDeleter {
  void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

}  // namespace

bool SVGParser::readXML(std::string_view bytes, SVGParser::XMLEventHandler& handler) {
  // No namespace processing: names arrive as written, prefixes included. Without an
  // external entity handler nothing outside the document is ever read, and expat's
  // amplification limits guard against entity expansion attacks.
  std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate(nullptr));
  if (!parser) return false;
  Reading reading{handler, {}};
  XML_SetUserData(parser.get(), &reading);
  XML_SetElementHandler(parser.get(), startElement, endElement);
  XML_SetCharacterDataHandler(parser.get(), characterData);
  XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);

  constexpr std::size_t chunkSize = std::size_t{1} << 28;
  do {
    const std::size_t length = std::min(bytes.size(), chunkSize);
    const bool isFinal = length == bytes.size();
    if (XML_Parse(parser.get(), bytes.data(), static_cast<int>(length), isFinal) != XML_STATUS_OK) {
      return false;
    }
    bytes.remove_prefix(length);
  } while (!bytes.empty());
  return true;
}

SVGParser::XMLTape::Span SVGParser::XMLTape::keep(std::string_view text) {
  const Span span{text_.size(), text.size()};
  text_.append(text);
  return span;
}

void SVGParser::XMLTape::didStartElement(std::string_view name, const SVG::XMLAttributes& attributes) {
  const Span nameSpan = keep(name);
  for (const auto& [attributeName, value] : attributes) {
    const Span nameText = keep(attributeName);
    attributes_.emplace_back(nameText, keep(value));
  }
  events_.push_back({Kind::start, nameSpan, attributes.size()});
  openNames_.push_back(nameSpan);
}

void SVGParser::XMLTape::didEndElement(std::string_view name) {
  // The reader only accepts an end tag that matches the open element, whose name is kept already.
  if (openNames_.empty()) {
    events_.push_back({Kind::end, keep(name), 0});
    return;
  }
  events_.push_back({Kind::end, openNames_.back(), 0});
  openNames_.pop_back();
}

void SVGParser::XMLTape::foundCharacters(std::string_view characters) {
  if (!events_.empty() && events_.back().kind == Kind::characters) {
    // Nothing was kept since that piece, so this one continues it in the text.
    events_.back().text.size += characters.size();
    text_.append(characters);
    return;
  }
  events_.push_back({Kind::characters, keep(characters), 0});
}

void SVGParser::XMLTape::replay(XMLEventHandler& handler) const {
  SVG::XMLAttributes attributes;
  auto nextAttribute = attributes_.begin();
  for (const auto& event : events_) {
    switch (event.kind) {
      case Kind::start:
        attributes.clear();
        for (std::size_t i = 0; i < event.attributeCount; ++i, ++nextAttribute) {
          attributes.add(view(nextAttribute->first), view(nextAttribute->second));
        }
        handler.didStartElement(view(event.text), attributes);
        break;
      case Kind::end:
        handler.didEndElement(view(event.text));
        break;
      case Kind::characters:
        handler.foundCharacters(view(event.text));
        break;
    }
  }
}
