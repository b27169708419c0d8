// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/xdg.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace app {
namespace {

std::string EnvOrEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string_view Trim(std::string_view s) {
  const char* ws = " \t\r";
  size_t b = s.find_first_not_of(ws);
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(ws);
  return s.substr(b, e - b + 1);
}

// user-dirs.dirs values are shell words in double quotes; a backslash
// escapes the next character.
std::optional<std::string> Unquote(std::string_view v) {
  if (v.size() < 2 || v.front() != '"' || v.back() != '"') return std::nullopt;
  v = v.substr(1, v.size() - 2);
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '\\' && i + 1 < v.size()) ++i;
    out += v[i];
  }
  return out;
}

std::string ReadWholeFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return {};
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

std::string HomeFolder() {
  std::string home = EnvOrEmpty("HOME");
  if (!home.empty()) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

namespace {
// A base folder variable counts only when absolute; otherwise the home
// folder's conventional subfolder is used.
std::string XdgBaseFolder(const char* variable, const char* fallback) {
  std::string v = EnvOrEmpty(variable);
  if (!v.empty() && v.front() == '/') return v;
  return (std::filesystem::path(HomeFolder()) / fallback).string();
}
}  // namespace

std::string XdgConfigHome() { return XdgBaseFolder("XDG_CONFIG_HOME", ".config"); }
std::string XdgCacheHome() { return XdgBaseFolder("XDG_CACHE_HOME", ".cache"); }

std::optional<std::string> ParseUserDir(std::string_view fileText, std::string_view key,
                                        const std::string& home) {
  std::optional<std::string> found;
  size_t pos = 0;
  while (pos <= fileText.size()) {
    size_t end = fileText.find('\n', pos);
    if (end == std::string_view::npos) end = fileText.size();
    std::string_view line = Trim(fileText.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line.front() == '#') continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos || Trim(line.substr(0, eq)) != key) continue;
    std::optional<std::string> value = Unquote(Trim(line.substr(eq + 1)));
    if (!value) continue;
    // Only "$HOME/…" and absolute paths are valid; "$HOME" alone means the
    // home folder, which desktops read as "not set", but it
    // is still a folder the user can find, so it is kept.
    if (value->rfind("$HOME", 0) == 0) {
      std::string rest = value->substr(5);
      if (!rest.empty() && rest.front() != '/') continue;
      found = home + rest;
    } else if (value->rfind("${HOME}", 0) == 0) {
      std::string rest = value->substr(7);
      if (!rest.empty() && rest.front() != '/') continue;
      found = home + rest;
    } else if (!value->empty() && value->front() == '/') {
      found = *value;
    }
    // Later assignments win, as they would in the shell.
  }
  return found;
}

std::string XdgUserDir(std::string_view key, std::string_view fallbackName) {
  std::string home = HomeFolder();
  std::string text = ReadWholeFile(std::filesystem::path(XdgConfigHome()) / "user-dirs.dirs");
  if (std::optional<std::string> dir = ParseUserDir(text, key, home)) return *dir;
  return (std::filesystem::path(home) / std::string(fallbackName)).string();
}

std::string DesktopFolder() { return XdgUserDir("XDG_DESKTOP_DIR", "Desktop"); }
std::string DocumentsFolder() { return XdgUserDir("XDG_DOCUMENTS_DIR", "Documents"); }

std::string ExecutablePath() {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

}  // namespace app
