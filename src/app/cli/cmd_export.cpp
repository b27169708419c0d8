// SPDX-License-Identifier: GPL-3.0-or-later
// brindle export: drawings as DXF files, through the batch driver.
#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/batch.h"
#include "app/cli/commands.h"
#include "app/cli/output.h"
#include "app/cli/terminal.h"
#include "app/convert.h"
#include "app/driver.h"
#include "app/i18n.h"
#include "app/reasons.h"
#include "app/settings.h"
#include "app/sfc_source.h"
#include "dxf/export.h"
#include "jww/document.h"
#include "util/path.h"

#ifdef BRINDLE_HAVE_RENDER
#include <QImageReader>
#endif

namespace fs = std::filesystem;

namespace app::cli {
namespace {

struct ExportArgs {
  std::vector<std::string> files;
  std::string output;
  bool after = false;
  bool explode = false;
  bool sheet = false;
  std::string version = "R2018";
  bool force = false;
  int jobs = 1;
  int64_t maxCopies = kDefaultMaxCopies;
  bool json = false;
  bool quiet = false;
};

void AddOptions(CLI::App& app, ExportArgs& a) {
  app.add_option("FILE", a.files, Tr("drawings to export (.jww)"))->required();
  app.add_option("-o,--output", a.output,
                 Tr("the DXF file to write (one drawing) or the folder to write into (made when "
                    "it does not exist); beside each drawing when not given"));
  app.add_flag("--after", a.after,
               Tr("export the drawing as the conversion makes it (built in memory, nothing "
                  "else is written)"));
  app.add_flag("--explode", a.explode,
               Tr("resolve every block placement into geometry instead of BLOCKs and INSERTs"));
  app.add_flag("--sheet", a.sheet, Tr("write millimetres on the sheet instead of full size"));
  app.add_option("--dxf", a.version,
                 Tr("DXF version: R2018 (UTF-8, the default) or R2000 (code page 932)"))
      ->check(CLI::IsMember({"R2018", "R2000"}, CLI::ignore_case));
  app.add_flag("--force", a.force,
               Tr("replace an existing DXF file and the pictures beside it (NAME_images/)"));
  app.add_option("-j,--jobs", a.jobs, Tr("files exported at once (0: one per processor)"))
      ->check(CLI::Range(0, 1024));
  app.add_option("--max-copies", a.maxCopies,
                 TrFormat("refuse a file whose explosion would make more copies than this "
                          "(default {})",
                          {std::to_string(kDefaultMaxCopies)}))
      ->check(CLI::PositiveNumber);
  app.add_flag("--json", a.json, Tr("one JSON object per file instead of the log lines"));
  app.add_flag("-q,--quiet", a.quiet, Tr("log only the files that failed"));
}

std::string DxfName(const std::string& src) {
  fs::path p(src);
  p.replace_extension(".dxf");
  return p.string();
}

// A picture's size in pixels, read from its header by Qt; without Qt no
// picture can be measured and image texts are left out.
bool MeasurePicture(const std::string& path, int& width, int& height) {
#ifdef BRINDLE_HAVE_RENDER
  QImageReader reader(QString::fromStdString(path));
  QSize size = reader.size();
  if (!size.isValid()) size = reader.read().size();
  width = size.width();
  height = size.height();
  return size.isValid() && !size.isEmpty();
#else
  (void)path, (void)width, (void)height;
  return false;
#endif
}

// The folder beside `dst` that its pictures go into: "NAME_images" for NAME.dxf.
std::string PictureFolderName(const std::string& dst) {
  return fs::path(dst).stem().string() + "_images";
}

// Refuses pictures that would replace a file (unless --force), before the
// DXF is written; false with r.error set.
bool PicturesFree(const dxf::PicturePlan& plan, const std::string& dst, const fs::path& folder,
                  bool force, ConvertResult& r) {
  std::error_code ec;
  // An existing DXF is refused first, in the words every export uses.
  if (force || fs::exists(fs::symlink_status(dst, ec))) return true;
  for (const dxf::Picture& p : plan.pictures) {
    const fs::path target = folder / p.name;
    if (fs::exists(fs::symlink_status(target, ec))) {
      r.error = TrFormat(
          "{}: the picture would replace a file of that name (see --force); "
          "nothing was written",
          {target.string()});
      return false;
    }
  }
  return true;
}

// Copies every picture into `folder` (made when missing), each file written
// whole or not at all; false with r.error set.
bool WritePictures(const dxf::PicturePlan& plan, const fs::path& folder, bool force,
                   ConvertResult& r) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    r.error = TrFormat("{}: the folder for the pictures could not be made", {folder.string()});
    return false;
  }
  for (const dxf::Picture& p : plan.pictures) {
    const jww::FileContents copy = [&p](std::FILE* out, std::string*) {
      std::FILE* in = std::fopen(p.source.c_str(), "rbe");
      if (!in) return false;
      std::vector<char> buf(1 << 16);
      size_t n = 0;
      bool ok = true;
      while (ok && (n = std::fread(buf.data(), 1, buf.size(), in)) > 0)
        ok = std::fwrite(buf.data(), 1, n, out) == n;
      ok = ok && !std::ferror(in);
      std::fclose(in);
      return ok;
    };
    const std::string target = (folder / p.name).string();
    std::string error;
    if (SaveFile(target, copy, force ? NameRule::kReplace : NameRule::kExact, &error).empty()) {
      r.error = target + ": " + (error.empty() ? Tr("the picture could not be copied") : error);
      return false;
    }
    ++r.picturesWritten;
  }
  return true;
}

// The export of one drawing into `dst`, as the batch records it.
ConvertResult ExportFile(const std::string& src, const std::string& dst, const ExportArgs& a) {
  const auto start = std::chrono::steady_clock::now();
  ConvertResult r;
  try {
    jww::TJwwData doc;
    ScopedImageFolder images;
    if (ReadDrawing(doc, src, &images, &r.error)) {
      doc.BindImageExplode();  // pictures stored compressed are read under their plain names
      ConvertOptions co;
      co.maxCopies = a.maxCopies;
      bool ok = !a.after || ConvertInMemory(doc, co, r, IsSfcFile(src));
      if (ok && a.explode) {
        const int64_t copies = doc.BlockExplodeCopies();
        if (r.copies + copies > a.maxCopies) {
          r.error = TrFormat(
              "exploding would make {} copies, more than the limit of {} (see --max-copies); "
              "nothing was written",
              {std::to_string(r.copies + copies), std::to_string(a.maxCopies)});
          ok = false;
        } else if (!doc.BlockExplode()) {
          r.error = Tr("not enough memory to explode the blocks; nothing was written");
          ok = false;
        }
      }
      dxf::ExportOptions eo;
      eo.version = a.version == "R2000" || a.version == "r2000" ? dxf::Version::kR2000
                                                                : dxf::Version::kR2018;
      eo.sheet = a.sheet;
      dxf::PicturePlan plan;
      if (ok) {
        std::error_code ec;
        plan = dxf::PlanPictures(doc, fs::absolute(src, ec).parent_path().string(), MeasurePicture);
        if (!plan.pictures.empty()) {
          eo.pictures = &plan;
          eo.pictureFolder = PictureFolderName(dst);
          ok = PicturesFree(plan, dst, fs::path(dst).parent_path() / eo.pictureFolder, a.force, r);
        }
      }
      if (ok) {
        dxf::ExportStats stats;
        // Written straight into the output's temporary file, a buffer at a time.
        const jww::FileContents contents = [&](std::FILE* out, std::string* error) {
          if (dxf::WriteDxf(doc, eo, out, &stats)) return true;
          if (error) *error = Tr("the DXF file could not be written");
          return false;
        };
        r.output =
            SaveFile(dst, contents, a.force ? NameRule::kReplace : NameRule::kExact, &r.error);
        // The log names the source: say which file could not be written.
        if (r.output.empty() && !r.error.empty()) r.error = dst + ": " + r.error;
        // The DXF names its pictures: they follow it, or the export failed.
        if (!r.output.empty() && eo.pictures &&
            !WritePictures(plan, fs::path(r.output).parent_path() / eo.pictureFolder, a.force, r))
          r.output.clear();
        if (stats.images > 0)
          r.warnings.push_back(TrFormat(
              "{} image texts were not exported: their pictures are missing or cannot be read",
              {std::to_string(stats.images)}));
        if (stats.cycles > 0)
          r.warnings.push_back(
              TrFormat("{} placements that would place a block inside itself were left out",
                       {std::to_string(stats.cycles)}));
        r.entitiesWritten = static_cast<int>(stats.entities);
        r.blocks = static_cast<int>(stats.blocks);
      }
    }
    JwwDataFree(doc);
  } catch (const std::bad_alloc&) {
    r.output.clear();
    r.error = Tr("not enough memory to export the drawing; nothing was written");
  }
  r.ok = !r.output.empty() && util::FileExistsCheck(r.output);
  if (!r.ok && r.error.empty()) r.error = Tr("the output file is missing");
  r.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return r;
}

}  // namespace

int RunExport(int argc, char** argv) {
  CLI::App app{Tr("Exports Jw_cad drawings (.jww) as DXF files, at full size unless --sheet."),
               "brindle export"};
  TranslateParser(app);
  app.footer(
      Tr("Exit status: 0 all exported, 1 a file failed or was refused, 2 usage error,\n"
         "130 interrupted."));
  ExportArgs a;
  AddOptions(app, a);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return ParseFailure(app, e);
  }
  for (char& c : a.version) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

  // -o names one DXF file when it ends in .dxf and is no folder; otherwise
  // the folder the DXF files go into.
  std::error_code ec;
  const bool oneFile = !a.output.empty() && util::LowerFileExt(a.output) == ".dxf" &&
                       !fs::is_directory(a.output, ec);
  if (oneFile && a.files.size() > 1) {
    Error(TrFormat("-o {}: one DXF file for {} drawings; name a folder",
                   {a.output, std::to_string(a.files.size())}));
    return kExitUsage;
  }
  Settings settings;
  std::string fixedFile;
  if (a.output.empty()) {
    settings.SetMode(OutputMode::kBeside);
  } else {
    settings.SetMode(OutputMode::kFixed);
    const fs::path full = fs::absolute(a.output, ec).lexically_normal();
    if (oneFile) {
      fixedFile = full.string();
      settings.EditFl1 = full.parent_path().string();
    } else {
      settings.EditFl1 = full.string();
      if (const std::string why = MakeFolderFailure(settings.EditFl1); !why.empty()) {
        Error(why);
        return kExitFailed;
      }
    }
  }

  TerminalPlatform::Options po;
  po.json = a.json;
  po.quiet = a.quiet;
  po.exporting = true;
  TerminalPlatform platform(po, settings, settings);
  BatchDriver driver(platform, settings);
  driver.SetJobs(a.jobs == 0 ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))
                             : a.jobs);
  FileJob job;
  job.run = [&a](const std::string& src, const std::string& wanted) {
    return ExportFile(src, wanted, a);
  };
  job.target = [&fixedFile](const std::string& src, const std::string& folder) {
    if (!fixedFile.empty()) return fixedFile;
    if (folder.empty()) return DxfName(src);
    return util::AddPathDelim(folder) + DxfName(util::FileNameOnly(src));
  };
  driver.SetFileJob(std::move(job));

  std::vector<size_t> positions;
  std::vector<SkippedInput> skipped;
  PickFiles(a.files, driver, positions, skipped);
  const bool skippedAny = AnyRefused(skipped);
  platform.SetInputs(driver.FList, std::move(positions), std::move(skipped));
  if (driver.FListN == 0) {
    platform.FinishBatch();
    return FinishOut(kExitFailed);
  }
  return RunPickedBatch(driver, platform, skippedAny);
}

}  // namespace app::cli
