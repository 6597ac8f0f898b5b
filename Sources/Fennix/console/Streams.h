// Writable streams that take their data as a brigade: a list of buffers
// (buckets) written in order.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

/// Completion of a write; absent when empty. It may fail by throwing.
using DoneCallback = std::function<void()>;

/// Marker of every stream.
class StreamType {
 public:
  virtual ~StreamType() = default;
};

/// A stream that can be finished.
class WritableStreamType : public StreamType {
 public:
  /// Finishes the stream; may fail by throwing.
  virtual void end() = 0;
};

/// A stream of `WriteType` elements.
template <typename WriteType>
class GWritableStreamType : public WritableStreamType {
 public:
  using Bucket = std::span<const WriteType>;
  using Brigade = std::span<const Bucket>;

  /// Writes the buckets in order and calls `done` when the write has finished.
  /// Failures are thrown.
  virtual void writev(Brigade buckets, const DoneCallback& done) = 0;

  /// Writes one bucket.
  void write(Bucket bucket, const DoneCallback& done = {}) {
    const Bucket brigade[] = {bucket};
    writev(brigade, done);
  }

  using WritableStreamType::end;

  /// Without a last bucket: calls `doneWriting` (a failure is passed on and the
  /// stream stays open), then `end()`. With one: writes it, and its completion
  /// calls `doneWriting` and then `end()`.
  void end(std::optional<Bucket> last, const DoneCallback& doneWriting = {}) {
    if (!last) {
      if (doneWriting) doneWriting();
      end();
      return;
    }
    const Bucket brigade[] = {*last};
    writev(brigade, [this, doneWriting] {
      if (doneWriting) doneWriting();
      end();
    });
  }
};

/// A stream of bytes, also writable with text (its UTF-8 bytes).
class WritableByteStreamType : public GWritableStreamType<std::uint8_t> {
 public:
  using GWritableStreamType::end;
  using GWritableStreamType::write;

  void write(std::string_view text, const DoneCallback& done = {}) { write(bytes(text), done); }
  void end(std::string_view text, const DoneCallback& doneWriting = {}) { end(Bucket(bytes(text)), doneWriting); }

  static Bucket bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
  }
};

using ByteBucket = WritableByteStreamType::Bucket;
using ByteBrigade = WritableByteStreamType::Brigade;
