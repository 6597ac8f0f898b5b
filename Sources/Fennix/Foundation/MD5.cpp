#include "Fennix/Foundation/MD5.h"

#include <openssl/evp.h>

#include <algorithm>

#include "Fennix/Foundation/BaseTypes/FatalError.h"

namespace Fennix {

struct MD5Digest::Context {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  bool finished = false;
  ~Context() { EVP_MD_CTX_free(context); }
};

MD5Digest::MD5Digest() : context_(std::make_unique<Context>()) {
  if (context_->context == nullptr || EVP_DigestInit_ex(context_->context, EVP_md5(), nullptr) != 1) {
    fatalError("MD5 is not available from the crypto library");
  }
}

MD5Digest::~MD5Digest() = default;

void MD5Digest::update(std::span<const std::uint8_t> bytes, std::size_t chunkSize) {
  if (context_->finished) fatalError("MD5Digest.update after finish");
  chunkSize = std::max<std::size_t>(chunkSize, 1);
  while (!bytes.empty()) {
    const std::size_t count = std::min(bytes.size(), chunkSize);
    if (EVP_DigestUpdate(context_->context, bytes.data(), count) != 1) fatalError("MD5 digest update failed");
    bytes = bytes.subspan(count);
  }
}

std::vector<std::uint8_t> MD5Digest::finish() {
  if (context_->finished) fatalError("MD5Digest.finish called twice");
  context_->finished = true;
  std::vector<std::uint8_t> digest(EVP_MAX_MD_SIZE, 0);
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context_->context, digest.data(), &length) != 1) fatalError("MD5 digest failed");
  digest.resize(length);
  return digest;
}

}  // namespace Fennix

std::string hex(std::span<const std::uint8_t> bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t byte : bytes) {
    text += digits[byte >> 4];
    text += digits[byte & 0x0F];
  }
  return text;
}

std::string md5(std::span<const std::uint8_t> bytes) {
  Fennix::MD5Digest digest;
  digest.update(bytes);
  return hex(digest.finish());
}

std::string md5(std::string_view text) {
  return md5(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}
