// The real executable where the web engine cannot start a web process, because a folder it hands
// to each one leads through a file: the window opens without its preview and says why in its
// place, the windows already open keep their work.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "SVGQuarvelTests/GTK/AppProcessSupport.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"
#include "XDriver/XDriver.h"

using namespace QuarvelTestSupport;
using namespace AppProcessSupport;

namespace {

/// How many times `part` stands in `text`.
std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

class AppWebEngineTest : public AppProcessTest {
 protected:
  /// Starts the application with the `variables` ("NAME=value") in its environment.
  std::unique_ptr<XDriver::Process> launchWith(const std::vector<std::string>& variables, const std::string& log) {
    auto environment = appEnvironment(*bus_, folder_);
    for (const auto& variable : variables) {
      const auto name = variable.substr(0, variable.find('=') + 1);
      std::erase_if(environment, [&](const std::string& entry) { return entry.rfind(name, 0) == 0; });
      environment.push_back(variable);
    }
    return std::make_unique<XDriver::Process>(std::vector<std::string>{QUARVEL_APP_EXECUTABLE}, environment,
                                              outputFile(log).string());
  }

  /// Quits the application by keys in `window`: it ends with success, and `log` shows no fault.
  void quitsCleanly(XDriver::Process& app, XDriver::WindowID window, const std::string& log) {
    x_.focus(window);
    x_.key("ctrl+q");
    const auto status = app.wait(60);
    ASSERT_TRUE(status) << "the application did not quit: " << readFile(outputFile(log));
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status << "\n" << readFile(outputFile(log));
    EXPECT_FALSE(reportsAFault(readFile(outputFile(log)))) << readFile(outputFile(log));
  }

  /// How many pixels of the preview's place in `window` (the top of the sidebar) are dark grey on
  /// the window's light background: text, which a drawing's preview in colour does not show.
  /// `covered`: what showed where the window is before it was mapped.
  std::size_t textInPreview(XDriver::WindowID window, const std::string& picture,
                            const std::optional<XDriver::Image>& covered = std::nullopt) {
    const auto frame = x_.geometry(window);
    const XDriver::Rect place{frame.x + 12, frame.y + 90, 270, 260};
    std::size_t text = 0;
    // A window is mapped before it has drawn (what it covers shows until then): look once it has,
    // until it shows its background and the text (or the wait is over).
    XDriver::waitUntil(
        [&] {
          if (covered && x_.grab(frame).pixels == covered->pixels) return false;
          const auto image = x_.grab(place);
          const auto light = image.countWhere([](std::uint32_t rgb) { return luminance(rgb) > 200; });
          text = image.countWhere([](std::uint32_t rgb) {
            const int r = int(rgb >> 16 & 0xff), g = int(rgb >> 8 & 0xff), b = int(rgb & 0xff);
            return std::max({r, g, b}) < 110 && std::max({r, g, b}) - std::min({r, g, b}) < 24;
          });
          if (light < std::size_t(place.width * place.height / 2)) text = 0;
          return text > 150;
        },
        30);
    x_.grab(frame).savePNG(outputFile(picture).string());
    return text;
  }
};

TEST_F(AppWebEngineTest, ALaunchWhoseUserFolderLeadsThroughAFileOpensItsWindowWithoutAPreviewAndSaysWhy) {
  writeFile(folder_ / "plain", "a file\n");
  for (const std::string variable : {"XDG_CACHE_HOME", "XDG_DATA_HOME", "HOME"}) {
    SCOPED_TRACE(variable);
    const std::string log = "app-engine-" + variable + "-file.log";
    auto app = launchWith({variable + "=" + (folder_ / "plain" / "folder").string()}, log);
    const auto window = x_.findWindow("Untitled", 120);
    ASSERT_TRUE(window) << readFile(outputFile(log));
    // The terminal says why, naming the file and the variable that leads through it.
    ASSERT_TRUE(XDriver::waitUntil(
        [&] {
          return readFile(outputFile(log)).find("ERROR: WebView: The web engine cannot start") != std::string::npos;
        },
        60))
        << readFile(outputFile(log));
    const auto text = readFile(outputFile(log));
    EXPECT_NE(text.find("(from " + variable), std::string::npos) << text;
    EXPECT_NE(text.find("\u201c" + (folder_ / "plain").string() + "\u201d is a file, not a folder."), std::string::npos)
        << text;
    // So does the window, where the preview would be.
    EXPECT_GT(textInPreview(*window, "app-engine-" + variable + "-file.png"), 150u);

    // The application works on, and quits as it should.
    quitsCleanly(*app, *window, log);
  }
}

TEST_F(AppWebEngineTest, ABusFolderThatIsGoneStopsThePreviewAndASandboxSwitchedOffStopsNone) {
  // The session bus's address of a session that ended names a folder that is gone: the engine hands
  // it to the filter of the bus it starts for its web processes, whether it is there or not.
  {
    const std::string log = "app-engine-bus-gone.log";
    auto app = launchWith({"DBUS_SESSION_BUS_ADDRESS=unix:path=" + (folder_ / "ended" / "bus").string()}, log);
    const auto window = x_.findWindow("Untitled", 120);
    ASSERT_TRUE(window) << readFile(outputFile(log));
    const std::string why = "ERROR: WebView: The web engine cannot start: it needs \u201c" + (folder_ / "ended").string() +
                            "\u201d (from DBUS_SESSION_BUS_ADDRESS), but it cannot be looked up";
    ASSERT_TRUE(
        XDriver::waitUntil([&] { return readFile(outputFile(log)).find(why) != std::string::npos; }, 60))
        << readFile(outputFile(log));
    EXPECT_GT(textInPreview(*window, "app-engine-bus-gone.png"), 150u);
    quitsCleanly(*app, *window, log);
  }
  // With its sandbox switched off the engine hands no folder on: a user folder that leads through a
  // file stops nothing, and the preview shows the drawing, the gold square.
  {
    writeFile(folder_ / "plain", "a file\n");
    const std::string log = "app-engine-no-sandbox.log";
    auto app = launchWith(
        {"WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1", "XDG_CACHE_HOME=" + (folder_ / "plain" / "folder").string()}, log);
    const auto window = x_.findWindow("Untitled", 120);
    ASSERT_TRUE(window) << readFile(outputFile(log));
    const auto frame = x_.geometry(*window);
    EXPECT_TRUE(XDriver::waitUntil(
        [&] { return x_.grab({frame.x + 12, frame.y + 90, 270, 260}).count(0xffd700, 40) > 5000; }, 60))
        << readFile(outputFile(log));
    x_.grab(frame).savePNG(outputFile("app-engine-no-sandbox.png").string());
    EXPECT_EQ(readFile(outputFile(log)).find("ERROR: WebView"), std::string::npos) << readFile(outputFile(log));
    quitsCleanly(*app, *window, log);
  }
}

TEST_F(AppWebEngineTest, ARunTimeFolderTurnedIntoAFileLeavesTheOpenWindowsWorkAndANewWindowSaysWhy) {
  const auto runtime = folder_ / "runtime";
  std::filesystem::create_directory(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  const std::string log = "app-engine-runtime-file.log";
  auto app = launchWith({"XDG_RUNTIME_DIR=" + runtime.string(), "XDG_CACHE_HOME=" + (folder_ / "cache").string()}, log);
  const auto window = x_.findWindow("Untitled", 120);
  ASSERT_TRUE(window) << readFile(outputFile(log));
  ASSERT_TRUE(typeInto(*window, "<!--kept-->", "Untitled \u2014 Edited"));

  // The run-time folder becomes a file, and the window's web process ends (as in a crash): its next
  // load wants another one, which cannot start. The window says why at its next edit.
  std::filesystem::rename(runtime, folder_ / "runtime.moved");
  writeFile(runtime, "a file\n");
  // Its sandbox's process stands between the application and it.
  ASSERT_GT(XDriver::killDescendants(app->pid(), "WebKitWebProces"), 0);
  const std::string why = "ERROR: WebView: The web engine cannot start: it needs \u201c" + (runtime / "pulse").string() +
                          "\u201d (from XDG_RUNTIME_DIR), but \u201c" + runtime.string() +
                          "\u201d is a file, not a folder.";
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        // An edit at the end, after the drawing, changes nothing of it.
        x_.focus(*window);
        x_.key("space");
        return XDriver::waitUntil([&] { return occurrences(readFile(outputFile(log)), why) == 1; }, 10);
      },
      60))
      << readFile(outputFile(log));

  // File ▸ New by keys: the new window opens without its preview and says why there.
  x_.focus(*window);
  const auto first = x_.grab(x_.geometry(*window));
  x_.key("ctrl+n");
  const auto second = x_.findWindow("Untitled 2", 60);
  ASSERT_TRUE(second) << readFile(outputFile(log));
  EXPECT_TRUE(XDriver::waitUntil([&] { return occurrences(readFile(outputFile(log)), why) == 2; }, 60))
      << readFile(outputFile(log));
  EXPECT_GT(textInPreview(*second, "app-engine-runtime-file-new.png", first), 150u);

  // The first window keeps its unsaved edit, and takes more.
  ASSERT_TRUE(app->running()) << readFile(outputFile(log));
  EXPECT_EQ(x_.title(*window), "Untitled \u2014 Edited");
  EXPECT_TRUE(typeInto(*window, "<!--more-->", "Untitled \u2014 Edited"));
  x_.key("ctrl+a");
  x_.key("ctrl+c");
  std::optional<std::string> copied;
  XDriver::waitUntil(
      [&] {
        copied = x_.clipboardText(1);
        return copied && copied->find("<!--kept-->") != std::string::npos;
      },
      30);
  EXPECT_NE(copied.value_or("").find("<!--kept-->"), std::string::npos) << copied.value_or("");
  x_.grab(x_.geometry(*window)).savePNG(outputFile("app-engine-runtime-file-first.png").string());

  // With the folder back, the new window's next edit brings its preview: the gold square.
  std::filesystem::remove(runtime);
  std::filesystem::rename(folder_ / "runtime.moved", runtime);
  ASSERT_TRUE(typeInto(*second, "<!--back-->", "Untitled 2 \u2014 Edited"));
  const auto frame = x_.geometry(*second);
  EXPECT_TRUE(XDriver::waitUntil(
      [&] { return x_.grab({frame.x + 12, frame.y + 90, 270, 260}).count(0xffd700, 40) > 5000; }, 60));
  x_.grab(frame).savePNG(outputFile("app-engine-runtime-file-back.png").string());
  EXPECT_TRUE(app->running());
  EXPECT_FALSE(reportsAFault(readFile(outputFile(log)))) << readFile(outputFile(log));
}

}  // namespace
