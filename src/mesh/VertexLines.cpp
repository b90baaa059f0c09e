#include "mesh/VertexLines.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "mesh/InputFile.h"
#include "mesh/NumberText.h"
#include "mesh/ObjReader.h"
#include "mesh/Platform.h"
#include "mesh/TextLines.h"

namespace tarvel {

namespace {

inline bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

class TVertexLineParser {
 public:
  TVertexLineParser(const std::string& fileName, std::vector<double>& xyz)
      : fileName_(fileName), xyz_(xyz) {}

  // Line `number` without its line break.
  void Line(const char* p, const char* e, long number) {
    line_ = number;
    while (p < e && IsTrimmed(*p)) ++p;
    if (e - p < 2 || p[0] != 'v' || p[1] != ' ') return;
    while (e > p && IsTrimmed(e[-1])) --e;
    p += 2;
    while (p < e && IsTrimmed(*p)) ++p;
    for (int i = 0; i < 3; ++i) {
      if (p == e) Fail("vertex needs three numbers");
      double v = 0;
      const char* end = ParseDouble(p, e, v);
      if (!end || (end < e && *end != ' ') || !std::isfinite(v)) {
        const char* blank =
            static_cast<const char*>(std::memchr(p, ' ', static_cast<std::size_t>(e - p)));
        Fail("vertex: \"" + std::string(p, blank ? blank : e) + "\" is not a number");
      }
      xyz_.push_back(v);
      p = end;
      while (p < e && IsTrimmed(*p)) ++p;
    }
  }

 private:
  [[noreturn]] void Fail(const std::string& reason) const {
    throw EObjRead(fileName_, line_, reason);
  }
  const std::string& fileName_;
  std::vector<double>& xyz_;
  long line_ = 0;
};

}  // namespace

void ReadVertexLines(const std::string& fileName, std::vector<double>& xyz, std::size_t expected,
                     IProgress* progress) {
  xyz.clear();
  TInputFile file(fileName);  // refuses anything but a regular file
  xyz.reserve(expected * 3);

  TVertexLineParser parser(fileName, xyz);
  ForEachTextLine(
      file, fileName, std::size_t{1} << 20, progress,
      [&](const char* first, const char* last, long number) { parser.Line(first, last, number); });
}

}  // namespace tarvel
