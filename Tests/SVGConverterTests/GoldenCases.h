// Golden cases found on disk: every `<name>.svg` in a folder beside its expected output
// `<name>.<extension>`. The folder says how the case is run, so adding a case is adding two
// files to a folder.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace GoldenCases {

struct Case {
  std::string folder;         // the folder's name, which chooses the options
  std::filesystem::path svg;  // the input drawing
  std::filesystem::path expected;
  /// "folder/name", for messages and test names.
  std::string label() const { return folder + "/" + svg.stem().string(); }
};

inline std::filesystem::path root(const std::string& folder) {
  return std::filesystem::path(QUARVEL_SOURCE_DIR) / "Tests" / "SVGConverterTests" / folder;
}

/// The cases under `root`, one folder level deep, sorted by folder and name. A drawing without
/// its expected file is still a case (and fails), so that a forgotten file shows.
inline std::vector<Case> find(const std::filesystem::path& root, const std::string& extension) {
  std::vector<Case> cases;
  for (const auto& folder : std::filesystem::directory_iterator(root)) {
    if (!folder.is_directory()) continue;
    for (const auto& file : std::filesystem::directory_iterator(folder.path())) {
      if (file.path().extension() != ".svg") continue;
      auto expected = file.path();
      expected.replace_extension(extension);
      cases.push_back({folder.path().filename().string(), file.path(), expected});
    }
  }
  std::sort(cases.begin(), cases.end(), [](const Case& a, const Case& b) { return a.label() < b.label(); });
  return cases;
}

inline std::string read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

/// A test name made of the label's letters and digits.
inline std::string testName(const Case& golden) {
  std::string name = golden.label();
  for (char& ch : name) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return name;
}

}  // namespace GoldenCases
