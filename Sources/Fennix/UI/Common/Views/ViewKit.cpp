#include "Fennix/UI/Common/Views/ViewKit.h"

#include <cstdio>

namespace Fennix {

std::string descriptionPrefix(std::string_view typeName, const void* address) {
  char identity[64];
  std::snprintf(identity, sizeof identity, "ObjectIdentifier(0x%016llx)",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(address)));
  std::string text = identity;
  const std::string zeros = "ObjectIdentifier(0x0000000";
  for (auto at = text.find(zeros); at != std::string::npos; at = text.find(zeros, at + 2)) text.replace(at, zeros.size(), "0x");
  text.pop_back();  // the closing parenthesis
  return std::string(typeName) + ":" + text;
}

}  // namespace Fennix
