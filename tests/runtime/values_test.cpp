// Decimal arithmetic is exact; dates, times and numbers have one fixed text form.
#include <gtest/gtest.h>

#include "api32/runtime/values.hpp"

using api32::decimal;

TEST(Decimal, ParsesAndPrintsPlainForm) {
  struct row {
    const char* in;
    const char* out;
  } rows[] = {{"0", "0"},         {"2.5", "2.5"},       {"-2", "-2"},       {"1.0100", "1.01"},
              {"4294967295", "4294967295"}, {"1e3", "1000"}, {" 0.25 ", "0.25"}, {"-0.001", "-0.001"},
              {"123456789012345678", "123456789012345678"}};
  for (const auto& r : rows) {
    auto d = decimal::parse(r.in);
    ASSERT_TRUE(d) << r.in;
    EXPECT_EQ(d->to_string(), r.out) << r.in;
  }
  for (const char* bad : {"", "abc", "1.2.3", "--1", "1e", "12x"}) EXPECT_FALSE(decimal::parse(bad)) << bad;
}

TEST(Decimal, ArithmeticIsExact) {
  auto d = [](const char* s) { return *decimal::parse(s); };
  EXPECT_EQ((d("1000") * d("1.01") + d("12")).to_string(), "1022");
  EXPECT_EQ((d("0.1") + d("0.2")).to_string(), "0.3");
  EXPECT_EQ((d("2.5") * d("1000")).round(), 2500);
  EXPECT_EQ(d("0.5").round(), 1);  // half away from zero
  EXPECT_EQ(d("-0.5").round(), -1);
  EXPECT_EQ(d("0.49").round(), 0);
  EXPECT_EQ(d("2.9").truncate(), 2);
  EXPECT_EQ((d("1") / d("4")).to_string(), "0.25");
  EXPECT_EQ((d("1") / d("3")).to_string(), "0.333333333333333333");
  EXPECT_FALSE((d("1") / d("0")).valid());
  EXPECT_TRUE(d("-1") < d("0"));
  EXPECT_TRUE(d("4294967295") == decimal(4294967295LL));
  EXPECT_FALSE((decimal(INT64_MAX) * decimal(10)).valid());
}

TEST(Decimal, FromDoubleIsShortestRoundTrip) {
  EXPECT_EQ(decimal::from_double(0.25).to_string(), "0.25");
  EXPECT_EQ(decimal::from_double(0.0).to_string(), "0");
  EXPECT_EQ(decimal::from_double(0.1).to_string(), "0.1");
  EXPECT_EQ(decimal::from_double(250.0 / 1000.0).to_string(), "0.25");
  EXPECT_EQ(decimal::from_double(1.0 / 3.0).to_string(), "0.3333333333333333");
  EXPECT_FALSE(decimal::from_double(1.0 / 0.0).valid());
}

TEST(Values, DateTimeTextAndValidity) {
  EXPECT_EQ((api32::datetime{{2010, 5, 21}, {13, 45, 30, 0}}.to_string()), "2010-05-21 13:45:30");
  EXPECT_EQ((api32::date{1999, 12, 31}.to_string()), "1999-12-31");
  EXPECT_EQ((api32::time{9, 5, 7, 42000}.to_string()), "09:05:07.042000");
  EXPECT_TRUE((api32::date{2000, 2, 29}.valid()));
  EXPECT_FALSE((api32::date{1900, 2, 29}.valid()));
  EXPECT_FALSE((api32::date{2010, 13, 1}.valid()));
  EXPECT_FALSE((api32::time{24, 0, 0, 0}.valid()));
  EXPECT_EQ(api32::to_text(0.25), "0.25");
  EXPECT_EQ(api32::to_text(std::int64_t{-7}), "-7");
}
