// SPDX-License-Identifier: GPL-3.0-or-later
// The STEP exchange structure (ISO 10303-21) of SXF's AP202 form (.p21):
// a HEADER and DATA sections of entity instances "#N=NAME(...)" and complex
// instances "#N=(A() B(...) ...)". This part only reads the instances and
// their parameters; what they draw is p21_drawing.h's.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sxf/sfc_parse.h"

namespace sxf {

// One parameter. Strings are decoded to UTF-8 (the \X2\ … \X0\, \X4\,
// \X\hh and \S\ forms resolved); a typed parameter such as
// POSITIVE_LENGTH_MEASURE(0.13) keeps its type name in `text` and its
// value in `items`.
struct P21Value {
  enum class Kind : uint8_t {
    kUnset,
    kDerived,
    kNumber,
    kString,
    kEnum,
    kRef,
    kList,
    kTyped,
    kBinary
  };
  Kind kind = Kind::kUnset;
  double number = 0;
  int64_t ref = 0;
  std::string text;  // string, enumeration name (without dots), type name, binary digits
  std::vector<P21Value> items;
};

// One entity of an instance: a simple instance has one, a complex one a
// part per entity of its type, in the file's order.
struct P21Part {
  std::string name;  // upper case, as the format writes it
  std::vector<P21Value> args;
};

struct P21Instance {
  int64_t number = 0;
  size_t offset = 0;  // byte offset of its "#"
  std::vector<P21Part> parts;

  // The part of that entity, or null.
  const P21Part* Part(std::string_view name) const {
    for (const P21Part& p : parts)
      if (p.name == name) return &p;
    return nullptr;
  }
  bool Is(std::string_view name) const { return Part(name) != nullptr; }
};

struct P21File {
  std::string description;                      // the first FILE_DESCRIPTION text
  std::string author;                           // FILE_NAME's preprocessor and system texts
  std::vector<P21Instance> instances;           // in file order
  std::unordered_map<int64_t, uint32_t> index;  // number → place in instances

  const P21Instance* Find(int64_t number) const {
    auto it = index.find(number);
    return it == index.end() ? nullptr : &instances[it->second];
  }
};

// Reads `bytes` into `out`. False with `error` (record = instance number,
// line) when the structure is broken or cut short, a string's encoding is
// malformed, an instance number is used twice or a reference names no
// instance of the file. Never throws but std::bad_alloc.
bool ParseP21(std::span<const uint8_t> bytes, P21File& out, SfcError& error);

}  // namespace sxf
