#include "mesh/InputFile.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "mesh/FileCheck.h"
#include "mesh/ObjReader.h"
#include "mesh/Platform.h"

namespace tarvel {

namespace {

constexpr std::size_t kCompressedChunk = std::size_t{1} << 18;

bool EndsWithObz(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".obz";
}

}  // namespace

struct TInputFile::TInflater {
  z_stream Stream{};
  std::vector<unsigned char> In = std::vector<unsigned char>(kCompressedChunk);
  bool Ready = false;
  bool Ended = false;  // the last member ended and no input follows

  bool Start() {
    Stream = z_stream{};
    // 16 + MAX_WBITS: gzip framing only.
    Ready = inflateInit2(&Stream, 16 + MAX_WBITS) == Z_OK;
    Ended = false;
    return Ready;
  }
  ~TInflater() {
    if (Ready) inflateEnd(&Stream);
  }
};

// Opens only a regular file; anything else is refused before a read could block or never end.
int OpenForReading(const std::string& fileName) {
  try {
    return OpenRegularFile(fileName);
  } catch (const EFileOpen& e) {
    throw EObjRead(fileName, 0, e.Reason(), e.Sentence());
  }
}

TInputFile::TInputFile(const std::string& name) : name_(name), fd_(OpenForReading(name)) {
  unsigned char magic[2] = {0, 0};
  const long got = ReadRaw(reinterpret_cast<char*>(magic), 2);
  compressed_ = (got == 2 && magic[0] == 0x1F && magic[1] == 0x8B) || EndsWithObz(name);
  platform::SeekTo(fd_, 0);
  if (compressed_) {
    z_ = std::make_unique<TInflater>();
    if (!z_->Start()) throw EObjRead(name_, 0, "the gzip decompressor cannot start");
  }
}

TInputFile::~TInputFile() {
  if (fd_ >= 0) platform::CloseFile(fd_);
}

bool TInputFile::LooksBinary() const {
  if (compressed_) return false;
  std::array<char, 4096> probe;
  const std::int64_t got = platform::ReadAt(fd_, probe.data(), probe.size(), 0);
  return got > 0 && std::memchr(probe.data(), 0, static_cast<std::size_t>(got)) != nullptr;
}

std::int64_t TInputFile::Size() const {
  const std::int64_t size = fd_ < 0 ? -1 : platform::RegularFileSize(fd_);
  if (size < 0) return 0;
  if (!compressed_ || size < 18) return size;
  unsigned char trailer[4];
  if (platform::ReadAt(fd_, trailer, 4, size - 4) != 4) return size;
  return static_cast<std::int64_t>(trailer[0]) | static_cast<std::int64_t>(trailer[1]) << 8 |
         static_cast<std::int64_t>(trailer[2]) << 16 | static_cast<std::int64_t>(trailer[3]) << 24;
}

bool TInputFile::Rewind() {
  if (fd_ < 0 || !platform::SeekTo(fd_, 0)) return false;
  if (!compressed_) return true;
  inflateEnd(&z_->Stream);
  z_->Ready = false;
  return z_->Start();
}

long TInputFile::ReadRaw(char* dst, std::size_t count) {
  return static_cast<long>(platform::ReadSome(fd_, dst, count));
}

long TInputFile::Read(char* dst, std::size_t count) {
  return compressed_ ? Inflate(dst, count) : ReadRaw(dst, count);
}

long TInputFile::Inflate(char* dst, std::size_t count) {
  z_stream& s = z_->Stream;
  if (z_->Ended || count == 0) return 0;
  s.next_out = reinterpret_cast<Bytef*>(dst);
  s.avail_out = static_cast<uInt>(std::min<std::size_t>(count, 1u << 30));
  while (s.avail_out > 0) {
    if (s.avail_in == 0) {
      const long got = ReadRaw(reinterpret_cast<char*>(z_->In.data()), z_->In.size());
      if (got < 0) return -1;
      if (got == 0) {
        // The input ended inside a member.
        throw EObjRead(name_, 0, "the gzip stream is truncated");
      }
      s.next_in = z_->In.data();
      s.avail_in = static_cast<uInt>(got);
    }
    const int rc = inflate(&s, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      // Another member may follow (concatenated gzip files); otherwise the text ends here.
      if (s.avail_in == 0) {
        const long got = ReadRaw(reinterpret_cast<char*>(z_->In.data()), z_->In.size());
        if (got < 0) return -1;
        s.next_in = z_->In.data();
        s.avail_in = static_cast<uInt>(got);
      }
      if (s.avail_in == 0) {
        z_->Ended = true;
        break;
      }
      if (inflateReset(&s) != Z_OK) throw EObjRead(name_, 0, "the gzip stream is damaged");
      continue;
    }
    if (rc != Z_OK && rc != Z_BUF_ERROR)
      throw EObjRead(
          name_, 0,
          std::string("the gzip stream is damaged (") + (s.msg ? s.msg : "no reason") + ")");
  }
  return static_cast<long>(count - s.avail_out);
}

}  // namespace tarvel
