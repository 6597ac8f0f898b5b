// Response heads from untrusted servers, read line by line as libcurl hands them over: the first
// byte's lowest bit allows HTTP/2 status lines and the next one hands the reader the status libcurl
// read (else none, so that the reading stands alone); the rest are the lines, each ended by a
// line feed.
// Checked on its own terms rather than through the code under test: every status taken is the
// one libcurl reads from its line; each head's status line is the first line after the blank
// line that ended an interim head; the final head's fields are its own, and trailer lines
// change none of them; no field that libcurl reads itself is taken folded; no line that
// libcurl takes for a head's end without its being blank is taken; the final head holds one
// "Location" at most.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "Fennix/Operations/HTTP/HTTPWire.h"
#include "FuzzChecks.h"

namespace {

using FuzzChecks::check;
using FuzzChecks::lowercased;

/// The status libcurl reads from a status line, none where it refuses the line: "HTTP/" in any
/// letter case (200 where no version in capitals follows); a version of 1.0, 1.1, 2.0 or 2; then
/// after one space the first number, of at most three digits, below 100 or with a fourth digit
/// refused; after a bare "2" any number goes.
std::optional<long> libcurlReading(const std::string& line) {
  if (line.size() < 5 || lowercased(line.substr(0, 5)) != "http/") return std::nullopt;
  const std::string text = line + "\r\n";
  int major = 0, minor = 0, status = 0;
  char separator = 0, next = 0;
  const int read = std::sscanf(text.c_str(), " HTTP/%1d.%1d%c%3d%c", &major, &minor, &separator, &status, &next);
  if (read == 0) return 200;  // "HTTP/" in any letter case with no version after it
  if (read == 1 && major == 2) {
    char version[2];
    if (std::sscanf(text.c_str(), " HTTP/%1[23] %d", version, &status) == 2) return status;
    return std::nullopt;
  }
  if (read < 4 || separator != ' ' || std::isdigit(static_cast<unsigned char>(next)) || status < 100) return std::nullopt;
  const int version = major * 10 + minor;
  if (version != 10 && version != 11 && version != 20) return std::nullopt;
  return status;
}

bool isReadByLibcurl(const std::string& name) {
  static const std::array<std::string, 5> names = {"content-length", "transfer-encoding", "content-encoding", "connection",
                                                   "location"};
  return std::find(names.begin(), names.end(), lowercased(name)) != names.end();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool http2 = (data[0] & 1) != 0, libcurlTells = (data[0] & 2) != 0;
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  Fennix::HTTPWire::ResponseHeadReader reader(http2);

  // What the heads must come to, followed here line by line.
  bool awaitingStatus = true, interim = false, ended = false;
  long status = 0;
  std::size_t linesOfHead = 0;
  Fennix::HTTPWire::ResponseHeadReader::Fields finalFields;
  std::size_t start = 0;
  while (start < input.size()) {
    const auto feed = input.find('\n', start);
    std::string line = input.substr(start, feed == std::string::npos ? std::string::npos : feed - start);
    start = feed == std::string::npos ? input.size() : feed + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();

    const auto before = reader.fields();
    const auto libcurl = awaitingStatus ? libcurlReading(line) : std::nullopt;
    const auto refused = reader.take(line, awaitingStatus && libcurlTells ? libcurl.value_or(0) : 0);
    if (refused) {
      check(!refused->empty());
      check(!ended);  // trailer lines are passed over, never refused
      break;
    }
    if (ended) {
      check(reader.finalHeadEnded() && reader.statusCode() == status && reader.fields() == finalFields);
      continue;
    }
    // libcurl ends a head at a line that starts with a carriage return: no such line is taken.
    check(awaitingStatus || line.empty() || line[0] != '\r');
    if (awaitingStatus) {
      // A status line: as HTTP writes it, and read by libcurl as the same status.
      const auto parsed = Fennix::HTTPWire::parseStatusLine(line, http2);
      check(std::holds_alternative<Fennix::HTTPWire::StatusLine>(parsed));
      status = std::get<Fennix::HTTPWire::StatusLine>(parsed).statusCode;
      check(status >= 100 && status <= 999 && reader.statusCode() == status);
      check(libcurl == status);
      check(line.compare(0, 5, "HTTP/") == 0);
      check(reader.fields().empty() && !reader.finalHeadEnded());
      interim = status >= 100 && status <= 199 && status != 101;
      awaitingStatus = false;
      linesOfHead = 0;
      continue;
    }
    check(reader.statusCode() == status);
    if (line.empty()) {
      // The end of a head: the final one ends the heads, an interim one is followed by another.
      // The final head keeps one "Location", the first: the one libcurl follows.
      auto kept = before;
      if (!interim) {
        std::optional<std::string> target;
        kept.clear();
        for (const auto& field : before) {
          if (lowercased(field.first) == "location") {
            // A repeat is taken only where it names the same target.
            if (target) {
              check(field.second == *target);
              continue;
            }
            target = field.second;
          }
          kept.push_back(field);
        }
      }
      check(reader.fields() == kept);
      check(reader.finalHeadEnded() == !interim);
      if (interim) {
        awaitingStatus = true;
      } else {
        ended = true;
        finalFields = reader.fields();
      }
      continue;
    }
    ++linesOfHead;
    check(!reader.finalHeadEnded());
    check(reader.fields().size() <= linesOfHead);
    if ((line[0] == ' ' || line[0] == '\t') && !before.empty() && line.find_first_not_of(" \t") != std::string::npos) {
      check(!isReadByLibcurl(before.back().first));
    }
    for (const auto& [name, value] : reader.fields()) {
      check(!name.empty() && name.find(':') == std::string::npos && name[0] != ' ' && name[0] != '\t');
      check(value.empty() || (value.front() != ' ' && value.front() != '\t' && value.back() != ' ' && value.back() != '\t'));
    }
  }
  return 0;
}
