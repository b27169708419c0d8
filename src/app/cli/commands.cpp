#include "app/cli/commands.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <filesystem>
#include <string_view>

#include "app/i18n.h"
#include "util/path.h"

namespace app::cli {
namespace {

// clang-format off
constexpr std::array kCommands{
    Command{"convert", "[options] FILE…", TrNoop("explode the SXF figures into new drawings (the default)"), RunConvert, true},
    Command{"dump", "FILE", TrNoop("print a drawing as text, every field"), RunDump},
    Command{"rewrite", "IN OUT", TrNoop("write a drawing again, e.g. for an older Jw_cad"), RunRewrite},
    Command{"info", "[--json] [--audit] FILE…", TrNoop("describe drawings and what a conversion would do with them"), RunInfo},
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

bool LooksLikeAFile(std::string_view word) {
  std::error_code ec;
  const std::filesystem::path p{std::string(word)};
  if (std::filesystem::exists(std::filesystem::symlink_status(p, ec))) return true;
  // A drawing's name that is not there is the convert command's to report.
  return util::LowerFileExt(std::string(word)) == ".jww" || word.find('/') != word.npos;
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
  if (first.empty() || first[0] == '-' || LooksLikeAFile(first)) return &kCommands[0];
  return nullptr;
}

void TranslateParser(CLI::App& app) {
  // Options made from here on are listed under the translated group name.
  app.option_defaults()->group(Tr("Options"));
  app.set_help_flag("-h,--help", Tr("print this help and exit"));
  auto fmt = app.get_formatter();
  for (const char* label : {TrNoop("Usage"), TrNoop("OPTIONS"), TrNoop("Positionals"),
                            TrNoop("Excludes"), TrNoop("REQUIRED")})
    fmt->label(label, Tr(label));
}

int ParseFailure(CLI::App& app, const CLI::ParseError& e) {
  int rc = app.exit(e);
  return rc == 0 ? kExitOk : kExitUsage;
}

}  // namespace app::cli
