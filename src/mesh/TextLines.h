// The lines of a text file, read in chunks through one reused buffer: the readers of OBJ text
// and of vertex lines share it.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "mesh/InputFile.h"
#include "mesh/ObjReader.h"
#include "mesh/ObjectStream.h"
#include "mesh/Platform.h"

namespace tarvel {

// Hands every line of `file` to `line(first, last, number)`, without its line break (a CR
// before an LF stays, for the caller's trimming); numbers start at 1. Lines end at LF; a file
// whose first line break is a CR alone has CR line ends throughout. A line longer than the
// buffer grows it. The progress display, when there is one, runs over the file's size in KiB
// and is left at 0. A read error raises EObjRead with the number of the last line handed on.
template <class LineFn>
void ForEachTextLine(TInputFile& file, const std::string& fileName, std::size_t chunkSize,
                     IProgress* progress, LineFn&& line) {
  if (progress) {
    progress->SetRange(0, static_cast<int>(file.Size() / 1024 + 1));
    progress->SetPosition(0);
  }
  std::vector<char> buf(std::max<std::size_t>(chunkSize, 16));
  std::size_t filled = 0;  // bytes in buf
  std::int64_t consumed = 0;
  long lineNumber = 0;
  char eol = '\n';
  bool eolKnown = false;
  for (bool eof = false; !eof;) {
    if (filled == buf.size()) buf.resize(buf.size() * 2);
    const long got = file.Read(buf.data() + filled, buf.size() - filled);
    if (got < 0) throw EObjRead(fileName, lineNumber, std::strerror(errno));
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
      // Only whole lines now; the tail waits for the next chunk.
      const char* last = platform::FindLast(begin, eol, filled);
      if (!last) continue;
      stop = last + 1;
    }
    for (const char* p = begin; p < stop;) {
      const char* end =
          static_cast<const char*>(std::memchr(p, eol, static_cast<std::size_t>(stop - p)));
      line(p, end ? end : stop, ++lineNumber);
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
