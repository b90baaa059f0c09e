#include "mesh/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "mesh/ObjReader.h"
#include "mesh/SafeFile.h"

namespace tarvel {
namespace {

using test::TTempDir;

std::string ReadBytes(const std::string& name) {
  const int fd = platform::OpenForRead(name);
  if (fd < 0) return "<cannot open>";
  std::string out;
  char buf[7];  // small, so reads end in the middle of line ends
  std::int64_t got;
  while ((got = platform::ReadSome(fd, buf, sizeof buf)) > 0)
    out.append(buf, static_cast<std::size_t>(got));
  platform::CloseFile(fd);
  return out;
}

void WriteSafely(const std::string& name, const std::string& bytes) {
  TSafeFileWriter w(name);
  w.Write(bytes);
  w.Commit();
}

std::vector<std::string> FolderNames(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(platform::NameOf(entry.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

struct TName {
  const char* Name;
  bool Utf8;
};
// Plain, with a blank, UTF-8, and 8-bit bytes that are not UTF-8 (an old Latin-1 name).
const TName kNames[] = {{"plain.obj", true},
                        {"with blank.stk", true},
                        {"K\xc3\xb6rper.obj", true},
                        {"K\xf6rper.obj", false},
                        {"\xe4\xf6\xfc.vnx", false}};

// Binary bytes: line ends of both kinds, a lone CR, a NUL and the byte that ends a text file on
// Windows.
const std::string kBytes = std::string("v 1\r\nv 2\n\r\x1a", 12) + std::string(1, '\0') + "end";

TEST(PlatformTest, FilesKeepTheirNamesAndBytesAndAreReplacedWhole) {
  for (const TName& n : kNames) {
    SCOPED_TRACE(n.Name);
    TTempDir dir;
    const std::string file = platform::NameOf(dir.Path() / platform::PathOf(n.Name));
    WriteSafely(file, kBytes);
    EXPECT_EQ(ReadBytes(file), kBytes);
    WriteSafely(file, "second");
    EXPECT_EQ(ReadBytes(file), "second");
    // One file: no temporary left beside it, and the file system knows it by the same name.
    const std::vector<std::string> names = FolderNames(dir.Path());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_regular_file(platform::PathOf(file)));
    if (n.Utf8) {
      EXPECT_EQ(names[0], n.Name);
      EXPECT_EQ(platform::NameOf(platform::PathOf(n.Name)), n.Name);
      const std::string stem(n.Name, std::string_view(n.Name).rfind('.'));
      EXPECT_EQ(MeshNameOfFile(file), stem);
    }
  }
}

TEST(PlatformTest, AFileThatCannotBeReplacedStaysAndNoTemporaryIsLeft) {
  TTempDir dir;
  const std::filesystem::path folder = dir.Path() / "taken";
  std::filesystem::create_directory(folder);
  {
    TSafeFileWriter w(platform::NameOf(folder));
    w.Write(kBytes);
    EXPECT_THROW(w.Commit(), EFileWrite);
  }
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"taken"});
}

TEST(PlatformTest, SeekAndSizeOfAnOpenFile) {
  TTempDir dir;
  const std::string file = platform::NameOf(dir.Path() / "seek.bin");
  WriteSafely(file, kBytes);
  const int fd = platform::OpenForRead(file);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(platform::RegularFileSize(fd), static_cast<std::int64_t>(kBytes.size()));
  ASSERT_TRUE(platform::SeekTo(fd, 5));
  char c = 0;
  EXPECT_EQ(platform::ReadSome(fd, &c, 1), 1);
  EXPECT_EQ(c, kBytes[5]);
  EXPECT_TRUE(platform::CloseFile(fd));
  EXPECT_LT(platform::OpenForRead(file + ".missing"), 0);
}

}  // namespace
}  // namespace tarvel
