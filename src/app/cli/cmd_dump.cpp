// brindle dump: a drawing as text.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "app/cli/commands.h"
#include "app/cli/files.h"
#include "app/convert.h"
#include "jww/document.h"
#include "jww/dump.h"

namespace app::cli {

int RunDump(int argc, char** argv) {
  CLI::App app{"Prints a drawing as it was read.", "brindle dump"};
  std::string file, out;
  bool force = false;
  app.add_option("FILE", file, "drawing to read")->required();
  app.add_option("-o,--output", out, "write the text into this file instead of stdout");
  app.add_flag("--force", force, "replace an existing output file");
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
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
  }
  if (!WriteText(out, text, force)) {
    std::cerr << "brindle: " << out << ": could not be written\n";
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace app::cli
