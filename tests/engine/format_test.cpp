#include "engine/base/format.h"

#include <gtest/gtest.h>

#include <cmath>

namespace estimetrix {
namespace {

TEST(FormatNumber, FormatsByPattern) {
  struct Case {
    double value;
    const char* pattern;
    const char* text;
  };
  const Case cases[] = {
      // The house examples.
      {1.5, "0.0000000E+00", "1.5000000E+00"},
      {-2500, "0.000E+000", "-2.500E+003"},
      {0, "0.0000000E+00", "0.0000000E+00"},
      {9.99996, "0.0000E+00", "1.0000E+01"},
      {12, "####0.#####", "12."},
      {0.123456789, "####0.#####", "0.12346"},
      {-3.25, "####0.#####", "-3.25"},
      {0.125, "0.00", "0.13"},
      {-0.0001, "0.00", "0.00"},
      {5, "    000) ", "    005) "},
      {123456, "##0", "123456"},
      {1234.5678, " ###0.000", " 1234.568"},
      {1.5, "0.0000E+000   ", "1.5000E+000   "},
      {0.1, "0.####", "0.1"},
      {1E-100, "0.000E+000", "1.000E-100"},
      // Halves round away from zero, as the decimal the user wrote.
      {-0.5, "0", "-1"},
      {2.675, "0.00", "2.68"},
      {0.005, "0.00", "0.01"},
      {0.0005, "0.00", "0.00"},
      {99.995, "0.00", "100.00"},
      {-1.25, "0.0E+00", "-1.3E+00"},
      {0.999999995, "0.0000000E+00", "1.0000000E+00"},
      // Signs: none on zero digits, right before the numeric part.
      {-0.0, "0.0000000E+00", "0.0000000E+00"},
      {-0.000001, "####0.#####", "0."},
      {-7, "    000) ", "    -007) "},
      // Exponents: "E-" signs only negatives; digits grow as needed.
      {-1.2345678E-100, "0.0000000E+00", "-1.2345678E-100"},
      {1.5E+05, "0.0E-00", "1.5E05"},
      {1.5E-05, "0.0E-00", "1.5E-05"},
      {12345, "0.00E+0", "1.23E+4"},
      {0.55, "0.##E+00", "5.5E-01"},
      // Digits beyond the placeholders, optional zeros, literals.
      {1E+20, "##0", "100000000000000000000"},
      {0.5, "#.##", ".5"},
      {0.001234, "0.00##", "0.0012"},
      {42, "Value: 0.0 units", "Value: 42.0 units"},
      {6, "E+ 0", "E+ 6"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatNumber(c.value, c.pattern), c.text) << c.value << " \"" << c.pattern << "\"";
  EXPECT_EQ(FormatNumber(std::nan(""), "[0.00]"), "[NaN]");
}

TEST(RightJustify, PadsOnTheLeftAndKeepsTheLeftmostCharacters) {
  EXPECT_EQ(RightJustify("12.5", 6), "  12.5");
  EXPECT_EQ(RightJustify("123456789", 6), "123456");
  EXPECT_EQ(RightJustify("abc", 4.6), "  abc");
  EXPECT_EQ(RightJustify("abc", -3), "");
}

TEST(GeneralNumber, IsTheShortestTextThatReadsBack) {
  EXPECT_EQ(GeneralNumber(0.26), "0.26");
  EXPECT_EQ(GeneralNumber(-0.0), "0");
  EXPECT_EQ(GeneralNumber(12), "12");
  EXPECT_EQ(GeneralNumber(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(GeneralNumber(1E-4), "0.0001");
  EXPECT_EQ(GeneralNumber(1E-5), "1E-05");
  EXPECT_EQ(GeneralNumber(123456789012345.0), "123456789012345");
  EXPECT_EQ(GeneralNumber(-2.5E+20), "-2.5E+20");
}

TEST(LenientNumber, TakesTheLeadingNumberAndReadsNothingAsZero) {
  EXPECT_EQ(LenientNumber(" 1 234 "), 1234);
  EXPECT_EQ(LenientNumber("-3.5abc"), -3.5);
  EXPECT_EQ(LenientNumber("2.5D-01"), 0.25);
  EXPECT_EQ(LenientNumber("7E"), 7);
  EXPECT_EQ(LenientNumber("abc"), 0);
  EXPECT_TRUE(std::isfinite(LenientNumber("1E999")));
}

TEST(StrictFields, AcceptOnlyWholeNumbersOfTheDeclaredKindAndRange) {
  long long i = 99;
  EXPECT_TRUE(StrictInteger(" -32768 ", -32768, 32767, i));
  EXPECT_EQ(i, -32768);
  for (const char* bad : {"70000", "12.0", "", "-", "1 2", "99999999999999999999"})
    EXPECT_FALSE(StrictInteger(bad, -32768, 32767, i)) << bad;
  EXPECT_EQ(i, -32768);

  double x = 0;
  EXPECT_TRUE(StrictReal(" -2.5e-3", x));
  EXPECT_EQ(x, -0.0025);
  EXPECT_TRUE(StrictReal("1E-400", x));
  EXPECT_EQ(x, 0);
  for (const char* bad : {"", "1.5E", "nan", "inf", "0x10", "1,5", "1E999", "- 1"})
    EXPECT_FALSE(StrictReal(bad, x)) << bad;
  EXPECT_EQ(x, 0);
}

}  // namespace
}  // namespace estimetrix
