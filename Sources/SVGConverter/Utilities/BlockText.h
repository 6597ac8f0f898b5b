// Text that grows block by block, for output of unknown and possibly large size.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace SVGConverter {

/// Text appended into blocks that never move, joined into one string at the end. A string
/// that grows by reallocation holds its old and its new buffer at once, up to three times the
/// text; here appending never copies what is already written, and `take` copies it once into
/// an exactly sized string, giving each block back as soon as it is copied.
class BlockText {
 public:
  BlockText() = default;
  BlockText(const BlockText&) = delete;
  BlockText& operator=(const BlockText&) = delete;

  void append(std::string_view text) {
    if (text.size() <= static_cast<std::size_t>(end_ - cursor_)) {
      if (!text.empty()) std::memcpy(cursor_, text.data(), text.size());
      cursor_ += text.size();
    } else {
      appendSpilling(text);
    }
  }
  void append(char c) {
    if (cursor_ == end_) addBlock(1);
    *cursor_++ = c;
  }

  /// Room for `count` bytes written straight into the text, to be followed by `commit` with
  /// the end of what was written. A block begun for it may leave the previous one short.
  char* reserve(std::size_t count) {
    if (static_cast<std::size_t>(end_ - cursor_) < count) addBlock(count);
    return cursor_;
  }
  void commit(char* end) { cursor_ = end; }

  std::size_t size() const { return filled_ + static_cast<std::size_t>(cursor_ - blockStart_); }
  bool empty() const { return size() == 0; }
  /// The last character; the text must not be empty. A block is only begun to take text, so
  /// the current one is never empty once that text is written.
  char back() const { return cursor_[-1]; }

  /// A copy of the whole text.
  std::string str() const;
  /// The whole text, leaving this empty.
  std::string take();
  /// Drops the whole text.
  void clear();

 private:
  struct Block {
    std::unique_ptr<char[]> bytes;
    std::size_t capacity;
    /// Bytes of text in the block, counted when the next one is begun.
    std::size_t used;
  };
  /// Begins a block with room for at least `needed` bytes.
  void addBlock(std::size_t needed);
  void appendSpilling(std::string_view text);

  std::vector<Block> blocks_;
  char* blockStart_ = nullptr;
  char* cursor_ = nullptr;
  char* end_ = nullptr;
  /// Bytes in the blocks before the current one.
  std::size_t filled_ = 0;
};

}  // namespace SVGConverter
