// SPDX-License-Identifier: GPL-3.0-or-later
// Block definitions by number. Several definitions may carry one number; the
// first in array order decides wherever a number is looked up (block tree,
// writer, reader's findings), so all of them use this one map.
#pragma once

#include <cstdint>
#include <unordered_map>

namespace jww {

class TJwwData;

// Index into EntBlockDef of the first definition of each nNumber; built in
// one pass so that lookups cost the same however many definitions there are.
std::unordered_map<uint32_t, int32_t> FirstDefinitionByNumber(const TJwwData& doc);

}  // namespace jww
