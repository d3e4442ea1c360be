#pragma once

#include <windows.h>
#include <psapi.h>

#include <cstddef>
#include <vector>

namespace tcptest {

// The process's committed private memory now and at its highest so far (the
// page-file usage: Wine leaves PrivateUsage at 0, Windows gives both the same).
struct PrivateMemory {
  std::size_t now;
  std::size_t peak;
};

inline PrivateMemory privateMemory() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return {counters.PagefileUsage, counters.PeakPagefileUsage};
}

// The kernel handles and window-system objects the process holds. Wine
// answers GetProcessHandleCount and GetGuiResources with 0; there the handles
// are counted in the system's handle table and the USER objects as this
// thread's windows (GDI objects have no such substitute).
struct ObjectCounts {
  DWORD handles;
  DWORD userObjects;
  DWORD gdiObjects;
};

inline DWORD handlesInSystemTable() {
  struct Entry {
    ULONG ownerProcess;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
  };
  struct Table {
    ULONG count;
    Entry entries[1];
  };
  using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  constexpr ULONG kSystemHandleInformation = 16;
  constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
  std::vector<char> buffer(1 << 16);
  LONG status;
  ULONG needed = 0;
  while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
         kLengthMismatch)
    buffer.resize(buffer.size() * 2);
  if (status < 0) return 0;
  const auto* table = reinterpret_cast<const Table*>(buffer.data());
  DWORD count = 0;
  for (ULONG i = 0; i < table->count; ++i) count += table->entries[i].ownerProcess == GetCurrentProcessId();
  return count;
}

inline BOOL CALLBACK CountWindow(HWND, LPARAM counter) {
  ++*reinterpret_cast<DWORD*>(counter);
  return TRUE;
}

inline BOOL CALLBACK CountWindowAndChildren(HWND window, LPARAM counter) {
  CountWindow(window, counter);
  EnumChildWindows(window, CountWindow, counter);
  return TRUE;
}

inline DWORD threadWindows() {
  DWORD count = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindowAndChildren, reinterpret_cast<LPARAM>(&count));
  return count;
}

inline ObjectCounts objectCounts() {
  ObjectCounts counts = {};
  GetProcessHandleCount(GetCurrentProcess(), &counts.handles);
  if (counts.handles == 0) counts.handles = handlesInSystemTable();
  counts.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  if (counts.userObjects == 0) counts.userObjects = threadWindows();
  counts.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  return counts;
}

}  // namespace tcptest
