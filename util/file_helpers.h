// File and path helpers shared by both programs.
//
// Paths are the file system's bytes with '/' separators; names are
// case-sensitive and never case-folded. Splitting follows the run-time
// library's rules in their Linux form: the drive is always empty, the
// directory runs up to and including the last '/', the extension starts at
// the last dot of the last component. Where the library once asked for a
// drive, it now asks for an absolute path.
//
// Operations that return false leave their output string unchanged.
#pragma once

#include <cstdint>
#include <string>

// True when something (file or directory) exists under the path; false for
// a null path.
bool FileExists(const char* path);
// Creates every missing directory along the path: each prefix that ends
// before a '/' (the root itself excepted). The part after the last '/' is
// never created, so a file path gets its directories and a path ending in
// '/' gets all of them. A prefix that exists as a file counts as existing.
// False for paths of MAX_PATH characters or more and at the first directory
// that cannot be made (those made before it stay).
bool CreatePathTo(const std::string& path);
// Copies source over target (replacing it), keeping contents, permission
// bits and modification time; a failed copy leaves an existing target
// untouched. With resetAttributes the target is then made readable and
// writable by its owner, also after a failed copy. True without copying
// when both name the same file (byte-equal paths, or the same file reached
// through different paths); false for a null path.
bool CopyOneFile(const char* source, const char* target, bool resetAttributes);

// The directory of an absolute path, with its final '/'
// ("/a/b/f.txt" -> "/a/b/"); false for an empty or relative path.
bool DirectoryOf(const std::string& path, std::string& out);
// name + extension; false when the path ends without a name.
bool FileNameOf(const std::string& path, std::string& out);
// An absolute path without its extension; false for a relative path.
bool PathWithoutExtension(const std::string& path, std::string& out);
// The path with its extension replaced (a dot is added when extension lacks
// one); nothing happens when path or extension is empty.
void ReplaceExtension(const std::string& path, std::string& out, const std::string& extension);
// True when part occurs anywhere in text, letters A-Z compared without
// case. Serves as the extension test, so ".BMP" is found in "/x.bmp.old".
bool ContainsNoCase(const std::string& text, const std::string& part);

// The running program's directory with its final '/' into buffer (empty
// when the program's path cannot be read); returns buffer.
std::string& ModuleDirectory(std::string& buffer);
// The first of program directory + prefix + n + suffix (n = 0, 1, ...)
// that does not exist; after kUniqueNameTries the last name tried.
constexpr int kUniqueNameTries = 32767;
void UniqueFileName(std::string& out, const std::string& prefix, const std::string& suffix);
// Creates a new empty file with a unique name starting with prefix in the
// temporary directory ($TMPDIR, or /tmp when that does not exist) and puts
// its path into out; non-zero on success, 0 (out unchanged) on failure.
int TempFileName(std::string& out, const char* prefix);

// Copies count bytes between two open low-level file handles from their
// current positions; false when count is negative, the buffer cannot be had
// or a read or write moves fewer bytes than asked. The handles stay open.
bool CopyBytes(int from, int to, std::int64_t count);

// Removes all trailing '/' and appends one.
void AddTrailingBackslash(std::string& path);
// Turns a directory into a relative fragment ending in '/': appends '/'
// when missing and removes one leading '/'. False for an empty path.
bool NormalizeDirectory(std::string& path);

// Number of '\r' characters in text.
int CountCarriageReturns(const std::string& text);
// text up to (without) the first '\r'.
void FirstLine(const std::string& text, std::string& out);
// text without every occurrence of c; text and out may be the same string.
void RemoveChar(const std::string& text, std::string& out, char c);
// text with every from replaced by to; text and out may be the same string.
void ReplaceChar(const std::string& text, std::string& out, char from, char to);

// Changes the working directory for the life of the object and then
// returns to the one saved at construction, or to returnDirectory when one
// is given. Trailing '/' on newDirectory are ignored; a null or empty
// newDirectory changes nothing. When neither a return directory is given
// nor the working directory can be read, nothing is restored.
class TChangeToPath {
 public:
  TChangeToPath(const char* returnDirectory, const char* newDirectory);
  ~TChangeToPath();
  TChangeToPath(const TChangeToPath&) = delete;
  TChangeToPath& operator=(const TChangeToPath&) = delete;

 private:
  std::string SavedDirectory;
};

// The pieces of a path as the run-time library splits them.
struct SplitPath {
  std::string drive;  // always empty on Linux
  std::string dir;    // up to and including the last '/'
  std::string name;
  std::string ext;    // from the last dot of the last component, with the dot
};
SplitPath SplitPathParts(const std::string& path);
// drive + dir + name + ext, with a dot put before an extension lacking one.
std::string MakePath(const SplitPath& parts);
