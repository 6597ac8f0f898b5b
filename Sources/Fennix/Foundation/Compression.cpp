#include "Fennix/Foundation/Compression.h"

#include <lz4.h>
#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <exception>
#include <cstring>
#include <memory>
#include <string>

#include "Fennix/console/Console.h"

int algorithm(QvCompressionAlgorithm algorithm) {
  switch (algorithm) {
    case QvCompressionAlgorithm::lz4: return 0x100;
    case QvCompressionAlgorithm::zlib: return 0x205;
    case QvCompressionAlgorithm::lzma: return 0x306;
    case QvCompressionAlgorithm::lz4Raw: return 0x101;
    case QvCompressionAlgorithm::lzfse: return 0x801;
  }
  return 0;
}

int streamOperation(QvCompressionOperation operation) {
  return operation == QvCompressionOperation::compress ? 0 : 1;
}

namespace {

std::string tooLargeDetail(std::size_t limit) {
  return "output larger than " + std::to_string(limit) + " bytes";
}

/// What a processing step reports: more to come, the end of the stream, or a failure (with the
/// codec's own description).
struct StepStatus {
  enum Kind { ok, end, error } kind;
  std::string detail;
};

/// One stream over the whole input: each step consumes from `source` and writes into `target`,
/// advancing both.
class Stream {
 public:
  virtual ~Stream() = default;
  virtual StepStatus process(std::span<const std::uint8_t>& source, std::span<std::uint8_t>& target) = 0;
};

// MARK: DEFLATE

class DeflateStream final : public Stream {
 public:
  explicit DeflateStream(bool compress) : compress_(compress) {}
  ~DeflateStream() override {
    if (!ready_) return;
    if (compress_) {
      deflateEnd(&stream_);
    } else {
      inflateEnd(&stream_);
    }
  }

  bool open() {
    const int status = compress_ ? deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY)
                                 : inflateInit2(&stream_, -15);
    ready_ = status == Z_OK;
    return ready_;
  }

  StepStatus process(std::span<const std::uint8_t>& source, std::span<std::uint8_t>& target) override {
    // zlib counts in 32-bit units: hand over at most 1 GiB of input per step.
    const std::size_t offered = std::min<std::size_t>(source.size(), 1u << 30);
    stream_.next_in = const_cast<Bytef*>(source.data());
    stream_.avail_in = static_cast<uInt>(offered);
    stream_.next_out = target.data();
    stream_.avail_out = static_cast<uInt>(target.size());
    const bool last = offered == source.size();
    const int status = compress_ ? deflate(&stream_, last ? Z_FINISH : Z_NO_FLUSH) : inflate(&stream_, Z_NO_FLUSH);
    source = source.subspan(offered - stream_.avail_in);
    target = target.subspan(target.size() - stream_.avail_out);
    switch (status) {
      case Z_STREAM_END: return {StepStatus::end, {}};
      case Z_OK:
      case Z_BUF_ERROR: return {StepStatus::ok, {}};  // no progress is caught by the caller
      default:
        return {StepStatus::error, std::to_string(status) + (stream_.msg != nullptr ? std::string(" ") + stream_.msg : "")};
    }
  }

 private:
  bool compress_;
  bool ready_ = false;
  z_stream stream_{};
};

// MARK: xz

class XZStream final : public Stream {
 public:
  ~XZStream() override { lzma_end(&stream_); }

  bool open(bool compress) {
    // A decoder never needs more than this for the presets an encoder uses; larger dictionaries
    // asked for by crafted headers fail instead of allocating.
    constexpr std::uint64_t memoryLimit = 256u << 20;
    const lzma_ret status = compress ? lzma_easy_encoder(&stream_, 6, LZMA_CHECK_CRC64)
                                     : lzma_stream_decoder(&stream_, memoryLimit, 0);
    return status == LZMA_OK;
  }

  StepStatus process(std::span<const std::uint8_t>& source, std::span<std::uint8_t>& target) override {
    stream_.next_in = source.data();
    stream_.avail_in = source.size();
    stream_.next_out = target.data();
    stream_.avail_out = target.size();
    const lzma_ret status = lzma_code(&stream_, LZMA_FINISH);
    source = source.subspan(source.size() - stream_.avail_in);
    target = target.subspan(target.size() - stream_.avail_out);
    switch (status) {
      case LZMA_STREAM_END: return {StepStatus::end, {}};
      case LZMA_OK:
      case LZMA_BUF_ERROR: return {StepStatus::ok, {}};
      default: return {StepStatus::error, "lzma " + std::to_string(static_cast<int>(status))};
    }
  }

 private:
  lzma_stream stream_ = LZMA_STREAM_INIT;
};

// MARK: LZ4

/// Streams whose steps produce whole pieces of output at once (LZ4 blocks): a piece is kept
/// and handed out as the target has room.
class PieceStream : public Stream {
 public:
  /// The most output the stream may produce; a piece that would pass it fails the stream.
  void setLimit(std::size_t limit) { limit_ = limit; }

  StepStatus process(std::span<const std::uint8_t>& source, std::span<std::uint8_t>& target) final {
    while (!target.empty()) {
      if (pendingOffset_ < pending_.size()) {
        const std::size_t count = std::min(target.size(), pending_.size() - pendingOffset_);
        std::memcpy(target.data(), pending_.data() + pendingOffset_, count);
        pendingOffset_ += count;
        target = target.subspan(count);
        continue;
      }
      if (finished_) return {StepStatus::end, {}};
      pending_.clear();
      pendingOffset_ = 0;
      std::string failure;
      if (!nextPiece(source, pending_, finished_, failure)) return {StepStatus::error, failure};
      produced_ += pending_.size();
      if (produced_ > limit_) return {StepStatus::error, tooLargeDetail(limit_)};
    }
    return {pendingOffset_ == pending_.size() && finished_ ? StepStatus::end : StepStatus::ok, {}};
  }

 protected:
  /// Produces the next piece of output into `piece` from `source`; sets `finished` after the last
  /// one. Answers false, with a description, when the data is not valid.
  virtual bool nextPiece(std::span<const std::uint8_t>& source, std::vector<std::uint8_t>& piece, bool& finished,
                         std::string& failure) = 0;

  std::size_t limit_ = SIZE_MAX;
  /// How much more output the limit allows.
  std::size_t remaining() const { return limit_ - std::min(limit_, produced_); }

 private:
  std::size_t produced_ = 0;
  std::vector<std::uint8_t> pending_;
  std::size_t pendingOffset_ = 0;
  bool finished_ = false;
};

constexpr std::uint32_t lz4CompressedBlockMagic = 0x31347662;    // "bv41"
constexpr std::uint32_t lz4UncompressedBlockMagic = 0x2d347662;  // "bv4-"
constexpr std::uint32_t lz4EndOfStreamMagic = 0x24347662;        // "bv4$"
constexpr std::size_t lz4BlockSize = 64 * 1024;
constexpr std::size_t lz4HistorySize = 64 * 1024;
// LZ4 cannot expand data by more than about 255 times; a block claiming more is not valid.
constexpr std::uint64_t lz4MaximumRatio = 255;

void appendLE32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t readLE32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

class LZ4FramedEncoder final : public PieceStream {
 protected:
  bool nextPiece(std::span<const std::uint8_t>& source, std::vector<std::uint8_t>& piece, bool& finished,
                 std::string&) override {
    if (source.empty()) {
      appendLE32(piece, lz4EndOfStreamMagic);
      finished = true;
      return true;
    }
    const std::size_t length = std::min(source.size(), lz4BlockSize);
    const int bound = LZ4_compressBound(static_cast<int>(length));
    piece.resize(12 + static_cast<std::size_t>(bound));
    const int written = LZ4_compress_default(reinterpret_cast<const char*>(source.data()),
                                             reinterpret_cast<char*>(piece.data() + 12), static_cast<int>(length), bound);
    if (written <= 0 || static_cast<std::size_t>(written) >= length) {
      // Incompressible: stored as it is.
      piece.clear();
      appendLE32(piece, lz4UncompressedBlockMagic);
      appendLE32(piece, static_cast<std::uint32_t>(length));
      piece.insert(piece.end(), source.begin(), source.begin() + static_cast<std::ptrdiff_t>(length));
    } else {
      std::vector<std::uint8_t> header;
      appendLE32(header, lz4CompressedBlockMagic);
      appendLE32(header, static_cast<std::uint32_t>(length));
      appendLE32(header, static_cast<std::uint32_t>(written));
      piece.resize(12 + static_cast<std::size_t>(written));
      std::memcpy(piece.data(), header.data(), 12);
    }
    source = source.subspan(length);
    return true;
  }
};

class LZ4FramedDecoder final : public PieceStream {
 protected:
  bool nextPiece(std::span<const std::uint8_t>& source, std::vector<std::uint8_t>& piece, bool& finished,
                 std::string& failure) override {
    if (source.size() < 4) {
      failure = "truncated LZ4 block header";
      return false;
    }
    const std::uint32_t magic = readLE32(source.data());
    if (magic == lz4EndOfStreamMagic) {
      source = source.subspan(4);
      finished = true;
      return true;
    }
    if (magic == lz4UncompressedBlockMagic) {
      if (source.size() < 8 || source.size() - 8 < readLE32(source.data() + 4)) {
        failure = "truncated LZ4 block";
        return false;
      }
      const std::uint32_t length = readLE32(source.data() + 4);
      piece.assign(source.begin() + 8, source.begin() + 8 + length);
      source = source.subspan(8 + length);
      remember(piece);
      return true;
    }
    if (magic != lz4CompressedBlockMagic) {
      failure = "not an LZ4 block";
      return false;
    }
    if (source.size() < 12) {
      failure = "truncated LZ4 block header";
      return false;
    }
    const std::uint32_t decodedSize = readLE32(source.data() + 4);
    const std::uint32_t encodedSize = readLE32(source.data() + 8);
    if (source.size() - 12 < encodedSize) {
      failure = "truncated LZ4 block";
      return false;
    }
    if (decodedSize > encodedSize * lz4MaximumRatio + 16 || decodedSize > static_cast<std::uint32_t>(INT_MAX) ||
        encodedSize > static_cast<std::uint32_t>(INT_MAX)) {
      failure = "LZ4 block sizes out of range";
      return false;
    }
    if (decodedSize > remaining()) {
      failure = tooLargeDetail(limit_);
      return false;
    }
    piece.resize(decodedSize);
    const int decoded = LZ4_decompress_safe_usingDict(
        reinterpret_cast<const char*>(source.data() + 12), reinterpret_cast<char*>(piece.data()),
        static_cast<int>(encodedSize), static_cast<int>(decodedSize), reinterpret_cast<const char*>(history_.data()),
        static_cast<int>(history_.size()));
    if (decoded < 0 || static_cast<std::uint32_t>(decoded) != decodedSize) {
      failure = "corrupt LZ4 block";
      return false;
    }
    source = source.subspan(12 + encodedSize);
    remember(piece);
    return true;
  }

 private:
  /// Later blocks may refer to the last 64 KiB of output.
  void remember(const std::vector<std::uint8_t>& piece) {
    history_.insert(history_.end(), piece.begin(), piece.end());
    if (history_.size() > lz4HistorySize) {
      history_.erase(history_.begin(), history_.end() - static_cast<std::ptrdiff_t>(lz4HistorySize));
    }
  }
  std::vector<std::uint8_t> history_;
};

class LZ4RawEncoder final : public PieceStream {
 protected:
  bool nextPiece(std::span<const std::uint8_t>& source, std::vector<std::uint8_t>& piece, bool& finished,
                 std::string& failure) override {
    if (source.size() > static_cast<std::size_t>(LZ4_MAX_INPUT_SIZE)) {
      failure = "input too large for one LZ4 block";
      return false;
    }
    const int bound = LZ4_compressBound(static_cast<int>(source.size()));
    piece.resize(static_cast<std::size_t>(bound));
    const int written = LZ4_compress_default(reinterpret_cast<const char*>(source.data()),
                                             reinterpret_cast<char*>(piece.data()), static_cast<int>(source.size()), bound);
    if (written <= 0) {
      failure = "LZ4 compression failed";
      return false;
    }
    piece.resize(static_cast<std::size_t>(written));
    source = source.subspan(source.size());
    finished = true;
    return true;
  }
};

/// Decodes one raw LZ4 block of unknown decoded size: sequences of literals and matches, the
/// last one literals only.
class LZ4RawDecoder final : public PieceStream {
 protected:
  bool nextPiece(std::span<const std::uint8_t>& source, std::vector<std::uint8_t>& out, bool& finished,
                 std::string& failure) override {
    const std::uint8_t* in = source.data();
    const std::uint8_t* const end = in + source.size();
    const auto readLength = [&](std::size_t length, std::size_t& result) {
      if (length == 15) {
        std::uint8_t next = 0;
        do {
          if (in == end) return false;
          next = *in++;
          length += next;
          if (length > (std::size_t(1) << 40)) return false;
        } while (next == 255);
      }
      result = length;
      return true;
    };
    while (in < end) {
      const std::uint8_t token = *in++;
      std::size_t literals = 0;
      if (!readLength(token >> 4, literals) || static_cast<std::size_t>(end - in) < literals) {
        failure = "truncated LZ4 literals";
        return false;
      }
      if (literals > limit_ - std::min(limit_, out.size())) {
        failure = tooLargeDetail(limit_);
        return false;
      }
      out.insert(out.end(), in, in + literals);
      in += literals;
      if (in == end) break;  // the last sequence holds literals only
      if (end - in < 2) {
        failure = "truncated LZ4 match";
        return false;
      }
      const std::size_t offset = static_cast<std::size_t>(in[0]) | static_cast<std::size_t>(in[1]) << 8;
      in += 2;
      std::size_t matchLength = 0;
      if (offset == 0 || offset > out.size() || !readLength(token & 0x0F, matchLength)) {
        failure = "corrupt LZ4 match";
        return false;
      }
      matchLength += 4;
      if (matchLength > limit_ - std::min(limit_, out.size())) {
        failure = tooLargeDetail(limit_);
        return false;
      }
      // The match may overlap the bytes it produces: copy one at a time.
      const std::size_t start = out.size() - offset;
      out.reserve(out.size() + matchLength);
      for (std::size_t i = 0; i < matchLength; ++i) out.push_back(out[start + i]);
    }
    source = source.subspan(source.size());
    finished = true;
    return true;
  }
};

std::unique_ptr<Stream> makeStream(QvCompressionAlgorithm algorithm, QvCompressionOperation operation,
                                   std::size_t limit) {
  const bool compress = operation == QvCompressionOperation::compress;
  const auto limited = [limit](std::unique_ptr<PieceStream> stream) {
    stream->setLimit(limit);
    return stream;
  };
  switch (algorithm) {
    case QvCompressionAlgorithm::zlib: {
      auto stream = std::make_unique<DeflateStream>(compress);
      if (!stream->open()) return nullptr;
      return stream;
    }
    case QvCompressionAlgorithm::lzma: {
      auto stream = std::make_unique<XZStream>();
      if (!stream->open(compress)) return nullptr;
      return stream;
    }
    case QvCompressionAlgorithm::lz4:
      if (compress) return limited(std::make_unique<LZ4FramedEncoder>());
      return limited(std::make_unique<LZ4FramedDecoder>());
    case QvCompressionAlgorithm::lz4Raw:
      if (compress) return limited(std::make_unique<LZ4RawEncoder>());
      return limited(std::make_unique<LZ4RawDecoder>());
    case QvCompressionAlgorithm::lzfse: return nullptr;  // no codec on this platform
  }
  return nullptr;
}

}  // namespace

namespace {

std::optional<std::vector<std::uint8_t>> runStream(std::span<const std::uint8_t> data, QvCompressionAlgorithm using_,
                                                   QvCompressionOperation operation, std::size_t limit) {
  std::vector<std::uint8_t> chunk(std::min<std::size_t>(data.size(), 32768));
  const std::unique_ptr<Stream> stream = makeStream(using_, operation, limit);
  if (stream == nullptr) {
    console::error("could not create compression stream!");
    return std::nullopt;
  }
  std::vector<std::uint8_t> output;
  output.reserve(std::min(limit, data.size() > 512 ? data.size() / 3 : data.size()));
  std::span<const std::uint8_t> source = data;
  StepStatus status;
  do {
    std::span<std::uint8_t> target(chunk);
    const std::size_t sourceBefore = source.size();
    status = stream->process(source, target);
    const std::size_t produced = chunk.size() - target.size();
    if (produced > limit - output.size()) {
      status = {StepStatus::error, tooLargeDetail(limit)};
      break;
    }
    output.insert(output.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(produced));
    // A step that neither takes input nor gives output (truncated input) would repeat forever.
    if (status.kind == StepStatus::ok && produced == 0 && source.size() == sourceBefore) {
      status = {StepStatus::error, "no progress (truncated or corrupt input)"};
    }
  } while (status.kind == StepStatus::ok);
  if (status.kind != StepStatus::end) {
    console::error("compression failed with error:", status.detail);
    return std::nullopt;
  }
  return output;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> qvCompress(std::span<const std::uint8_t> data, QvCompressionAlgorithm using_,
                                                    QvCompressionOperation operation,
                                                    std::optional<std::size_t> maximumOutputSize) noexcept {
  if (data.empty()) return std::nullopt;
  const std::size_t limit = maximumOutputSize.value_or(
      operation == QvCompressionOperation::decompress ? qvDefaultMaximumDecompressedSize : SIZE_MAX);
  try {
    return runStream(data, using_, operation, limit);
  } catch (const std::exception& failure) {
    // Memory running out for the output or a codec's buffers.
    try {
      console::error("compression failed with error:", std::string(failure.what()));
    } catch (...) {
    }
    return std::nullopt;
  }
}

std::optional<std::vector<std::uint8_t>> qvDecompress(std::span<const std::uint8_t> data,
                                                      QvCompressionAlgorithm using_,
                                                      std::size_t maximumOutputSize) noexcept {
  return qvCompress(data, using_, QvCompressionOperation::decompress, maximumOutputSize);
}
