// The application's copies read by another program, as it would paste them: a separate X client
// asks the clipboard's owner for the text and compares it byte for byte. Large texts reach it in
// pieces; text outside ASCII arrives as the same UTF-8.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>

#include "SVGQuarvelTests/GTK/AppProcessSupport.h"
#include "XDriver/XDriver.h"

using namespace AppProcessSupport;

namespace {

const std::string firstLine = "// Gr\u00fc\u00dfe, na\u00efve caf\u00e9 \u2014 \u2713 \U0001D11E \U0001F389";

/// Swift of about `bytes` bytes: comments and declarations, some lines with characters of two,
/// three and four UTF-8 bytes (the last outside the editor's 16-bit units).
std::string largeSwift(std::size_t bytes) {
  std::string swift = firstLine + "\n";
  for (unsigned i = 0; swift.size() < bytes; ++i) {
    swift += i % 3 == 0 ? "let value" + std::to_string(i) + " = \"\u00e4\u00f6\u00fc \u2192 \U0001F600\"\n"
                        : "// line " + std::to_string(i) + " of a long file, copied whole\n";
  }
  return swift;
}

/// Where two texts first differ, to tell what arrived without printing megabytes.
std::string difference(const std::optional<std::string>& arrived, const std::string& expected) {
  if (!arrived) return "nothing arrived";
  const auto at = std::mismatch(arrived->begin(), arrived->end(), expected.begin(), expected.end());
  return std::to_string(arrived->size()) + " of " + std::to_string(expected.size()) + " bytes arrived; first " +
         "difference at byte " + std::to_string(at.first - arrived->begin());
}

class AppClipboardTest : public AppProcessTest {
 protected:
  /// Presses `keys` until the clipboard holds `expected` (read by this test's own X connection,
  /// each answer awaited for up to ten seconds), and answers what it last held.
  std::optional<std::string> copyUntil(const std::function<void()>& keys, const std::string& expected) {
    std::optional<std::string> copied;
    XDriver::waitUntil(
        [&] {
          keys();
          return XDriver::waitUntil([&] { return (copied = x_.clipboardText(10)) == expected; }, 10);
        },
        180);
    return copied;
  }
};

TEST_F(AppClipboardTest, ALargeCopyReachesAnotherProgramWholeAndByteExact) {
  const std::string swift = largeSwift(12u << 20);
  const auto document = folder_ / "doc.svgquarvel";
  writeFile(document, documentText(swift));
  auto app = launch({QUARVEL_APP_EXECUTABLE, document.string()}, "app-clipboard.log");
  const auto window = x_.findWindow("doc.svgquarvel", 120);
  ASSERT_TRUE(window) << readFile(outputFile("app-clipboard.log"));
  const auto frame = x_.geometry(*window);

  // The first line of the Swift editor, a short text beyond ASCII: selected with Shift+End once
  // the editor shows the file (clicks before go nowhere, or to an editor still filling).
  const auto copyFirstLine = [&] {
    x_.focus(*window);
    x_.click(frame.x + int(frame.width * 0.85), frame.y + int(frame.height * 0.75));
    x_.key("ctrl+Home");
    x_.key("shift+End");
    x_.key("ctrl+c");
  };
  auto copied = copyUntil(copyFirstLine, firstLine);
  x_.grab(frame).savePNG(outputFile("app-clipboard-window.png").string());
  ASSERT_EQ(copied, firstLine) << readFile(outputFile("app-clipboard.log"));

  // Copy Swift (Shift+Ctrl+C) puts the whole document's Swift on the clipboard.
  copied = copyUntil([&] { x_.key("shift+ctrl+c"); }, swift);
  EXPECT_TRUE(copied == swift) << "Copy Swift: " << difference(copied, swift);
  // A program that asks for plain text with no character set named gets the same bytes, and the
  // clipboard goes on answering the next one.
  copied = x_.clipboardText(10, "text/plain");
  EXPECT_TRUE(copied == swift) << "as text/plain: " << difference(copied, swift);
  copied = x_.clipboardText(10);
  EXPECT_TRUE(copied == swift) << "after text/plain: " << difference(copied, swift);

  // The editor's own copy of everything selected, with real keys.
  ASSERT_EQ(copyUntil(copyFirstLine, firstLine), firstLine);
  copied = copyUntil(
      [&] {
        x_.key("ctrl+a");
        x_.key("ctrl+c");
      },
      swift);
  EXPECT_TRUE(copied == swift) << "Ctrl+A, Ctrl+C: " << difference(copied, swift);
  EXPECT_TRUE(app->running());
}

}  // namespace
