// The object stream: the class registry, Put and Get, the byte encoding of every field kind,
// strings, file streams and seeking.
#include "mesh/ObjectStream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "mesh/Collection.h"
#include "mesh/ObjData.h"

namespace tarvel {
namespace {

using test::Hex;
using test::ToHex;

// Whether `text` contains `part`, showing the text when it does not.
::testing::AssertionResult HasText(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << text << "\" does not contain \"" << part << "\"";
}

// A small streamable class with one int32 field.
class TTestItem : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TTestItem";
  static constexpr std::uint16_t kStreamId = 777;
  explicit TTestItem(std::int32_t value = 0) : Value(value) {}
  explicit TTestItem(TObjectStream& s) : Value(s.ReadInt32()) {}
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override { s.WriteInt32(Value); }
  std::int32_t Value;
};

class TOtherItem : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TOtherItem";
  static constexpr std::uint16_t kStreamId = 778;
  TOtherItem() = default;
  explicit TOtherItem(TObjectStream&) {}
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream&) const override {}
};

// Not derived from the streamable base.
struct TPlainClass {
  static constexpr std::string_view kClassName = "TPlainClass";
};

// The message of the EObjectStream that `action` raises, or a note that it raised none.
std::string StreamError(const std::function<void()>& action) {
  try {
    action();
  } catch (const EObjectStream& e) {
    return e.what();
  }
  return "(no EObjectStream raised)";
}

std::vector<std::uint8_t> FileBytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// ---------------------------------------------------------------------------------------------
// Registry

struct RegistryErrorCase {
  const char* Name;
  std::function<void(TStreamRegistry&)> Setup;
  std::function<void(TStreamRegistry&)> Action;
  const char* Message;
};

TEST(StreamRegistryTest, RegistrationErrorsCarryTheirMessages) {
  const RegistryErrorCase cases[] = {
      {"no class", [](TStreamRegistry&) {}, [](TStreamRegistry& r) { r.Register(nullptr, 7); },
       "Attempt to register a NIL class with registration code 7"},
      {"no class, own id", [](TStreamRegistry&) {}, [](TStreamRegistry& r) { r.Register(nullptr); },
       "Attempt to register a NIL class with registration code 0"},
      {"id 0", [](TStreamRegistry&) {},
       [](TStreamRegistry& r) { r.Register(ClassOf<TTestItem>(), 0); },
       "Attempt to register TTestItem with registration code 0"},
      {"not streamable", [](TStreamRegistry&) {},
       [](TStreamRegistry& r) { r.Register(ClassOf<TPlainClass>(), 12); },
       "Attempt to register non streamable class TPlainClass with registration code 12"},
      {"id taken by another class",
       [](TStreamRegistry& r) { r.Register(ClassOf<TTestItem>(), 500); },
       [](TStreamRegistry& r) { r.Register(ClassOf<TOtherItem>(), 500); },
       "Attempt to register TOtherItem and TTestItem under the same registration code 500"},
      {"81st entry",
       [](TStreamRegistry& r) {
         for (std::uint16_t id = 1; id <= 80; ++id) r.Register(ClassOf<TTestItem>(), id);
       },
       [](TStreamRegistry& r) { r.Register(ClassOf<TOtherItem>(), 81); },
       "Attempt to register over 50 types"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TStreamRegistry registry;
    c.Setup(registry);
    const int before = registry.Count();
    EXPECT_EQ(StreamError([&] { c.Action(registry); }), c.Message);
    EXPECT_EQ(registry.Count(), before);
  }
}

TEST(StreamRegistryTest, SameClassUnderSameIdTwiceIsHarmlessEvenWhenFull) {
  TStreamRegistry registry;
  registry.Register(ClassOf<TTestItem>());
  registry.Register(ClassOf<TTestItem>(), TTestItem::kStreamId);
  EXPECT_EQ(registry.Count(), 1);
  for (std::uint16_t id = 1; id <= 79; ++id) registry.Register(ClassOf<TOtherItem>(), id);
  ASSERT_EQ(registry.Count(), 80);
  EXPECT_NO_THROW(registry.Register(ClassOf<TTestItem>()));
  EXPECT_NO_THROW(registry.Register(ClassOf<TOtherItem>(), 42));
  EXPECT_EQ(registry.Count(), 80);
}

TEST(StreamRegistryTest, OneClassUnderSeveralIdsIsWrittenWithTheFirst) {
  TStreamRegistry registry;
  registry.Register(ClassOf<TTestItem>(), 300);
  registry.Register(ClassOf<TTestItem>(), 301);
  EXPECT_EQ(registry.IdOfClass(ClassOf<TTestItem>()), 300);

  TObjectStream s;
  s.SetRegistry(registry);
  s.Put(TTestItem(5));
  EXPECT_EQ(ToHex(s.Bytes()), ToHex(Hex("2c 01 05 00 00 00")));

  // Both ids read as the class.
  TObjectStream r(Hex("2d 01 09 00 00 00 2c 01 0a 00 00 00"));
  r.SetRegistry(registry);
  auto a = r.GetAs<TTestItem>();
  auto b = r.GetAs<TTestItem>();
  EXPECT_EQ(a->Value, 9);
  EXPECT_EQ(b->Value, 10);
}

// ---------------------------------------------------------------------------------------------
// Put and Get

TEST(ObjectStreamTest, PutAndGetWithoutRegisteredClasses) {
  const TStreamRegistry empty;
  TObjectStream w;
  w.SetRegistry(empty);
  EXPECT_EQ(StreamError([&] { w.Put(TTestItem(1)); }),
            "Attempt to write to stream, but no registered classes");
  TObjectStream r(Hex("09 03 01 00 00 00"));
  r.SetRegistry(empty);
  EXPECT_EQ(StreamError([&] { r.Get(); }),
            "Attempt to read from stream, but no registered classes");
}

TEST(ObjectStreamTest, PutAndGetOfUnregisteredClasses) {
  TStreamRegistry registry;
  registry.Register(ClassOf<TTestItem>());
  TObjectStream w;
  w.SetRegistry(registry);
  const std::string put = StreamError([&] { w.Put(TOtherItem()); });
  EXPECT_EQ(put.rfind("Attempt to write unregistered class ", 0), 0u) << put;
  EXPECT_TRUE(HasText(put, "TOtherItem"));
  EXPECT_TRUE(put.ends_with(" to stream")) << put;
  EXPECT_TRUE(w.Bytes().empty()) << "nothing is written for a refused object";

  // A known record, then an unknown id: the error names the id and where it stood.
  TObjectStream r(Hex("09 03 01 00 00 00 39 05"));
  r.SetRegistry(registry);
  EXPECT_EQ(r.GetAs<TTestItem>()->Value, 1);
  const std::string get = StreamError([&] { r.Get(); });
  EXPECT_TRUE(HasText(get, "Attempt to read unregistered class 1337 from stream"));
  EXPECT_TRUE(HasText(get, "byte offset 6"));
}

TEST(ObjectStreamTest, GetAsRefusesAnotherClass) {
  TStreamRegistry registry;
  registry.Register(ClassOf<TTestItem>());
  registry.Register(ClassOf<TOtherItem>());
  TObjectStream r(Hex("0a 03"));
  r.SetRegistry(registry);
  EXPECT_TRUE(HasText(StreamError([&] { r.GetAs<TTestItem>(); }), "byte offset 0"));
}

TEST(ObjectStreamTest, Id80ReadsAsACollectionWrittenBackAs150) {
  // One TBaseVertex (1.0, -2.0, 0.5, index 7) in a collection stored under id 80.
  const auto bytes = Hex(
      "50 00 01 00 00 00 05 00 00 00 10 00"
      "e8 03 00 00 00 00 00 00 f0 3f 00 00 00 00 00 00 00 c0 00 00 00 00 00 00 e0 3f 07 00 00 00");
  TObjectStream r(bytes);
  auto obj = r.Get();
  auto* list = dynamic_cast<TCollection*>(obj.get());
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->Count(), 1);
  EXPECT_EQ(list->Capacity(), 5);
  auto* p = dynamic_cast<TRecordBox<TBaseVertex>*>(list->At(0));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->Value.X, 1.0);
  EXPECT_EQ(p->Value.Y, -2.0);
  EXPECT_EQ(p->Value.Z, 0.5);
  EXPECT_EQ(p->Value.Index, 7);

  TObjectStream w;
  w.Put(*list);
  auto expected = bytes;
  expected[0] = 0x96;
  EXPECT_EQ(ToHex(w.Bytes()), ToHex(expected));
}

TEST(ObjectStreamTest, DeeplyNestedObjectsFailInsteadOfExhaustingTheStack) {
  std::string hex;
  for (int i = 0; i < 5000; ++i) hex += "50 00 01 00 00 00 01 00 00 00 10 00 ";
  hex += "50 00 00 00 00 00 00 00 00 00 10 00";
  TObjectStream r(Hex(hex));
  EXPECT_TRUE(HasText(StreamError([&] { r.Get(); }), "byte offset"));
  // The stream is usable again afterwards.
  TObjectStream ok(Hex("96 00 00 00 00 00 00 00 00 00 10 00"));
  EXPECT_NE(ok.GetAs<TCollection>(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Encoding

struct PrimitiveCase {
  const char* Name;
  std::function<void(TObjectStream&)> Write;
  const char* Bytes;
  std::function<void(TObjectStream&)> ReadAndCheck;
};

TEST(ObjectStreamTest, PrimitivesAreLittleEndian) {
  const PrimitiveCase cases[] = {
      {"int32", [](TObjectStream& s) { s.WriteInt32(0x01020304); }, "04 03 02 01",
       [](TObjectStream& s) { EXPECT_EQ(s.ReadInt32(), 0x01020304); }},
      {"negative int32", [](TObjectStream& s) { s.WriteInt32(-2); }, "fe ff ff ff",
       [](TObjectStream& s) { EXPECT_EQ(s.ReadInt32(), -2); }},
      {"uint16 type id", [](TObjectStream& s) { s.WriteUInt16(0xfeca); }, "ca fe",
       [](TObjectStream& s) { EXPECT_EQ(s.ReadUInt16(), 0xfeca); }},
      {"int16", [](TObjectStream& s) { s.WriteInt16(-300); }, "d4 fe",
       [](TObjectStream& s) { EXPECT_EQ(s.ReadInt16(), -300); }},
      {"byte", [](TObjectStream& s) { s.WriteByte(0xab); }, "ab",
       [](TObjectStream& s) { EXPECT_EQ(s.ReadByte(), 0xab); }},
      {"bool true", [](TObjectStream& s) { s.WriteBool(true); }, "01",
       [](TObjectStream& s) { EXPECT_TRUE(s.ReadBool()); }},
      {"bool false", [](TObjectStream& s) { s.WriteBool(false); }, "00",
       [](TObjectStream& s) { EXPECT_FALSE(s.ReadBool()); }},
      {"single", [](TObjectStream& s) { s.WriteSingle(1.0f); }, "00 00 80 3f",
       [](TObjectStream& s) { EXPECT_EQ(s.ReadSingle(), 1.0f); }},
      {"negative single", [](TObjectStream& s) { s.WriteSingle(-10000.0f); }, "00 40 1c c6",
       [](TObjectStream& s) { EXPECT_EQ(s.ReadSingle(), -10000.0f); }},
      {"double", [](TObjectStream& s) { s.WriteDouble(1.0); }, "00 00 00 00 00 00 f0 3f",
       [](TObjectStream& s) { EXPECT_EQ(s.ReadDouble(), 1.0); }},
      {"negative double", [](TObjectStream& s) { s.WriteDouble(-2.0); }, "00 00 00 00 00 00 00 c0",
       [](TObjectStream& s) { EXPECT_EQ(s.ReadDouble(), -2.0); }},
      {"fields follow each other",
       [](TObjectStream& s) {
         s.WriteByte(1);
         s.WriteInt32(2);
         s.WriteUInt16(3);
       },
       "01 02 00 00 00 03 00",
       [](TObjectStream& s) {
         EXPECT_EQ(s.ReadByte(), 1);
         EXPECT_EQ(s.ReadInt32(), 2);
         EXPECT_EQ(s.ReadUInt16(), 3);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TObjectStream s;
    c.Write(s);
    EXPECT_EQ(ToHex(s.Bytes()), ToHex(Hex(c.Bytes)));
    TObjectStream r(Hex(c.Bytes));
    c.ReadAndCheck(r);
    EXPECT_EQ(r.BytesLeft(), 0);
  }
}

struct StringCase {
  const char* Name;
  std::string Text;
  std::vector<std::uint8_t> Bytes;
  std::string ReadBack;
};

TEST(ObjectStreamTest, StringsAreALengthThenTheText) {
  std::vector<std::uint8_t> longest = {0xff, 0xff};
  longest.insert(longest.end(), 65535, 'y');
  const StringCase cases[] = {
      {"empty", "", Hex("00 00"), ""},
      {"plain", "hip", Hex("03 00 68 69 70"), "hip"},
      {"8-bit text", "\xe9t\xe9", Hex("03 00 e9 74 e9"), "\xe9t\xe9"},
      {"stops at NUL", std::string("ab\0cd", 5), Hex("02 00 61 62"), "ab"},
      {"NUL first", std::string("\0x", 2), Hex("00 00"), ""},
      {"65535 bytes at most", std::string(70000, 'y'), longest, std::string(65535, 'y')},
      {"exactly 65535", std::string(65535, 'y'), longest, std::string(65535, 'y')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TObjectStream s;
    s.WriteString(c.Text);
    s.WriteByte(0x5a);  // what follows is not swallowed
    auto expected = c.Bytes;
    expected.push_back(0x5a);
    EXPECT_EQ(s.Bytes(), expected);
    s.Seek(0);
    EXPECT_EQ(s.ReadString(), c.ReadBack);
    EXPECT_EQ(s.ReadByte(), 0x5a);
  }
}

TEST(ObjectStreamTest, ReadsPastTheEndFailWithTheOffset) {
  const struct {
    const char* Name;
    const char* Bytes;
    std::function<void(TObjectStream&)> Read;
  } cases[] = {
      {"string longer than the rest", "05 00 61 62", [](TObjectStream& s) { s.ReadString(); }},
      {"string length cut", "05", [](TObjectStream& s) { s.ReadString(); }},
      {"int32 cut", "01 02 03", [](TObjectStream& s) { s.ReadInt32(); }},
      {"double cut", "00 00 00 00 00 00 f0", [](TObjectStream& s) { s.ReadDouble(); }},
      {"type id cut", "96", [](TObjectStream& s) { s.Get(); }},
      {"empty stream", "", [](TObjectStream& s) { s.Get(); }},
      {"bytes", "01 02",
       [](TObjectStream& s) {
         char buf[3];
         s.ReadBytes(buf, 3);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TObjectStream s(Hex(c.Bytes));
    EXPECT_TRUE(HasText(StreamError([&] { c.Read(s); }), "byte offset 0"));
  }
}

// ---------------------------------------------------------------------------------------------
// Seeking

TEST(ObjectStreamTest, SeekInMemory) {
  TObjectStream s;
  s.WriteInt32(1);
  s.WriteInt32(2);
  s.Seek(4);
  EXPECT_EQ(s.ReadInt32(), 2);
  s.Seek(8);
  EXPECT_EQ(s.BytesLeft(), 0);
  for (std::int64_t bad : {-1, 9, 1000}) {
    SCOPED_TRACE(bad);
    EXPECT_TRUE(HasText(StreamError([&] { s.Seek(bad); }), "byte offset"));
  }
  // Writing after a seek back overwrites in place.
  s.Seek(0);
  s.WriteInt32(7);
  EXPECT_EQ(s.Size(), 8);
  EXPECT_EQ(ToHex(s.Bytes()), ToHex(Hex("07 00 00 00 02 00 00 00")));
}

// ---------------------------------------------------------------------------------------------
// File streams

TEST(ObjectStreamFileTest, WriteThenReadBack) {
  test::TTempDir dir;
  const std::string file = (dir.Path() / "data.bin").string();
  TCollection points(4);
  for (int i = 0; i < 3; ++i) {
    auto p = std::make_unique<TRecordBox<TBaseVertex>>();
    p->Value.X = i;
    p->Value.Index = i;
    points.Insert(std::move(p));
  }
  TObjectStream memory;
  memory.Put(points);
  memory.WriteString("end");
  {
    TObjectStream w(file, TObjectStream::TFileMode::Write);
    w.Put(points);
    w.WriteString("end");
    w.Close();
  }
  EXPECT_EQ(ToHex(FileBytes(file)), ToHex(memory.Bytes()));

  TObjectStream r(file, TObjectStream::TFileMode::Read);
  EXPECT_EQ(r.Size(), static_cast<std::int64_t>(memory.Bytes().size()));
  auto back = r.GetAs<TCollection>();
  ASSERT_EQ(back->Count(), 3);
  EXPECT_EQ(back->Capacity(), 4);
  EXPECT_EQ(static_cast<TRecordBox<TBaseVertex>*>(back->At(2))->Value.X, 2.0);
  EXPECT_EQ(r.ReadString(), "end");
  EXPECT_EQ(r.BytesLeft(), 0);
  EXPECT_TRUE(HasText(StreamError([&] { r.ReadByte(); }), "byte offset"));
}

TEST(ObjectStreamFileTest, LargeFilesCrossTheBufferAndSeek) {
  test::TTempDir dir;
  const std::string file = (dir.Path() / "large.bin").string();
  constexpr std::int32_t kCount = 800001;  // a little over 3 MiB
  {
    TObjectStream w(file, TObjectStream::TFileMode::Write);
    w.WriteByte(0xee);  // every int32 is off the buffer's alignment
    for (std::int32_t i = 0; i < kCount; ++i) w.WriteInt32(i * 3);
    w.Close();
  }
  ASSERT_EQ(std::filesystem::file_size(file), 1u + 4u * kCount);
  TObjectStream r(file, TObjectStream::TFileMode::Read);
  EXPECT_EQ(r.ReadByte(), 0xee);
  for (std::int32_t i = 0; i < kCount; ++i) {
    const std::int32_t v = r.ReadInt32();
    if (v != i * 3) {
      ADD_FAILURE() << "int32 " << i << " read back as " << v;
      break;
    }
  }
  EXPECT_EQ(r.BytesLeft(), 0);
  // Far back, far ahead, then inside the current buffer.
  for (std::int32_t i : {0, 700000, 262143, 262144, 5, kCount - 1, 799990}) {
    SCOPED_TRACE(i);
    r.Seek(1 + 4 * static_cast<std::int64_t>(i));
    EXPECT_EQ(r.ReadInt32(), i * 3);
    EXPECT_EQ(r.Position(), 5 + 4 * static_cast<std::int64_t>(i));
  }
  EXPECT_TRUE(HasText(StreamError([&] { r.Seek(r.Size() + 1); }), "byte offset"));
}

TEST(ObjectStreamFileTest, SeekWhileWritingOverwritesAndReturns) {
  test::TTempDir dir;
  const std::string file = (dir.Path() / "seek.bin").string();
  {
    TObjectStream w(file, TObjectStream::TFileMode::Write);
    for (std::uint8_t b = 0; b < 10; ++b) w.WriteByte(b);
    w.Seek(2);
    w.WriteByte(0xaa);
    w.WriteByte(0xbb);
    w.Seek(10);
    w.WriteByte(0xcc);
    w.Close();
  }
  EXPECT_EQ(ToHex(FileBytes(file)), ToHex(Hex("00 01 aa bb 04 05 06 07 08 09 cc")));
}

TEST(ObjectStreamFileTest, FilesThatCannotBeOpenedOrWritten) {
  test::TTempDir dir;
  using Mode = TObjectStream::TFileMode;
  const std::string missing = (dir.Path() / "missing.vnx").string();
  EXPECT_THROW(TObjectStream(missing, Mode::Read), EObjectStream);
  EXPECT_THROW(TObjectStream(dir.Path().string(), Mode::Read), EObjectStream);
  EXPECT_THROW(TObjectStream((dir.Path() / "no" / "such.vnx").string(), Mode::Write),
               EObjectStream);

  // A write stream cannot be read and a read stream cannot be written.
  const std::string file = dir.Write("four.bin", "abcd");
  TObjectStream w((dir.Path() / "out.bin").string(), Mode::Write);
  EXPECT_THROW(w.ReadInt32(), EObjectStream);
  TObjectStream r(file, Mode::Read);
  EXPECT_THROW(r.WriteInt32(1), EObjectStream);
  EXPECT_EQ(r.ReadInt32(), 0x64636261);
}

TEST(ObjectStreamFileTest, CloseReportsWriteErrors) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  TObjectStream w("/dev/full", TObjectStream::TFileMode::Write);
  w.WriteString("a few bytes");
  EXPECT_TRUE(HasText(StreamError([&] { w.Close(); }), "Cannot write file"));
}

TEST(ObjectStreamFileTest, LongWritesReportErrorsBeforeClose) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  TObjectStream w("/dev/full", TObjectStream::TFileMode::Write);
  const std::vector<std::uint8_t> block(3 << 20, 0x11);
  EXPECT_THROW(w.WriteBytes(block.data(), block.size()), EObjectStream);
}

}  // namespace
}  // namespace tarvel
