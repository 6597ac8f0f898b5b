// Measures how long the main loop stalls in a window holding an SVG editor and a Swift editor
// (needs a display: run under xvfb-run): opening a drawing whose SVG is one long line, and
// keystrokes typed into that line. With "--regenerate" every keystroke also regenerates the
// Swift and hands it to the Swift editor, as a document window does. Prints the longest single
// dispatch of the main loop and the time until the colours have settled.
#include <gtkmm/box.h>
#include <gtkmm/init.h>
#include <gtkmm/window.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "../EditorBenchmarkSupport.h"
#include "SyntaxEditor/GTK/SyntaxEditorView.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Stalls {
  double call = 0;     // ms of the synchronous call
  double longest = 0;  // ms of the longest dispatch (or of the synchronous call)
  double total = 0;    // ms until settled
};

/// Runs the main loop until `settled` holds for a while; the first dispatch counted is `call`.
Stalls measure(const std::function<void()>& call, const std::function<bool()>& settled) {
  Stalls stalls;
  const auto start = Clock::now();
  call();
  stalls.call = stalls.longest = millisecondsSince(start);
  int calm = 0;
  auto lastBusy = Clock::now();
  while (calm < 20 && millisecondsSince(start) < 120000) {
    const auto before = Clock::now();
    const bool dispatched = g_main_context_iteration(nullptr, FALSE);
    const double took = millisecondsSince(before);
    stalls.longest = std::max(stalls.longest, took);
    if (dispatched) lastBusy = Clock::now();
    if (!dispatched) g_usleep(1000);
    calm = settled() ? calm + 1 : 0;
  }
  stalls.total = std::chrono::duration<double, std::milli>(lastBusy - start).count();
  return stalls;
}

}  // namespace

int main(int argc, char** argv) {
  const bool regenerate = argc > 1 && std::strcmp(argv[1], "--regenerate") == 0;
  if (!gtk_init_check()) {
    std::fprintf(stderr, "no display\n");
    return 1;
  }
  Gtk::init_gtkmm_internals();
  ::setenv("QUARVEL_RESOURCES", QUARVEL_TEST_RESOURCE_DIR, 1);
  const std::string drawing = EditorBenchmarkSupport::largestEmojiSVG();
  if (drawing.empty() || !HighlightJS::shared()) {
    std::fprintf(stderr, "no data set or highlighter\n");
    return 1;
  }

  std::string svg, swift;
  SyntaxEditorView* swiftView = nullptr;
  auto svgBinding = SyntaxEditor::Binding<std::string>([&] { return svg; },
                                                        [&](std::string text) {
                                                          svg = std::move(text);
                                                          if (!regenerate || !swiftView) return;
                                                          swift = SVGQuarvelDocument::export_(svg, SVGQuarvelConfiguration()).code;
                                                          swiftView->setText(swift);
                                                        });
  SyntaxEditorView svgView(SyntaxEditor(svgBinding, SyntaxEditor::Language::xml, HighlightJSTheme::xcode(),
                                        std::nullopt, SyntaxEditor::Flags::defaultEditorFlags,
                                        SyntaxEditor::softTab(2)));
  SyntaxEditorView swiftEditor(SyntaxEditor(SyntaxEditor::Binding<std::string>::fromVariable(swift),
                                            SyntaxEditor::Language::swift, HighlightJSTheme::xcode(), std::nullopt,
                                            SyntaxEditor::Flags::defaultEditorFlags, SyntaxEditor::softTab(2)));
  swiftView = &swiftEditor;
  Gtk::Window window;
  window.set_default_size(1200, 800);
  Gtk::Box box(Gtk::Orientation::VERTICAL);
  box.set_homogeneous(true);
  box.append(svgView);
  box.append(swiftEditor);
  window.set_child(box);
  window.present();
  measure([] {}, [&] { return svgView.get_mapped(); });

  auto settled = [&] {
    return svgView.textView().isStyleSettled() && swiftEditor.textView().isStyleSettled() &&
           !svgView.textView().codeView().codeTextStorage()->isHighlighting() &&
           !swiftEditor.textView().codeView().codeTextStorage()->isHighlighting();
  };
  std::printf("SVG: %zu bytes on one line; %s\n", drawing.size(),
              regenerate ? "keystrokes regenerate the Swift" : "editor only");
  const Stalls open = measure(
      [&] {
        svgView.setText(drawing);
        if (regenerate) swiftEditor.setText(SVGQuarvelDocument::export_(drawing, SVGQuarvelConfiguration()).code);
      },
      settled);
  std::printf("open: longest stall %.0f ms, settled after %.0f ms\n", open.longest, open.total);

  auto buffer = svgView.textView().get_buffer();
  double worst = 0, sum = 0;
  const int keystrokes = 8;
  for (int k = 0; k < keystrokes; ++k) {
    const Stalls key = measure(
        [&] {
          buffer->place_cursor(buffer->get_iter_at_offset(300 + k));
          g_signal_emit_by_name(svgView.textView().gobj(), "insert-at-cursor", "7");
        },
        settled);
    std::printf("keystroke %d: longest stall %.0f ms (the keystroke itself %.0f ms), settled after %.0f ms\n", k + 1,
                key.longest, key.call, key.total);
    worst = std::max(worst, key.longest);
    sum += key.longest;
  }
  std::printf("keystrokes: worst stall %.0f ms, mean longest stall %.0f ms\n", worst, sum / keystrokes);

  // Scrolling along the line (too long to wrap): the colours follow the view.
  auto adjustment = svgView.textView().get_hadjustment();
  for (double fraction : {0.25, 0.5, 0.75}) {
    const Stalls scroll = measure([&] { adjustment->set_value(adjustment->get_upper() * fraction); }, settled);
    std::printf("scroll to %.0f%% of the line: longest stall %.0f ms, settled after %.0f ms\n", fraction * 100,
                scroll.longest, scroll.total);
  }
  return 0;
}
