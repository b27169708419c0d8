// SPDX-License-Identifier: GPL-3.0-or-later
// What the reader repaired or noticed in a drawing, for audits: each finding
// has a stable code, the place it was found and a short detail text.
//
// The reader fills `TJwwData::ReadLog` while it reads; `DataInit` empties it.
// A failed read keeps the findings made until then, the last one usually
// naming why the read failed (a cut file, bytes after the drawing).
// Recording happens only when something is found: a clean drawing costs a
// few comparisons per entity and no allocation.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jww {

// Stable codes (scripts compare them; never rename one).
namespace finding {
// Fields the file's version does not store were filled with fixed values.
inline constexpr std::string_view kFilledForVersion = "filled-for-version";
// A text size or spacing is NaN or infinite and was repaired (size 3,
// spacing 0). Other values that are no number are out of range.
inline constexpr std::string_view kNonFiniteValue = "non-finite-value";
// An entity could not be read (cut short or of an unknown class); the read
// stopped there.
inline constexpr std::string_view kEntityDropped = "entity-dropped";
// The file ends before a part it announces (a count, a fixed part, a string,
// an image); the read failed.
inline constexpr std::string_view kTruncated = "truncated";
// A count that no drawing can hold (a negative image count); the read failed.
inline constexpr std::string_view kBadCount = "bad-count";
// A block insertion whose number names no block definition.
inline constexpr std::string_view kUnknownBlockNumber = "unknown-block-number";
// A block definition that places itself, directly or through others.
inline constexpr std::string_view kCyclicDefinition = "cyclic-definition";
// Bytes after the last list of the drawing; the read failed. `amount` holds
// how many.
inline constexpr std::string_view kBytesAfterEnd = "bytes-after-end";
// An embedded image whose name could leave the image folder; it was skipped.
inline constexpr std::string_view kUnsafeImageName = "unsafe-image-name";
// A value no drawing can hold (a layer group of 32768, a coordinate of 1e40,
// a NaN coordinate); the read failed. `field` names it, `value` holds it and
// the offset is the field's own.
inline constexpr std::string_view kOutOfRange = "out-of-range";
}  // namespace finding

// The ranges the reader accepts. A drawing whose values lie outside is
// damaged: nothing Jw_cad writes comes near these bounds.
namespace limits {
// Coordinates, lengths, angles and scales in entity bodies and the header:
// millimetres on the sheet, so 1e10 is 10,000 km, more than any survey
// coordinate at full size. NaN and infinities are outside as well.
inline constexpr double kMaxValue = 1e10;
// Layer groups and layers are numbered 0–15.
inline constexpr uint32_t kMaxLayer = 15;
// Pen colours: 1–9 basic, 10 an RGB colour, 101–356 SXF colours.
inline constexpr uint32_t kMaxPenColor = 356;
// Line widths (entity widths in hundredths, table pen widths): the
// attribute writer keeps widths up to 30000.
inline constexpr int64_t kMaxWidth = 30000;
// Layer and layer-group states: 0 hidden … 3 writable.
inline constexpr int64_t kMaxState = 3;
// An RGB colour.
inline constexpr int64_t kMaxRgb = 0xFFFFFF;
// Segments of an SXF line type (it has ten pitches); dots of a pattern unit
// (the pattern has 32 bits).
inline constexpr int64_t kMaxSegments = 10;
inline constexpr int64_t kMaxPatternDots = 32;
// Within kMaxValue; false for NaN and infinities too.
inline bool InBound(double v) { return std::fabs(v) <= kMaxValue; }
}  // namespace limits

// The part of the file a finding belongs to.
enum class ReadSection : uint8_t {
  kFile,         // the file as a whole
  kHeader,       // header and tables
  kEntities,     // the drawing's entity list
  kDefinitions,  // the block-definition list (a definition's own part)
  kMembers,      // the members of one block definition
  kImages,       // the image section
};

// "file", "header", "entities", "block-definitions", "block-members", "images".
std::string_view SectionName(ReadSection section);

struct ReadLocation {
  ReadSection section = ReadSection::kFile;
  // The block definition (0-based, in file order) for kDefinitions and
  // kMembers; -1 otherwise.
  int32_t definition = -1;
  // The object within its list (0-based, in file order), the image within
  // the image section; -1 when the finding concerns the whole section.
  int64_t index = -1;
  // Byte offset in the file where the object (or the fault) begins; -1 when
  // the finding was made after reading, from the document alone.
  int64_t offset = -1;
};

struct ReadFinding {
  std::string code;  // one of finding::k…
  ReadLocation where;
  std::string detail;  // UTF-8, English, for people; scripts use code and where
  int64_t amount = 0;  // a number the code speaks of (bytes left over, entities filled), else 0
  std::string field;   // out-of-range: the field's name ("nGLayer", "start_x", …)
  double value = 0;    // out-of-range: the value stored there
};

class ReadFindings {
 public:
  // A damaged drawing may repeat one fault in every entity: past kMaxItems
  // findings only the number left out is kept (`omitted`).
  static constexpr size_t kMaxItems = 10000;

  void Add(std::string_view code, const ReadLocation& where, std::string detail,
           int64_t amount = 0);
  // An out-of-range value: its field, value and place.
  void AddOutOfRange(const ReadLocation& where, std::string_view what, std::string_view field,
                     double value);
  void Clear() {
    items_.clear();
    omitted_ = 0;
  }
  bool empty() const { return items_.empty(); }
  size_t size() const { return items_.size(); }
  const std::vector<ReadFinding>& items() const { return items_; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  // The findings of one code.
  size_t Count(std::string_view code) const;
  const ReadFinding* First(std::string_view code) const;
  // Findings not kept because kMaxItems were kept already.
  size_t omitted() const { return omitted_; }

 private:
  std::vector<ReadFinding> items_;
  size_t omitted_ = 0;
};

}  // namespace jww
