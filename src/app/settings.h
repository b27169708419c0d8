// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: window placement, output-folder choice and folders,
// open-dialog filter and visual style, 14 lines of text ended by CR LF.
//
//   1-4   window left, top, width, height       decimal
//   5-9   output mode radio buttons 1..5        "1" / "0"
//   10    fixed output folder                   hex of its UTF-8 bytes
//   11    folder last used in the open dialog   hex of its UTF-8 bytes
//   12    folder chosen last time in mode 5     hex of its UTF-8 bytes
//   13    open-dialog filter index              decimal
//   14    visual style name                     as it is
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace app {

// Output folder modes in their order of precedence.
enum class OutputMode { kDesktop = 1, kDocuments = 2, kBeside = 3, kFixed = 4, kAsk = 5 };

struct Settings {
  int Fm1x = 50;
  int Fm1y = 50;
  int Fm1w = 480;
  int Fm1h = 480;
  // RadioButtonFl1 … RadioButtonFl5; like radio buttons, checking one
  // unchecks the others, but a file may leave all of them unchecked.
  std::array<bool, 5> RadioButtonFl{true, false, false, false, false};
  std::string EditFl1;         // fixed folder (UTF-8)
  std::string Label1;          // folder last used in the open dialog
  std::string LabelPreFolder;  // folder chosen last time in mode 5
  int Fidx = 1;
  std::string gstyle = "Windows";

  void SetDefaults(const std::string& programFolder);
  // Sets radio button `n` (1..5) the way a click would: checking one
  // unchecks the rest, unchecking touches only that one.
  void SetRadio(int n, bool checked);
  void SetMode(OutputMode m) { SetRadio(static_cast<int>(m), true); }
  // The first checked button in order; none checked counts as "ask".
  OutputMode Mode() const;

  bool operator==(const Settings&) const = default;
};

// Sets the defaults, then reads `path` when it exists. Each value is
// assigned as it is read; lines missing at the end read as empty. Returns
// false when the file exists but could not be opened.
bool OpenDatFile(Settings& s, const std::string& path, const std::string& programFolder);

// Assigns the values of a settings file's `text` over `s`, line by line, the
// way OpenDatFile does after setting the defaults.
void ReadSettingsText(Settings& s, std::string_view text);

// Writes the 14 lines through a temporary file beside `path` and a rename,
// creating the folder when needed. On failure nothing is left half written
// and an existing file stays as it was; returns false.
bool SaveDatFile(const Settings& s, const std::string& path, std::string* why = nullptr);

// The whole file text SaveDatFile writes.
std::string SettingsText(const Settings& s);

// The program's folder with its trailing separator ("/" when unknown).
std::string ProgramFolder();
// A portable install: the settings file brindle.dat sits beside the programs.
bool PortableInstall();

// The folders a program writes to besides its output, both with a trailing
// separator. A portable install (its settings file in the program's folder)
// keeps them in the program's folder: dialogs start there and the window's
// image working folder is its "TEMP". Any other program follows the XDG rules
// and never writes beside itself: dialogs start in the home folder and the
// images go to $XDG_CACHE_HOME/brindle/images.
struct WorkFolders {
  std::string start;   // where the folder dialogs and the first "ask" start
  std::string images;  // the window's working folder for images in drawings
};
WorkFolders WorkFoldersFor(const std::string& settingsPath, const std::string& programFolder);

// Where the settings live: `overridePath` when not empty; beside the
// executable with the extension ".dat" when that file already exists there (a
// portable install opts in by creating it); else
// $XDG_CONFIG_HOME/brindle/brindle.dat. `isFile` decides whether a path is an
// existing regular file (the file system by default).
std::string SettingsFilePath(const std::string& exePath, const std::string& overridePath,
                             const std::function<bool(const std::string&)>& isFile = {});

// The preview window's size, kept in a file of its own beside the settings
// file (the settings file stays the 14 lines above): width, height and
// whether it was maximised, three decimal lines ended by CR LF.
struct PreviewPlacement {
  int width = 960;
  int height = 640;
  bool maximised = false;
  bool operator==(const PreviewPlacement&) const = default;
};

// "<settings file without its extension>-preview.dat" beside it.
std::string PreviewPlacementPath(const std::string& settingsPath);
// The defaults when the file is missing; sizes below 200 × 150 or above
// 16384 read as the defaults.
PreviewPlacement ReadPreviewPlacement(const std::string& path);
bool SavePreviewPlacement(const PreviewPlacement& p, const std::string& path);

}  // namespace app
