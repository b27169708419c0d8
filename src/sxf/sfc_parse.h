// SPDX-License-Identifier: GPL-3.0-or-later
// The SFC file (SXF feature comments): the ISO-10303-21 envelope around
// records "#N = name('arg', \'text\', '(1,2,3)')" that sit in /*SXF … SXF*/
// comments of the DATA section. This part only splits the file into records
// and arguments; what the records mean is sfc_drawing.h's.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sxf {

// Encoding of the file's texts: Shift-JIS (code page 932) unless the file
// says UTF-8 (a byte-order mark, or "UTF-8" in its header section).
enum class SfcEncoding { kShiftJis, kUtf8 };

// One record. Its name and arguments live in the SfcFile (one buffer for
// all, so that a file of a million records is not a million allocations).
struct SfcRecord {
  int64_t number = 0;  // the N of "#N"
  size_t offset = 0;   // byte offset in the file where the record starts
  uint32_t name = 0;   // index into SfcFile::names
  uint32_t argCount = 0;
  size_t firstArg = 0;  // index into SfcFile::argSpans
};

struct SfcFile {
  SfcEncoding encoding = SfcEncoding::kShiftJis;
  std::string description;  // the first FILE_DESCRIPTION text
  std::string author;       // FILE_NAME's preprocessor and system texts, for info
  std::vector<SfcRecord> records;
  std::vector<std::string> names;  // the distinct feature names, as written
  // Arguments without their quotes, \' and \\ resolved, in the file's
  // encoding. A list argument keeps its parentheses: "(1.0,2.0)". Most are
  // spans of the file's own bytes (`source`: the bytes given to ParseSfc,
  // which must outlive the arguments' use); those that needed resolving are
  // in `argText`.
  std::string_view source;
  std::string argText;
  struct Span {
    uint32_t offset = 0;
    uint32_t size = 0;  // the top bit: in argText
    static constexpr uint32_t kArena = 0x80000000u;
    static Span InFile(uint32_t offset, uint32_t size) { return {offset, size}; }
    static Span InArena(uint32_t offset, uint32_t size) { return {offset, size | kArena}; }
  };
  std::vector<Span> argSpans;

  const std::string& Name(const SfcRecord& r) const { return names[r.name]; }
  std::string_view Arg(const SfcRecord& r, size_t i) const {
    const Span& a = argSpans[r.firstArg + i];
    const uint32_t size = a.size & ~Span::kArena;
    return (a.size & Span::kArena) ? std::string_view(argText).substr(a.offset, size)
                                   : source.substr(a.offset, size);
  }
};

// Why a file is not a readable SFC: the record (0 when the fault is not in a
// record) and the line it is on, with a short English reason.
struct SfcError {
  int64_t record = 0;
  int64_t line = 0;
  std::string reason;
  // "record #120 (line 40): …" or "line 3: …".
  std::string Text() const;
};

// Splits `bytes` into records. False with `error` when the envelope is
// missing or broken, a feature comment is not closed or a record is cut,
// badly quoted or repeats a number. Never throws on any input but
// std::bad_alloc.
bool ParseSfc(std::span<const uint8_t> bytes, SfcFile& out, SfcError& error);

// The 1-based line of byte `offset` of `text`.
int64_t LineAt(std::string_view text, size_t offset);

// A list argument "(a,b,c)" split at its top-level commas ("(1,(2,3))"
// gives "1" and "(2,3)"); false when it is not a list.
bool SplitList(std::string_view arg, std::vector<std::string_view>& items);

// Whether `bytes` are well-formed code page 932 (lead bytes followed by a
// trail byte, no byte that starts nothing).
bool IsValidShiftJis(std::string_view bytes);

}  // namespace sxf
