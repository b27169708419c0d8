// SPDX-License-Identifier: GPL-3.0-or-later
// Where a Linux desktop keeps the user's folders: the XDG base and user
// directories, with the conventional fallbacks.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace app {

// $HOME, or the home folder of the password database when HOME is unset.
std::string HomeFolder();

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
std::string XdgConfigHome();

// $XDG_CACHE_HOME when it is an absolute path, else ~/.cache.
std::string XdgCacheHome();

// The value of `key` (e.g. "XDG_DESKTOP_DIR") in the text of a
// user-dirs.dirs file, with "$HOME" expanded and shell escapes removed.
// nullopt when the key is absent or its value is not a usable path.
std::optional<std::string> ParseUserDir(std::string_view fileText, std::string_view key,
                                        const std::string& home);

// $XDG_CONFIG_HOME/user-dirs.dirs looked up for `key`, else ~/`fallbackName`.
std::string XdgUserDir(std::string_view key, std::string_view fallbackName);

std::string DesktopFolder();    // XDG_DESKTOP_DIR, else ~/Desktop
std::string DocumentsFolder();  // XDG_DOCUMENTS_DIR, else ~/Documents

// The running executable's full path (empty when it cannot be found).
std::string ExecutablePath();

}  // namespace app
