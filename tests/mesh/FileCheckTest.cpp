#include "mesh/FileCheck.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestPlatform.h"
#include "TestSupport.h"

namespace tarvel {
namespace {

using test::TTempDir;

TEST(FileCheckTest, OnlyRegularFilesOpen) {
  TTempDir dir;
  const std::string file = dir.Write("figure.obj", "v 0 0 0\n");
  const std::string fifo = (dir.Path() / "pipe").string();
  if (!test::MakeFifo(fifo)) GTEST_SKIP() << "this system has no FIFOs";
  const std::string missing = (dir.Path() / "none.obj").string();
  const std::string inFile = file + "/x.obj";  // a path through a file
  struct TCase {
    std::string File;
    std::string Reason;  // empty: opens
  };
  const std::vector<TCase> cases = {
      {file, ""},
      {dir.Path().string(), dir.Path().string() + " is a folder"},
      {fifo, fifo + " is not a regular file"},
      {"/dev/null", "/dev/null is not a regular file"},
      {missing, missing + ": no such file"},
      {inFile, inFile + ": no such file"},
  };
  for (const TCase& tc : cases) {
    SCOPED_TRACE(tc.File);
    EXPECT_EQ(NotRegularFile(tc.File), tc.Reason);
    if (tc.Reason.empty()) {
      const int fd = OpenRegularFile(tc.File);
      char c = 0;
      EXPECT_EQ(::read(fd, &c, 1), 1);  // blocking reads again
      EXPECT_EQ(c, 'v');
      ::close(fd);
      continue;
    }
    try {
      ::close(OpenRegularFile(tc.File));
      ADD_FAILURE() << "opened";
    } catch (const EFileOpen& e) {
      EXPECT_EQ(std::string(e.what()), tc.Reason);
    }
  }
}

TEST(FileCheckTest, PrintableTextKeepsValidUtf8AndEscapesTheRest) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain text 1.5", "plain text 1.5"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"tab\there\r\n", "tab\\x09here\\x0D\\x0A"},
      {std::string("nul\0end", 7), "nul\\x00end"},
      {"\x7F", "\\x7F"},
      {"\xC2\x85", "\\xC2\\x85"},                    // C1 control character
      {"\xC3\x28", "\\xC3("},                        // broken sequence
      {"\xC0\xAF", "\\xC0\\xAF"},                    // overlong
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},           // surrogate
      {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},  // above U+10FFFF
      {"\xE2\x82", "\\xE2\\x82"},                    // cut short at the end
      {"\x1F\x8B\x08", "\\x1F\\x8B\\x08"},           // gzip magic
  };
  for (const auto& [bytes, printable] : cases) {
    EXPECT_EQ(PrintableText(bytes), printable);
    // Escaped text is printable already.
    EXPECT_EQ(PrintableText(printable), printable);
  }
}

}  // namespace
}  // namespace tarvel
