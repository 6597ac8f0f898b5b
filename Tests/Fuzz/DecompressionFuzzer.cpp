// Decompression of untrusted data: the first byte picks the algorithm, the rest is the data.
// Nothing may crash, hang or take more than the limit; what compresses must come back.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <cstdlib>
#include <span>

#include "Fennix/Foundation/Compression.h"
#include "Fennix/console/Console.h"
#include "Fennix/console/FileOutputStream.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Nearly every input is refused with an error line; they would only slow the run down.
  static std::FILE* const sink = std::fopen("/dev/null", "w");
  if (sink) console::setDefaultConsole(std::make_shared<Console>(std::make_shared<FileOutputStream>(sink), LogLevel::error));
  return 0;
}

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
