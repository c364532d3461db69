// Files the fuzz targets hand to readers that only take a path: one private
// folder per run, made on first use.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzzfiles {

// `name` in the run's own folder.
inline std::string TempName(const char* name) {
  static const std::string dir = [] {
    char pattern[] = "/tmp/quillark-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    return std::string(pattern);
  }();
  return dir + "/" + name;
}

// Writes the input to `name`; false when it could not be written whole.
inline bool WriteFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

}  // namespace fuzzfiles
