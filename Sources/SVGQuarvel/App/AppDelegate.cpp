#include "SVGQuarvel/App/AppDelegate.h"

#include <gio/gio.h>

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
  GFileInfo* info = g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE "," G_FILE_ATTRIBUTE_STANDARD_TYPE,
                                      G_FILE_QUERY_INFO_NONE, nullptr, &failure);
  g_object_unref(file);
  if (info == nullptr) {
    const bool missing = g_error_matches(failure, G_IO_ERROR, G_IO_ERROR_NOT_FOUND);
    const std::string message = failure->message;
    g_error_free(failure);
    throw CocoaError(missing ? CocoaError::fileReadNoSuchFile : CocoaError::fileReadUnknown, message);
  }
  FileContentType result;
  const std::string extension = url.has_extension() ? lowercased(url.extension().string().substr(1)) : "";
  const bool regular = g_file_info_get_file_type(info) == G_FILE_TYPE_REGULAR;
  const char* guessed = g_file_info_get_content_type(info);
  if (regular && extension == "svgquarvel") {
    result = {std::string(documentMimeType), false, true};
  } else if (regular && extension == "svg") {
    result = {std::string("image/svg+xml"), true, false};
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

AppDelegate::AppDelegate(const MakeAboutWindow& makeAboutWindow)
    : aboutWindow_(makeAboutWindow ? makeAboutWindow() : nullptr) {
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

void AppDelegate::applicationOpen(const std::vector<std::filesystem::path>& urls) {
  std::string names = "[";
  for (const auto& url : urls) names += (names.size() > 1 ? ", " : "") + fileURLString(url);
  names += "]";
  console::log("open URLs:", names, "in:", std::string("<DocumentController>"));
  for (const auto& url : urls) {
    SVGQuarvel::FileContentType type;
    try {
      type = SVGQuarvel::contentTypeOfFile(url);
    } catch (const CocoaError& error) {
      console::error("failed to open:", error, url.string());
      continue;
    }
    if (!type.mimeType) continue;
    const std::string name = url.filename().string();
    if (!type.isSVG) {
      console::error("  cannot open non-SVG file:", name);
      continue;
    }
    console::log("  open SVG:", name);
    const std::string absolute = fileURLString(url);
    if (beginActivity_) beginActivity_();
    struct ActivityEnd {
      std::function<void()> end;
      ~ActivityEnd() {
        if (end) end();
      }
    };
    auto activity = std::make_shared<ActivityEnd>();
    activity->end = endActivity_;
    SVGQuarvelDocument::openSVG(url, SVGQuarvelConfiguration::defaultConfig(),
                                [presentError = presentError_, absolute, activity](std::optional<CocoaError> error) {
                                  if (error) {
                                    console::error("Failed to open SVG URL:", absolute,
                                                   std::string("\n  error:"), *error);
                                    // A drawing refused for its size is the user's to hear of; the rest are in the log.
                                    if (presentError && error->code() == CocoaError::fileReadTooLarge) {
                                      presentError(error->localizedDescription());
                                    }
                                    return;
                                  }
                                  try {
                                    DocumentController::shared().openUntitledDocumentAndDisplay(true);
                                  } catch (const std::exception& failure) {
                                    console::error("Failed to open untitled document for loaded SVG?:",
                                                   std::string(failure.what()), absolute);
                                  }
                                });
  }
}

void AppDelegate::openFiles(const std::vector<std::filesystem::path>& urls) {
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
    try {
      DocumentController::shared().openDocument(url, true);
    } catch (const std::exception& error) {
      console::error("could not open document:", url.string(), std::string(error.what()));
      if (presentError_) {
        presentError_("The document \u201c" + url.filename().string() + "\u201d could not be opened. " + error.what());
      }
    }
  }
  if (!others.empty()) applicationOpen(others);
}
