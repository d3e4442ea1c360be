// The plug-in form as a host sees it: the hidden application window's caption,
// the placement into the host's window, Draw, the window menu, and what
// happens when the host's window or the library goes.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

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
constexpr LONG kPlacedStyle = 0x46000000;
constexpr LONG kPlacedExtendedStyle = 0x10000;

HWND findForm() { return findOwnWindow("Form1"); }
HWND findFormIn(HWND host) { return FindWindowExA(host, nullptr, nullptr, "Form1"); }

bool placedIn(HWND form, HWND host) { return GetAncestor(form, GA_PARENT) == host && IsWindowVisible(form); }

// The form's rectangle in the host window's client coordinates.
RECT rectIn(HWND form, HWND host) {
  RECT rect;
  GetWindowRect(form, &rect);
  MapWindowPoints(HWND_DESKTOP, host, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::string fontFace(HWND window) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
  LOGFONTA description = {};
  if (!font || !GetObjectA(font, sizeof description, &description)) return {};
  return description.lfFaceName;
}

// Whether the server's connection ends well before the server would give up
// waiting for its script.
bool endsSoon(ScriptedServer& server) {
  const ULONGLONG start = GetTickCount64();
  server.join();
  return GetTickCount64() - start < 5000;
}

// The library, a host window and the built form, not yet placed.
class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(plugin->loaded());
    plugin->setParentWindow(host->handle());
    form = findForm();
    ASSERT_NE(form, nullptr);
  }

  void place() { ASSERT_TRUE(host->pumpUntil([&] { return placedIn(form, host->handle()); }, kTimeoutMs)); }

  void connectTo(std::uint16_t port) {
    plugin->setData(port);
    plugin->command("setport");
    plugin->command("kconect");
    ASSERT_TRUE(host->waitForCode(1, kTimeoutMs));
  }

  std::optional<PluginLibrary> plugin{std::in_place, "tcp.dll"};
  std::optional<HostWindow> host{std::in_place, *plugin, "host", tcptest::sharedFrame()};
  HWND form = nullptr;
};

TEST(FormApplet, CaptionTellsWhetherTheHostWindowHasAParent) {
  struct Case {
    bool embedded;
    const char* caption;
    const char* otherCaption;
  };
  for (const Case& c : {Case{false, "pluginreal", "pluginedit"}, Case{true, "pluginedit", "pluginreal"}}) {
    {
      PluginLibrary plugin("tcp.dll");
      ASSERT_TRUE(plugin.loaded());
      // A hidden top-level window: a visible one would take seconds to go under Wine.
      HWND topLevel = CreateWindowExA(0, "STATIC", "top-level host", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                      nullptr, GetModuleHandleA(nullptr), nullptr);
      HostWindow embedded(plugin, "embedded host", tcptest::sharedFrame());
      plugin.setParentWindow(c.embedded ? embedded.handle() : topLevel);
      HWND applet = findOwnWindow(c.caption);
      ASSERT_NE(applet, nullptr) << c.caption;
      EXPECT_FALSE(IsWindowVisible(applet));
      EXPECT_EQ(GetAncestor(applet, GA_PARENT), GetDesktopWindow());
      EXPECT_EQ(findOwnWindow(c.otherCaption), nullptr);
      DestroyWindow(topLevel);
    }
    EXPECT_EQ(findOwnWindow(c.caption), nullptr) << "unloading leaves no window behind";
    EXPECT_EQ(findForm(), nullptr);
  }
}

TEST_F(FormTest, IsHiddenWithChildStylesUntilPlacedThenAVisibleChildOfTheHostWindow) {
  EXPECT_FALSE(IsWindowVisible(form));
  EXPECT_NE(GetAncestor(form, GA_PARENT), host->handle());
  EXPECT_EQ(GetWindowLongA(form, GWL_STYLE), kPlacedStyle);
  EXPECT_EQ(GetWindowLongA(form, GWL_EXSTYLE), kPlacedExtendedStyle);
  RECT client;
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, 104);
  EXPECT_EQ(client.bottom, 47);
  EXPECT_EQ(fontFace(form), "MS Sans Serif");

  place();
  EXPECT_EQ(findFormIn(host->handle()), form);
  EXPECT_EQ(GetWindowLongA(form, GWL_STYLE), kPlacedStyle | WS_VISIBLE);
  EXPECT_EQ(GetWindowLongA(form, GWL_EXSTYLE), kPlacedExtendedStyle);
  EXPECT_EQ(GetMenuState(GetSystemMenu(form, FALSE), SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1))
      << "the window menu has no Close item";
}

TEST_F(FormTest, DrawMovesAndSizesItInTheHostWindowBeforeAndAfterThePlacement) {
  plugin->draw(10, 20, 300, 40);
  place();
  RECT rect = rectIn(form, host->handle());
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 20);
  EXPECT_EQ(rect.right, 310);
  EXPECT_EQ(rect.bottom, 60);

  plugin->draw(33, 44, 55, 66);
  rect = rectIn(form, host->handle());
  EXPECT_EQ(rect.left, 33);
  EXPECT_EQ(rect.top, 44);
  EXPECT_EQ(rect.right, 88);
  EXPECT_EQ(rect.bottom, 110);
}

TEST_F(FormTest, LaterSetParentWindowBuildsNoSecondFormAndDoesNotMoveIt) {
  place();
  HostWindow other(*plugin, "other", tcptest::sharedFrame());
  plugin->setParentWindow(other.handle());
  other.pumpFor(100);
  EXPECT_EQ(findFormIn(host->handle()), form);
  EXPECT_EQ(findFormIn(other.handle()), nullptr);
  EXPECT_EQ(findOwnWindowAfter(findOwnWindow("pluginedit"), "pluginedit"), nullptr)
      << "one application window";
}

TEST_F(FormTest, LaterSetParentWindowSendsTheClicksToTheNewWindow) {
  place();
  HostWindow other(*plugin, "other", tcptest::sharedFrame());
  plugin->setParentWindow(other.handle());
  plugin->setFile("127.0.0.1");
  plugin->command("sethost");
  ASSERT_TRUE(other.waitForCode(5, kTimeoutMs));
  EXPECT_TRUE(host->clicks().empty());
}

TEST_F(FormTest, AfterACloseTheConnectionGoesOn) {
  place();
  ScriptedServer server({tcphost::readUntil("\r\n\r\n"), tcphost::sendBytes("HTTP/1.1 204 No Content\r\n\r\n"),
                         tcphost::closeGracefully()});
  connectTo(server.port());
  SendMessageA(form, WM_CLOSE, 0, 0);
  plugin->setFile("GET / HTTP/1.1\r\n\r\n");
  plugin->command("sendc");
  ASSERT_TRUE(host->waitForCode(2, kTimeoutMs));
  plugin->command("recev");
  EXPECT_EQ(plugin->getFile(), "HTTP/1.1 204 No Content\r\n\r\n");
}

TEST_F(FormTest, WhenTheHostWindowGoesTheConnectionClosesQuietlyAndCommandsDoNothing) {
  place();
  ScriptedServer server({tcphost::readBytes(1)});
  connectTo(server.port());
  HostWindow other(*plugin, "other", tcptest::sharedFrame());
  plugin->setParentWindow(other.handle());
  host.reset();
  EXPECT_TRUE(endsSoon(server)) << "the server sees the connection end";

  plugin->setFile("kept");
  plugin->setData(77);
  for (const char* command : {"kconect", "setip", "setport", "sendc", "status", "disconect"}) plugin->command(command);
  other.pumpFor(200);
  EXPECT_EQ(plugin->getFile(), "kept");
  EXPECT_EQ(plugin->getData(), 77);
  EXPECT_TRUE(other.clicks().empty()) << "no event reaches the host";
}

TEST_F(FormTest, CloseHidesItAndTheHostWindowTakesItAlong) {
  place();
  SendMessageA(form, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(form));
  EXPECT_FALSE(IsWindowVisible(form));

  host.reset();
  EXPECT_FALSE(IsWindow(form));
  EXPECT_EQ(findOwnWindow("pluginedit"), nullptr);

  // The library goes on, and a new host window gets a new form.
  plugin->draw(1, 2, 30, 40);
  host.emplace(*plugin, "second host", tcptest::sharedFrame());
  plugin->setParentWindow(host->handle());
  form = findForm();
  ASSERT_NE(form, nullptr);
  place();
}

TEST_F(FormTest, UnloadingRightAfterSetParentWindowLeavesNoWindowOrTimerBehind) {
  plugin.reset();
  EXPECT_FALSE(IsWindow(form));
  EXPECT_EQ(findOwnWindow("pluginedit"), nullptr);
  // A timer left running would now tick into unloaded code.
  host->pumpFor(200);
  EXPECT_TRUE(IsWindow(host->handle()));
}

TEST_F(FormTest, UnloadingAConnectedFormClosesTheConnectionAndTakesTheFormOut) {
  place();
  ScriptedServer server({tcphost::readBytes(1)});
  connectTo(server.port());
  host->clear();
  plugin.reset();
  EXPECT_TRUE(endsSoon(server)) << "the server sees the connection end";
  EXPECT_FALSE(IsWindow(form));
  EXPECT_EQ(GetWindow(host->handle(), GW_CHILD), nullptr);
  InvalidateRect(host->handle(), nullptr, TRUE);
  host->pumpFor(100);
  EXPECT_TRUE(host->clicks().empty());
}

}  // namespace
