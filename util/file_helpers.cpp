#include "util/file_helpers.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>

#include "platform/core/files.h"
#include "platform/core/lowio.h"

// ---- Path splitting ----

SplitPath SplitPathParts(const std::string& path) {
  SplitPath parts;
  std::size_t slash = path.rfind('/');
  std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  parts.dir = path.substr(0, nameStart);
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < nameStart) dot = path.size();
  parts.name = path.substr(nameStart, dot - nameStart);
  parts.ext = path.substr(dot);
  return parts;
}

std::string MakePath(const SplitPath& parts) {
  std::string ext = parts.ext;
  if (!ext.empty() && ext[0] != '.') ext.insert(ext.begin(), '.');
  return parts.drive + parts.dir + parts.name + ext;
}

namespace {
// Stands where the library once asked whether a path carries a drive.
bool IsAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }
}  // namespace

bool DirectoryOf(const std::string& path, std::string& out) {
  if (!IsAbsolute(path)) return false;
  SplitPath parts = SplitPathParts(path);
  out = parts.drive + parts.dir;
  return true;
}

// A dot file such as ".profile" splits into an empty name and an extension;
// it still has a file name, so only a path ending in '/' (or empty) has none.
bool FileNameOf(const std::string& path, std::string& out) {
  SplitPath parts = SplitPathParts(path);
  if (parts.name.empty() && parts.ext.empty()) return false;
  out = parts.name + parts.ext;
  return true;
}

bool PathWithoutExtension(const std::string& path, std::string& out) {
  if (!IsAbsolute(path)) return false;
  SplitPath parts = SplitPathParts(path);
  parts.ext.clear();
  out = MakePath(parts);
  return true;
}

void ReplaceExtension(const std::string& path, std::string& out, const std::string& extension) {
  if (path.empty() || extension.empty()) return;
  SplitPath parts = SplitPathParts(path);
  parts.ext = extension;
  out = MakePath(parts);
}

namespace {
std::string UpperAscii(const std::string& s) {
  std::string up = s;
  for (char& c : up)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return up;
}
}  // namespace

bool ContainsNoCase(const std::string& text, const std::string& part) {
  return UpperAscii(text).find(UpperAscii(part)) != std::string::npos;
}

void AddTrailingBackslash(std::string& path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  path += '/';
}

bool NormalizeDirectory(std::string& path) {
  if (path.empty()) return false;
  if (path.back() != '/') path += '/';
  if (path[0] == '/') path.erase(0, 1);
  return true;
}

// ---- Character edits ----

int CountCarriageReturns(const std::string& text) {
  return int(std::count(text.begin(), text.end(), '\r'));
}

void FirstLine(const std::string& text, std::string& out) { out = text.substr(0, text.find('\r')); }

void RemoveChar(const std::string& text, std::string& out, char c) {
  std::string kept;
  std::remove_copy(text.begin(), text.end(), std::back_inserter(kept), c);
  out = std::move(kept);
}

void ReplaceChar(const std::string& text, std::string& out, char from, char to) {
  out = text;
  std::replace(out.begin(), out.end(), from, to);
}

// ---- Files ----

bool FileExists(const char* path) { return path && _access(path, _F_OK) == 0; }

bool CreatePathTo(const std::string& path) {
  if (path.size() >= std::size_t(MAX_PATH)) return false;
  // When the deepest prefix exists, every shorter one does: one look saves
  // a look per level for every file of a long copy list.
  const std::size_t last = path.rfind('/');
  if (last == std::string::npos || last == 0 || FileExists(path.substr(0, last).c_str()))
    return true;
  // Position 0 is skipped: the root always exists and is never created.
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (path[i] != '/') continue;
    std::string prefix = path.substr(0, i);
    if (!FileExists(prefix.c_str()) && _mkdir(prefix.c_str()) != 0) return false;
  }
  return true;
}

bool CopyOneFile(const char* source, const char* target, bool resetAttributes) {
  if (!source || !target) return false;
  if (std::strcmp(source, target) == 0) return true;
  switch (CopyFileTo(source, target, false, resetAttributes)) {
    case CopyOutcome::Copied: return true;
    case CopyOutcome::SameFile: return true;
    case CopyOutcome::Failed: break;
  }
  // The old target, if any, is reset all the same.
  if (resetAttributes) SetFileOwnerWritable(target);
  return false;
}

std::string& ModuleDirectory(std::string& buffer) {
  char path[MAX_PATH];
  GetModuleFileName(path, MAX_PATH);
  buffer = path;
  std::size_t slash = buffer.rfind('/');
  if (slash != std::string::npos) buffer.resize(slash + 1);
  return buffer;
}

void UniqueFileName(std::string& out, const std::string& prefix, const std::string& suffix) {
  std::string dir;
  ModuleDirectory(dir);
  for (int n = 0; n < kUniqueNameTries; ++n) {
    out = dir + prefix + std::to_string(n) + suffix;
    if (!FileExists(out.c_str())) return;
  }
}

int TempFileName(std::string& out, const char* prefix) {
  // The run-time library's own place for temporary names, used when the
  // configured temporary directory is missing.
  static const char kRuntimeTempDir[] = "/tmp/";
  char dir[MAX_PATH];
  const char* base = GetTempPath(MAX_PATH, dir) && FileExists(dir) ? dir : kRuntimeTempDir;
  char name[MAX_PATH];
  int result = int(GetTempFileName(base, prefix, name));
  if (result) out = name;
  return result;
}

bool CopyBytes(int from, int to, std::int64_t count) {
  constexpr std::size_t kBufferSize = 65535;
  constexpr std::int64_t kPiece = 65534;
  if (count < 0) return false;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kBufferSize]);
  if (!buffer) return false;
  while (count > 0) {
    long piece = long(std::min(count, kPiece));
    if (_read(from, buffer.get(), std::size_t(piece)) != piece) return false;
    if (_write(to, buffer.get(), std::size_t(piece)) != piece) return false;
    count -= piece;
  }
  return true;
}

TChangeToPath::TChangeToPath(const char* returnDirectory, const char* newDirectory) {
  char current[MAX_PATH];
  if (returnDirectory)
    SavedDirectory = returnDirectory;
  else if (_getcwd(current, MAX_PATH))
    SavedDirectory = current;
  if (!newDirectory || !*newDirectory) return;
  std::string dir = newDirectory;
  AddTrailingBackslash(dir);
  if (dir.size() > 1) dir.pop_back();  // "/" itself stays the root
  _chdir(dir.c_str());
}

TChangeToPath::~TChangeToPath() {
  if (!SavedDirectory.empty()) _chdir(SavedDirectory.c_str());
}
