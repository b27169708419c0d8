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

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jww {

// Stable codes (scripts compare them; never rename one).
namespace finding {
// Fields the file's version does not store were filled with fixed values.
inline constexpr std::string_view kFilledForVersion = "filled-for-version";
// A coordinate, size or angle is NaN or infinite (kept, or repaired when the
// detail says so).
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
}  // namespace finding

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
};

class ReadFindings {
 public:
  // A damaged drawing may repeat one fault in every entity: past kMaxItems
  // findings only the number left out is kept (`omitted`).
  static constexpr size_t kMaxItems = 10000;

  void Add(std::string_view code, const ReadLocation& where, std::string detail,
           int64_t amount = 0);
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
