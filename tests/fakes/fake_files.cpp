#include "fake_files.h"

#include <algorithm>

namespace tcp::fakes {

namespace {
constexpr std::uint32_t kFileNotFound = 0x80070002;
}  // namespace

// Beside an unwritable path is in the same missing folder.
bool FakeFileSystem::blocked(const std::string& path) const {
  constexpr std::string_view kPart = ".part";
  const bool beside = path.size() > kPart.size() && path.ends_with(kPart);
  return path.empty() || unwritable.count(path) ||
         (beside && unwritable.count(path.substr(0, path.size() - kPart.size())));
}

FileSystem::WriteResult FakeFileSystem::writeFile(const std::string& path, const Pieces& pieces) {
  ++writes;
  if (blocked(path)) return {0, kPathNotFound};
  std::string& file = files[path];
  file.clear();
  for (std::string_view piece; !(piece = pieces()).empty();) {
    const std::size_t fits = std::min(piece.size(), spaceLeft - std::min(spaceLeft, file.size()));
    file.append(piece.substr(0, fits));
    if (fits < piece.size()) return {file.size(), kDiskFull};
  }
  return {file.size(), 0};
}

std::uint32_t FakeFileSystem::replaceFile(const std::string& from, const std::string& to) {
  const auto found = files.find(from);
  if (found == files.end()) return kFileNotFound;
  if (blocked(to)) return kPathNotFound;
  if (from == to) return 0;
  files[to] = std::move(found->second);
  files.erase(from);
  return 0;
}

void FakeFileSystem::removeFile(const std::string& path) { files.erase(path); }

FileSystem::ReadResult FakeFileSystem::readFile(const std::string& path, std::size_t maxBytes) {
  const auto found = files.find(path);
  if (found == files.end()) return {{}, kFileNotFound};
  if (found->second.size() > maxBytes) return {{}, 0x800700DF};
  return {found->second, 0};
}

}  // namespace tcp::fakes
