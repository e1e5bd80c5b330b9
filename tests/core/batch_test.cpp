// The batch command line, run with a fake loader and saver.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "core/batch.h"
#include "core/file_replace.h"
#include "core/preferences.h"
#include "support/test_support.h"

namespace fw {
namespace {

// Files the fake loader knows: name -> frame count (a negative count fails to load).
struct FakeFiles {
  std::map<std::string, int> frames;
  std::vector<std::string> loaded;
  std::vector<std::pair<std::string, int>> saved;  // name, frame count
};

BatchServices Services(FakeFiles& files) {
  BatchServices s;
  s.load = [&files](const std::string& path) {
    files.loaded.push_back(path);
    LoadResult r;
    auto it = files.frames.find(path);
    if (it == files.frames.end() || it->second < 0) return r;
    r.document = test::NewDocument(10 + it->second, 10, 4);
    r.document->playCount = 7;
    for (int i = 0; i < it->second; ++i) test::AddFrame(*r.document, 0, 0, 2, 2, [](int, int) { return 1; });
    r.status = kReadComplete;
    return r;
  };
  s.save = [&files](const std::string& path, AnimHeader& doc) {
    files.saved.emplace_back(path, doc.frameCount);
    return true;
  };
  return s;
}

struct BatchOutcome {
  int exit;
  std::vector<std::string> messages;
  DocumentState state;
};

BatchOutcome RunWith(FakeFiles& files, std::vector<std::string> args) {
  test::ScopedMessages messages;
  BatchServices services = Services(files);
  BatchOutcome run{};
  run.exit = RunBatch(args, services, run.state);
  run.messages = messages.sink.texts();
  return run;
}

}  // namespace

TEST(Batch, InputsAppendInOrderThenRetimeAndSave) {
  test::TempDir dir;
  FakeFiles files;
  files.frames = {{dir.file("a.gif"), 2}, {dir.file("b.gif"), 3}};
  test::WriteBytes(dir.file("a.gif"), {1});
  test::WriteBytes(dir.file("b.gif"), {1});
  BatchOutcome r = RunWith(files, {"-i", dir.file("a.gif"), "-i", dir.file("b.gif"), "-t", "5", "-o", "c.gif"});
  EXPECT_EQ(r.exit, kBatchOk);
  EXPECT_TRUE(r.messages.empty());
  ASSERT_EQ(files.saved.size(), 1u);
  EXPECT_EQ(files.saved[0], (std::pair<std::string, int>{"c.gif", 5}));
  EXPECT_EQ(r.state.document->screenWidth, 13);  // enlarged to the widest
  for (ImageBlock* f = FirstImage(r.state.document.get()); f; f = NextImage(f)) EXPECT_EQ(f->delay, 5);
  // The first file's frames first.
  EXPECT_EQ(files.loaded, (std::vector<std::string>{dir.file("a.gif"), dir.file("b.gif")}));
  EXPECT_EQ(r.state.fileName, "c.gif");
}

TEST(Batch, WildcardsLoadInCaseInsensitiveOrder) {
  test::TempDir dir;
  FakeFiles files;
  for (const char* name : {"frame2.gif", "Frame10.gif", "b.GIF", "a.txt"}) {
    test::WriteBytes(dir.file(name), {1});
    files.frames[dir.file(name)] = 1;
  }
  BatchOutcome r = RunWith(files, {"-i", dir.path() + "/*.gif", "-o", "out.gif"});
  EXPECT_EQ(r.exit, kBatchOk);
  EXPECT_EQ(files.loaded, (std::vector<std::string>{dir.file("b.GIF"), dir.file("Frame10.gif"), dir.file("frame2.gif")}));
  // Several files merged: the default loop count replaces the files' own.
  EXPECT_EQ(r.state.document->playCount, 0);
}

TEST(Batch, OneFileKeepsItsLoopCount) {
  test::TempDir dir;
  FakeFiles files;
  test::WriteBytes(dir.file("a.gif"), {1});
  files.frames[dir.file("a.gif")] = 2;
  BatchOutcome r = RunWith(files, {"-i", dir.file("a.gif")});
  EXPECT_EQ(r.state.document->playCount, 7);
}

TEST(Batch, FlagsBeforeInputAndFailures) {
  FakeFiles files;
  BatchOutcome r = RunWith(files, {"-t", "5", "-o", "x.gif", "-z", "foo"});
  EXPECT_EQ(r.messages, (std::vector<std::string>{"Nothing to output.", "Nothing to optimize."}));
  EXPECT_EQ(r.exit, kBatchProblem);
  EXPECT_TRUE(files.saved.empty());

  r = RunWith(files, {"-x", "-o", "x.gif"});
  EXPECT_EQ(r.messages, (std::vector<std::string>{"Unrecognized flag: x"}));
  EXPECT_EQ(r.exit, kBatchInputError);

  r = RunWith(files, {"--x"});
  EXPECT_EQ(r.messages, (std::vector<std::string>{"Unrecognized flag: -"}));

  r = RunWith(files, {"-o", "a.gif", "b.gif"});
  EXPECT_EQ(r.messages.back(), "input error: b.gif");
  EXPECT_EQ(r.exit, kBatchInputError);
}

TEST(Batch, MissingInputEndsTheRun) {
  FakeFiles files;
  BatchOutcome r = RunWith(files, {"-i", "/nonexistent/*.gif", "-o", "out.gif"});
  EXPECT_EQ(r.messages,
            (std::vector<std::string>{"Input file /nonexistent/*.gif not found", "Input operation unsuccessful."}));
  EXPECT_EQ(r.exit, kBatchProblem);
  EXPECT_TRUE(files.saved.empty());
}

TEST(Batch, OptimizeWithoutOptimizerSaysSo) {
  test::TempDir dir;
  FakeFiles files;
  test::WriteBytes(dir.file("a.gif"), {1});
  files.frames[dir.file("a.gif")] = 2;
  BatchOutcome r = RunWith(files, {"-i", dir.file("a.gif"), "-z", "-o", "o.gif"});
  EXPECT_EQ(r.exit, kBatchProblem);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_NE(r.messages[0].find("not available"), std::string::npos);
  EXPECT_EQ(files.saved.size(), 1u);  // the run goes on
}

// Files are read keeping their own data only for a run that optimizes them.
TEST(Batch, ARunOptimizesWhereverAnOptimizeFlagStands) {
  EXPECT_TRUE(BatchOptimizes({"-i", "a.gif", "-Z", "-o", "b.gif"}));
  EXPECT_TRUE(BatchOptimizes({"-z", "-i", "a.gif"}));
  EXPECT_FALSE(BatchOptimizes({"-i", "z.gif", "-iz.gif", "-o", "z"}));
}

TEST(Batch, ListFilesStopAtTheFirstFailure) {
  test::TempDir dir;
  FakeFiles files;
  files.frames = {{dir.file("one.gif"), 1}, {dir.file("two.gif"), 2}, {dir.file("three.gif"), 3}};
  test::WriteBytes(dir.file("list.txt"), {'o', 'n', 'e', '.', 'g', 'i', 'f', '\r', '\n', 't', 'w', 'o', '.', 'g',
                                          'i', 'f', '\r', 'm', 'i', 's', 's', '\n', 't', 'h', 'r', 'e', 'e', '.',
                                          'g', 'i', 'f', '\r', '\n'});
  BatchOutcome r = RunWith(files, {"-l", dir.file("list.txt")});
  EXPECT_EQ(files.loaded, (std::vector<std::string>{dir.file("one.gif"), dir.file("two.gif"), dir.file("miss")}));
  EXPECT_EQ(r.state.document->frameCount, 3);
  EXPECT_EQ(r.exit, kBatchProblem);

  r = RunWith(files, {"-l", dir.file("absent.txt")});
  EXPECT_EQ(r.messages.front(), "Input file " + dir.file("absent.txt") + " not found");
  EXPECT_EQ(r.messages.back(), "Input operation unsuccessful.");
}

TEST(Batch, MalformedOutputAndDelayValues) {
  test::TempDir dir;
  FakeFiles files;
  test::WriteBytes(dir.file("a.gif"), {1});
  files.frames[dir.file("a.gif")] = 2;
  // An output flag without a name is a malformed line, whether at the end or before a flag.
  BatchOutcome r = RunWith(files, {"-i", dir.file("a.gif"), "-o"});
  EXPECT_EQ(r.exit, kBatchInputError);
  EXPECT_EQ(r.messages, (std::vector<std::string>{"input error: -o"}));
  r = RunWith(files, {"-i", dir.file("a.gif"), "-o", "-t", "5"});
  EXPECT_EQ(r.exit, kBatchInputError);
  EXPECT_EQ(r.messages, (std::vector<std::string>{"input error: -o -t 5"}));
  EXPECT_TRUE(files.saved.empty());

  // Values atoi would read only in part are refused with a warning; the run goes on.
  for (std::vector<std::string> retime : std::vector<std::vector<std::string>>{
           {"-t", "abc"}, {"-t", "0x10"}, {"-t", "5abc"}, {"-t", "1.5"}, {"-t"}, {"-t5x"}}) {
    std::vector<std::string> args = {"-i", dir.file("a.gif")};
    args.insert(args.end(), retime.begin(), retime.end());
    args.insert(args.end(), {"-o", "out.gif"});
    r = RunWith(files, args);
    EXPECT_EQ(r.exit, kBatchProblem) << args[3];
    ASSERT_EQ(r.messages.size(), 1u) << args[3];
    EXPECT_NE(r.messages[0].find("is not a number"), std::string::npos) << r.messages[0];
    // The frames keep the default delay they were loaded with.
    for (ImageBlock* f = FirstImage(r.state.document.get()); f; f = NextImage(f)) EXPECT_EQ(f->delay, 10) << args[3];
  }
  EXPECT_EQ(files.saved.size(), 6u);
  // Plain numbers keep their atoi meaning, negative ones giving 0.
  for (const auto& [value, delay] : std::vector<std::pair<std::string, int>>{{"7", 7}, {" +12 ", 12}, {"-3", 0}, {"007", 7}}) {
    r = RunWith(files, {"-i", dir.file("a.gif"), "-t" + value});
    EXPECT_EQ(r.exit, kBatchOk) << value;
    EXPECT_EQ(FirstImage(r.state.document.get())->delay, delay) << value;
  }
}

TEST(Batch, ListNamesAreTrimmedAndRelativeToTheList) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.file("lists"));
  FakeFiles files;
  files.frames = {{dir.file("lists/one.gif"), 1}, {dir.file("lists/two three.gif"), 2}, {dir.file("four.gif"), 4}};
  const std::string text = "\xEF\xBB\xBF one.gif \r\n\r\n  \n\ttwo three.gif\n" + dir.file("four.gif") + "\n\n";
  test::WriteBytes(dir.file("lists/list.txt"), std::vector<uint8_t>(text.begin(), text.end()));
  BatchOutcome r = RunWith(files, {"-l", dir.file("lists/list.txt")});
  EXPECT_EQ(r.exit, kBatchOk) << (r.messages.empty() ? "" : r.messages[0]);
  EXPECT_EQ(files.loaded, (std::vector<std::string>{dir.file("lists/one.gif"), dir.file("lists/two three.gif"),
                                                    dir.file("four.gif")}));
  ASSERT_NE(r.state.document, nullptr);
  EXPECT_EQ(r.state.document->frameCount, 7);
}

TEST(Batch, AnyErrorShownFailsTheRunAndPartReadFilesKeepTheirFrames) {
  test::TempDir dir;
  FakeFiles files;
  files.frames = {{dir.file("a.gif"), 2}, {dir.file("b.gif"), 3}, {dir.file("c.gif"), 4}};
  for (const char* name : {"a.gif", "b.gif", "c.gif"}) test::WriteBytes(dir.file(name), {1});
  BatchServices services = Services(files);
  auto load = services.load;
  // b.gif is cut: two of its three frames are read and the reader says so.
  services.load = [load](const std::string& path) {
    LoadResult r = load(path);
    if (path.find("b.gif") != std::string::npos) {
      RemoveBlock(ImageAt(r.document.get(), 2));
      --r.document->frameCount;
      r.status = kReadPartial;
      ShowMessage(40184);
    }
    return r;
  };
  test::ScopedMessages messages;
  DocumentState state;
  const int exit = RunBatch({"-i", dir.file("a.gif"), dir.file("b.gif"), dir.file("c.gif"), "-t", "4", "-o", "x.gif"},
                            services, state);
  EXPECT_EQ(exit, kBatchProblem);
  EXPECT_EQ(messages.ids(), std::vector<int>{40184});
  // The frames read are kept, the names after the damaged file are not loaded, the run goes on.
  EXPECT_EQ(files.loaded, (std::vector<std::string>{dir.file("a.gif"), dir.file("b.gif")}));
  ASSERT_EQ(files.saved.size(), 1u);
  EXPECT_EQ(files.saved[0].second, 4);
  EXPECT_EQ(FirstImage(state.document.get())->delay, 4);

  // A message from a step that reports success still fails the run.
  services = Services(files);
  services.save = [](const std::string&, AnimHeader&) {
    ShowText("PNG的数据读取错误");
    return true;
  };
  messages.sink.clear();
  DocumentState again;
  EXPECT_EQ(RunBatch({"-i", dir.file("a.gif"), "-o", "x.png"}, services, again), kBatchProblem);
  EXPECT_EQ(messages.sink.texts(), std::vector<std::string>{"PNG的数据读取错误"});
  // Questions answered by default are not errors.
  services.save = [](const std::string&, AnimHeader&) {
    Messages().ask(1, "?", "?", Buttons::YesNo, Answer::Yes);
    return true;
  };
  DocumentState third;
  EXPECT_EQ(RunBatch({"-i", dir.file("a.gif"), "-o", "x.png"}, services, third), kBatchOk);
}

TEST(Batch, ListLinesWithNulBytesAreNeverOpenedAsAPrefix) {
  test::TempDir dir;
  FakeFiles files;
  files.frames = {{"one.gif", 1}};
  test::WriteBytes(dir.file("list.txt"), {'o', 'n', 'e', '.', 'g', 'i', 'f', 0, 'x', '\n', 'o', 'n', 'e', '.', 'g', 'i', 'f'});
  BatchOutcome r = RunWith(files, {"-l", dir.file("list.txt")});
  EXPECT_TRUE(files.loaded.empty());
  EXPECT_EQ(r.state.document, nullptr);
}

TEST(Batch, SplitListLines) {
  EXPECT_EQ(SplitListLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitListLines("a\r\n"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(SplitListLines("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(SplitListLines("").empty());
}

TEST(Batch, MergeIntoDocumentClearsNamesOfSingleImageTypes) {
  test::ScopedMessages messages;
  DocumentState state;
  state.document = test::NewDocument(5, 5, 4);
  test::AddFrame(*state.document, 0, 0, 1, 1, [](int, int) { return 0; });
  state.document->playCount = 1;
  state.fileName = "still.png";
  AnimPtr incoming = test::NewDocument(8, 3, 4);
  test::AddFrame(*incoming, 0, 0, 1, 1, [](int, int) { return 0; });
  ASSERT_TRUE(MergeLoadedAnimations(state, std::move(incoming), 1, KeepPalettesAsLocal));
  EXPECT_EQ(state.fileName, "");
  EXPECT_EQ(state.document->playCount, 0);
  EXPECT_EQ(state.document->screenWidth, 8);
  EXPECT_EQ(state.document->screenHeight, 5);

  state.fileName = "anim.GIF";
  AnimPtr more = test::NewDocument(2, 2, 4);
  test::AddFrame(*more, 0, 0, 1, 1, [](int, int) { return 0; });
  ASSERT_TRUE(MergeLoadedAnimations(state, std::move(more), 1, KeepPalettesAsLocal));
  EXPECT_EQ(state.fileName, "anim.GIF");
}

TEST(Batch, MergeInsertsBeforeTheCurrentFrameAndKeepsColours) {
  test::ScopedMessages messages;
  DocumentState state;
  state.document = test::NewDocument(5, 5, 4);
  ImageBlock& first = test::AddFrame(*state.document, 0, 0, 1, 1, [](int, int) { return 0; });
  test::AddFrame(*state.document, 0, 0, 1, 1, [](int, int) { return 0; });
  state.currentFrame = 1;
  AnimPtr incoming = CreateAnimation();
  const Rgb red[2] = {{255, 0, 0}, {0, 0, 0}};
  SetGlobalPalette(*incoming, Palette::Create(red, 2));
  ImageBlock& f = test::AddFrame(*incoming, 0, 0, 1, 1, [](int, int) { return 0; });
  ASSERT_TRUE(MergeLoadedAnimations(state, std::move(incoming), 0, KeepPalettesAsLocal));
  EXPECT_EQ(ImageAt(state.document.get(), 1), &f);
  EXPECT_EQ(NextImage(&first), &f);
  ASSERT_NE(f.localPalette, nullptr);
  EXPECT_EQ((*f.activePalette)[0], (Rgb{255, 0, 0}));
  EXPECT_EQ(state.document->frameCount, 3);
}

TEST(ReplaceFile, ReplacesAndKeepsPermissions) {
  test::ScopedMessages messages;
  test::TempDir dir;
  const std::string target = dir.file("t.gif");
  test::WriteBytes(target, {1, 2, 3});
  ::chmod(target.c_str(), 0640);
  {
    ReplacementFile temp(target, "gif");
    ASSERT_TRUE(temp.ok());
    test::WriteBytes(temp.writePath(), {9});
    EXPECT_TRUE(temp.commit());
  }
  EXPECT_EQ(test::ReadBytes(target), std::vector<uint8_t>{9});
  struct stat st;
  ::stat(target.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_TRUE(messages.ids().empty());
  // Nothing but the target is left behind.
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(ReplaceFile, FailedMoveKeepsTheOldFile) {
  test::ScopedMessages messages;
  test::TempDir dir;
  const std::string target = dir.file("t.gif");
  test::WriteBytes(target, {1, 2, 3});
  EXPECT_FALSE(ReplaceFile(target, dir.file("never-written.gif")));
  EXPECT_EQ(test::ReadBytes(target), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(messages.ids(), std::vector<int>{40241});
}

}  // namespace fw
