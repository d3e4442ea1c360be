#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tcp {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Creates the file at path (or empties an existing one), writes bytes and
  // closes it before returning. The path is an ANSI name used unchanged.
  // Gives how many bytes were written, and 0 or the HRESULT-style code of why
  // the file could not be created or written (0x80070003 for a missing folder).
  struct WriteResult {
    std::uint64_t written = 0;
    std::uint32_t error = 0;
  };
  virtual WriteResult writeFile(const std::string& path, std::string_view bytes) = 0;

  // The whole content of the file at path (an ANSI name used unchanged), or
  // the HRESULT-style code of why not. A file larger than maxBytes is
  // refused unread.
  struct ReadResult {
    std::string bytes;
    std::uint32_t error = 0;
  };
  virtual ReadResult readFile(const std::string& path, std::size_t maxBytes) = 0;
};

}  // namespace tcp
