// SPDX-License-Identifier: GPL-3.0-or-later
// brindle rewrite: a drawing read and written again, nothing exploded.
#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "app/cli/commands.h"
#include "app/cli/files.h"
#include "app/cli/output.h"
#include "app/convert.h"
#include "app/i18n.h"
#include "jww/document.h"
#include "jww/format_version.h"

namespace app::cli {

int RunRewrite(int argc, char** argv) {
  CLI::App app{Tr("Reads a drawing and writes it again without exploding anything."),
               "brindle rewrite"};
  TranslateParser(app);
  std::string in, out;
  std::optional<int> version;
  bool utf16 = false, cp932 = false, force = false, strict = false;
  app.add_option("IN", in, Tr("drawing to read"))->required();
  app.add_option("OUT", out, Tr("file to write"))->required();
  AddWriteVersionOption(app, version,
                        TrFormat("format version to write ({}; Jw_cad writes 230, 300, 351, 420, "
                                 "500, 600 and 700)",
                                 {VersionRange()}));
  auto* u = app.add_flag("--utf16", utf16, Tr("write every string as UTF-16"));
  auto* c = app.add_flag("--cp932", cp932, Tr("write every string in code page 932"));
  u->excludes(c);
  app.add_flag("--force", force, Tr("replace an existing output file"));
  app.add_flag("--strict", strict,
               Tr("fail, writing nothing, when a character cannot be written in code page 932"));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return ParseFailure(app, e);
  }
  if (RefuseExisting(in, out, force)) return kExitFailed;
  const int asked = version ? VersionToWrite(*version) : 0;

  jww::TJwwData doc;
  ScopedImageFolder images;
  if (!ReadDrawing(doc, in, &images)) {
    JwwDataFree(doc);
    return kExitFailed;
  }
  const int target = asked != 0 ? asked : doc.Enthd.jwVer;
  KeepSourceEncoding(doc);
  // Saving for an older Jw_cad: the releases that write versions below 700
  // read strings in code page 932 only, so UTF-16 stays only when asked for.
  if (asked != 0 && target < 700) doc.SetFileOutOption(0);
  if (utf16 || cp932) doc.SetFileOutOption(utf16 ? 32 : 0);
  const RewriteNotes notes = CheckRewrite(doc, target);
  for (const std::string& w : RewriteWarnings(notes)) Error(out + ": " + w);
  if (strict && notes.lostCharacters > 0) {
    Error(out + ": " + Tr("not written (--strict)"));
    JwwDataFree(doc);
    return kExitFailed;
  }
  std::string error;
  std::string written =
      WriteDocument(doc, out, target, force ? NameRule::kReplace : NameRule::kExact, &error);
  JwwDataFree(doc);
  if (written.empty()) {
    Error(out + ": " + error);
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace app::cli
