// The few calls that differ between Linux and Windows: raw binary files, replacing a file, and
// file names. Every name is UTF-8 text as it is on Linux; on Windows a name that is not valid
// UTF-8 is taken as Latin-1, byte for byte, so an 8-bit name from an old figure still names a
// file. Files are always binary (no line-end translation). Failures set errno.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tarvel::platform {

// -1 on failure.
int OpenForRead(const std::string& name);
// Opens for reading without waiting for the writer of a FIFO, then makes reads block again as
// usual; -1 on failure.
int OpenForReadNoWait(const std::string& name);
// What an open file is: 0 a regular file, 1 a folder, 2 anything else; -1 on failure.
int KindOf(int fd);
// Up to `count` bytes from `offset` on, leaving the file position where it was; -1 on error.
std::int64_t ReadAt(int fd, void* dst, std::size_t count, std::int64_t offset);
// Makes a new folder named `stem` + a unique suffix and sets `name` to it; false on failure.
bool MakeUniqueFolder(const std::string& stem, std::string& name);
// Creates or truncates.
int OpenForWrite(const std::string& name);
// Creates a new file named `stem` + a unique suffix with the permissions of a new file and sets
// `name` to its name; -1 on failure.
int CreateUnique(const std::string& stem, std::string& name);
// Bytes read or written (retrying interrupted calls), -1 on error.
std::int64_t ReadSome(int fd, void* dst, std::size_t count);
std::int64_t WriteSome(int fd, const void* src, std::size_t count);
bool SeekTo(int fd, std::int64_t position);
// The size of an open regular file; -1 when it is something else or cannot be asked.
std::int64_t RegularFileSize(int fd);
// Puts the file's bytes on the disk; true where the system cannot do that for this file.
bool SyncFile(int fd);
bool CloseFile(int fd);
bool RemoveFile(const std::string& name);
// Renames `from` to `to`, replacing `to` when it exists.
bool MoveOver(const std::string& from, const std::string& to);
bool IsTerminal(int fd);

// Memory straight from the system, `bytes` long and starting on an `align` boundary (a power of
// two), or null; with the advice to back it by huge pages where the system has them. Freed with
// UnmapAligned and the same size.
void* MapAligned(std::size_t bytes, std::size_t align);
void UnmapAligned(void* p, std::size_t bytes) noexcept;
// Asks for huge pages on whole pages of [p, p + bytes); nothing where there are none.
void AdviseHuge(void* p, std::size_t bytes);

// The last `c` in the `count` bytes at `p`, or null.
const char* FindLast(const char* p, char c, std::size_t count);

// A path of a UTF-8 name, and the UTF-8 name of a path.
std::filesystem::path PathOf(const std::string& name);
std::string NameOf(const std::filesystem::path& path);

// The program's arguments as UTF-8 (on Windows from the wide command line, not the code page).
std::vector<std::string> Arguments(int argc, char** argv);

}  // namespace tarvel::platform
