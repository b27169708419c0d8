// SPDX-License-Identifier: GPL-3.0-or-later
// Path and file-system helpers. Paths are UTF-8 std::string. Names that come
// from drawings or Windows users may carry "\\", so the name-splitting helpers
// accept both "/" and "\\". Nothing here throws: failures give false or "".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace util {

// The separator this platform uses when a folder name is completed: '/'.
char PathSeparator();

// Folder part of `path` (up to the last "/", "\\" or ":") with AddPathDelim.
std::string FileDirWithDelim(std::string_view path);
// Name after the last "/", "\\" or ":".
std::string FileNameOnly(std::string_view path);
// `path` with its last extension replaced by `ext` ("" removes it); `ext`
// is used as given, so it normally starts with ".".
std::string ChangeExt(std::string_view path, std::string_view ext);
// Extension including its dot, ASCII lower-cased; "" when there is none. The
// extension starts at the last dot after the last "/", "\\" or ":".
std::string LowerFileExt(std::string_view path);
// Appends "/" unless the text already ends in "/" or "\\"; "" becomes "/".
std::string AddPathDelim(std::string_view folder);

// True only for an existing regular file (not a folder).
bool FileExistsCheck(const std::string& path);
// Creates the folder with any missing parents; true when it exists afterwards.
bool MakeDirectory(const std::string& path);
// Deletes a file (never a folder).
bool DeleteFileSafe(const std::string& path);
// Deletes an empty folder.
bool DeleteDirectory(const std::string& path);
// Copies the file and gives the copy the source's access and modification
// times. On failure no partial target is left behind.
bool CopyFileKeepTimes(const std::string& src, const std::string& dst);

// The longest file name (one path component) in bytes.
constexpr size_t kMaxNameBytes = 255;
// The one rule for branch names: "<path without extension>~<n><lower-cased
// extension>" ("dir/Plan.JWW", 2 gives "dir/Plan~2.jww"), for n >= 1. A name
// that would grow past kMaxNameBytes loses characters at the end of its stem.
std::string BranchFileName(const std::string& path, int n);
// The highest branch number any output name takes.
constexpr int kMaxBranchNumber = 99999;

// `path` when no file or folder of that name exists; else the first free
// branch name for n = 1..kMaxBranchNumber; nullopt when all are taken.
std::optional<std::string> MakeBranchFileName(const std::string& path);

}  // namespace util
