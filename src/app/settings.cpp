// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "app/steps.h"
#include "app/xdg.h"
#include "util/encoding.h"
#include "util/path.h"
#include "util/text.h"

namespace app {
namespace fs = std::filesystem;

namespace {

constexpr int kLineCount = 14;

int ReadInt(const std::string& line) { return util::ValInt(util::FromUtf8(line)); }
bool ReadFlag(const std::string& line) { return util::StrToBool(util::FromUtf8(line)); }
std::string ReadHexText(const std::string& line) {
  return util::ToUtf8(util::HexUtf8ToStr(util::FromUtf8(line)));
}
std::string HexText(const std::string& text) {
  return util::ToUtf8(util::StrToHexUtf8(util::FromUtf8(text)));
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::istringstream in{std::string(text)};
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

void Settings::SetDefaults(const std::string& programFolder) {
  *this = Settings{};
  LabelPreFolder = programFolder;
}

void Settings::SetRadio(int n, bool checked) {
  if (n < 1 || n > 5) return;
  if (checked) RadioButtonFl.fill(false);
  RadioButtonFl[n - 1] = checked;
}

OutputMode Settings::Mode() const {
  for (int i = 0; i < 4; ++i)
    if (RadioButtonFl[i]) return static_cast<OutputMode>(i + 1);
  return OutputMode::kAsk;
}

bool OpenDatFile(Settings& s, const std::string& path, const std::string& programFolder) {
  s.SetDefaults(programFolder);
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return true;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  ReadSettingsText(s, ss.str());
  return true;
}

void ReadSettingsText(Settings& s, std::string_view text) {
  std::vector<std::string> lines = SplitLines(text);
  lines.resize(kLineCount);  // lines missing at the end read as empty

  s.Fm1x = ReadInt(lines[0]);
  s.Fm1y = ReadInt(lines[1]);
  s.Fm1w = ReadInt(lines[2]);
  s.Fm1h = ReadInt(lines[3]);
  for (int i = 0; i < 5; ++i) s.SetRadio(i + 1, ReadFlag(lines[4 + i]));
  s.EditFl1 = ReadHexText(lines[9]);
  s.Label1 = ReadHexText(lines[10]);
  s.LabelPreFolder = ReadHexText(lines[11]);
  s.Fidx = ReadInt(lines[12]);
  s.gstyle = lines[13];
}

std::string SettingsText(const Settings& s) {
  std::string t;
  auto line = [&t](const std::string& v) { t += v + "\r\n"; };
  line(std::to_string(s.Fm1x));
  line(std::to_string(s.Fm1y));
  line(std::to_string(s.Fm1w));
  line(std::to_string(s.Fm1h));
  for (bool b : s.RadioButtonFl) line(b ? "1" : "0");
  line(HexText(s.EditFl1));
  line(HexText(s.Label1));
  line(HexText(s.LabelPreFolder));
  line(std::to_string(s.Fidx));
  line(s.gstyle);
  return t;
}

bool SaveDatFile(const Settings& s, const std::string& path, std::string* why) {
  fs::path target(path);
  std::error_code ec;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  // Replaced in one step: a failed write leaves the old settings as they were.
  std::string error;
  const bool saved = !SaveText(path, SettingsText(s), NameRule::kReplace, &error).empty();
  if (!saved && why) *why = error;
  return saved;
}

std::string ProgramFolder() {
  std::string exe = ExecutablePath();
  if (exe.empty()) return "/";
  return fs::path(exe).parent_path().string() + "/";
}

WorkFolders WorkFoldersFor(const std::string& settingsPath, const std::string& programFolder) {
  const fs::path settingsFolder = fs::path(settingsPath).parent_path();
  if (!programFolder.empty() && settingsFolder == fs::path(programFolder).parent_path())
    return {programFolder, programFolder + "TEMP/"};
  return {util::AddPathDelim(HomeFolder()),
          (fs::path(XdgCacheHome()) / "brindle" / "images").string() + "/"};
}

bool PortableInstall() {
  std::error_code ec;
  const std::string exe = ExecutablePath();
  return !exe.empty() && fs::is_regular_file(fs::path(exe).parent_path() / "brindle.dat", ec);
}

std::string SettingsFilePath(const std::string& exePath, const std::string& overridePath,
                             const std::function<bool(const std::string&)>& isFile) {
  if (!overridePath.empty()) return overridePath;
  auto exists = [&](const std::string& path) {
    if (isFile) return isFile(path);
    std::error_code ec;
    return fs::is_regular_file(path, ec);
  };
  // Only a file that is already there makes an install portable: a writable
  // program folder (a root install into /usr/local/bin) is no such choice.
  if (!exePath.empty()) {
    const std::string beside = fs::path(exePath).replace_extension(".dat").string();
    if (exists(beside)) return beside;
  }
  return (fs::path(XdgConfigHome()) / "brindle" / "brindle.dat").string();
}

std::string PreviewPlacementPath(const std::string& settingsPath) {
  fs::path p(settingsPath);
  return (p.parent_path() / (p.stem().string() + "-preview.dat")).string();
}

PreviewPlacement ReadPreviewPlacement(const std::string& path) {
  PreviewPlacement p;
  std::ifstream in(path, std::ios::binary);
  if (!in) return p;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::vector<std::string> lines = SplitLines(text);
  if (lines.size() < 2) return p;
  const int w = ReadInt(lines[0]);
  const int h = ReadInt(lines[1]);
  if (w >= 200 && h >= 150 && w <= 16384 && h <= 16384) {
    p.width = w;
    p.height = h;
  }
  p.maximised = lines.size() > 2 && ReadFlag(lines[2]);
  return p;
}

bool SavePreviewPlacement(const PreviewPlacement& p, const std::string& path) {
  if (path.empty()) return false;
  fs::path target(path);
  std::error_code ec;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  const std::string text = std::to_string(p.width) + "\r\n" + std::to_string(p.height) + "\r\n" +
                           (p.maximised ? "1" : "0") + "\r\n";
  std::string error;
  return !SaveText(path, text, NameRule::kReplace, &error).empty();
}

}  // namespace app
