#include "mesh/SafeFile.h"

#include "mesh/FileCheck.h"
#include "mesh/Platform.h"

#include <cerrno>
#include <cstring>

namespace tarvel {

namespace {
constexpr std::size_t kBufferSize = 1 << 16;
}

TSafeFileWriter::TSafeFileWriter(std::string fileName) : fileName_(std::move(fileName)) {
  fd_ = platform::CreateUnique(fileName_, tempName_);
  if (fd_ < 0)
    throw EFileWrite("Cannot create file \"" + PrintableText(fileName_) +
                     "\": " + std::strerror(errno));
  buf_.reserve(kBufferSize);
}

TSafeFileWriter::~TSafeFileWriter() {
  if (fd_ >= 0) platform::CloseFile(fd_);
  if (!committed_) platform::RemoveFile(tempName_);
}

void TSafeFileWriter::Fail(const std::string& what) {
  const std::string reason = std::strerror(errno);
  if (fd_ >= 0) platform::CloseFile(fd_);
  fd_ = -1;
  platform::RemoveFile(tempName_);
  throw EFileWrite(what + " \"" + PrintableText(fileName_) + "\": " + reason);
}

void TSafeFileWriter::Flush() {
  std::size_t done = 0;
  while (done < buf_.size()) {
    const std::int64_t put = platform::WriteSome(fd_, buf_.data() + done, buf_.size() - done);
    if (put < 0) Fail("Cannot write file");
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
  if (!platform::SyncFile(fd_)) Fail("Cannot write file");
  const int fd = fd_;
  fd_ = -1;
  if (!platform::CloseFile(fd)) Fail("Cannot write file");
  if (!platform::MoveOver(tempName_, fileName_)) Fail("Cannot replace file");
  committed_ = true;
}

}  // namespace tarvel
