// Reading a defaults suite whose file has grown large, at several sizes up to the most a suite
// reads: a fresh suite object reads the whole file on its first look. Two forms of file: many
// small keys, and a few keys holding long texts and data.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "Fennix/Foundation/UserDefaults.h"

namespace {

// A private configuration folder for the run, removed at its end.
const std::filesystem::path& configFolder() {
  struct Folder {
    std::filesystem::path path;
    Folder() {
      std::string pattern = (std::filesystem::temp_directory_path() / "fennix-benchmarks-XXXXXX").string();
      if (::mkdtemp(pattern.data()) == nullptr) std::abort();
      path = pattern;
      ::setenv("XDG_CONFIG_HOME", path.c_str(), 1);
    }
    ~Folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static Folder folder;
  return folder.path;
}

// Writes a suite file of about `bytes` bytes; its name.
std::string writeSuite(std::size_t bytes, bool manyKeys) {
  configFolder();
  const std::string name = std::string(manyKeys ? "keys." : "texts.") + std::to_string(bytes);
  nlohmann::json values = nlohmann::json::object();
  std::size_t size = 0;
  for (int i = 0; size < bytes; ++i) {
    const std::string key = "key" + std::to_string(i);
    const std::string text = manyKeys ? "value " + std::to_string(i) : std::string(1 << 20, char('a' + i % 26));
    values[key] = text;
    size += key.size() + text.size() + 10;
  }
  const auto path = NSUserDefaults::defaultsDirectory() / (name + ".json");
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << values.dump(2) << "\n";
  return name;
}

void BM_ReadSuite(benchmark::State& state, bool manyKeys) {
  const auto bytes = static_cast<std::size_t>(state.range(0)) << 20;
  const std::string name = writeSuite(bytes, manyKeys);
  for (auto _ : state) {
    auto suite = NSUserDefaults::fromSuiteName(name);
    benchmark::DoNotOptimize(suite->object("key0"));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}

void BM_ReadSuiteOfManyKeys(benchmark::State& state) { BM_ReadSuite(state, true); }
void BM_ReadSuiteOfLongTexts(benchmark::State& state) { BM_ReadSuite(state, false); }
BENCHMARK(BM_ReadSuiteOfManyKeys)->Arg(1)->Arg(4)->Arg(15)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadSuiteOfLongTexts)->Arg(1)->Arg(4)->Arg(15)->Unit(benchmark::kMillisecond);

}  // namespace
