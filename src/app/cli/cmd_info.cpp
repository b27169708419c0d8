// SPDX-License-Identifier: GPL-3.0-or-later
// brindle info FILE…: what a drawing holds and what a conversion would do
// with it, as aligned text or as JSON (one object per line and file), and
// with --audit what the reading repaired or found wrong.

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "app/cli/files.h"
#include "app/cli/output.h"
#include "app/convert.h"
#include "app/i18n.h"
#include "app/info.h"
#include "jww/document.h"

namespace app::cli {

namespace {

struct InfoArgs {
  std::vector<std::string> files;
  bool json = false;
  bool audit = false;
  bool failOnIssues = false;
};

}  // namespace

int RunInfo(int argc, char** argv) {
  CLI::App app{Tr("Describes drawings: sheet, extents, counts, layers, blocks, SXF figures."),
               "brindle info"};
  TranslateParser(app);
  InfoArgs a;
  app.add_option("FILE", a.files, Tr("drawings to describe (.jww, .sfc, .p21)"))->required();
  app.add_flag("--json", a.json, Tr("one JSON object per file and line"));
  app.add_flag("--audit", a.audit, Tr("list what was repaired or looks wrong"));
  app.add_flag("--fail-on-issues", a.failOnIssues,
               Tr("exit with status 1 when the audit finds anything (implies --audit)"));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return ParseFailure(app, e);
  }
  if (a.failOnIssues) a.audit = true;

  int rc = kExitOk;
  bool first = true;
  for (const std::string& file : a.files) {
    jww::TJwwData doc;
    DrawingInfo info;
    if (ReadDrawing(doc, file)) {
      info = DescribeDrawing(doc, file, a.audit);
    } else {
      rc = kExitFailed;
      // The audit still says where the reading broke off.
      if (!a.audit || doc.ReadLog.empty()) continue;
      info = DescribeUnreadable(doc, file);
    }
    JwwDataFree(doc);
    std::string text;
    if (a.json) {
      text = InfoJson(info).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
             "\n";
    } else {
      text = (first ? "" : "\n") + InfoText(info);
    }
    first = false;
    WriteOut(text);
    if (OutFailed()) break;
    if (a.failOnIssues && !info.findings.empty()) rc = kExitFailed;
  }
  return FinishOut(rc);
}

}  // namespace app::cli
