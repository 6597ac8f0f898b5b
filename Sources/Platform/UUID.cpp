#include "Platform/UUID.h"

#include <uuid/uuid.h>

std::string SVGParser::newUUIDString() {
  uuid_t id;
  uuid_generate_random(id);
  char text[37];
  uuid_unparse_upper(id, text);
  return std::string(text);
}
