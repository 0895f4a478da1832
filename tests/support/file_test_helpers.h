// Helpers of the tests on files and folders.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The names in a folder, sorted; shows stray temporary files at a glance.
inline std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Sets or unsets an environment variable for one scope and puts the old
// value back at its end.
class ScopedEnv {
 public:
  // nullopt unsets the variable.
  ScopedEnv(const char* name, std::optional<std::string> value) : Name(name) {
    if (const char* old = ::getenv(name)) Old = old;
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (Old)
      ::setenv(Name.c_str(), Old->c_str(), 1);
    else
      ::unsetenv(Name.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string Name;
  std::optional<std::string> Old;
};
