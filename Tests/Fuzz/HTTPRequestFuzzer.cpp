// Requests built from untrusted text: the method, then header names and values, separated by the
// byte 0xFF. A request the check lets through must go out as exactly the lines it was made of;
// no name, value or method can add a line or a second request.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Fennix/Operations/HTTP/HTTPWire.h"

namespace {

bool breaksLines(const std::string& text) { return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const auto separator = input.find('\xff', start);
    parts.push_back(input.substr(start, separator == std::string::npos ? std::string::npos : separator - start));
    if (separator == std::string::npos) break;
    start = separator + 1;
  }
  URLRequest request(*URL::fromString("http://127.0.0.1/"));
  request.httpMethod = parts[0];
  for (std::size_t i = 1; i < parts.size(); i += 2) request.setValue(i + 1 < parts.size() ? parts[i + 1] : "", parts[i]);
  // A later field of the same name replaces an earlier one: what counts is what the request holds.
  bool injected = breaksLines(request.httpMethod);
  for (const auto& [name, value] : request.allHTTPHeaderFields()) injected = injected || breaksLines(name) || breaksLines(value);
  const auto fault = Fennix::HTTPWire::requestFault(request);
  if (!fault) {
    if (injected) std::abort();
    // The request line and each header line read back as what was asked.
    const auto& fields = request.allHTTPHeaderFields();
    if (request.httpMethod.find(' ') != std::string::npos) std::abort();
    const auto lines = Fennix::HTTPWire::headerLines(fields);
    if (lines.size() != fields.size()) std::abort();
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      if (breaksLines(line)) std::abort();
      const auto end = line.find_first_of(":;");
      if (end == std::string::npos || line.substr(0, end) != fields[i].first) std::abort();
      const std::string value = line[end] == ';' ? std::string() : line.substr(end + 2);
      if (line[end] == ';' ? end + 1 != line.size() : line.compare(end, 2, ": ") != 0) std::abort();
      if (value != fields[i].second) std::abort();
    }
  } else if (fault->empty()) {
    std::abort();
  }
  return 0;
}
