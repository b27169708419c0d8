// SPDX-License-Identifier: GPL-3.0-or-later
// Canonical, diff-friendly text of a document, for tests and debugging.
// One record per line as `name=value` pairs; doubles with 17 significant
// digits; strings as UTF-8 in double quotes with quotes, backslashes and
// control characters escaped. Only what the counts say exists is printed.
#pragma once

#include <string>

namespace jww {

class TJwwData;

// Header, the nine tables, the entities in draw order, the block definitions
// with their members in order, and the image list.
std::string DumpDocument(const TJwwData& doc);
// Only the entities in draw order and the block definitions with members.
std::string DumpEntities(const TJwwData& doc);
// Only the header and the nine tables.
std::string DumpTables(const TJwwData& doc);

}  // namespace jww
