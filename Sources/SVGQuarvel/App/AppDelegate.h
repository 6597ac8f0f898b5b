// The application delegate: keeps the About window, loads the default settings at start, offers
// the services when launching finishes, and turns files handed to the application into windows.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "SVGQuarvel/App/DocumentController.h"

typedef struct _GDBusConnection GDBusConnection;

namespace SVGQuarvel {

/// The About window as the delegate sees it.
class AboutWindowHandle {
 public:
  virtual ~AboutWindowHandle() = default;
  /// Shows the window in front and gives it the focus.
  virtual void makeKeyAndOrderFront() = 0;
};

/// The content type of a file: its type, or the error of reading what the file is.
struct FileContentType {
  /// The type, as a MIME type ("image/svg+xml", "image/png", ...); none when nothing is known.
  std::optional<std::string> mimeType;
  bool isSVG = false;
  bool isDocument = false;
  bool isDirectory = false;
  /// A symbolic link that leads to no file: where it points (as written in the link), and whether
  /// its links lead round in a loop rather than to a name that does not exist.
  std::optional<std::string> brokenLinkTarget;
  bool isLinkLoop = false;
};

/// What the file at `url` holds: known extensions decide first, then the system's guess from
/// the name and the first bytes. A missing or inaccessible file throws a `CocoaError`.
FileContentType contentTypeOfFile(const std::filesystem::path& url);

/// The file's address as text ("file:///...").
std::string fileURLString(const std::filesystem::path& url);

}  // namespace SVGQuarvel

class AppDelegate {
 public:
  using MakeAboutWindow = std::function<std::unique_ptr<SVGQuarvel::AboutWindowHandle>()>;
  /// Shows an error to the user (files that could not be opened): a heading and the details.
  using PresentError = std::function<void(const std::string& heading, const std::string& detail)>;
  /// What became of files handed over together, once every one has opened or failed.
  struct OpenOutcome {
    /// How many of the files became windows.
    std::size_t opened = 0;
    /// One line for the user per file that did not open: those refused at once in the order the
    /// files were given, then those read in the background as they finished.
    std::vector<std::string> failures;
  };
  using OpenCompletion = std::function<void(const OpenOutcome&)>;
  /// How many failures a message lists; past it, the rest are counted.
  static constexpr std::size_t listedFailures = 8;
  /// Longest run without spaces (a name, a path) and longest line of such a message, in bytes: a
  /// longer one (a name of thousands of characters that cannot be a file's) keeps its start and its
  /// end around an ellipsis, so that the message wraps within the screen and lays out at once
  /// instead of holding the windows for minutes.
  static constexpr std::size_t maximumFailureWordBytes = 64;
  static constexpr std::size_t maximumFailureLineBytes = 1000;
  /// The lines of a message about files that did not open: the first ones, and then how many more
  /// there are, so that the message fits on the screen.
  static std::string failureDetail(const std::vector<std::string>& failures);

  /// Most windows one request (a launch, the files of the Open panel or of the desktop) opens; the
  /// files past it are refused with one line for all of them.
  static constexpr std::size_t maximumWindowsPerRequest = 32;
  /// Whether one more window may open where `windowsInUse` are open or opening: none while fewer
  /// than `maximumWindowsPerRequest`; past it, why not, as said of `holder` ("the service"):
  /// "<holder> has 32 windows open, as many as it opens at a time; close one of them first."
  /// The requests that open one window each (the open service, the New command, a sample drawing,
  /// a recent file) keep this bound on what they have open, so that a program that repeats them
  /// cannot fill the session with windows.
  static std::optional<std::string> refusedWindow(std::size_t windowsInUse, const std::string& holder);
  /// The heading of the message that refuses windows past that bound.
  static constexpr const char* noNewWindowHeading = "No new window was opened.";

  /// Most files (drawings and documents) that read and convert at the same time, whichever requests
  /// gave them: the number of processors, at least 1 and at most 4. Each takes memory many times
  /// its size while it converts; the others wait their turn and open in turn.
  static std::size_t maximumParallelConversions();

  /// Makes the About window with `makeAboutWindow` and loads the default settings.
  explicit AppDelegate(const MakeAboutWindow& makeAboutWindow);

  /// Shows the About window.
  void orderFrontStandardAboutPanel();
  /// Registers for changes of the default settings and offers the services on `connection`.
  void applicationDidFinishLaunching(GDBusConnection* connection);
  /// SVG files become new documents (converted off the main thread); others are refused. When all
  /// have opened or failed, the failures are shown (`setPresentError`) and `done` learns the outcome.
  void applicationOpen(const std::vector<std::filesystem::path>& urls, OpenCompletion done = nullptr);
  /// Files given on the command line, by the desktop, the Open panel or the recent documents:
  /// document files open as documents (read off the main thread), the rest goes to
  /// `applicationOpen`; failures and `done` as there. `refused` are the lines of names of the same
  /// request that were refused before (names that are no local file): they lead the request's
  /// failures, so that the request shows one message for all it did not open.
  void openFiles(const std::vector<std::filesystem::path>& urls, OpenCompletion done = nullptr,
                 std::vector<std::string> refused = {});

  void setPresentError(PresentError presentError) { presentError_ = std::move(presentError); }
  /// How many document windows are open; with the files that requests are still opening, they are
  /// the windows in use that every request that opens windows keeps within the bound of
  /// `refusedWindow`. A file past it is refused (and said so once per request), so that requests
  /// repeated by another program cannot fill the session with windows.
  void setWindowsOpen(std::function<std::size_t()> windowsOpen) { windowsOpen_ = std::move(windowsOpen); }
  /// The files of requests that have been let through and have neither opened nor failed yet.
  std::size_t filesOpening() const { return *opening_; }
  /// The windows in use: those open and the files that requests are still opening.
  std::size_t windowsInUse() const { return (windowsOpen_ ? windowsOpen_() : 0) + *opening_; }
  /// Why one more window may not open now, as the application says it; none while it may.
  std::optional<std::string> refusedNewWindow() const;
  /// Called when a file starts converting and when its window is made (or the file failed), so
  /// that the application keeps running meanwhile; both on the main thread.
  void setActivityHooks(std::function<void()> begin, std::function<void()> end) {
    beginActivity_ = std::move(begin);
    endActivity_ = std::move(end);
  }

 private:
  struct Batch;
  class OpeningDocuments;
  void open(const std::vector<std::filesystem::path>& urls, const std::shared_ptr<Batch>& batch);
  std::shared_ptr<Batch> makeBatch(OpenCompletion done);

  std::unique_ptr<SVGQuarvel::AboutWindowHandle> aboutWindow_;
  PresentError presentError_;
  std::function<void()> beginActivity_;
  std::function<void()> endActivity_;
  std::function<std::size_t()> windowsOpen_;
  /// Shared with the requests under way, which may finish after the delegate has gone.
  std::shared_ptr<std::size_t> opening_ = std::make_shared<std::size_t>(0);
  /// The document files opening, shared with the requests under way.
  std::shared_ptr<OpeningDocuments> openingDocuments_;
};
