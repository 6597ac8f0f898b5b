#include "Fennix/UI/Common/VisualFormat.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace Fennix {

namespace {

struct ParseFault {
  std::string reason;
  std::size_t position;
};

struct Predicate {
  NSLayoutRelation relation = NSLayoutRelation::equal;
  std::optional<double> constant;       // a number or metric
  std::optional<LayoutItem> view;       // a view name (only inside a view's parentheses)
  NSLayoutPriority priority = NSLayoutPriorityRequired;
};

/// A connection between two elements: flush (no predicates, 0), the standard spacing, or
/// predicates.
struct Connection {
  enum class Kind { flush, standard, predicates } kind = Kind::flush;
  std::vector<Predicate> predicates;
};

class Parser {
 public:
  Parser(std::string_view format, const QvMetrics& metrics, const QvViewsMap& views,
         const SuperviewResolver& superviewOf)
      : text_(format), metrics_(metrics), views_(views), superviewOf_(superviewOf) {}

  NSLayoutConstraintList parse() {
    bool horizontal = true;
    if (text_.size() >= 2 && text_[1] == ':' && (text_[0] == 'H' || text_[0] == 'V')) {
      horizontal = text_[0] == 'H';
      pos_ = 2;
    }
    lead_ = horizontal ? NSLayoutAttribute::leading : NSLayoutAttribute::top;
    trail_ = horizontal ? NSLayoutAttribute::trailing : NSLayoutAttribute::bottom;
    dimension_ = horizontal ? NSLayoutAttribute::width : NSLayoutAttribute::height;

    skipBlanks();
    std::optional<Connection> leadingEdge;
    std::size_t edgePosition = pos_;
    if (peek() == '|') {
      ++pos_;
      leadingEdge = parseConnection();
    }
    std::optional<LayoutItem> previous;
    std::optional<Connection> pending;
    while (true) {
      skipBlanks();
      if (peek() != '[') fail(previous ? "Expected '[' to start a view" : "Expected a view");
      LayoutItem view = parseView();
      if (previous) {
        connect(view, lead_, *previous, trail_, *pending, standardSiblingSpacing);
      } else if (leadingEdge) {
        LayoutItem superview = superviewOf(view, edgePosition);
        connect(view, lead_, superview, lead_, *leadingEdge, standardSuperviewSpacing);
      }
      previous = view;
      skipBlanks();
      if (atEnd()) break;
      pending = parseConnection();
      skipBlanks();
      if (peek() == '|') {
        std::size_t barPosition = pos_;
        ++pos_;
        LayoutItem superview = superviewOf(view, barPosition);
        connect(superview, trail_, view, trail_, *pending, standardSuperviewSpacing);
        skipBlanks();
        if (!atEnd()) fail("Expected the end of the format after '|'");
        break;
      }
      if (atEnd()) fail("Expected a view or '|' after the connection");
    }
    return std::move(constraints_);
  }

 private:
  [[noreturn]] void fail(std::string reason) { throw ParseFault{std::move(reason), pos_}; }
  [[noreturn]] void failAt(std::string reason, std::size_t position) { throw ParseFault{std::move(reason), position}; }

  bool atEnd() const { return pos_ >= text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[pos_]; }
  void skipBlanks() {
    while (!atEnd() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }
  void expect(char c, const char* what) {
    skipBlanks();
    if (peek() != c) fail(std::string("Expected ") + what);
    ++pos_;
  }

  static bool isNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
  static bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

  std::string parseName() {
    std::size_t start = pos_;
    if (!isNameStart(peek())) fail("Expected a view name");
    while (isNameChar(peek())) ++pos_;
    return std::string(text_.substr(start, pos_ - start));
  }

  std::optional<double> parseNumber(bool allowSign) {
    std::size_t start = pos_;
    std::size_t p = pos_;
    if (allowSign && p < text_.size() && (text_[p] == '-' || text_[p] == '+')) ++p;
    std::size_t digits = p;
    while (p < text_.size() && std::isdigit(static_cast<unsigned char>(text_[p]))) ++p;
    if (p < text_.size() && text_[p] == '.') {
      ++p;
      while (p < text_.size() && std::isdigit(static_cast<unsigned char>(text_[p]))) ++p;
    }
    if (p == digits || (p == digits + 1 && text_[digits] == '.')) return std::nullopt;
    const double value = std::strtod(std::string(text_.substr(start, p - start)).c_str(), nullptr);
    if (!std::isfinite(value)) failAt("Numbers must be finite", start);  // too many digits
    pos_ = p;
    return value;
  }

  /// The value of a metric, which must be a finite number.
  double metricValue(const std::string& name, std::size_t position) {
    auto metric = metrics_.find(name);
    if (metric == metrics_.end()) failAt(name + " is not a key in the metrics dictionary.", position);
    if (!std::isfinite(metric->second)) failAt("The metric " + name + " must be a finite number", position);
    return metric->second;
  }

  LayoutItem lookUpView(const std::string& name, std::size_t position) {
    auto found = views_.find(name);
    if (found == views_.end()) failAt(name + " is not a key in the views dictionary.", position);
    if (!found->second) failAt(name + " names no view.", position);
    return found->second;
  }

  LayoutItem superviewOf(LayoutItem view, std::size_t position) {
    std::optional<LayoutItem> superview;
    if (superviewOf_) {
      superview = superviewOf_(view);
    } else if (LayoutHost* host = layoutHost()) {
      superview = host->superviewOf(view);
    }
    if (!superview || !*superview)
      failAt("Unable to interpret '|' character, because the related view doesn't have a superview", position);
    return *superview;
  }

  // number | metric | view name (views only when allowed)
  void parseObject(Predicate& predicate, bool allowViews) {
    skipBlanks();
    if (auto number = parseNumber(true)) {
      predicate.constant = *number;
      return;
    }
    std::size_t start = pos_;
    if (!isNameStart(peek())) fail("Expected a number, metric or view name");
    std::string name = parseName();
    if (metrics_.contains(name)) {
      predicate.constant = metricValue(name, start);
      return;
    }
    if (!allowViews) failAt(name + " is not a key in the metrics dictionary.", start);
    predicate.view = lookUpView(name, start);
  }

  Predicate parsePredicate(bool allowViews) {
    Predicate predicate;
    skipBlanks();
    if (text_.substr(pos_, 2) == "==") {
      pos_ += 2;
    } else if (text_.substr(pos_, 2) == "<=") {
      predicate.relation = NSLayoutRelation::lessThanOrEqual;
      pos_ += 2;
    } else if (text_.substr(pos_, 2) == ">=") {
      predicate.relation = NSLayoutRelation::greaterThanOrEqual;
      pos_ += 2;
    }
    parseObject(predicate, allowViews);
    skipBlanks();
    if (peek() == '@') {
      ++pos_;
      skipBlanks();
      std::size_t start = pos_;
      std::optional<double> priority = parseNumber(false);
      if (!priority) {
        if (!isNameStart(peek())) fail("Expected a priority after '@'");
        priority = metricValue(parseName(), start);
      }
      // Checked as the single-precision priority it becomes: a tiny positive number is 0 there.
      const auto narrowed = static_cast<NSLayoutPriority>(*priority);
      if (!(narrowed > 0 && narrowed <= 1000)) failAt("Priorities must be greater than 0 and at most 1000", start);
      predicate.priority = narrowed;
    }
    return predicate;
  }

  std::vector<Predicate> parsePredicateList(bool allowViews) {
    std::vector<Predicate> predicates;
    expect('(', "'('");
    while (true) {
      predicates.push_back(parsePredicate(allowViews));
      skipBlanks();
      if (peek() == ',') {
        ++pos_;
        continue;
      }
      expect(')', "',' or ')'");
      return predicates;
    }
  }

  Connection parseConnection() {
    Connection connection;
    skipBlanks();
    if (peek() != '-') return connection;  // flush
    ++pos_;
    skipBlanks();
    if (peek() == '[' || peek() == '|') {
      connection.kind = Connection::Kind::standard;
      return connection;
    }
    connection.kind = Connection::Kind::predicates;
    if (peek() == '(') {
      connection.predicates = parsePredicateList(false);
    } else {
      Predicate predicate;
      if (auto number = parseNumber(false)) {
        predicate.constant = *number;
      } else {
        std::size_t start = pos_;
        if (!isNameStart(peek())) fail("Expected a number or metric after '-'");
        predicate.constant = metricValue(parseName(), start);
      }
      connection.predicates.push_back(predicate);
    }
    expect('-', "'-' after the spacing");
    return connection;
  }

  LayoutItem parseView() {
    ++pos_;  // '['
    skipBlanks();
    std::size_t start = pos_;
    std::string name = parseName();
    LayoutItem view = lookUpView(name, start);
    skipBlanks();
    if (peek() == '(') {
      for (const Predicate& predicate : parsePredicateList(true)) {
        NSLayoutConstraintPtr constraint =
            predicate.view ? NSLayoutConstraint::make(view, dimension_, predicate.relation, *predicate.view,
                                                      dimension_, 1, 0)
                           : NSLayoutConstraint::make(view, dimension_, predicate.relation, 1, *predicate.constant);
        constraint->setPriority(predicate.priority);
        constraints_.push_back(constraint);
      }
    }
    expect(']', "']'");
    return view;
  }

  void connect(LayoutItem first, NSLayoutAttribute firstAttribute, LayoutItem second,
               NSLayoutAttribute secondAttribute, const Connection& connection, double standard) {
    if (connection.kind != Connection::Kind::predicates) {
      double constant = connection.kind == Connection::Kind::standard ? standard : 0;
      constraints_.push_back(
          NSLayoutConstraint::make(first, firstAttribute, NSLayoutRelation::equal, second, secondAttribute, 1, constant));
      return;
    }
    for (const Predicate& predicate : connection.predicates) {
      auto constraint = NSLayoutConstraint::make(first, firstAttribute, predicate.relation, second, secondAttribute, 1,
                                                 predicate.constant.value_or(0));
      constraint->setPriority(predicate.priority);
      constraints_.push_back(constraint);
    }
  }

  std::string_view text_;
  const QvMetrics& metrics_;
  const QvViewsMap& views_;
  const SuperviewResolver& superviewOf_;
  std::size_t pos_ = 0;
  NSLayoutAttribute lead_ = NSLayoutAttribute::leading;
  NSLayoutAttribute trail_ = NSLayoutAttribute::trailing;
  NSLayoutAttribute dimension_ = NSLayoutAttribute::width;
  NSLayoutConstraintList constraints_;
};

}  // namespace

VisualFormatResult parseVisualFormat(std::string_view format, const QvMetrics& metrics, const QvViewsMap& views,
                                     const SuperviewResolver& superviewOf) {
  VisualFormatResult result;
  try {
    result.constraints = Parser(format, metrics, views, superviewOf).parse();
  } catch (const ParseFault& fault) {
    std::string message = "Unable to parse constraint format: ";
    message += fault.reason;
    message += '\n';
    message += format;
    message += '\n';
    message += std::string(std::min(fault.position, format.size()), ' ');
    message += '^';
    result.error = std::move(message);
  }
  return result;
}

}  // namespace Fennix
