#include "mesh/Platform.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <random>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarvel::platform {

#ifdef _WIN32

namespace {

std::wstring Wide(const std::string& name) {
  if (name.empty()) return {};
  const int size = static_cast<int>(name.size());
  int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), size, nullptr, 0);
  if (n > 0) {
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), size, w.data(), n);
    return w;
  }
  // Not UTF-8: every byte is the Latin-1 character of its value.
  std::wstring w;
  w.reserve(name.size());
  for (const char c : name) w.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return w;
}

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int size = static_cast<int>(w.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), size, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, w.data(), size, s.data(), n, nullptr, nullptr);
  return s;
}

int Open(const std::string& name, int flags) {
  int fd = -1;
  const errno_t err = ::_wsopen_s(&fd, Wide(name).c_str(), flags | _O_BINARY | _O_NOINHERIT,
                                  _SH_DENYNO, _S_IREAD | _S_IWRITE);
  if (err != 0) {
    errno = err;
    return -1;
  }
  return fd;
}

void SetErrnoOfWindows() {
  switch (::GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      errno = EACCES;
      break;
    case ERROR_DISK_FULL:
      errno = ENOSPC;
      break;
    default:
      errno = EIO;
  }
}

}  // namespace

int OpenForRead(const std::string& name) { return Open(name, _O_RDONLY); }

int OpenForReadNoWait(const std::string& name) { return OpenForRead(name); }

int KindOf(int fd) {
  struct _stat64 st {};
  if (::_fstat64(fd, &st) != 0) return -1;
  if ((st.st_mode & _S_IFMT) == _S_IFREG) return 0;
  return (st.st_mode & _S_IFMT) == _S_IFDIR ? 1 : 2;
}

std::int64_t ReadAt(int fd, void* dst, std::size_t count, std::int64_t offset) {
  const std::int64_t here = ::_lseeki64(fd, 0, SEEK_CUR);
  if (here < 0 || ::_lseeki64(fd, offset, SEEK_SET) < 0) return -1;
  const std::int64_t got = ReadSome(fd, dst, count);
  ::_lseeki64(fd, here, SEEK_SET);
  return got;
}

bool MakeUniqueFolder(const std::string& stem, std::string& name) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device seed;
  std::minstd_rand random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = stem;
    for (int i = 0; i < 6; ++i) candidate += kLetters[random() % (sizeof kLetters - 1)];
    if (::CreateDirectoryW(Wide(candidate).c_str(), nullptr)) {
      name = candidate;
      return true;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS) {
      SetErrnoOfWindows();
      return false;
    }
  }
  errno = EEXIST;
  return false;
}

void* MapAligned(std::size_t bytes, std::size_t align) { return ::_aligned_malloc(bytes, align); }

void UnmapAligned(void* p, std::size_t) noexcept { ::_aligned_free(p); }

void AdviseHuge(void*, std::size_t) {}

int OpenForWrite(const std::string& name) { return Open(name, _O_WRONLY | _O_CREAT | _O_TRUNC); }

int CreateUnique(const std::string& stem, std::string& name) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device seed;
  std::minstd_rand random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = stem + ".";
    for (int i = 0; i < 6; ++i) candidate += kLetters[random() % (sizeof kLetters - 1)];
    const int fd = Open(candidate, _O_WRONLY | _O_CREAT | _O_EXCL);
    if (fd >= 0) {
      name = candidate;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

std::int64_t ReadSome(int fd, void* dst, std::size_t count) {
  const unsigned chunk = count > (1u << 30) ? (1u << 30) : static_cast<unsigned>(count);
  return ::_read(fd, dst, chunk);
}

std::int64_t WriteSome(int fd, const void* src, std::size_t count) {
  const unsigned chunk = count > (1u << 30) ? (1u << 30) : static_cast<unsigned>(count);
  return ::_write(fd, src, chunk);
}

bool SeekTo(int fd, std::int64_t position) { return ::_lseeki64(fd, position, SEEK_SET) >= 0; }

std::int64_t RegularFileSize(int fd) {
  struct _stat64 st {};
  if (::_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) return -1;
  return st.st_size;
}

bool SyncFile(int fd) { return ::_commit(fd) == 0; }

bool CloseFile(int fd) { return ::_close(fd) == 0; }

bool RemoveFile(const std::string& name) { return ::_wunlink(Wide(name).c_str()) == 0; }

bool MoveOver(const std::string& from, const std::string& to) {
  if (::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  SetErrnoOfWindows();
  return false;
}

bool IsTerminal(int fd) { return ::_isatty(fd) != 0; }

std::filesystem::path PathOf(const std::string& name) { return std::filesystem::path(Wide(name)); }

std::string NameOf(const std::filesystem::path& path) { return Utf8(path.wstring()); }

std::vector<std::string> Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(Utf8(wide[i]));
  ::LocalFree(wide);
  return args;
}

#else

int OpenForRead(const std::string& name) { return ::open(name.c_str(), O_RDONLY | O_CLOEXEC); }

int OpenForReadNoWait(const std::string& name) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return -1;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

int KindOf(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return -1;
  if (S_ISREG(st.st_mode)) return 0;
  return S_ISDIR(st.st_mode) ? 1 : 2;
}

std::int64_t ReadAt(int fd, void* dst, std::size_t count, std::int64_t offset) {
  for (;;) {
    const ssize_t got = ::pread(fd, dst, count, offset);
    if (got >= 0 || errno != EINTR) return got;
  }
}

bool MakeUniqueFolder(const std::string& stem, std::string& name) {
  std::string pattern = stem + "XXXXXX";
  if (!::mkdtemp(pattern.data())) return false;
  name = pattern;
  return true;
}

void* MapAligned(std::size_t bytes, std::size_t align) {
  // Map one boundary more than needed and cut away what lies before the first boundary and
  // after the end.
  const std::size_t mapped = bytes + align;
  void* raw = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + align - 1) & ~(align - 1);
  const std::size_t head = aligned - start;
  if (head > 0) ::munmap(raw, head);
  const std::size_t tail = mapped - head - bytes;
  if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + bytes), tail);
  void* p = reinterpret_cast<void*>(aligned);
  // Without transparent huge pages the advice fails and the pages stay small.
  (void)::madvise(p, bytes, MADV_HUGEPAGE);
  return p;
}

void UnmapAligned(void* p, std::size_t bytes) noexcept {
  if (p) ::munmap(p, bytes);
}

void AdviseHuge(void* p, std::size_t bytes) { (void)::madvise(p, bytes, MADV_HUGEPAGE); }

int OpenForWrite(const std::string& name) {
  return ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

int CreateUnique(const std::string& stem, std::string& name) {
  std::string pattern = stem + ".XXXXXX";
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return -1;
  name = pattern;
  // A new file gets the usual permissions rather than mkstemp's private ones.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  return fd;
}

std::int64_t ReadSome(int fd, void* dst, std::size_t count) {
  for (;;) {
    const ssize_t got = ::read(fd, dst, count);
    if (got >= 0 || errno != EINTR) return got;
  }
}

std::int64_t WriteSome(int fd, const void* src, std::size_t count) {
  for (;;) {
    const ssize_t put = ::write(fd, src, count);
    if (put >= 0 || errno != EINTR) return put;
  }
}

bool SeekTo(int fd, std::int64_t position) { return ::lseek(fd, position, SEEK_SET) >= 0; }

std::int64_t RegularFileSize(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return st.st_size;
}

bool SyncFile(int fd) { return ::fsync(fd) == 0 || errno == EINVAL; }

bool CloseFile(int fd) { return ::close(fd) == 0; }

bool RemoveFile(const std::string& name) { return ::unlink(name.c_str()) == 0; }

bool MoveOver(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool IsTerminal(int fd) { return ::isatty(fd) != 0; }

std::filesystem::path PathOf(const std::string& name) { return std::filesystem::path(name); }

std::string NameOf(const std::filesystem::path& path) { return path.string(); }

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

#endif

const char* FindLast(const char* p, char c, std::size_t count) {
#ifdef __GLIBC__
  return static_cast<const char*>(::memrchr(p, c, count));
#else
  while (count > 0)
    if (p[--count] == c) return p + count;
  return nullptr;
#endif
}

}  // namespace tarvel::platform
