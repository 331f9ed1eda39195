// A second user acting while the setup runs, against the real install sequence in a
// process of its own (setup-run) on this machine's file system: the setup as root, the
// user as "nobody". Each attack below once led the setup's administrator into a tree
// the user controlled; each must end with the user holding nothing the setup made.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "packer/QVRPacker.h"
#include "support/OtherUser.h"
#include "support/TempDir.h"

namespace qvr::test {
namespace {

namespace fsys = std::filesystem;

struct RunOutput {
  int exitCode = -1;
  std::string output;
};

// setup-run with `args`, its output read whole; `onLine` sees each line as it comes.
RunOutput SetupRun(const std::vector<std::string>& args,
                   const std::function<void(const std::string&)>& onLine = {}) {
  int out[2];
  if (::pipe(out) != 0) throw std::runtime_error("no pipe");
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    std::vector<char*> argv{const_cast<char*>(QVR_SETUP_RUN)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(QVR_SETUP_RUN, argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  RunOutput run;
  char buffer[4096];
  std::size_t seen = 0;
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
    run.output.append(buffer, n);
    for (std::size_t end; (end = run.output.find('\n', seen)) != std::string::npos; seen = end + 1) {
      if (onLine) onLine(run.output.substr(seen, end - seen));
    }
  }
  ::close(out[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class SecondUser : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CanActAsOtherUser()) GTEST_SKIP() << "the tests do not run as root here";
    // The drive root lets every user create folders, as Windows' does.
    fsys::permissions(tmp_.Path(), fsys::perms::all);
    fsys::create_directories(drive_);
    fsys::permissions(drive_, fsys::perms::all | fsys::perms::sticky_bit);
    fsys::create_directories(windows_ + "Fonts");
    const std::string src = tmp_.Path() + "source/QVR-Kelvador [DV2.95]/";
    WriteFile(src + "Intern/Programm/QVR-Kelvador.exe", "MZ program");
    WriteFile(src + "Daten/Programm/Bilder/QVR.bmp", "BM icon");
    WriteFile(src + "Daten/Programm/Fonts/QVRSans.ttf", "sans");
    TQVRPacker packer;
    packer.QuellPfad = src;
    packer.ZielPfad = medium_ + "QVRKDV2.QVP";
    fsys::create_directories(medium_);
    packer.Starten();
  }

  RunOutput Install(std::vector<std::string> extra = {},
                    const std::function<void(const std::string&)>& onLine = {}) {
    std::vector<std::string> args{"--drive", drive_, "--windows", windows_, "--medium", medium_,
                                  "--answer", "ja", "--answer", "nein"};
    args.insert(args.end(), extra.begin(), extra.end());
    return SetupRun(args, onLine);
  }
  bool UserCreates(const std::string& path) const {
    return AsOtherUser([&] { return ::creat(path.c_str(), 0644) >= 0; });
  }
  // Nothing in the Windows font folder that the setup did not copy from the archive.
  std::vector<std::string> WindowsFonts() const {
    std::vector<std::string> names;
    for (const auto& e : fsys::directory_iterator(windows_ + "Fonts")) {
      names.push_back(e.path().filename().string());
    }
    return names;
  }

  TempDir tmp_;
  const std::string drive_ = tmp_.Path() + "drive/";
  const std::string windows_ = tmp_.Path() + "windows/";
  const std::string medium_ = tmp_.Path() + "medium/";
  const std::string root_ = drive_ + "QVR-SOFTWARE";
  const std::string product_ = root_ + "/QVR-Kelvador [DV2.95]";
};

// The user keeps swapping a link for a folder of their own at QVR-SOFTWARE: whichever the
// setup finds, it refuses it, and nothing lands in the user's folder.
TEST_F(SecondUser, LinkAtTheRootSwappedForTheirFolderDuringTheRun) {
  const std::string theirs = drive_ + "theirs";
  ASSERT_TRUE(AsOtherUser([&] {
    std::error_code ec;
    fsys::create_directory(theirs, ec);
    fsys::create_directory_symlink(theirs, root_, ec);
    fsys::create_directory(theirs + "-2", ec);
    return !ec;
  }));
  const OtherUserLoop exchange([&] {
    ::renameat2(AT_FDCWD, root_.c_str(), AT_FDCWD, (theirs + "-2").c_str(), RENAME_EXCHANGE);
  });
  for (int run = 0; run < 10; ++run) {
    const RunOutput result = Install();
    EXPECT_EQ(result.exitCode, 20) << result.output;
  }
  EXPECT_TRUE(fsys::is_empty(theirs));
  EXPECT_TRUE(fsys::is_empty(theirs + "-2"));
  EXPECT_TRUE(WindowsFonts().empty());
}

// The root, or the root and the product folder, made by the user beforehand: the user
// could hold them open and give themselves the tree back, so the setup refuses them.
TEST_F(SecondUser, RootAndProductFolderMadeByTheUserAreRefused) {
  for (const std::string& made : {root_, product_}) {
    SCOPED_TRACE(made);
    fsys::remove_all(root_);
    ASSERT_TRUE(AsOtherUser([&] { return fsys::create_directories(made); }));
    const RunOutput result = Install();
    EXPECT_EQ(result.exitCode, 20);
    EXPECT_NE(result.output.find(" wurde von einem anderen Benutzer angelegt"), std::string::npos)
        << result.output;
    EXPECT_TRUE(fsys::is_empty(made));
  }
}

// Daten\Programm is the users': a file there is refused before anything changes; a
// folder of theirs, swapped for another with a font of theirs once the tree is checked,
// never brings that font into Windows.
TEST_F(SecondUser, ProductDataOfTheUserNeverBringsTheirFontIntoWindows) {
  ASSERT_EQ(Install().exitCode, 0);
  const std::string data = product_ + "/Daten/";
  fsys::remove_all(data + "Programm");
  ASSERT_TRUE(UserCreates(data + "Programm"));
  RunOutput result = Install();
  EXPECT_EQ(result.exitCode, 20);
  EXPECT_NE(result.output.find("Daten/Programm kann nicht vor"), std::string::npos)
      << result.output;

  fsys::remove(data + "Programm");
  ASSERT_TRUE(AsOtherUser([&] { return fsys::create_directory(data + "Programm"); }));
  const std::string go = tmp_.Path() + "go";
  result = Install({"--stop-at", "Protection", "--until", go}, [&](const std::string& line) {
    if (line != "step Protection") return;
    EXPECT_TRUE(AsOtherUser([&] {
      std::error_code ec;
      fsys::rename(data + "Programm", data + "Alt", ec);
      fsys::create_directories(data + "Programm/Fonts", ec);
      return !ec && ::creat((data + "Programm/Fonts/Evil.ttf").c_str(), 0644) >= 0;
    }));
    ::creat(go.c_str(), 0644);
  });
  EXPECT_EQ(result.exitCode, 0) << result.output;
  for (const std::string& font : WindowsFonts()) EXPECT_NE(font, "Evil.ttf");
}

// An ACL on a folder the setup takes over would let others in beside the mode bits, and
// everything created inside would inherit it; the setup's rights are all there is.
TEST_F(SecondUser, DefaultAclOnTheRootIsNotPassedOn) {
  fsys::create_directory(root_);
  fsys::permissions(root_, fsys::perms::owner_all | fsys::perms::group_read |
                               fsys::perms::group_exec | fsys::perms::others_read |
                               fsys::perms::others_exec);
  // user::rwx, user:nobody:rwx, group::r-x, mask::rwx, other::r-x
  struct Entry {
    std::uint16_t tag, perm;
    std::uint32_t id;
  };
  struct {
    std::uint32_t version = 2;
    Entry entries[5] = {{1, 7, ~0u}, {2, 7, 65534}, {4, 5, ~0u}, {0x10, 7, ~0u}, {0x20, 5, ~0u}};
  } acl;
  if (::setxattr(root_.c_str(), "system.posix_acl_default", &acl, sizeof acl, 0) != 0) {
    GTEST_SKIP() << "no ACLs on this file system";
  }
  ASSERT_EQ(Install().exitCode, 0);
  const std::string program = product_ + "/Intern/Programm/";
  EXPECT_FALSE(UserCreates(program + "version.dll"));
  for (const std::string& path : {root_, product_, program, program + "QVR-Kelvador.exe"}) {
    EXPECT_LT(::getxattr(path.c_str(), "system.posix_acl_access", nullptr, 0), 0) << path;
  }
}

// Modes are the setup's own, whatever the umask it was started with.
TEST_F(SecondUser, UmaskLeavesNothingWritableForOthers) {
  const mode_t saved = ::umask(0);
  const RunOutput result = Install();
  ::umask(saved);
  ASSERT_EQ(result.exitCode, 0) << result.output;
  for (const std::string& path :
       {root_, product_, product_ + "/Intern", product_ + "/Intern/Programm",
        product_ + "/Intern/Programm/QVR-Kelvador.exe", product_ + "/Daten/Programm/Fonts",
        product_ + "/Daten/Programm/Fonts/QVRSans.ttf", windows_ + "Fonts/QVRSans.ttf"}) {
    EXPECT_EQ(fsys::status(path).permissions() & (fsys::perms::group_write | fsys::perms::others_write),
              fsys::perms::none)
        << path;
  }
  EXPECT_FALSE(UserCreates(product_ + "/Intern/Programm/version.dll"));
}

}  // namespace
}  // namespace qvr::test
