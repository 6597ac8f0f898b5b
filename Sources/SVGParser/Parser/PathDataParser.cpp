#include "SVGParser/Parser/PathDataParser.h"

#include <array>
#include <optional>
#include <vector>

#include "SVGParser/Parser/NumberValue.h"
#include "Platform/NumberText.h"
#include "SVGParser/SVG/Command.h"

namespace SVG {

namespace {

// The command letters in case order; Z and z both close the subpath.
constexpr std::string_view commandLetters = "MmLlHhVvCcSsQqTtAaZz";
constexpr std::array<std::size_t, 20> argumentCounts = {2, 2, 2, 2, 1, 1, 1, 1, 6, 6,
                                                        4, 4, 4, 4, 2, 2, 7, 7, 0, 0};
constexpr std::size_t letterM = 0, letterm = 1, letterA = 16, lettera = 17, letterZ = 18;

// For each byte, one more than its index in `commandLetters`, or 0.
constexpr auto letterPositions = [] {
  std::array<std::uint8_t, 256> positions{};
  for (std::size_t i = 0; i < commandLetters.size(); ++i) {
    positions[static_cast<std::uint8_t>(commandLetters[i])] = static_cast<std::uint8_t>(i + 1);
  }
  return positions;
}();

// Index of a command letter in `commandLetters`, or nothing for any other byte.
std::optional<std::size_t> commandIndex(std::uint8_t byte) {
  const auto position = letterPositions[byte];
  if (position == 0) return std::nullopt;
  return position - 1;
}

bool isSeparator(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }
bool startsNumber(std::uint8_t c) { return isDigit(c) || c == '-' || c == '+' || c == '.'; }

// An argument set that follows a complete one repeats the command; after a
// moveto it continues as a lineto of the same kind.
std::size_t repeated(std::size_t command) {
  if (command == letterM) return 2;
  if (command == letterm) return 3;
  return command;
}

Command build(std::size_t command, const std::array<CGFloat, 7>& a) {
  switch (command) {
    case 0: return Command::M{a[0], a[1]};
    case 1: return Command::m{a[0], a[1]};
    case 2: return Command::L{a[0], a[1]};
    case 3: return Command::l{a[0], a[1]};
    case 4: return Command::H{a[0]};
    case 5: return Command::h{a[0]};
    case 6: return Command::V{a[0]};
    case 7: return Command::v{a[0]};
    case 8: return Command::C{a[0], a[1], a[2], a[3], a[4], a[5]};
    case 9: return Command::c{a[0], a[1], a[2], a[3], a[4], a[5]};
    case 10: return Command::S{a[0], a[1], a[2], a[3]};
    case 11: return Command::s{a[0], a[1], a[2], a[3]};
    case 12: return Command::Q{a[0], a[1], a[2], a[3]};
    case 13: return Command::q{a[0], a[1], a[2], a[3]};
    case 14: return Command::T{a[0], a[1]};
    case 15: return Command::t{a[0], a[1]};
    case 16: return Command::A{a[0], a[1], a[2], a[3] != 0, a[4] != 0, a[5], a[6]};
    case 17: return Command::a{a[0], a[1], a[2], a[3] != 0, a[4] != 0, a[5], a[6]};
    default: return Command::Z{};
  }
}

}  // namespace

std::string CommandParserError::describe(const Variant& value) {
  struct Text {
    std::string operator()(const CouldNotParseNumber& e) const {
      return "couldNotParseNumber(\"" + e.text + "\")";
    }
    std::string operator()(const UnexpectedArgumentCount& e) const {
      return "unexpectedArgumentCount(" + std::to_string(e.count) + ")";
    }
    std::string operator()(const InvalidCommandChar& e) const {
      return "invalidCommandChar(" + std::to_string(e.byte) + ")";
    }
    std::string operator()(const MissingArgument& e) const {
      return "missingArgument(" + std::to_string(e.letter) + ")";
    }
    std::string operator()(const UnexpectedUTF8Sequence&) const { return "unexpectedUTF8Sequence"; }
  };
  return std::visit(Text{}, value);
}

std::vector<Command> Command::parseCommandsString(std::string_view string) {
  std::vector<Command> commands;
  // Path data takes about a dozen bytes or more per command; room for that many up
  // front saves most of the growing.
  commands.reserve(string.size() / 12);
  std::optional<std::size_t> current;  // index into commandLetters
  bool collecting = false;             // an argument set of `current` is being read
  bool commaPending = false;           // a comma was read and no number since
  std::array<CGFloat, 7> slots{};
  std::size_t count = 0;
  bool numberRead = false;  // the last bytes were a number; the next byte ends its argument

  const auto letter = [&] { return static_cast<std::uint8_t>(commandLetters[*current]); };
  const auto keep = [&](CGFloat value) {
    if (count < slots.size()) slots[count] = value;
    ++count;
  };
  const auto store = [&](std::string_view text) {
    CGFloat value = 0;
    if (!SVGParser::readNumberValue(text, value)) {
      CommandParserError error = CommandParserError::CouldNotParseNumber{std::string(text)};
      throw error;
    }
    keep(value);
  };
  // Reads the number (or arc flag, a single "0" or "1") that starts at `i`; returns
  // the bytes taken, 0 when none starts there. A number takes every byte that may
  // still belong to one, so "1e" or "-" alone is an unreadable number.
  const auto readNumber = [&](std::size_t i) -> std::size_t {
    const auto c = static_cast<std::uint8_t>(string[i]);
    const bool flagSlot = (*current == letterA || *current == lettera) && (count == 3 || count == 4);
    if (flagSlot && (c == '0' || c == '1')) {
      commaPending = false;
      keep(c == '1' ? 1 : 0);
      return 1;
    }
    CGFloat value = 0;
    auto reach = SVGParser::readLeadingPlainDecimal(string.substr(i), value);
    if (reach > 0) {
      keep(value);
    } else {
      reach = SVGParser::scanNumber(string.substr(i)).reach;
      if (reach == 0) return 0;
      store(string.substr(i, reach));
    }
    commaPending = false;
    numberRead = true;
    return reach;
  };
  const auto startCommand = [&](std::size_t command) {
    if (command >= letterZ) {
      commands.emplace_back(Command::Z{});
      current.reset();
      collecting = false;
    } else {
      current = command;
      collecting = true;
    }
    count = 0;
  };
  // After a number was stored: the byte at `i` ended it (a comma already noted).
  // Returns the bytes taken from `i` on.
  const auto afterArgument = [&](std::size_t i) -> std::size_t {
    const auto c = static_cast<std::uint8_t>(string[i]);
    if (count < argumentCounts[*current]) {
      if (isSeparator(c) || c == ',') return 1;
      const auto taken = readNumber(i);
      if (taken == 0) throw CommandParserError(CommandParserError::MissingArgument{letter()});
      return taken;
    }
    commands.push_back(build(*current, slots));
    count = 0;
    if (isSeparator(c) || c == ',') {
      collecting = false;
    } else if (startsNumber(c)) {
      current = repeated(*current);
      return readNumber(i);
    } else if (const auto command = commandIndex(c)) {
      startCommand(*command);
    } else {
      throw CommandParserError(CommandParserError::InvalidCommandChar{c});
    }
    return 1;
  };

  for (std::size_t i = 0; i < string.size();) {
    const auto c = static_cast<std::uint8_t>(string[i]);
    if (!collecting) {
      if (isSeparator(c)) {
        ++i;
        continue;
      }
      if (c == ',' && current) {
        if (commaPending) throw CommandParserError(CommandParserError::CouldNotParseNumber{""});
        commaPending = true;
        ++i;
        continue;
      }
      if (const auto command = commandIndex(c)) {
        if (commaPending) throw CommandParserError(CommandParserError::InvalidCommandChar{','});
        startCommand(*command);
        ++i;
        continue;
      }
      if (!current) throw CommandParserError(CommandParserError::InvalidCommandChar{c});
      // A number without a letter repeats the command; a stray byte here is dropped.
      current = repeated(*current);
      collecting = true;
      const auto taken = readNumber(i);
      i += taken == 0 ? 1 : taken;
      continue;
    }

    if (numberRead) {
      numberRead = false;
      if (c == ',') commaPending = true;
      i += afterArgument(i);
      continue;
    }
    if (isSeparator(c)) {
      ++i;
      continue;
    }
    if (c == ',') {
      if (commaPending) {
        throw CommandParserError(CommandParserError::CouldNotParseNumber{""});
      } else if (count > 0) {
        commaPending = true;
      }
      // A comma right after the command letter is dropped like any stray byte there.
      ++i;
      continue;
    }
    const auto taken = readNumber(i);
    i += taken == 0 ? 1 : taken;  // a stray byte before a number is dropped
  }

  if (collecting) {
    if (count != argumentCounts[*current]) {
      throw CommandParserError(CommandParserError::MissingArgument{letter()});
    }
    commands.push_back(build(*current, slots));
  } else if (commaPending) {
    throw CommandParserError(CommandParserError::InvalidCommandChar{','});
  }
  return commands;
}

}  // namespace SVG
