// Kernel and run-time services on files and folders, on POSIX.
//
// Names and results follow the Windows and C run-time calls the library was
// written against; the behaviour is their Linux meaning: '/' separators, no
// drives, case-sensitive names.
#pragma once

#include <cstdint>

#include "platform/core/wintypes.h"

constexpr int _F_OK = 0;  // _access mode: existence only

// 0 when the path exists (file or directory) and permits mode, else -1.
int _access(const char* path, int mode);
// Creates one directory (permissions 0777 before the umask); 0 or -1.
int _mkdir(const char* path);
// The working directory into buffer; null when it does not fit in size bytes
// (terminator included) or cannot be read.
char* _getcwd(char* buffer, int size);
// 0 or -1.
int _chdir(const char* path);

// Copies the contents, permission bits and modification time of the regular
// file source to target. The data goes to a temporary file beside the target
// that then replaces it in one rename, so a copy that fails half-way leaves
// an existing target as it was and no temporary file behind. With
// failIfExists a target that exists when the copy starts is kept and the
// copy fails. Copying a file onto itself (same device and inode) fails and
// changes nothing.
BOOL CopyFileA(const char* source, const char* target, BOOL failIfExists);

enum class CopyOutcome { Copied, SameFile, Failed };
// CopyFileA that also tells a copy onto the same file (nothing done) from a
// failure, and with ownerWritable leaves the new target readable and
// writable by its owner, in one pass over the file's metadata.
CopyOutcome CopyFileTo(const char* source, const char* target, bool failIfExists,
                       bool ownerWritable);

// True when both paths exist and name the same file (device and inode).
bool IsSameFile(const char* a, const char* b);

// Leaves the file readable and writable by its owner, keeping the other
// permission bits; false when it does not exist or cannot be changed.
bool SetFileOwnerWritable(const char* path);

// The running program's file (from /proc/self/exe) into buffer, terminated;
// returns its length, or 0 when it cannot be read or does not fit in size.
DWORD GetModuleFileName(char* buffer, DWORD size);

// The directory for temporary files ($TMPDIR, else /tmp) with a trailing
// '/'; returns its length, or 0 when it does not fit in size bytes.
DWORD GetTempPath(DWORD size, char* buffer);
// Creates a new empty file named dir + prefix + six unique characters and
// writes its name into out (MAX_PATH bytes); returns non-zero on success,
// 0 when no file could be created (out is then empty).
UINT GetTempFileName(const char* dir, const char* prefix, char* out);

// Total size in bytes of the file system that holds path, found through the
// nearest existing ancestor (relative paths from the working directory);
// 0 when it cannot be queried.
std::uint64_t GetDiskCapacity(const char* path);
