// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/i18n.h"

#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace app {
namespace {

constexpr const char* kDomain = "brindle";

#ifndef BRINDLE_LOCALEDIR
#define BRINDLE_LOCALEDIR "/usr/local/share/locale"
#endif

// Catalogues are looked for beside the program first, so that a build tree
// and a relocated install both find their own.
std::string CatalogueFolder(const char* argv0) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec && argv0) exe = fs::absolute(argv0, ec);
  if (!exe.empty()) {
    const fs::path dir = exe.parent_path();
    for (const fs::path& candidate : {dir / "locale", dir / ".." / "share" / "locale"}) {
      if (fs::exists(candidate / "ja" / "LC_MESSAGES" / "brindle.mo", ec)) return candidate.string();
    }
  }
  return BRINDLE_LOCALEDIR;
}

}  // namespace

void InitMessages(const char* argv0, const char* language) {
  // Only the message category follows the user: numbers and character
  // classes of everything the programs compute stay those of "C".
  const char* messages = std::setlocale(LC_MESSAGES, "");
  if (language != nullptr) {
    // gettext ignores LANGUAGE only in the locale "C" (and POSIX); C.UTF-8
    // is always there and lets it choose, the system's own texts included.
    const std::string name = messages ? messages : "C";
    if (name == "C" || name == "POSIX") std::setlocale(LC_MESSAGES, "C.UTF-8");
    ::setenv("LANGUAGE", language, 1);
  }
  std::setlocale(LC_CTYPE, "C.UTF-8");
  const std::string folder = CatalogueFolder(argv0);
  bindtextdomain(kDomain, folder.c_str());
  bind_textdomain_codeset(kDomain, "UTF-8");
}

const char* Tr(const char* english) { return dgettext(kDomain, english); }

std::string FillPattern(const std::string& pattern, std::span<const std::string> args) {
  std::string out;
  out.reserve(pattern.size() + 32);
  auto arg = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '{' && i + 1 < pattern.size() && pattern[i + 1] == '}' && arg != args.end()) {
      out += *arg++;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

std::string TrFormat(const char* english, std::initializer_list<std::string> args) {
  return FillPattern(Tr(english), {args.begin(), args.size()});
}

std::string TrPlural(const char* singular, const char* plural, unsigned long n,
                     std::initializer_list<std::string> args) {
  return FillPattern(dngettext(kDomain, singular, plural, n), {args.begin(), args.size()});
}

}  // namespace app
