// Access control lists and extended attributes of test files, as the file system stores them.
#pragma once

#include <sys/xattr.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace FileAttributesTestSupport {

/// An access control list as the file system stores it in "system.posix_acl_access": the owner,
/// named users, the owning group, the mask and the others, each with its permissions (rwx bits).
inline std::string accessList(unsigned owner, const std::vector<std::pair<std::uint32_t, unsigned>>& users,
                              unsigned group, unsigned mask, unsigned other) {
  std::string bytes;
  auto put = [&](std::uint32_t value, int size) {
    for (int index = 0; index < size; ++index) bytes += char((value >> (8 * index)) & 0xFF);
  };
  auto entry = [&](unsigned tag, unsigned permissions, std::uint32_t id) {
    put(tag, 2);
    put(permissions, 2);
    put(id, 4);
  };
  constexpr std::uint32_t none = 0xFFFFFFFF;
  put(2, 4);  // the format's version
  entry(0x01, owner, none);
  for (const auto& [id, permissions] : users) entry(0x02, permissions, id);
  entry(0x04, group, none);
  entry(0x10, mask, none);
  entry(0x20, other, none);
  return bytes;
}

/// The value of the extended attribute `name` of the file at `path`; none when it has none.
inline std::optional<std::string> attribute(const std::filesystem::path& path, const char* name) {
  char value[4096];
  const ssize_t size = ::getxattr(path.c_str(), name, value, sizeof value);
  if (size < 0) return std::nullopt;
  return std::string(value, static_cast<std::size_t>(size));
}

}  // namespace FileAttributesTestSupport
