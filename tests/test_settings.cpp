// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "app/settings.h"
#include "app/xdg.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using app::OpenDatFile;
using app::OutputMode;
using app::SaveDatFile;
using app::Settings;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& p, const std::string& data) {
  std::ofstream out(p, std::ios::binary);
  out << data;
}

// The 14 lines with the five flag lines given.
std::string File(const std::string& flags5to9,
                 const std::string& rest = "\r\n\r\n\r\n1\r\nWindows\r\n") {
  return "50\r\n50\r\n480\r\n480\r\n" + flags5to9 + rest;
}

class SettingsFile : public ::testing::Test {
 protected:
  testjww::TempDir tmp_{"brindle-settings"};
  void SetUp() override {
    dir_ = tmp_.path();
    file_ = dir_ / "brindle.dat";
  }
  Settings Load(const std::string& text) {
    WriteAll(file_, text);
    Settings s;
    EXPECT_TRUE(OpenDatFile(s, file_.string(), "/opt/brindle/"));
    return s;
  }

  fs::path dir_, file_;
};

TEST_F(SettingsFile, NoFileGivesTheDefaults) {
  Settings s;
  s.Fm1x = 7;
  ASSERT_TRUE(OpenDatFile(s, (dir_ / "none.dat").string(), "/opt/brindle/"));
  EXPECT_EQ(s.Fm1x, 50);
  EXPECT_EQ(s.Fm1y, 50);
  EXPECT_EQ(s.Fm1w, 480);
  EXPECT_EQ(s.Fm1h, 480);
  EXPECT_EQ(s.Mode(), OutputMode::kDesktop);
  EXPECT_EQ(s.LabelPreFolder, "/opt/brindle/");
  EXPECT_EQ(s.EditFl1, "");
  EXPECT_EQ(s.Fidx, 1);
  EXPECT_EQ(s.gstyle, "Windows");
}

TEST_F(SettingsFile, WrittenBytesAreTheFourteenLines) {
  Settings s;
  s.SetDefaults("C:\\");
  s.SetMode(OutputMode::kFixed);
  s.EditFl1 = "abc";
  s.Fm1x = -3;
  ASSERT_TRUE(SaveDatFile(s, file_.string()));
  EXPECT_EQ(ReadAll(file_),
            "-3\r\n50\r\n480\r\n480\r\n0\r\n0\r\n0\r\n1\r\n0\r\n616263\r\n\r\n433A5C\r\n1\r\n"
            "Windows\r\n");
  // Nothing else is left in the folder (no temporary file).
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(SettingsFile, RoundTripKeepsEveryFieldIncludingNonAsciiFolders) {
  Settings s;
  s.SetDefaults("/opt/brindle/");
  s.Fm1x = 10;
  s.Fm1y = 20;
  s.Fm1w = 640;
  s.Fm1h = 400;
  s.SetMode(OutputMode::kAsk);
  s.EditFl1 = "/home/u/図面 出力/";
  s.Label1 = "/mnt/c/Users/設計/";
  s.LabelPreFolder = "/srv/ｶﾀｶﾅ/１/";
  s.Fidx = 2;
  s.gstyle = "Carbon";
  ASSERT_TRUE(SaveDatFile(s, file_.string()));
  Settings back;
  ASSERT_TRUE(OpenDatFile(back, file_.string(), "/elsewhere/"));
  EXPECT_EQ(back, s);
}

TEST_F(SettingsFile, AllFlagsZeroMeansAskEveryTime) {
  Settings s = Load(File("0\r\n0\r\n0\r\n0\r\n0\r\n"));
  for (bool b : s.RadioButtonFl) EXPECT_FALSE(b);
  EXPECT_EQ(s.Mode(), OutputMode::kAsk);
}

TEST_F(SettingsFile, LaterCheckedFlagUnchecksEarlierOnes) {
  Settings s = Load(File("1\r\n0\r\n1\r\n1\r\n0\r\n"));
  EXPECT_EQ(s.RadioButtonFl, (std::array<bool, 5>{false, false, false, true, false}));
  EXPECT_EQ(s.Mode(), OutputMode::kFixed);
  // A later unchecked line does not undo an earlier checked one.
  s = Load(File("0\r\n1\r\n0\r\n0\r\n0\r\n"));
  EXPECT_EQ(s.Mode(), OutputMode::kDocuments);
}

TEST_F(SettingsFile, FlagWordsInAnyCase) {
  EXPECT_EQ(Load(File("0\r\n0\r\non\r\n0\r\n0\r\n")).Mode(), OutputMode::kBeside);
  EXPECT_EQ(Load(File("0\r\nTrU\r\n0\r\n0\r\n0\r\n")).Mode(), OutputMode::kDocuments);
  EXPECT_EQ(Load(File("0\r\n0\r\n0\r\nOn\r\n0\r\n")).Mode(), OutputMode::kFixed);
  EXPECT_EQ(Load(File("0\r\n0\r\n0\r\n0\r\ntrue\r\n")).Mode(), OutputMode::kAsk);
  Settings s = Load(File("yes\r\n0\r\n0\r\n0\r\n0\r\n"));
  EXPECT_FALSE(s.RadioButtonFl[0]);
}

TEST_F(SettingsFile, MalformedNumbersReadAsZero) {
  Settings s =
      Load("12a\r\n\r\n3.5\r\n-7\r\n1\r\n0\r\n0\r\n0\r\n0\r\n\r\n\r\n\r\nx\r\nWindows\r\n");
  EXPECT_EQ(s.Fm1x, 0);
  EXPECT_EQ(s.Fm1y, 0);
  EXPECT_EQ(s.Fm1w, 0);
  EXPECT_EQ(s.Fm1h, -7);
  EXPECT_EQ(s.Fidx, 0);
}

TEST_F(SettingsFile, LinesMissingAtTheEndReadAsEmpty) {
  Settings s = Load("100\n200\n");  // LF only, two lines
  EXPECT_EQ(s.Fm1x, 100);
  EXPECT_EQ(s.Fm1y, 200);
  EXPECT_EQ(s.Fm1w, 0);
  EXPECT_EQ(s.Fm1h, 0);
  EXPECT_EQ(s.Mode(), OutputMode::kAsk);
  EXPECT_EQ(s.LabelPreFolder, "");
  EXPECT_EQ(s.gstyle, "");
}

TEST_F(SettingsFile, BadHexDigitsGiveZeroBytesThatEndTheText) {
  Settings s = Load(File("1\r\n0\r\n0\r\n0\r\n0\r\n", "6162ZZ63\r\nE6\r\n\r\n1\r\nWindows\r\n"));
  EXPECT_EQ(s.EditFl1, "ab");
  EXPECT_EQ(s.Label1, "?");  // a lone lead byte is not UTF-8
}

TEST_F(SettingsFile, FolderThatIsAFileFails) {
  WriteAll(file_, "x");
  Settings s;
  s.SetDefaults("/");
  EXPECT_FALSE(SaveDatFile(s, (file_ / "brindle.dat").string()));
  EXPECT_EQ(ReadAll(file_), "x");
}

TEST_F(SettingsFile, ReadOnlyFolderFailsAndKeepsTheOldFile) {
  Settings s;
  s.SetDefaults("/");
  ASSERT_TRUE(SaveDatFile(s, file_.string()));
  const std::string before = ReadAll(file_);
  s.Fm1x = 999;
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  if (::access(dir_.c_str(), W_OK) == 0)
    GTEST_SKIP() << "running with rights that ignore folder permissions (root)";
  EXPECT_FALSE(SaveDatFile(s, file_.string()));
  EXPECT_EQ(ReadAll(file_), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

// ---- where the settings live ----

class EnvGuard {
 public:
  EnvGuard(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    ::setenv(name, value.c_str(), 1);
  }
  ~EnvGuard() {
    if (had_)
      ::setenv(name_, old_.c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

// The preview window's size file: beside the settings, sizes out of reason
// read as the defaults, the settings file itself untouched.
TEST_F(SettingsFile, PreviewPlacementBesideTheSettings) {
  const std::string path = app::PreviewPlacementPath(file_.string());
  EXPECT_EQ(path, (dir_ / "brindle-preview.dat").string());
  const app::PreviewPlacement defaults;
  EXPECT_EQ(app::ReadPreviewPlacement(path), defaults);
  ASSERT_TRUE(app::SavePreviewPlacement({1200, 700, true}, path));
  EXPECT_EQ(ReadAll(path), "1200\r\n700\r\n1\r\n");
  EXPECT_EQ(app::ReadPreviewPlacement(path), (app::PreviewPlacement{1200, 700, true}));
  EXPECT_FALSE(fs::exists(file_));
  const struct {
    const char* text;
    app::PreviewPlacement read;
  } cases[] = {
      {"10\r\n10\r\n0\r\n", defaults},
      {"99999\r\n700\r\n", defaults},
      {"800\r\n", defaults},
      {"800\n600\n", {800, 600, false}},
      {"x\r\n600\r\n1\r\n", {defaults.width, defaults.height, true}},
  };
  for (const auto& c : cases) {
    WriteAll(path, c.text);
    EXPECT_EQ(app::ReadPreviewPlacement(path), c.read) << c.text;
  }
}

TEST(SettingsPlace, OverrideBesideTheProgramOrConfigFolder) {
  EnvGuard config("XDG_CONFIG_HOME", "/cfg");
  EXPECT_EQ(app::SettingsFilePath("/opt/b/brindle", "/x/my.dat"), "/x/my.dat");
  auto yes = [](const std::string&) { return true; };
  auto no = [](const std::string&) { return false; };
  EXPECT_EQ(app::SettingsFilePath("/opt/b/brindle", "", yes), "/opt/b/brindle.dat");
  EXPECT_EQ(app::SettingsFilePath("/opt/b/brindle.bin", "", yes), "/opt/b/brindle.dat");
  EXPECT_EQ(app::SettingsFilePath("/usr/bin/brindle", "", no), "/cfg/brindle/brindle.dat");
}

// A writable program folder alone (a root install into /usr/local/bin) is no
// reason to write there; an existing brindle.dat beside the program is.
TEST(SettingsPlace, BesideTheProgramOnlyWhenTheFileIsAlreadyThere) {
  testjww::TempDir tmp("brindle-settings-place");
  EnvGuard config("XDG_CONFIG_HOME", tmp / "cfg");
  const std::string exe = tmp / "brindle";
  const std::string xdg = tmp / "cfg/brindle/brindle.dat";
  ASSERT_EQ(::access(tmp.path().c_str(), W_OK), 0);
  EXPECT_EQ(app::SettingsFilePath(exe, ""), xdg);

  std::filesystem::create_directory(tmp / "brindle.dat");  // a folder does not opt in
  EXPECT_EQ(app::SettingsFilePath(exe, ""), xdg);
  std::filesystem::remove(tmp / "brindle.dat");

  std::ofstream(tmp / "brindle.dat") << "";
  EXPECT_EQ(app::SettingsFilePath(exe, ""), tmp / "brindle.dat");
  EXPECT_EQ(app::SettingsFilePath(exe, tmp / "other.dat"), tmp / "other.dat");
}

// An installed program writes nothing beside itself: only a portable install
// (settings file in the program's folder) keeps its dialogs and images there.
TEST(SettingsPlace, WorkFoldersBesideAPortableProgramElseXdg) {
  EnvGuard home("HOME", "/home/u");
  EnvGuard cache("XDG_CACHE_HOME", "/cache");
  const struct {
    const char* settings;
    const char* program;
    app::WorkFolders expected;
  } cases[] = {
      {"/opt/b/brindle.dat", "/opt/b/", {"/opt/b/", "/opt/b/TEMP/"}},
      {"/home/u/.config/brindle/brindle.dat", "/usr/bin/", {"/home/u/", "/cache/brindle/images/"}},
      {"/x/my.dat", "/usr/bin/", {"/home/u/", "/cache/brindle/images/"}},
  };
  for (const auto& c : cases) {
    const app::WorkFolders got = app::WorkFoldersFor(c.settings, c.program);
    EXPECT_EQ(got.start, c.expected.start) << c.settings;
    EXPECT_EQ(got.images, c.expected.images) << c.settings;
  }
  EnvGuard relative("XDG_CACHE_HOME", "not/absolute");
  EXPECT_EQ(app::XdgCacheHome(), "/home/u/.cache");
}

TEST(SettingsPlace, ConfigHomeFallsBackToDotConfig) {
  EnvGuard home("HOME", "/home/u");
  EnvGuard config("XDG_CONFIG_HOME", "relative/not/allowed");
  EXPECT_EQ(app::XdgConfigHome(), "/home/u/.config");
}

TEST(UserDirs, ParsesQuotedValuesWithHomeExpanded) {
  const std::string text =
      "# comment\n"
      "XDG_DESKTOP_DIR=\"$HOME/デスクトップ\"\n"
      "XDG_DOCUMENTS_DIR=\"/data/My \\\"Docs\\\"\"\n"
      "XDG_MUSIC_DIR=\"$HOMEmusic\"\n"
      "XDG_VIDEOS_DIR=unquoted\n";
  EXPECT_EQ(app::ParseUserDir(text, "XDG_DESKTOP_DIR", "/home/u"), "/home/u/デスクトップ");
  EXPECT_EQ(app::ParseUserDir(text, "XDG_DOCUMENTS_DIR", "/home/u"), "/data/My \"Docs\"");
  EXPECT_EQ(app::ParseUserDir(text, "XDG_MUSIC_DIR", "/home/u"), std::nullopt);
  EXPECT_EQ(app::ParseUserDir(text, "XDG_VIDEOS_DIR", "/home/u"), std::nullopt);
  EXPECT_EQ(app::ParseUserDir(text, "XDG_PICTURES_DIR", "/home/u"), std::nullopt);
}

TEST(UserDirs, ReadsTheConfigFileOrFallsBack) {
  std::random_device rd;
  fs::path dir = fs::temp_directory_path() / ("brindle-xdg-" + std::to_string(rd()));
  fs::create_directories(dir / "cfg");
  EnvGuard home("HOME", (dir / "home").string());
  EnvGuard config("XDG_CONFIG_HOME", (dir / "cfg").string());
  EXPECT_EQ(app::DesktopFolder(), (dir / "home" / "Desktop").string());
  WriteAll(dir / "cfg" / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/机\"\n");
  EXPECT_EQ(app::DesktopFolder(), (dir / "home" / "机").string());
  EXPECT_EQ(app::DocumentsFolder(), (dir / "home" / "Documents").string());
  fs::remove_all(dir);
}

}  // namespace
