#include "core/file_replace.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "core/message_sink.h"
#include "core/string_table.h"

namespace fw {
namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// Creates an empty file under a fresh name so that no one else takes it, like the platform's
// temporary-name call does.
std::string ReserveName(const std::string& directory, const std::string& prefix, const std::string& extension) {
  static thread_local std::mt19937 rng(std::random_device{}());
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = directory + "/." + prefix;
    for (int i = 0; i < 8; ++i) name += kChars[rng() % 36];
    if (!extension.empty()) name += "." + extension;
    const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0666);
    if (fd >= 0) {
      ::close(fd);
      return name;
    }
    if (errno != EEXIST) break;
  }
  return {};
}

}  // namespace

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string MakeTemporaryName(const std::string& directory, const std::string& prefix, const std::string& extension) {
  std::string name = ReserveName(directory, prefix, extension);
  // The placeholder only reserved the name; the writer creates the file itself.
  if (!name.empty()) ::unlink(name.c_str());
  return name;
}

bool ReplaceFile(const std::string& target, const std::string& temporary) {
  std::string backup;
  struct stat old;
  if (::stat(target.c_str(), &old) == 0) {
    if (S_ISDIR(old.st_mode)) {
      ShowMessage(msg::kCannotWrite, target.c_str());
      ::unlink(temporary.c_str());
      return false;
    }
    backup = ReserveName(DirectoryOf(target), "fw", "");
    if (backup.empty() || ::rename(target.c_str(), backup.c_str()) != 0) {
      if (!backup.empty()) ::unlink(backup.c_str());
      ShowMessage(msg::kCannotWrite, target.c_str());
      ::unlink(temporary.c_str());
      return false;
    }
    // The new file keeps the permissions the old one had.
    ::chmod(temporary.c_str(), old.st_mode & 07777);
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    ShowMessage(msg::kCannotWrite, target.c_str());
    ::unlink(temporary.c_str());
    if (!backup.empty() && ::rename(backup.c_str(), target.c_str()) != 0) {
      // The backup is the user's only copy now: keep it where it is.
      ShowText("Can't overwrite %s and unable to recover that file after failure.", target.c_str());
    }
    return false;
  }
  if (!backup.empty()) {
    bool removed = ::unlink(backup.c_str()) == 0 || !Exists(backup);
    for (int retry = 0; retry < 5 && !removed; ++retry) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      removed = ::unlink(backup.c_str()) == 0 || !Exists(backup);
    }
    if (!removed) ShowText("Unable to delete temporary file %s. Please delete it manually.", backup.c_str());
  }
  return true;
}

}  // namespace fw
