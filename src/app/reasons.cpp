#include "app/reasons.h"

#include <cerrno>
#include <cstring>
#include <regex>

#include "app/i18n.h"
#include "jww/file_bytes.h"

namespace app {

std::string SystemReason(int errnum) {
  struct Known {
    int errnum;
    const char* text;
  };
  static constexpr Known kKnown[] = {
      {EACCES, TrNoop("permission denied")},
      {EPERM, TrNoop("operation not permitted")},
      {ENOENT, TrNoop("no such file or folder")},
      {ENOTDIR, TrNoop("a part of the path is not a folder")},
      {EISDIR, TrNoop("is a folder")},
      {ENOSPC, TrNoop("no space left on the device")},
      {EDQUOT, TrNoop("disk quota exceeded")},
      {EROFS, TrNoop("read-only file system")},
      {ENAMETOOLONG, TrNoop("file name too long")},
      {EEXIST, TrNoop("a file of that name exists")},
      {EIO, TrNoop("input/output error")},
      {ENOMEM, TrNoop("out of memory")},
      {EFBIG, TrNoop("file too large")},
      {EMFILE, TrNoop("too many open files")},
      {ELOOP, TrNoop("too many symbolic links")},
      {EBUSY, TrNoop("device or resource busy")},
      {ETXTBSY, TrNoop("the file is busy")},
      {EXDEV, TrNoop("not on the same file system")},
      {EINVAL, TrNoop("invalid argument")},
  };
  for (const Known& k : kKnown)
    if (k.errnum == errnum) return Tr(k.text);
  return std::strerror(errnum);
}

std::string Reason(const std::error_code& ec) {
  if (ec.category() == jww::FileErrorCategory() &&
      ec.value() == static_cast<int>(jww::FileError::kNotRegularFile))
    return Tr("not a regular file");
  if (ec.category() == std::system_category() || ec.category() == std::generic_category())
    return SystemReason(ec.value());
  return ec.message();
}

namespace {

// The errno whose system text `text` is, in the locale the core used; 0
// when none is.
int ErrnoOfText(const std::string& text) {
  for (int e = 1; e < 134; ++e)
    if (text == std::strerror(e)) return e;
  return 0;
}

std::string ReasonOfText(const std::string& text) {
  const int e = ErrnoOfText(text);
  return e != 0 ? SystemReason(e) : TranslateCoreError(text);
}

}  // namespace

std::string TranslateCoreError(const std::string& english) {
  // Phrases standing alone or before ": <reason>".
  static constexpr const char* kPhrases[] = {
      TrNoop("cannot write into the output folder"),
      TrNoop("cannot make a temporary file in the output folder"),
      TrNoop("cannot open the output stream"),
      TrNoop("no output file name"),
      TrNoop("cannot name the output file"),
      TrNoop("cannot move the output into place"),
      TrNoop("write error"),
      TrNoop("a file of that name exists"),
      TrNoop("too many objects in one list"),
      TrNoop("cannot read embedded image"),
      TrNoop("image name too long"),
      TrNoop("text too long to be written (65534 bytes or more)"),
      TrNoop("a header string is too long to be written (65534 bytes or more)"),
      TrNoop("cannot build the sample plan"),
  };
  for (const char* phrase : kPhrases) {
    const std::string p = phrase;
    if (english == p) return Tr(phrase);
    if (english.rfind(p + ": ", 0) == 0)
      return std::string(Tr(phrase)) + ": " + ReasonOfText(english.substr(p.size() + 2));
  }
  // Not a message: the English the core writes, matched to be said again.
  static const std::regex kCannotWrite(R"(cannot write (/.*): ([^:]+))");
  // Not a message: as above.
  static const std::regex kBranches(R"(every branch name up to ~(\d+) is taken)");
  // Not a message: as above.
  static const std::regex kFolder(R"(cannot create folder (.*))");
  std::smatch m;
  if (std::regex_match(english, m, kCannotWrite))
    return TrFormat("cannot write {}: {}", {m[1].str(), ReasonOfText(m[2].str())});
  if (std::regex_match(english, m, kBranches))
    return TrFormat("every branch name up to ~{} is taken", {m[1].str()});
  if (std::regex_match(english, m, kFolder)) return TrFormat("cannot create folder {}", {m[1].str()});
  // Not a message: as above.
  if (english.rfind("cannot write ", 0) == 0)
    return TrFormat("cannot write {}", {english.substr(13)});
  return english;
}

}  // namespace app
