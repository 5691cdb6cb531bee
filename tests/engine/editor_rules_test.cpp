#include "engine/state/editor_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace estimetrix {
namespace {

TEST(EditorRules, NumbersAreReadWhateverTheirNotationButNothingElse) {
  EXPECT_EQ(ParseNumber(" 3.5 "), 3.5);
  EXPECT_EQ(ParseNumber("-2E+03"), -2000.0);
  EXPECT_EQ(ParseNumber("+4"), 4.0);
  EXPECT_EQ(ParseNumber(".5"), 0.5);
  for (const char* bad : {"", "   ", "abc", "1,5", "2x", "+-3", "nan", "inf", "1e999", "--1"})
    EXPECT_FALSE(ParseNumber(bad).has_value()) << bad;
}

TEST(EditorRules, StepFollowsTheValueAndAlwaysFreesTheParameter) {
  EXPECT_DOUBLE_EQ(ProportionalStep(-20, 0.1), 2.0);
  EXPECT_DOUBLE_EQ(ProportionalStep(5, -0.2), 1.0);
  EXPECT_DOUBLE_EQ(ProportionalStep(0, 0.1), 0.1);
  EXPECT_DOUBLE_EQ(ProportionalStep(0, -0.3), 0.3);
  EXPECT_DOUBLE_EQ(EffectiveProportion(0), 0.1);
  EXPECT_DOUBLE_EQ(EffectiveProportion(0.25), 0.25);
}

TEST(EditorRules, EntriesWithinOneTenBillionthCountAsUnchanged) {
  EXPECT_TRUE(IsUnchanged(1.0 + 5E-11, 1.0));
  EXPECT_TRUE(IsUnchanged(-7.0, -7.0));
  EXPECT_FALSE(IsUnchanged(1.0 + 2E-10, 1.0));
  EXPECT_FALSE(IsUnchanged(0.0, 1E-9));
}

TEST(EditorRules, FuseCodesAreOneOrTwoLettersOrUnfused) {
  EXPECT_EQ(AcceptFuseCode("ab", FuseEntry::Sequential), "AB");
  EXPECT_EQ(AcceptFuseCode(" c ", FuseEntry::Sequential), "C");
  EXPECT_EQ(AcceptFuseCode("~~", FuseEntry::Sequential), "~~");
  for (const char* bad : {"1A", "A1", "ABC", "~x", "~", "", "A~", "\xc3\xa9"}) {
    EXPECT_FALSE(AcceptFuseCode(bad, FuseEntry::Sequential).has_value()) << bad;
  }
  // In a grid cell a lone tilde is short for unfused; nothing else changes.
  EXPECT_EQ(AcceptFuseCode("~", FuseEntry::InCell), "~~");
  EXPECT_EQ(AcceptFuseCode(" ~ ", FuseEntry::InCell), "~~");
  EXPECT_FALSE(AcceptFuseCode("~x", FuseEntry::InCell).has_value());
  EXPECT_FALSE(AcceptFuseCode("A1", FuseEntry::InCell).has_value());
}

TEST(EditorRules, ToleranceKeepsItsTypeInTheSignAndNeverFallsBelowTheFloor) {
  EXPECT_DOUBLE_EQ(ToleranceFromEntry(5E-07, true), -1E-06);
  EXPECT_DOUBLE_EQ(ToleranceFromEntry(5E-07, false), 1E-06);
  EXPECT_DOUBLE_EQ(ToleranceFromEntry(-3E-04, false), 3E-04);
  EXPECT_DOUBLE_EQ(ToleranceFromEntry(-3E-04, true), -3E-04);
  EXPECT_EQ(ToleranceFromEntry(0, true), 0.0);
  EXPECT_FALSE(std::signbit(ToleranceFromEntry(-0.0, true)));
}

TEST(EditorRules, IntegerFieldsTakeNumbersFromZeroToTheirLimitRounded) {
  EXPECT_EQ(CheckIntegerField("-5", kMaxLongField).verdict, FieldVerdict::Negative);
  IntegerFieldCheck zero = CheckIntegerField("0", kMaxLongField);
  EXPECT_EQ(zero.verdict, FieldVerdict::Store);
  EXPECT_EQ(zero.value, 0);
  IntegerFieldCheck thousand = CheckIntegerField(" 1e3 ", kMaxShortField);
  EXPECT_EQ(thousand.verdict, FieldVerdict::Store);
  EXPECT_EQ(thousand.value, 1000);
  EXPECT_EQ(CheckIntegerField("abc", kMaxLongField).verdict, FieldVerdict::Restore);
  // A fraction is stored rounded, halves away from zero.
  for (auto [text, stored] : {std::pair{"12.7", 13}, {"12.2", 12}, {"2.5", 3}, {"0.4", 0}}) {
    IntegerFieldCheck check = CheckIntegerField(text, kMaxShortField);
    EXPECT_EQ(check.verdict, FieldVerdict::Store) << text;
    EXPECT_EQ(check.value, stored) << text;
  }
  EXPECT_EQ(CheckIntegerField("-0.4", kMaxShortField).verdict, FieldVerdict::Negative);
  EXPECT_EQ(CheckIntegerField("32767", kMaxShortField).value, 32767);
  EXPECT_EQ(CheckIntegerField("32767.4", kMaxShortField).value, 32767);
  EXPECT_EQ(CheckIntegerField("32767.5", kMaxShortField).verdict, FieldVerdict::TooLarge);
  EXPECT_EQ(CheckIntegerField("40000", kMaxShortField).verdict, FieldVerdict::TooLarge);
  EXPECT_EQ(CheckIntegerField("3000000000", kMaxLongField).verdict, FieldVerdict::TooLarge);
}

TEST(EditorRules, FractionFieldRefusesNegativesAndNonNumbers) {
  EXPECT_EQ(CheckFractionField("-0.1").verdict, FieldVerdict::Negative);
  EXPECT_EQ(CheckFractionField("x").verdict, FieldVerdict::Restore);
  RealFieldCheck zero = CheckFractionField("-0");
  EXPECT_EQ(zero.verdict, FieldVerdict::Store);
  EXPECT_FALSE(std::signbit(zero.value));
  EXPECT_DOUBLE_EQ(CheckFractionField("0.25").value, 0.25);
}

TEST(EditorRules, LogFileGetsItsExtensionOnce) {
  EXPECT_EQ(LogFileName("/tmp/run"), "/tmp/run.exl");
  EXPECT_EQ(LogFileName("/tmp/run.exl"), "/tmp/run.exl");
  EXPECT_EQ(LogFileName("RUN.EXL"), "RUN.EXL");
  EXPECT_EQ(LogFileName("run.exl.txt"), "run.exl.txt.exl");
}

}  // namespace
}  // namespace estimetrix
