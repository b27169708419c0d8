// SPDX-License-Identifier: GPL-3.0-or-later
// A picture of what changed between two drawings: the newer one painted with
// its unchanged ink grey, added entities blue and changed ones orange, the
// entities removed from the older one red over it, and a legend.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "jww/diff.h"
#include "render/frontend.h"

namespace render {

inline constexpr uint32_t kUnchangedInk = 0xFFA8A8A8;
inline constexpr uint32_t kRemovedInk = 0xFFD62020;
inline constexpr uint32_t kAddedInk = 0xFF1F5FE0;
inline constexpr uint32_t kChangedInk = 0xFFF08A00;

// Sets the ink, the overlay and the legend of `options` for a picture of
// `diff`, which compared `before` with `after` (both outlive the options).
// `names` are the legend's words for unchanged, removed, added and changed,
// in the user's language. Paint `after` with these options.
void MarkChanges(const jww::DrawingDiff& diff, const jww::TJwwData& before,
                 const jww::TJwwData& after, bool placed, RenderOptions& options,
                 const std::array<std::u16string, 4>& names);

}  // namespace render
