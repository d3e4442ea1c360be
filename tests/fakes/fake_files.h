#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "platform/files.h"

namespace tcp::fakes {

// Files kept in memory; the empty path, paths named in unwritable and the
// paths beside them (with ".part" added) fail as a path in a missing folder does.
class FakeFileSystem : public FileSystem {
 public:
  static constexpr std::uint32_t kPathNotFound = 0x80070003;
  // A write fails as a full disk does once the file would grow past
  // spaceLeft bytes, leaving what fitted.
  static constexpr std::uint32_t kDiskFull = 0x80070070;
  WriteResult writeFile(const std::string& path, const Pieces& pieces) override;
  // A missing from fails with ERROR_FILE_NOT_FOUND's code.
  std::uint32_t replaceFile(const std::string& from, const std::string& to) override;
  void removeFile(const std::string& path) override;
  // Paths not in files fail with ERROR_FILE_NOT_FOUND's code.
  ReadResult readFile(const std::string& path, std::size_t maxBytes) override;

  std::map<std::string, std::string> files;
  std::set<std::string> unwritable;
  std::size_t spaceLeft = SIZE_MAX;
  int writes = 0;

 private:
  bool blocked(const std::string& path) const;
};

}  // namespace tcp::fakes
