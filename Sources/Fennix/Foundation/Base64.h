// Base64 text of bytes (the standard alphabet, with padding), as the defaults files keep data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Fennix {

std::string base64Encode(const std::vector<std::uint8_t>& data);
/// The bytes of padded base64 text; none for anything else (other characters, missing or
/// misplaced padding).
std::optional<std::vector<std::uint8_t>> base64Decode(const std::string& text);

}  // namespace Fennix
