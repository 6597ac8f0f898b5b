// The Swift of the largest drawing of the Fluent emoji set, and runs of the main loop, for the
// editor benchmarks.
#pragma once

#include <glib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "Highlight/HighlightJS.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"

namespace EditorBenchmarkSupport {

inline std::string numberText(const nlohmann::json& value) {
  if (value.is_number_integer()) return std::to_string(value.get<long long>());
  std::ostringstream text;
  text << value.get<double>();
  return text.str();
}

// The drawing whose body is longest, inside an svg element with its size and view box.
inline std::string largestEmojiSVG() {
  const std::filesystem::path path = std::filesystem::path(QUARVEL_TEST_DATA_DIR) / "fluent-emoji-1.2.7/icons.json";
  std::ifstream stream(path, std::ios::binary);
  if (!stream) return {};
  const auto set = nlohmann::json::parse(stream);
  const nlohmann::json* largest = nullptr;
  for (const auto& [name, icon] : set["icons"].items()) {
    if (!largest || icon["body"].get_ref<const std::string&>().size() >
                        (*largest)["body"].get_ref<const std::string&>().size()) {
      largest = &icon;
    }
  }
  if (!largest) return {};
  auto field = [&](const char* key, const char* fallback) {
    if (largest->contains(key)) return numberText((*largest)[key]);
    return set.contains(key) ? numberText(set[key]) : std::string(fallback);
  };
  const std::string width = field("width", "16"), height = field("height", "16");
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + width + "\" height=\"" + height + "\" viewBox=\"" +
         field("left", "0") + " " + field("top", "0") + " " + width + " " + height + "\">" +
         (*largest)["body"].get<std::string>() + "</svg>";
}

inline const std::string& largeSwift() {
  static const std::string swift = [] {
    ::setenv("QUARVEL_RESOURCES", QUARVEL_TEST_RESOURCE_DIR, 1);
    const std::string svg = largestEmojiSVG();
    return svg.empty() ? std::string() : SVGQuarvelDocument::export_(svg, SVGQuarvelConfiguration()).code;
  }();
  return swift;
}

inline bool iterateUntil(const std::function<bool()>& done) {
  for (int spins = 0; !done(); ++spins) {
    if (spins > 1000000) return false;
    g_main_context_iteration(nullptr, TRUE);
  }
  return true;
}

/// Runs the main loop until the highlighter has answered everything asked so far.
inline void drainHighlights() {
  bool done = false;
  HighlightJS::shared()->highlight("", std::nullopt, HighlightJSTheme::xcode(), DispatchQueue::main(),
                                   [&](std::optional<AttributedString>) { done = true; });
  iterateUntil([&] { return done; });
}

}  // namespace EditorBenchmarkSupport
