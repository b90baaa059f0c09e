// What the tests need of the system where Linux and Windows differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarvel::test {

int ProcessId();

// Makes a FIFO at `path`; false where the system has none (Windows).
bool MakeFifo(const std::string& path);

// Whether this system can limit the size of the files a process writes (Windows cannot).
bool CanLimitFileSize();

// Limits the size of files this process writes, as a full disk would; restores the limit on
// destruction.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(std::uint64_t bytes);
  ~TFileSizeLimit();
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;
  bool Ok() const { return ok_; }

 private:
  std::uint64_t savedCurrent_ = 0;
  void (*previous_)(int) = nullptr;
  bool ok_ = false;
};

// A file named by a path the readers accept; rewriting and cutting it is cheap, so a test can try
// every prefix of a file (in memory on Linux, a temporary file on Windows).
class TMemFile {
 public:
  explicit TMemFile(const std::vector<std::uint8_t>& bytes);
  ~TMemFile();
  TMemFile(const TMemFile&) = delete;
  TMemFile& operator=(const TMemFile&) = delete;
  const std::string& Name() const { return name_; }
  void Write(const std::vector<std::uint8_t>& bytes);
  void Truncate(std::size_t size);

 private:
  int fd_ = -1;
  std::string name_;
};

}  // namespace tarvel::test
