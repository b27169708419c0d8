// SPDX-License-Identifier: GPL-3.0-or-later
// brindle draw: a picture of a drawing (PNG, SVG or PDF), as read or as the
// conversion will make it.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "app/cli/commands.h"
#include "app/cli/files.h"
#include "app/cli/headless_qt.h"
#include "app/convert.h"
#include "app/i18n.h"
#include "app/steps.h"
#include "jww/document.h"
#include "jww/sxf_explode.h"
#include "render/output.h"

namespace app::cli {

int RunDraw(int argc, char** argv) {
  CLI::App app{Tr("Draws a drawing into a picture: PNG, SVG or PDF, chosen by the output's name."),
               "brindle draw"};
  TranslateParser(app);
  std::string in, out;
  bool after = false, fit = false, allGroups = false, visibleGroups = false, dark = false,
       force = false;
  int width = 0;
  double dpi = 0;
  app.add_option("FILE", in, Tr("drawing to draw (.jww, .sfc, .p21)"))->required();
  app.add_option("-o,--output", out, Tr("picture to write (.png, .svg or .pdf)"))->required();
  app.add_flag("--after", after,
               Tr("draw the drawing as the conversion will make it (nothing is written)"));
  // How wide is too wide depends on the drawing: that is checked once it is read.
  const CLI::Validator atLeast16(
      [](std::string& text) {
        int v = 0;
        return CLI::detail::lexical_cast(text, v) && v >= 16
                   ? std::string()
                   : Tr("a picture is at least 16 pixels wide");
      },
      Tr("16 or more"));
  auto* w = app.add_option("--width", width, Tr("picture width in pixels"))->check(atLeast16);
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

  HeadlessQt qt(argv[0]);
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
  const render::PictureLayout layout =
      render::LayoutPicture(render::DrawingBox(doc, options), {width, dpi});
  const auto pixels = [](double w, double h) {
    return TrFormat("{} × {} pixels",
                    {std::to_string(std::lround(w)), std::to_string(std::lround(h))});
  };
  const std::string limit = std::to_string(render::kMaxPictureSidePx);
  if (layout.tooLarge) {
    tell("");
    JwwDataFree(doc);
    std::cerr << "brindle: "
              << TrFormat("{}: the picture would be {}, more than the limit of {} pixels a side",
                          {out, pixels(layout.wouldBeWidthPx, layout.wouldBeHeightPx), limit})
              << "\n";
    return kExitUsage;
  }
  if (layout.capped) {
    tell("");
    std::cerr << "brindle: "
              << TrFormat(
                     "{}: the drawing reaches far beyond its sheet; the picture is made {} "
                     "(its long side cut to {} pixels)",
                     {out, pixels(layout.view.width, layout.view.height), limit})
              << "\n";
  }
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
