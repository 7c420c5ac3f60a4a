#include "base/option.h"
#include "uci/option_list.h"

#include <gtest/gtest.h>

#include <string>

#include "base/ybwc_manager.h"

namespace {

class OptionTable : public ::testing::Test {
 protected:
  void SetUp() override { option_reset_all(); }
  void TearDown() override { option_reset_all(); }
};

TEST_F(OptionTable, LookupIgnoresCaseButNeedsTheWholeName) {
  ASSERT_NE(option_lookup("hash"), nullptr);
  EXPECT_STREQ(option_lookup("HASH")->name, "Hash");
  EXPECT_STREQ(option_lookup("log to stdout")->name, "Log To Stdout");
  EXPECT_EQ(option_lookup("Has"), nullptr);
  EXPECT_EQ(option_lookup("Hash "), nullptr);
  EXPECT_FALSE(option_set_value("No Such Option", "1"));
}

TEST_F(OptionTable, ValuesStartAtDefaultsAndAreReplacedByCopies) {
  EXPECT_STREQ(option_get("Hash"), "16");
  EXPECT_STREQ(option_get("BookFile"), "performance.bin");
  std::string text = "my book.bin";
  ASSERT_TRUE(option_set_value("bookfile", text.c_str()));
  text[0] = 'X';
  EXPECT_STREQ(option_get("BookFile"), "my book.bin");
  option_reset_all();
  EXPECT_STREQ(option_get("BookFile"), "performance.bin");
}

TEST_F(OptionTable, BooleanRuleAcceptsTrueYesAndOneOnly) {
  for (const char* yes : {"true", "TRUE", "Yes", "yes", "1"}) EXPECT_TRUE(option_value_to_bool(yes)) << yes;
  for (const char* no : {"false", "on", "0", "", "2", "true "}) EXPECT_FALSE(option_value_to_bool(no)) << no;
}

TEST_F(OptionTable, NumericRuleReadsDecimalsAndNonNumbersAsZero) {
  EXPECT_EQ(option_value_to_int("64"), 64);
  EXPECT_EQ(option_value_to_int("-150"), -150);
  EXPECT_EQ(option_value_to_int("abc"), 0);
  EXPECT_EQ(option_value_to_int("12abc"), 12);
  EXPECT_EQ(option_value_to_int("99999999999999"), 2147483647);  // saturates, no overflow
}

TEST_F(OptionTable, OutOfRangeValuesAreStoredButClampedWhereUsed) {
  option_set_value("MultiPV", "11");
  EXPECT_EQ(option_get_int("MultiPV"), 11);
  EXPECT_EQ(option_get_int_clamped("MultiPV"), 10);
  option_set_value("MultiPV", "0");
  EXPECT_EQ(option_get_int_clamped("MultiPV"), 1);
  option_set_value("Hash", "-5");
  EXPECT_EQ(option_get_int_clamped("Hash"), 4);
  option_set_value("Hash", "99999999999");
  EXPECT_EQ(option_get_int_clamped("Hash"), 1024);
  // The table size: limited to the range, but below 4 passed on for the
  // table's own default.
  option_set_value("Hash", "2");
  EXPECT_EQ(option_get_hash_megabytes(), 2);
  option_set_value("Hash", "64");
  EXPECT_EQ(option_get_hash_megabytes(), 64);
  option_set_value("Hash", "5000");
  EXPECT_EQ(option_get_hash_megabytes(), 1024);
  option_set_value("Bitbases Cache Size", "4096");
  EXPECT_EQ(option_get_int_clamped("Bitbases Cache Size"), 1024);
  option_set_value("Futility Margin", "1000");  // out of range but representable: used as given
  EXPECT_EQ(option_get_int("Futility Margin"), 1000);
}

TEST_F(OptionTable, PercentagesBecomeEightDotEightWeights) {
  EXPECT_EQ(percent_to_weight(100), 256);
  EXPECT_EQ(percent_to_weight(50), 128);
  EXPECT_EQ(percent_to_weight(400), 1024);
  EXPECT_EQ(percent_to_weight(0), 0);
  EXPECT_EQ(percent_to_weight(1), 3);
  option_set_value("Material", "2000000000");
  EXPECT_GT(option_get_weight("Material"), 0);  // no overflow into a negative weight
}

TEST_F(OptionTable, ListingShowsDeclaredOptionsWithCurrentValues) {
  YBWCManager_GetInstance()->bRootMaster = 1;
  option_set_value("Hash", "64");
  ::testing::internal::CaptureStdout();
  option_print_all();
  const std::string out = ::testing::internal::GetCapturedStdout();
  YBWCManager_GetInstance()->bRootMaster = 0;

  int lines = 0;
  for (char c : out) lines += c == '\n';
  EXPECT_EQ(lines, 55);
  EXPECT_NE(out.find("option name Hash type spin default 64 min 4 max 1024\n"), std::string::npos);
  EXPECT_NE(out.find("option name Ponder type check default false\n"), std::string::npos);
  EXPECT_NE(out.find("option name NullMove Pruning type combo default Always var Always var Fail High var Never\n"),
            std::string::npos);
  EXPECT_NE(out.find("option name BookFile type string default performance.bin\n"), std::string::npos);
  EXPECT_EQ(out.find("Log To Stdout"), std::string::npos);  // hidden
  EXPECT_EQ(out.find("option name Hash"), 0u);  // table order: Hash first
}

TEST(OptionGet, UnknownNameEndsTheProcess) {
  EXPECT_EXIT(option_get("Bogus"), ::testing::ExitedWithCode(1), "option_get\\(\\): unknown option \"Bogus\"");
}

}  // namespace
