#pragma once

// The texts with which the plug-in describes itself to the host.
namespace tcp {

inline constexpr char kShortInfo[] = "Orvane TCP Zornel_plugin";

// Five lines, each ended by CR LF: name, where to read more (code page 1251),
// dedication, where to read it (the README) after ten blanks, author credit.
inline constexpr char kInfo[] =
    "Orvane Zornel_plugin: Caller  QVX + HTML CLIENT\r\n"
    "\xD1\xEC\xEE\xF2\xF0\xE8 \xEE\xEF\xE8\xF1\xE0\xED\xE8\xE5 \xED\xE0 \xF1\xE0\xE9\xF2\xE5\r\n"
    "Made for everyone who scripts their own web client\r\n"
    "          README.md in the tcp.dll sources\r\n"
    "Written by the tcp.dll developers\r\n";

inline constexpr char kCopyright[] = "      Copyright (c) 2026 the tcp.dll developers";

}  // namespace tcp
