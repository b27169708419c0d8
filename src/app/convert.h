// SPDX-License-Identifier: GPL-3.0-or-later
// The road of one file: check, read, explode, write under a free name, free.
// Both front ends, the batch driver and the tests go through ConvertFile.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/steps.h"

namespace jww {
class TJwwData;
}

namespace app {

// Copies an explosion may make before a file is refused: far above what real
// drawings need (their explosions make thousands), far below what exhausts a
// machine (a few hundred bytes per copy).
constexpr int64_t kDefaultMaxCopies = 50'000'000;

struct ConvertOptions {
  // After the SXF figures, explode every other block placement too.
  bool allBlocks = false;
  // A file whose explosion would make more copies fails, writing nothing.
  int64_t maxCopies = kDefaultMaxCopies;
  // Where the per-conversion image folder is made (a fresh folder inside it,
  // removed afterwards). Empty: the system's temporary folder.
  std::string imageFolder;
  // The format version an SFC drawing is written in (0: 700, as it is read;
  // JWW drawings keep their own). Below 700 its strings go to code page 932
  // unless `utf16`, which writes them as UTF-16 in any version.
  int sfcVersion = 0;
  bool utf16 = false;
};

struct ConvertResult {
  bool ok = false;
  std::string output;  // the file actually written; empty when none was
  int figures = 0;     // SXF figure definitions exploded
  int blocks = 0;      // other block definitions exploded (--all-blocks)
  int copies = 0;      // entities appended by the explosion
  int entitiesWritten = 0;
  int picturesWritten = 0;            // picture files written beside an export
  std::vector<std::string> warnings;  // UTF-8
  std::string error;                  // why it failed (UTF-8), empty on success
  double milliseconds = 0;
};

// The conversion of a drawing already read, in memory: the bound on copies,
// the source's encoding kept, the SXF figures (and with allBlocks every
// block) exploded. False with r.error set when the drawing may not or could
// not be converted; `doc` is then not to be written. `fromSfc`: the drawing
// was just built from an SFC file, whose layer states stand (no reset).
bool ConvertInMemory(jww::TJwwData& doc, const ConvertOptions& options, ConvertResult& r,
                     bool fromSfc = false);

// Converts `src` into `dst`, or, when a file of that name exists or appears
// meanwhile, into the first free branch name of `dst` ("~1" … "~99999"
// before the lower-cased extension). No existing file is ever replaced and
// no partial file is left under any name. Never throws.
ConvertResult ConvertFile(const std::string& src, const std::string& dst,
                          const ConvertOptions& options = {});

// What ConvertFile would report for `src` (figures, blocks, copies, warnings
// or the error), from the same explosion made in memory; nothing is written
// and no image is extracted. A dry run with --all-blocks counts through it.
ConvertResult PlanConversion(const std::string& src, const ConvertOptions& options = {});

}  // namespace app
