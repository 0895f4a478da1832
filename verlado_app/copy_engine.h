// The copy list and the copy engine of verlado.
//
// Copy-list file, little-endian, no header: a signed 32-bit entry count,
// then per entry the source and the target as stored strings (16-bit length
// and bytes) and one flag byte that verlado stores but never interprets.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One entry of the copy list.
struct TCopyInfo {
  std::string Source;
  std::string Target;
  char Flag = 0;
};

enum class CopyListResult { Ok, CannotOpen, Corrupt };

// Reads the entries exactly as stored (no trimming, no merging of
// duplicates). Corrupt when the count or a length runs past the file's end.
CopyListResult ReadCopyListEntries(const char* path, std::vector<TCopyInfo>& out);

// Writes a copy-list file (to a temporary name, then renamed into place).
// False when a path is too long to store or the file cannot be written.
bool WriteCopyListFile(const char* path, const std::vector<TCopyInfo>& entries);

class TCopyManager {
 public:
  TCopyManager() = default;
  virtual ~TCopyManager() = default;
  TCopyManager(const TCopyManager&) = delete;
  TCopyManager& operator=(const TCopyManager&) = delete;

  // Called just before a file is copied; index is the entry's 1-based place
  // in the list (skipped entries make it jump), count the list's length.
  virtual void Progress(int index, int count, const std::string& source,
                        const std::string& target);
  // The whole run; true when it ended without an error. Messages then holds
  // the warnings (missing sources), or the error preceded by the warnings.
  virtual bool Run();

  // Loads the list: paths trimmed of leading and trailing blanks, entries
  // whose source and target equal an earlier one's dropped. A list that
  // exists but cannot be read, or is damaged, leaves the list empty, puts
  // the reason into Messages and returns false; so does a missing one.
  bool ReadCopyList(const char* path);
  // Sums the sources' sizes against the whole capacity of the file system
  // of the first non-empty target; appends messages for missing or
  // unreadable sources and for too little space.
  bool CheckTargetSpace();

  std::vector<std::unique_ptr<TCopyInfo>> CopyList;
  std::vector<std::string> Messages;
  bool CheckSpace = true;
  bool CancelRequested = false;
  bool Idle = true;

 protected:
  // One look at the user's input before each file: true when the user asked
  // to stop (Esc or Enter in the window). The engine alone never stops.
  virtual bool BreakKeyPressed() { return false; }

 private:
  bool CopyEntry(std::size_t index);
};
