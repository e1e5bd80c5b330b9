// Ended by a signal in the middle of a save, the program leaves the old file as it was and no
// temporary file behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "core/anim_document.h"
#include "formats/save_document.h"
#include "support/test_support.h"

namespace fw {
namespace {

bool HiddenFileIn(const std::string& dir) {
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.path().filename().string().front() == '.') return true;
  return false;
}

TEST(TerminationCli, SignalDuringASaveKeepsTheOldTarget) {
  test::ScopedMessages messages;
  test::TempDir dir;
  // Noise compresses badly, so writing it takes long enough to be interrupted.
  std::mt19937 rng(5);
  AnimPtr big = test::NewDocument(640, 480, 16);
  for (int k = 0; k < 100; ++k) test::AddFrame(*big, 0, 0, 640, 480, [&](int, int) { return int(rng() % 16); });
  ASSERT_TRUE(SaveDocumentAs(dir.file("big.gif"), *big));
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  test::WriteBytes(dir.file("target.gif"), old);

  const pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(dir.path().c_str()) != 0) _exit(126);
    ::setenv("FRAMEWRIGHT_CONFIG_DIR", dir.path().c_str(), 1);
    ::alarm(120);
    execl(FW_PROGRAM, FW_PROGRAM, "-i", "big.gif", "-o", "target.gif", static_cast<char*>(nullptr));
    _exit(127);
  }
  // The signal comes once the temporary file exists, that is, in the middle of the save.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  bool saving = false;
  while (!saving && std::chrono::steady_clock::now() < deadline) {
    saving = HiddenFileIn(dir.path());
    if (!saving) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ::kill(child, SIGTERM);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(saving) << "the save never started";
  if (WIFEXITED(status)) GTEST_SKIP() << "the save finished before the signal arrived";
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_EQ(test::ReadBytes(dir.file("target.gif")), old);
  EXPECT_FALSE(HiddenFileIn(dir.path()));
}

}  // namespace
}  // namespace fw
