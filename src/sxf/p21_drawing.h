// SPDX-License-Identifier: GPL-3.0-or-later
// An SXF drawing in its AP202 form (.p21) made into a JWW document. The
// entity graph (styled annotation occurrences, callouts, subfigure
// representations and their mapped items, layer assignments, the drawing
// sheet) is turned into the SFC reader's own feature records, in the order
// an SFC file of the same drawing holds them, and sfc_drawing builds the
// document from those: one builder, so both forms give the same JWW.
#pragma once

#include <cstdint>
#include <limits>
#include <span>

#include "jww/document.h"
#include "sxf/p21_parse.h"
#include "sxf/sfc_drawing.h"

namespace sxf {

// The P21 instances as SFC feature records (report.file; its texts UTF-8).
// False with report.error (the instance number and its line) when the
// drawing's graph is malformed: a reference of the wrong kind, a value
// missing, composite curves nesting in a ring, no drawing sheet. What is
// left out (entities that draw nothing known) is in report.warnings.
// `text` is the file the instances were read from; `needsUnicode` tells
// whether a text is one that code page 932 cannot hold.
bool P21ToSfc(const P21File& p21, std::string_view text, SfcReport& report,
              bool* needsUnicode = nullptr);

// Reads the P21 bytes into `doc` as ReadSfc reads an SFC file.
bool ReadP21(std::span<const uint8_t> bytes, jww::TJwwData& doc, SfcReport& report,
             int64_t maxPlacements = std::numeric_limits<int64_t>::max());

// Whether the bytes start like a P21 file (the envelope and a DATA section
// of instances).
bool LooksLikeP21(std::span<const uint8_t> bytes);

}  // namespace sxf
