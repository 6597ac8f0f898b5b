// The drawings of the pinned icon sets in build-data/, for benchmarks and the
// before/after comparison of generated code.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace corpus {

struct Drawing {
  std::string name;
  std::string svg;
};

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  std::stringstream bytes;
  bytes << stream.rdbuf();
  return bytes.str();
}

inline std::filesystem::path dataFolder() { return QUARVEL_TEST_DATA_DIR; }

inline std::string numberText(const nlohmann::json& value) {
  if (value.is_number_integer()) return std::to_string(value.get<long long>());
  std::ostringstream text;
  text << value.get<double>();
  return text.str();
}

/// Every drawing of the emoji set: each entry's body inside an `svg` element with the entry's
/// (or the set's) width, height and view box. Empty when the data is absent.
inline std::vector<Drawing> fluentEmoji() {
  const auto path = dataFolder() / "fluent-emoji-1.2.7" / "icons.json";
  std::vector<Drawing> drawings;
  if (!std::filesystem::exists(path)) return drawings;
  const auto set = nlohmann::json::parse(readFile(path));
  auto field = [&](const nlohmann::json& icon, const char* key, int fallback) {
    if (icon.contains(key)) return numberText(icon[key]);
    if (set.contains(key)) return numberText(set[key]);
    return std::to_string(fallback);
  };
  for (const auto& [name, icon] : set["icons"].items()) {
    const std::string width = field(icon, "width", 16), height = field(icon, "height", 16);
    const std::string left = field(icon, "left", 0), top = field(icon, "top", 0);
    drawings.push_back({name, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + width + "\" height=\"" + height +
                                  "\" viewBox=\"" + left + " " + top + " " + width + " " + height + "\">" +
                                  icon["body"].get<std::string>() + "</svg>"});
  }
  return drawings;
}

/// Every icon file of the bootstrap icon set, by file name. Empty when the data is absent.
inline std::vector<Drawing> bootstrapIcons() {
  const auto folder = dataFolder() / "bootstrap-icons-1.11.3" / "icons";
  std::vector<Drawing> drawings;
  if (!std::filesystem::is_directory(folder)) return drawings;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".svg") drawings.push_back({entry.path().filename().string(), readFile(entry.path())});
  }
  std::sort(drawings.begin(), drawings.end(), [](const Drawing& a, const Drawing& b) { return a.name < b.name; });
  return drawings;
}

}  // namespace corpus
