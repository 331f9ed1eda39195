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
  std::unique_ptr<Folder> Top() { return fs_.OpenFolder(dir_.Path()).Take(); }
  TempDir dir_;
  FaultyFileSystem fs_{SystemFileSystem()};
};

TEST_F(FaultyFileSystemTest, FailAtCountsFromNowAndFailsOnlyThatCall) {
  EXPECT_TRUE(fs_.FileExists(dir_.Path() + "in"));
  fs_.FailAt(Op::FileExists, 2);
  EXPECT_TRUE(fs_.FileExists(dir_.Path() + "in"));
  EXPECT_FALSE(fs_.FileExists(dir_.Path() + "in"));
  EXPECT_TRUE(fs_.FileExists(dir_.Path() + "in"));
  EXPECT_EQ(fs_.Calls(Op::FileExists), 4);
  EXPECT_EQ(fs_.Calls(Op::DirectoryExists), 0);
  fs_.FailAt(Op::OpenShared, 1, FileReason::NoSpace);
  const auto failed = fs_.OpenShared(dir_.Path() + "in");
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.Error().reason, FileReason::NoSpace);
  EXPECT_EQ(failed.Error().Message(), "could not OpenShared \"" + dir_.Path() +
                                          "in\": Injected failure of OpenShared (call 1) on " +
                                          dir_.Path() + "in");
}

TEST_F(FaultyFileSystemTest, ReadsAndWritesAreCountedAcrossFiles) {
  auto folder = Top();
  auto a = fs_.OpenShared(dir_.Path() + "in");
  auto b = folder->Open("in");
  ASSERT_TRUE(a && b);
  fs_.FailAt(Op::Read, 2);
  fs_.ShortReadAt(3, 2);
  char buffer[16];
  EXPECT_EQ(*(*a)->Read(buffer, 4), 4u);
  EXPECT_FALSE((*b)->Read(buffer, 4));
  const auto got = (*b)->Read(buffer, 4);
  EXPECT_EQ(std::string(buffer, *got), "01");
  EXPECT_EQ(fs_.Calls(Op::Read), 3);

  auto out = folder->Create("out", IfExists::Replace);
  ASSERT_TRUE(out);
  fs_.FailAt(Op::Write, 1);
  EXPECT_FALSE((*out)->Write("lost", 4));
  EXPECT_TRUE((*out)->Write("kept", 4));
  out->reset();
  EXPECT_EQ(ReadFile(dir_.Path() + "out"), "kept");
}

TEST_F(FaultyFileSystemTest, FailFromPathHitsEveryMatchingCallAndListingsAndOwnersLie) {
  WriteFile(dir_.Path() + "skip-me", "x");
  auto folder = Top();
  fs_.FailFromPath(Op::Open, "skip", FileReason::InUse);
  fs_.ReportSize("in", 99);
  fs_.ReportOwner("in", Owner::OtherUser);
  EXPECT_TRUE(folder->Open("skip-me").Failed(FileReason::InUse));
  EXPECT_TRUE(folder->Open("skip-me").Failed(FileReason::InUse));
  auto in = folder->Open("in");
  ASSERT_TRUE(in);
  EXPECT_EQ(*(*in)->ReadOwner(), Owner::OtherUser);
  EXPECT_NE(*folder->ReadOwner(), Owner::OtherUser);

  std::vector<std::string> sizes;
  const auto listed = folder->List();
  for (const DirEntry& entry : *listed) {
    sizes.push_back(entry.name + "=" + std::to_string(entry.size));
  }
  EXPECT_EQ(sizes[0], "in=99");
  fs_.FailFromPath(Op::List, dir_.Path());
  EXPECT_FALSE(folder->List());
  EXPECT_EQ(fs_.Calls(Op::List), 2);
}

TEST_F(FaultyFileSystemTest, LogsCallsInOrderRunsActionsBetweenThemAndResets) {
  auto folder = Top();
  fs_.FailAt(Op::CreateFolder, 1);
  fs_.ActBefore(Op::Create, "new", [&] { WriteFile(dir_.Path() + "planted", "p"); });
  EXPECT_FALSE(folder->CreateFolder("d"));
  EXPECT_TRUE(folder->Create("new", IfExists::Replace));
  EXPECT_TRUE(folder->Open("planted"));
  EXPECT_TRUE(folder->Rename("planted", *folder, "moved"));
  static_cast<void>(folder->SetRights(Rights::Administrators, Grant::Own));
  EXPECT_EQ(fs_.Log(), (std::vector<std::string>{
                           "OpenFolder " + dir_.Path(), "CreateFolder " + dir_.Path() + "d",
                           "Create " + dir_.Path() + "new", "Open " + dir_.Path() + "planted",
                           "Rename " + dir_.Path() + "planted", "SetRights " + dir_.Path()}));

  fs_.FailAt(Op::FileExists, 1);
  fs_.Reset();
  EXPECT_TRUE(fs_.Log().empty());
  EXPECT_EQ(fs_.Calls(Op::CreateFolder), 0);
  EXPECT_TRUE(fs_.FileExists(dir_.Path() + "in"));
}

}  // namespace
}  // namespace qvr
