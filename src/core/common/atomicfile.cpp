#include "core/common/atomicfile.h"

#include <utility>

namespace quillark {

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  AtomicFileWriter writer(path);
  return writer.Write(bytes) && writer.Commit();
}

AtomicFileWriter::AtomicFileWriter(std::filesystem::path target)
    : path(std::move(target)), temp(path) {
  temp += ".part";
  file = std::fopen(temp.c_str(), "wb");
  failed = file == nullptr;
}

AtomicFileWriter::~AtomicFileWriter() {
  Discard();
}

bool AtomicFileWriter::Write(std::string_view bytes) {
  if (file == nullptr || failed) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) failed = true;
  return !failed;
}

bool AtomicFileWriter::Commit() {
  if (file == nullptr) return false;
  bool ok = !failed && std::ferror(file) == 0;
  ok = std::fclose(file) == 0 && ok;
  file = nullptr;
  std::error_code ec;
  if (ok) {
    std::filesystem::rename(temp, path, ec);
    ok = !ec;
  }
  if (!ok) {
    failed = true;
    std::filesystem::remove(temp, ec);
  }
  return ok;
}

void AtomicFileWriter::Discard() {
  if (file == nullptr) return;
  std::fclose(file);
  file = nullptr;
  failed = true;
  std::error_code ec;
  std::filesystem::remove(temp, ec);
}

}  // namespace quillark
