#include "Fennix/UI/Common/ViewControllers/TableViewController.h"

#include <charconv>
#include <map>
#include <mutex>

#include "Fennix/Foundation/System/Bundle.h"

namespace Fennix {

namespace {
std::mutex objectTypesLock;
std::map<std::type_index, ObjectPointerType>& objectTypes() {
  static auto* types = new std::map<std::type_index, ObjectPointerType>();
  return *types;
}
std::map<std::type_index, MostDerivedThrower>& mostDerivedClasses() {
  static auto* classes = new std::map<std::type_index, MostDerivedThrower>();
  return *classes;
}
}  // namespace

void registerMostDerivedClass(std::type_index objectClass, MostDerivedThrower thrower) {
  std::lock_guard<std::mutex> lock(objectTypesLock);
  mostDerivedClasses().emplace(objectClass, thrower);
}

MostDerivedThrower mostDerivedThrower(std::type_index objectClass) {
  std::lock_guard<std::mutex> lock(objectTypesLock);
  auto found = mostDerivedClasses().find(objectClass);
  return found == mostDerivedClasses().end() ? nullptr : found->second;
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

const NSPasteboardType& QvIndexSetPboardType() {
  static const NSPasteboardType type = NSBundle::reverseDNSPrefix() + ".fnx.indexset";
  return type;
}

std::string encodeIndexSet(const std::set<std::size_t>& rows) {
  std::string data;
  for (std::size_t row : rows) {
    if (!data.empty()) data += ',';
    data += std::to_string(row);
  }
  return data;
}

std::optional<std::set<std::size_t>> decodeIndexSet(const std::string& data) {
  std::set<std::size_t> rows;
  const char* at = data.data();
  const char* end = at + data.size();
  while (at < end) {
    std::size_t row = 0;
    auto [next, error] = std::from_chars(at, end, row);
    if (error != std::errc() || next == at) return std::nullopt;
    rows.insert(row);
    at = next;
    if (at < end) {
      if (*at != ',') return std::nullopt;
      ++at;
      if (at == end) return std::nullopt;
    }
  }
  return rows;
}

}  // namespace Fennix
