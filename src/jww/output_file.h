// A file being written in its output folder before it has a name there.
//
// The bytes go to an anonymous O_TMPFILE where the file system offers one
// (nothing is left behind whatever happens to the process), else to a hidden
// temporary name. Only a complete, flushed file is given its name, and
// Claim never replaces an existing file: a half-written drawing is never
// visible under an output name, and no file is ever overwritten by accident.
#pragma once

#include <cstdio>
#include <string>

namespace jww {

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
  // Gives the file the name `target` unless that name exists. Returns 0 on
  // success, EEXIST when the name is taken, another errno on failure.
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
  std::string tempName_;
  std::FILE* file_ = nullptr;
};

}  // namespace jww
