#include "session/exchange_area.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace tcp {
namespace {

using History = std::array<std::string, 5>;

TEST(ExchangeArea, StartsEmptyWithANonNullText) {
  ExchangeArea area;
  ASSERT_NE(area.textForHost(), nullptr);
  EXPECT_STREQ(area.textForHost(), "");
  EXPECT_EQ(area.ExchangeValue, 0);
  EXPECT_EQ(area.FileHistory, History{});
}

TEST(ExchangeArea, SetFileKeepsTheLastFiveTextsNewestFirst) {
  ExchangeArea area;
  for (const char* text : {"a", "b", "c", "d", "e", "f"}) area.takeText(text);
  EXPECT_EQ(area.FileHistory, (History{"f", "e", "d", "c", "b"}));
  EXPECT_EQ(area.ExchangeText.text(), "f");
}

TEST(ExchangeArea, NullTextIsEmptyAndStillShiftsTheHistory) {
  ExchangeArea area;
  area.takeText("a");
  area.takeText(nullptr);
  EXPECT_EQ(area.FileHistory, (History{"", "a", "", "", ""}));
  EXPECT_EQ(area.ExchangeText.text(), "");
}

TEST(ExchangeArea, SetFileLeavesTheValueAndACommandResultLeavesTheHistory) {
  ExchangeArea area;
  area.ExchangeValue = -5;
  area.takeText("marker");
  EXPECT_EQ(area.ExchangeValue, -5);
  area.ExchangeText = "a command's result";
  EXPECT_EQ(area.FileHistory[0], "marker");
  EXPECT_STREQ(area.textForHost(), "a command's result");
}

}  // namespace
}  // namespace tcp
