// SPDX-License-Identifier: GPL-3.0-or-later
// The read and write steps every command of the programs shares: reading a
// drawing completely (with the reason when it cannot be), the encoding rule
// of the output, and saving under a free, an exact or a replacing name.
// `convert`, `dump`, `rewrite`, `info` and `draw` are built from these, so
// each failure is worded and decided in one place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jww/output_file.h"
#include "util/path.h"

namespace jww {
class TJwwData;
}

namespace app {

// Temporary files and folders the program owns right now. A hard stop
// (second Ctrl-C) removes them before the process ends. Safe to use from any
// thread.
class TempRegistry {
 public:
  static void Add(const std::string& path);
  static void Remove(const std::string& path);
  // Removes every registered path (files and whole folders).
  static void RemoveAll();
};

// The folder for the images of one document: a fresh folder under `parent`
// (the system's temporary folder when empty), made only when a drawing has
// images to extract, and removed with its files when the object goes.
class ScopedImageFolder {
 public:
  explicit ScopedImageFolder(std::string parent = {});
  ~ScopedImageFolder();
  ScopedImageFolder(const ScopedImageFolder&) = delete;
  ScopedImageFolder& operator=(const ScopedImageFolder&) = delete;

  // Makes the folder unless it exists already; false with `error` set.
  bool Make(std::string* error);
  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  // Points the document's image handling at this folder.
  void Attach(jww::TJwwData& doc, bool extract) const;

 private:
  std::string parent_;
  std::string path_;
};

// Empties a document after a conversion and deletes the image files that
// were extracted for it.
void JwwDataFree(jww::TJwwData& doc);

// The versions read and written, "220 to 700" in the user's language.
std::string VersionRange();

// Reads `file` completely into `doc`: FileCheck, then FileIn. With `images`,
// the drawing's embedded images are extracted into it (the folder is made
// only when there are any); every image must arrive whole. False with
// `error` set (for the user, naming the system's cause where there is one).
bool ReadDrawing(jww::TJwwData& doc, const std::string& file, ScopedImageFolder* images,
                 std::string* error);

// False with `error` naming the first image of `doc` whose file in the
// working folder is missing or not of its stored size: writing now would
// drop it from the drawing.
bool ImagesComplete(const jww::TJwwData& doc, std::string* error);

// The output keeps the source's encoding: UTF-16 strings when any string of
// the source was UTF-16, else code page 932.
void KeepSourceEncoding(jww::TJwwData& doc);

// What writing `doc` in format `version` with its current output option
// (SetFileOutOption) would lose or change.
struct RewriteNotes {
  int64_t lostCharacters = 0;         // characters code page 932 cannot hold ("?" in the file)
  std::u16string lostSample;          // the first few of them, each once
  int32_t droppedImages = 0;          // embedded images a version below 700 cannot carry
  bool utf16BelowVersion700 = false;  // UTF-16 strings in a format Jw_cad wrote in code page 932
};
RewriteNotes CheckRewrite(const jww::TJwwData& doc, int version);
// The notes as warnings for the user, one line each.
std::vector<std::string> RewriteWarnings(const RewriteNotes& notes);

// How a file being saved is named.
enum class NameRule {
  kBranch,   // the name asked for, or its first free branch name when taken
  kExact,    // that name only; fails when a file of that name exists
  kReplace,  // that name, replacing an existing file in one step
};

// Saves `contents` under `path` by `rule`. Returns the name given, or "" with
// `error` set; nothing is left behind on failure. `lastBranch` is the highest
// branch number kBranch tries.
std::string SaveFile(const std::string& path, const jww::FileContents& contents, NameRule rule,
                     std::string* error, int lastBranch = util::kMaxBranchNumber);

// Saves `text` as a whole file (the commands' text output).
std::string SaveText(const std::string& path, const std::string& text, NameRule rule,
                     std::string* error);

// Writes `doc` in format `version`, named by `rule`.
std::string WriteDocument(jww::TJwwData& doc, const std::string& dst, int version, NameRule rule,
                          std::string* error, int lastBranch = util::kMaxBranchNumber);

}  // namespace app
