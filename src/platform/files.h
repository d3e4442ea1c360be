#pragma once

#include <string>
#include <string_view>

namespace tcp {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Creates the file at path (or empties an existing one), writes bytes and
  // closes it before returning. The path is an ANSI name used unchanged.
  // Returns false when the file could not be created or written.
  virtual bool writeFile(const std::string& path, std::string_view bytes) = 0;
};

}  // namespace tcp
