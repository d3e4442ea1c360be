#pragma once

#include <optional>
#include <string>

namespace tcphost {

// The strings of a DLL's version resource that tcphost --version shows. The
// release travels in Comments, since FileVersion and ProductVersion keep the
// values hosts have always read.
struct DllVersion {
  std::string release;
  std::string fileVersion;
  std::string productVersion;
};

// Nothing when the file cannot be read or carries no version resource.
std::optional<DllVersion> ReadDllVersion(const std::string& path);

// "PATH: release R, FileVersion F, ProductVersion P"; "unknown" for a
// string the resource lacks.
std::string DescribeDllVersion(const std::string& path, const DllVersion& version);

}  // namespace tcphost
