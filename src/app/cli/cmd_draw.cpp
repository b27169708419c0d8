// brindle draw: a picture of a drawing (PNG, SVG or PDF), as read or as the
// conversion will make it.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <QGuiApplication>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "app/cli/commands.h"
#include "app/cli/files.h"
#include "app/convert.h"
#include "app/i18n.h"
#include "app/steps.h"
#include "jww/document.h"
#include "jww/sxf_explode.h"
#include "render/output.h"

namespace app::cli {

namespace {

// Fonts need a GUI application; without a display the offscreen platform
// serves, which is all a picture needs.
void ChooseQtPlatform() {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

// Qt's own remarks are for developers: a user of `brindle draw` on a server
// would otherwise read about a runtime folder that a picture never needs.
// Warnings that concern the picture still reach stderr.
void QtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtDebugMsg || type == QtInfoMsg) return;
  if (text.startsWith(QStringLiteral("QStandardPaths:"))) return;
  std::cerr << "brindle: " << text.toStdString() << "\n";
}

}  // namespace

int RunDraw(int argc, char** argv) {
  CLI::App app{Tr("Draws a drawing into a picture: PNG, SVG or PDF, chosen by the output's name."),
               "brindle draw"};
  TranslateParser(app);
  std::string in, out;
  bool after = false, fit = false, allGroups = false, visibleGroups = false, dark = false,
       force = false;
  int width = 0;
  double dpi = 0;
  app.add_option("FILE", in, Tr("drawing to draw (.jww, .sfc)"))->required();
  app.add_option("-o,--output", out, Tr("picture to write (.png, .svg or .pdf)"))->required();
  app.add_flag("--after", after,
               Tr("draw the drawing as the conversion will make it (nothing is written)"));
  auto* w =
      app.add_option("--width", width, Tr("picture width in pixels"))->check(CLI::Range(16, 32768));
  auto* d =
      app.add_option("--dpi", dpi, Tr("resolution in dots per inch of the sheet (default 150)"))
          ->check(CLI::Range(1.0, 4800.0));
  w->excludes(d);
  auto* all =
      app.add_flag("--all-groups", allGroups, Tr("draw hidden layer groups and layers too"));
  auto* vis = app.add_flag("--visible-groups", visibleGroups,
                           Tr("draw only the layer groups and layers the drawing shows (default)"));
  all->excludes(vis);
  app.add_flag("--fit", fit, Tr("show what is drawn only, not the whole sheet"));
  app.add_flag("--dark", dark, Tr("dark background, as Jw_cad's dark screen"));
  app.add_flag("--force", force, Tr("replace an existing output file"));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return ParseFailure(app, e);
  }
  const std::optional<render::Format> format = render::FormatOfPath(out);
  if (!format) {
    std::cerr << "brindle: "
              << TrFormat("{}: the picture's name must end in .png, .svg or .pdf", {out}) << "\n";
    return kExitUsage;
  }
  if (RefuseExisting(in, out, force)) return kExitFailed;

  jww::TJwwData doc;
  ScopedImageFolder images;
  if (!ReadDrawing(doc, in, &images)) {
    JwwDataFree(doc);
    return kExitFailed;
  }
  doc.BindImageExplode();  // pictures stored compressed are read under their plain names
  if (after) jww::DataTransJWW(doc);

  ChooseQtPlatform();
  qInstallMessageHandler(QtMessage);
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QGuiApplication qt(qtArgc, qtArgv);
  render::RenderOptions options;
  options.dark = dark;
  options.allGroups = allGroups;
  options.fitToContents = fit;
  std::error_code ec;
  options.drawingFolder = std::filesystem::absolute(in, ec).parent_path().string();
  // A large picture takes a while: on a terminal, say how far it has got.
  const bool showProgress = ::isatty(STDERR_FILENO) != 0;
  const auto tell = [&](const std::string& what) {
    if (showProgress) std::cerr << "\r\033[K" << what << std::flush;
  };
  tell(Tr("drawing…"));
  const render::PaintProgress progress = [&](int done, int total) {
    if (done < total)
      tell(TrFormat("drawing… {}/{}", {std::to_string(done), std::to_string(total)}));
    else
      tell(Tr("saving the picture…"));
  };
  const QByteArray bytes = render::RenderBytes(doc, options, *format, {width, dpi}, nullptr,
                                               showProgress ? progress : render::PaintProgress{});
  tell("");
  JwwDataFree(doc);
  if (bytes.isEmpty()) {
    std::cerr << "brindle: " << TrFormat("{}: the picture could not be made (too large?)", {out})
              << "\n";
    return kExitFailed;
  }
  std::string error;
  if (SaveText(out, bytes.toStdString(), force ? NameRule::kReplace : NameRule::kExact, &error)
          .empty()) {
    std::cerr << "brindle: " << out << ": " << error << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace app::cli
