// The plug-in as a host first meets it: loading, its entry points, the two
// slots, the texts it describes itself with and its version resource.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "own_windows.h"
#include "plugin_library.h"
#include "release_version.h"

using tcphost::PluginLibrary;

namespace {

struct Export {
  int ordinal;
  const char* name;
};

const Export kExports[] = {
#include "exports_table.inc"
};

const char* const kShellEntryPoints[] = {"Draw",     "Settings", "SetParentWindow", "GetType", "GetInfo", "GetShortInfo",
                                         "Copyright", "SetPath", "GetData",         "SetData", "GetFile", "SetFile"};

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  if (start != text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string versionValue(const std::vector<char>& block, const char* path) {
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), path, &value, &length) || length == 0) return {};
  return std::string(static_cast<const char*>(value), length - 1);
}

}  // namespace

TEST(PluginShell, EveryExportResolvesByNameAndByOrdinal) {
  PluginLibrary plugin("tcp.dll");
  ASSERT_TRUE(plugin.loaded());
  int found = 0;
  for (const Export& entry : kExports) {
    FARPROC byName = GetProcAddress(plugin.module(), entry.name);
    if (!byName) continue;
    ++found;
    EXPECT_EQ(byName, plugin.entry(entry.ordinal)) << entry.name << " is not at ordinal " << entry.ordinal;
  }
  for (const char* name : kShellEntryPoints)
    EXPECT_NE(GetProcAddress(plugin.module(), name), nullptr) << name;
  EXPECT_GE(found, 12);
}

TEST(PluginShell, SlotsStartEmptyAndCarryTextsAndValues) {
  PluginLibrary plugin("tcp.dll");
  ASSERT_TRUE(plugin.loaded());
  const char* initial = plugin.getFilePointer();
  ASSERT_NE(initial, nullptr);
  EXPECT_STREQ(initial, "");
  EXPECT_EQ(plugin.getData(), 0);

  plugin.setData(-5);
  plugin.setFile("\xCF\xF0\xE8\xE2\xE5\xF2 world");
  EXPECT_EQ(plugin.getData(), -5);
  EXPECT_EQ(plugin.getFile(), "\xCF\xF0\xE8\xE2\xE5\xF2 world");

  plugin.entryAs<tcp_set_text_fn>("SetFile")(nullptr);
  ASSERT_NE(plugin.getFilePointer(), nullptr);
  EXPECT_STREQ(plugin.getFilePointer(), "");
  plugin.entryAs<tcp_set_text_fn>("SetPath")(nullptr);
  EXPECT_EQ(plugin.getData(), -5);
}

TEST(PluginShell, DescribesItselfWithFixedTexts) {
  PluginLibrary plugin("tcp.dll");
  ASSERT_TRUE(plugin.loaded());
  for (int call = 0; call < 3; ++call) {
    EXPECT_EQ(plugin.entryAs<tcp_get_value_fn>("GetType")(), 0);
    plugin.entryAs<tcp_command_fn>("Settings")();
  }
  EXPECT_EQ(plugin.text("GetShortInfo"), "Orvane TCP Zornel_plugin");

  const char* info = plugin.entryAs<tcp_get_text_fn>("GetInfo")();
  EXPECT_EQ(info, plugin.entryAs<tcp_get_text_fn>("GetInfo")());
  const std::string text = info;
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  const std::vector<std::string> lines = linesOf(text);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "Orvane Zornel_plugin: Caller  QVX + HTML CLIENT");
  // "Смотри описание на сайте"
  EXPECT_EQ(lines[1], "\xD1\xEC\xEE\xF2\xF0\xE8 \xEE\xEF\xE8\xF1\xE0\xED\xE8\xE5 \xED\xE0 \xF1\xE0\xE9\xF2\xE5");
  EXPECT_EQ(lines[3].substr(0, 10), std::string(10, ' '));
  EXPECT_NE(lines[3][10], ' ');
  EXPECT_FALSE(lines[2].empty());
  EXPECT_FALSE(lines[4].empty());

  const std::string copyright = plugin.text("Copyright");
  EXPECT_EQ(copyright.substr(0, 6), std::string(6, ' '));
  EXPECT_NE(copyright[6], ' ');
  EXPECT_EQ(copyright.find_first_of("\r\n"), std::string::npos);
}

TEST(PluginShell, LoadingCreatesOnlyTheHiddenApplicationWindow) {
  ASSERT_EQ(findOwnWindow("tcpplug"), nullptr);
  {
    PluginLibrary plugin("tcp.dll");
    ASSERT_TRUE(plugin.loaded());
    HWND application = findOwnWindow("tcpplug");
    ASSERT_NE(application, nullptr);
    EXPECT_FALSE(IsWindowVisible(application));
    EXPECT_EQ(GetParent(application), nullptr);
    EXPECT_EQ(findOwnWindow("pluginreal"), nullptr);
    EXPECT_EQ(findOwnWindow("pluginedit"), nullptr);
  }
  EXPECT_EQ(findOwnWindow("tcpplug"), nullptr) << "unloading leaves no window behind";
}

TEST(PluginShell, ReloadingStartsFromInitialState) {
  {
    PluginLibrary plugin("tcp.dll");
    plugin.setFile("left over");
    plugin.setData(42);
  }
  PluginLibrary plugin("tcp.dll");
  ASSERT_TRUE(plugin.loaded());
  EXPECT_EQ(plugin.getFile(), "");
  EXPECT_EQ(plugin.getData(), 0);
  EXPECT_NE(findOwnWindow("tcpplug"), nullptr);
}

TEST(PluginShell, VersionResourceIsRussianWithFixedVersionsAndTheRelease) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA("tcp.dll", &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA("tcp.dll", 0, size, block.data()));
  WORD* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                             &length));
  ASSERT_GE(length, 4u);
  EXPECT_EQ(translation[0], 0x0419);
  EXPECT_EQ(translation[1], 1251);
  EXPECT_EQ(versionValue(block, "\\StringFileInfo\\041904E3\\FileDescription"), "Plugin tcp client-server");
  EXPECT_EQ(versionValue(block, "\\StringFileInfo\\041904E3\\FileVersion"), "1.0.0.0");
  EXPECT_EQ(versionValue(block, "\\StringFileInfo\\041904E3\\ProductVersion"), "1.0.0.0");
  EXPECT_EQ(versionValue(block, "\\StringFileInfo\\041904E3\\Comments"), TCP_RELEASE_VERSION);
}
