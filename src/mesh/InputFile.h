// A file read in chunks, plain or gzip-compressed. A file whose name ends in ".obz" or whose
// first bytes are the gzip magic is inflated through zlib while it is read, so every reader of
// OBJ text takes compressed files the same way as plain ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarvel {

class TInputFile {
 public:
  explicit TInputFile(const std::string& name);
  ~TInputFile();
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;

  // Opens only a regular file: anything else raises EObjRead with the reason ("NAME is a
  // folder", "NAME is not a regular file").
  bool Open() const { return fd_ >= 0; }
  bool Compressed() const { return compressed_; }
  // Whether the first 4 KiB of a plain file hold a NUL byte: a binary program, an image or
  // UTF-16 text. A gzip stream is left to the inflater.
  bool LooksBinary() const;
  // The size of the text: the file's size, or for a compressed file the size its gzip trailer
  // gives (modulo 4 GiB, as gzip keeps it). Only a guide for progress displays.
  std::int64_t Size() const;
  // Back to the first byte of the text.
  bool Rewind();
  // Up to `count` bytes of text: the number read, 0 at the end, -1 on a system error (errno
  // set). A damaged or truncated gzip stream raises EObjRead naming the file.
  long Read(char* dst, std::size_t count);

 private:
  long ReadRaw(char* dst, std::size_t count);
  long Inflate(char* dst, std::size_t count);

  std::string name_;
  int fd_ = -1;
  bool compressed_ = false;
  struct TInflater;
  std::unique_ptr<TInflater> z_;
};

}  // namespace tarvel
