#include "verlado_app/copy_engine.h"

#include <unordered_set>

#include "platform/core/atomic_file.h"
#include "platform/core/files.h"
#include "platform/core/lowio.h"
#include "util/file_helpers.h"
#include "util/string_streams.h"

namespace {
// Smallest stored entry: two empty strings and the flag.
constexpr std::size_t kMinEntryBytes = 5;

std::string TrimBlanks(const std::string& s) {
  std::size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

bool ReadEntry(ByteCursor& in, TCopyInfo& entry) {
  if (!ReadString(entry.Source, in) || !ReadString(entry.Target, in)) return false;
  entry.Flag = char(in.u8());
  return !in.failed();
}
}  // namespace

CopyListResult ReadCopyListEntries(const char* path, std::vector<TCopyInfo>& out) {
  TFileHandle file(_open(path, _O_RDONLY));
  if (!file.IsOpen()) return CopyListResult::CannotOpen;
  // One read for the whole list instead of three per entry.
  const std::int64_t length = _filelength(file.Get());
  std::vector<BYTE> bytes(length > 0 ? std::size_t(length) : 0);
  if (length < 0 || !ReadExactly(file.Get(), bytes.data(), bytes.size()))
    return CopyListResult::CannotOpen;
  ByteCursor in(bytes.data(), bytes.size());
  const LONG count = LONG(in.u32le());
  if (in.failed()) return CopyListResult::Corrupt;
  out.clear();
  if (count <= 0) return CopyListResult::Ok;
  // A count the file cannot hold is damage, not a reason to loop for long.
  if (std::size_t(count) > in.remaining() / kMinEntryBytes) return CopyListResult::Corrupt;
  out.reserve(std::size_t(count));
  for (LONG i = 0; i < count; ++i) {
    TCopyInfo entry;
    if (!ReadEntry(in, entry)) return CopyListResult::Corrupt;
    out.push_back(std::move(entry));
  }
  return CopyListResult::Ok;
}

bool WriteCopyListFile(const char* path, const std::vector<TCopyInfo>& entries) {
  TAtomicFile file(path);
  if (!file.IsOpen() || entries.size() > std::size_t(INT32_MAX)) return false;
  if (WriteLong(LONG(entries.size()), file.Handle()) != 4) file.MarkFailed();
  for (const TCopyInfo& e : entries) {
    if (WriteString(e.Source, file.Handle()) < 0 || WriteString(e.Target, file.Handle()) < 0)
      return false;
    file.Write(&e.Flag, 1);
  }
  return file.Commit();
}

void TCopyManager::Progress(int, int, const std::string&, const std::string&) {}

bool TCopyManager::ReadCopyList(const char* path) {
  if (!path) return false;
  std::vector<TCopyInfo> entries;
  CopyListResult result = ReadCopyListEntries(path, entries);
  CopyList.clear();
  if (result != CopyListResult::Ok) {
    Messages.push_back(std::string(result == CopyListResult::Corrupt
                                       ? "Die Kopierliste ist beschädigt:\r\n"
                                       : "Kann Datei nicht öffnen:\r\n") +
                       path);
    return false;
  }
  // The first occurrence of a source and target pair wins, flag included.
  std::unordered_set<std::string> seen;
  for (TCopyInfo& e : entries) {
    e.Source = TrimBlanks(e.Source);
    e.Target = TrimBlanks(e.Target);
    if (seen.insert(e.Source + '\0' + e.Target).second)
      CopyList.push_back(std::make_unique<TCopyInfo>(std::move(e)));
  }
  return true;
}

bool TCopyManager::CheckTargetSpace() {
  std::uint64_t sum = 0;
  const TCopyInfo* firstTarget = nullptr;
  for (const auto& entry : CopyList) {
    if (!firstTarget && !entry->Target.empty()) firstTarget = entry.get();
    if (entry->Source.empty()) continue;
    // Open first; only a source that cannot be opened needs the second look
    // that tells a missing file from an unreadable one.
    TFileHandle file(_open(entry->Source.c_str(), _O_RDONLY));
    std::int64_t length = file.IsOpen() ? _filelength(file.Get()) : -1;
    if (length < 0) {
      Messages.push_back((FileExists(entry->Source.c_str()) ? "Kann Datei nicht öffnen:\r\n"
                                                            : "Kann Datei nicht finden:\r\n") +
                         entry->Source);
      continue;
    }
    sum += std::uint64_t(length);
  }
  if (!firstTarget) return true;
  // The whole size of the target's file system, not its free space: the
  // check only stops lists that could never fit.
  const std::uint64_t capacity = GetDiskCapacity(firstTarget->Target.c_str());
  if (sum < capacity) return true;
  Messages.push_back("Nicht genug Speicherkapazität auf dem Ziellaufwerk!");
  return false;
}

bool TCopyManager::Run() {
  if (CheckSpace && !CheckTargetSpace()) return false;
  Messages.clear();
  // The list's length is looked at again before every entry.
  for (std::size_t i = 0; i < CopyList.size(); ++i)
    if (!CopyEntry(i)) return false;
  return true;
}

// One entry of the run; false ends the run with the error in Messages.
bool TCopyManager::CopyEntry(std::size_t index) {
  const std::string source = CopyList[index]->Source;
  const std::string target = CopyList[index]->Target;
  if (source.empty() || target.empty()) return true;
  if (!FileExists(source.c_str())) {
    Messages.push_back("Kann Datei nicht finden:\r\n" + source);
    return true;
  }
  if (source == target) return true;
  if (!CreatePathTo(target)) {
    std::string directory;
    DirectoryOf(target, directory);
    Messages.push_back("Fehler bei Pfaderzeugung:\r\n" + directory + "\r\nVorgang abgebrochen!");
    return false;
  }
  if (BreakKeyPressed() || CancelRequested) {
    Messages.push_back("Kopiervorgang abgebrochen!");
    return false;
  }
  Progress(int(index + 1), int(CopyList.size()), source, target);
  if (!CopyOneFile(source.c_str(), target.c_str(), true)) {
    Messages.push_back("Kann Datei nicht kopieren:\r\n" + target + "\r\nVorgang abgebrochen!");
    return false;
  }
  return true;
}
