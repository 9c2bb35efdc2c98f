// values.cpp - decimal arithmetic and the text forms of dates, times and numbers.
#include "api32/runtime/values.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace api32 {
namespace {

__extension__ typedef __int128 int128;

constexpr int max_scale = 18;

int128 pow10(int n) {
  int128 r = 1;
  while (n-- > 0) r *= 10;
  return r;
}

// Brings a wide coefficient back into 64 bits: trailing zeros of the fraction are dropped, then fraction
// digits are rounded away (half away from zero) until it fits.
decimal make(int128 c, int scale) {
  while (scale > 0 && c % 10 == 0) {
    c /= 10;
    --scale;
  }
  while (scale > max_scale || c > std::numeric_limits<std::int64_t>::max() ||
         c < std::numeric_limits<std::int64_t>::min()) {
    if (scale == 0) return decimal::invalid();
    int128 q = c / 10, r = c % 10;
    if (r >= 5) ++q;
    if (r <= -5) --q;
    c = q;
    --scale;
  }
  return decimal::from_parts(static_cast<std::int64_t>(c), scale);
}

// Two coefficients on a common scale.
bool align(const decimal& a, const decimal& b, int128& ca, int128& cb, int& scale) {
  scale = std::max(a.scale(), b.scale());
  ca = static_cast<int128>(a.coefficient()) * pow10(scale - a.scale());
  cb = static_cast<int128>(b.coefficient()) * pow10(scale - b.scale());
  return a.valid() && b.valid();
}

}  // namespace

std::optional<decimal> decimal::parse(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  bool negative = false;
  if (text.front() == '+' || text.front() == '-') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int128 c = 0;
  int scale = 0, digits = 0;
  bool point = false;
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    char ch = text[i];
    if (ch == '.' && !point) {
      point = true;
      continue;
    }
    if (ch < '0' || ch > '9') break;
    static const int128 far_beyond = pow10(36);
    if (c > far_beyond) return std::nullopt;  // far beyond any representable value
    c = c * 10 + (ch - '0');
    ++digits;
    if (point) ++scale;
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size()) {
    if (text[i] != 'e' && text[i] != 'E') return std::nullopt;
    int exponent = 0;
    auto rest = text.substr(i + 1);
    if (!rest.empty() && rest.front() == '+') rest.remove_prefix(1);
    auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), exponent);
    if (ec != std::errc() || ptr != rest.data() + rest.size() || exponent > 36 || exponent < -36) return std::nullopt;
    scale -= exponent;
    if (scale < 0) {
      c *= pow10(-scale);
      scale = 0;
    }
  }
  decimal d = make(negative ? -c : c, scale);
  if (!d.valid()) return std::nullopt;
  return d;
}

decimal decimal::from_double(double value) {
  if (!std::isfinite(value)) return invalid();
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return invalid();
  auto parsed = parse(std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
  return parsed ? *parsed : invalid();
}

std::string decimal::to_string() const {
  if (!valid_) return "NaN";
  bool negative = coefficient_ < 0;
  // unsigned magnitude, so that INT64_MIN is printed too
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(coefficient_) : static_cast<std::uint64_t>(coefficient_);
  std::string digits = std::to_string(magnitude);
  if (scale_ > 0) {
    if (digits.size() <= static_cast<std::size_t>(scale_)) digits.insert(0, static_cast<std::size_t>(scale_) - digits.size() + 1, '0');
    digits.insert(digits.size() - static_cast<std::size_t>(scale_), 1, '.');
  }
  return negative ? "-" + digits : digits;
}

double decimal::to_double() const {
  if (!valid_) return std::numeric_limits<double>::quiet_NaN();
  double r = 0;
  std::string text = to_string();
  std::from_chars(text.data(), text.data() + text.size(), r);
  return r;
}

std::optional<std::int64_t> decimal::round() const {
  if (!valid_) return std::nullopt;
  int128 p = pow10(scale_);
  int128 q = coefficient_ / p, r = coefficient_ % p;
  if (2 * r >= p) ++q;
  if (-2 * r >= p) --q;
  return static_cast<std::int64_t>(q);
}

std::optional<std::int64_t> decimal::truncate() const {
  if (!valid_) return std::nullopt;
  return static_cast<std::int64_t>(coefficient_ / pow10(scale_));
}

decimal operator+(decimal a, decimal b) {
  int128 ca, cb;
  int scale;
  if (!align(a, b, ca, cb, scale)) return decimal::invalid();
  return make(ca + cb, scale);
}

decimal operator-(decimal a, decimal b) { return a + (-b); }

decimal decimal::operator-() const {
  if (!valid_) return invalid();
  return make(-static_cast<int128>(coefficient_), scale_);
}

decimal operator*(decimal a, decimal b) {
  if (!a.valid() || !b.valid()) return decimal::invalid();
  return make(static_cast<int128>(a.coefficient()) * b.coefficient(), a.scale() + b.scale());
}

decimal operator/(decimal a, decimal b) {
  if (!a.valid() || !b.valid() || b.coefficient() == 0) return decimal::invalid();
  // a/b = (ca * 10^k / cb) * 10^-(sa + k - sb); k chosen for 18 fractional digits plus one for rounding.
  int k = max_scale + 1 + b.scale() - a.scale();
  int128 numerator = a.coefficient();
  int128 denominator = b.coefficient();
  if (k >= 0) {
    numerator *= pow10(std::min(k, 36));
  } else {
    denominator *= pow10(-k);
  }
  int128 q = numerator / denominator;
  int scale = max_scale + 1;
  int128 r = q % 10;
  q /= 10;
  --scale;
  if (r >= 5) ++q;
  if (r <= -5) --q;
  return make(q, scale);
}

bool operator==(const decimal& a, const decimal& b) {
  int128 ca, cb;
  int scale;
  return align(a, b, ca, cb, scale) && ca == cb;
}

std::partial_ordering operator<=>(const decimal& a, const decimal& b) {
  int128 ca, cb;
  int scale;
  if (!align(a, b, ca, cb, scale)) return std::partial_ordering::unordered;
  return ca < cb ? std::partial_ordering::less : ca > cb ? std::partial_ordering::greater : std::partial_ordering::equivalent;
}

bool date::valid() const {
  static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int limit = days[month - 1] + (month == 2 && leap ? 1 : 0);
  return day <= limit;
}

std::string date::to_string() const {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
  return buffer;
}

bool time::valid() const {
  return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 && microsecond >= 0 &&
         microsecond < 1000000;
}

std::string time::to_string() const {
  char buffer[48];
  if (microsecond != 0)
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d.%06d", hour, minute, second, microsecond);
  else
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hour, minute, second);
  return buffer;
}

std::string datetime::to_string() const {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", date.year, date.month, date.day, time.hour,
                time.minute, time.second);
  return buffer;
}

std::string to_text(std::int64_t value) { return std::to_string(value); }

std::string to_text(double value) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return "0";
  return std::string(buffer, end);
}

}  // namespace api32
