// SPDX-License-Identifier: GPL-3.0-or-later
// SXF's pre-defined styles, in code order (code = place + 1): both forms of
// the file name them, the SFC one by code and the AP202 one by name.
#pragma once

namespace sxf {

inline constexpr double kSxfWidths[] = {0.13, 0.18, 0.25, 0.35, 0.5, 0.7, 1.0, 1.4, 2.0};
inline constexpr const char* kSxfColours[] = {
    "black",    "red",   "green",  "blue",       "yellow",    "magenta",  "cyan",      "white",
    "deeppink", "brown", "orange", "lightgreen", "lightblue", "lavender", "lightgray", "darkgray"};
inline constexpr const char* kSxfLineTypes[] = {"continuous",
                                                "dashed",
                                                "dashed spaced",
                                                "long dashed dotted",
                                                "long dashed double-dotted",
                                                "long dashed triplicate-dotted",
                                                "dotted",
                                                "chain",
                                                "chain double dash",
                                                "dashed dotted",
                                                "double-dashed dotted",
                                                "dashed double-dotted",
                                                "double-dashed double-dotted",
                                                "dashed triplicate-dotted",
                                                "double-dashed triplicate-dotted"};

}  // namespace sxf
