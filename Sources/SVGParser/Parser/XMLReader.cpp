#include "SVGParser/Parser/XMLReader.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace {

void XMLCALL startElement(void* userData, const XML_Char* name, const XML_Char** attributes) {
  SVG::XMLAttributes map;
  for (std::size_t i = 0; attributes[i] && attributes[i + 1]; i += 2) {
    map.emplace(attributes[i], attributes[i + 1]);
  }
  static_cast<SVGParser::XMLEventHandler*>(userData)->didStartElement(name, map);
}

void XMLCALL endElement(void* userData, const XML_Char* name) {
  static_cast<SVGParser::XMLEventHandler*>(userData)->didEndElement(name);
}

void XMLCALL characterData(void* userData, const XML_Char* text, int length) {
  if (length > 0) {
    static_cast<SVGParser::XMLEventHandler*>(userData)->foundCharacters(
        std::string_view(text, static_cast<std::size_t>(length)));
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
  XML_SetUserData(parser.get(), &handler);
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
