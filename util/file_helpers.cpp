#include "util/file_helpers.h"

#include <cctype>

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
