// SPDX-License-Identifier: GPL-3.0-or-later
// Messages the programs show the user, in the user's language.
//
// Every message of brindle, brindle-gui and brindle-samples is written in
// English in the source and passed through Tr(); the catalogue of the text
// domain "brindle" translates it by LANG / LC_MESSAGES. The texts that are
// the system's own log lines ("変換完了", "変換失敗", the ESC line, …) are
// never passed through Tr(): they stay the same in every language.
//
// Only the front ends call InitMessages(); the core library shows no text.
#pragma once

#include <initializer_list>
#include <span>
#include <string>

namespace app {

// Binds the text domain (catalogues beside the executable in ../share/locale
// or in the build tree, else the installed prefix) and selects the user's
// message locale. Call once at start-up, before any Tr().
// `language` (e.g. "ja") speaks that language whatever the user's locale
// says, even under LANG=C: the window is Japanese in every locale.
void InitMessages(const char* argv0, const char* language = nullptr);

// The translation of `english`, or `english` itself.
const char* Tr(const char* english);

// Marks a text for the message catalogue where it cannot be translated yet
// (a table built before the catalogue is bound, a heading handed on to the
// code that shows it); Tr() it when it is shown.
constexpr const char* TrNoop(const char* english) { return english; }

// Tr() of `english` with "{}" replaced by the arguments in order.
std::string TrFormat(const char* english, std::initializer_list<std::string> args);

// `pattern` (already translated) with "{}" replaced by `args` in order.
std::string FillPattern(const std::string& pattern, std::span<const std::string> args);

// The translation of the singular or plural English text that fits the count
// `n` (ngettext), with "{}" replaced by the arguments in order.
std::string TrPlural(const char* singular, const char* plural, unsigned long n,
                     std::initializer_list<std::string> args);

}  // namespace app
