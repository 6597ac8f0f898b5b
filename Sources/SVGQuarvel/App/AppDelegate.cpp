#include "SVGQuarvel/App/AppDelegate.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <string_view>
#include <thread>
#include <utility>

#include "Platform/Dispatch.h"
#include "Fennix/console/Console.h"
#include "SVGQuarvel/App/SVGConverterService.h"

namespace SVGQuarvel {

namespace {

std::string lowercased(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

std::string fileURLString(const std::filesystem::path& url) {
  std::error_code ignored;
  auto absolute = std::filesystem::absolute(url, ignored);
  gchar* uri = g_filename_to_uri((ignored ? url : absolute).c_str(), nullptr, nullptr);
  std::string text = uri != nullptr ? uri : url.string();
  g_free(uri);
  return text;
}

FileContentType contentTypeOfFile(const std::filesystem::path& url) {
  GFile* file = g_file_new_for_path(url.c_str());
  GError* failure = nullptr;
  GFileInfo* info = g_file_query_info(
      file,
      G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE "," G_FILE_ATTRIBUTE_STANDARD_TYPE "," G_FILE_ATTRIBUTE_STANDARD_SYMLINK_TARGET,
      G_FILE_QUERY_INFO_NONE, nullptr, &failure);
  g_object_unref(file);
  if (info == nullptr) {
    const bool missing = g_error_matches(failure, G_IO_ERROR, G_IO_ERROR_NOT_FOUND);
    // The toolkit's message names the file as given: shown on one line, like every name.
    const std::string message = displayText(failure->message);
    g_error_free(failure);
    throw CocoaError(missing ? CocoaError::fileReadNoSuchFile : CocoaError::fileReadUnknown, message);
  }
  FileContentType result;
  if (g_file_info_get_file_type(info) == G_FILE_TYPE_SYMBOLIC_LINK) {
    // Following the link found no file: the information is the link's own.
    const char* target = g_file_info_get_symlink_target(info);
    struct stat ignored {};
    const bool loop = ::stat(url.c_str(), &ignored) != 0 && errno == ELOOP;
    result.brokenLinkTarget = std::string(target != nullptr ? target : "");
    result.isLinkLoop = loop;
    g_object_unref(info);
    return result;
  }
  const std::string extension = url.has_extension() ? lowercased(url.extension().string().substr(1)) : "";
  const bool regular = g_file_info_get_file_type(info) == G_FILE_TYPE_REGULAR;
  result.isDirectory = g_file_info_get_file_type(info) == G_FILE_TYPE_DIRECTORY;
  const char* guessed = g_file_info_get_content_type(info);
  if (regular && extension == "svgquarvel") {
    result.mimeType = std::string(documentMimeType);
    result.isDocument = true;
  } else if (regular && extension == "svg") {
    result.mimeType = std::string("image/svg+xml");
    result.isSVG = true;
  } else if (regular && extension == "swift") {
    // Swift source is no drawing, even where the code quotes its drawing in a comment that a
    // look at the content would take for SVG.
    result.mimeType = UTType::swiftSource().preferredMIMEType();
  } else if (guessed != nullptr) {
    gchar* mime = g_content_type_get_mime_type(guessed);
    result.mimeType = std::string(mime != nullptr ? mime : guessed);
    g_free(mime);
    result.isSVG = g_content_type_is_mime_type(guessed, "image/svg+xml") != FALSE;
    result.isDocument = g_content_type_is_mime_type(guessed, documentMimeType) != FALSE;
  }
  g_object_unref(info);
  return result;
}

}  // namespace SVGQuarvel

using SVGQuarvel::DocumentController;
using SVGQuarvel::fileURLString;

/// The document files that requests are opening, each with the requests that named it again
/// meanwhile and wait for it. Main thread.
class AppDelegate::OpeningDocuments {
 public:
  using Waiter = std::function<void(const SVGQuarvel::DocumentRecordPtr&, std::exception_ptr)>;
  struct Document {
    std::filesystem::path url;
    std::vector<Waiter> waiting;
  };

  /// The document of the file at `url` (under any of its names) that opens; none.
  Document* find(const std::filesystem::path& url) {
    for (const auto& document : documents_) {
      if (sameFile(document->url, url)) return document.get();
    }
    return nullptr;
  }
  std::shared_ptr<Document> add(const std::filesystem::path& url) {
    documents_.push_back(std::make_shared<Document>(Document{url, {}}));
    return documents_.back();
  }
  /// The document has opened or failed: what waited for it.
  std::vector<Waiter> remove(const std::shared_ptr<Document>& document) {
    std::erase(documents_, document);
    return std::exchange(document->waiting, {});
  }

 private:
  static bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) return true;
    return std::filesystem::absolute(a, error).lexically_normal() == std::filesystem::absolute(b, error).lexically_normal();
  }

  std::vector<std::shared_ptr<Document>> documents_;
};

AppDelegate::AppDelegate(const MakeAboutWindow& makeAboutWindow)
    : aboutWindow_(makeAboutWindow ? makeAboutWindow() : nullptr), openingDocuments_(std::make_shared<OpeningDocuments>()) {
  // Opens the shared settings and reads the stored default before any document exists.
  (void)SVGQuarvelConfiguration::defaultConfig();
}

void AppDelegate::orderFrontStandardAboutPanel() {
  if (aboutWindow_) aboutWindow_->makeKeyAndOrderFront();
}

void AppDelegate::applicationDidFinishLaunching(GDBusConnection* connection) {
  SVGQuarvelConfiguration::registerForChangeNotifications();
  SVGConverterService::activate(connection);
}

namespace {

std::string quoted(const std::filesystem::path& url) { return "\u201c" + SVGQuarvel::displayFileName(url) + "\u201d"; }

/// Ends an activity once: on the main thread when asked there, or, if its last owner goes on
/// another thread (the conversion's queue), by a call queued on the main thread.
struct ActivityEnd {
  std::function<void()> end;
  void finish() {
    if (auto call = std::exchange(end, nullptr)) call();
  }
  ~ActivityEnd() {
    if (!end) return;
    if (DispatchQueue::main().isCurrent()) {
      end();
    } else {
      DispatchQueue::main().async(std::move(end));
    }
  }
};

/// The turns of the files that read and convert: at most `maximumParallelConversions()` at a
/// time, the others started in the order they came as turns are given back. Main thread.
class ConversionTurns {
 public:
  static ConversionTurns& shared() {
    static auto* turns = new ConversionTurns();  // lives for the whole process
    return *turns;
  }

  /// The turn of one file: given back once, when the file has been read and converted (or when
  /// the last holder lets go of it, on the main thread).
  class Turn {
   public:
    Turn() = default;
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;
    ~Turn() {
      if (!held_) return;
      if (DispatchQueue::main().isCurrent()) {
        giveBack();
      } else {
        DispatchQueue::main().async([] { shared().release(); });
        held_ = false;
      }
    }
    void giveBack() {
      if (std::exchange(held_, false)) shared().release();
    }

   private:
    friend class ConversionTurns;
    bool held_ = true;
  };

  /// Runs `start` with its turn, now or once a turn is free.
  void run(std::function<void(std::shared_ptr<Turn>)> start) {
    waiting_.push_back(std::move(start));
    startWaiting();
  }

 private:
  void release() {
    --running_;
    startWaiting();
  }
  void startWaiting() {
    while (running_ < AppDelegate::maximumParallelConversions() && !waiting_.empty()) {
      auto start = std::move(waiting_.front());
      waiting_.pop_front();
      ++running_;
      start(std::make_shared<Turn>());
    }
  }

  std::size_t running_ = 0;
  std::deque<std::function<void(std::shared_ptr<Turn>)>> waiting_;
};

}  // namespace

std::size_t AppDelegate::maximumParallelConversions() {
  static const std::size_t count = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
  return count;
}

struct AppDelegate::Batch {
  OpenOutcome outcome;
  int pending = 1;  // the opener's own share, given back once every file is under way
  std::size_t admitted = 0;
  std::size_t refused = 0;  // past the most windows of one request
  std::size_t refusedInUse = 0;  // past the most windows in use, whichever requests opened them
  /// The names of the files refused for each bound, as they are shown.
  std::vector<std::string> refusedNames;
  std::vector<std::string> refusedInUseNames;
  std::optional<std::string> fullReason;
  OpenCompletion done;
  PresentError present;
  std::function<std::size_t()> windowsOpen;
  std::shared_ptr<std::size_t> opening;

  void fail(std::string line) { outcome.failures.push_back(std::move(line)); }
  /// Whether one more file may go on to a window; counts the refused ones. A file let through is
  /// opening until `fileDone`.
  bool admit(const std::filesystem::path& url) {
    if (admitted == maximumWindowsPerRequest) {
      ++refused;
      refusedNames.push_back(quoted(url));
      return false;
    }
    if (auto full = refusedWindow((windowsOpen ? windowsOpen() : 0) + *opening, "The application")) {
      ++refusedInUse;
      refusedInUseNames.push_back(quoted(url));
      fullReason = std::move(full);
      return false;
    }
    ++admitted;
    ++*opening;
    return true;
  }
  /// A file let through has become a window or failed (main thread).
  void fileDone() { --*opening; }
  /// One file (or the opener) is finished; the last one shows the failures and reports (main thread).
  void settle() {
    if (--pending > 0) return;
    const std::size_t notOpened = outcome.failures.size() + refused + refusedInUse;
    // The files refused for the windows in use alone, and nothing opened: said with the message of
    // every other request refused so, which shows once however many requests repeat it.
    const bool onlyRefusedInUse = refusedInUse > 0 && outcome.failures.empty() && refused == 0 && outcome.opened == 0;
    if (refused > 0) {
      fail(std::to_string(refused) + (refused == 1 ? " more file was" : " more files were") +
           " not opened: one request opens at most " + std::to_string(maximumWindowsPerRequest) + " windows." +
           names(refusedNames));
    }
    if (refusedInUse > 0) {
      // Within the line the reason goes on after a colon, in lower case like the lines above.
      std::string reason = *fullReason;
      if (!reason.empty() && reason[0] >= 'A' && reason[0] <= 'Z') reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
      fail(std::to_string(refusedInUse) + (refusedInUse == 1 ? " more file was" : " more files were") +
           " not opened: " + reason + names(refusedInUseNames));
    }
    refused = refusedInUse = 0;
    auto show = std::exchange(present, nullptr);
    auto report = std::exchange(done, nullptr);
    if (show && onlyRefusedInUse) {
      show(noNewWindowHeading, *fullReason);
    } else if (show && !outcome.failures.empty()) {
      // One message for all that did not open, whichever the reasons.
      show(notOpened == 1 ? "The file could not be opened." : "Some files could not be opened.",
           failureDetail(outcome.failures));
    }
    if (report) report(outcome);
  }

 private:
  /// The names of refused files as they end a line: the first few, and how many more there are.
  static std::string names(const std::vector<std::string>& refusedFiles) {
    constexpr std::size_t named = 4;
    std::string text = " Not opened: ";
    for (std::size_t index = 0; index < refusedFiles.size() && index < named; ++index) {
      text += (index == 0 ? "" : ", ") + refusedFiles[index];
    }
    if (refusedFiles.size() > named) text += " and " + std::to_string(refusedFiles.size() - named) + " more";
    return text + ".";
  }
};

namespace {

/// `text` with its middle replaced by `ellipsis` so that it has at most `maximumBytes` bytes; cut
/// between characters.
std::string elided(std::string_view text, std::size_t maximumBytes, std::string_view ellipsis) {
  if (text.size() <= maximumBytes) return std::string(text);
  auto continuation = [&](std::size_t at) { return (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80; };
  const std::size_t kept = maximumBytes - ellipsis.size();
  std::size_t headEnd = kept / 2;
  while (headEnd > 0 && continuation(headEnd)) --headEnd;
  std::size_t tailStart = text.size() - (kept - kept / 2);
  while (tailStart < text.size() && continuation(tailStart)) ++tailStart;
  return std::string(text.substr(0, headEnd)).append(ellipsis).append(text.substr(tailStart));
}

/// A line of a message, on one line (control characters show as their pictures), with every run
/// without spaces (a name, a path) of at most `maximumFailureWordBytes` and the whole of at most
/// `maximumFailureLineBytes`, so that it wraps between words within the window's width.
std::string shortened(const std::string& text) {
  // A name or a system's message within the line may hold line breaks.
  const std::string line = SVGQuarvel::displayText(text);
  std::string result;
  std::size_t start = 0;
  while (start <= line.size()) {
    const std::size_t end = std::min(line.find(' ', start), line.size());
    result += elided(std::string_view(line).substr(start, end - start), AppDelegate::maximumFailureWordBytes, "\u2026");
    if (end == line.size()) break;
    result += ' ';
    start = end + 1;
  }
  return elided(result, AppDelegate::maximumFailureLineBytes, " \u2026 ");
}

}  // namespace

std::string AppDelegate::failureDetail(const std::vector<std::string>& failures) {
  const std::size_t listed = failures.size() <= listedFailures ? failures.size() : listedFailures - 1;
  std::string detail;
  for (std::size_t index = 0; index < listed; ++index) {
    detail += (index == 0 ? "" : "\n") + shortened(failures[index]);
  }
  if (listed < failures.size()) {
    detail += "\n\u2026 and " + std::to_string(failures.size() - listed) + " more files could not be opened.";
  }
  return detail;
}

std::optional<std::string> AppDelegate::refusedWindow(std::size_t windowsInUse, const std::string& holder) {
  if (windowsInUse < maximumWindowsPerRequest) return std::nullopt;
  return holder + " has " + std::to_string(maximumWindowsPerRequest) +
         " windows open, as many as it opens at a time; close one of them first.";
}

std::shared_ptr<AppDelegate::Batch> AppDelegate::makeBatch(OpenCompletion done) {
  auto batch = std::make_shared<Batch>();
  batch->done = std::move(done);
  batch->present = presentError_;
  batch->windowsOpen = windowsOpen_;
  batch->opening = opening_;
  return batch;
}

std::optional<std::string> AppDelegate::refusedNewWindow() const {
  return refusedWindow(windowsInUse(), "The application");
}

void AppDelegate::applicationOpen(const std::vector<std::filesystem::path>& urls, OpenCompletion done) {
  auto batch = makeBatch(std::move(done));
  open(urls, batch);
  batch->settle();
}

void AppDelegate::open(const std::vector<std::filesystem::path>& urls, const std::shared_ptr<Batch>& batch) {
  std::string names = "[";
  for (const auto& url : urls) names += (names.size() > 1 ? ", " : "") + fileURLString(url);
  names += "]";
  console::log("open URLs:", names, "in:", std::string("<DocumentController>"));
  for (const auto& url : urls) {
    SVGQuarvel::FileContentType type;
    try {
      type = SVGQuarvel::contentTypeOfFile(url);
    } catch (const CocoaError& error) {
      console::error("failed to open:", error, SVGQuarvel::displayText(url.string()));
      batch->fail(error.code() == CocoaError::fileReadNoSuchFile ? quoted(url) + " does not exist."
                                                                 : quoted(url) + ": " + error.what());
      continue;
    }
    const std::string name = url.filename().string();
    if (type.brokenLinkTarget) {
      console::error("  cannot open a broken link:", SVGQuarvel::displayText(name));
      batch->fail(type.isLinkLoop ? quoted(url) + " is a symbolic link that leads round in a loop of links, not to a file."
                                  : quoted(url) + " is a symbolic link to \u201c" + SVGQuarvel::displayText(*type.brokenLinkTarget) +
                                        "\u201d, which does not exist.");
      continue;
    }
    if (type.isDirectory) {
      console::error("  cannot open a folder:", SVGQuarvel::displayText(name));
      batch->fail(quoted(url) + " is a folder, not an SVG drawing or a document.");
      continue;
    }
    if (!type.mimeType) {
      batch->fail(quoted(url) + " is of an unknown type.");
      continue;
    }
    if (!type.isSVG) {
      console::error("  cannot open non-SVG file:", SVGQuarvel::displayText(name));
      batch->fail(quoted(url) + " is not an SVG drawing or a document.");
      continue;
    }
    if (!batch->admit(url)) continue;
    console::log("  open SVG:", SVGQuarvel::displayText(name));
    const std::string absolute = fileURLString(url);
    if (beginActivity_) beginActivity_();
    auto activity = std::make_shared<ActivityEnd>();
    activity->end = endActivity_;
    ++batch->pending;
    ConversionTurns::shared().run([absolute, activity, batch, url](std::shared_ptr<ConversionTurns::Turn> turn) {
      SVGQuarvelDocument::openSVG(
          url, SVGQuarvelConfiguration::defaultConfig(),
          [absolute, activity, batch, url, turn](std::optional<CocoaError> error) {
            turn->giveBack();
            if (error) {
              console::error("Failed to open SVG URL:", absolute, std::string("\n  error:"), *error);
              // A drawing refused for its size says why in words of its own.
              batch->fail(error->code() == CocoaError::fileReadTooLarge ? error->localizedDescription()
                                                                        : error->what());
            } else {
              try {
                DocumentController::shared().openUntitledDocumentAndDisplay(true);
                ++batch->outcome.opened;
              } catch (const std::exception& failure) {
                console::error("Failed to open untitled document for loaded SVG?:", std::string(failure.what()),
                               absolute);
                batch->fail("No window could be opened for " + quoted(url) + ": " + failure.what());
              }
            }
            // Both here, on the main thread, whichever thread lets go of this call last.
            batch->fileDone();
            batch->settle();
            activity->finish();
          });
    });
  }
}

void AppDelegate::openFiles(const std::vector<std::filesystem::path>& urls, OpenCompletion done,
                            std::vector<std::string> refused) {
  auto batch = makeBatch(std::move(done));
  batch->outcome.failures = std::move(refused);
  // What became of one document: counted as opened, or one line of the request's failures.
  auto settleDocument = [](Batch& request, const std::filesystem::path& url, const SVGQuarvel::DocumentRecordPtr& record,
                           std::exception_ptr failure) {
    if (record) {
      ++request.outcome.opened;
      return;
    }
    try {
      std::rethrow_exception(failure);
    } catch (const CocoaError& error) {
      console::error("could not open document:", SVGQuarvel::displayText(url.string()), std::string(error.what()));
      // A document refused for its size says why in words of its own.
      request.fail(error.code() == CocoaError::fileReadTooLarge
                     ? error.localizedDescription()
                     : "The document " + quoted(url) + " could not be opened. " + error.what());
    } catch (const std::exception& error) {
      console::error("could not open document:", SVGQuarvel::displayText(url.string()), std::string(error.what()));
      request.fail("The document " + quoted(url) + " could not be opened. " + error.what());
    } catch (...) {
      request.fail("The document " + quoted(url) + " could not be opened.");
    }
  };
  std::vector<std::filesystem::path> others;
  for (const auto& url : urls) {
    bool isDocument = false;
    try {
      isDocument = SVGQuarvel::contentTypeOfFile(url).isDocument;
    } catch (const CocoaError&) {
      // reported by applicationOpen
    }
    if (!isDocument) {
      others.push_back(url);
      continue;
    }
    // A document that opens already (named again by this request or by another one) comes forward
    // with it: it takes no window more, and is read once.
    if (auto* opening = openingDocuments_->find(url)) {
      console::log("  show opening document:", SVGQuarvel::displayText(url.filename().string()));
      ++batch->pending;
      opening->waiting.push_back([batch, url, settleDocument](const SVGQuarvel::DocumentRecordPtr& record,
                                                              std::exception_ptr failure) {
        settleDocument(*batch, url, record, std::move(failure));
        batch->settle();
      });
      continue;
    }
    // A document already open only comes forward: it takes no window more, so the bound of the
    // windows in use does not refuse it.
    if (DocumentController::shared().recordForFile(url)) {
      console::log("  show open document:", SVGQuarvel::displayText(url.filename().string()));
      ++batch->pending;
      DocumentController::shared().openDocument(
          url, true, [batch, url, settleDocument](const SVGQuarvel::DocumentRecordPtr& record, std::exception_ptr failure) {
            settleDocument(*batch, url, record, std::move(failure));
            batch->settle();
          });
      continue;
    }
    if (!batch->admit(url)) continue;
    console::log("  open document:", SVGQuarvel::displayText(url.filename().string()));
    if (beginActivity_) beginActivity_();
    auto activity = std::make_shared<ActivityEnd>();
    activity->end = endActivity_;
    ++batch->pending;
    auto opening = openingDocuments_->add(url);
    ConversionTurns::shared().run([activity, batch, url, settleDocument, opening,
                                   documents = openingDocuments_](std::shared_ptr<ConversionTurns::Turn> turn) {
      DocumentController::shared().openDocument(
          url, true,
          [activity, batch, url, turn, settleDocument, opening, documents](const SVGQuarvel::DocumentRecordPtr& record,
                                                                          std::exception_ptr failure) {
            turn->giveBack();
            const auto waiting = documents->remove(opening);
            settleDocument(*batch, url, record, failure);
            batch->fileDone();
            batch->settle();
            for (const auto& then : waiting) then(record, failure);
            activity->finish();
          });
    });
  }
  if (!others.empty()) open(others, batch);
  batch->settle();
}
