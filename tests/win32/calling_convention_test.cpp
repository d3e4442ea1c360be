// The entry points follow the C calling convention: the caller removes the
// arguments. Called through cdecl pointers in a loop, an entry point that
// removed its own arguments (or too few, or too many) would move the stack
// pointer a little at every call. Only 32-bit Windows has conventions to get
// wrong; on x64 the check holds by construction.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "host_window.h"
#include "own_windows.h"
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

// How far the stack pointer moved over kCalls calls of call(i).
template <typename Call>
__attribute__((noinline)) std::intptr_t drift(Call call) {
  const std::uintptr_t before = stackPointer();
  for (int i = 0; i < kCalls; ++i) call(i);
  return static_cast<std::intptr_t>(stackPointer() - before);
}

// One library and one host window for every case, as a host keeps them.
const tcphost::PluginLibrary& plugin() {
  static const tcphost::PluginLibrary library("tcp.dll");
  return library;
}

tcphost::HostWindow& host() {
  static tcphost::HostWindow window(plugin(), "host", tcptest::sharedFrame());
  return window;
}

// The form SetParentWindow builds: top-level until its placement tick makes
// it a child of the host's window.
HWND form() {
  const HWND placed = FindWindowExA(host().handle(), nullptr, nullptr, "Form1");
  return placed ? placed : findOwnWindow("Form1");
}

// An argument-taking entry point: the drift of kCalls calls, then a check
// that the calls really reached the plug-in with their arguments.
struct ArgumentTaker {
  const char* name;
  std::function<std::intptr_t()> callRepeatedly;
  std::function<void()> checkEffect;
};

const ArgumentTaker kArgumentTakers[] = {
    {"SetFile", [] { return drift([f = plugin().entryAs<tcp_set_text_fn>("SetFile")](int) { f("text"); }); },
     [] { EXPECT_EQ(plugin().getFile(), "text"); }},
    {"SetPath", [] { return drift([f = plugin().entryAs<tcp_set_text_fn>("SetPath")](int) { f("C:\\plugins"); }); },
     [] {}},
    {"SetData", [] { return drift([f = plugin().entryAs<tcp_set_value_fn>("SetData")](int i) { f(i); }); },
     [] { EXPECT_EQ(plugin().getData(), kCalls - 1); }},
    {"SetParentWindow",
     [] {
       return drift([f = plugin().entryAs<tcp_set_window_fn>("SetParentWindow"), window = host().handle()](int) {
         f(window);
       });
     },
     [] { EXPECT_NE(form(), nullptr) << "SetParentWindow built no form"; }},
    {"Draw",
     [] {
       plugin().setParentWindow(host().handle());
       return drift([f = plugin().entryAs<tcp_draw_fn>("Draw")](int i) { f(0, i, i, 100, 50); });
     },
     [] {
       ASSERT_TRUE(host().pumpUntil([] { return GetAncestor(form(), GA_PARENT) == host().handle(); }, 3000));
       RECT rect;
       GetWindowRect(form(), &rect);
       MapWindowPoints(HWND_DESKTOP, host().handle(), reinterpret_cast<POINT*>(&rect), 2);
       EXPECT_EQ(rect.left, kCalls - 1);
       EXPECT_EQ(rect.top, kCalls - 1);
       EXPECT_EQ(rect.right - rect.left, 100);
       EXPECT_EQ(rect.bottom - rect.top, 50);
     }},
};

class CallingConvention : public testing::TestWithParam<ArgumentTaker> {};

}  // namespace

TEST_P(CallingConvention, CallerRemovesTheArguments) {
  ASSERT_TRUE(plugin().loaded());
  EXPECT_EQ(GetParam().callRepeatedly(), 0) << "the stack pointer moved over " << kCalls << " calls";
  GetParam().checkEffect();
}

INSTANTIATE_TEST_SUITE_P(EntryPoints, CallingConvention, testing::ValuesIn(kArgumentTakers),
                         [](const testing::TestParamInfo<ArgumentTaker>& info) { return std::string(info.param.name); });
