#include "Fennix/Foundation/JSONText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "Fennix/console/Console.h"

using Fennix::AnyKind;
using Fennix::AnyValue;

namespace {

constexpr int maximumDepth = 512;

/// Thrown inside the writer when a text is not UTF-8.
struct NotUTF8 {
  std::size_t bytes;
};

class Writer {
 public:
  explicit Writer(JSONSerialization::WritingOptions options) : options_(options) {}

  void write(const AnyValue& value, int depth) {
    if (depth > maximumDepth) throw JSONSerialization::Error("Too deeply nested value in JSON write");
    switch (value.kind()) {
      case AnyKind::optional:
        if (value.wrapped() == nullptr) {
          out_ += "null";
        } else {
          write(*value.wrapped(), depth);
        }
        return;
      case AnyKind::null: out_ += "null"; return;
      case AnyKind::bool_: out_ += value.truthValue() ? "true" : "false"; return;
      case AnyKind::int_:
      case AnyKind::int8:
      case AnyKind::int16:
      case AnyKind::int32:
      case AnyKind::int64: out_ += std::to_string(value.signedInteger()); return;
      case AnyKind::uint:
      case AnyKind::uint8:
      case AnyKind::uint16:
      case AnyKind::uint32:
      case AnyKind::uint64: out_ += std::to_string(value.unsignedInteger()); return;
      case AnyKind::float_: {
        // The float's shortest text, read back as a double, so that 0.1f is written as 0.1.
        char buffer[64];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value.floatValue());
        writeNumber(std::strtod(std::string(buffer, result.ptr).c_str(), nullptr));
        return;
      }
      case AnyKind::double_: writeNumber(value.doubleValue()); return;
      case AnyKind::string: writeString(value.text()); return;
      case AnyKind::array: {
        const auto& elements = value.elements();
        if (elements.empty()) {
          out_ += "[]";
          return;
        }
        out_ += '[';
        for (std::size_t i = 0; i < elements.size(); ++i) {
          if (i > 0) out_ += ',';
          newline(depth + 1);
          write(elements[i], depth + 1);
        }
        newline(depth);
        out_ += ']';
        return;
      }
      case AnyKind::dictionary: {
        const auto& entries = value.entries();
        if (entries.empty()) {
          out_ += "{}";
          return;
        }
        std::vector<const std::pair<AnyValue, AnyValue>*> order;
        order.reserve(entries.size());
        for (const auto& entry : entries) {
          if (entry.first.unwrapped().kind() != AnyKind::string) {
            throw JSONSerialization::Error("Invalid (non-string) key in JSON dictionary");
          }
          order.push_back(&entry);
        }
        if (options_.sortedKeys) {
          std::stable_sort(order.begin(), order.end(), [](const auto* a, const auto* b) {
            return a->first.unwrapped().text() < b->first.unwrapped().text();
          });
        }
        out_ += '{';
        for (std::size_t i = 0; i < order.size(); ++i) {
          if (i > 0) out_ += ',';
          newline(depth + 1);
          writeString(order[i]->first.unwrapped().text());
          out_ += options_.prettyPrinted ? " : " : ":";
          write(order[i]->second, depth + 1);
        }
        newline(depth);
        out_ += '}';
        return;
      }
      default: throw JSONSerialization::Error("Invalid type in JSON write (" + value.typeName() + ")");
    }
  }

  std::string take() { return std::move(out_); }

 private:
  void newline(int depth) {
    if (!options_.prettyPrinted) return;
    out_ += '\n';
    out_.append(static_cast<std::size_t>(depth) * 2, ' ');
  }

  void writeNumber(double number) {
    if (std::isnan(number)) throw JSONSerialization::Error("Invalid number value (NaN) in JSON write");
    if (std::isinf(number)) throw JSONSerialization::Error("Invalid number value (infinite) in JSON write");
    // Whole numbers are written without a fraction, as integers are.
    if (number == std::trunc(number) && std::fabs(number) < 9007199254740992.0) {
      out_ += std::to_string(static_cast<long long>(number));
      return;
    }
    out_ += nlohmann::json(number).dump();
  }

  void writeString(const std::string& text) {
    std::string escaped;
    try {
      escaped = nlohmann::json(text).dump();
    } catch (const nlohmann::json::type_error&) {
      // Written on (bad bytes replaced), so that the failure can tell how much data the writing
      // made; the result is refused once it is whole.
      invalidUTF8_ = true;
      escaped = nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    if (options_.withoutEscapingSlashes) {
      out_ += escaped;
      return;
    }
    for (char c : escaped) {
      if (c == '/') out_ += '\\';
      out_ += c;
    }
  }

  JSONSerialization::WritingOptions options_;
  std::string out_;

 public:
  bool invalidUTF8_ = false;
};

}  // namespace

std::string JSONSerialization::string(const std::optional<AnyValue>& object, WritingOptions options) {
  const AnyValue value = object.value_or(AnyValue::null());
  try {
    const AnyKind kind = value.unwrapped().kind();
    if (!options.fragmentsAllowed && kind != AnyKind::array && kind != AnyKind::dictionary) {
      throw Error("Invalid top-level type in JSON write");
    }
    Writer writer(options);
    writer.write(value, 0);
    if (writer.invalidUTF8_) throw NotUTF8{writer.take().size()};
    return writer.take();
  } catch (const Error& failure) {
    console::error("could not serialize JSON:", failure, value);
    throw;
  } catch (const NotUTF8& data) {
    console::error("could not create string from serialized JSON data:", std::to_string(data.bytes) + " bytes");
    throw QvJSONError::couldNotCreateStringFromData;
  }
}

std::string JSONSerialization::string(const std::optional<AnyValue>& object) { return string(object, WritingOptions()); }
