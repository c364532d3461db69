#pragma once

#include <filesystem>
#include <string_view>

namespace quillark {

// Replaces `path` with `bytes`: written to a file beside it and renamed over
// it, so a reader never sees half a file and a failed write (a full disk, a
// crash) leaves the old file as it was. False, with nothing left behind, when
// the file could not be written.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace quillark
