// The same keystroke through the editor widget (needs a display): typed text goes through the
// toolkit's buffer into the storage, and the colours come back as text tags. Also the whole
// text handed to the widget, until all of it shows its colours, and a text of many long lines
// handed to it, until the buffer holds all of it.
#include <benchmark/benchmark.h>
#include <gtkmm/init.h>

#include "../EditorBenchmarkSupport.h"
#include "SyntaxEditor/GTK/SyntaxEditorView.h"

namespace {

using namespace EditorBenchmarkSupport;

bool gtkReady() {
  static const bool ready = [] {
    if (!gtk_init_check()) return false;
    Gtk::init_gtkmm_internals();
    return true;
  }();
  return ready;
}

struct LargeWidget {
  std::string text = largeSwift();
  SyntaxEditorView view{SyntaxEditor(SyntaxEditor::Binding<std::string>::fromVariable(text),
                                     SyntaxEditor::Language::swift, HighlightJSTheme::xcode(), std::nullopt,
                                     SyntaxEditor::Flags::defaultEditorFlags, SyntaxEditor::softTab(2),
                                     SyntaxEditor::AutoPairs{})};
  int caret = 0;
  bool recoloured = false;

  LargeWidget() {
    drainHighlights();
    auto buffer = view.textView().get_buffer();
    caret = buffer->get_iter_at_line(buffer->get_line_count() / 2).get_offset() + 8;
    view.textView().codeView().codeTextStorage()->addObserver([this](NSTextStorage&, const NSTextStorageEdit& edit) {
      if (edit.editedMask == NSTextStorageEditedAttributes) recoloured = true;
    });
  }
  /// Types a quotation mark at the caret the way the toolkit's text input does.
  void type() {
    auto buffer = view.textView().get_buffer();
    buffer->place_cursor(buffer->get_iter_at_offset(caret));
    g_signal_emit_by_name(view.textView().gobj(), "insert-at-cursor", "\"");
  }
  void undoKeystroke() {
    auto buffer = view.textView().get_buffer();
    buffer->erase(buffer->get_iter_at_offset(caret), buffer->get_iter_at_offset(caret + 1));
    drainHighlights();
  }
};

void BM_WidgetKeystrokeReturnsToMainLoop(benchmark::State& state) {
  if (!gtkReady() || largeSwift().empty() || !HighlightJS::shared()) return state.SkipWithError("no display or data");
  LargeWidget widget;
  for (auto _ : state) {
    widget.type();
    state.PauseTiming();
    widget.undoKeystroke();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_WidgetKeystrokeReturnsToMainLoop)->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_WidgetKeystrokeUntilParagraphRecoloured(benchmark::State& state) {
  if (!gtkReady() || largeSwift().empty() || !HighlightJS::shared()) return state.SkipWithError("no display or data");
  LargeWidget widget;
  for (auto _ : state) {
    widget.recoloured = false;
    widget.type();
    iterateUntil([&] { return widget.recoloured; });
    state.PauseTiming();
    widget.undoKeystroke();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_WidgetKeystrokeUntilParagraphRecoloured)->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_WidgetWholeTextUntilColoured(benchmark::State& state) {
  if (!gtkReady() || largeSwift().empty() || !HighlightJS::shared()) return state.SkipWithError("no display or data");
  for (auto _ : state) {
    std::string text = largeSwift();
    SyntaxEditorView view(SyntaxEditor(SyntaxEditor::Binding<std::string>::fromVariable(text),
                                       SyntaxEditor::Language::swift, HighlightJSTheme::xcode(), std::nullopt,
                                       SyntaxEditor::Flags::defaultEditorFlags, SyntaxEditor::softTab(2)));
    drainHighlights();
    // The colours reach the buffer in slices of the main loop.
    iterateUntil([&] { return view.textView().isStyleSettled(); });
  }
}
BENCHMARK(BM_WidgetWholeTextUntilColoured)->Unit(benchmark::kMillisecond)->Iterations(3);

/// `megabytes` of lines of 12,000 characters (longer than the long-line threshold), each with an
/// emoji (two UTF-16 units, one character of the buffer).
std::string longLines(std::size_t megabytes) {
  std::string line = "let a = \"\xF0\x9F\x90\xB0";
  line += std::string(12000 - line.size(), 'x') + "\"\n";
  std::string text;
  text.reserve(megabytes << 20);
  while (text.size() + line.size() <= megabytes << 20) text += line;
  return text;
}

// The whole fill of a text of many long lines, which the buffer takes a piece per main-loop
// step, giving the long lines of each piece the tag that keeps them from wrapping: the time should
// grow with the text's size, not with its square.
void BM_WidgetFillOfLongLines(benchmark::State& state) {
  if (!gtkReady()) return state.SkipWithError("no display");
  for (auto _ : state) {
    state.PauseTiming();
    std::string text = longLines(std::size_t(state.range(0)));
    state.ResumeTiming();
    auto view = std::make_unique<SyntaxEditorView>(
        SyntaxEditor(SyntaxEditor::Binding<std::string>::fromVariable(text), std::nullopt, HighlightJSTheme::xcode(),
                     std::nullopt, SyntaxEditor::Flags::defaultEditorFlags, SyntaxEditor::softTab(2)));
    iterateUntil([&] { return !view->textView().isFilling(); });
    state.PauseTiming();
    view.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0) * (1 << 20));
}
BENCHMARK(BM_WidgetFillOfLongLines)->Arg(8)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
