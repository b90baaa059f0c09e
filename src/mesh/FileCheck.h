// Opening only what can be read as a file, and quoting file bytes in messages.
//
// Figures, stacks, projects, sculpts and target geometry are opened through OpenRegularFile:
// a folder, a device, a FIFO or a socket is refused at once, before a read could block or
// run without end.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace tarvel {

// A file that cannot be opened for reading. The message names it once: "NAME is a folder",
// "NAME is not a regular file" (a sentence), or "NAME: reason".
class EFileOpen : public std::runtime_error {
 public:
  EFileOpen(const std::string& file, std::string reason, bool sentence);
  const std::string& Reason() const { return reason_; }
  bool Sentence() const { return sentence_; }

 private:
  std::string reason_;
  bool sentence_;
};

// Why `fileName` cannot be read as a file ("NAME is a folder", "NAME is not a regular file",
// "NAME: no such file"), or empty when it is a regular file.
std::string NotRegularFile(const std::string& fileName);

// Opens a regular file for reading and returns its descriptor, which the caller closes.
// Anything else raises EFileOpen with the reason NotRegularFile gives or the system's. A FIFO
// is refused without waiting for a writer.
int OpenRegularFile(const std::string& fileName);

// Text from a file made fit for a message: valid UTF-8 stays as it is, printable; every byte
// of a broken sequence and every control character becomes "\xHH"; a backslash stays.
std::string PrintableText(std::string_view bytes);

}  // namespace tarvel
