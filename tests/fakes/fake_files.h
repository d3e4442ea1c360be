#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/files.h"

namespace tcp::fakes {

// Files kept in memory; the empty path and paths named in unwritable fail as
// a path in a missing folder does.
class FakeFileSystem : public FileSystem {
 public:
  static constexpr std::uint32_t kPathNotFound = 0x80070003;
  WriteResult writeFile(const std::string& path, std::string_view bytes) override;
  // Paths not in files fail with ERROR_FILE_NOT_FOUND's code.
  ReadResult readFile(const std::string& path, std::size_t maxBytes) override;

  std::map<std::string, std::string> files;
  std::set<std::string> unwritable;
  int writes = 0;
};

}  // namespace tcp::fakes
