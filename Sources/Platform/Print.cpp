#include "Platform/Print.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex& sinkMutex() {
  // Never destroyed: conversions on threads that outlive main() may still print.
  static auto& m = *new std::mutex;
  return m;
}

SVGParser::PrintSink& currentSink() {
  static auto& sink = *new SVGParser::PrintSink;
  return sink;
}

}  // namespace

void SVGParser::printLine(std::string_view line) {
  SVGParser::PrintSink sink;
  {
    std::lock_guard lock(sinkMutex());
    sink = currentSink();
  }
  if (sink) {
    sink(line);
    return;
  }
  std::string out(line);
  out += '\n';
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
}

SVGParser::PrintSink SVGParser::setPrintSink(SVGParser::PrintSink sink) {
  std::lock_guard lock(sinkMutex());
  SVGParser::PrintSink previous = std::move(currentSink());
  currentSink() = std::move(sink);
  return previous;
}

struct SVGParser::PrintCapture::State {
  mutable std::mutex mutex;
  std::vector<std::string> lines;
};

SVGParser::PrintCapture::PrintCapture() : state_(new State) {
  State* state = state_;
  previous_ = SVGParser::setPrintSink([state](std::string_view line) {
    std::lock_guard lock(state->mutex);
    state->lines.emplace_back(line);
  });
}

SVGParser::PrintCapture::~PrintCapture() {
  SVGParser::setPrintSink(std::move(previous_));
  delete state_;
}

std::vector<std::string> SVGParser::PrintCapture::lines() const {
  std::lock_guard lock(state_->mutex);
  return state_->lines;
}

std::string SVGParser::PrintCapture::text() const {
  std::string out;
  for (const auto& l : lines()) out += l + "\n";
  return out;
}

void SVGParser::PrintCapture::clear() {
  std::lock_guard lock(state_->mutex);
  state_->lines.clear();
}
