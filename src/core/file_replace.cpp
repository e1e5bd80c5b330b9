#include "core/file_replace.h"

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "core/message_sink.h"
#include "core/string_table.h"

namespace fw {
namespace {

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Data first, then the name: after a crash the folder never names a file whose contents
// are still missing. Folders that cannot be flushed (some network file systems) are let be.
void SyncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Renames `temporary` (open as `fd`) over `target` once it is safely on disk; removes it when
// that fails.
bool MoveOver(const std::string& target, const std::string& temporary, int fd) {
  // The name may have been swapped while the file was written (a shared folder): only the
  // file written is ever moved over the target, and only it is removed on failure.
  struct stat mine{}, named{};
  const bool ours = ::fstat(fd, &mine) == 0 && ::lstat(temporary.c_str(), &named) == 0 && SameFile(mine, named);
  bool ok = ours;
  struct stat old;
  if (ok && ::stat(target.c_str(), &old) == 0) {
    if (S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);  // the new file keeps the old one's permissions
    else ok = false;
  }
  ok = ok && ::fsync(fd) == 0;
  if (!ok || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ShowMessage(msg::kCannotWrite, target.c_str());
    if (ours) ::unlink(temporary.c_str());
    return false;
  }
  SyncDirectory(DirectoryOf(target));
  return true;
}

constexpr int kRandomLength = 8;
const char kNameChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";

// Whether `name` has the shape of our temporary files for `extension`: ".ext" + 8 letters or
// digits + ".ext".
bool IsOurTemporaryName(const std::string& name, const std::string& extension) {
  const std::string dotted = "." + extension;
  if (extension.empty() || name.size() != 2 * dotted.size() + kRandomLength) return false;
  if (name.compare(0, dotted.size(), dotted) != 0 || name.compare(name.size() - dotted.size(), dotted.size(), dotted) != 0)
    return false;
  const std::string middle = name.substr(dotted.size(), kRandomLength);
  return middle.find_first_not_of(kNameChars) == std::string::npos;
}

}  // namespace

void RemoveStaleTemporaryFiles(const std::string& directory, const std::string& extension, int64_t olderThanSeconds) {
  DIR* dir = ::opendir(directory.c_str());
  if (!dir) return;
  const time_t now = ::time(nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (!IsOurTemporaryName(name, extension)) continue;
    const std::string path = directory + "/" + name;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (now - st.st_mtime > olderThanSeconds) ::unlink(path.c_str());
  }
  ::closedir(dir);
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool CheckWritableTarget(const std::string& path) {
  struct stat st;
  const bool exists = ::stat(path.c_str(), &st) == 0;
  // A dangling link names nothing we could write without creating a file somewhere else.
  const bool refused = exists ? !S_ISREG(st.st_mode) : (errno == ENOENT && ::lstat(path.c_str(), &st) == 0);
  if (refused) ShowMessage(msg::kCannotWrite, path.c_str());
  return !refused;
}

TemporaryFile::TemporaryFile(const std::string& directory, const std::string& extension) { create(directory, extension); }

bool TemporaryFile::create(const std::string& directory, const std::string& extension) {
  static thread_local std::mt19937 rng(std::random_device{}());
  // A save that was killed outright (SIGKILL, a power cut) leaves its file; a day later it is
  // certainly nobody's work in progress.
  RemoveStaleTemporaryFiles(directory, extension, 24 * 60 * 60);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = directory + "/." + extension;
    for (int i = 0; i < kRandomLength; ++i) name += kNameChars[rng() % 36];
    if (!extension.empty()) name += "." + extension;
    const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
    if (fd >= 0) {
      fd_ = fd;
      name_ = name;
      // Opening this path reaches the file behind the descriptor, wherever its name went.
      const std::string viaDescriptor = "/proc/self/fd/" + std::to_string(fd);
      struct stat a, b;
      const bool reachable = ::fstat(fd, &a) == 0 && ::stat(viaDescriptor.c_str(), &b) == 0 && SameFile(a, b);
      writePath_ = reachable ? viaDescriptor : name;
      return true;
    }
    if (errno != EEXIST) break;
  }
  return false;
}

TemporaryFile::~TemporaryFile() {
  if (fd_ < 0) return;
  if (!name_.empty()) {
    struct stat mine, named;
    if (::fstat(fd_, &mine) == 0 && ::lstat(name_.c_str(), &named) == 0 && SameFile(mine, named))
      ::unlink(name_.c_str());
  }
  ::close(fd_);
}

bool TemporaryFile::adoptRenamedFile() {
  if (fd_ < 0 || name_.empty()) return false;
  const int fd = ::open(name_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    if (fd >= 0) ::close(fd);
    return false;
  }
  ::close(fd_);
  fd_ = fd;
  return true;
}

void TemporaryFile::release() { name_.clear(); }

ReplacementFile::ReplacementFile(const std::string& target, const std::string& extension) : target_(target) {
  resolved_ = target;
  if (!CheckWritableTarget(target)) {
    refused_ = true;
    return;
  }
  struct stat st;
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char real[PATH_MAX];
    if (!::realpath(target.c_str(), real)) {
      ShowMessage(msg::kCannotWrite, target.c_str());
      refused_ = true;
      return;
    }
    resolved_ = real;
  }
  create(DirectoryOf(resolved_), extension);
}

bool ReplacementFile::commit() {
  if (!ok() || name().empty()) {
    ShowMessage(msg::kCannotWrite, target_.c_str());
    return false;
  }
  // Checked again: the target may have become something else while the file was written.
  if (!CheckWritableTarget(resolved_)) return false;
  const bool moved = MoveOver(resolved_, name(), descriptor());
  release();
  return moved;
}

bool ReplaceFile(const std::string& target, const std::string& temporary) {
  const int fd = ::open(temporary.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    ShowMessage(msg::kCannotWrite, target.c_str());
    return false;
  }
  bool moved = false;
  if (!CheckWritableTarget(target)) ::unlink(temporary.c_str());
  else moved = MoveOver(target, temporary, fd);
  ::close(fd);
  return moved;
}

}  // namespace fw
