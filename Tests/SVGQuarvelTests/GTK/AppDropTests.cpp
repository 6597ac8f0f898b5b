// Drags into the real executable with real pointer input: a file dragged from another program's
// window, and SVG data dragged from it, replace the document's SVG; while the drag hovers over
// the window a border in the highlight colour shows inside its edges. A drawing too large to open
// is refused with a message and changes nothing. Dropped files are read as Open reads them: a
// named pipe is refused at once with Open's reason, and UTF-16 text is taken.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/GTK/AppProcessSupport.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using namespace QuarvelTestSupport;
using namespace AppProcessSupport;

namespace {

bool isHighlight(std::uint32_t rgb) {
  // The theme's selection colour (a saturated blue), not the greys of the window.
  const int r = int((rgb >> 16) & 0xff), g = int((rgb >> 8) & 0xff), b = int(rgb & 0xff);
  return b > 150 && b - r > 80 && b - g > 30;
}

bool isDropTargetColour(std::uint32_t rgb) {
  // The toolkit's own line around a drop target (a green), not the greys of the window.
  const int r = int((rgb >> 16) & 0xff), g = int((rgb >> 8) & 0xff), b = int(rgb & 0xff);
  return g > 100 && g - r > 40 && g - b > 60;
}

class AppDropTest : public AppProcessTest {
 protected:
  /// Starts the drag source offering `arguments` (kept in `source_`: the data goes over once the
  /// drop has happened), and drags from it to the middle of the SVG editor of `window`: once the
  /// window shows its drop border, lets go. Whether the border showed.
  bool dragInto(XDriver::WindowID window, const std::vector<std::string>& arguments, const std::string& picture) {
    std::vector<std::string> argv{QUARVEL_DRAG_SOURCE};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    source_.reset();
    source_ = launch(argv, picture + ".log");
    const auto handle = x_.findWindow("Drag Source", 30);
    if (!handle) return false;
    const auto from = x_.geometry(*handle);
    const auto to = x_.geometry(window);
    const int startX = from.x + from.width / 2, startY = from.y + from.height / 2;
    const int endX = to.x + to.width / 2, endY = to.y + to.height * 3 / 10;
    // A press that comes before the source's window takes input starts no drag: on a busy machine
    // the first try may go nowhere, so a drag that shows no border is let go and made again.
    for (int attempt = 0; attempt < 4; ++attempt) {
      x_.moveTo(startX, startY);
      x_.press(1);
      for (int step = 1; step <= 20; ++step) {
        x_.moveTo(startX + (endX - startX) * step / 20, startY + (endY - startY) * step / 20);
        XDriver::waitUntil([] { return false; }, 0.02);
      }
      // The border: the window's left edge below the header bar (inside the margin the toolkit
      // keeps around a window it decorates itself), in the highlight colour.
      int wiggle = 0;
      const bool targeted = XDriver::waitUntil(
          [&] {
            x_.moveTo(endX + (++wiggle % 2), endY);
            const auto edge = x_.grab({to.x, to.y + to.height / 2, 12, 1});
            return std::any_of(edge.pixels.begin(), edge.pixels.end(), isHighlight);
          },
          15);
      if (targeted) x_.grab(to).savePNG(outputFile(picture + ".png").string());
      x_.release(1);
      if (targeted) return true;
    }
    return false;
  }

  /// Whether any pixel of the window's side edges, inside the margin the toolkit keeps around a
  /// window it decorates itself, has the colour of the window's border or the toolkit's drop line.
  bool showsHighlight(XDriver::WindowID window) {
    const auto picture = x_.grab(x_.geometry(window));
    const int w = picture.width, h = picture.height;
    const auto marked = [](std::uint32_t rgb) { return isHighlight(rgb) || isDropTargetColour(rgb); };
    return picture.countWhere(marked, XDriver::Rect{0, h / 4, 12, h / 2}) > 0 ||
           picture.countWhere(marked, XDriver::Rect{w - 12, h / 4, 12, h / 2}) > 0;
  }

  /// The text of the SVG editor of `window`, copied with the keys a user presses.
  std::optional<std::string> svgEditorText(XDriver::WindowID window) {
    const auto frame = x_.geometry(window);
    x_.focus(window);
    x_.click(frame.x + frame.width / 2, frame.y + frame.height * 3 / 10);
    x_.key("ctrl+a");
    x_.key("ctrl+c");
    return x_.clipboardText();
  }

  std::unique_ptr<XDriver::Process> source_;
};

TEST_F(AppDropTest, ADraggedSVGFileAndDraggedSVGDataReplaceTheDocumentsSVG) {
  const std::string fileSVG =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 10\"><circle r=\"4\" fill=\"teal\"/></svg>\n";
  const std::string dataSVG =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 10\"><ellipse rx=\"4\" ry=\"2\"/></svg>\n";
  writeFile(folder_ / "dragged.svg", fileSVG);
  writeFile(folder_ / "data.svg", dataSVG);
  auto app = launch({QUARVEL_APP_EXECUTABLE}, "app-drop.log");
  const auto window = x_.findWindow("Untitled", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-drop.log"));
  ASSERT_TRUE(XDriver::waitUntil([&] { return svgEditorText(*window) == std::string(newDocumentSVG); }, 20));

  // A file.
  EXPECT_TRUE(dragInto(*window, {"--file", (folder_ / "dragged.svg").string()}, "app-drop-file-hover"))
      << "no border while the file hovered over the window";
  EXPECT_TRUE(XDriver::waitUntil([&] { return svgEditorText(*window) == fileSVG; }, 20))
      << "the dropped file did not replace the SVG: " << svgEditorText(*window).value_or("(nothing)");
  x_.grab(x_.geometry(*window)).savePNG(outputFile("app-drop-file.png").string());
  // The Swift follows.
  x_.key("shift+ctrl+c");
  EXPECT_TRUE(XDriver::waitUntil([&] { return x_.clipboardText().value_or("").find("Circle()") != std::string::npos; }, 10));

  // SVG data.
  EXPECT_TRUE(dragInto(*window, {"--data", "image/svg+xml", (folder_ / "data.svg").string()}, "app-drop-data-hover"))
      << "no border while the data hovered over the window";
  EXPECT_TRUE(XDriver::waitUntil([&] { return svgEditorText(*window) == dataSVG; }, 20))
      << "the dropped data did not replace the SVG: " << svgEditorText(*window).value_or("(nothing)");
  x_.grab(x_.geometry(*window)).savePNG(outputFile("app-drop-data.png").string());
  // The drag is over: no highlight stays around the window's content.
  EXPECT_TRUE(XDriver::waitUntil([&] { return !showsHighlight(*window); }, 10))
      << "the drop highlight stayed after the data was dropped";
  x_.grab(x_.geometry(*window)).savePNG(outputFile("app-drop-data-after.png").string());
  x_.key("shift+ctrl+c");
  EXPECT_TRUE(XDriver::waitUntil([&] { return x_.clipboardText().value_or("").find("Ellipse()") != std::string::npos; }, 10));
  EXPECT_TRUE(app->running());
}

TEST_F(AppDropTest, ADrawingTooLargeToOpenIsRefusedWithItsSizeAndChangesNothing) {
  // 17 MB of SVG text: one more megabyte than the drawings that open.
  const std::size_t size = std::size_t{17} << 20;
  const std::string head = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 10\"><!--";
  const std::string tail = "--><circle r=\"4\"/></svg>\n";
  writeFile(folder_ / "big.svg", head + std::string(size - head.size() - tail.size(), ' ') + tail);
  ASSERT_EQ(std::filesystem::file_size(folder_ / "big.svg"), size);
  auto app = launch({QUARVEL_APP_EXECUTABLE}, "app-drop-large.log");
  const auto window = x_.findWindow("Untitled", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-drop-large.log"));
  ASSERT_TRUE(XDriver::waitUntil([&] { return svgEditorText(*window) == std::string(newDocumentSVG); }, 20));
  const std::string heading = "The drawing could not be dropped.";
  const std::string limit = "; drawings of at most 16 MB (16777216 bytes) of SVG text open.";

  // A file: refused by its size, named in the message.
  EXPECT_TRUE(dragInto(*window, {"--file", (folder_ / "big.svg").string()}, "app-drop-large-file-hover"));
  auto message = x_.findWindow(heading, 30);
  ASSERT_TRUE(message) << "no message for the file";
  expectShownWithText(*message, "app-drop-large-file.png");
  EXPECT_NE(readFile(outputFile("app-drop-large.log"))
                .find("The drawing \u201c" "big.svg\u201d is too large to open: it has 17 MB (17825792 bytes)" + limit),
            std::string::npos)
      << readFile(outputFile("app-drop-large.log"));
  dismiss(heading);
  EXPECT_EQ(svgEditorText(*window), std::string(newDocumentSVG));

  // The same text as data carried by the drag. The toolkit's drag source hands its data over in
  // one piece of at most the X server's largest request (just under 16 MB), so this much never
  // arrives and no message can show: the window stays as it was, and keeps answering.
  EXPECT_TRUE(dragInto(*window, {"--data", "image/svg+xml", (folder_ / "big.svg").string()}, "app-drop-large-data-hover"));
  EXPECT_FALSE(x_.findWindow(heading, 5).has_value());
  EXPECT_EQ(svgEditorText(*window), std::string(newDocumentSVG));
  x_.key("shift+ctrl+c");
  EXPECT_TRUE(XDriver::waitUntil([&] { return x_.clipboardText().value_or("").find("Rectangle()") != std::string::npos; }, 10));
  x_.grab(x_.geometry(*window)).savePNG(outputFile("app-drop-large-after.png").string());
  EXPECT_TRUE(app->running());
}

TEST_F(AppDropTest, DroppedFilesAreReadAsOpenReadsThemAndANamedPipeIsRefusedAtOnce) {
  const std::string wideSVG =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 10\"><circle r=\"4\" fill=\"teal\"/></svg>\n";
  const std::string markedSVG =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 10\"><ellipse rx=\"4\" ry=\"2\"/></svg>\n";
  const auto pipe = folder_ / "pipe.svg";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::string utf16 = "\xfe\xff";  // big endian, with its mark
  for (const char c : wideSVG) utf16 += {'\0', c};
  writeFile(folder_ / "wide.svg", utf16);
  writeFile(folder_ / "marked.svg", "\xef\xbb\xbf" + markedSVG);
  auto app = launch({QUARVEL_APP_EXECUTABLE}, "app-drop-read.log");
  const auto window = x_.findWindow("Untitled", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-drop-read.log"));
  ASSERT_TRUE(XDriver::waitUntil([&] { return svgEditorText(*window) == std::string(newDocumentSVG); }, 20));
  const std::string heading = "The drawing could not be dropped.";

  // The pipe: refused with the reason Open gives, and nothing is left waiting to read it.
  EXPECT_TRUE(dragInto(*window, {"--file", pipe.string()}, "app-drop-pipe-hover"));
  auto message = x_.findWindow(heading, 30);
  ASSERT_TRUE(message) << "no message for the pipe";
  expectShownWithText(*message, "app-drop-pipe.png");
  EXPECT_NE(readFile(outputFile("app-drop-read.log"))
                .find("The file \u201cpipe.svg\u201d couldn\u2019t be opened because it is a named pipe, not a file."),
            std::string::npos)
      << readFile(outputFile("app-drop-read.log"));
  dismiss(heading);
  const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  EXPECT_LT(writer, 0) << "the application still reads the pipe";
  if (writer >= 0) ::close(writer);
  EXPECT_EQ(svgEditorText(*window), std::string(newDocumentSVG));

  // UTF-16 text, and UTF-8 text without its byte order mark.
  EXPECT_TRUE(dragInto(*window, {"--file", (folder_ / "wide.svg").string()}, "app-drop-wide-hover"));
  EXPECT_TRUE(XDriver::waitUntil([&] { return svgEditorText(*window) == wideSVG; }, 20))
      << "the UTF-16 file did not replace the SVG: " << svgEditorText(*window).value_or("(nothing)");
  x_.grab(x_.geometry(*window)).savePNG(outputFile("app-drop-wide.png").string());
  x_.key("shift+ctrl+c");
  EXPECT_TRUE(XDriver::waitUntil([&] { return x_.clipboardText().value_or("").find("Circle()") != std::string::npos; }, 10));
  EXPECT_TRUE(dragInto(*window, {"--file", (folder_ / "marked.svg").string()}, "app-drop-marked-hover"));
  EXPECT_TRUE(XDriver::waitUntil([&] { return svgEditorText(*window) == markedSVG; }, 20))
      << "the marked file did not replace the SVG as it opens: " << svgEditorText(*window).value_or("(nothing)");
  EXPECT_FALSE(x_.findWindow(heading, 2).has_value());
  EXPECT_TRUE(app->running());
}

}  // namespace
