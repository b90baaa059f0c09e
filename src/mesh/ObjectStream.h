// The object stream: every persistent or copied object of the program is written as a
// 16-bit type id followed by the fields its class stores, and read back by looking the id up
// in a process-wide registry of classes.
//
// Reading never trusts the data: every read is bounds-checked and a damaged stream raises
// EObjectStream with the byte offset where it went wrong.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

namespace tarvel {

class EObjectStream : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TObjectStream;
class TSafeFileWriter;

// Root of the object family. Cleanup releases what the object owns; the destructor does it
// anyway, so an owner only calls Cleanup to empty an object early.
class TExtendedObject {
 public:
  TExtendedObject() = default;
  TExtendedObject(const TExtendedObject&) = delete;
  TExtendedObject& operator=(const TExtendedObject&) = delete;
  virtual ~TExtendedObject() = default;
  virtual void Cleanup() {}
};

// A class that can be put on an object stream. Every such class also has a constructor
// taking a TObjectStream& (its Load) that reads exactly what Store wrote.
class TStreamableObject : public TExtendedObject {
 public:
  virtual std::uint16_t StreamId() const = 0;
  virtual void Store(TObjectStream& s) const = 0;
  // The class this object is written as. A typed view of a collection is still written as
  // the collection it is.
  virtual const std::type_info& StreamClass() const { return typeid(*this); }
};

using TLoadFn = std::unique_ptr<TStreamableObject> (*)(TObjectStream&);

// What the registry knows of a class.
struct TClassInfo {
  std::string_view Name;
  const std::type_info* Type = nullptr;
  bool Streamable = false;
  std::uint16_t DefaultId = 0;
  TLoadFn Load = nullptr;
};

// Plain value records (vertices, corners, faces) are not heap objects in the mesh; when one
// is read on its own through Get it arrives in this box.
template <class T>
class TRecordBox final : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = T::kClassName;
  TRecordBox() = default;
  explicit TRecordBox(TObjectStream& s) { Value.Load(s); }
  std::uint16_t StreamId() const override { return T::kStreamId; }
  void Store(TObjectStream& s) const override { Value.Store(s); }
  T Value;
};

namespace detail {
template <class T>
concept StreamableClass = std::is_base_of_v<TStreamableObject, T>;
template <class T>
concept RecordClass = requires(T t, TObjectStream& s) {
  t.Load(s);
  T::kStreamId;
}
&&!std::is_base_of_v<TStreamableObject, T>;

template <class T>
TClassInfo MakeClassInfo() {
  TClassInfo info;
  info.Name = T::kClassName;
  if constexpr (StreamableClass<T>) {
    info.Type = &typeid(T);
    info.Streamable = true;
    info.DefaultId = T::kStreamId;
    if constexpr (std::is_constructible_v<T, TObjectStream&> && !std::is_abstract_v<T>)
      info.Load = [](TObjectStream& s) -> std::unique_ptr<TStreamableObject> {
        return std::make_unique<T>(s);
      };
  } else if constexpr (RecordClass<T>) {
    info.Type = &typeid(TRecordBox<T>);
    info.Streamable = true;
    info.DefaultId = T::kStreamId;
    info.Load = [](TObjectStream& s) -> std::unique_ptr<TStreamableObject> {
      return std::make_unique<TRecordBox<T>>(s);
    };
  } else {
    info.Type = &typeid(T);
  }
  return info;
}
}  // namespace detail

// The registry's description of class T (one instance per class).
template <class T>
const TClassInfo* ClassOf() {
  static const TClassInfo info = detail::MakeClassInfo<T>();
  return &info;
}

// Pairs of (type id, class). Up to 80 entries; one class may appear under several ids, and
// writing uses its first entry.
class TStreamRegistry {
 public:
  static constexpr int kMaxEntries = 80;

  // Registers under the class's own StreamId.
  void Register(const TClassInfo* cls);
  void Register(const TClassInfo* cls, std::uint16_t id);

  // The class of the first entry with this id, or none.
  const TClassInfo* ClassOfId(std::uint16_t id) const;
  // The id of the first entry of exactly this class, or -1.
  int IdOfClass(const std::type_info& type) const;
  int IdOfClass(const TClassInfo* cls) const { return IdOfClass(*cls->Type); }
  bool Empty() const { return entries_.empty(); }
  // The same registry without the entries of these ids: what a reader of an earlier version,
  // which did not know those classes, works with.
  TStreamRegistry Without(std::initializer_list<std::uint16_t> ids) const;
  int Count() const { return static_cast<int>(entries_.size()); }

 private:
  struct Entry {
    std::uint16_t Id;
    const TClassInfo* Class;
  };
  std::vector<Entry> entries_;
};

// The process-wide registry, filled with the stream's own and the mesh classes on first use;
// the program adds the classes of the layers above when it starts.
TStreamRegistry& StreamRegistry();

// Progress of a long stream operation: a bar with a minimum, a maximum and a position.
class IProgress {
 public:
  virtual ~IProgress() = default;
  virtual void SetRange(int minimum, int maximum) = 0;
  virtual void SetPosition(int position) = 0;
};

// A byte stream over a file opened for reading, a file created for writing, or memory, with
// the object protocol on top. Reads go through one reused buffer.
class TObjectStream {
 public:
  static constexpr std::string_view kClassName = "TObjectStream";
  enum class TFileMode { Read, Write };
  static constexpr int kMaxNesting = 200;

  // An empty in-memory stream.
  TObjectStream();
  // An in-memory stream over these bytes, positioned at 0. Also a way to hand a reused buffer
  // in: call Clear() to write from the start while keeping the allocation.
  explicit TObjectStream(std::vector<std::uint8_t> bytes);
  // A file stream. Read: the file must exist. Write: the file is created or truncated.
  TObjectStream(const std::string& fileName, TFileMode mode);
  // A stream written into a safe file writer through the usual reused buffer; Close() hands
  // the last bytes over, and the caller commits the writer. Such a stream cannot seek.
  explicit TObjectStream(TSafeFileWriter& sink);
  ~TObjectStream();
  TObjectStream(const TObjectStream&) = delete;
  TObjectStream& operator=(const TObjectStream&) = delete;

  const TStreamRegistry& Registry() const { return *registry_; }
  // The progress display the records of a long stream report to: project and stack files set
  // the window's, in-memory copies leave none.
  IProgress* Progress() const { return progress_; }
  void SetProgress(IProgress* progress) { progress_ = progress; }
  void SetRegistry(const TStreamRegistry& registry) {
    registry_ = &registry;
    idCache_ = {};
  }

  // Objects.
  void Put(const TStreamableObject& obj);
  std::unique_ptr<TStreamableObject> Get();
  // Get, and fail unless the object read is a T.
  template <class T>
  std::unique_ptr<T> GetAs() {
    const std::int64_t at = Position();
    auto obj = Get();
    if (auto* typed = dynamic_cast<T*>(obj.get())) {
      obj.release();
      return std::unique_ptr<T>(typed);
    }
    FailAt(at, std::string("expected an object of class ") + std::string(T::kClassName));
  }
  // The header of an object whose class the caller knows: writes the class's id, or reads an id
  // and fails unless it names exactly that class.
  void PutHeader(const TClassInfo* cls);
  void GetHeader(const TClassInfo* cls);
  // The id to write for a class; fails when it is not registered.
  std::uint16_t IdForClass(const TClassInfo* cls) const;
  // Reads an item id and checks it names exactly cls. `cachedId` remembers the last good id so
  // that long runs of one record type skip the registry lookup.
  void GetItemHeader(const TClassInfo* cls, std::uint16_t& cachedId);

  // Raw bytes.
  void ReadBytes(void* dst, std::size_t count);
  void WriteBytes(const void* src, std::size_t count);
  std::string ReadString();
  void WriteString(std::string_view text);
  void Seek(std::int64_t position);
  std::int64_t Position() const { return bufStart_ + static_cast<std::int64_t>(pos_); }
  std::int64_t Size() const;
  std::int64_t BytesLeft() const { return Size() - Position(); }

  // Typed fields, little-endian.
  std::int32_t ReadInt32() { return ReadPod<std::int32_t>(); }
  std::uint16_t ReadUInt16() { return ReadPod<std::uint16_t>(); }
  std::int16_t ReadInt16() { return ReadPod<std::int16_t>(); }
  std::uint8_t ReadByte() { return ReadPod<std::uint8_t>(); }
  bool ReadBool() { return ReadPod<std::uint8_t>() != 0; }
  float ReadSingle() { return ReadPod<float>(); }
  double ReadDouble() { return ReadPod<double>(); }
  // A stored number that must be finite: NaN or an infinity fails, naming the record and the
  // field ("TSCTranslate field Offset.x"). Only bytes from outside are checked (a file, or
  // bytes handed to the constructor); a copy reads back what the program itself wrote, even a
  // state that a failed command left.
  float ReadFiniteSingle(std::string_view record, std::string_view field) {
    const std::int64_t at = Position();
    const float v = ReadPod<float>();
    CheckFinite(at, v, record, field);
    return v;
  }
  double ReadFiniteDouble(std::string_view record, std::string_view field) {
    const std::int64_t at = Position();
    const double v = ReadPod<double>();
    CheckFinite(at, v, record, field);
    return v;
  }
  void CheckFinite(std::int64_t at, double v, std::string_view record,
                   std::string_view field) const {
    // v - v is not 0 for NaN and the infinities.
    if (checkNumbers_ && v - v != 0) FailNotFinite(at, v, record, field);
  }
  // A stored coordinate: finite and at most `limit` in magnitude.
  void CheckCoordinate(std::int64_t at, double v, double limit, std::string_view record,
                       std::string_view field) const {
    CheckFinite(at, v, record, field);
    if (checkNumbers_ && (v > limit || v < -limit)) FailOutOfRange(at, v, record, field);
  }
  bool ChecksNumbers() const { return checkNumbers_; }
  void WriteInt32(std::int32_t v) { WritePod(v); }
  void WriteUInt16(std::uint16_t v) { WritePod(v); }
  void WriteInt16(std::int16_t v) { WritePod(v); }
  void WriteByte(std::uint8_t v) { WritePod(v); }
  void WriteBool(bool v) { WritePod<std::uint8_t>(v ? 1 : 0); }
  void WriteSingle(float v) { WritePod(v); }
  void WriteDouble(double v) { WritePod(v); }

  // Direct access for fixed-size records: the next `count` bytes to read (they are consumed),
  // or room for the next `count` bytes to write. `count` must be small (at most 64 KiB).
  const std::uint8_t* ReadSpan(std::size_t count) {
    if (end_ - pos_ < count) ReadSpanSlow(count);
    const std::uint8_t* p = buf_.data() + pos_;
    pos_ += count;
    return p;
  }
  std::uint8_t* WriteSpan(std::size_t count) {
    if (!writable_ || buf_.size() - pos_ < count) WriteSpanSlow(count);
    std::uint8_t* p = buf_.data() + pos_;
    pos_ += count;
    if (pos_ > end_) end_ = pos_;
    return p;
  }

  // Reads a count of items that each take at least minItemBytes, and fails when it is
  // negative or more than the bytes left could hold.
  std::int32_t ReadCount(std::size_t minItemBytes, std::string_view what);

  [[noreturn]] void Fail(std::string_view what) const { FailAt(Position(), what); }
  [[noreturn]] void FailAt(std::int64_t offset, std::string_view what) const;
  [[noreturn]] void FailNotFinite(std::int64_t offset, double v, std::string_view record,
                                  std::string_view field) const;
  [[noreturn]] void FailOutOfRange(std::int64_t offset, double v, std::string_view record,
                                   std::string_view field) const;

  // Nesting guard for recursive object reads.
  class TNest {
   public:
    explicit TNest(TObjectStream& s);
    ~TNest() { --s_.depth_; }
    TNest(const TNest&) = delete;
    TNest& operator=(const TNest&) = delete;

   private:
    TObjectStream& s_;
  };

  // Memory streams: the written bytes, and emptying while keeping the allocation.
  const std::vector<std::uint8_t>& Bytes() const;
  std::vector<std::uint8_t> TakeBytes();
  void Clear();
  // File streams being written: pushes the buffer to the file and closes it, raising on any
  // failure. The destructor closes quietly, so a writer calls this to learn of errors.
  void Close();

 private:
  template <class T>
  T ReadPod() {
    T v;
    if (end_ - pos_ >= sizeof(T)) {
      std::memcpy(&v, buf_.data() + pos_, sizeof(T));
      pos_ += sizeof(T);
    } else {
      ReadSlow(&v, sizeof(T));
    }
    return v;
  }
  template <class T>
  void WritePod(T v) {
    if (writable_ && buf_.size() - pos_ >= sizeof(T)) {
      std::memcpy(buf_.data() + pos_, &v, sizeof(T));
      pos_ += sizeof(T);
      if (pos_ > end_) end_ = pos_;
    } else {
      WriteBytes(&v, sizeof(T));
    }
  }
  void ReadSlow(void* dst, std::size_t count);
  void ReadSpanSlow(std::size_t count);
  void WriteSpanSlow(std::size_t count);
  // The write id of a class, remembered per stream: nested records ask for the same few
  // classes millions of times.
  std::uint16_t CachedIdForClass(const TClassInfo* cls) const;
  struct TIdCacheEntry {
    const TClassInfo* Class = nullptr;
    std::uint16_t Id = 0;
  };
  mutable std::array<TIdCacheEntry, 8> idCache_{};
  void Refill();
  void FlushWrite();

  enum class TMode { Memory, FileRead, FileWrite };
  TMode mode_;
  bool writable_ = false;
  const TStreamRegistry* registry_;
  IProgress* progress_ = nullptr;
  std::vector<std::uint8_t> buf_;
  std::size_t pos_ = 0;        // read or write position in buf_
  std::size_t end_ = 0;        // valid bytes in buf_
  std::int64_t bufStart_ = 0;  // file offset of buf_[0]
  std::int64_t fileSize_ = 0;  // FileRead: size of the file; FileWrite: bytes flushed so far
  int fd_ = -1;
  TSafeFileWriter* sink_ = nullptr;
  std::string fileName_;
  int depth_ = 0;
  bool checkNumbers_ = false;  // see CheckFinite
};

}  // namespace tarvel
