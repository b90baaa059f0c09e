// Output that appears whole or not at all: files are written into a temporary folder beside
// their final place and moved there only once everything was written. Without that move the
// temporary folder and everything in it are removed, so a failure part way leaves nothing.
#pragma once

#include <filesystem>
#include <string>

namespace tarvel {

class TStagedFolder {
 public:
  // Makes a new empty temporary folder inside `parent` (created when missing), its name
  // starting with "." and `hint`. Raises std::filesystem::filesystem_error when it cannot.
  TStagedFolder(const std::filesystem::path& parent, const std::string& hint);
  // Removes the temporary folder with everything still in it.
  ~TStagedFolder();
  TStagedFolder(const TStagedFolder&) = delete;
  TStagedFolder& operator=(const TStagedFolder&) = delete;

  // Where to write.
  const std::filesystem::path& Path() const { return temp_; }
  // Moves `entry`, a file or folder directly inside the temporary folder, to the same name
  // inside the parent, replacing a file or folder of that name. On failure what was there
  // before stays. Raises std::filesystem::filesystem_error.
  void MoveOut(const std::string& entry);

 private:
  std::filesystem::path parent_;
  std::filesystem::path temp_;
  int replaced_ = 0;
};

}  // namespace tarvel
