#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tcp {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The bytes to write, piece after piece: each call gives the next piece,
  // an empty one ends them. Never throws.
  using Pieces = std::function<std::string_view()>;

  // Creates the file at path (or empties an existing one), writes the pieces
  // and closes it before returning. The path is an ANSI name used unchanged.
  // Gives how many bytes were written, and 0 or the HRESULT-style code of why
  // the file could not be created or written (0x80070003 for a missing folder).
  struct WriteResult {
    std::uint64_t written = 0;
    std::uint32_t error = 0;
  };
  virtual WriteResult writeFile(const std::string& path, const Pieces& pieces) = 0;

  // Moves the file at from to the name to, replacing a file of that name;
  // 0 or the HRESULT-style code of why not.
  virtual std::uint32_t replaceFile(const std::string& from, const std::string& to) = 0;

  // Deletes the file at path, when it can.
  virtual void removeFile(const std::string& path) = 0;

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
