// Splitting a sequence into consecutive runs of equal length.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace SVGConverter {

/// Consecutive sub-arrays of `size` elements in order, the last one holding
/// what is left (7 elements by 3 give 3, 3 and 1); an empty array gives no
/// chunks. A size below 1 is a programming error and stops the process.
template <typename Element>
std::vector<std::vector<Element>> chunked(const std::vector<Element>& elements, long long size) {
  if (size < 1) {
    std::fprintf(stderr, "Fatal error: chunk size must be at least 1, got %lld\n", size);
    std::abort();
  }
  std::vector<std::vector<Element>> chunks;
  const std::size_t step = static_cast<std::size_t>(size);
  chunks.reserve(elements.size() / step + 1);
  for (std::size_t start = 0; start < elements.size(); start += step) {
    const std::size_t end = elements.size() - start < step ? elements.size() : start + step;
    chunks.emplace_back(elements.begin() + static_cast<std::ptrdiff_t>(start),
                        elements.begin() + static_cast<std::ptrdiff_t>(end));
  }
  return chunks;
}

}  // namespace SVGConverter
