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
  auto folder = fs_.OpenFolder(dir_.Path());
  auto a = fs_.OpenShared(dir_.Path() + "in");
  auto b = folder->Open("in");
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

  auto out = folder->Create("out", IfExists::Replace);
  ASSERT_NE(out, nullptr);
  fs_.FailAt(Op::Write, 1);
  std::uint32_t written = 99;
  EXPECT_FALSE(out->Write("lost", 4, written));
  EXPECT_EQ(written, 0u);
  EXPECT_TRUE(out->Write("kept", 4, written));
  out.reset();
  EXPECT_EQ(ReadFile(dir_.Path() + "out"), "kept");
}

TEST_F(FaultyFileSystemTest, FailFromPathHitsEveryMatchingCallAndListingsLieOnRequest) {
  WriteFile(dir_.Path() + "skip-me", "x");
  auto folder = fs_.OpenFolder(dir_.Path());
  fs_.FailFromPath(Op::Open, "skip");
  fs_.ReportSize("in", 99);
  EXPECT_EQ(folder->Open("skip-me"), nullptr);
  EXPECT_EQ(folder->Open("skip-me"), nullptr);
  EXPECT_NE(folder->Open("in"), nullptr);

  std::vector<std::string> sizes;
  auto listing = folder->List();
  for (DirEntry entry; listing->Next(entry);) {
    sizes.push_back(entry.name + "=" + std::to_string(entry.size));
  }
  EXPECT_EQ(sizes[2], "in=99");
  fs_.FailFromPath(Op::ListNext, dir_.Path());
  EXPECT_FALSE(folder->List()->Next(*std::make_unique<DirEntry>()));
  EXPECT_EQ(fs_.Calls(Op::List), 2);
}

TEST_F(FaultyFileSystemTest, LogsCallsInOrderRunsActionsBetweenThemAndResets) {
  auto folder = fs_.OpenFolder(dir_.Path());
  fs_.FailAt(Op::CreateFolder, 1);
  fs_.ActBefore(Op::Create, "new", [&] { WriteFile(dir_.Path() + "planted", "p"); });
  EXPECT_EQ(folder->CreateFolder("d"), nullptr);
  EXPECT_NE(folder->Create("new", IfExists::Replace), nullptr);
  EXPECT_EQ(folder->Lookup("planted"), EntryKind::File);
  folder->SetRights(Rights::Administrators);
  EXPECT_EQ(fs_.Log(), (std::vector<std::string>{
                           "OpenFolder " + dir_.Path(), "CreateFolder " + dir_.Path() + "d",
                           "Create " + dir_.Path() + "new", "Lookup " + dir_.Path() + "planted",
                           "SetRights " + dir_.Path()}));

  fs_.FailAt(Op::FileExists, 1);
  fs_.Reset();
  EXPECT_TRUE(fs_.Log().empty());
  EXPECT_EQ(fs_.Calls(Op::CreateFolder), 0);
  EXPECT_TRUE(fs_.FileExists(dir_.Path() + "in"));
}

}  // namespace
}  // namespace qvr
