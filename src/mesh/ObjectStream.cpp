#include "mesh/ObjectStream.h"

#include "mesh/FileCheck.h"
#include "mesh/Platform.h"
#include "mesh/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarvel {

namespace {

constexpr std::size_t kFileBufferSize = 1 << 20;

std::string Format(const char* fmt, auto... args) {
  char buf[512];
  std::snprintf(buf, sizeof buf, fmt, args...);
  return buf;
}

std::string SystemReason() { return std::strerror(errno); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Registry

void TStreamRegistry::Register(const TClassInfo* cls) { Register(cls, cls ? cls->DefaultId : 0); }

void TStreamRegistry::Register(const TClassInfo* cls, std::uint16_t id) {
  if (!cls)
    throw EObjectStream(Format("Attempt to register a NIL class with registration code %d", id));
  const std::string name(cls->Name);
  if (id == 0)
    throw EObjectStream(Format("Attempt to register %s with registration code 0", name.c_str()));
  if (!cls->Streamable)
    throw EObjectStream(Format(
        "Attempt to register non streamable class %s with registration code %d", name.c_str(), id));
  for (const Entry& e : entries_) {
    if (e.Id != id) continue;
    if (e.Class == cls || *e.Class->Type == *cls->Type) return;
    const std::string other(e.Class->Name);
    throw EObjectStream(Format("Attempt to register %s and %s under the same registration code %d",
                               name.c_str(), other.c_str(), id));
  }
  if (Count() >= kMaxEntries) throw EObjectStream("Attempt to register over 50 types");
  entries_.push_back({id, cls});
}

const TClassInfo* TStreamRegistry::ClassOfId(std::uint16_t id) const {
  for (const Entry& e : entries_)
    if (e.Id == id) return e.Class;
  return nullptr;
}

TStreamRegistry TStreamRegistry::Without(std::initializer_list<std::uint16_t> ids) const {
  TStreamRegistry r;
  for (const Entry& e : entries_)
    if (std::find(ids.begin(), ids.end(), e.Id) == ids.end()) r.entries_.push_back(e);
  return r;
}

int TStreamRegistry::IdOfClass(const std::type_info& type) const {
  for (const Entry& e : entries_)
    if (*e.Class->Type == type) return e.Id;
  return -1;
}

// ---------------------------------------------------------------------------------------------
// Stream

TObjectStream::TObjectStream()
    : mode_(TMode::Memory), writable_(true), registry_(&StreamRegistry()) {}

TObjectStream::TObjectStream(std::vector<std::uint8_t> bytes)
    : mode_(TMode::Memory),
      writable_(true),
      registry_(&StreamRegistry()),
      buf_(std::move(bytes)),
      end_(buf_.size()),
      checkNumbers_(true) {}

TObjectStream::TObjectStream(const std::string& fileName, TFileMode mode)
    : mode_(mode == TFileMode::Read ? TMode::FileRead : TMode::FileWrite),
      writable_(mode == TFileMode::Write),
      registry_(&StreamRegistry()),
      fileName_(fileName) {
  checkNumbers_ = mode == TFileMode::Read;
  if (mode == TFileMode::Read) {
    // Only a regular file: a FIFO or a device would block or never end.
    try {
      fd_ = OpenRegularFile(fileName);
    } catch (const EFileOpen& e) {
      throw EObjectStream(e.what());
    }
    fileSize_ = platform::RegularFileSize(fd_);
    if (fileSize_ < 0) {
      platform::CloseFile(fd_);
      fd_ = -1;
      throw EObjectStream("Cannot read file \"" + PrintableText(fileName) +
                          "\": " + SystemReason());
    }
    buf_.resize(kFileBufferSize);
  } else {
    fd_ = platform::OpenForWrite(fileName);
    if (fd_ < 0) throw EObjectStream("Cannot create file \"" + fileName + "\": " + SystemReason());
    buf_.resize(kFileBufferSize);
  }
}

TObjectStream::TObjectStream(TSafeFileWriter& sink)
    : mode_(TMode::FileWrite),
      writable_(true),
      registry_(&StreamRegistry()),
      sink_(&sink),
      fileName_(sink.FileName()) {
  buf_.resize(kFileBufferSize);
}

TObjectStream::~TObjectStream() {
  if (fd_ >= 0) {
    if (mode_ == TMode::FileWrite) {
      try {
        FlushWrite();
      } catch (const EObjectStream&) {
        // A writer that cares calls Close() and sees the error there.
      }
    }
    platform::CloseFile(fd_);
  }
}

void TObjectStream::Close() {
  if (sink_) {
    FlushWrite();
    sink_ = nullptr;
    return;
  }
  if (fd_ < 0) return;
  if (mode_ == TMode::FileWrite) FlushWrite();
  const int fd = fd_;
  fd_ = -1;
  if (!platform::CloseFile(fd) && mode_ == TMode::FileWrite)
    throw EObjectStream("Cannot write file \"" + fileName_ + "\": " + SystemReason());
}

std::int64_t TObjectStream::Size() const {
  switch (mode_) {
    case TMode::Memory:
      return static_cast<std::int64_t>(end_);
    case TMode::FileRead:
      return fileSize_;
    case TMode::FileWrite:
      return std::max(fileSize_, bufStart_ + static_cast<std::int64_t>(end_));
  }
  return 0;
}

void TObjectStream::FailAt(std::int64_t offset, std::string_view what) const {
  std::string msg = "Damaged object stream";
  if (!fileName_.empty()) msg += " \"" + PrintableText(fileName_) + "\"";
  msg += " at byte offset " + std::to_string(offset) + ": ";
  msg += what;
  throw EObjectStream(msg);
}

void TObjectStream::FailNotFinite(std::int64_t offset, double v, std::string_view record,
                                  std::string_view field) const {
  FailAt(offset, std::string(record) + " field " + std::string(field) +
                     " is not a finite number (" +
                     (v != v  ? "nan"
                      : v < 0 ? "-inf"
                              : "inf") +
                     ")");
}

void TObjectStream::FailOutOfRange(std::int64_t offset, double v, std::string_view record,
                                   std::string_view field) const {
  char value[32];
  std::snprintf(value, sizeof value, "%g", v);
  FailAt(offset,
         std::string(record) + " field " + std::string(field) + " is out of range (" + value + ")");
}

void TObjectStream::Refill() {
  // Keep the unread tail, then read as much as fits.
  const std::size_t tail = end_ - pos_;
  std::memmove(buf_.data(), buf_.data() + pos_, tail);
  bufStart_ += static_cast<std::int64_t>(pos_);
  pos_ = 0;
  end_ = tail;
  while (end_ < buf_.size()) {
    const std::int64_t got = platform::ReadSome(fd_, buf_.data() + end_, buf_.size() - end_);
    if (got < 0) throw EObjectStream("Cannot read file \"" + fileName_ + "\": " + SystemReason());
    if (got == 0) break;
    end_ += static_cast<std::size_t>(got);
  }
}

void TObjectStream::ReadSlow(void* dst, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(dst);
  if (mode_ == TMode::FileWrite) Fail("the stream is open for writing");
  if (count > static_cast<std::uint64_t>(std::max<std::int64_t>(BytesLeft(), 0)))
    Fail("the stream ends " + std::to_string(BytesLeft()) + " bytes further, " +
         std::to_string(count) + " bytes were needed");
  while (count > 0) {
    if (pos_ == end_) {
      if (mode_ != TMode::FileRead) Fail("unexpected end of stream");
      Refill();
      if (pos_ == end_) Fail("unexpected end of file");
    }
    const std::size_t n = std::min(count, end_ - pos_);
    std::memcpy(out, buf_.data() + pos_, n);
    pos_ += n;
    out += n;
    count -= n;
  }
}

// Makes `count` bytes readable at pos_, or fails.
void TObjectStream::ReadSpanSlow(std::size_t count) {
  if (mode_ == TMode::FileWrite) Fail("the stream is open for writing");
  if (static_cast<std::int64_t>(count) > BytesLeft())
    Fail("the stream ends " + std::to_string(std::max<std::int64_t>(BytesLeft(), 0)) +
         " bytes further, " + std::to_string(count) + " bytes were needed");
  if (mode_ != TMode::FileRead || count > buf_.size()) Fail("unexpected end of stream");
  Refill();
  if (end_ - pos_ < count) Fail("unexpected end of file");
}

// Makes room for `count` bytes at pos_.
void TObjectStream::WriteSpanSlow(std::size_t count) {
  if (!writable_) Fail("the stream is open for reading");
  if (mode_ == TMode::Memory) {
    buf_.resize(std::max(pos_ + count, std::max<std::size_t>(256, buf_.size() * 2)));
    return;
  }
  FlushWrite();
  if (buf_.size() < count) buf_.resize(count);
}

void TObjectStream::ReadBytes(void* dst, std::size_t count) {
  if (end_ - pos_ >= count) {
    if (count) std::memcpy(dst, buf_.data() + pos_, count);
    pos_ += count;
  } else {
    ReadSlow(dst, count);
  }
}

void TObjectStream::FlushWrite() {
  if (sink_) {
    sink_->Write(std::string_view(reinterpret_cast<const char*>(buf_.data()), end_));
    bufStart_ += static_cast<std::int64_t>(end_);
    fileSize_ = bufStart_;
    pos_ = end_ = 0;
    return;
  }
  if (fd_ < 0) throw EObjectStream("Cannot write file \"" + fileName_ + "\": already closed");
  std::size_t done = 0;
  while (done < end_) {
    const std::int64_t put = platform::WriteSome(fd_, buf_.data() + done, end_ - done);
    if (put < 0) throw EObjectStream("Cannot write file \"" + fileName_ + "\": " + SystemReason());
    done += static_cast<std::size_t>(put);
  }
  // A seek back must not forget how far the file already reaches.
  fileSize_ = std::max(fileSize_, bufStart_ + static_cast<std::int64_t>(end_));
  bufStart_ += static_cast<std::int64_t>(end_);
  pos_ = end_ = 0;
}

void TObjectStream::WriteBytes(const void* src, std::size_t count) {
  if (!writable_) Fail("the stream is open for reading");
  const auto* in = static_cast<const std::uint8_t*>(src);
  if (mode_ == TMode::Memory) {
    if (buf_.size() - pos_ < count)
      buf_.resize(std::max(pos_ + count, std::max<std::size_t>(256, buf_.size() * 2)));
    if (count) std::memcpy(buf_.data() + pos_, in, count);
    pos_ += count;
    end_ = std::max(end_, pos_);
    return;
  }
  // File: the buffer only ever holds bytes not yet written, and pos_ == end_.
  while (count > 0) {
    if (pos_ == buf_.size()) FlushWrite();
    const std::size_t n = std::min(count, buf_.size() - pos_);
    std::memcpy(buf_.data() + pos_, in, n);
    pos_ += n;
    end_ = pos_;
    in += n;
    count -= n;
  }
}

std::string TObjectStream::ReadString() {
  const std::int64_t at = Position();
  const std::uint16_t len = ReadUInt16();
  if (len > BytesLeft())
    FailAt(at, "a string of " + std::to_string(len) + " bytes runs past the end of the stream");
  std::string text(len, '\0');
  ReadBytes(text.data(), len);
  return text;
}

void TObjectStream::WriteString(std::string_view text) {
  // Text stops at a NUL character, and a length has 16 bits.
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  if (text.size() > 65535) text = text.substr(0, 65535);
  WriteUInt16(static_cast<std::uint16_t>(text.size()));
  WriteBytes(text.data(), text.size());
}

void TObjectStream::Seek(std::int64_t position) {
  if (position < 0 || position > Size())
    FailAt(position, "seek outside the stream of " + std::to_string(Size()) + " bytes");
  switch (mode_) {
    case TMode::Memory:
      pos_ = static_cast<std::size_t>(position);
      return;
    case TMode::FileRead:
      if (position >= bufStart_ && position <= bufStart_ + static_cast<std::int64_t>(end_)) {
        pos_ = static_cast<std::size_t>(position - bufStart_);
        return;
      }
      if (!platform::SeekTo(fd_, position))
        throw EObjectStream("Cannot read file \"" + fileName_ + "\": " + SystemReason());
      bufStart_ = position;
      pos_ = end_ = 0;
      return;
    case TMode::FileWrite:
      if (sink_) Fail("a stream written into a safe file cannot seek");
      FlushWrite();
      if (!platform::SeekTo(fd_, position))
        throw EObjectStream("Cannot write file \"" + fileName_ + "\": " + SystemReason());
      bufStart_ = position;
      return;
  }
}

std::int32_t TObjectStream::ReadCount(std::size_t minItemBytes, std::string_view what) {
  const std::int64_t at = Position();
  const std::int32_t count = ReadInt32();
  if (count < 0) FailAt(at, "negative count " + std::to_string(count) + " of " + std::string(what));
  if (minItemBytes > 0 &&
      static_cast<std::uint64_t>(count) > static_cast<std::uint64_t>(BytesLeft()) / minItemBytes)
    FailAt(at, "count " + std::to_string(count) + " of " + std::string(what) +
                   " is more than the " + std::to_string(BytesLeft()) + " bytes left could hold");
  return count;
}

TObjectStream::TNest::TNest(TObjectStream& s) : s_(s) {
  if (++s_.depth_ > kMaxNesting) {
    --s_.depth_;
    s_.Fail("objects nested more than " + std::to_string(kMaxNesting) + " deep");
  }
}

const std::vector<std::uint8_t>& TObjectStream::Bytes() const {
  if (mode_ != TMode::Memory) throw EObjectStream("Bytes() of a file stream");
  // The buffer may be larger than what was written; callers see only the written part.
  const_cast<std::vector<std::uint8_t>&>(buf_).resize(end_);
  return buf_;
}

std::vector<std::uint8_t> TObjectStream::TakeBytes() {
  if (mode_ != TMode::Memory) throw EObjectStream("TakeBytes() of a file stream");
  buf_.resize(end_);
  pos_ = end_ = 0;
  return std::move(buf_);
}

void TObjectStream::Clear() {
  if (mode_ != TMode::Memory) throw EObjectStream("Clear() of a file stream");
  pos_ = end_ = 0;
  checkNumbers_ = false;
}

// ---------------------------------------------------------------------------------------------
// Objects

std::uint16_t TObjectStream::IdForClass(const TClassInfo* cls) const {
  if (registry_->Empty())
    throw EObjectStream("Attempt to write to stream, but no registered classes");
  const int id = registry_->IdOfClass(cls);
  if (id < 0)
    throw EObjectStream(
        Format("Attempt to write unregistered class %s to stream", std::string(cls->Name).c_str()));
  return static_cast<std::uint16_t>(id);
}

void TObjectStream::Put(const TStreamableObject& obj) {
  // What the program writes into memory it reads back as it is.
  if (mode_ == TMode::Memory) checkNumbers_ = false;
  if (registry_->Empty())
    throw EObjectStream("Attempt to write to stream, but no registered classes");
  const int id = registry_->IdOfClass(obj.StreamClass());
  if (id < 0) {
    // Name the class as the registry would; an unregistered class has no registry name.
    throw EObjectStream(
        Format("Attempt to write unregistered class %s to stream", obj.StreamClass().name()));
  }
  WriteUInt16(static_cast<std::uint16_t>(id));
  obj.Store(*this);
}

std::unique_ptr<TStreamableObject> TObjectStream::Get() {
  TNest nest(*this);
  const std::int64_t at = Position();
  if (registry_->Empty())
    throw EObjectStream("Attempt to read from stream, but no registered classes");
  const std::uint16_t id = ReadUInt16();
  const TClassInfo* cls = registry_->ClassOfId(id);
  if (!cls) FailAt(at, Format("Attempt to read unregistered class %d from stream", id));
  if (!cls->Load) FailAt(at, "class " + std::string(cls->Name) + " cannot be read on its own");
  return cls->Load(*this);
}

std::uint16_t TObjectStream::CachedIdForClass(const TClassInfo* cls) const {
  TIdCacheEntry& e = idCache_[(reinterpret_cast<std::uintptr_t>(cls) >> 4) & 7];
  if (e.Class != cls) e = {cls, IdForClass(cls)};
  return e.Id;
}

void TObjectStream::PutHeader(const TClassInfo* cls) { WriteUInt16(CachedIdForClass(cls)); }

void TObjectStream::GetHeader(const TClassInfo* cls) {
  // The usual case: the id this stream would write for the class. Ids name one class each, so
  // a match needs no registry lookup.
  const TIdCacheEntry& e = idCache_[(reinterpret_cast<std::uintptr_t>(cls) >> 4) & 7];
  std::uint16_t expected = e.Class == cls ? e.Id : 0;
  GetItemHeader(cls, expected);
  if (e.Class != cls && !registry_->Empty() && registry_->IdOfClass(cls) == expected)
    idCache_[(reinterpret_cast<std::uintptr_t>(cls) >> 4) & 7] = {cls, expected};
}

void TObjectStream::GetItemHeader(const TClassInfo* cls, std::uint16_t& cachedId) {
  const std::int64_t at = Position();
  const std::uint16_t id = ReadUInt16();
  if (id == cachedId && id != 0) return;
  if (registry_->Empty())
    throw EObjectStream("Attempt to read from stream, but no registered classes");
  const TClassInfo* found = registry_->ClassOfId(id);
  if (!found) FailAt(at, Format("Attempt to read unregistered class %d from stream", id));
  if (*found->Type != *cls->Type)
    FailAt(at, "expected an object of class " + std::string(cls->Name) + ", found " +
                   std::string(found->Name));
  cachedId = id;
}

}  // namespace tarvel
