// One path-data command as written: upper-case letters hold absolute
// coordinates, lower-case letters offsets from the current point.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Platform/Geometry.h"

namespace SVG {

class Command {
 public:
  struct M { CGFloat x, y; bool operator==(const M&) const = default; };
  struct m { CGFloat dx, dy; bool operator==(const m&) const = default; };
  struct L { CGFloat x, y; bool operator==(const L&) const = default; };
  struct l { CGFloat dx, dy; bool operator==(const l&) const = default; };
  struct H { CGFloat x; bool operator==(const H&) const = default; };
  struct h { CGFloat dx; bool operator==(const h&) const = default; };
  struct V { CGFloat y; bool operator==(const V&) const = default; };
  struct v { CGFloat dy; bool operator==(const v&) const = default; };
  struct C {
    CGFloat x1, y1, x2, y2, x, y;
    bool operator==(const C&) const = default;
  };
  struct c {
    CGFloat dx1, dy1, dx2, dy2, dx, dy;
    bool operator==(const c&) const = default;
  };
  struct S { CGFloat x2, y2, x, y; bool operator==(const S&) const = default; };
  struct s { CGFloat dx2, dy2, dx, dy; bool operator==(const s&) const = default; };
  struct Q { CGFloat x1, y1, x, y; bool operator==(const Q&) const = default; };
  struct q { CGFloat dx1, dy1, dx, dy; bool operator==(const q&) const = default; };
  struct T { CGFloat x, y; bool operator==(const T&) const = default; };
  struct t { CGFloat dx, dy; bool operator==(const t&) const = default; };
  struct A {
    CGFloat rx, ry, angle;
    bool large, sweep;
    CGFloat x, y;
    bool operator==(const A&) const = default;
  };
  struct a {
    CGFloat rx, ry, angle;
    bool large, sweep;
    CGFloat dx, dy;
    bool operator==(const a&) const = default;
  };
  struct Z { bool operator==(const Z&) const = default; };
  using Variant = std::variant<M, m, L, l, H, h, V, v, C, c, S, s, Q, q, T, t, A, a, Z>;

  template <typename Case>
    requires std::is_constructible_v<Variant, Case>
  Command(Case command) : value_(command) {}

  // Reading from text, attributes and CSS
  /// The commands of a path's `d` text; throws `CommandParserError` (no partial list).
  static std::vector<Command> parseCommandsString(std::string_view string);

  const Variant& variant() const { return value_; }
  template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
  template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

  /// The letter and the numbers: M[1.0,2.0], H[10.0,], V[,10.0], C[1.0,2.0->3.0,4.0->5.0,6.0],
  /// Q[1.0,2.0 3.0,4.0], A[5.0,6.0 30.0 r1.0,2.0], Z.
  std::string description() const;

  bool operator==(const Command&) const = default;

 private:
  Variant value_;
};

}  // namespace SVG
