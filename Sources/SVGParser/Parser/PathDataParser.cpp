#include "SVGParser/Parser/PathDataParser.h"

#include <array>
#include <optional>
#include <vector>

#include "SVGParser/Platform/NumberText.h"
#include "SVGParser/SVG/Command.h"

namespace SVG {

namespace {

// The command letters in case order; Z and z both close the subpath.
constexpr std::string_view commandLetters = "MmLlHhVvCcSsQqTtAaZz";
constexpr std::array<std::size_t, 20> argumentCounts = {2, 2, 2, 2, 1, 1, 1, 1, 6, 6,
                                                        4, 4, 4, 4, 2, 2, 7, 7, 0, 0};
constexpr std::size_t letterM = 0, letterm = 1, letterA = 16, lettera = 17, letterZ = 18;

// Index of a command letter in `commandLetters`, or nothing for any other byte.
std::optional<std::size_t> commandIndex(std::uint8_t byte) {
  const auto index = commandLetters.find(static_cast<char>(byte));
  if (index == std::string_view::npos || byte == 0) return std::nullopt;
  return index;
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

// Gathers the bytes of one number: an optional sign, digits with at most one
// dot, and an optional exponent with its own sign. An arc flag is a single
// "0" or "1" and ends right after that character.
class NumberScanner {
 public:
  bool empty() const { return text_.empty(); }
  bool isCompleteFlag() const { return flag_; }
  const std::string& text() const { return text_; }

  bool offer(std::uint8_t c, bool flagSlot) {
    if (flag_) return false;
    if (text_.empty() && flagSlot && (c == '0' || c == '1')) {
      flag_ = true;
      text_.push_back(static_cast<char>(c));
      return true;
    }
    if (isDigit(c)) {
      mantissaDigits_ = mantissaDigits_ || !exponent_;
    } else if (c == '-' || c == '+') {
      if (!text_.empty() && text_.back() != 'e' && text_.back() != 'E') return false;
    } else if (c == '.') {
      if (dot_ || exponent_) return false;
      dot_ = true;
    } else if (c == 'e' || c == 'E') {
      if (!mantissaDigits_ || exponent_) return false;
      exponent_ = true;
    } else {
      return false;
    }
    text_.push_back(static_cast<char>(c));
    return true;
  }

  void reset() {
    text_.clear();
    dot_ = exponent_ = mantissaDigits_ = flag_ = false;
  }

 private:
  std::string text_;
  bool dot_ = false;
  bool exponent_ = false;
  bool mantissaDigits_ = false;
  bool flag_ = false;
};

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
  std::optional<std::size_t> current;  // index into commandLetters
  bool collecting = false;             // an argument set of `current` is being read
  bool commaPending = false;           // a comma was read and no number since
  std::array<CGFloat, 7> slots{};
  std::size_t count = 0;
  NumberScanner number;

  const auto letter = [&] { return static_cast<std::uint8_t>(commandLetters[*current]); };
  const auto store = [&] {
    const auto value = SVGParser::parseDouble(number.text());
    if (!value) {
      CommandParserError error = CommandParserError::CouldNotParseNumber{number.text()};
      throw error;
    }
    number.reset();
    if (count < slots.size()) slots[count] = *value;
    ++count;
  };
  // Offers a byte to the number; a finished arc flag is stored at once.
  const auto offer = [&](std::uint8_t c) {
    const bool flagSlot = (*current == letterA || *current == lettera) && (count == 3 || count == 4);
    if (!number.offer(c, flagSlot)) return false;
    commaPending = false;
    if (number.isCompleteFlag()) store();
    return true;
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
  // After a number was stored: `c` is the byte that ended it (a comma already noted).
  const auto afterArgument = [&](std::uint8_t c) {
    if (count < argumentCounts[*current]) {
      if (isSeparator(c) || c == ',') return;
      if (!offer(c)) throw CommandParserError(CommandParserError::MissingArgument{letter()});
      return;
    }
    commands.push_back(build(*current, slots));
    count = 0;
    if (isSeparator(c) || c == ',') {
      collecting = false;
    } else if (startsNumber(c)) {
      current = repeated(*current);
      offer(c);
    } else if (const auto command = commandIndex(c)) {
      startCommand(*command);
    } else {
      throw CommandParserError(CommandParserError::InvalidCommandChar{c});
    }
  };

  for (const char ch : string) {
    const auto c = static_cast<std::uint8_t>(ch);
    if (!collecting) {
      if (isSeparator(c)) continue;
      if (c == ',' && current) {
        if (commaPending) throw CommandParserError(CommandParserError::CouldNotParseNumber{""});
        commaPending = true;
        continue;
      }
      if (const auto command = commandIndex(c)) {
        if (commaPending) throw CommandParserError(CommandParserError::InvalidCommandChar{','});
        startCommand(*command);
        continue;
      }
      if (!current) throw CommandParserError(CommandParserError::InvalidCommandChar{c});
      // A number without a letter repeats the command; a stray byte here is dropped.
      current = repeated(*current);
      collecting = true;
      offer(c);
      continue;
    }

    if (number.empty() && isSeparator(c)) continue;
    if (c == ',') {
      if (!number.empty()) {
        store();
        commaPending = true;
        afterArgument(c);
      } else if (commaPending) {
        throw CommandParserError(CommandParserError::CouldNotParseNumber{""});
      } else if (count > 0) {
        commaPending = true;
      }
      // A comma right after the command letter is dropped like any stray byte there.
      continue;
    }
    if (offer(c)) continue;
    if (number.empty()) continue;  // a stray byte before a number is dropped
    store();
    afterArgument(c);
  }

  if (!number.empty()) store();
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
