// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/commands.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <regex>
#include <sstream>
#include <vector>
#include <array>
#include <filesystem>
#include <string_view>

#include "app/i18n.h"

namespace app::cli {
namespace {

// clang-format off
constexpr std::array kCommands{
    Command{"convert", "[options] FILE…", TrNoop("explode the SXF figures into new drawings (the default)"), RunConvert, true},
    Command{"dump", "FILE", TrNoop("print a drawing as text, every field"), RunDump},
    Command{"rewrite", "IN OUT", TrNoop("write a drawing again, e.g. for an older Jw_cad"), RunRewrite},
    Command{"info", "[--json] [--audit] FILE…", TrNoop("describe drawings and what a conversion would do with them"), RunInfo},
    Command{"diff", "[options] OLD NEW", TrNoop("compare two drawings: what was removed, added and changed"), RunDiff},
    Command{"export", "[options] FILE… [-o OUT.dxf|DIR]", TrNoop("export drawings as DXF, at full size, before or after conversion"), RunExport, true},
#ifdef BRINDLE_HAVE_RENDER
    Command{"draw", "FILE -o OUT", TrNoop("draw a drawing into a PNG, SVG or PDF picture"), RunDraw},
#endif
};
// clang-format on

// Terminal columns of a UTF-8 text whose characters are all one column wide.
size_t Columns(std::string_view s) {
  size_t n = 0;
  for (unsigned char ch : s) n += (ch & 0xC0) != 0x80;
  return n;
}

// A first word that names nothing is a mistyped command or file: a usage
// error, said before anything runs. Later arguments are the batch's to report.
bool IsAnExistingFile(std::string_view word) {
  std::error_code ec;
  const std::filesystem::path p{std::string(word)};
  return std::filesystem::exists(std::filesystem::symlink_status(p, ec));
}

}  // namespace

std::span<const Command> Commands() { return kCommands; }

const Command* FindCommand(const std::string& name) {
  auto it = std::find_if(kCommands.begin(), kCommands.end(),
                         [&](const Command& c) { return name == c.name; });
  return it == kCommands.end() ? nullptr : &*it;
}

std::string CommandList() {
  size_t width = 0;
  for (const Command& c : kCommands)
    width = std::max(width, Columns(c.name) + 1 + Columns(c.usage));
  std::string text = std::string(Tr("Commands:")) + "\n";
  for (const Command& c : kCommands) {
    std::string left = std::string(c.name) + " " + c.usage;
    // The usage column holds an ellipsis: pad by characters, not bytes.
    text += "  brindle " + left + std::string(width + 2 - Columns(left), ' ') + Tr(c.help) + "\n";
  }
  return text;
}

const Command* ChooseCommand(int argc, char** argv, int& skip) {
  skip = 0;
  if (argc < 2) return &kCommands[0];
  const std::string first = argv[1];
  if (const Command* c = FindCommand(first)) {
    skip = 1;
    return c;
  }
  if (first.empty() || first[0] == '-' || IsAnExistingFile(first)) return &kCommands[0];
  return nullptr;
}

namespace {

// A number as the user reads it: "0.000000" is 0, and a bound past any real
// count is no bound.
std::string PlainNumber(const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0') return text;
  if (v == std::floor(v) && std::fabs(v) < 1e15) return std::to_string(static_cast<long long>(v));
  std::ostringstream out;
  out << v;
  return out.str();
}

// The type shown after an option in the help: CLI11's type names and the
// ranges of its validators, in the user's language.
std::string ShownType(const std::string& type) {
  static const std::regex range(R"((INT|UINT|FLOAT|NUMBER) in \[(.+) - (.+)\])");
  if (type == "TEXT") return Tr("TEXT");
  if (type == "INT" || type == "UINT") return Tr("INT");
  if (type == "FLOAT" || type == "NUMBER") return Tr("NUMBER");
  if (type == "POSITIVE") return Tr("POSITIVE");
  std::smatch m;
  if (std::regex_match(type, m, range))
    return TrFormat("{} to {}", {PlainNumber(m[2].str()), PlainNumber(m[3].str())});
  return type;
}

// Rewrites every option's type for the help, once all options are made.
void TranslateTypes(CLI::App& app) {
  for (CLI::Option* option : app.get_options()) {
    if (option == app.get_help_ptr() || option->get_type_name().empty()) continue;
    std::vector<std::string> parts;
    std::string full = option->get_type_name(), part;
    for (std::istringstream in(full); std::getline(in, part, ':');) parts.push_back(part);
    std::string shown;
    if (option->nonpositional())
      for (const std::string& p : parts) shown += (shown.empty() ? "" : ":") + ShownType(p);
    // The descriptions are in the shown type now.
    for (int i = 0;; ++i) {
      try {
        option->get_validator(i)->description("");
      } catch (const CLI::OptionNotFound&) {
        break;
      }
    }
    option->type_name(shown);
  }
}

// CLI11's errors are English sentences of a few fixed shapes; each is said
// again in the user's language.
std::string TranslateParseError(const CLI::ParseError& e) {
  struct Shape {
    const char* pattern;
    const char* message;
  };
  // Not a message: the patterns are CLI11's English, matched to be said again.
  static const Shape shapes[] = {
      {R"(The following arguments? (?:was|were) not expected: (.*))",
       TrNoop("not an option of this command: {}")},
      {R"((\S+) excludes (\S+))", TrNoop("{} and {} cannot be given together")},
      {R"((\S+) requires (\S+))", TrNoop("{} needs {} too")},
      {R"((\S+) is required)", TrNoop("{} must be given")},
      {R"((\S+): \d+ required .* missing)", TrNoop("{} needs a value")},
      {R"((\S+): Value (.+) not in range (.+) to (.+))",
       TrNoop("{}: {} is outside the range {} to {}")},
      {R"((\S+): Value (.+) could not be converted.*)", TrNoop("{}: {} is not a number")},
      {R"(Could not convert: (\S+) = (.*))", TrNoop("{}: {} is not a number")},
  };
  const std::string what = e.what();
  for (const Shape& shape : shapes) {
    std::smatch m;
    if (!std::regex_match(what, m, std::regex(shape.pattern))) continue;
    std::vector<std::string> args;
    for (size_t i = 1; i < m.size(); ++i) args.push_back(PlainNumber(m[i].str()));
    const std::string pattern = Tr(shape.message);
    return FillPattern(pattern, args);
  }
  return TrFormat("the command line is not understood: {}", {what});
}

}  // namespace

void TranslateParser(CLI::App& app) {
  // Options made from here on are listed under the translated group name.
  app.option_defaults()->group(Tr("Options"));
  app.set_help_flag("-h,--help", Tr("print this help and exit"));
  auto fmt = app.get_formatter();
  for (const char* label : {TrNoop("Usage"), TrNoop("OPTIONS"), TrNoop("Positionals"),
                            TrNoop("Excludes"), TrNoop("REQUIRED"), TrNoop("Needs"),
                            TrNoop("SUBCOMMAND"), TrNoop("SUBCOMMANDS"), TrNoop("Env")})
    fmt->label(label, Tr(label));
  // Parsing starts once every option is made: their types are shown in
  // the user's language from then on (help included).
  app.preparse_callback([&app](size_t) { TranslateTypes(app); });
}

void PrintHelp(CLI::App& app, std::ostream& out) {
  TranslateTypes(app);
  out << app.help();
}

int ParseFailure(CLI::App& app, const CLI::ParseError& e) {
  const std::string name = e.get_name();
  if (name == "CallForHelp" || name == "CallForAllHelp" || name == "CallForVersion") {
    const int rc = app.exit(e);
    return rc == 0 ? kExitOk : kExitUsage;
  }
  std::cerr << app.get_name() << ": " << TranslateParseError(e) << "\n"
            << Tr("Run with --help for more information.") << "\n";
  return kExitUsage;
}

}  // namespace app::cli
