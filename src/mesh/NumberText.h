// Reading and writing numbers as text with "." as the decimal point under every locale.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

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

// No coordinate may be larger in magnitude, wherever it is read (OBJ and target geometry text,
// stored meshes and targets) or made (a command whose result goes beyond it fails): the
// single-precision boxes, centres and sums of a mesh stay finite below it.
constexpr double kCoordinateLimit = 1e9;

// A number that cannot be written as text.
class ENumberText : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Appends `v` in fixed notation with `decimals` decimals, right-aligned with leading blanks in
// a field of at least `width` characters. Only the characters std::to_chars reports are
// appended; a number that is not finite raises ENumberText and appends nothing.
void AppendFixed(std::string& out, double v, int decimals, std::size_t width);

// The same as a JSON number: fixed notation without padding; not finite raises ENumberText.
std::string FixedText(double v, int decimals);

}  // namespace tarvel
