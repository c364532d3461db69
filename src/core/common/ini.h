#pragma once

#include <string>

namespace quillark {

// Settings in the profile-file model: sections of keys with text values.
// Sections and keys match without regard to case.
class INI {
 public:
  virtual ~INI() = default;

  // The value of `key` in `section`, or `def` when absent; trimmed of blanks.
  virtual std::string ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) = 0;
  // Writes or replaces one value, keeping every other line of the store.
  // Returns false when the store could not be written.
  virtual bool WriteString(const std::string& section, const std::string& key,
                           const std::string& text) = 0;

  // C-style read into a caller's buffer: at most size - 1 characters and a
  // terminating NUL; returns the number of characters copied.
  int ReadString(const std::string& section, const std::string& key, const std::string& def,
                 char* buffer, int size);

  // Reads at most 63 characters of the value (default given as text) and
  // converts them like atol: leading blanks, optional sign, digits; anything
  // else reads as 0.
  long ReadInt(const std::string& section, const std::string& key, const std::string& def);
  // Writes the value as "%d".
  bool WriteInt(const std::string& section, const std::string& key, int value);
};

}  // namespace quillark
