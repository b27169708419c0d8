// SPDX-License-Identifier: GPL-3.0-or-later
#include "jww/read_findings.h"

#include <algorithm>
#include <cstdio>

namespace jww {

std::string_view SectionName(ReadSection section) {
  switch (section) {
    case ReadSection::kFile:
      return "file";
    case ReadSection::kHeader:
      return "header";
    case ReadSection::kEntities:
      return "entities";
    case ReadSection::kDefinitions:
      return "block-definitions";
    case ReadSection::kMembers:
      return "block-members";
    case ReadSection::kImages:
      return "images";
  }
  return "file";
}

void ReadFindings::Add(std::string_view code, const ReadLocation& where, std::string detail,
                       int64_t amount) {
  if (items_.size() >= kMaxItems) {
    ++omitted_;
    return;
  }
  items_.push_back(ReadFinding{std::string(code), where, std::move(detail), amount, {}, 0});
}

void ReadFindings::AddOutOfRange(const ReadLocation& where, std::string_view what,
                                 std::string_view field, double value) {
  char number[32];
  std::snprintf(number, sizeof number, "%.17g", value);
  Add(finding::kOutOfRange, where,
      std::string(what) + " " + std::string(field) + " of " + number + ", which no drawing holds");
  if (items_.empty() || items_.back().code != finding::kOutOfRange) return;
  items_.back().field = std::string(field);
  items_.back().value = value;
}

size_t ReadFindings::Count(std::string_view code) const {
  return static_cast<size_t>(std::count_if(items_.begin(), items_.end(),
                                           [&](const ReadFinding& f) { return f.code == code; }));
}

const ReadFinding* ReadFindings::First(std::string_view code) const {
  auto it = std::find_if(items_.begin(), items_.end(),
                         [&](const ReadFinding& f) { return f.code == code; });
  return it == items_.end() ? nullptr : &*it;
}

}  // namespace jww
