#pragma once

#include <string>
#include <string_view>

namespace tcphost {

// Console output for host programs: plug-in texts are in the ANSI code page,
// the terminal that runs Wine shows UTF-8, so texts are converted on the way.
void printLine(std::string_view utf8);
std::string ansiToUtf8(std::string_view ansi);
std::string hexBytes(std::string_view bytes);

}  // namespace tcphost
