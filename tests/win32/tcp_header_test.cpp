// include/tcp.h against the built tcp.dll: the header's list of exports is
// the library's, and its prototypes call the library correctly from C.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <utility>

#include "tcp.h"
#include "tcp_header_c.h"

namespace {
const std::set<std::pair<int, std::string>> kExportsTable = {
#include "exports_table.inc"
};
}  // namespace

TEST(TcpHeader, ListsEveryExportWithItsOrdinal) {
  std::set<std::pair<int, std::string>> listed;
  for (int i = 0; i < linked_export_count; ++i) listed.insert({linked_exports[i].ordinal, linked_exports[i].name});
  EXPECT_EQ(listed, kExportsTable);
  HMODULE module = GetModuleHandleA("tcp.dll");
  ASSERT_NE(module, nullptr);
  for (int i = 0; i < linked_export_count; ++i) {
    const FARPROC byName = GetProcAddress(module, linked_exports[i].name);
    EXPECT_NE(byName, nullptr) << linked_exports[i].name;
    EXPECT_EQ(byName, GetProcAddress(module, MAKEINTRESOURCEA(linked_exports[i].ordinal))) << linked_exports[i].name;
  }
}

TEST(TcpHeader, PrototypesCarryArgumentsAndResultsFromC) {
  std::int32_t value = 0;
  EXPECT_STREQ(round_trip_in_c("\xCF\xF0\xE8", -77, &value), "\xD0\x9F\xD1\x80\xD0\xB8");  // "При"
  EXPECT_EQ(value, -77);
  EXPECT_EQ(GetType(), 0);
  EXPECT_EQ(TCP_EVENT_CONNECTED, 1);
  EXPECT_EQ(TCP_EVENT_NOT_RESOLVED, 6);
}
