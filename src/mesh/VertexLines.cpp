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

namespace tarvel {

namespace {

inline bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

class TVertexLineParser {
 public:
  TVertexLineParser(const std::string& fileName, std::vector<double>& xyz)
      : fileName_(fileName), xyz_(xyz) {}

  // One line without its line break.
  void Line(const char* p, const char* e) {
    ++line_;
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

  long LineNumber() const { return line_; }

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

  if (progress) {
    progress->SetRange(0, static_cast<int>(file.Size() / 1024 + 1));
    progress->SetPosition(0);
  }
  TVertexLineParser parser(fileName, xyz);
  std::vector<char> buf(std::size_t{1} << 20);
  std::size_t filled = 0;
  std::int64_t consumed = 0;
  // Lines end at LF (a CR before it is trimmed); a file whose first line break is a CR alone
  // has CR line ends throughout.
  char eol = '\n';
  bool eolKnown = false;
  for (bool eof = false; !eof;) {
    if (filled == buf.size()) buf.resize(buf.size() * 2);  // a line longer than the buffer
    const long got = file.Read(buf.data() + filled, buf.size() - filled);
    if (got < 0) throw EObjRead(fileName, parser.LineNumber(), std::strerror(errno));
    eof = got == 0;
    filled += static_cast<std::size_t>(got);
    const char* begin = buf.data();
    if (!eolKnown) {
      const char* brk =
          std::find_if(begin, begin + filled, [](char c) { return c == '\n' || c == '\r'; });
      if (brk + 1 < begin + filled || (eof && brk < begin + filled)) {
        eolKnown = true;
        if (*brk == '\r' && (brk + 1 == begin + filled || brk[1] != '\n')) eol = '\r';
      } else if (!eof) {
        continue;
      }
    }
    const char* stop = begin + filled;
    if (!eof) {
      const char* last = platform::FindLast(begin, eol, filled);
      if (!last) continue;
      stop = last + 1;
    }
    for (const char* p = begin; p < stop;) {
      const char* end =
          static_cast<const char*>(std::memchr(p, eol, static_cast<std::size_t>(stop - p)));
      parser.Line(p, end ? end : stop);
      p = end ? end + 1 : stop;
    }
    const std::size_t used = static_cast<std::size_t>(stop - begin);
    std::memmove(buf.data(), stop, filled - used);
    filled -= used;
    consumed += static_cast<std::int64_t>(used);
    if (progress) progress->SetPosition(static_cast<int>(consumed / 1024));
  }
  if (progress) progress->SetPosition(0);
}

}  // namespace tarvel
