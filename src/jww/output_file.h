// SPDX-License-Identifier: GPL-3.0-or-later
// Saving a whole file so that nobody ever sees half of it.
//
// Two ways to save serve every writer of the programs (drawings, text output,
// the settings file):
//   SaveAsNewFile      gives the file a name that does not exist yet (the
//                      name asked for, or its first free "~N" branch name);
//   SaveReplacingFile  puts the file in place of an existing one in one step.
// The bytes go to an anonymous O_TMPFILE where the file system offers one
// (nothing is left behind whatever happens to the process), else to a hidden
// temporary name. Everything happens relative to a descriptor of the output
// folder, so that a folder renamed or moved while the file is written takes
// the temporary file with it and it is still removed or named there.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace jww {

class TJwwData;

class OutputFile {
 public:
  // Told about a temporary name when it is made (true) and when it goes
  // (false), so that a program can remove leftovers on a hard stop.
  using TempHook = void (*)(const std::string& path, bool exists);

  // `anonymous` allows an O_TMPFILE; a file that is to replace another by
  // name (Replace) needs a named temporary file.
  OutputFile(std::string folder, bool anonymous, TempHook hook = nullptr);
  ~OutputFile();  // an unnamed file is discarded
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Open(std::string* error);
  std::FILE* stream() const { return file_; }
  // Everything written so far reaches the disk before the file gets a name.
  bool Flush();
  // Gives the file the name `target` (its last component, inside the folder
  // opened) unless that name exists. Returns 0 on success, EEXIST when the
  // name is taken, another errno on failure.
  int Claim(const std::string& target);
  // Moves the file onto `target`, replacing a file of that name in one step.
  int Replace(const std::string& target);
  bool Close();

 private:
  bool Adopt(int fd, std::string* error);
  void ForgetTemp();
  void Discard();

  std::string folder_;
  bool anonymous_;
  TempHook hook_;
  int dirFd_ = -1;
  std::string tempLeaf_;  // the temporary name inside the folder, if any
  std::FILE* file_ = nullptr;
};

// Writes the bytes of a file into `out`; false (with `error`, which may be
// left empty) when they cannot be produced.
using FileContents = std::function<bool(std::FILE* out, std::string* error)>;

// The whole drawing in format `version` as the contents of a file
// (doc.LastWriteError says why it could not be written).
FileContents DrawingContents(TJwwData& doc, int32_t version);

struct SaveOptions {
  // SaveAsNewFile tries the branch names "~1" … "~lastBranch" after the name
  // asked for; 0 tries that name only.
  int lastBranch = 0;
  // false forces a named temporary file even where O_TMPFILE works (for
  // tests of that path).
  bool allowAnonymous = true;
  OutputFile::TempHook hook = nullptr;
};

// SaveAsNewFile's error when the one name it may take exists.
inline constexpr char kNameTaken[] = "a file of that name exists";

// Writes the whole file, then gives it `path` or its first free branch name.
// Never replaces anything. Returns the name given, or "" with `error` set;
// nothing is left behind on failure.
std::string SaveAsNewFile(const std::string& path, const FileContents& write, std::string* error,
                          const SaveOptions& options = {});

// Writes the whole file, then puts it in place of `path` in one step: `path`
// holds either its old contents or the complete new ones.
bool SaveReplacingFile(const std::string& path, const FileContents& write, std::string* error,
                       const SaveOptions& options = {});

}  // namespace jww
