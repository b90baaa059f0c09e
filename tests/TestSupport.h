// Helpers shared by the tests: temporary files and byte strings.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tarvel::test {

// A temporary folder removed when the object goes away.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  // Writes `text` (bytes as given) to a file in the folder; returns its full path.
  std::string Write(const std::string& name, const std::string& text) const;

 private:
  std::filesystem::path path_;
};

// Bytes written as hex pairs, blanks ignored: "96 00 0a 00".
std::vector<std::uint8_t> Hex(const std::string& text);
// Bytes as hex pairs separated by blanks, for failure messages.
std::string ToHex(const std::vector<std::uint8_t>& bytes);

}  // namespace tarvel::test
