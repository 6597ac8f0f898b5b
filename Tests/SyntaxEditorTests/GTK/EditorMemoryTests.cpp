// The memory an editor takes for a text of many megabytes, beside a bare toolkit text view given
// the same text: the editor adds one UTF-16 copy of the text (its storage) and some room, not
// more copies, both once it holds the text and at its peak while it takes the text in.
#include <gtest/gtest.h>

#include <gtkmm/init.h>
#include <gtkmm/textview.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "SyntaxEditor/GTK/SyntaxEditorView.h"
#include "SyntaxEditorTests/EditorTestSupport.h"

namespace {

using Editor = SyntaxEditor;

bool gtkReady() {
  if (!gtk_init_check()) return false;
  Gtk::init_gtkmm_internals();
  return true;
}

/// A field of this process's status in megabytes (VmRSS, VmHWM), or -1.
double statusMegabytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return double(std::atol(line.c_str() + std::strlen(field))) / 1024;
  }
  return -1;
}

/// Starts the peak (VmHWM) again from the memory in use now; false where the system cannot.
bool resetPeak() {
  std::FILE* file = std::fopen("/proc/self/clear_refs", "w");
  if (file == nullptr) return false;
  const bool written = std::fputs("5", file) >= 0;
  return std::fclose(file) == 0 && written;
}

/// About `bytes` of Swift in lines of about 120 characters.
std::string largeSwift(std::size_t bytes) {
  std::string text;
  text.reserve(bytes + 256);
  for (unsigned i = 0; text.size() < bytes; ++i) {
    text += "        Path { path in path.move(to: CGPoint(x: " + std::to_string(i % 997) +
            ", y: 2)); path.addLine(to: CGPoint(x: 3, y: 4)) } // " + std::to_string(i) + "\n";
  }
  return text;
}

struct Growth {
  double held = 0;  // once the text is in
  double peak = 0;  // the most while it went in
};

/// What `fill` adds to the memory in use, once done and at its peak.
template <typename Fill>
Growth growthOf(Fill&& fill) {
  EditorTestSupport::runMainLoopUntil([] { return false; }, 0.2);
  const double before = statusMegabytes("VmRSS:");
  resetPeak();
  fill();
  EditorTestSupport::runMainLoopUntil([] { return false; }, 0.5);
  return {statusMegabytes("VmRSS:") - before, statusMegabytes("VmHWM:") - before};
}

}  // namespace

TEST(EditorMemoryTests, ALargeTextTakesOneCopyMoreThanABareTextView) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  if (!resetPeak()) GTEST_SKIP() << "the peak memory of a process cannot be reset here";
  // Larger than the allocator's largest heap block, so that every copy of it is mapped on its own
  // and given back when it goes.
  const std::string text = largeSwift(std::size_t{40} << 20);
  const double megabytes = double(text.size()) / double(1 << 20);

  // The highlighter's engine is started first: it takes what it takes whatever the text.
  std::string small = "let a = 1\n";
  Editor warm(Editor::Binding<std::string>::fromVariable(small), Editor::Language::swift, HighlightJSTheme::xcode(),
              std::nullopt, Editor::Flags::defaultEditorFlags, Editor::softTab(4));
  SyntaxEditorView warmView(warm);
  ASSERT_TRUE(EditorTestSupport::runMainLoopUntil([&] { return !warmView.textView().codeView().codeTextStorage()->isHighlighting(); }));

  Gtk::TextView bare;
  const Growth baseline = growthOf([&] { bare.get_buffer()->set_text(text); });

  // The editor reads the text from where it is kept, as the document window's editors do.
  Editor editor(Editor::Binding<std::string>([&text] { return text; }, [](std::string) {}), Editor::Language::swift,
                HighlightJSTheme::xcode(), std::nullopt, Editor::Flags::defaultEditorFlags, Editor::softTab(4));
  std::unique_ptr<SyntaxEditorView> view;
  const Growth growth = growthOf([&] {
    view = std::make_unique<SyntaxEditorView>(editor);
    // The buffer takes a text this large a piece per main-loop iteration.
    EditorTestSupport::runMainLoopUntil([&] { return !view->textView().isFilling(); }, 120);
  });
  ASSERT_EQ(view->textView().get_buffer()->get_char_count(), int(text.size()));
  EXPECT_TRUE(EditorTestSupport::runMainLoopUntil([&] { return !view->textView().codeView().codeTextStorage()->isHighlighting(); }))
      << "the start of the text is coloured";

  // The storage holds the text in UTF-16 (two bytes a character); two bytes a character more are
  // room for the highlighter's engine and the allocator's holes (the buffer takes the text in
  // pieces), but not for a second UTF-16 copy held beside the storage's.
  EXPECT_LT(growth.held, baseline.held + 4 * megabytes)
      << "the bare view took " << baseline.held << " MB for " << megabytes << " MB of text";
  EXPECT_LT(growth.peak, baseline.peak + 4 * megabytes)
      << "the bare view took at most " << baseline.peak << " MB for " << megabytes << " MB of text";
}
