// SPDX-License-Identifier: GPL-3.0-or-later
// Reasons the programs give for a failure, in the user's language.
//
// The system's texts (strerror) come from the C library's own catalogue,
// which may be missing or speak another language than ours; the reasons
// users meet are ours, through the message catalogue. The core library
// says its failures in English phrases of a fixed form ("cannot write into
// the output folder: <system reason>"); TranslateCoreError says them again.
#pragma once

#include <string>
#include <system_error>

namespace app {

// The reason of an errno value.
std::string SystemReason(int errnum);
// The reason of an error code of the system's category or of the readers'
// own (jww::FileError).
std::string Reason(const std::error_code& ec);
// A text of the core (a failure of saving and writing, a finding of the
// reader, a warning of the explosion), in the user's language.
std::string TranslateCoreError(const std::string& english);

}  // namespace app
