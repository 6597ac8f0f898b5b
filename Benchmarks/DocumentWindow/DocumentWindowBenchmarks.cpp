// One keystroke in the SVG editor of a real window over the largest drawing of the emoji set:
// the time until the Swift editor holds the regenerated code (all of it on the main thread), and
// until the preview has reloaded the page as well.
#include <benchmark/benchmark.h>
#include <gtkmm/headerbar.h>
#include <gtkmm/init.h>
#include <gtkmm/window.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "Benchmarks/Support/Corpus.h"
#include "SVGQuarvel/Views/GTK/ContentView.h"
#include "SVGQuarvel/Views/GTK/ContentViewImpl.h"

namespace {

struct Fixture {
  Gtk::Window window;
  Gtk::HeaderBar headerBar;
  ContentView* content = nullptr;
  int loads = 0;
  std::size_t svgSize = 0;

  static std::unique_ptr<Fixture> make() {
    ::setenv("GDK_DEBUG", "gl-disable", 0);
    ::setenv("GSK_RENDERER", "cairo", 0);
    ::setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
    ::setenv("QUARVEL_RESOURCES", QUARVEL_TEST_RESOURCE_DIR, 0);
    if (!gtk_init_check()) return nullptr;
    Gtk::init_gtkmm_internals();
    const auto drawings = corpus::fluentEmoji();
    if (drawings.empty()) return nullptr;
    const auto largest = std::max_element(drawings.begin(), drawings.end(), [](const auto& a, const auto& b) {
      return a.svg.size() < b.svg.size();
    });
    auto fixture = std::make_unique<Fixture>();
    fixture->svgSize = largest->svg.size();
    fixture->content = Gtk::make_managed<ContentView>(SVGQuarvelDocument::fromSVGString(largest->svg), nullptr, 13);
    fixture->window.set_titlebar(fixture->headerBar);
    fixture->window.set_child(*fixture->content);
    fixture->window.set_default_size(1200, 800);
    fixture->content->attachToWindow(fixture->window, fixture->headerBar);
    fixture->content->impl().preview().setOnLoadFinished([f = fixture.get()] { ++f->loads; });
    fixture->window.present();
    fixture->waitForLoads(1);
    return fixture;
  }

  bool waitForLoads(int count) {
    const gint64 deadline = g_get_monotonic_time() + 30 * G_USEC_PER_SEC;
    while (loads < count && g_get_monotonic_time() < deadline) g_main_context_iteration(nullptr, TRUE);
    return loads >= count;
  }

  // Runs what is pending on the main context, for at most `seconds`.
  static void flush(double seconds = 10) {
    const gint64 deadline = g_get_monotonic_time() + gint64(seconds * G_USEC_PER_SEC);
    while (g_main_context_pending(nullptr) && g_get_monotonic_time() < deadline) g_main_context_iteration(nullptr, FALSE);
  }

  // Types a blank at the start of the drawing, or takes it away again.
  void keystroke(bool insert) {
    auto& code = content->impl().svgEditor().textView().codeView();
    if (insert) {
      code.setSelectedRange(NSRange{0, 0});
      code.insertText(u" ");
    } else {
      code.setSelectedRange(NSRange{1, 0});
      code.deleteBackward();
    }
  }
};

Fixture* fixture() {
  static std::unique_ptr<Fixture> shared = Fixture::make();
  return shared.get();
}

void BM_KeystrokeUntilSwiftEditorHoldsTheCode(benchmark::State& state) {
  auto* f = fixture();
  if (f == nullptr) {
    state.SkipWithError("needs a display and build-data/fluent-emoji-1.2.7");
    return;
  }
  bool insert = true;
  for (auto _ : state) {
    f->keystroke(insert);
    insert = !insert;
    // Regeneration and the Swift editor's text replacement are synchronous.
    benchmark::DoNotOptimize(f->content->impl().swiftEditor().textView().codeView().string().size());
    state.PauseTiming();
    Fixture::flush();
    state.ResumeTiming();
  }
  state.counters["svgBytes"] = double(f->svgSize);
}
BENCHMARK(BM_KeystrokeUntilSwiftEditorHoldsTheCode)->Unit(benchmark::kMillisecond)->Iterations(6);

void BM_KeystrokeUntilPreviewReloaded(benchmark::State& state) {
  auto* f = fixture();
  if (f == nullptr) {
    state.SkipWithError("needs a display and build-data/fluent-emoji-1.2.7");
    return;
  }
  bool insert = true;
  Fixture::flush();
  for (auto _ : state) {
    const int before = f->loads;
    f->keystroke(insert);
    insert = !insert;
    if (!f->waitForLoads(before + 1)) state.SkipWithError("the preview did not reload");
  }
  state.counters["svgBytes"] = double(f->svgSize);
}
BENCHMARK(BM_KeystrokeUntilPreviewReloaded)->Unit(benchmark::kMillisecond)->Iterations(6);

// The document's own share: regenerating the Swift from the changed SVG, without any window.
void BM_KeystrokeRegenerationOnly(benchmark::State& state) {
  const auto drawings = corpus::fluentEmoji();
  if (drawings.empty()) {
    state.SkipWithError("needs build-data/fluent-emoji-1.2.7");
    return;
  }
  const auto largest = std::max_element(drawings.begin(), drawings.end(),
                                        [](const auto& a, const auto& b) { return a.svg.size() < b.svg.size(); });
  auto document = SVGQuarvelDocument::fromSVGString(largest->svg);
  bool insert = true;
  for (auto _ : state) {
    document->svgString = insert ? " " + largest->svg : largest->svg;
    insert = !insert;
    benchmark::DoNotOptimize(document->swift.get().size());
  }
}
BENCHMARK(BM_KeystrokeRegenerationOnly)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
