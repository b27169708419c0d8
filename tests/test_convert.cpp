// SPDX-License-Identifier: GPL-3.0-or-later
// One conversion under faults: the working folder for images, explosions too
// large to make, and the locale of the machine.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "app/convert.h"
#include "jww/document.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> n;
  for (const auto& e : fs::directory_iterator(dir)) n.insert(e.path().filename().string());
  return n;
}

jww::TEntJwwMoji Text(const std::u16string& s) {
  jww::TEntJwwMoji t;
  t.dSizeX = t.dSizeY = 3.5;
  t.str = s;
  t.strFontName = u"ＭＳ ゴシック";
  return t;
}

// A version 700 drawing: a line and, with `images`, two embedded pictures
// that image texts refer to.
void WriteDrawing(const fs::path& p, const fs::path& work, bool images) {
  jww::TJwwData d;
  d.Enthd.jwVer = 700;
  jww::TEntJwwLine a;
  a.end_x = 100;
  d.EntLine = {a};
  d.EntLineN = 1;
  d.EntNo = {{1, 0}};
  if (images) {
    d.EntMoji = {Text(u"^@BM%temp%pic.png,100,100,0,0,1,0"),
                 Text(u"^@BM%temp%map.bmp,50,50,0,0,1,0")};
    d.EntMojiN = 2;
    d.EntNo.push_back({4, 0});
    d.EntNo.push_back({4, 1});
    std::ofstream(work / "pic.png", std::ios::binary) << std::string(40000, 'p');
    std::ofstream(work / "map.bmp", std::ios::binary) << std::string(30000, 'm');
    d.BindImage = {{u"pic.png", 40000, false}, {u"map.bmp", 30000, false}};
    d.BindImageN = 2;
    d.BindImageFolder = work.string() + "/";
    d.BindImageExp = d.BindImageExr = true;
  }
  d.Enthd.n1 = static_cast<int32_t>(d.EntNo.size());
  ASSERT_TRUE(d.FileOut(p.string(), 700)) << d.LastWriteError;
}

int ImagesIn(const fs::path& p) {
  jww::TJwwData d;
  d.BindImageExr = true;
  EXPECT_TRUE(d.FileIn(p.string()));
  return d.BindImageN;
}

class ConvertFaults : public ::testing::Test {
 protected:
  testjww::TempDir tmp_{"brindle-convert"};
  fs::path src_ = tmp_.path() / "src", out_ = tmp_.path() / "out", work_ = tmp_.path() / "work";
  void SetUp() override {
    for (const fs::path& p : {src_, out_, work_}) fs::create_directories(p);
  }
  app::ConvertResult Convert(const fs::path& drawing, const std::string& imageFolder) {
    app::ConvertOptions o;
    o.imageFolder = imageFolder;
    return app::ConvertFile(drawing.string(), (out_ / drawing.filename()).string(), o);
  }
};

// ---- the working folder for images ----

TEST_F(ConvertFaults, ADrawingWithoutImagesNeedsNoWorkingFolder) {
  WriteDrawing(src_ / "plain.jww", work_, false);
  // A folder that cannot be made (its parent is a file), even for root.
  const fs::path blocked = tmp_.path() / "file";
  std::ofstream(blocked) << "x";
  app::ConvertResult r = Convert(src_ / "plain.jww", (blocked / "sub").string());
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(Names(out_), (std::set<std::string>{"plain.jww"}));
}

TEST_F(ConvertFaults, ImagesKeepTheirPlaceThroughAConversion) {
  WriteDrawing(src_ / "pics.jww", work_, true);
  const fs::path images = tmp_.path() / "images";
  fs::create_directories(images);
  app::ConvertResult r = Convert(src_ / "pics.jww", images.string());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(ImagesIn(out_ / "pics.jww"), 2);
  EXPECT_TRUE(fs::is_empty(images));
}

TEST_F(ConvertFaults, ImagesThatCannotBeExtractedFailTheFile) {
  WriteDrawing(src_ / "pics.jww", work_, true);
  const fs::path blocked = tmp_.path() / "file";
  std::ofstream(blocked) << "x";
  app::ConvertResult r = Convert(src_ / "pics.jww", (blocked / "sub").string());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("working folder"), std::string::npos) << r.error;
  EXPECT_TRUE(fs::is_empty(out_));
}

// A working folder with room for one picture only: the other cannot be
// extracted, and the drawing must not come out without it.
TEST_F(ConvertFaults, AFullWorkingFolderFailsTheFile) {
  WriteDrawing(src_ / "pics.jww", work_, true);
  const fs::path small = tmp_.path() / "small";
  fs::create_directories(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=48k") != 0)
    GTEST_SKIP() << "cannot mount a small file system here (needs root)";
  app::ConvertResult r = Convert(src_ / "pics.jww", small.string());
  const bool empty = fs::is_empty(small);
  ::umount(small.c_str());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("embedded image"), std::string::npos) << r.error;
  EXPECT_TRUE(fs::is_empty(out_));
  EXPECT_TRUE(empty);
}

// ---- names at the file system's limit ----

// A name of 255 bytes converts again and again: each branch name loses whole
// characters of the stem to make room for "~N", never more than it must.
TEST_F(ConvertFaults, NamesAtTheLimitMakeRoomForTheBranchNumber) {
  WriteDrawing(src_ / "a.jww", work_, false);
  std::string kana;
  for (int i = 0; i < 83; ++i) kana += "あ";  // 249 bytes
  const struct {
    std::string name;
    std::string first;  // the first branch name, as counted here
  } cases[] = {
      {std::string(251, 'a') + ".jww", std::string(249, 'a') + "~1.jww"},
      {kana + "ab.jww", kana + "~1.jww"},
      {"a" + kana + ".jww", "a" + kana.substr(0, 246) + "~1.jww"},  // a character is cut whole
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.size());
    const std::string dst = (out_ / c.name).string();
    ASSERT_TRUE(app::ConvertFile((src_ / "a.jww").string(), dst).ok);
    const app::ConvertResult again = app::ConvertFile((src_ / "a.jww").string(), dst);
    ASSERT_TRUE(again.ok) << again.error;
    EXPECT_EQ(fs::path(again.output).filename().string(), c.first);
    const app::ConvertResult third = app::ConvertFile((src_ / "a.jww").string(), dst);
    ASSERT_TRUE(third.ok) << third.error;
    EXPECT_LE(fs::path(third.output).filename().string().size(), 255u);
  }
}

// ---- explosions too large to make ----

// `depth` definitions, each placing the next `fanOut` times; the last holds
// `members` lines. SXF figures unless `sxf` is false. Placed once.
jww::TJwwData NestedDrawing(int depth, int fanOut, int members, bool sxf = true) {
  jww::TJwwData d;
  d.DataDefaultSet();
  EXPECT_TRUE(d.AddEntPre());
  for (int k = 0; k < depth; ++k) {
    const std::u16string name =
        (sxf ? u"@@SFIGORGFLAG@@1F" : u"USER") + std::u16string(1, u'a' + k);
    // The builder marks every name; 4 marks a block that is no SXF figure.
    EXPECT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, sxf ? 1 : 4, name));
  }
  for (int k = 0; k < depth; ++k) {
    if (k + 1 < depth) {
      for (int i = 0; i < fanOut; ++i)
        EXPECT_TRUE(d.AddBlkBlock(k, 0, 0, 0, 1, 1, 0, 0, k + 1, i * 10.0, 0, 1, 1, 0));
    } else {
      for (int i = 0; i < members; ++i)
        EXPECT_TRUE(d.AddBlkLine(k, 0, 0, 0, 1, 1, 0, 0, i, 0, i, 10));
    }
    d.AddBlkDefPost(k);
  }
  EXPECT_TRUE(d.AddEntBlock(0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 1, 1, 0));
  EXPECT_TRUE(d.AddEntPost());
  return d;
}

// One figure of `members` lines placed `placements` times.
jww::TJwwData FlatDrawing(int members, int placements) {
  jww::TJwwData d;
  d.DataDefaultSet();
  EXPECT_TRUE(d.AddEntPre());
  EXPECT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"@@SFIGORGFLAG@@1big"));
  for (int i = 0; i < members; ++i) EXPECT_TRUE(d.AddBlkLine(0, 0, 0, 0, 1, 1, 0, 0, i, 0, i, 1));
  d.AddBlkDefPost(0);
  for (int i = 0; i < placements; ++i)
    EXPECT_TRUE(d.AddEntBlock(0, 0, 0, 1, 1, 0, 0, 0, i * 3.0, 0, 1, 1, 0));
  EXPECT_TRUE(d.AddEntPost());
  return d;
}

// AddressSanitizer reserves terabytes of shadow address space, so a limit on
// the address space cannot be set under it.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSpaceLimitWorks = false;
#else
constexpr bool kAddressSpaceLimitWorks = true;
#endif

// Converts in a child process whose address space is limited to 1 GB, so
// that an explosion that is not refused ends in a failed allocation instead
// of taking the machine. True when the child reported a refusal naming the
// limit, with nothing written.
bool RefusedUnderMemoryLimit(const fs::path& src, const fs::path& out, bool allBlocks,
                             int64_t maxCopies = app::kDefaultMaxCopies,
                             const std::string& reason = "limit of 50000000") {
  const pid_t pid = ::fork();
  if (pid == 0) {
    struct rlimit lim {};
    lim.rlim_cur = lim.rlim_max = 1ull << 30;
    if (kAddressSpaceLimitWorks) ::setrlimit(RLIMIT_AS, &lim);
    app::ConvertOptions o;
    o.allBlocks = allBlocks;
    o.maxCopies = maxCopies;
    app::ConvertResult r = app::ConvertFile(src.string(), (out / src.filename()).string(), o);
    const bool refused = !r.ok && r.error.find(reason) != std::string::npos && fs::is_empty(out);
    if (!refused) std::fprintf(stderr, "ok=%d error=%s\n", r.ok, r.error.c_str());
    ::_exit(refused ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(ConvertFaults, HugeExplosionsAreRefusedBeforeTheyStart) {
  const fs::path nested = src_ / "nested.jww";
  jww::TJwwData n = NestedDrawing(15, 4, 1);
  ASSERT_TRUE(n.FileOut(nested.string(), 600)) << n.LastWriteError;
  EXPECT_LT(fs::file_size(nested), 40000u);
  EXPECT_GT(n.BlockExplodeCopies(), 50'000'000);
  const fs::path flat = src_ / "flat.jww";
  jww::TJwwData f = FlatDrawing(20000, 20000);
  ASSERT_TRUE(f.FileOut(flat.string(), 600)) << f.LastWriteError;
  EXPECT_EQ(f.BlockExplodeCopies(), 400'000'000);

  for (bool allBlocks : {false, true}) {
    EXPECT_TRUE(RefusedUnderMemoryLimit(nested, out_, allBlocks)) << allBlocks;
    EXPECT_TRUE(RefusedUnderMemoryLimit(flat, out_, allBlocks)) << allBlocks;
  }
  // User blocks are counted the same way when --all-blocks flattens them.
  const fs::path user = src_ / "user.jww";
  jww::TJwwData u = NestedDrawing(15, 4, 1, /*sxf=*/false);
  ASSERT_TRUE(u.FileOut(user.string(), 600)) << u.LastWriteError;
  EXPECT_TRUE(RefusedUnderMemoryLimit(user, out_, true));
}

// Above the limit chosen, memory runs out first: still a failure, never a
// drawing with some placements kept as blocks.
TEST_F(ConvertFaults, RunningOutOfMemoryFailsTheFile) {
  if (!kAddressSpaceLimitWorks) GTEST_SKIP() << "no address-space limit under AddressSanitizer";
  const fs::path flat = src_ / "flat.jww";
  jww::TJwwData f = FlatDrawing(2000, 20000);
  ASSERT_TRUE(f.FileOut(flat.string(), 600)) << f.LastWriteError;
  for (bool allBlocks : {false, true})
    EXPECT_TRUE(RefusedUnderMemoryLimit(flat, out_, allBlocks, 1'000'000'000, "memory"));
}

TEST_F(ConvertFaults, TheLimitIsTheOptionsOwn) {
  const fs::path small = src_ / "small.jww";
  jww::TJwwData d = NestedDrawing(3, 2, 5);  // 2 × 2 × 5 = 20 lines
  ASSERT_TRUE(d.FileOut(small.string(), 600)) << d.LastWriteError;
  EXPECT_EQ(d.BlockExplodeCopies(), 20);
  app::ConvertOptions o;
  o.maxCopies = 19;
  app::ConvertResult r = app::ConvertFile(small.string(), (out_ / "small.jww").string(), o);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("limit of 19"), std::string::npos) << r.error;
  EXPECT_TRUE(fs::is_empty(out_));
  o.maxCopies = 100;
  r = app::ConvertFile(small.string(), (out_ / "small.jww").string(), o);
  EXPECT_TRUE(r.ok) << r.error;
}

// --all-blocks explodes the SXF figures exactly as without it (groups 1 to
// 15, the warning past the fifteenth), then flattens every other placement.
TEST_F(ConvertFaults, AllBlocksKeepsTheFigureGroups) {
  jww::TJwwData d;
  d.DataDefaultSet();
  ASSERT_TRUE(d.AddEntPre());
  for (int k = 0; k < 16; ++k) {
    ASSERT_TRUE(
        d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"@@SFIGORGFLAG@@1F" + std::u16string(1, u'a' + k)));
    ASSERT_TRUE(d.AddBlkLine(k, 0, 3, 2, 1, 1, 0, 0, 0, 0, 10, k));
    d.AddBlkDefPost(k);
  }
  ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 4, u"north arrow"));
  ASSERT_TRUE(d.AddBlkLine(16, 0, 5, 1, 1, 1, 0, 0, 0, 0, 0, 10));
  d.AddBlkDefPost(16);
  for (int k = 0; k <= 16; ++k)
    ASSERT_TRUE(d.AddEntBlock(0, 0, 0, 1, 1, 0, 0, k, k * 20.0, 0, 1, 1, 0));
  ASSERT_TRUE(d.AddEntPost());
  const fs::path src = src_ / "groups.jww";
  ASSERT_TRUE(d.FileOut(src.string(), 600)) << d.LastWriteError;

  auto groups = [](const fs::path& p) {
    jww::TJwwData out;
    EXPECT_TRUE(out.FileIn(p.string()));
    std::multiset<int> g;
    for (int32_t i = 0; i < out.EntLineN; ++i) g.insert(out.EntLine[i].att.nGLayer);
    return std::make_pair(g, out.EntBlockN);
  };
  app::ConvertOptions o;
  app::ConvertResult plain = app::ConvertFile(src.string(), (out_ / "plain.jww").string(), o);
  ASSERT_TRUE(plain.ok) << plain.error;
  o.allBlocks = true;
  app::ConvertResult all = app::ConvertFile(src.string(), (out_ / "all.jww").string(), o);
  ASSERT_TRUE(all.ok) << all.error;
  EXPECT_EQ(all.warnings, plain.warnings);
  ASSERT_FALSE(all.warnings.empty());
  EXPECT_NE(all.warnings.back().find("16 SXF figures"), std::string::npos) << all.warnings.back();

  const auto [plainGroups, plainBlocks] = groups(out_ / "plain.jww");
  const auto [allGroups, allBlocks] = groups(out_ / "all.jww");
  EXPECT_EQ(plainBlocks, 2);  // the sixteenth figure and the user block
  EXPECT_EQ(allBlocks, 0);
  std::multiset<int> expected;
  for (int g = 1; g <= 15; ++g) expected.insert(g);
  EXPECT_EQ(plainGroups, expected);
  // The sixteenth figure and the user block go into their placements' group.
  expected.insert({0, 0});
  EXPECT_EQ(allGroups, expected);
  EXPECT_EQ(all.copies, plain.copies + 2);
}

TEST(BlockExplodeCopies, CountsWhatTheExplosionMakes) {
  for (bool sxf : {false, true}) {
    jww::TJwwData d = NestedDrawing(4, 3, 2, sxf);
    const int64_t counted = d.BlockExplodeCopies();
    EXPECT_EQ(counted, 3 * 3 * 3 * 2);
    const int32_t before = d.EntLineN;
    ASSERT_TRUE(d.BlockExplode());
    EXPECT_EQ(d.EntLineN - before, counted);
  }
  // A definition placed inside itself is not expanded without end.
  jww::TJwwData c = NestedDrawing(2, 1, 1, false);
  c.EntBlockDef[1].mBlock.push_back(c.EntBlockDef[0].mBlock[0]);
  c.EntBlockDef[1].mBlock.back().nNumber = c.EntBlockDef[0].nNumber;
  c.EntBlockDef[1].mBlockN = 1;
  EXPECT_LT(c.BlockExplodeCopies(), 10);
}

}  // namespace
