// The SFC file (SXF feature comments): the ISO-10303-21 envelope around
// records "#N = name('arg', \'text\', '(1,2,3)')" that sit in /*SXF … SXF*/
// comments of the DATA section. This part only splits the file into records
// and arguments; what the records mean is sfc_drawing.h's.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sxf {

// Encoding of the file's texts: Shift-JIS (code page 932) unless the file
// says UTF-8 (a byte-order mark, or "UTF-8" in its header section).
enum class SfcEncoding { kShiftJis, kUtf8 };

struct SfcRecord {
  int64_t number = 0;  // the N of "#N"
  std::string name;    // the feature name, as written
  // Arguments without their quotes, \' and \\ resolved, in the file's
  // encoding. A list argument keeps its parentheses: "(1.0,2.0)".
  std::vector<std::string> args;
  int64_t line = 0;  // 1-based line where the record starts
};

struct SfcFile {
  SfcEncoding encoding = SfcEncoding::kShiftJis;
  std::string description;  // the first FILE_DESCRIPTION text
  std::string author;       // FILE_NAME's preprocessor and system texts, for info
  std::vector<SfcRecord> records;
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

// A list argument "(a,b,c)" split at its top-level commas ("(1,(2,3))"
// gives "1" and "(2,3)"); false when it is not a list.
bool SplitList(const std::string& arg, std::vector<std::string>& items);

// Whether `bytes` are well-formed code page 932 (lead bytes followed by a
// trail byte, no byte that starts nothing).
bool IsValidShiftJis(std::string_view bytes);

}  // namespace sxf
