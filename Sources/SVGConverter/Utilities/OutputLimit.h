// The limit on how much one export may produce. Small drawings can refer to large gradients and
// filters thousands of times; every use is written out on its own, so the work is bounded by
// the size of what is produced, counted as it grows.
#pragma once

#include <cstddef>
#include <stdexcept>

namespace SVGConverter {

/// Thrown when an export passes its output limit.
class OutputLimitReached : public std::runtime_error {
 public:
  OutputLimitReached() : std::runtime_error("output limit reached") {}
};

/// A running count of bytes against a limit.
class OutputBudget {
 public:
  explicit OutputBudget(std::size_t limit = 0) : limit_(limit == 0 ? static_cast<std::size_t>(-1) : limit) {}
  /// Counts `bytes` more; throws once the total passes the limit.
  void charge(std::size_t bytes) {
    used_ += bytes;
    if (used_ > limit_) throw OutputLimitReached();
  }
  std::size_t limit() const { return limit_; }
  /// The bytes counted so far.
  std::size_t used() const { return used_; }

 private:
  std::size_t limit_;
  std::size_t used_ = 0;
};

}  // namespace SVGConverter
