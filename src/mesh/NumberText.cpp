#include "mesh/NumberText.h"

#include <array>
#include <cmath>

namespace tarvel {

namespace {
constexpr double kPowersOf10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
}

const char* ParseDouble(const char* p, const char* e, double& out) {
  const char* start = p;
  bool negative = false;
  if (p < e && (*p == '+' || *p == '-')) negative = *p++ == '-';
  const char* digitsStart = p;
  std::uint64_t mantissa = 0;
  int digits = 0;    // significant digits taken into the mantissa
  int exponent = 0;  // power of ten to apply to the mantissa
  bool any = false;
  bool exact = true;  // false when digits had to be dropped
  while (p < e && static_cast<unsigned>(*p - '0') < 10) {
    any = true;
    if (digits < 19) {
      mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
      if (mantissa) ++digits;
    } else {
      ++exponent;
      exact = false;
    }
    ++p;
  }
  if (p < e && *p == '.') {
    ++p;
    while (p < e && static_cast<unsigned>(*p - '0') < 10) {
      any = true;
      if (digits < 19) {
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        if (mantissa) ++digits;
        --exponent;
      } else {
        exact = false;
      }
      ++p;
    }
  }
  if (!any) {
    // No digits: perhaps "inf" or "nan", which the general parser knows. A second sign is
    // not part of a number.
    if (digitsStart < e && (*digitsStart == '+' || *digitsStart == '-')) return nullptr;
    auto [end, ec] = std::from_chars(digitsStart, e, out);
    if (ec != std::errc()) return nullptr;
    if (negative) out = -out;
    return end;
  }
  if (p < e && (*p == 'e' || *p == 'E')) {
    const char* q = p + 1;
    bool expNegative = false;
    if (q < e && (*q == '+' || *q == '-')) expNegative = *q++ == '-';
    if (q < e && static_cast<unsigned>(*q - '0') < 10) {
      int ev = 0;
      while (q < e && static_cast<unsigned>(*q - '0') < 10) {
        if (ev < 100000) ev = ev * 10 + (*q - '0');
        ++q;
      }
      exponent += expNegative ? -ev : ev;
      p = q;
    }
  }
  // Both the mantissa and the power of ten are exact doubles here, so one multiplication or
  // division rounds correctly.
  if (exact && mantissa <= (std::uint64_t{1} << 53) && exponent >= -22 && exponent <= 22) {
    double v = static_cast<double>(mantissa);
    v = exponent < 0 ? v / kPowersOf10[-exponent] : v * kPowersOf10[exponent];
    out = negative ? -v : v;
    return p;
  }
  const char* from = start;
  if (*from == '+') ++from;
  auto [end, ec] = std::from_chars(from, p, out);
  if (ec != std::errc() || end != p) {
    if (ec == std::errc::result_out_of_range) {
      // The value is below 10^(digits + exponent): below 1 it is too close to zero and
      // rounds to zero; otherwise it is too large, and the caller rejects the infinity.
      if (digits + exponent <= 0)
        out = negative ? -0.0 : 0.0;
      else
        out = negative ? -HUGE_VAL : HUGE_VAL;
      return p;
    }
    return nullptr;
  }
  return p;
}

void AppendFixed(std::string& out, double v, int decimals, std::size_t width) {
  if (!std::isfinite(v))
    throw ENumberText(std::string("a number that is not finite (") +
                      (std::isnan(v) ? "nan"
                       : v < 0       ? "-inf"
                                     : "inf") +
                      ") cannot be written");
  // The largest double has 309 digits before the point.
  std::array<char, 360> buf;
  const auto r =
      std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) throw ENumberText("a number cannot be written in fixed notation");
  const std::size_t len = static_cast<std::size_t>(r.ptr - buf.data());
  if (len < width) out.append(width - len, ' ');
  out.append(buf.data(), len);
}

std::string FixedText(double v, int decimals) {
  std::string out;
  AppendFixed(out, v, decimals, 0);
  return out;
}

}  // namespace tarvel
