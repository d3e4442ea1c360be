#include "plugin/plugin_form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_sockets.h"
#include "fake_timers.h"
#include "fake_window_system.h"
#include "connection/connection.h"

namespace tcp {
namespace {

using fakes::FakeTimers;
using fakes::FakeWindowSystem;
using Calls = std::vector<std::string>;

constexpr WindowHandle kHost = 0x500;
constexpr WindowHandle kOtherHost = 0x600;
// The handles the fake hands out, in order: PluginApplet, then the form.
constexpr WindowHandle kApplet = 0x100;
constexpr WindowHandle kForm = 0x101;

const Calls kBuildCalls = {
    "CreateFormWindow(\"Form1\", owner 0x100, style 0x88000000, ex 0x0, client 104x47, font \"MS Sans Serif\")"
    " -> 0x101",
    "RemoveCloseCommand(0x101)",
    "SendMessage(0x101, 0x116, 0, 0)",
    "SetStyle(0x101, 0x46000000)",
    "SetExtendedStyle(0x101, 0x10000)",
    "ShowWindow(0x101, SW_HIDE)",
    "StartOnce(20) -> 1",
};

// The plug-in's state on recording fakes.
struct Bench {
  Bench() {
    state.platform.windows = &windows;
    state.platform.timers = &timers;
    state.platform.sockets = &sockets;
  }

  FormWindowEvents& formEvents() {
    FormWindowEvents* events = windows.eventsOf(kForm);
    EXPECT_NE(events, nullptr);
    return *events;
  }

  // Builds the form for kHost and forgets the calls that took.
  void buildForm() {
    AttachToHostWindow(state, kHost);
    windows.calls.clear();
  }

  // Plays the placement: the timer's tick, then the posted message.
  void place() {
    EXPECT_TRUE(timers.tick(1));
    formEvents().placementDue();
  }

  FakeWindowSystem windows;
  FakeTimers timers{windows.calls};
  fakes::FakeSockets sockets;
  Session state;
};

class PluginFormTest : public ::testing::Test, protected Bench {};

TEST(PluginFormBuild, FirstSetParentWindowBuildsTheFormInOrder) {
  struct Case {
    WindowHandle hostParent;
    const char* appletCaption;
  };
  for (const Case& c : {Case{0, "pluginreal"}, Case{0x400, "pluginedit"}}) {
    Bench bench;
    bench.windows.parents[kHost] = c.hostParent;

    AttachToHostWindow(bench.state, kHost);

    Calls expected = {"GetParent(0x500)", std::string("CreateApplicationWindow(\"") + c.appletCaption + "\") -> 0x100",
                      "ShowWindow(0x100, SW_HIDE)"};
    expected.insert(expected.end(), kBuildCalls.begin(), kBuildCalls.end());
    EXPECT_EQ(bench.windows.calls, expected) << c.appletCaption;
    EXPECT_EQ(bench.state.exchange.HostWindow, kHost);
    ASSERT_NE(bench.state.form, nullptr);
    EXPECT_EQ(FormOf(bench.state)->window(), kForm);
    ASSERT_NE(bench.state.client(), nullptr);
    EXPECT_EQ(bench.state.client()->host(), "127.0.0.1");
    EXPECT_EQ(bench.state.client()->port(), 1234);
  }
}

TEST_F(PluginFormTest, ClientComesBeforeWmInitMenuAndHeaderLinesLastAndEmpty) {
  state.response.ReceiveBuffer = "arrived before the form";
  bool clientAtInitMenu = false;
  bool linesAtInitMenu = true;
  windows.onSendMessage = [&] {
    clientAtInitMenu = state.client() != nullptr;
    linesAtInitMenu = state.headerLinesKept;
  };
  AttachToHostWindow(state, kHost);
  EXPECT_TRUE(clientAtInitMenu);
  EXPECT_FALSE(linesAtInitMenu);
  EXPECT_TRUE(state.headerLinesKept);
  EXPECT_TRUE(state.response.HeaderLines.empty());
  EXPECT_EQ(state.response.ReceiveBuffer.view(), "arrived before the form");
}

TEST_F(PluginFormTest, FirstTickAsksOnceForThePlacementThatMakesTheFormAVisibleChild) {
  buildForm();
  ASSERT_TRUE(timers.tick(1));
  EXPECT_FALSE(timers.tick(1)) << "the timer ticks once";
  EXPECT_EQ(windows.calls, (Calls{"PostMessage(0x101, 0x8001, 0, 0)"}));
  windows.calls.clear();

  formEvents().placementDue();
  EXPECT_EQ(windows.calls, (Calls{"StopTimer(1)", "SetParent(0x101, 0x500)", "ShowWindow(0x101, SW_SHOW)"}));
  EXPECT_FALSE(timers.running(1));
}

TEST_F(PluginFormTest, APlacementMessageTheTickDidNotAskForDoesNothing) {
  buildForm();
  formEvents().placementDue();
  EXPECT_TRUE(windows.calls.empty()) << "before the tick";
  place();
  formEvents().formClosing();
  windows.calls.clear();
  formEvents().placementDue();
  EXPECT_TRUE(windows.calls.empty()) << "a form hidden by WM_CLOSE stays hidden";
}

TEST_F(PluginFormTest, LaterSetParentWindowOnlyChangesWhereTheFormGoesAndWhoIsClicked) {
  buildForm();
  SessionForm* const form = state.form.get();
  AttachToHostWindow(state, kOtherHost);
  EXPECT_TRUE(windows.calls.empty());
  EXPECT_EQ(state.form.get(), form);
  EXPECT_EQ(state.exchange.HostWindow, kOtherHost);

  // The placement reads HostWindow when it happens.
  place();
  EXPECT_EQ(windows.calls.at(2), "SetParent(0x101, 0x600)");

  windows.calls.clear();
  AttachToHostWindow(state, kHost);
  EXPECT_TRUE(windows.calls.empty()) << "a placed form stays where it is";
  EXPECT_EQ(state.exchange.HostWindow, kHost);
}

TEST_F(PluginFormTest, DrawRecordsThePositionAndMovesTheFormWhenThereIsOne) {
  PlaceForm(state, 7, 8, 100, 50);
  EXPECT_TRUE(windows.calls.empty());
  EXPECT_EQ(state.exchange.PluginPosition.x, 7);
  EXPECT_EQ(state.exchange.PluginPosition.y, 8);

  buildForm();
  PlaceForm(state, 10, 20, 300, 40);
  place();
  PlaceForm(state, -5, 30, 0, 1);
  EXPECT_EQ(windows.calls, (Calls{"SetBounds(0x101, 10, 20, 300, 40)", "PostMessage(0x101, 0x8001, 0, 0)",
                                  "StopTimer(1)", "SetParent(0x101, 0x500)", "ShowWindow(0x101, SW_SHOW)",
                                  "SetBounds(0x101, -5, 30, 0, 1)"}));
  EXPECT_EQ(state.exchange.PluginPosition.x, -5);
  EXPECT_EQ(state.exchange.PluginPosition.y, 30);
}

TEST_F(PluginFormTest, CloseHidesTheFormAndKeepsEverythingElse) {
  buildForm();
  place();
  windows.calls.clear();
  formEvents().formClosing();
  EXPECT_EQ(windows.calls, (Calls{"ShowWindow(0x101, SW_HIDE)"}));
  EXPECT_TRUE(state.headerLinesKept);
  EXPECT_NE(state.client(), nullptr);
  ASSERT_NE(state.form, nullptr);

  windows.calls.clear();
  PlaceForm(state, 1, 2, 3, 4);
  EXPECT_EQ(windows.calls, (Calls{"SetBounds(0x101, 1, 2, 3, 4)"}));
}

TEST(PluginFormDestroy, DestroyLetsGoOfAppletLinesTimerAndClientAndLeavesAnInertRecord) {
  struct Case {
    bool placed;
    Calls expected;
  };
  const Case cases[] = {
      {true, {"DestroyWindow(0x100)"}},
      // A form destroyed before its placement also stops the timer.
      {false, {"DestroyWindow(0x100)", "StopTimer(1)"}},
  };
  for (const Case& c : cases) {
    Bench bench;
    bench.buildForm();
    if (c.placed) bench.place();
    bench.windows.calls.clear();
    bench.windows.posted.clear();

    bench.formEvents().formDestroyed();

    EXPECT_EQ(bench.windows.calls, c.expected) << "placed " << c.placed;
    ASSERT_NE(bench.state.form, nullptr) << "released later, outside the window's messages";
    EXPECT_TRUE(FormOf(bench.state)->gone());
    EXPECT_EQ(bench.state.client(), nullptr);
    EXPECT_FALSE(bench.state.headerLinesKept);
    EXPECT_FALSE(bench.timers.running(1));
    EXPECT_TRUE(bench.windows.posted.empty()) << "the host hears nothing of it";
  }
}

TEST_F(PluginFormTest, AfterTheFormIsGoneDrawOnlyRecordsAndSetParentWindowBuildsAnew) {
  buildForm();
  place();
  formEvents().formDestroyed();
  windows.calls.clear();

  PlaceForm(state, 3, 4, 5, 6);
  EXPECT_TRUE(windows.calls.empty());
  EXPECT_EQ(state.exchange.PluginPosition.y, 4);

  const SessionForm* const gone = state.form.get();
  AttachToHostWindow(state, kOtherHost);
  ASSERT_NE(state.form, nullptr);
  EXPECT_NE(state.form.get(), gone);
  EXPECT_FALSE(FormOf(state)->gone());
  EXPECT_EQ(windows.calls.at(1), "CreateApplicationWindow(\"pluginreal\") -> 0x102");
  EXPECT_TRUE(state.headerLinesKept);
}

TEST_F(PluginFormTest, ConnectionCommandsAfterTheFormIsGoneTouchNothingReleased) {
  buildForm();
  place();
  Connect(state);
  sockets.deliver(SocketEvent::Connect);
  SendRequest(state, "GET / HTTP/1.1\r\n\r\n");
  sockets.incoming = "HTTP/1.1 200 OK\r\n";
  sockets.deliver(SocketEvent::Read);
  windows.posted.clear();

  formEvents().formDestroyed();
  EXPECT_TRUE(windows.posted.empty()) << "the connection closed without events";
  EXPECT_EQ(sockets.cleanups, sockets.startups);
  const std::size_t socketCalls = sockets.calls.size();

  Connect(state);
  SetHostAddress(state, "10.0.0.1");
  SetPort(state, 80);
  SendRequest(state, "GET / HTTP/1.1\r\n\r\n");
  Disconnect(state);
  EXPECT_EQ(StatusText(state), std::nullopt);
  EXPECT_TRUE(windows.posted.empty());
  EXPECT_EQ(sockets.calls.size(), socketCalls);
  EXPECT_EQ(state.response.ReceiveBuffer.view(), "HTTP/1.1 200 OK\r\n") << "the received bytes stay";
}

TEST(PluginFormRelease, ReleasingALiveFormStopsTheTimerAndDestroysItsWindowsWithoutReports) {
  struct Case {
    bool placed;
    Calls expected;
  };
  const Case cases[] = {
      {false, {"StopTimer(1)", "DestroyFormWindow(0x101)", "DestroyWindow(0x100)"}},
      {true, {"DestroyFormWindow(0x101)", "DestroyWindow(0x100)"}},
  };
  for (const Case& c : cases) {
    FakeWindowSystem windows;
    FakeTimers timers{windows.calls};
    fakes::FakeSockets sockets;
    {
      Session state;
      state.platform.windows = &windows;
      state.platform.timers = &timers;
      state.platform.sockets = &sockets;
      AttachToHostWindow(state, kHost);
      if (c.placed) {
        ASSERT_TRUE(timers.tick(1));
        windows.eventsOf(kForm)->placementDue();
      }
      windows.calls.clear();
      windows.posted.clear();
    }  // the library's state goes, as at unload
    EXPECT_EQ(windows.calls, c.expected) << "placed " << c.placed;
    EXPECT_EQ(windows.eventsOf(kForm), nullptr);
    EXPECT_TRUE(windows.posted.empty());
    EXPECT_EQ(sockets.cleanups, sockets.startups) << "the client stopped the socket layer it started";
  }
}

}  // namespace
}  // namespace tcp
