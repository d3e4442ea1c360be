// Queued events as a host sees them: one event per click, in order, none lost
// and none repeated, with unread progress coalesced and the queue bounded.
#include "session/event_queue.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "fake_window_system.h"
#include "session/host_notification.h"

namespace tcp {
namespace {

using Event = std::pair<std::int32_t, std::string>;

// A host whose message loop runs later: each posted button-up waits until the
// host handles it, and the handler reads one event from the queue.
class LaterHost : public fakes::FakeWindowSystem {
 public:
  explicit LaterHost(Session& session) : session_(session) {}
  void postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
    if (message == kLeftButtonUp) ++pendingClicks;
    fakes::FakeWindowSystem::postMessage(window, message, wParam, lParam);
  }
  // Handles one click as a host's click handler does: nextevent first.
  Event handleClick() {
    --pendingClicks;
    std::optional<QueuedEvent> event = session_.conversation.events.pop();
    Event read = event ? Event{event->code, event->text} : Event{0, ""};
    if (onClick) onClick();
    return read;
  }
  int pendingClicks = 0;
  std::function<void()> onClick;

 private:
  Session& session_;
};

class QueuedEvents : public ::testing::Test {
 protected:
  QueuedEvents() : host(session) {
    session.platform.windows = &host;
    session.conversation.queued = true;
  }
  std::vector<Event> handleEveryClick() {
    std::vector<Event> read;
    while (host.pendingClicks > 0) read.push_back(host.handleClick());
    return read;
  }
  LaterHost host;
  Session session;
};

TEST_F(QueuedEvents, EachClickReadsOneEventInOrderAndUnreadProgressCoalesces) {
  ReportEvent(session, kEventHostResolved, "127.0.0.1");
  ReportEvent(session, kEventConnected, "up");
  ReportProgress(session, "10");
  ReportProgress(session, "60");
  ReportProgress(session, "100");
  ReportEvent(session, kEventResponseComplete, "200");
  ReportProgress(session, "");
  ReportEvent(session, kEventDisconnected, "down");
  EXPECT_EQ(session.exchange.ExchangeText.text(), "") << "queued events leave the slots alone";
  const std::vector<Event> expected = {
      {5, "127.0.0.1"}, {1, "up"}, {4, "100"}, {7, "200"}, {4, ""}, {2, "down"}};
  EXPECT_EQ(handleEveryClick(), expected);
  EXPECT_EQ(host.handleClick(), (Event{0, ""})) << "a click the plug-in did not post finds the queue empty";
}

// A handler that reads its event while new ones arrive still reads each one
// once: progress read already is never replaced, it is followed.
TEST_F(QueuedEvents, EventsArrivingWhileTheHandlerRunsAreEachReadOnce) {
  std::vector<std::function<void()>> arrivals = {
      [&] { ReportProgress(session, "20"); }, [&] { ReportProgress(session, "40"); },
      [&] { ReportEvent(session, kEventResponseComplete, "200"); }, [&] { ReportProgress(session, "x"); },
      [&] { ReportProgress(session, "y"); }};
  std::size_t next = 0;
  host.onClick = [&] {
    if (next < arrivals.size()) arrivals[next++]();
  };
  ReportEvent(session, kEventConnected, "up");
  const std::vector<Event> expected = {{1, "up"}, {4, "20"}, {4, "40"}, {7, "200"}, {4, "x"}, {4, "y"}};
  EXPECT_EQ(handleEveryClick(), expected);
  EXPECT_EQ(session.conversation.events.size(), 0u);
}

TEST(EventQueue, DropsTheOldestPastItsBound) {
  EventQueue queue;
  for (std::size_t i = 0; i <= EventQueue::kMostEvents; ++i) EXPECT_TRUE(queue.push(1, std::to_string(i), false));
  EXPECT_EQ(queue.size(), EventQueue::kMostEvents);
  EXPECT_EQ(queue.pop()->text, "1");
}

TEST(EventQueue, ProgressCoalescesOnlyIntoUnreadProgressAtTheTail) {
  EventQueue queue;
  EXPECT_TRUE(queue.push(4, "1", true));
  EXPECT_FALSE(queue.push(4, "2", true));
  EXPECT_TRUE(queue.push(2, "closed", false));
  EXPECT_TRUE(queue.push(4, "3", true)) << "behind another event, progress is an event of its own";
  queue.pop();
  queue.pop();
  queue.pop();
  EXPECT_TRUE(queue.push(4, "4", true)) << "progress already read is not replaced";
}

TEST(ReportEvent, WritesTheSlotsUnlessQueued) {
  fakes::FakeWindowSystem windows;
  Session session;
  session.platform.windows = &windows;
  ReportEvent(session, kEventConnected, "up");
  EXPECT_EQ(session.exchange.ExchangeValue, 1);
  EXPECT_EQ(session.exchange.ExchangeText.text(), "up");
  EXPECT_EQ(session.conversation.events.size(), 0u);
  EXPECT_EQ(windows.posted.size(), 2u);
}

}  // namespace
}  // namespace tcp
