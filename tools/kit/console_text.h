#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tcphost {

// Console output for host programs. The plug-in's texts are in the ANSI code
// page; the terminal that runs Wine shows UTF-8, so texts are converted on
// the way. Results go to standard output, progress and events to standard
// error.
void printLine(std::string_view utf8);
void printError(std::string_view utf8);
void writeOut(std::string_view bytes);
void writeError(std::string_view bytes);
bool errorIsTerminal();
std::string ansiToUtf8(std::string_view ansi);
// UTF-8 to the ANSI code page; nothing for bytes that are not UTF-8 or a
// character the code page lacks.
std::optional<std::string> utf8ToAnsi(std::string_view utf8);
std::string hexBytes(std::string_view bytes);

// "event 4 (progress): 57": one event as tcphost shows it.
std::string eventLine(std::int32_t code, std::string_view ansiText);

}  // namespace tcphost
