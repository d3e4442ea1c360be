#include "session/host_notification.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fake_window_system.h"

namespace tcp {
namespace {

using fakes::FakeWindowSystem;
using Posted = FakeWindowSystem::PostedMessage;

TEST(NotificationPoint, AddsYTimesSixtyFiveThousandFiveHundredThirtySixToXWithWrap) {
  struct Case {
    std::int32_t x, y;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {10, 20, 0x0014000Au},   {-1, 1, 0x0000FFFFu},  {0, 0, 0u},
      {-1, 0, 0xFFFFFFFFu},    {0, -1, 0xFFFF0000u},  {70000, 0, 70000u},
      {0x7FFFFFFF, 1, 0x8000FFFFu}, {0, 0x10000, 0u},
  };
  for (const Case& c : cases)
    EXPECT_EQ(static_cast<std::uint32_t>(NotificationPoint(c.x, c.y)), c.expected) << c.x << "," << c.y;
}

TEST(NotificationPoint, IsTheSignExtendedThirtyTwoBitValue) {
  EXPECT_EQ(NotificationPoint(0, -1), static_cast<std::intptr_t>(static_cast<std::int32_t>(0xFFFF0000u)));
}

class HostNotificationTest : public ::testing::Test {
 protected:
  HostNotificationTest() { state.platform.windows = &windows; }
  FakeWindowSystem windows;
  Session state;
};

TEST_F(HostNotificationTest, PostsButtonDownThenUpAtThePluginPosition) {
  state.exchange.HostWindow = 0x1234;
  state.exchange.PluginPosition = {10, 20};
  HostNotification(state);
  const std::vector<Posted> expected = {{0x1234, 0x0201, 1, 0x0014000A}, {0x1234, 0x0202, 0, 0x0014000A}};
  EXPECT_EQ(windows.posted, expected);
}

TEST_F(HostNotificationTest, PostsToTheNullWindowBeforeTheHostGaveOne) {
  HostNotification(state);
  ASSERT_EQ(windows.posted.size(), 2u);
  EXPECT_EQ(windows.posted[0].window, 0u);
  EXPECT_EQ(windows.posted[1].window, 0u);
}

TEST_F(HostNotificationTest, ReportEventWritesTheSlotsBeforeClicking) {
  state.exchange.takeText("request");
  ReportEvent(state, kEventHostNotFound, "no ip");
  EXPECT_EQ(state.exchange.ExchangeValue, 6);
  EXPECT_EQ(state.exchange.ExchangeText.text(), "no ip");
  EXPECT_EQ(state.exchange.FileHistory[0], "request");
  EXPECT_EQ(windows.posted.size(), 2u);
}

}  // namespace
}  // namespace tcp
