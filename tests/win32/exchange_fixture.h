#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host_window.h"
#include "plugin_library.h"
#include "scripted_server.h"
#include "shared_frame.h"

namespace tcptest {

constexpr int kEventTimeoutMs = 10000;

// A host with the plug-in attached to its window, as a host script sees it:
// commands through the exports, events as clicks read back with GetData and
// GetFile.
class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(plugin.loaded());
    plugin.setParentWindow(host.handle());
    plugin.draw(10, 20, 300, 40);
  }

  void command(const char* name, const std::string& text) {
    plugin.setFile(text);
    plugin.command(name);
  }

  // The text slot after the command, given text first.
  std::string textAfter(const char* name, const std::string& text = "x") {
    command(name, text);
    return plugin.getFile();
  }

  void connectTo(std::uint16_t port) {
    plugin.setData(port);
    plugin.command("setport");
    plugin.command("kconect");
  }

  bool waitFor(std::int32_t code) { return host.waitForCode(code, kEventTimeoutMs); }

  bool seen(std::int32_t code) const {
    const std::vector<std::int32_t> all = codes();
    return std::find(all.begin(), all.end(), code) != all.end();
  }

  std::vector<std::int32_t> codes() const {
    std::vector<std::int32_t> seen;
    for (const tcphost::Notification& notification : host.notifications()) seen.push_back(notification.code);
    return seen;
  }

  static std::string readFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

  tcphost::PluginLibrary plugin{"tcp.dll"};
  tcphost::HostWindow host{plugin, "host", sharedFrame()};
};

// The same host with queued events on: each click reads its event with
// nextevent.
class QueuedExchangeTest : public ExchangeTest {
 protected:
  void SetUp() override {
    ExchangeTest::SetUp();
    plugin.setData(1);
    plugin.command("setevents");
    host.readQueuedEvents(true);
  }
  void TearDown() override {
    plugin.command("disconect");
    plugin.setData(0);
    plugin.command("setevents");
  }
};

}  // namespace tcptest
