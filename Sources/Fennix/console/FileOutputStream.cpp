#include "Fennix/console/FileOutputStream.h"

#include <algorithm>

const char* FileOutputStream::Error::what() const noexcept {
  return value_ == WriteFailed ? "WriteFailed" : "Closed";
}

FileOutputStream::FileOutputStream(std::FILE* handle) : handle_(handle) {}

std::FILE* FileOutputStream::handle() const { return handle_.load(); }

void FileOutputStream::setHandle(std::FILE* handle) { handle_.store(handle); }

bool FileOutputStream::canEnd() const {
  std::FILE* file = handle();
  return file != stdin && file != stdout && file != stderr;
}

void FileOutputStream::end() {
  if (!canEnd()) return;
  if (std::FILE* file = handle_.exchange(nullptr)) std::fclose(file);
}

void FileOutputStream::flush() {
  if (std::FILE* file = handle()) std::fflush(file);
}

void FileOutputStream::writev(ByteBrigade buckets, const DoneCallback& done) {
  const auto finished = [&done] {
    if (done) done();
  };
  const bool hasData = std::any_of(buckets.begin(), buckets.end(), [](ByteBucket bucket) { return !bucket.empty(); });
  if (!hasData) {
    finished();
    return;
  }
  std::FILE* file = handle();
  // Nothing was written to a closed stream, so nothing has finished: `done` is not called.
  if (file == nullptr) throw Error(Error::Closed);
  for (ByteBucket bucket : buckets) {
    if (bucket.empty()) continue;
    if (std::fwrite(bucket.data(), bucket.size(), 1, file) != 1) {
      finished();
      throw Error(Error::WriteFailed);
    }
  }
  finished();
}
