#include "Fennix/UI/Common/ViewControllers/TableCells.h"

#include <cxxabi.h>

#include <map>
#include <mutex>

namespace Fennix {

namespace {
std::mutex objectTypesLock;
std::map<std::type_index, ObjectPointerType>& objectTypes() {
  static auto* types = new std::map<std::type_index, ObjectPointerType>();
  return *types;
}
std::map<std::type_index, InnerObjectBox>& innerBoxes() {
  static auto* boxes = new std::map<std::type_index, InnerObjectBox>();
  return *boxes;
}
}  // namespace

void registerInnerObjectBox(std::type_index boxType, InnerObjectBox inner) {
  std::lock_guard<std::mutex> lock(objectTypesLock);
  innerBoxes().emplace(boxType, inner);
}

InnerObjectBox innerObjectBox(std::type_index boxType) {
  std::lock_guard<std::mutex> lock(objectTypesLock);
  auto found = innerBoxes().find(boxType);
  return found == innerBoxes().end() ? nullptr : found->second;
}

void registerObjectPointerType(std::type_index boxType, ObjectPointerType type) {
  std::lock_guard<std::mutex> lock(objectTypesLock);
  objectTypes().emplace(boxType, type);
}

const ObjectPointerType* objectPointerType(std::type_index boxType) {
  std::lock_guard<std::mutex> lock(objectTypesLock);
  auto found = objectTypes().find(boxType);
  return found == objectTypes().end() ? nullptr : &found->second;
}

const void* dynamicObjectCast(const void* object, const std::type_info& staticClass, const std::type_info& target) {
  if (object == nullptr) return nullptr;
  // The type information of a class is a class type information of the C++ ABI; the runtime's
  // cast reads the whole object and its class from the object's virtual table, and checks the
  // access and uniqueness of what it finds as the language's `dynamic_cast` does.
  const auto* from = dynamic_cast<const abi::__class_type_info*>(&staticClass);
  const auto* to = dynamic_cast<const abi::__class_type_info*>(&target);
  if (from == nullptr || to == nullptr) return nullptr;
  if (*from == *to) return object;
  // -1: nothing is known of how the two classes are related.
  return abi::__dynamic_cast(object, from, to, -1);
}

}  // namespace Fennix
