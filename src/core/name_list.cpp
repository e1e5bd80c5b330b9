// The file names of -i and -l.
#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <sys/stat.h>

#include "core/batch.h"

namespace fw {
namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// '*' any run, '?' one character; compared ignoring ASCII case as the file systems this
// format grew up on do.
bool Matches(const char* pattern, const char* name) {
  const char* starPattern = nullptr;
  const char* starName = nullptr;
  while (*name) {
    if (*pattern == '*') {
      starPattern = ++pattern;
      starName = name;
    } else if (*pattern == '?' || (*pattern && Lower(*pattern) == Lower(*name))) {
      ++pattern;
      ++name;
    } else if (starPattern) {
      pattern = starPattern;
      name = ++starName;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == 0;
}

// A plain name that is not a folder is taken as given (the loader refuses what it cannot
// read, with a message naming it); a wildcard matches regular files only.
bool IsNotFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Lower(x) < Lower(y); });
}

std::vector<std::string> ExpandPattern(const std::string& value) {
  std::vector<std::string> names;
  const size_t slash = value.find_last_of("/\\");
  const std::string directory = slash == std::string::npos ? "" : value.substr(0, slash + 1);
  const std::string pattern = slash == std::string::npos ? value : value.substr(slash + 1);
  if (pattern.find_first_of("*?") == std::string::npos) {
    if (!pattern.empty() && IsNotFolder(value)) names.push_back(value);
    return names;
  }
  DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (!dir) return names;
  std::vector<std::string> found;
  while (dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (Matches(pattern.c_str(), name.c_str()) && IsRegularFile(directory + name)) found.push_back(name);
  }
  ::closedir(dir);
  // Directory order is arbitrary; sort by name first so the stable sort is deterministic.
  std::sort(found.begin(), found.end());
  std::stable_sort(found.begin(), found.end(), LessIgnoringCase);
  for (const std::string& name : found) names.push_back(directory + name);
  return names;
}

std::vector<std::string> SplitListLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(text.substr(start, i - start));
      i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace fw
