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

void SVGParser::XMLTape::didStartElement(std::string_view name, const SVG::XMLAttributes& attributes) {
  text_.append(name);
  for (const auto& [attributeName, value] : attributes) {
    text_.append(attributeName);
    text_.append(value);
    attributeSizes_.push_back(attributeName.size());
    attributeSizes_.push_back(value.size());
  }
  events_.push_back({Kind::start, static_cast<std::uint32_t>(attributes.size()), name.size()});
}

void SVGParser::XMLTape::didEndElement(std::string_view name) {
  text_.append(name);
  events_.push_back({Kind::end, 0, name.size()});
}

void SVGParser::XMLTape::foundCharacters(std::string_view characters) {
  text_.append(characters);
  // Nothing is kept after character data until the next event, so a piece that follows
  // another continues it in the text.
  if (!events_.empty() && events_.back().kind == Kind::characters) {
    events_.back().size += characters.size();
  } else {
    events_.push_back({Kind::characters, 0, characters.size()});
  }
}

void SVGParser::XMLTape::replay(XMLEventHandler& handler) const {
  const std::string_view text = text_;
  std::size_t position = 0;
  const auto take = [&](std::size_t size) {
    const auto taken = text.substr(position, size);
    position += size;
    return taken;
  };
  SVG::XMLAttributes attributes;
  auto nextSize = attributeSizes_.begin();
  for (const auto& event : events_) {
    const auto content = take(event.size);  // the name, or the character data
    switch (event.kind) {
      case Kind::start:
        attributes.clear();
        for (std::uint32_t i = 0; i < event.attributeCount; ++i) {
          const auto attributeName = take(*nextSize++);
          attributes.add(attributeName, take(*nextSize++));
        }
        handler.didStartElement(content, attributes);
        break;
      case Kind::end:
        handler.didEndElement(content);
        break;
      case Kind::characters:
        handler.foundCharacters(content);
        break;
    }
  }
}
