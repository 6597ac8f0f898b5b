// One keystroke in a code editor that holds the Swift generated for the largest drawing of the
// Fluent emoji set: how long until the keystroke hands control back to the main loop, and how
// long until its paragraph is coloured again; and how long highlighting the whole text takes.
#include <benchmark/benchmark.h>
#include <glib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "Highlight/HighlightJS.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SyntaxEditor/UXCodeTextViewRepresentable.h"

namespace {

std::string numberText(const nlohmann::json& value) {
  if (value.is_number_integer()) return std::to_string(value.get<long long>());
  std::ostringstream text;
  text << value.get<double>();
  return text.str();
}

// The drawing whose body is longest, inside an svg element with its size and view box.
std::string largestEmojiSVG() {
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

const std::string& largeSwift() {
  static const std::string swift = [] {
    ::setenv("QUARVEL_RESOURCES", QUARVEL_TEST_RESOURCE_DIR, 1);
    const std::string svg = largestEmojiSVG();
    return svg.empty() ? std::string() : SVGQuarvelDocument::export_(svg, SVGQuarvelConfiguration()).code;
  }();
  return swift;
}

bool iterateUntil(const std::function<bool()>& done) {
  for (int spins = 0; !done(); ++spins) {
    if (spins > 1000000) return false;
    g_main_context_iteration(nullptr, TRUE);
  }
  return true;
}

/// Runs the main loop until the highlighter has answered everything asked so far.
void drainHighlights() {
  bool done = false;
  HighlightJS::shared()->highlight("", std::nullopt, HighlightJSTheme::xcode(), DispatchQueue::main(),
                                   [&](std::optional<AttributedString>) { done = true; });
  iterateUntil([&] { return done; });
}

/// An editor of the large Swift, coloured, with the caret in the middle of a line in the middle.
struct LargeEditor {
  std::string text = largeSwift();
  SyntaxEditor editor{SyntaxEditor::Binding<std::string>::fromVariable(text), SyntaxEditor::Language::swift,
                      HighlightJSTheme::xcode(), std::nullopt, SyntaxEditor::Flags::defaultEditorFlags,
                      SyntaxEditor::softTab(2), SyntaxEditor::AutoPairs{}};
  UXCodeTextViewRepresentable representable{editor};
  std::unique_ptr<UXCodeTextViewRepresentable::Coordinator> coordinator = representable.makeCoordinator();
  UXCodeTextView view;
  std::size_t caret = 0;

  LargeEditor() {
    representable.makeTextView(view, *coordinator);
    drainHighlights();
    const std::u16string& units = view.codeTextStorage()->string();
    const std::size_t middle = units.find(u'\n', units.size() / 2) + 1;
    caret = middle + 8;  // inside the indentation or the code of that line
  }
};

void BM_KeystrokeReturnsToMainLoop(benchmark::State& state) {
  if (largeSwift().empty() || !HighlightJS::shared()) return state.SkipWithError("no emoji data or highlighter");
  LargeEditor editor;
  for (auto _ : state) {
    editor.view.setSelectedRange({editor.caret, 0});
    editor.view.insertText(u"\"");
    state.PauseTiming();
    editor.view.deleteBackward();
    drainHighlights();
    state.ResumeTiming();
  }
  state.counters["characters"] = double(editor.view.codeTextStorage()->length());
}
BENCHMARK(BM_KeystrokeReturnsToMainLoop)->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_KeystrokeUntilParagraphRecoloured(benchmark::State& state) {
  if (largeSwift().empty() || !HighlightJS::shared()) return state.SkipWithError("no emoji data or highlighter");
  LargeEditor editor;
  bool recoloured = false;
  editor.view.codeTextStorage()->addObserver([&](NSTextStorage&, const NSTextStorageEdit& edit) {
    if (edit.editedMask == NSTextStorageEditedAttributes) recoloured = true;
  });
  for (auto _ : state) {
    recoloured = false;
    editor.view.setSelectedRange({editor.caret, 0});
    editor.view.insertText(u"\"");  // the rest of the line becomes a string
    iterateUntil([&] { return recoloured; });
    state.PauseTiming();
    editor.view.deleteBackward();
    drainHighlights();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_KeystrokeUntilParagraphRecoloured)->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_HighlightWholeText(benchmark::State& state) {
  if (largeSwift().empty() || !HighlightJS::shared()) return state.SkipWithError("no emoji data or highlighter");
  const std::string& swift = largeSwift();
  for (auto _ : state) {
    bool done = false;
    HighlightJS::shared()->highlight(swift, "swift", HighlightJSTheme::xcode(), DispatchQueue::main(),
                                     [&](std::optional<AttributedString> result) {
                                       benchmark::DoNotOptimize(result);
                                       done = true;
                                     });
    iterateUntil([&] { return done; });
  }
  state.counters["bytes"] = double(swift.size());
}
BENCHMARK(BM_HighlightWholeText)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
