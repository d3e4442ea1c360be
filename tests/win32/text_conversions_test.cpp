// The conversion commands on the real code pages: ANSI 1251 and OEM 866, as a
// Russian Windows has them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "plugin_library.h"

using tcphost::PluginLibrary;

namespace {

struct Conversion {
  const char* command;
  std::string input;
  std::string expected;
};

class TextConversions : public ::testing::Test {
 protected:
  PluginLibrary plugin{"tcp.dll"};
};

}  // namespace

TEST_F(TextConversions, RunOnRussianCodePages) {
  ASSERT_EQ(GetACP(), 1251u);
  ASSERT_EQ(GetOEMCP(), 866u);
}

TEST_F(TextConversions, ConvertTheTextSlot) {
  ASSERT_TRUE(plugin.loaded());
  const Conversion cases[] = {
      // "Привет"
      {"utfenk", "\xCF\xF0\xE8\xE2\xE5\xF2", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
      {"utfdek", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "\xCF\xF0\xE8\xE2\xE5\xF2"},
      {"utfenk", "\x88", "\xE2\x82\xAC"},  // the euro sign
      {"utfdek", "\xE2\x82\xAC", "\x88"},
      {"utfenk", "plain ASCII", "plain ASCII"},
      {"utfdek", "plain ASCII", "plain ASCII"},
      {"utfdek", "ab\xD0", ""},
      {"utfdek", "\xD0\x41", ""},
      {"oem2ansi", "\x8F", "\xCF"},
      {"ansi2oem", "\xCF", "\x8F"},
      {"oem2ansi", "\x8F\xE0\xA8\xA2\xA5\xE2", "\xCF\xF0\xE8\xE2\xE5\xF2"},
      {"ansi2oem", "\xCF\xF0\xE8\xE2\xE5\xF2", "\x8F\xE0\xA8\xA2\xA5\xE2"},
  };
  for (const Conversion& c : cases) {
    plugin.setFile(c.input);
    plugin.command(c.command);
    EXPECT_EQ(plugin.getFile(), c.expected) << c.command << " of " << c.input;
  }
}

TEST_F(TextConversions, FourByteSequenceNoLongerEmptiesTheText) {
  ASSERT_TRUE(plugin.loaded());
  // "Привет 😀!" in UTF-8: the emoji has no 1251 form and is replaced, the
  // rest of the text survives.
  plugin.setFile("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xF0\x9F\x98\x80!");
  plugin.command("utfdek");
  const std::string text = plugin.getFile();
  ASSERT_GE(text.size(), 9u);
  EXPECT_EQ(text.substr(0, 7), "\xCF\xF0\xE8\xE2\xE5\xF2 ");
  EXPECT_EQ(text.back(), '!');
}

TEST_F(TextConversions, LeaveTheOtherSlotsAlone) {
  ASSERT_TRUE(plugin.loaded());
  plugin.setData(77);
  for (const char* command : {"utfenk", "utfdek", "oem2ansi", "ansi2oem"}) {
    plugin.setFile("");
    plugin.command(command);
    EXPECT_EQ(plugin.getFile(), "") << command;
    EXPECT_EQ(plugin.getData(), 77) << command;
  }
}
