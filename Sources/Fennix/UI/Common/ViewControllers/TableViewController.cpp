#include "Fennix/UI/Common/ViewControllers/TableViewController.h"

#include <charconv>

#include "Fennix/Foundation/System/Bundle.h"

namespace Fennix {

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
