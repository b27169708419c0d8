// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/reasons.h"

#include <cerrno>
#include <cstring>
#include <regex>
#include <vector>

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

// The words the core puts into its sentences: kinds of objects and places
// in the file.
std::string Word(const std::string& english) {
  static constexpr const char* kWords[] = {TrNoop("object"),
                                           TrNoop("line"),
                                           TrNoop("arc"),
                                           TrNoop("point"),
                                           TrNoop("text"),
                                           TrNoop("dimension"),
                                           TrNoop("solid"),
                                           TrNoop("block insertion"),
                                           TrNoop("the header"),
                                           TrNoop("the entity count"),
                                           TrNoop("the block-definition count"),
                                           TrNoop("a block definition's tag"),
                                           TrNoop("a block definition's fixed part or name"),
                                           TrNoop("a block definition's member count"),
                                           TrNoop("the image count"),
                                           TrNoop("an image's name or size"),
                                           TrNoop("an image's content"),
                                           TrNoop("the object's tag"),
                                           TrNoop("text position or angle"),
                                           TrNoop("coordinate"),
                                           TrNoop("centre, radius, angle or flattening"),
                                           TrNoop("position, rotation or scale"),
                                           TrNoop("corner"),
                                           TrNoop("reference point, scale or rotation"),
                                           TrNoop("block name"),
                                           TrNoop("font name")};
  for (const char* w : kWords)
    if (english == w) return Tr(w);
  return english;
}

// The core's sentences with their variable parts; each part is a number, a
// name or one of the words above.
std::string CoreSentence(const std::string& english) {
  struct Shape {
    const char* pattern;
    const char* message;
  };
  // Not a message: the patterns are the core's English, matched to be said again.
  static const Shape kShapes[] = {
      {R"re(the file ends inside (.+))re", TrNoop("the file ends inside {}")},
      {R"re((\d+) bytes after the end of the drawing)re",
       TrNoop("{} bytes after the end of the drawing")},
      {R"re(a count of (\d+) objects, more than the file can hold)re",
       TrNoop("a count of {} objects, more than the file can hold")},
      {R"re(an object of the unknown class "(.*)")re",
       TrNoop("an object of the unknown class \"{}\"")},
      {R"re(an object naming class (\d+), which no entity class has)re",
       TrNoop("an object naming class {}, which no entity class has")},
      {R"re(an? (.+) cut short by the end of the file)re",
       TrNoop("a {} cut short by the end of the file")},
      {R"re(an? (.+) with a NaN or infinite text size or spacing, repaired \(size 3, spacing 0\))re",
       TrNoop("a {} with a NaN or infinite text size or spacing, repaired (size 3, spacing 0)")},
      {R"re(an? (.+) with a NaN or infinite (.+))re", TrNoop("a {} with a NaN or infinite {}")},
      {R"re(version (\d+) stores no line width: (\d+) entities read with width 0)re",
       TrNoop("version {} stores no line width: {} entities read with width 0")},
      {R"re(version (\d+) stores no SXF dimension parts: (\d+) dimensions read with auxiliary lines and points from their own attributes)re",
       TrNoop("version {} stores no SXF dimension parts: {} dimensions read with auxiliary lines "
              "and points from their own attributes")},
      {R"re(a block definition naming class (\d+), which no class has)re",
       TrNoop("a block definition naming class {}, which no class has")},
      {R"re(a negative image count \((-?\d+)\))re", TrNoop("a negative image count ({})")},
      {R"re(an image of negative size \((-?\d+)\))re", TrNoop("an image of negative size ({})")},
      {R"re(an image named "(.*)", skipped)re", TrNoop("an image named \"{}\", skipped")},
      {R"re(a block insertion of number (\d+), which no block definition has)re",
       TrNoop("a block insertion of number {}, which no block definition has")},
      {R"re(the block definition "(.*)" places itself \(through (\d+) definitions\); its placements are not expanded further)re",
       TrNoop("the block definition \"{}\" places itself (through {} definitions); its "
              "placements are not expanded further")},
      {R"re(SXF figure (.+): out of memory; a placement and the ones after it were kept as blocks)re",
       TrNoop("SXF figure {}: out of memory; a placement and the ones after it were kept as "
              "blocks")},
      {R"re(SXF figure (.+) is still placed inside another block; its definition was kept)re",
       TrNoop("SXF figure {} is still placed inside another block; its definition was kept")},
      {R"re(a nested block placement \(block number (\d+)\) is sheared by its figure's placement; it was placed without the shear)re",
       TrNoop("a nested block placement (block number {}) is sheared by its figure's placement; "
              "it was placed without the shear")},
      {R"re((\d+) SXF figures found; only the first (\d+) were exploded)re",
       TrNoop("{} SXF figures found; only the first {} were exploded")},
      {R"re(cannot open embedded image (.+?): ([^:]+))re",
       TrNoop("cannot open embedded image {}: {}")},
      {R"re(embedded image too large: (.+))re", TrNoop("embedded image too large: {}")},
      {R"re(embedded image changed while being written: (.+))re",
       TrNoop("embedded image changed while being written: {}")},
      {R"re((.+) too long to be written \(65534 bytes or more\))re",
       TrNoop("{} too long to be written (65534 bytes or more)")},
  };
  for (const Shape& shape : kShapes) {
    std::smatch m;
    if (!std::regex_match(english, m, std::regex(shape.pattern))) continue;
    std::vector<std::string> parts;
    for (size_t i = 1; i < m.size(); ++i) {
      const std::string part = m[i].str();
      const int e = ErrnoOfText(part);
      parts.push_back(e != 0 ? SystemReason(e) : Word(part));
    }
    const std::string pattern = Tr(shape.message);
    return FillPattern(pattern, parts);
  }
  return {};
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
      TrNoop("cannot build the picture drawing"),
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
  if (std::regex_match(english, m, kFolder))
    return TrFormat("cannot create folder {}", {m[1].str()});
  if (std::string said = CoreSentence(english); !said.empty()) return said;
  // Not a message: as above.
  if (english.rfind("cannot write ", 0) == 0)
    return TrFormat("cannot write {}", {english.substr(13)});
  return english;
}

}  // namespace app
