// Snapshots: their JSON form (the document file), their conversion from SVG
// text, and the queue of converted SVG content waiting for a new document.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <nlohmann/json.hpp>

#include "Platform/Dispatch.h"
#include "Fennix/console/Console.h"
#include "SVGConverter/Utilities/BidiControls.h"
#include "SVGQuarvel/Model/DocumentFile.h"
#include "SVGQuarvel/Model/Generation.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"

using Snapshot = SVGQuarvelDocument::Snapshot;

namespace {

// ---- JSON ----------------------------------------------------------------------------

/// A document file's JSON read as it goes, keeping only what a document holds: the texts under
/// "svg" and "swift" of the outer object and the settings under "config". Other values are read
/// past without being built, and of the settings only the keys they read are kept, a dictionary
/// or array there as an empty one (all they are told by is their kind). A key given twice counts
/// with its last value, as when the whole text was built.
///
/// The parser keeps a bit for each level open and, between two texts or numbers, a byte for each
/// bracket and comma: a text of more than `maximumContainers` arrays and dictionaries (a document
/// holds two) is refused rather than read on.
class DocumentReader final : public nlohmann::json_sax<nlohmann::json> {
 public:
  static constexpr std::size_t maximumContainers = std::size_t{1} << 20;

  /// A required text: absent, present, or some other kind of value.
  struct Text {
    enum class State { absent, text, other } state = State::absent;
    std::string value;
  };

  bool valid = true;
  bool tooManyContainers = false;
  bool isObject = false;
  Text svg, swift;
  /// The last "config" value; null when absent.
  nlohmann::json config;

  bool null() override { return place(nullptr); }
  bool boolean(bool value) override { return place(value); }
  bool number_integer(number_integer_t value) override { return place(value); }
  bool number_unsigned(number_unsigned_t value) override { return place(value); }
  bool number_float(number_float_t value, const string_t&) override { return place(value); }
  bool binary(binary_t&) override { return place(nullptr); }
  bool string(string_t& value) override {
    if (Text* text = slotText()) {
      *text = Text{Text::State::text, std::move(value)};
      return true;
    }
    return place(std::move(value));
  }
  bool start_object(std::size_t) override {
    if (depth_ == 0) isObject = true;
    return open(nlohmann::json::value_t::object);
  }
  bool start_array(std::size_t) override { return open(nlohmann::json::value_t::array); }
  bool end_object() override {
    --depth_;
    return true;
  }
  bool end_array() override {
    --depth_;
    return true;
  }
  bool key(string_t& key) override {
    if (depth_ == 1) {
      field_ = key == "svg" ? Field::svg : key == "swift" ? Field::swift : key == "config" ? Field::config : Field::none;
    } else if (inSettings()) {
      setting_ = SVGQuarvelConfiguration::isStoredKey(key) ? std::optional(std::move(key)) : std::nullopt;
    }
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    valid = false;
    return false;
  }

 private:
  enum class Field { none, svg, swift, config };

  /// Whether the values coming are members of the settings dictionary.
  bool inSettings() const { return depth_ == 2 && field_ == Field::config && config.is_object(); }

  /// The text the value coming goes to, if it is one of the two.
  Text* slotText() {
    if (depth_ != 1) return nullptr;
    return field_ == Field::svg ? &svg : field_ == Field::swift ? &swift : nullptr;
  }

  bool open(nlohmann::json::value_t kind) {
    if (++containers_ > maximumContainers) {
      tooManyContainers = true;
      return false;
    }
    place(kind);
    ++depth_;
    return true;
  }

  /// Keeps `value` (a container empty; its members come later) where the document reads it, if it
  /// does: nothing is made of a value read past.
  template <typename Value>
  bool place(Value&& value) {
    if (Text* text = slotText()) {
      *text = Text{Text::State::other, {}};
    } else if (depth_ == 1 && field_ == Field::config) {
      config = nlohmann::json(std::forward<Value>(value));
    } else if (inSettings() && setting_) {
      config[*setting_] = nlohmann::json(std::forward<Value>(value));
    }
    return true;
  }

  std::size_t depth_ = 0;
  std::size_t containers_ = 0;
  Field field_ = Field::none;
  std::optional<std::string> setting_;
};

/// The text read under `key`, moved out (large documents are not held twice).
std::string requiredText(DocumentReader::Text& text, const char* key) {
  using State = DocumentReader::Text::State;
  if (text.state == State::absent) {
    throw SVGQuarvelDocument::DecodingError(std::string("keyNotFound: no value associated with key \"") + key + "\".");
  }
  if (text.state == State::other) {
    throw SVGQuarvelDocument::DecodingError(std::string("typeMismatch: expected String for key \"") + key + "\".");
  }
  return std::move(text.value);
}

/// A file name on one line, so that it cannot start a line of code after a line comment, and
/// without the controls that would change the order in which the code displays.
std::string oneLine(std::string_view name) {
  std::string line;
  line.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (const char32_t control = SVGConverter::bidiControlAt(name, i)) {
      line += SVGConverter::bidiControlEscape(control);
      i += 2;
    } else {
      line += name[i] == '\n' || name[i] == '\r' ? ' ' : name[i];
    }
  }
  return line;
}

/// The refusal of a drawing of `bytes` bytes of SVG text.
CocoaError tooLargeToOpen(const std::filesystem::path& url, std::size_t bytes) {
  return CocoaError(CocoaError::fileReadTooLarge,
                    SVGQuarvelDocument::tooLargeToOpenMessage(SVGQuarvel::displayFileName(url), bytes));
}

// ---- the queue ------------------------------------------------------------------------

struct PendingQueue {
  std::mutex mutex;
  std::deque<std::pair<std::uint64_t, Snapshot>> entries;  // oldest first
  std::uint64_t lastTicket = 0;
};

PendingQueue& pending() {
  static auto* queue = new PendingQueue();  // lives for the whole process
  return *queue;
}

std::uint64_t enqueue(Snapshot snapshot) {
  auto& queue = pending();
  std::lock_guard<std::mutex> lock(queue.mutex);
  queue.entries.emplace_back(++queue.lastTicket, std::move(snapshot));
  return queue.lastTicket;
}

/// Removes the snapshot of `ticket` when no document took it.
void dropUntaken(std::uint64_t ticket) {
  auto& queue = pending();
  {
    std::lock_guard<std::mutex> lock(queue.mutex);
    auto found = std::find_if(queue.entries.begin(), queue.entries.end(),
                              [ticket](const auto& entry) { return entry.first == ticket; });
    if (found == queue.entries.end()) return;
    queue.entries.erase(found);
  }
  console::warn("no new document took the converted SVG, dropping it");
}

/// Calls `callback` with the snapshot of `ticket` queued, then drops it if it is still there.
template <typename Callback>
void handOver(std::uint64_t ticket, Callback&& callback) {
  try {
    callback();
  } catch (...) {
    dropUntaken(ticket);
    throw;
  }
  dropUntaken(ticket);
}

}  // namespace

std::string SVGQuarvelDocument::tooLargeToOpenMessage(const std::optional<std::string>& filename, std::size_t bytes) {
  const std::string drawing = filename ? "The drawing \u201c" + *filename + "\u201d" : std::string("The drawing");
  return drawing + " is too large to open: it has " + SVGQuarvel::byteSizeText(bytes) + "; drawings of at most " +
         SVGQuarvel::byteSizeText(maximumOpenedSVGBytes) + " of SVG text open.";
}

// ---- Snapshot --------------------------------------------------------------------------

Snapshot Snapshot::fromSVGString(std::string svgString, const std::optional<std::string>& filename,
                                 const SVGQuarvelConfiguration& config) {
  // What a document holds must open again: its Swift is bounded as the document reader bounds it.
  const std::size_t limit = maximumGeneratedSwiftBytes(svgString.size());
  bool limitReached = false;
  auto code = generation::swiftUISource(svgString, config, limit, limitReached);
  if (limitReached) {
    throw CocoaError(CocoaError::fileReadTooLarge,
                     swiftTooLargeMessage(filename ? std::optional(oneLine(SVGQuarvel::displayText(*filename))) : std::nullopt, limit));
  }
  std::string swiftText = code                 ? std::move(*code)
                          : filename.has_value() ? "// Could not parse SVG " + oneLine(SVGQuarvel::validUTF8(*filename)) + "\n"
                                                 : std::string("// Could not parse SVG\n");
  return Snapshot{std::move(svgString), std::move(swiftText), config};
}

std::string Snapshot::jsonString() const {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  object["svg"] = svg;
  object["swift"] = swift;
  if (config) object["config"] = config->toJSON();
  std::string compact;
  try {
    compact = object.dump();
  } catch (const nlohmann::json::type_error&) {
    throw CocoaError(CocoaError::fileWriteInapplicableStringEncoding,
                     "The document couldn\u2019t be saved because its text isn\u2019t valid UTF-8.");
  }
  return jsontext::escapingSlashes(compact);
}

Snapshot Snapshot::fromJSONString(std::string_view json) {
  DocumentReader reader;
  nlohmann::json::sax_parse(json, &reader);
  if (reader.tooManyContainers) {
    throw DecodingError("dataCorrupted: the document is damaged: it holds more than " +
                        std::to_string(DocumentReader::maximumContainers) + " arrays and dictionaries.");
  }
  if (!reader.valid) throw DecodingError("dataCorrupted: the given data was not valid JSON.");
  if (!reader.isObject) throw DecodingError("typeMismatch: expected a dictionary.");
  Snapshot snapshot{requiredText(reader.svg, "svg"), std::string(), std::nullopt};
  snapshot.swift = requiredText(reader.swift, "swift");
  // Settings that are there must be readable, although a document opens with the default ones.
  if (!reader.config.is_null()) snapshot.config = SVGQuarvelConfiguration::fromJSON(reader.config);
  return snapshot;
}

// ---- the queue of pending SVG content ----------------------------------------------------

std::optional<Snapshot> SVGQuarvelDocument::grabPendingSnapshot() {
  auto& queue = pending();
  std::lock_guard<std::mutex> lock(queue.mutex);
  if (queue.entries.empty()) return std::nullopt;
  Snapshot snapshot = std::move(queue.entries.front().second);
  queue.entries.pop_front();
  return snapshot;
}

std::vector<Snapshot> SVGQuarvelDocument::pendingSVGs() {
  auto& queue = pending();
  std::lock_guard<std::mutex> lock(queue.mutex);
  std::vector<Snapshot> snapshots;
  for (const auto& entry : queue.entries) snapshots.push_back(entry.second);
  return snapshots;
}

void SVGQuarvelDocument::openSVG(const std::filesystem::path& url, const SVGQuarvelConfiguration& configuration,
                                 std::function<void(std::optional<CocoaError>)> then) {
  DispatchQueue::global(DispatchQoS::default_).async([url, configuration, then = std::move(then)] {
    std::string text;
    try {
      // Text in UTF-16 takes up to twice its bytes in the file: larger files are not read at all,
      // nor read past that however small they say they are.
      constexpr std::size_t largestFile = 2 * maximumOpenedSVGBytes + 2;
      std::error_code noSize;
      const auto fileBytes = std::filesystem::file_size(url, noSize);
      if (!noSize && fileBytes > largestFile) throw tooLargeToOpen(url, std::size_t(fileBytes));
      try {
        text = SVGQuarvel::readTextFileDetectingEncoding(url, largestFile);
      } catch (const CocoaError& error) {
        if (error.code() != CocoaError::fileReadTooLarge) throw;
        throw tooLargeToOpen(url, largestFile + 1);
      }
      if (text.size() > maximumOpenedSVGBytes) throw tooLargeToOpen(url, text.size());
    } catch (const CocoaError& error) {
      DispatchQueue::main().async([then, error] {
        if (then) then(error);
      });
      return;
    }
    std::optional<Snapshot> converted;
    try {
      converted = Snapshot::fromSVGString(std::move(text), url.filename().string(), configuration);
    } catch (const CocoaError& error) {
      DispatchQueue::main().async([then, error] {
        if (then) then(error);
      });
      return;
    }
    DispatchQueue::main().async([then, snapshot = std::move(*converted)] {
      const auto ticket = enqueue(snapshot);
      handOver(ticket, [&] {
        if (then) then(std::nullopt);
      });
    });
  });
}

void SVGQuarvelDocument::openSVG(const std::filesystem::path& url,
                                 std::function<void(std::optional<CocoaError>)> then) {
  openSVG(url, SVGQuarvelConfiguration::defaultConfig(), std::move(then));
}

void SVGQuarvelDocument::openSVG(const std::string& string, const SVGQuarvelConfiguration& configuration,
                                 const std::function<void()>& onSuccess) {
  openConverted(Snapshot::fromSVGString(string, std::nullopt, configuration), onSuccess);
}

void SVGQuarvelDocument::openConverted(Snapshot snapshot, const std::function<void()>& onSuccess) {
  const auto ticket = enqueue(std::move(snapshot));
  handOver(ticket, [&] {
    if (onSuccess) onSuccess();
  });
}

void SVGQuarvelDocument::openSVG(const std::string& string, const std::function<void()>& onSuccess) {
  openSVG(string, SVGQuarvelConfiguration::defaultConfig(), onSuccess);
}
