#include "mesh/NumberText.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace tarvel {
namespace {

// What std::from_chars makes of the text, which allows one leading "+" before the number.
struct TReference {
  bool Ok = false;
  bool OutOfRange = false;
  double Value = 0;
  std::size_t Used = 0;
};

TReference Reference(const std::string& text) {
  TReference r;
  std::size_t skip = 0;
  if (!text.empty() && text[0] == '+' && (text.size() < 2 || (text[1] != '+' && text[1] != '-')))
    skip = 1;
  const char* b = text.data() + skip;
  const char* e = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(b, e, r.Value);
  r.Ok = ec == std::errc();
  r.OutOfRange = ec == std::errc::result_out_of_range;
  r.Used = static_cast<std::size_t>(ptr - text.data());
  return r;
}

// Checks ParseDouble against the reference, over the text alone and followed by other text.
void ExpectSameAsFromChars(const std::string& number) {
  for (const std::string& tail : {std::string(), std::string(" 1.5"), std::string("/2")}) {
    const std::string text = number + tail;
    SCOPED_TRACE("\"" + text + "\"");
    const TReference ref = Reference(text);
    double got = -12345;
    const char* end = ParseDouble(text.data(), text.data() + text.size(), got);
    if (ref.OutOfRange) {
      // Too large gives an infinity, too close to zero gives zero.
      ASSERT_NE(end, nullptr);
      EXPECT_EQ(static_cast<std::size_t>(end - text.data()), ref.Used);
      const double approx = std::strtod(text.c_str(), nullptr);
      if (std::isinf(approx))
        EXPECT_TRUE(std::isinf(got)) << got;
      else
        EXPECT_LE(std::fabs(got), std::numeric_limits<double>::denorm_min()) << got;
      continue;
    }
    if (!ref.Ok) {
      EXPECT_EQ(end, nullptr) << "accepted, value " << got;
      continue;
    }
    ASSERT_NE(end, nullptr) << "rejected";
    EXPECT_EQ(static_cast<std::size_t>(end - text.data()), ref.Used);
    if (std::isnan(ref.Value)) {
      EXPECT_TRUE(std::isnan(got));
    } else {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(ref.Value))
          << got << " != " << ref.Value;
    }
  }
}

TEST(NumberTextTest, ParseDoubleMatchesFromCharsOnChosenTexts) {
  for (const char* text : {"0",
                           "-0",
                           "+0",
                           "-0.000000",
                           "0.000000",
                           "1",
                           "-1",
                           "+1",
                           "0.1",
                           "0.2",
                           "0.3",
                           ".5",
                           "5.",
                           "-.5",
                           "00000.000001",
                           "000123.4500",
                           "1e0",
                           "1E+2",
                           "1e-2",
                           "1.e5",
                           "1.5e",
                           "1.5e+",
                           "1.5e-x",
                           "9007199254740992",
                           "9007199254740993",
                           "9007199254740995",
                           "18446744073709551615",
                           "18446744073709551616",
                           "123456789012345678901234567890",
                           "0.123456789012345678901234567890",
                           "1e22",
                           "1e23",
                           "1e-22",
                           "1e-23",
                           "1.7976931348623157e308",
                           "1.7976931348623159e308",
                           "2.2250738585072014e-308",
                           "4.9e-324",
                           "2.4703282292062328e-324",
                           "1e-320",
                           "1e400",
                           "-1e400",
                           "1e-400",
                           "-1e-400",
                           "0e999999999",
                           "1e-99999999999",
                           "0.00000000000000000000000000001e29",
                           "100000000000000000000000e-23",
                           "0.000001",
                           "-0.000001",
                           "0.0000001",
                           "3.14159265358979",
                           "",
                           "-",
                           "+",
                           ".",
                           "-.",
                           "e5",
                           ".e5",
                           "abc",
                           " 1",
                           "--1",
                           "+-1",
                           "-+1",
                           "++1",
                           "1..2",
                           "1.2.3",
                           "nan",
                           "-nan",
                           "inf",
                           "-inf",
                           "infinity",
                           "--inf",
                           "+-inf",
                           "0x10",
                           "1,5"})
    ExpectSameAsFromChars(text);
}

std::string Digits(std::mt19937_64& rng, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += static_cast<char>('0' + rng() % 10);
  return s;
}

TEST(NumberTextTest, ParseDoubleMatchesFromCharsOnGeneratedDecimals) {
  std::mt19937_64 rng(20240601);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); };
  for (int i = 0; i < 200000; ++i) {
    std::string s;
    const int sign = pick(4);
    if (sign == 1) s += '-';
    if (sign == 2) s += '+';
    // Integer part: often short, sometimes with leading zeros, sometimes longer than 19 digits.
    const int kind = pick(6);
    if (kind == 0) s += "0";
    if (kind == 1)
      s += std::string(static_cast<std::size_t>(1 + pick(5)), '0') + Digits(rng, pick(4));
    if (kind == 2 || kind == 3) s += Digits(rng, 1 + pick(6));
    if (kind == 4) s += Digits(rng, 15 + pick(15));
    // kind 5: no integer part
    const int decimals = pick(21);
    if (kind == 5 || pick(5) != 0) {
      s += '.';
      s += Digits(rng, kind == 5 ? 1 + decimals : decimals);
    }
    if (pick(4) == 0) {
      s += pick(2) ? 'e' : 'E';
      const int expSign = pick(3);
      if (expSign == 1) s += '-';
      if (expSign == 2) s += '+';
      s += std::to_string(pick(5) == 0 ? pick(400) : pick(30));
    }
    ExpectSameAsFromChars(s);
    if (HasFailure()) break;
  }
}

TEST(NumberTextTest, ParseDoubleMatchesFromCharsOnRandomText) {
  // Short strings over the characters of numbers: every acceptance and every end must agree.
  const std::string alphabet = "0123456789.-+eE.0";
  std::mt19937_64 rng(7);
  for (int i = 0; i < 100000; ++i) {
    std::string s;
    const auto length = rng() % 9;
    for (std::uint64_t k = 0; k < length; ++k) s += alphabet[rng() % alphabet.size()];
    ExpectSameAsFromChars(s);
    if (HasFailure()) break;
  }
}

TEST(NumberTextTest, ParseDoubleShortFormsAreExact) {
  // The fixed notation with 6 decimals that figure files use, checked against from_chars over
  // a dense range.
  for (int i = -200000; i <= 200000; i += 7) {
    char buf[32];
    const auto r =
        std::to_chars(buf, buf + sizeof buf, i / 1000000.0 * 37, std::chars_format::fixed, 6);
    ExpectSameAsFromChars(std::string(buf, r.ptr));
    if (HasFailure()) break;
  }
}

TEST(NumberTextTest, ParseInt32Bounds) {
  struct TCase {
    const char* Text;
    bool Ok;
    std::int32_t Value;
    std::size_t Used;
  };
  const std::vector<TCase> cases = {
      {"0", true, 0, 1},
      {"7", true, 7, 1},
      {"-7", true, -7, 2},
      {"+7", true, 7, 2},
      {"2147483647", true, 2147483647, 10},
      {"2147483648", false, 0, 0},
      {"-2147483648", true, -2147483647 - 1, 11},
      {"-2147483649", false, 0, 0},
      {"99999999999999999999999", false, 0, 0},
      {"0002147483647", true, 2147483647, 13},
      {"12/3", true, 12, 2},
      {"12 3", true, 12, 2},
      {"", false, 0, 0},
      {"-", false, 0, 0},
      {"+", false, 0, 0},
      {"/1", false, 0, 0},
      {"a1", false, 0, 0},
      {"--1", false, 0, 0},
  };
  for (const TCase& tc : cases) {
    const std::string text = tc.Text;
    std::int32_t v = 12345;
    const char* end = ParseInt32(text.data(), text.data() + text.size(), v);
    if (!tc.Ok) {
      EXPECT_EQ(end, nullptr) << text;
      continue;
    }
    ASSERT_NE(end, nullptr) << text;
    EXPECT_EQ(v, tc.Value) << text;
    EXPECT_EQ(static_cast<std::size_t>(end - text.data()), tc.Used) << text;
  }
}

TEST(NumberTextTest, ParseDoubleStopsAtTheGivenEnd) {
  const std::string text = "12.5e3";
  double v = 0;
  const char* end = ParseDouble(text.data(), text.data() + 4, v);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(end, text.data() + 4);
  EXPECT_EQ(v, 12.5);
  std::int32_t n = 0;
  const std::string digits = "21474836479";
  const char* intEnd = ParseInt32(digits.data(), digits.data() + 10, n);
  ASSERT_NE(intEnd, nullptr);
  EXPECT_EQ(n, 2147483647);
}

// Fixed notation agrees with printf's "%*.*f" for every finite number, however long, and
// writes nothing but what the formatter produced.
TEST(NumberTextTest, AppendFixedWritesWhatPrintfWouldOrFails) {
  const std::vector<double> finite = {0.0,
                                      -0.0,
                                      1.5,
                                      -0.0000004,
                                      0.34,
                                      1e9,
                                      -1e9,
                                      1e57,
                                      -1.5e100,
                                      1e300,
                                      std::numeric_limits<double>::max(),
                                      std::numeric_limits<double>::denorm_min()};
  for (double v : finite) {
    for (std::size_t width : {std::size_t{0}, std::size_t{10}}) {
      std::string out = "v ";
      AppendFixed(out, v, 6, width);
      std::vector<char> expected(400);
      std::snprintf(expected.data(), expected.size(), "v %*.6f", static_cast<int>(width), v);
      EXPECT_EQ(out, expected.data()) << v;
    }
  }
  EXPECT_EQ(FixedText(2.25, 7), "2.2500000");
  for (double v : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    std::string out = "v ";
    EXPECT_THROW(AppendFixed(out, v, 6, 10), ENumberText) << v;
    EXPECT_EQ(out, "v ");
    EXPECT_THROW(FixedText(v, 7), ENumberText);
  }
}

}  // namespace
}  // namespace tarvel
