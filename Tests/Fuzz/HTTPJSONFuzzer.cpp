// JSON bodies from untrusted servers: any text is read without running out of stack, and a value
// read is a whole JSON text, at most as deep as allowed, that writes and reads back the same.
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "Fennix/Operations/HTTP/HTTPWire.h"

namespace {

/// How deep arrays and objects nest in the value, counted without recursion.
std::size_t depthOf(const nlohmann::json& value) {
  std::size_t deepest = 0;
  std::vector<std::pair<const nlohmann::json*, std::size_t>> pending{{&value, 0}};
  while (!pending.empty()) {
    const auto [current, depth] = pending.back();
    pending.pop_back();
    if (!current->is_structured()) continue;
    deepest = std::max(deepest, depth + 1);
    for (const auto& element : *current) pending.emplace_back(&element, depth + 1);
  }
  return deepest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Fennix::Data body(data, data + size);
  auto parsed = Fennix::HTTPWire::parseJSON(body);
  auto* value = std::get_if<nlohmann::json>(&parsed);
  if (value == nullptr) return 0;
  if (!nlohmann::json::accept(body.begin(), body.end())) std::abort();
  for (const auto byte : body) {
    if (byte == 0) std::abort();
  }
  if (depthOf(*value) > Fennix::HTTPWire::maximumJSONDepth) std::abort();
  // A value read is handed on by copy or move without trouble, and writes what it read.
  const nlohmann::json copy = *value;
  const std::string written = copy.dump();
  const auto again = Fennix::HTTPWire::parseJSON(Fennix::Data(written.begin(), written.end()));
  if (!std::holds_alternative<nlohmann::json>(again) || std::get<nlohmann::json>(again) != *value) std::abort();
  return 0;
}
