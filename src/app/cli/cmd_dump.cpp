// SPDX-License-Identifier: GPL-3.0-or-later
// brindle dump: a drawing as text.
#include <CLI/CLI.hpp>
#include <string>

#include "app/cli/commands.h"
#include "app/cli/files.h"
#include "app/cli/output.h"
#include "app/convert.h"
#include "app/i18n.h"
#include "app/version.h"
#include "jww/document.h"
#include "jww/dump.h"

namespace app::cli {

int RunDump(int argc, char** argv) {
  CLI::App app{Tr("Prints a drawing as it was read."), "brindle dump"};
  TranslateParser(app);
  app.set_version_flag("--version", std::string("brindle ") + Version(),
                       Tr("print the program's version and exit"));
  std::string file, out;
  bool force = false;
  app.add_option("FILE", file, Tr("drawing to read"))->required();
  app.add_option("-o,--output", out, Tr("write the text into this file instead of stdout"));
  app.add_flag("--force", force, Tr("replace an existing output file"));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return ParseFailure(app, e);
  }
  if (!out.empty() && RefuseExisting(file, out, force)) return kExitFailed;

  jww::TJwwData doc;
  if (!ReadDrawing(doc, file)) return kExitFailed;
  std::string text = jww::DumpDocument(doc);
  JwwDataFree(doc);
  if (out.empty()) {
    WriteOut(text);
    return FinishOut(kExitOk);
  }
  if (std::string why = WriteText(out, text, force); !why.empty()) {
    Error(TrFormat("{}: could not be written: {}", {out, why}));
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace app::cli
