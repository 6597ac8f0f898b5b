// Number texts that are valid Swift floating-point literals.
#pragma once

#include <cstddef>
#include <string>

/// Writes numbers in plain decimal notation, never with an exponent, with at
/// most `maximumFractionDigits` fraction digits. The value is rounded half to
/// even on its shortest round-trip decimal digits (2.675 to two digits is
/// 2.68, 2.5 to none is 2); trailing zeros and a bare "." are dropped; no
/// digit grouping. The text is always a valid Swift literal: "0.5", never
/// ".5"; "0", never "-0"; non-finite values as ".nan", ".infinity" and
/// "-.infinity". Independent of the locale.
class DecimalNumberFormatter {
 public:
  /// A negative count counts as 0. `thousandsSeparator` is kept as the formatter's grouping
  /// separator; as with a formatter of no number style, it never shows between digits.
  explicit DecimalNumberFormatter(int maximumFractionDigits, std::string thousandsSeparator = {});

  int maximumFractionDigits() const { return maximumFractionDigits_; }
  /// The grouping separator the formatter was given ("" when none).
  const std::string& thousandsSeparator() const { return thousandsSeparator_; }
  std::string string(double value) const;

  /// Room for any number text: a finite double has at most 309 digits before
  /// the point, and at most 324 decimal places up to its last digit.
  static constexpr std::size_t bufferSize = 352;
  /// Writes the text of `value` to `out` (room for `bufferSize` bytes) and says how long it is.
  std::size_t write(double value, char* out) const;

 private:
  /// The text of a value that is clearly not a rounding tie and not too large, written straight
  /// from its binary value; 0 when the value needs its shortest digits.
  std::size_t writeQuickly(double value, char* out) const;

  int maximumFractionDigits_;
  std::string thousandsSeparator_;
  /// 10^maximumFractionDigits when it is small enough for `writeQuickly`, else 0.
  double scale_ = 0;
};

namespace SVGConverter {

/// The shortest decimal text that reads back as the same double ("100.0",
/// "0.5", "1e-05"), with non-finite values in their Swift spelling (".nan",
/// ".infinity", "-.infinity") so that the text stays a valid literal.
std::string shortestNumberLiteral(double value);

}  // namespace SVGConverter
