// Compression of whole byte buffers in one call: LZ4 (block-framed and raw), raw DEFLATE, LZMA in
// the xz container. The result is a new buffer, or none when the input is empty or the codec
// fails; failures are logged on the default console.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

enum class QvCompressionAlgorithm {
  lz4,     // LZ4 blocks, each framed with a "bv41" header and its sizes, ended by "bv4$"
  zlib,    // raw DEFLATE data, without zlib header or checksum
  lzma,    // LZMA in the xz container
  lz4Raw,  // one raw LZ4 block without framing
  lzfse,   // no codec available: always fails
};

/// The platform identifier of an algorithm (0x100, 0x205, 0x306, 0x101, 0x801).
int algorithm(QvCompressionAlgorithm algorithm);

enum class QvCompressionOperation { compress, decompress };

/// The stream operation of an operation: encode (0) or decode (1).
int streamOperation(QvCompressionOperation operation);

/// The most bytes a decompression produces unless its caller allows more: a little data can
/// decode to gigabytes.
inline constexpr std::size_t qvDefaultMaximumDecompressedSize = std::size_t(64) << 20;

/// Runs one stream of `operation` over the whole buffer. None for an empty input, an algorithm
/// without a codec, data the codec rejects (including truncated input), an output that would
/// grow beyond `maximumOutputSize` bytes, and a failure to allocate; never throws. Without a
/// maximum, decompressing stops at `qvDefaultMaximumDecompressedSize` and compressing is not
/// limited.
std::optional<std::vector<std::uint8_t>> qvCompress(std::span<const std::uint8_t> data,
                                                    QvCompressionAlgorithm using_,
                                                    QvCompressionOperation operation = QvCompressionOperation::compress,
                                                    std::optional<std::size_t> maximumOutputSize = std::nullopt) noexcept;

std::optional<std::vector<std::uint8_t>> qvDecompress(
    std::span<const std::uint8_t> data, QvCompressionAlgorithm using_,
    std::size_t maximumOutputSize = qvDefaultMaximumDecompressedSize) noexcept;
