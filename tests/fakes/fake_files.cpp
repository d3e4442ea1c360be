#include "fake_files.h"

namespace tcp::fakes {

bool FakeFileSystem::writeFile(const std::string& path, std::string_view bytes) {
  ++writes;
  if (path.empty() || unwritable.count(path)) return false;
  files[path] = std::string(bytes);
  return true;
}

}  // namespace tcp::fakes
