// MD5 over a 5 GB stream made on the fly (more than a 32-bit length can hold), and compression of
// a 1 MB buffer.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "Fennix/Foundation/Compression.h"
#include "Fennix/Foundation/MD5.h"

namespace {

/// Digests `total` bytes of a repeating 1 MiB pattern, one megabyte at a time.
void BM_MD5FiveGigabyteStream(benchmark::State& state) {
  const std::size_t total = std::size_t(5) << 30;
  std::vector<std::uint8_t> block(1 << 20);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 131 + 7);
  for (auto _ : state) {
    Fennix::MD5Digest digest;
    for (std::size_t done = 0; done < total; done += block.size()) digest.update(block);
    const std::string text = hex(digest.finish());
    benchmark::DoNotOptimize(text);
    state.SetLabel(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(total));
}
BENCHMARK(BM_MD5FiveGigabyteStream)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Compress1MB(benchmark::State& state) {
  std::mt19937 generator(5);
  std::vector<std::uint8_t> input(1 << 20);
  for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<std::uint8_t>(generator() % 16);
  const auto algorithm = static_cast<QvCompressionAlgorithm>(state.range(0));
  for (auto _ : state) {
    auto output = qvCompress(input, algorithm);
    benchmark::DoNotOptimize(output);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(input.size()));
}
BENCHMARK(BM_Compress1MB)
    ->Arg(static_cast<int>(QvCompressionAlgorithm::lz4))
    ->Arg(static_cast<int>(QvCompressionAlgorithm::zlib))
    ->Arg(static_cast<int>(QvCompressionAlgorithm::lzma))
    ->Arg(static_cast<int>(QvCompressionAlgorithm::lz4Raw))
    ->Unit(benchmark::kMillisecond);

}  // namespace
