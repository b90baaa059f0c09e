#include "mesh/SafeFile.h"

#include "mesh/FileCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarvel {

namespace {
constexpr std::size_t kBufferSize = 1 << 16;
}

TSafeFileWriter::TSafeFileWriter(std::string fileName) : fileName_(std::move(fileName)) {
  tempName_ = fileName_ + ".XXXXXX";
  std::vector<char> name(tempName_.begin(), tempName_.end());
  name.push_back('\0');
  fd_ = ::mkstemp(name.data());
  if (fd_ < 0)
    throw EFileWrite("Cannot create file \"" + PrintableText(fileName_) +
                     "\": " + std::strerror(errno));
  tempName_ = name.data();
  // A new file gets the usual permissions rather than mkstemp's private ones.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
  buf_.reserve(kBufferSize);
}

TSafeFileWriter::~TSafeFileWriter() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_) ::unlink(tempName_.c_str());
}

void TSafeFileWriter::Fail(const std::string& what) {
  const std::string reason = std::strerror(errno);
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  ::unlink(tempName_.c_str());
  throw EFileWrite(what + " \"" + PrintableText(fileName_) + "\": " + reason);
}

void TSafeFileWriter::Flush() {
  std::size_t done = 0;
  while (done < buf_.size()) {
    const ssize_t put = ::write(fd_, buf_.data() + done, buf_.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      Fail("Cannot write file");
    }
    done += static_cast<std::size_t>(put);
  }
  buf_.clear();
}

void TSafeFileWriter::Write(std::string_view bytes) {
  if (fd_ < 0)
    throw EFileWrite("Cannot write file \"" + PrintableText(fileName_) + "\": already closed");
  if (buf_.size() + bytes.size() > kBufferSize) Flush();
  if (bytes.size() >= kBufferSize) {
    buf_.assign(bytes.begin(), bytes.end());
    Flush();
    return;
  }
  buf_.insert(buf_.end(), bytes.begin(), bytes.end());
}

void TSafeFileWriter::Commit() {
  Flush();
  if (::fsync(fd_) != 0 && errno != EINVAL) Fail("Cannot write file");
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Fail("Cannot write file");
  if (std::rename(tempName_.c_str(), fileName_.c_str()) != 0) Fail("Cannot replace file");
  committed_ = true;
}

}  // namespace tarvel
