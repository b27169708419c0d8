// The road of one file: check, read, explode, write under a free name, free.
// Both front ends, the batch driver and the tests go through ConvertFile.
#pragma once

#include <string>
#include <vector>

namespace jww {
class TJwwData;
}

namespace app {

struct ConvertOptions {
  // Explode every block placement, not only the SXF figures.
  bool allBlocks = false;
  // Where the per-conversion image folder is made (a fresh folder inside it,
  // removed afterwards). Empty: the system's temporary folder.
  std::string imageFolder;
};

struct ConvertResult {
  bool ok = false;
  std::string output;  // the file actually written; empty when none was
  int figures = 0;     // block definitions exploded
  int copies = 0;      // entities appended by the explosion
  int entitiesWritten = 0;
  std::vector<std::string> warnings;  // UTF-8
  std::string error;                  // why it failed (UTF-8), empty on success
  double milliseconds = 0;
};

// Converts `src` into `dst`, or, when a file of that name exists or appears
// meanwhile, into the first free branch name of `dst` ("~1" … "~99999"
// before the lower-cased extension). No existing file is ever replaced and
// no partial file is left under any name. Never throws.
ConvertResult ConvertFile(const std::string& src, const std::string& dst,
                          const ConvertOptions& options = {});

// "name~n.ext" for `path` ("dir/name.EXT") and n ≥ 1.
std::string BranchFileName(const std::string& path, int n);
constexpr int kMaxBranchNumber = 99999;

// How WriteDocument names the file it writes.
enum class NameRule {
  kBranch,   // `dst`, or its first free branch name when taken
  kExact,    // `dst` only; fails when a file of that name exists
  kReplace,  // `dst`, replacing an existing file in one step
};

// Writes `doc` in format `version` through a file that has no visible name
// until it is complete, then gives it its name by `rule`. Returns the name
// given, or an empty string with `error` set; nothing is left behind on
// failure.
// `lastBranch` is the highest branch number tried.
std::string WriteDocument(jww::TJwwData& doc, const std::string& dst, int version, NameRule rule,
                          std::string* error, int lastBranch = kMaxBranchNumber);

// A fresh folder for the images of one document (under `parent`, or the
// system's temporary folder when empty), removed with its files when the
// object goes.
class ScopedImageFolder {
 public:
  explicit ScopedImageFolder(const std::string& parent = {});
  ~ScopedImageFolder();
  ScopedImageFolder(const ScopedImageFolder&) = delete;
  ScopedImageFolder& operator=(const ScopedImageFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  // Points the document's image handling at this folder.
  void Attach(jww::TJwwData& doc, bool extract) const;

 private:
  std::string path_;
};

// Empties a document after a conversion and deletes the image files that
// were extracted for it.
void JwwDataFree(jww::TJwwData& doc);


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

}  // namespace app
