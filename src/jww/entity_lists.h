// SPDX-License-Identifier: GPL-3.0-or-later
// One list of entities: the seven arrays with their counts and the draw order
// with its count, either the drawing's own or a block definition's members.
// The reader and the builders fill either kind of list through this one view.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "jww/document.h"

namespace jww {

struct EntityLists {
  std::vector<TEntJwwNo>& no;
  int32_t& noN;  // Enthd.n1 of the drawing, N of a definition
  std::vector<TEntJwwLine>& line;
  int32_t& lineN;
  std::vector<TEntJwwEnko>& enko;
  int32_t& enkoN;
  std::vector<TEntJwwTen>& ten;
  int32_t& tenN;
  std::vector<TEntJwwMoji>& moji;
  int32_t& mojiN;
  std::vector<TEntJwwSunpo>& sunpo;
  int32_t& sunpoN;
  std::vector<TEntJwwSolid>& solid;
  int32_t& solidN;
  std::vector<TEntJwwBlock>& block;
  int32_t& blockN;

  // Every entity array cut (or lengthened) to its count; the draw order is
  // left alone.
  void CutToCounts() {
    line.resize(Size(lineN));
    enko.resize(Size(enkoN));
    ten.resize(Size(tenN));
    moji.resize(Size(mojiN));
    sunpo.resize(Size(sunpoN));
    solid.resize(Size(solidN));
    block.resize(Size(blockN));
  }

  static size_t Size(int32_t count) { return count > 0 ? static_cast<size_t>(count) : 0; }
};

inline EntityLists DrawingLists(TJwwData& d) {
  return EntityLists{d.EntNo,    d.Enthd.n1,  d.EntLine,  d.EntLineN, d.EntEnko,  d.EntEnkoN,
                     d.EntTen,   d.EntTenN,   d.EntMoji,  d.EntMojiN, d.EntSunpo, d.EntSunpoN,
                     d.EntSolid, d.EntSolidN, d.EntBlock, d.EntBlockN};
}

inline EntityLists MemberLists(TEntJwwBlockDef& b) {
  return EntityLists{b.mNo,    b.N,       b.mLine,  b.mLineN, b.mEnko,  b.mEnkoN,
                     b.mTen,   b.mTenN,   b.mMoji,  b.mMojiN, b.mSunpo, b.mSunpoN,
                     b.mSolid, b.mSolidN, b.mBlock, b.mBlockN};
}

// `v` cut to `count` entries; a count beyond its array is never trusted.
template <typename T>
std::span<const T> Counted(const std::vector<T>& v, int32_t count) {
  return {v.data(), std::min(v.size(), EntityLists::Size(count))};
}

// The same lists read-only, each cut to its count, for the code that reads a
// drawing without changing it (the walk, the extents, the writer).
struct EntitySpans {
  std::span<const TEntJwwNo> order;
  std::span<const TEntJwwLine> line;
  std::span<const TEntJwwEnko> enko;
  std::span<const TEntJwwTen> ten;
  std::span<const TEntJwwMoji> moji;
  std::span<const TEntJwwSunpo> sunpo;
  std::span<const TEntJwwSolid> solid;
  std::span<const TEntJwwBlock> block;

  // Records of kind 1 … 7; 0 for any other kind.
  size_t SizeOf(int32_t kind) const {
    switch (kind) {
      case kLine:
        return line.size();
      case kEnko:
        return enko.size();
      case kTen:
        return ten.size();
      case kMoji:
        return moji.size();
      case kSunpo:
        return sunpo.size();
      case kSolid:
        return solid.size();
      case kBlock:
        return block.size();
      default:
        return 0;
    }
  }
  // Whether the draw-order entry names a record of its kind.
  bool Has(TEntJwwNo e) const {
    return e.EntNo >= 0 && static_cast<size_t>(e.EntNo) < SizeOf(e.EntType);
  }
};

inline EntitySpans SpansOf(const TJwwData& d) {
  return {Counted(d.EntNo, d.Enthd.n1),     Counted(d.EntLine, d.EntLineN),
          Counted(d.EntEnko, d.EntEnkoN),   Counted(d.EntTen, d.EntTenN),
          Counted(d.EntMoji, d.EntMojiN),   Counted(d.EntSunpo, d.EntSunpoN),
          Counted(d.EntSolid, d.EntSolidN), Counted(d.EntBlock, d.EntBlockN)};
}

inline EntitySpans SpansOf(const TEntJwwBlockDef& b) {
  return {Counted(b.mNo, b.N),          Counted(b.mLine, b.mLineN),  Counted(b.mEnko, b.mEnkoN),
          Counted(b.mTen, b.mTenN),     Counted(b.mMoji, b.mMojiN),  Counted(b.mSunpo, b.mSunpoN),
          Counted(b.mSolid, b.mSolidN), Counted(b.mBlock, b.mBlockN)};
}

}  // namespace jww
