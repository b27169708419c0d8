// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "support/temp_dir.h"
#include "util/path.h"

using namespace util;
namespace fs = std::filesystem;

using TempDir = testjww::TempDir;

namespace {

// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the test.
void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t EntriesIn(const fs::path& dir) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

}  // namespace

TEST(PathNames, SplitOnSlashBackslashAndColon) {
  EXPECT_EQ(FileNameOnly("/home/u/Plan.jww"), "Plan.jww");
  EXPECT_EQ(FileNameOnly("D:\\out\\Plan.JWW"), "Plan.JWW");
  EXPECT_EQ(FileNameOnly("C:Plan.jww"), "Plan.jww");
  EXPECT_EQ(FileNameOnly("Plan.jww"), "Plan.jww");
  EXPECT_EQ(FileNameOnly("dir/"), "");

  EXPECT_EQ(FileDirWithDelim("/home/u/Plan.jww"), "/home/u/");
  EXPECT_EQ(FileDirWithDelim("D:\\out\\Plan.jww"), "D:\\out\\");
  EXPECT_EQ(FileDirWithDelim("/Plan.jww"), "/");
  // A bare name lies in the current folder, not in the root.
  EXPECT_EQ(FileDirWithDelim("Plan.jww"), "");
  for (std::string p : {"/a/b/c.jww", "x\\y.jww", "C:z.jww", "plain"})
    EXPECT_EQ(FileDirWithDelim(p) + FileNameOnly(p), p);
}

TEST(PathNames, Extensions) {
  EXPECT_EQ(LowerFileExt("D:\\out\\Plan.JWW"), ".jww");
  EXPECT_EQ(LowerFileExt("/a/Plan.rev.Jww"), ".jww");
  EXPECT_EQ(LowerFileExt("/a.b/Plan"), "");
  EXPECT_EQ(LowerFileExt("C:\\a.b\\Plan"), "");
  EXPECT_EQ(LowerFileExt("Plan."), ".");
  EXPECT_EQ(LowerFileExt(""), "");
  EXPECT_EQ(LowerFileExt("図面.ＪＷＷ"), ".ＪＷＷ");  // only ASCII letters are lowered

  EXPECT_EQ(ChangeExt("/a/Plan.jww", ".bak"), "/a/Plan.bak");
  EXPECT_EQ(ChangeExt("/a/Plan.rev.jww", ""), "/a/Plan.rev");
  EXPECT_EQ(ChangeExt("/a.b/Plan", ".jww"), "/a.b/Plan.jww");
  EXPECT_EQ(ChangeExt("x\\y.z\\Plan", ".jww"), "x\\y.z\\Plan.jww");
}

TEST(PathNames, AddPathDelim) {
  EXPECT_EQ(PathSeparator(), '/');
  EXPECT_EQ(AddPathDelim(""), "/");
  EXPECT_EQ(AddPathDelim("/tmp"), "/tmp/");
  EXPECT_EQ(AddPathDelim("/tmp/"), "/tmp/");
  EXPECT_EQ(AddPathDelim("D:\\out\\"), "D:\\out\\");
}

TEST(FileSystem, ExistenceCreationAndDeletion) {
  TempDir t;
  std::string file = t / "a.jww";
  std::string sub = t / "x/y/z";
  EXPECT_FALSE(FileExistsCheck(file));
  EXPECT_FALSE(FileExistsCheck(""));
  WriteFile(file, "data");
  EXPECT_TRUE(FileExistsCheck(file));

  EXPECT_TRUE(MakeDirectory(sub));
  EXPECT_TRUE(MakeDirectory(sub));  // already there
  EXPECT_FALSE(FileExistsCheck(sub));
  EXPECT_FALSE(MakeDirectory(file + "/inner"));  // a file stands in the way
  EXPECT_FALSE(MakeDirectory(""));

  EXPECT_FALSE(DeleteFileSafe(sub));       // never a folder
  EXPECT_FALSE(DeleteDirectory(t / "x"));  // not empty
  EXPECT_FALSE(DeleteDirectory(file));     // not a folder
  EXPECT_TRUE(DeleteDirectory(sub));
  EXPECT_FALSE(DeleteDirectory(sub));
  EXPECT_TRUE(DeleteFileSafe(file));
  EXPECT_FALSE(DeleteFileSafe(file));
  EXPECT_TRUE(fs::exists(t / "x/y"));
}

TEST(FileSystem, CopyKeepsContentAndTimes) {
  TempDir t;
  std::string src = t / "src.jww";
  std::string dst = t / "dst.jww";
  std::string content(100000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  WriteFile(src, content);
  struct timespec times[2] = {{1000000000, 123456789}, {1200000000, 987654321}};
  ASSERT_EQ(utimensat(AT_FDCWD, src.c_str(), times, 0), 0);

  ASSERT_TRUE(CopyFileKeepTimes(src, dst));
  struct stat st {};  // before reading the copy, which may touch its access time
  ASSERT_EQ(stat(dst.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 987654321);
  EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
  EXPECT_EQ(ReadFile(dst), content);

  // An older target is replaced whole.
  WriteFile(dst, "old and longer than nothing");
  WriteFile(src, "new");
  ASSERT_TRUE(CopyFileKeepTimes(src, dst));
  EXPECT_EQ(ReadFile(dst), "new");
  EXPECT_EQ(EntriesIn(t.path()), 2u);
}

TEST(FileSystem, FailedCopyLeavesNothingBehind) {
  TempDir t;
  std::string src = t / "src.jww";
  WriteFile(src, "drawing");
  EXPECT_FALSE(CopyFileKeepTimes(t / "missing.jww", t / "out.jww"));
  EXPECT_FALSE(CopyFileKeepTimes(t.path().string(), t / "out.jww"));  // a folder is no source
  EXPECT_FALSE(CopyFileKeepTimes(src, t / "no/such/folder/out.jww"));
  EXPECT_FALSE(FileExistsCheck(t / "out.jww"));

  // Copying a file onto itself must not empty it.
  EXPECT_FALSE(CopyFileKeepTimes(src, src));
  EXPECT_EQ(ReadFile(src), "drawing");

  // A folder in the target's place stays and no temporary file is left.
  ASSERT_TRUE(MakeDirectory(t / "taken.jww"));
  EXPECT_FALSE(CopyFileKeepTimes(src, t / "taken.jww"));
  EXPECT_EQ(EntriesIn(t.path()), 2u);
}

TEST(BranchNames, FreeNamesAndNumbering) {
  TempDir t;
  std::string plan = t / "Plan.JWW";
  EXPECT_EQ(MakeBranchFileName(plan), plan);

  WriteFile(plan, "x");
  EXPECT_EQ(MakeBranchFileName(plan), t / "Plan~1.jww");
  WriteFile(t / "Plan~1.jww", "x");
  EXPECT_EQ(MakeBranchFileName(plan), t / "Plan~2.jww");

  WriteFile(t / "A.JWW", "x");
  EXPECT_EQ(MakeBranchFileName(t / "A.JWW"), t / "A~1.jww");

  // Only the last extension moves behind the number.
  WriteFile(t / "Plan.rev.jww", "x");
  EXPECT_EQ(MakeBranchFileName(t / "Plan.rev.jww"), t / "Plan.rev~1.jww");

  WriteFile(t / "NoExt", "x");
  EXPECT_EQ(MakeBranchFileName(t / "NoExt"), t / "NoExt~1");
}

TEST(BranchNames, FoldersAndLinksCountAsTaken) {
  TempDir t;
  ASSERT_TRUE(MakeDirectory(t / "Dir.jww"));
  EXPECT_EQ(MakeBranchFileName(t / "Dir.jww"), t / "Dir~1.jww");
  fs::create_symlink(t / "nowhere.jww", t / "Link.jww");
  EXPECT_EQ(MakeBranchFileName(t / "Link.jww"), t / "Link~1.jww");
}

TEST(BranchNames, BackslashNamesKeepTheirFolder) {
  TempDir t;
  // On this platform "\" is an ordinary character of a file name, but the
  // name-splitting rules still treat it as a folder mark.
  std::string name = t / "out\\Plan.JWW";
  WriteFile(name, "x");
  EXPECT_EQ(MakeBranchFileName(name), t / "out\\Plan~1.jww");
  EXPECT_EQ(LowerFileExt("D:\\out.dir\\Plan"), "");
}

TEST(BranchNames, AllNumbersTaken) {
  TempDir t;
  WriteFile(t / "Full.jww", "x");
  for (int n = 1; n <= 99999; ++n) WriteFile(t / ("Full~" + std::to_string(n) + ".jww"), "");
  EXPECT_EQ(MakeBranchFileName(t / "Full.jww"), std::nullopt);
}
