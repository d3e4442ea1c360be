#include "fake_files.h"

namespace tcp::fakes {

bool FakeFileSystem::writeFile(const std::string& path, std::string_view bytes) {
  ++writes;
  if (path.empty() || unwritable.count(path)) return false;
  files[path] = std::string(bytes);
  return true;
}

FileSystem::ReadResult FakeFileSystem::readFile(const std::string& path, std::size_t maxBytes) {
  const auto found = files.find(path);
  if (found == files.end()) return {{}, 0x80070002};
  if (found->second.size() > maxBytes) return {{}, 0x800700DF};
  return {found->second, 0};
}

}  // namespace tcp::fakes
