// Writing a file so that a failure never leaves it truncated: the bytes go to a temporary file
// beside it, which replaces the file only once everything was written.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarvel {

// A file that could not be written, with the system's reason.
class EFileWrite : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TSafeFileWriter {
 public:
  // Creates the temporary file beside `fileName`; raises EFileWrite when it cannot.
  explicit TSafeFileWriter(std::string fileName);
  // Without Commit the temporary file is removed and the target is left as it was.
  ~TSafeFileWriter();
  TSafeFileWriter(const TSafeFileWriter&) = delete;
  TSafeFileWriter& operator=(const TSafeFileWriter&) = delete;

  void Write(std::string_view bytes);
  const std::string& FileName() const { return fileName_; }
  // Flushes, closes and renames the temporary file over the target.
  void Commit();

 private:
  void Flush();
  [[noreturn]] void Fail(const std::string& what);
  std::string fileName_;
  std::string tempName_;
  int fd_ = -1;
  std::vector<char> buf_;
  bool committed_ = false;
};

}  // namespace tarvel
