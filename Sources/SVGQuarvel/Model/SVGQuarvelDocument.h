// The document behind one window: SVG text, settings, the Swift generated from
// them and the Swift shown in the editor, regenerated on every change; its saved
// form; and the queue of converted SVG content waiting for a new document.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Observable.h"
#include "Fennix/console/Logger.h"
#include "SVGQuarvel/Model/DocumentFile.h"
#include "SVGQuarvel/Model/SVGQuarvelConfiguration.h"

/// The SVG text of a new document: a gold square with a blue stroke in a 100 by 100 view box.
inline constexpr std::string_view newDocumentSVG =
    "<svg xmlns=\"http://www.w3.org/2000/svg\"\n"
    "     viewBox=\"0 0 100 100\">\n"
    "  <rect x=\"10\" y=\"10\"\n"
    "        width=\"80\" height=\"80\"\n"
    "        fill=\"gold\" stroke=\"blue\"\n"
    "        stroke-width=\"4\" />\n"
    "</svg>\n";

class SVGQuarvelDocument : public ObservableObject {
 public:
  using ReadConfiguration = FileDocumentReadConfiguration;
  using WriteConfiguration = FileDocumentWriteConfiguration;
  /// A document file or settings that could not be read.
  using DecodingError = SVGQuarvelConfiguration::DecodingError;

  /// SVG text, Swift text and, optionally, settings: the saved document and the element of
  /// the queue of pending SVG content.
  struct Snapshot {
    std::string svg;
    std::string swift;
    std::optional<SVGQuarvelConfiguration> config;

    bool operator==(const Snapshot&) const = default;

    /// Converts SVG text with `config`: `swift` is the generated code (without the SVG
    /// comment), or "// Could not parse SVG" with the file name, when given, and a line feed.
    /// Code that would pass `maximumGeneratedSwiftBytes` throws a `CocoaError`
    /// (fileReadTooLarge, `swiftTooLargeMessage`) as soon as the generation passes it.
    static Snapshot fromSVGString(std::string svgString, const std::optional<std::string>& filename,
                                  const SVGQuarvelConfiguration& config);

    /// The document file: compact UTF-8 JSON with the keys "svg", "swift" and, when present,
    /// "config", in that order; "/" is written as "\/". Text that is not UTF-8 throws a
    /// `CocoaError` (fileWriteInapplicableStringEncoding).
    std::string jsonString() const;
    /// Reads a document file in any key order, ignoring other keys. "svg" and "swift" are
    /// required texts and a "config" that is present must be readable settings (else
    /// `DecodingError`); a "config" that is absent or null reads as none. Only what a document
    /// holds is kept while the text is read: other values are read past without being built,
    /// however wide or deep, so that a file takes little more memory than its texts.
    static Snapshot fromJSONString(std::string_view json);
  };

  /// The code of one generation and whether the SVG failed to parse.
  struct ExportResult {
    std::string code;
    bool failed = false;
  };

  ~SVGQuarvelDocument() override = default;

  // ---- Creation --------------------------------------------------------------------

  /// A document with the default settings. It takes the oldest pending snapshot, when there
  /// is one: its SVG (as a change of `svgString`) and its Swift (as both `generatedSwift` and
  /// `swift`); otherwise it generates at once when `svgString` is non-empty and `swift` empty.
  static std::shared_ptr<SVGQuarvelDocument> fromSVGString(std::string svgString = "", std::string swift = "");
  /// `fromSVGString(newDocumentSVG, "")`.
  static std::shared_ptr<SVGQuarvelDocument> newDocument();
  /// Reads a document file, SVG or Swift source. Throws a `CocoaError` (code
  /// fileReadCorruptFile) when the file has no regular contents, is of another type, is not
  /// UTF-8 text or its texts hold a NUL character; fileReadTooLarge when a text is past
  /// `maximumOpenedSVGBytes` or `maximumOpenedSwiftBytes`); and a `DecodingError` for a damaged
  /// document file. Nothing is left behind.
  static std::shared_ptr<SVGQuarvelDocument> fromConfiguration(const ReadConfiguration& configuration);

  /// A file's texts, read and converted, waiting to become a document.
  struct ReadContents {
    std::string svg;
    std::string swift;
    /// The code generated from `svg` with `config`.
    ExportResult generated;
    SVGQuarvelConfiguration config;
    /// The identity of the file as it was read (see `FileWrapper::entityTag`).
    std::optional<std::string> entityTag;
  };
  /// What `fromConfiguration` reads, converted with `config`, without making the document: safe
  /// on any thread; throws as `fromConfiguration` does.
  static ReadContents readContents(const ReadConfiguration& configuration, const SVGQuarvelConfiguration& config);
  /// Reads the file at `url` as `contentType` with `readContents`. A file larger than the
  /// largest document within the bounds is refused (fileReadTooLarge) before it is read.
  static ReadContents readContents(const std::filesystem::path& url, const UTType& contentType,
                                   const SVGQuarvelConfiguration& config);
  /// The document of contents read with `readContents` (main thread). Its code is generated
  /// again only when the default settings changed since.
  static std::shared_ptr<SVGQuarvelDocument> fromReadContents(ReadContents contents);

  // ---- Published state -------------------------------------------------------------
  // Every assignment is announced through `objectWillChange()` before it is stored.

  /// The settings. Assigning a different record regenerates and makes it the default.
  Published<SVGQuarvelConfiguration> config;
  /// The SVG text. Assigning a different text regenerates.
  Published<std::string> svgString;
  /// The code of the last generation, or its failure comment.
  Published<std::string> generatedSwift;
  /// The Swift text shown in and edited through the editor, and saved.
  Published<std::string> swift;
  /// True while a generation runs.
  Published<bool> isRebuilding;
  /// Whether the last generation failed to parse the SVG.
  Published<bool> rebuildFailed;

  /// True once the Swift text differs from the generated code; new code then no longer
  /// replaces it.
  bool isSwiftModified() const { return swift.get() != generatedSwift.get(); }

  /// Generates anew from `svgString` and `config`; `swift` follows only when it still equalled
  /// `generatedSwift`.
  void rebuild();

  // ---- Saving ----------------------------------------------------------------------

  /// The document type alone.
  static std::vector<UTType> readableContentTypes();
  /// The document type, SVG and Swift source, in that order.
  static std::vector<UTType> writableContentTypes();
  /// The SVG text, the Swift text shown and the settings.
  Snapshot snapshot(const UTType& contentType) const;
  /// The file of a save: the SVG text for SVG, the Swift text for Swift source, and the
  /// document JSON for the document type (and any other). A text past the bound of the files that
  /// open (`maximumOpenedSVGBytes`, `maximumOpenedSwiftBytes`) throws a `CocoaError`.
  FileWrapper fileWrapper(const Snapshot& snapshot, const WriteConfiguration& configuration) const;

  // ---- Generation ------------------------------------------------------------------

  /// Parses `svgString` and generates SwiftUI source with `config`. When `prefixSVG` is set
  /// and both texts are non-empty, a comment holding the SVG lines comes first. Text that does
  /// not parse gives "// Empty SVG\n" when blank, else "// Could not parse SVG\n" and `failed`.
  /// Code that would pass `maximumGeneratedSwiftBytes` is not made: a comment saying so stands
  /// instead, with `failed`; so does text past `maximumOpenedSVGBytes`, which is not converted.
  static ExportResult export_(std::string_view svgString, const SVGQuarvelConfiguration& config);
  /// The same, giving up (none) once the code, comment included, would have more than
  /// `maximumBytes` bytes; the generation stops there rather than finishing first.
  static std::optional<ExportResult> export_(std::string_view svgString, const SVGQuarvelConfiguration& config,
                              std::size_t maximumBytes);
  /// Whether the text holds white space only (which `export_` answers with "// Empty SVG").
  static bool isBlankSVG(std::string_view svgString);

  // ---- Pending SVG content ------------------------------------------------------------
  // Content converted for the next new document; the queue is touched on the main thread only.
  // The callbacks are expected to create the new document before they return: a snapshot no
  // document took by then is dropped, so that no later document picks it up.

  /// Most bytes of SVG text a file opened from outside may hold (16 MiB). The editors hold the
  /// drawing and its Swift, several times the drawing's size, and fill on the main thread when the
  /// window opens; larger drawings are refused with a message rather than taking the window and
  /// gigabytes with them. Stored documents are bounded alike.
  static constexpr std::size_t maximumOpenedSVGBytes = std::size_t{16} << 20;
  /// Most bytes of Swift text a file opened from outside may hold (160 MiB): room for the code of
  /// the largest drawings that open (a drawing of many small shapes gives about nine times its
  /// SVG text), not for texts that would take the window and gigabytes with them.
  static constexpr std::size_t maximumOpenedSwiftBytes = std::size_t{160} << 20;
  /// The refusal of a drawing of `bytes` bytes of SVG text, named by its file name when it has one:
  /// "The drawing “name” is too large to open: it has … MB (… bytes); drawings of at most 16 MB
  /// (16777216 bytes) of SVG text open."
  static std::string tooLargeToOpenMessage(const std::optional<std::string>& filename, std::size_t bytes);
  /// Most bytes of Swift generated for a document from SVG text of `svgBytes` bytes, its SVG
  /// comment included: `maximumOpenedSwiftBytes`, so that what a document holds opens again, or
  /// less for small drawings (see `generation::outputLimit`).
  static std::size_t maximumGeneratedSwiftBytes(std::size_t svgBytes);
  /// The refusal of a drawing whose Swift would pass `limit` bytes, named by its file name when it
  /// has one: "The drawing “name” is too large to open: its Swift code would have more than 160 MB
  /// (167772160 bytes); documents of at most 160 MB (167772160 bytes) of Swift text open."
  static std::string swiftTooLargeMessage(const std::optional<std::string>& filename, std::size_t limit);

  /// Reads the file as text and converts it on a global queue, then, on the main queue, queues
  /// the snapshot and calls `then` without an error; a file that cannot be read, whose text
  /// has more than `maximumOpenedSVGBytes` bytes or whose code would pass
  /// `maximumGeneratedSwiftBytes`, calls `then` with the error and queues nothing.
  /// Returns at once.
  static void openSVG(const std::filesystem::path& url, const SVGQuarvelConfiguration& configuration,
                      std::function<void(std::optional<CocoaError>)> then);
  /// `openSVG(url, defaultConfig(), then)`.
  static void openSVG(const std::filesystem::path& url, std::function<void(std::optional<CocoaError>)> then);
  /// Converts `string` on the calling thread, queues the snapshot and calls `onSuccess`; what
  /// `onSuccess` throws is passed on.
  static void openSVG(const std::string& string, const SVGQuarvelConfiguration& configuration,
                      const std::function<void()>& onSuccess);
  /// `openSVG(string, defaultConfig(), onSuccess)`.
  static void openSVG(const std::string& string, const std::function<void()>& onSuccess);
  /// Queues a snapshot converted elsewhere (off the main thread) and calls `onSuccess`, which is
  /// to create the new document; what `onSuccess` throws is passed on. Main thread.
  static void openConverted(Snapshot snapshot, const std::function<void()>& onSuccess);

  /// The queued snapshots, oldest first.
  static std::vector<Snapshot> pendingSVGs();

 protected:
  SVGQuarvelDocument(std::string svgText, std::string swiftText);

 private:
  /// The initial state of every document, with the change rules in force afterwards.
  SVGQuarvelDocument(std::string svgText, std::string generatedText, std::string swiftText);
  /// A document opened from a file's texts: the Swift as saved, the code generated anew.
  explicit SVGQuarvelDocument(ReadContents contents);
  void installChangeRules();

  /// Removes and returns the oldest pending snapshot.
  static std::optional<Snapshot> grabPendingSnapshot();

  std::shared_ptr<Logger> log_;
  // Values before the assignment in progress (assignments may nest).
  std::vector<std::string> svgStringsBefore_;
  std::vector<SVGQuarvelConfiguration> configsBefore_;
  std::vector<AnyCancellable> changeRules_;
  bool adoptingSnapshot_ = false;  // the texts come converted already: no rebuild for them
};
