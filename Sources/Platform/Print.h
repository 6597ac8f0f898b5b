// The line sink behind the parser's and converter's diagnostic lines.
// By default lines go to standard output; tests replace the sink to read them.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace SVGParser {

using PrintSink = std::function<void(std::string_view line)>;

/// Writes one diagnostic line (without its line feed) through the sink.
void printLine(std::string_view line);

/// Joins the items with one blank, like a print of several items, and writes the line.
template <typename... Items>
void print(const Items&... items) {
  std::string line;
  bool first = true;
  ((line += (first ? "" : " "), line += std::string_view(items), first = false), ...);
  printLine(line);
}

/// Replaces the sink; returns the previous one. An empty sink restores standard output.
PrintSink setPrintSink(PrintSink sink);

/// Collects the lines printed during its lifetime (on any thread) instead of writing them.
class PrintCapture {
 public:
  PrintCapture();
  ~PrintCapture();
  PrintCapture(const PrintCapture&) = delete;
  PrintCapture& operator=(const PrintCapture&) = delete;

  std::vector<std::string> lines() const;
  /// All lines, each followed by a line feed.
  std::string text() const;
  void clear();

 private:
  PrintSink previous_;
  struct State;
  State* state_;
};

}  // namespace SVGParser
