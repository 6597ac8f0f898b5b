// Type names as the platform prints them: without namespace qualification, with generic
// arguments, the library's value types by their platform names ("Int", "String").
#pragma once

#include <string>
#include <string_view>
#include <typeinfo>

namespace Fennix {

/// The demangled C++ name of a type.
std::string demangledName(const std::type_info& type);

/// `name` with every namespace or enclosing-type qualification dropped, also inside template
/// arguments ("Outer::Inner" gives "Inner", "Box<Outer::Inner>" gives "Box<Inner>"), and the
/// standard value types under their platform names.
std::string unqualifiedTypeName(std::string_view name);

/// The unqualified name of a type.
inline std::string typeName(const std::type_info& type) { return unqualifiedTypeName(demangledName(type)); }

template <typename T>
std::string typeName() {
  return typeName(typeid(T));
}

}  // namespace Fennix
