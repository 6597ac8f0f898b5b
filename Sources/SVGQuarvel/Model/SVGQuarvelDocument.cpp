#include "SVGQuarvel/Model/SVGQuarvelDocument.h"

#include <utility>

#include "Fennix/console/Console.h"

namespace {

// The largest document file that opens: both texts at their bounds, every character written as two
// (quotes, line ends and slashes are), and the settings. Saving refuses a larger file, which
// control characters (written as six) can make of texts within their bounds.
constexpr std::size_t largestDocumentFile =
    2 * (SVGQuarvelDocument::maximumOpenedSVGBytes + SVGQuarvelDocument::maximumOpenedSwiftBytes) +
    (std::size_t{1} << 16);

CocoaError corruptFile() {
  return CocoaError(CocoaError::fileReadCorruptFile,
                    "The file couldn\u2019t be opened because it isn\u2019t in the correct format.");
}

/// The texts of a file, checked: none holds a NUL character (which the editors cannot show) and
/// none is past its bound.
void checkTexts(const std::optional<std::string>& filename, const std::string& svg, const std::string& swift) {
  const std::string file =
      "The file " + (filename ? "\u201c" + SVGQuarvel::displayText(*filename) + "\u201d " : std::string());
  for (const auto* text : {&svg, &swift}) {
    if (text->find('\0') != std::string::npos) {
      throw CocoaError(CocoaError::fileReadCorruptFile,
                       file + "couldn\u2019t be opened because its " + (text == &svg ? "SVG" : "Swift") +
                           " text holds a NUL character, which the editors cannot show.");
    }
  }
  auto tooLarge = [&](const char* kind, std::size_t bytes) {
    using SVGQuarvel::byteSizeText;
    return CocoaError(CocoaError::fileReadTooLarge,
                      file + "is too large to open: its " + kind + " text has " + byteSizeText(bytes) +
                          "; documents of at most " + byteSizeText(SVGQuarvelDocument::maximumOpenedSVGBytes) +
                          " of SVG text and " + byteSizeText(SVGQuarvelDocument::maximumOpenedSwiftBytes) +
                          " of Swift text open.");
  };
  if (svg.size() > SVGQuarvelDocument::maximumOpenedSVGBytes) throw tooLarge("SVG", svg.size());
  if (swift.size() > SVGQuarvelDocument::maximumOpenedSwiftBytes) throw tooLarge("Swift", swift.size());
}

}  // namespace

SVGQuarvelDocument::ReadContents SVGQuarvelDocument::readContents(const ReadConfiguration& configuration,
                                                                  const SVGQuarvelConfiguration& config) {
  const auto log = console::defaultConsole();
  const auto& data = configuration.file.regularFileContents();
  if (!data) {
    log->error("could not access file data:", configuration);
    throw corruptFile();
  }
  const UTType& type = configuration.contentType;
  ReadContents contents{{}, {}, {}, config, configuration.file.entityTag};
  if (type.conforms(UTType::svgQuarvelDocument())) {
    auto snapshot = SVGQuarvelDocument::Snapshot::fromJSONString(*data);
    // Settings saved in the file are read but not applied: documents open with the default.
    checkTexts(configuration.file.filename, snapshot.svg, snapshot.swift);
    contents.svg = std::move(snapshot.svg);
    contents.swift = std::move(snapshot.swift);
  } else if (type.conforms(UTType::svg())) {
    if (!SVGQuarvel::isValidUTF8(*data)) throw corruptFile();
    checkTexts(configuration.file.filename, *data, "");
    auto snapshot = SVGQuarvelDocument::Snapshot::fromSVGString(*data, configuration.file.filename, config);
    contents.svg = std::move(snapshot.svg);
    contents.swift = std::move(snapshot.swift);
  } else if (type.conforms(UTType::swiftSource())) {
    if (!SVGQuarvel::isValidUTF8(*data)) throw corruptFile();
    checkTexts(configuration.file.filename, "", *data);
    contents.svg = "<!-- No SVG -->";
    contents.swift = *data;
  } else {
    log->error("unexpected file type:", type, "size: #" + std::to_string(data->size()) + " bytes",
               configuration.file.filename);
    throw corruptFile();
  }
  contents.generated = export_(contents.svg, config);
  return contents;
}

SVGQuarvelDocument::ReadContents SVGQuarvelDocument::readContents(const std::filesystem::path& url,
                                                                  const UTType& contentType,
                                                                  const SVGQuarvelConfiguration& config) {
  constexpr std::size_t largestFile = largestDocumentFile;
  // The size is asked first, so that a large file is refused before any of it is read; a file
  // whose size says less (some say 0) is not read past the bound either.
  std::error_code noSize;
  const auto bytes = std::filesystem::file_size(url, noSize);
  if (!noSize && bytes > largestFile) {
    throw CocoaError(CocoaError::fileReadTooLarge, "The file \u201c" + SVGQuarvel::displayFileName(url) +
                                                      "\u201d is too large to open: it has " +
                                                      SVGQuarvel::byteSizeText(std::size_t(bytes)) +
                                                      "; files of at most " + SVGQuarvel::byteSizeText(largestFile) +
                                                      " open.");
  }
  return readContents({contentType, FileWrapper::fromURL(url, largestFile)}, config);
}

// ---- creation ---------------------------------------------------------------------------

SVGQuarvelDocument::SVGQuarvelDocument(std::string svgText, std::string generatedText, std::string swiftText)
    : config(this, SVGQuarvelConfiguration::defaultConfig()),
      svgString(this, std::move(svgText)),
      generatedSwift(this, std::move(generatedText)),
      swift(this, std::move(swiftText)),
      isRebuilding(this, false),
      rebuildFailed(this, false),
      log_(console::defaultConsole()) {
  installChangeRules();
}

SVGQuarvelDocument::SVGQuarvelDocument(std::string svgText, std::string swiftText)
    : SVGQuarvelDocument(std::move(svgText), swiftText, swiftText) {
  if (auto snapshot = grabPendingSnapshot()) {
    // The snapshot's settings are not used: the document keeps the default. Its Swift was
    // generated off the main thread; the new SVG is not converted a second time here.
    adoptingSnapshot_ = true;
    svgString = std::move(snapshot->svg);
    adoptingSnapshot_ = false;
    // What the conversion wrote for text that does not parse (blank text is no failure).
    rebuildFailed =
        !isBlankSVG(svgString.get()) && std::string_view(snapshot->swift).starts_with("// Could not parse SVG");
    generatedSwift = snapshot->swift;
    swift = std::move(snapshot->swift);
  } else if (!svgString.get().empty() && swift.get().empty()) {
    rebuild();
  }
}

SVGQuarvelDocument::SVGQuarvelDocument(ReadContents contents)
    : SVGQuarvelDocument(std::move(contents.svg), std::string(), std::move(contents.swift)) {
  // The saved Swift stays; fresh code goes to `generatedSwift` only, converted again only when
  // the settings it was made with are no longer the default.
  if (contents.config != config.get()) contents.generated = export_(svgString.get(), config.get());
  generatedSwift = std::move(contents.generated.code);
  rebuildFailed = contents.generated.failed;
}

std::shared_ptr<SVGQuarvelDocument> SVGQuarvelDocument::fromSVGString(std::string svgString, std::string swift) {
  return std::shared_ptr<SVGQuarvelDocument>(new SVGQuarvelDocument(std::move(svgString), std::move(swift)));
}

std::shared_ptr<SVGQuarvelDocument> SVGQuarvelDocument::newDocument() {
  return fromSVGString(std::string(newDocumentSVG), "");
}

std::shared_ptr<SVGQuarvelDocument> SVGQuarvelDocument::fromConfiguration(const ReadConfiguration& configuration) {
  return fromReadContents(readContents(configuration, SVGQuarvelConfiguration::defaultConfig()));
}

std::shared_ptr<SVGQuarvelDocument> SVGQuarvelDocument::fromReadContents(ReadContents contents) {
  return std::shared_ptr<SVGQuarvelDocument>(new SVGQuarvelDocument(std::move(contents)));
}

// ---- change rules and rebuild ---------------------------------------------------------------

void SVGQuarvelDocument::installChangeRules() {
  changeRules_.push_back(svgString.willSet().sink([this](const std::string&) {
    svgStringsBefore_.push_back(svgString.get());
  }));
  changeRules_.push_back(svgString.didSet().sink([this](const std::string&) {
    const std::string before = std::move(svgStringsBefore_.back());
    svgStringsBefore_.pop_back();
    if (svgString.get() != before && !adoptingSnapshot_) rebuild();
  }));
  changeRules_.push_back(config.willSet().sink([this](const SVGQuarvelConfiguration&) {
    configsBefore_.push_back(config.get());
  }));
  changeRules_.push_back(config.didSet().sink([this](const SVGQuarvelConfiguration&) {
    const SVGQuarvelConfiguration before = std::move(configsBefore_.back());
    configsBefore_.pop_back();
    if (config.get() == before) return;
    rebuild();
    SVGQuarvelConfiguration::setDefaultConfig(config.get());
  }));
}

void SVGQuarvelDocument::rebuild() {
  const bool swiftWasGenerated = swift.get() == generatedSwift.get();
  isRebuilding = true;
  generatedSwift = "";
  auto [code, failed] = export_(svgString.get(), config.get());
  generatedSwift = std::move(code);
  rebuildFailed = failed;
  if (swiftWasGenerated) {
    log_->log("Swift was not modified, pushing to instance");
    swift = generatedSwift.get();
  } else {
    log_->log("Swift was modified, do not auto-apply new generated content");
  }
  isRebuilding = false;
}

// ---- saving ----------------------------------------------------------------------------------

std::vector<UTType> SVGQuarvelDocument::readableContentTypes() { return {UTType::svgQuarvelDocument()}; }

std::vector<UTType> SVGQuarvelDocument::writableContentTypes() {
  return {UTType::svgQuarvelDocument(), UTType::svg(), UTType::swiftSource()};
}

SVGQuarvelDocument::Snapshot SVGQuarvelDocument::snapshot(const UTType&) const {
  return Snapshot{svgString.get(), swift.get(), config.get()};
}

namespace {

/// Refuses a save of a text that would not open again: a file is only worth writing when the
/// application can read it back.
void checkSavedText(const char* kind, std::size_t bytes, std::size_t maximum) {
  if (bytes <= maximum) return;
  using SVGQuarvel::byteSizeText;
  throw CocoaError(CocoaError::fileWriteUnknown,
                   std::string("The document couldn\u2019t be saved because its ") + kind + " text has " +
                       byteSizeText(bytes) + "; a file of more than " + byteSizeText(maximum) + " of " + kind +
                       " text couldn\u2019t be opened again.");
}

/// Refuses a save of SVG text whose drawing would not open again: opening converts it, and a
/// drawing whose code passes its bound is refused. The check is the opening's own.
void checkSavedDrawing(const std::string& svg) {
  try {
    (void)SVGQuarvelDocument::Snapshot::fromSVGString(svg, std::nullopt, SVGQuarvelConfiguration::defaultConfig());
  } catch (const CocoaError& error) {
    if (error.code() != CocoaError::fileReadTooLarge) throw;
    using SVGQuarvel::byteSizeText;
    const std::size_t limit = SVGQuarvelDocument::maximumGeneratedSwiftBytes(svg.size());
    throw CocoaError(CocoaError::fileWriteUnknown,
                     "The document couldn\u2019t be saved because the Swift code of its drawing would have more than " +
                         byteSizeText(limit) + "; a file of SVG text whose code has more than " + byteSizeText(limit) +
                         " couldn\u2019t be opened again.");
  }
}

}  // namespace

FileWrapper SVGQuarvelDocument::fileWrapper(const Snapshot& snapshot, const WriteConfiguration& configuration) const {
  const UTType& type = configuration.contentType;
  const bool svgOnly = !type.conforms(UTType::svgQuarvelDocument()) && type.conforms(UTType::svg());
  const bool swiftOnly = !type.conforms(UTType::svgQuarvelDocument()) && !svgOnly && type.conforms(UTType::swiftSource());
  if (!swiftOnly) checkSavedText("SVG", snapshot.svg.size(), maximumOpenedSVGBytes);
  if (!svgOnly) checkSavedText("Swift", snapshot.swift.size(), maximumOpenedSwiftBytes);
  if (!type.conforms(UTType::svgQuarvelDocument())) {
    if (type.conforms(UTType::svg())) {
      checkSavedDrawing(snapshot.svg);
      return FileWrapper::regularFile(snapshot.svg);
    }
    if (type.conforms(UTType::swiftSource())) return FileWrapper::regularFile(snapshot.swift);
  }
  std::string json = snapshot.jsonString();
  if (json.size() > largestDocumentFile) {
    using SVGQuarvel::byteSizeText;
    throw CocoaError(CocoaError::fileWriteUnknown,
                     "The document couldn\u2019t be saved because its file would have " + byteSizeText(json.size()) +
                         "; a document file of more than " + byteSizeText(largestDocumentFile) +
                         " couldn\u2019t be opened again.");
  }
  return FileWrapper::regularFile(std::move(json));
}
