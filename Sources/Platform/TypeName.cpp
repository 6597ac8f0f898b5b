#include "Platform/TypeName.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

namespace Fennix {

std::string demangledName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
  if (status != 0 || name == nullptr) return type.name();
  return name.get();
}

namespace {

bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':' ||
         c == ' ' || c == '(' || c == ')';
}

/// The platform names of the standard value types, by their unqualified C++ spelling.
std::string platformName(std::string name) {
  static const std::pair<const char*, const char*> names[] = {
      {"long", "Int"},           {"signed char", "Int8"},    {"short", "Int16"},
      {"int", "Int32"},          {"long long", "Int64"},     {"unsigned long", "UInt"},
      {"unsigned char", "UInt8"}, {"unsigned short", "UInt16"}, {"unsigned int", "UInt32"},
      {"unsigned long long", "UInt64"}, {"float", "Float"},  {"double", "Double"},
      {"bool", "Bool"},          {"basic_string<char, char_traits<char>, allocator<char> >", "String"},
      {"basic_string<char, char_traits<char>, allocator<char>>", "String"},
  };
  for (const auto& [cxx, platform] : names) {
    if (name == cxx) return platform;
  }
  return name;
}

}  // namespace

std::string unqualifiedTypeName(std::string_view name) {
  // Keep the last component of every qualified name; a component runs over letters, digits,
  // "_" and "::" (and the blanks of "unsigned int"). Template arguments are handled as they come.
  std::string result;
  std::string component;
  const auto flush = [&] {
    // Drop everything up to the last "::" outside parentheses.
    std::size_t cut = std::string::npos;
    int depth = 0;
    for (std::size_t i = 0; i + 1 < component.size(); ++i) {
      if (component[i] == '(') ++depth;
      if (component[i] == ')') --depth;
      if (depth == 0 && component[i] == ':' && component[i + 1] == ':') cut = i + 2;
    }
    const std::size_t blanks = component.find_first_not_of(' ');
    std::string last = cut == std::string::npos ? component : component.substr(cut);
    if (cut != std::string::npos && blanks != std::string::npos) last = component.substr(0, blanks) + last;
    while (!last.empty() && last.back() == ' ') last.pop_back();
    result += last;
    component.clear();
  };
  for (char c : name) {
    if (isNameCharacter(c)) {
      component += c;
    } else {
      flush();
      result += c;
    }
  }
  flush();
  // Replace standard spellings, innermost first, by re-reading the arguments.
  std::size_t depth = 0;
  std::vector<std::string> stack{std::string()};
  for (char c : result) {
    if (c == '<') {
      stack.back() += c;
      stack.emplace_back();
      ++depth;
    } else if ((c == ',' || c == '>') && depth > 0) {
      std::string argument = stack.back();
      std::size_t start = argument.find_first_not_of(' ');
      std::string trimmed = start == std::string::npos ? std::string() : argument.substr(start);
      std::string prefix = start == std::string::npos ? argument : argument.substr(0, start);
      stack.back() = prefix + platformName(trimmed);
      if (c == ',') {
        stack.back() += c;
        std::string done = stack.back();
        stack.pop_back();
        stack.back() += done;
        stack.emplace_back();
      } else {
        std::string done = stack.back();
        stack.pop_back();
        stack.back() += done + c;
        --depth;
      }
    } else {
      stack.back() += c;
    }
  }
  while (stack.size() > 1) {
    std::string done = stack.back();
    stack.pop_back();
    stack.back() += done;
  }
  return platformName(stack.front());
}

}  // namespace Fennix
