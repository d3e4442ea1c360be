#include "fake_files.h"

namespace tcp::fakes {

FileSystem::WriteResult FakeFileSystem::writeFile(const std::string& path, std::string_view bytes) {
  ++writes;
  if (path.empty() || unwritable.count(path)) return {0, kPathNotFound};
  files[path] = std::string(bytes);
  return {bytes.size(), 0};
}

FileSystem::ReadResult FakeFileSystem::readFile(const std::string& path, std::size_t maxBytes) {
  const auto found = files.find(path);
  if (found == files.end()) return {{}, 0x80070002};
  if (found->second.size() > maxBytes) return {{}, 0x800700DF};
  return {found->second, 0};
}

}  // namespace tcp::fakes
