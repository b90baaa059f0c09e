#include "mesh/ObjReader.h"

#include "mesh/FileCheck.h"
#include "mesh/InputFile.h"
#include "mesh/NumberText.h"
#include "mesh/Platform.h"
#include "mesh/TextLines.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <span>
#include <unordered_set>

namespace tarvel {

EObjRead::EObjRead(std::string file, long line, std::string reason, bool sentence)
    : std::runtime_error(PrintableText(file) +
                         (line > 0 ? ", line " + std::to_string(line) : std::string()) +
                         (sentence ? " " : ": ") + reason),
      file_(std::move(file)),
      line_(line),
      reason_(std::move(reason)) {}

namespace {

constexpr std::array<std::array<int, 3>, 33> kColourTable = {{
    {0, 204, 255},   {0, 255, 255},   {255, 153, 255}, {153, 153, 255}, {0, 153, 255},
    {204, 102, 255}, {153, 255, 204}, {0, 255, 204},   {200, 200, 200}, {0, 200, 200},
    {51, 255, 153},  {51, 204, 153},  {255, 153, 153}, {204, 153, 153}, {153, 153, 153},
    {51, 153, 153},  {0, 255, 102},   {204, 204, 102}, {51, 204, 102},  {204, 153, 102},
    {153, 153, 102}, {51, 153, 102},  {204, 102, 102}, {102, 102, 102}, {204, 51, 102},
    {255, 204, 51},  {204, 204, 51},  {153, 204, 51},  {51, 204, 51},   {255, 153, 51},
    {102, 153, 51},  {204, 102, 51},  {102, 102, 51},
}};

// Blanks and control characters are trimmed from both ends of a line and of fields.
inline bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }
// A blank or a tab separates a keyword from its fields and one number from the next.
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
inline const char* FindBlank(const char* p, const char* e) {
  while (p < e && !IsBlank(*p)) ++p;
  return p < e ? p : nullptr;
}

struct TText {
  const char* p;
  const char* e;
  bool Empty() const { return p == e; }
  std::size_t Size() const { return static_cast<std::size_t>(e - p); }
  std::string_view View() const { return {p, Size()}; }
  bool StartsWith(std::string_view prefix) const {
    return Size() >= prefix.size() && std::memcmp(p, prefix.data(), prefix.size()) == 0;
  }
  // The keyword followed by a blank or a tab.
  bool IsKeyword(std::string_view keyword) const {
    return Size() > keyword.size() && std::memcmp(p, keyword.data(), keyword.size()) == 0 &&
           IsBlank(p[keyword.size()]);
  }
};

inline TText Trim(TText t) {
  while (t.p < t.e && IsTrimmed(*t.p)) ++t.p;
  while (t.e > t.p && IsTrimmed(t.e[-1])) --t.e;
  return t;
}

// The fields after the keyword: from the first blank on, trimmed.
inline TText AfterKeyword(TText line) {
  const char* blank = FindBlank(line.p, line.e);
  return Trim(TText{blank ? blank + 1 : line.e, line.e});
}

struct TCornerText {
  std::int32_t Vertex = 0;
  std::int32_t Tex = 0;  // 0: none
  std::int32_t Normal = 0;
};

class TObjParser {
 public:
  TObjParser(TObjData& mesh, std::string fileName) : mesh_(mesh), fileName_(std::move(fileName)) {}
  // Target geometry: only "v " lines count, each one position.
  TObjParser(TObjData& scratch, std::string fileName, TRecordList<TBaseVertex>& positions)
      : mesh_(scratch), fileName_(std::move(fileName)), positions_(&positions) {}

  void Line(TText raw, long number);
  void Finish();

 private:
  [[noreturn]] void Fail(const std::string& reason) const {
    throw EObjRead(fileName_, line_, reason);
  }
  // Groups, materials and smoothing groups by name: an open-addressing table of positions in
  // their list, hashed on the name with ASCII letters folded as SameText folds them. It holds
  // no copies of the names, so a new name costs no allocation here.
  struct TNameIndex {
    std::vector<std::int32_t> Slots;  // -1: empty; the size is a power of two
  };
  double Number(const char*& p, const char* e, const char* what) const;
  void Point(TText fields, TBaseVertex& p, bool optionalThird, const char* what);
  void Vertex(TText line);
  void TexVert(TText line);
  void Normal(TText line);
  void Face(TText line);
  TCornerText Corner(const char*& p, const char* e) const;
  template <class T>
  std::int32_t Select(TTypedCollection<T>& list, TNameIndex& index, TText line,
                      std::int32_t& counter, bool hasId);

  void BuildGroupVertexLists();
  void ComputeNormals();
  void AssignColours();

  TObjData& mesh_;
  std::string fileName_;
  TRecordList<TBaseVertex>* positions_ = nullptr;
  long line_ = 0;
  std::int32_t normalsRead_ = 0;
  std::int32_t groupCounter_ = 0;
  std::int32_t materialCounter_ = 0;
  std::int32_t smoothCounter_ = 0;
  std::int32_t currentGroup_ = 0;
  std::int32_t currentMaterial_ = 0;
  std::int32_t currentSmooth_ = 0;
  // The group-material pair whose entry the last face made sure of.
  std::int32_t entryGroup_ = -1;
  std::int32_t entryMaterial_ = -1;
  TNameIndex groupIndex_, materialIndex_, smoothIndex_;
  // Group and material of every group-material entry made, as (group << 32) | material.
  std::unordered_set<std::uint64_t> entries_;
};

// The text of the field that starts at p, up to the next blank, fit for a message.
inline std::string FieldText(const char* p, const char* e) {
  const char* blank = FindBlank(p, e);
  return PrintableText(std::string_view(p, static_cast<std::size_t>((blank ? blank : e) - p)));
}

// Skips the blank that ends a field and the blanks and control characters after it.
inline const char* NextField(const char* p, const char* e) {
  while (p < e && IsTrimmed(*p)) ++p;
  return p;
}

// A field must be exactly one number: it ends at a blank or at the end of the line.
double TObjParser::Number(const char*& p, const char* e, const char* what) const {
  double v = 0;
  const char* end = ParseDouble(p, e, v);
  if (!end || (end < e && !IsBlank(*end)) || !std::isfinite(v))
    Fail(std::string(what) + ": \"" + FieldText(p, e) + "\" is not a number");
  if (std::fabs(v) > kCoordinateLimit)
    Fail(std::string(what) + ": \"" + FieldText(p, e) +
         "\" is out of range (more than 1e9 in magnitude)");
  p = end;
  return v;
}

// Three fields separated by blanks; a fourth and later ones are ignored. Texture lines may stop
// after two, and then w is 0.
void TObjParser::Point(TText fields, TBaseVertex& pt, bool optionalThird, const char* what) {
  const char* p = fields.p;
  const char* e = fields.e;
  auto need = [&] {
    if (p == e)
      Fail(std::string(what) + " needs " + (optionalThird ? "two or three" : "three") + " numbers");
  };
  need();
  pt.X = Number(p, e, what);
  p = NextField(p, e);
  need();
  pt.Y = Number(p, e, what);
  p = NextField(p, e);
  if (p == e && optionalThird) {
    pt.Z = 0;
    return;
  }
  need();
  pt.Z = Number(p, e, what);
}

void TObjParser::Vertex(TText line) {
  TBaseVertex p;
  Point(AfterKeyword(line), p, false, "vertex");
  TObjVertex& v = mesh_.Vertices.Items().emplace_back();
  v.Index = v.Id = mesh_.Vertices.Count() - 1;
  v.SetX(p.X);
  v.Y = p.Y;
  v.Z = p.Z;
}

void TObjParser::TexVert(TText line) {
  TBaseVertex p;
  Point(AfterKeyword(line), p, true, "texture coordinate");
  p.Index = mesh_.TexVerts.Count();
  mesh_.TexVerts.Add(p);
}

void TObjParser::Normal(TText line) {
  // Normals read from the file are replaced by computed ones; only their count matters for
  // checking the face lines that refer to them.
  TBaseVertex p;
  Point(AfterKeyword(line), p, false, "normal");
  ++normalsRead_;
}

// One corner token v, v/t, v//n or v/t/n at p; leaves p at the end of the token.
TCornerText TObjParser::Corner(const char*& p, const char* e) const {
  TCornerText c;
  const char* start = p;
  auto bad = [&](const char* what) {
    Fail(std::string("face corner \"") + FieldText(start, e) + "\": " + what);
  };
  const char* q = ParseInt32(p, e, c.Vertex);
  if (!q) bad("the vertex number is not a whole number");
  if (q < e && *q == '/') {
    ++q;
    if (q < e && *q != '/' && !IsBlank(*q)) {
      q = ParseInt32(q, e, c.Tex);
      if (!q) bad("the texture number is not a whole number");
    }
    if (q < e && *q == '/') {
      ++q;
      if (q < e && !IsBlank(*q)) {
        q = ParseInt32(q, e, c.Normal);
        if (!q) bad("the normal number is not a whole number");
      }
    }
  }
  if (q < e && !IsBlank(*q)) bad("unexpected text");
  p = q;
  return c;
}

void TObjParser::Face(TText line) {
  const TText fields = AfterKeyword(line);
  const std::int32_t vertexCount = mesh_.Vertices.Count();
  const std::int32_t texCount = mesh_.TexVerts.Count();
  auto& corners = mesh_.Faces.AllCorners();
  const std::size_t first = corners.size();
  const char* p = fields.p;
  const char* e = fields.e;
  while (p < e) {
    const TCornerText c = Corner(p, e);
    p = NextField(p, e);
    if (c.Vertex < 1 || c.Vertex > vertexCount)
      Fail("face refers to vertex " + std::to_string(c.Vertex) + ", but " +
           std::to_string(vertexCount) + " vertices were read before it" +
           (c.Vertex < 0 ? " (relative numbers are not supported)" : ""));
    if (c.Tex < 0 || c.Tex > texCount)
      Fail("face refers to texture coordinate " + std::to_string(c.Tex) + ", but " +
           std::to_string(texCount) + " were read before it");
    if (c.Normal < 0 || c.Normal > normalsRead_)
      Fail("face refers to normal " + std::to_string(c.Normal) + ", but " +
           std::to_string(normalsRead_) + " were read before it");
    corners.push_back({c.Vertex - 1, -1, c.Tex - 1});
  }
  const std::size_t count = corners.size() - first;
  if (count < 3) Fail("a face needs at least three corners, this one has " + std::to_string(count));

  TObjFace face;
  face.Id = mesh_.Faces.Count();
  face.GroupIndex = currentGroup_;
  face.MaterialIndex = currentMaterial_;
  face.SmoothIndex = currentSmooth_;
  TGroup& group = *mesh_.Groups[currentGroup_];
  if (entryGroup_ != currentGroup_ || entryMaterial_ != currentMaterial_) {
    const std::uint64_t pair = (std::uint64_t{static_cast<std::uint32_t>(currentGroup_)} << 32) |
                               static_cast<std::uint32_t>(currentMaterial_);
    if (entries_.insert(pair).second) group.AddEntryForMaterial(currentMaterial_);
    entryGroup_ = currentGroup_;
    entryMaterial_ = currentMaterial_;
  }
  group.Faces.push_back(face.Id);
  mesh_.Faces.AddWithCorners(face, first, static_cast<std::int32_t>(count));
}

// FNV-1a over the name with ASCII letters folded to lower case.
inline std::size_t FoldedHash(std::string_view name) {
  std::uint64_t h = 14695981039346656037ull;
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    h = (h ^ ((c >= 'A' && c <= 'Z') ? c + 32u : c)) * 1099511628211ull;
  }
  return static_cast<std::size_t>(h ^ (h >> 29));
}

template <class T>
std::int32_t TObjParser::Select(TTypedCollection<T>& list, TNameIndex& index, TText line,
                                std::int32_t& counter, bool hasId) {
  auto place = [&](std::int32_t item) {
    const std::size_t mask = index.Slots.size() - 1;
    std::size_t s = FoldedHash(list[item]->Name) & mask;
    while (index.Slots[s] >= 0) s = (s + 1) & mask;
    index.Slots[s] = item;
  };
  // At most half full: every item of the list is in the table.
  if (index.Slots.size() < 2 * static_cast<std::size_t>(list.Count()) + 2) {
    index.Slots.assign(std::max<std::size_t>(64, index.Slots.size() * 2), -1);
    while (index.Slots.size() < 2 * static_cast<std::size_t>(list.Count()) + 2)
      index.Slots.resize(index.Slots.size() * 2, -1);
    for (std::int32_t i = 0; i < list.Count(); ++i) place(i);
  }
  const std::string_view name = AfterKeyword(line).View();
  const std::size_t mask = index.Slots.size() - 1;
  for (std::size_t s = FoldedHash(name) & mask; index.Slots[s] >= 0; s = (s + 1) & mask)
    if (SameText(list[index.Slots[s]]->Name, name)) return index.Slots[s];
  auto item = std::make_unique<T>(&mesh_);
  item->SetName(name);
  if constexpr (requires { item->Id; }) {
    if (hasId) item->Id = counter;
  }
  ++counter;
  const std::int32_t at = list.Insert(std::move(item));
  place(at);
  return at;
}

void TObjParser::Line(TText raw, long number) {
  line_ = number;
  // A UTF-8 byte order mark before the first line is no part of it.
  if (number == 1 && raw.StartsWith("\xEF\xBB\xBF")) raw.p += 3;
  const TText line = Trim(raw);
  if (line.Empty() || *line.p == '#') return;
  if (positions_) {
    if (line.IsKeyword("v")) {
      TBaseVertex& p = positions_->Add(TBaseVertex{});
      Point(AfterKeyword(line), p, false, "vertex");
      p.Index = positions_->Count() - 1;
    }
    return;
  }
  if (line.IsKeyword("v")) {
    Vertex(line);
  } else if (line.IsKeyword("vt")) {
    TexVert(line);
  } else if (line.IsKeyword("vn")) {
    Normal(line);
  } else if (line.IsKeyword("f") || line.StartsWith("fo")) {
    Face(line);
  } else if (line.IsKeyword("g")) {
    currentGroup_ = Select(mesh_.Groups, groupIndex_, line, groupCounter_, true);
  } else if (line.IsKeyword("usemtl")) {
    currentMaterial_ = Select(mesh_.Materials, materialIndex_, line, materialCounter_, true);
  } else if (line.IsKeyword("s")) {
    currentSmooth_ = Select(mesh_.Smooths, smoothIndex_, line, smoothCounter_, false);
  }
}

// Each group's vertex list holds the distinct vertices of its faces in ascending order, each
// with a copy of its position as the shaped position; every corner then points at its entry.
void TObjParser::BuildGroupVertexLists() {
  const std::size_t vertexCount = static_cast<std::size_t>(mesh_.Vertices.Count());
  std::vector<std::int32_t> stamp(vertexCount, -1);
  std::vector<std::int32_t> position(vertexCount);
  std::vector<std::int32_t> used;
  auto& corners = mesh_.Faces.AllCorners();
  for (std::int32_t gi = 0; gi < mesh_.Groups.Count(); ++gi) {
    TGroup& g = *mesh_.Groups[gi];
    used.clear();
    std::int32_t lo = INT32_MAX, hi = -1;
    for (std::int32_t fi : g.Faces) {
      const TObjFace& f = mesh_.Faces[fi];
      for (std::int32_t k = 0; k < f.CornerCount; ++k) {
        const std::int32_t v = corners[f.FirstCorner + static_cast<std::size_t>(k)].VertexIndex;
        if (stamp[static_cast<std::size_t>(v)] == gi) continue;
        stamp[static_cast<std::size_t>(v)] = gi;
        used.push_back(v);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
    }
    if (!used.empty() && static_cast<std::size_t>(hi - lo) < 4 * used.size()) {
      // Body parts usually use a compact range of vertices: collect them in order.
      used.clear();
      for (std::int32_t v = lo; v <= hi; ++v)
        if (stamp[static_cast<std::size_t>(v)] == gi) used.push_back(v);
    } else {
      std::sort(used.begin(), used.end());
    }
    auto& entries = g.Vertices.List.Items();
    entries.resize(used.size());
    for (std::size_t k = 0; k < used.size(); ++k) {
      const TObjVertex& v = mesh_.Vertices[used[k]];
      TGroupVertex& e = entries[k];
      e.Shaped.X = v.X;
      e.Shaped.Y = v.Y;
      e.Shaped.Z = v.Z;
      e.VertexIndex = used[k];
      position[static_cast<std::size_t>(used[k])] = static_cast<std::int32_t>(k);
    }
    for (std::int32_t fi : g.Faces) {
      const TObjFace& f = mesh_.Faces[fi];
      for (std::int32_t k = 0; k < f.CornerCount; ++k) {
        TFaceVert& c = corners[f.FirstCorner + static_cast<std::size_t>(k)];
        c.GroupVertexIndex = position[static_cast<std::size_t>(c.VertexIndex)];
      }
    }
  }
}

struct TVec3f {
  float X = 0, Y = 0, Z = 0;
};

inline TVec3f Sub(TVec3f a, TVec3f b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
inline TVec3f Cross(TVec3f a, TVec3f b) {
  return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}
// A vector without length has no direction: it stays (0, 0, 0).
inline TVec3f Normalised(TVec3f v) {
  const float len = std::sqrt(v.X * v.X + v.Y * v.Y + v.Z * v.Z);
  if (!(len > 0) || !std::isfinite(len)) return {};
  return {v.X / len, v.Y / len, v.Z / len};
}
inline TVec3f TriangleNormal(TVec3f a, TVec3f b, TVec3f c) {
  return Normalised(Cross(Sub(b, a), Sub(c, a)));
}

// Face normals are the normalised sums of the unit normals of their fan triangles; each vertex
// then gets the normalised sum of the normals of the faces that use it. Normals read from the
// file do not survive.
void TObjParser::ComputeNormals() {
  // The sums are kept in the normals themselves. They start at -0, which leaves the first
  // face normal added exactly as it is, signed zeros included.
  const std::size_t vertexCount = static_cast<std::size_t>(mesh_.Vertices.Count());
  const std::span<TNormalList::TNormal> sums =
      mesh_.Normals.Reset(vertexCount, {-0.0f, -0.0f, -0.0f});
  auto at = [&](const TFaceVert& c) {
    const TObjVertex& v = mesh_.Vertices[c.VertexIndex];
    return TVec3f{static_cast<float>(v.X), static_cast<float>(v.Y), static_cast<float>(v.Z)};
  };
  for (const TObjFace& f : mesh_.Faces) {
    const auto corners = mesh_.Faces.Corners(f);
    const TVec3f p0 = at(corners[0]);
    TVec3f n = TriangleNormal(p0, at(corners[1]), at(corners[2]));
    for (std::size_t i = 3; i < corners.size(); ++i) {
      const TVec3f t = TriangleNormal(at(corners[i - 1]), at(corners[i]), p0);
      n = {n.X + t.X, n.Y + t.Y, n.Z + t.Z};
    }
    n = Normalised(n);
    for (const TFaceVert& c : corners) {
      TNormalList::TNormal& s = sums[static_cast<std::size_t>(c.VertexIndex)];
      s = {s.X + n.X, s.Y + n.Y, s.Z + n.Z};
    }
  }
  for (TNormalList::TNormal& s : sums) {
    const TVec3f n = Normalised({s.X, s.Y, s.Z});
    s = {n.X, n.Y, n.Z};
  }
  // Every corner takes its vertex's computed normal.
  mesh_.Faces.ResetNormalIndices();
}

void TObjParser::AssignColours() {
  std::size_t ordinal = 0;
  mesh_.Groups.ForEach([&](TGroup& g) { g.SetColor(TableColour(ordinal++)); });
  mesh_.Materials.ForEach([&](TMaterial& m) { m.SetColor(TableColour(ordinal++)); });
}

void TObjParser::Finish() {
  line_ = 0;
  BuildGroupVertexLists();
  ComputeNormals();
  AssignColours();
  mesh_.Groups.ForEach([](TGroup& g) { g.Refresh(); });
}

// Plain or gzip-compressed OBJ text, read in chunks.
using TFileReader = TInputFile;

struct TRecordCounts {
  std::size_t Vertices = 0, TexVerts = 0, Faces = 0;
};

// A quick pass over the file counting vertex, texture and face lines; only a size hint.
TRecordCounts CountRecords(TFileReader& file) {
  TRecordCounts counts;
  std::vector<char> buf(std::size_t{1} << 20);
  std::size_t filled = 0;
  for (;;) {
    const long got = file.Read(buf.data() + filled, buf.size() - filled);
    if (got < 0) return counts;
    filled += static_cast<std::size_t>(got);
    const char* p = buf.data();
    const char* e = p + filled;
    const char* stop = got == 0 ? e : platform::FindLast(p, '\n', filled);
    if (!stop) {
      if (filled == buf.size()) buf.resize(buf.size() * 2);
      continue;
    }
    if (got != 0) ++stop;
    while (p < stop) {
      while (p < stop && IsTrimmed(*p)) ++p;
      if (stop - p >= 2) {
        if (p[0] == 'v' && p[1] == ' ')
          ++counts.Vertices;
        else if (p[0] == 'v' && p[1] == 't')
          ++counts.TexVerts;
        else if (p[0] == 'f' && (p[1] == ' ' || p[1] == 'o'))
          ++counts.Faces;
      }
      const char* nl =
          static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(stop - p)));
      p = nl ? nl + 1 : stop;
    }
    const std::size_t used = static_cast<std::size_t>(stop - buf.data());
    std::memmove(buf.data(), stop, filled - used);
    filled -= used;
    if (got == 0) return counts;
  }
}

// Feeds every line of the file to the parser, reading it in chunks through one buffer, and
// drives the progress bar by bytes read.
void ReadLines(TFileReader& file, const std::string& fileName, const TObjReadOptions& options,
               TObjParser& parser) {
  ForEachTextLine(file, fileName, options.ChunkSize, options.Progress,
                  [&](const char* first, const char* last, long number) {
                    parser.Line(TText{first, last}, number);
                  });
}

}  // namespace

std::int32_t TableColour(std::size_t ordinal) {
  const auto& c = kColourTable[ordinal % kColourTable.size()];
  return RGBValue(c[0], c[1], c[2]);
}

std::string MeshNameOfFile(const std::string& fileName) {
  const std::filesystem::path path = platform::PathOf(fileName);
  std::string name = platform::NameOf(path.filename());
  const std::string ext = platform::NameOf(path.extension());
  if (!ext.empty()) name = name.substr(0, name.find(ext));
  return name;
}

void LoadFromObj(TObjData& mesh, const std::string& fileName, const TObjReadOptions& options) {
  // The three "default" entries come first, so faces before any group, material or smoothing
  // line belong to them; they keep the id -1.
  {
    auto group = std::make_unique<TGroup>(&mesh);
    group->SetName("default");
    mesh.Groups.Insert(std::move(group));
    auto material = std::make_unique<TMaterial>(&mesh);
    material->SetName("default");
    mesh.Materials.Insert(std::move(material));
    auto smooth = std::make_unique<TSmooth>(&mesh);
    smooth->SetName("default");
    mesh.Smooths.Insert(std::move(smooth));
  }
  std::error_code ec;
  if (!std::filesystem::exists(platform::PathOf(fileName), ec)) return;

  TFileReader file(fileName);
  if (file.LooksBinary()) throw EObjRead(fileName, 0, "holds no geometry", true);
  mesh.Name = MeshNameOfFile(fileName);
  mesh.FileName = fileName;

  // Knowing the counts first, the big arrays are allocated once at their final size instead of
  // growing by copies; fresh memory is expensive to touch.
  const TRecordCounts counts = CountRecords(file);
  if (!file.Rewind()) throw EObjRead(fileName, 0, std::strerror(errno));
  mesh.Vertices.Reserve(counts.Vertices);
  mesh.TexVerts.Reserve(counts.TexVerts);
  mesh.Faces.Items().reserve(counts.Faces);
  mesh.Faces.AllCorners().reserve(counts.Faces * 4);

  TObjParser parser(mesh, fileName);
  ReadLines(file, fileName, options, parser);
  if (mesh.Vertices.Count() == 0 || mesh.Faces.Count() == 0)
    throw EObjRead(fileName, 0, "holds no geometry", true);
  parser.Finish();
}

void ReadTargetGeometry(const std::string& fileName, TRecordList<TBaseVertex>& positions,
                        const TObjReadOptions& options) {
  positions.Clear();
  TFileReader file(fileName);
  if (file.LooksBinary()) throw EObjRead(fileName, 0, "holds no geometry", true);
  TObjData scratch;
  TObjParser parser(scratch, fileName, positions);
  ReadLines(file, fileName, options, parser);
}

}  // namespace tarvel
