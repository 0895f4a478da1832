// File and path helpers shared by both programs.
//
// Paths are the file system's bytes with '/' separators. Splitting follows
// the run-time library's rules in their Linux form: the drive is always
// empty, the directory runs up to and including the last '/', the extension
// starts at the last dot of the last component.
#pragma once

#include <cstdint>
#include <string>

// True when something (file or directory) exists under the path.
bool FileExists(const char* path);
// Creates every missing directory along the path; the part after the last
// '/' is never created. False at the first directory that cannot be made.
bool CreatePathTo(const std::string& path);
// Copies source over target (replacing it), keeping contents, permission
// bits and modification time; with resetAttributes the target is left
// readable and writable by its owner. True for byte-equal paths, without
// copying.
bool CopyOneFile(const char* source, const char* target, bool resetAttributes);

// drive + directory of an absolute path (with its final '/'); false for an
// empty or relative path, out unchanged.
bool DirectoryOf(const std::string& path, std::string& out);
// name + extension; false for an empty path or an empty name.
bool FileNameOf(const std::string& path, std::string& out);
// The path with its extension replaced (a dot is added when extension lacks
// one); nothing happens when path or extension is empty.
void ReplaceExtension(const std::string& path, std::string& out, const std::string& extension);
// True when part occurs anywhere in text, letters A-Z compared without case.
bool ContainsNoCase(const std::string& text, const std::string& part);
// text without every occurrence of c; text and out may be the same string.
void RemoveChar(const std::string& text, std::string& out, char c);

// The pieces of a path as the run-time library splits them.
struct SplitPath {
  std::string drive;  // always empty on Linux
  std::string dir;    // up to and including the last '/'
  std::string name;
  std::string ext;    // from the last dot of the last component, with the dot
};
SplitPath SplitPathParts(const std::string& path);
std::string MakePath(const SplitPath& parts);
