#include "mesh/FileCheck.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "mesh/Platform.h"

namespace tarvel {

EFileOpen::EFileOpen(const std::string& file, std::string reason, bool sentence)
    : std::runtime_error(PrintableText(file) + (sentence ? " " : ": ") + reason),
      reason_(std::move(reason)),
      sentence_(sentence) {}

namespace {

// The reason a file of this kind (KindOf) is refused, or none for a regular file.
const char* KindReason(int kind) {
  if (kind == 0) return nullptr;
  if (kind == 1) return "is a folder";
  return "is not a regular file";
}

EFileOpen SystemError(const std::string& fileName, int error) {
  if (error == ENOENT || error == ENOTDIR) return EFileOpen(fileName, "no such file", false);
  return EFileOpen(fileName, std::strerror(error), false);
}

}  // namespace

std::string NotRegularFile(const std::string& fileName) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status st = fs::status(platform::PathOf(fileName), ec);
  if (ec || st.type() == fs::file_type::not_found) {
    if (!ec || ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory)
      return EFileOpen(fileName, "no such file", false).what();
    return EFileOpen(fileName, ec.message(), false).what();
  }
  const int kind = fs::is_regular_file(st) ? 0 : fs::is_directory(st) ? 1 : 2;
  if (const char* reason = KindReason(kind)) return EFileOpen(fileName, reason, true).what();
  return {};
}

int OpenRegularFile(const std::string& fileName) {
  // Opening a FIFO does not wait for its writer; the kind is checked on the open descriptor,
  // so nothing can be swapped in between.
  const int fd = platform::OpenForReadNoWait(fileName);
  if (fd < 0) {
    const int error = errno;
    // Windows will not open a folder at all.
    std::error_code ec;
    if (std::filesystem::is_directory(platform::PathOf(fileName), ec))
      throw EFileOpen(fileName, KindReason(1), true);
    throw SystemError(fileName, error);
  }
  const int kind = platform::KindOf(fd);
  if (kind < 0) {
    const int error = errno;
    platform::CloseFile(fd);
    throw SystemError(fileName, error);
  }
  if (const char* reason = KindReason(kind)) {
    platform::CloseFile(fd);
    throw EFileOpen(fileName, reason, true);
  }
  return fd;
}

std::string PrintableText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  auto hex = [&](unsigned char c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", c);
    out += buf;
  };
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* e = p + bytes.size();
  while (p < e) {
    const unsigned char c = *p;
    if (c < 0x80) {
      if (c < 0x20 || c == 0x7F)
        hex(c);
      else
        out += static_cast<char>(c);
      ++p;
      continue;
    }
    // The length of a well-formed UTF-8 sequence starting with c, and the range its second
    // byte must lie in (no overlong forms, no surrogates, nothing above U+10FFFF).
    int len = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    }
    bool ok = len > 0 && e - p >= len && p[1] >= lo && p[1] <= hi;
    for (int k = 2; ok && k < len; ++k) ok = p[k] >= 0x80 && p[k] <= 0xBF;
    // C1 control characters (U+0080 to U+009F) are not printable either.
    if (ok && c == 0xC2 && p[1] < 0xA0) ok = false;
    if (!ok) {
      hex(c);
      ++p;
      continue;
    }
    out.append(reinterpret_cast<const char*>(p), static_cast<std::size_t>(len));
    p += len;
  }
  return out;
}

}  // namespace tarvel
