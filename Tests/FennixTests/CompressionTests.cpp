// Compression round trips, the raw DEFLATE format, failures on bad input, and MD5 digests.
#include <gtest/gtest.h>

#include <lzma.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "Fennix/Foundation/Compression.h"
#include "Fennix/Foundation/MD5.h"
#include "LogTestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class CapturedConsole {
 public:
  CapturedConsole() : console_(LogLevel::error) { console::setDefaultConsole(console_.console); }
  ~CapturedConsole() { console::setDefaultConsole(nullptr); }
  std::string errors() const { return console_.err.text(); }

 private:
  LogTestSupport::FileConsole console_;
};

Bytes randomBytes(std::size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  Bytes bytes(count);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(generator());
  return bytes;
}

Bytes repetitiveBytes(std::size_t count) {
  const std::string pattern = "<path d=\"M 10 10 L 20 20\"/>\n";
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(pattern[i % pattern.size()]);
  return bytes;
}

const QvCompressionAlgorithm codecs[] = {QvCompressionAlgorithm::lz4, QvCompressionAlgorithm::zlib,
                                         QvCompressionAlgorithm::lzma, QvCompressionAlgorithm::lz4Raw};

}  // namespace

TEST(Compression, EveryAlgorithmRoundTripsSmallRandomAndRepetitiveBuffers) {
  const Bytes inputs[] = {Bytes{'x'}, Bytes{'h', 'e', 'l', 'l', 'o'}, randomBytes(1 << 20, 1),
                          repetitiveBytes(1 << 20)};
  CapturedConsole console;
  for (QvCompressionAlgorithm codec : codecs) {
    for (const Bytes& input : inputs) {
      const auto compressed = qvCompress(input, codec);
      ASSERT_TRUE(compressed.has_value()) << algorithm(codec) << " " << input.size();
      if (input.size() == (1u << 20) && input[0] == '<') {
        EXPECT_LT(compressed->size(), input.size() / 20);
      }
      const auto restored = qvDecompress(*compressed, codec);
      ASSERT_TRUE(restored.has_value()) << algorithm(codec) << " " << input.size();
      EXPECT_TRUE(*restored == input) << algorithm(codec) << " " << input.size();
    }
    // An empty buffer answers none, silently.
    EXPECT_EQ(qvCompress(Bytes{}, codec), std::nullopt);
    EXPECT_EQ(qvDecompress(Bytes{}, codec), std::nullopt);
  }
  EXPECT_EQ(console.errors(), "");
}

TEST(Compression, ZlibIsRawDeflateWithoutHeaderOrChecksum) {
  const Bytes input{'a', 'a', 'a', 'a'};
  const auto compressed = qvCompress(input, QvCompressionAlgorithm::zlib);
  ASSERT_TRUE(compressed.has_value());
  // A zlib header would start with 0x78; a final fixed-Huffman block starts with bits 1, 01.
  EXPECT_EQ((*compressed)[0] & 0x07, 0x03);
  EXPECT_LT(compressed->size(), 2u + 4u + 4u);
  EXPECT_EQ(algorithm(QvCompressionAlgorithm::zlib), 0x205);
  EXPECT_EQ(streamOperation(QvCompressionOperation::decompress), 1);
}

TEST(Compression, TruncatedOrCorruptInputFailsCleanly) {
  const Bytes input = repetitiveBytes(100000);
  for (QvCompressionAlgorithm codec : codecs) {
    const auto compressed = qvCompress(input, codec);
    ASSERT_TRUE(compressed.has_value());
    for (std::size_t keep : {compressed->size() / 2, compressed->size() - 1, std::size_t(1)}) {
      CapturedConsole console;
      const Bytes truncated(compressed->begin(), compressed->begin() + static_cast<std::ptrdiff_t>(keep));
      const auto restored = qvDecompress(truncated, codec);
      // A raw LZ4 block cut at a sequence boundary still decodes to a prefix; all else fails.
      if (codec == QvCompressionAlgorithm::lz4Raw && restored.has_value()) {
        EXPECT_LT(restored->size(), input.size());
        continue;
      }
      EXPECT_EQ(restored, std::nullopt) << algorithm(codec) << " keeping " << keep;
      EXPECT_NE(console.errors().find("ERROR: compression failed with error: "), std::string::npos);
    }
  }
  CapturedConsole console;
  const Bytes garbage = randomBytes(4096, 7);
  for (QvCompressionAlgorithm codec :
       {QvCompressionAlgorithm::lz4, QvCompressionAlgorithm::zlib, QvCompressionAlgorithm::lzma}) {
    EXPECT_EQ(qvDecompress(garbage, codec), std::nullopt) << algorithm(codec);
  }
  (void)qvDecompress(garbage, QvCompressionAlgorithm::lz4Raw);  // must not crash or hang
  // A framed LZ4 block that claims a huge decoded size is rejected before allocating it.
  const Bytes bomb{'b', 'v', '4', '1', 0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0, 0x10};
  EXPECT_EQ(qvDecompress(bomb, QvCompressionAlgorithm::lz4), std::nullopt);
  EXPECT_NE(console.errors().find("compression failed with error:"), std::string::npos);
}

namespace {

/// Raw DEFLATE or xz data of at least `size` zero bytes, made without holding the zeros at once.
Bytes compressedZeros(std::size_t size, bool xz) {
  const Bytes zeros(1 << 20);
  Bytes out(1 << 20);
  Bytes result;
  if (xz) {
    lzma_stream stream = LZMA_STREAM_INIT;
    EXPECT_EQ(lzma_easy_encoder(&stream, 0, LZMA_CHECK_NONE), LZMA_OK);
    lzma_ret status = LZMA_OK;
    for (std::size_t left = size; status == LZMA_OK;) {
      if (stream.avail_in == 0 && left > 0) {
        stream.next_in = zeros.data();
        stream.avail_in = std::min(left, zeros.size());
        left -= stream.avail_in;
      }
      stream.next_out = out.data();
      stream.avail_out = out.size();
      status = lzma_code(&stream, left == 0 ? LZMA_FINISH : LZMA_RUN);
      result.insert(result.end(), out.begin(), out.end() - static_cast<std::ptrdiff_t>(stream.avail_out));
    }
    EXPECT_EQ(status, LZMA_STREAM_END);
    lzma_end(&stream);
    return result;
  }
  // One mebibyte of zeros as byte-aligned DEFLATE blocks, repeated, then an empty final block.
  const std::size_t mebibytes = (size + zeros.size() - 1) / zeros.size();
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  stream.next_in = const_cast<Bytef*>(zeros.data());
  stream.avail_in = static_cast<uInt>(zeros.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FULL_FLUSH), Z_OK);
  EXPECT_EQ(stream.avail_in, 0u);
  const Bytes piece(out.begin(), out.end() - static_cast<std::ptrdiff_t>(stream.avail_out));
  deflateEnd(&stream);
  for (std::size_t i = 0; i < mebibytes; ++i) result.insert(result.end(), piece.begin(), piece.end());
  result.push_back(0x03);
  result.push_back(0x00);
  return result;
}

}  // namespace

TEST(Compression, DecompressedSizeIsBounded) {
  // Small inputs that expand past the default bound answer none instead of taking all memory.
  for (bool xz : {false, true}) {
    CapturedConsole console;
    const Bytes bomb = compressedZeros(qvDefaultMaximumDecompressedSize + 1, xz);
    ASSERT_LT(bomb.size(), 1u << 20);
    EXPECT_EQ(qvDecompress(bomb, xz ? QvCompressionAlgorithm::lzma : QvCompressionAlgorithm::zlib), std::nullopt);
    EXPECT_NE(console.errors().find("ERROR: compression failed with error: output larger than 67108864 bytes"),
              std::string::npos)
        << console.errors();
  }

  // A caller's bound: the exact size passes, one byte less fails, for every codec.
  const Bytes input = repetitiveBytes(300000);
  for (QvCompressionAlgorithm codec : codecs) {
    const auto compressed = qvCompress(input, codec);
    ASSERT_TRUE(compressed.has_value());
    EXPECT_EQ(qvDecompress(*compressed, codec, input.size()), input) << algorithm(codec);
    CapturedConsole console;
    EXPECT_EQ(qvDecompress(*compressed, codec, input.size() - 1), std::nullopt) << algorithm(codec);
    EXPECT_EQ(qvCompress(*compressed, codec, QvCompressionOperation::decompress, 1000), std::nullopt);
    EXPECT_NE(console.errors().find("compression failed with error: output larger than"), std::string::npos);
  }

  // A framed LZ4 block that claims more than the limit is refused before it is decoded.
  {
    CapturedConsole console;
    Bytes block{'b', 'v', '4', '1', 0x00, 0x00, 0x10, 0x00, 0x10, 0x10, 0, 0};  // 1 MiB from 4112 bytes
    block.resize(block.size() + 0x1010, 0xFF);
    EXPECT_EQ(qvDecompress(block, QvCompressionAlgorithm::lz4, 1000), std::nullopt);
    EXPECT_NE(console.errors().find("output larger than 1000 bytes"), std::string::npos) << console.errors();
  }

  // A raw LZ4 match that claims a huge length is refused before it is copied.
  Bytes rawBomb{0x1F, 'x', 1, 0};
  rawBomb.insert(rawBomb.end(), 4000, 0xFF);
  rawBomb.push_back(0);
  CapturedConsole console;
  EXPECT_EQ(qvDecompress(rawBomb, QvCompressionAlgorithm::lz4Raw, 100000), std::nullopt);
  EXPECT_NE(console.errors().find("output larger than 100000 bytes"), std::string::npos);
  EXPECT_EQ(qvDecompress(rawBomb, QvCompressionAlgorithm::lz4Raw)->size(), 1u + 4 + 15 + 4000 * 255);
}

TEST(Compression, LzfseHasNoCodec) {
  CapturedConsole console;
  EXPECT_EQ(qvCompress(Bytes{1, 2, 3}, QvCompressionAlgorithm::lzfse), std::nullopt);
  EXPECT_EQ(console.errors(), "ERROR: could not create compression stream!\n");
}

TEST(MD5, DigestsAndHexText) {
  EXPECT_EQ(hex(Bytes{'a', 'b', 'c'}), "616263");
  EXPECT_EQ(hex(Bytes{0x00, 0xAB, 0x0F}), "00ab0f");
  EXPECT_EQ(hex(Bytes{}), "");
  EXPECT_EQ(md5(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(md5("The quick brown fox jumps over the lazy dog"), "9e107d9d372bb6826bd81d3542a419d6");
  const std::string text = "caf\xC3\xA9";
  EXPECT_EQ(md5(text), md5(Bytes(text.begin(), text.end())));
  // Elements wider than a byte are digested in full.
  const std::vector<std::uint32_t> words{0x64636261};  // "abcd" in little-endian memory
  EXPECT_EQ(md5(words), md5("abcd"));
}

TEST(MD5, ChunkedFeedingMatchesOneCall) {
  const Bytes data = randomBytes(100003, 3);
  Fennix::MD5Digest small;
  small.update(data, 7);
  Fennix::MD5Digest pieces;
  pieces.update(std::span<const std::uint8_t>(data).first(50000), 4096);
  pieces.update(std::span<const std::uint8_t>(data).subspan(50000), 1);
  const std::string whole = md5(data);
  EXPECT_EQ(hex(small.finish()), whole);
  EXPECT_EQ(hex(pieces.finish()), whole);
}
