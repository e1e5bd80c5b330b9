// Replacing a file: never a moment without the target, never anything but regular files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>

#include "core/file_replace.h"
#include "support/test_support.h"

namespace fw {
namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

int HiddenFiles(const std::string& dir) {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.path().filename().string()[0] == '.') ++n;
  return n;
}

// Each version is 64 KiB of one byte value, so a torn or partial file shows.
std::vector<uint8_t> Version(int k) { return std::vector<uint8_t>(64 * 1024, static_cast<uint8_t>(k)); }

bool IsWholeVersion(const std::vector<uint8_t>& bytes) {
  if (bytes.size() != 64 * 1024) return false;
  for (uint8_t b : bytes)
    if (b != bytes[0]) return false;
  return true;
}

[[noreturn]] void SaveForever(const std::string& target) {
  for (int k = 1;; ++k) {
    ReplacementFile file(target, "gif");
    if (!file.ok()) ::_exit(3);
    const std::vector<uint8_t> bytes = Version(k);
    std::FILE* out = std::fopen(file.writePath().c_str(), "wb");
    if (!out || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || std::fclose(out) != 0) ::_exit(4);
    if (!file.commit()) ::_exit(5);
  }
}

}  // namespace

TEST(ReplacementFile, TargetNameNeverMissingWhileASaverIsKilledAtRandom) {
  test::ScopedMessages messages;
  test::TempDir dir;
  const std::string target = dir.file("anim.gif");
  test::WriteBytes(target, Version(0));
  std::mt19937 rng(12345);
  int missing = 0, torn = 0, rounds = 0;
  for (; rounds < 12; ++rounds) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) SaveForever(target);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(20 + rng() % 80);
    while (std::chrono::steady_clock::now() < until)
      if (!Exists(target)) ++missing;
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saver stopped by itself with " << WEXITSTATUS(status);
    if (!Exists(target)) ++missing;
    if (!IsWholeVersion(test::ReadBytes(target))) ++torn;
    // A killed saver may leave its unfinished temporary file; it never takes the target's name.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
      if (entry.path().filename().string()[0] == '.') std::filesystem::remove(entry.path());
  }
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(torn, 0);
}

TEST(ReplacementFile, KeepsLinksAndRefusesWhatIsNotARegularFile) {
  test::ScopedMessages messages;
  test::TempDir dir;
  // A link is followed: the file it names is replaced and the link stays a link.
  test::WriteBytes(dir.file("real.gif"), {1});
  ::chmod(dir.file("real.gif").c_str(), 0600);
  std::filesystem::create_symlink("real.gif", dir.file("link.gif"));
  {
    ReplacementFile file(dir.file("link.gif"), "gif");
    ASSERT_TRUE(file.ok());
    test::WriteBytes(file.writePath(), {2});
    EXPECT_TRUE(file.commit());
  }
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.gif")));
  EXPECT_EQ(test::ReadBytes(dir.file("real.gif")), std::vector<uint8_t>{2});
  struct stat st;
  ::stat(dir.file("real.gif").c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // A FIFO, a folder, a dangling link, a device node (made here, never a real one) and a link
  // to it are left as they are.
  ASSERT_EQ(::mkfifo(dir.file("pipe.gif").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.file("folder.gif"));
  std::filesystem::create_symlink("nowhere.gif", dir.file("dangling.gif"));
  std::vector<std::string> refused = {dir.file("pipe.gif"), dir.file("folder.gif"), dir.file("dangling.gif")};
  const bool device = ::mknod(dir.file("null.gif").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
  if (device) {
    std::filesystem::create_symlink("null.gif", dir.file("to-null.gif"));
    refused.insert(refused.end(), {dir.file("null.gif"), dir.file("to-null.gif")});
  }
  for (const std::string& target : refused) {
    messages.sink.clear();
    ReplacementFile file(target, "gif");
    EXPECT_FALSE(file.ok()) << target;
    EXPECT_TRUE(file.targetRefused()) << target;
    EXPECT_EQ(messages.ids(), std::vector<int>{40241}) << target;
  }
  EXPECT_EQ(std::filesystem::status(dir.file("pipe.gif")).type(), std::filesystem::file_type::fifo);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.gif")));
  if (device) {
    EXPECT_EQ(std::filesystem::status(dir.file("null.gif")).type(), std::filesystem::file_type::character);
  }
  EXPECT_EQ(HiddenFiles(dir.path()), 0);
}

TEST(ReplacementFile, UnfinishedFilesAreRemovedAndNamesAreNeverReused) {
  test::ScopedMessages messages;
  test::TempDir dir;
  const std::string target = dir.file("t.gif");
  test::WriteBytes(target, {1, 2, 3});
  std::string first;
  {
    ReplacementFile file(target, "gif");
    ASSERT_TRUE(file.ok());
    first = file.name();
    // Created exclusively: the name exists from the start and a second one differs.
    EXPECT_TRUE(Exists(first));
    ReplacementFile other(target, "gif");
    EXPECT_NE(other.name(), first);
    test::WriteBytes(file.writePath(), {7});
  }  // never committed
  EXPECT_FALSE(Exists(first));
  EXPECT_EQ(test::ReadBytes(target), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(HiddenFiles(dir.path()), 0);

  // Something put under the temporary name while writing is neither moved over the target
  // nor removed; the file written stays reachable through the path the writer was given.
  ReplacementFile file(target, "gif");
  ASSERT_TRUE(file.ok());
  const std::string name = file.name();
  ASSERT_EQ(::unlink(name.c_str()), 0);
  test::WriteBytes(name, {6, 6, 6});
  if (file.writePath() != name) {
    test::WriteBytes(file.writePath(), {7});
    EXPECT_EQ(test::ReadBytes(name), (std::vector<uint8_t>{6, 6, 6}));
  }
  EXPECT_FALSE(file.commit());
  EXPECT_EQ(test::ReadBytes(target), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(test::ReadBytes(name), (std::vector<uint8_t>{6, 6, 6}));
}

}  // namespace fw
