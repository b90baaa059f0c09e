#include "mesh/InputFile.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "mesh/ObjReader.h"
#include "mesh/VertexLines.h"
#include "stack/EditStateFixture.h"

namespace tarvel {
namespace {

using test::TTempDir;

std::string ReadAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// `text` gzip-compressed into `file`, in `members` concatenated gzip members.
std::string WriteGzip(const TTempDir& dir, const std::string& name, const std::string& text,
                      int members = 1) {
  const std::string file = (dir.Path() / name).string();
  std::string all;
  const std::size_t step = text.size() / static_cast<std::size_t>(members) + 1;
  for (std::size_t at = 0; at < text.size(); at += step) {
    const std::string part = (dir.Path() / "part.gz").string();
    gzFile gz = gzopen(part.c_str(), "wb9");
    const std::string piece = text.substr(at, step);
    gzwrite(gz, piece.data(), static_cast<unsigned>(piece.size()));
    gzclose(gz);
    all += ReadAll(part);
  }
  return dir.Write(name, all);
}

std::string SampleText() { return ReadAll(std::string(TARVEL_SAMPLES_DIR) + "/figure.obj"); }

std::vector<std::uint8_t> MeshBytes(TObjData& mesh) {
  mesh.FileName.clear();
  return test::StoredBytes(mesh);
}

TEST(InputFileTest, CompressedFiguresLoadIdenticallyToTheirObj) {
  TTempDir dir;
  const std::string text = SampleText();
  TObjData plain;
  // Group-material entries draw random ids: every load starts from the same seed.
  SeedRandomIds(17);
  LoadFromObj(plain, std::string(TARVEL_SAMPLES_DIR) + "/figure.obj");
  struct TCase {
    const char* Name;
    int Members;
    std::size_t Chunk;
  };
  // ".obz" by its name, and a file that starts with the gzip magic whatever its name; several
  // members, and chunks so small that lines and the inflater's output split everywhere.
  for (const TCase& k :
       {TCase{"figure.obz", 1, std::size_t{1} << 20}, TCase{"figure.obj", 3, std::size_t{1} << 20},
        TCase{"figure.OBZ", 1, 16}}) {
    const std::string file = WriteGzip(dir, k.Name, text, k.Members);
    TObjData packed;
    TObjReadOptions options;
    options.ChunkSize = k.Chunk;
    SeedRandomIds(17);
    LoadFromObj(packed, file, options);
    EXPECT_EQ(packed.Name, "figure") << k.Name;
    EXPECT_EQ(MeshBytes(packed), MeshBytes(plain)) << k.Name;
  }
}

TEST(InputFileTest, TargetGeometryAndSculptsReadThroughGzipToo) {
  TTempDir dir;
  const std::string text = "# t\nv 1 2 3\nvn 0 0 1\nf 1 1 1\nv 4 5 6\n";
  const std::string file = WriteGzip(dir, "t.obz", text);
  TRecordList<TBaseVertex> positions;
  ReadTargetGeometry(file, positions);
  ASSERT_EQ(positions.Count(), 2);
  EXPECT_EQ(positions[1].Y, 5);
  std::vector<double> xyz;
  ReadVertexLines(file, xyz);
  EXPECT_EQ(xyz, (std::vector<double>{1, 2, 3, 4, 5, 6}));
}

TEST(InputFileTest, DamagedOrTruncatedStreamIsAnErrorNamingTheFile) {
  TTempDir dir;
  const std::string good = ReadAll(WriteGzip(dir, "good.obz", SampleText()));
  std::string damaged = good;
  for (std::size_t i = damaged.size() / 2; i < damaged.size() / 2 + 64; ++i) damaged[i] ^= 0x5A;
  struct TCase {
    const char* Name;
    std::string Bytes;
    const char* Reason;
  };
  for (const TCase& k : {TCase{"damaged.obz", damaged, "damaged"},
                         TCase{"cut.obz", good.substr(0, good.size() / 2), "truncated"},
                         TCase{"plain-text.obz", "v 1 2 3\n", "damaged"}}) {
    const std::string file = dir.Write(k.Name, k.Bytes);
    TObjData mesh;
    try {
      LoadFromObj(mesh, file);
      ADD_FAILURE() << k.Name << " loaded";
    } catch (const EObjRead& e) {
      EXPECT_EQ(e.File(), file);
      EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
      EXPECT_NE(e.Reason().find(k.Reason), std::string::npos) << e.what();
    }
    std::vector<double> xyz;
    EXPECT_THROW(ReadVertexLines(file, xyz), EObjRead) << k.Name;
  }
}

TEST(VertexLinesTest, OnlyVertexLinesCountAndBadNumbersNameTheLine) {
  TTempDir dir;
  std::vector<double> xyz;
  // CR-only line ends, blanks around, a fourth number ignored, keywords that only look alike.
  ReadVertexLines(dir.Write("a.obj", "  v 1 2 3 \rvt 9 9\rV 7 7 7\rv\t8 8 8\rv 4 5 6 1\r"), xyz);
  EXPECT_EQ(xyz, (std::vector<double>{1, 2, 3, 4, 5, 6}));

  const std::string bad = dir.Write("b.obj", "v 1 2 3\r\ng x\r\nv 1 2,5 3\r\n");
  try {
    ReadVertexLines(bad, xyz);
    ADD_FAILURE() << "read";
  } catch (const EObjRead& e) {
    EXPECT_EQ(e.Line(), 3);
    EXPECT_NE(e.Reason().find("2,5"), std::string::npos) << e.what();
  }
  EXPECT_THROW(ReadVertexLines(dir.Write("c.obj", "v 1 2\n"), xyz), EObjRead);
  EXPECT_THROW(ReadVertexLines((dir.Path() / "missing.obj").string(), xyz), EObjRead);
  EXPECT_THROW(ReadVertexLines(dir.Path().string(), xyz), EObjRead);
}

}  // namespace
}  // namespace tarvel
