#pragma once
// Writing a file without ever losing the one it replaces.
#include <cstdint>
#include <string>

namespace fw {

// Removes our temporary files for `extension` (the shape TemporaryFile gives them) in
// `directory` whose last change is older than the given age; nothing else is touched.
void RemoveStaleTemporaryFiles(const std::string& directory, const std::string& extension, int64_t olderThanSeconds);

// A new hidden file ".<extension>XXXXXXXX.<extension>" in `directory`, created exclusively
// (O_CREAT|O_EXCL) and removed again when this object goes unless something took it over.
// Writers that open files by name write through writePath(), which reaches this very file
// through the descriptor held here, never whatever another process may have put under the
// name meanwhile. Creating one first removes this kind's files left in `directory` over a day.
class TemporaryFile {
 public:
  TemporaryFile(const std::string& directory, const std::string& extension);
  virtual ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // False when the file could not be created (errno tells why; nothing was shown).
  bool ok() const { return fd_ >= 0; }
  const std::string& name() const { return name_; }
  const std::string& writePath() const { return writePath_; }
  int descriptor() const { return fd_; }
  // For writers that put a finished file of their own under name() by renaming: holds that
  // file from now on. False (and the file removed) unless it is a regular file of ours.
  bool adoptRenamedFile();

 protected:
  TemporaryFile() = default;
  bool create(const std::string& directory, const std::string& extension);
  // The file is someone else's now (renamed over its target): it is no longer removed.
  void release();

 private:
  std::string name_;
  std::string writePath_;
  int fd_ = -1;
};

// The temporary file beside a save target. The target must be a regular file or a new name;
// a symbolic link is followed to the file it names, so that the link stays and /proc links
// are judged by what they lead to. Devices, FIFOs, sockets and folders are never replaced.
class ReplacementFile : public TemporaryFile {
 public:
  ReplacementFile(const std::string& target, const std::string& extension);

  // True when the target may not be replaced (see above); the message has been shown and ok()
  // is false.
  bool targetRefused() const { return refused_; }
  // The name that commit() replaces (the target with links followed).
  const std::string& resolvedTarget() const { return resolved_; }

  // Flushes the file to disk, gives it the old file's permissions, renames it over the target
  // in one step and flushes the folder. On failure shows "无法写入" with the target, removes
  // the temporary file and leaves the target as it was.
  bool commit();

 private:
  std::string target_;
  std::string resolved_;
  bool refused_ = false;
};

// Directory part of a path ("." when it has none).
std::string DirectoryOf(const std::string& path);

// True when `path` names something a save may replace: a regular file (links followed) or
// nothing yet. Anything else shows "无法写入 path." and gives false.
bool CheckWritableTarget(const std::string& path);

// Moves a fully written temporary file over the target in one rename, after flushing it and
// giving it the target's permissions, then flushes the folder. The temporary file is removed
// when that fails; the target is then left as it was. True on success.
bool ReplaceFile(const std::string& target, const std::string& temporary);

}  // namespace fw
