// SPDX-License-Identifier: GPL-3.0-or-later
// brindle convert: a batch of drawings through the batch driver.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/batch.h"
#include "app/cli/commands.h"
#include "app/cli/dry_run.h"
#include "app/cli/files.h"
#include "app/cli/output.h"
#include "app/cli/terminal.h"
#include "app/convert.h"
#include "app/driver.h"
#include "app/i18n.h"
#include "app/reasons.h"
#include "app/settings.h"
#include "app/version.h"
#include "app/xdg.h"

namespace fs = std::filesystem;

namespace app::cli {
namespace {

struct ConvertArgs {
  std::vector<std::string> files;
  bool desktop = false, documents = false, beside = false, ask = false;
  std::string outputDir;
  bool save = false;
  int jobs = 1;
  bool allBlocks = false;
  int64_t maxCopies = kDefaultMaxCopies;
  bool json = false;
  bool quiet = false;
  bool dryRun = false;
  std::string settingsFile;
  std::optional<int> sfcVersion;
  bool utf16 = false;

  bool AnyFolderOption() const {
    return desktop || documents || beside || ask || !outputDir.empty();
  }
};

void ApplyModeOptions(const ConvertArgs& a, Settings& s) {
  if (a.desktop) s.SetMode(OutputMode::kDesktop);
  if (a.documents) s.SetMode(OutputMode::kDocuments);
  if (a.beside) s.SetMode(OutputMode::kBeside);
  if (!a.outputDir.empty()) {
    s.SetMode(OutputMode::kFixed);
    // Absolute, so that the log names the real place and a folder saved with
    // --save still means the same folder when brindle runs from elsewhere.
    std::error_code ec;
    fs::path full = fs::absolute(a.outputDir, ec);
    s.EditFl1 = ec ? a.outputDir : full.lexically_normal().string();
  }
  if (a.ask) s.SetMode(OutputMode::kAsk);
}

// A count of 1 or more, said plainly when it is not (CLI11's own range
// check would print the limits of the type).
CLI::Validator AtLeastOne() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        int64_t n = 0;
        const char* end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data(), end, n);
        if (ec == std::errc() && ptr == end && n >= 1) return {};
        return TrFormat("{} is not allowed: give a whole number of 1 or more", {text});
      },
      "N >= 1");
}

void AddOptions(CLI::App& app, ConvertArgs& a) {
  app.add_option("FILE", a.files, Tr("drawings to convert (.jww, .sfc, .p21)"));
  auto* desktop = app.add_flag("--desktop", a.desktop, Tr("write to the desktop folder"));
  auto* documents = app.add_flag("--documents", a.documents, Tr("write to the documents folder"));
  auto* beside = app.add_flag("--beside", a.beside, Tr("write beside each source file"));
  auto* outdir = app.add_option("-o,--output-dir", a.outputDir,
                                Tr("write into this folder (made when it does not exist)"));
  auto* ask = app.add_flag("--ask", a.ask, Tr("ask for the output folder on the terminal"));
  std::vector<CLI::Option*> modes{desktop, documents, beside, outdir, ask};
  for (CLI::Option* m : modes)
    for (CLI::Option* other : modes)
      if (m != other) m->excludes(other);
  app.add_flag("--save", a.save, Tr("store the output folder chosen here in the settings"));
  app.add_option("-j,--jobs", a.jobs, Tr("files converted at once (0: one per processor)"))
      ->check(CLI::Range(0, 1024));
  app.add_flag("--all-blocks", a.allBlocks,
               Tr("explode every block placement, not only SXF figures"));
  app.add_option("--max-copies", a.maxCopies,
                 TrFormat("refuse a file whose explosion would make more copies than this "
                          "(default {})",
                          {std::to_string(kDefaultMaxCopies)}))
      ->check(AtLeastOne());
  app.add_flag("--json", a.json, Tr("one JSON object per file instead of the log lines"));
  app.add_flag("-q,--quiet", a.quiet, Tr("log only the files that failed"));
  app.add_flag("-n,--dry-run", a.dryRun,
               Tr("show each file's output name and explosion plan; write nothing"));
  app.add_option("--settings", a.settingsFile, Tr("settings file to use"));
  // Without N it is the program's version, as it always was.
  AddWriteVersionOption(app, a.sfcVersion,
                        TrFormat("format version to write SFC drawings in ({}; default 700; JWW "
                                 "drawings keep their own); alone: print the program's version",
                                 {VersionRange()}))
      ->expected(0, 1);
  app.add_flag("--utf16", a.utf16, Tr("write every string of an SFC drawing as UTF-16"));
}

// -o DIR names the folder the user wants: it is made when missing. When it
// cannot be, every file fails with the system's reason (one JSON record each).
bool MakeOutputFolder(const ConvertArgs& a, const Settings& s, const BatchDriver& driver) {
  if (a.outputDir.empty() || a.dryRun) return true;
  const std::string why = MakeFolderFailure(s.EditFl1);
  if (why.empty()) return true;
  Error(why);
  if (a.json) {
    for (size_t i = 0; i < driver.FList.size(); ++i) {
      FileRecord rec{i, driver.FList[i], {}, {}};
      rec.result.error = why;
      WriteOutLine(JsonRecord(rec));
    }
  }
  return false;
}

}  // namespace

int RunConvert(int argc, char** argv) {
  CLI::App app{Tr("Explodes the SXF figure blocks of Jw_cad drawings (.jww) into new files."),
               "brindle"};
  TranslateParser(app);
  app.footer(CommandList() +
             Tr("Exit status: 0 all converted, 1 a file failed or was refused, 2 usage error,\n"
                "130 interrupted."));
  ConvertArgs a;
  AddOptions(app, a);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return ParseFailure(app, e);
  }
  if (app.count("--version") > 0 && !a.sfcVersion) {
    WriteOutLine(std::string("brindle ") + Version());
    return kExitOk;
  }

  std::error_code ec;
  if (!a.settingsFile.empty() && fs::is_directory(a.settingsFile, ec)) {
    Error(TrFormat("--settings {}: is a folder; name a settings file", {a.settingsFile}));
    return kExitUsage;
  }
  std::string settingsPath = SettingsFilePath(ExecutablePath(), a.settingsFile);
  Settings loaded;
  if (!OpenDatFile(loaded, settingsPath, WorkFoldersFor(settingsPath, ProgramFolder()).start))
    Error(TrFormat("the settings file {} could not be read", {settingsPath}));
  Settings current = loaded;
  ApplyModeOptions(a, current);

  if (a.save && !a.AnyFolderOption()) {
    Error(
        Tr("--save: no output folder option (--desktop, --documents, --beside, -o DIR, --ask) "
           "was given, so there is nothing to save"));
    a.save = false;
    if (a.files.empty()) return kExitUsage;
  }
  if (a.files.empty()) {
    if (a.save) {
      if (a.dryRun) return kExitOk;
      std::string why;
      if (SaveDatFile(current, settingsPath, &why)) return kExitOk;
      Error(TrFormat("the settings could not be saved to {}: {}", {settingsPath, why}));
      return kExitFailed;
    }
    Error(Tr("no drawing given"));
    PrintHelp(app, std::cerr);
    return kExitUsage;
  }

  TerminalPlatform::Options po;
  po.json = a.json;
  po.quiet = a.quiet;
  po.saveMode = a.save;
  po.dryRun = a.dryRun;
  po.settingsPath = settingsPath;
  TerminalPlatform platform(po, current, loaded);
  BatchDriver driver(platform, current);
  int jobs =
      a.jobs == 0 ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency())) : a.jobs;
  driver.SetJobs(jobs);
  ConvertOptions co;
  co.allBlocks = a.allBlocks;
  co.maxCopies = a.maxCopies;
  if (a.sfcVersion) co.sfcVersion = VersionToWrite(*a.sfcVersion);
  co.utf16 = a.utf16;
  driver.SetConvertOptions(co);
  driver.SetNoteNoFigures(true);

  std::vector<size_t> positions;
  std::vector<SkippedInput> skipped;
  PickFiles(a.files, driver, positions, skipped);
  const bool skippedAny = AnyRefused(skipped);
  platform.SetInputs(driver.FList, std::move(positions), std::move(skipped));
  if (driver.FListN == 0) {
    platform.FinishBatch();
    return FinishOut(kExitFailed);
  }
  if (a.dryRun) return FinishOut(DryRun(driver, platform, a.json, !a.outputDir.empty()));
  if (!MakeOutputFolder(a, current, driver)) return FinishOut(kExitFailed);

  return RunPickedBatch(driver, platform, skippedAny);
}

}  // namespace app::cli
