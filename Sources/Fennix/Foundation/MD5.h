// MD5 digests (RFC 1321) as 32 lower-case hexadecimal digits, and the hexadecimal text of bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace Fennix {

/// An MD5 digest fed piece by piece; data of any size.
class MD5Digest {
 public:
  MD5Digest();
  ~MD5Digest();
  MD5Digest(const MD5Digest&) = delete;
  MD5Digest& operator=(const MD5Digest&) = delete;

  /// Adds bytes to the digest, handing them on in pieces of at most `chunkSize` bytes.
  void update(std::span<const std::uint8_t> bytes, std::size_t chunkSize = defaultChunkSize);
  /// The 16 digest bytes; the digest cannot be fed afterwards.
  std::vector<std::uint8_t> finish();

  static constexpr std::size_t defaultChunkSize = std::size_t(1) << 30;

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

}  // namespace Fennix

/// Two lower-case hexadecimal digits per byte, in order.
std::string hex(std::span<const std::uint8_t> bytes);

/// The MD5 digest of a text's UTF-8 bytes.
std::string md5(std::string_view text);
inline std::string md5(const char* text) { return md5(std::string_view(text == nullptr ? "" : text)); }
inline std::string md5(const std::string& text) { return md5(std::string_view(text)); }

/// The MD5 digest of a byte container: every byte of its elements, whatever their width.
std::string md5(std::span<const std::uint8_t> bytes);

template <typename T>
  requires(std::is_trivially_copyable_v<T> && !std::is_same_v<T, std::uint8_t>)
std::string md5(const std::vector<T>& elements) {
  return md5(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(elements.data()),
                                           elements.size() * sizeof(T)));
}
inline std::string md5(const std::vector<std::uint8_t>& bytes) { return md5(std::span<const std::uint8_t>(bytes)); }
