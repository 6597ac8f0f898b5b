// A byte stream over a C standard-I/O file.
#pragma once

#include <atomic>
#include <cstdio>
#include <exception>
#include <functional>

#include "Fennix/console/Streams.h"

/// Writes byte brigades to a `FILE*` with one block write per bucket. Nothing
/// is flushed: the file's own buffering decides when bytes reach the device.
/// Releasing the stream does not close the file; only `end()` does, and never
/// for the three standard streams.
class FileOutputStream : public WritableByteStreamType {
 public:
  /// Failure of a write.
  class Error : public std::exception {
   public:
    enum Value { WriteFailed, Closed };
    Error(Value value) : value_(value) {}
    Value value() const { return value_; }
    /// The case name, "WriteFailed" or "Closed".
    const char* what() const noexcept override;
    friend bool operator==(const Error& a, const Error& b) { return a.value_ == b.value_; }

   private:
    Value value_;
  };

  explicit FileOutputStream(std::FILE* handle);

  virtual std::FILE* handle() const;
  virtual void setHandle(std::FILE* handle);

  /// False for standard input, output and error; true otherwise (also without a handle).
  virtual bool canEnd() const;
  /// Closes the file and clears the handle when `canEnd`; reports nothing.
  void end() override;
  using WritableByteStreamType::end;
  /// Flushes the file's buffered output, when there is a handle.
  virtual void flush();

  /// Writes every non-empty bucket in order. `done` is called exactly once when
  /// the write has finished, also when there was nothing to write and before a
  /// `WriteFailed` is thrown; a failure of `done` is thrown instead. Throws
  /// `Closed` without a handle, without calling `done` (nothing was written),
  /// and `WriteFailed` when a bucket was not written completely (later buckets
  /// are then not written).
  void writev(ByteBrigade buckets, const DoneCallback& done) override;

 private:
  std::atomic<std::FILE*> handle_;
};

template <>
struct std::hash<FileOutputStream::Error> {
  std::size_t operator()(const FileOutputStream::Error& error) const noexcept {
    return std::hash<int>()(error.value());
  }
};
