// One keystroke in a code editor that holds the Swift generated for the largest drawing of the
// Fluent emoji set: how long until the keystroke hands control back to the main loop, and how
// long until its paragraph is coloured again; and how long highlighting the whole text takes.
#include <benchmark/benchmark.h>

#include "SyntaxEditor/UXCodeTextViewRepresentable.h"
#include "EditorBenchmarkSupport.h"

namespace {

using namespace EditorBenchmarkSupport;

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
  // A highlight still pending keeps the storage alive past this function: the observer, which
  // refers to this frame, goes before the frame does.
  const std::size_t observer =
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
  editor.view.codeTextStorage()->removeObserver(observer);
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
