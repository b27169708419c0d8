// SPDX-License-Identifier: GPL-3.0-or-later
// SFC drawings (SXF feature comments) as a source of every command: the
// file is read into the form Jw_cad's own SXF import gives, so convert,
// info, draw, dump and rewrite treat it like the JWW drawing it becomes.
#pragma once

#include <string>
#include <vector>

namespace jww {
class TJwwData;
}

namespace app {

// Finding code of what the SFC reader noticed (kept in TJwwData::ReadLog).
inline constexpr const char* kSfcFinding = "sfc-warning";

// Whether `path` names an SXF file: the feature-comment form (".sfc") or
// the AP202 form (".p21"), in any letter case.
bool IsSfcFile(const std::string& path);

// Whether `path` names the AP202 form (".p21" in any letter case).
bool IsP21File(const std::string& path);

// The JWW name made from an SXF name: FILE.sfc or FILE.p21 → FILE.jww.
std::string SfcTargetName(const std::string& path);

// Reads the SFC or P21 file into `doc` (version 700). False with `error` for the
// user ("record #N (line L): reason" when the file is malformed). What the
// reader noticed is in doc.ReadLog under kSfcFinding.
bool ReadSfcDrawing(jww::TJwwData& doc, const std::string& file, std::string* error);

// The reader's notes of `doc`, one line each.
std::vector<std::string> SfcWarnings(const jww::TJwwData& doc);

}  // namespace app
