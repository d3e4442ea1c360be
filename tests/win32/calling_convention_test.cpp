// The entry points follow the C calling convention: the caller removes the
// arguments. Called through cdecl pointers in a loop, an entry point that
// removed its own arguments (or too few, or too many) would move the stack
// pointer a little at every call.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>

#include "host_window.h"
#include "plugin_library.h"
#include "shared_frame.h"

namespace {

constexpr int kCalls = 1000;

__attribute__((always_inline)) inline std::uintptr_t stackPointer() {
  std::uintptr_t pointer;
#if defined(__i386__)
  asm volatile("movl %%esp, %0" : "=r"(pointer));
#else
  asm volatile("movq %%rsp, %0" : "=r"(pointer));
#endif
  return pointer;
}

// How far the stack pointer moved over kCalls calls of call().
template <typename Call>
__attribute__((noinline)) std::intptr_t drift(Call call) {
  const std::uintptr_t before = stackPointer();
  for (int i = 0; i < kCalls; ++i) call(i);
  return static_cast<std::intptr_t>(stackPointer() - before);
}

using TextSetter = void(__cdecl*)(const char*);
using ValueSetter = void(__cdecl*)(std::int32_t);
using WindowSetter = void(__cdecl*)(HWND);
using Drawer = void(__cdecl*)(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t);

}  // namespace

TEST(CallingConvention, CallerRemovesTheArgumentsOfEveryEntryPoint) {
  tcphost::PluginLibrary plugin("tcp.dll");
  ASSERT_TRUE(plugin.loaded());
  tcphost::HostWindow host(plugin, "host", tcptest::sharedFrame());
  const auto setFile = plugin.entryAs<TextSetter>("SetFile");
  const auto setPath = plugin.entryAs<TextSetter>("SetPath");
  const auto setData = plugin.entryAs<ValueSetter>("SetData");
  const auto setParentWindow = plugin.entryAs<WindowSetter>("SetParentWindow");
  const auto draw = plugin.entryAs<Drawer>("Draw");

  EXPECT_EQ(drift([&](int) { setFile("text"); }), 0) << "SetFile";
  EXPECT_EQ(drift([&](int) { setPath("C:\\plugins"); }), 0) << "SetPath";
  EXPECT_EQ(drift([&](int i) { setData(i); }), 0) << "SetData";
  EXPECT_EQ(drift([&](int) { setParentWindow(host.handle()); }), 0) << "SetParentWindow";
  EXPECT_EQ(drift([&](int i) { draw(0, i, i, 100, 50); }), 0) << "Draw";
  EXPECT_EQ(plugin.getData(), kCalls - 1);
  EXPECT_EQ(plugin.getFile(), "text");
}
