// Temporary files of killed saves are cleared a day later, and nothing that merely looks alike.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <filesystem>

#include "core/file_replace.h"
#include "support/test_support.h"

namespace fw {
namespace {

void Age(const std::string& path, long seconds) {
  const time_t when = ::time(nullptr) - seconds;
  const utimbuf times{when, when};
  ASSERT_EQ(::utime(path.c_str(), &times), 0);
}

TEST(StaleTemporaryFiles, OnlyOurOldOnesGo) {
  test::TempDir dir;
  const struct {
    const char* name;
    long age;
    bool removed;
  } rows[] = {
      {".gifab12cd34.gif", 2 * 86400, true},    // ours, two days old
      {".gifab12cd35.gif", 600, false},         // ours, a save may still be writing it
      {".gifAB12CD34.gif", 2 * 86400, false},   // not the letters we use
      {".gifab12cd3.gif", 2 * 86400, false},    // one letter short
      {"gifab12cd34.gif", 2 * 86400, false},    // not hidden
      {".pngab12cd34.png", 2 * 86400, false},   // another type's: left to its own saves
      {"walk.gif", 2 * 86400, false},
  };
  for (const auto& row : rows) {
    test::WriteBytes(dir.file(row.name), {1, 2, 3});
    Age(dir.file(row.name), row.age);
  }
  std::filesystem::create_directory(dir.file(".gifzz99zz99.gif"));
  Age(dir.file(".gifzz99zz99.gif"), 2 * 86400);

  // Creating a temporary file clears the old ones of its type.
  { TemporaryFile fresh(dir.path(), "gif"); }
  for (const auto& row : rows) EXPECT_EQ(std::filesystem::exists(dir.file(row.name)), !row.removed) << row.name;
  EXPECT_TRUE(std::filesystem::is_directory(dir.file(".gifzz99zz99.gif")));
}

}  // namespace
}  // namespace fw
