// Every command in every state the form goes through, and what the library
// leaves behind: no state may crash the host, and each command gives its
// documented result there.
#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "host_window.h"
#include "own_windows.h"
#include "plugin_library.h"
#include "scripted_server.h"
#include "shared_frame.h"

using tcphost::HostWindow;
using tcphost::PluginLibrary;
using tcphost::ScriptedServer;

namespace {

constexpr int kTimeoutMs = 3000;
constexpr UINT kHostsOwnMessage = WM_APP + 1;
const std::string kError = "\xce\xf8\xe8\xe1\xea\xe0";
const char* const kRegisteredClasses[] = {"TCPSocket", "TCPLookup", "TcpPluginForm", "TcpPluginApplication"};

HWND findForm() { return findOwnWindow("Form1"); }
bool placedIn(HWND form, HWND host) { return GetAncestor(form, GA_PARENT) == host && IsWindowVisible(form); }

// What one command does with the slots. Connection commands act only while
// the form lives (after the first SetParentWindow, before the host's window
// goes); in the other states they leave the slots as they were.
struct CommandCase {
  const char* name;
  std::vector<std::string> texts;  // given to SetFile in this order
  std::int32_t value;
  std::string text;  // the text slot afterwards (while the form lives)
  std::int32_t valueAfter;
  bool connection;
};

std::vector<CommandCase> commandCases(std::uint16_t closedPort) {
  const std::int32_t port = closedPort;
  return {
      {"GetType", {"t"}, 7, "t", 7, false},
      {"Settings", {"t"}, 7, "t", 7, false},
      {"recev", {"t"}, 7, "", 7, false},
      {"makeheader", {"t"}, 7, "t", 7, false},
      {"getheader", {"t"}, 7, "t", 7, false},
      {"gethtml0", {"t"}, 7, "", 7, false},
      {"gethtml", {"t"}, 7, "", 7, false},
      {"getotvetlen", {"t"}, 7, "0", 7, false},
      {"makechunkeds", {"t"}, 7, "", 7, false},
      {"getheadername", {"x-*"}, 7, "", 7, false},
      {"parseotvet", {"a", "b"}, 7, "", 7, false},
      {"parserez", {"a", "b"}, 7, "", 7, false},
      {"savebin", {"lifetime-body.bin"}, 7, "lifetime-body.bin", 7, false},
      {"savebinall", {"lifetime-all.bin"}, 7, "lifetime-all.bin", 7, false},
      {"strip", {"b", "abcbb"}, 7, "ac", 7, false},
      {"utfenk", {"\xc0\xff"}, 7, "\xd0\x90\xd1\x8f", 7, false},
      {"utfdek", {"\xd0\x90\xd1\x8f"}, 7, "\xc0\xff", 7, false},
      {"ansi2oem", {"\xc0\xff"}, 7, "\x80\xef", 7, false},
      {"oem2ansi", {"\x80\xef"}, 7, "\xc0\xff", 7, false},
      {"setip", {"127.0.0.1"}, 7, "127.0.0.1", 7, true},
      {"setport", {"t"}, port, "t", port, true},
      {"status", {"t"}, 7, "host 127.0.0.1 Port " + std::to_string(port) + " ofline bufer 0", 7, true},
      {"sethost", {"127.0.0.1"}, 7, "127.0.0.1", 5, true},
      {"disconect", {"t"}, 7, "t", 7, true},
      {"sendc", {"GET / HTTP/1.1\r\n\r\n"}, 7, kError, 3, true},
      {"kconect", {"t"}, 7, "t", 7, true},
  };
}

enum class FormState { BeforeSetParentWindow, BuiltAndHidden, Placed, HostWindowGone, AfterClose };

const char* stateName(FormState state) {
  switch (state) {
    case FormState::BeforeSetParentWindow: return "before SetParentWindow";
    case FormState::BuiltAndHidden: return "built and hidden";
    case FormState::Placed: return "placed";
    case FormState::HostWindowGone: return "after the host window is gone";
    case FormState::AfterClose: return "after WM_CLOSE";
  }
  return "";
}

class LifetimeTest : public ::testing::TestWithParam<FormState> {
 protected:
  // Connects to a server that reads and never answers, and waits for code 1.
  void connectTo(const ScriptedServer& server) {
    plugin->setData(server.port());
    plugin->command("setport");
    plugin->command("kconect");
    ASSERT_TRUE(host->waitForCode(1, kTimeoutMs));
  }

  // Brings the library into the state; clicks are then expected at `receiver`.
  void enter(FormState state) {
    ASSERT_TRUE(plugin->loaded());
    if (state == FormState::BeforeSetParentWindow) return;
    plugin->setParentWindow(host->handle());
    form = findForm();
    ASSERT_NE(form, nullptr);
    if (state == FormState::BuiltAndHidden) return;
    ASSERT_TRUE(host->pumpUntil([&] { return placedIn(form, host->handle()); }, kTimeoutMs));
    if (state == FormState::HostWindowGone) {
      plugin->setParentWindow(other->handle());
      host.reset();
      ASSERT_FALSE(IsWindow(form));
    }
    if (state == FormState::AfterClose) {
      ASSERT_EQ(FindWindowExA(host->handle(), nullptr, nullptr, "Form1"), form) << "the form is the host's child";
      SendMessageA(form, WM_CLOSE, 0, 0);
      ASSERT_FALSE(IsWindowVisible(form));
    }
  }

  std::optional<PluginLibrary> plugin{std::in_place, "tcp.dll"};
  std::optional<HostWindow> host{std::in_place, *plugin, "host", tcptest::sharedFrame()};
  std::optional<HostWindow> other{std::in_place, *plugin, "other", tcptest::sharedFrame()};
  HWND form = nullptr;
};

TEST_P(LifetimeTest, EveryCommandGivesItsDocumentedResult) {
  const FormState state = GetParam();
  enter(state);
  const bool formLives = state != FormState::BeforeSetParentWindow && state != FormState::HostWindowGone;
  HostWindow& receiver = state == FormState::HostWindowGone ? *other : *host;

  plugin->setFile("round trip");
  plugin->setData(-5);
  EXPECT_EQ(plugin->getFile(), "round trip");
  EXPECT_EQ(plugin->getData(), -5);
  EXPECT_EQ(plugin->text("GetShortInfo"), "Orvane TCP Zornel_plugin");
  const std::string info = plugin->text("GetInfo");
  std::size_t lineEnds = 0;
  for (std::size_t at = info.find("\r\n"); at != std::string::npos; at = info.find("\r\n", at + 2)) ++lineEnds;
  EXPECT_EQ(lineEnds, 5u) << info;
  EXPECT_EQ(plugin->text("Copyright").rfind("      ", 0), 0u);

  for (const CommandCase& c : commandCases(ScriptedServer::closedPort())) {
    SCOPED_TRACE(std::string(c.name) + ", " + stateName(state));
    for (const std::string& text : c.texts) plugin->setFile(text);
    plugin->setData(c.value);
    plugin->command(c.name);
    const bool acts = formLives || !c.connection;
    EXPECT_EQ(plugin->getFile(), acts ? c.text : c.texts.back());
    EXPECT_EQ(plugin->getData(), acts ? c.valueAfter : c.value);
  }
  // The refused connection reports its error; without a form nothing reaches the host.
  if (formLives) {
    EXPECT_TRUE(host->waitForCode(3, kTimeoutMs));
  } else {
    receiver.pumpFor(300);
    EXPECT_TRUE(receiver.clicks().empty()) << receiver.clicks().size() << " clicks";
  }
}

INSTANTIATE_TEST_SUITE_P(EachFormState, LifetimeTest,
                         ::testing::Values(FormState::BeforeSetParentWindow, FormState::BuiltAndHidden,
                                           FormState::Placed, FormState::HostWindowGone, FormState::AfterClose),
                         [](const ::testing::TestParamInfo<FormState>& info) {
                           std::string name;
                           for (const char* c = stateName(info.param); *c; ++c)
                             if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                           return name;
                         });

// WM_APP + 1 is the host's own message number as much as the plug-in's: one
// that reaches the form must not bring it back after WM_CLOSE hid it.
TEST_F(LifetimeTest, AHostsOwnMessageDoesNotShowTheFormAgainAfterClose) {
  enter(FormState::AfterClose);
  HostWindow later(*plugin, "later host", tcptest::sharedFrame());
  plugin->setParentWindow(later.handle());
  PostMessageA(form, kHostsOwnMessage, 0, 0);
  host->pumpFor(200);
  EXPECT_FALSE(IsWindowVisible(form)) << "the form came back";
  EXPECT_EQ(GetAncestor(form, GA_PARENT), host->handle()) << "the form moved to the later host window";
}

BOOL CALLBACK FindSocketWindow(HWND window, LPARAM found) {
  char name[32] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::string(name) != "TCPSocket") return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// A hidden window that answers WM_QUERYENDSESSION with 0 refuses log-off and
// shutdown for the whole session.
TEST_F(LifetimeTest, TheSocketWindowDoesNotRefuseTheEndOfTheSession) {
  enter(FormState::Placed);
  ScriptedServer server({tcphost::readBytes(1)});
  ASSERT_NO_FATAL_FAILURE(connectTo(server));
  HWND socketWindow = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindSocketWindow, reinterpret_cast<LPARAM>(&socketWindow));
  ASSERT_NE(socketWindow, nullptr);
  EXPECT_NE(SendMessageA(socketWindow, WM_QUERYENDSESSION, 0, 0), 0);
  plugin->command("disconect");
}

// Classes left registered after unload point into code that is gone.
TEST_F(LifetimeTest, UnloadingUnregistersEveryClassAndASecondLoadWorksAgain) {
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    if (round == 1) {
      plugin.emplace("tcp.dll");
      host.emplace(*plugin, "host", tcptest::sharedFrame());
    }
    enter(FormState::Placed);
    ScriptedServer server({tcphost::readBytes(1)});
    ASSERT_NO_FATAL_FAILURE(connectTo(server));
    const HMODULE module = plugin->module();
    host.reset();
    other.reset();
    plugin.reset();
    for (const char* name : kRegisteredClasses) {
      WNDCLASSA found = {};
      EXPECT_FALSE(GetClassInfoA(module, name, &found)) << name << " is still registered";
    }
  }
}

// The system answers a background lookup whenever it is done: after an unload
// its answer must reach no window of the library, and a second load looks
// names up afresh.
TEST_F(LifetimeTest, UnloadingWhileALookupRunsLeavesNothingBehind) {
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    if (round == 1) {
      plugin.emplace("tcp.dll");
      host.emplace(*plugin, "host", tcptest::sharedFrame());
    }
    enter(FormState::Placed);
    plugin->setData(1);
    plugin->command("setevents");
    host->readQueuedEvents(true);
    plugin->setFile("localhost");
    plugin->command("sethost");
    if (round == 0) {
      ASSERT_TRUE(host->waitForCode(5, kTimeoutMs)) << "the lookup ends while the library is loaded";
      plugin->setFile("localhost");
      plugin->command("sethost");
    }
    const HMODULE module = plugin->module();
    host.reset();
    other.reset();
    plugin.reset();
    const DWORD until = GetTickCount() + 500;
    while (GetTickCount() < until) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
      Sleep(10);
    }
    WNDCLASSA found = {};
    EXPECT_FALSE(GetClassInfoA(module, "TCPLookup", &found));
  }
}

}  // namespace
