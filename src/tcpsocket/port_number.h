#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tcp {

// A port written in decimal digits, 1 to 65535; nothing for any other text.
std::optional<std::uint16_t> ParsePort(std::string_view digits);

}  // namespace tcp
