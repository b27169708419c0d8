// One conversion under faults: the working folder for images, explosions too
// large to make, and the locale of the machine.
#include <gtest/gtest.h>
#include <sys/mount.h>

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

}  // namespace
