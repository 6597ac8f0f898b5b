#include "SVGConverter/Utilities/BlockText.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace {

// Small outputs stay in a few small blocks; large ones take blocks of a fixed size, so that
// no more than one block's room is ever left unused.
constexpr std::size_t firstBlockSize = 4 * 1024;
constexpr std::size_t largestBlockSize = 256 * 1024;

// Blocks at least this large give their pages back as soon as they are copied into the joined
// text; smaller ones are not worth the system call.
constexpr std::size_t releasedBlockSize = largestBlockSize;

// Hands the whole pages of a block that is about to be freed back to the system. The allocator
// keeps freed memory for reuse, so without this the text would be resident twice, in the blocks
// and in the joined string, until the export ends. The block's memory stays ours until it is
// freed and reads as zeros meanwhile; a page the allocator writes to again is simply taken anew.
void releasePages(char* bytes, std::size_t size) {
  static const auto pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<std::uintptr_t>(bytes);
  const std::uintptr_t first = (begin + pageSize - 1) / pageSize * pageSize;
  const std::uintptr_t last = (begin + size) / pageSize * pageSize;
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

}  // namespace

void SVGConverter::BlockText::addBlock(std::size_t needed) {
  if (!blocks_.empty()) blocks_.back().used = static_cast<std::size_t>(cursor_ - blockStart_);
  filled_ += static_cast<std::size_t>(cursor_ - blockStart_);
  const std::size_t previous = blocks_.empty() ? firstBlockSize / 2 : blocks_.back().capacity;
  const std::size_t capacity = std::max(needed, std::min(2 * previous, largestBlockSize));
  blocks_.push_back(Block{std::make_unique_for_overwrite<char[]>(capacity), capacity, 0});
  blockStart_ = cursor_ = blocks_.back().bytes.get();
  end_ = blockStart_ + capacity;
}

void SVGConverter::BlockText::appendSpilling(std::string_view text) {
  // Fill the current block to its end, then go on in a fresh one.
  const std::size_t room = static_cast<std::size_t>(end_ - cursor_);
  if (room > 0) std::memcpy(cursor_, text.data(), room);
  cursor_ += room;
  text.remove_prefix(room);
  addBlock(text.size());
  std::memcpy(cursor_, text.data(), text.size());
  cursor_ += text.size();
}

std::string SVGConverter::BlockText::str() const {
  std::string text;
  text.reserve(size());
  for (const Block& block : blocks_) {
    const bool current = block.bytes.get() == blockStart_;
    text.append(block.bytes.get(), current ? static_cast<std::size_t>(cursor_ - blockStart_) : block.used);
  }
  return text;
}

std::string SVGConverter::BlockText::take() {
  std::string text;
  text.reserve(size());
  for (Block& block : blocks_) {
    const bool current = block.bytes.get() == blockStart_;
    text.append(block.bytes.get(), current ? static_cast<std::size_t>(cursor_ - blockStart_) : block.used);
    if (block.capacity >= releasedBlockSize) releasePages(block.bytes.get(), block.capacity);
    block.bytes.reset();
  }
  clear();
  return text;
}

void SVGConverter::BlockText::clear() {
  blocks_.clear();
  blockStart_ = cursor_ = end_ = nullptr;
  filled_ = 0;
}
