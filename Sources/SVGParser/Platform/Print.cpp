#include "SVGParser/Platform/Print.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex& sinkMutex() {
  static std::mutex m;
  return m;
}

PrintSink& currentSink() {
  static PrintSink sink;
  return sink;
}

}  // namespace

void printLine(std::string_view line) {
  PrintSink sink;
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

PrintSink setPrintSink(PrintSink sink) {
  std::lock_guard lock(sinkMutex());
  PrintSink previous = std::move(currentSink());
  currentSink() = std::move(sink);
  return previous;
}

struct PrintCapture::State {
  mutable std::mutex mutex;
  std::vector<std::string> lines;
};

PrintCapture::PrintCapture() : state_(new State) {
  State* state = state_;
  previous_ = setPrintSink([state](std::string_view line) {
    std::lock_guard lock(state->mutex);
    state->lines.emplace_back(line);
  });
}

PrintCapture::~PrintCapture() {
  setPrintSink(std::move(previous_));
  delete state_;
}

std::vector<std::string> PrintCapture::lines() const {
  std::lock_guard lock(state_->mutex);
  return state_->lines;
}

std::string PrintCapture::text() const {
  std::string out;
  for (const auto& l : lines()) out += l + "\n";
  return out;
}

void PrintCapture::clear() {
  std::lock_guard lock(state_->mutex);
  state_->lines.clear();
}
