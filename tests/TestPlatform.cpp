#include "TestPlatform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif

namespace tarvel::test {

#ifdef _WIN32

int ProcessId() { return ::_getpid(); }

bool CanLimitFileSize() { return false; }

bool MakeFifo(const std::string&) { return false; }

TFileSizeLimit::TFileSizeLimit(std::uint64_t) {}

TFileSizeLimit::~TFileSizeLimit() = default;

TMemFile::TMemFile(const std::vector<std::uint8_t>& bytes) {
  static std::atomic<int> counter{0};
  name_ = (std::filesystem::temp_directory_path() /
           ("tarvel-mem-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++)))
              .string();
  fd_ = ::_open(name_.c_str(), _O_RDWR | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
  Write(bytes);
}

TMemFile::~TMemFile() {
  if (fd_ >= 0) ::_close(fd_);
  std::error_code ec;
  std::filesystem::remove(name_, ec);
}

void TMemFile::Write(const std::vector<std::uint8_t>& bytes) {
  ASSERT_GE(fd_, 0);
  ASSERT_EQ(::_lseeki64(fd_, 0, SEEK_SET), 0);
  ASSERT_EQ(::_write(fd_, bytes.data(), static_cast<unsigned>(bytes.size())),
            static_cast<int>(bytes.size()));
  Truncate(bytes.size());
}

void TMemFile::Truncate(std::size_t size) {
  ASSERT_EQ(::_chsize_s(fd_, static_cast<long long>(size)), 0);
}

#else

int ProcessId() { return static_cast<int>(::getpid()); }

bool MakeFifo(const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

bool CanLimitFileSize() { return true; }

TFileSizeLimit::TFileSizeLimit(std::uint64_t bytes) {
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  savedCurrent_ = limit.rlim_cur;
  previous_ = std::signal(SIGXFSZ, SIG_IGN);
  limit.rlim_cur = static_cast<rlim_t>(bytes);
  ok_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

TFileSizeLimit::~TFileSizeLimit() {
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(savedCurrent_);
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, previous_);
}

TMemFile::TMemFile(const std::vector<std::uint8_t>& bytes)
    : fd_(::memfd_create("tarvel-test", MFD_CLOEXEC)),
      name_("/proc/self/fd/" + std::to_string(fd_)) {
  Write(bytes);
}

TMemFile::~TMemFile() { ::close(fd_); }

void TMemFile::Write(const std::vector<std::uint8_t>& bytes) {
  ASSERT_GE(fd_, 0);
  ASSERT_EQ(::pwrite(fd_, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
  Truncate(bytes.size());
}

void TMemFile::Truncate(std::size_t size) {
  ASSERT_EQ(::ftruncate(fd_, static_cast<off_t>(size)), 0);
}

#endif

}  // namespace tarvel::test
