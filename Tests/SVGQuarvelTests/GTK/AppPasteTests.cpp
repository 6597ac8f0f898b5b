// Pastes of text another program holds on the clipboard into the real application: a text of
// megabytes, which that program sends in pieces, arrives whole as one edit; an owner that stops
// sending its text partway gets a message rather than silence.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "SVGQuarvelTests/GTK/AppProcessSupport.h"
#include "XDriver/XDriver.h"

using namespace AppProcessSupport;

namespace {

/// About `bytes` bytes of short lines inside a comment, which keeps the drawing valid.
std::string commentedLines(std::size_t bytes) {
  std::string text = "<!--\n";
  for (unsigned i = 0; text.size() < bytes; ++i) text += "pasted line " + std::to_string(i) + " of the text\n";
  return text + "-->\n";
}

class AppPasteTest : public AppProcessTest {
 protected:
  /// Starts the application on a document of the circle drawing; its window.
  std::optional<XDriver::WindowID> start(const std::string& log, std::unique_ptr<XDriver::Process>& app) {
    const auto document = folder_ / "doc.svgquarvel";
    writeFile(document, documentText("// Swift\n"));
    app = launch({QUARVEL_APP_EXECUTABLE, document.string()}, log);
    return x_.findWindow("doc.svgquarvel", 120);
  }

  /// Places the caret at the end of the SVG editor of `window` and presses Ctrl+V.
  void pasteAtTheEnd(XDriver::WindowID window) {
    x_.focus(window);
    clickSVGEditor(window);
    x_.key("ctrl+End");
    x_.key("ctrl+v");
  }
};

TEST_F(AppPasteTest, ALargeTextAnotherProgramSendsInPiecesArrivesWholeAsOneEdit) {
  if (!std::filesystem::exists("/usr/bin/xclip")) GTEST_SKIP() << "needs xclip";
  std::unique_ptr<XDriver::Process> app;
  const auto window = start("app-paste.log", app);
  ASSERT_TRUE(window) << readFile(outputFile("app-paste.log"));

  // Another program holds 9 MB, which it sends in pieces of about 1 MB.
  const std::string pasted = commentedLines(9'000'000);
  const auto file = folder_ / "pasted.txt";
  writeFile(file, pasted);
  XDriver::Process owner({"/usr/bin/xclip", "-quiet", "-selection", "clipboard", "-i", file.string()}, {},
                         outputFile("app-paste-xclip.log").string());
  ASSERT_TRUE(XDriver::waitUntil([&] { return x_.clipboardText(10) == pasted; }, 30)) << "xclip holds the text";

  pasteAtTheEnd(*window);
  EXPECT_TRUE(XDriver::waitUntil([&] { return x_.title(*window) == "doc.svgquarvel \u2014 Edited"; }, 180))
      << "the paste changed nothing: " << x_.title(*window);
  x_.grab(x_.geometry(*window)).savePNG(outputFile("app-paste-large.png").string());

  // The SVG editor holds the drawing and the whole text after it (copied by Ctrl+A, Ctrl+C).
  clickSVGEditor(*window);
  x_.key("ctrl+a");
  x_.key("ctrl+c");
  std::optional<std::string> copied;
  XDriver::waitUntil([&] { return (copied = x_.clipboardText(30)) && copied != pasted; }, 120);
  ASSERT_TRUE(copied) << "nothing was copied back";
  EXPECT_EQ(copied->size(), circle.size() + pasted.size());
  EXPECT_TRUE(*copied == circle + pasted) << "the SVG editor does not hold the drawing and the whole paste";

  // One undo takes all of it back.
  x_.key("ctrl+z");
  EXPECT_TRUE(XDriver::waitUntil([&] { return x_.title(*window) == "doc.svgquarvel"; }, 60)) << x_.title(*window);
  EXPECT_TRUE(app->running());
}

TEST_F(AppPasteTest, AnOwnerThatStopsSendingItsTextGetsAMessage) {
  std::unique_ptr<XDriver::Process> app;
  const auto window = start("app-paste-stopped.log", app);
  ASSERT_TRUE(window) << readFile(outputFile("app-paste-stopped.log"));

  // This test's own connection owns the clipboard and answers the application's request with the
  // start of a text in pieces, then sends none.
  std::atomic<bool> asked = false, shown = false;
  std::thread owner([&] {
    XDriver::Session session;
    asked = session.ok() && session.offerTextThatNeverArrives(120);
    // Holds the selection until the message shows (or long enough to tell it did not).
    XDriver::waitUntil([&] { return shown.load(); }, 120);
  });
  pasteAtTheEnd(*window);
  const auto message = x_.findWindow("The text could not be pasted.", 120);
  shown = true;
  owner.join();
  EXPECT_TRUE(asked) << "the application never asked for the text";
  ASSERT_TRUE(message) << "no message: " << readFile(outputFile("app-paste-stopped.log"));
  x_.grab(x_.geometry(*message)).savePNG(outputFile("app-paste-stopped-message.png").string());
  EXPECT_EQ(x_.title(*window), "doc.svgquarvel") << "the document changed";
  EXPECT_TRUE(app->running());
}

}  // namespace
