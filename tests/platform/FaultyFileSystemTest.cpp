#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"

namespace qvr {
namespace {

using test::FaultyFileSystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Op = FaultyFileSystem::Op;

class FaultyFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteFile(dir_.Path() + "in", "0123456789"); }
  TempDir dir_;
  FaultyFileSystem fs_{SystemFileSystem()};
};

TEST_F(FaultyFileSystemTest, FailAtCountsFromNowAndFailsOnlyThatCall) {
  EXPECT_TRUE(fs_.FileExists(dir_.Path() + "in"));
  fs_.FailAt(Op::FileExists, 2);
  EXPECT_TRUE(fs_.FileExists(dir_.Path() + "in"));
  EXPECT_FALSE(fs_.FileExists(dir_.Path() + "in"));
  EXPECT_NE(fs_.LastErrorText().find("FileExists"), std::string::npos);
  EXPECT_TRUE(fs_.FileExists(dir_.Path() + "in"));
  EXPECT_EQ(fs_.Calls(Op::FileExists), 4);
  EXPECT_EQ(fs_.Calls(Op::DirectoryExists), 0);
}

TEST_F(FaultyFileSystemTest, ReadsAndWritesAreCountedAcrossFiles) {
  auto a = fs_.OpenShared(dir_.Path() + "in");
  auto b = fs_.OpenShared(dir_.Path() + "in");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  fs_.FailAt(Op::Read, 2);
  fs_.ShortReadAt(3, 2);
  char buffer[16];
  std::uint32_t got = 0;
  EXPECT_TRUE(a->Read(buffer, 4, got));
  EXPECT_EQ(got, 4u);
  EXPECT_FALSE(b->Read(buffer, 4, got));
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(b->Read(buffer, 4, got));
  EXPECT_EQ(std::string(buffer, got), "01");
  EXPECT_EQ(fs_.Calls(Op::Read), 3);

  auto out = fs_.CreateExclusive(dir_.Path() + "out");
  ASSERT_NE(out, nullptr);
  fs_.FailAt(Op::Write, 1);
  std::uint32_t written = 99;
  EXPECT_FALSE(out->Write("lost", 4, written));
  EXPECT_EQ(written, 0u);
  EXPECT_TRUE(out->Write("kept", 4, written));
  out.reset();
  EXPECT_EQ(ReadFile(dir_.Path() + "out"), "kept");
}

TEST_F(FaultyFileSystemTest, FailFromPathHitsEveryMatchingCall) {
  WriteFile(dir_.Path() + "skip-me", "x");
  fs_.FailFromPath(Op::OpenShared, "skip");
  fs_.FailFromPath(Op::FindNext, dir_.Path());
  EXPECT_EQ(fs_.OpenShared(dir_.Path() + "skip-me"), nullptr);
  EXPECT_EQ(fs_.OpenShared(dir_.Path() + "skip-me"), nullptr);
  EXPECT_NE(fs_.OpenShared(dir_.Path() + "in"), nullptr);

  DirEntry entry;
  auto search = fs_.FindFirst(dir_.Path() + "*.*", attr::kAnyFile, entry);
  ASSERT_NE(search, nullptr);
  EXPECT_FALSE(search->Next(entry));
  EXPECT_EQ(fs_.Calls(Op::FindFirst), 1);
  EXPECT_EQ(fs_.Calls(Op::FindNext), 1);
}

TEST_F(FaultyFileSystemTest, LogsWrittenPathsAndResetsEverything) {
  fs_.FailAt(Op::CreateDirectory, 1);
  EXPECT_FALSE(fs_.CreateDirectory(dir_.Path() + "d"));
  EXPECT_TRUE(fs_.ForceDirectories(dir_.Path() + "e/f"));
  EXPECT_TRUE(fs_.CopyFile(dir_.Path() + "in", dir_.Path() + "copy", true));
  EXPECT_NE(fs_.CreateExclusive(dir_.Path() + "new"), nullptr);
  EXPECT_NE(fs_.OpenShared(dir_.Path() + "in"), nullptr);
  EXPECT_EQ(fs_.WrittenPaths(),
            (std::vector<std::string>{dir_.Path() + "d", dir_.Path() + "e/f", dir_.Path() + "copy",
                                      dir_.Path() + "new"}));

  fs_.FailAt(Op::FileExists, 1);
  fs_.Reset();
  EXPECT_TRUE(fs_.WrittenPaths().empty());
  EXPECT_EQ(fs_.Calls(Op::CreateDirectory), 0);
  EXPECT_TRUE(fs_.FileExists(dir_.Path() + "in"));
}

}  // namespace
}  // namespace qvr
