#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tcphost {

// How much of a response has arrived, as the plug-in's own commands tell it.
struct Progress {
  std::uint64_t bodyReceived = 0;
  std::uint64_t declared = 0;  // Content-Length; 0 when none was declared
};

// The N of `status`'s "... bufer N": every byte received since sendc.
std::optional<std::uint64_t> BufferedBytes(std::string_view statusText);

// The progress bar line: "[#####.....]  45%  1.2 MiB of 2.7 MiB" when a
// length is declared, else a byte counter. `width` counts the bar's cells.
std::string ProgressLine(const Progress& progress, int width = 30);

// "1.2 MiB", "830 KiB", "512 B".
std::string ByteCount(std::uint64_t bytes);

// Whether a header block declares UTF-8 text (charset=utf-8 in Content-Type,
// any letter case).
bool DeclaresUtf8(std::string_view headerBlock);

}  // namespace tcphost
