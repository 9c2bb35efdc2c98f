// values.hpp - the host runtime's value types: blob, decimal, date, time, datetime.
//
// Integers map to exact-width types (integer int16_t, uint uint16_t, long int32_t, ulong uint32_t) and text to
// UTF-8 std::string; a value that can be null is a std::optional of its type.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace api32 {

using blob = std::vector<std::uint8_t>;

/// Exact decimal number: a signed 64-bit coefficient and a power-of-ten scale (0..18), so at least 18
/// significant digits. Arithmetic that would overflow the coefficient gives std::nullopt from the checked
/// operations; the operators saturate to "not a number" (valid() false), which compares unequal to all.
class decimal {
public:
  constexpr decimal() = default;
  constexpr decimal(std::int64_t whole) : coefficient_(whole) {}  // NOLINT: implicit as the host's are

  /// Parses "12", "-2.5", "1.01", "4294967295", "1e3", " 3 " (blanks around are ignored).
  static std::optional<decimal> parse(std::string_view text);
  /// The double's shortest round-trip decimal form made exact (0.1 -> 0.1, 0.25 -> 0.25).
  static decimal from_double(double value);
  static constexpr decimal from_parts(std::int64_t coefficient, int scale) { return decimal(coefficient, scale); }

  bool valid() const { return valid_; }
  std::int64_t coefficient() const { return coefficient_; }
  int scale() const { return scale_; }

  /// Plain decimal text without exponent and without trailing zeros: "0.25", "-3", "0".
  std::string to_string() const;
  double to_double() const;
  /// Rounds half away from zero to a whole number; nullopt when out of the int64 range or not valid.
  std::optional<std::int64_t> round() const;
  /// Drops the fraction.
  std::optional<std::int64_t> truncate() const;

  friend decimal operator+(decimal a, decimal b);
  friend decimal operator-(decimal a, decimal b);
  friend decimal operator*(decimal a, decimal b);
  /// Division to 18 fractional digits at most (rounded half away from zero); division by zero is not valid.
  friend decimal operator/(decimal a, decimal b);
  decimal operator-() const;

  friend bool operator==(const decimal& a, const decimal& b);
  friend std::partial_ordering operator<=>(const decimal& a, const decimal& b);

private:
  constexpr decimal(std::int64_t coefficient, int scale) : coefficient_(coefficient), scale_(scale) {}
public:
  /// The "not a number" result of a failed operation.
  static decimal invalid() {
    decimal d;
    d.valid_ = false;
    return d;
  }

private:

  std::int64_t coefficient_ = 0;
  int scale_ = 0;
  bool valid_ = true;
};

struct date {
  int year = 1900;
  int month = 1;
  int day = 1;
  /// False for dates the calendar does not have (month 13, 30 February, year 0).
  bool valid() const;
  /// "yyyy-mm-dd".
  std::string to_string() const;
  friend auto operator<=>(const date&, const date&) = default;
};

struct time {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int microsecond = 0;  ///< fraction of a second, 0..999999
  bool valid() const;
  /// "hh:mm:ss", with ".ffffff" when the fraction is not zero.
  std::string to_string() const;
  friend auto operator<=>(const time&, const time&) = default;
};

struct datetime {
  api32::date date;
  api32::time time;
  /// "yyyy-mm-dd hh:mm:ss" (the fraction is not shown).
  std::string to_string() const;
  friend auto operator<=>(const datetime&, const datetime&) = default;
};

/// The host's text form of numbers: whole numbers plain, doubles in their shortest round-trip form.
std::string to_text(std::int64_t value);
std::string to_text(double value);

}  // namespace api32
