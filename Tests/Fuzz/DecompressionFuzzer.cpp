// Decompression of untrusted data: the first byte picks the algorithm, the rest is the data.
// Nothing may crash, hang or take more than the limit; what compresses must come back.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "Fennix/Foundation/Compression.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const QvCompressionAlgorithm algorithms[] = {QvCompressionAlgorithm::lz4, QvCompressionAlgorithm::zlib,
                                                      QvCompressionAlgorithm::lzma, QvCompressionAlgorithm::lz4Raw,
                                                      QvCompressionAlgorithm::lzfse};
  const QvCompressionAlgorithm algorithm = algorithms[data[0] % 5];
  const std::span<const std::uint8_t> payload(data + 1, size - 1);
  constexpr std::size_t limit = 4u << 20;
  if (auto output = qvDecompress(payload, algorithm, limit); output && output->size() > limit) std::abort();
  if (algorithm != QvCompressionAlgorithm::lzfse && !payload.empty()) {
    const auto compressed = qvCompress(payload, algorithm);
    if (!compressed) std::abort();
    const auto restored = qvDecompress(*compressed, algorithm);
    if (!restored || !std::equal(restored->begin(), restored->end(), payload.begin(), payload.end())) std::abort();
  }
  return 0;
}
