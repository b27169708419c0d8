// SPDX-License-Identifier: GPL-3.0-or-later
// Allocator settings for drawings of millions of entities, made inside the
// process so that no child of brindle inherits them.
#pragma once

namespace app::cli {

// Call first thing in main(), before any large allocation.
void TuneAllocator();

}  // namespace app::cli
