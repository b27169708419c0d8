// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>

#include "jww/document.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using jww::TBindImageType;
using jww::TJwwData;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& p, const std::string& data) {
  std::ofstream out(p, std::ios::binary);
  out << data;
}

void WriteGz(const fs::path& p, const std::string& data) {
  gzFile gz = gzopen(p.c_str(), "wb");
  ASSERT_NE(gz, nullptr);
  ASSERT_EQ(gzwrite(gz, data.data(), static_cast<unsigned>(data.size())),
            static_cast<int>(data.size()));
  ASSERT_EQ(gzclose(gz), Z_OK);
}

std::string ReadGz(const fs::path& p) {
  gzFile gz = gzopen(p.c_str(), "rb");
  if (!gz) return "<none>";
  std::string out;
  char buf[4096];
  int n;
  while ((n = gzread(gz, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  gzclose(gz);
  return out;
}

// Every path below `root`, relative, so that a test can see exactly what an
// operation created or removed.
std::set<std::string> Tree(const fs::path& root) {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(root))
    names.insert(fs::relative(e.path(), root).string());
  return names;
}

class Images : public ::testing::Test {
 protected:
  testjww::TempDir tmp_{"brindle-images"};
  void SetUp() override {
    root_ = tmp_.path();
    work_ = root_ / "work";
    fs::create_directories(work_);
    doc_.BindImageFolder = work_.string() + "/";
  }

  void Add(const std::u16string& name) {
    doc_.BindImage.push_back(TBindImageType{name, 0, false});
    doc_.BindImageN = static_cast<int32_t>(doc_.BindImage.size());
  }

  fs::path root_, work_;
  TJwwData doc_;
};

const std::string kPicture(5000, 'p');

TEST_F(Images, EveryOperationOnAnEmptyListDoesNothing) {
  WriteAll(work_ / "stray.png", "x");
  auto before = Tree(root_);
  doc_.BindImageExplode();
  doc_.BindImagePack();
  doc_.BindImageCopy((root_ / "copy").string());
  doc_.BindImageDeleteFile();
  doc_.BindImageDeleteGzFile();
  doc_.BindImageDeleteNonGzFile();
  EXPECT_EQ(Tree(root_), before);
}

TEST_F(Images, InitEmptiesTheListButLeavesFiles) {
  WriteAll(work_ / "a.png", "x");
  Add(u"a.png");
  doc_.BindImageInit();
  EXPECT_EQ(doc_.BindImageN, 0);
  EXPECT_TRUE(doc_.BindImage.empty());
  EXPECT_TRUE(fs::exists(work_ / "a.png"));
}

TEST_F(Images, ExplodeUnpacksCompressedImagesWhateverTheCaseOfGz) {
  WriteGz(work_ / "a.png.gz", kPicture);
  WriteGz(work_ / "b.bmp.GZ", "bitmap");
  WriteAll(work_ / "c.jpg", "plain");
  Add(u"a.png.gz");
  Add(u"b.bmp.GZ");
  Add(u"c.jpg");
  Add(u"missing.png.gz");
  doc_.BindImageExplode();
  EXPECT_EQ(ReadAll(work_ / "a.png"), kPicture);
  EXPECT_EQ(ReadAll(work_ / "b.bmp"), "bitmap");
  EXPECT_EQ(ReadAll(work_ / "c.jpg"), "plain");
  EXPECT_FALSE(fs::exists(work_ / "missing.png"));
  EXPECT_EQ(doc_.BindImage[0].Fname, u"a.png.gz");  // names stay
}

TEST_F(Images, ExplodeLeavesNoFileForABrokenOrForeignStream) {
  std::string gz;
  WriteGz(work_ / "tmp.gz", kPicture);
  gz = ReadAll(work_ / "tmp.gz");
  fs::remove(work_ / "tmp.gz");
  WriteAll(work_ / "cut.png.gz", gz.substr(0, gz.size() / 2));
  WriteAll(work_ / "raw.png.gz", "not compressed at all");
  Add(u"cut.png.gz");
  Add(u"raw.png.gz");
  doc_.BindImageExplode();
  EXPECT_FALSE(fs::exists(work_ / "cut.png"));
  EXPECT_FALSE(fs::exists(work_ / "raw.png"));
}

TEST_F(Images, PackCompressesPlainImagesAndRenamesTheirEntries) {
  WriteAll(work_ / "a.png", kPicture);
  WriteGz(work_ / "b.png.gz", "already");
  Add(u"a.png");
  Add(u"b.png.gz");
  Add(u"gone.png");
  doc_.BindImagePack();
  EXPECT_EQ(doc_.BindImage[0].Fname, u"a.png.gz");
  EXPECT_EQ(ReadGz(work_ / "a.png.gz"), kPicture);
  EXPECT_EQ(ReadAll(work_ / "a.png"), kPicture);  // the plain file is kept
  EXPECT_EQ(doc_.BindImage[1].Fname, u"b.png.gz");
  EXPECT_FALSE(fs::exists(work_ / "b.png.gz.gz"));
  EXPECT_EQ(doc_.BindImage[2].Fname, u"gone.png");
  EXPECT_FALSE(fs::exists(work_ / "gone.png.gz"));
}

TEST_F(Images, DeletionsRemoveExactlyTheirFiles) {
  WriteGz(work_ / "a.png.gz", kPicture);
  WriteAll(work_ / "b.jpg", "plain");
  WriteAll(work_ / "other.txt", "not an image");
  Add(u"a.png.gz");
  Add(u"b.jpg");
  doc_.BindImageExplode();
  ASSERT_TRUE(fs::exists(work_ / "a.png"));

  doc_.BindImageDeleteNonGzFile();
  EXPECT_EQ(Tree(work_), (std::set<std::string>{"a.png.gz", "other.txt"}));
  doc_.BindImageDeleteGzFile();
  EXPECT_EQ(Tree(work_), (std::set<std::string>{"other.txt"}));

  WriteAll(work_ / "a.png.gz", "x");
  WriteAll(work_ / "b.jpg", "x");
  doc_.BindImageDeleteFile();
  EXPECT_EQ(Tree(work_), (std::set<std::string>{"other.txt"}));
}

TEST_F(Images, DeleteNeverRemovesAFolder) {
  fs::create_directory(work_ / "pics");
  fs::create_directory(work_ / "pics.gz");
  Add(u"pics");
  Add(u"pics.gz");
  doc_.BindImageDeleteFile();
  doc_.BindImageDeleteGzFile();
  doc_.BindImageDeleteNonGzFile();
  EXPECT_TRUE(fs::is_directory(work_ / "pics"));
  EXPECT_TRUE(fs::is_directory(work_ / "pics.gz"));
}

TEST_F(Images, CopyWritesPlainFormsIntoTheFolderEvenWithoutTrailingSeparator) {
  WriteGz(work_ / "a.png.gz", kPicture);
  WriteAll(work_ / "b.jpg", "plain");
  Add(u"a.png.gz");
  Add(u"b.jpg");
  doc_.BindImageExplode();
  fs::create_directory(root_ / "out");
  WriteAll(root_ / "out" / "b.jpg", "old content");
  doc_.BindImageCopy((root_ / "out").string());
  EXPECT_EQ(ReadAll(root_ / "out" / "a.png"), kPicture);
  EXPECT_EQ(ReadAll(root_ / "out" / "b.jpg"), "plain");
  EXPECT_FALSE(fs::exists(root_ / "outa.png"));
  EXPECT_EQ(Tree(root_ / "out"), (std::set<std::string>{"a.png", "b.jpg"}));
}

TEST_F(Images, CopyOntoTheWorkingFolderItselfKeepsTheImages) {
  WriteAll(work_ / "b.jpg", "plain");
  Add(u"b.jpg");
  doc_.BindImageCopy(work_.string());
  EXPECT_EQ(ReadAll(work_ / "b.jpg"), "plain");
}

// Names come from drawings: nothing outside the working folder may be read,
// created or deleted through them.
TEST_F(Images, UntrustedNamesNeverReachOutsideTheWorkingFolder) {
  WriteAll(root_ / "victim.txt", "keep me");
  WriteGz(root_ / "evil.gz", "payload");
  fs::create_directory(work_ / "sub");
  WriteAll(work_ / "sub" / "inner.png", "inner");
  for (const char16_t* name :
       {u"../victim.txt", u"../evil.gz", u"..", u".", u"sub/inner.png", u"sub\\inner.png",
        u"c:victim.txt", u"/tmp/../victim.txt", u"", u"a\nb.png"}) {
    Add(name);
  }
  // The absolute path of the victim, too.
  Add(std::u16string((root_ / "victim.txt").u16string()));
  auto before = Tree(root_);
  fs::create_directory(root_ / "copy");
  before.insert("copy");

  doc_.BindImageExplode();
  doc_.BindImagePack();
  doc_.BindImageCopy((root_ / "copy").string());
  doc_.BindImageDeleteFile();
  doc_.BindImageDeleteGzFile();
  doc_.BindImageDeleteNonGzFile();

  EXPECT_EQ(Tree(root_), before);
  EXPECT_EQ(ReadAll(root_ / "victim.txt"), "keep me");
  EXPECT_EQ(doc_.BindImage[0].Fname, u"../victim.txt");
}

}  // namespace
