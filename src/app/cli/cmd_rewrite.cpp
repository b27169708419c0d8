// brindle rewrite: a drawing read and written again, nothing exploded.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "app/cli/commands.h"
#include "app/cli/files.h"
#include "app/convert.h"
#include "app/i18n.h"
#include "jww/document.h"
#include "jww/dump.h"

namespace app::cli {

int RunRewrite(int argc, char** argv) {
  CLI::App app{"Reads a drawing and writes it again without exploding anything.",
               "brindle rewrite"};
  std::string in, out;
  std::optional<int> version;
  bool utf16 = false, cp932 = false, force = false, strict = false;
  app.add_option("IN", in, "drawing to read")->required();
  app.add_option("OUT", out, "file to write")->required();
  app.add_option("--version", version, "format version to write (220 to 700)")
      ->check(CLI::Range(220, 700));
  auto* u = app.add_flag("--utf16", utf16, "write every string as UTF-16");
  auto* c = app.add_flag("--cp932", cp932, "write every string in code page 932");
  u->excludes(c);
  app.add_flag("--force", force, "replace an existing output file");
  app.add_flag("--strict", strict,
               Tr("fail, writing nothing, when a character cannot be written in code page 932"));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return ParseFailure(app, e);
  }
  if (RefuseExisting(in, out, force)) return kExitFailed;

  jww::TJwwData doc;
  ScopedImageFolder images;
  if (!ReadDrawing(doc, in, &images)) {
    JwwDataFree(doc);
    return kExitFailed;
  }
  KeepSourceEncoding(doc);
  if (utf16 || cp932) doc.SetFileOutOption(utf16 ? 32 : 0);
  const int target = version.value_or(doc.Enthd.jwVer);
  const RewriteNotes notes = CheckRewrite(doc, target);
  for (const std::string& w : RewriteWarnings(notes))
    std::cerr << "brindle: " << out << ": " << w << "\n";
  if (strict && notes.lostCharacters > 0) {
    std::cerr << "brindle: " << out << ": " << Tr("not written (--strict)") << "\n";
    JwwDataFree(doc);
    return kExitFailed;
  }
  std::string error;
  std::string written =
      WriteDocument(doc, out, target, force ? NameRule::kReplace : NameRule::kExact, &error);
  JwwDataFree(doc);
  if (written.empty()) {
    std::cerr << "brindle: " << out << ": " << error << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace app::cli
