// Reading numbers from text with "." as the decimal point under every locale.
#pragma once

#include <charconv>
#include <cstdint>

namespace tarvel {

// Parses a decimal number at p (an optional sign, digits with an optional "." and an optional
// exponent). Returns the end of the number, or nullptr when there is none. The result is the
// correctly rounded double, as std::from_chars gives; the common short forms take a fast path.
const char* ParseDouble(const char* p, const char* e, double& out);

// Parses an optional sign and decimal digits into a 32-bit integer. Returns the end, or
// nullptr when there are no digits or the value does not fit.
inline const char* ParseInt32(const char* p, const char* e, std::int32_t& out) {
  bool negative = false;
  if (p < e && (*p == '+' || *p == '-')) negative = *p++ == '-';
  const char* start = p;
  std::int64_t v = 0;
  while (p < e && static_cast<unsigned>(*p - '0') < 10) {
    v = v * 10 + (*p - '0');
    if (v > 2147483648LL) return nullptr;
    ++p;
  }
  if (p == start) return nullptr;
  if (negative) v = -v;
  if (v > 2147483647LL) return nullptr;
  out = static_cast<std::int32_t>(v);
  return p;
}

}  // namespace tarvel
