// uo_nv_process's launch settings: each setter's accepted and refused values, and the flag word.
#include <gtest/gtest.h>

#include "api32/process/uo_nv_process.hpp"

using api32::decimal;
using api32::uo_nv_process;

TEST(ProcessSettings, StartAtNormalPriorityNoLimitOurFolderNoWindowSettings) {
  uo_nv_process p;
  EXPECT_EQ(p.creationflags(), uo_nv_process::normal_priority_class);
  EXPECT_EQ(p.timeout(), uo_nv_process::infinite);
  EXPECT_EQ(p.directory(), std::nullopt);
  EXPECT_EQ(p.startupinfo().ul_flags, 0u);
  EXPECT_EQ(p.startupinfo().s_reserved, 0u);
  EXPECT_EQ(p.startupinfo().s_title, 0u);
  for (std::uint32_t bit : {1u, 2u, 4u}) EXPECT_FALSE(p.of_isenabled(bit));
}

TEST(ProcessSettings, PriorityTakesTheFourClassesOnly) {
  struct row {
    std::optional<std::uint32_t> value;
    std::int16_t result;
    std::uint32_t after;  // starting from idle
  } rows[] = {
      {32, 1, 32},   {64, 1, 64}, {128, 1, 128},     {256, 1, 256},
      {100, -1, 64}, {0, -1, 64}, {32 | 64, -1, 64}, {std::nullopt, -1, 64},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.value ? std::to_string(*r.value) : "null");
    uo_nv_process p;
    ASSERT_EQ(p.of_setpriority(uo_nv_process::idle_priority_class), 1);
    EXPECT_EQ(p.of_setpriority(r.value), r.result);
    EXPECT_EQ(p.creationflags(), r.after);
  }
}

TEST(ProcessSettings, PositionAndSizeSetTheirBitOnceAndZeroClearsItKeepingTheValues) {
  uo_nv_process p;
  EXPECT_EQ(p.of_setposition(10, 20), 1);
  EXPECT_EQ(p.of_setposition(10, 20), 1);
  EXPECT_EQ(p.startupinfo().ul_flags, 4u);
  EXPECT_EQ(p.of_setsize(640, 480), 1);
  EXPECT_EQ(p.of_setsize(800, 600), 1);
  EXPECT_EQ(p.startupinfo().ul_flags, 6u);
  EXPECT_EQ(p.startupinfo().ul_xsize, 800u);
  EXPECT_EQ(p.startupinfo().ul_ysize, 600u);

  EXPECT_EQ(p.of_setposition(0, 0), 1);
  EXPECT_EQ(p.of_setposition(0, 0), 1);  // clearing a clear bit changes nothing
  EXPECT_EQ(p.startupinfo().ul_flags, 2u);
  EXPECT_EQ(p.startupinfo().ul_x, 10u);
  EXPECT_EQ(p.startupinfo().ul_y, 20u);

  EXPECT_EQ(p.of_setposition(0, 5), 1);  // one zero is a position
  EXPECT_EQ(p.startupinfo().ul_flags, 6u);
  EXPECT_EQ(p.startupinfo().ul_y, 5u);

  EXPECT_EQ(p.of_setsize(std::nullopt, 1), -1);
  EXPECT_EQ(p.of_setposition(1, std::nullopt), -1);
  EXPECT_EQ(p.startupinfo().ul_flags, 6u);
  EXPECT_EQ(p.startupinfo().ul_xsize, 800u);
}

TEST(ProcessSettings, WindowStateIgnoresCaseAndAnUnknownWordStillSetsTheBit) {
  struct row {
    const char* text;
    std::int16_t result;
    std::uint16_t show;  // starting from minimize (6)
    std::uint32_t flags;
  } rows[] = {
      {"MAXIMIZE", 1, 3, 1}, {"normal", 1, 1, 1}, {"Minimize", 1, 6, 1}, {"hide", 1, 0, 1}, {"off", 1, 6, 0},
      {"OFF", 1, 6, 0},      {"large", -1, 6, 1}, {" normal", -1, 6, 1}, {"", -1, 6, 1},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    uo_nv_process p;
    ASSERT_EQ(p.of_setwindow("minimize"), 1);
    EXPECT_EQ(p.of_setwindow(r.text), r.result);
    EXPECT_EQ(p.startupinfo().ui_showwindow, r.show);
    EXPECT_EQ(p.startupinfo().ul_flags, r.flags);
  }
  uo_nv_process p;
  p.of_setsize(1, 1);
  EXPECT_EQ(p.of_setwindow("off"), 1);  // the bit was clear: nothing to take away
  EXPECT_EQ(p.startupinfo().ul_flags, 2u);
}

TEST(ProcessSettings, TimeoutInSecondsRoundsToMillisecondsAndKnowsNoLimit) {
  constexpr std::uint32_t unset = 1234;  // the limit before each row (1.234 s)
  struct row {
    const char* seconds;  // null: a null argument
    std::int16_t result;
    std::uint32_t milliseconds;
  } rows[] = {
      {"2.5", 1, 2500},
      {"0", 1, 0},
      {"0.0004", 1, 0},
      {"0.0005", 1, 1},
      {"1.2345", 1, 1235},
      {"4294967.294", 1, 4294967294u},
      {"4294967.2949", 1, uo_nv_process::infinite},  // rounds to 4294967295 ms
      {"4294967.295", 1, uo_nv_process::infinite},
      {"4294967295", 1, uo_nv_process::infinite},
      {"100000000000000", 1, uo_nv_process::infinite},
      {"-1", 1, uo_nv_process::infinite},  // -1 is `infinite` read as a signed number
      {"-0.5", 1, uo_nv_process::infinite},
      {"-1.0001", -1, unset},
      {"-2", -1, unset},
      {nullptr, -1, unset},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.seconds ? r.seconds : "null");
    uo_nv_process p;
    ASSERT_EQ(p.of_settimeout(decimal::parse("1.234")), 1);
    std::optional<decimal> value = r.seconds ? decimal::parse(r.seconds) : std::nullopt;
    ASSERT_TRUE(!r.seconds || value);
    EXPECT_EQ(p.of_settimeout(value), r.result);
    EXPECT_EQ(p.timeout(), r.milliseconds);
  }
  uo_nv_process p;
  EXPECT_EQ(p.of_settimeout(decimal::invalid()), -1);
  EXPECT_EQ(p.timeout(), uo_nv_process::infinite);
}

TEST(ProcessSettings, IsEnabledReadsSingleBitsAndAskedTogetherAllOfThem) {
  uo_nv_process p;
  p.of_setposition(1, 1);
  p.of_setwindow("normal");  // flags 5
  struct row {
    std::uint32_t feature;
    bool enabled;
  } rows[] = {{1, true},  {2, false}, {4, true},  {5, true},           {6, false},
              {7, false}, {0, false}, {8, false}, {0x80000000u, false}};
  for (const auto& r : rows) EXPECT_EQ(p.of_isenabled(r.feature), r.enabled) << r.feature;
}

TEST(ProcessSettings, CurrentDirectoryEmptyOrNullMeansOurs) {
  uo_nv_process p;
  EXPECT_EQ(p.of_setcurrentdirectory(std::string("C:\\Games")), 1);
  EXPECT_EQ(p.directory(), "C:\\Games");
  EXPECT_EQ(p.of_setcurrentdirectory(std::string()), 1);
  EXPECT_EQ(p.directory(), std::nullopt);
  p.of_setcurrentdirectory(std::string("x"));
  EXPECT_EQ(p.of_setcurrentdirectory(std::nullopt), 1);
  EXPECT_EQ(p.directory(), std::nullopt);
}

TEST(ProcessSettings, ProcessTableLayoutHasNameAndId) {
  const auto& layout = api32::dw_processes();
  EXPECT_EQ(layout.name, "dw_processes");
  ASSERT_EQ(layout.columns.size(), 2u);
  EXPECT_EQ(layout.columns[0].name, "name");
  EXPECT_EQ(layout.columns[0].header, "Name");
  EXPECT_EQ(layout.columns[1].name, "id");
  EXPECT_EQ(layout.columns[1].header, "Id");
}
